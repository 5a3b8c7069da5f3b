#pragma once
// The run without a window (--no-window): the measurement controller under a
// QCoreApplication, with no display and no widget (under the program's QApplication on the
// offscreen platform when it draws a report). The command line sets it up as it sets up
// the window; Start is pressed at once. Every --summary-every seconds a line per source goes
// to standard output; errors go to standard error, one line each. SIGINT and SIGTERM end it
// through the controller's end of a run, as they end the window.
//
// Threads: the user-interface thread only (the one that calls it).

#include <string>
#include <vector>

#include "app/engine/command_line.h"
#include "app/engine/measurement_controller.h"

namespace quorvex::app {

// Runs until a signal ends it; returns the exit code: 0, or 1 when a source could not be set
// up (said in one sentence on standard error) or a write at the end failed. `startProblems`
// (a folder that cannot be made, a catalogue that cannot be read) are said first.
int RunWithoutWindow(int argc, char** argv, const CommandLine& commandLine,
                     MeasurementController::Options options,
                     const std::vector<std::string>& startProblems);

}  // namespace quorvex::app
