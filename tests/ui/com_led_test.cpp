// TComLed: following a port's signals (end to end on a pseudo-terminal for the receive
// signal), the State refusal, the ring timer, the glyphs and where they are drawn.

#include "ui/com_led.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "serial/com_port.h"
#include "support/pty.h"

namespace quorvex::ui {
namespace {

using serial::EComPort;
using serial::TComLink;
using serial::TComPort;

constexpr TLedState On = TLedState::lsOn;
constexpr TLedState Off = TLedState::lsOff;

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Whether the indicator shows `glyph` at `origin`, its transparent pixels (the colour of the
// bottom-left one) showing `background`.
::testing::AssertionResult ShowsGlyph(TComLed& led, const QImage& glyph, QPoint origin,
                                      QRgb background) {
    const QImage shot = Grab(led), g = glyph.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) {
            const QRgb want =
                g.pixel(x, y) == g.pixel(0, g.height() - 1) ? background : g.pixel(x, y);
            if (shot.pixel(origin + QPoint(x, y)) != want)
                return ::testing::AssertionFailure() << "differs at " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

// Logs every state change and every paint, with the state shown.
class PaintLog : public QObject {
  public:
    explicit PaintLog(TComLed& led) : led_(led) {
        led.installEventFilter(this);
        led.OnChange = [this](TComLed*, TLedState s) { log.push_back(s == On ? "on" : "off"); };
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            log.push_back(led_.Shown() == On ? "paint on" : "paint off");
        return false;
    }
    std::vector<std::string> log;

  private:
    TComLed& led_;
};

// A chunk's receive signal goes on and off within one dispatch: the lamp shows lit for its
// flash time, then off. A burst of chunks, however many, paints it on once and off once.
TEST(ComLedTest, ReceiveShowsLitForItsFlashTimeAndABurstPaintsTwice) {
    test::Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    std::string received;
    TComLink framer;  // a chunk taker, as the framer is: without one nothing is read
    framer.OnRxBuf = [&](TComPort*, const char* bytes, int n) { received.append(bytes, n); };
    port.RegisterLink(&framer);
    TComLed led;
    led.SetLedSignal(TComLedSignal::lsRx);
    led.SetComPort(&port);
    PaintLog paints(led);
    led.show();
    ASSERT_TRUE(test::ServeUntil([&] { return !paints.log.empty(); }));  // first exposure
    port.OpenPort();

    const auto since = [&paints](std::size_t from) {
        return std::vector<std::string>(paints.log.begin() + static_cast<std::ptrdiff_t>(from),
                                        paints.log.end());
    };
    std::size_t mark = paints.log.size();
    pty.Write("@5D4840D6;");
    ASSERT_TRUE(test::WaitUntilWaiting(pty, 10));
    ASSERT_TRUE(test::ServeUntil([&] { return received.size() == 10; }));
    ASSERT_TRUE(test::ServeUntil([&] { return paints.log.back() == "paint off"; }));
    EXPECT_EQ(since(mark), (std::vector<std::string>{"on", "off", "paint on", "paint off"}));

    mark = paints.log.size();
    for (int chunk = 0; chunk < 100; ++chunk) {
        led.Link().OnRx(&port, true);
        led.Link().OnRx(&port, false);
    }
    ASSERT_TRUE(test::ServeUntil([&] { return paints.log.back() == "paint off"; }));
    const auto burst = since(mark);
    EXPECT_EQ(std::count(burst.begin(), burst.end(), "paint on"), 1);
    EXPECT_EQ(std::count(burst.begin(), burst.end(), "paint off"), 1);
    EXPECT_EQ(led.State(), TLedState::lsOff);
    led.OnChange = nullptr;
    port.ClosePort();
    port.UnRegisterLink(&framer);
}

TEST(ComLedTest, ConnectionIndicatorFollowsItsPortAndRefusesStateWhileAttached) {
    test::Pty pty;
    TComPort open, closed;
    open.SetPort(pty.Path());
    open.OpenPort();
    std::vector<TLedState> changes;
    TComLed led;
    led.OnChange = [&](TComLed*, TLedState s) { changes.push_back(s); };

    led.SetComPort(&open);  // on at once
    led.SetComPort(nullptr);
    led.SetState(On);  // without a port the program sets it
    led.SetComPort(&closed);
    EXPECT_EQ(led.State(), On) << "a closed port leaves the state as it was";
    try {
        led.SetState(Off);
        ADD_FAILURE() << "State was set with a port attached";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.Code(), 19);
        EXPECT_STREQ(error.what(), "Cannot change led state if ComPort is selected");
    }
    led.SetComPort(&open);
    open.ClosePort();
    open.OpenPort();
    EXPECT_EQ(changes, (std::vector<TLedState>{On, Off, On, On, Off, On}));
    {
        TComPort shortLived;
        led.SetComPort(&shortLived);
    }
    EXPECT_EQ(led.ComPort(), nullptr) << "a destroyed port is dropped";
    EXPECT_EQ(led.State(), Off);
}

TEST(ComLedTest, RingLightsForRingDurationFromTheFirstRing) {
    TComLed led;
    std::vector<TLedState> changes;
    led.OnChange = [&](TComLed*, TLedState s) { changes.push_back(s); };
    led.SetLedSignal(TComLedSignal::lsRing);
    led.SetRingDuration(100000);
    auto* timer = led.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    timer->setTimerType(Qt::PreciseTimer);  // so that its remaining time is exact

    // Once the timer has counted down a little, a second ring must not start it afresh.
    led.Link().OnRing(nullptr);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (timer->remainingTime() > 100000 - 20 && std::chrono::steady_clock::now() < giveUp)
        ::usleep(1000);
    const int left = timer->remainingTime();
    led.Link().OnRing(nullptr);
    EXPECT_LE(timer->remainingTime(), left) << "a second ring restarted the timer";

    led.SetRingDuration(1);
    ASSERT_TRUE(test::ServeUntil([&] { return led.State() == Off; }));
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(changes, (std::vector<TLedState>{On, On, Off}));
}

TEST(ComLedTest, GlyphIsCentredTransparentAndOffWhileDisabled) {
    TComLed led;
    led.resize(40, 25);
    led.SetKind(TLedKind::lkGreenLight);
    const QImage greenOn(":/LEDGREENON"), greenOff(":/LEDGREENOFF");
    ASSERT_EQ(greenOn.size(), QSize(15, 15));
    const QRgb back = Grab(led).pixel(0, 0);
    EXPECT_TRUE(ShowsGlyph(led, greenOff, {12, 5}, back));
    led.SetState(On);
    EXPECT_TRUE(ShowsGlyph(led, greenOn, {12, 5}, back));
    EXPECT_EQ(Grab(led).pixel(19, 12), qRgb(0, 255, 0)) << "the lens in full green";
    led.setEnabled(false);
    EXPECT_TRUE(ShowsGlyph(led, greenOff, {12, 5}, back));
    led.setEnabled(true);
    led.SetKind(TLedKind::lkYellowLight);  // its background is purple, not olive
    EXPECT_TRUE(ShowsGlyph(led, QImage(":/LEDYELLOWON"), {12, 5}, back));

    QImage custom(5, 3, QImage::Format_RGB32);
    custom.fill(qRgb(10, 20, 30));
    custom.setPixel(2, 1, qRgb(200, 0, 0));
    led.SetGlyphOn(custom);
    EXPECT_EQ(led.GlyphOn(), QImage(":/LEDYELLOWON")) << "taken only by the custom kind";
    led.SetKind(TLedKind::lkCustom);
    led.SetGlyphOn(custom);
    EXPECT_TRUE(ShowsGlyph(led, custom, {17, 11}, back));
    led.resize(3, 2);  // a glyph larger than the control starts at its corner
    EXPECT_EQ(Grab(led).pixel(2, 1), qRgb(200, 0, 0));
}

}  // namespace
}  // namespace quorvex::ui
