// A session that survives: the random sky through a run that is checkpointed every few
// seconds, killed now and then (everything since its last checkpoint gone), down for a while
// (nothing that arrives then is heard) and continued from its last checkpoint. At the end it
// must hold exactly what an uninterrupted run holds minus what it lost, every frame settled
// once, and gaps in the history where it was down. Saved state cut short is refused and
// leaves the run as it was.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/run/run.h"
#include "core/run/session_file.h"
#include "fake_clock.h"
#include "random_sky.h"

namespace quorvex {
namespace {

using test::kSeconds;
using test::kStartUnix;
using test::kStation;

constexpr int kCheckpointSeconds = 5;
using GroupCounts = std::array<std::array<std::uint64_t, kDfGroupCount>, 2>;

std::uint64_t FeedLines(const RunBucket& bucket) {
    return bucket.feedLines[0] + bucket.feedLines[1] + bucket.feedLines[2];
}

struct Outcome {
    std::unique_ptr<quorvex::Run> run;
    GroupCounts lost{};  // frames sent that the run does not hold
    std::uint64_t lostFeedLines = 0;
    int lostSeconds = 0;  // ticked after the last checkpoint before a kill
    std::string lastCheckpoint;
};

// The sky second by second, a feed line of two kinds every third second, a checkpoint after
// every fifth second's tick; down in each [first, second) of `downs` (killed at its first
// second, started again and continued at its second).
Outcome RunSky(const std::vector<test::Sent>& sent, const std::vector<std::pair<int, int>>& downs,
               test::FakeClock& clock) {
    Outcome out;
    const auto open = [&](std::int64_t unixSecond) {
        out.run = std::make_unique<quorvex::Run>("/nonexistent/", clock);
        out.run->SetStation(kStation, 300.0);
        out.run->SetHistoryMinutes(15);
        out.run->Start(5, unixSecond);
    };
    open(kStartUnix);
    GroupCounts sinceCheckpoint{};
    std::uint64_t feedSinceCheckpoint = 0;
    int secondsSinceCheckpoint = 0;
    std::size_t down = 0;  // the next or current time down
    bool up = true;
    std::size_t at = 0;  // the next frame
    for (int second = 1; second <= kSeconds + 3; ++second) {
        if (down < downs.size() && second == downs[down].first) {  // killed
            for (std::size_t r = 0; r < 2; ++r) {
                for (std::size_t g = 0; g < kDfGroupCount; ++g) {
                    out.lost[r][g] += sinceCheckpoint[r][g];
                }
            }
            out.lostFeedLines += feedSinceCheckpoint;
            out.lostSeconds += secondsSinceCheckpoint;
            sinceCheckpoint = {};
            feedSinceCheckpoint = 0;
            secondsSinceCheckpoint = 0;
            up = false;
        }
        if (!up && second == downs[down].second) {  // continued
            const std::int64_t now = kStartUnix + second - 1;
            open(now);
            ByteReader in(out.lastCheckpoint);
            EXPECT_TRUE(ReadSessionHeader(in));
            EXPECT_TRUE(out.run->Restore(in, now)) << "at second " << second;
            up = true;
            ++down;
        }
        // What arrives before this second's tick.
        for (; at < sent.size() && sent[at].time < second; ++at) {
            const test::Sent& s = sent[at];
            auto& count = (up ? sinceCheckpoint : out.lost)[SourceIndex(s.receiver)];
            ++count[static_cast<std::size_t>(s.group)];
            if (!up) continue;
            clock.steadySeconds = 1000.0 + s.time;
            out.run->TakeFrame(s.receiver, s.bytes, s.level, std::nullopt);
        }
        clock.steadySeconds = 1000.0 + second;
        if (!up) {
            out.lostFeedLines += second % 3 == 0 ? 2 : 0;
            continue;
        }
        if (second % 3 == 0) {
            out.run->TakeFeed("MSG,8,1,1,400000,1\r\nMSG,5,1,1,400111,1\r\n");
            feedSinceCheckpoint += 2;
        }
        TickInputs inputs;
        inputs.UnixSeconds = kStartUnix + second;
        TickResult result;
        out.run->Second(inputs, false, result);
        ++secondsSinceCheckpoint;
        if (second % kCheckpointSeconds == 0) {
            // Only the last checkpoint before a kill is ever read: the others are not made.
            if (down < downs.size() && downs[down].first - second <= kCheckpointSeconds) {
                out.lastCheckpoint = SessionPayload("the setup", *out.run);
            }
            sinceCheckpoint = {};
            feedSinceCheckpoint = 0;
            secondsSinceCheckpoint = 0;
        }
    }
    out.run->End();
    return out;
}

TEST(SessionStateTest, ARunKilledAndContinuedLosesOnlyWhatCameAfterItsLastCheckpoint) {
    test::Truth truth;
    const std::vector<test::Sent> sent = test::MakeSky(truth);
    std::mt19937 random(28);
    std::vector<std::pair<int, int>> downs;
    for (int at = 400; at < kSeconds - 600;) {
        // One stays down for two whole 15-minute periods.
        const int away = downs.size() == 1 ? 1900 : 3 + static_cast<int>(random() % 240);
        downs.emplace_back(at, at + away);
        at += away + 600 + static_cast<int>(random() % 900);
    }
    ASSERT_GE(downs.size(), 4U);

    test::FakeClock wholeClock;
    const Outcome whole = RunSky(sent, {}, wholeClock);
    test::FakeClock killedClock;
    const Outcome killed = RunSky(sent, downs, killedClock);

    const RunBucket all = whole.run->Buckets().Total();
    const RunBucket kept = killed.run->Buckets().Total();
    EXPECT_EQ(all.frames, truth.frames);
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t g = 0; g < kDfGroupCount; ++g) {
            EXPECT_EQ(kept.frames[r][g], all.frames[r][g] - killed.lost[r][g])
                << "receiver " << r + 1 << " group " << g;
        }
    }
    EXPECT_GT(killed.lost[0][static_cast<std::size_t>(DfGroup::Df17_19)], 0U);
    EXPECT_EQ(FeedLines(kept), FeedLines(all) - killed.lostFeedLines);
    EXPECT_EQ(killed.run->SessionStart(), kStartUnix);

    // Every frame it holds was settled once; the coverage, tally and level comparison came
    // back and went on with the buckets.
    EXPECT_EQ(kept.frameTwins.by1() + kept.duplicates[0], kept.Frames(SourceId::Receiver1));
    EXPECT_EQ(kept.frameTwins.by2() + kept.duplicates[1], kept.Frames(SourceId::Receiver2));
    const CoverageSummary summary = killed.run->Positions().Summary();
    EXPECT_EQ(kept.positionTwins, summary.frames);
    std::array<std::uint64_t, kSourceCount> tallied{};
    killed.run->Tally().ForEachRow([&](const TallyRow& row) {
        for (std::size_t s = 0; s < kSourceCount; ++s) tallied[s] += row.sources[s].total;
    });
    EXPECT_EQ(kept.tallied, tallied);
    EXPECT_EQ(killed.run->Levels().All().twins, kept.frameTwins.both);
    const double up = static_cast<double>(kept.seconds) / static_cast<double>(all.seconds);
    for (const SourceId receiver : kReceivers) {
        EXPECT_EQ(kept.Positions(receiver), summary.sources[SourceIndex(receiver)].positions);
        // Positions are lost with the frames, and a continued run decodes afresh from pairs
        // (in this sparse sky an aircraft's next pair takes minutes).
        EXPECT_LT(kept.Positions(receiver), all.Positions(receiver));
        EXPECT_GT(static_cast<double>(kept.Positions(receiver)),
                  0.8 * up * static_cast<double>(all.Positions(receiver)));
    }

    // The history: the measured seconds are the seconds up, the rest of each period a gap,
    // and the periods add up to the run.
    const std::vector<HistoryRow> rows = killed.run->HistoryRows();
    ASSERT_EQ(rows.size(), whole.run->HistoryRows().size());
    std::int64_t measured = 0;
    std::uint64_t frames = 0;
    int gapPeriods = 0;
    for (const HistoryRow& row : rows) {
        measured += row.measuredSeconds;
        frames += row.frames[0] + row.frames[1];
        gapPeriods += row.measuredSeconds == 0 ? 1 : 0;
    }
    int secondsDown = 0;
    for (const auto& [first, second] : downs) secondsDown += second - first;
    EXPECT_EQ(measured, kSeconds + 3 - secondsDown - killed.lostSeconds);
    EXPECT_GT(killed.lostSeconds, 0);
    EXPECT_EQ(measured, kept.seconds);
    EXPECT_EQ(frames, kept.Frames(SourceId::Receiver1) + kept.Frames(SourceId::Receiver2));
    EXPECT_GE(gapPeriods, 1) << "a whole period down is a period without a measured second";
    // Each time down is a gap: from the last checkpoint to the second it went on.
    ASSERT_EQ(killed.run->Gaps().size(), downs.size());
    std::int64_t gapSeconds = 0;
    for (const quorvex::Run::Gap& gap : killed.run->Gaps()) gapSeconds += gap.seconds;
    EXPECT_EQ(gapSeconds, secondsDown + killed.lostSeconds);
}

TEST(SessionStateTest, SavedStateCutShortIsRefusedAndLeavesTheRunAsItWas) {
    test::Truth truth;
    std::vector<test::Sent> sent = test::MakeSky(truth);
    sent.resize(sent.size() / 20);
    test::FakeClock clock;
    const Outcome saved = RunSky(sent, {}, clock);
    const std::string payload = SessionPayload("the setup", *saved.run);

    quorvex::Run run("/nonexistent/", clock);
    run.SetStation(kStation, 300.0);
    run.Start(5, kStartUnix);
    const std::string before = SessionPayload("the setup", run);
    std::mt19937 random(3);
    for (int i = 0; i < 60; ++i) {
        const std::size_t length = i == 0 ? payload.size() - 1 : random() % payload.size();
        ByteReader in(std::string_view(payload).substr(0, length));
        if (ReadSessionHeader(in)) {
            EXPECT_FALSE(run.Restore(in, kStartUnix + kSeconds));
        }
        EXPECT_EQ(SessionPayload("the setup", run), before) << "cut at " << length;
    }
    // Whole, it is taken; another maximum range is refused.
    quorvex::Run other("/nonexistent/", clock);
    other.SetStation(kStation, 250.0);
    ByteReader whole(payload);
    ASSERT_TRUE(ReadSessionHeader(whole));
    EXPECT_FALSE(other.Restore(whole, kStartUnix + kSeconds));
    ByteReader again(payload);
    ASSERT_TRUE(ReadSessionHeader(again));
    EXPECT_TRUE(run.Restore(again, kStartUnix + kSeconds));
    EXPECT_EQ(run.Buckets().Total().frames, saved.run->Buckets().Total().frames);
}

}  // namespace
}  // namespace quorvex
