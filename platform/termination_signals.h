#pragma once
// SIGINT, SIGTERM and SIGHUP as a readable descriptor, so the program can end in order (its
// window closes as if the operator closed it) instead of dying mid-write.
//
// Signals come in pairs and bursts: `timeout` signals the program and then its whole group,
// systemd and wrappers forward what the group already got, a closed terminal sends SIGHUP
// with SIGTERM behind it. So once the end has begun, further signals are ignored for
// kHungEndSeconds, while the end writes its files; one after that ends the program at once,
// as a write that hangs (a dead network mount) must not keep it alive.
//
// Threads: WatchTerminationSignals once on the user-interface thread at start-up; the
// descriptor is read there. The handler runs on whichever thread the kernel picks.

namespace quorvex::platform {

inline constexpr int kHungEndSeconds = 10;

// Routes SIGINT, SIGTERM and SIGHUP to a pipe and returns its read end (non-blocking), or -1
// when that cannot be set up (the signals then keep their default action).
int WatchTerminationSignals();

// Reads what the signals left in the pipe; true when at least one signal arrived.
bool TakeTerminationSignals(int fd);

// The end has begun: a signal in the next kHungEndSeconds is ignored (said once on standard
// error), one after them ends the program at once with the signal's default action.
void BeginEnding();

// A write to a pipe whose reader has gone fails with EPIPE instead of killing the program:
// each writer says so in its own words.
void IgnoreBrokenPipes();

}  // namespace quorvex::platform
