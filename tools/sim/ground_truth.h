#pragma once
// What the simulator has written, per output: frames per DF group, corrupted frames, faulty
// units, feed lines per message type, and per aircraft address; per ten-degree sector around
// the station the airborne positions each output wrote and the same frames both receivers
// wrote; the signal levels of the Beast receivers and of the transmissions both wrote
// (level_truth.h). Only units written whole are counted. JSON for the tests and for whoever
// compares a program's counts with it.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "core/frames/df_group.h"
#include "tools/sim/fault.h"
#include "tools/sim/level_truth.h"
#include "tools/sim/station.h"
#include "tools/sim/twin_pairing.h"
#include "tools/sim/unit.h"

namespace quorvex::sim {

enum class Source : std::uint8_t { Receiver1, Receiver2, Feed };
inline constexpr int kSourceCount = 3;

struct SourceTruth {
    bool enabled = false;
    std::string output;  // where it goes: "pty /dev/pts/4", "udp 127.0.0.1:7934", ...
    char format = 0;     // receivers only: '@', '*', ':' or kBeastFormat ("beast")

    std::array<std::int64_t, kDfGroupCount> groups{};
    std::int64_t corrupted = 0;
    std::array<std::int64_t, 9> feedTypes{};  // index: message type 1 to 8
    std::array<std::int64_t, kFaultCount> faults{};
    std::int64_t overflow = 0;  // units dropped because the line or socket had no room
    std::int64_t bytes = 0;     // every byte written, faults and padding included
    std::map<std::uint32_t, std::int64_t> aircraft;  // good frames or lines per address

    std::int64_t Frames() const;  // the good frames, all groups
    std::int64_t Lines() const;   // the feed lines, all types
};

// The airborne positions (frames, or MSG,3 lines) an output wrote whole, per sector, and
// the farthest range among them in nautical miles.
struct SectorTruth {
    std::array<std::int64_t, kSectorCount> positions{};
    std::array<double, kSectorCount> farthest{};
};

struct CoverageTruth {
    bool enabled = false;
    Station station;
    std::array<SectorTruth, kSourceCount> sources;
    // Position frames both receivers wrote whole (the same 112 bits); receiver 1 alone wrote
    // its positions less these, receiver 2 alone its own less these.
    std::array<std::int64_t, kSectorCount> both{};
};

class GroundTruth {
  public:
    SourceTruth& operator[](Source source) { return sources_[static_cast<int>(source)]; }
    const SourceTruth& operator[](Source source) const {
        return sources_[static_cast<int>(source)];
    }

    // A unit of `source` written whole.
    void Count(Source source, const Unit& unit);
    // A fault that is an event, not a unit (a reset, a closed terminal).
    void CountFault(Source source, Fault fault) {
        ++(*this)[source].faults[static_cast<int>(fault)];
    }

    CoverageTruth& Coverage() { return coverage_; }
    const CoverageTruth& Coverage() const { return coverage_; }
    LevelTruth& Levels() { return levels_; }
    const LevelTruth& Levels() const { return levels_; }

    // One line of JSON: {"seed":..,"seconds":..,"final":..,"receiver1":{..},...}; the
    // outputs that are not enabled are left out, as is "coverage" when not enabled:
    // "coverage":{"station":[LAT,LON],"receiver1":{"positions":[36],"farthest":[36]},..,
    // "both":[36],"only1":[36],"only2":[36]}; then "levels":{..} (LevelTruth::Json) when
    // enabled.
    std::string Json(std::uint64_t seed, double seconds, bool final) const;

  private:
    void CountPosition(Source source, const Unit& unit);
    void CountLevels(Source source, const Unit& unit);

    std::array<SourceTruth, kSourceCount> sources_;
    CoverageTruth coverage_;
    LevelTruth levels_;
    TwinPairing<std::monostate> positionTwins_;  // by the number among position frames
    TwinPairing<std::uint8_t> levelTwins_;       // by the number among all frames; the level
};

}  // namespace quorvex::sim
