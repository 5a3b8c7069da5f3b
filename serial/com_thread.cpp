#include "serial/com_thread.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "serial/com_port.h"

namespace quorvex::serial {
namespace {

using platform::SerialDevice;
using platform::SerialWatch;

// While bytes stay waiting unread (no attached component takes chunks), the device stays
// readable, so new data shows only as a growing count; it is looked at this often.
constexpr int kUnreadCheckMs = 50;

// The most a pause between hand-overs lets arrive: half the driver's 4,096-byte line buffer.
// A full buffer throttles the line, and a USB adapter then stops reading and loses what
// overflows its own small buffer. At 3,000,000 baud this is 6.8 ms.
constexpr std::int64_t kPauseBytes = 2048;

}  // namespace

TComThread::TComThread(TComPort& port, int device, TComEvents events, std::int64_t bitsPerSecond)
    : port_(port), device_(device), events_(events), bitsPerSecond_(bitsPerSecond) {
    if (!watch_.Valid()) {
        throw std::system_error(watch_.Error(), std::generic_category(), "eventfd");
    }
    if (events_.Contains(TComEvent::evError) || events_.Contains(TComEvent::evBreak)) {
        countersKnown_ = SerialDevice::ReadErrorCountersOn(device_, counters_);
    }
    worker_.Start([this] { Run(); });
}

TComThread::~TComThread() {
    Stop();
}

void TComThread::Stop() {
    watch_.Stop();
    platform::WaitForThread(worker_);
}

std::chrono::milliseconds TComThread::LongestPause() const {
    const std::int64_t rate = bitsPerSecond_.load();
    if (rate <= 0) return platform::kStreamingReadGap;
    // Ten bits a byte: start, eight data bits, stop.
    const std::chrono::milliseconds filling{kPauseBytes * 10 * 1000 / rate};
    return std::min(platform::kStreamingReadGap, filling);
}

void TComThread::Run() {
    using Clock = std::chrono::steady_clock;
    const bool wantData = events_.Contains(TComEvent::evRxChar);
    int unread = 0;
    Clock::time_point lastHandOver{};
    for (;;) {
        const SerialWatch::Result woke =
            watch_.Wait(device_, wantData && unread == 0, unread > 0 ? kUnreadCheckMs : -1);
        if (woke == SerialWatch::Result::TimedOut) {
            int waiting = 0;
            if (!SerialDevice::BytesWaitingOn(device_, waiting)) break;
            if (waiting <= unread) {
                unread = waiting;
                continue;
            }
        } else if (woke != SerialWatch::Result::Readable) {
            break;  // stopped, or the device hung up or failed: reception ends quietly
        }
        if (const auto early = lastHandOver + LongestPause() - Clock::now(); early.count() > 0) {
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(early);
            // Stopped or hung up meanwhile: ends as the wait above would have.
            if (watch_.Wait(device_, false, int(rest.count())) != SerialWatch::Result::TimedOut) {
                break;
            }
        }
        const TComEvents events = EventsWithData();
        TComPort::DispatchOutcome outcome;
        platform::Synchronize([&] { port_.Dispatch(events, outcome); });
        lastHandOver = Clock::now();
        if (outcome.EndReception) break;
        unread = outcome.Unread;
    }
    SerialDevice::PurgeOn(device_);
}

TComEvents TComThread::EventsWithData() {
    TComEvents events{TComEvent::evRxChar};
    platform::SerialErrorCounters now;
    if (countersKnown_ && SerialDevice::ReadErrorCountersOn(device_, now) && !(now == counters_)) {
        if (events_.Contains(TComEvent::evError)) events.Include(TComEvent::evError);
        if (events_.Contains(TComEvent::evBreak) && now.Break != counters_.Break) {
            events.Include(TComEvent::evBreak);
        }
        counters_ = now;
    }
    return events;
}

}  // namespace quorvex::serial
