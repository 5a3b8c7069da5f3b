#include "core/run/second_history.h"

#include "core/base/csv.h"

namespace quorvex {
namespace {

constexpr std::array<const char*, IntervalCounts::kCounterCount> kCounterColumns = {
    "receiver1_DF0",     "receiver1_DF4_5",   "receiver1_DF11",    "receiver1_DF11_IC",
    "receiver1_DF17_19", "receiver1_DF20_21", "receiver2_DF0",     "receiver2_DF4_5",
    "receiver2_DF11",    "receiver2_DF11_IC", "receiver2_DF17_19", "receiver2_DF20_21",
    "feed_MSG5_6",       "feed_MSG8",         "feed_MSG_other"};

constexpr std::array<const char*, 6> kChartColumns = {
    "receiver1_chart_rate",    "receiver2_chart_rate",    "feed_chart_rate",
    "receiver1_chart_average", "receiver2_chart_average", "feed_chart_average"};

}  // namespace

void SecondHistory::Add(const SecondRecord& record) {
    if (records_.size() < kSecondHistorySlots) {
        records_.push_back(record);
        return;
    }
    records_[oldest_] = record;
    oldest_ = (oldest_ + 1) % records_.size();
}

void AppendSecondCsvHeader(std::string& out) {
    CsvRow row(out);
    row.Text("time");
    for (const char* column : kCounterColumns) row.Text(column);
    for (const char* column : kChartColumns) row.Text(column);
    row.End();
}

void AppendSecondCsvRow(std::string& out, const SecondRecord& record) {
    CsvRow row(out);
    row.Text(Iso8601Utc(record.UnixSeconds));
    for (const std::int32_t count : record.Counts) row.Integer(count);
    for (const std::int32_t rate : record.Rates) row.Integer(rate);
    for (const double average : record.Averages) row.Number(average, 2);
    row.End();
}

std::string SecondHistoryCsv(const SecondHistory& history) {
    std::string out;
    AppendSecondCsvHeader(out);
    for (std::size_t i = 0; i < history.size(); ++i) AppendSecondCsvRow(out, history[i]);
    return out;
}

}  // namespace quorvex
