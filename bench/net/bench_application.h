#pragma once
// The Qt application the network benchmarks run their event loop in, made once.

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/main_thread.h"

namespace quorvex::bench {

// A TCP listener on 127.0.0.1 at a free port, with `backlog`; `address` gets its address.
inline int LoopbackListener(int backlog, sockaddr_in& address) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, backlog);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    return listener;
}

inline void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "net_bench";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    platform::InitialiseMainThread();
}

}  // namespace quorvex::bench
