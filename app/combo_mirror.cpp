#include "app/combo_mirror.h"

#include <QComboBox>
#include <QLineEdit>
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
    // Only a changed text is set: setting it moves the cursor of a box being typed in.
    const QString text = QString::fromStdString(model.Text);
    if (box->isEditable() && box->currentText() != text) {
        box->setEditText(text);
        box->lineEdit()->setCursorPosition(0);  // a long host:port shows its start
    }
}

}  // namespace quorvex::app
