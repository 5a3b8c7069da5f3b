#pragma once
// A configured rate chart at its page size, rendered offscreen, and pixel counting.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include "app/rate_chart_setup.h"

namespace quorvex::ui::test {

class RateChartFixture : public ::testing::Test {
  protected:
    RateChartFixture() {
        app::ConfigureRateChart(chart);
        chart.resize(600, 529);
    }

    QImage Render() { return chart.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void ClearAll() {
        for (int i = 0; i < chart.SeriesCount(); ++i) chart.SeriesAt(i).ClearPoints();
    }

    TLineSeries& Line(ChartSeries series) { return app::RateChartSeries(chart, series); }

    TChart chart;
};

inline int CountColor(const QImage& image, const QRect& area, const QColor& color) {
    const QRect r = area.intersected(image.rect());
    const QRgb want = color.rgb();
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) == want) ++count;
    return count;
}

inline int CountRow(const QImage& image, const QRect& area, int y, const QColor& color) {
    return CountColor(image, QRect(area.left(), y, area.width(), 1), color);
}

// The plot's inside, without its frame.
inline QRect Inside(const QRect& plot) {
    return plot.adjusted(1, 1, -1, -1);
}

}  // namespace quorvex::ui::test
