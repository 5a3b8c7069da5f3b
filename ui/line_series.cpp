#include "ui/line_series.h"

#include <utility>

#include "platform/ui_thread.h"
#include "ui/chart.h"

namespace quorvex::ui {

QPen LinePenFor(const TChartPen& pen, const QColor& color) {
    QPen result(color);
    if (pen.SmallDots) {
        result.setWidth(1);
        result.setCosmetic(true);
        result.setDashPattern({1.0, 1.0});  // every other pixel
        return result;
    }
    result.setWidth(pen.Width);
    result.setCosmetic(pen.Width <= 1);
    result.setStyle(pen.Style == TPenStyle::psDot ? Qt::DotLine : Qt::SolidLine);
    result.setCapStyle(Qt::RoundCap);
    result.setJoinStyle(Qt::RoundJoin);
    return result;
}

TLineSeries::TLineSeries(TChart* parent, const QString& name) : parent_(parent), name_(name) {}

TLineSeries::~TLineSeries() = default;

void TLineSeries::Changed() {
    if (parent_) parent_->InvalidateLayers();
}

void TLineSeries::DataChanged() {
    if (parent_) parent_->Invalidate();
}

void TLineSeries::SetTitle(const QString& title) {
    if (title == title_) return;
    title_ = title;
    Changed();
}

void TLineSeries::SetSeriesColor(const QColor& color) {
    if (color == seriesColor_) return;
    seriesColor_ = color;
    Changed();
}

void TLineSeries::SetShowInLegend(bool show) {
    if (show == showInLegend_) return;
    showInLegend_ = show;
    Changed();
}

void TLineSeries::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    Changed();
}

void TLineSeries::SetLinePen(const TChartPen& pen) {
    if (pen == linePen_) return;
    linePen_ = pen;
    Changed();
}

void TLineSeries::SetPointer(const TSeriesPointer& pointer) {
    if (pointer == pointer_) return;
    pointer_ = pointer;
    Changed();
}

void TLineSeries::SetBandColor(const QColor& color) {
    if (color == bandColor_) return;
    bandColor_ = color;
    Changed();
}

void TLineSeries::SetFunctionObject(std::unique_ptr<TTeeFunction> function) {
    function_ = std::move(function);
}

std::size_t TLineSeries::AddPoint(double x, double y, const QString& label, const QColor& color) {
    const std::size_t count = xValues_.Count();
    const std::size_t index = xValues_.InsertionIndex(x);
    if (index == count) {
        xValues_.Append(x);
        yValues_.Append(y);
    } else {
        xValues_.InsertAt(index, x);
        yValues_.InsertAt(index, y);
    }
    // Colours and labels are kept from the first point that has one: a refill of plain
    // points, what every tick does, stores only their values.
    const auto at = static_cast<std::ptrdiff_t>(index);
    if (color.isValid() && colors_.empty()) colors_.resize(count);
    if (!colors_.empty()) colors_.insert(colors_.begin() + at, color);
    if (!label.isEmpty() && labels_.empty()) labels_.resize(count);
    if (!labels_.empty()) labels_.insert(labels_.begin() + at, label);
    if (color.isValid()) ++ownColors_;
    DataChanged();
    return index;
}

const QString& TLineSeries::Label(std::size_t i) const {
    static const QString kNone;
    return labels_.empty() ? kNone : labels_[i];
}

void TLineSeries::ClearPoints() {
    QUORVEX_ASSERT_UI_THREAD();
    xValues_.Clear();
    yValues_.Clear();
    colors_.clear();
    labels_.clear();
    ownColors_ = 0;
    DataChanged();
}

void TLineSeries::Reserve(std::size_t n) {
    xValues_.Reserve(n);
    yValues_.Reserve(n);
}

}  // namespace quorvex::ui
