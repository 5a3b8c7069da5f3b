#include "window_fixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvex::app::test {

int FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

WindowFixture::WindowFixture() : udpPort(FreeUdpPort()) {
    platform::SetApplicationErrorHandler(
        [this](const std::string& message) { errors.push_back(message); });
}

WindowFixture::~WindowFixture() {
    window.reset();
    platform::SetApplicationErrorHandler(nullptr);
}

MainWindow& WindowFixture::Open(std::vector<std::string> ports, const CommandLine& commandLine) {
    MeasurementController::Options options;
    options.AppFolder = folder.Folder();
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
    return *window;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(QStringLiteral("screenshots"));
    widget.grab().save(QStringLiteral("screenshots/") + name + QStringLiteral(".png"));
}

}  // namespace quorvex::app::test
