// The once-a-second tick and the profile files.
//
// A tick with the 60-minute chart window moves every counter into its history, averages and
// sums the windows, writes the three figures and refills three series of 3600 points; its
// goal is 100 microseconds. After the first tick the result's storage is reused, so the
// count of allocations per tick (allocs_per_tick) should be zero.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "allocation_counter.h"
#include "core/base/clock.h"
#include "core/run/measurement.h"
#include "core/settings/profiles.h"

namespace {

using namespace quorvex;

void FillCounts(IntervalCounts& counts, int second) {
    counts.Counts1 = {second % 7, 120 + second % 13, 340 + second % 29, 3, 410 + second % 31, 95};
    counts.Counts2 = {second % 5, 110 + second % 11, 300 + second % 23, 1, 380 + second % 17, 90};
    counts.CountsS = {70 + second % 3, 250 + second % 19, 330 + second % 7};
}

void BM_Tick(benchmark::State& state) {
    const int chartIndex = static_cast<int>(state.range(0));
    auto main = std::make_unique<MeasurementCycle>();
    main->Measurement.ChartSeconds = ChartSecondsForIndex(chartIndex, 30);
    StartMeasurement(main->Measurement, 15);
    TickInputs inputs;
    inputs.TimerIndex = 2;
    inputs.ChartIndex = chartIndex;
    TickResult result;
    int second = 0;
    FillCounts(main->Counts, second++);
    Tick(*main, inputs, result);  // the result's storage is sized by the first tick

    const std::uint64_t allocationsBefore = bench::AllocationCount();
    for (auto _ : state) {
        FillCounts(main->Counts, second++);
        Tick(*main, inputs, result);
        benchmark::DoNotOptimize(result);
    }
    const std::uint64_t allocations = bench::AllocationCount() - allocationsBefore;
    state.counters["allocs_per_tick"] = benchmark::Counter(static_cast<double>(allocations) /
                                                           static_cast<double>(state.iterations()));

    const ChartSeries rate1 =
        chartIndex >= 3 ? ChartSeries::Receiver1RateLong : ChartSeries::Receiver1Rate;
    if (result.Points(rate1).size() != static_cast<std::size_t>(main->Measurement.ChartSeconds)) {
        state.SkipWithError("the chart series do not hold the window's seconds");
    }
}
BENCHMARK(BM_Tick)->Arg(4)->ArgName("chart_index")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tick)->Arg(2)->ArgName("chart_index")->Unit(benchmark::kMicrosecond);

struct ProfileFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quorvex-bench-" + std::to_string(::getpid()));
    ProfileFolder() { std::filesystem::create_directories(path); }
    ~ProfileFolder() { std::filesystem::remove_all(path); }
};

void BM_SaveProfile(benchmark::State& state) {
    ProfileFolder folder;
    ProfileSettings settings = MakeProfileSettings({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    settings.Receiver1.Port.SelectIndex(1);
    settings.Receiver1.Format.SelectIndex(1);
    const std::string path = (folder.path / "receiver.prf").string();
    for (auto _ : state) SaveProfile1(settings, path);
}
BENCHMARK(BM_SaveProfile)->Unit(benchmark::kMicrosecond);

void BM_LoadProfile(benchmark::State& state) {
    ProfileFolder folder;
    ProfileSettings settings = MakeProfileSettings({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    settings.Receiver1.Port.SelectIndex(1);
    const std::string path = (folder.path / "receiver.prf").string();
    SaveProfile1(settings, path);
    for (auto _ : state) LoadProfile2(settings, path);
    if (settings.Receiver2.Port.ItemIndex != 1) state.SkipWithError("the profile did not load");
}
BENCHMARK(BM_LoadProfile)->Unit(benchmark::kMicrosecond);

}  // namespace
