// The INI parsing on arbitrary text: finding a value, writing one into a file's content, and
// reading whole numbers.
//
// What must hold:
// - a value found is at most kIniValueLimit characters long;
// - after a write of section/key = value, where none of the three holds a line break or
//   starts or ends with a blank, the key names no section or comment and holds no "=", and
//   the section holds no "]": reading section/key gives the value (unquoted, cut to the
//   limit); writing the same again changes nothing; every key of another section, and every
//   other key of the same section, reads as before;
// - a write adds no more than the section header, the entry and two line ends;
// - a whole number read back from its decimal or hexadecimal spelling, blanks around it, is
//   that number; a number read from any text is read again from its decimal spelling.
//
// The input is section, key, value, another section and another key, each ended by a zero
// byte, then the file's content.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace {

using quorvex::platform::IniFindValue;
using quorvex::platform::IniParseInteger;
using quorvex::platform::IniWithValue;
using quorvex::platform::kIniValueLimit;

constexpr std::string_view kBlanks = " \t\v\f\r";

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "ini_file_fuzz: %s\n", what);
    std::abort();
}

// The next field up to a zero byte (taken off `input`), or the rest when there is none.
std::string_view TakeField(std::string_view& input) {
    const std::size_t end = input.find('\0');
    const std::string_view field = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return field;
}

bool PlainName(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos &&
           (text.empty() || (kBlanks.find(text.front()) == std::string_view::npos &&
                             kBlanks.find(text.back()) == std::string_view::npos));
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// What reading a value written as `value` gives.
std::string_view AsRead(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value.substr(0, kIniValueLimit);
}

struct Found {
    bool found = false;
    std::string value;
    bool operator==(const Found&) const = default;
};

Found Find(std::string_view content, std::string_view section, std::string_view key) {
    Found result;
    result.found = IniFindValue(content, section, key, result.value);
    Check(!result.found || result.value.size() <= kIniValueLimit, "a value beyond the limit");
    return result;
}

void CheckWrite(std::string_view content, std::string_view section, std::string_view key,
                std::string_view value, std::string_view otherSection, std::string_view otherKey) {
    const std::string written = IniWithValue(content, section, key, value);
    Check(written.size() <= content.size() + section.size() + key.size() + value.size() + 9,
          "a write added more than a section, an entry and two line ends");
    const bool plain = PlainName(section) && PlainName(key) && PlainName(value) &&
                       section.find(']') == std::string_view::npos &&
                       key.find('=') == std::string_view::npos && !key.starts_with(';') &&
                       !key.starts_with('[');
    if (!plain) return;

    const Found read = Find(written, section, key);
    Check(read.found && read.value == AsRead(value), "the value written does not read back");
    Check(IniWithValue(written, section, key, value) == written,
          "writing the same value again changed the content");
    if (!SameName(section, otherSection) || !SameName(key, otherKey)) {
        Check(Find(written, otherSection, otherKey) == Find(content, otherSection, otherKey),
              "a write changed another key");
    }
}

void CheckInteger(std::string_view text, std::string_view numberBytes) {
    int value = 0;
    if (IniParseInteger(text, value)) {
        int again = 0;
        Check(IniParseInteger(std::to_string(value), again) && again == value,
              "a number does not read back from its decimal spelling");
    }
    if (numberBytes.size() < sizeof(std::uint32_t)) return;
    std::uint32_t bits = 0;
    std::memcpy(&bits, numberBytes.data(), sizeof bits);
    const int number = static_cast<int>(bits);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(bits));
    const std::string spellings[] = {std::to_string(number), " \t" + std::to_string(number) + " ",
                                     std::string("$") + hex, std::string("0x") + hex};
    for (const std::string& spelling : spellings) {
        Check(IniParseInteger(spelling, value) && value == number,
              "a number does not read back from its spelling");
    }
    Check(!IniParseInteger(std::to_string(std::int64_t{INT_MAX} + 1 + (bits & 0xFFFF)), value),
          "a decimal number beyond the range was read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view section = TakeField(input), key = TakeField(input),
                           value = TakeField(input), otherSection = TakeField(input),
                           otherKey = TakeField(input), content = input;

    Find(content, section, key);
    CheckWrite(content, section, key, value, otherSection, otherKey);
    CheckInteger(value, key);
    return 0;
}
