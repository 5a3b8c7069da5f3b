#include "core/export/source_summary.h"

#include "core/base/csv.h"
#include "core/run/measurement.h"

namespace quorvex {
namespace {

constexpr std::size_t kGroups = 6;  // a receiver's counters; the feed's three follow both

std::string Counted(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string SourceName(SourceId source) {
    return source == SourceId::Feed ? "feed" : "receiver " + std::to_string(ReceiverNumber(source));
}

void SummaryPeriod::Add(const SecondRecord& second) {
    ++seconds_;
    end_ = second.UnixSeconds;
    for (std::size_t row = 0; row < second.Counts.size(); ++row) {
        all_[row < 2 * kGroups ? row / kGroups : SourceIndex(SourceId::Feed)] += second.Counts[row];
    }
    for (std::size_t source = 0; source < kSourceCount; ++source) {
        df11_17_[source] += second.Rates[source];
    }
}

std::string SourceSummaryLine(SourceId source, const SummaryPeriod& period,
                              const SourceLosses& losses) {
    const int seconds = period.Seconds() > 0 ? period.Seconds() : 1;
    std::string line = Iso8601Utc(period.EndUnixSeconds()) + " " + SourceName(source) + ": ";
    line += FormatRate(period.All(source), seconds, ".");
    line += source == SourceId::Feed ? " lines/s" : " frames/s";
    line += ", DF 11/17 " + FormatRate(period.Df11_17(source), seconds, ".") + "/s over " +
            std::to_string(period.Seconds()) + " s";
    std::string since;
    if (losses.LostConnections) {
        since += Counted(*losses.LostConnections, "connection lost", "connections lost");
    }
    if (losses.RejectedPackets) {
        since += (since.empty() ? "" : ", ") +
                 Counted(*losses.RejectedPackets, "packet rejected", "packets rejected");
    }
    if (losses.DroppedDatagrams) {
        since += (since.empty() ? "" : ", ") +
                 Counted(*losses.DroppedDatagrams, "datagram dropped", "datagrams dropped");
    }
    if (!since.empty()) line += "; since the start " + since;
    return line;
}

}  // namespace quorvex
