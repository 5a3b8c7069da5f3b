// The drawing of the chart: the layout of one paint, the kept picture of everything but the
// series, and the series lines. A refill of the long windows puts several points in each pixel
// column, drawn as bands and lines through the columns' means; the two-pixel lines of the
// short windows are drawn with far less work than QPainter would spend on them point by
// point, to the same picture.

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
    // floor(p + 0.5) by truncating a positive number: std::floor is a call for every point.
    constexpr double kShift = kPixelLimit + 2;
    out = QPoint(static_cast<int>(px + (kShift + 0.5)) - static_cast<int>(kShift),
                 static_cast<int>(py + (kShift + 0.5)) - static_cast<int>(kShift));
    return true;
}

QRect PointerRect(const TSeriesPointer& pointer, QPoint at) {
    return QRect(at.x() - pointer.HorizSize, at.y() - pointer.VertSize, 2 * pointer.HorizSize + 1,
                 2 * pointer.VertSize + 1);
}

void DrawPointer(QPainter& painter, const TSeriesPointer& pointer, QPoint at, const QColor& color) {
    const QRect square = PointerRect(pointer, at);
    painter.fillRect(square, PointerOutline(pointer, color));
    if (square.width() > 2 && square.height() > 2)
        painter.fillRect(square.adjusted(1, 1, -1, -1), PointerFill(pointer, color));
}

// Of every run of points in one pixel column keeps the first, the lowest, the highest and the
// last, in their order. A solid line through them covers the pixels of that column that the
// line through all of them covers, and the lines to the neighbouring columns start and end
// where they did; a dotted line keeps its look, though not every dot.
void ThinColumns(std::vector<QPoint>& points) {
    const std::size_t n = points.size();
    std::size_t out = 0;
    for (std::size_t i = 0; i < n;) {
        std::size_t end = i, low = i, high = i;
        for (; end < n && points[end].x() == points[i].x(); ++end) {
            if (points[end].y() < points[low].y()) low = end;
            if (points[end].y() > points[high].y()) high = end;
        }
        const std::size_t keep[4] = {i, std::min(low, high), std::max(low, high), end - 1};
        const QPoint kept[4] = {points[keep[0]], points[keep[1]], points[keep[2]], points[keep[3]]};
        for (int k = 0; k < 4; ++k)
            if (k == 0 || keep[k] != keep[k - 1]) points[out++] = kept[k];
        i = end;
    }
    points.resize(out);
}

// Replaces every run of points in one pixel column by one at their mean height: where many
// seconds share a column, a line through all of them would fill the column from its lowest to
// its highest point and read as a band.
void ColumnMeans(std::vector<QPoint>& points) {
    const std::size_t n = points.size();
    std::size_t out = 0;
    for (std::size_t i = 0; i < n;) {
        std::size_t end = i;
        long long sum = 0;
        for (; end < n && points[end].x() == points[i].x(); ++end) sum += points[end].y();
        const double mean = static_cast<double>(sum) / static_cast<double>(end - i);
        points[out++] = QPoint(points[i].x(), static_cast<int>(std::lround(mean)));
        i = end;
    }
    points.resize(out);
}

// A solid line `width` pixels wide through points one to a column: at each column, the rows
// `width` covers about the point, reaching up or down to the point before.
void ColumnLineRects(const std::vector<QPoint>& points, int width, std::vector<QRect>& out) {
    const int above = width / 2, below = (width + 1) / 2 - 1;
    out.clear();
    for (std::size_t k = 0; k < points.size(); ++k) {
        const int y = points[k].y(), before = k > 0 ? points[k - 1].y() : y;
        const int top = std::min(y, before) - above, bottom = std::max(y, before) + below;
        out.emplace_back(points[k].x(), top, 1, bottom - top + 1);
    }
}

// The pixels a solid line `2 * radius` wide with round ends and joins covers along the
// polyline: those whose centre lies within `radius` of it, row by row, as rectangles (rows
// with the same run of pixels down a steep line form one). This is what QPainter's stroker
// fills for such a pen, at a fraction of its cost, which grows with every sharp turn of a
// jagged line. Only the rows from `top` to `bottom` are wanted.
void WideLineRects(const std::vector<QPoint>& points, double radius, int top, int bottom,
                   std::vector<QRect>& out) {
    out.clear();
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF p0 = points[i - 1], p1 = points[i];
        const double dx = p1.x() - p0.x(), dy = p1.y() - p0.y();
        const double length2 = dx * dx + dy * dy, length = std::sqrt(length2);
        const int first =
            std::max(top, static_cast<int>(std::ceil(std::min(p0.y(), p1.y()) - radius - 0.5)));
        const int last =
            std::min(bottom, static_cast<int>(std::floor(std::max(p0.y(), p1.y()) + radius - 0.5)));
        for (int y = first; y <= last; ++y) {
            const double centre = y + 0.5;
            double low = INFINITY, high = -INFINITY;
            // The round ends.
            for (const QPointF& p : {p0, p1}) {
                const double d = centre - p.y();
                if (std::fabs(d) >= radius) continue;
                const double half = std::sqrt(radius * radius - d * d);
                low = std::min(low, p.x() - half);
                high = std::max(high, p.x() + half);
            }
            // The band along the segment: x = p0.x + u, within `radius` of the line and
            // between the perpendiculars at its ends.
            if (length2 > 0) {
                const double c = centre - p0.y();
                double a = -INFINITY, b = INFINITY;
                auto within = [&](double u1, double u2) {
                    a = std::max(a, std::min(u1, u2));
                    b = std::min(b, std::max(u1, u2));
                };
                if (dy != 0) {
                    within((c * dx - radius * length) / dy, (c * dx + radius * length) / dy);
                } else if (std::fabs(c) > radius) {
                    b = a - 1;
                }
                if (dx != 0) {
                    within(-c * dy / dx, (length2 - c * dy) / dx);
                } else if (c * dy < 0 || c * dy > length2) {
                    b = a - 1;
                }
                if (a <= b) {
                    low = std::min(low, p0.x() + a);
                    high = std::max(high, p0.x() + b);
                }
            }
            if (!(low <= high)) continue;
            const int left = static_cast<int>(std::ceil(low - 0.5));
            const int right = static_cast<int>(std::floor(high - 0.5));
            if (left > right) continue;
            if (!out.empty() && out.back().left() == left && out.back().right() == right &&
                out.back().bottom() == y - 1) {
                out.back().setBottom(y);
            } else {
                out.emplace_back(left, y, right - left + 1, 1);
            }
        }
    }
}

}  // namespace

void TChart::StrokePolyline(QPainter& painter, const TChartPen& pen, const QColor& color,
                            const std::vector<QPoint>& points) {
    if (points.size() < 2) return;
    // A two-pixel solid line on a painter that maps one unit to one pixel is filled from
    // its rectangles; any other line goes to QPainter's stroker.
    if (!pen.SmallDots && pen.Style == TPenStyle::psSolid && pen.Width == 2 &&
        painter.deviceTransform().type() <= QTransform::TxTranslate) {
        WideLineRects(points, pen.Width / 2.0, chartRect_.top(), chartRect_.bottom(), rects_);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRects(rects_.data(), static_cast<int>(rects_.size()));
        painter.setBrush(Qt::NoBrush);
        return;
    }
    painter.setPen(LinePenFor(pen, color));
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
}

void TChart::Draw(QPainter& painter, const QRect& bounds) {
    repaintPending_ = false;
    const QLocale locale = LabelLocale();
    Layout(bounds, locale);

    // The kept picture serves a painter that only moves and scales evenly (a paint of the
    // control, a grab, a high-density screen); any other transform draws afresh.
    const QTransform device = painter.deviceTransform();
    const bool keep = device.type() <= QTransform::TxScale && device.m11() == device.m22() &&
                      device.m11() > 0 && !bounds.isEmpty();
    if (keep) {
        const BackdropKey key{bounds,
                              device.m11(),
                              generation_,
                              leftAxis_.IMinimum(),
                              leftAxis_.IMaximum(),
                              bottomAxis_.IMinimum(),
                              bottomAxis_.IMaximum(),
                              chartRect_,
                              locale};
        if (!backdropKey_ || !(*backdropKey_ == key)) {
            const QSize pixels(static_cast<int>(std::ceil(bounds.width() * key.pixelRatio)),
                               static_cast<int>(std::ceil(bounds.height() * key.pixelRatio)));
            if (backdrop_.size() != pixels) backdrop_ = QPixmap(pixels);
            backdrop_.setDevicePixelRatio(key.pixelRatio);
            if (color_.alpha() != 255) backdrop_.fill(Qt::transparent);
            QPainter layer(&backdrop_);
            layer.translate(-bounds.topLeft());
            DrawBackdrop(layer, bounds);
            backdropKey_ = key;
        }
        painter.drawPixmap(bounds.topLeft(), backdrop_);
    } else {
        DrawBackdrop(painter, bounds);
    }

    // The series in list order, so a later one covers an earlier one; bands under all lines.
    painter.save();
    painter.setClipRect(chartRect_);
    bandColors_.clear();
    bandSpans_.clear();
    for (const auto& s : series_)
        if (s->Active()) DrawSeries(painter, *s, true);
    DrawBands(painter);
    for (const auto& s : series_)
        if (s->Active()) DrawSeries(painter, *s, false);
    painter.restore();
}

void TChart::Layout(const QRect& bounds, const QLocale& locale) {
    // Title and legend take their room from the top.
    const QRect area = bounds.adjusted(kMarginLeft, kMarginTop, -kMarginRight, -kMarginBottom);
    titleArea_ = area;
    int top = area.top() + title_.Height();
    top += legend_.Place(QRect(bounds.left(), top, bounds.width(), area.bottom() - top), series_);

    // Axis ranges and the plot rectangle. The left axis's labels follow from the plot's
    // height alone, and its room from the widest of them.
    leftAxis_.AdjustMaxMin(series_);
    bottomAxis_.AdjustMaxMin(series_);
    const int labelHeight = QFontMetrics(leftAxis_.LabelsFont()).height();
    const int plotTop = top + labelHeight / 2;
    const int plotBottom = std::max(plotTop, area.bottom() - bottomAxis_.MarginSize(locale));
    leftAxis_.SetLength(plotBottom - plotTop, locale);
    const int plotLeft = area.left() + leftAxis_.MarginSize(locale);
    const int plotRight = area.right() - bottomAxis_.EndOverhang(locale);
    chartRect_ =
        QRect(QPoint(plotLeft, plotTop), QPoint(std::max(plotLeft, plotRight), plotBottom));
    leftAxis_.SetPlot(chartRect_, locale);
    bottomAxis_.SetPlot(chartRect_, locale);
}

void TChart::DrawBackdrop(QPainter& painter, const QRect& bounds) {
    painter.fillRect(bounds, color_);
    title_.Draw(painter, titleArea_);
    legend_.Draw(painter);

    // The back wall, the axes with grid, ticks, labels and titles.
    painter.fillRect(chartRect_, backWallColor_);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(chartRect_.adjusted(0, 0, -1, -1));
    leftAxis_.DrawGrid(painter);
    bottomAxis_.DrawGrid(painter);
    leftAxis_.DrawAxis(painter);
    bottomAxis_.DrawAxis(painter);
}

void TChart::DrawSeries(QPainter& painter, const TLineSeries& series, bool bandPass) {
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
    // Half again as many points as columns: below that a line is still read point by point.
    const bool crowded = 2 * (last - from + 1) > 3 * std::size_t(chartRect_.width());
    const bool band = crowded && series.BandColor().isValid();
    if (band != bandPass) return;

    const AxisMapping h = bottomAxis_.Mapping();
    const AxisMapping v = leftAxis_.Mapping();
    points_.clear();
    indices_.clear();
    for (std::size_t i = from; i <= last; ++i) {
        QPoint p;
        if (!PixelOf(h, v, xs[i], ys[i], p)) continue;
        points_.push_back(p);
        indices_.push_back(i);
    }
    if (band) {
        AddBand(series);
    } else if (series.Pointer().Visible) {
        DrawWithPointers(painter, series);
    } else {
        DrawPolyline(painter, series, crowded);
    }
}

void TChart::AddBand(const TLineSeries& series) {
    // Each column from its lowest to its highest point, also reaching the last point of the
    // column before, so the band covers what the line through the points would and has no gaps
    // where the values jump. Bands stay inside the plot's frame.
    const QRect inside = chartRect_.adjusted(1, 1, -1, -1);
    const int left = chartRect_.left(), width = chartRect_.width();
    const std::size_t at = bandSpans_.size();
    bandSpans_.resize(at + static_cast<std::size_t>(width), {0, -1});
    for (std::size_t k = 0; k < points_.size();) {
        const int x = points_[k].x();
        int low = points_[k].y(), high = low;
        if (k > 0) {
            low = std::min(low, points_[k - 1].y());
            high = std::max(high, points_[k - 1].y());
        }
        for (; k < points_.size() && points_[k].x() == x; ++k) {
            low = std::min(low, points_[k].y());
            high = std::max(high, points_[k].y());
        }
        if (x >= inside.left() && x <= inside.right())
            bandSpans_[at + static_cast<std::size_t>(x - left)] = {std::max(low, inside.top()),
                                                                   std::min(high, inside.bottom())};
    }
    bandColors_.push_back(series.BandColor());
}

void TChart::DrawBands(QPainter& painter) {
    // Where bands overlap, each lies over those before it, all of them over the back wall: a
    // pixel column falls into pieces of one colour each, blended here and filled opaque. Qt
    // would blend a translucent fill pixel by pixel, and hand one of more than about 96 rows
    // to its thread pool, at many times the cost.
    const std::size_t bands = bandColors_.size();
    if (bands == 0) return;
    const int left = chartRect_.left(), width = chartRect_.width();
    std::vector<int> edges;
    edges.reserve(2 * bands);
    pieces_.clear();
    for (int column = 0; column < width; ++column) {
        const auto span = [&](std::size_t b) {
            return bandSpans_[b * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(column)];
        };
        edges.clear();
        for (std::size_t b = 0; b < bands; ++b) {
            if (span(b).first > span(b).second) continue;
            edges.push_back(span(b).first);
            edges.push_back(span(b).second + 1);
        }
        std::sort(edges.begin(), edges.end());
        for (std::size_t e = 1; e < edges.size(); ++e) {
            const int top = edges[e - 1], bottom = edges[e];
            if (top == bottom) continue;
            QColor color = backWallColor_;
            bool covered = false;
            for (std::size_t b = 0; b < bands; ++b) {
                if (span(b).first > top || span(b).second < top) continue;
                const QColor& over = bandColors_[b];
                const double a = over.alphaF();
                color.setRgbF(static_cast<float>(over.redF() * a + color.redF() * (1 - a)),
                              static_cast<float>(over.greenF() * a + color.greenF() * (1 - a)),
                              static_cast<float>(over.blueF() * a + color.blueF() * (1 - a)));
                covered = true;
            }
            if (covered)
                pieces_.push_back({color.rgb(), QRect(left + column, top, 1, bottom - top)});
        }
    }
    // One call per colour.
    std::stable_sort(pieces_.begin(), pieces_.end(),
                     [](const BandPiece& a, const BandPiece& b) { return a.color < b.color; });
    painter.setPen(Qt::NoPen);
    rects_.clear();
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        rects_.push_back(pieces_[i].rect);
        if (i + 1 < pieces_.size() && pieces_[i + 1].color == pieces_[i].color) continue;
        painter.setBrush(QColor(pieces_[i].color));
        painter.drawRects(rects_.data(), static_cast<int>(rects_.size()));
        rects_.clear();
    }
    painter.setBrush(Qt::NoBrush);
}

void TChart::DrawWithPointers(QPainter& painter, const TLineSeries& series) {
    const TChartPen& linePen = series.LinePen();
    const TSeriesPointer& pointer = series.Pointer();

    // Lines and pointers all in one colour: the order they are drawn in does not show, so
    // all lines go out in one call and all pointers in another.
    const QColor color = series.SeriesColor();
    if (series.SingleColor() && PointerOutline(pointer, color) == color &&
        PointerFill(pointer, color) == color) {
        lines_.clear();
        rects_.clear();
        for (std::size_t k = 0; k < points_.size(); ++k) {
            if (k > 0) lines_.emplace_back(points_[k - 1], points_[k]);
            rects_.push_back(PointerRect(pointer, points_[k]));
        }
        painter.setPen(LinePenFor(linePen, color));
        painter.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRects(rects_.data(), static_cast<int>(rects_.size()));
        painter.setBrush(Qt::NoBrush);
        return;
    }

    // Line by line, each followed by the pointers at its ends, so pointers lie on top.
    QColor penColor;
    QColor previousColor;
    for (std::size_t k = 0; k < points_.size(); ++k) {
        const QColor pointColor = series.ValueColor(indices_[k]);
        if (k > 0) {
            if (pointColor != penColor) {
                painter.setPen(LinePenFor(linePen, pointColor));
                penColor = pointColor;
            }
            painter.drawLine(points_[k - 1], points_[k]);
            DrawPointer(painter, pointer, points_[k - 1], previousColor);
        }
        DrawPointer(painter, pointer, points_[k], pointColor);
        previousColor = pointColor;
    }
}

void TChart::DrawPolyline(QPainter& painter, const TLineSeries& series, bool crowded) {
    const TChartPen& linePen = series.LinePen();
    // Without pointers the lines of equal colour go out as one polyline, which keeps a dotted
    // pattern running from one line into the next.
    if (series.SingleColor()) {
        if (!crowded) {
            ThinColumns(points_);
        } else {
            ColumnMeans(points_);
            if (linePen.Style == TPenStyle::psSolid && !linePen.SmallDots) {
                ColumnLineRects(points_, linePen.Width, rects_);
                painter.setPen(Qt::NoPen);
                painter.setBrush(series.SeriesColor());
                painter.drawRects(rects_.data(), static_cast<int>(rects_.size()));
                painter.setBrush(Qt::NoBrush);
                return;
            }
        }
        StrokePolyline(painter, linePen, series.SeriesColor(), points_);
        return;
    }
    run_.clear();
    QColor runColor;
    for (std::size_t k = 0; k < points_.size(); ++k) {
        const QColor color = series.ValueColor(indices_[k]);
        if (!run_.empty() && color != runColor) {
            // The line to a point takes that point's colour.
            StrokePolyline(painter, linePen, runColor, run_);
            const QPoint joint = run_.back();
            run_.clear();
            run_.push_back(joint);
        }
        runColor = color;
        run_.push_back(points_[k]);
    }
    StrokePolyline(painter, linePen, runColor, run_);
}

}  // namespace quorvex::ui
