#pragma once
// A receiver over UDP: its packets gathered into datagrams of at most 1024 bytes, each sent
// once full or 5 ms after its first packet; the faults of datagrams when asked: an empty
// datagram after every Nth, or every Nth filled to 1024 bytes with one packet more beyond
// (which the program, reading 1024 bytes of a datagram, never sees).
//
// Threads: the simulator's loop only; never blocks.

#include <cstdint>
#include <vector>

#include "tools/sim/endpoints.h"
#include "tools/sim/fault.h"
#include "tools/sim/ground_truth.h"

namespace quorvex::sim {

class DatagramChannel {
  public:
    static constexpr std::size_t kDatagramLimit = 1024;
    static constexpr double kHoldSeconds = 0.005;

    DatagramChannel(Source source, DatagramSink& sink, GroundTruth& truth, const FaultPlan& faults);

    void Offer(Unit&& unit);
    void Service(double now);

  private:
    void Close();  // the datagram being filled is complete
    void Send(const std::string& datagram);

    Source source_;
    DatagramSink& sink_;
    GroundTruth& truth_;
    FaultPlan faults_;
    std::vector<Unit> units_;
    std::size_t bytes_ = 0;
    std::size_t padding_ = 0;
    bool oversized_ = false;  // filled to the limit, waiting for the packet beyond it
    std::int64_t datagrams_ = 0;
};

}  // namespace quorvex::sim
