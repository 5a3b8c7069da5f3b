#pragma once
// The keys that choose a window's pages from anywhere in it: Ctrl+Tab and Ctrl+Shift+Tab step
// to the next and previous page (round the end), Ctrl+1 .. Ctrl+9 choose the pages given, in
// their order.
//
// User-interface thread only.

#include <initializer_list>

class QTabWidget;
class QWidget;

namespace quorvex::app {

void AddPageKeys(QWidget& window, QTabWidget& pages, std::initializer_list<QWidget*> numbered);

}  // namespace quorvex::app
