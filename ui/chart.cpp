#include "ui/chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace quorvex::ui {

TChart::TChart(QWidget* parent)
    : QWidget(parent),
      title_(this),
      leftAxis_(this, false),
      bottomAxis_(this, true),
      legend_(this) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every paint fills the whole control
}

TChart::~TChart() = default;

TLineSeries& TChart::AddSeries(const QString& name) {
    series_.push_back(std::make_unique<TLineSeries>(this, name));
    InvalidateLayers();
    return *series_.back();
}

void TChart::SetView3D(bool on) {
    if (on == view3D_) return;
    view3D_ = on;
    InvalidateLayers();
}

void TChart::SetView3DWalls(bool on) {
    if (on == view3DWalls_) return;
    view3DWalls_ = on;
    InvalidateLayers();
}

void TChart::SetAllowZoom(bool on) {
    allowZoom_ = on;
}

void TChart::SetAllowPanning(TPanningMode mode) {
    allowPanning_ = mode;
}

void TChart::SetColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    InvalidateLayers();
}

void TChart::SetBackWallColor(const QColor& color) {
    if (color == backWallColor_) return;
    backWallColor_ = color;
    InvalidateLayers();
}

void TChart::SetLabelLocale(const QLocale& locale) {
    locale_ = locale;
    InvalidateLayers();
}

void TChart::Invalidate() {
    if (repaintPending_) return;
    repaintPending_ = true;
    update();
}

void TChart::InvalidateLayers() {
    ++generation_;
    Invalidate();
}

void TChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter, rect());
}

bool TChart::InPanArea(QPoint p) const {
    return chartRect_.contains(p) || leftAxis_.AxisRect().contains(p) ||
           bottomAxis_.AxisRect().contains(p);
}

void TChart::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton && allowPanning_ != TPanningMode::pmNone &&
        InPanArea(p)) {
        panning_ = true;
        panFrom_ = p;
    }
    // The left button would zoom; zoom is not offered.
    event->accept();
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    if (!panning_) return;
    const QPoint p = event->position().toPoint();
    if (!(event->buttons() & Qt::RightButton) || !InPanArea(p)) {
        panning_ = false;
        return;
    }
    const bool horizontal =
        allowPanning_ == TPanningMode::pmHorizontal || allowPanning_ == TPanningMode::pmBoth;
    const bool vertical =
        allowPanning_ == TPanningMode::pmVertical || allowPanning_ == TPanningMode::pmBoth;
    // Each axis moves by the value under the previous pointer position less the value under
    // the current one, so the data follows the pointer.
    if (horizontal && p.x() != panFrom_.x())
        bottomAxis_.Scroll(bottomAxis_.CalcPosPoint(panFrom_.x()) -
                           bottomAxis_.CalcPosPoint(p.x()));
    if (vertical && p.y() != panFrom_.y())
        leftAxis_.Scroll(leftAxis_.CalcPosPoint(panFrom_.y()) - leftAxis_.CalcPosPoint(p.y()));
    panFrom_ = p;
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) panning_ = false;
}

void TChart::wheelEvent(QWheelEvent* event) {
    event->accept();
    const int delta = event->angleDelta().y();
    bool handled = false;
    if (OnMouseWheel)
        OnMouseWheel(*this, event->modifiers(), delta, event->globalPosition().toPoint(), handled);
    if (handled) return;
    // Every 120 units scroll the vertical axes by 3 % of their range: down (negative delta)
    // towards higher values, up towards lower ones.
    wheelDelta_ += delta;
    const int notches = wheelDelta_ / 120;
    if (notches == 0) return;
    wheelDelta_ -= notches * 120;
    const double range = leftAxis_.IMaximum() - leftAxis_.IMinimum();
    leftAxis_.Scroll(-notches * 0.03 * range);
}

}  // namespace quorvex::ui
