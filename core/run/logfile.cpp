#include "core/run/logfile.h"

#include <cerrno>
#include <cstring>

#include "platform/append_file.h"
#include "platform/program_paths.h"
#include "platform/ui_thread.h"

namespace quorvex {

Logfile::Logfile(std::string folder, const Clock& clock, bool createFolder)
    : folder_(std::move(folder)), clock_(clock), createFolder_(createFolder) {}

Logfile::~Logfile() {
    Flush();
}

void Logfile::SetGathering(bool on) {
    if (!on) Flush();
    gathering_ = on;
}

void Logfile::Flush() {
    if (waiting_.empty()) return;
    Append(waiting_, waitingEnds_);
    waiting_.clear();
    waitingEnds_.clear();
}

void Logfile::Write(std::string_view entry) {
    if (!gathering_) {
        const std::size_t end = entry.size();
        Append(entry, {&end, 1});
        return;
    }
    const bool first = waiting_.empty();
    waiting_ += entry;
    waitingEnds_.push_back(waiting_.size());
    if (waiting_.size() > kGatherLimit) {
        Flush();
    } else if (first && OnEntriesWaiting) {
        OnEntriesWaiting();
    }
}

void Logfile::NewLogFile() {
    Flush();
    file_.Close();
    logStamp_ = LogStampText(clock_.Now());
    logCreated_ = true;
    // A second file within one second, or after the clock was set back, has the name of one
    // that holds entries already, and those must stay. A name whose file another program
    // writes (another Quorvex in this folder) is passed over for the next suffix.
    if (createFolder_) {
        if (auto problem = platform::CreateFolder(folder_, "log folder")) {
            logPath_ = folder_ + logStamp_ + ".log";
            ReportFailure(*problem);
            return;
        }
    }
    int error = 0;
    for (int n = 1; n <= kNamesPerStamp; ++n) {
        logPath_ = folder_ + logStamp_;
        if (n > 1) logPath_.append("-").append(std::to_string(n));
        logPath_ += ".log";
        error = file_.Open(logPath_);
        if (error != EWOULDBLOCK) break;
    }
    if (error != 0) {
        ReportFailure("Cannot create log file ", error);
        return;
    }
    failureReported_ = removalReported_ = false;
}

void Logfile::Append(std::string_view bytes, std::span<const std::size_t> ends) {
    if (!file_.IsOpen()) {  // told when it could not be created
        lostEntries_ += ends.size();
        return;
    }
    // A file the operator deleted or moved is not brought back, nor is a file that took its
    // place written into: its entries are lost until New. Entries that do not fit on the
    // disk are lost whole.
    std::size_t whole = 0;
    const int error = file_.Append(bytes, ends, &whole);
    lostEntries_ += ends.size() - whole;
    if (error == ENOENT) {
        if (!removalReported_ && OnError) {
            OnError("The logfile " + logPath_ + " was removed; entries are not written until New");
        }
        removalReported_ = true;
    } else if (error != 0) {
        ReportFailure("Cannot write to log file ", error,
                      ". Entries are lost until it can be written again.");
    } else {
        failureReported_ = removalReported_ = false;
    }
}

void Logfile::ReportFailure(std::string_view what, int error, std::string_view consequence) {
    ReportFailure(std::string(what) + logPath_ + ": " + std::strerror(error) +
                  std::string(consequence));
}

void Logfile::ReportFailure(const std::string& message) {
    if (failureReported_) return;
    failureReported_ = true;
    if (OnError) OnError(message);
}

void Logfile::WriteFrameLine(SourceId receiver, FrameVerdict verdict, std::string_view frame) {
    QUORVEX_ASSERT_UI_THREAD();
    line_.clear();
    AppendFrameLine(line_, receiver, verdict, frame, clock_.Now(), timeSeparator_);
    Write(line_);
}

void Logfile::WriteFeedLine(std::string_view entry) {
    QUORVEX_ASSERT_UI_THREAD();
    line_.clear();
    AppendFeedEntry(line_, entry);
    Write(line_);
}

void Logfile::ToggleLogging() {
    if (!logging_) {
        if (!logCreated_) NewLogFile();
        logging_ = true;
    } else {
        Flush();
        logging_ = false;
        newEnabled_ = true;
    }
}

}  // namespace quorvex
