// The hand-over from worker threads to the user-interface thread.

#include "platform/main_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvex::platform {
namespace {

TEST(MainThreadTest, HandOversRunOnTheJoiningThreadInOrderAndErrorsReturnToTheWorker) {
    InitialiseMainThread();
    std::vector<int> order;
    std::vector<bool> onMainThread;
    std::string caught;
    WorkerThread worker;
    worker.Start([&] {
        for (int i = 0; i < 5; ++i) {
            Synchronize([&, i] {
                order.push_back(i);
                onMainThread.push_back(IsMainThread());
            });
        }
        try {
            Synchronize([] { throw std::runtime_error("raised on the interface thread"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
    });
    WaitForThread(worker);

    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(onMainThread, std::vector<bool>(5, true));
    EXPECT_EQ(caught, "raised on the interface thread");
}

TEST(MainThreadTest, OnTheInterfaceThreadSynchronizeRunsAtOnce) {
    InitialiseMainThread();
    bool ran = false;
    Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(ProcessHandOvers(), 0);
}

TEST(MainThreadTest, TheEventLoopServesHandOversInsideProcessEvents) {
    int argc = 1;
    char name[] = "main_thread_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    InitialiseMainThread();

    std::atomic<bool> served{false};
    WorkerThread worker;
    worker.Start([&] { Synchronize([&] { served = IsMainThread(); }); });
    // Only the event loop runs here; the bound keeps a broken wake-up from hanging the test.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!served && std::chrono::steady_clock::now() < giveUp) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    EXPECT_TRUE(served);
    WaitForThread(worker);
}

TEST(MainThreadTest, DestroyingAWorkerJoinsItWhileServingItsHandOvers) {
    InitialiseMainThread();
    int value = 0;
    {
        WorkerThread worker;
        worker.Start([&] { Synchronize([&] { value = 42; }); });
    }
    EXPECT_EQ(value, 42);
}

}  // namespace
}  // namespace quorvex::platform
