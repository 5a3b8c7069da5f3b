#include "app/rate_chart_setup.h"

#include <iterator>
#include <memory>

#include "ui/chart_font.h"

namespace quorvex::app {

using namespace quorvex::ui;

namespace {

struct SeriesConfig {
    const char* name;
    const char* title;
    QColor color;
    TPenStyle style;
    int width;
    bool smallDots;
    bool pointer;
    bool pointerFill;  // the pointer's fill set to the colour, not left automatic
    bool inLegend;
    bool band;  // a per-second rate: a band where seconds crowd the pixel columns
};

// A rate's band: its colour, light enough that the averages over it and the other sources'
// bands show through.
QColor BandColor(QColor color) {
    color.setAlpha(80);
    return color;
}

TChartPen Pen(const SeriesConfig& c) {
    TChartPen pen;
    pen.Style = c.style;
    pen.Width = c.width;
    pen.SmallDots = c.smallDots;
    return pen;
}

}  // namespace

void ConfigureRateChart(TChart& chart) {
    chart.SetView3D(false);
    chart.SetView3DWalls(false);
    chart.SetAllowZoom(false);
    chart.SetColor(clCream);
    chart.SetBackWallColor(clSkyBlue);

    chart.Title().SetFont(ChartFont(QStringLiteral("Arial")));
    chart.Title().SetFontColor(clBlue);
    chart.Title().Text().SetLines(
        {QStringLiteral("                  Quorvex (DF11/17)"), QStringLiteral(" ")});

    TChartAxis& left = chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetAutomaticMinimum(false);  // the minimum stays at its stored 0
    left.SetAutomaticMaximum(true);
    left.SetTitleCaption(QStringLiteral("Hits/sec DF11/17"));
    left.SetTitleAngle(90);
    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetAutomatic(true);
    bottom.SetTitleCaption(QStringLiteral("secs"));
    bottom.SetAxisValuesFormat(QStringLiteral("#0"));

    TChartLegend& legend = chart.Legend();
    legend.SetVisible(true);
    legend.SetColor(Qt::white);
    legend.SetFrameVisible(true);
    legend.SetDividingLines(true);
    legend.SetShadowSize(0);
    legend.SetFont(ChartFont(QStringLiteral("Arial Narrow")));
    legend.SetFontColor(Qt::black);
    legend.SetColorWidth(40);
    legend.SetTopPos(24);
    legend.SetVertMargin(1);
    legend.SetMaxNumRows(10);

    // In ChartSeries order.
    const SeriesConfig table[] = {
        {"Series1", "Left", clRed, TPenStyle::psDot, 1, false, true, false, true, true},
        {"Series2", "Right", clGreen, TPenStyle::psDot, 1, false, true, false, true, true},
        {"Series3", "Left AVG", clRed, TPenStyle::psSolid, 2, false, false, false, true, false},
        {"Series4", "Right AVG", clGreen, TPenStyle::psSolid, 2, false, false, false, true, false},
        {"Series5", "P30003", clBlue, TPenStyle::psDot, 1, false, true, true, true, true},
        {"Series6", "P30003 AVG", clBlue, TPenStyle::psSolid, 2, false, false, false, true, false},
        {"Series7", "Left AVG", clRed, TPenStyle::psSolid, 1, true, false, false, false, true},
        {"Series8", "Right AVG", clGreen, TPenStyle::psSolid, 1, true, false, false, false, true},
        {"Series9", "P30003 AVG", clBlue, TPenStyle::psSolid, 1, true, false, false, false, true},
    };
    static_assert(std::size(table) == kChartSeriesCount);
    for (const SeriesConfig& c : table) {
        TLineSeries& s = chart.AddSeries(QString::fromLatin1(c.name));
        s.SetTitle(QString::fromLatin1(c.title));
        s.SetSeriesColor(c.color);
        s.SetLinePen(Pen(c));
        TSeriesPointer pointer;
        pointer.Visible = c.pointer;
        pointer.HorizSize = pointer.VertSize = 1;
        pointer.OutlineColor = c.color;
        if (c.pointerFill) pointer.Color = c.color;
        s.SetPointer(pointer);
        s.SetShowInLegend(c.inLegend);
        if (c.band) s.SetBandColor(BandColor(c.color));
    }

    TLineSeries& receiver1Rate = RateChartSeries(chart, ChartSeries::Receiver1Rate);
    auto function1 = std::make_unique<TAverageTeeFunction>(&receiver1Rate);
    function1->SetName(QStringLiteral("TeeFunction1"));
    receiver1Rate.SetFunctionObject(std::move(function1));
    TLineSeries& feedRate = RateChartSeries(chart, ChartSeries::FeedRate);
    auto function2 = std::make_unique<TAverageTeeFunction>(&feedRate);
    function2->SetName(QStringLiteral("TeeFunction2"));
    feedRate.SetFunctionObject(std::move(function2));
}

}  // namespace quorvex::app
