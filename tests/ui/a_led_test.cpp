// TALed: the heartbeat lamp's colour per tick, the lens filled in every style, and
// blinking.

#include "ui/a_led.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <utility>
#include <vector>

#include "support/pty.h"

namespace quorvex::ui {
namespace {

const QRgb kLime = qRgb(0, 255, 0), kYellow = qRgb(255, 255, 0), kSilver = qRgb(192, 192, 192);
const QRgb kBlue = qRgb(0, 0, 255);

QRgb Centre(TALed& led) {
    return led.grab().toImage().pixel(led.width() / 2, led.height() / 2) | 0xff000000u;
}

// Whether the lamp shows `bitmap` with its lime lens in `lens`, every other pixel as drawn.
::testing::AssertionResult ShowsLens(TALed& led, const char* bitmap, QRgb lens) {
    const QImage want = QImage(bitmap).convertToFormat(QImage::Format_RGB32);
    const QImage shot = led.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shot.size() != want.size()) return ::testing::AssertionFailure() << "size";
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if (shot.pixel(x, y) != (want.pixel(x, y) == kLime ? lens : want.pixel(x, y)))
                return ::testing::AssertionFailure() << "differs at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

TEST(ALedTest, HeartbeatLampAlternatesAndEveryStyleFillsItsLens) {
    TALed led;  // as the window's ALed1
    led.SetFalseColor(QColor(255, 255, 0));
    led.SetLEDStyle(TLEDStyle::LEDLarge);
    led.SetBlink(false);
    EXPECT_TRUE(ShowsLens(led, ":/ALEDLG", kYellow));
    std::vector<QRgb> perTick;
    for (int tick = 0; tick < 4; ++tick) {
        led.SetValue(!led.Value());
        perTick.push_back(Centre(led));
    }
    EXPECT_EQ(perTick, (std::vector<QRgb>{kLime, kYellow, kLime, kYellow}));
    EXPECT_FALSE(led.findChild<QTimer*>()->isActive()) << "no blinking without Blink";
    led.SetFalseColor(QColor(255, 0, 0));
    EXPECT_TRUE(ShowsLens(led, ":/ALEDLG", qRgb(255, 0, 0)));

    // Every style sizes the lamp as its bitmap (ShowsLens compares the sizes too).
    const std::pair<TLEDStyle, const char*> styles[] = {{TLEDStyle::LEDSmall, ":/ALEDSM"},
                                                        {TLEDStyle::LEDSqSmall, ":/ALEDSQSM"},
                                                        {TLEDStyle::LEDSqLarge, ":/ALEDSQLG"},
                                                        {TLEDStyle::LEDVertical, ":/ALEDVT"},
                                                        {TLEDStyle::LEDHorizontal, ":/ALEDHZ"}};
    for (const auto& [style, bitmap] : styles) {
        led.SetLEDStyle(style);
        EXPECT_TRUE(ShowsLens(led, bitmap, qRgb(255, 0, 0))) << bitmap;
    }
    EXPECT_EQ(led.size(), QSize(22, 14));
}

TEST(ALedTest, BlinkingAlternatesFromTheTrueColourAndStopsOnTheFalseOne) {
    TALed led;
    led.SetInterval(1);
    std::vector<QRgb> steps;
    led.OnTimer = [&](TALed*) { steps.push_back(Centre(led)); };
    auto* timer = led.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);

    led.SetValue(true);
    EXPECT_EQ(Centre(led), kLime);
    ASSERT_TRUE(test::ServeUntil([&] { return steps.size() >= 4; }));
    EXPECT_EQ(std::vector<QRgb>(steps.begin(), steps.begin() + 4),
              (std::vector<QRgb>{kSilver, kLime, kSilver, kLime}));
    led.SetTrueColor(QColor(0, 0, 255));  // restarts the blink with the new true image
    EXPECT_EQ(Centre(led), kBlue);
    EXPECT_TRUE(timer->isActive());
    led.SetValue(false);
    EXPECT_EQ(Centre(led), kSilver);
    EXPECT_FALSE(timer->isActive());
}

}  // namespace
}  // namespace quorvex::ui
