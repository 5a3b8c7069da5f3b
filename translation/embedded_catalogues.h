#pragma once
// Catalogues appended to the program file.
//
// The program carries a marker text followed by an 8-byte little-endian start offset, 0 when
// nothing is appended (so in the delivered program). A tool that appends catalogues writes
// them and then the index to the end of the program file and patches the offset of the
// index into those 8 bytes. The index runs from the start offset to the end of the file:
//
//   u32 count, then count times: u32 name length, the name, u64 offset, u64 size
//
// all little-endian; the name is the catalogue's path relative to the folder that holds
// "locale" (the program's folder when portable): "locale/de/LC_MESSAGES/default.mo"; offset
// and size locate its bytes in the program file.
// An index that does not parse, or whose entries point outside the file, is ignored whole.
//
// Built once at start-up; afterwards only read, from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::translation {

class EmbeddedCatalogues {
  public:
    struct Entry {
        std::string name;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    // The empty index.
    EmbeddedCatalogues() = default;

    // The index of the program file `programPath` whose marker carries `startOffset`; names
    // are taken relative to `baseFolder` (ends in "/"). Empty when `startOffset` is 0 or the
    // index is not sound.
    static EmbeddedCatalogues Read(const std::string& programPath, const std::string& baseFolder,
                                   std::uint64_t startOffset);

    // The start offset in the running program's own marker.
    static std::uint64_t OwnStartOffset();
    // The start offset the first marker in the file `path` carries; 0 without a marker.
    static std::uint64_t FindStartOffset(const std::string& path);
    // The marker text.
    static std::string Marker();

    // The entries of index bytes of a file `fileSize` bytes long; nothing when not sound.
    static std::optional<std::vector<Entry>> ParseIndex(std::string_view bytes,
                                                        std::uint64_t fileSize);

    // The entry for the catalogue file `fileName` (a full path), or null.
    const Entry* Find(std::string_view fileName) const;
    bool Empty() const { return entries_.empty(); }
    const std::string& ProgramPath() const { return programPath_; }

  private:
    std::string programPath_;
    std::string baseFolder_;
    std::vector<Entry> entries_;
};

}  // namespace quorvex::translation
