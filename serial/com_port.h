#pragma once
// TComPort: one serial device, its line configuration, and the event thread that watches it
// and hands each set of port events to the user-interface thread, where received chunks are
// read and passed to the attached components (TComLink).
//
// Threads:
// - Every member, every setter and every event handler and link callback: the
//   user-interface thread only.
// - The event thread (TComThread) exists while the port is open and Events is not empty.
//   It only waits for the device and hands each set of events over with
//   platform::Synchronize, blocking until the dispatch has run on the user-interface
//   thread; so dispatches never overlap each other or other user-interface code.
// - OpenPort does not block (the device is non-blocking). ClosePort, SetPort on an open
//   port and the destructor stop the event thread and join it while still serving
//   hand-overs (platform::WaitForThread), so a dispatch already handed over completes
//   first; that takes as long as that dispatch. They must not be called from inside a
//   dispatch of the same port (which would wait for itself): that raises std::logic_error.
// - Shut-down: ClosePort (or destruction) signals the thread's stop event, joins it, then
//   releases the device. A device that goes away (adapter unplugged, far end of a
//   pseudo-terminal closed) ends reception quietly: the thread ends, the port stays
//   Connected until ClosePort, which then works as usual.
//
// Errors: EComPort (serial/com_error.h). An error raised inside a dispatch, by a link
// callback or an event handler (and through a framer by a packet handler), goes to
// platform::ShowApplicationError and ends that dispatch; the port keeps receiving. A
// failure of the dispatch's own device operations is shown the same way and ends
// reception, since it would repeat on every event; one that says the device has gone
// (EIO, ENXIO, ENODEV) ends reception quietly, as a hang-up does.
//
// On this platform the event thread reports evRxChar when data is waiting, and evError and
// evBreak when the driver's error counters moved (where it keeps them); the other events
// have no source here and are never reported. Settings without a counterpart on this
// platform are kept but have no effect: the timeouts (reads never wait), the queue sizes
// (the kernel's are fixed), Parity.Replace, OutDSRFlow, DSRSensitivity, TxContinueOnXoff,
// dtrHandshake (DTR held active), rtsToggle (RTS inactive) and EventChar. DiscardNull drops
// received NUL bytes before they are delivered.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_device.h"
#include "platform/ui_thread.h"
#include "serial/com_error.h"
#include "serial/com_types.h"

namespace quorvex::serial {

class TComPort;
class TComThread;

// The four setting objects. Each refers to its port; setting a field to a new value
// re-applies its group at once on an open port (which may raise EComPort), and only stores
// it on a closed one. The same value changes nothing.

class TComParity {
  public:
    explicit TComParity(TComPort& port) : port_(port) {}
    TParityBits Bits() const { return bits_; }
    bool Check() const { return check_; }
    bool Replace() const { return replace_; }
    std::uint8_t ReplaceChar() const { return replaceChar_; }
    void SetBits(TParityBits value) { Change(bits_, value); }
    void SetCheck(bool value) { Change(check_, value); }
    void SetReplace(bool value) { Change(replace_, value); }
    void SetReplaceChar(std::uint8_t value) { Change(replaceChar_, value); }

  private:
    template <typename T>
    void Change(T& field, T value);
    TComPort& port_;
    TParityBits bits_ = TParityBits::prNone;
    bool check_ = false;
    bool replace_ = false;
    std::uint8_t replaceChar_ = 0;
};

class TComFlowControl {
  public:
    explicit TComFlowControl(TComPort& port) : port_(port) {}
    bool OutCTSFlow() const { return outCTSFlow_; }
    bool OutDSRFlow() const { return outDSRFlow_; }
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    std::uint8_t XonChar() const { return xonChar_; }
    std::uint8_t XoffChar() const { return xoffChar_; }
    void SetOutCTSFlow(bool value) { Change(outCTSFlow_, value); }
    void SetOutDSRFlow(bool value) { Change(outDSRFlow_, value); }
    void SetControlDTR(TDTRFlowControl value) { Change(controlDTR_, value); }
    void SetControlRTS(TRTSFlowControl value) { Change(controlRTS_, value); }
    void SetXonXoffOut(bool value) { Change(xonXoffOut_, value); }
    void SetXonXoffIn(bool value) { Change(xonXoffIn_, value); }
    void SetDSRSensitivity(bool value) { Change(dsrSensitivity_, value); }
    void SetTxContinueOnXoff(bool value) { Change(txContinueOnXoff_, value); }
    void SetXonChar(std::uint8_t value) { Change(xonChar_, value); }
    void SetXoffChar(std::uint8_t value) { Change(xoffChar_, value); }

  private:
    template <typename T>
    void Change(T& field, T value);
    TComPort& port_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = TDTRFlowControl::dtrDisable;
    TRTSFlowControl controlRTS_ = TRTSFlowControl::rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    std::uint8_t xonChar_ = 17;
    std::uint8_t xoffChar_ = 19;
};

// Milliseconds; -1 stands for the largest unsigned value.
class TComTimeouts {
  public:
    explicit TComTimeouts(TComPort& port) : port_(port) {}
    std::int32_t ReadInterval() const { return readInterval_; }
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetReadInterval(std::int32_t value) { Change(readInterval_, value); }
    void SetReadTotalMultiplier(std::int32_t value) { Change(readTotalMultiplier_, value); }
    void SetReadTotalConstant(std::int32_t value) { Change(readTotalConstant_, value); }
    void SetWriteTotalMultiplier(std::int32_t value) { Change(writeTotalMultiplier_, value); }
    void SetWriteTotalConstant(std::int32_t value) { Change(writeTotalConstant_, value); }

  private:
    void Change(std::int32_t& field, std::int32_t value);
    TComPort& port_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

// Driver queue sizes in bytes.
class TComBuffer {
  public:
    explicit TComBuffer(TComPort& port) : port_(port) {}
    std::int32_t InputSize() const { return inputSize_; }
    std::int32_t OutputSize() const { return outputSize_; }
    void SetInputSize(std::int32_t value) { Change(inputSize_, value); }
    void SetOutputSize(std::int32_t value) { Change(outputSize_, value); }

  private:
    void Change(std::int32_t& field, std::int32_t value);
    TComPort& port_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

class TComPort {
  public:
    TComPort();
    // Closes the port (errors are swallowed: the device is released regardless), then
    // tells every destroy listener, then frees the link list (not the links).
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // The device's path ("COM1" until set: no such file, so opening it fails with
    // CError_OpenFailed).
    // A different name on an open port closes it and opens the new device.
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    // These re-apply the line settings at once on an open port (CError_SetStateFailed on
    // failure).
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value) { ChangeLine(baudRate_, value); }
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value) { ChangeLine(customBaudRate_, value); }
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value) { ChangeLine(stopBits_, value); }
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value) { ChangeLine(dataBits_, value); }
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value) { ChangeLine(discardNull_, value); }
    std::uint8_t EventChar() const { return eventChar_; }
    void SetEventChar(std::uint8_t value) { ChangeLine(eventChar_, value); }
    // The events the thread watches for; takes effect at the next OpenPort. Empty: the
    // port opens without an event thread and delivers nothing.
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) {
        QUORVEX_ASSERT_UI_THREAD();
        events_ = value;
    }
    // Code 14 when changed while connected.
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }

    bool Connected() const { return connected_; }
    // While open: whether the event thread still watches the device. False without a
    // thread, and once the device went away or reception failed.
    bool Receiving() const;
    // The modem status lines as the device reports them now (all inactive on a device
    // without modem lines, such as a pseudo-terminal). Only while Connected; raises
    // CError_ModemStatFailed when they cannot be read.
    platform::SerialModemLines ModemStatus();

    // Opens and configures the device and starts watching it; nothing when Connected.
    // Raises EComPort: CError_OpenFailed; CError_SetupComFailed, CError_SetStateFailed,
    // CError_TimeoutsFailed (buffer sizes, line, timeouts; the device is closed again first);
    // CError_ModemStatFailed (modem status; the port then stays open and watched).
    void OpenPort();
    // Stops watching and releases the device; nothing when not Connected. Raises
    // CError_PurgeFailed when pending transfers cannot be aborted (the port then stays open).
    void ClosePort();

    // Code 18 when the link is already attached (or, for UnRegisterLink, is not).
    void RegisterLink(TComLink* link);
    void UnRegisterLink(TComLink* link);

    // `onDestroy` runs when this port is destroyed, for a component that refers to it;
    // one registration per `listener`, replaced by a later one.
    void AddDestroyListener(const void* listener, std::function<void()> onDestroy);
    void RemoveDestroyListener(const void* listener);

    TComNotifyEvent OnBeforeOpen;
    TComNotifyEvent OnAfterOpen;
    TComNotifyEvent OnBeforeClose;
    TComNotifyEvent OnAfterClose;
    std::function<void(TComPort* Sender, int Count)> OnRxChar;  // bytes left unread
    TComBufferEvent OnRxBuf;
    TComNotifyEvent OnTxEmpty;
    TComNotifyEvent OnBreak;
    TComNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComNotifyEvent OnRxFlag;
    std::function<void(TComPort* Sender, TComErrors Errors)> OnError;
    TComNotifyEvent OnRx80Full;

  private:
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;
    friend class TComThread;

    // What a dispatch tells the event thread.
    struct DispatchOutcome {
        int Unread = 0;             // bytes left waiting, nobody taking chunks
        bool EndReception = false;  // the device failed or went away
    };

    template <typename T>
    void ChangeLine(T& field, T value) {
        QUORVEX_ASSERT_UI_THREAD();
        if (field == value) return;
        field = value;
        if (connected_) ApplyLineSettings();
    }
    void ApplyBuffer();
    void ApplyLineSettings();
    void ApplyTimeouts();
    platform::SerialLineSettings LineSettings() const;
    void ReleaseDevice();
    void StopThread();
    void SignalModemLines();

    template <typename Fn>
    void ForEachLink(Fn&& fn);

    // The event thread's hand-over, run on the user-interface thread.
    void Dispatch(TComEvents events, DispatchOutcome& outcome);
    void DispatchEvents(TComEvents events, DispatchOutcome& outcome);
    void Receive(DispatchOutcome& outcome);
    void ModemLineEvent(bool platform::SerialModemLines::*line,
                        TComSignalEvent TComLink::*linkCallback, const TComSignalEvent& event,
                        DispatchOutcome& outcome);
    [[noreturn]] void ReceptionFailed(int code, DispatchOutcome& outcome);

    std::string port_ = "COM1";
    TBaudRate baudRate_ = TBaudRate::br9600;
    std::int32_t customBaudRate_ = 9600;
    TStopBits stopBits_ = TStopBits::sbOneStopBit;
    TDataBits dataBits_ = TDataBits::dbEight;
    bool discardNull_ = false;
    std::uint8_t eventChar_ = 0;
    TComEvents events_ = kAllComEvents;
    TSyncMethod syncMethod_ = TSyncMethod::smThreadSync;
    TComParity parity_{*this};
    TComFlowControl flowControl_{*this};
    TComTimeouts timeouts_{*this};
    TComBuffer buffer_{*this};

    bool connected_ = false;
    platform::SerialDevice device_;
    std::unique_ptr<TComThread> thread_;
    int dispatchDepth_ = 0;
    std::vector<TComLink*> links_;
    bool hasRxBufLink_ = false;
    std::vector<std::pair<const void*, std::function<void()>>> destroyListeners_;
};

template <typename T>
void TComParity::Change(T& field, T value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (field == value) return;
    field = value;
    if (port_.connected_) port_.ApplyLineSettings();
}

template <typename T>
void TComFlowControl::Change(T& field, T value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (field == value) return;
    field = value;
    if (port_.connected_) port_.ApplyLineSettings();
}

}  // namespace quorvex::serial
