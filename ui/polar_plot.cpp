#include "ui/polar_plot.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex::ui {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kArcSteps = 4;  // points per slice's arc
const QColor kGrid(200, 200, 200);
const QColor kLabel(90, 90, 90);

// The largest round step that still gives at least four rings, so their labels stay apart.
double RingStep(double maxNm) {
    for (const double step : {500.0, 250.0, 200.0, 100.0, 50.0, 25.0, 20.0, 10.0, 5.0, 2.0}) {
        if (maxNm / step >= 4.0) return step;
    }
    return 1.0;
}

QString NmText(double nm) {
    return QString::number(nm, 'f', nm == std::round(nm) ? 0 : 1);
}

}  // namespace

PolarPlot::PolarPlot(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PolarPlot::SetMaxRange(double nm) {
    const double maxNm = nm > 0 ? nm : 1.0;
    if (maxNm == maxNm_) return;
    maxNm_ = maxNm;
    update();
}

void PolarPlot::SetOutline(std::size_t index, const QColor& colour, const QString& name,
                           std::span<const float> ranges) {
    if (traces_.size() <= index) traces_.resize(index + 1);
    Trace& trace = traces_[index];
    if (trace.colour == colour && trace.name == name && std::ranges::equal(trace.ranges, ranges)) {
        return;
    }
    trace.colour = colour;
    trace.name = name;
    trace.ranges.assign(ranges.begin(), ranges.end());
    outlinesChanged_ = true;
    update();
}

void PolarPlot::SetDots(std::size_t index, const QColor& colour, const QString& name,
                        std::span<const QPointF> bearingRange) {
    if (dots_.size() <= index) dots_.resize(index + 1);
    Dots& dots = dots_[index];
    if (dots.colour == colour && dots.name == name &&
        std::ranges::equal(dots.points, bearingRange)) {
        return;
    }
    dots.colour = colour;
    dots.name = name;
    dots.points.assign(bearingRange.begin(), bearingRange.end());
    if (dotsShown_) update();
}

void PolarPlot::SetDotsShown(bool shown) {
    if (shown == dotsShown_) return;
    dotsShown_ = shown;
    update();
}

void PolarPlot::SetMessage(const QString& message) {
    if (message == message_) return;
    message_ = message;
    update();
}

std::vector<double> PolarPlot::Rings() const {
    const double step = RingStep(maxNm_);
    std::vector<double> rings;
    for (double nm = step; nm < maxNm_ - step * 0.25; nm += step) rings.push_back(nm);
    rings.push_back(maxNm_);
    return rings;
}

QPointF PolarPlot::At(double bearingDeg, double nm) const {
    const double r = std::max(nm, 0.0) * scale_;
    return {centre_.x() + r * std::sin(bearingDeg * kDegree),
            centre_.y() - r * std::cos(bearingDeg * kDegree)};
}

void PolarPlot::PaintBackground(QPainter& p, int margin, double radius) const {
    p.fillRect(rect(), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    // Spokes every 30 degrees with their bearings outside the outer ring.
    p.setPen(QPen(kGrid, 1));
    for (int bearing = 0; bearing < 360; bearing += 30) {
        p.drawLine(centre_, At(bearing, maxNm_));
    }
    p.setPen(kLabel);
    for (int bearing = 0; bearing < 360; bearing += 30) {
        QString text = QString::number(bearing) + QChar(0x00B0);
        if (bearing % 90 == 0) text = QString(QLatin1Char("NESW"[bearing / 90]));
        const QPointF at = At(bearing, maxNm_ + (margin / 2.0 + 1) / scale_);
        const QRectF box(at.x() - 20, at.y() - margin / 2.0, 40, margin);
        p.drawText(box, Qt::AlignCenter, text);
    }
    // The rings, labelled inside at 4 degrees east of north, clear of the bearings outside.
    const std::vector<double> rings = Rings();
    p.setBrush(Qt::NoBrush);
    for (const double nm : rings) {
        p.setPen(QPen(nm == maxNm_ ? kLabel : kGrid, 1));
        p.drawEllipse(centre_, radius * nm / maxNm_, radius * nm / maxNm_);
    }
    p.setPen(kLabel);
    for (const double nm : rings) {
        const QString text = NmText(nm) + (nm == maxNm_ ? QStringLiteral(" NM") : QString());
        const QPointF at = At(4.0, nm);
        const QRectF box(at.x() + 2, at.y() + 1, metrics.horizontalAdvance(text) + 2,
                         metrics.height());
        p.drawText(box, Qt::AlignCenter, text);
    }
}

void PolarPlot::PaintOutlines(QPainter& p) const {
    // The first on top: lines only, as filled areas would tint each other.
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    for (auto trace = traces_.rbegin(); trace != traces_.rend(); ++trace) {
        const std::size_t slices = trace->ranges.size();
        if (slices == 0 || std::ranges::all_of(trace->ranges, [](float nm) { return nm < 0; })) {
            continue;
        }
        const double width = 360.0 / static_cast<double>(slices);
        QPainterPath path;
        for (std::size_t i = 0; i < slices; ++i) {
            const double nm = std::min<double>(trace->ranges[i], maxNm_);
            const double start = static_cast<double>(i) * width;
            for (int step = 0; step <= kArcSteps; ++step) {
                const QPointF point = At(start + width * step / kArcSteps, nm);
                if (i == 0 && step == 0) {
                    path.moveTo(point);
                } else {
                    path.lineTo(point);
                }
            }
        }
        path.closeSubpath();
        p.setPen(QPen(trace->colour, 2));
        p.drawPath(path);
    }
}

void PolarPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics metrics(font());
    const int margin = metrics.height() + 2;  // room for the bearing labels
    const double radius = std::max(10.0, std::min(width(), height()) / 2.0 - margin);
    centre_ = QPointF(width() / 2.0, height() / 2.0);
    scale_ = radius / maxNm_;

    // A page or a print (the widget hidden, or an engine that writes vectors) gets the grid and
    // outlines drawn straight onto it: scaled, the cached picture would blur, and a PDF would
    // hold pixels where it can hold lines.
    if (!isVisible() || p.paintEngine()->type() != QPaintEngine::Raster) {
        PaintBackground(p, margin, radius);
        PaintOutlines(p);
    } else {
        const qreal ratio = devicePixelRatioF();
        const bool resized = background_.size() != size() * ratio;
        if (resized || backgroundNm_ != maxNm_ || outlinesChanged_) {
            if (resized) {
                background_ = QPixmap(size() * ratio);
                background_.setDevicePixelRatio(ratio);
            }
            QPainter b(&background_);
            b.setFont(font());
            PaintBackground(b, margin, radius);
            PaintOutlines(b);
            backgroundNm_ = maxNm_;
            outlinesChanged_ = false;
        }
        p.drawPixmap(0, 0, background_);
    }
    p.setRenderHint(QPainter::Antialiasing);

    if (dotsShown_) {
        // Squares of 2 by 2 pixels as four one-pixel points each: thousands of them each
        // second, and one-pixel points take the painter's fast path, wide ones a stroker.
        p.setRenderHint(QPainter::Antialiasing, false);
        for (const Dots& dots : dots_) {
            dotPixels_.clear();
            for (const QPointF& point : dots.points) dotPixels_.append(At(point.x(), point.y()));
            p.setPen(QPen(dots.colour, 0));
            for (const QPointF offset :
                 {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1), QPointF(1, 1)}) {
                p.translate(offset);
                p.drawPoints(dotPixels_);
                p.translate(-offset);
            }
        }
        p.setRenderHint(QPainter::Antialiasing);
    }

    // The legend: a swatch per trace and, while shown, per dot set.
    int y = 2;
    const int line = metrics.height();
    const auto entry = [&](const QColor& colour, const QString& name, bool dot) {
        if (dot) {
            p.fillRect(QRectF(6, y + line / 2.0 - 2, 4, 4), colour);
        } else {
            p.fillRect(QRectF(2, y + line / 2.0 - 2, 12, 4), colour);
        }
        p.setPen(Qt::black);
        p.drawText(QRectF(18, y, width() / 2.0, line), Qt::AlignLeft | Qt::AlignVCenter, name);
        y += line;
    };
    for (const Trace& trace : traces_) {
        if (!trace.name.isEmpty()) entry(trace.colour, trace.name, false);
    }
    if (dotsShown_) {
        for (const Dots& dots : dots_) entry(dots.colour, dots.name, true);
    }

    if (!message_.isEmpty()) {
        const QRectF box(centre_.x() - radius * 0.8, centre_.y() - radius * 0.35, radius * 1.6,
                         radius * 0.7);
        p.fillRect(box, QColor(255, 255, 255, 230));
        p.setPen(Qt::black);
        p.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignCenter | Qt::TextWordWrap, message_);
    }
}

}  // namespace quorvex::ui
