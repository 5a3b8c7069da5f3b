#pragma once
// One value list of a series (its X or its Y values): doubles with a cached minimum, maximum
// and total that are recomputed on demand after any change.
//
// User-interface thread only, like the chart that owns it.

#include <cstddef>
#include <vector>

namespace quorvex::ui {

class TChartValueList {
  public:
    // An ordered list (the X values) keeps ascending order; its owner inserts accordingly.
    explicit TChartValueList(bool ordered) : ordered_(ordered) {}

    bool Ordered() const { return ordered_; }
    std::size_t Count() const { return values_.size(); }
    bool Empty() const { return values_.empty(); }
    double operator[](std::size_t i) const { return values_[i]; }
    double Last() const { return values_.back(); }
    const double* Data() const { return values_.data(); }
    const std::vector<double>& Values() const { return values_; }

    double MinValue() const;
    double MaxValue() const;
    double Total() const;

    // Multiplier 1, not date-time: kept as configuration, the values are used as stored.
    double Multiplier() const { return 1.0; }
    bool DateTime() const { return false; }

    void Append(double v) {
        values_.push_back(v);
        stale_ = true;
    }
    void InsertAt(std::size_t index, double v);
    void Clear();
    void Reserve(std::size_t n) { values_.reserve(n); }

    // Where a new value goes in an ordered list: after every element not greater than `v`.
    // Walks back from the end, so appending in order costs constant time.
    std::size_t InsertionIndex(double v) const {
        return values_.empty() || !(v < values_.back()) ? values_.size() : IndexBefore(v);
    }

  private:
    std::size_t IndexBefore(double v) const;  // InsertionIndex for a value below the last
    void Recompute() const;

    bool ordered_;
    std::vector<double> values_;
    mutable bool stale_ = true;
    mutable double min_ = 0, max_ = 0, total_ = 0;
};

}  // namespace quorvex::ui
