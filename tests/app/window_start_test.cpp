// Start and Stop through the window: the refusals and failures that leave it stopped, and
// what a run changes on the controls.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include <filesystem>

#include "app/receiver_panel.h"
#include "net/loopback.h"
#include "platform/ini_file.h"
#include "support/pty.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::Pty;
using WindowStartTest = WindowFixture;

struct Setup {
    std::string port1, port2;  // "" leaves the list, "pty" picks the pseudo-terminal
    int rate1 = 3, rate2 = 3;  // list indices; 5 is receiver 2's UDP item, 9 none
    int format1 = 1, format2 = 1;
};

struct StartCase {
    const char* name;
    Setup setup;
    bool holdUdpPort;
    std::string refusal;  // the refusal box's text, or empty
    std::string error;    // the start of the error display's message, or empty
};

TEST_F(WindowStartTest, RefusalsAndFailuresLeaveItStopped) {
    const StartCase cases[] = {
        {"same port for both", {"pty", "pty"}, false, "Select different ports!", ""},
        {"udp while port 2 shows port 1's",
         {"pty", "pty", 3, 5},
         false,
         "Select different ports!",
         ""},
        {"empty rate list", {"pty", "", 9}, false, "", "'' is not a valid integer value"},
        {"no format chosen",
         {"pty", "", 3, 3, -1},
         false,
         "Select a line format for receiver 1!",
         ""},
        {"a port that cannot be opened",
         {"/dev/quorvex-missing", ""},
         false,
         "",
         "Unable to open com port"},
        {"udp port taken", {"", "", 3, 5}, true, "Receiver 2 cannot listen on UDP port", ""},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        refusals.clear();
        Pty pty;
        std::unique_ptr<net::test::LoopbackSocket> squatter;
        if (c.holdUdpPort)
            squatter = std::make_unique<net::test::LoopbackSocket>(SOCK_DGRAM, udpPort);
        MainWindow& w = Open({pty.Path(), "/dev/quorvex-missing"});
        MeasurementController& controller = w.Controller();
        const auto pick = [&](SourceId receiver, const std::string& port, int rate, int format) {
            ReceiverProfile& r = controller.ReceiverControls(receiver);
            if (port == "pty") r.Port.SelectIndex(0);
            if (port == "/dev/quorvex-missing") r.Port.SelectIndex(1);
            r.BaudRate.SelectIndex(rate);
            r.Format.SelectIndex(format);
        };
        pick(SourceId::Receiver1, c.setup.port1, c.setup.rate1, c.setup.format1);
        pick(SourceId::Receiver2, c.setup.port2, c.setup.rate2, c.setup.format2);

        w.StartButton()->click();

        EXPECT_FALSE(controller.Running());
        EXPECT_EQ(w.StartButton()->text(), "Start");
        EXPECT_FALSE(controller.Timer().isActive());
        EXPECT_FALSE(controller.Input(SourceId::Receiver1).ComPort().Connected());
        EXPECT_FALSE(controller.Input(SourceId::Receiver2).ComPort().Connected());
        EXPECT_TRUE(w.Receiver(SourceId::Receiver1)->PortList()->isEnabled());
        if (c.refusal.empty()) {
            EXPECT_TRUE(refusals.empty());
        } else {
            ASSERT_EQ(refusals.size(), 1u);
            EXPECT_EQ(refusals[0].first, "Quorvex");
            EXPECT_TRUE(refusals[0].second.starts_with(c.refusal)) << refusals[0].second;
        }
        if (c.holdUdpPort) {
            // The window still opens and works; it names the taken port once.
            w.AfterShow(CommandLine{});
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_TRUE(
                errors[0].starts_with("UDP port " + std::to_string(udpPort) + ": Could not bind"))
                << errors[0];
            errors.clear();
        }
        if (c.error.empty()) {
            EXPECT_TRUE(errors.empty()) << errors.front();
        } else {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_TRUE(errors[0].starts_with(c.error)) << errors[0];
        }
        window.reset();
    }
}

// Two programs in one folder: the second says so once its window shows, the first says
// nothing, and each logs into a file of its own.
TEST_F(WindowStartTest, ASecondProgramInTheFolderIsToldOnceAndLogsApart) {
    MainWindow& first = Open();
    MeasurementController::Options options;
    options.Paths = platform::ResolveProgramPaths(folder.Folder(), true, {});
    options.UdpPort = quorvex::test::FreeUdpPort();
    MainWindow second(std::move(options), CommandLine{});
    first.AfterShow(CommandLine{});
    EXPECT_TRUE(errors.empty()) << errors.front();
    second.AfterShow(CommandLine{});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(folder.Folder() + "quorvex.lock"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find(folder.Folder() + "quorvex.ini"), std::string::npos) << errors[0];

    first.LoggingButton()->click();
    second.LoggingButton()->click();
    EXPECT_NE(first.Controller().CurrentRun().Log().LogPath(),
              second.Controller().CurrentRun().Log().LogPath());
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(WindowStartTest, ARunDisablesTheReceiverControlsAndStopEnablesThemAgain) {
    Pty pty;
    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{pty.Path(), 921600, false, ':', {}};
    commandLine.Receiver2 = ReceiverOption{"", 0, true, '@', {}};
    MainWindow& w = Open({pty.Path()}, commandLine);
    MeasurementController& c = w.Controller();
    w.StartButton()->click();
    ASSERT_TRUE(c.Running());
    EXPECT_EQ(c.Input(SourceId::Receiver1).ComPort().Port(), pty.Path());
    EXPECT_EQ(c.Input(SourceId::Receiver1).ComPort().CustomBaudRate(), 921600);
    EXPECT_EQ(c.Input(SourceId::Receiver1).Framer().StartString(), ":");
    EXPECT_EQ(c.Input(SourceId::Receiver2).Framer().StartString(), "@");
    EXPECT_FALSE(c.Input(SourceId::Receiver1).Crc());
    EXPECT_TRUE(c.Input(SourceId::Receiver2).Crc());
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->PortList()->currentIndex(),
              -1);  // UDP: no serial port
    for (const SourceId receiver : kReceivers) {
        EXPECT_FALSE(w.Receiver(receiver)->PortList()->isEnabled());
        EXPECT_FALSE(w.Receiver(receiver)->RateList()->isEnabled());
        EXPECT_FALSE(w.Receiver(receiver)->FormatList()->isEnabled());
        EXPECT_FALSE(w.Receiver(receiver)->CrcBox()->isEnabled());
    }
    EXPECT_TRUE(Find<QComboBox>("intervalList")->isEnabled());
    EXPECT_FALSE(Find<QComboBox>("feedPortBox")->isEnabled());

    w.StartButton()->click();
    EXPECT_FALSE(c.Running());
    EXPECT_FALSE(c.Input(SourceId::Receiver1).ComPort().Connected());
    for (const SourceId receiver : kReceivers) {
        EXPECT_TRUE(w.Receiver(receiver)->PortList()->isEnabled());
        EXPECT_TRUE(w.Receiver(receiver)->CrcBox()->isEnabled());
    }
    EXPECT_TRUE(Find<QComboBox>("feedPortBox")->isEnabled());
    // Set up from the command line: no profile changed, so closing asks nothing.
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(questions.empty());
}

// A Start whose setup is that of the latest session asks whether to continue it: yes goes on
// with what it gathered, no begins a new session beside it.
TEST_F(WindowStartTest, AStartWithTheLatestSessionsSetupAsksToContinueIt) {
    Pty pty;
    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{pty.Path(), 921600, false, '*', {}};
    MainWindow& w = Open({pty.Path()}, commandLine);
    MeasurementController& c = w.Controller();
    const auto frames = [&c] {
        return c.CurrentRun().Buckets().Total().Frames(SourceId::Receiver1);
    };
    w.StartButton()->click();
    ASSERT_TRUE(c.Running());
    const std::string session = c.Sessions().Folder();
    ASSERT_FALSE(session.empty());
    for (int i = 0; i < 3; ++i)
        c.CurrentRun().TakePacket(SourceId::Receiver1, "8D4840D6202CC371C32CE0576098", true);
    c.Tick();
    w.StartButton()->click();  // Stop: the session's last checkpoint
    EXPECT_TRUE(questions.empty());

    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "continued" : "not continued");
        questions.clear();
        answers = {yes};
        w.StartButton()->click();
        ASSERT_TRUE(c.Running());
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_TRUE(questions[0].second.starts_with("Continue the session started "))
            << questions[0].second;
        EXPECT_TRUE(questions[0].second.ends_with(", 0 min measured?")) << questions[0].second;
        EXPECT_EQ(frames(), yes ? 3u : 0u);
        EXPECT_EQ(c.Sessions().Folder() == session, yes);
        w.StartButton()->click();
    }
    std::size_t sessions = 0;
    for (const auto& entry : std::filesystem::directory_iterator(programPaths.SessionsFolder)) {
        sessions += entry.is_directory() ? 1 : 0;
    }
    EXPECT_EQ(sessions, 2u);
}

}  // namespace
}  // namespace quorvex::app::test
