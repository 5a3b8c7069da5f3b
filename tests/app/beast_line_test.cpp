// Both receivers on serial lines in the "Beast binary" format, as Mode-S Beast hardware sends
// it over USB: the same frames on both, with garbage before them, escaped bytes in every
// timestamp and the stream written in pieces of 1 to 37 bytes (so escapes and frames are cut
// at every place). Both count exactly what was sent, and every frame becomes a twin whose
// level difference is the one the two level bytes give.

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <cmath>
#include <set>

#include "app/levels_page.h"
#include "app/receiver_panel.h"
#include "bench/core/sample_frames.h"
#include "support/beast_stream.h"
#include "support/pty.h"
#include "ui/histogram_plot.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::BeastFrame;
using quorvex::test::Pty;
using quorvex::test::ServeUntil;

using BeastLineTest = WindowFixture;

void WriteInPieces(Pty& pty, const std::string& bytes) {
    std::size_t piece = 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece, piece = piece % 37 + 1) {
        pty.Write(std::string_view(bytes).substr(at, piece));
        if (piece % 5 == 0) QCoreApplication::processEvents();
    }
}

TEST_F(BeastLineTest, BothLinesCountEveryFrameAndCompareItsLevels) {
    Pty line1, line2;
    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{line1.Path(), 3000000, false, 'b', {}};
    commandLine.Receiver2 = ReceiverOption{line2.Path(), 1000000, false, 'b', {}};
    MainWindow& w = Open({line1.Path(), line2.Path()}, commandLine);
    MeasurementController& c = w.Controller();
    w.StartButton()->click();
    ASSERT_TRUE(c.Running()) << (errors.empty() ? "" : errors.front());
    c.Timer().stop();
    EXPECT_TRUE(c.Input(SourceId::Receiver1).Crc());  // Beast sends the parity as transmitted

    // Distinct frames: a repeat would be the same receiver's duplicate, not a new twin.
    std::set<std::string> seen;
    std::uint64_t strong2 = 0;
    std::array<std::int32_t, 6> expected{};
    std::string stream1 =
        "\x1A"
        "9garbage\x1A";  // an unknown type, then a lone escape
    std::string stream2 = "text, not Beast;\r\n";
    for (const bench::SampleFrame& frame : bench::MixedSampleFrames(400)) {
        if (!seen.insert(frame.transmitted).second) continue;
        ++expected[static_cast<std::size_t>(frame.group)];
        const std::uint64_t timestamp = 0x1A1A1A000000 + seen.size();
        // 51 and 102 of 255: -14.0 and -8.0 dBFS, receiver 2 twice as strong (6.02 dB); one
        // frame in four at -0.5 dBFS (240), strong, on receiver 2.
        const bool strong = seen.size() % 4 == 0;
        strong2 += strong ? 1 : 0;
        stream1 += BeastFrame(frame.transmitted, timestamp, 51);
        stream2 += BeastFrame(frame.transmitted, timestamp, strong ? 240 : 102);
    }
    WriteInPieces(line1, stream1);
    WriteInPieces(line2, stream2);
    const auto counted = [&c](const DfCounts& counts) {
        return std::array<std::int32_t, 6>{counts.Df0,    counts.Df4_5,   counts.Df11,
                                           counts.Df11Ic, counts.Df17_19, counts.Df20_21};
    };
    ASSERT_TRUE(ServeUntil([&] {
        return counted(c.CurrentRun().Counts().Counts1) == expected &&
               counted(c.CurrentRun().Counts().Counts2) == expected;
    }));
    c.Tick();
    EXPECT_TRUE(
        w.Receiver(SourceId::Receiver1)->FigureLabel()->text().endsWith(", -14.0 dBFS, 0 % strong"))
        << w.Receiver(SourceId::Receiver1)->FigureLabel()->text().toStdString();
    EXPECT_TRUE(w.Receiver(SourceId::Receiver2)->FigureLabel()->text().endsWith(" 25 % strong"))
        << w.Receiver(SourceId::Receiver2)->FigureLabel()->text().toStdString();

    const LevelGroup& all = c.CurrentRun().Levels().All();
    EXPECT_EQ(all.twins, seen.size());
    EXPECT_EQ(all.excludedStrong, strong2);
    EXPECT_EQ(all.deltas.compared(), seen.size() - strong2);
    EXPECT_EQ(all.strongFrames[1], strong2);
    const DeltaSummary summary = all.deltas.Summarize();
    ASSERT_TRUE(summary.medianDb && summary.intervalDb);
    EXPECT_NEAR(*summary.medianDb, 20 * std::log10(2.0), 1e-9);
    EXPECT_EQ(summary.intervalDb->first, *summary.medianDb);
    EXPECT_EQ(c.Input(SourceId::Receiver1).LineDecoder().Resyncs(), 1U);

    // The Levels page says it in words, with the interval, and plots it.
#if !defined(__SANITIZE_THREAD__)  // painting runs on Qt's own, unchecked thread pool
    w.show();
#endif
    w.Pages()->setCurrentWidget(w.LevelsView());
    c.Tick();
    LevelsPage& page = *w.LevelsView();
    EXPECT_EQ(page.SentenceLabel()->text().toStdString(),
              "Receiver 2 hears the same transmissions 6.0 dB stronger (95 %: 6.0 to 6.0) over " +
                  std::to_string(all.deltas.compared()) + " frames both heard");
    EXPECT_TRUE(page.MissingLabel()->isHidden());
    ASSERT_EQ(page.DeltaPlot()->Markers().size(), 1U);
    EXPECT_EQ(page.DeltaPlot()->Markers()[0].x, *summary.medianDb);
    ASSERT_EQ(page.LevelPlot()->Series().size(), 2U);
#if !defined(__SANITIZE_THREAD__)
    SaveScreenshot(w, QStringLiteral("levels-") + QGuiApplication::platformName());
#endif
    EXPECT_TRUE(c.Input(SourceId::Receiver2).Trouble().Text.empty());
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
}  // namespace quorvex::app::test
