#pragma once
// What the small plots share (the histogram, the interval plot, the line plot): a title, the
// axes' titles, and a message shown over the plot area when there is nothing to draw.
//
// User-interface thread only.

#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace quorvex::ui {

class PlotWidget : public QWidget {
  public:
    using QWidget::QWidget;

    void SetTexts(const QString& title, const QString& xTitle, const QString& yTitle);
    // Over the middle of the plot area; empty: none.
    void SetMessage(const QString& message);
    const QString& Message() const { return message_; }

  protected:
    // The message, if any, over `area`.
    void DrawMessage(QPainter& painter, const QRectF& area) const;

    QString title_, xTitle_, yTitle_;

  private:
    QString message_;
};

}  // namespace quorvex::ui
