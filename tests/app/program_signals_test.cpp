// SIGTERM ends the real program whatever stands in the way: settings that cannot be written
// (said on standard error, exit code 1), a changed profile (no question asked; the profile
// stays as it was and that is said on standard error), a dialog open in its own event loop.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/receiver_panel.h"
#include "program_run.h"
#include "support/free_port.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kKeyDown = 0xff54, kKeyReturn = 0xff0d;  // X keysyms
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

using quorvex::test::ReadFileBytes;

// The program's screen: where it listens, and where receiver 1's controls lie on it.
struct Screen {
    int vncPort;
    QPoint rateList, loadButton;
};

struct SignalCase {
    const char* name;
    std::function<void(const ProgramUnderTest&)> setUp;  // before the start
    std::function<void(const ProgramUnderTest&, const Screen&)> whileUp;
    std::vector<std::string> messages;  // each exactly once; "F/" is the program's folder
    int exitCode;
    std::function<void(const ProgramUnderTest&)> check;
};

void PrintTo(const SignalCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kProfile = "[intf]\nport=COM9\nbaudrate=3\nstring=1\n";
// The window as it opened, at its smallest, centred on the screen, with the table untouched.
const std::string kWindowSection =
    "[Window]\ngeometry=332,220,616,584\nmaximized=0\naircraftcolumns=\n"
    "aircraftsort=1,descending\n";

const SignalCase kCases[] = {
    {"UnwritableSettings",
     [](const ProgramUnderTest& p) { WriteFile(p.File("quorvex.ini"), "[timer]\ninterval=2\n"); },
     [](const ProgramUnderTest& p, const Screen&) {
         fs::remove(p.File("quorvex.ini"));
         fs::create_directory(p.File("quorvex.ini"));
     },
     {"Unable to write to F/quorvex.ini: Is a directory"},
     1,
     [](const ProgramUnderTest& p) { EXPECT_TRUE(fs::is_directory(p.File("quorvex.ini"))); }},
    {"ChangedProfile",
     [](const ProgramUnderTest& p) {
         WriteFile(p.File("profiles/roof.prf"), kProfile);
         WriteFile(p.File("quorvex.ini"),
                   "[profiles]\nprofile1=" + p.File("profiles/roof.prf") + "\n");
     },
     [](const ProgramUnderTest&, const Screen& screen) {
         const QPoint at = screen.rateList;
         EXPECT_TRUE(ClickAndPressKeys(screen.vncPort, at.x(), at.y(), {kKeyDown, kKeyReturn}));
     },
     {"Profile1 changed and was not updated, since a signal ended the program: "
      "F/profiles/roof.prf keeps its settings"},
     0,
     [](const ProgramUnderTest& p) {
         EXPECT_EQ(ReadFileBytes(p.File("profiles/roof.prf")), kProfile);
         EXPECT_EQ(ReadFileBytes(p.File("quorvex.ini")),
                   "[profiles]\nprofile1=" + p.File("profiles/roof.prf") +
                       "\nprofile2=\n[timer]\ninterval=1\n" + kWindowSection);
     }},
    {"FileDialogOpen",
     [](const ProgramUnderTest&) {},
     [](const ProgramUnderTest&, const Screen& screen) {
         const QPoint at = screen.loadButton;
         EXPECT_TRUE(ClickAndPressKeys(screen.vncPort, at.x(), at.y(), {}));
     },
     {},
     0,
     [](const ProgramUnderTest& p) {
         EXPECT_EQ(ReadFileBytes(p.File("quorvex.ini")),
                   "[profiles]\nprofile1=\nprofile2=\n[timer]\ninterval=1\n" + kWindowSection);
     }},
};

class ProgramSignalsTest : public WindowFixture, public ::testing::WithParamInterface<SignalCase> {
  protected:
    // The program centres its window at its smallest size, and a window built here has the
    // same layout.
    Screen ProgramScreen() {
        MainWindow& w = Open();
        w.show();
        QApplication::processEvents();
        const QPoint windowAt =
            QRect(0, 0, kScreenWidth, kScreenHeight).center() - w.rect().center();
        const auto centre = [&](QWidget* widget) {
            return windowAt + widget->mapTo(&w, widget->rect().center());
        };
        ReceiverPanel* receiver = w.Receiver(SourceId::Receiver1);
        return {quorvex::test::FreeTcpPort(), centre(receiver->RateList()),
                centre(receiver->LoadButton())};
    }
};

TEST_P(ProgramSignalsTest, SigtermEndsItWithTheSettingsSavedAndWithoutAQuestion) {
    const SignalCase& c = GetParam();
    const Screen screen = ProgramScreen();
    ProgramUnderTest program;
    c.setUp(program);
    const std::string platform = "QT_QPA_PLATFORM=vnc:size=" + std::to_string(kScreenWidth) + "x" +
                                 std::to_string(kScreenHeight) +
                                 ":port=" + std::to_string(screen.vncPort);
    const ProgramEnd end = program.Run({platform}, [&] { c.whileUp(program, screen); });
    ExpectEnd(end, program, c.exitCode, c.messages);
    c.check(program);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignalsTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::app::test
