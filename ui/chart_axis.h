#pragma once
// An axis of the chart: whether it follows the data (the automatic flags) or keeps a stored
// range, the range of the current paint, the mapping between values and pixels, the label
// step and texts, and the drawing of its grid, ticks, labels and title.
//
// User-interface thread only.

#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QRect>
#include <QString>
#include <QTransform>

#include <memory>
#include <vector>

#include "ui/line_series.h"

class QPainter;

namespace quorvex::ui {

class TChart;

// The label step for values spanning `range` when `fit` labels fit on the axis: the first of
// 1, 2, 5, 10, 20, 50, ... (from 1e-12, 2e-12, ... when the range is below 1) whose count of
// labels, range / step rounded, does not exceed `fit`.
double AxisLabelStep(double range, int fit);

// How many labels of `labelSize` pixels fit on `length` pixels when `separationPercent` of a
// label's size separates two of them.
int AxisLabelsThatFit(int length, int labelSize, int separationPercent);

// Value to pixel on one axis, for one paint.
struct AxisMapping {
    double minimum = 0;
    double start = 0;   // pixel of the minimum (left or bottom end)
    double scale = 0;   // pixels per unit, negative for a vertical axis
    bool flat = false;  // minimum equals maximum: every value at the middle
    double middle = 0;

    double Pixel(double value) const { return flat ? middle : start + (value - minimum) * scale; }
};

class TChartAxis {
  public:
    TChartAxis(TChart* parent, bool horizontal);

    bool Horizontal() const { return horizontal_; }

    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool value);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool value);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool value);
    // The stored range, used where the automatic flags leave a bound to it.
    double Minimum() const { return minimum_; }
    void SetMinimum(double value);
    double Maximum() const { return maximum_; }
    void SetMaximum(double value);
    // Stores both bounds and switches the three automatic flags off.
    void SetMinMax(double minimum, double maximum);

    QString TitleCaption() const { return titleCaption_; }
    void SetTitleCaption(const QString& caption);
    int TitleAngle() const { return titleAngle_; }
    void SetTitleAngle(int degrees);
    QString AxisValuesFormat() const { return valuesFormat_; }
    void SetAxisValuesFormat(const QString& format);

    int LabelsSeparation() const { return labelsSeparation_; }  // percent of a label's size
    int TickLength() const { return tickLength_; }
    int MinorTickLength() const { return minorTickLength_; }
    int MinorTickCount() const { return minorTickCount_; }
    bool GridVisible() const { return gridVisible_; }
    bool Logarithmic() const { return false; }
    bool Inverted() const { return false; }

    QFont LabelsFont() const { return labelsFont_; }
    QFont TitleFont() const { return titleFont_; }

    // --- the current paint ---

    // The range of this paint: a bound the automatic flags leave free is the smallest or
    // largest value of the axis's direction over the active series that hold points (0 when
    // none does); otherwise the stored bound.
    void AdjustMaxMin(const std::vector<std::unique_ptr<TLineSeries>>& series);
    double IMinimum() const { return iMinimum_; }
    double IMaximum() const { return iMaximum_; }

    // The label text of `value`.
    QString LabelText(double value, const QLocale& locale) const;
    // Chooses the label step for a plot `length` pixels long along the axis (its width or
    // height less one) and the labels of the current range.
    void SetLength(int length, const QLocale& locale);
    // Room the labels, ticks and title take beside the plot (width for a vertical axis,
    // height for a horizontal one). A vertical axis makes room for the widest of the labels
    // chosen by the last SetLength, wherever on the axis it lies.
    int MarginSize(const QLocale& locale) const;
    // Half the width of the widest end label: what a horizontal axis needs beyond its end.
    int EndOverhang(const QLocale& locale) const;

    // Places the axis along `plot` and chooses its label step and labels.
    void SetPlot(const QRect& plot, const QLocale& locale);
    double LabelStep() const { return labelStep_; }
    AxisMapping Mapping() const;
    double CalcPosValue(double value) const { return Mapping().Pixel(value); }
    double CalcPosPoint(int pixel) const;
    // The strip beside the plot that belongs to the axis (labels and ticks).
    QRect AxisRect() const { return axisRect_; }
    // Where the label texts and the title text go, as placed by the last SetPlot (the title's
    // rectangle is empty without a caption).
    QRect LabelsRect() const { return labelsRect_; }
    QRect TitleRect() const { return titleRect_; }

    // Moves the range by `offset` (minimum and maximum alike, the range kept at least 1e-10)
    // and switches the automatic flags off for good.
    void Scroll(double offset);

    void DrawGrid(QPainter& painter) const;
    void DrawAxis(QPainter& painter) const;

  private:
    struct Label {
        double value;
        QString text;
        int width;  // pixels, in the labels' font
    };

    void Changed();
    std::vector<double> LabelValues() const;
    void UpdateLabels(const QLocale& locale);
    void PlaceTexts();
    // The box a label's text fills, and the box the title is centred in with the turn that
    // takes it to the axis.
    QRect LabelBox(const Label& label, const AxisMapping& m, const QFontMetrics& fm) const;
    QRect TitleBox(const QFontMetrics& tm, QTransform& transform) const;

    TChart* parent_;
    bool horizontal_;
    bool automatic_ = true;
    bool automaticMinimum_ = true;
    bool automaticMaximum_ = true;
    double minimum_ = 0;
    double maximum_ = 0;
    QString titleCaption_;
    int titleAngle_ = 0;
    QString valuesFormat_ = QStringLiteral("#,##0.###");
    int labelsSeparation_ = 10;
    int tickLength_ = 4;
    int minorTickLength_ = 2;
    int minorTickCount_ = 3;
    bool gridVisible_ = true;
    QFont labelsFont_;
    QFont titleFont_;

    double iMinimum_ = 0;
    double iMaximum_ = 0;
    QRect plot_;
    QRect axisRect_;
    QRect labelsRect_;
    QRect titleRect_;
    double labelStep_ = 1;

    // The labels of the current range and step, kept while neither they nor the locale and
    // format change.
    std::vector<Label> labels_;
    bool labelsValid_ = false;
    double labelsMinimum_ = 0;
    double labelsMaximum_ = 0;
    double labelsStep_ = 0;
    QLocale labelsLocale_;
    QString labelsFormat_;
};

}  // namespace quorvex::ui
