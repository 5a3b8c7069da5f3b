#include "app/page_keys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTabWidget>

#include <functional>

namespace quorvex::app {
namespace {

void AddKeys(QWidget& window, QList<QKeySequence> keys, std::function<void()> action) {
    auto* shortcut = new QShortcut(&window);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, std::move(action));
}

}  // namespace

void AddPageKeys(QWidget& window, QTabWidget& pages, std::initializer_list<QWidget*> numbered) {
    const auto step = [&pages](int by) {
        const int count = pages.count();
        if (count > 0) pages.setCurrentIndex((pages.currentIndex() + by + count) % count);
    };
    AddKeys(window, {QKeySequence(Qt::CTRL | Qt::Key_Tab)}, [step] { step(1); });
    // X sends Shift+Tab as Backtab; either spelling selects the previous page.
    AddKeys(window,
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)},
            [step] { step(-1); });
    int digit = 1;
    for (QWidget* page : numbered) {
        if (digit > 9) break;
        AddKeys(window, {QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + digit++))},
                [&pages, page] { pages.setCurrentWidget(page); });
    }
}

}  // namespace quorvex::app
