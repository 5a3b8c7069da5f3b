// The user-interface thread check in the core: once that thread is recorded, an entry point
// called on another thread stops the program with a message naming it.

#include <gtest/gtest.h>

#include <thread>

#include "core/run/intake.h"
#include "fake_clock.h"
#include "platform/ui_thread.h"

namespace quorvex {
namespace {

TEST(UiThreadCheckDeathTest, AnEntryPointCalledOnAnotherThreadAborts) {
#if defined(QUORVEX_CHECK_THREADS) && QUORVEX_CHECK_THREADS
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::FakeClock clock;
    MainState state("", clock);
    const auto scanOnAWorker = [&] {
        platform::RecordUiThread();
        FeedScan(state);  // the recorded thread passes
        std::thread([&] { FeedScan(state); }).join();
    };
    EXPECT_DEATH(scanOnAWorker(), "FeedScan.* is user-interface thread only");
#else
    GTEST_SKIP() << "built without QUORVEX_CHECK_THREADS";
#endif
}

}  // namespace
}  // namespace quorvex
