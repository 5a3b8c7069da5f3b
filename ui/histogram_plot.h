#pragma once
// A histogram of one or more series over the same bins, their bars side by side within a
// bin, with vertical markers (a median, a threshold) and a shaded band (an interval), a
// legend when there are several series, and a message over the plot when there is nothing.
//
// User-interface thread only.

#include <QColor>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

#include "ui/plot_widget.h"

namespace quorvex::ui {

struct HistogramSeries {
    QColor colour;
    QString name;
    std::vector<double> counts;  // per bin
};

struct PlotMarker {
    double x = 0;
    QColor colour;
    QString label;
};

class HistogramPlot : public PlotWidget {
  public:
    explicit HistogramPlot(QWidget* parent = nullptr);

    // Bin i covers first + i * width to the next; the x axis spans every bin.
    void SetBins(double first, double width);
    void SetSeries(std::vector<HistogramSeries> series);
    void SetMarkers(std::vector<PlotMarker> markers);
    void SetBand(std::optional<std::pair<double, double>> band);

    const std::vector<HistogramSeries>& Series() const { return series_; }
    const std::vector<PlotMarker>& Markers() const { return markers_; }
    const std::optional<std::pair<double, double>>& Band() const { return band_; }

    QSize sizeHint() const override { return {360, 220}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double first_ = 0;
    double width_ = 1;
    std::vector<HistogramSeries> series_;
    std::vector<PlotMarker> markers_;
    std::optional<std::pair<double, double>> band_;
};

}  // namespace quorvex::ui
