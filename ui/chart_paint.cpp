// The drawing of the chart: the layout of one paint and the series lines.

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/chart.h"

namespace quorvex::ui {

namespace {

constexpr int kMarginLeft = 6;
constexpr int kMarginTop = 4;
constexpr int kMarginRight = 10;
constexpr int kMarginBottom = 4;

// Positions beyond this are not drawn: the window system's coordinates are 16-bit.
constexpr double kPixelLimit = 32766;

bool PixelOf(const AxisMapping& h, const AxisMapping& v, double x, double y, QPoint& out) {
    const double px = h.Pixel(x);
    const double py = v.Pixel(y);
    if (!(px >= -kPixelLimit && px <= kPixelLimit && py >= -kPixelLimit && py <= kPixelLimit))
        return false;
    out = QPoint(static_cast<int>(std::floor(px + 0.5)), static_cast<int>(std::floor(py + 0.5)));
    return true;
}

void DrawPointer(QPainter& painter, const TSeriesPointer& pointer, QPoint at, const QColor& color) {
    const QRect square(at.x() - pointer.HorizSize, at.y() - pointer.VertSize,
                       2 * pointer.HorizSize + 1, 2 * pointer.VertSize + 1);
    painter.fillRect(square, PointerOutline(pointer, color));
    if (square.width() > 2 && square.height() > 2)
        painter.fillRect(square.adjusted(1, 1, -1, -1), PointerFill(pointer, color));
}

}  // namespace

void TChart::Draw(QPainter& painter, const QRect& bounds) {
    repaintPending_ = false;
    const QLocale locale = LabelLocale();

    // Background, then title and legend, which take their room from the top.
    painter.fillRect(bounds, color_);
    const QRect area = bounds.adjusted(kMarginLeft, kMarginTop, -kMarginRight, -kMarginBottom);
    int top = area.top();
    top += title_.Draw(painter, QRect(area.left(), top, area.width(), area.height()));
    top += legend_.Place(QRect(bounds.left(), top, bounds.width(), area.bottom() - top), series_);
    legend_.Draw(painter);

    // Axis ranges and the plot rectangle.
    leftAxis_.AdjustMaxMin(series_);
    bottomAxis_.AdjustMaxMin(series_);
    const int labelHeight = QFontMetrics(leftAxis_.LabelsFont()).height();
    const int plotLeft = area.left() + leftAxis_.MarginSize(locale);
    const int plotRight = area.right() - bottomAxis_.EndOverhang(locale);
    const int plotTop = top + labelHeight / 2;
    const int plotBottom = area.bottom() - bottomAxis_.MarginSize(locale);
    chartRect_ = QRect(QPoint(plotLeft, plotTop),
                       QPoint(std::max(plotLeft, plotRight), std::max(plotTop, plotBottom)));
    leftAxis_.SetPlot(chartRect_, locale);
    bottomAxis_.SetPlot(chartRect_, locale);

    // The back wall, the axes with grid, ticks, labels and titles.
    painter.fillRect(chartRect_, backWallColor_);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(chartRect_.adjusted(0, 0, -1, -1));
    leftAxis_.DrawGrid(painter);
    bottomAxis_.DrawGrid(painter);
    leftAxis_.DrawAxis(painter, locale);
    bottomAxis_.DrawAxis(painter, locale);

    // The series in list order, so a later one covers an earlier one.
    painter.save();
    painter.setClipRect(chartRect_);
    for (const auto& s : series_)
        if (s->Active()) DrawSeries(painter, *s);
    painter.restore();
}

void TChart::DrawSeries(QPainter& painter, const TLineSeries& series) {
    const std::size_t n = series.Count();
    if (n == 0) return;
    const double* xs = series.XValues().Data();
    const double* ys = series.YValues().Data();

    // Only the points from the first at or right of the left edge up to the first at or
    // beyond the right edge; the first of them is joined to the point before it.
    const std::size_t first =
        static_cast<std::size_t>(std::lower_bound(xs, xs + n, bottomAxis_.IMinimum()) - xs);
    if (first == n) return;
    std::size_t last =
        static_cast<std::size_t>(std::lower_bound(xs + first, xs + n, bottomAxis_.IMaximum()) - xs);
    if (last == n) last = n - 1;
    const std::size_t from = first > 0 ? first - 1 : first;

    const AxisMapping h = bottomAxis_.Mapping();
    const AxisMapping v = leftAxis_.Mapping();
    const TChartPen& linePen = series.LinePen();
    const TSeriesPointer& pointer = series.Pointer();

    if (pointer.Visible) {
        // Line by line, each followed by the pointers at its ends, so pointers lie on top.
        QColor penColor;
        bool havePrevious = false;
        QPoint previous;
        QColor previousColor;
        for (std::size_t i = from; i <= last; ++i) {
            QPoint p;
            if (!PixelOf(h, v, xs[i], ys[i], p)) continue;
            const QColor color = series.ValueColor(i);
            if (havePrevious) {
                if (color != penColor) {
                    painter.setPen(LinePenFor(linePen, color));
                    penColor = color;
                }
                painter.drawLine(previous, p);
                DrawPointer(painter, pointer, previous, previousColor);
            }
            DrawPointer(painter, pointer, p, color);
            previous = p;
            previousColor = color;
            havePrevious = true;
        }
        return;
    }

    // Without pointers the lines of equal colour go out as one polyline, which keeps a dotted
    // pattern running from one line into the next.
    points_.clear();
    QColor runColor;
    auto flush = [&] {
        if (points_.size() >= 2) {
            painter.setPen(LinePenFor(linePen, runColor));
            painter.drawPolyline(points_.data(), static_cast<int>(points_.size()));
        }
    };
    for (std::size_t i = from; i <= last; ++i) {
        QPoint p;
        if (!PixelOf(h, v, xs[i], ys[i], p)) continue;
        const QColor color = series.ValueColor(i);
        if (!points_.empty() && color != runColor) {
            // The line to a point takes that point's colour.
            flush();
            const QPoint joint = points_.back();
            points_.clear();
            points_.push_back(joint);
        }
        runColor = color;
        points_.push_back(p);
    }
    flush();
}

}  // namespace quorvex::ui
