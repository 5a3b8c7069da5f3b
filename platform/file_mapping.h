#pragma once
// A read-only memory mapping of a file, or of a stretch of one.
//
// The bytes stay valid and unchanged for the mapping's life as long as nobody shortens the
// file meanwhile. A mapping is moved, never copied; its bytes may be read from any thread.
// Map blocks for the open (never on a FIFO or a device: only a plain file is mapped), the
// examination and the mapping of the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Why Map made no mapping.
enum class MapFailure {
    None,
    Open,         // the file cannot be opened
    NotMappable,  // it cannot be examined, is empty, not a plain file, or shorter than asked
    Map,          // the system refused the mapping
};

class ReadOnlyMapping {
  public:
    ReadOnlyMapping() = default;

    // Maps `size` bytes of `path` from `offset` on; `size` 0 means to the end of the file.
    // On failure the mapping holds no bytes and Failure and Error say why.
    static ReadOnlyMapping Map(const std::string& path, std::uint64_t offset = 0,
                               std::uint64_t size = 0);

    ReadOnlyMapping(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping& operator=(ReadOnlyMapping&& other) noexcept;
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;
    ~ReadOnlyMapping();

    std::string_view Bytes() const { return bytes_; }
    MapFailure Failure() const { return failure_; }
    // The errno of the failing call; 0 when the file was merely unsuitable.
    int Error() const { return error_; }

  private:
    static ReadOnlyMapping Failed(MapFailure failure, int error);
    void Release() noexcept;

    void* base_ = nullptr;
    std::size_t length_ = 0;
    std::string_view bytes_;
    MapFailure failure_ = MapFailure::None;
    int error_ = 0;
};

}  // namespace quorvex::platform
