#include "tools/sim/stop_signal.h"

#include <poll.h>

#include "platform/termination_signals.h"

namespace quorvex::sim {

StopSignal::StopSignal() : fd_(platform::WatchTerminationSignals()) {}

bool StopSignal::Wait(int milliseconds) {
    if (stopped_) return true;
    pollfd watch{fd_, POLLIN, 0};
    // Without the pipe (fd -1) poll just sleeps; the signals then end the process as usual.
    if (::poll(&watch, 1, milliseconds) > 0 && platform::TakeTerminationSignals(fd_)) {
        stopped_ = true;
    }
    return stopped_;
}

}  // namespace quorvex::sim
