#pragma once
// The look the window's controls share: its two fonts, the vertical rate bars with their
// own fill colour, and the coloured figure and profile labels.
//
// User-interface thread only.

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>
#include <span>

class QGridLayout;
class QLabel;
class QProgressBar;
class QWidget;

namespace quorvex::ui {
class RateBar;
}

namespace quorvex::app {

inline const QColor kReceiver1Colour(255, 0, 0);  // red
inline const QColor kReceiver2Colour(0, 255, 0);  // lime
inline const QColor kFeedColour(0, 0, 255);       // blue
// Receiver 2's lines on white, where lime fades.
inline const QColor kReceiver2OnWhite(0, 170, 0);
inline const QColor kYellow(255, 255, 0);

// The system's sans-serif font, and the fixed-pitch one the figures and lists use.
QFont SansFont(int pointSize, bool bold = false);
QFont MonoFont(int pointSize);

// A vertical bar of range 0..100 at 0, without text, painted alike under every style
// (ui::RateBar).
ui::RateBar* MakeRateBar(QWidget* parent, const QString& objectName);

// The bar's own fill colour; an invalid colour takes the application palette's highlight.
void SetBarColour(QProgressBar* bar, const QColor& colour);

// One bar of a column: its role (the object name after the column's prefix), the caption
// beneath it, and its fill colour (invalid: the style's).
struct BarLook {
    const char* role;
    const char* caption;
    QColor colour;
};

// The bars side by side with their captions beneath; fills `bars` in order.
QGridLayout* MakeBarRow(QWidget* parent, const QString& prefix, std::span<const BarLook> looks,
                        std::span<ui::RateBar*> bars);

// Window sums on a common scale. A range of 0..0 would turn a bar into a "busy" indicator,
// so an empty scale shows as 0 of 1.
void ShowBars(std::span<ui::RateBar* const> bars, std::span<const std::int32_t> positions,
              std::int32_t maximum);

// Text in `text` colour on `background`, centred.
void PaintLabel(QLabel* label, const QColor& text, const QColor& background);

// Shows `text` at `pointSize`, or smaller (down to 5 points) where that does not fit the
// label's width.
void ShowFitted(QLabel* label, const QString& text, int pointSize);

}  // namespace quorvex::app
