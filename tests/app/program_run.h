#pragma once
// The real program, run from a scratch folder of its own: a hard link to it lives there with
// the build's portable marker, so the settings, profiles and logfiles it keeps beside itself
// are the test's. It runs until it
// is up (it catches SIGTERM once its window shows), then SIGTERM ends it; every wait is bounded
// and the program is killed when a bound passes.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvex::app::test {

struct ProgramEnd {
    int ExitCode = -1;    // -1: it did not end by itself
    std::string Errors;   // its standard error
    std::string Trouble;  // why the run went wrong (never came up, did not end), else empty
};

class ProgramUnderTest {
  public:
    // Without `portable` the marker stays behind: the program keeps its files where its
    // environment (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME) says.
    explicit ProgramUnderTest(bool portable = true);

    // The folder the program runs from, ending in "/", and a file in it.
    std::string Folder() const { return folder_.Folder(); }
    std::string File(const std::string& name) const { return Folder() + name; }

    // Runs the program offscreen, with the NAME=value entries of `environment` put in its
    // environment ("F/" standing for its folder), until it is up; then `whileUp`, then
    // SIGTERM and the wait for its end.
    ProgramEnd Run(const std::vector<std::string>& environment = {},
                   const std::function<void()>& whileUp = {});

  private:
    quorvex::test::TempFolder folder_;
    std::string program_;
};

// The environment entries of a program run with no display named in any way, and the leak
// suppressions of the program's Qt libraries.
extern const std::vector<std::string> kNoDisplay;

// Asks `done` every 20 ms until it says true or `bound` passes; its last answer.
bool Within(std::chrono::seconds bound, const std::function<bool()>& done);

// `bytes` as the whole of the file at `path`, its folders made where missing.
void WriteFile(const std::string& path, const std::string& bytes);

// Checks how a run ended: within its bounds, with `exitCode`, and each of `messages` ("F/"
// standing for the program's folder) said exactly once on standard error after "quorvex: ";
// without messages, nothing said that could not be read or written.
void ExpectEnd(const ProgramEnd& end, const ProgramUnderTest& program, int exitCode,
               const std::vector<std::string>& messages);

// Where the simulator writes, as it says on standard error: receiver 1's pseudo-terminal and
// receiver 2's TCP port, each waited for up to 30 s; empty where it said none.
struct SimulatorOutput {
    std::string pty;
    std::string port;
};
SimulatorOutput SimulatorOutputs(quorvex::test::ChildProcess& sim);

// Clicks at `x`, `y` of the screen of a program on Qt's VNC platform listening on `port`,
// then presses each key (X keysyms) in turn. False when the connection failed.
bool ClickAndPressKeys(int port, int x, int y, const std::vector<unsigned>& keys);

}  // namespace quorvex::app::test
