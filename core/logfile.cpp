#include "core/logfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ui_thread.h"

namespace quorvex {
namespace {

// Writes all of `bytes`; false with errno set when the system refuses.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

Logfile::Logfile(std::string appFolder, const Clock& clock)
    : appFolder_(std::move(appFolder)), clock_(clock) {}

void Logfile::NewLogFile() {
    logStamp_ = LogStampText(clock_.Now());
    logPath_ = appFolder_ + logStamp_ + ".log";
    logCreated_ = true;
    // No O_TRUNC: a second file within one second, or after the clock was set back, has the
    // name of one that holds entries already, and those must stay.
    const int fd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        ReportFailure("Cannot create log file ", errno);
        return;
    }
    ::close(fd);
    failureReported_ = false;
}

void Logfile::Append(std::string_view bytes) {
    // Without O_CREAT: a file the operator deleted or moved is not brought back.
    const int fd = ::open(logPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) ReportFailure("Cannot write to log file ", errno);
        return;
    }
    const bool written = WriteAll(fd, bytes);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0 || errno == EINTR;
    const int closeError = errno;
    if (!written) {
        ReportFailure("Cannot write to log file ", writeError);
    } else if (!closed) {
        ReportFailure("Cannot write to log file ", closeError);
    } else {
        failureReported_ = false;
    }
}

void Logfile::ReportFailure(std::string_view what, int error) {
    if (failureReported_) return;
    failureReported_ = true;
    if (OnError) OnError(std::string(what) + logPath_ + ": " + std::strerror(error));
}

void Logfile::WriteFrameLine(Receiver receiver, FrameVerdict verdict, std::string_view frame) {
    QUORVEX_ASSERT_UI_THREAD();
    line_.clear();
    AppendFrameLine(line_, receiver, verdict, frame, clock_.Now(), timeSeparator_);
    Append(line_);
}

void Logfile::WriteFeedLine(std::string_view entry) {
    QUORVEX_ASSERT_UI_THREAD();
    line_.clear();
    AppendFeedEntry(line_, entry);
    Append(line_);
}

void Logfile::ToggleLogging() {
    if (!logging_) {
        if (!logCreated_) NewLogFile();
        logging_ = true;
    } else {
        logging_ = false;
        newEnabled_ = true;
    }
}

}  // namespace quorvex
