#include "window_fixture.h"

#include <QPushButton>

#include "support/pty.h"

namespace quorvex::app::test {

WindowFixture::WindowFixture() : udpPort(quorvex::test::FreeUdpPort()) {
    platform::SetApplicationErrorHandler(
        [this](const std::string& message) { errors.push_back(message); });
}

WindowFixture::~WindowFixture() {
    window.reset();
    platform::SetApplicationErrorHandler(nullptr);
}

MainWindow& WindowFixture::Open(std::vector<std::string> ports, const CommandLine& commandLine) {
    MeasurementController::Options options;
    options.Paths = programPaths;
    options.Ports = std::move(ports);
    options.UdpPort = udpPort;
    window = std::make_unique<MainWindow>(std::move(options), commandLine);
    WindowDialogs& dialogs = window->Dialogs();
    dialogs.Refusal = [this](const std::string& caption, const std::string& text) {
        refusals.emplace_back(caption, text);
    };
    dialogs.AskYesNo = [this](const std::string& caption, const std::string& text) {
        questions.emplace_back(caption, text);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    };
    const auto next = [](std::deque<std::optional<std::string>>& paths) {
        std::optional<std::string> path;
        if (!paths.empty()) {
            path = paths.front();
            paths.pop_front();
        }
        return path;
    };
    dialogs.OpenProfile = [this, next](const QString&) { return next(openPaths); };
    dialogs.SaveProfile = [this, next](const QString&) { return next(savePaths); };
    dialogs.SaveCsv = [this, next](const QString& suggested) {
        csvSuggested.push_back(suggested);
        return next(csvPaths);
    };
    return *window;
}

MeasurementController& StartOnUdp(MainWindow& w) {
    MeasurementController& c = w.Controller();
    c.ReceiverControls(SourceId::Receiver2).Format.SelectIndex(1);
    w.StartButton()->click();
    c.Timer().stop();
    return c;
}

std::unique_ptr<net::test::LoopbackSocket> AcceptServing(
    const net::test::LoopbackSocket& listener) {
    int fd = -1;
    quorvex::test::ServeUntil([&] {
        pollfd ready{listener.fd(), POLLIN, 0};
        if (::poll(&ready, 1, 0) == 1) fd = ::accept(listener.fd(), nullptr, nullptr);
        return fd >= 0;
    });
    return fd >= 0 ? std::make_unique<net::test::LoopbackSocket>(fd, true) : nullptr;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(QStringLiteral("screenshots"));
    widget.grab().save(QStringLiteral("screenshots/") + name + QStringLiteral(".png"));
}

}  // namespace quorvex::app::test
