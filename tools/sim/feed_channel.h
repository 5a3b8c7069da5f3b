#pragma once
// The port-30003 feed: "MSG," lines to the connected client from the moment it connects,
// counted once written whole; the connection reset every N lines when asked.
//
// Threads: the simulator's loop only; never blocks.

#include <cstdint>

#include "tools/sim/endpoints.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/unit_batch.h"

namespace quorvex::sim {

class FeedChannel {
  public:
    // Before a reset nothing new is sent for this long, so the client has read all: a reset
    // throws away what its socket still holds.
    static constexpr double kQuietSeconds = 0.5;
    static constexpr std::size_t kBacklogBytes = 1 << 20;

    FeedChannel(FeedConnection& connection, GroundTruth& truth, std::int64_t resetEvery);

    void Offer(Unit&& line);
    void Service(double now);

  private:
    FeedConnection& connection_;
    GroundTruth& truth_;
    std::int64_t resetEvery_;
    bool connected_ = false;
    double resetAt_ = -1;
    UnitBatch batch_;
    std::int64_t written_ = 0;
};

}  // namespace quorvex::sim
