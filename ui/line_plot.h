#pragma once
// Lines over x: one or more series of points, each with its colour and name, solid or
// dashed, a gap where a point has no value, a legend, and a message over the plot when there
// is nothing. The History page draws the range and the share heard by both over a session.
//
// User-interface thread only.

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace quorvex::ui {

struct LineSeries {
    QColor colour;
    QString name;
    bool dashed = false;
    std::vector<std::optional<double>> values;  // at x = first + i * step; none: a gap
};

class LinePlot : public QWidget {
  public:
    explicit LinePlot(QWidget* parent = nullptr);

    void SetTexts(const QString& title, const QString& xTitle, const QString& yTitle);
    // The points' x: first, first + step, ...
    void SetX(double first, double step);
    void SetSeries(std::vector<LineSeries> series);
    void SetMessage(const QString& message);

    const std::vector<LineSeries>& Series() const { return series_; }
    const QString& Message() const { return message_; }

    QSize sizeHint() const override { return {480, 200}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_, xTitle_, yTitle_, message_;
    double first_ = 0;
    double step_ = 1;
    std::vector<LineSeries> series_;
};

}  // namespace quorvex::ui
