#include "platform/append_file.h"

#include <fcntl.h>
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
    if (status.st_size >= torn) (void)::ftruncate(fd, status.st_size - torn);
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
    std::size_t written = 0;
    const int writeError = WriteAll(fd, bytes, written);
    if (writeError != 0) CutToWholePieces(fd, written, ends);
    // A close interrupted by a signal has released the descriptor all the same.
    const int closeError = ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    return writeError != 0 ? writeError : closeError;
}

int AppendToExistingFile(const std::string& path, std::string_view bytes) {
    const std::size_t end = bytes.size();
    return AppendToExistingFile(path, bytes, {&end, 1});
}

}  // namespace quorvex::platform
