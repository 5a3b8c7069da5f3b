// What --metrics adds to the one-second tick, and what a scrape costs. The run is a day's
// session over a sky of 5,760 aircraft with levels (closed hours, coverage in every sector,
// the level comparison full), with 300 aircraft heard in its last minutes for the Aircraft
// page's counts. The tick's part: the run's figures gathered, the process read, the
// families made and published (BM_TickPublish, goal under 0.1 ms), and each step alone. A
// scrape: GET /metrics over loopback from the endpoint's own server.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/support/day_session.h"
#include "metrics/metric_values.h"
#include "metrics/metrics_endpoint.h"
#include "metrics/process_figures.h"
#include "metrics/run_figures.h"
#include "tests/support/http_client.h"

namespace {

using namespace quorvex;
using namespace quorvex::metrics;

bench::DaySession& Session() {
    static bench::DaySession session("quorvex-metrics-bench", false, 300);
    return session;
}

MetricValues Gathered() {
    MetricValues values;
    RunFigures figures;
    figures.Gather(Session().run, values);
    values.version = "0.3";
    return values;
}

std::unique_ptr<MetricsEndpoint> Endpoint(benchmark::State& state) {
    auto listening = MetricsEndpoint::Listen(kDefaultMetricsHost, 0);
    if (auto* trouble = std::get_if<std::string>(&listening)) {
        state.SkipWithError(trouble->c_str());
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<MetricsEndpoint>>(listening));
}

// Everything the tick adds, as MeasurementController::PublishMetrics does it.
void BM_TickPublish(benchmark::State& state) {
    bench::DaySession& session = Session();
    const auto endpoint = Endpoint(state);
    if (!endpoint) return;
    RunFigures figures;
    const ProcessReader process;
    for (auto _ : state) {
        MetricValues values;
        figures.Gather(session.run, values);
        values.version = "0.3";
        values.process = process.Read();
        endpoint->Publish(MetricFamilies(values));
    }
}
BENCHMARK(BM_TickPublish)->Unit(benchmark::kMicrosecond);

void BM_GatherRunFigures(benchmark::State& state) {
    bench::DaySession& session = Session();
    RunFigures figures;
    for (auto _ : state) {
        MetricValues values;
        figures.Gather(session.run, values);
        benchmark::DoNotOptimize(values);
    }
}
BENCHMARK(BM_GatherRunFigures)->Unit(benchmark::kMicrosecond);

void BM_ReadProcess(benchmark::State& state) {
    const ProcessReader process;
    for (auto _ : state) benchmark::DoNotOptimize(process.Read());
}
BENCHMARK(BM_ReadProcess)->Unit(benchmark::kMicrosecond);

void BM_MakeFamilies(benchmark::State& state) {
    const MetricValues values = Gathered();
    for (auto _ : state) benchmark::DoNotOptimize(MetricFamilies(values));
}
BENCHMARK(BM_MakeFamilies)->Unit(benchmark::kMicrosecond);

// A whole scrape as Prometheus makes it: connect, GET, the text written, closed.
void BM_Scrape(benchmark::State& state) {
    const auto endpoint = Endpoint(state);
    if (!endpoint) return;
    endpoint->Publish(MetricFamilies(Gathered()));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string answer = quorvex::test::Exchange(
            endpoint->Port(), "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        if (quorvex::test::StatusOf(answer) != 200) {
            state.SkipWithError("the scrape failed");
            break;
        }
        bytes = answer.size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Scrape)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
