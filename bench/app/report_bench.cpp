// The run's report written whole, in each format, as --report writes it when a period
// closes: the page laid out, its widgets painted, the file encoded and replaced. The run
// is a day's session of hourly periods over a sky of 5,760 aircraft, with levels.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/report_file.h"
#include "bench/support/day_session.h"

namespace {

using namespace quorvex;
using namespace quorvex::app;

void BM_WriteReport(benchmark::State& state) {
    static bench::DaySession session("quorvex-report-bench", true);
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
