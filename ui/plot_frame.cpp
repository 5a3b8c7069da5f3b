#include "ui/plot_frame.h"

#include <QFontMetricsF>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace quorvex::ui {
namespace {

// "1,000" for counts, "-2.5" for decibels: as many decimals as the step needs.
QString TickText(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    if (std::abs(value) < step / 2) value = 0;  // no "-0"
    return QLocale().toString(value, 'f', decimals);
}

}  // namespace

double RoundStep(double span, int parts) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(1, parts);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw) return factor * power;
    }
    return 10 * power;
}

PlotFrame::PlotFrame(const QRectF& bounds, const QFontMetricsF& font, double xLow, double xHigh,
                     double yLow, double yHigh, bool roundY)
    : bounds_(bounds),
      xLow_(xLow),
      xHigh_(xHigh > xLow ? xHigh : xLow + 1),
      yLow_(yLow),
      yHigh_(yHigh > yLow ? yHigh : yLow + 1),
      lineHeight_(font.height()) {
    if (roundY) {
        const double step = RoundStep(yHigh_ - yLow_, 4);
        yLow_ = std::floor(yLow_ / step) * step;
        yHigh_ = std::ceil(yHigh_ / step) * step;
    }
    const double labelWidth = font.horizontalAdvance(QStringLiteral("-00,000"));
    area_ = QRectF(bounds.left() + lineHeight_ + labelWidth + 4, bounds.top() + 1.5 * lineHeight_,
                   0, 0);
    area_.setRight(bounds.right() - font.horizontalAdvance(QStringLiteral("00")));
    area_.setBottom(bounds.bottom() - 2.2 * lineHeight_);
}

double PlotFrame::X(double value) const {
    return area_.left() + (value - xLow_) / (xHigh_ - xLow_) * area_.width();
}

double PlotFrame::Y(double value) const {
    return area_.bottom() - (value - yLow_) / (yHigh_ - yLow_) * area_.height();
}

void PlotFrame::Draw(QPainter& painter, const QString& title, const QString& xTitle,
                     const QString& yTitle) const {
    painter.save();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(bounds_.left(), bounds_.top(), bounds_.width(), lineHeight_),
                     Qt::AlignHCenter | Qt::AlignTop, title);
    const QPen grid(QColor(220, 220, 220));
    const double yStep = RoundStep(yHigh_ - yLow_, 4);
    for (double y = std::ceil(yLow_ / yStep) * yStep; y <= yHigh_ + yStep / 1000; y += yStep) {
        painter.setPen(grid);
        painter.drawLine(QPointF(area_.left(), Y(y)), QPointF(area_.right(), Y(y)));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(bounds_.left(), Y(y) - lineHeight_ / 2,
                                area_.left() - bounds_.left() - 4, lineHeight_),
                         Qt::AlignRight | Qt::AlignVCenter, TickText(y, yStep));
    }
    const double xStep = RoundStep(xHigh_ - xLow_, 6);
    for (double x = std::ceil(xLow_ / xStep) * xStep; x <= xHigh_ + xStep / 1000; x += xStep) {
        painter.setPen(grid);
        painter.drawLine(QPointF(X(x), area_.top()), QPointF(X(x), area_.bottom()));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(X(x) - 40, area_.bottom() + 2, 80, lineHeight_),
                         Qt::AlignHCenter | Qt::AlignTop, TickText(x, xStep));
    }
    painter.setPen(Qt::black);
    painter.drawRect(area_);
    painter.drawText(
        QRectF(area_.left(), area_.bottom() + lineHeight_ + 2, area_.width(), lineHeight_),
        Qt::AlignHCenter | Qt::AlignTop, xTitle);
    painter.translate(bounds_.left(), area_.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area_.height() / 2, 0, area_.height(), lineHeight_),
                     Qt::AlignHCenter | Qt::AlignTop, yTitle);
    painter.restore();
}

}  // namespace quorvex::ui
