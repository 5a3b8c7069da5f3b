#include "app/window_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include <vector>

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

// A file type the save dialog offers: its filter and the suffix a name without one gets.
struct SaveType {
    QString filter;
    QString suffix;
};

// Asks before it replaces a file; the suffix follows the type chosen.
std::optional<std::string> RunSaveDialog(QWidget* window, const QString& caption,
                                         const QString& suggested,
                                         const std::vector<SaveType>& types) {
    QStringList filters;
    for (const SaveType& type : types) filters.append(type.filter);
    QFileDialog dialog(window, caption, suggested);
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(types.front().suffix);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &types](const QString& filter) {
                         for (const SaveType& type : types) {
                             if (type.filter == filter) dialog.setDefaultSuffix(type.suffix);
                         }
                     });
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
    dialogs.SaveCsv = [window](const QString& suggested) {
        return RunSaveDialog(window, QStringLiteral("Export CSV"), suggested,
                             {{QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv")}});
    };
    dialogs.SaveReport = [window](const QString& suggested) {
        return RunSaveDialog(window, QStringLiteral("Report"), suggested,
                             {{QStringLiteral("PDF, A4 (*.pdf)"), QStringLiteral("pdf")},
                              {QStringLiteral("PNG image (*.png)"), QStringLiteral("png")},
                              {QStringLiteral("HTML page (*.html)"), QStringLiteral("html")}});
    };
    return dialogs;
}

}  // namespace quorvex::app
