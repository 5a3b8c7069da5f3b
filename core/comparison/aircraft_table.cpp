#include "core/comparison/aircraft_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "core/base/csv.h"

namespace quorvex {
namespace {

bool HeardWithin(const TallyFigures& figures, std::int64_t nowSecond) {
    return figures.total > 0 && nowSecond - figures.last < kAircraftTableSeconds;
}

// Who hears an aircraft, by which sources heard it within the table's time; none when none did.
std::optional<Hearing> WhoHears(const std::array<bool, kSourceCount>& heard) {
    if (!heard[0] && !heard[1] && !heard[2]) return std::nullopt;
    return heard[0] && heard[1] ? Hearing::Both
           : heard[0]           ? Hearing::Only1
           : heard[1]           ? Hearing::Only2
                                : Hearing::FeedOnly;
}

void AddHearing(AircraftSummary& summary, Hearing who) {
    switch (who) {
        case Hearing::Both:
            ++summary.Both;
            break;
        case Hearing::Only1:
            ++summary.Only1;
            break;
        case Hearing::Only2:
            ++summary.Only2;
            break;
        case Hearing::FeedOnly:
            ++summary.FeedOnly;
            break;
    }
}

// to_chars, not printf: the C library's locale (which Qt sets from the environment) must not
// pick the separator.
std::string FixedText(double value, int decimals, std::string_view decimal) {
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string result(text, end);
    if (const auto point = result.find('.'); point != std::string::npos) {
        result.replace(point, 1, decimal);
    }
    return result;
}

}  // namespace

std::string_view HearingText(Hearing hearing) {
    switch (hearing) {
        case Hearing::Both:
            return "both";
        case Hearing::Only1:
            return "only 1";
        case Hearing::Only2:
            return "only 2";
        case Hearing::FeedOnly:
            return "feed only";
    }
    return {};
}

void FillAircraftTable(const AircraftTally& tally, std::int64_t nowSecond,
                       std::vector<AircraftTableRow>& rows) {
    rows.clear();
    tally.ForEachRow([&](const TallyRow& tallied) {
        std::array<bool, kSourceCount> heard{};
        std::int64_t last = INT64_MIN;
        AircraftTableRow row;
        for (std::size_t s = 0; s < kSourceCount; ++s) {
            const TallyFigures& figures = tallied.sources[s];
            heard[s] = HeardWithin(figures, nowSecond);
            if (heard[s]) last = std::max(last, figures.last);
            row.PerMinute[s] = figures.lastMinute;
            if (s < row.Level.size()) row.Level[s] = figures.meanLevel;
        }
        const std::optional<Hearing> who = WhoHears(heard);
        if (!who) return;
        row.Address = tallied.address;
        row.DeltaDb = tallied.medianDeltaDb;
        row.SecondsSinceHeard = std::max<std::int64_t>(0, nowSecond - last);
        row.Who = *who;
        if (row.PerMinute[0] > 0 && row.PerMinute[1] > 0) {
            row.Ratio = static_cast<double>(row.PerMinute[0]) / row.PerMinute[1];
        }
        rows.push_back(row);
    });
}

AircraftSummary Summarize(std::span<const AircraftTableRow> rows) {
    AircraftSummary summary;
    std::vector<double> ratios;
    for (const AircraftTableRow& row : rows) {
        AddHearing(summary, row.Who);
        if (row.Ratio) ratios.push_back(*row.Ratio);
    }
    if (!ratios.empty()) {
        const std::size_t middle = ratios.size() / 2;
        std::nth_element(ratios.begin(), ratios.begin() + middle, ratios.end());
        double median = ratios[middle];
        if (ratios.size() % 2 == 0) {
            median = (median + *std::max_element(ratios.begin(), ratios.begin() + middle)) / 2;
        }
        summary.MedianRatio = median;
    }
    return summary;
}

AircraftSummary CountHearing(const AircraftTally& tally, std::int64_t nowSecond) {
    AircraftSummary summary;
    tally.ForEachHeardSince(nowSecond - kAircraftTableSeconds + 1,
                            [&summary, nowSecond](const TallyFigures* figures) {
                                std::array<bool, kSourceCount> heard{};
                                for (std::size_t s = 0; s < kSourceCount; ++s) {
                                    heard[s] = HeardWithin(figures[s], nowSecond);
                                }
                                if (const auto who = WhoHears(heard)) AddHearing(summary, *who);
                            });
    return summary;
}

std::string SummaryText(const AircraftSummary& summary, std::string_view decimal) {
    std::string text = "Heard in the last 5 minutes: " + std::to_string(summary.Both) +
                       " by both, " + std::to_string(summary.Only1) + " only by 1, " +
                       std::to_string(summary.Only2) + " only by 2, " +
                       std::to_string(summary.FeedOnly) + " by the feed only. Median ratio 1/2: ";
    text += summary.MedianRatio ? FixedText(*summary.MedianRatio, 2, decimal) : "none";
    return text;
}

std::string DroppedText(const AircraftTally& tally) {
    if (tally.dropped() == 0) return {};
    return std::to_string(tally.dropped()) +
           " aircraft dropped since Start or Clear: the table keeps at most the " +
           std::to_string(tally.maxAddresses()) + " heard most recently";
}

std::string AddressText(std::uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", address & 0xFFFFFFu);
    return text;
}

std::string AircraftTableCsv(std::span<const AircraftTableRow> rows) {
    std::string out;
    CsvRow header(out);
    for (const char* column :
         {"address", "receiver1_per_minute", "receiver2_per_minute", "feed_per_minute", "ratio_1_2",
          "receiver1_level_dbfs", "receiver2_level_dbfs", "seconds_since_heard", "heard_by",
          "level_delta_db"}) {
        header.Text(column);
    }
    header.End();
    for (const AircraftTableRow& row : rows) {
        CsvRow line(out);
        line.Text(AddressText(row.Address));
        for (const std::uint32_t perMinute : row.PerMinute) line.Integer(perMinute);
        if (row.Ratio) {
            line.Number(*row.Ratio, 3);
        } else {
            line.Empty();
        }
        for (const std::optional<float>& level : row.Level) {
            if (level) {
                line.Number(*level, 1);
            } else {
                line.Empty();
            }
        }
        line.Integer(row.SecondsSinceHeard).Text(HearingText(row.Who));
        if (row.DeltaDb) {
            line.Number(*row.DeltaDb, 2);
        } else {
            line.Empty();
        }
        line.End();
    }
    return out;
}

}  // namespace quorvex
