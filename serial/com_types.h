#pragma once
// The serial port's value types: its enumerations, the event and error sets, and TComLink,
// the record of callbacks through which a framer or a lamp attaches to a port.
//
// Threads: plain values; a TComLink's callbacks run on the user-interface thread, called by
// the port it is attached to.

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace quorvex::serial {

class TComPort;

enum class TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum class TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum class TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum class TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum class TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
// Both hand every event to the user-interface thread; there is no window message queue of
// the port's own on this platform, so the window method behaves as the thread method.
enum class TSyncMethod { smThreadSync, smWindowSync };

enum class TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum class TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };

// A set of enumeration values.
template <typename E>
class TSet {
  public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E value : values) Include(value);
    }
    constexpr bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
    constexpr void Include(E value) { bits_ |= Bit(value); }
    constexpr void Exclude(E value) { bits_ &= ~Bit(value); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TSet&) const = default;

  private:
    static constexpr std::uint32_t Bit(E value) { return 1u << static_cast<unsigned>(value); }
    std::uint32_t bits_ = 0;
};

using TComEvents = TSet<TComEvent>;
using TComErrors = TSet<TComError>;

inline constexpr TComEvents kAllComEvents = {
    TComEvent::evRxChar, TComEvent::evTxEmpty, TComEvent::evRxFlag, TComEvent::evRing,
    TComEvent::evBreak,  TComEvent::evCTS,     TComEvent::evDSR,    TComEvent::evError,
    TComEvent::evRLSD,   TComEvent::evRx80Full};

using TComSignalEvent = std::function<void(TComPort* Sender, bool OnOff)>;
using TComBufferEvent = std::function<void(TComPort* Sender, const char* Buffer, int Count)>;
using TComNotifyEvent = std::function<void(TComPort* Sender)>;

// The callbacks a port calls on an attached component, in this order of fields. Each is
// optional. The component that creates a link owns it; the port keeps only a reference,
// so a component detaches its link before destroying it.
struct TComLink {
    TComSignalEvent OnConn;        // 1 connection on/off
    TComBufferEvent OnRxBuf;       // 2 received chunk
    TComBufferEvent OnTxBuf;       // 3 sent chunk
    TComNotifyEvent OnTxEmpty;     // 4 transmit queue empty
    TComNotifyEvent OnRxFlag;      // 5 flag character received
    TComSignalEvent OnCTSChange;   // 6 CTS on/off
    TComSignalEvent OnDSRChange;   // 7 DSR on/off
    TComSignalEvent OnRLSDChange;  // 8 RLSD on/off
    TComNotifyEvent OnRing;        // 9 ring
    TComSignalEvent OnTx;          // 10 transmitting on/off
    TComSignalEvent OnRx;          // 11 receiving on/off
};

}  // namespace quorvex::serial
