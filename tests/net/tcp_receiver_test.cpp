// The TCP receiver against loopback servers: raw text and Beast frames cut at every offset,
// connections closed or reset (a frame cut by them included) and made again, nobody
// listening, an attempt nobody answers, and Stop at every stage.

#include "net/tcp_receiver.h"

#include "net/feed_connection.h"

#include <span>
#include <thread>
#include <utility>

#include "loopback.h"
#include "support/hex_bytes.h"
#include "support/streaming_reads.h"

namespace quorvex::net {
namespace {

using test::ClosedPort;
using test::Listener;
using test::LoopbackSocket;

using quorvex::test::Bytes;

using Frame = std::pair<std::vector<std::uint8_t>, unsigned>;  // bytes and signal level

// One Beast frame as a decoder sends it: every 0x1A after the type byte doubled.
std::string Beast(char type, std::uint64_t timestamp, std::uint8_t signal,
                  std::string_view payloadHex) {
    std::vector<std::uint8_t> body;
    for (int shift = 40; shift >= 0; shift -= 8) body.push_back((timestamp >> shift) & 0xFF);
    body.push_back(signal);
    for (std::uint8_t byte : Bytes(payloadHex)) body.push_back(byte);
    std::string wire = {'\x1A', type};
    for (std::uint8_t byte : body) {
        wire += static_cast<char>(byte);
        if (byte == 0x1A) wire += static_cast<char>(byte);
    }
    return wire;
}

// Three Mode S frames with 0x1A in timestamp, signal and payload, a Mode A/C and a status
// frame between them (read and dropped).
const std::string kBeastStream = Beast('2', 0x00000000011A, 0x1A, "5D4840D6A2F3B1") +
                                 Beast('1', 5, 9, "1A1A") +
                                 Beast('3', 0x1A1A1A1A1A1A, 200, "8D4840D6202CC371C32CE0576098") +
                                 Beast('4', 7, 0, "0000001A000000000000001A0000") +
                                 Beast('3', 0x123456, 0xFF, "8D1A1A1A202CC371C32CE057601A");
const std::vector<Frame> kBeastFrames = {{Bytes("5D4840D6A2F3B1"), 0x1A},
                                         {Bytes("8D4840D6202CC371C32CE0576098"), 200},
                                         {Bytes("8D1A1A1A202CC371C32CE057601A"), 0xFF}};

class TcpReceiverTest : public test::LoopbackTest {
  protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        receiver.SetRetryMilliseconds(100);
        receiver.OnText = [this](std::string_view part) { text += part; };
        receiver.OnFrame = [this](const BeastDecoder::Frame& frame) {
            frames.emplace_back(std::vector(frame.bytes.begin(), frame.bytes.end()), frame.signal);
        };
        receiver.OnReceived = [this] { ++reads; };
        receiver.OnStateChanged = [this] { ++changes; };
    }

    // Grows with every handler call (OnText never gets an empty text).
    std::size_t Calls() const { return text.size() + frames.size() + reads + changes; }

    // The listener's next connection, accepted while the event loop runs.
    static std::unique_ptr<LoopbackSocket> AcceptRunning(const LoopbackSocket& listener) {
        EXPECT_TRUE(RunUntil([&] {
            pollfd ready{listener.fd(), POLLIN, 0};
            return ::poll(&ready, 1, 0) == 1;
        }));
        return std::make_unique<LoopbackSocket>(::accept(listener.fd(), nullptr, nullptr), true);
    }

    std::unique_ptr<LoopbackSocket> Serve(const LoopbackSocket& listener, NetworkKind kind) {
        receiver.Start("127.0.0.1", listener.port(), kind);
        auto peer = AcceptRunning(listener);
        EXPECT_TRUE(RunUntil([&] { return receiver.Connected(); }));
        return peer;
    }

    // Sends `bytes` and runs the event loop until the receiver has read them.
    void SendAndRead(const LoopbackSocket& peer, std::string_view bytes) {
        if (bytes.empty()) return;
        const int before = reads;
        peer.Send(bytes);
        ASSERT_TRUE(RunUntil([&] { return reads > before; }));
    }

    TcpReceiver receiver;
    std::string text;
    std::vector<Frame> frames;
    int reads = 0;
    int changes = 0;
};

TEST_F(TcpReceiverTest, StreamsCutAtEveryOffsetArriveExactly) {
    const std::string raw = "*8D4840D6202CC371C32CE0576098;\n*5D4840D6A2F3B1;\r\n\x1A\xFF";
    for (NetworkKind kind : {NetworkKind::Raw, NetworkKind::Beast}) {
        const std::string& stream = kind == NetworkKind::Raw ? raw : kBeastStream;
        SCOPED_TRACE(kind == NetworkKind::Raw ? "raw" : "beast");
        auto listener = Listener();
        auto peer = Serve(*listener, kind);
        std::string sentText;
        std::vector<Frame> sentFrames;
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            SendAndRead(*peer, std::string_view(stream).substr(0, cut));
            SendAndRead(*peer, std::string_view(stream).substr(cut));
            sentText += stream;
            sentFrames.insert(sentFrames.end(), kBeastFrames.begin(), kBeastFrames.end());
        }
        if (kind == NetworkKind::Raw) {
            EXPECT_EQ(text, sentText);
            EXPECT_TRUE(frames.empty());
        } else {
            EXPECT_EQ(frames, sentFrames);
            EXPECT_EQ(receiver.Decoder().Resyncs(), 0u);
            EXPECT_TRUE(text.empty());
        }
        EXPECT_EQ(reads, static_cast<int>(2 * stream.size()));  // one per piece sent
        EXPECT_EQ(receiver.Connections(), 1u);
        receiver.Stop();
        reads = 0;
        text.clear();
        frames.clear();
    }
}

TEST_F(TcpReceiverTest, AConnectionClosedOrResetIsToldAndMadeAgain) {
    // Ends inside a doubled 0x1A: glued to the next connection's bytes it would eat them.
    const std::string cutFrame = Beast('3', 0x1A0000000000, 1, "8D4840D6202CC371C32CE0576098");
    ASSERT_EQ(cutFrame.substr(0, 3), "\x1A\x33\x1A");
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "closed");
        auto listener = Listener();
        auto peer = Serve(*listener, NetworkKind::Beast);
        SendAndRead(*peer, cutFrame.substr(0, 3));
        const int changesBefore = changes;
        reset ? peer->Reset() : peer->Close();
        ASSERT_TRUE(RunUntil([&] { return !receiver.Connected(); }));
        EXPECT_EQ(receiver.Trouble(),
                  reset ? std::string("Connection reset by peer")
                        : "Connection closed by 127.0.0.1:" + std::to_string(listener->port()));
        EXPECT_EQ(changes, changesBefore + 1);
        EXPECT_TRUE(receiver.Running());

        peer = AcceptRunning(*listener);
        ASSERT_TRUE(RunUntil([&] { return receiver.Connected(); }));
        EXPECT_EQ(receiver.Trouble(), "");
        EXPECT_EQ(receiver.Connections(), 2u);
        SendAndRead(*peer, kBeastStream);
        EXPECT_EQ(frames, kBeastFrames);
        receiver.Stop();
        frames.clear();
    }
}

TEST_F(TcpReceiverTest, NobodyListeningIsRetriedUntilSomebodyIs) {
    const int port = ClosedPort();
    receiver.Start("localhost", port, NetworkKind::Raw);
    EXPECT_EQ(Calls(), 0u);
    EXPECT_EQ(receiver.Trouble(), "");
    ASSERT_TRUE(RunUntil([&] { return changes >= 2; }));
    EXPECT_EQ(receiver.Trouble(), "Connection refused");
    EXPECT_EQ(receiver.Connections(), 0u);

    auto listener = Listener(port);
    ASSERT_TRUE(listener->bound());
    auto peer = AcceptRunning(*listener);
    ASSERT_TRUE(RunUntil([&] { return receiver.Connected(); }));
    EXPECT_EQ(receiver.Trouble(), "");
    EXPECT_EQ(receiver.Connections(), 1u);
    SendAndRead(*peer, "*5D4840D6A2F3B1;\n");
    EXPECT_EQ(text, "*5D4840D6A2F3B1;\n");
    EXPECT_TRUE(shownErrors.empty());
}

TEST_F(TcpReceiverTest, AnAttemptNobodyAnswersIsDroppedAndMadeAgain) {
    // A listener whose queue of one is taken: the system drops further connection requests.
    LoopbackSocket listener(SOCK_STREAM);
    ASSERT_EQ(::listen(listener.fd(), 0), 0);
    LoopbackSocket filler(SOCK_STREAM);
    const sockaddr_in address = LoopbackSocket::Loopback(listener.port());
    ASSERT_EQ(::connect(filler.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
              0);

    receiver.SetRetryMilliseconds(200);
    receiver.Start("127.0.0.1", listener.port(), NetworkKind::Raw);
    ASSERT_TRUE(RunUntil([&] { return changes >= 2; }));
    EXPECT_EQ(receiver.Trouble(), TcpReceiver::kNoAnswer);
    EXPECT_FALSE(receiver.Connected());

    ::close(::accept(listener.fd(), nullptr, nullptr));
    auto peer = AcceptRunning(listener);
    ASSERT_TRUE(RunUntil([&] { return receiver.Connected(); }));
    EXPECT_EQ(receiver.Trouble(), "");
    EXPECT_EQ(receiver.Connections(), 1u);
}

TEST_F(TcpReceiverTest, NoHandlerRunsAfterStop) {
    auto listener = Listener();
    const int closed = ClosedPort();
    struct Case {
        const char* stage;
        const char* host;
        int port;
    };
    for (const Case& c : {Case{"lookup", "localhost", listener->port()},
                          Case{"connect", "127.0.0.1", listener->port()},
                          Case{"retry wait", "127.0.0.1", closed}}) {
        SCOPED_TRACE(c.stage);
        receiver.Start(c.host, c.port, NetworkKind::Beast);
        if (c.port == closed) {
            ASSERT_TRUE(RunUntil([&] { return changes > 0; }));
        }
        const std::size_t before = Calls();
        receiver.Stop();
        Idle(300);
        EXPECT_EQ(Calls(), before);
        EXPECT_FALSE(receiver.Running());
        EXPECT_EQ(receiver.Trouble(), "");
    }

    // Stopped by the first frame of a read that holds three: the rest is not handed out.
    auto fresh = Listener();  // the attempts above may still sit in the first one's queue
    auto peer = Serve(*fresh, NetworkKind::Beast);
    receiver.OnFrame = [&](const BeastDecoder::Frame& frame) {
        frames.emplace_back(std::vector(frame.bytes.begin(), frame.bytes.end()), frame.signal);
        receiver.Stop();
    };
    const std::size_t before = Calls();
    peer->Send(kBeastStream);
    ASSERT_TRUE(RunUntil([&] { return !receiver.Running(); }));
    Idle(300);
    EXPECT_EQ(frames, std::vector<Frame>{kBeastFrames[0]});
    EXPECT_EQ(Calls(), before + 1);  // that frame, and no OnReceived
}

}  // namespace
}  // namespace quorvex::net

namespace quorvex::net {
namespace {

// The TCP receiver and the feed read a stream of lines written every 2 ms (as a busy
// receiver or feed writes them) whole and in order, in a few reads rather than one a line.
using StreamReadTest = test::LoopbackTest;

TEST_F(StreamReadTest, StreamedLinesAreReadWholeInAFewReads) {
    for (const bool feed : {false, true}) {
        SCOPED_TRACE(feed ? "feed" : "TCP receiver");
        test::LoopbackSocket listener(SOCK_STREAM);
        ASSERT_EQ(::listen(listener.fd(), 1), 0);
        std::string text;
        quorvex::test::StreamingReads reads;
        const auto take = [&](std::string_view part) {
            text += part;
            reads.Note();
        };
        TcpReceiver receiver;
        FeedConnection connection;
        if (feed) {
            connection.OnText = take;
            connection.Client().SetHost("127.0.0.1");
            connection.Client().SetPort(listener.port());
            connection.SetConnect(true);
        } else {
            receiver.OnText = take;
            receiver.Start("127.0.0.1", listener.port(), NetworkKind::Raw);
        }
        ASSERT_TRUE(RunUntil([&] {
            pollfd ready{listener.fd(), POLLIN, 0};
            return ::poll(&ready, 1, 0) == 1;
        }));
        const test::LoopbackSocket peer(::accept(listener.fd(), nullptr, nullptr), true);
        Idle(50);  // connected on both ends

        std::string sent;
        std::thread writer([&] {
            for (int i = 0; i < 100; ++i) {
                const std::string line = "MSG,8,1,1,4840D6,1," + std::to_string(i) + "\r\n";
                peer.Send(line);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        for (int i = 0; i < 100; ++i) sent += "MSG,8,1,1,4840D6,1," + std::to_string(i) + "\r\n";
        const bool all = RunUntil([&] { return text.size() >= sent.size(); });
        writer.join();
        ASSERT_TRUE(all);
        EXPECT_EQ(text, sent);
        // A read a line would be 100, about 10 over 200 ms.
        EXPECT_LE(reads.Count(), reads.Allowed());
    }
}

}  // namespace
}  // namespace quorvex::net
