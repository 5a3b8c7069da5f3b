// One measurement tick through the window: the controller's tick, its bars, figures and nine
// series applied to the widgets, and the one paint that follows, offscreen at the window's
// size. The 60-minute chart window is the heaviest (six series of 3600 points: the rates,
// drawn as bands, and their averages). The Coverage page is refreshed by every tick while it
// shows: its plot over a coverage of 5,000 aircraft with the dots of 2,000 positions, one
// more each second, so the plot is painted again.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QProgressBar>
#include <QStyleFactory>
#include <QTabWidget>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/coverage_page.h"
#include "app/graph_page.h"
#include "app/main_window.h"
#include "app/receiver_panel.h"
#include "platform/main_thread.h"
#include "tests/support/free_port.h"
#include "tests/support/position_sky.h"
#include "ui/chart.h"
#include "ui/polar_plot.h"

namespace {

using namespace quorvex;
using namespace quorvex::app;

constexpr int kCoveragePage = 4;

// A running window on the given page and chart window, with some traffic each second.
struct TickingWindow {
    TickingWindow(int page, int chartIndex) {
        folder = std::filesystem::temp_directory_path() /
                 ("quorvex-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        MeasurementController::Options options;
        options.Paths = platform::ResolveProgramPaths((folder / "").string(), true, {});
        options.UdpPort = test::FreeUdpPort();
        window = std::make_unique<MainWindow>(std::move(options), CommandLine{});
        MeasurementController& c = window->Controller();
        c.ReceiverControls(SourceId::Receiver2).Format.SelectIndex(1);
        c.StartStopClicked();
        c.Timer().stop();
        c.SelectChartWindow(chartIndex);
        if (page == kCoveragePage) {
            coverage = true;
            c.SetStation(kStation, 300);
            test::HearDemoSky(c.CurrentRun(), kStation, 5000);
            window->CoverageView()->DotsBox()->setChecked(true);
        }
        window->Pages()->setCurrentIndex(page);
        window->show();
        // Histories full of values, as after an hour of measuring.
        TickResult result;
        for (int i = 0; i < 3600; ++i) {
            Hear(c.CurrentRun(), i);
            TickInputs inputs;
            inputs.UnixSeconds = i;
            c.CurrentRun().Second(inputs, false, result);
        }
        Second(0);
        QApplication::processEvents();
    }
    ~TickingWindow() {
        window.reset();
        std::filesystem::remove_all(folder);
    }
    // A second's frames and feed lines, varying from second to second.
    static void Hear(quorvex::Run& s, int i) {
        for (int n = 0; n < 10 + i % 7; ++n) {
            s.TakePacket(SourceId::Receiver1, "8D4840D6202CC371C32CE0576098", true);
        }
        for (int n = 0; n < 8 + i % 5; ++n) {
            s.TakePacket(SourceId::Receiver2, "5D484FDEA248F5", true);
        }
        s.TakeFeed(i % 2 == 0 ? "MSG,8,1,1,4840D6,1\r\n" : "MSG,5,1,1,4840D6,1\r\n");
    }
    void Second(int i) {
        quorvex::Run& s = window->Controller().CurrentRun();
        Hear(s, i);
        if (coverage) {
            // One more position receiver 1 heard alone: the plot's dots change.
            test::HearAircraft(s, kStation, 0x300000 + static_cast<std::uint32_t>(i),
                               {i * 7.0, 200.0 + i % 20, 30000, true, false});
            s.End();
        }
        window->Controller().Tick();
    }
    static constexpr LatLon kStation{52.3, 4.76};
    std::filesystem::path folder;
    std::unique_ptr<MainWindow> window;
    bool coverage = false;
};

// Counts the paints of the page that shows, so the figures are known to include one.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

void BM_WindowTick(benchmark::State& state) {
    TickingWindow w(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    PaintCounter counter;
    QWidget* shown = state.range(0) == 1 ? static_cast<QWidget*>(w.window->Graph()->Chart())
                     : state.range(0) == kCoveragePage
                         ? static_cast<QWidget*>(w.window->CoverageView()->Plot())
                         : w.window->Receiver(SourceId::Receiver1)->Bar(0);
    shown->installEventFilter(&counter);
    int i = 0;
    for (auto _ : state) {
        w.Second(i++);  // the tick ends by handling the pending events: the paint
    }
    state.counters["paints_per_tick"] =
        benchmark::Counter(double(counter.paints) / double(state.iterations()));
}

// page 1 = Graph, page 0 = Control, page 4 = Coverage; chart window 4 = 60 min, 2 = 5 min.
BENCHMARK(BM_WindowTick)
    ->Args({1, 4})
    ->Args({1, 2})
    ->Args({0, 4})
    ->Args({kCoveragePage, 4})
    ->ArgNames({"page", "window"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    platform::InitialiseMainThread();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
