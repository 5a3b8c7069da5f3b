// The UDP listener on loopback: delivery on the user-interface thread with the listener
// waiting, datagram sizes, handler errors, activation errors and deactivation.

#include "net/udp_server.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "loopback.h"
#include "net/socket_errors.h"
#include "support/streaming_reads.h"

namespace quorvex::net {
namespace {

using test::LoopbackSocket;

struct Delivery {
    std::string data;
    std::string peerIP;
    int peerPort;
    std::size_t position;
    bool onInterfaceThread;
};

class UdpServerTest : public test::LoopbackTest {
  protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        server.SetOnUDPRead([this](TIdUDPServer&, TMemoryStream& data, TIdSocketHandle& binding) {
            Delivery delivery{std::string(data.Bytes().begin(), data.Bytes().end()),
                              binding.PeerIP(), binding.PeerPort(), data.Position(),
                              platform::IsMainThread()};
            deliveries.push_back(delivery);
            if (duringHandler) duringHandler(data, binding);
        });
    }

    // Listens on an ephemeral loopback port; returns it.
    int Listen() {
        TIdSocketHandle& binding = server.Bindings().Add();
        binding.SetIP("127.0.0.1");
        binding.SetPort(0);
        server.SetActive(true);
        return server.Bindings()[0].Port();
    }

    bool RunUntilDelivered(std::size_t count) {
        return RunUntil([&] { return deliveries.size() >= count; });
    }

    TIdUDPServer server;
    std::vector<Delivery> deliveries;
    std::function<void(TMemoryStream&, TIdSocketHandle&)> duringHandler;
    LoopbackSocket sender{SOCK_DGRAM};
};

TEST_F(UdpServerTest, DatagramsArriveInOrderOnTheInterfaceThreadWhileTheListenerWaits) {
    const int port = Listen();
    ASSERT_NE(port, 0);
    duringHandler = [&](TMemoryStream& data, TIdSocketHandle& binding) {
        if (deliveries.size() != 1) return;
        // "second" is already waiting in the socket; a listener that did not wait for the
        // handler would receive it into this very buffer and binding now.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(std::string(data.Bytes().begin(), data.Bytes().end()), "first");
        EXPECT_EQ(binding.PeerPort(), sender.port());
        char head[3] = {};
        EXPECT_EQ(data.Read(head, sizeof head), 3u);
        EXPECT_EQ(std::string(head, 3), "fir");
    };
    sender.SendTo(port, "first");
    sender.SendTo(port, "second");

    ASSERT_TRUE(RunUntilDelivered(2));
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].data, "first");
    EXPECT_EQ(deliveries[1].data, "second");
    for (const Delivery& delivery : deliveries) {
        EXPECT_TRUE(delivery.onInterfaceThread);
        EXPECT_EQ(delivery.peerIP, "127.0.0.1");
        EXPECT_EQ(delivery.peerPort, sender.port());
        EXPECT_EQ(delivery.position, 0u);
    }
    EXPECT_EQ(server.Binding(), &server.Bindings()[0]);
}

TEST_F(UdpServerTest, AFullBufferIsDeliveredWholeWhileEmptyAndOversizedDatagramsAreSkipped) {
    const int port = Listen();
    std::string full(TIdUDPServer::kDefaultBufferSize, '\0');
    for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<char>('0' + i % 61);
    const std::string oversized = full + "!";

    sender.SendTo(port, "");
    sender.SendTo(port, oversized);
    sender.SendTo(port, full);
    sender.SendTo(port, std::string(20000, 'x'));
    sender.SendTo(port, "after");

    ASSERT_TRUE(RunUntilDelivered(2));
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_TRUE(deliveries[0].data == full) << "size " << deliveries[0].data.size();
    EXPECT_EQ(deliveries[1].data, "after");
    EXPECT_TRUE(shownErrors.empty());
    EXPECT_TRUE(server.ListenerError().empty());
}

TEST_F(UdpServerTest, AStreamOfDatagramsGoesOverInAFewBatchesInOrder) {
    const int port = Listen();
    // The handler calls of one hand-over follow each other at once; a pause means a new one.
    quorvex::test::StreamingReads handOvers;
    auto last = std::chrono::steady_clock::time_point{};
    duringHandler = [&](TMemoryStream&, TIdSocketHandle&) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last > std::chrono::milliseconds(1)) handOvers.Note();
        last = now;
    };
    // 100 datagrams 2 ms apart, as a receiver sends one per packet: 200 ms of streaming.
    std::thread streamer([&] {
        for (int i = 0; i < 100; ++i) {
            sender.SendTo(port, std::to_string(i));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const bool all = RunUntilDelivered(100);
    streamer.join();
    ASSERT_TRUE(all);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(deliveries[i].data, std::to_string(i));
    // A hand-over per datagram would be 100, about 10 over 200 ms (and one more if the
    // interface thread was held up inside a hand-over).
    EXPECT_LE(handOvers.Count(), handOvers.Allowed() + 1);
}

TEST_F(UdpServerTest, DatagramsTheKernelDroppedWhileTheHandOverWaitedAreCounted) {
    server.SetReceiveQueueBytes(4096);
    const int port = Listen();
    // The interface thread serves no hand-over while it sends: the listener waits in its
    // first one and the socket's small queue overflows.
    int sent = 0;
    for (; sent < 300; ++sent) sender.SendTo(port, "datagram " + std::to_string(sent));
    EXPECT_EQ(server.DroppedDatagrams(), 0u);
    // The kernel tells of drops with the next datagram it queues; one sent while the queue
    // is still full is dropped too, so it is sent again until one arrives.
    for (;;) {
        sender.SendTo(port, "last " + std::to_string(sent++));
        ASSERT_LT(sent, 400);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!(!deliveries.empty() && deliveries.back().data.starts_with("last")) &&
               std::chrono::steady_clock::now() < giveUp) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        if (!deliveries.empty() && deliveries.back().data.starts_with("last")) break;
    }
    const auto read = static_cast<std::uint64_t>(deliveries.size());
    EXPECT_GT(sent - read, 200u);
    EXPECT_EQ(server.DroppedDatagrams(), sent - read);

    // Counted on over a new activation.
    server.SetActive(false);
    server.SetActive(true);
    sender.SendTo(server.Bindings()[0].Port(), "again");
    ASSERT_TRUE(RunUntilDelivered(read + 1));
    EXPECT_EQ(server.DroppedDatagrams(), sent - read);
}

TEST_F(UdpServerTest, AHandlerErrorIsShownAndListeningGoesOn) {
    const int port = Listen();
    duringHandler = [&](TMemoryStream& data, TIdSocketHandle&) {
        if (data.Bytes().size() == 3) throw std::runtime_error("bad datagram");
    };
    sender.SendTo(port, "bad");
    sender.SendTo(port, "good");

    ASSERT_TRUE(RunUntilDelivered(2));
    EXPECT_EQ(deliveries[1].data, "good");
    EXPECT_EQ(shownErrors, std::vector<std::string>{"bad datagram"});
    EXPECT_TRUE(server.Active());
}

TEST_F(UdpServerTest, ActivationFailuresCarryTheirTextsAndLeaveNothingBound) {
    LoopbackSocket taken(SOCK_DGRAM);
    TIdSocketHandle& binding = server.Bindings().Add();
    binding.SetPort(taken.port());  // every local address, which includes the taken one
    try {
        server.SetActive(true);
        FAIL() << "bound a port in use";
    } catch (const EIdCouldNotBindSocket& error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(server.Active());
    EXPECT_FALSE(binding.HandleAllocated());

    TIdUDPServer unbound;
    unbound.SetDefaultPort(0);
    try {
        unbound.SetActive(true);
        FAIL() << "activated without a binding";
    } catch (const EIdNoBindingsSpecified& error) {
        EXPECT_STREQ(error.what(), "No bindings specified.");
    }
    EXPECT_FALSE(unbound.Active());
}

TEST_F(UdpServerTest, DeactivationStopsPromptlyDropsAQueuedDeliveryAndFreesThePort) {
    // While loading, the request is only remembered.
    server.BeginLoading();
    const int port = Listen();
    EXPECT_FALSE(server.Active());
    EXPECT_FALSE(server.Bindings()[0].HandleAllocated());
    server.Loaded();
    ASSERT_TRUE(server.Active());
    const int boundPort = server.Bindings()[0].Port();
    ASSERT_NE(boundPort, port);  // the ephemeral port asked for, now known

    // Received by the listener, but the event loop never runs before deactivation.
    sender.SendTo(boundPort, "late");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    server.SetActive(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(server.Active());
    EXPECT_TRUE(deliveries.empty());
    EXPECT_TRUE(LoopbackSocket(SOCK_DGRAM, boundPort).bound());

    // Activating again listens where it listened.
    server.SetActive(true);
    EXPECT_EQ(server.Bindings()[0].Port(), boundPort);
    sender.SendTo(boundPort, "again");
    ASSERT_TRUE(RunUntilDelivered(1));
    EXPECT_EQ(deliveries[0].data, "again");
}

TEST_F(UdpServerTest, StoppingFromInsideTheHandlerDoesNotWaitForItself) {
    const int port = Listen();
    duringHandler = [&](TMemoryStream&, TIdSocketHandle&) { server.SetActive(false); };
    sender.SendTo(port, "stop");
    ASSERT_TRUE(RunUntilDelivered(1));
    EXPECT_FALSE(server.Active());
    EXPECT_FALSE(server.Bindings()[0].HandleAllocated());

    duringHandler = nullptr;
    server.SetActive(true);
    sender.SendTo(port, "resumed");
    ASSERT_TRUE(RunUntilDelivered(2));
    EXPECT_EQ(deliveries[1].data, "resumed");
}

TEST_F(UdpServerTest, AThreadedHandlerRunsOnTheListenerAndATiedOneNotAfterItsObject) {
    auto window = std::make_unique<QObject>();
    std::atomic<int> calls{0};
    std::atomic<bool> onListener{false};
    server.SetThreadedEvent(true);
    server.SetOnUDPRead(
        [&](TIdUDPServer&, TMemoryStream&, TIdSocketHandle&) {
            onListener = !platform::IsMainThread();
            ++calls;
        },
        window.get());
    const int port = Listen();
    sender.SendTo(port, "one");
    ASSERT_TRUE(RunUntil([&] { return calls == 1; }));
    EXPECT_TRUE(onListener);

    window.reset();
    sender.SendTo(port, "two");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // taken by the listener
    server.SetActive(false);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quorvex::net
