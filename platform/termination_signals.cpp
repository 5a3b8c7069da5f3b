#include "platform/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quorvex::platform {
namespace {

int writeEnd = -1;

// Async-signal-safe: one write to a non-blocking pipe, errno kept.
void Note(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

int WatchTerminationSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
        return -1;
    }
    return ends[0];
}

bool TakeTerminationSignals(int fd) {
    char bytes[64];
    bool any = false;
    while (::read(fd, bytes, sizeof bytes) > 0) any = true;
    return any;
}

void StopWatchingTerminationSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
}

}  // namespace quorvex::platform
