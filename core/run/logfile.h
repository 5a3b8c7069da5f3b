#pragma once
// The logfile: one line per decoded frame and one entry per feed message while logging is on.
//
// User-interface thread only. The current file is held open under an exclusive lock, so no
// other Quorvex writes into it: one that starts a file in the same folder within the same
// second takes the name with "-2" (or "-3", ...) before ".log". An entry is in the file once
// its write returns (while gathering: once the flush returns). Every write first checks that
// the file still has its name: a file deleted or moved away while logging is on is not
// created again, nor written on under its new name, nor is a file that took its place; its
// entries are lost until New, and OnError says so once.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/clock.h"
#include "core/frames/df_group.h"
#include "core/run/log_format.h"
#include "platform/append_file.h"

namespace quorvex {

class Logfile {
  public:
    // folder ends in a path separator; the files are named folder + stamp + ".log", or
    // folder + stamp + "-n.log" (n from 2) where another program holds that name. With
    // `createFolder`, a new file first creates the folder where it is missing.
    Logfile(std::string folder, const Clock& clock, bool createFolder = false);
    ~Logfile();
    Logfile(const Logfile&) = delete;
    Logfile& operator=(const Logfile&) = delete;

    bool Logging() const { return logging_; }
    bool LogCreated() const { return logCreated_; }
    const std::string& LogStamp() const { return logStamp_; }
    // The current file's path; empty until the first file of the run was created.
    const std::string& LogPath() const { return logPath_; }

    // Creates a new log file named after the clock's time and makes it current, letting the
    // previous one go. A file of that name that exists already, and that no other program
    // holds, is kept with what it holds; entries are appended.
    void NewLogFile();

    // Called by the intake while Logging is on, for every verdict but Dropped.
    void WriteFrameLine(SourceId receiver, FrameVerdict verdict, std::string_view frame);
    // Called by the feed scan while Logging is on.
    void WriteFeedLine(std::string_view entry);

    // The logfile's "Start"/"Stop" button: starts logging (creating the run's first file)
    // or stops it; stopping enables "New", which runs NewLogFile.
    void ToggleLogging();
    std::string_view LoggingButtonCaption() const { return logging_ ? "Stop" : "Start"; }
    bool NewFileEnabled() const { return newEnabled_; }

    // The locale's time separator in frame lines; ":" unless the window sets another.
    void SetTimeSeparator(std::string separator) { timeSeparator_ = std::move(separator); }

    // Gathering: while on, entries wait in memory and reach the file together at Flush, in
    // one write instead of one per entry (a busy receiver logs thousands of lines a
    // second). The window flushes as soon as its event loop regains control, so an entry is
    // in the file milliseconds after its frame was counted. OnEntriesWaiting is
    // called when a first entry starts to wait; more than kGatherLimit bytes flush at once.
    // A new file, stopping, and the end of the logfile flush what waits for the old one.
    void SetGathering(bool on);
    void Flush();
    std::function<void()> OnEntriesWaiting;
    static constexpr std::size_t kGatherLimit = 256 * 1024;

    // Raised once when the log file (or its folder) cannot be created or an entry cannot be
    // written, with the path and the system's reason; raised again only after a later
    // success. An entry that does not fit on a full disk is lost whole: the file keeps only
    // whole entries, and once there is room again the next one follows the last whole
    // entry. A file deleted or moved away is told once too: its entries are lost until New
    // makes another file.
    std::function<void(const std::string& message)> OnError;
    // The entries that did not reach a file, since the program started.
    std::uint64_t LostEntries() const { return lostEntries_; }

  private:
    void Write(std::string_view entry);
    // Appends whole entries, which end at `ends` in `bytes`.
    void Append(std::string_view bytes, std::span<const std::size_t> ends);
    void ReportFailure(std::string_view what, int error, std::string_view consequence = {});
    void ReportFailure(const std::string& message);

    static constexpr int kNamesPerStamp = 99;  // the stamp, then "-2" to "-99"

    std::string folder_;
    const Clock& clock_;
    bool createFolder_;
    bool logging_ = false;
    bool logCreated_ = false;
    bool newEnabled_ = false;
    bool failureReported_ = false;
    bool removalReported_ = false;
    std::uint64_t lostEntries_ = 0;
    std::string logStamp_;
    std::string logPath_;
    platform::LockedFile file_;  // the current file, while it could be created
    std::string timeSeparator_ = ":";
    std::string line_;  // reused for every entry
    bool gathering_ = false;
    std::string waiting_;                   // gathered entries, not yet in the file
    std::vector<std::size_t> waitingEnds_;  // where each of them ends in waiting_
};

}  // namespace quorvex
