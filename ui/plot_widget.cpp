#include "ui/plot_widget.h"

#include <QPainter>

namespace quorvex::ui {

void PlotWidget::SetTexts(const QString& title, const QString& xTitle, const QString& yTitle) {
    title_ = title;
    xTitle_ = xTitle;
    yTitle_ = yTitle;
    update();
}

void PlotWidget::SetMessage(const QString& message) {
    message_ = message;
    update();
}

void PlotWidget::DrawMessage(QPainter& painter, const QRectF& area) const {
    if (message_.isEmpty()) return;
    painter.setPen(Qt::darkGray);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, message_);
}

}  // namespace quorvex::ui
