#include "ui/com_led.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

#include "platform/ui_thread.h"
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "ui/indicator_resources.h"

namespace quorvex::ui {

using serial::CError_LedStateFailed;
using serial::EComPort;
using serial::TComPort;

namespace {

struct GlyphPair {
    const char* on;
    const char* off;
};

GlyphPair GlyphsOf(TLedKind kind) {
    switch (kind) {
        case TLedKind::lkRedLight:
            return {"LEDREDON", "LEDREDOFF"};
        case TLedKind::lkGreenLight:
            return {"LEDGREENON", "LEDGREENOFF"};
        case TLedKind::lkBlueLight:
            return {"LEDBLUEON", "LEDBLUEOFF"};
        case TLedKind::lkYellowLight:
            return {"LEDYELLOWON", "LEDYELLOWOFF"};
        case TLedKind::lkPurpleLight:
            return {"LEDPURPLEON", "LEDPURPLEOFF"};
        case TLedKind::lkBulb:
            return {"LEDBULBON", "LEDBULBOFF"};
        case TLedKind::lkCustom:
            break;
    }
    return {nullptr, nullptr};
}

// The glyph with every pixel of its bottom-left pixel's colour made transparent.
QImage Transparent(const QImage& glyph) {
    if (glyph.isNull()) return {};
    QImage drawn = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = drawn.pixel(0, drawn.height() - 1);
    for (int y = 0; y < drawn.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(drawn.scanLine(y));
        for (int x = 0; x < drawn.width(); ++x) {
            if (row[x] == key) row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return drawn;
}

}  // namespace

TComLed::TComLed(QWidget* parent) : QWidget(parent), ringTimer_(this), flashTimer_(this) {
    resize(25, 25);
    // The indicator fills its own background, so a paint covers this control alone and not
    // the panel behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    flashTimer_.setSingleShot(true);
    flashTimer_.setInterval(kFlashMilliseconds);
    QObject::connect(&flashTimer_, &QTimer::timeout, this, [this] { FlashEnded(); });
    link_.OnConn = [this](TComPort*, bool on) { SignalChange(on); };
    ringTimer_.setInterval(ringDuration_);
    QObject::connect(&ringTimer_, &QTimer::timeout, this, [this] { RingTimerTimer(); });
    LoadKindGlyphs();
}

TComLed::~TComLed() {
    if (port_ == nullptr) return;
    port_->RemoveDestroyListener(this);
    try {
        port_->UnRegisterLink(&link_);
    } catch (const EComPort&) {
        // Not attached after all; the port keeps no reference to this link.
    }
}

void TComLed::SetComPort(TComPort* value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (value == port_) return;
    if (port_ != nullptr) {
        port_->RemoveDestroyListener(this);
        port_->UnRegisterLink(&link_);
    }
    port_ = value;
    if (port_ == nullptr) {
        ChangeState(TLedState::lsOff, false);
        return;
    }
    port_->RegisterLink(&link_);
    port_->AddDestroyListener(this, [this] { SetComPort(nullptr); });
    if (port_->Connected()) ChangeState(PresentState(), false);
}

TLedState TComLed::PresentState() {
    bool on = false;
    switch (ledSignal_) {
        case TComLedSignal::lsConn:
            on = true;
            break;
        case TComLedSignal::lsCTS:
            on = port_->ModemStatus().Cts;
            break;
        case TComLedSignal::lsDSR:
            on = port_->ModemStatus().Dsr;
            break;
        case TComLedSignal::lsRLSD:
            on = port_->ModemStatus().Rlsd;
            break;
        case TComLedSignal::lsRing:
        case TComLedSignal::lsRx:
        case TComLedSignal::lsTx:
            break;
    }
    return on ? TLedState::lsOn : TLedState::lsOff;
}

void TComLed::SetLedSignal(TComLedSignal value) {
    if (value == ledSignal_) return;
    ledSignal_ = value;
    link_.OnConn = nullptr;
    link_.OnCTSChange = nullptr;
    link_.OnDSRChange = nullptr;
    link_.OnRLSDChange = nullptr;
    link_.OnRing = nullptr;
    link_.OnTx = nullptr;
    link_.OnRx = nullptr;
    const auto signal = [this](TComPort*, bool on) { SignalChange(on); };
    switch (value) {
        case TComLedSignal::lsConn:
            link_.OnConn = signal;
            break;
        case TComLedSignal::lsCTS:
            link_.OnCTSChange = signal;
            break;
        case TComLedSignal::lsDSR:
            link_.OnDSRChange = signal;
            break;
        case TComLedSignal::lsRLSD:
            link_.OnRLSDChange = signal;
            break;
        case TComLedSignal::lsRing:
            link_.OnRing = [this](TComPort*) { Ring(); };
            break;
        case TComLedSignal::lsRx:
            link_.OnRx = signal;
            break;
        case TComLedSignal::lsTx:
            link_.OnTx = signal;
            break;
    }
}

void TComLed::SetKind(TLedKind value) {
    if (value == kind_) return;
    kind_ = value;
    LoadKindGlyphs();
    update();
}

void TComLed::LoadKindGlyphs() {
    const GlyphPair names = GlyphsOf(kind_);
    if (names.on == nullptr) return;
    glyphOn_ = LoadIndicatorBitmap(names.on);
    glyphOff_ = LoadIndicatorBitmap(names.off);
    drawnOn_ = Transparent(glyphOn_);
    drawnOff_ = Transparent(glyphOff_);
}

void TComLed::SetGlyph(QImage& glyph, QImage& drawn, const QImage& value) {
    if (kind_ != TLedKind::lkCustom) return;
    glyph = value.copy();
    drawn = Transparent(glyph);
    update();
}

void TComLed::SetGlyphOn(const QImage& value) {
    SetGlyph(glyphOn_, drawnOn_, value);
}

void TComLed::SetGlyphOff(const QImage& value) {
    SetGlyph(glyphOff_, drawnOff_, value);
}

void TComLed::SetState(TLedState value) {
    if (port_ != nullptr) throw EComPort(CError_LedStateFailed);
    if (value == state_) return;
    ChangeState(value, false);
}

void TComLed::SetRingDuration(std::int32_t value) {
    if (value == ringDuration_) return;
    ringDuration_ = value;
    ringTimer_.setInterval(std::max<std::int32_t>(value, 0));
}

void TComLed::ChangeState(TLedState value, bool signal) {
    state_ = value;
    if (OnChange) OnChange(this, value);
    if (!signal) {
        flashTimer_.stop();
        Show(value);
    } else if (flashTimer_.isActive()) {
        // Lit for its flash time: what comes meanwhile is shown when it ends.
        if (value == TLedState::lsOn) onDuringFlash_ = true;
    } else if (value == TLedState::lsOn && shown_ != TLedState::lsOn) {
        onDuringFlash_ = false;
        flashTimer_.start();
        Show(value);
    } else {
        Show(value);
    }
}

void TComLed::FlashEnded() {
    if (onDuringFlash_) {
        // Still receiving: lit for another flash time, without a paint.
        onDuringFlash_ = false;
        flashTimer_.start();
        return;
    }
    Show(state_);
}

void TComLed::Show(TLedState value) {
    if (value == shown_) return;
    shown_ = value;
    update();
}

void TComLed::Ring() {
    // A ring while the lamp is lit leaves the running timer alone: the on time is counted
    // from the first ring.
    if (!ringTimer_.isActive()) ringTimer_.start();
    ChangeState(TLedState::lsOn, false);
}

void TComLed::RingTimerTimer() {
    ringTimer_.stop();
    ChangeState(TLedState::lsOff, false);
}

void TComLed::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) update();
}

void TComLed::paintEvent(QPaintEvent*) {
    if (glyphOn_.isNull() || glyphOff_.isNull()) LoadKindGlyphs();
    const QImage& glyph = isEnabled() && shown_ == TLedState::lsOn ? drawnOn_ : drawnOff_;
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(backgroundRole()));
    if (glyph.isNull()) return;
    const int left = std::max((width() - glyph.width()) / 2, 0);
    const int top = std::max((height() - glyph.height()) / 2, 0);
    painter.drawImage(left, top, glyph);
}

}  // namespace quorvex::ui
