#pragma once
// The Qt application the network benchmarks run their event loop in, made once.

#include <QCoreApplication>

#include "platform/main_thread.h"

namespace quorvex::bench {

inline void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "net_bench";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    platform::InitialiseMainThread();
}

}  // namespace quorvex::bench
