#include "translation/embedded_catalogues.h"

#include <algorithm>
#include <fstream>

namespace quorvex::translation {

namespace {

// The marker and the 8 bytes of the start offset after it. Read through volatile so that the
// value patched into the program file is what counts, never a constant the compiler folded.
constexpr std::size_t kMarkerLength = 31;
const volatile char kAnchor[kMarkerLength + 8 + 1] =
    "<<quorvex embedded catalogues>>\0\0\0\0\0\0\0\0";

// An index larger than this is not an index of message catalogues.
constexpr std::uint64_t kLargestIndex = 16u << 20;

std::uint64_t LittleEndian(const unsigned char* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
}

// Reads little-endian numbers and names from the index, refusing to pass its end.
class IndexReader {
  public:
    explicit IndexReader(std::string_view bytes) : bytes_(bytes) {}

    bool Number(std::size_t width, std::uint64_t& value) {
        if (bytes_.size() - position_ < width) return false;
        value =
            LittleEndian(reinterpret_cast<const unsigned char*>(bytes_.data()) + position_, width);
        position_ += width;
        return true;
    }
    bool Text(std::uint64_t length, std::string& text) {
        if (bytes_.size() - position_ < length) return false;
        text.assign(bytes_.substr(position_, static_cast<std::size_t>(length)));
        position_ += static_cast<std::size_t>(length);
        return true;
    }

  private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

}  // namespace

std::string EmbeddedCatalogues::Marker() {
    std::string marker(kMarkerLength, '\0');
    for (std::size_t i = 0; i < kMarkerLength; ++i) marker[i] = kAnchor[i];
    return marker;
}

std::uint64_t EmbeddedCatalogues::OwnStartOffset() {
    unsigned char offset[8];
    for (std::size_t i = 0; i < 8; ++i) {
        offset[i] = static_cast<unsigned char>(kAnchor[kMarkerLength + i]);
    }
    return LittleEndian(offset, 8);
}

std::uint64_t EmbeddedCatalogues::FindStartOffset(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 0;
    const std::string marker = Marker();
    // Scans in blocks that overlap by the marker and offset, so a marker across two is found.
    constexpr std::size_t kBlock = 1 << 16;
    const std::size_t keep = marker.size() + 8;
    std::string window;
    std::vector<char> block(kBlock);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        window.append(block.data(), static_cast<std::size_t>(in.gcount()));
        const std::size_t at = window.find(marker);
        if (at != std::string::npos) {
            // The offset's bytes may still be on their way in the next block.
            while (window.size() < at + keep && in) {
                in.read(block.data(), static_cast<std::streamsize>(block.size()));
                window.append(block.data(), static_cast<std::size_t>(in.gcount()));
            }
            if (window.size() < at + keep) return 0;
            return LittleEndian(
                reinterpret_cast<const unsigned char*>(window.data()) + at + marker.size(), 8);
        }
        if (window.size() > keep) window.erase(0, window.size() - keep);
    }
    return 0;
}

std::optional<std::vector<EmbeddedCatalogues::Entry>> EmbeddedCatalogues::ParseIndex(
    std::string_view bytes, std::uint64_t fileSize) {
    IndexReader reader(bytes);
    std::uint64_t count = 0;
    if (!reader.Number(4, count)) return std::nullopt;
    std::vector<Entry> entries;
    for (std::uint64_t i = 0; i < count; ++i) {
        Entry entry;
        std::uint64_t nameLength = 0;
        if (!reader.Number(4, nameLength) || !reader.Text(nameLength, entry.name) ||
            !reader.Number(8, entry.offset) || !reader.Number(8, entry.size)) {
            return std::nullopt;
        }
        if (entry.name.empty() || entry.size == 0 || entry.offset > fileSize ||
            entry.size > fileSize - entry.offset) {
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

EmbeddedCatalogues EmbeddedCatalogues::Read(const std::string& programPath,
                                            const std::string& baseFolder,
                                            std::uint64_t startOffset) {
    EmbeddedCatalogues index;
    if (startOffset == 0) return index;
    std::ifstream in(programPath, std::ios::binary | std::ios::ate);
    if (!in) return index;
    const auto end = static_cast<std::streamoff>(in.tellg());
    if (end < 0) return index;
    const auto fileSize = static_cast<std::uint64_t>(end);
    if (startOffset >= fileSize || fileSize - startOffset > kLargestIndex) return index;
    std::string bytes(static_cast<std::size_t>(fileSize - startOffset), '\0');
    in.seekg(static_cast<std::streamoff>(startOffset));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return index;
    std::optional<std::vector<Entry>> entries = ParseIndex(bytes, fileSize);
    if (!entries) return index;
    index.programPath_ = programPath;
    index.baseFolder_ = baseFolder;
    index.entries_ = std::move(*entries);
    return index;
}

const EmbeddedCatalogues::Entry* EmbeddedCatalogues::Find(std::string_view fileName) const {
    if (entries_.empty() || fileName.substr(0, baseFolder_.size()) != baseFolder_) {
        return nullptr;
    }
    const std::string_view relative = fileName.substr(baseFolder_.size());
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return entry.name == relative; });
    return found == entries_.end() ? nullptr : &*found;
}

}  // namespace quorvex::translation
