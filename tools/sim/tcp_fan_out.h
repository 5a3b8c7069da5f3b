#pragma once
// A TCP server whose every client gets a byte stream: listens on every interface, accepts
// any number of clients, notices them leaving.
//
// Threads: the simulator's loop only. Nothing blocks: every socket is non-blocking.

#include <string>
#include <vector>

#include "tools/sim/endpoints.h"

namespace quorvex::sim {

class TcpFanOut final : public ClientStreams {
  public:
    // Port 0 takes any free port. Throws std::runtime_error naming `what` when it cannot
    // listen.
    TcpFanOut(int port, const std::string& what);
    ~TcpFanOut() override;
    TcpFanOut(const TcpFanOut&) = delete;
    TcpFanOut& operator=(const TcpFanOut&) = delete;

    int Port() const { return port_; }

    std::vector<std::uint64_t> Clients() override;
    std::size_t Write(std::uint64_t client, std::string_view bytes) override;

  private:
    struct Client {
        std::uint64_t id;
        int fd;
    };
    void Close(std::size_t index);

    int listener_ = -1;
    int port_ = 0;
    std::vector<Client> clients_;
    std::uint64_t nextId_ = 1;
};

}  // namespace quorvex::sim
