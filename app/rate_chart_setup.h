#pragma once
// The rate chart of the "Graph" page: nine line series, the axes, the legend and the title,
// configured on a chart that has no series yet.
//
// User-interface thread only.

#include "ui/chart.h"

namespace quorvex::app {

// Colours of the rate chart.
inline const QColor clCream(0xFF, 0xFB, 0xF0);
inline const QColor clSkyBlue(0xA6, 0xCA, 0xF0);
inline const QColor clRed(0xFF, 0x00, 0x00);
inline const QColor clGreen(0x00, 0x80, 0x00);
inline const QColor clBlue(0x00, 0x00, 0xFF);

// Series1..Series9 at positions 0..8: the per-second rates and averages of the left and right
// receivers and the port-30003 feed for windows up to 5 min (0..5, in the legend), and the
// three per-second rates for the 30 and 60 min windows (6..8, not in the legend). Series1 and
// Series5 own the average functions TeeFunction1 and TeeFunction2 (period 0, no source).
void ConfigureRateChart(ui::TChart& chart);

}  // namespace quorvex::app
