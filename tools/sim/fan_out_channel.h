#pragma once
// A receiver's frames to every client of a server (tcp-beast). Each client gets the same
// frames from when it connects: a frame that finds any client's backlog full goes to none
// and counts as overflow. A frame counts once every client it went to has taken it whole or
// left, if at least one took it whole. Frames made while no client is connected are lost
// without counting, as on a pseudo-terminal no one has open.
//
// Threads: the simulator's loop only; never blocks.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/sim/endpoints.h"
#include "tools/sim/ground_truth.h"

namespace quorvex::sim {

class FanOutChannel {
  public:
    static constexpr std::size_t kBacklogBytes = 1 << 20;  // per client, not yet written

    FanOutChannel(Source source, ClientStreams& clients, GroundTruth& truth);

    void Offer(Unit&& unit);
    // Notices clients come and gone and writes to each what it can take.
    void Service();

  private:
    struct Sent {
        Unit unit;
        std::size_t holders;  // clients that have not taken it whole nor left
        bool whole = false;   // a client took it whole
    };
    struct Client {
        std::uint64_t id;
        std::string bytes;                // not written yet
        std::deque<std::uint64_t> units;  // numbers of the frames in `bytes`
        std::size_t frontWritten = 0;     // of the first of them
    };
    void Release(std::uint64_t number, bool whole);
    void Settle();  // counts the frames in order as they are done with

    Source source_;
    ClientStreams& clients_;
    GroundTruth& truth_;
    std::vector<Client> connected_;  // ascending ids
    std::deque<Sent> sent_;
    std::uint64_t firstNumber_ = 0;  // of sent_.front()
};

}  // namespace quorvex::sim
