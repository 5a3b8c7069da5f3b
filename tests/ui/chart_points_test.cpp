// The point store of a series, the coalesced repaint of a refill, and the values the chart's
// parts refuse.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <iterator>
#include <vector>

#include "chart_test_support.h"
#include "ui/chart_exception.h"

namespace quorvex::ui {
namespace {

std::vector<double> Values(const TChartValueList& list) {
    return list.Values();
}

TEST(LineSeries, AddPointKeepsXOrderAndYFollows) {
    TLineSeries series(nullptr, QStringLiteral("Series1"));
    EXPECT_EQ(series.AddPoint(1, 10), 0u);
    EXPECT_EQ(series.AddPoint(2, 20), 1u);
    EXPECT_EQ(series.AddPoint(3, 30), 2u);
    EXPECT_EQ(series.AddPoint(2, 21), 2u);    // equal X goes after the existing one
    EXPECT_EQ(series.AddPoint(2, 22), 3u);    // ... and after every existing one
    EXPECT_EQ(series.AddPoint(1.5, 15), 1u);  // smaller than the last: in X order
    EXPECT_EQ(series.AddPoint(0, 0), 0u);     // smaller than all: at the front
    EXPECT_EQ(series.AddPoint(3, 31), 7u);    // equal to the last: appended

    EXPECT_EQ(Values(series.XValues()), (std::vector<double>{0, 1, 1.5, 2, 2, 2, 3, 3}));
    EXPECT_EQ(Values(series.YValues()), (std::vector<double>{0, 10, 15, 20, 21, 22, 30, 31}));
    EXPECT_EQ(series.Count(), 8u);
    EXPECT_FALSE(series.PointColor(3).isValid());           // automatic ...
    EXPECT_EQ(series.ValueColor(3), series.SeriesColor());  // ... drawn in the series colour
    EXPECT_TRUE(series.Label(3).isEmpty());
}

TEST(LineSeries, ColoursAndLabelsStayWithTheirPoints) {
    TLineSeries series(nullptr, QStringLiteral("Series1"));
    series.AddPoint(1, 10);
    series.AddPoint(3, 30);
    series.AddPoint(2, 20, QStringLiteral("two"), Qt::blue);  // the first with either, inside
    series.AddPoint(0, 0);
    series.AddPoint(4, 40, QString(), Qt::green);
    const struct {
        double x;
        QColor color;
        QString label;
    } expected[] = {{0, QColor(), ""},
                    {1, QColor(), ""},
                    {2, Qt::blue, "two"},
                    {3, QColor(), ""},
                    {4, Qt::green, ""}};
    ASSERT_EQ(series.Count(), std::size(expected));
    for (std::size_t i = 0; i < series.Count(); ++i) {
        EXPECT_EQ(series.XValues()[i], expected[i].x);
        EXPECT_EQ(series.PointColor(i), expected[i].color) << i;
        EXPECT_EQ(series.Label(i), expected[i].label) << i;
    }
    EXPECT_FALSE(series.SingleColor());

    series.ClearPoints();
    series.AddPoint(5, 50);
    EXPECT_FALSE(series.PointColor(0).isValid());
    EXPECT_TRUE(series.Label(0).isEmpty());
    EXPECT_TRUE(series.SingleColor());
}

TEST(LineSeries, StatisticsFollowEveryChange) {
    TLineSeries series(nullptr, QStringLiteral("Series1"));
    series.AddPoint(5, 7);
    EXPECT_EQ(series.YValues().MaxValue(), 7);
    series.AddPoint(1, 9);  // inserted before: the cached figures must not survive
    series.AddPoint(9, -2);
    EXPECT_EQ(series.XValues().MinValue(), 1);
    EXPECT_EQ(series.XValues().MaxValue(), 9);
    EXPECT_EQ(series.YValues().MinValue(), -2);
    EXPECT_EQ(series.YValues().MaxValue(), 9);
    EXPECT_EQ(series.YValues().Total(), 14);

    series.ClearPoints();
    EXPECT_EQ(series.Count(), 0u);
    EXPECT_EQ(series.YValues().MaxValue(), 0);
    EXPECT_EQ(series.AddPoint(4, 3), 0u);
    EXPECT_EQ(series.YValues().MaxValue(), 3);
}

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Runs the event loop until `counter` saw a paint or a second has passed, then a little
// longer so that a second paint would show.
void SettlePaints(const PaintCounter& counter) {
    QElapsedTimer timer;
    timer.start();
    const int before = counter.paints;
    while (counter.paints == before && timer.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const qint64 painted = timer.elapsed();
    while (timer.elapsed() < painted + 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

using ChartRefill = test::RateChartFixture;

TEST_F(ChartRefill, OneRefillOnePaint) {
    PaintCounter counter;
    chart.installEventFilter(&counter);
    chart.show();
    SettlePaints(counter);
    ASSERT_GE(counter.paints, 1) << "the shown chart was never painted";

    for (int round = 0; round < 2; ++round) {
        counter.paints = 0;
        ClearAll();
        for (int k = 1; k <= 300; ++k)
            for (int s = 0; s < int(kShortWindowSeriesCount); ++s)
                chart.SeriesAt(s).AddPoint(k, k * (s + 1) + round);
        chart.Title().Text().Clear();
        chart.Title().Text().Add(QStringLiteral("Quorvex (DF11/17) [AVG:5 secs]"));
        EXPECT_EQ(counter.paints, 0) << "adding points must not draw";
        SettlePaints(counter);
        EXPECT_EQ(counter.paints, 1) << "round " << round;
    }
    chart.removeEventFilter(&counter);
}

TEST(ChartRefusals, LegendAndFunctionKeepTheirValues) {
    TChart chart;
    app::ConfigureRateChart(chart);
    TChartLegend& legend = chart.Legend();

    auto expectRefused = [](auto&& change, const char* text) {
        try {
            change();
            ADD_FAILURE() << "accepted, expected: " << text;
        } catch (const ChartException& e) {
            EXPECT_STREQ(e.what(), text);
        }
    };
    const char* colorWidth = "Legend Color Width must be between 0 and 100 %";
    expectRefused([&] { legend.SetColorWidth(101); }, colorWidth);
    expectRefused([&] { legend.SetColorWidth(-1); }, colorWidth);
    EXPECT_EQ(legend.ColorWidth(), 40);
    legend.SetColorWidth(0);
    legend.SetColorWidth(100);
    EXPECT_EQ(legend.ColorWidth(), 100);

    const char* topPos = "Top Legend Position must be between 0 and 100 %";
    expectRefused([&] { legend.SetTopPos(-5); }, topPos);
    expectRefused([&] { legend.SetTopPos(150); }, topPos);
    EXPECT_EQ(legend.TopPos(), 24);
    legend.SetTopPos(0);
    legend.SetTopPos(100);
    EXPECT_EQ(legend.TopPos(), 100);

    TTeeFunction* function =
        app::RateChartSeries(chart, ChartSeries::Receiver1Rate).FunctionObject();
    ASSERT_NE(function, nullptr);
    EXPECT_NE(dynamic_cast<TAverageTeeFunction*>(function), nullptr);
    EXPECT_EQ(function->Period(), 0);
    expectRefused([&] { function->SetPeriod(-1); }, "Function Period should be >= 0");
    EXPECT_EQ(function->Period(), 0);
    function->SetPeriod(5);
    EXPECT_EQ(function->Period(), 5);
    EXPECT_NE(app::RateChartSeries(chart, ChartSeries::FeedRate).FunctionObject(), nullptr);
}

}  // namespace
}  // namespace quorvex::ui
