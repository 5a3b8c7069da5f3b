#include "ui/histogram_plot.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

#include "ui/plot_frame.h"

namespace quorvex::ui {

HistogramPlot::HistogramPlot(QWidget* parent) : PlotWidget(parent) {
    setMinimumSize(240, 160);
}

void HistogramPlot::SetBins(double first, double width) {
    first_ = first;
    width_ = width > 0 ? width : 1;
    update();
}

void HistogramPlot::SetSeries(std::vector<HistogramSeries> series) {
    series_ = std::move(series);
    update();
}

void HistogramPlot::SetMarkers(std::vector<PlotMarker> markers) {
    markers_ = std::move(markers);
    update();
}

void HistogramPlot::SetBand(std::optional<std::pair<double, double>> band) {
    band_ = band;
    update();
}

void HistogramPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    std::size_t bins = 0;
    double highest = 0;
    for (const HistogramSeries& series : series_) {
        bins = std::max(bins, series.counts.size());
        for (const double count : series.counts) highest = std::max(highest, count);
    }
    const QFontMetricsF font(painter.font());
    const PlotFrame frame(QRectF(rect()).adjusted(2, 2, -2, -2), font, first_,
                          first_ + width_ * static_cast<double>(std::max<std::size_t>(bins, 1)), 0,
                          std::max(highest, 1.0));
    if (band_) {
        const double left = frame.X(std::max(band_->first, frame.XLow()));
        const double right = frame.X(std::min(band_->second, frame.XHigh()));
        painter.fillRect(
            QRectF(left, frame.Area().top(), std::max(right - left, 2.0), frame.Area().height()),
            QColor(255, 230, 150));
    }
    frame.Draw(painter, title_, xTitle_, yTitle_);
    const double slot = (frame.X(first_ + width_) - frame.X(first_)) /
                        static_cast<double>(std::max<std::size_t>(series_.size(), 1));
    for (std::size_t s = 0; s < series_.size(); ++s) {
        const HistogramSeries& series = series_[s];
        for (std::size_t bin = 0; bin < series.counts.size(); ++bin) {
            if (series.counts[bin] <= 0) continue;
            const double left =
                frame.X(first_ + width_ * static_cast<double>(bin)) + slot * static_cast<double>(s);
            const double top = frame.Y(series.counts[bin]);
            painter.fillRect(
                QRectF(left, top, std::max(slot - 0.5, 1.0), frame.Area().bottom() - top),
                series.colour);
        }
    }
    for (const PlotMarker& marker : markers_) {
        if (marker.x < frame.XLow() || marker.x > frame.XHigh()) continue;
        painter.setPen(QPen(marker.colour, 2, Qt::DashLine));
        const double x = frame.X(marker.x);
        painter.drawLine(QPointF(x, frame.Area().top()), QPointF(x, frame.Area().bottom()));
        // Right of the line, or left of it where the plot ends first.
        const double labelWidth = font.horizontalAdvance(marker.label);
        const double left = x + 3 + labelWidth <= frame.Area().right() ? x + 3 : x - 3 - labelWidth;
        painter.drawText(QPointF(left, frame.Area().top() + font.ascent() + 1), marker.label);
    }
    if (series_.size() > 1) {
        double y = frame.Area().top() + 2;
        for (const HistogramSeries& series : series_) {
            const QRectF swatch(frame.Area().left() + 4, y + 3, 10, font.height() - 6);
            painter.fillRect(swatch, series.colour);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(swatch.right() + 4, y + font.ascent()), series.name);
            y += font.height();
        }
    }
    DrawMessage(painter, frame.Area());
}

}  // namespace quorvex::ui
