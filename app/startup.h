#pragma once
// The program's start-up: the global set-up steps in their order, the window, the event
// loop. main() is this and nothing else.

namespace quorvex::app {

// Runs the program; returns its exit code: 0 after the window closed or a signal ended it
// (or after --help and --version), 1 when a write at the end failed or without a graphical
// display (none named, or one that does not answer), 2 for a bad command line.
int RunProgram(int argc, char** argv);

}  // namespace quorvex::app
