#pragma once
// A main window over a scratch program folder, with the application's error display and
// the dialogs replaced by recorders and scripted answers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "net/loopback.h"
#include "platform/application_errors.h"
#include "platform/program_paths.h"
#include "support/free_port.h"
#include "support/temp_folder.h"

namespace quorvex::app::test {

using quorvex::test::TempFolder;

class WindowFixture : public ::testing::Test {
  protected:
    WindowFixture();
    ~WindowFixture() override;

    // The window over `ports` (the probe's devices) and `commandLine`.
    MainWindow& Open(std::vector<std::string> ports = {"/dev/ttyUSB0", "/dev/ttyUSB1"},
                     const CommandLine& commandLine = {});

    template <typename T = QWidget>
    T* Find(const char* name) {
        const QString wanted = QString::fromLatin1(name);
        T* found = window->objectName() == wanted ? qobject_cast<T*>(window.get())
                                                  : window->findChild<T*>(wanted);
        if (found == nullptr) ADD_FAILURE() << "no control named " << name;
        return found;
    }

    TempFolder folder;
    // Where the window keeps its files: all in `folder` unless a test changes it before Open.
    platform::ProgramPaths programPaths = platform::ResolveProgramPaths(folder.Folder(), true, {});
    std::unique_ptr<MainWindow> window;
    int udpPort;
    std::vector<std::string> errors;                              // the error display
    std::vector<std::pair<std::string, std::string>> refusals;    // caption, text
    std::vector<std::pair<std::string, std::string>> questions;   // caption, text
    std::deque<bool> answers;                                     // to the Yes/No questions
    std::deque<std::optional<std::string>> openPaths, savePaths;  // file dialog results
    std::deque<std::optional<std::string>> csvPaths;              // CSV export dialog results
    std::vector<QString> csvSuggested;                            // what the CSV dialog got
};

// Starts with receiver 2 on UDP, so no device is needed; the test ticks itself (the timer is
// stopped).
MeasurementController& StartOnUdp(MainWindow& w);

// The next connection to `listener`, while the window's event loop runs; null if none came
// within 10 s.
std::unique_ptr<net::test::LoopbackSocket> AcceptServing(const net::test::LoopbackSocket& listener);

// Writes a picture of `widget` to screenshots/<name>.png under the working folder (the
// build's tests folder under CTest), for a person to look at.
void SaveScreenshot(QWidget& widget, const QString& name);

}  // namespace quorvex::app::test
