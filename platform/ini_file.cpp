#include "platform/ini_file.h"

#include "platform/integer_text.h"

#include <vector>

namespace quorvex::platform {
namespace {

constexpr std::string_view kBlanks = " \t\v\f\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One line of the file: its text without line end, where that text begins, and where the
// line (with its line end) ends in the content.
struct Line {
    std::string_view text;
    std::size_t begin;
    std::size_t end;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t newline = content.find('\n', begin);
        const std::size_t end = newline == std::string_view::npos ? content.size() : newline + 1;
        std::string_view text =
            content.substr(begin, (newline == std::string_view::npos ? end : newline) - begin);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        // A UTF-8 byte order mark is no part of the first line; a rewrite keeps it in front.
        std::size_t textBegin = begin;
        if (begin == 0 && text.starts_with(kByteOrderMark)) {
            text.remove_prefix(kByteOrderMark.size());
            textBegin = kByteOrderMark.size();
        }
        lines.push_back({text, textBegin, end});
        begin = end;
    }
    return lines;
}

enum class LineKind { Other, Section, Entry };

// Classifies one line; for a section header `name` is its name, for an entry its key, and
// `value` its value.
LineKind Classify(std::string_view line, std::string_view& name, std::string_view& value) {
    std::string_view text = Trim(line);
    if (text.empty() || text.front() == ';') return LineKind::Other;
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        name = Trim(text.substr(1, close == std::string_view::npos ? text.npos : close - 1));
        return LineKind::Section;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return LineKind::Other;
    name = Trim(text.substr(0, equals));
    value = Trim(text.substr(equals + 1));
    return LineKind::Entry;
}

// A value written by hand or by another program may stand in matching quotes.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

EIniWriteError::EIniWriteError(const std::string& path, const std::string& reason)
    : std::runtime_error("Unable to write to " + path + ": " + reason) {}

IniFileContent ReadIniFile(const std::string& path) {
    return ReadWholeFile(path, kIniFileLimit);
}

std::string IniString(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view defaultValue) {
    std::string value;
    if (IniFindValue(content, section, key, value)) return value;
    return std::string(defaultValue.substr(0, kIniValueLimit));
}

int IniInteger(std::string_view content, std::string_view section, std::string_view key,
               int defaultValue) {
    std::string text;
    int value = 0;
    if (IniFindValue(content, section, key, text) && IniParseInteger(text, value)) return value;
    return defaultValue;
}

bool IniFindValue(std::string_view content, std::string_view section, std::string_view key,
                  std::string& value) {
    bool inSection = false;
    for (const Line& line : SplitLines(content)) {
        std::string_view name, entryValue;
        switch (Classify(line.text, name, entryValue)) {
            case LineKind::Section:
                inSection = EqualsIgnoringCase(name, section);
                break;
            case LineKind::Entry:
                if (inSection && EqualsIgnoringCase(name, key)) {
                    value.assign(Unquote(entryValue).substr(0, kIniValueLimit));
                    return true;
                }
                break;
            case LineKind::Other:
                break;
        }
    }
    return false;
}

std::string IniWithValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
    const std::vector<Line> lines = SplitLines(content);
    const std::size_t crlf = content.find("\r\n");
    const std::string_view lineEnd =
        crlf != std::string_view::npos && crlf == content.find('\n') - 1 ? "\r\n" : "\n";
    const std::string entry = std::string(key) + "=" + std::string(value);

    bool inSection = false;
    std::size_t insertAt = std::string_view::npos;  // after the section's last entry
    for (const Line& line : lines) {
        std::string_view name, entryValue;
        const LineKind kind = Classify(line.text, name, entryValue);
        if (kind == LineKind::Section) {
            if (inSection) break;  // the key is missing from the first matching section
            inSection = EqualsIgnoringCase(name, section);
            if (inSection) insertAt = line.end;
        } else if (inSection && kind == LineKind::Entry) {
            if (EqualsIgnoringCase(name, key)) {
                // Replace the line's text, keeping its own line end.
                std::string result(content.substr(0, line.begin));
                result += entry;
                result += content.substr(line.begin + line.text.size(),
                                         line.end - line.begin - line.text.size());
                result += content.substr(line.end);
                return result;
            }
            insertAt = line.end;
        }
    }

    std::string addition;
    if (insertAt == std::string_view::npos) {
        insertAt = content.size();
        addition.append("[").append(section).append("]").append(lineEnd);
    }
    addition += entry;
    addition += lineEnd;
    std::string result(content.substr(0, insertAt));
    // A last line without a line end gets one before anything follows it.
    if (!result.empty() && result.back() != '\n' && result != kByteOrderMark) result += lineEnd;
    result += addition;
    result += content.substr(insertAt);
    return result;
}

bool IniParseInteger(std::string_view text, int& value) {
    return ParseInteger(Trim(text), value);
}

std::string IniReadString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
    return IniString(ReadIniFile(path).Text, section, key, defaultValue);
}

int IniReadInteger(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue) {
    return IniInteger(ReadIniFile(path).Text, section, key, defaultValue);
}

void IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value) {
    std::string target;
    if (const int error = FollowLinks(path, target)) throw EIniWriteError(path, ErrorText(error));
    // There, but not to be read: rewriting it would lose it.
    const IniFileContent current = ReadIniFile(target);
    if (!current.Reason.empty()) throw EIniWriteError(path, current.Reason);
    const std::string updated = IniWithValue(current.Text, section, key, value);
    if (const int error = ReplaceFileAtomically(target, updated)) {
        throw EIniWriteError(path, ErrorText(error));
    }
}

void IniWriteInteger(const std::string& path, std::string_view section, std::string_view key,
                     int value) {
    IniWriteString(path, section, key, std::to_string(value));
}

}  // namespace quorvex::platform
