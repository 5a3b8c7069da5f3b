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

void CheckUiThread(const char* function, const char* file, int line) {
    if (OnUiThread()) return;
    std::fprintf(stderr,
                 "%s:%d: %s is user-interface thread only, but was called on another thread "
                 "(id hash %zu)\n",
                 file, line, function, std::hash<std::thread::id>{}(std::this_thread::get_id()));
    std::fflush(stderr);
    std::abort();
}

}  // namespace quorvex::platform
