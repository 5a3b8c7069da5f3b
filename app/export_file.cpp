#include "app/export_file.h"

#include <QSaveFile>

namespace quorvex::app {

std::optional<std::string> WriteExportFile(const std::string& path, const std::string& text) {
    QSaveFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) ==
            static_cast<qint64>(text.size()) &&
        file.commit()) {
        return std::nullopt;
    }
    return "Cannot write " + path + ": " + file.errorString().toStdString();
}

}  // namespace quorvex::app
