#pragma once
// SIGINT and SIGTERM as a readable descriptor, so the program can end in order (its window
// closes as if the operator closed it) instead of dying mid-write.
//
// Threads: WatchTerminationSignals once on the user-interface thread at start-up; the
// descriptor is read there.

namespace quorvex::platform {

// Routes SIGINT and SIGTERM to a pipe and returns its read end (non-blocking), or -1 when
// that cannot be set up (the signals then keep their default action).
int WatchTerminationSignals();

// Reads what the signals left in the pipe; true when at least one signal arrived.
bool TakeTerminationSignals(int fd);

// Gives SIGINT and SIGTERM their default action again: once the program is ending, another
// signal ends it at once.
void StopWatchingTerminationSignals();

}  // namespace quorvex::platform
