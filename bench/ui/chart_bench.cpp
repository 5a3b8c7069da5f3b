// Refilling the rate chart and painting it once, as every measurement tick does.
//
// The 60-minute window refills six series of 3600 points (the rates, drawn as bands, and their
// averages), the 5-minute window six series of 300; each iteration clears all nine series, adds the
// points in tick order and paints the 600 x 529 chart once into an image; from one iteration to the
// next the rates move on by a second, as they do from tick to tick. Goal: the whole tick of the
// window, of which this is a part, at most 8 ms median. The refill alone and the paint alone show
// where the time goes, and a paint after a change of the scale shows the cost of redrawing the kept
// picture.
//
// Run: ui_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdint>
#include <vector>

#include "app/rate_chart_setup.h"

namespace {

using namespace quorvex::ui;
using quorvex::ChartSeries;
using quorvex::kShortWindowSeriesCount;

// Per-second counts that jump about like real traffic, so the lines zig-zag at every point.
std::vector<double> Rates(int seconds, std::uint32_t seed, int base, int spread) {
    std::vector<double> rates(static_cast<std::size_t>(seconds));
    for (double& r : rates) {
        seed = seed * 1664525u + 1013904223u;
        r = base + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(spread));
    }
    return rates;
}

std::vector<double> Averages(const std::vector<double>& rates, int window) {
    std::vector<double> averages(rates.size());
    double sum = 0;
    for (std::size_t i = 0; i < rates.size(); ++i) {
        sum += rates[i];
        if (i >= static_cast<std::size_t>(window))
            sum -= rates[i - static_cast<std::size_t>(window)];
        averages[i] = sum / std::min<std::size_t>(i + 1, static_cast<std::size_t>(window));
    }
    return averages;
}

// The rate chart at its page size with the rates of one window, and of as many seconds more
// for the window to move on through.
struct Window {
    Window(int windowSeconds, bool isLong) : seconds(windowSeconds), longWindow(isLong) {
        quorvex::app::ConfigureRateChart(chart);
        chart.resize(600, 529);
        const std::vector<double> left = Rates(2 * seconds, 1, 300, 200);
        const std::vector<double> right = Rates(2 * seconds, 2, 250, 180);
        const std::vector<double> feed = Rates(2 * seconds, 3, 150, 120);
        values = {left, right, Averages(left, 15), Averages(right, 15), feed, Averages(feed, 15)};
    }

    // The window `tick` seconds on.
    void Refill() {
        const auto shift = static_cast<std::size_t>(tick++ % seconds);
        for (int i = 0; i < chart.SeriesCount(); ++i) chart.SeriesAt(i).ClearPoints();
        for (int k = 1; k <= seconds; ++k) {
            const auto j = static_cast<std::size_t>(k - 1) + shift;
            if (longWindow) {
                // The per-second rates of the left, the right receiver and the feed, and the
                // averages, in the chart's order.
                Line(ChartSeries::Receiver1Average).AddPoint(k, values[2][j]);
                Line(ChartSeries::Receiver2Average).AddPoint(k, values[3][j]);
                Line(ChartSeries::FeedAverage).AddPoint(k, values[5][j]);
                Line(ChartSeries::Receiver1RateLong).AddPoint(k, values[0][j]);
                Line(ChartSeries::Receiver2RateLong).AddPoint(k, values[1][j]);
                Line(ChartSeries::FeedRateLong).AddPoint(k, values[4][j]);
            } else {
                for (int s = 0; s < int(kShortWindowSeriesCount); ++s)
                    chart.SeriesAt(s).AddPoint(k, values[static_cast<std::size_t>(s)][j]);
            }
        }
    }

    TLineSeries& Line(ChartSeries series) { return quorvex::app::RateChartSeries(chart, series); }

    // One synchronous paint, as the window system asks for it.
    void Paint() {
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }

    int seconds;
    bool longWindow;
    int tick = 0;
    TChart chart;
    QImage image{600, 529, QImage::Format_ARGB32_Premultiplied};
    std::array<std::vector<double>, 6> values;
};

void BM_RefillPaint60Min(benchmark::State& state) {
    Window w(3600, true);
    for (auto _ : state) {
        w.Refill();
        w.Paint();
    }
}
void BM_RefillPaint5Min(benchmark::State& state) {
    Window w(300, false);
    for (auto _ : state) {
        w.Refill();
        w.Paint();
    }
}
void BM_Refill60Min(benchmark::State& state) {
    Window w(3600, true);
    for (auto _ : state) w.Refill();
}
void BM_Paint60Min(benchmark::State& state) {
    Window w(3600, true);
    w.Refill();
    for (auto _ : state) w.Paint();
}
void BM_Paint5Min(benchmark::State& state) {
    Window w(300, false);
    w.Refill();
    for (auto _ : state) w.Paint();
}

void BM_Paint5MinNewScale(benchmark::State& state) {
    Window w(300, false);
    w.Refill();
    double maximum = 500;
    for (auto _ : state) {
        w.chart.LeftAxis().SetMinMax(0, maximum);
        maximum = maximum == 500 ? 510 : 500;
        w.Paint();
    }
}

BENCHMARK(BM_RefillPaint60Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillPaint5Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Refill60Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint60Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint5Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint5MinNewScale)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
