// Refilling the rate chart and painting it once, as every measurement tick does.
//
// The 60-minute window refills three series of 3600 points, the 5-minute window six series
// of 300; each iteration clears all nine series, adds the points in tick order and paints the
// 600 x 529 chart once into an image. Goal: at most 8 ms median for either window.

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

void RefillAndPaint(benchmark::State& state, int seconds, bool longWindow) {
    TChart chart;
    quorvex::app::ConfigureRateChart(chart);
    chart.resize(600, 529);
    QImage image(600, 529, QImage::Format_ARGB32_Premultiplied);

    const std::vector<double> left = Rates(seconds, 1, 300, 200);
    const std::vector<double> right = Rates(seconds, 2, 250, 180);
    const std::vector<double> feed = Rates(seconds, 3, 150, 120);
    const std::array<std::vector<double>, 6> shortValues = {
        left, right, Averages(left, 15), Averages(right, 15), feed, Averages(feed, 15)};

    for (auto _ : state) {
        for (int i = 0; i < 9; ++i) chart.SeriesAt(i).ClearPoints();
        for (int k = 1; k <= seconds; ++k) {
            const auto j = static_cast<std::size_t>(k - 1);
            if (longWindow) {
                chart.SeriesAt(6).AddPoint(k, left[j]);
                chart.SeriesAt(7).AddPoint(k, right[j]);
                chart.SeriesAt(8).AddPoint(k, feed[j]);
            } else {
                for (int s = 0; s < 6; ++s)
                    chart.SeriesAt(s).AddPoint(k, shortValues[static_cast<std::size_t>(s)][j]);
            }
        }
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_RefillPaint60Min(benchmark::State& state) {
    RefillAndPaint(state, 3600, true);
}
void BM_RefillPaint5Min(benchmark::State& state) {
    RefillAndPaint(state, 300, false);
}

BENCHMARK(BM_RefillPaint60Min)->Unit(benchmark::kMillisecond)->Repetitions(9);
BENCHMARK(BM_RefillPaint5Min)->Unit(benchmark::kMillisecond)->Repetitions(9);

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
