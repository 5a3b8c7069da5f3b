#include "ui/chart_title.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include "ui/chart.h"
#include "ui/chart_font.h"

namespace quorvex::ui {

void TChartStrings::Changed() {
    if (parent_) parent_->InvalidateLayers();
}

void TChartStrings::Clear() {
    if (lines_.isEmpty()) return;
    lines_.clear();
    Changed();
}

void TChartStrings::Add(const QString& line) {
    lines_.append(line);
    Changed();
}

void TChartStrings::SetLines(const QStringList& lines) {
    if (lines == lines_) return;
    lines_ = lines;
    Changed();
}

TChartTitle::TChartTitle(TChart* parent)
    : parent_(parent), text_(parent), font_(ChartFont(QStringLiteral("Arial"))) {}

void TChartTitle::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (parent_) parent_->InvalidateLayers();
}

void TChartTitle::SetFont(const QFont& font) {
    if (font == font_) return;
    font_ = font;
    if (parent_) parent_->InvalidateLayers();
}

void TChartTitle::SetFontColor(const QColor& color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    if (parent_) parent_->InvalidateLayers();
}

int TChartTitle::Height() const {
    if (!visible_ || text_.Count() == 0) return 0;
    return text_.Count() * QFontMetrics(font_).height() + 2;
}

void TChartTitle::Draw(QPainter& painter, const QRect& area) const {
    if (!visible_ || text_.Count() == 0) return;
    const QFontMetrics fm(font_);
    painter.setFont(font_);
    painter.setPen(fontColor_);
    int y = area.top();
    for (const QString& line : text_.Lines()) {
        // Measured with its blanks, so leading blanks move the text right of centre.
        const int width = fm.horizontalAdvance(line);
        const int x = area.left() + (area.width() - width) / 2;
        painter.drawText(x, y + fm.ascent(), line);
        y += fm.height();
    }
}

}  // namespace quorvex::ui
