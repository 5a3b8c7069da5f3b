#include "app/window_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quorvex::app {
namespace {

std::optional<std::string> RunFileDialog(QWidget* window, const QString& folder,
                                         QFileDialog::AcceptMode mode) {
    QFileDialog dialog(window, QString(), folder, QStringLiteral("Profile files (*.prf)"));
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(QStringLiteral("prf"));
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace

WindowDialogs QtDialogs(QWidget* window) {
    WindowDialogs dialogs;
    dialogs.Refusal = [window](const std::string& caption, const std::string& text) {
        QMessageBox::critical(window, QString::fromStdString(caption),
                              QString::fromStdString(text));
    };
    dialogs.AskYesNo = [window](const std::string& caption, const std::string& text) {
        return QMessageBox::question(window, QString::fromStdString(caption),
                                     QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    dialogs.OpenProfile = [window](const QString& folder) {
        return RunFileDialog(window, folder, QFileDialog::AcceptOpen);
    };
    dialogs.SaveProfile = [window](const QString& folder) {
        return RunFileDialog(window, folder, QFileDialog::AcceptSave);
    };
    dialogs.SaveCsv = [window](const QString& suggested) -> std::optional<std::string> {
        QFileDialog dialog(window, QStringLiteral("Export CSV"), suggested,
                           QStringLiteral("CSV files (*.csv)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().front().toStdString();
    };
    return dialogs;
}

}  // namespace quorvex::app
