#pragma once
// Catalogues for the tests: hand-built in either byte order, or compiled by msgfmt from .po
// text, written into scratch folders.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace quorvex::test {

using Entries = std::vector<std::pair<std::string, std::string>>;

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline void PutWord(std::string& bytes, std::size_t at, std::uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> shift) & 0xff);
    }
}

// A catalogue of `entries` (sorted here by byte value), in big-endian order when asked
// (de120495 as read on this machine), else little-endian. No hash table.
inline std::string BuildCatalogue(Entries entries, bool bigEndian = false) {
    std::sort(entries.begin(), entries.end());
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * count;
    std::string bytes(translations + 8 * count, '\0');
    PutWord(bytes, 0, 0x950412de, bigEndian);
    PutWord(bytes, 8, count, bigEndian);
    PutWord(bytes, 12, originals, bigEndian);
    PutWord(bytes, 16, translations, bigEndian);
    auto addString = [&](std::size_t entry, const std::string& text) {
        PutWord(bytes, entry, static_cast<std::uint32_t>(text.size()), bigEndian);
        PutWord(bytes, entry + 4, static_cast<std::uint32_t>(bytes.size()), bigEndian);
        bytes += text;
        bytes += '\0';
    };
    for (std::uint32_t i = 0; i < count; ++i) addString(originals + 8 * i, entries[i].first);
    for (std::uint32_t i = 0; i < count; ++i) addString(translations + 8 * i, entries[i].second);
    return bytes;
}

inline std::string PoQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// Compiles `entries` with msgfmt into `mo` (a UTF-8 header entry is added).
inline void CompileCatalogue(const Entries& entries, const std::filesystem::path& mo) {
    std::filesystem::create_directories(mo.parent_path());
    std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
    for (const auto& [original, translation] : entries) {
        po += "msgid " + PoQuoted(original) + "\nmsgstr " + PoQuoted(translation) + "\n\n";
    }
    const std::filesystem::path source = mo.string() + ".po";
    WriteFile(source, po);
    const std::string command = "msgfmt -o '" + mo.string() + "' '" + source.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("msgfmt failed: " + command);
    std::filesystem::remove(source);
}

// The catalogue file of `domain` for `language` under the program folder `app`.
inline std::filesystem::path CataloguePath(const TempFolder& app, const std::string& language,
                                           const std::string& domain = "default") {
    return app.path() / "locale" / language / "LC_MESSAGES" / (domain + ".mo");
}

}  // namespace quorvex::test
