#pragma once
// FixedSlot: a place in a layout for one widget that changes often, such as a label whose
// figure changes every second. A label's new text asks the layouts around it to run again,
// and on the way up they repaint the whole window; inside the slot that request stops at
// the slot, so the change repaints the label alone. The slot takes the size its child asked
// for when the layout around it last ran, and the child fills it.
//
// User-interface thread only, like every widget.

#include <QWidget>

namespace quorvex::ui {

class FixedSlot : public QWidget {
  public:
    // Takes `child` into the slot (it becomes the slot's child).
    explicit FixedSlot(QWidget* child, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* child_;
};

}  // namespace quorvex::ui
