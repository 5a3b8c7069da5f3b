#include "tools/sim/ground_truth.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <type_traits>

#include "tools/sim/beast_frame.h"

namespace quorvex::sim {
namespace {

constexpr std::array<const char*, kSourceCount> kSourceNames = {"receiver1", "receiver2", "feed"};
constexpr std::array<const char*, kDfGroupCount> kGroupNames = {"DF0",     "DF4_5",   "DF11",
                                                                "DF11_IC", "DF17_19", "DF20_21"};

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Member(const char* name, std::int64_t value) {
    return Quoted(name) + ":" + std::to_string(value);
}

std::string SourceJson(const SourceTruth& s, bool feed) {
    std::string json = "{\"output\":" + Quoted(s.output);
    if (!feed) {
        json += ",\"format\":" +
                Quoted(s.format == kBeastFormat ? std::string("beast") : std::string(1, s.format));
        json += "," + Member("frames", s.Frames()) + ",\"groups\":{";
        for (int g = 0; g < kDfGroupCount; ++g) {
            json += (g ? "," : "") + Member(kGroupNames[g], s.groups[g]);
        }
        json += "}," + Member("corrupted", s.corrupted);
    } else {
        json += "," + Member("lines", s.Lines()) + ",\"types\":{";
        bool first = true;
        for (int type = 1; type <= 8; ++type) {
            if (s.feedTypes[type] == 0) continue;
            json += (first ? "" : ",") + Member(std::to_string(type).c_str(), s.feedTypes[type]);
            first = false;
        }
        json += "}";
    }
    json += ",\"faults\":{";
    bool first = true;
    for (int f = 0; f < kFaultCount; ++f) {
        if (s.faults[f] == 0) continue;
        json += (first ? "" : ",") + Member(std::string(kFaultNames[f]).c_str(), s.faults[f]);
        first = false;
    }
    json += "}," + Member("overflow", s.overflow) + "," + Member("bytes", s.bytes);
    json += ",\"aircraft\":{";
    first = true;
    for (const auto& [address, count] : s.aircraft) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(address));
        json += (first ? "" : ",") + Member(hex, count);
        first = false;
    }
    return json + "}}";
}

template <typename T>
std::string Array(const std::array<T, kSectorCount>& values) {
    std::string json = "[";
    for (int k = 0; k < kSectorCount; ++k) {
        if (k) json += ",";
        if constexpr (std::is_floating_point_v<T>) {
            char number[32];
            std::snprintf(number, sizeof number, "%.3f", values[k]);
            json += number;
        } else {
            json += std::to_string(values[k]);
        }
    }
    return json + "]";
}

std::string CoverageJson(const CoverageTruth& c, const std::array<SourceTruth, kSourceCount>& s) {
    char station[64];
    std::snprintf(station, sizeof station, "[%.6f,%.6f]", c.station.latitude, c.station.longitude);
    std::string json = std::string("{\"station\":") + station;
    for (int i = 0; i < kSourceCount; ++i) {
        if (!s[i].enabled) continue;
        json += ",\"" + std::string(kSourceNames[i]) +
                "\":{\"positions\":" + Array(c.sources[i].positions) +
                ",\"farthest\":" + Array(c.sources[i].farthest) + "}";
    }
    std::array<std::int64_t, kSectorCount> only1{};
    std::array<std::int64_t, kSectorCount> only2{};
    for (int k = 0; k < kSectorCount; ++k) {
        only1[k] = c.sources[0].positions[k] - c.both[k];
        only2[k] = c.sources[1].positions[k] - c.both[k];
    }
    return json + ",\"both\":" + Array(c.both) + ",\"only1\":" + Array(only1) +
           ",\"only2\":" + Array(only2) + "}";
}

}  // namespace

std::int64_t SourceTruth::Frames() const {
    return std::accumulate(groups.begin(), groups.end(), std::int64_t{0});
}

std::int64_t SourceTruth::Lines() const {
    return std::accumulate(feedTypes.begin(), feedTypes.end(), std::int64_t{0});
}

void GroundTruth::Count(Source source, const Unit& unit) {
    SourceTruth& s = (*this)[source];
    s.bytes += static_cast<std::int64_t>(unit.text.size());
    switch (unit.kind) {
        case Unit::Kind::Frame:
            ++s.groups[static_cast<int>(unit.group)];
            ++s.aircraft[unit.address];
            break;
        case Unit::Kind::Corrupted:
            ++s.corrupted;
            break;
        case Unit::Kind::Faulty:
            ++s.faults[static_cast<int>(unit.fault)];
            break;
        case Unit::Kind::FeedLine:
            ++s.feedTypes[static_cast<std::size_t>(unit.feedType) % s.feedTypes.size()];
            ++s.aircraft[unit.address];
            break;
    }
    if (unit.sector >= 0 && (unit.kind == Unit::Kind::Frame || unit.kind == Unit::Kind::FeedLine)) {
        CountPosition(source, unit);
    }
    if (source != Source::Feed && unit.kind == Unit::Kind::Frame) CountLevels(source, unit);
}

void GroundTruth::CountPosition(Source source, const Unit& unit) {
    const auto k = static_cast<std::size_t>(unit.sector % kSectorCount);
    SectorTruth& sectors = coverage_.sources[static_cast<int>(source)];
    ++sectors.positions[k];
    sectors.farthest[k] = std::max(sectors.farthest[k], unit.range);
    if (source == Source::Feed || !unit.toBoth) return;

    const int self = static_cast<int>(source);
    if (!sources_[1 - self].enabled) return;
    if (positionTwins_.Pair(self, unit.positionNumber, unit.time, {})) ++coverage_.both[k];
}

void GroundTruth::CountLevels(Source source, const Unit& unit) {
    const int self = static_cast<int>(source);
    levels_.CountFrame(self, unit.level);
    if (!unit.twin || !sources_[1 - self].enabled) return;
    if (const auto other = levelTwins_.Pair(self, unit.frameNumber, unit.time, unit.level)) {
        levels_.CountTwin(self == 0 ? unit.level : *other, self == 0 ? *other : unit.level);
    }
}

std::string GroundTruth::Json(std::uint64_t seed, double seconds, bool final) const {
    char head[96];
    std::snprintf(head, sizeof head, "{\"seed\":%llu,\"seconds\":%.3f,\"final\":%s",
                  static_cast<unsigned long long>(seed), seconds, final ? "true" : "false");
    std::string json = head;
    for (int i = 0; i < kSourceCount; ++i) {
        if (!sources_[i].enabled) continue;
        json += ",\"" + std::string(kSourceNames[i]) + "\":" + SourceJson(sources_[i], i == 2);
    }
    if (coverage_.enabled) json += ",\"coverage\":" + CoverageJson(coverage_, sources_);
    if (levels_.enabled) json += ",\"levels\":" + levels_.Json();
    return json + "}";
}

}  // namespace quorvex::sim
