#pragma once
// A receiver on a pseudo-terminal or serial device: its packets paced to the line's baud
// rate, sent only while a reader has the far end open, counted once written whole; the
// terminal closed under its reader every N packets when asked.
//
// Threads: the simulator's loop only; never blocks.

#include <cstdint>
#include <deque>

#include "tools/sim/endpoints.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/line_pacer.h"
#include "tools/sim/unit_batch.h"

namespace quorvex::sim {

class StreamChannel {
  public:
    // A reader that has just opened the terminal sets its line up and purges it first; what
    // came before would be lost without being missed.
    static constexpr double kSettleSeconds = 0.25;
    // Before a hang-up nothing new is sent for this long, so the reader has taken all.
    static constexpr double kQuietSeconds = 0.5;
    // Packets waiting longer than this for the line are dropped, as a receiver's full
    // output buffer drops them.
    static constexpr double kBacklogSeconds = 0.5;

    StreamChannel(Source source, std::int64_t baud, ByteStream& stream, GroundTruth& truth,
                  std::int64_t hangUpEvery);

    // A packet the receiver produced; kept only while it can be sent.
    void Offer(Unit&& unit);
    // Looks for the reader, puts on the line what is due by `now` and writes it.
    void Service(double now);

  private:
    void Drop();

    Source source_;
    LinePacer pacer_;
    ByteStream& stream_;
    GroundTruth& truth_;
    std::int64_t hangUpEvery_;

    bool present_ = false;
    double acceptFrom_ = 0;   // units produced from then on are taken
    double hangUpAt_ = -1;    // a hang-up is pending from then on
    std::deque<Unit> queue_;  // not on the line yet
    std::size_t queuedBytes_ = 0;
    UnitBatch batch_;  // on the line, being written
    std::int64_t written_ = 0;
};

}  // namespace quorvex::sim
