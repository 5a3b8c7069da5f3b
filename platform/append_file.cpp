#include "platform/append_file.h"

#include <fcntl.h>
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

int AppendPieces(int fd, std::string_view bytes, std::span<const std::size_t> ends) {
    std::size_t written = 0;
    const int error = WriteAll(fd, bytes, written);
    if (error != 0) CutToWholePieces(fd, written, ends);
    return error;
}

}  // namespace

int CreateOrKeepFile(const std::string& path) {
    // No O_TRUNC: what the file holds stays.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

int AppendToExistingFile(const std::string& path, std::string_view bytes,
                         std::span<const std::size_t> ends) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
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

int LockedFile::Append(std::string_view bytes, std::span<const std::size_t> ends) {
    if (fd_ < 0) return EBADF;
    // The name, not the descriptor, decides: a file removed or moved away is not written.
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) return errno;
    if (status.st_dev != device_ || status.st_ino != inode_) return ENOENT;
    return AppendPieces(fd_, bytes, ends);
}

}  // namespace quorvex::platform
