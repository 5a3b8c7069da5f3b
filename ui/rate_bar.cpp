#include "ui/rate_bar.h"

#include <QPainter>

#include <algorithm>

namespace quorvex::ui {
namespace {

const QColor kGroove(0xE8, 0xE8, 0xE8);
const QColor kBorder(0x80, 0x80, 0x80);

}  // namespace

RateBar::RateBar(QWidget* parent) : QProgressBar(parent) {
    setOrientation(Qt::Vertical);
    setTextVisible(false);
    // Every pixel is painted here: what lies beneath need not be painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RateBar::Show(int value, int maximum) {
    if (minimum() == 0 && this->maximum() == maximum && this->value() == value) return;
    // With updates off the setters only take their values; turning updates on again asks
    // for the one paint, which comes with the rest of the window's.
    setUpdatesEnabled(false);
    setRange(0, maximum);
    setValue(value);
    setUpdatesEnabled(true);
}

void RateBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), kBorder);
    painter.fillRect(inside, kGroove);
    const qint64 span = qint64{maximum()} - minimum();
    if (span <= 0 || inside.height() <= 0) return;
    const qint64 done = std::clamp<qint64>(qint64{value()} - minimum(), 0, span);
    const int height = static_cast<int>(done * inside.height() / span);
    if (height == 0) return;
    painter.fillRect(QRect(inside.left(), inside.bottom() - height + 1, inside.width(), height),
                     palette().color(QPalette::Highlight));
}

}  // namespace quorvex::ui
