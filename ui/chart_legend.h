#pragma once
// The chart's legend: which series it lists and by what text, how the entries are laid out in
// columns and rows above the plot, and the drawing of the block with its colour samples.
//
// User-interface thread only.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "ui/line_series.h"

class QPainter;

namespace quorvex::ui {

class TChart;

enum class TLegendAlignment { laTop };
enum class TLegendTextStyle { ltsPlain };  // an entry shows the series title only

// The text a series is listed by: its title, else its component name, else "Series " and its
// position in the list.
QString SeriesTitleOrName(const TLineSeries& series, int position);

class TChartLegend {
  public:
    explicit TChartLegend(TChart* parent);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TLegendAlignment Alignment() const { return TLegendAlignment::laTop; }
    TLegendTextStyle TextStyle() const { return TLegendTextStyle::ltsPlain; }
    QColor Color() const { return color_; }  // the block's background
    void SetColor(const QColor& color);
    bool FrameVisible() const { return frameVisible_; }
    void SetFrameVisible(bool visible);
    bool DividingLines() const { return dividingLines_; }
    void SetDividingLines(bool visible);
    int ShadowSize() const { return shadowSize_; }
    void SetShadowSize(int pixels);
    QFont Font() const { return font_; }
    void SetFont(const QFont& font);
    QColor FontColor() const { return fontColor_; }
    void SetFontColor(const QColor& color);
    int VertMargin() const { return vertMargin_; }
    void SetVertMargin(int pixels);
    int MaxNumRows() const { return maxNumRows_; }
    void SetMaxNumRows(int rows);

    // The colour sample's width in percent of the widest entry text (plus 4 pixels), 0 to
    // 100; another value is refused with ChartException "Legend Color Width must be between
    // 0 and 100 %".
    int ColorWidth() const { return colorWidth_; }
    void SetColorWidth(int percent);
    // How far right of centre the block sits, in percent of the chart width it leaves free,
    // 0 to 100; another value is refused with ChartException "Top Legend Position must be
    // between 0 and 100 %".
    int TopPos() const { return topPos_; }
    void SetTopPos(int percent);

    // Lays the block out at the top of `area` (the chart less the title) and returns how much
    // height it takes, gap below included; 0 when hidden or empty. It lists every active
    // series shown in the legend, in list order.
    int Place(const QRect& area, const std::vector<std::unique_ptr<TLineSeries>>& series);
    // The block and its entries' texts as last placed.
    QRect Rect() const { return rect_; }
    QStringList Texts() const;
    void Draw(QPainter& painter) const;

  private:
    struct Entry {
        const TLineSeries* series;
        QString text;
    };

    void Changed();
    void DrawSample(QPainter& painter, const TLineSeries& series, const QRect& box) const;

    TChart* parent_;
    bool visible_ = true;
    QColor color_ = Qt::white;
    bool frameVisible_ = true;
    bool dividingLines_ = false;
    int shadowSize_ = 3;
    QFont font_;
    QColor fontColor_ = Qt::black;
    int vertMargin_ = 0;
    int maxNumRows_ = 10;
    int colorWidth_ = 30;
    int topPos_ = 10;

    // The layout of the last Place.
    std::vector<Entry> entries_;
    QRect rect_;
    int columns_ = 0;
    int rows_ = 0;
    int cellWidth_ = 0;
    int rowHeight_ = 0;
    int sampleWidth_ = 0;
};

}  // namespace quorvex::ui
