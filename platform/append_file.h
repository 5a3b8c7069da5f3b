#pragma once
// Appending to a file: one that is opened for each write and closed again, so that nothing
// stays open between writes, or one held open under an exclusive lock while it is in use, so
// that no other program writes into it. What was written is in the file once the call
// returns.
//
// Threads: any; calls on one file from several threads may interleave their bytes. Each
// call blocks for its open, write and close; taking a lock never waits for it.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Creates the file at `path` when it does not exist; an existing file keeps what it holds.
// 0, or the errno of the failing call.
int CreateOrKeepFile(const std::string& path);

// Appends `bytes` to the file at `path`, which must exist: a missing file is not created
// (ENOENT). The bytes are pieces, entries of a log for instance, that end at the offsets in
// `ends` (ascending, the last one bytes.size()). A write refused part way, by a full disk
// say, cuts the file back to the end of the last piece written whole: no piece is left torn,
// and the next append starts where a piece would. 0, or the errno of the failing open, write
// or close; a failed write is reported before a failed close.
int AppendToExistingFile(const std::string& path, std::string_view bytes,
                         std::span<const std::size_t> ends);
// The same for bytes that are one piece: all of them reach the file or none.
int AppendToExistingFile(const std::string& path, std::string_view bytes);

// Writes all of `bytes` to the open descriptor `fd` (standard output, say), retrying
// interrupted and partial writes. 0, or the errno of the refused write.
int WriteWhole(int fd, std::string_view bytes);

// What stands at a path a program writes to, following symbolic links.
enum class PathKind {
    Missing,  // nothing (or a link to nothing): a write creates a regular file
    Regular,  // a regular file
    Stream,   // a pipe, FIFO, socket or character device: written as it reads, never replaced
    Folder,
    Other,  // a block device
};
// The kind; `error` gets the errno when the path cannot be examined (kind Missing then).
PathKind KindOfPath(const std::string& path, int& error);

// A pipe, FIFO or character device held open for writing, without ever waiting: opening a
// FIFO that has no reader fails with ENXIO instead of waiting for one, and a write writes what
// fits.
class StreamFile {
  public:
    StreamFile() = default;
    ~StreamFile() { Close(); }
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // 0, or the errno of the open (ENXIO: a FIFO without a reader).
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Writes as much of `bytes` as goes without waiting; `written` counts it. 0 (also when
    // nothing fitted), or the errno of the write (EPIPE: the reader has gone).
    int WriteSome(std::string_view bytes, std::size_t& written);
    // Waits up to `milliseconds` until a write would take bytes again.
    void WaitForRoom(int milliseconds);

  private:
    int fd_ = -1;
};

// A file held open with an exclusive lock (flock) until Close, so that no other program
// that asks for the same lock (another Quorvex) takes it while it is held. The lock goes
// with the process: a program that ends, however it ends, frees the file.
class LockedFile {
  public:
    LockedFile() = default;
    ~LockedFile() { Close(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Creates the file at `path` when it does not exist (an existing one keeps what it
    // holds) and takes its lock, after letting go of the file held before. 0; EWOULDBLOCK
    // when another open file holds the lock; else the errno of the failing call.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Appends as AppendToExistingFile does, while the path still names the file opened:
    // ENOENT when it was removed or moved away, also when another file now stands in its
    // place, which is never written into. `wholePieces`, when given, gets how many pieces
    // reached the file whole.
    int Append(std::string_view bytes, std::span<const std::size_t> ends,
               std::size_t* wholePieces = nullptr);

  private:
    std::string path_;
    int fd_ = -1;
    unsigned long long device_ = 0, inode_ = 0;  // the file opened, to know it again
};

}  // namespace quorvex::platform
