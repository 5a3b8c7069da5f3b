#pragma once
// A polar plot of how far sources hear: north up, bearings clockwise, range rings labelled in
// NM, per source an outline of the farthest range per slice of bearing, dots at chosen
// positions, a legend in the top-left corner, and a message over the middle when there is
// nothing to place.
//
// Drawn with QPainter: an outline is a step shape (an arc over each slice, a radial edge
// between slices, the centre where a slice is empty), which a line series cannot show
// without splitting it at every gap, and the ring labels sit beside the rings, off the
// spokes and outlines.
//
// A setter repaints only when what it sets changed; the grid is kept in a pixmap.
//
// User-interface thread only.

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QWidget>

#include <span>
#include <vector>

namespace quorvex::ui {

class PolarPlot : public QWidget {
  public:
    explicit PolarPlot(QWidget* parent = nullptr);

    // The outermost ring's range; the rings between at a round step.
    void SetMaxRange(double nm);
    double MaxRange() const { return maxNm_; }
    // Trace `index` (the first drawn on top, and listed first): the farthest range per slice of
    // 360 / ranges.size() degrees from north, negative where none.
    void SetOutline(std::size_t index, const QColor& colour, const QString& name,
                    std::span<const float> ranges);
    // Dot set `index`: positions as (bearing in degrees, range in NM); hidden while not shown.
    void SetDots(std::size_t index, const QColor& colour, const QString& name,
                 std::span<const QPointF> bearingRange);
    void SetDotsShown(bool shown);
    // Over the middle of the plot; empty: none.
    void SetMessage(const QString& message);

    // The ranges of the rings drawn, the outermost last.
    std::vector<double> Rings() const;
    // What was set: a trace's slices, a dot set's positions, the message.
    std::span<const float> Outline(std::size_t index) const {
        return index < traces_.size() ? std::span<const float>(traces_[index].ranges)
                                      : std::span<const float>();
    }
    std::span<const QPointF> DotPositions(std::size_t index) const {
        return index < dots_.size() ? std::span<const QPointF>(dots_[index].points)
                                    : std::span<const QPointF>();
    }
    bool DotsShown() const { return dotsShown_; }
    const QString& Message() const { return message_; }

    QSize sizeHint() const override { return {320, 320}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Trace {
        QColor colour;
        QString name;
        std::vector<float> ranges;
    };
    struct Dots {
        QColor colour;
        QString name;
        std::vector<QPointF> points;
    };
    QPointF At(double bearingDeg, double nm) const;
    void PaintBackground(QPainter& p, int margin, double radius) const;
    void PaintOutlines(QPainter& p) const;

    double maxNm_ = 300;
    std::vector<Trace> traces_;
    std::vector<Dots> dots_;
    bool dotsShown_ = false;
    QString message_;
    // Set by each paint: the centre and the pixels per NM.
    QPointF centre_;
    double scale_ = 1;
    // Grid, bearings, rings and outlines: redrawn when the size, the range or an outline
    // changes, not for every new dot.
    QPixmap background_;
    double backgroundNm_ = 0;
    bool outlinesChanged_ = true;
    QPolygonF dotPixels_;  // reused from paint to paint
};

}  // namespace quorvex::ui
