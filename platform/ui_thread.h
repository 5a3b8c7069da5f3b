#pragma once
// The user-interface thread, recorded so that members documented as "user-interface thread
// only" can check their caller. No Qt, so the core checks its entry points too.
//
// QUORVEX_ASSERT_UI_THREAD() at the top of such a member aborts the program with a message
// naming the member when it runs on another thread once a user-interface thread has been
// recorded. It is compiled in when QUORVEX_CHECK_THREADS is on (the dev and asan builds)
// and is nothing otherwise. Until a thread is recorded (the core's tests, which run without
// an event loop) every thread passes.
//
// Threads: RecordUiThread on the user-interface thread, by platform::InitialiseMainThread;
// the others from any thread. Nothing blocks.

namespace quorvex::platform {

// Makes the calling thread the user-interface thread.
void RecordUiThread();

// Whether the caller may use a user-interface thread only member: it is the recorded
// thread, or none is recorded yet.
bool OnUiThread();

// Writes which member (`function`, at `file`:`line`) was called on another thread to
// standard error and aborts, unless OnUiThread().
void CheckUiThread(const char* function, const char* file, int line);

}  // namespace quorvex::platform

#if defined(QUORVEX_CHECK_THREADS) && QUORVEX_CHECK_THREADS
// The function's full name, with its class and parameters (both compilers we build with
// spell it so; std::source_location is not available to clang with every library).
#define QUORVEX_ASSERT_UI_THREAD() \
    ::quorvex::platform::CheckUiThread(__PRETTY_FUNCTION__, __FILE__, __LINE__)
#else
#define QUORVEX_ASSERT_UI_THREAD() static_cast<void>(0)
#endif
