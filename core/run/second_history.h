#pragma once
// The measurement's seconds for the last hour, as the Graph page's export and the --csv
// file write them: when each second ended, its fifteen counters, and the chart's rates.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/frames/interval_counts.h"

namespace quorvex {

inline constexpr std::size_t kSecondHistorySlots = 3600;

struct SecondRecord {
    std::int64_t UnixSeconds = 0;  // when the tick closed the second
    std::array<std::int32_t, IntervalCounts::kCounterCount> Counts{};
    std::array<std::int32_t, 3> Rates{};  // the chart's DF 11/17 hits: receiver 1, 2, feed
    std::array<double, 3> Averages{};     // their moving averages
};

class SecondHistory {
  public:
    SecondHistory() { records_.reserve(kSecondHistorySlots); }

    // The oldest second goes once an hour is held.
    void Add(const SecondRecord& record);
    void Clear() {
        records_.clear();
        oldest_ = 0;
    }
    std::size_t size() const { return records_.size(); }
    // 0 is the oldest held.
    const SecondRecord& operator[](std::size_t i) const {
        return records_[(oldest_ + i) % records_.size()];
    }
    const SecondRecord& Newest() const { return (*this)[size() - 1]; }

  private:
    std::vector<SecondRecord> records_;
    std::size_t oldest_ = 0;
};

// The header row and one row per second, as CSV.
void AppendSecondCsvHeader(std::string& out);
void AppendSecondCsvRow(std::string& out, const SecondRecord& record);
// The header and every second held, oldest first.
std::string SecondHistoryCsv(const SecondHistory& history);

}  // namespace quorvex
