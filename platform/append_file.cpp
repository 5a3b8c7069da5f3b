#include "platform/append_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvex::platform {
namespace {

// Writes all of `bytes`; 0 or the errno of the refused write. `written` counts what went out.
int WriteAll(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

// After a write refused part way: cuts away what went out past the last whole piece. The
// file ends where the write stopped, so its length tells where the pieces began.
void CutToWholePieces(int fd, std::size_t written, std::span<const std::size_t> ends) {
    const auto after = std::upper_bound(ends.begin(), ends.end(), written);
    const std::size_t whole = after == ends.begin() ? 0 : *(after - 1);
    struct stat status {};
    if (whole == written || ::fstat(fd, &status) != 0) return;
    const off_t torn = static_cast<off_t>(written - whole);
    // A cut that fails leaves the torn piece; the write's own error is what gets reported.
    if (status.st_size >= torn && ::ftruncate(fd, status.st_size - torn) != 0) return;
}

int AppendPieces(int fd, std::string_view bytes, std::span<const std::size_t> ends,
                 std::size_t* wholePieces = nullptr) {
    std::size_t written = 0;
    const int error = WriteAll(fd, bytes, written);
    if (error != 0) CutToWholePieces(fd, written, ends);
    if (wholePieces != nullptr) {
        *wholePieces = static_cast<std::size_t>(
            std::upper_bound(ends.begin(), ends.end(), written) - ends.begin());
    }
    return error;
}

}  // namespace

int CreateOrKeepFile(const std::string& path) {
    // No O_TRUNC: what the file holds stays.
    // Not blocking: a FIFO put at the path must not hold the program until it has a reader.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

int AppendToExistingFile(const std::string& path, std::string_view bytes,
                         std::span<const std::size_t> ends) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    const int writeError = AppendPieces(fd, bytes, ends);
    // A close interrupted by a signal has released the descriptor all the same.
    const int closeError = ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    return writeError != 0 ? writeError : closeError;
}

int AppendToExistingFile(const std::string& path, std::string_view bytes) {
    const std::size_t end = bytes.size();
    return AppendToExistingFile(path, bytes, {&end, 1});
}

int WriteWhole(int fd, std::string_view bytes) {
    std::size_t written = 0;
    return WriteAll(fd, bytes, written);
}

PathKind KindOfPath(const std::string& path, int& error) {
    error = 0;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT) error = errno;
        return PathKind::Missing;
    }
    if (S_ISREG(status.st_mode)) return PathKind::Regular;
    if (S_ISDIR(status.st_mode)) return PathKind::Folder;
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode)) {
        return PathKind::Stream;
    }
    return PathKind::Other;
}

int StreamFile::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return fd_ < 0 ? errno : 0;
}

void StreamFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int StreamFile::WriteSome(std::string_view bytes, std::size_t& written) {
    written = 0;
    if (fd_ < 0) return EBADF;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : errno;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

void StreamFile::WaitForRoom(int milliseconds) {
    if (fd_ < 0) return;
    pollfd room{fd_, POLLOUT, 0};
    ::poll(&room, 1, milliseconds);
}

int LockedFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    struct stat status {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    path_ = path;
    fd_ = fd;
    device_ = status.st_dev;
    inode_ = status.st_ino;
    return 0;
}

void LockedFile::Close() {
    if (fd_ < 0) return;
    ::close(fd_);  // lets go of the lock
    fd_ = -1;
}

int LockedFile::Append(std::string_view bytes, std::span<const std::size_t> ends,
                       std::size_t* wholePieces) {
    if (wholePieces != nullptr) *wholePieces = 0;
    if (fd_ < 0) return EBADF;
    // The name, not the descriptor, decides: a file removed or moved away is not written.
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) return errno;
    if (status.st_dev != device_ || status.st_ino != inode_) return ENOENT;
    return AppendPieces(fd_, bytes, ends, wholePieces);
}

}  // namespace quorvex::platform
