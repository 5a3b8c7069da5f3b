// The user-interface thread check in the core: once that thread is recorded, an entry point
// called on another thread stops the program with a message naming it.

#include <gtest/gtest.h>

#include <thread>

#include "core/run/run.h"
#include "fake_clock.h"
#include "platform/ui_thread.h"

namespace quorvex {
namespace {

TEST(UiThreadCheckDeathTest, AnEntryPointCalledOnAnotherThreadAborts) {
#if defined(QUORVEX_CHECK_THREADS) && QUORVEX_CHECK_THREADS
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::FakeClock clock;
    quorvex::Run run("", clock);
    const auto takeOnAWorker = [&] {
        platform::RecordUiThread();
        run.TakePacket(SourceId::Receiver1, "5D4840D6F8740C", true);  // the recorded thread passes
        std::thread([&] { run.TakePacket(SourceId::Receiver1, "5D4840D6F8740C", true); }).join();
    };
    EXPECT_DEATH(takeOnAWorker(), "Take.* is user-interface thread only");
#else
    GTEST_SKIP() << "built without QUORVEX_CHECK_THREADS";
#endif
}

}  // namespace
}  // namespace quorvex
