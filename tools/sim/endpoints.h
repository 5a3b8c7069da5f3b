#pragma once
// What the output channels write to. The operating-system implementations (pseudo-terminal,
// serial device, UDP socket, TCP feed server, TCP Beast server) live in their own files;
// tests put fakes in.
//
// Threads: one thread, the simulator's loop; nothing here blocks.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvex::sim {

// A byte stream with a reader at the far end: a pseudo-terminal or a serial device.
class ByteStream {
  public:
    virtual ~ByteStream() = default;
    // Whether someone has the far end open now (a serial device: always).
    virtual bool ReaderPresent() = 0;
    // Writes what fits now of `bytes`: the count written, 0 when nothing fits; never blocks.
    virtual std::size_t Write(std::string_view bytes) = 0;
    // Closes the line under its reader and opens a fresh one in its place (a
    // pseudo-terminal); false where that is not possible.
    virtual bool HangUp() { return false; }
};

class DatagramSink {
  public:
    virtual ~DatagramSink() = default;
    // Sends one datagram whole; false when it was not sent.
    virtual bool Send(std::string_view datagram) = 0;
};

// The feed's one client connection, if any.
class FeedConnection {
  public:
    virtual ~FeedConnection() = default;
    // Accepts a waiting client and notices one that left; true while one is connected.
    virtual bool Connected() = 0;
    virtual std::size_t Write(std::string_view bytes) = 0;
    // Resets the connection (RST, not an orderly close).
    virtual void Reset() = 0;
};

// The clients of a server, each a byte stream of its own.
class ClientStreams {
  public:
    virtual ~ClientStreams() = default;
    // Accepts waiting clients and lets go of those that left: the ids of the clients
    // connected now, ascending. An id is never used again.
    virtual std::vector<std::uint64_t> Clients() = 0;
    // Writes what fits now of `bytes` to `client`: the count written, 0 when nothing fits or
    // the client is gone; never blocks.
    virtual std::size_t Write(std::uint64_t client, std::string_view bytes) = 0;
};

}  // namespace quorvex::sim
