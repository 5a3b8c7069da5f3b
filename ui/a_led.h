#pragma once
// TALed: a two-colour lamp driven by the program. It shows its true image while Value is
// true and its false image while it is false, and while Value is true with Blink set it
// alternates the two every Interval milliseconds. Both images are the style's bitmap with
// the lime lens flood-filled in TrueColor or FalseColor.
//
// Threads: the user-interface thread only. The blink timer is a Qt timer of that thread;
// nothing here blocks.

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace quorvex::ui {

enum class TLEDStyle { LEDSmall, LEDLarge, LEDSqSmall, LEDSqLarge, LEDVertical, LEDHorizontal };

class TALed : public QWidget {
  public:
    using TNotifyEvent = std::function<void(TALed* Sender)>;

    explicit TALed(QWidget* parent = nullptr);
    TALed(const TALed&) = delete;
    TALed& operator=(const TALed&) = delete;

    // Lens colours; a different one rebuilds both images and repaints (and restarts a
    // running blink with the true image).
    QColor TrueColor() const { return trueColor_; }
    void SetTrueColor(const QColor& value);
    QColor FalseColor() const { return falseColor_; }
    void SetFalseColor(const QColor& value);

    bool Blink() const { return blink_; }
    void SetBlink(bool value);

    // True draws the true image at once and starts blinking if Blink; false stops blinking
    // and draws the false image at once.
    bool Value() const { return value_; }
    void SetValue(bool value);

    // The blink period in milliseconds.
    std::int32_t Interval() const { return interval_; }
    void SetInterval(std::int32_t value);

    // The bezel's shape; sets the control's size (16 x 16, 22 x 22, 14 x 22 or 22 x 14).
    TLEDStyle LEDStyle() const { return ledStyle_; }
    void SetLEDStyle(TLEDStyle value);

    TNotifyEvent OnTimer;  // after each blink step, with the new image on screen
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnClick;

    QSize sizeHint() const override { return size(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void SetColor(QColor& field, const QColor& value);
    void BuildImages();
    void StartBlinking();
    void StopBlinking();
    void BlinkTimerTimer();
    // Shows the true or the false image and paints it before returning.
    void Show(bool trueImage);

    QColor trueColor_{0, 255, 0};
    QColor falseColor_{192, 192, 192};
    bool blink_ = true;
    bool value_ = false;
    std::int32_t interval_ = 1000;
    TLEDStyle ledStyle_ = TLEDStyle::LEDSmall;
    QImage trueImage_, falseImage_;
    bool showingTrue_ = false;
    bool pressed_ = false;
    // Running exactly while blinking.
    QTimer blinkTimer_;
};

}  // namespace quorvex::ui
