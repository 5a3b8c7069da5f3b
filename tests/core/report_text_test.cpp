// The verdict in sentences: nothing claimed without data, and on the demo's sky (receiver 1
// hears farther and has no shadow) the shares, ranges and the receiver ahead as the coverage
// gives them.

#include <gtest/gtest.h>

#include "core/export/coverage_text.h"
#include "core/export/report_text.h"
#include "core/run/run.h"
#include "fake_clock.h"
#include "support/position_sky.h"

namespace quorvex {
namespace {

TEST(ReportTextTest, TheVerdictSaysOnlyWhatTheDataTell) {
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    constexpr LatLon kStation{52.0, 5.0};
    run.SetStation(kStation, 300.0);
    run.Start(5, 1765195200);
    EXPECT_EQ(VerdictLines(run.Positions(), run.Levels()),
              (std::vector<std::string>{"Position frames heard: not enough data yet.",
                                        "Range: not enough data yet.",
                                        "Which receiver is ahead: not enough data yet."}));

    test::HearDemoSky(run, kStation, 400);
    const std::vector<std::string> lines = VerdictLines(run.Positions(), run.Levels());
    ASSERT_EQ(lines.size(), 4U);
    const CoverageSummary summary = run.Positions().Summary();
    const Comparison all = Compare(summary.frames);
    EXPECT_EQ(lines[0], "Of the " + std::to_string(summary.frames.heard()) +
                            " position frames either receiver heard, receiver 1 heard " +
                            ShareText(all.share1) + ", receiver 2 " + ShareText(all.share2) + ".");
    // The nearest ring has too few frames for a share; receiver 2 hears nothing beyond 160 NM.
    EXPECT_TRUE(lines[1].starts_with("Per ring: 50–100 NM receiver 1 100 % (")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with("200–250 NM receiver 1 100 % (93–100), receiver 2 0 % (0–7)."))
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with("Farthest: receiver 1 2")) << lines[2];
    EXPECT_EQ(lines[3], "Receiver 1 is ahead in every sector where the data tell.");
}

}  // namespace
}  // namespace quorvex
