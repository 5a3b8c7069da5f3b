#pragma once
// What the simulator has written, per output: frames per DF group, corrupted frames, faulty
// units, feed lines per message type, and per aircraft address. Only units written whole
// are counted. JSON for the tests and for whoever compares a program's counts with it.

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "core/df_group.h"
#include "tools/sim/fault.h"
#include "tools/sim/unit.h"

namespace quorvex::sim {

enum class Source : std::uint8_t { Receiver1, Receiver2, Feed };
inline constexpr int kSourceCount = 3;

struct SourceTruth {
    bool enabled = false;
    std::string output;  // where it goes: "pty /dev/pts/4", "udp 127.0.0.1:7934", ...
    char format = 0;     // receivers only

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

    // One line of JSON: {"seed":..,"seconds":..,"final":..,"receiver1":{..},...}; the
    // outputs that are not enabled are left out.
    std::string Json(std::uint64_t seed, double seconds, bool final) const;

  private:
    std::array<SourceTruth, kSourceCount> sources_;
};

}  // namespace quorvex::sim
