// What the chart's quicker drawing must keep: the left axis's title clear of every label, the
// kept picture redrawn after every change that shows, and lines that look as QPainter draws
// them point by point.

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "chart_test_support.h"

namespace quorvex::ui {
namespace {

using namespace quorvex::app;

using ChartLayout = test::RateChartFixture;

TEST_F(ChartLayout, LeftAxisTitleClearsEveryLabel) {
    const double ranges[][2] = {{0, 0.5}, {-0.3, 0.3}, {0, 12345}, {-12345.5, 100}, {0, 0}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(testing::Message() << range[0] << ".." << range[1]);
        chart.LeftAxis().SetMinMax(range[0], range[1]);
        const QImage image = Render();
        const TChartAxis& axis = chart.LeftAxis();
        const QRect title = axis.TitleRect().adjusted(-1, -1, 1, 1);
        const QRect labels = axis.LabelsRect().adjusted(-1, -1, 1, 1);
        EXPECT_FALSE(title.intersects(labels));
        EXPECT_GE(title.left(), 0);

        // The rectangles hold all that is drawn left of the ticks, below the legend.
        const QRect plot = chart.ChartRect();
        const QRect strip(QPoint(0, chart.Legend().Rect().bottom() + 1),
                          QPoint(plot.left() - axis.TickLength() - 1, plot.bottom()));
        int inTitle = 0, inLabels = 0, elsewhere = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x) {
                if (image.pixelColor(x, y) == clCream) continue;
                const QPoint p(x, y);
                title.contains(p) ? ++inTitle : labels.contains(p) ? ++inLabels : ++elsewhere;
            }
        EXPECT_GT(inTitle, 0);
        EXPECT_GT(inLabels, 0);
        EXPECT_EQ(elsewhere, 0);
    }
}

void FillRates(TChart& chart) {
    for (int k = 1; k <= 30; ++k) chart.SeriesAt(2).AddPoint(k, 40 * k);
}

QImage Grab(TChart& chart) {
    return chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(ChartLayers, EveryChangeShowsAsOnAFreshChart) {
    struct Case {
        const char* what;
        std::function<void(TChart&)> change;
    };
    const Case cases[] = {
        {"title text", [](TChart& c) { c.Title().Text().SetLines({QStringLiteral("Other")}); }},
        {"title colour", [](TChart& c) { c.Title().SetFontColor(Qt::red); }},
        {"control colour", [](TChart& c) { c.SetColor(Qt::yellow); }},
        {"back wall colour", [](TChart& c) { c.SetBackWallColor(Qt::white); }},
        {"legend hidden", [](TChart& c) { c.Legend().SetVisible(false); }},
        {"legend colour", [](TChart& c) { c.Legend().SetColor(Qt::yellow); }},
        {"series title", [](TChart& c) { c.SeriesAt(1).SetTitle(QStringLiteral("Other")); }},
        {"series colour", [](TChart& c) { c.SeriesAt(0).SetSeriesColor(Qt::magenta); }},
        {"series pen", [](TChart& c) { c.SeriesAt(3).SetLinePen(TChartPen{}); }},
        {"axis title", [](TChart& c) { c.LeftAxis().SetTitleCaption(QStringLiteral("x")); }},
        {"axis format",
         [](TChart& c) { c.BottomAxis().SetAxisValuesFormat(QStringLiteral("#0.0")); }},
        {"axis range", [](TChart& c) { c.LeftAxis().SetMinMax(0, 77); }},
        {"label locale", [](TChart& c) { c.SetLabelLocale(QLocale(QLocale::German)); }},
        {"size", [](TChart& c) { c.resize(500, 400); }},
        {"points beyond the range", [](TChart& c) { c.SeriesAt(2).AddPoint(40, 5000); }},
    };
    for (const Case& c : cases) {
        TChart kept;
        ConfigureRateChart(kept);
        kept.resize(600, 529);
        FillRates(kept);
        const QImage before = Grab(kept);  // what the kept picture was made for
        c.change(kept);
        const QImage after = Grab(kept);

        TChart fresh;
        ConfigureRateChart(fresh);
        fresh.resize(600, 529);
        FillRates(fresh);
        c.change(fresh);
        EXPECT_NE(after, before) << c.what << ": nothing to see";
        EXPECT_EQ(after, Grab(fresh)) << c.what;
    }
}

// How many columns of `area` have their topmost or bottommost pixel of `color` more than a
// pixel apart in the two images.
int ColumnsApart(const QImage& a, const QImage& b, const QRect& area, const QColor& color) {
    auto extent = [&](const QImage& image, int x) {
        std::pair<int, int> e{-1, -1};
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (image.pixelColor(x, y) == color) e = {e.first < 0 ? y : e.first, y};
        return e;
    };
    int apart = 0;
    for (int x = area.left(); x <= area.right(); ++x) {
        const auto ea = extent(a, x), eb = extent(b, x);
        apart += std::abs(ea.first - eb.first) > 1 || std::abs(ea.second - eb.second) > 1;
    }
    return apart;
}

using ChartLines = test::RateChartFixture;

TEST_F(ChartLines, LookAsDrawnPointByPoint) {
    struct Case {
        const char* what;
        ChartSeries series;
        int seconds;
        bool smooth;     // a moving average rather than the rates themselves
        bool identical;  // else the same column extents, within a pixel
    };
    const Case cases[] = {
        {"rate with pointers, 5 min", ChartSeries::Receiver1Rate, 300, false, true},
        {"two-pixel average, 5 min", ChartSeries::Receiver1Average, 300, true, true},
        {"two-pixel jagged line, 5 min", ChartSeries::Receiver2Average, 300, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        chart.LeftAxis().SetMinMax(0, 500);
        chart.BottomAxis().SetMinMax(1, c.seconds);
        ClearAll();
        const QImage empty = Render();
        TLineSeries& series = Line(c.series);
        std::uint32_t seed = 7;
        double y = 300;
        for (int k = 1; k <= c.seconds; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const double rate = 150 + (seed >> 8) % 300;
            y = c.smooth ? y + (rate - y) / 15 : rate;
            series.AddPoint(k, y);
        }
        const QImage drawn = Render();

        // The same points drawn one by one on the empty chart.
        QImage expected = empty;
        QPainter painter(&expected);
        painter.setClipRect(chart.ChartRect());
        const QColor color = series.SeriesColor();
        painter.setPen(LinePenFor(series.LinePen(), color));
        std::vector<QPoint> points;
        for (std::size_t i = 0; i < series.Count(); ++i) {
            points.emplace_back(std::lround(chart.BottomAxis().CalcPosValue(series.XValues()[i])),
                                std::lround(chart.LeftAxis().CalcPosValue(series.YValues()[i])));
            if (i > 0 && series.Pointer().Visible) painter.drawLine(points[i - 1], points[i]);
        }
        if (series.Pointer().Visible) {
            for (const QPoint& p : points) painter.fillRect(p.x() - 1, p.y() - 1, 3, 3, color);
        } else {
            painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        }
        painter.end();

        if (c.identical) {
            EXPECT_EQ(drawn, expected);
            continue;
        }
        const QRect plot = test::Inside(chart.ChartRect());
        EXPECT_EQ(ColumnsApart(drawn, expected, plot, color), 0);
        const int want = test::CountColor(expected, plot, color);
        EXPECT_NEAR(test::CountColor(drawn, plot, color), want, want / 10);
    }
}

}  // namespace
}  // namespace quorvex::ui
