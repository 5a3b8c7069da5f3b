#include "ui/value_list.h"

#include <iterator>

namespace quorvex::ui {

double TChartValueList::MinValue() const {
    if (stale_) Recompute();
    return min_;
}

double TChartValueList::MaxValue() const {
    if (stale_) Recompute();
    return max_;
}

double TChartValueList::Total() const {
    if (stale_) Recompute();
    return total_;
}

void TChartValueList::InsertAt(std::size_t index, double v) {
    values_.insert(values_.begin() + static_cast<std::ptrdiff_t>(index), v);
    stale_ = true;
}

void TChartValueList::Clear() {
    values_.clear();
    stale_ = true;
}

std::size_t TChartValueList::IndexBefore(double v) const {
    std::size_t i = values_.size() - 1;
    while (i > 0 && v < values_[i - 1]) --i;
    return i;
}

void TChartValueList::Recompute() const {
    min_ = max_ = total_ = 0;
    if (!values_.empty()) {
        if (ordered_) {
            min_ = values_.front();
            max_ = values_.back();
        } else {
            min_ = max_ = values_.front();
            for (double v : values_) {
                if (v < min_) min_ = v;
                if (v > max_) max_ = v;
            }
        }
        for (double v : values_) total_ += v;
    }
    stale_ = false;
}

}  // namespace quorvex::ui
