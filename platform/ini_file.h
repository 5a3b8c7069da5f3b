#pragma once
// Private-profile INI files: the settings file and the receiver profiles.
//
// Every call reads or rewrites the file at once; nothing is cached. Sections and keys match
// without regard to letter case, names and values are trimmed, the first match wins, and
// lines whose first non-blank character is ";" are comments. CRLF and LF files both read;
// a write keeps every other line byte for byte and the file's own line ends. Not for use
// by two threads on one file at a time.
//
// Only a regular file of at most kIniFileLimit bytes is read: a folder, a device, a FIFO or
// a larger file in its place is refused at once, without opening it, and never replaced by
// a write. A write goes through symbolic links to the file they name, existing or not.

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/whole_file.h"

namespace quorvex::platform {

// "Unable to write to <path>: <reason>": a write that failed, with the system's reason. The
// file then holds what it held before.
class EIniWriteError : public std::runtime_error {
  public:
    EIniWriteError(const std::string& path, const std::string& reason);
};

// Values longer than this many characters are cut to it on reading.
inline constexpr std::size_t kIniValueLimit = 2047;
// Files larger than this many bytes are not read.
inline constexpr std::size_t kIniFileLimit = 1024 * 1024;

// A whole file as one read left it: its text, or why it cannot be read.
using IniFileContent = WholeFile;

// Reads `path` once (see platform/whole_file.h). A missing file (or a link to one) reads as
// empty, without a reason.
IniFileContent ReadIniFile(const std::string& path);

// The value of section/key in `content` (a whole file), or the default.
std::string IniString(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue);
int IniInteger(std::string_view content, std::string_view section, std::string_view key,
               int defaultValue);

std::string IniReadString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue);

// A value that is no whole number (decimal, or hexadecimal after "$" or "0x") reads as the
// default, as does a missing file, section or key.
int IniReadInteger(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue);

// Writes key=value into the section, creating the file or section where missing. The file
// is replaced atomically through a temporary file beside it: a failure midway leaves the old
// file whole. Raises EIniWriteError.
void IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value);
void IniWriteInteger(const std::string& path, std::string_view section, std::string_view key,
                     int value);

// Parsing, exposed for tests and fuzzing: the value of section/key in `content`, if any.
bool IniFindValue(std::string_view content, std::string_view section, std::string_view key,
                  std::string& value);
// `content` with section/key set to value, as a write would leave it.
std::string IniWithValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);
// The whole number that `text` spells, or false.
bool IniParseInteger(std::string_view text, int& value);

}  // namespace quorvex::platform
