#pragma once
// The simulator put together: the sky and the outputs the options name (pseudo-terminals,
// serial devices, UDP, Beast TCP servers, the feed server), stepped along in simulated time.
//
// Threads: one thread; Step never blocks.

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "tools/sim/datagram_channel.h"
#include "tools/sim/fan_out_channel.h"
#include "tools/sim/feed_channel.h"
#include "tools/sim/feed_server.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/simulation.h"
#include "tools/sim/stream_channel.h"
#include "tools/sim/tcp_fan_out.h"

namespace quorvex::sim {

class Runner {
  public:
    // Sets up every output; `say` gets the lines that tell where they are ("receiver1: pty
    // /dev/pts/4"). Throws std::runtime_error naming the output that failed.
    Runner(const SimOptions& options, std::int64_t startUnixMillis,
           std::function<void(const std::string&)> say);
    ~Runner();

    // Everything due by `now` (simulated seconds from the start): the sky's frames, the
    // outputs' writes and faults.
    void Step(double now);
    // The outputs' writes and faults due by `now`, with no new frames: before the start and
    // after the end of a run.
    void Service(double now);

    const GroundTruth& Truth() const { return truth_; }
    std::string TruthJson(double now, bool final) const;
    // The feed's TCP port (0 without a feed).
    int FeedPort() const { return feedServer_ ? feedServer_->Port() : 0; }
    // The current pseudo-terminal of a receiver (0 or 1); empty when it has none.
    std::string PtyPath(int receiver) const;
    // The TCP port of a receiver's Beast server (0 when it has none).
    int BeastPort(int receiver) const {
        return beastServers_[receiver] ? beastServers_[receiver]->Port() : 0;
    }

  private:
    void Deliver(Source source, Unit&& unit);

    SimOptions options_;
    std::function<void(const std::string&)> say_;
    GroundTruth truth_;
    Simulation simulation_;
    std::array<std::unique_ptr<ByteStream>, 2> streams_;
    std::array<std::unique_ptr<StreamChannel>, 2> streamChannels_;
    std::unique_ptr<DatagramSink> datagramSink_;
    std::unique_ptr<DatagramChannel> datagramChannel_;
    std::array<std::unique_ptr<TcpFanOut>, 2> beastServers_;
    std::array<std::unique_ptr<FanOutChannel>, 2> beastChannels_;
    std::unique_ptr<FeedServer> feedServer_;
    std::unique_ptr<FeedChannel> feedChannel_;
};

}  // namespace quorvex::sim
