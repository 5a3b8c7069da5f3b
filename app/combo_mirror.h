#pragma once
// Shows a ComboModel in a QComboBox: its items, selection and (for an editable box) text,
// without raising the box's change signals, since showing the model is no user change.
//
// User-interface thread only.

#include "core/settings/combo_model.h"

class QComboBox;

namespace quorvex::app {

void MirrorCombo(QComboBox* box, const ComboModel& model);

}  // namespace quorvex::app
