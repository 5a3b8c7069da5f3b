#pragma once
// The sky at work: every frame the aircraft send, decided per listener: heard or not (by
// chance and reach, for a Beast receiver also by its level), damaged or not, turned into a
// fault or not, and handed on as the packet or feed line that listener's output carries. Plain
// computation in simulated time; the outputs that write the units are elsewhere.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/sim/aircraft.h"
#include "tools/sim/fault.h"
#include "tools/sim/frame_builder.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/signal_level.h"
#include "tools/sim/sim_random.h"
#include "tools/sim/sky.h"
#include "tools/sim/station.h"
#include "tools/sim/traffic.h"
#include "tools/sim/unit.h"

namespace quorvex::sim {

struct SimSettings {
    SkySettings sky;
    double rate = 0;             // frames per second of the whole sky; 0: the natural rates
    double corruptShare = 0.01;  // of the DF 11/17/18 frames a receiver hears
    std::array<char, 2> format = {'*', '*'};       // '@', '*', ':' or kBeastFormat
    std::array<bool, 2> datagram = {false, true};  // the receiver's packets go out as UDP
    FaultPlan faults;
    std::int64_t startUnixMillis = 0;  // the wall clock at simulated time 0, for feed lines
    // Per receiver; the feed's decoder hears from where receiver 1 stands, as far as it does.
    std::array<Reach, 2> reach;
    LevelSettings levels;
};

class Simulation {
  public:
    using Deliver = std::function<void(Source, Unit&&)>;

    explicit Simulation(const SimSettings& settings);

    // Runs the sky up to `until` (simulated seconds), handing every unit to `deliver` in
    // time order. Every listener's decisions are drawn whether its output exists or not, so
    // a seed gives each output the same units whichever others run.
    void Advance(double until, const Deliver& deliver);

    const std::vector<Aircraft>& Sky() const { return sky_; }
    // Frames per second the sky sends.
    double Rate() const { return schedule_.Total(); }
    // Frames per second the sky sends without --rate.
    double NaturalRate() const { return schedule_.NaturalTotal(); }
    // The mean length of a packet of `format` in this sky's mix, CR LF included (a Beast
    // frame: its escapes included).
    double MeanPacketBytes(char format) const;

  private:
    void Emit(const Emission& emission, const Deliver& deliver);
    Unit Packet(int receiver, const Emission& emission, const ModeSFrame& frame,
                std::uint8_t level);
    // The frame's bytes as receiver `r`'s format writes them.
    ModeSFrame Written(int r, const ModeSFrame& frame) const;

    SimSettings settings_;
    std::vector<Aircraft> sky_;
    std::vector<double> flownTo_;  // per aircraft, the simulated time it was moved to
    TrafficSchedule schedule_;
    SimRandom fields_;
    std::array<SimRandom, kListenerCount> hearing_;
    std::array<SimRandom, 2> damage_;
    std::array<SimRandom, 2> jitter_;
    LevelModel levels_;
    std::array<std::int64_t, 2> packets_{};  // per receiver, for the packet faults
    std::array<std::uint64_t, 2> counterOffset_{};
    std::uint64_t positions_ = 0;  // position frames sent
    std::uint64_t frames_ = 0;     // frames sent
};

}  // namespace quorvex::sim
