#pragma once
// The chart's fonts are given by pixel height, as the window system sizes an 8 pt font at
// 96 dots per inch (11 pixels), so text metrics do not depend on the screen's resolution.

#include <QFont>
#include <QString>

namespace quorvex::ui {

inline QFont ChartFont(const QString& family, int pixelSize = 11) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace quorvex::ui
