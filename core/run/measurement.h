#pragma once
// The measurement cycle's computations: what Start sets up, the once-a-second tick that turns
// counts into bars, figures and chart points, Clear, and Hold.
//
// User-interface thread only. The window reads its controls, calls these, and applies what
// they return; it opens the ports and drives the widgets itself.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/run/chart_series.h"
#include "core/run/measurement_cycle.h"
#include "core/settings/receiver_kind.h"

namespace quorvex {

// "Filter" list index 0..4 -> 2, 5, 15, 30, 60 seconds; any other index keeps `current`.
int IntervalSecondsForIndex(int index, int current);
// Chart window list index 0..4 -> 30, 60, 300, 1800, 3600 seconds; else `current`.
int ChartSecondsForIndex(int index, int current);

// The texts Start reads from the receivers' lists.
struct StartControls {
    std::string Port1, Port2;          // cbport1, cbport2
    std::string BaudRate1, BaudRate2;  // cbbaudrate1, cbbaudrate2
    std::string Format1, Format2;      // cbstring1, cbstring2
    int TimerIndex = -1;               // cbtimer's selection
};

struct SerialSetup {
    std::string Port;  // the device, exactly as the list shows it
    int BaudRate = 0;
};

// A decoder's TCP output.
struct NetworkSetup {
    std::string Host;
    int Port = 0;
    NetworkKind Kind = NetworkKind::Raw;
};

struct ReceiverSetup {
    char StartString = ':';  // the framer's start character: the format's first character
    bool CrcOption = false;  // checked for the "*" and "@" formats, which leave the parity to us
    // The serial line carries Beast binary frames (the "Beast binary" format), not text.
    bool BeastLine = false;
    std::optional<SerialSetup> Serial;    // none: receiver 2 fed by UDP datagrams, or...
    std::optional<NetworkSetup> Network;  // ...a receiver on the network
};

struct StartPlan {
    std::optional<ReceiverSetup> Receiver1;  // none: no serial port chosen
    std::optional<ReceiverSetup> Receiver2;  // none: neither a serial port nor UDP
    bool Receiver2Udp = false;               // then the window empties cbport2's text
    int IntervalSeconds = 5;
};

// A Start the system refuses, shown in a message box with an error icon.
struct StartRefusal {
    std::string Caption;
    std::string Text;
};

// Decides what Start sets up, before anything is opened. Raises EConvertError for a rate
// text that is no whole number ("'' is not a valid integer value" for an empty list). A
// network receiver whose host:port does not parse is refused ("Receiver 1: " and why).
std::variant<StartPlan, StartRefusal> PlanStart(const StartControls& controls,
                                                int currentIntervalSeconds);

// After the plan was applied: the histories start from zero and the averages from one second.
void StartMeasurement(MeasurementState& measurement, int intervalSeconds);

// The "Clear" button: every history slot to zero; counters, bars and chart are left alone.
void ClearHistories(MeasurementState& measurement);

// Releasing "Hold": the counters start again from zero.
inline void HoldReleased(MeasurementCycle& cycle) {
    cycle.Counts.Zero();
    cycle.Levels = {};
}

struct ChartPoint {
    double X;
    double Y;
    bool operator==(const ChartPoint&) const = default;
};

struct TickInputs {
    int TimerIndex = -1;  // cbtimer's current selection
    int ChartIndex = 0;   // cb1's selection: 0..2 short windows, 3..4 long
    std::string_view DecimalSeparator = ".";
    std::int64_t UnixSeconds = 0;  // now, for the second's record
};

struct TickResult {
    // Bars in counter order (receiver 1's six, receiver 2's six, the feed's three), and
    // their common maximum.
    std::array<std::int32_t, IntervalCounts::kCounterCount> BarPositions{};
    std::int32_t BarMaximum = 0;
    std::string FeedFigure;       // the feed's figure
    std::string Receiver1Figure;  // receiver 1's figure
    std::string Receiver2Figure;  // receiver 2's figure
    // The chart's series in ChartSeries order, each refilled from scratch with
    // x = 1..ChartSeconds.
    std::array<std::vector<ChartPoint>, kChartSeriesCount> Series;

    std::vector<ChartPoint>& Points(ChartSeries series) { return Series[Index(series)]; }
    const std::vector<ChartPoint>& Points(ChartSeries series) const {
        return Series[Index(series)];
    }
};

// One tick that is not held: reads the interval, scans the feed (counting its messages and
// handing each entry to `onFeedEntry`), moves the counters into the histories, computes
// averages, bars, figures and chart points into `result` (reused from tick to tick, so its
// storage is kept), advances SampleCount and zeroes the counters. Anything counted after it
// returns belongs to the next second.
using FeedEntryVisitor = std::function<void(std::string_view entry)>;
// The tick's feed scan: takes the current buffer half and counts its messages into
// Counts.CountsS, handing each entry on.
void FeedScan(MeasurementCycle& cycle, const FeedEntryVisitor& onFeedEntry = {});
void Tick(MeasurementCycle& cycle, const TickInputs& inputs, TickResult& result,
          const FeedEntryVisitor& onFeedEntry = {});
// A tick whose second was not measured (the program stalled): nothing goes into the
// histories, so no second, rate or average is made of it; the feed's text is scanned into
// `feed` alone, the counters are zeroed and the averages start again from one second, as
// after Start. `result` is left as the last measured second made it.
void SkipSecond(MeasurementCycle& cycle, FeedCounts& feed,
                const FeedEntryVisitor& onFeedEntry = {});

// v / sampleCount with one decimal, rounded half away from zero on the exact value.
std::string FormatRate(std::int64_t v, int sampleCount, std::string_view decimalSeparator);

}  // namespace quorvex
