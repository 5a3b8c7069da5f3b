// The ui tests run offscreen with one QApplication for the whole program; its event loop
// also serves the hand-overs of the serial ports that the port indicators watch.

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/main_thread.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quorvex::platform::InitialiseMainThread();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
