#include "serial/com_port.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "platform/application_errors.h"
#include "platform/ui_thread.h"
#include "serial/com_thread.h"

namespace quorvex::serial {
namespace {

std::int64_t RateOf(TBaudRate rate, std::int32_t customRate) {
    switch (rate) {
        case TBaudRate::brCustom:
            return customRate;
        case TBaudRate::br110:
            return 110;
        case TBaudRate::br300:
            return 300;
        case TBaudRate::br600:
            return 600;
        case TBaudRate::br1200:
            return 1200;
        case TBaudRate::br2400:
            return 2400;
        case TBaudRate::br4800:
            return 4800;
        case TBaudRate::br9600:
            return 9600;
        case TBaudRate::br14400:
            return 14400;
        case TBaudRate::br19200:
            return 19200;
        case TBaudRate::br38400:
            return 38400;
        case TBaudRate::br56000:
            return 56000;
        case TBaudRate::br57600:
            return 57600;
        case TBaudRate::br115200:
            return 115200;
        case TBaudRate::br128000:
            return 128000;
        case TBaudRate::br256000:
            return 256000;
    }
    return customRate;
}

platform::SerialParity ParityOf(TParityBits bits) {
    switch (bits) {
        case TParityBits::prOdd:
            return platform::SerialParity::Odd;
        case TParityBits::prEven:
            return platform::SerialParity::Even;
        case TParityBits::prMark:
            return platform::SerialParity::Mark;
        case TParityBits::prSpace:
            return platform::SerialParity::Space;
        case TParityBits::prNone:
            break;
    }
    return platform::SerialParity::None;
}

platform::SerialStopBits StopBitsOf(TStopBits bits) {
    switch (bits) {
        case TStopBits::sbOne5StopBits:
            return platform::SerialStopBits::OneAndHalf;
        case TStopBits::sbTwoStopBits:
            return platform::SerialStopBits::Two;
        case TStopBits::sbOneStopBit:
            break;
    }
    return platform::SerialStopBits::One;
}

// Counts the nesting of dispatches of one port on the stack.
class DispatchScope {
  public:
    explicit DispatchScope(int& depth) : depth_(depth) { ++depth_; }
    ~DispatchScope() { --depth_; }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

  private:
    int& depth_;
};

// The device went away during a dispatch: reception ends without a message.
struct DeviceGone {};

}  // namespace

void TComTimeouts::Change(std::int32_t& field, std::int32_t value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (field == value) return;
    field = value;
    if (port_.connected_) port_.ApplyTimeouts();
}

void TComBuffer::Change(std::int32_t& field, std::int32_t value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (field == value) return;
    field = value;
    if (port_.connected_) port_.ApplyBuffer();
}

TComPort::TComPort() = default;

TComPort::~TComPort() {
    try {
        ClosePort();
    } catch (...) {
        // Destruction releases the device whatever closing reported.
        StopThread();
        ReleaseDevice();
    }
    // A listener usually detaches from this port and unregisters itself from inside its
    // callback, so each is taken off the list before it runs.
    while (!destroyListeners_.empty()) {
        std::function<void()> onDestroy = std::move(destroyListeners_.front().second);
        destroyListeners_.erase(destroyListeners_.begin());
        if (onDestroy) onDestroy();
    }
}

void TComPort::SetPort(const std::string& value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (value == port_) return;
    const bool reopen = connected_;
    if (reopen) ClosePort();
    port_ = value;
    if (reopen) OpenPort();
}

void TComPort::SetSyncMethod(TSyncMethod value) {
    QUORVEX_ASSERT_UI_THREAD();
    if (value == syncMethod_) return;
    if (connected_) throw EComPort(CError_ConnChangeProp);
    syncMethod_ = value;
}

bool TComPort::Receiving() const {
    return thread_ && thread_->Watching();
}

platform::SerialModemLines TComPort::ModemStatus() {
    platform::SerialModemLines lines;
    if (!device_.ReadModemLines(lines)) {
        throw EComPort(CError_ModemStatFailed, device_.LastError());
    }
    return lines;
}

platform::SerialLineSettings TComPort::LineSettings() const {
    platform::SerialLineSettings line;
    line.BaudRate = RateOf(baudRate_, customBaudRate_);
    line.DataBits = 5 + static_cast<int>(dataBits_);
    line.Parity = ParityOf(parity_.Bits());
    line.StopBits = StopBitsOf(stopBits_);
    line.ParityCheck = parity_.Check();
    line.HardwareFlow =
        flowControl_.OutCTSFlow() || flowControl_.ControlRTS() == TRTSFlowControl::rtsHandshake;
    line.XonXoffOut = flowControl_.XonXoffOut();
    line.XonXoffIn = flowControl_.XonXoffIn();
    line.XonChar = flowControl_.XonChar();
    line.XoffChar = flowControl_.XoffChar();
    line.Dtr = flowControl_.ControlDTR() != TDTRFlowControl::dtrDisable;
    line.Rts = flowControl_.ControlRTS() == TRTSFlowControl::rtsEnable;
    return line;
}

void TComPort::ApplyBuffer() {
    if (!device_.SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize())) {
        throw EComPort(CError_SetupComFailed, device_.LastError());
    }
}

void TComPort::ApplyLineSettings() {
    const platform::SerialLineSettings line = LineSettings();
    if (!device_.ApplyLineSettings(line)) {
        throw EComPort(CError_SetStateFailed, device_.LastError());
    }
    if (thread_) thread_->SetLineRate(line.BaudRate);
}

void TComPort::ApplyTimeouts() {
    // Reads take what is waiting and never wait, which is what the default timeouts ask
    // for; the values are kept for the port's owner.
}

template <typename Fn>
void TComPort::ForEachLink(Fn&& fn) {
    // By index: a callback may attach or detach links; the list then changes under the
    // loop without invalidating it.
    for (std::size_t i = 0; i < links_.size(); ++i) fn(*links_[i]);
}

void TComPort::SignalModemLines() {
    using Lines = platform::SerialModemLines;
    const struct {
        bool Lines::*line;
        TComSignalEvent TComLink::*linkCallback;
        const TComSignalEvent& event;
    } signals[] = {{&Lines::Cts, &TComLink::OnCTSChange, OnCTSChange},
                   {&Lines::Dsr, &TComLink::OnDSRChange, OnDSRChange},
                   {&Lines::Rlsd, &TComLink::OnRLSDChange, OnRLSDChange}};
    for (const auto& signal : signals) {
        Lines lines;
        if (!device_.ReadModemLines(lines)) {
            throw EComPort(CError_ModemStatFailed, device_.LastError());
        }
        const bool on = lines.*signal.line;
        ForEachLink([&](TComLink& link) {
            if (link.*signal.linkCallback) (link.*signal.linkCallback)(this, on);
        });
        if (signal.event) signal.event(this, on);
    }
}

void TComPort::OpenPort() {
    QUORVEX_ASSERT_UI_THREAD();
    if (connected_) return;
    if (OnBeforeOpen) OnBeforeOpen(this);
    if (!device_.Open(port_)) throw EComPort(CError_OpenFailed, device_.LastError());
    connected_ = true;
    try {
        ApplyBuffer();
        ApplyLineSettings();
        ApplyTimeouts();
        if (!events_.Empty())
            thread_ = std::make_unique<TComThread>(*this, device_.Handle(), events_,
                                                   LineSettings().BaudRate);
    } catch (const std::system_error& error) {
        ReleaseDevice();
        throw EComPort(CError_OpenFailed, error.code().value());
    } catch (...) {
        ReleaseDevice();
        throw;
    }
    ForEachLink([this](TComLink& link) {
        if (link.OnConn) link.OnConn(this, true);
    });
    if (OnAfterOpen) OnAfterOpen(this);
    SignalModemLines();
}

void TComPort::ClosePort() {
    QUORVEX_ASSERT_UI_THREAD();
    if (!connected_) return;
    if (dispatchDepth_ > 0) {
        throw std::logic_error("a port cannot be closed from inside its own dispatch");
    }
    const struct {
        TComSignalEvent TComLink::*linkCallback;
        const TComSignalEvent& event;
    } signals[] = {{&TComLink::OnCTSChange, OnCTSChange},
                   {&TComLink::OnDSRChange, OnDSRChange},
                   {&TComLink::OnRLSDChange, OnRLSDChange}};
    for (const auto& signal : signals) {
        ForEachLink([&](TComLink& link) {
            if (link.*signal.linkCallback) (link.*signal.linkCallback)(this, false);
        });
        if (signal.event) signal.event(this, false);
    }
    if (OnBeforeClose) OnBeforeClose(this);
    if (!device_.Purge()) throw EComPort(CError_PurgeFailed, device_.LastError());
    StopThread();
    ReleaseDevice();
    ForEachLink([this](TComLink& link) {
        if (link.OnConn) link.OnConn(this, false);
    });
    if (OnAfterClose) OnAfterClose(this);
}

void TComPort::StopThread() {
    if (!thread_) return;
    thread_->Stop();
    thread_.reset();
}

void TComPort::ReleaseDevice() {
    device_.Close();
    connected_ = false;
}

void TComPort::RegisterLink(TComLink* link) {
    if (link == nullptr || std::find(links_.begin(), links_.end(), link) != links_.end()) {
        throw EComPort(CError_RegFailed);
    }
    links_.push_back(link);
    hasRxBufLink_ = hasRxBufLink_ || static_cast<bool>(link->OnRxBuf);
}

void TComPort::UnRegisterLink(TComLink* link) {
    const auto found = std::find(links_.begin(), links_.end(), link);
    if (found == links_.end()) throw EComPort(CError_RegFailed);
    links_.erase(found);
    hasRxBufLink_ = std::any_of(links_.begin(), links_.end(),
                                [](const TComLink* other) { return bool(other->OnRxBuf); });
}

void TComPort::AddDestroyListener(const void* listener, std::function<void()> onDestroy) {
    RemoveDestroyListener(listener);
    destroyListeners_.emplace_back(listener, std::move(onDestroy));
}

void TComPort::RemoveDestroyListener(const void* listener) {
    std::erase_if(destroyListeners_, [&](const auto& entry) { return entry.first == listener; });
}

void TComPort::Dispatch(TComEvents events, DispatchOutcome& outcome) {
    DispatchScope scope(dispatchDepth_);
    try {
        DispatchEvents(events, outcome);
    } catch (const DeviceGone&) {
        // Reception ends as it does when the wait sees the device hang up.
    } catch (const std::exception& error) {
        // Nobody up the event thread could handle it: the operator sees it, and the port
        // keeps receiving unless its device failed (outcome says so).
        platform::ShowApplicationError(error.what());
    }
}

void TComPort::ReceptionFailed(int code, DispatchOutcome& outcome) {
    outcome.EndReception = true;
    const int error = device_.LastError();
    if (error == EIO || error == ENXIO || error == ENODEV) throw DeviceGone{};
    throw EComPort(code, error);
}

void TComPort::DispatchEvents(TComEvents events, DispatchOutcome& outcome) {
    if (events.Contains(TComEvent::evError)) {
        platform::SerialErrors found;
        if (!device_.ReadErrors(found)) ReceptionFailed(CError_ClearComFailed, outcome);
        TComErrors errors;
        if (found.Frame) errors.Include(TComError::ceFrame);
        if (found.Parity && parity_.Check()) errors.Include(TComError::ceRxParity);
        if (found.Overrun) errors.Include(TComError::ceOverrun);
        if (found.Break) errors.Include(TComError::ceBreak);
        if (found.Overflow) errors.Include(TComError::ceRxOver);
        if (!errors.Empty() && OnError) OnError(this, errors);
    }
    if (events.Contains(TComEvent::evRxChar)) Receive(outcome);
    if (events.Contains(TComEvent::evTxEmpty)) {
        ForEachLink([this](TComLink& link) {
            if (link.OnTx) link.OnTx(this, false);
            if (link.OnTxEmpty) link.OnTxEmpty(this);
        });
        if (OnTxEmpty) OnTxEmpty(this);
    }
    if (events.Contains(TComEvent::evBreak) && OnBreak) OnBreak(this);
    if (events.Contains(TComEvent::evRing)) {
        ForEachLink([this](TComLink& link) {
            if (link.OnRing) link.OnRing(this);
        });
        if (OnRing) OnRing(this);
    }
    using Lines = platform::SerialModemLines;
    if (events.Contains(TComEvent::evCTS)) {
        ModemLineEvent(&Lines::Cts, &TComLink::OnCTSChange, OnCTSChange, outcome);
    }
    if (events.Contains(TComEvent::evDSR)) {
        ModemLineEvent(&Lines::Dsr, &TComLink::OnDSRChange, OnDSRChange, outcome);
    }
    if (events.Contains(TComEvent::evRxFlag)) {
        ForEachLink([this](TComLink& link) {
            if (link.OnRxFlag) link.OnRxFlag(this);
        });
        if (OnRxFlag) OnRxFlag(this);
    }
    if (events.Contains(TComEvent::evRLSD)) {
        ModemLineEvent(&Lines::Rlsd, &TComLink::OnRLSDChange, OnRLSDChange, outcome);
    }
    if (events.Contains(TComEvent::evRx80Full) && OnRx80Full) OnRx80Full(this);
}

void TComPort::ModemLineEvent(bool platform::SerialModemLines::*line,
                              TComSignalEvent TComLink::*linkCallback, const TComSignalEvent& event,
                              DispatchOutcome& outcome) {
    platform::SerialModemLines lines;
    if (!device_.ReadModemLines(lines)) ReceptionFailed(CError_ModemStatFailed, outcome);
    const bool on = lines.*line;
    ForEachLink([&](TComLink& link) {
        if (link.*linkCallback) (link.*linkCallback)(this, on);
    });
    if (event) event(this, on);
}

void TComPort::Receive(DispatchOutcome& outcome) {
    int count = 0;
    if (!device_.BytesWaiting(count)) ReceptionFailed(CError_ClearComFailed, outcome);
    if (count <= 0) return;
    ForEachLink([this](TComLink& link) {
        if (link.OnRx) link.OnRx(this, true);
    });
    if (hasRxBufLink_) {
        // One block for this dispatch, freed when it ends, also when a callback raised.
        const std::unique_ptr<char[]> block(new char[static_cast<std::size_t>(count)]);
        std::size_t got = 0;
        if (!device_.Read(block.get(), static_cast<std::size_t>(count), got)) {
            ReceptionFailed(CError_ReadFailed, outcome);
        }
        if (discardNull_) got = std::remove(block.get(), block.get() + got, '\0') - block.get();
        int left = 0;
        if (!device_.BytesWaiting(left)) ReceptionFailed(CError_ClearComFailed, outcome);
        if (left == 0) {
            ForEachLink([this](TComLink& link) {
                if (link.OnRx) link.OnRx(this, false);
            });
        }
        count = 0;
        const int delivered = static_cast<int>(got);
        if (delivered > 0) {
            if (OnRxBuf) OnRxBuf(this, block.get(), delivered);
            ForEachLink([&](TComLink& link) {
                if (link.OnRxBuf) link.OnRxBuf(this, block.get(), delivered);
            });
        }
    }
    if (count > 0) {
        outcome.Unread = count;
        if (OnRxChar) OnRxChar(this, count);
    }
}

}  // namespace quorvex::serial
