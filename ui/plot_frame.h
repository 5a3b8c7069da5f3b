#pragma once
// The frame the small plots of the Levels page share: a title, a plot area with labelled
// ticks at round steps on both axes, the axes' titles, and the mapping from values to pixels.
//
// User-interface thread only.

#include <QPainter>
#include <QRectF>
#include <QString>

namespace quorvex::ui {

// A round step (1, 2 or 5 times a power of ten) that cuts `span` into about `parts`.
double RoundStep(double span, int parts);

class PlotFrame {
  public:
    // Lays the frame out in `bounds` for x from `xLow` to `xHigh` and y from `yLow` to
    // `yHigh` (widened to round steps when `roundY`).
    PlotFrame(const QRectF& bounds, const QFontMetricsF& font, double xLow, double xHigh,
              double yLow, double yHigh, bool roundY = true);

    // The title above, the grid, the ticks and their labels, the axes' titles.
    void Draw(QPainter& painter, const QString& title, const QString& xTitle,
              const QString& yTitle) const;

    double X(double value) const;
    double Y(double value) const;
    const QRectF& Area() const { return area_; }
    double XLow() const { return xLow_; }
    double XHigh() const { return xHigh_; }

  private:
    QRectF bounds_;
    QRectF area_;
    double xLow_, xHigh_, yLow_, yHigh_;
    double lineHeight_;
};

}  // namespace quorvex::ui
