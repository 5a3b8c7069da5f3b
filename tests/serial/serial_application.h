#pragma once
// The application the serial tests run in, made once per process: its event loop serves the
// ports' hand-overs. The port and the framer have no widgets, so QtCore is enough.

#include <QCoreApplication>

#include "platform/main_thread.h"

namespace quorvex::test {

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "serial_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        auto* made = new QCoreApplication(argc, argv);
        platform::InitialiseMainThread();
        return made;
    }();
    (void)app;
}

}  // namespace quorvex::test
