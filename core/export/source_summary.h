#pragma once
// The summary a run without a window prints every period: one line per source with its rates
// over the period, as the Control page's figures give them, and what it lost since the start.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/base/source_id.h"
#include "core/run/second_history.h"

namespace quorvex {

// The seconds of one summary period, added up as the tick closes each.
class SummaryPeriod {
  public:
    void Add(const SecondRecord& second);
    void Clear() { *this = SummaryPeriod{}; }

    int Seconds() const { return seconds_; }
    // The newest second added (the period's end), as the --csv file stamps it.
    std::int64_t EndUnixSeconds() const { return end_; }
    // Everything the source counted: frames of every DF group, or feed lines of every type.
    std::int64_t All(SourceId source) const { return all_[SourceIndex(source)]; }
    // The DF 11/17 ones, the chart's quantity.
    std::int64_t Df11_17(SourceId source) const { return df11_17_[SourceIndex(source)]; }

  private:
    int seconds_ = 0;
    std::int64_t end_ = 0;
    std::array<std::int64_t, kSourceCount> all_{};
    std::array<std::int64_t, kSourceCount> df11_17_{};
};

// What a source lost since the start; none where it does not apply (a receiver fed by UDP has
// no connection, the feed rejects no packet).
struct SourceLosses {
    std::optional<std::uint64_t> LostConnections;
    std::optional<std::uint64_t> RejectedPackets;
    // Receiver 2 on UDP: datagrams the kernel dropped, its socket's queue full.
    std::optional<std::uint64_t> DroppedDatagrams;
};

// "receiver 1", "receiver 2" or "feed", as the summary and the run's messages name them.
std::string SourceName(SourceId source);

// "2024-05-01T12:00:00Z receiver 1: 812.4 frames/s, DF 11/17 402.1/s over 60 s; since the
// start 0 connections lost, 3 packets rejected"; receiver 2 on UDP adds ", 5 datagrams
// dropped"; the feed counts lines. Rates to one decimal,
// rounded half away from zero.
std::string SourceSummaryLine(SourceId source, const SummaryPeriod& period,
                              const SourceLosses& losses);

}  // namespace quorvex
