#include "platform/file_mapping.h"

#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quorvex::platform {

ReadOnlyMapping ReadOnlyMapping::Failed(MapFailure failure, int error) {
    ReadOnlyMapping mapping;
    mapping.failure_ = failure;
    mapping.error_ = error;
    return mapping;
}

ReadOnlyMapping ReadOnlyMapping::Map(const std::string& path, std::uint64_t offset,
                                     std::uint64_t size) {
    // Opened without blocking, so that a FIFO in the file's place is refused, not waited on.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return Failed(MapFailure::Open, errno);

    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return Failed(MapFailure::NotMappable, errno);
    if (!S_ISREG(status.st_mode) || status.st_size <= 0) return Failed(MapFailure::NotMappable, 0);
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (offset >= fileSize) return Failed(MapFailure::NotMappable, 0);
    if (size == 0) size = fileSize - offset;
    if (size > fileSize - offset) return Failed(MapFailure::NotMappable, 0);

    // The mapping starts on a page boundary; the bytes asked for start `lead` bytes into it.
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset - offset % page;
    const std::uint64_t lead = offset - start;
    const auto length = static_cast<std::size_t>(lead + size);
    void* base =
        ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.get(), static_cast<off_t>(start));
    if (base == MAP_FAILED) return Failed(MapFailure::Map, errno);

    ReadOnlyMapping mapping;
    mapping.base_ = base;
    mapping.length_ = length;
    mapping.bytes_ =
        std::string_view(static_cast<const char*>(base) + lead, static_cast<std::size_t>(size));
    return mapping;
}

ReadOnlyMapping::ReadOnlyMapping(ReadOnlyMapping&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      bytes_(std::exchange(other.bytes_, {})),
      failure_(other.failure_),
      error_(other.error_) {}

ReadOnlyMapping& ReadOnlyMapping::operator=(ReadOnlyMapping&& other) noexcept {
    if (this != &other) {
        Release();
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
        bytes_ = std::exchange(other.bytes_, {});
        failure_ = other.failure_;
        error_ = other.error_;
    }
    return *this;
}

ReadOnlyMapping::~ReadOnlyMapping() {
    Release();
}

void ReadOnlyMapping::Release() noexcept {
    if (base_ != nullptr) ::munmap(base_, length_);
    base_ = nullptr;
    length_ = 0;
    bytes_ = {};
}

}  // namespace quorvex::platform
