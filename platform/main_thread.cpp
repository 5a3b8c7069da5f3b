#include "platform/main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "platform/ui_thread.h"

namespace quorvex::platform {
namespace {

struct HandOver {
    const std::function<void()>* fn;
    std::exception_ptr error;
    bool done = false;
};

struct HandOverQueue {
    std::mutex mutex;
    std::condition_variable workAvailable;  // a hand-over was queued or a worker finished
    std::condition_variable handOverDone;
    std::deque<HandOver*> pending;
    std::thread::id mainThread = std::this_thread::get_id();
    QPointer<QCoreApplication> application;
};

HandOverQueue& Queue() {
    static HandOverQueue queue;
    return queue;
}

void WakeEventLoop(HandOverQueue& queue) {
    // A queued call on the application object runs on its thread the next time its event
    // loop runs, processEvents() included.
    if (QCoreApplication* app = queue.application.data()) {
        QMetaObject::invokeMethod(
            app, [] { ProcessHandOvers(); }, Qt::QueuedConnection);
    }
}

}  // namespace

void InitialiseMainThread() {
    HandOverQueue& queue = Queue();
    std::lock_guard lock(queue.mutex);
    queue.mainThread = std::this_thread::get_id();
    queue.application = QCoreApplication::instance();
    RecordUiThread();
}

bool IsMainThread() {
    return std::this_thread::get_id() == Queue().mainThread;
}

void Synchronize(const std::function<void()>& fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    HandOverQueue& queue = Queue();
    HandOver handOver{&fn, nullptr, false};
    {
        std::unique_lock lock(queue.mutex);
        queue.pending.push_back(&handOver);
        queue.workAvailable.notify_all();
        WakeEventLoop(queue);
        queue.handOverDone.wait(lock, [&] { return handOver.done; });
    }
    if (handOver.error) std::rethrow_exception(handOver.error);
}

int ProcessHandOvers() {
    QUORVEX_ASSERT_UI_THREAD();
    HandOverQueue& queue = Queue();
    int ran = 0;
    for (;;) {
        HandOver* handOver = nullptr;
        {
            std::lock_guard lock(queue.mutex);
            if (queue.pending.empty()) return ran;
            handOver = queue.pending.front();
            queue.pending.pop_front();
        }
        try {
            (*handOver->fn)();
        } catch (...) {
            handOver->error = std::current_exception();
        }
        ++ran;
        std::lock_guard lock(queue.mutex);
        handOver->done = true;
        queue.handOverDone.notify_all();
    }
}

WorkerThread::~WorkerThread() {
    WaitForThread(*this);
}

void WorkerThread::Start(std::function<void()> body) {
    finished_->store(false);
    thread_ = std::thread([finished = finished_, body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // A worker's own error ends it; the owner learns of it through its own state.
        }
        HandOverQueue& queue = Queue();
        std::lock_guard lock(queue.mutex);
        finished->store(true);
        queue.workAvailable.notify_all();
    });
}

void WaitForThread(WorkerThread& worker) {
    QUORVEX_ASSERT_UI_THREAD();
    if (!worker.thread_.joinable()) return;
    HandOverQueue& queue = Queue();
    while (!worker.Finished()) {
        ProcessHandOvers();
        std::unique_lock lock(queue.mutex);
        // Bounded, so a missed wake-up costs at most one period.
        queue.workAvailable.wait_for(lock, std::chrono::milliseconds(50),
                                     [&] { return worker.Finished() || !queue.pending.empty(); });
    }
    ProcessHandOvers();
    worker.thread_.join();
}

}  // namespace quorvex::platform
