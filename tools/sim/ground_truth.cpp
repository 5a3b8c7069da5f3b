#include "tools/sim/ground_truth.h"

#include <cstdio>
#include <numeric>

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
        json += ",\"format\":" + Quoted(std::string(1, s.format));
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
    return json + "}";
}

}  // namespace quorvex::sim
