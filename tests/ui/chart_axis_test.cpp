// The label step of an axis and the texts of its labels.

#include <gtest/gtest.h>

#include <QLocale>

#include "app/rate_chart_setup.h"
#include "ui/number_format.h"

namespace quorvex::ui {
namespace {

TEST(AxisLabelStep, TakesTheFirstOfOneTwoFiveThatFits) {
    EXPECT_EQ(AxisLabelStep(100, 100), 1);
    EXPECT_EQ(AxisLabelStep(100, 99), 2);
    EXPECT_EQ(AxisLabelStep(100, 20), 5);
    EXPECT_EQ(AxisLabelStep(100, 19), 10);
    EXPECT_EQ(AxisLabelStep(100, 5), 20);
    EXPECT_EQ(AxisLabelStep(100, 2), 50);
    EXPECT_EQ(AxisLabelStep(100, 1), 100);
    EXPECT_EQ(AxisLabelStep(3599, 11), 500);
    EXPECT_EQ(AxisLabelStep(25, 12), 5);  // 25 / 2 = 12.5 rounds to 13, one too many
    EXPECT_EQ(AxisLabelStep(24, 12), 2);
    // Below 1 the sequence starts at 1e-12 and runs through every decade.
    EXPECT_DOUBLE_EQ(AxisLabelStep(0.5, 5), 0.1);
    EXPECT_DOUBLE_EQ(AxisLabelStep(0.5, 10), 0.05);
    EXPECT_DOUBLE_EQ(AxisLabelStep(0.5, 4), 0.2);
    EXPECT_DOUBLE_EQ(AxisLabelStep(0, 10), 1e-12);
}

TEST(AxisLabelStep, LabelsThatFitCountTheSeparation) {
    EXPECT_EQ(AxisLabelsThatFit(400, 13, 10), 29);  // 13 + 1 pixels a label: 28.6 rounds up
    EXPECT_EQ(AxisLabelsThatFit(100, 25, 10), 4);   // the 2.5-pixel share rounds to 3
    EXPECT_EQ(AxisLabelsThatFit(100, 25, 0), 4);
    EXPECT_EQ(AxisLabelsThatFit(110, 25, 0), 4);
    EXPECT_EQ(AxisLabelsThatFit(120, 25, 0), 5);
}

TEST(AxisLabelText, PicturesWithTheLocaleSeparators) {
    const QLocale c = QLocale::c();
    const QLocale german(QLocale::German, QLocale::Germany);
    const QString whole = QStringLiteral("#0");
    const QString grouped = QStringLiteral("#,##0.###");

    EXPECT_EQ(FormatFloat(whole, 1234.4, c), "1234");
    EXPECT_EQ(FormatFloat(whole, 1234.4, german), "1234");  // no separators at all
    EXPECT_EQ(FormatFloat(whole, 2.5, c), "3");             // half away from zero
    EXPECT_EQ(FormatFloat(whole, -2.5, c), "-3");
    EXPECT_EQ(FormatFloat(whole, 0.2, c), "0");

    EXPECT_EQ(FormatFloat(grouped, 1234567.891, c), "1,234,567.891");
    EXPECT_EQ(FormatFloat(grouped, 1234567.891, german), "1.234.567,891");
    EXPECT_EQ(FormatFloat(grouped, 0.5, german), "0,5");
    EXPECT_EQ(FormatFloat(grouped, 1.23456, c), "1.235");
    EXPECT_EQ(FormatFloat(grouped, 1.2, c), "1.2");  // trailing zeros dropped
    EXPECT_EQ(FormatFloat(grouped, 2, c), "2");
    EXPECT_EQ(FormatFloat(grouped, 999.9996, c), "1,000");
    EXPECT_EQ(FormatFloat(grouped, -1234.5, german), "-1.234,5");
    EXPECT_EQ(FormatFloat(grouped, -0.0001, c), "0");  // no negative zero
    EXPECT_EQ(FormatFloat(grouped, 0, c), "0");
}

TEST(AxisLabelText, Chart1AxesUseTheirFormats) {
    TChart chart;
    app::ConfigureRateChart(chart);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(chart.BottomAxis().LabelText(3600, german), "3600");
    EXPECT_EQ(chart.LeftAxis().LabelText(1500.25, german), "1.500,25");
}

}  // namespace
}  // namespace quorvex::ui
