#include "ui/line_plot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdint>

#include "ui/plot_frame.h"

namespace quorvex::ui {

LinePlot::LinePlot(QWidget* parent) : PlotWidget(parent) {
    setMinimumSize(240, 140);
}

void LinePlot::SetX(double first, double step) {
    first_ = first;
    step_ = step > 0 ? step : 1;
    update();
}

void LinePlot::SetSeries(std::vector<LineSeries> series) {
    series_ = std::move(series);
    update();
}

void LinePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    std::size_t points = 1;
    double high = 0;
    for (const LineSeries& series : series_) {
        points = std::max(points, series.values.size());
        for (const auto& value : series.values) high = std::max(high, value.value_or(0.0));
    }
    const QFontMetricsF font(painter.font());
    const PlotFrame frame(
        QRectF(rect()).adjusted(2, 2, -2, -2), font, first_,
        first_ + step_ * static_cast<double>(std::max<std::size_t>(points - 1, 1)), 0,
        std::max(high, 1.0));
    frame.Draw(painter, title_, xTitle_, yTitle_);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const LineSeries& series : series_) {
        painter.setPen(QPen(series.colour, 2, series.dashed ? Qt::DashLine : Qt::SolidLine));
        QPainterPath path;
        bool drawing = false;
        for (std::size_t i = 0; i < series.values.size(); ++i) {
            if (!series.values[i]) {
                drawing = false;
                continue;
            }
            const QPointF point(frame.X(first_ + step_ * static_cast<double>(i)),
                                frame.Y(*series.values[i]));
            if (drawing) {
                path.lineTo(point);
            } else {
                path.moveTo(point);
                drawing = true;
            }
            painter.drawEllipse(point, 1.5, 1.5);  // a lone point shows too
        }
        painter.drawPath(path);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The legend goes in the corner of the plot area the lines cross least.
    double nameWidth = 0;
    for (const LineSeries& series : series_) {
        nameWidth = std::max(nameWidth, font.horizontalAdvance(series.name));
    }
    const QSizeF legend(nameWidth + 24, font.height() * static_cast<double>(series_.size()) + 4);
    const QRectF area = frame.Area();
    QRectF best;
    std::size_t fewest = SIZE_MAX;
    for (const QPointF corner : {area.topLeft(), area.topRight() - QPointF(legend.width(), 0),
                                 area.bottomLeft() - QPointF(0, legend.height()),
                                 area.bottomRight() - QPointF(legend.width(), legend.height())}) {
        const QRectF box(corner, legend);
        std::size_t crossed = 0;
        for (const LineSeries& series : series_) {
            for (std::size_t i = 0; i < series.values.size(); ++i) {
                crossed += series.values[i] &&
                           box.contains(frame.X(first_ + step_ * static_cast<double>(i)),
                                        frame.Y(*series.values[i]));
            }
        }
        if (crossed < fewest) {
            fewest = crossed;
            best = box;
        }
    }
    double y = best.top() + 2;
    for (const LineSeries& series : series_) {
        painter.setPen(QPen(series.colour, 2, series.dashed ? Qt::DashLine : Qt::SolidLine));
        const double left = best.left() + 4;
        painter.drawLine(QPointF(left, y + font.height() / 2),
                         QPointF(left + 14, y + font.height() / 2));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(left + 18, y + font.ascent()), series.name);
        y += font.height();
    }
    DrawMessage(painter, frame.Area());
}

}  // namespace quorvex::ui
