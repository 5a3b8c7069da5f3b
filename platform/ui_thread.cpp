#include "platform/ui_thread.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace quorvex::platform {
namespace {

// A default-constructed id is no thread: nothing recorded yet.
std::atomic<std::thread::id> uiThread;

}  // namespace

void RecordUiThread() {
    uiThread.store(std::this_thread::get_id());
}

bool OnUiThread() {
    const std::thread::id recorded = uiThread.load();
    return recorded == std::thread::id() || recorded == std::this_thread::get_id();
}

void CheckUiThread(const std::source_location& where) {
    if (OnUiThread()) return;
    std::fprintf(stderr,
                 "%s:%u: %s is user-interface thread only, but was called on another thread "
                 "(id hash %zu)\n",
                 where.file_name(), static_cast<unsigned>(where.line()), where.function_name(),
                 std::hash<std::thread::id>{}(std::this_thread::get_id()));
    std::fflush(stderr);
    std::abort();
}

}  // namespace quorvex::platform
