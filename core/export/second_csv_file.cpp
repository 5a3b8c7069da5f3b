#include "core/export/second_csv_file.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/whole_file.h"

namespace quorvex {

std::optional<std::string> SecondCsvFile::Append(const SecondRecord& record) {
    ++rows_;
    int error = 0;
    const platform::PathKind kind = platform::KindOfPath(path_, error);
    if (kind != platform::PathKind::Stream && stream_.IsOpen()) {  // the pipe was replaced
        stream_.Close();
        DropWaiting();
    }
    if (error != 0) {
        ++lost_;
        return Failure(error);
    }
    switch (kind) {
        case platform::PathKind::Missing:
        case platform::PathKind::Regular:
            return AppendToFile(record);
        case platform::PathKind::Stream:
            return AppendToStream(record);
        case platform::PathKind::Folder:
            ++lost_;
            return Failure(EISDIR);
        case platform::PathKind::Other:
            break;
    }
    ++lost_;
    return Failure(std::string("it is a block device, not a file"));
}

std::optional<std::string> SecondCsvFile::AppendToFile(const SecondRecord& record) {
    row_.clear();
    int error = platform::CreateOrKeepFile(path_);
    if (error == 0) {
        std::error_code sizeError;
        if (std::filesystem::file_size(path_, sizeError) == 0 && !sizeError) {
            AppendSecondCsvHeader(row_);
        }
        AppendSecondCsvRow(row_, record);
        error = platform::AppendToExistingFile(path_, row_);
    }
    if (error == 0) {
        failing_ = false;
        return std::nullopt;
    }
    ++lost_;
    return Failure(error);
}

std::optional<std::string> SecondCsvFile::AppendToStream(const SecondRecord& record) {
    std::optional<std::string> message;
    if (!stream_.IsOpen()) {
        const int error = stream_.Open(path_);
        if (error == ENXIO) {  // a FIFO nobody reads yet
            ++lost_;
            ++droppedWithoutReader_;
            if (noReaderSaid_) return std::nullopt;
            noReaderSaid_ = true;
            return "The CSV file " + path_ +
                   " is a pipe without a reader: its rows are dropped (and counted) until one "
                   "opens it; the measurement goes on.";
        }
        if (error != 0) {
            ++lost_;
            return Failure(error);
        }
        if (droppedWithoutReader_ > 0) {
            message = "The CSV file " + path_ + " has a reader: the " +
                      std::to_string(droppedWithoutReader_) + " rows before it came were dropped.";
        }
        noReaderSaid_ = false;
        droppedWithoutReader_ = 0;
        AppendSecondCsvHeader(waiting_);  // every reader gets the header first
    }
    row_.clear();
    AppendSecondCsvRow(row_, record);
    if (waiting_.size() - waitingTaken_ + row_.size() > kMostWaitingBytes) {
        ++lost_;
        if (!laggingSaid_) {
            laggingSaid_ = true;
            message = "The reader of the CSV file " + path_ +
                      " does not keep up: its rows are dropped (and counted) until it catches "
                      "up; the measurement goes on.";
        }
    } else {
        waiting_ += row_;
        waitingEnds_.push_back(waiting_.size());
    }
    if (auto failure = WriteWaiting()) return failure;
    if (waiting_.size() - waitingTaken_ < kMostWaitingBytes / 2) laggingSaid_ = false;
    return message;
}

std::optional<std::string> SecondCsvFile::WriteWaiting() {
    std::size_t written = 0;
    const int error = stream_.WriteSome(std::string_view(waiting_).substr(waitingTaken_), written);
    waitingTaken_ += written;
    while (!waitingEnds_.empty() && waitingEnds_.front() <= waitingTaken_) {
        waitingEnds_.pop_front();
    }
    if (waitingTaken_ == waiting_.size()) {
        waiting_.clear();
        waitingTaken_ = 0;
    } else if (waitingTaken_ >= kMostWaitingBytes / 4) {  // keeps the buffer from creeping
        waiting_.erase(0, waitingTaken_);
        for (std::size_t& end : waitingEnds_) end -= waitingTaken_;
        waitingTaken_ = 0;
    }
    if (error == 0) {
        failing_ = false;
        return std::nullopt;
    }
    stream_.Close();
    DropWaiting();
    if (error == EPIPE) {
        failing_ = false;
        return "The reader of the CSV file " + path_ +
               " has gone: its rows are dropped (and counted) until another opens it; the "
               "measurement goes on.";
    }
    return Failure(error);
}

void SecondCsvFile::DropWaiting() {
    lost_ += waitingEnds_.size();
    waitingEnds_.clear();
    waiting_.clear();
    waitingTaken_ = 0;
}

std::optional<std::string> SecondCsvFile::Finish(int waitMilliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
    while (stream_.IsOpen() && !waitingEnds_.empty() && Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        stream_.WaitForRoom(static_cast<int>(left.count()) + 1);
        if (WriteWaiting()) break;
    }
    DropWaiting();
    stream_.Close();
    if (lost_ == 0) return std::nullopt;
    return "The CSV file " + path_ + " lacks " + std::to_string(lost_) + " of its " +
           std::to_string(rows_) + " seconds: they could not be written.";
}

std::optional<std::string> SecondCsvFile::Failure(int error) {
    return Failure(platform::ErrorText(error));
}

std::optional<std::string> SecondCsvFile::Failure(const std::string& reason) {
    if (failing_) return std::nullopt;
    failing_ = true;
    return "Cannot write the CSV file " + path_ + ": " + reason +
           ". Seconds are lost until it can be written again; the measurement goes on.";
}

}  // namespace quorvex
