#include "app/combo_mirror.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace quorvex::app {

void MirrorCombo(QComboBox* box, const ComboModel& model) {
    const QSignalBlocker blocker(box);
    bool sameItems = box->count() == static_cast<int>(model.Items.size());
    for (int i = 0; sameItems && i < box->count(); ++i) {
        sameItems = box->itemText(i).toStdString() == model.Items[static_cast<std::size_t>(i)];
    }
    if (!sameItems) {
        box->clear();
        for (const std::string& item : model.Items) box->addItem(QString::fromStdString(item));
    }
    box->setCurrentIndex(model.ItemIndex);
    if (box->isEditable()) box->setEditText(QString::fromStdString(model.Text));
}

}  // namespace quorvex::app
