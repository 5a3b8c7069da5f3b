#include "app/startup.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/error_display.h"
#include "app/headless_run.h"
#include "app/main_window.h"
#include "app/termination_watch.h"
#include "core/convert_error.h"
#include "core/profiles.h"
#include "platform/application_errors.h"
#include "platform/main_thread.h"
#include "platform/port_probe.h"
#include "platform/program_folder.h"
#include "platform/x_display.h"
#include "serial/com_error.h"
#include "translation/resource_strings.h"
#include "translation/translation.h"
#include "translation/translation_error.h"

namespace quorvex::app {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool HasDisplay() {
    // A platform chosen by hand (offscreen, vnc, ...) needs no display of ours to check.
    return !Environment("DISPLAY").empty() || !Environment("WAYLAND_DISPLAY").empty() ||
           !Environment("QT_QPA_PLATFORM").empty();
}

// Why the X server Qt is about to use does not answer, or nothing: Qt ends the program with
// abort() when it cannot connect, so the server is asked first. In a Wayland session Qt may
// well not use X at all.
std::optional<std::string> DisplayUnreachable() {
    const std::string platform = Environment("QT_QPA_PLATFORM");
    if (!platform.empty() ? !platform.starts_with("xcb")
                          : !Environment("WAYLAND_DISPLAY").empty()) {
        return std::nullopt;
    }
    const std::string display = Environment("DISPLAY");
    if (display.empty()) return "the graphical display cannot be opened (DISPLAY is not set)";
    const std::string reason = platform::XDisplayUnreachable(display);
    if (reason.empty()) return std::nullopt;
    return "the graphical display " + display + " cannot be opened (" + reason + ")";
}

// What the global set-up hands the window: where the program lives, which ports exist, and
// what is wrong with a message catalogue (empty when nothing is).
struct ProgramSetup {
    std::string AppFolder;
    std::vector<std::string> Ports;
    std::string CatalogueProblem;
};

// The translation layer and the serial component's messages. When a catalogue cannot be read
// the built-in texts stand in for all of them, and the returned message says which and why.
std::string SetUpTranslation(const std::string& appFolder) {
    try {
        translation::InitialiseTranslation(appFolder, platform::ProgramPath());
        serial::InitialiseSerialComponent();
        return {};
    } catch (const translation::ETranslationError& error) {
        translation::UseBuiltInTexts();
        serial::InitialiseSerialComponent();
        return std::string(error.what()) + ". The built-in texts are used instead.";
    }
}

// The global set-up, before any window exists, in this order: port probe and program
// folder, profiles folder, translation layer, the serial component's messages, the
// conversion message.
ProgramSetup SetUpProgram(const CommandLine& commandLine) {
    ProgramSetup setup;
    setup.AppFolder = platform::ProgramFolder();
    setup.Ports = platform::ProbePorts(SettingsFilePath(setup.AppFolder));
    for (const std::string& device : ExtraPortDevices(commandLine)) {
        if (std::find(setup.Ports.begin(), setup.Ports.end(), device) == setup.Ports.end()) {
            setup.Ports.push_back(device);
        }
    }
    platform::EnsureFolder(ProfilesFolder(setup.AppFolder));
    setup.CatalogueProblem = SetUpTranslation(setup.AppFolder);
    SetInvalidIntegerPatternLoader(
        [] { return translation::LoadResString(translation::ResString::InvalidInteger); });
    return setup;
}

// What the controller of either front-end starts from.
MeasurementController::Options ControllerOptions(const ProgramSetup& setup) {
    MeasurementController::Options options;
    options.AppFolder = setup.AppFolder;
    options.Ports = setup.Ports;
    return options;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        std::fprintf(stderr, "quorvex: %s\n", error->Message.c_str());
        return 2;
    }
    const CommandLine& commandLine = std::get<CommandLine>(parsed);
    if (commandLine.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.Version) {
        std::printf("%s\n", std::string(kVersionText).c_str());
        return 0;
    }
    if (commandLine.NoWindow) {
        const ProgramSetup setup = SetUpProgram(commandLine);
        return RunWithoutWindow(argc, argv, commandLine, ControllerOptions(setup),
                                setup.CatalogueProblem);
    }
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "quorvex: a graphical display is needed (neither DISPLAY nor WAYLAND_DISPLAY "
                     "is set); for a headless look, xvfb-run scripts/run works.\n");
        return 1;
    }
    if (const auto unreachable = DisplayUnreachable()) {
        std::fprintf(stderr, "quorvex: %s; for a headless look, xvfb-run scripts/run works.\n",
                     unreachable->c_str());
        return 1;
    }

    const ProgramSetup setup = SetUpProgram(commandLine);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("quorvex"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    platform::InitialiseMainThread();

    ErrorDisplay errors(QStringLiteral("quorvex"));
    platform::SetApplicationErrorHandler(
        [&errors](const std::string& message) { errors.Show(message); });

    int exitCode = 0;
    {
        MainWindow window(ControllerOptions(setup), commandLine);
        errors.SetWindow(&window);
        // Settings are written, and a second signal ends it at once.
        const auto signalWatch = WatchForTermination(&window, [&window] { window.EndOnSignal(); });
        window.show();
        if (!setup.CatalogueProblem.empty()) {
            platform::ShowApplicationError(setup.CatalogueProblem);
        }
        QTimer::singleShot(0, &window, [&window, &commandLine] { window.AfterShow(commandLine); });
        exitCode = QApplication::exec();
        if (!window.Controller().SavedAtEnd()) exitCode = 1;
        errors.SetWindow(nullptr);
    }
    platform::SetApplicationErrorHandler(nullptr);
    return exitCode;
}

}  // namespace quorvex::app
