#pragma once
// Points with their intervals against x: a dot at each value and a whisker from its low to
// its high end where it has one, a line at zero, and a message over the plot when there is
// nothing. The Levels page draws the median level difference per ring with it.
//
// User-interface thread only.

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

#include "ui/plot_widget.h"

namespace quorvex::ui {

struct IntervalPoint {
    double x = 0;
    double y = 0;
    std::optional<double> low;
    std::optional<double> high;
};

class IntervalPlot : public PlotWidget {
  public:
    explicit IntervalPlot(QWidget* parent = nullptr);

    void SetXRange(double low, double high);
    void SetPoints(std::vector<IntervalPoint> points, const QColor& colour);

    const std::vector<IntervalPoint>& Points() const { return points_; }

    QSize sizeHint() const override { return {280, 220}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double xLow_ = 0;
    double xHigh_ = 1;
    std::vector<IntervalPoint> points_;
    QColor colour_ = Qt::black;
};

}  // namespace quorvex::ui
