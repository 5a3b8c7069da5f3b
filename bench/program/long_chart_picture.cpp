// The Graph page's 60-minute window after an hour of the simulator's traffic, saved as a
// picture: an hour of simulated time goes through the window's own intake and ticks in a
// few seconds, then the window is grabbed. scripts/long-chart-picture runs it under Xvfb.
//
// Usage: long_chart_picture OUTPUT.png [--seconds N] [--interval INDEX]
//        (default 3600 seconds; the averaging interval's list index, default the program's)

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/graph_page.h"
#include "app/main_window.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "platform/main_thread.h"
#include "tests/support/free_port.h"
#include "tests/support/pty.h"
#include "tools/sim/simulation.h"

namespace {

using namespace quorvex;

constexpr int kGraphPage = 1;
constexpr int kSixtyMinutes = 4;  // the chart window list's index

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::InitialiseMainThread();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [--seconds N] [--interval INDEX]\n", argv[0]);
        return 2;
    }
    int seconds = 3600, interval = -1;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--interval") == 0) interval = std::atoi(argv[i + 1]);
    }

    const auto folder = std::filesystem::temp_directory_path() /
                        ("quorvex-long-chart-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    int status = 0;
    {
        // Receiver 1 on a serial line nobody writes to, receiver 2 on UDP: both count what
        // their framers are handed.
        test::Pty pty;
        app::CommandLine commandLine;
        commandLine.Receiver1 = app::ReceiverOption{pty.Path(), 3000000, false, '*', {}};
        app::MeasurementController::Options options;
        options.Paths = platform::ResolveProgramPaths((folder / "").string(), true, {});
        options.Ports = {pty.Path()};
        options.UdpPort = test::FreeUdpPort();
        app::MainWindow window(std::move(options), commandLine);
        app::MeasurementController& c = window.Controller();
        if (interval >= 0) c.SelectInterval(interval);
        c.StartStopClicked();
        c.Timer().stop();  // the ticks follow simulated time

        sim::Simulation simulation{sim::SimSettings{}};
        const auto deliver = [&c](sim::Source source, sim::Unit&& unit) {
            if (source == sim::Source::Feed) {
                c.CurrentRun().TakeFeed(unit.text);
            } else {
                const SourceId receiver =
                    source == sim::Source::Receiver1 ? SourceId::Receiver1 : SourceId::Receiver2;
                c.Input(receiver).Framer().FeedText(unit.text);
            }
        };
        for (int second = 1; second <= seconds; ++second) {
            if (second == seconds) {  // the window as the user would choose it
                window.Graph()->ChartWindowList()->setCurrentIndex(kSixtyMinutes);
                emit window.Graph()->ChartWindowList()->activated(kSixtyMinutes);
                window.Pages()->setCurrentIndex(kGraphPage);
                window.show();
            }
            simulation.Advance(second, deliver);
            c.Tick();
        }
        QApplication::processEvents();
        if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            status = 1;
        }
    }
    std::filesystem::remove_all(folder);
    return status;
}
