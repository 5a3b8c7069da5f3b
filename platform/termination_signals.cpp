#include "platform/termination_signals.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace quorvex::platform {
namespace {

int writeEnd = -1;
// The steady second the end began at; 0 while it has not. Read by the handler, hence a
// lock-free atomic.
std::atomic<long long> endingSince{0};
std::atomic<bool> toldIgnored{false};
static_assert(std::atomic<long long>::is_always_lock_free);

long long SteadySecondsNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);         // async-signal-safe
    return static_cast<long long>(now.tv_sec) + 1;  // never 0
}

// Async-signal-safe: a clock read, writes to a non-blocking pipe and to standard error, a
// signal's action reset and the signal raised; errno kept.
void Note(int signal) {
    const int saved = errno;
    const long long since = endingSince.load();
    if (since == 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
    } else if (SteadySecondsNow() - since >= kHungEndSeconds) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    } else if (!toldIgnored.exchange(true)) {
        static constexpr char kText[] =
            "quorvex: ending: the files are being written; a signal 10 s after the first ends "
            "the program at once\n";
        static_assert(kHungEndSeconds == 10, "the text says 10 s");
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    }
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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0) return -1;
    }
    return ends[0];
}

bool TakeTerminationSignals(int fd) {
    char bytes[64];
    bool any = false;
    while (::read(fd, bytes, sizeof bytes) > 0) any = true;
    return any;
}

void BeginEnding() {
    long long none = 0;
    endingSince.compare_exchange_strong(none, SteadySecondsNow());
}

void IgnoreBrokenPipes() {
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace quorvex::platform
