#pragma once
// When each aircraft sends each kind of frame: rates as a receiver near an airway sees them
// (position and velocity squitters twice a second, identification every five seconds,
// acquisition squitters once a second, replies as busy as the radars and collision avoidance
// systems around keep the transponder), each interval jittered by +-20 %.

#include <cstdint>
#include <queue>
#include <vector>

#include "tools/sim/aircraft.h"
#include "tools/sim/frame_kind.h"
#include "tools/sim/sim_random.h"

namespace quorvex::sim {

// Frames per second of one kind from one aircraft, before any scaling.
double NaturalRate(const Aircraft& aircraft, FrameKind kind);

struct Emission {
    double time = 0;  // simulated seconds
    std::size_t aircraft = 0;
    FrameKind kind = FrameKind::AllCall;
};

class TrafficSchedule {
  public:
    // `rate`: frames per second of the whole sky; 0 or less keeps the natural rates.
    TrafficSchedule(const std::vector<Aircraft>& sky, double rate, std::uint64_t seed);

    // The next emission at or before `until`, in time order; false when none is due.
    bool Next(double until, Emission& emission);

    double NaturalTotal() const { return naturalTotal_; }
    // Frames per second the sky sends after scaling.
    double Total() const { return naturalTotal_ * scale_; }

  private:
    struct Entry {
        double time;
        std::size_t aircraft;
        FrameKind kind;
        double interval;  // mean seconds between two frames
        bool operator>(const Entry& other) const;
    };
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> due_;
    SimRandom random_;
    double naturalTotal_ = 0;
    double scale_ = 1;
};

}  // namespace quorvex::sim
