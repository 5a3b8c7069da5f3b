// The summary line of a run without a window: each source's rates over the period from the
// seconds the tick recorded (a receiver's six DF groups, the feed's three classes), rounded
// to tenths, and only the losses that apply to it.

#include "core/export/source_summary.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

SecondRecord Second(std::int64_t unixSeconds, std::array<std::int32_t, 15> counts,
                    std::array<std::int32_t, 3> df11_17) {
    SecondRecord record;
    record.UnixSeconds = unixSeconds;
    record.Counts = counts;
    record.Rates = df11_17;
    return record;
}

TEST(SourceSummaryTest, RatesOverThePeriodAndTheLossesThatApply) {
    SummaryPeriod period;
    period.Add(Second(1700000000, {1, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 4, 1, 1, 1}, {3, 0, 2}));
    period.Add(Second(1700000001, {0, 0, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0}));
    period.Add(Second(1700000002, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0}, {0, 0, 2}));
    const struct {
        SourceId source;
        SourceLosses losses;
        std::string line;
    } cases[] = {
        {SourceId::Receiver1,
         {0, 12, std::nullopt},
         "2023-11-14T22:13:22Z receiver 1: 3.3 frames/s, DF 11/17 1.7/s over 3 s; since the "
         "start 0 connections lost, 12 packets rejected"},
        {SourceId::Receiver2,
         {std::nullopt, 1, std::nullopt},
         "2023-11-14T22:13:22Z receiver 2: 1.7 frames/s, DF 11/17 0.0/s over 3 s; since the "
         "start 1 packet rejected"},
        {SourceId::Receiver2,
         {std::nullopt, 0, 1},
         "2023-11-14T22:13:22Z receiver 2: 1.7 frames/s, DF 11/17 0.0/s over 3 s; since the "
         "start 0 packets rejected, 1 datagram dropped"},
        {SourceId::Receiver2,
         {std::nullopt, 2, 38},
         "2023-11-14T22:13:22Z receiver 2: 1.7 frames/s, DF 11/17 0.0/s over 3 s; since the "
         "start 2 packets rejected, 38 datagrams dropped"},
        {SourceId::Feed,
         {1, std::nullopt, std::nullopt},
         "2023-11-14T22:13:22Z feed: 1.7 lines/s, DF 11/17 1.3/s over 3 s; since the start 1 "
         "connection lost"},
    };
    for (const auto& c : cases) EXPECT_EQ(SourceSummaryLine(c.source, period, c.losses), c.line);

    period.Clear();
    period.Add(Second(1700000003, {}, {}));
    EXPECT_EQ(SourceSummaryLine(SourceId::Feed, period, {}),
              "2023-11-14T22:13:23Z feed: 0.0 lines/s, DF 11/17 0.0/s over 1 s");
}

}  // namespace
}  // namespace quorvex
