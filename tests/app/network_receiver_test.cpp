// Both receivers on decoders' TCP outputs: receiver 1 on a Beast stream, receiver 2 on raw
// hex lines, from loopback servers the test runs, sending the same frames. Both count and
// log exactly what was sent; the Beast receiver's figure carries the signal level; a server
// that goes away is shown in the column and reconnected to, and one refused too.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/levels_page.h"
#include "app/receiver_panel.h"
#include "bench/core/sample_frames.h"
#include "net/loopback.h"
#include "support/beast_stream.h"
#include "support/pty.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using net::test::Listener;
using net::test::LoopbackSocket;
using quorvex::test::BeastFrame;
using quorvex::test::ServeUntil;

using NetworkReceiverTest = WindowFixture;

// Sends `bytes` in pieces of 1 to 37 bytes, letting the window read between some of them.
void SendInPieces(const LoopbackSocket& connection, const std::string& bytes) {
    std::size_t piece = 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece, piece = piece % 37 + 1) {
        connection.Send(std::string_view(bytes).substr(at, piece));
        if (piece % 5 == 0) QCoreApplication::processEvents();
    }
}

// The frames a receiver's lines in the log hold, sorted.
std::vector<std::string> LoggedFrames(const std::string& log, const std::string& prefix) {
    std::vector<std::string> frames;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(prefix)) continue;
        const std::size_t at = line.find(" - ") + 3;
        frames.push_back(line.substr(at, line.find(' ', at) - at));
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

TEST_F(NetworkReceiverTest, BeastAndRawStreamsCountAndLogWhatWasSent) {
    const auto beastServer = Listener();
    const auto rawServer = Listener();
    const std::string beastAddress = "127.0.0.1:" + std::to_string(beastServer->port());
    const std::string rawAddress = "127.0.0.1:" + std::to_string(rawServer->port());
    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{beastAddress, 0, false, '*', NetworkKind::Beast};
    commandLine.Receiver2 = ReceiverOption{rawAddress, 0, false, '*', NetworkKind::Raw};
    MainWindow& w = Open({}, commandLine);
#if !defined(__SANITIZE_THREAD__)  // painting runs on Qt's own, unchecked thread pool
    w.show();
#endif
    MeasurementController& c = w.Controller();
    c.SetNetworkRetryMilliseconds(100);
    c.LoggingClicked();
    w.StartButton()->click();
    ASSERT_TRUE(c.Running()) << (refusals.empty() ? "" : refusals.front().second);
    c.Timer().stop();
    auto beast = AcceptServing(*beastServer);
    auto raw = AcceptServing(*rawServer);
    ASSERT_TRUE(beast && raw);
    ASSERT_TRUE(ServeUntil([&] {
        return c.Input(SourceId::Receiver1).NetworkTrouble().empty() &&
               c.Input(SourceId::Receiver2).NetworkTrouble().empty();
    }));

    const std::vector<bench::SampleFrame> frames = bench::MixedSampleFrames(300);
    std::array<std::int32_t, 6> expected{};
    std::string beastBytes = "garbage before the first frame";
    std::string rawBytes;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ++expected[static_cast<std::size_t>(frames[i].group)];
        // Signal levels 51 and 102 of 255: -14.0 and -8.0 dBFS, a mean of -11.0.
        beastBytes += BeastFrame(frames[i].transmitted, 0x1A1A00000000 + i, i % 2 ? 102 : 51);
        rawBytes += "*" + frames[i].transmitted + ";\n";
    }
    SendInPieces(*beast, beastBytes);
    SendInPieces(*raw, rawBytes);
    const auto counted = [&c](SourceId receiver) {
        const DfCounts& counts = receiver == SourceId::Receiver1 ? c.CurrentRun().Counts().Counts1
                                                                 : c.CurrentRun().Counts().Counts2;
        return std::array<std::int32_t, 6>{counts.Df0,    counts.Df4_5,   counts.Df11,
                                           counts.Df11Ic, counts.Df17_19, counts.Df20_21};
    };
    ASSERT_TRUE(ServeUntil([&] {
        return counted(SourceId::Receiver1) == expected && counted(SourceId::Receiver2) == expected;
    })) << "receiver 1 "
        << counted(SourceId::Receiver1)[0] << ", receiver 2 " << counted(SourceId::Receiver2)[0];
    c.Tick();
    EXPECT_TRUE(
        w.Receiver(SourceId::Receiver1)->FigureLabel()->text().endsWith(", -11.0 dBFS, 0 % strong"))
        << w.Receiver(SourceId::Receiver1)->FigureLabel()->text().toStdString();
    EXPECT_FALSE(w.Receiver(SourceId::Receiver2)->FigureLabel()->text().contains("dBFS"));
    // The Levels page says which receiver gives no levels, and what would.
    w.Pages()->setCurrentWidget(w.LevelsView());
    EXPECT_EQ(w.LevelsView()->MissingLabel()->text().toStdString(),
              "Receiver 2 delivers no levels. Levels come with Beast binary frames: a serial line "
              "in the \"Beast binary\" format or a decoder's \"TCP Beast\" output.");
    const LevelGroup& twins = c.CurrentRun().Levels().All();
    EXPECT_GT(twins.twins, 0U);
    EXPECT_EQ(twins.excludedNoLevel, twins.twins);

    c.CurrentRun().Log().Flush();
    std::stringstream log;
    log << std::ifstream(c.CurrentRun().Log().LogPath()).rdbuf();
    const std::vector<std::string> logged1 = LoggedFrames(log.str(), "[1]");
    EXPECT_EQ(logged1.size(), frames.size());
    EXPECT_EQ(logged1, LoggedFrames(log.str(), "[2]"));

    // The Beast server goes away: the column says so, and the receiver is back once the
    // server takes it again; then a reset, and a port nobody listens on any more.
    beast->Close();
    ASSERT_TRUE(ServeUntil([&] { return !c.Input(SourceId::Receiver1).NetworkTrouble().empty(); }));
    c.Tick();
    EXPECT_EQ(w.Receiver(SourceId::Receiver1)->RejectedLabel()->text().toStdString(),
              "Connection closed by " + beastAddress + "; trying again every 1 s");
#if !defined(__SANITIZE_THREAD__)
    SaveScreenshot(w, QStringLiteral("control-network-") + QGuiApplication::platformName());
#endif
    beast = AcceptServing(*beastServer);
    ASSERT_TRUE(beast);
    ASSERT_TRUE(ServeUntil([&] { return c.Input(SourceId::Receiver1).NetworkTrouble().empty(); }));
    beast->Send(BeastFrame(frames[0].transmitted, 1, 200));
    ASSERT_TRUE(ServeUntil([&] { return c.CurrentRun().Counts().Counts1[frames[0].group] == 1; }));
    beast->Reset();
    ASSERT_TRUE(ServeUntil([&] {
        return c.Input(SourceId::Receiver1).NetworkTrouble().find("Connection reset by peer") !=
               std::string::npos;
    }));
    raw->Close();
    rawServer->Close();
    ASSERT_TRUE(ServeUntil([&] {
        return c.Input(SourceId::Receiver2).NetworkTrouble().find("Connection refused") !=
               std::string::npos;
    })) << c.Input(SourceId::Receiver2).NetworkTrouble();
    EXPECT_TRUE(errors.empty()) << errors.front();  // retried in the column, never in a box
    EXPECT_TRUE(c.Running());

    w.StartButton()->click();  // Stop: the column is quiet again
    EXPECT_TRUE(c.Input(SourceId::Receiver1).NetworkTrouble().empty());
    EXPECT_EQ(c.Input(SourceId::Receiver1).Network(), nullptr);
}

TEST_F(NetworkReceiverTest, ChoosingANetworkKindMakesThePortListTakeAnAddress) {
    MainWindow& w = Open();
    MeasurementController& c = w.Controller();
    ReceiverPanel& panel = *w.Receiver(SourceId::Receiver1);
    const int beastItem = panel.RateList()->findText(QStringLiteral("TCP Beast"));
    ASSERT_GE(beastItem, 0);
    panel.RateList()->activated(beastItem);
    EXPECT_TRUE(panel.PortList()->isEditable());
    EXPECT_EQ(panel.PortList()->currentText(), "127.0.0.1:30005");
    panel.PortList()->lineEdit()->setText(QStringLiteral("decoder.local:31005"));
    panel.PortList()->lineEdit()->textEdited(QStringLiteral("decoder.local:31005"));
    EXPECT_EQ(c.ReceiverControls(SourceId::Receiver1).Port.Text, "decoder.local:31005");
    EXPECT_TRUE(c.ReceiverControls(SourceId::Receiver1).Changed);
    panel.RateList()->activated(0);  // back to a serial rate
    EXPECT_FALSE(panel.PortList()->isEditable());
}

}  // namespace
}  // namespace quorvex::app::test
