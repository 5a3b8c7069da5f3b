// The configured ports themselves: UDP 7934 on every local address, and the feed at
// 127.0.0.1:30003. These two ports are shared with anything else on the machine, so this
// suite runs under a CTest resource lock and every other test uses ephemeral ports.

#include <memory>

#include "loopback.h"
#include "net/client_socket.h"
#include "net/udp_server.h"

namespace quorvex::net {
namespace {

using FixedPortTest = test::LoopbackTest;

TEST_F(FixedPortTest, TheDefaultsListenOnUdp7934AndConnectTo30003) {
    TIdUDPServer server;
    std::string delivered;
    server.SetOnUDPRead([&](TIdUDPServer&, TMemoryStream& data, TIdSocketHandle&) {
        delivered.assign(data.Bytes().begin(), data.Bytes().end());
    });
    server.SetActive(true);
    ASSERT_EQ(server.Bindings().Count(), 1u);
    EXPECT_EQ(server.Bindings()[0].IP(), "0.0.0.0");
    EXPECT_EQ(server.Bindings()[0].Port(), 7934);
    test::LoopbackSocket(SOCK_DGRAM).SendTo(7934, "*8D4840D6202CC371C32CE0576098;");
    ASSERT_TRUE(RunUntil([&] { return !delivered.empty(); }));
    EXPECT_EQ(delivered, "*8D4840D6202CC371C32CE0576098;");

    auto feed = test::Listener(30003);
    ASSERT_TRUE(feed->bound()) << "port 30003 is taken";
    TClientSocket client;
    client.SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return client.Active(); }));
    EXPECT_EQ(client.Socket().RemoteAddress(), "127.0.0.1");
    EXPECT_EQ(client.Socket().RemotePort(), 30003);
}

}  // namespace
}  // namespace quorvex::net
