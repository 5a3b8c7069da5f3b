#pragma once
// Comma-separated text as spreadsheets and scripts read it everywhere: fields quoted only when
// they must be (a comma, a quote or a line break in them, quotes doubled), rows ended by
// CR LF, numbers with "." as the decimal separator whatever the locale, times in ISO 8601.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex {

class CsvRow {
  public:
    // Appends to `out`; End() closes the row.
    explicit CsvRow(std::string& out) : out_(out) {}

    CsvRow& Text(std::string_view field);
    CsvRow& Integer(std::int64_t value);
    // Fixed notation with `decimals` digits after the point.
    CsvRow& Number(double value, int decimals);
    // An empty field: a value that does not exist (a ratio over zero).
    CsvRow& Empty();
    void End();

  private:
    void Separate();

    std::string& out_;
    bool first_ = true;
};

// The text CsvRow::Number writes for `value`: fixed notation with `decimals` digits after the
// point; empty for infinity and NaN. What shows the files' numbers elsewhere (the report)
// writes them with it, so both say the same.
std::string FixedText(double value, int decimals);

// "2026-12-08T05:20:40Z": a time in seconds since 1970 (UTC).
std::string Iso8601Utc(std::int64_t unixSeconds);

}  // namespace quorvex
