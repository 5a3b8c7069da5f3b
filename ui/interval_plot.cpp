#include "ui/interval_plot.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

#include "ui/plot_frame.h"

namespace quorvex::ui {

IntervalPlot::IntervalPlot(QWidget* parent) : PlotWidget(parent) {
    setMinimumSize(200, 160);
}

void IntervalPlot::SetXRange(double low, double high) {
    xLow_ = low;
    xHigh_ = high;
    update();
}

void IntervalPlot::SetPoints(std::vector<IntervalPoint> points, const QColor& colour) {
    points_ = std::move(points);
    colour_ = colour;
    update();
}

void IntervalPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // Zero always shows: a difference is read against it.
    double low = 0;
    double high = 0;
    for (const IntervalPoint& point : points_) {
        low = std::min({low, point.y, point.low.value_or(point.y)});
        high = std::max({high, point.y, point.high.value_or(point.y)});
    }
    const QFontMetricsF font(painter.font());
    const PlotFrame frame(QRectF(rect()).adjusted(2, 2, -2, -2), font, xLow_, xHigh_, low - 0.5,
                          high + 0.5);
    frame.Draw(painter, title_, xTitle_, yTitle_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(frame.Area().left(), frame.Y(0)),
                     QPointF(frame.Area().right(), frame.Y(0)));
    painter.setPen(QPen(colour_, 2));
    painter.setBrush(colour_);
    for (const IntervalPoint& point : points_) {
        const double x = frame.X(point.x);
        if (point.low && point.high) {
            painter.drawLine(QPointF(x, frame.Y(*point.low)), QPointF(x, frame.Y(*point.high)));
            for (const double end : {*point.low, *point.high}) {
                painter.drawLine(QPointF(x - 4, frame.Y(end)), QPointF(x + 4, frame.Y(end)));
            }
        }
        painter.drawEllipse(QPointF(x, frame.Y(point.y)), 3.5, 3.5);
    }
    DrawMessage(painter, frame.Area());
}

}  // namespace quorvex::ui
