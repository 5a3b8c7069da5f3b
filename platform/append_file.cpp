#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorvex::platform {
namespace {

// Writes all of `bytes`; 0 or the errno of the refused write.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

}  // namespace

int CreateOrKeepFile(const std::string& path) {
    // No O_TRUNC: what the file holds stays.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

int AppendToExistingFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno;
    const int writeError = WriteAll(fd, bytes);
    // A close interrupted by a signal has released the descriptor all the same.
    const int closeError = ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    return writeError != 0 ? writeError : closeError;
}

}  // namespace quorvex::platform
