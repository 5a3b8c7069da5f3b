// What the rate chart shows, read from its pixels: empty and all-zero refills, the colour of
// the feed's line, the bands of crowded rates, and the mouse (wheel and right-button pan).

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "chart_test_support.h"

namespace quorvex::ui {
namespace {

using namespace quorvex::app;

using test::CountColor;
using test::CountRow;
using test::Inside;

const QStringList kLegendTitles = {"Left",      "Right",  "Left AVG",
                                   "Right AVG", "P30003", "P30003 AVG"};

using Chart1Render = test::RateChartFixture;

TEST_F(Chart1Render, EmptyChartDrawsNoLineButListsSixTitles) {
    const QImage image = Render();
    const QRect plot = Inside(chart.ChartRect());
    ASSERT_GT(plot.width(), 400);
    ASSERT_GT(plot.height(), 300);
    EXPECT_EQ(chart.LeftAxis().IMinimum(), 0);
    EXPECT_EQ(chart.LeftAxis().IMaximum(), 0);
    EXPECT_EQ(chart.BottomAxis().IMinimum(), 0);
    EXPECT_EQ(chart.BottomAxis().IMaximum(), 0);
    for (const QColor& c : {clRed, clGreen, clBlue}) EXPECT_EQ(CountColor(image, plot, c), 0);
    EXPECT_GT(CountColor(image, plot, clSkyBlue), plot.width() * plot.height() * 9 / 10);
    EXPECT_EQ(image.pixelColor(2, image.height() - 2), clCream);

    EXPECT_EQ(chart.Legend().Texts(), kLegendTitles);
    const QRect legend = chart.Legend().Rect();
    EXPECT_LT(legend.bottom(), chart.ChartRect().top());
    for (const QColor& c : {clRed, clGreen, clBlue}) EXPECT_GT(CountColor(image, legend, c), 0);
}

TEST_F(Chart1Render, AllZeroValuesLieAtTheVerticalMiddle) {
    for (int k = 1; k <= 30; ++k)
        for (int s = 0; s < int(kShortWindowSeriesCount); ++s) chart.SeriesAt(s).AddPoint(k, 0);
    const QImage image = Render();
    EXPECT_EQ(chart.LeftAxis().IMaximum(), 0);
    EXPECT_EQ(chart.BottomAxis().IMinimum(), 1);
    EXPECT_EQ(chart.BottomAxis().IMaximum(), 30);

    const QRect plot = Inside(chart.ChartRect());
    const int middle = chart.ChartRect().center().y();
    int onMiddle = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        const int coloured = CountRow(image, plot, y, clRed) + CountRow(image, plot, y, clGreen) +
                             CountRow(image, plot, y, clBlue);
        if (std::abs(y - middle) <= 2) {
            onMiddle += coloured;
        } else {
            EXPECT_EQ(coloured, 0) << "row " << y << ", middle " << middle;
        }
    }
    // The last series drawn, the feed's average, covers the others along the whole width.
    EXPECT_GT(onMiddle, plot.width());
    EXPECT_GT(CountRow(image, plot, middle, clBlue), plot.width() * 9 / 10);
}

TEST_F(Chart1Render, FeedLineIsBlueWhateverItsPenStores) {
    TLineSeries& feed = Line(ChartSeries::FeedRate);
    TChartPen pen = feed.LinePen();
    pen.Color = QColor(0xFF, 0x00, 0xFF);
    feed.SetLinePen(pen);
    for (int k = 1; k <= 30; ++k) feed.AddPoint(k, k % 2 ? 10 : 20);
    const QImage image = Render();
    EXPECT_EQ(chart.LeftAxis().IMinimum(), 0);  // the stored minimum, not the smallest Y
    EXPECT_EQ(chart.LeftAxis().IMaximum(), 20);

    EXPECT_EQ(CountColor(image, image.rect(), pen.Color), 0);
    const QRect plot = Inside(chart.ChartRect());
    EXPECT_GT(CountColor(image, plot, clBlue), 300);  // zig-zags between 10 and 20
    EXPECT_EQ(CountColor(image, plot, clRed), 0);
}

// Within two units of each channel: blending may round either way.
bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
           std::abs(qBlue(a) - qBlue(b)) <= 2;
}

// Where seconds crowd the pixel columns, a rate is a light band from its lowest to its highest
// value in each column, and its average a line on top.
TEST_F(Chart1Render, CrowdedRatesAreBandsUnderTheirAverage) {
    struct Case {
        const char* what;
        ChartSeries rate, average;
        int seconds, width;
    };
    const Case cases[] = {
        {"60 min", ChartSeries::Receiver1RateLong, ChartSeries::Receiver1Average, 3600, 600},
        {"30 min", ChartSeries::FeedRateLong, ChartSeries::FeedAverage, 1800, 600},
        {"5 min, narrow", ChartSeries::Receiver2Rate, ChartSeries::Receiver2Average, 300, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearAll();
        chart.resize(c.width, 529);
        chart.LeftAxis().SetMinMax(0, 500);
        chart.BottomAxis().SetMinMax(1, c.seconds);
        TLineSeries& rate = Line(c.rate);
        TLineSeries& average = Line(c.average);
        std::uint32_t seed = 11;
        for (int k = 1; k <= c.seconds; ++k) {
            seed = seed * 1664525u + 1013904223u;
            rate.AddPoint(k, 100 + (seed >> 8) % 300);
            average.AddPoint(k, k % 2 ? 245 : 255);
        }
        const QImage drawn = Render();
        EXPECT_EQ(chart.Legend().Texts(), kLegendTitles);

        // The band's colour over the back wall, which it covers with the grid.
        QImage band(1, 1, QImage::Format_RGB32);
        band.fill(chart.BackWallColor());
        QPainter(&band).fillRect(band.rect(), rate.BandColor());
        const QRect plot = Inside(chart.ChartRect());
        const auto pixel = [](TChartAxis& axis, double value) {
            return static_cast<int>(std::lround(axis.CalcPosValue(value)));
        };
        // The average zig-zags by ten around 250: crowded, its line runs through the columns'
        // means, within a few pixels of 250.
        const int averageRow = pixel(chart.LeftAxis(), 250);
        constexpr int kNearAverage = 4;
        int columns = 0, spanned = 0, off = 0;
        for (std::size_t i = 0; i < rate.Count();) {
            const int x = pixel(chart.BottomAxis(), rate.XValues()[i]);
            int top = plot.bottom(), bottom = plot.top();
            for (; i < rate.Count() && pixel(chart.BottomAxis(), rate.XValues()[i]) == x; ++i) {
                top = std::min(top, pixel(chart.LeftAxis(), rate.YValues()[i]));
                bottom = std::max(bottom, pixel(chart.LeftAxis(), rate.YValues()[i]));
            }
            if (x <= plot.left() || x >= plot.right()) continue;
            ++columns;
            for (int y = top; y <= bottom; ++y) {
                if (std::abs(y - averageRow) <= kNearAverage) continue;
                ++spanned;
                off += !Near(drawn.pixel(x, y), band.pixel(0, 0));
            }
        }
        EXPECT_GT(columns, plot.width() * 9 / 10);
        EXPECT_GT(spanned, columns * 20);
        EXPECT_EQ(off, 0) << "of " << spanned << " pixels between a column's lowest and highest";
        EXPECT_GT(CountRow(drawn, plot, averageRow, average.SeriesColor()), plot.width() * 9 / 10);
        const int nearAverage = CountColor(
            drawn,
            QRect(plot.left(), averageRow - kNearAverage, plot.width(), 2 * kNearAverage + 1),
            average.SeriesColor());
        EXPECT_EQ(CountColor(drawn, plot, average.SeriesColor()), nearAverage);
    }
}

// Where two bands overlap, the later series' band lies over the earlier one's.
TEST_F(Chart1Render, OverlappingBandsBlendInSeriesOrder) {
    chart.LeftAxis().SetMinMax(0, 500);
    TLineSeries& left = Line(ChartSeries::Receiver1RateLong);
    TLineSeries& feed = Line(ChartSeries::FeedRateLong);
    for (int k = 1; k <= 3600; ++k) {
        left.AddPoint(k, k % 2 ? 100 : 300);
        feed.AddPoint(k, k % 2 ? 200 : 400);
    }
    const QImage drawn = Render();
    const QRect plot = Inside(chart.ChartRect());

    struct Case {
        double value;
        std::vector<const TLineSeries*> bands;  // from the bottom up
    };
    const Case cases[] = {{150, {&left}}, {250, {&left, &feed}}, {350, {&feed}}};
    for (const Case& c : cases) {
        QImage expected(1, 1, QImage::Format_RGB32);
        expected.fill(chart.BackWallColor());
        QPainter painter(&expected);
        for (const TLineSeries* band : c.bands)
            painter.fillRect(expected.rect(), band->BandColor());
        painter.end();
        const int y = static_cast<int>(std::lround(chart.LeftAxis().CalcPosValue(c.value)));
        int off = 0;
        for (int x = plot.left() + 1; x < plot.right(); ++x)
            off += !Near(drawn.pixel(x, y), expected.pixel(0, 0));
        EXPECT_EQ(off, 0) << "at " << c.value;
    }
}

TEST_F(Chart1Render, PointsOutsideTheDrawableRangeAreSkipped) {
    chart.LeftAxis().SetMinMax(0, 10);
    TLineSeries& average = Line(ChartSeries::Receiver1Average);  // solid red, no pointer
    average.AddPoint(1, 5);
    average.AddPoint(2, 1e9);  // far beyond any pixel position
    average.AddPoint(3, 5);
    const QImage image = Render();
    const QRect plot = Inside(chart.ChartRect());
    const int y = static_cast<int>(std::lround(chart.LeftAxis().CalcPosValue(5)));
    EXPECT_GT(CountRow(image, plot, y, clRed), plot.width() * 9 / 10);
    EXPECT_EQ(
        CountColor(image, QRect(plot.left(), plot.top(), plot.width(), y - 3 - plot.top()), clRed),
        0);
}

void Wheel(TChart& chart, int delta) {
    const QPointF at = QRectF(chart.ChartRect()).center();
    QWheelEvent event(at, chart.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &event);
}

TEST_F(Chart1Render, WheelChangesNothingWhenHandled) {
    for (int k = 1; k <= 30; ++k) chart.SeriesAt(0).AddPoint(k, k);
    const QImage before = Render();
    int calls = 0;
    int seenDelta = 0;
    chart.OnMouseWheel = [&](TChart&, Qt::KeyboardModifiers, int delta, QPoint, bool& handled) {
        ++calls;
        seenDelta = delta;
        handled = true;
    };
    Wheel(chart, -120);
    Wheel(chart, 240);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(seenDelta, 240);
    EXPECT_TRUE(chart.LeftAxis().AutomaticMaximum());
    EXPECT_EQ(Render(), before);

    // Unhandled, a notch down scrolls the vertical axis 3 % of its range towards higher values.
    chart.OnMouseWheel = nullptr;
    Wheel(chart, -120);
    EXPECT_FALSE(chart.LeftAxis().AutomaticMaximum());
    EXPECT_NEAR(chart.LeftAxis().Minimum(), 0.9, 1e-9);
    EXPECT_NEAR(chart.LeftAxis().Maximum(), 30.9, 1e-9);
    EXPECT_EQ(chart.BottomAxis().Automatic(), true);
}

void Mouse(TChart& chart, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(chart.mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&chart, &event);
}

TEST_F(Chart1Render, RightDragPansAndEndsAutomaticScaling) {
    for (int k = 1; k <= 30; ++k) chart.SeriesAt(2).AddPoint(k, k);
    Render();
    const QPoint from = chart.ChartRect().center();
    const QPoint to = from + QPoint(-60, 40);
    // The data follows the pointer: each axis moves by the value under the start less the
    // value under the end.
    const double xShift =
        chart.BottomAxis().CalcPosPoint(from.x()) - chart.BottomAxis().CalcPosPoint(to.x());
    const double yShift =
        chart.LeftAxis().CalcPosPoint(from.y()) - chart.LeftAxis().CalcPosPoint(to.y());
    ASSERT_GT(xShift, 1);
    ASSERT_GT(yShift, 1);

    Mouse(chart, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    Mouse(chart, QEvent::MouseMove, from + QPoint(-30, 15), Qt::NoButton, Qt::RightButton);
    Mouse(chart, QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    Mouse(chart, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    // A move after the release pans no more.
    Mouse(chart, QEvent::MouseMove, to + QPoint(50, 50), Qt::NoButton, Qt::NoButton);

    for (TChartAxis* axis : {&chart.LeftAxis(), &chart.BottomAxis()}) {
        EXPECT_FALSE(axis->Automatic());
        EXPECT_FALSE(axis->AutomaticMinimum());
        EXPECT_FALSE(axis->AutomaticMaximum());
    }
    Render();
    const double left = chart.BottomAxis().IMinimum(), right = chart.BottomAxis().IMaximum();
    const double low = chart.LeftAxis().IMinimum(), high = chart.LeftAxis().IMaximum();
    EXPECT_NEAR(left, 1 + xShift, 1e-9);
    EXPECT_NEAR(right, 30 + xShift, 1e-9);
    EXPECT_NEAR(low, 0 + yShift, 1e-9);
    EXPECT_NEAR(high, 30 + yShift, 1e-9);

    // Later refills keep the range the drag gave.
    ClearAll();
    for (int k = 1; k <= 300; ++k) chart.SeriesAt(2).AddPoint(k, 10 * k);
    Render();
    EXPECT_EQ(chart.BottomAxis().IMinimum(), left);
    EXPECT_EQ(chart.BottomAxis().IMaximum(), right);
    EXPECT_EQ(chart.LeftAxis().IMinimum(), low);
    EXPECT_EQ(chart.LeftAxis().IMaximum(), high);
}

TEST_F(Chart1Render, LeftDragDoesNotPan) {
    for (int k = 1; k <= 30; ++k) chart.SeriesAt(2).AddPoint(k, k);
    const QImage before = Render();
    const QPoint from = chart.ChartRect().center();
    Mouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseMove, from + QPoint(80, 40), Qt::NoButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseButtonRelease, from + QPoint(80, 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(chart.BottomAxis().Automatic());
    EXPECT_EQ(Render(), before);
}

}  // namespace
}  // namespace quorvex::ui
