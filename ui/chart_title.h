#pragma once
// The chart's title: a list of text lines drawn centred above the legend, in its own font
// and colour. Every change of the list asks the chart for a repaint.
//
// User-interface thread only.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QPainter;
class QRect;

namespace quorvex::ui {

class TChart;

// A list of text lines that reports each change to its owner.
class TChartStrings {
  public:
    explicit TChartStrings(TChart* parent) : parent_(parent) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    const QString& operator[](int i) const { return lines_[i]; }
    const QStringList& Lines() const { return lines_; }

    void Clear();
    void Add(const QString& line);
    void SetLines(const QStringList& lines);

  private:
    void Changed();

    TChart* parent_;
    QStringList lines_;
};

class TChartTitle {
  public:
    explicit TChartTitle(TChart* parent);

    TChartStrings& Text() { return text_; }
    const TChartStrings& Text() const { return text_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    QFont Font() const { return font_; }
    void SetFont(const QFont& font);
    QColor FontColor() const { return fontColor_; }
    void SetFontColor(const QColor& color);

    // The height the lines take above the legend, gap included; 0 when hidden or empty.
    int Height() const;
    // Draws the lines centred across `area`'s width from its top.
    void Draw(QPainter& painter, const QRect& area) const;

  private:
    TChart* parent_;
    TChartStrings text_;
    bool visible_ = true;
    QFont font_;
    QColor fontColor_ = Qt::blue;
};

}  // namespace quorvex::ui
