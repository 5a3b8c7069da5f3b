#pragma once
// TChart: a two-dimensional line chart drawn with QPainter. It holds a list of line series
// plotted against a left and a bottom axis, a title and a legend above the plot, and pans its
// axes with a right-button drag.
//
// Threads: the user-interface thread only. Adding and clearing points never draws; every
// change asks for a repaint through Invalidate, and the requests of one refill are coalesced
// into a single paint when the event loop next runs.
//
// Drawing: everything but the series lines (background, title, legend, back wall, grid, axes)
// is kept as a picture and redrawn only when it changes: when the size, the axis ranges, the
// plot rectangle or the label locale differ from the last paint, or after any part reported a
// change of how it looks through InvalidateLayers. A paint of new points thus costs one copy
// of that picture and the lines. Series with a band colour that crowd several points into
// each pixel column are drawn as bands first, so every line lies on top of them; other
// crowded lines go through each column's mean.

#include <QColor>
#include <QLine>
#include <QLocale>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
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
    // Asks for a repaint that also redraws the kept picture: every setter of the chart and of
    // its parts that changes how they look calls it; adding and clearing points does not.
    void InvalidateLayers();

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
    // What the kept picture was drawn from.
    struct BackdropKey {
        QRect bounds;
        qreal pixelRatio = 0;
        quint64 generation = 0;
        double leftMinimum = 0, leftMaximum = 0, bottomMinimum = 0, bottomMaximum = 0;
        QRect plot;
        QLocale locale;
        bool operator==(const BackdropKey&) const = default;
    };

    // The layout of one paint: title, legend, axis ranges, plot rectangle and axes.
    void Layout(const QRect& bounds, const QLocale& locale);
    // Everything but the series, as laid out.
    void DrawBackdrop(QPainter& painter, const QRect& bounds);
    // A series from its drawable points, which DrawSeries puts in points_ (their indices in
    // indices_) for the others: in the first pass those drawn as bands are added to
    // bandSpans_, which DrawBands then draws; in the second pass the rest.
    void DrawSeries(QPainter& painter, const TLineSeries& series, bool bandPass);
    void AddBand(const TLineSeries& series);
    void DrawBands(QPainter& painter);
    void DrawWithPointers(QPainter& painter, const TLineSeries& series);
    // `crowded`: more points than pixel columns, half again; a single-coloured line then goes
    // through each column's mean.
    void DrawPolyline(QPainter& painter, const TLineSeries& series, bool crowded);
    void StrokePolyline(QPainter& painter, const TChartPen& pen, const QColor& color,
                        const std::vector<QPoint>& points);
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
    quint64 generation_ = 1;  // counts the changes of how the chart looks
    QRect chartRect_;
    QRect titleArea_;
    QPixmap backdrop_;
    std::optional<BackdropKey> backdropKey_;
    // Reused by every series drawing.
    std::vector<QPoint> points_;
    std::vector<std::size_t> indices_;
    std::vector<QPoint> run_;
    std::vector<QLine> lines_;
    std::vector<QRect> rects_;
    // Per band, its lowest and highest row in each column of the plot (none: first > second).
    std::vector<std::pair<int, int>> bandSpans_;
    std::vector<QColor> bandColors_;
    struct BandPiece {
        QRgb color;
        QRect rect;
    };
    std::vector<BandPiece> pieces_;

    bool panning_ = false;
    QPoint panFrom_;
    int wheelDelta_ = 0;
};

}  // namespace quorvex::ui
