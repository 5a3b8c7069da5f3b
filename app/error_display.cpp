#include "app/error_display.h"

#include <QMessageBox>

#include <algorithm>
#include <cstdio>

namespace quorvex::app {

std::string ErrorBoxText(std::string message) {
    if (!message.empty() && message.back() > '.') message += '.';
    return message;
}

ErrorDisplay::ErrorDisplay(QString caption) : caption_(std::move(caption)) {}

ErrorDisplay::~ErrorDisplay() {
    for (Box& box : boxes_) delete box.widget.data();
}

void ErrorDisplay::Show(const std::string& message) {
    const std::string text = ErrorBoxText(message);
    std::erase_if(boxes_, [](const Box& box) { return box.widget.isNull(); });
    for (Box& box : boxes_) {
        if (box.text != text) continue;
        ++box.count;
        box.widget->setText(QString::fromLocal8Bit(text) +
                            QStringLiteral("\n\n(%1 times since this box opened)").arg(box.count));
        return;
    }
    // Each box is written to standard error too, once, where a log or a terminal keeps it.
    std::fprintf(stderr, "quorvex: %s\n", text.c_str());
    auto* widget = new QMessageBox(QMessageBox::Critical, caption_, QString::fromLocal8Bit(text),
                                   QMessageBox::Ok, window_);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    widget->setWindowModality(Qt::NonModal);
    widget->setObjectName(QStringLiteral("errorBox"));
    widget->show();
    boxes_.push_back({widget, text, 1});
}

std::vector<QMessageBox*> ErrorDisplay::OpenBoxes() const {
    std::vector<QMessageBox*> open;
    for (const Box& box : boxes_) {
        if (!box.widget.isNull() && box.widget->isVisible()) open.push_back(box.widget);
    }
    return open;
}

}  // namespace quorvex::app
