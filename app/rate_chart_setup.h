#pragma once
// The rate chart of the "Graph" page: nine line series, the axes, the legend and the title,
// configured on a chart that has no series yet.
//
// User-interface thread only.

#include "core/run/chart_series.h"
#include "ui/chart.h"

namespace quorvex::app {

// Colours of the rate chart.
inline const QColor clCream(0xFF, 0xFB, 0xF0);
inline const QColor clSkyBlue(0xA6, 0xCA, 0xF0);
inline const QColor clRed(0xFF, 0x00, 0x00);
inline const QColor clGreen(0x00, 0x80, 0x00);
inline const QColor clBlue(0x00, 0x00, 0xFF);

// Series1..Series9 in ChartSeries order: the per-second rates of the left and right receivers
// and the port-30003 feed for windows up to 5 min and their averages for every window (in the
// legend), and the three per-second rates for the 30 and 60 min windows (not in the legend).
// Where their seconds crowd the pixel columns, the six rates are drawn as light bands under
// the averages. Series1 and Series5 (the left receiver's and the feed's rates) own the average
// functions TeeFunction1 and TeeFunction2 (period 0, no source).
void ConfigureRateChart(ui::TChart& chart);

// The configured chart's line of `series`.
inline ui::TLineSeries& RateChartSeries(ui::TChart& chart, ChartSeries series) {
    return chart.SeriesAt(static_cast<int>(Index(series)));
}

}  // namespace quorvex::app
