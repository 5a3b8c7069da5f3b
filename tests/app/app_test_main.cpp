// The window's tests run offscreen with one QApplication for the whole program, set up as
// the program sets itself up: Fusion style, the hand-over to the user-interface thread.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

#include "platform/main_thread.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvex"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    quorvex::platform::InitialiseMainThread();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
