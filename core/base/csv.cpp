#include "core/base/csv.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace quorvex {

void CsvRow::Separate() {
    if (!first_) out_ += ',';
    first_ = false;
}

CsvRow& CsvRow::Text(std::string_view field) {
    Separate();
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out_ += field;
        return *this;
    }
    out_ += '"';
    for (const char c : field) {
        if (c == '"') out_ += '"';
        out_ += c;
    }
    out_ += '"';
    return *this;
}

CsvRow& CsvRow::Integer(std::int64_t value) {
    Separate();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out_.append(digits, end);
    return *this;
}

CsvRow& CsvRow::Number(double value, int decimals) {
    if (!std::isfinite(value)) return Empty();
    Separate();
    out_ += FixedText(value, decimals);
    return *this;
}

CsvRow& CsvRow::Empty() {
    Separate();
    return *this;
}

void CsvRow::End() {
    out_ += "\r\n";
    first_ = true;
}

std::string FixedText(double value, int decimals) {
    if (!std::isfinite(value)) return {};
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return {};
    return std::string(digits, result.ptr);
}

std::string Iso8601Utc(std::int64_t unixSeconds) {
    using namespace std::chrono;
    const sys_seconds time{seconds(unixSeconds)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(clock.hours().count()),
                  static_cast<long long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()));
    return text;
}

}  // namespace quorvex
