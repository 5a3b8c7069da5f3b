// The measurement cycle: what Start sets up, and the tick's histories, bars, figures and chart
// checked against a plain model that keeps every second's counts.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "core/base/convert_error.h"
#include "core/run/measurement.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"

namespace quorvex {

// Chart points print as (x, y) when a comparison fails.
static void PrintTo(const ChartPoint& p, std::ostream* os) {
    *os << '(' << p.X << ", " << p.Y << ')';
}

namespace {

// ---------------------------------------------------------------------------------------
// Start

StartControls Controls(std::string port1, std::string port2, std::string baud2 = "921600") {
    StartControls c;
    c.Port1 = std::move(port1);
    c.Port2 = std::move(port2);
    c.BaudRate1 = "1000000";
    c.BaudRate2 = std::move(baud2);
    c.Format1 = "*<mode-s>; no CRC";
    c.Format2 = ":<mode-s>; CRC done";
    return c;
}

// `c` with some of its texts replaced.
StartControls With(
    StartControls c,
    std::initializer_list<std::pair<std::string StartControls::*, const char*>> texts) {
    for (const auto& [field, text] : texts) c.*field = text;
    return c;
}

using C = StartControls;
constexpr const char* kUdp = "UDP Port 7934";

TEST(PlanStartTest, Refusals) {
    const struct {
        const char* name;
        StartControls controls;
        const char* text;
    } cases[] = {
        {"same port", Controls("COM3", "COM3"), "Select different ports!"},
        {"same port, receiver 2 on UDP", Controls("COM3", "COM3", kUdp), "Select different ports!"},
        {"same device path", Controls("/dev/ttyUSB0", "/dev/ttyUSB0"), "Select different ports!"},
        {"no format for receiver 1", With(Controls("COM3", "COM4"), {{&C::Format1, ""}}),
         "Select a line format for receiver 1!"},
        {"no format for serial receiver 2", With(Controls("COM3", "COM4"), {{&C::Format2, ""}}),
         "Select a line format for receiver 2!"},
        {"no format for UDP receiver 2", With(Controls(" ", " ", kUdp), {{&C::Format2, ""}}),
         "Select a line format for receiver 2!"},
        {"same port checked before formats and rates",
         With(Controls("COM3", "COM3"),
              {{&C::Format1, ""}, {&C::Format2, ""}, {&C::BaudRate1, ""}, {&C::BaudRate2, ""}}),
         "Select different ports!"},
    };
    for (const auto& c : cases) {
        const auto outcome = PlanStart(c.controls, 5);
        ASSERT_TRUE(std::holds_alternative<StartRefusal>(outcome)) << c.name;
        EXPECT_EQ(std::get<StartRefusal>(outcome).Caption, "Quorvex") << c.name;
        EXPECT_EQ(std::get<StartRefusal>(outcome).Text, c.text) << c.name;
    }
}

// The receivers a plan sets up, spelt out for comparison: "-" for none, else start
// character, CRC option and either "udp" or port@rate.
std::string Describe(const std::optional<ReceiverSetup>& r) {
    if (!r) return "-";
    std::string text = std::string(1, r->StartString) + (r->CrcOption ? " crc " : " nocrc ");
    return text + (r->Serial ? r->Serial->Port + "@" + std::to_string(r->Serial->BaudRate) : "udp");
}

TEST(PlanStartTest, PlansFollowPortsRatesAndFormats) {
    const struct {
        const char* name;
        StartControls controls;
        const char* receiver1;
        const char* receiver2;
        bool udp;
    } cases[] = {
        {"both serial", Controls("COM3", "COM4"), "* crc COM3@1000000", ": nocrc COM4@921600",
         false},
        {"both on the blank item", Controls(" ", " "), "-", "-", false},
        {"both empty", Controls("", ""), "-", "-", false},
        {"blank items, UDP", Controls(" ", " ", kUdp), "-", ": nocrc udp", true},
        {"UDP beside a serial receiver 1", Controls("COM3", "COM4", kUdp), "* crc COM3@1000000",
         ": nocrc udp", true},
        {"receiver 2 only", Controls(" ", "/dev/ttyUSB1", "3000000"), "-",
         ": nocrc /dev/ttyUSB1@3000000", false},
        {"ports differing only by a blank", Controls("COM3", "COM3 "), "* crc COM3@1000000",
         ": nocrc COM3 @921600", false},
        {"counter format",
         With(Controls("COM3", "COM4", kUdp), {{&C::Format1, "@<48-bit counter><mode-s>;"},
                                               {&C::Format2, "*<mode-s>; no CRC"},
                                               {&C::BaudRate1, "115200"}}),
         "@ crc COM3@115200", "* crc udp", true},
        {"typed format, rates 833333 and hexadecimal",
         With(Controls("COM1", "COM2", "$F4240"), {{&C::Format2, "@"}, {&C::BaudRate1, "833333"}}),
         "* crc COM1@833333", "@ crc COM2@1000000", false},
    };
    for (const auto& c : cases) {
        const auto outcome = PlanStart(c.controls, 5);
        ASSERT_TRUE(std::holds_alternative<StartPlan>(outcome)) << c.name;
        const StartPlan& plan = std::get<StartPlan>(outcome);
        EXPECT_EQ(Describe(plan.Receiver1), c.receiver1) << c.name;
        EXPECT_EQ(Describe(plan.Receiver2), c.receiver2) << c.name;
        EXPECT_EQ(plan.Receiver2Udp, c.udp) << c.name;
    }
}

TEST(PlanStartTest, RateThatIsNoNumberRaisesBeforeAnythingIsSetUp) {
    const struct {
        const char* name;
        StartControls controls;
        const char* message;
    } cases[] = {
        {"receiver 1 without a rate", With(Controls("COM3", "COM4"), {{&C::BaudRate1, ""}}),
         "'' is not a valid integer value"},
        {"receiver 2 without a rate, receiver 1 fine", Controls("COM3", "COM4", ""),
         "'' is not a valid integer value"},
        {"receiver 2 on a text", Controls(" ", "COM4", "fast"),
         "'fast' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        try {
            (void)PlanStart(c.controls, 5);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EConvertError& error) {
            EXPECT_EQ(std::string(error.what()), c.message) << c.name;
        }
    }
    // A rate is read only for a receiver that uses its serial port.
    const auto unused = With(Controls(" ", "COM4", kUdp), {{&C::BaudRate1, ""}});
    EXPECT_TRUE(std::holds_alternative<StartPlan>(PlanStart(unused, 5)));
}

TEST(PlanStartTest, IntervalComesFromTheFilterList) {
    const struct {
        int index;
        int current;
        int expected;
    } cases[] = {{0, 5, 2},  {1, 60, 5},   {2, 5, 15},  {3, 5, 30}, {4, 5, 60},
                 {-1, 5, 5}, {-1, 30, 30}, {5, 15, 15}, {99, 2, 2}};
    for (const auto& c : cases) {
        auto controls = Controls(" ", " ");
        controls.TimerIndex = c.index;
        const auto outcome = PlanStart(controls, c.current);
        ASSERT_TRUE(std::holds_alternative<StartPlan>(outcome));
        EXPECT_EQ(std::get<StartPlan>(outcome).IntervalSeconds, c.expected)
            << "index " << c.index << ", current " << c.current;
        EXPECT_EQ(IntervalSecondsForIndex(c.index, c.current), c.expected);
    }
    // The first Start of a run, without a selection, averages over five seconds.
    EXPECT_EQ(MeasurementState{}.IntervalSeconds, 5);

    const int chart[][3] = {{0, 60, 30},   {1, 30, 60},    {2, 30, 300}, {3, 30, 1800},
                            {4, 30, 3600}, {-1, 300, 300}, {5, 60, 60}};
    for (const auto& c : chart) EXPECT_EQ(ChartSecondsForIndex(c[0], c[1]), c[2]) << c[0];
}

// ---------------------------------------------------------------------------------------
// The tick

class NoClock final : public Clock {
  public:
    LocalDateTime Now() const override { return {}; }
};

class TickTest : public ::testing::Test {
  protected:
    NoClock clock_;
    MeasurementCycle state_;
    TickResult result_;

    void Count(int row, std::int32_t n) {
        IntervalCounts& c = state_.Counts;
        std::int32_t* counters[IntervalCounts::kCounterCount] = {
            &c.Counts1.Df0,     &c.Counts1.Df4_5,   &c.Counts1.Df11,    &c.Counts1.Df11Ic,
            &c.Counts1.Df17_19, &c.Counts1.Df20_21, &c.Counts2.Df0,     &c.Counts2.Df4_5,
            &c.Counts2.Df11,    &c.Counts2.Df11Ic,  &c.Counts2.Df17_19, &c.Counts2.Df20_21,
            &c.CountsS.Msg5_6,  &c.CountsS.Msg8,    &c.CountsS.MsgOther};
        *counters[row] += n;
    }
    void Tick(int timerIndex = -1, int chartIndex = 0, std::string_view separator = ".") {
        quorvex::Tick(state_, TickInputs{timerIndex, chartIndex, separator}, result_);
    }
};

// Rows of the fifteen counters.
constexpr int kR1Df11 = 2, kR1Df11Ic = 3, kR1Df17 = 4, kR2Df0 = 6, kR2Df11 = 8, kR2Df17 = 10;
constexpr int kFeed56 = 12, kFeed8 = 13, kFeedOther = 14;

TEST_F(TickTest, AveragesCoverTheSecondsSinceStartUntilTheIntervalIsFull) {
    StartMeasurement(state_.Measurement, 5);
    const std::int32_t perSecond[] = {10, 20, 30, 40, 50, 60};
    const char* figures[] = {"10.0 [10.0*] packets/s", "15.0 [15.0*] packets/s",
                             "20.0 [20.0*] packets/s", "25.0 [25.0*] packets/s",
                             "30.0 [30.0*] packets/s", "40.0 [40.0*] packets/s"};
    const std::int32_t bars[] = {10, 30, 60, 100, 150, 200};
    const int sampleCountAfter[] = {2, 3, 4, 5, 5, 5};
    for (int t = 0; t < 6; ++t) {
        Count(kR1Df11, perSecond[t]);
        Tick();
        EXPECT_EQ(result_.Receiver1Figure, figures[t]) << "tick " << t + 1;
        EXPECT_EQ(result_.BarPositions[kR1Df11], bars[t]) << "tick " << t + 1;
        EXPECT_EQ(result_.BarMaximum, bars[t]) << "tick " << t + 1;
        EXPECT_EQ(state_.Measurement.SampleCount, sampleCountAfter[t]) << "tick " << t + 1;
    }
    // Thirty points, the part of the window before Start as zeros.
    std::vector<ChartPoint> rate, average;
    const double averages[] = {10, 15, 20, 25, 30, 40};
    for (int k = 1; k <= 30; ++k) {
        const int second = k - 25;  // the sixth second is the newest, x = 30
        rate.push_back({double(k), second >= 0 ? 10.0 * (second + 1) : 0.0});
        average.push_back({double(k), second >= 0 ? averages[second] : 0.0});
    }
    EXPECT_EQ(result_.Points(ChartSeries::Receiver1Rate), rate);
    EXPECT_EQ(result_.Points(ChartSeries::Receiver1Average), average);
    EXPECT_EQ(result_.Receiver2Figure, "0.0 [0.0*] packets/s");
    EXPECT_EQ(result_.FeedFigure, "0.0 [0.0*]");
}

TEST_F(TickTest, ShorterIntervalCutsAtOnceLongerGrowsBySecond) {
    StartMeasurement(state_.Measurement, 5);
    // One DF 0 hit of receiver 2 per second, so a bar shows how many seconds it covers.
    const struct {
        int timerIndex;
        int covered;
    } steps[] = {{1, 1},  {1, 2},  {1, 3},  {1, 4},  {1, 5},  {1, 5}, {0, 2}, {-1, 2}, {2, 2},
                 {2, 3},  {-1, 4}, {2, 5},  {2, 6},  {2, 7},  {2, 8}, {2, 9}, {2, 10}, {2, 11},
                 {2, 12}, {2, 13}, {2, 14}, {2, 15}, {2, 15}, {1, 5}, {4, 5}, {4, 6}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        Count(kR2Df0, 1);
        Tick(steps[i].timerIndex);
        EXPECT_EQ(result_.BarPositions[kR2Df0], steps[i].covered) << "tick " << i + 1;
        EXPECT_EQ(result_.Receiver2Figure, "1.0 [0.0*] packets/s") << "tick " << i + 1;
    }
}

TEST_F(TickTest, CountersAreZeroedAndLaterHitsBelongToTheNextSecond) {
    StartMeasurement(state_.Measurement, 2);
    FeedTextReceived(state_,
                     "8,tail of an older line\r\nMSG,8,111,11111\r\nMSG,3,1\r\nMSG,5,1\r\n");
    Count(kR1Df17, 7);
    Tick();
    EXPECT_EQ(state_.Counts, IntervalCounts{});
    EXPECT_EQ(result_.BarPositions[kFeed56], 1);
    EXPECT_EQ(result_.BarPositions[kFeed8], 1);
    EXPECT_EQ(result_.BarPositions[kFeedOther], 1);
    EXPECT_EQ(result_.FeedFigure, "3.0 [2.0*]");
    EXPECT_EQ(result_.Receiver1Figure, "7.0 [7.0*] packets/s");
    EXPECT_EQ(result_.Points(ChartSeries::FeedRate).back(), (ChartPoint{30, 2}));

    // Arriving after the tick: counted in the next one; a line the tick finds unfinished
    // waits for its end.
    FeedTextReceived(state_, "MSG,8,222\r\nMSG,8,");
    Count(kR1Df11Ic, 3);
    Tick();
    EXPECT_EQ(state_.Counts, IntervalCounts{});
    EXPECT_EQ(result_.BarPositions[kFeed8], 2);
    EXPECT_EQ(result_.BarPositions[kR1Df11Ic], 3);
    EXPECT_EQ(result_.Points(ChartSeries::FeedRate).back(), (ChartPoint{30, 1}));
    EXPECT_EQ(result_.Points(ChartSeries::Receiver1Rate).back(), (ChartPoint{30, 0}))
        << "DF 11# is not charted";
    EXPECT_EQ(result_.FeedFigure, "2.0 [1.5*]");
    EXPECT_EQ(result_.Receiver1Figure, "5.0 [3.5*] packets/s");
    EXPECT_EQ(result_.BarMaximum, 10);

    FeedTextReceived(state_, "222\r\n");
    Tick();
    EXPECT_EQ(result_.BarPositions[kFeed8], 2);
    EXPECT_EQ(result_.Points(ChartSeries::FeedRate).back(), (ChartPoint{30, 1}));
}

TEST_F(TickTest, HoldReleaseStartsTheCountersAfresh) {
    StartMeasurement(state_.Measurement, 5);
    Count(kR1Df11, 4);
    Tick();
    // Held: no ticks run, the intake keeps counting, the feed keeps arriving.
    Count(kR1Df11, 1000);
    Count(kR2Df17, 500);
    FeedTextReceived(state_, "MSG,8,held\r\n");
    HoldReleased(state_);
    EXPECT_EQ(state_.Counts, IntervalCounts{});
    Count(kR2Df17, 6);
    Tick();
    EXPECT_EQ(result_.BarPositions[kR1Df11], 4);
    EXPECT_EQ(result_.BarPositions[kR2Df17], 6);
    EXPECT_EQ(result_.BarPositions[kFeed8], 1) << "feed text waits in its buffer";
    EXPECT_EQ(result_.Receiver1Figure, "2.0 [2.0*] packets/s");
    EXPECT_EQ(result_.Receiver2Figure, "3.0 [3.0*] packets/s");
}

TEST_F(TickTest, ClearEmptiesHistoriesOnly) {
    StartMeasurement(state_.Measurement, 15);
    for (int t = 0; t < 5; ++t) {
        Count(kR1Df11, 10);
        Count(kFeedOther, 2);
        Tick();
    }
    Count(kR2Df11, 9);
    ClearHistories(state_.Measurement);
    const MeasurementState& m = state_.Measurement;
    for (const auto& row : m.CountHistory) {
        EXPECT_TRUE(std::all_of(row.begin(), row.end(), [](auto v) { return v == 0; }));
    }
    EXPECT_EQ(m.Seconds.size(), 0u);
    EXPECT_EQ(m.SampleCount, 6);
    EXPECT_EQ(m.IntervalSeconds, 15);
    EXPECT_EQ(state_.Counts.Counts2.Df11, 9);

    Tick();
    EXPECT_EQ(result_.BarPositions[kR1Df11], 0);
    EXPECT_EQ(result_.BarPositions[kR2Df11], 9);
    EXPECT_EQ(result_.Receiver2Figure, "1.5 [1.5*] packets/s") << "nine hits over six seconds";
    EXPECT_EQ(result_.Points(ChartSeries::Receiver1Average).back(), (ChartPoint{30, 0}));
    EXPECT_EQ(result_.Points(ChartSeries::Receiver2Average).back(), (ChartPoint{30, 1.5}));
}

TEST_F(TickTest, QuietWindowShowsZeros) {
    StartMeasurement(state_.Measurement, 60);
    for (int t = 0; t < 3; ++t) Tick();
    EXPECT_EQ(result_.BarPositions, (std::array<std::int32_t, 15>{}));
    EXPECT_EQ(result_.BarMaximum, 0);
    EXPECT_EQ(result_.FeedFigure, "0.0 [0.0*]");
    EXPECT_EQ(result_.Receiver1Figure, "0.0 [0.0*] packets/s");
    EXPECT_EQ(result_.Receiver2Figure, "0.0 [0.0*] packets/s");
}

// ---------------------------------------------------------------------------------------
// Long runs against a model that keeps every second's counts in a plain list.

// Tenths of v / n, half up, from the quotient and remainder of 10 v / n.
std::string Tenths(std::int64_t v, int n, std::string_view separator) {
    std::int64_t q = 10 * v / n;
    if (2 * (10 * v % n) >= n) ++q;
    return std::to_string(q / 10) + std::string(separator) + std::to_string(q % 10);
}

class Model {
  public:
    using Counts = std::array<std::int64_t, IntervalCounts::kCounterCount>;

    void Start(int interval) {
        seconds_.clear();
        averages_.clear();
        interval_ = interval;
        n_ = 1;
    }
    void Clear() {
        for (auto& s : seconds_) s.fill(0);
        for (auto& a : averages_) a.fill(0.0);
    }

    TickResult Tick(const Counts& counts, int timerIndex, int chartSeconds, bool longChart,
                    std::string_view separator) {
        static constexpr int kIntervals[] = {2, 5, 15, 30, 60};
        if (timerIndex >= 0 && timerIndex < 5) interval_ = kIntervals[timerIndex];
        n_ = std::min(n_, interval_);
        seconds_.push_back(counts);

        TickResult r;
        std::array<std::int64_t, 15> sums{};
        for (int back = 0; back < n_; ++back) {
            for (int row = 0; row < 15; ++row) sums[row] += At(back)[row];
        }
        for (int row = 0; row < 15; ++row) r.BarPositions[row] = std::int32_t(sums[row]);

        std::array<double, 3> average{};
        for (int source = 0; source < 3; ++source) {
            std::int64_t total = 0;
            for (int back = 0; back < n_; ++back) total += Rate(At(back), source);
            average[source] = double(total) / n_;
        }
        averages_.push_back(average);

        for (int k = 1; k <= chartSeconds; ++k) {
            const int back = chartSeconds - k;
            const Counts& s = At(back);
            const std::array<double, 3> a = back < int(averages_.size())
                                                ? averages_[averages_.size() - 1 - back]
                                                : std::array<double, 3>{};
            const auto point = [&r, x = double(k)](ChartSeries series, double y) {
                r.Points(series).push_back({x, y});
            };
            point(ChartSeries::Receiver1Average, a[0]);
            point(ChartSeries::Receiver2Average, a[1]);
            point(ChartSeries::FeedAverage, a[2]);
            if (longChart) {
                point(ChartSeries::Receiver1RateLong, double(Rate(s, 0)));
                point(ChartSeries::Receiver2RateLong, double(Rate(s, 1)));
                point(ChartSeries::FeedRateLong, double(Rate(s, 2)));
            } else {
                point(ChartSeries::Receiver1Rate, double(Rate(s, 0)));
                point(ChartSeries::Receiver2Rate, double(Rate(s, 1)));
                point(ChartSeries::FeedRate, double(Rate(s, 2)));
            }
        }

        std::int64_t t1 = 0, t2 = 0, ts = 0;
        for (int row = 0; row < 6; ++row) t1 += sums[row];
        for (int row = 6; row < 12; ++row) t2 += sums[row];
        for (int row = 12; row < 15; ++row) ts += sums[row];
        const auto figure = [&](std::int64_t all, std::int64_t chart) {
            return Tenths(all, n_, separator) + " [" + Tenths(chart, n_, separator) + "*]";
        };
        r.FeedFigure = figure(ts, sums[13] + sums[14]);
        r.Receiver1Figure = figure(t1, sums[2] + sums[4]) + " packets/s";
        r.Receiver2Figure = figure(t2, sums[8] + sums[10]) + " packets/s";
        r.BarMaximum = std::int32_t(std::max({t1, t2, ts}));

        n_ = std::min(n_ + 1, interval_);
        return r;
    }

    int SampleCount() const { return n_; }

  private:
    // The counts `back` seconds before the newest; zeros before the start.
    const Counts& At(int back) const {
        static const Counts kZero{};
        return back < int(seconds_.size()) ? seconds_[seconds_.size() - 1 - back] : kZero;
    }
    static std::int64_t Rate(const Counts& s, int source) {
        switch (source) {
            case 0:
                return s[2] + s[4];
            case 1:
                return s[8] + s[10];
            default:
                return s[13] + s[14];
        }
    }

    std::vector<Counts> seconds_;
    std::vector<std::array<double, 3>> averages_;
    int interval_ = 5;
    int n_ = 1;
};

TEST_F(TickTest, LongRunMatchesTheModel) {
    std::mt19937 random(20260407);
    const auto chance = [&random](int oneIn) { return random() % unsigned(oneIn) == 0; };
    Model model;
    StartMeasurement(state_.Measurement, 5);
    model.Start(5);
    int timerIndex = 1, chartIndex = 0;
    // Long enough that the hour-long histories drop their oldest seconds after the restart.
    for (int t = 1; t <= 3700; ++t) {
        if (t == 30) {  // Stop, then Start again on "30 secs"
            const int seconds = IntervalSecondsForIndex(3, state_.Measurement.IntervalSeconds);
            StartMeasurement(state_.Measurement, seconds);
            model.Start(seconds);
        }
        if (t == 12 || t == 25 || t == 3690) {
            ClearHistories(state_.Measurement);
            model.Clear();
        }
        if (chance(23)) timerIndex = int(random() % 6) - 1;  // -1: nothing selected
        if (chance(31)) chartIndex = int(random() % 5);
        if (t >= 3635 && t < 3665) chartIndex = 4;
        state_.Measurement.ChartSeconds =
            ChartSecondsForIndex(chartIndex, state_.Measurement.ChartSeconds);

        Model::Counts counts{};
        const unsigned kind = random() % 10;
        for (int row = 0; row < 15; ++row) {
            const std::int32_t n = kind == 0   ? 0
                                   : kind == 1 ? std::int32_t(random() % 200000)
                                               : std::int32_t(random() % 40);
            Count(row, n);
            counts[std::size_t(row)] = n;
        }
        const std::string_view separator = t % 3 == 0 ? "," : ".";
        Tick(timerIndex, chartIndex, separator);
        const TickResult expected = model.Tick(counts, timerIndex, state_.Measurement.ChartSeconds,
                                               chartIndex >= 3, separator);
        ASSERT_EQ(result_.BarPositions, expected.BarPositions) << "tick " << t;
        ASSERT_EQ(result_.BarMaximum, expected.BarMaximum) << "tick " << t;
        ASSERT_EQ(result_.Receiver1Figure, expected.Receiver1Figure) << "tick " << t;
        ASSERT_EQ(result_.Receiver2Figure, expected.Receiver2Figure) << "tick " << t;
        ASSERT_EQ(result_.FeedFigure, expected.FeedFigure) << "tick " << t;
        for (std::size_t s = 0; s < kChartSeriesCount; ++s) {
            ASSERT_EQ(result_.Series[s], expected.Series[s]) << "tick " << t << ", Series" << s + 1;
        }
        ASSERT_EQ(state_.Measurement.SampleCount, model.SampleCount()) << "tick " << t;
        ASSERT_EQ(state_.Counts, IntervalCounts{}) << "tick " << t;
    }
}

TEST(FormatRateTest, OneDecimalRoundedHalfAwayFromZero) {
    const struct {
        std::int64_t v;
        int n;
        const char* separator;
        const char* text;
    } cases[] = {
        {15, 60, ".", "0.3"},
        {1234, 5, ".", "246.8"},
        {617, 5, ".", "123.4"},
        {0, 1, ".", "0.0"},
        {0, 60, ".", "0.0"},
        {7, 1, ".", "7.0"},
        {1, 20, ".", "0.1"},
        {3, 60, ".", "0.1"},
        {9, 60, ".", "0.2"},
        {21, 60, ".", "0.4"},
        {27, 60, ".", "0.5"},
        {1, 4, ".", "0.3"},
        {3, 4, ".", "0.8"},
        {5, 8, ".", "0.6"},
        {7, 8, ".", "0.9"},
        {29, 20, ".", "1.5"},
        {41, 20, ".", "2.1"},
        {201, 20, ".", "10.1"},
        {1, 40, ".", "0.0"},
        {3, 40, ".", "0.1"},
        {1, 3, ".", "0.3"},
        {2, 3, ".", "0.7"},
        {59, 60, ".", "1.0"},
        {599, 60, ".", "10.0"},
        {119, 2, ".", "59.5"},
        {1, 30, ".", "0.0"},
        {1234, 5, ",", "246,8"},
        {15, 60, ",", "0,3"},
        {0, 2, ",", "0,0"},
        {128849018820, 60, ".", "2147483647.0"},
        {1932735282900, 60, ".", "32212254715.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatRate(c.v, c.n, c.separator), c.text) << c.v << " / " << c.n;
    }
}

}  // namespace
}  // namespace quorvex
