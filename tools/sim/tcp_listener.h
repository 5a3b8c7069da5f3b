#pragma once
// A non-blocking TCP socket listening on every interface, for the simulator's servers.

#include <string>

namespace quorvex::sim {

struct TcpListener {
    int fd = -1;
    int port = 0;  // the port taken
};

// Listens on `port` (0: any free port). Throws std::runtime_error naming `what` and the
// port when it cannot.
TcpListener ListenTcp(int port, const std::string& what);

// A client waiting on `listener`, non-blocking; -1 when none waits.
int AcceptClient(int listener);

}  // namespace quorvex::sim
