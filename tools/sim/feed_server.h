#pragma once
// The port-30003 feed's TCP server: listens on every interface, serves one client at a time
// (a second is accepted and closed at once), notices the client leaving.
//
// Threads: the simulator's loop only. Nothing blocks: every socket is non-blocking.

#include "tools/sim/endpoints.h"

namespace quorvex::sim {

class FeedServer final : public FeedConnection {
  public:
    // Port 0 takes any free port. Throws std::runtime_error when it cannot listen.
    explicit FeedServer(int port);
    ~FeedServer() override;
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    int Port() const { return port_; }

    bool Connected() override;
    std::size_t Write(std::string_view bytes) override;
    void Reset() override;

  private:
    void CloseClient();

    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
};

}  // namespace quorvex::sim
