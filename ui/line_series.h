#pragma once
// A line series of the chart: its points (X in ascending order, Y following X, a colour and a
// label per point), its line pen, pointer and legend settings.
//
// User-interface thread only. Adding and clearing points never draws; each change asks the
// chart for one coalesced repaint, and a change of how the series looks (title, colour, pen,
// pointer, legend, active) also tells the chart that its cached layers are stale.

#include <QColor>
#include <QPen>
#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

#include "ui/tee_function.h"
#include "ui/value_list.h"

namespace quorvex::ui {

class TChart;

enum class TPenStyle { psSolid, psDot };

struct TChartPen {
    QColor Color = Qt::black;
    TPenStyle Style = TPenStyle::psSolid;
    int Width = 1;
    // A one-pixel cosmetic pen that sets every other pixel, whatever Style and Width say.
    bool SmallDots = false;
    bool operator==(const TChartPen&) const = default;
};

enum class TSeriesPointerStyle { psRectangle };

struct TSeriesPointer {
    bool Visible = false;
    TSeriesPointerStyle Style = TSeriesPointerStyle::psRectangle;
    int HorizSize = 4;  // half-sizes in pixels: a square of 2 * size + 1
    int VertSize = 4;
    QColor OutlineColor;  // invalid: the point's colour
    QColor Color;         // fill; invalid: the point's colour
    bool operator==(const TSeriesPointer&) const = default;
};

// The pen a line of `pen`'s style is drawn with in `color` (a line takes its points' colour).
QPen LinePenFor(const TChartPen& pen, const QColor& color);

// The outline and fill a pointer is drawn with at a point of colour `pointColor`.
inline QColor PointerOutline(const TSeriesPointer& p, const QColor& pointColor) {
    return p.OutlineColor.isValid() ? p.OutlineColor : pointColor;
}
inline QColor PointerFill(const TSeriesPointer& p, const QColor& pointColor) {
    return p.Color.isValid() ? p.Color : pointColor;
}

class TLineSeries {
  public:
    TLineSeries(TChart* parent, const QString& name);
    ~TLineSeries();
    TLineSeries(const TLineSeries&) = delete;
    TLineSeries& operator=(const TLineSeries&) = delete;

    TChart* ParentChart() const { return parent_; }
    QString Name() const { return name_; }

    QString Title() const { return title_; }
    void SetTitle(const QString& title);
    QColor SeriesColor() const { return seriesColor_; }
    void SetSeriesColor(const QColor& color);
    bool ShowInLegend() const { return showInLegend_; }
    void SetShowInLegend(bool show);
    bool Active() const { return active_; }
    void SetActive(bool active);
    bool MarksVisible() const { return false; }  // value labels at the points: always off

    // The colour stored in the line pen is not used: a line takes the colour of its points.
    const TChartPen& LinePen() const { return linePen_; }
    void SetLinePen(const TChartPen& pen);
    const TSeriesPointer& Pointer() const { return pointer_; }
    void SetPointer(const TSeriesPointer& pointer);
    // Where the series has more points than the plot has pixel columns, a valid band colour
    // draws it as a band of that colour from the lowest to the highest point of each column,
    // under every line of the chart: its alpha blends it over the back wall (covering the
    // grid) and the bands of series before it. Invalid (the default) draws the line there.
    QColor BandColor() const { return bandColor_; }
    void SetBandColor(const QColor& color);

    // The function object this series owns, if any.
    TTeeFunction* FunctionObject() const { return function_.get(); }
    void SetFunctionObject(std::unique_ptr<TTeeFunction> function);

    const TChartValueList& XValues() const { return xValues_; }
    const TChartValueList& YValues() const { return yValues_; }
    std::size_t Count() const { return xValues_.Count(); }
    // The colour of point i as stored: invalid means automatic, the series' colour.
    QColor PointColor(std::size_t i) const { return colors_.empty() ? QColor() : colors_[i]; }
    // The colour point i is drawn in.
    QColor ValueColor(std::size_t i) const {
        return colors_.empty() || !colors_[i].isValid() ? seriesColor_ : colors_[i];
    }
    const QString& Label(std::size_t i) const;
    // True when no point has a colour of its own: every point is drawn in the series' colour.
    bool SingleColor() const { return ownColors_ == 0; }

    // Inserts (x, y) at its place in X order (after any point with an equal X) and returns
    // its index. Appending in order costs amortised constant time.
    std::size_t AddPoint(double x, double y, const QString& label = QString(),
                         const QColor& color = QColor());
    void ClearPoints();
    // Keeps room for n points, so a refill of the same size allocates nothing.
    void Reserve(std::size_t n);

  private:
    void Changed();      // how the series looks
    void DataChanged();  // its points

    TChart* parent_;
    QString name_;
    QString title_;
    QColor seriesColor_ = Qt::red;
    bool showInLegend_ = true;
    bool active_ = true;
    TChartPen linePen_;
    TSeriesPointer pointer_;
    QColor bandColor_;
    std::unique_ptr<TTeeFunction> function_;

    TChartValueList xValues_{true};
    TChartValueList yValues_{false};
    std::vector<QColor> colors_;   // empty while no point has a colour
    std::vector<QString> labels_;  // empty while no point has a label
    std::size_t ownColors_ = 0;    // points whose colour is valid
};

}  // namespace quorvex::ui
