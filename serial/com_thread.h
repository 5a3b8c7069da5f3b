#pragma once
// TComThread: the event thread of one open port. It waits for the device (poll on the
// device and a stop eventfd, never with a busy loop), turns what woke it into a set of
// TComEvent and hands that set to the user-interface thread with platform::Synchronize,
// blocking until the port's dispatch has run there. Only then does it wait again, so
// bytes arriving meanwhile are read together by the next dispatch; while data streams in,
// it also lets some time pass between hand-overs (20 ms, less on a line so fast that the
// driver's line buffer would fill meanwhile), so a receiver writing packet by packet costs
// some 50 hand-overs a second, not one per packet.
//
// Threads:
// - Constructor, Stop, destructor, Watching: the user-interface thread (the port's owner).
//   The constructor starts the thread and returns at once; it raises std::system_error
//   when the stop signal or the thread cannot be made.
// - Stop signals the stop event and joins the thread with platform::WaitForThread, which
//   keeps serving hand-overs, so a dispatch already handed over completes first. It
//   returns as soon as that dispatch (if any) is done. Idempotent; the destructor stops.
// - The thread ends by itself when the device hangs up or fails, or when a dispatch says
//   reception is over; it then waits for nothing and costs nothing until Stop joins it.
// - On the way out it drops both driver queues, as the watching stops.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/main_thread.h"
#include "platform/serial_device.h"
#include "serial/com_types.h"

namespace quorvex::serial {

class TComPort;

class TComThread {
  public:
    // `bitsPerSecond`: the line's rate, which bounds the pause between hand-overs.
    TComThread(TComPort& port, int device, TComEvents events, std::int64_t bitsPerSecond);
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void Stop();
    // The line's new rate, taken from the next pause on.
    void SetLineRate(std::int64_t bitsPerSecond) { bitsPerSecond_.store(bitsPerSecond); }
    bool Watching() const { return worker_.Running() && !worker_.Finished(); }

  private:
    void Run();
    // evRxChar, with evError and evBreak when the driver's error counters moved.
    TComEvents EventsWithData();

    TComPort& port_;
    const int device_;
    const TComEvents events_;
    platform::SerialWatch watch_;
    // The longest pause between two hand-overs at the line's current rate.
    std::chrono::milliseconds LongestPause() const;

    std::atomic<std::int64_t> bitsPerSecond_;
    // Event thread only: the driver's error counters as last seen.
    bool countersKnown_ = false;
    platform::SerialErrorCounters counters_;
    platform::WorkerThread worker_;
};

}  // namespace quorvex::serial
