#pragma once
// TComLed: a port indicator that follows one signal of a serial port by itself. It attaches
// its own TComLink to the port and shows an on or off glyph as the port signals that line;
// without a port, the program sets its State.
//
// Threads: the user-interface thread only, like the port it watches. Its link callbacks run
// inside the port's dispatch; they set State at once and ask for a paint, never by running
// the event queue, so no other user-interface work (a click on Stop closing this very port)
// can run nested inside that dispatch. Nothing here blocks.
//
// A port signal that goes on shows lit for at least kFlashMilliseconds, however soon it goes
// off again (the receive signal goes on and off within one dispatch, a read apart); one that
// comes on again meanwhile keeps it lit for another flash time. So a busy receiver's lamp
// stays lit without a paint per chunk: the lamp paints at most twice per flash time.
//
// Lifetime: the indicator detaches its link when it is destroyed or given another port, and
// drops its port (ComPort becomes none) when that port is destroyed first.

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "serial/com_types.h"

namespace quorvex::ui {

enum class TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum class TLedKind {
    lkRedLight,
    lkGreenLight,
    lkBlueLight,
    lkYellowLight,
    lkPurpleLight,
    lkBulb,
    lkCustom
};
enum class TLedState { lsOff, lsOn };

class TComLed;
using TLedStateEvent = std::function<void(TComLed* Sender, TLedState AState)>;

class TComLed : public QWidget {
  public:
    explicit TComLed(QWidget* parent = nullptr);
    ~TComLed() override;
    TComLed(const TComLed&) = delete;
    TComLed& operator=(const TComLed&) = delete;

    // The port whose signal is shown, or nullptr. Attaching to an open port shows the
    // signal's present state at once (for CTS, DSR and RLSD read from the modem status,
    // which may raise EComPort CError_ModemStatFailed); nullptr shows off; a closed port leaves
    // State.
    serial::TComPort* ComPort() const { return port_; }
    void SetComPort(serial::TComPort* value);

    // Which link callback drives the indicator; the others of the signal callbacks are left
    // empty. The chunk, transmit-empty and flag callbacks are never used.
    TComLedSignal LedSignal() const { return ledSignal_; }
    void SetLedSignal(TComLedSignal value);

    // A different kind loads its glyph pair and repaints; lkCustom has none of its own and
    // keeps the glyphs the indicator has until others are assigned.
    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind value);

    // The glyphs, drawn transparent: every pixel of the colour of the bottom-left pixel is
    // left out. Assigning copies the bitmap in and repaints, only while Kind is lkCustom;
    // otherwise the assignment is ignored.
    const QImage& GlyphOn() const { return glyphOn_; }
    void SetGlyphOn(const QImage& value);
    const QImage& GlyphOff() const { return glyphOff_; }
    void SetGlyphOff(const QImage& value);

    // Lights the lamp for RingDuration, as a ring does: for traffic of a source that is no
    // serial port (a receiver on the network). Lighting it again meanwhile keeps it lit.
    void Flash() { Ring(); }

    // Raises EComPort CError_LedStateFailed while a port is attached.
    TLedState State() const { return state_; }
    // What the lamp shows: State, but a signal that went on stays lit for its flash time.
    TLedState Shown() const { return shown_; }
    static constexpr int kFlashMilliseconds = 50;
    void SetState(TLedState value);

    // Milliseconds the lamp stays on after a ring (the ring timer's interval).
    std::int32_t RingDuration() const { return ringDuration_; }
    void SetRingDuration(std::int32_t value);

    // Fired with the new state on every signal of the port (also one that repeats the
    // state), and when attaching, detaching, SetState or the ring timer sets it.
    TLedStateEvent OnChange;

    // The link this indicator attaches to its port, with the callbacks the port calls.
    const serial::TComLink& Link() const { return link_; }

    QSize sizeHint() const override { return QSize(25, 25); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The new state, OnChange, and a paint. A port `signal` that goes off while its flash
    // time runs is shown when the flash time ends.
    void ChangeState(TLedState value, bool signal);
    void SignalChange(bool on) { ChangeState(on ? TLedState::lsOn : TLedState::lsOff, true); }
    void FlashEnded();
    void Show(TLedState value);
    void Ring();
    void RingTimerTimer();
    TLedState PresentState();
    void LoadKindGlyphs();
    void SetGlyph(QImage& glyph, QImage& drawn, const QImage& value);

    serial::TComPort* port_ = nullptr;
    TComLedSignal ledSignal_ = TComLedSignal::lsConn;
    TLedKind kind_ = TLedKind::lkRedLight;
    TLedState state_ = TLedState::lsOff;
    TLedState shown_ = TLedState::lsOff;
    bool onDuringFlash_ = false;  // a signal went on again while the flash time ran
    std::int32_t ringDuration_ = 1000;
    serial::TComLink link_;
    QImage glyphOn_, glyphOff_;  // as assigned or loaded
    QImage drawnOn_, drawnOff_;  // the same with the transparent colour cleared
    QTimer ringTimer_;
    QTimer flashTimer_;
};

}  // namespace quorvex::ui
