#include "core/run/measurement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "core/base/convert_error.h"
#include "core/feed/feed_scan.h"
#include "core/settings/host_port.h"
#include "platform/ui_thread.h"

namespace quorvex {
namespace {

constexpr std::array<int, 5> kIntervalSeconds = {2, 5, 15, 30, 60};
constexpr std::array<int, 5> kChartSeconds = {30, 60, 300, 1800, 3600};
constexpr int kFirstLongChartIndex = 3;  // "30 min": only the per-second lines are drawn

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Sets up one receiver's framer from its format text; nothing when the text is empty.
std::optional<ReceiverSetup> FramerFromFormat(std::string_view format) {
    if (format.empty()) return std::nullopt;
    ReceiverSetup setup;
    if (format.starts_with(kBeastFormatItem)) {
        // Binary frames with their parity as sent: the residual is always computed here.
        setup.BeastLine = true;
        setup.StartString = '*';
        setup.CrcOption = true;
        return setup;
    }
    setup.StartString = format.front();
    // "*" delivers the transmitted parity and "@" adds only a counter: we compute the
    // residual. ":" receivers deliver the residual themselves.
    setup.CrcOption = setup.StartString == '*' || setup.StartString == '@';
    return setup;
}

StartRefusal NoFormat(SourceId receiver);

// Beast binary has no text lines for the framer that UDP datagrams and raw TCP feed.
StartRefusal BeastNeedsLine(SourceId receiver, std::string_view transport) {
    return {"Quorvex", "Receiver " + std::to_string(ReceiverNumber(receiver)) +
                           ": Beast binary is read from a serial line or from \"" +
                           std::string(kTcpBeastItem) + "\", not from " + std::string(transport)};
}

// A receiver on a decoder's TCP output. Raw text goes through the framer like a serial
// line's; Beast frames arrive whole and binary, with their parity as sent, so the format
// list does not apply and the residual is always computed here.
std::variant<ReceiverSetup, StartRefusal> NetworkReceiver(SourceId receiver, NetworkKind kind,
                                                          std::string_view address,
                                                          std::string_view format) {
    auto parsed = ParseHostPort(address, DefaultNetworkPort(kind));
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        return StartRefusal{"Quorvex",
                            "Receiver " + std::to_string(ReceiverNumber(receiver)) + ": " + *error};
    }
    std::optional<ReceiverSetup> setup;
    if (kind == NetworkKind::Beast) {
        setup = ReceiverSetup{'*', true, false, std::nullopt, std::nullopt};
    } else {
        setup = FramerFromFormat(format);
        if (!setup) return NoFormat(receiver);
        if (setup->BeastLine) return BeastNeedsLine(receiver, kTcpRawItem);
    }
    auto& hostPort = std::get<HostPort>(parsed);
    setup->Network = NetworkSetup{std::move(hostPort.host), hostPort.port, kind};
    return *setup;
}

StartRefusal NoFormat(SourceId receiver) {
    return {"Quorvex",
            "Select a line format for receiver " + std::to_string(ReceiverNumber(receiver)) + "!"};
}

template <typename T, std::size_t N>
void ShiftIn(std::array<T, N>& history, T newest) {
    std::copy(history.begin() + 1, history.end(), history.begin());
    history.back() = newest;
}

template <typename T, std::size_t N>
std::int64_t SumNewest(const std::array<T, N>& history, int count) {
    return std::accumulate(history.end() - count, history.end(), std::int64_t{0});
}

std::int32_t ClampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void AppendRate(std::string& out, std::int64_t v, int sampleCount, std::string_view separator) {
    // Tenths, rounded half away from zero, from integers alone: 15 hits over 60 s is 0.3.
    const std::int64_t n = sampleCount;
    const std::int64_t magnitude = v < 0 ? -v : v;
    const std::int64_t tenths = (20 * magnitude + n) / (2 * n);
    if (v < 0 && tenths != 0) out += '-';
    out += std::to_string(tenths / 10);
    out += separator;
    out += static_cast<char>('0' + tenths % 10);
}

// ", -23.4 dBFS, 2 % strong": the mean signal level over the newest `seconds`, when frames
// carried one, and the share of them at -3 dBFS or stronger in whole percent.
void AppendMeanLevel(std::string& figure, const std::array<LevelSum, kCountHistorySlots>& history,
                     int seconds, std::string_view separator) {
    double sum = 0;
    std::int64_t count = 0;
    std::int64_t strong = 0;
    for (auto it = history.end() - seconds; it != history.end(); ++it) {
        sum += it->Sum;
        count += it->Count;
        strong += it->Strong;
    }
    if (count == 0) return;
    const std::int64_t tenths = std::llround(sum / static_cast<double>(count) * 10.0);
    figure += ", ";
    if (tenths < 0) figure += '-';
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    figure += std::to_string(magnitude / 10);
    figure += separator;
    figure += static_cast<char>('0' + magnitude % 10);
    figure += " dBFS, ";
    figure += std::to_string((200 * strong + count) / (2 * count));
    figure += " % strong";
}

// The sum of source `s`'s rate over the newest `count` seconds held.
std::int64_t SumNewestRates(const SecondHistory& seconds, std::size_t s, int count) {
    std::int64_t sum = 0;
    const std::size_t held = seconds.size();
    for (std::size_t i = 0; i < static_cast<std::size_t>(count) && i < held; ++i) {
        sum += seconds[held - 1 - i].Rates[s];
    }
    return sum;
}

// One point per second of the chart's window, x = 1..chartSeconds; the seconds before the
// first one held are zeros.
template <typename Value>
void FillSeries(std::vector<ChartPoint>& series, const SecondHistory& seconds, int chartSeconds,
                Value value) {
    const auto held = static_cast<std::ptrdiff_t>(seconds.size());
    for (int k = 1; k <= chartSeconds; ++k) {
        const std::ptrdiff_t i = held - chartSeconds + k - 1;
        series.push_back(
            {static_cast<double>(k),
             i < 0 ? 0.0 : static_cast<double>(value(seconds[static_cast<std::size_t>(i)]))});
    }
}

}  // namespace

int IntervalSecondsForIndex(int index, int current) {
    return index >= 0 && index < static_cast<int>(kIntervalSeconds.size())
               ? kIntervalSeconds[static_cast<std::size_t>(index)]
               : current;
}

int ChartSecondsForIndex(int index, int current) {
    return index >= 0 && index < static_cast<int>(kChartSeconds.size())
               ? kChartSeconds[static_cast<std::size_t>(index)]
               : current;
}

std::variant<StartPlan, StartRefusal> PlanStart(const StartControls& controls,
                                                int currentIntervalSeconds) {
    if (controls.Port1 == controls.Port2 && !TrimBlanks(controls.Port1).empty()) {
        return StartRefusal{"Quorvex", "Select different ports!"};
    }
    StartPlan plan;
    if (const auto kind = NetworkKindOf(controls.BaudRate1)) {
        auto setup = NetworkReceiver(SourceId::Receiver1, *kind, controls.Port1, controls.Format1);
        if (const auto* refusal = std::get_if<StartRefusal>(&setup)) return *refusal;
        plan.Receiver1 = std::get<ReceiverSetup>(setup);
    } else if (!TrimBlanks(controls.Port1).empty()) {
        plan.Receiver1 = FramerFromFormat(controls.Format1);
        if (!plan.Receiver1) return NoFormat(SourceId::Receiver1);
        plan.Receiver1->Serial = SerialSetup{controls.Port1, StrToInt(controls.BaudRate1)};
    }
    if (controls.BaudRate2.starts_with("U")) {
        // The "UDP Port" item: datagrams feed receiver 2's framer; the CRC option follows the
        // format as on a serial line, or a "*" receiver would fail nearly every DF 11/17.
        plan.Receiver2 = FramerFromFormat(controls.Format2);
        if (!plan.Receiver2) return NoFormat(SourceId::Receiver2);
        if (plan.Receiver2->BeastLine) return BeastNeedsLine(SourceId::Receiver2, "UDP datagrams");
        plan.Receiver2Udp = true;
    } else if (const auto kind2 = NetworkKindOf(controls.BaudRate2)) {
        auto setup = NetworkReceiver(SourceId::Receiver2, *kind2, controls.Port2, controls.Format2);
        if (const auto* refusal = std::get_if<StartRefusal>(&setup)) return *refusal;
        plan.Receiver2 = std::get<ReceiverSetup>(setup);
    } else if (!TrimBlanks(controls.Port2).empty()) {
        plan.Receiver2 = FramerFromFormat(controls.Format2);
        if (!plan.Receiver2) return NoFormat(SourceId::Receiver2);
        plan.Receiver2->Serial = SerialSetup{controls.Port2, StrToInt(controls.BaudRate2)};
    }
    plan.IntervalSeconds = IntervalSecondsForIndex(controls.TimerIndex, currentIntervalSeconds);
    return plan;
}

void StartMeasurement(MeasurementState& measurement, int intervalSeconds) {
    measurement.IntervalSeconds = intervalSeconds;
    measurement.SampleCount = 1;
    ClearHistories(measurement);
}

void ClearHistories(MeasurementState& m) {
    for (auto& row : m.CountHistory) row.fill(0);
    for (auto& row : m.LevelHistory) row.fill({});
    m.Seconds.Clear();
}

std::string FormatRate(std::int64_t v, int sampleCount, std::string_view decimalSeparator) {
    std::string text;
    AppendRate(text, v, sampleCount, decimalSeparator);
    return text;
}

// The second the tick moves into the histories: its counters, the chart's rates and their
// averages over the newest `n` seconds, this one included.
void RecordSecond(MeasurementState& m, const IntervalCounts& counts, int n,
                  std::int64_t unixSeconds) {
    SecondRecord record;
    record.UnixSeconds = unixSeconds;
    for (int row = 0; row < IntervalCounts::kCounterCount; ++row) {
        record.Counts[static_cast<std::size_t>(row)] = counts.Counter(row);
    }
    record.Rates = {ClampToInt32(std::int64_t{counts.Counts1.Df11} + counts.Counts1.Df17_19),
                    ClampToInt32(std::int64_t{counts.Counts2.Df11} + counts.Counts2.Df17_19),
                    ClampToInt32(std::int64_t{counts.CountsS.Msg8} + counts.CountsS.MsgOther)};
    for (std::size_t s = 0; s < record.Rates.size(); ++s) {
        record.Averages[s] =
            static_cast<double>(record.Rates[s] + SumNewestRates(m.Seconds, s, n - 1)) / n;
    }
    m.Seconds.Add(record);
}

// Once per tick that is not held: takes the current buffer half and counts its messages
// into Counts.CountsS, handing each entry on.
void FeedScan(MeasurementCycle& cycle, const FeedEntryVisitor& onFeedEntry) {
    cycle.Feed.Take(cycle.FeedScratch);
    ScanFeedText(cycle.FeedScratch, cycle.Counts.CountsS, onFeedEntry);
    cycle.FeedScratch.clear();
}

void SkipSecond(MeasurementCycle& cycle, FeedCounts& feed, const FeedEntryVisitor& onFeedEntry) {
    QUORVEX_ASSERT_UI_THREAD();
    cycle.Feed.Take(cycle.FeedScratch);
    ScanFeedText(cycle.FeedScratch, feed, onFeedEntry);
    cycle.FeedScratch.clear();
    cycle.Measurement.SampleCount = 1;
    cycle.Counts.Zero();
    cycle.Levels = {};
}

void Tick(MeasurementCycle& cycle, const TickInputs& inputs, TickResult& result,
          const FeedEntryVisitor& onFeedEntry) {
    QUORVEX_ASSERT_UI_THREAD();
    MeasurementState& m = cycle.Measurement;
    IntervalCounts& counts = cycle.Counts;

    m.IntervalSeconds = IntervalSecondsForIndex(inputs.TimerIndex, m.IntervalSeconds);
    m.SampleCount = std::clamp(m.SampleCount, 1, m.IntervalSeconds);

    FeedScan(cycle, onFeedEntry);

    for (int row = 0; row < IntervalCounts::kCounterCount; ++row) {
        ShiftIn(m.CountHistory[static_cast<std::size_t>(row)], counts.Counter(row));
    }
    ShiftIn(m.LevelHistory[0], cycle.Levels[0]);
    ShiftIn(m.LevelHistory[1], cycle.Levels[1]);

    const int n = m.SampleCount;
    RecordSecond(m, counts, n, inputs.UnixSeconds);

    std::array<std::int64_t, IntervalCounts::kCounterCount> sums{};
    for (std::size_t row = 0; row < sums.size(); ++row) {
        sums[row] = SumNewest(m.CountHistory[row], n);
        result.BarPositions[row] = ClampToInt32(sums[row]);
    }

    for (auto& series : result.Series) series.clear();
    const bool longWindow = inputs.ChartIndex >= kFirstLongChartIndex;
    const ChartSeries averages[] = {ChartSeries::Receiver1Average, ChartSeries::Receiver2Average,
                                    ChartSeries::FeedAverage};
    const ChartSeries rates[] = {
        longWindow ? ChartSeries::Receiver1RateLong : ChartSeries::Receiver1Rate,
        longWindow ? ChartSeries::Receiver2RateLong : ChartSeries::Receiver2Rate,
        longWindow ? ChartSeries::FeedRateLong : ChartSeries::FeedRate};
    for (std::size_t s = 0; s < 3; ++s) {
        FillSeries(result.Points(averages[s]), m.Seconds, m.ChartSeconds,
                   [s](const SecondRecord& r) { return r.Averages[s]; });
    }
    for (std::size_t s = 0; s < 3; ++s) {
        FillSeries(result.Points(rates[s]), m.Seconds, m.ChartSeconds,
                   [s](const SecondRecord& r) { return r.Rates[s]; });
    }

    const auto total = [&sums](std::size_t first, std::size_t count) {
        return std::accumulate(sums.begin() + first, sums.begin() + first + count, std::int64_t{0});
    };
    const std::int64_t t1 = total(0, 6), t2 = total(6, 6), ts = total(12, 3);
    const std::int64_t p1 = sums[2] + sums[4], p2 = sums[8] + sums[10], ps = sums[13] + sums[14];
    const std::string_view sep = inputs.DecimalSeparator;
    auto figure = [&](std::string& label, std::int64_t all, std::int64_t chart,
                      std::string_view suffix) {
        label.clear();
        AppendRate(label, all, n, sep);
        label += " [";
        AppendRate(label, chart, n, sep);
        label += "*]";
        label += suffix;
    };
    figure(result.FeedFigure, ts, ps, "");
    figure(result.Receiver1Figure, t1, p1, " packets/s");
    figure(result.Receiver2Figure, t2, p2, " packets/s");
    AppendMeanLevel(result.Receiver1Figure, m.LevelHistory[0], n, sep);
    AppendMeanLevel(result.Receiver2Figure, m.LevelHistory[1], n, sep);
    result.BarMaximum = ClampToInt32(std::max({t1, t2, ts}));

    m.SampleCount = std::min(m.SampleCount + 1, m.IntervalSeconds);
    counts.Zero();
    cycle.Levels = {};
}

}  // namespace quorvex
