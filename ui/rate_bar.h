#pragma once
// RateBar: a vertical bar of the Control page, painted here: a light groove with a grey
// border and, from the bottom up, the fill in the palette's Highlight colour. It looks the
// same under every style, and a value change costs one plain repaint (a style sheet would
// restyle and lay out the bar on every change).
//
// User-interface thread only, like every widget.

#include <QProgressBar>

namespace quorvex::ui {

class RateBar : public QProgressBar {
  public:
    explicit RateBar(QWidget* parent = nullptr);

    // Sets the range to 0..maximum and the value, and asks for one ordinary paint when
    // either changed (QProgressBar's own setters each repaint at once).
    void Show(int value, int maximum);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quorvex::ui
