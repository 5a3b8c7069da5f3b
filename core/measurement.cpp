#include "core/measurement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "core/convert_error.h"
#include "core/host_port.h"
#include "core/intake.h"
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
    setup.StartString = format.front();
    // "*" delivers the transmitted parity and "@" adds only a counter: we compute the
    // residual. ":" receivers deliver the residual themselves.
    setup.CrcOption = setup.StartString == '*' || setup.StartString == '@';
    return setup;
}

StartRefusal NoFormat(SourceId receiver);

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
        setup = ReceiverSetup{'*', true, std::nullopt, std::nullopt};
    } else {
        setup = FramerFromFormat(format);
        if (!setup) return NoFormat(receiver);
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

// ", -23.4 dBFS": the mean signal level over the newest `seconds`, when frames carried one.
void AppendMeanLevel(std::string& figure, const std::array<LevelSum, kCountHistorySlots>& history,
                     int seconds, std::string_view separator) {
    double sum = 0;
    std::int64_t count = 0;
    for (auto it = history.end() - seconds; it != history.end(); ++it) {
        sum += it->Sum;
        count += it->Count;
    }
    if (count == 0) return;
    const std::int64_t tenths = std::llround(sum / static_cast<double>(count) * 10.0);
    figure += ", ";
    if (tenths < 0) figure += '-';
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    figure += std::to_string(magnitude / 10);
    figure += separator;
    figure += static_cast<char>('0' + magnitude % 10);
    figure += " dBFS";
}

// The second the tick just moved into the histories, for the export and the --csv file.
void RecordSecond(MeasurementState& m, std::int64_t unixSeconds) {
    SecondRecord record;
    record.UnixSeconds = unixSeconds;
    for (std::size_t row = 0; row < record.Counts.size(); ++row) {
        record.Counts[row] = m.CountHistory[row].back();
    }
    record.Rates = {m.RateHistory1.back(), m.RateHistory2.back(), m.RateHistoryS.back()};
    record.Averages = {m.AverageHistory1.back(), m.AverageHistory2.back(),
                       m.AverageHistoryS.back()};
    m.Seconds.Add(record);
}

void FillSeries(std::vector<ChartPoint>& series, const auto& history, int chartSeconds) {
    const std::size_t first = history.size() - static_cast<std::size_t>(chartSeconds);
    for (int k = 1; k <= chartSeconds; ++k) {
        series.push_back({static_cast<double>(k),
                          static_cast<double>(history[first + static_cast<std::size_t>(k) - 1])});
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
    m.RateHistory1.fill(0);
    m.RateHistory2.fill(0);
    m.RateHistoryS.fill(0);
    m.AverageHistory1.fill(0.0);
    m.AverageHistory2.fill(0.0);
    m.AverageHistoryS.fill(0.0);
    m.Seconds.Clear();
}

std::string FormatRate(std::int64_t v, int sampleCount, std::string_view decimalSeparator) {
    std::string text;
    AppendRate(text, v, sampleCount, decimalSeparator);
    return text;
}

void Tick(MainState& state, const TickInputs& inputs, TickResult& result) {
    QUORVEX_ASSERT_UI_THREAD();
    MeasurementState& m = state.Measurement;
    IntervalCounts& counts = state.Counts;

    m.IntervalSeconds = IntervalSecondsForIndex(inputs.TimerIndex, m.IntervalSeconds);
    m.SampleCount = std::clamp(m.SampleCount, 1, m.IntervalSeconds);

    FeedScan(state);

    for (int row = 0; row < IntervalCounts::kCounterCount; ++row) {
        ShiftIn(m.CountHistory[static_cast<std::size_t>(row)], counts.Counter(row));
    }
    ShiftIn(m.LevelHistory[0], state.Levels[0]);
    ShiftIn(m.LevelHistory[1], state.Levels[1]);
    ShiftIn(m.RateHistory1,
            ClampToInt32(std::int64_t{counts.Counts1.Df11} + counts.Counts1.Df17_19));
    ShiftIn(m.RateHistory2,
            ClampToInt32(std::int64_t{counts.Counts2.Df11} + counts.Counts2.Df17_19));
    ShiftIn(m.RateHistoryS,
            ClampToInt32(std::int64_t{counts.CountsS.Msg8} + counts.CountsS.MsgOther));

    const int n = m.SampleCount;
    ShiftIn(m.AverageHistory1, static_cast<double>(SumNewest(m.RateHistory1, n)) / n);
    ShiftIn(m.AverageHistory2, static_cast<double>(SumNewest(m.RateHistory2, n)) / n);
    ShiftIn(m.AverageHistoryS, static_cast<double>(SumNewest(m.RateHistoryS, n)) / n);
    RecordSecond(m, inputs.UnixSeconds);

    std::array<std::int64_t, IntervalCounts::kCounterCount> sums{};
    for (std::size_t row = 0; row < sums.size(); ++row) {
        sums[row] = SumNewest(m.CountHistory[row], n);
        result.BarPositions[row] = ClampToInt32(sums[row]);
    }

    for (auto& series : result.Series) series.clear();
    FillSeries(result.Points(ChartSeries::Receiver1Average), m.AverageHistory1, m.ChartSeconds);
    FillSeries(result.Points(ChartSeries::Receiver2Average), m.AverageHistory2, m.ChartSeconds);
    FillSeries(result.Points(ChartSeries::FeedAverage), m.AverageHistoryS, m.ChartSeconds);
    if (inputs.ChartIndex < kFirstLongChartIndex) {
        FillSeries(result.Points(ChartSeries::Receiver1Rate), m.RateHistory1, m.ChartSeconds);
        FillSeries(result.Points(ChartSeries::Receiver2Rate), m.RateHistory2, m.ChartSeconds);
        FillSeries(result.Points(ChartSeries::FeedRate), m.RateHistoryS, m.ChartSeconds);
    } else {
        FillSeries(result.Points(ChartSeries::Receiver1RateLong), m.RateHistory1, m.ChartSeconds);
        FillSeries(result.Points(ChartSeries::Receiver2RateLong), m.RateHistory2, m.ChartSeconds);
        FillSeries(result.Points(ChartSeries::FeedRateLong), m.RateHistoryS, m.ChartSeconds);
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
    state.Levels = {};
}

}  // namespace quorvex
