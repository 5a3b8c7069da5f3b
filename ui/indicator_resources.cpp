#include "ui/indicator_resources.h"

#include <QString>
#include <QtGlobal>

// Q_INIT_RESOURCE names a function in the global namespace, so it is called from here.
static void RegisterIndicatorResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(indicators);
        return true;
    }();
    (void)registered;
}

namespace quorvex::ui {

QImage LoadIndicatorBitmap(const char* name) {
    RegisterIndicatorResources();
    return QImage(QStringLiteral(":/") + QString::fromLatin1(name));
}

}  // namespace quorvex::ui
