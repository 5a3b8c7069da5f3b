#include "app/startup.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/engine/command_line.h"
#include "app/engine/headless_run.h"
#include "app/engine/termination_watch.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/report_file.h"
#include "core/base/convert_error.h"
#include "platform/application_errors.h"
#include "platform/main_thread.h"
#include "platform/port_probe.h"
#include "platform/program_folder.h"
#include "platform/program_paths.h"
#include "platform/termination_signals.h"
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

// What the global set-up hands the window: where the program keeps its files, which ports
// exist, and what went wrong (a folder that cannot be created, a message catalogue that
// cannot be read), each said once the window shows.
struct ProgramSetup {
    platform::ProgramPaths Paths;
    std::vector<std::string> Ports;
    std::vector<std::string> Problems;
};

// The translation layer and the serial component's messages. When a catalogue cannot be read
// the built-in texts stand in for all of them, and the returned message says which and why.
std::string SetUpTranslation(const std::string& dataFolder) {
    try {
        translation::InitialiseTranslation(dataFolder, platform::ProgramPath());
        serial::InitialiseSerialComponent();
        return {};
    } catch (const translation::ETranslationError& error) {
        translation::UseBuiltInTexts();
        serial::InitialiseSerialComponent();
        return std::string(error.what()) + ". The built-in texts are used instead.";
    }
}

// The global set-up, before any window exists, in this order: program paths and port probe,
// the settings and profiles folders, translation layer, the serial component's messages, the
// conversion message.
ProgramSetup SetUpProgram(const platform::ProgramPaths& paths, const CommandLine& commandLine) {
    ProgramSetup setup;
    setup.Paths = paths;
    setup.Ports = platform::ProbePorts(paths.SettingsFile);
    for (const std::string& device : ExtraPortDevices(commandLine)) {
        if (std::find(setup.Ports.begin(), setup.Ports.end(), device) == setup.Ports.end()) {
            setup.Ports.push_back(device);
        }
    }
    // The settings folder holds the lock file; the profiles folder lies within it.
    auto problem = platform::CreateFolder(paths.SettingsFolder, "settings folder");
    if (!problem) problem = platform::CreateFolder(paths.ProfilesFolder, "profiles folder");
    if (problem) setup.Problems.push_back(std::move(*problem));
    if (std::string catalogue = SetUpTranslation(paths.DataFolder); !catalogue.empty()) {
        setup.Problems.push_back(std::move(catalogue));
    }
    SetInvalidIntegerPatternLoader(
        [] { return translation::LoadResString(translation::ResString::InvalidInteger); });
    return setup;
}

// What the controller of either front-end starts from.
MeasurementController::Options ControllerOptions(const ProgramSetup& setup) {
    MeasurementController::Options options;
    options.Paths = setup.Paths;
    options.Ports = setup.Ports;
    return options;
}

// Writes `text` to standard output; 0, or 1 when it could not. A reader that left early
// (`quorvex --help | grep -q receiver`) is not worth a word; any other failure is said.
int PrintText(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    if (errno != EPIPE)
        std::fprintf(stderr, "quorvex: standard output: %s\n", std::strerror(errno));
    return 1;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    // A reader that leaves (`quorvex --no-window | head -1`) must not end the measurement.
    platform::IgnoreBrokenPipes();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        std::fprintf(stderr, "quorvex: %s\n", error->Message.c_str());
        return 2;
    }
    const CommandLine& commandLine = std::get<CommandLine>(parsed);
    const platform::ProgramPaths paths = platform::CurrentProgramPaths();
    if (commandLine.Help) return PrintText(UsageText() + "\n" + FilesText(paths));
    if (commandLine.Version) return PrintText(std::string(kVersionText) + "\n");
    if (commandLine.NoWindow) {
        const ProgramSetup setup = SetUpProgram(paths, commandLine);
        if (commandLine.ReportFile.empty()) {
            return RunWithoutWindow(argc, argv, commandLine, ControllerOptions(setup),
                                    setup.Problems);
        }
        // The report's page is drawn by widgets, which need a QApplication; Qt's offscreen
        // platform gives one without a display, unless the user chose a platform.
        if (Environment("QT_QPA_PLATFORM").empty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication application(argc, argv);
        MeasurementController::Options options = ControllerOptions(setup);
        options.WriteReport = WriteReportFile;
        return RunWithoutWindow(argc, argv, commandLine, std::move(options), setup.Problems);
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

    const ProgramSetup setup = SetUpProgram(paths, commandLine);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("quorvex"));
    // Ties the window to the installed desktop entry (its name and icon) where the desktop
    // matches windows by it, as Wayland compositors do.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvex.Quorvex"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    platform::InitialiseMainThread();

    ErrorDisplay errors(QStringLiteral("quorvex"));
    platform::SetApplicationErrorHandler(
        [&errors](const std::string& message) { errors.Show(message); });

    int exitCode = 0;
    {
        MainWindow window(ControllerOptions(setup), commandLine);
        errors.SetWindow(&window);
        // Settings are written; signals that follow while it does are ignored.
        const auto signalWatch = WatchForTermination(&window, [&window] { window.EndOnSignal(); });
        window.show();
        for (const std::string& problem : setup.Problems) platform::ShowApplicationError(problem);
        QTimer::singleShot(0, &window, [&window, &commandLine] { window.AfterShow(commandLine); });
        exitCode = QApplication::exec();
        if (!window.Controller().SavedAtEnd()) exitCode = 1;
        errors.SetWindow(nullptr);
    }
    platform::SetApplicationErrorHandler(nullptr);
    return exitCode;
}

}  // namespace quorvex::app
