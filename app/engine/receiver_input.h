#pragma once
// ReceiverInput: one receiver of the comparison, from its transport to the Run. It owns the
// transport Start chose (its serial port; a TCP connection to a decoder's raw or Beast
// output; or nothing of its own when the UDP listener's datagrams feed it), its packet
// framer, its CRC option and the packets it rejected, and it hands every packet and frame to
// the Run as one reception it builds, stamped with the time its chunk arrived. Every
// text transport feeds the one framer directly: serial chunks through the port's link,
// datagrams and a raw TCP stream through FeedText. Beast frames (over TCP, or a serial line
// in the "Beast binary" format) arrive as bytes, with their level and timestamp, and skip
// the framer: a Beast serial line's chunks go to a Beast decoder of the receiver's own.
//
// A serial device that goes away (a USB adapter unplugged or re-enumerated, a symlink
// removed) is closed and opened again by its name every few seconds until it is back, as a
// TCP connection is made again.
//
// Threads: the user-interface thread only, every member and every callback. The serial
// port's event thread reaches it only through the port's hand-over to that thread. Close
// (and the destructor) ends the port's thread, the serial retries and the TCP connection;
// no callback comes after it returns.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QTimer>

#include "core/base/source_id.h"
#include "core/frames/packet_framer.h"
#include "core/run/measurement.h"
#include "core/run/run.h"
#include "net/beast_decoder.h"
#include "serial/com_data_packet.h"
#include "serial/com_port.h"

namespace quorvex::net {
class TcpReceiver;
}

namespace quorvex::app {

// A receiver's rejected packets (a pair that is no hexadecimal number): how many since the
// program started, and the last conversion message.
struct RejectedPackets {
    std::uint64_t Count = 0;
    std::string LastMessage;
};

// What the receiver's column says of what keeps it from counting; empty Text: nothing.
struct ReceiverTrouble {
    std::string Text;
    std::string ToolTip;
};

class ReceiverInput {
  public:
    // `run`: what takes the receiver's frames; it must outlive the receiver.
    ReceiverInput(SourceId id, Run& run);
    ~ReceiverInput();
    ReceiverInput(const ReceiverInput&) = delete;
    ReceiverInput& operator=(const ReceiverInput&) = delete;

    SourceId Id() const { return id_; }

    // The CRC option the receiver's packets are decoded with; Open sets it from the format.
    bool Crc() const { return crc_; }
    void SetCrc(bool checked) { crc_ = checked; }

    // Sets the framer's start string and the CRC option from `setup`, then opens its
    // transport: the serial port (false when it fails; the message was shown), or a TCP
    // connection that comes up, and is kept up, on its own. Without either the receiver
    // counts only what FeedText brings.
    bool Open(const ReceiverSetup& setup);
    // The last Open could not open the serial port (the device it named: ComPort().Port()).
    bool OpenFailed() const { return openFailed_; }
    // Closes the serial port (a failure is shown) and drops the TCP connection.
    void Close();

    // Text for the framer from outside the receiver's own transport (UDP datagrams).
    void FeedText(std::string_view text) {
        NewChunk();
        framer_.FeedText(text);
    }

    const RejectedPackets& Rejected() const { return rejected_; }
    // Connections that stood and ended since Open: a TCP connection's, or each time the
    // serial device went away. Nothing for a receiver without a transport of its own (UDP).
    std::optional<std::uint64_t> LostConnections() const;
    // The serial device stopped delivering (unplugged, or its far end closed) and is not
    // back yet.
    bool DeviceGone() const { return deviceAway_ || PortDown(); }
    // While a TCP connection is wanted and none stands: "Connecting", or why none stands and
    // when it is tried again; else empty.
    std::string NetworkTrouble() const;
    // The most pressing of: no connection to its decoder, a device gone, packets rejected.
    ReceiverTrouble Trouble() const;

    serial::TComPort& ComPort() { return port_; }
    // The decoder of a Beast serial line: its frames, resyncs and bytes skipped.
    const net::BeastDecoder& LineDecoder() const { return lineDecoder_; }
    PacketFramer& Framer() { return framer_; }
    // The TCP connection while one is wanted (between Open and Close), else nullptr.
    const net::TcpReceiver* Network() const { return network_.get(); }
    // How long the TCP connection waits before it tries again (tests shorten it).
    void SetNetworkRetryMilliseconds(int ms) { networkRetryMs_ = ms; }
    // How often a serial port looks whether its device went away and, while it is gone,
    // tries to open it again (tests shorten it); from the next Open.
    void SetSerialRetryMilliseconds(int ms) { serialRetryMs_ = ms; }

    // Bytes came over the TCP connection (the receive lamp; a serial port lights its own).
    std::function<void()> OnReceived;
    // A TCP connection stood up, or an attempt or connection ended; the serial device went
    // away or is back.
    std::function<void()> OnStateChanged;
    // The serial device that went away was opened again.
    std::function<void()> OnDeviceBack;

  private:
    void Packet(std::string_view packet);
    // What arrived together arrived at one time: the clock is read once per chunk (a serial
    // read, a datagram, a TCP receive), at its first frame.
    void NewChunk() { stamped_ = false; }
    const ArrivalTime& Arrival() {
        if (!stamped_) {
            arrival_ = run_.Arrival();
            stamped_ = true;
        }
        return arrival_;
    }
    void OpenNetwork(const NetworkSetup& setup);
    void TakeBeast(const net::BeastDecoder::Frame& frame) {
        run_.Take(ReadFrame(id_, frame.bytes, LevelFromBeastByte(frame.signal), frame.timestamp,
                            Arrival()));
    }
    // Which of the two takes the port's chunks: the text framer, or the Beast decoder.
    void LinkPort(bool beast);
    // The port is open but its device stopped delivering.
    bool PortDown() const { return port_.Connected() && !port_.Receiving(); }
    // Every serialRetryMs_ while the serial port is wanted: closes a port whose device went
    // away and tries to open it again.
    void RetrySerial();

    SourceId id_;
    Run& run_;
    bool crc_ = false;
    bool openFailed_ = false;
    RejectedPackets rejected_;
    PacketFramer framer_;
    serial::TComPort port_;
    serial::TComDataPacket portLink_{framer_};  // the port's chunks into the framer...
    net::BeastDecoder lineDecoder_;
    serial::TComLink beastLink_;  // ...or into the Beast decoder
    bool beastLinked_ = false;
    std::unique_ptr<net::TcpReceiver> network_;
    int networkRetryMs_;
    int serialRetryMs_;
    QTimer serialRetry_;
    bool serialWanted_ = false;      // between a serial Open and Close
    bool deviceAway_ = false;        // closed after its device went away, not yet back
    std::uint64_t devicesLost_ = 0;  // times it was closed so since Open
    std::string reopenTrouble_;      // why the last attempt to open it again failed
    ArrivalTime arrival_;
    bool stamped_ = false;
    Reception reception_;  // the packet being taken, reused
};

}  // namespace quorvex::app
