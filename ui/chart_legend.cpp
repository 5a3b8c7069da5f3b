#include "ui/chart_legend.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/chart.h"
#include "ui/chart_exception.h"
#include "ui/chart_font.h"

namespace quorvex::ui {

namespace {

constexpr int kSpacing = 4;  // between the frame, the sample, the text and the next cell
constexpr int kGapBelow = 4;

}  // namespace

QString SeriesTitleOrName(const TLineSeries& series, int position) {
    if (!series.Title().isEmpty()) return series.Title();
    if (!series.Name().isEmpty()) return series.Name();
    return QStringLiteral("Series ") + QString::number(position);
}

TChartLegend::TChartLegend(TChart* parent)
    : parent_(parent), font_(ChartFont(QStringLiteral("Arial"))) {}

void TChartLegend::Changed() {
    if (parent_) parent_->InvalidateLayers();
}

void TChartLegend::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void TChartLegend::SetColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TChartLegend::SetFrameVisible(bool visible) {
    if (visible == frameVisible_) return;
    frameVisible_ = visible;
    Changed();
}

void TChartLegend::SetDividingLines(bool visible) {
    if (visible == dividingLines_) return;
    dividingLines_ = visible;
    Changed();
}

void TChartLegend::SetShadowSize(int pixels) {
    if (pixels == shadowSize_) return;
    shadowSize_ = pixels;
    Changed();
}

void TChartLegend::SetFont(const QFont& font) {
    if (font == font_) return;
    font_ = font;
    Changed();
}

void TChartLegend::SetFontColor(const QColor& color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    Changed();
}

void TChartLegend::SetVertMargin(int pixels) {
    if (pixels == vertMargin_) return;
    vertMargin_ = pixels;
    Changed();
}

void TChartLegend::SetMaxNumRows(int rows) {
    if (rows == maxNumRows_) return;
    maxNumRows_ = rows;
    Changed();
}

void TChartLegend::SetColorWidth(int percent) {
    if (percent == colorWidth_) return;
    if (percent < 0 || percent > 100)
        throw ChartException(translation::ResString::ChartLegendColorWidth);
    colorWidth_ = percent;
    Changed();
}

void TChartLegend::SetTopPos(int percent) {
    if (percent == topPos_) return;
    if (percent < 0 || percent > 100)
        throw ChartException(translation::ResString::ChartLegendTopPos);
    topPos_ = percent;
    Changed();
}

QStringList TChartLegend::Texts() const {
    QStringList texts;
    for (const Entry& e : entries_) texts.append(e.text);
    return texts;
}

int TChartLegend::Place(const QRect& area,
                        const std::vector<std::unique_ptr<TLineSeries>>& series) {
    entries_.clear();
    rect_ = QRect();
    if (!visible_) return 0;
    for (int i = 0; i < static_cast<int>(series.size()); ++i) {
        const TLineSeries& s = *series[static_cast<std::size_t>(i)];
        if (s.Active() && s.ShowInLegend()) entries_.push_back({&s, SeriesTitleOrName(s, i)});
    }
    if (entries_.empty()) return 0;

    const QFontMetrics fm(font_);
    int widest = 0;
    for (const Entry& e : entries_) widest = std::max(widest, fm.horizontalAdvance(e.text));
    sampleWidth_ = static_cast<int>(std::lround(colorWidth_ * widest / 100.0)) + 4;
    cellWidth_ = kSpacing + sampleWidth_ + kSpacing + widest + kSpacing;
    rowHeight_ = fm.height() + 2 * vertMargin_;

    const int count = static_cast<int>(entries_.size());
    const int available = area.width() - 2 * kSpacing - 2;
    columns_ = std::clamp(available / std::max(cellWidth_, 1), 1, count);
    rows_ = std::min((count + columns_ - 1) / columns_, std::max(maxNumRows_, 1));
    entries_.resize(static_cast<std::size_t>(std::min(count, rows_ * columns_)));

    const int width = columns_ * cellWidth_ + 2;
    const int height = rows_ * rowHeight_ + 2;
    // Centred on the chart, then moved right by TopPos percent of the width left free.
    const int free = area.width() - width;
    const int left = area.left() + free / 2 + static_cast<int>(std::lround(topPos_ * free / 100.0));
    rect_ = QRect(left, area.top(), width, height);
    return height + shadowSize_ + kGapBelow;
}

void TChartLegend::Draw(QPainter& painter) const {
    if (rect_.isEmpty()) return;
    if (shadowSize_ > 0)
        painter.fillRect(rect_.translated(shadowSize_, shadowSize_), QColor(0x80, 0x80, 0x80));
    painter.fillRect(rect_, color_);
    painter.setPen(QPen(Qt::black, 0));
    if (frameVisible_) painter.drawRect(rect_.adjusted(0, 0, -1, -1));

    const int left = rect_.left() + 1;
    const int top = rect_.top() + 1;
    if (dividingLines_) {
        for (int c = 1; c < columns_; ++c)
            painter.drawLine(left + c * cellWidth_, top, left + c * cellWidth_, rect_.bottom() - 1);
        for (int r = 1; r < rows_; ++r)
            painter.drawLine(left, top + r * rowHeight_, rect_.right() - 1, top + r * rowHeight_);
    }

    painter.setFont(font_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int column = static_cast<int>(i) % columns_;
        const int row = static_cast<int>(i) / columns_;
        const QRect cell(left + column * cellWidth_, top + row * rowHeight_, cellWidth_,
                         rowHeight_);
        const QRect sample(cell.left() + kSpacing, cell.top(), sampleWidth_, rowHeight_);
        DrawSample(painter, *entries_[i].series, sample);
        painter.setPen(fontColor_);
        painter.drawText(QRect(sample.right() + 1 + kSpacing, cell.top(),
                               cell.right() - sample.right() - kSpacing, rowHeight_),
                         Qt::AlignLeft | Qt::AlignVCenter, entries_[i].text);
    }
}

void TChartLegend::DrawSample(QPainter& painter, const TLineSeries& series,
                              const QRect& box) const {
    const QColor color = series.SeriesColor();
    const int y = box.top() + box.height() / 2;
    painter.setPen(LinePenFor(series.LinePen(), color));
    painter.drawLine(box.left(), y, box.right(), y);
    const TSeriesPointer& pointer = series.Pointer();
    if (pointer.Visible) {
        const int x = box.left() + box.width() / 2;
        const QRect square(x - pointer.HorizSize, y - pointer.VertSize, 2 * pointer.HorizSize + 1,
                           2 * pointer.VertSize + 1);
        painter.fillRect(square, PointerOutline(pointer, color));
        painter.fillRect(square.adjusted(1, 1, -1, -1), PointerFill(pointer, color));
    }
}

}  // namespace quorvex::ui
