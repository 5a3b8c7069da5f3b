#include "ui/a_led.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "platform/ui_thread.h"
#include "ui/indicator_resources.h"

namespace quorvex::ui {
namespace {

const QRgb kLime = qRgb(0, 255, 0);

struct StyleInfo {
    int width;
    int height;
    const char* bitmap;
};

StyleInfo InfoOf(TLEDStyle style) {
    switch (style) {
        case TLEDStyle::LEDSmall:
            return {16, 16, "ALEDSM"};
        case TLEDStyle::LEDLarge:
            return {22, 22, "ALEDLG"};
        case TLEDStyle::LEDSqSmall:
            return {16, 16, "ALEDSQSM"};
        case TLEDStyle::LEDSqLarge:
            return {22, 22, "ALEDSQLG"};
        case TLEDStyle::LEDVertical:
            return {14, 22, "ALEDVT"};
        case TLEDStyle::LEDHorizontal:
            return {22, 14, "ALEDHZ"};
    }
    return {16, 16, "ALEDSM"};
}

// Paints every pixel of colour `from` that is connected to `start` (through its four
// neighbours) in `to`. Nothing when `start` has another colour or when `to` is `from`.
void FloodFill(QImage& image, QPoint start, QRgb from, QRgb to) {
    if (from == to || !image.rect().contains(start)) return;
    if (image.pixel(start) != from) return;
    std::vector<QPoint> pending{start};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!image.rect().contains(p) || image.pixel(p) != from) continue;
        image.setPixel(p, to);
        pending.insert(pending.end(), {QPoint(p.x() + 1, p.y()), QPoint(p.x() - 1, p.y()),
                                       QPoint(p.x(), p.y() + 1), QPoint(p.x(), p.y() - 1)});
    }
}

}  // namespace

TALed::TALed(QWidget* parent) : QWidget(parent), blinkTimer_(this) {
    blinkTimer_.setInterval(interval_);
    QObject::connect(&blinkTimer_, &QTimer::timeout, this, [this] { BlinkTimerTimer(); });
    BuildImages();
}

void TALed::BuildImages() {
    const StyleInfo style = InfoOf(ledStyle_);
    // The style fixes the lamp's size; a layout must not stretch it.
    setFixedSize(style.width, style.height);
    const QImage bitmap = LoadIndicatorBitmap(style.bitmap).convertToFormat(QImage::Format_RGB32);
    trueImage_ = bitmap;
    falseImage_ = bitmap;
    const QPoint centre(style.width / 2, style.height / 2);
    FloodFill(trueImage_, centre, kLime, trueColor_.rgb());
    FloodFill(falseImage_, centre, kLime, falseColor_.rgb());
}

void TALed::SetColor(QColor& field, const QColor& value) {
    if (value.rgb() == field.rgb()) return;
    const bool blink = blink_;
    SetBlink(false);
    field = QColor(value.rgb());
    BuildImages();
    SetBlink(blink);
    update();
}

void TALed::SetTrueColor(const QColor& value) {
    SetColor(trueColor_, value);
}

void TALed::SetFalseColor(const QColor& value) {
    SetColor(falseColor_, value);
}

void TALed::SetBlink(bool value) {
    if (value == blink_) return;
    Show(value_);
    blink_ = value;
    if (blink_ && value_) {
        StartBlinking();
    } else {
        StopBlinking();
    }
}

void TALed::SetValue(bool value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (value == value_) return;
    value_ = value;
    if (value_) {
        Show(true);
        if (blink_) StartBlinking();
    } else {
        StopBlinking();
        Show(false);
    }
}

void TALed::SetInterval(std::int32_t value) {
    interval_ = value;
    blinkTimer_.setInterval(std::max<std::int32_t>(value, 0));
}

void TALed::SetLEDStyle(TLEDStyle value) {
    if (value == ledStyle_) return;
    ledStyle_ = value;
    BuildImages();
    update();
}

void TALed::StartBlinking() {
    showingTrue_ = true;
    if (!blinkTimer_.isActive()) blinkTimer_.start();
}

void TALed::StopBlinking() {
    blinkTimer_.stop();
}

void TALed::BlinkTimerTimer() {
    Show(!showingTrue_);
    if (OnTimer) OnTimer(this);
}

void TALed::Show(bool trueImage) {
    showingTrue_ = trueImage;
    repaint();
}

void TALed::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), showingTrue_ ? trueImage_ : falseImage_);
}

void TALed::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseEnter) OnMouseEnter(this);
}

void TALed::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (OnMouseLeave) OnMouseLeave(this);
}

void TALed::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void TALed::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QWidget::mouseReleaseEvent(event);
    if (click && OnClick) OnClick(this);
}

}  // namespace quorvex::ui
