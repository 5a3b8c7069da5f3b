#include "platform/whole_file.h"

#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace quorvex::platform {
namespace {

std::string TooLargeText(std::size_t limit) {
    return ErrorText(EFBIG) + " (more than " + std::to_string(limit / (1024 * 1024)) + " MB)";
}

// Why a file of this kind and size is not read, or nothing.
std::optional<std::string> Unsuitable(const struct stat& status, std::size_t limit) {
    if (S_ISDIR(status.st_mode)) return ErrorText(EISDIR);
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        return TooLargeText(limit);
    }
    return std::nullopt;
}

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryRandomPart = 6;  // mkstemp's XXXXXX

bool IsTemporaryOf(std::string_view name, std::string_view file) {
    if (name.size() != file.size() + kTemporaryMark.size() + kTemporaryRandomPart ||
        !name.starts_with(file) ||
        name.substr(file.size(), kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    const auto alphanumeric = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    const std::string_view random = name.substr(name.size() - kTemporaryRandomPart);
    return std::all_of(random.begin(), random.end(), alphanumeric);
}

}  // namespace

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

WholeFile ReadWholeFile(const std::string& path, std::size_t limit) {
    const auto failed = [](int error) {
        return WholeFile{{}, error == ENOENT ? std::string() : ErrorText(error)};
    };
    struct stat status {};
    // Looked at first, so that a device or a FIFO is not even opened.
    if (::stat(path.c_str(), &status) != 0) return failed(errno);
    if (auto reason = Unsuitable(status, limit)) return {{}, *reason};
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return failed(errno);
    if (::fstat(file.get(), &status) != 0) return failed(errno);
    if (auto reason = Unsuitable(status, limit)) return {{}, *reason};

    WholeFile content;
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failed(errno);
        if (got == 0) return content;
        content.Text.append(chunk, static_cast<std::size_t>(got));
        if (content.Text.size() > limit) {  // it grew while being read
            return {{}, TooLargeText(limit)};
        }
    }
}

int FollowLinks(const std::string& path, std::string& target) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 40;  // as the kernel follows them
    fs::path current = path;
    for (int links = 0; links <= kMostLinks; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) {
            target = current.string();
            return 0;
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) return error.value();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return ELOOP;
}

namespace {

// What a file of this type is, in a reason: "a FIFO".
std::string KindText(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO or pipe";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

ReplaceTarget FindReplaceTarget(const std::string& path) {
    // The kernel follows the links first, /proc's magic ones too (/dev/stdout to a pipe).
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        return {{}, "not a regular file (" + KindText(status.st_mode) + ")"};
    }
    ReplaceTarget target;
    if (const int error = FollowLinks(path, target.Path)) {
        target.Path.clear();
        target.Reason = ErrorText(error);
    }
    return target;
}

int ReplaceFileAtomically(const std::string& target, std::string_view content) {
    struct stat existing {};
    const bool exists = ::lstat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return S_ISDIR(existing.st_mode) ? EISDIR : EEXIST;

    std::string temporary = target + std::string(kTemporaryMark) + "XXXXXX";
    const FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return errno;
    int error = 0;
    const auto check = [&error](bool ok) {
        if (!ok && error == 0) error = errno;
    };
    check(::flock(file.get(), LOCK_EX) == 0);
    check(::fchmod(file.get(), exists ? (existing.st_mode & 07777) : 0644) == 0);
    for (std::string_view rest = content; error == 0 && !rest.empty();) {
        const ssize_t written = ::write(file.get(), rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        check(written > 0);
        if (written > 0) rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (error == 0) check(::fsync(file.get()) == 0);
    if (error == 0) check(::rename(temporary.c_str(), target.c_str()) == 0);
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

void RemoveLeftoverTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    std::string target;
    if (FollowLinks(path, target) != 0) return;
    const fs::path file(target);
    const std::string name = file.filename().string();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(
             file.has_parent_path() ? file.parent_path() : fs::path("."), error)) {
        if (!IsTemporaryOf(entry.path().filename().string(), name) ||
            !fs::is_regular_file(entry.symlink_status(error))) {
            continue;
        }
        // A write under way holds the lock on its temporary file.
        const FileDescriptor leftover(
            ::open(entry.path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        if (leftover.get() >= 0 && ::flock(leftover.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry.path().c_str());
        }
    }
}

}  // namespace quorvex::platform
