#pragma once
// The look the window's controls share: its two fonts, the vertical rate bars with their
// own fill colour, and the coloured figure and profile labels.
//
// User-interface thread only.

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QProgressBar;
class QWidget;

namespace quorvex::app {

inline const QColor kReceiver1Colour(255, 0, 0);  // red
inline const QColor kReceiver2Colour(0, 255, 0);  // lime
inline const QColor kFeedColour(0, 0, 255);       // blue
inline const QColor kYellow(255, 255, 0);

// The system's sans-serif font, and the fixed-pitch one the figures and lists use.
QFont SansFont(int pointSize, bool bold = false);
QFont MonoFont(int pointSize);

// A vertical, smooth bar of range 0..100 at 0, without text.
QProgressBar* MakeRateBar(QWidget* parent, const QString& objectName);

// The bar's own fill colour; an invalid colour leaves the style's. Shown the same under
// every style (the fill of a plain QProgressBar follows the style and may ignore colours).
void SetBarColour(QProgressBar* bar, const QColor& colour);

// Text in `text` colour on `background`, centred.
void PaintLabel(QLabel* label, const QColor& text, const QColor& background);

}  // namespace quorvex::app
