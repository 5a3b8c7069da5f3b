#pragma once
// The program's start-up: the global set-up steps in their order, then the window or (with
// --no-window) the run without one, and the event loop. main() is this and nothing else.

namespace quorvex::app {

// Runs the program; returns its exit code: 0 after the window closed or a signal ended it
// (or after --help and --version), 1 when a write at the end failed or without a graphical
// display (none named, or one that does not answer) or, without a window, when a source
// cannot be set up, 2 for a bad command line.
int RunProgram(int argc, char** argv);

}  // namespace quorvex::app
