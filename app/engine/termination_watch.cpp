#include "app/engine/termination_watch.h"

#include "platform/termination_signals.h"

namespace quorvex::app {

std::unique_ptr<QSocketNotifier> WatchForTermination(QObject* context, std::function<void()> end) {
    const int signalPipe = platform::WatchTerminationSignals();
    if (signalPipe < 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, context,
                     [signalPipe, end = std::move(end)] {
                         if (!platform::TakeTerminationSignals(signalPipe)) return;
                         platform::BeginEnding();
                         end();
                     });
    return notifier;
}

}  // namespace quorvex::app
