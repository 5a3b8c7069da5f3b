#include "tools/sim/level_truth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvex::sim {
namespace {

double Dbfs(std::uint8_t level) {
    return 20 * std::log10(level / 255.0);
}

struct Delta {
    double db;
    std::int64_t count;
};

// d(k), k from 1, of the deltas sorted by value.
double Ranked(const std::vector<Delta>& sorted, std::int64_t k) {
    for (const Delta& delta : sorted) {
        if (k <= delta.count) return delta.db;
        k -= delta.count;
    }
    return sorted.back().db;
}

std::string Fixed(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Member(const char* name, const std::string& text) {
    return std::string("\"") + name + "\":\"" + text + "\"";
}

std::string Member(const char* name, std::int64_t value) {
    return std::string("\"") + name + "\":" + std::to_string(value);
}

}  // namespace

LevelTruth::LevelTruth() : compared_(256 * 256, 0) {}

void LevelTruth::CountFrame(int receiver, std::uint8_t level) {
    if (level == 0) return;
    ++levelFrames_[receiver];
    strongFrames_[receiver] += Dbfs(level) >= kStrong;
}

void LevelTruth::CountTwin(std::uint8_t level1, std::uint8_t level2) {
    ++twins_;
    if (level1 == 0 || level2 == 0) {
        ++noLevel_;
    } else if (Dbfs(level1) >= kStrong || Dbfs(level2) >= kStrong) {
        ++strong_;
    } else if (Dbfs(level1) <= kWeak || Dbfs(level2) <= kWeak) {
        ++weak_;
    } else {
        ++compared_[level1 * 256 + level2];
    }
}

std::string LevelTruth::Json() const {
    std::vector<Delta> deltas;
    std::int64_t n = 0;
    for (int level1 = 1; level1 < 256; ++level1) {
        for (int level2 = 1; level2 < 256; ++level2) {
            const std::int64_t count = compared_[level1 * 256 + level2];
            if (count == 0) continue;
            deltas.push_back(
                {Dbfs(static_cast<std::uint8_t>(level2)) - Dbfs(static_cast<std::uint8_t>(level1)),
                 count});
            n += count;
        }
    }
    std::sort(deltas.begin(), deltas.end(),
              [](const Delta& a, const Delta& b) { return a.db < b.db; });
    const auto db = [&](std::int64_t k) { return Fixed("%.2f", Ranked(deltas, k)); };

    std::string median, low, high, q1, q3;
    if (n > 0) {
        median = n % 2 ? db((n + 1) / 2)
                       : Fixed("%.2f", (Ranked(deltas, n / 2) + Ranked(deltas, n / 2 + 1)) / 2);
        q1 = db((n + 3) / 4);
        q3 = db((3 * n + 3) / 4);
    }
    if (n >= 30) {
        const double half = static_cast<double>(n) / 2;
        const double spread = 0.98 * std::sqrt(static_cast<double>(n));
        low = db(std::max<std::int64_t>(1, static_cast<std::int64_t>(std::floor(half - spread))));
        high =
            db(std::min<std::int64_t>(n, static_cast<std::int64_t>(std::ceil(half + 1 + spread))));
    }
    const auto percent = [&](int r) {
        if (levelFrames_[r] == 0) return std::string();
        return Fixed("%.1f", 100.0 * static_cast<double>(strongFrames_[r]) /
                                 static_cast<double>(levelFrames_[r]));
    };
    return "{" + Member("twins", twins_) + "," + Member("compared", n) + "," +
           Member("excluded_no_level", noLevel_) + "," + Member("excluded_strong", strong_) + "," +
           Member("excluded_weak", weak_) + "," + Member("median_db", median) + "," +
           Member("ci_low_db", low) + "," + Member("ci_high_db", high) + "," + Member("q1_db", q1) +
           "," + Member("q3_db", q3) + "," + Member("receiver1_strong_pct", percent(0)) + "," +
           Member("receiver2_strong_pct", percent(1)) + "," +
           Member("receiver1_level_frames", levelFrames_[0]) + "," +
           Member("receiver2_level_frames", levelFrames_[1]) + "}";
}

}  // namespace quorvex::sim
