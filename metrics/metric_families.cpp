#include "metrics/metric_values.h"

#include <prometheus/text_serializer.h>

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <string_view>
#include <utility>

namespace quorvex::metrics {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

constexpr std::array<std::string_view, kSourceCount> kSourceLabels = {"receiver1", "receiver2",
                                                                      "feed"};
// As the --csv file's columns name the groups.
constexpr std::array<std::string_view, kDfGroupCount> kGroupLabels = {
    "DF0", "DF4_5", "DF11", "DF11_IC", "DF17_19", "DF20_21"};
constexpr std::array<std::string_view, 3> kFeedLabels = {"MSG5_6", "MSG8", "other"};
constexpr std::array<std::string_view, 4> kHeardByLabels = {"both", "only1", "only2", "feed_only"};
constexpr std::array<double, 3> kQuantiles = {0.25, 0.5, 0.75};

// The families in the order added. A family's reference stays good while later ones are
// added: room for all of them is made first.
class Families {
  public:
    Families() { families_.reserve(kMost); }
    MetricFamily& Add(std::string name, std::string help, MetricType type) {
        if (families_.size() == kMost) std::abort();  // a reference given out would dangle
        MetricFamily& family = families_.emplace_back();
        family.name = std::move(name);
        family.help = std::move(help);
        family.type = type;
        return family;
    }
    // A family without samples (a gauge with no value yet) is left out whole.
    std::vector<MetricFamily> Take() {
        std::erase_if(families_, [](const MetricFamily& family) { return family.metric.empty(); });
        return std::move(families_);
    }

  private:
    static constexpr std::size_t kMost = 24;
    std::vector<MetricFamily> families_;
};

// One sample with its labels; a counter's or a gauge's value by the family's type.
void Sample(MetricFamily& family, double value,
            std::initializer_list<std::pair<std::string_view, std::string_view>> labels = {}) {
    ClientMetric& metric = family.metric.emplace_back();
    metric.label.reserve(labels.size());
    for (const auto& [name, text] : labels) {
        metric.label.push_back({std::string(name), std::string(text)});
    }
    if (family.type == MetricType::Counter) {
        metric.counter.value = value;
    } else {
        metric.gauge.value = value;
    }
}

double Value(std::uint64_t count) {
    return static_cast<double>(count);
}

}  // namespace

std::vector<MetricFamily> MetricFamilies(const MetricValues& v) {
    Families out;
    MetricFamily& frames =
        out.Add("quorvex_frames_total",
                "Frames counted per receiver and Downlink Format group since the session's start",
                MetricType::Counter);
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t g = 0; g < kDfGroupCount; ++g) {
            Sample(frames, Value(v.frames[r][g]),
                   {{"source", kSourceLabels[r]}, {"group", kGroupLabels[g]}});
        }
    }
    MetricFamily& feed = out.Add("quorvex_feed_lines_total",
                                 "Port-30003 feed lines counted per message type since the "
                                 "session's start",
                                 MetricType::Counter);
    for (std::size_t t = 0; t < kFeedLabels.size(); ++t) {
        Sample(feed, Value(v.feedLines[t]), {{"type", kFeedLabels[t]}});
    }
    MetricFamily& rejected =
        out.Add("quorvex_packets_rejected_total",
                "Receiver packets rejected (not a frame) since the start", MetricType::Counter);
    for (std::size_t r = 0; r < 2; ++r) {
        Sample(rejected, Value(v.rejectedPackets[r]), {{"source", kSourceLabels[r]}});
    }
    MetricFamily& lost =
        out.Add("quorvex_connections_lost_total", "Connections or devices lost since the start",
                MetricType::Counter);
    MetricFamily& positions =
        out.Add("quorvex_positions_total",
                "Airborne positions placed from the station since the session's start",
                MetricType::Counter);
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        Sample(lost, Value(v.connectionsLost[s]), {{"source", kSourceLabels[s]}});
        Sample(positions, Value(v.positions[s]), {{"source", kSourceLabels[s]}});
    }
    Sample(out.Add("quorvex_udp_datagrams_dropped_total",
                   "Receiver 2's UDP datagrams the kernel dropped (its queue full) since the "
                   "program started",
                   MetricType::Counter),
           Value(v.udpDatagramsDropped));
    Sample(out.Add("quorvex_twin_frames_total",
                   "Frames both receivers heard (twins) since the session's start",
                   MetricType::Counter),
           Value(v.twinFrames));
    MetricFamily& positionFrames =
        out.Add("quorvex_position_frames_total",
                "Placed airborne position frames heard by both receivers or one only since the "
                "session's start",
                MetricType::Counter);
    Sample(positionFrames, Value(v.positionFrames.both), {{"heard_by", kHeardByLabels[0]}});
    Sample(positionFrames, Value(v.positionFrames.only1), {{"heard_by", kHeardByLabels[1]}});
    Sample(positionFrames, Value(v.positionFrames.only2), {{"heard_by", kHeardByLabels[2]}});

    MetricFamily& rangeMax =
        out.Add("quorvex_range_max_nm",
                "The farthest placed position per source and 10-degree sector (its start), NM",
                MetricType::Gauge);
    MetricFamily& rangeP95 =
        out.Add("quorvex_range_p95_nm",
                "The 95th percentile of placed positions' range per source, NM", MetricType::Gauge);
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        for (std::size_t k = 0; k < kSectorCount; ++k) {
            if (!v.rangeMaxNm[s][k]) continue;
            const std::string sector = std::to_string(k * 10);
            Sample(rangeMax, *v.rangeMaxNm[s][k],
                   {{"source", kSourceLabels[s]}, {"sector", sector}});
        }
        if (v.rangeP95Nm[s]) Sample(rangeP95, *v.rangeP95Nm[s], {{"source", kSourceLabels[s]}});
    }
    MetricFamily& level =
        out.Add("quorvex_level_dbfs_mean",
                "The mean signal level of a receiver's frames with a level since the session's "
                "start, dBFS",
                MetricType::Gauge);
    for (std::size_t r = 0; r < 2; ++r) {
        if (v.levelMeanDbfs[r]) Sample(level, *v.levelMeanDbfs[r], {{"source", kSourceLabels[r]}});
    }
    if (v.levelCompared > 0 && v.levelDeltaQuartilesDb) {
        // A summary: quantile labels belong to one, and it gives the count and sum beside.
        MetricFamily& delta = out.Add(
            "quorvex_level_delta_db",
            "The level difference of twins compared, receiver 2 - receiver 1, dB: quartiles",
            MetricType::Summary);
        ClientMetric::Summary& summary = delta.metric.emplace_back().summary;
        summary.sample_count = v.levelCompared;
        summary.sample_sum = v.levelDeltaSumDb;
        for (std::size_t q = 0; q < kQuantiles.size(); ++q) {
            summary.quantile.push_back({kQuantiles[q], (*v.levelDeltaQuartilesDb)[q]});
        }
        Sample(out.Add("quorvex_level_compared_total",
                       "Twins whose levels were compared since the session's start",
                       MetricType::Counter),
               Value(v.levelCompared));
    }
    MetricFamily& aircraft =
        out.Add("quorvex_aircraft",
                "Aircraft heard in the last minute by both receivers, one only or the feed only",
                MetricType::Gauge);
    for (std::size_t h = 0; h < kHeardByLabels.size(); ++h) {
        Sample(aircraft, v.aircraft[h], {{"heard_by", kHeardByLabels[h]}});
    }
    MetricFamily& up =
        out.Add("quorvex_up", "1 while a source is connected or its port open", MetricType::Gauge);
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        Sample(up, v.up[s] ? 1 : 0, {{"source", kSourceLabels[s]}});
    }
    Sample(out.Add("quorvex_build_info", "The program's version", MetricType::Gauge), 1,
           {{"version", v.version}});

    Sample(out.Add("process_cpu_seconds_total", "Total user and system CPU time spent in seconds",
                   MetricType::Counter),
           v.process.cpuSeconds);
    Sample(out.Add("process_resident_memory_bytes", "Resident memory size in bytes",
                   MetricType::Gauge),
           v.process.residentBytes);
    Sample(out.Add("process_open_fds", "Number of open file descriptors", MetricType::Gauge),
           v.process.openFds);
    Sample(out.Add("process_start_time_seconds",
                   "Start time of the process since unix epoch in seconds", MetricType::Gauge),
           v.process.startTimeSeconds);
    return out.Take();
}

std::string ExpositionText(const std::vector<prometheus::MetricFamily>& families) {
    std::ostringstream text;
    prometheus::TextSerializer().Serialize(text, families);
    return text.str();
}

}  // namespace quorvex::metrics
