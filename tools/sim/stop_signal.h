#pragma once
// SIGINT and SIGTERM for the simulator's loop, and the loop's bounded wait for them.
//
// Threads: construct and wait on the main thread.

namespace quorvex::sim {

class StopSignal {
  public:
    StopSignal();  // routes the signals to a pipe (platform/termination_signals)

    // Waits at most `milliseconds`; true once a signal has arrived.
    bool Wait(int milliseconds);

  private:
    int fd_ = -1;
    bool stopped_ = false;
};

}  // namespace quorvex::sim
