// The feed client on loopback: refused connections, reading in pieces, the peer closing or
// resetting, requests while not connected, and the address and service lookups.

#include "net/client_socket.h"

#include <algorithm>

#include "loopback.h"
#include "net/socket_errors.h"

namespace quorvex::net {
namespace {

using test::ClosedPort;
using test::LoopbackSocket;

struct ErrorReport {
    TErrorEvent kind;
    int code;
    bool operator==(const ErrorReport&) const = default;
};

class ClientSocketTest : public test::LoopbackTest {
  protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        auto note = [this](const char* what) {
            return [this, what](TClientSocket&, TClientWinSocket&) { events.push_back(what); };
        };
        client.SetOnLookup(note("lookup"));
        client.SetOnConnecting(note("connecting"));
        client.SetOnConnect(note("connect"));
        client.SetOnDisconnect(note("disconnect"));
        client.SetOnRead([this](TClientSocket&, TClientWinSocket& socket) {
            reads.push_back(socket.ReadPendingText());
            received += reads.back();
        });
        client.SetOnError([this](TClientSocket&, TClientWinSocket&, TErrorEvent kind, int& code) {
            errors.push_back({kind, code});
            if (clearCodes) code = 0;
        });
    }

    int Count(std::string_view event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    // Connects to `listener` and returns the far end of the connection.
    std::unique_ptr<LoopbackSocket> Connect(const LoopbackSocket& listener) {
        client.SetPort(listener.port());
        client.SetActive(true);
        EXPECT_TRUE(RunUntil([&] { return client.Active(); }));
        return std::make_unique<LoopbackSocket>(listener.Accept(), true);
    }

    TClientSocket client;
    std::vector<std::string> events;
    std::vector<std::string> reads;
    std::string received;
    std::vector<ErrorReport> errors;
    bool clearCodes = true;
};

TEST_F(ClientSocketTest, NothingListeningReportsARefusedConnectAndRaisesOnlyIfNotCleared) {
    client.SetPort(ClosedPort());
    EXPECT_NO_THROW(client.SetActive(true));
    // A numeric host is taken at once: the attempt is under way without a lookup.
    EXPECT_EQ(client.Socket().LookupState(), TLookupState::lsIdle);
    EXPECT_EQ(client.Socket().RemoteAddress(), "127.0.0.1");

    ASSERT_TRUE(RunUntil([&] { return Count("disconnect") == 1; }));
    EXPECT_EQ(errors, (std::vector<ErrorReport>{{TErrorEvent::eeConnect, 10061}}));
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.Socket().SocketHandle(), platform::kInvalidSocket);
    EXPECT_EQ(Count("connect"), 0);
    EXPECT_TRUE(shownErrors.empty());

    clearCodes = false;
    client.SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return !shownErrors.empty(); }));
    EXPECT_EQ(shownErrors, std::vector<std::string>{"Asynchronous socket error 10061"});
    EXPECT_FALSE(client.Active());
}

TEST_F(ClientSocketTest, ALineSentInPiecesArrivesInOrder) {
    auto listener = test::Listener();
    auto feed = Connect(*listener);
    EXPECT_EQ(events, (std::vector<std::string>{"lookup", "connecting", "connect"}));
    EXPECT_THROW(client.SetPort(1), ESocketError);
    EXPECT_EQ(client.Port(), listener->port());

    const std::vector<std::string> pieces = {"MSG,3,1,1,4CA2D6,1,", "2026/12/07,14:03:27.045",
                                             ",,37000\r\n"};
    for (const std::string& piece : pieces) {
        feed->Send(piece);
        const std::size_t before = reads.size();
        ASSERT_TRUE(RunUntil([&] { return reads.size() > before; }));
    }
    EXPECT_EQ(reads, pieces);
    EXPECT_EQ(received, "MSG,3,1,1,4CA2D6,1,2026/12/07,14:03:27.045,,37000\r\n");
    EXPECT_TRUE(client.Active());
}

TEST_F(ClientSocketTest, ThePeerClosingEndsTheConnectionAfterItsLastBytes) {
    auto listener = test::Listener();
    auto feed = Connect(*listener);
    feed->Send("MSG,8,tail");
    feed->Close();

    ASSERT_TRUE(RunUntil([&] { return Count("disconnect") == 1; }));
    EXPECT_EQ(received, "MSG,8,tail");
    EXPECT_FALSE(client.Active());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(client.Socket().ReadPendingText().empty());
}

TEST_F(ClientSocketTest, AResetClosesTheSocketAndTheNextConnectStartsAfresh) {
    auto listener = test::Listener();
    auto feed = Connect(*listener);
    feed->Reset();

    ASSERT_TRUE(RunUntil([&] { return Count("disconnect") == 1; }));
    EXPECT_EQ(errors, (std::vector<ErrorReport>{{TErrorEvent::eeDisconnect, 10054}}));
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.Socket().SocketHandle(), platform::kInvalidSocket);
    EXPECT_TRUE(shownErrors.empty());

    client.SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return client.Active(); }));
    auto again = std::make_unique<LoopbackSocket>(listener->Accept(), true);
    again->Send("MSG,5,");
    ASSERT_TRUE(RunUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, "MSG,5,");
    EXPECT_EQ(Count("connect"), 2);
}

TEST_F(ClientSocketTest, RequestsWhileNotConnected) {
    auto listener = test::Listener();
    client.SetHost("localhost");
    client.SetPort(listener->port());

    // While loading, the request is only remembered.
    client.BeginLoading();
    client.SetActive(true);
    EXPECT_EQ(client.Socket().SocketHandle(), platform::kInvalidSocket);
    EXPECT_TRUE(events.empty());
    client.Loaded();

    // A host name is looked up off this thread; releasing meanwhile does not stop it.
    EXPECT_EQ(client.Socket().LookupState(), TLookupState::lsLookupAddress);
    client.SetActive(false);
    EXPECT_FALSE(client.Active());
    ASSERT_TRUE(RunUntil([&] { return client.Active(); }));
    EXPECT_EQ(client.Socket().RemoteAddress(), "127.0.0.1");
    EXPECT_EQ(Count("disconnect"), 0);

    client.SetActive(false);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(Count("disconnect"), 1);
}

TEST_F(ClientSocketTest, TheServiceGivesThePortAndNoAddressIsALookupError) {
    auto listener = test::Listener();
    client.SetService(std::to_string(listener->port()));
    client.SetPort(1);
    client.SetActive(true);
    EXPECT_EQ(client.Socket().LookupState(), TLookupState::lsLookupService);
    ASSERT_TRUE(RunUntil([&] { return client.Active(); }));
    EXPECT_EQ(client.Socket().RemotePort(), listener->port());
    client.SetActive(false);

    client.SetHost("");
    client.SetAddress("");
    EXPECT_NO_THROW(client.SetActive(true));
    EXPECT_EQ(errors, (std::vector<ErrorReport>{{TErrorEvent::eeLookup, kNoAddressCode}}));
    clearCodes = false;
    try {
        client.SetActive(true);
        FAIL() << "no error without an address";
    } catch (const ESocketError& error) {
        EXPECT_STREQ(error.what(), "No address specified");
    }
    EXPECT_EQ(client.Socket().SocketHandle(), platform::kInvalidSocket);
    EXPECT_FALSE(client.Active());
}

}  // namespace
}  // namespace quorvex::net
