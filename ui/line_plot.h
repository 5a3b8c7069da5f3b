#pragma once
// Lines over x: one or more series of points, each with its colour and name, solid or
// dashed, a gap where a point has no value, a legend, and a message over the plot when there
// is nothing. The History page draws the range and the share heard by both over a session.
//
// User-interface thread only.

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

#include "ui/plot_widget.h"

namespace quorvex::ui {

struct LineSeries {
    QColor colour;
    QString name;
    bool dashed = false;
    std::vector<std::optional<double>> values;  // at x = first + i * step; none: a gap
};

class LinePlot : public PlotWidget {
  public:
    explicit LinePlot(QWidget* parent = nullptr);

    // The points' x: first, first + step, ...
    void SetX(double first, double step);
    void SetSeries(std::vector<LineSeries> series);

    const std::vector<LineSeries>& Series() const { return series_; }

    QSize sizeHint() const override { return {480, 200}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double first_ = 0;
    double step_ = 1;
    std::vector<LineSeries> series_;
};

}  // namespace quorvex::ui
