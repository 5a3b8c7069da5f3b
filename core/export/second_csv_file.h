#pragma once
// The --csv file of an unattended run: one row per second as the tick closes it.
//
// A regular file (or a path where nothing stands yet) gets the header first when it is new or
// empty, and is opened for each row and closed again, so it can be copied, rotated or deleted
// (then begun anew) at any time.
//
// A pipe or FIFO (`--csv /dev/stdout | other-tool`, a FIFO made with mkfifo) or a character
// device is held open and gets the rows as they come, the header first each time it is
// opened. Nothing here ever waits for it: while a FIFO has no reader its rows are dropped and
// counted, and it is opened again at the next row; rows a slow reader has not taken yet wait,
// up to kMostWaitingBytes, and those beyond are dropped and counted; a reader that leaves is
// waited for again.
//
// Every row that does not reach the file is counted (LostRows), and the end says how many.
//
// Threads: the user-interface thread only. A row to a regular file is written before
// Append returns; nothing else blocks.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "core/run/second_history.h"
#include "platform/append_file.h"

namespace quorvex {

class SecondCsvFile {
  public:
    static constexpr std::size_t kMostWaitingBytes = 1 << 20;  // about two hours of rows

    explicit SecondCsvFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // Appends the row whole or not at all. The message to show when something changed: the
    // first failure after a success (or the start), a pipe without a reader, a reader come
    // or gone, a reader that lags; each once until it changes again, so a full disk does not
    // raise a box per second.
    std::optional<std::string> Append(const SecondRecord& record);

    // The end of the run: rows still waiting for a pipe's reader get up to `waitMilliseconds`
    // to go; then what the file lacks, if anything ("The CSV file F lacks 12 of its 3600
    // seconds: they could not be written.").
    std::optional<std::string> Finish(int waitMilliseconds = 2000);

    // Rows that did not reach the file (and never will), and rows handed to it.
    std::uint64_t LostRows() const { return lost_; }
    std::uint64_t Rows() const { return rows_; }

  private:
    std::optional<std::string> AppendToFile(const SecondRecord& record);
    std::optional<std::string> AppendToStream(const SecondRecord& record);
    // Writes what waits as far as it goes; the message when the stream failed.
    std::optional<std::string> WriteWaiting();
    std::optional<std::string> Failure(int error);
    std::optional<std::string> Failure(const std::string& reason);
    void DropWaiting();

    std::string path_;
    bool failing_ = false;
    std::string row_;  // reused
    std::uint64_t rows_ = 0;
    std::uint64_t lost_ = 0;

    platform::StreamFile stream_;
    std::string waiting_;                  // bytes not yet taken by the stream's reader
    std::deque<std::size_t> waitingEnds_;  // where each waiting row ends in waiting_
    std::size_t waitingTaken_ = 0;         // bytes of waiting_ already written
    bool noReaderSaid_ = false;
    std::uint64_t droppedWithoutReader_ = 0;
    bool laggingSaid_ = false;
};

}  // namespace quorvex
