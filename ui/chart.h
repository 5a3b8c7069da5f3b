#pragma once
// TChart: a two-dimensional line chart drawn with QPainter. It holds a list of line series
// plotted against a left and a bottom axis, a title and a legend above the plot, and pans its
// axes with a right-button drag.
//
// Threads: the user-interface thread only. Adding and clearing points never draws; every
// change asks for a repaint through Invalidate, and the requests of one refill are coalesced
// into a single paint when the event loop next runs.

#include <QColor>
#include <QLocale>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/chart_axis.h"
#include "ui/chart_legend.h"
#include "ui/chart_title.h"
#include "ui/line_series.h"

class QPainter;

namespace quorvex::ui {

enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

class TChart : public QWidget {
  public:
    // Raised when the wheel turns over the chart, before the chart acts on it: the modifier
    // keys, the wheel delta (120 per notch, positive away from the user), the pointer's
    // screen position, and a flag the handler sets to keep the chart from acting.
    using TMouseWheelEvent = std::function<void(TChart& sender, Qt::KeyboardModifiers shift,
                                                int wheelDelta, QPoint mousePos, bool& handled)>;

    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    // The series list; a new series joins at the end and the order never changes.
    TLineSeries& AddSeries(const QString& name);
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    TLineSeries& SeriesAt(int i) { return *series_.at(static_cast<std::size_t>(i)); }
    const TLineSeries& SeriesAt(int i) const { return *series_.at(static_cast<std::size_t>(i)); }

    TChartTitle& Title() { return title_; }
    TChartAxis& LeftAxis() { return leftAxis_; }
    TChartAxis& BottomAxis() { return bottomAxis_; }
    TChartLegend& Legend() { return legend_; }
    const TChartLegend& Legend() const { return legend_; }

    // Display switches. The chart draws in two dimensions and has no zoom by mouse; the
    // switches record that configuration.
    bool View3D() const { return view3D_; }
    void SetView3D(bool on);
    bool View3DWalls() const { return view3DWalls_; }
    void SetView3DWalls(bool on);
    bool AllowZoom() const { return allowZoom_; }
    void SetAllowZoom(bool on);
    TPanningMode AllowPanning() const { return allowPanning_; }
    void SetAllowPanning(TPanningMode mode);

    QColor Color() const { return color_; }  // the control's background
    void SetColor(const QColor& color);
    QColor BackWallColor() const { return backWallColor_; }  // the plot area's fill
    void SetBackWallColor(const QColor& color);

    // The locale whose separators the axis labels use; the application's default locale
    // unless set.
    QLocale LabelLocale() const { return locale_ ? *locale_ : QLocale(); }
    void SetLabelLocale(const QLocale& locale);

    TMouseWheelEvent OnMouseWheel;

    // Asks for a repaint. Only the first request after a paint reaches the window system;
    // the rest are already covered by it.
    void Invalidate();

    // Draws the whole chart into `painter` over `bounds` (what a paint of the control does).
    void Draw(QPainter& painter, const QRect& bounds);
    // The plot rectangle of the last drawing.
    QRect ChartRect() const { return chartRect_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void DrawSeries(QPainter& painter, const TLineSeries& series);
    bool InPanArea(QPoint p) const;

    std::vector<std::unique_ptr<TLineSeries>> series_;
    TChartTitle title_;
    TChartAxis leftAxis_;
    TChartAxis bottomAxis_;
    TChartLegend legend_;

    bool view3D_ = true;
    bool view3DWalls_ = true;
    bool allowZoom_ = true;
    TPanningMode allowPanning_ = TPanningMode::pmBoth;
    QColor color_ = QColor(0xFF, 0xFF, 0xFF);
    QColor backWallColor_ = QColor(0xC0, 0xC0, 0xC0);
    std::optional<QLocale> locale_;

    bool repaintPending_ = false;
    QRect chartRect_;
    std::vector<QPoint> points_;  // reused by every series drawing

    bool panning_ = false;
    QPoint panFrom_;
    int wheelDelta_ = 0;
};

}  // namespace quorvex::ui
