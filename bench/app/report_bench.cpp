// The run's report written whole, in each format, as --report writes it when a period
// closes: the page laid out, its widgets painted, the file encoded and replaced. The run
// is a day's session of hourly periods over a sky of 5,760 aircraft, with levels.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>

#include "app/report_file.h"
#include "tests/support/position_sky.h"

namespace {

using namespace quorvex;
using namespace quorvex::app;

constexpr LatLon kStation{52.3, 4.76};

struct DaySession {
    DaySession()
        : folder(std::filesystem::temp_directory_path() /
                 ("quorvex-report-bench-" + std::to_string(::getpid()))),
          run((folder / "").string(), clock) {
        std::filesystem::create_directories(folder);
        run.SetStation(kStation, 300);
        const std::int64_t start = 1'800'000'000;
        run.Start(5, start);
        // Four aircraft a minute, spread as the demo's sky is: receiver 1 hears out to
        // 220 NM, receiver 2 to 160 NM and within 60 NM from 240 to 300 degrees.
        std::mt19937 random(7);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::uint32_t address = 0x200000;
        TickResult result;
        for (int second = 1; second <= 86400; ++second) {
            for (int i = 0; second % 60 == 0 && i < 4; ++i) {
                const double bearing = 360.0 * unit(random);
                const double nm = 250.0 * std::sqrt(unit(random));
                const bool shadow = bearing >= 240 && bearing < 300 && nm > 60;
                const auto level = [&random](int low) {
                    return LevelFromBeastByte(static_cast<std::uint8_t>(low + random() % 80));
                };
                test::HearAircraft(run, kStation, address++,
                                   {bearing, nm, 30000, nm < 220, nm < 160 && !shadow}, level(40),
                                   level(25));
            }
            TickInputs inputs;
            inputs.UnixSeconds = start + second;
            run.Second(inputs, false, result);
        }
        run.End();
    }
    ~DaySession() { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    SystemClock clock;
    Run run;
};

void BM_WriteReport(benchmark::State& state) {
    static DaySession session;
    const char* const kEndings[] = {".pdf", ".png", ".html"};
    const std::string path = (session.folder / "report").string() + kEndings[state.range(0)];
    for (auto _ : state) {
        ReportPage page(session.run,
                        {{"Receiver 1", "/dev/ttyUSB0 at 3000000 baud, Beast binary"},
                         {"Receiver 2", "TCP Beast from shed.local:30005"},
                         {"Feed", "not connected"}},
                        1'800'000'000 + 86400);
        if (const auto error = WriteReport(page, path)) {
            state.SkipWithError(error->c_str());
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

// 0 = PDF, 1 = PNG, 2 = HTML.
BENCHMARK(BM_WriteReport)->DenseRange(0, 2)->ArgName("format")->Unit(benchmark::kMillisecond);

}  // namespace
