#pragma once
// SIGINT, SIGTERM and SIGHUP end the program without asking anybody, with or without a
// window: the first runs `end` on the event loop; those that follow while it writes its files
// are ignored, and one kHungEndSeconds after the first ends the program at once.
//
// Threads: the user-interface thread only, after the QCoreApplication exists.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace quorvex::app {

// Watches the signals for as long as the returned notifier lives. Null when they cannot be
// watched: they then keep their default action.
std::unique_ptr<QSocketNotifier> WatchForTermination(QObject* context, std::function<void()> end);

}  // namespace quorvex::app
