#include "ui/fixed_slot.h"

namespace quorvex::ui {

FixedSlot::FixedSlot(QWidget* child, QWidget* parent) : QWidget(parent), child_(child) {
    child_->setParent(this);
    setSizePolicy(child_->sizePolicy());
}

QSize FixedSlot::sizeHint() const {
    return child_->sizeHint();
}

QSize FixedSlot::minimumSizeHint() const {
    return child_->minimumSizeHint();
}

void FixedSlot::resizeEvent(QResizeEvent*) {
    child_->setGeometry(rect());
}

}  // namespace quorvex::ui
