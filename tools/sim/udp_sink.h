#pragma once
// Receiver 2's datagrams, sent to one host and port.
//
// Threads: the simulator's loop only. Nothing blocks but the name lookup in the constructor.

#include <netinet/in.h>

#include <string>

#include "tools/sim/endpoints.h"

namespace quorvex::sim {

class UdpSink final : public DatagramSink {
  public:
    // Resolves `host` (IPv4); throws std::runtime_error when it cannot.
    UdpSink(const std::string& host, int port);
    ~UdpSink() override;
    UdpSink(const UdpSink&) = delete;
    UdpSink& operator=(const UdpSink&) = delete;

    bool Send(std::string_view datagram) override;

  private:
    int socket_ = -1;
    sockaddr_in to_{};
};

}  // namespace quorvex::sim
