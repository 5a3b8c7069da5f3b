#include "translation/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "translation/translation_error.h"

namespace quorvex::translation {

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

FileMapping FileMapping::Map(const std::string& path, const std::string& name, std::uint64_t offset,
                             std::uint64_t size) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw ETranslationError("Cannot open file " + name);

    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) {
        throw ETranslationError("Cannot create memory map on file " + name);
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (offset >= fileSize) throw ETranslationError("Cannot create memory map on file " + name);
    if (size == 0) size = fileSize - offset;
    if (size > fileSize - offset) {
        throw ETranslationError("Cannot create memory map on file " + name);
    }

    // The mapping starts on a page boundary; the bytes asked for start `lead` bytes into it.
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset - offset % page;
    const std::uint64_t lead = offset - start;
    const auto length = static_cast<std::size_t>(lead + size);
    void* base =
        ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.get(), static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        const int error = errno;
        throw ETranslationError("Cannot map file " + name +
                                " into memory. Reason: " + std::generic_category().message(error));
    }
    const std::string_view bytes(static_cast<const char*>(base) + lead,
                                 static_cast<std::size_t>(size));
    return FileMapping(base, length, bytes);
}

FileMapping::FileMapping(FileMapping&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      bytes_(std::exchange(other.bytes_, {})) {}

FileMapping& FileMapping::operator=(FileMapping&& other) noexcept {
    if (this != &other) {
        Release();
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
        bytes_ = std::exchange(other.bytes_, {});
    }
    return *this;
}

FileMapping::~FileMapping() {
    Release();
}

void FileMapping::Release() noexcept {
    if (base_ != nullptr) ::munmap(base_, length_);
    base_ = nullptr;
    length_ = 0;
    bytes_ = {};
}

}  // namespace quorvex::translation
