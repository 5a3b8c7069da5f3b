#pragma once
// A read-only memory mapping of a file, or of a stretch of one, failing with the translation
// layer's texts. The mapping itself is the platform's (platform/file_mapping.h).
//
// The bytes stay valid and unchanged for the mapping's life as long as nobody shortens the
// file meanwhile. A mapping is moved, never copied; its bytes may be read from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_mapping.h"

namespace quorvex::translation {

class FileMapping {
  public:
    // Maps `size` bytes of `path` from `offset` on; `size` 0 means to the end of the file.
    // `name` is the file named in the failure texts. ETranslationError with
    //   "Cannot open file " + name                               when the file cannot be opened,
    //   "Cannot create memory map on file " + name               when it is empty, not a plain
    //                                                             file, or shorter than asked,
    //   "Cannot map file " + name + " into memory. Reason: " ... when the mapping fails.
    static FileMapping Map(const std::string& path, const std::string& name,
                           std::uint64_t offset = 0, std::uint64_t size = 0);

    std::string_view Bytes() const { return mapping_.Bytes(); }

  private:
    explicit FileMapping(platform::ReadOnlyMapping mapping) : mapping_(std::move(mapping)) {}

    platform::ReadOnlyMapping mapping_;
};

}  // namespace quorvex::translation
