#pragma once
// The hand-over from worker threads to the user-interface thread.
//
// A worker (a serial port's event thread, the UDP listener) never touches system state; it
// calls Synchronize(fn), which queues fn, wakes the Qt event loop and blocks the worker until
// fn has run on the user-interface thread. Whatever fn threw is rethrown in the worker.
//
// Threads:
// - InitialiseMainThread: once, on the user-interface thread, after the QCoreApplication exists
//   (tests without an application may skip it; their hand-overs then run only inside
//   WaitForThread or ProcessHandOvers). It also records the thread for the checks of
//   platform/ui_thread.h.
// - Synchronize: any thread. On the user-interface thread it runs fn at once. Elsewhere it
//   blocks until the user-interface thread has run fn: whenever the event loop runs
//   (processEvents included), or inside WaitForThread / ProcessHandOvers.
// - ProcessHandOvers, WaitForThread: the user-interface thread only.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace quorvex::platform {

// While data streams in, a source is read no more often than this (a serial port, the UDP
// listener, a TCP receiver, the feed): the system holds what arrives meanwhile and one
// wake-up takes it all, so a receiver writing packet by packet costs at most 50 wake-ups and
// hand-overs a second, not one per packet. Data after a quiet spell is read at once. 20 ms
// is about one frame of the display, and 6,000 bytes at 3,000,000 baud.
inline constexpr std::chrono::milliseconds kStreamingReadGap{20};

void InitialiseMainThread();
bool IsMainThread();

void Synchronize(const std::function<void()>& fn);

// Runs every hand-over queued so far. Returns how many ran.
int ProcessHandOvers();

// A worker thread that the user-interface thread can join while still serving its
// hand-overs, so joining never deadlocks with a hand-over already queued.
class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread();  // joins, like WaitForThread, if still joinable
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body` on a new thread. Not while another body runs.
    void Start(std::function<void()> body);
    bool Running() const { return thread_.joinable(); }
    bool Finished() const { return finished_->load(); }

  private:
    friend void WaitForThread(WorkerThread& worker);
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> finished_ = std::make_shared<std::atomic<bool>>(false);
};

// Joins `worker`, running the hand-overs it (or any other worker) queues meanwhile.
// Returns at once when no thread runs.
void WaitForThread(WorkerThread& worker);

}  // namespace quorvex::platform
