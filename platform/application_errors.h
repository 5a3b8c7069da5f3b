#pragma once
// The application's error display: where an error that no handler caught ends up, such as
// one raised by a packet handler inside a serial port's dispatch or a UDP datagram's
// delivery. The window installs a handler that shows the message in an error box with the
// application title as caption; until then the message goes to standard error.
//
// Threads: SetApplicationErrorHandler once on the user-interface thread at start-up, before
// any worker runs. ShowApplicationError on the user-interface thread.

#include <functional>
#include <string>

namespace quorvex::platform {

using ApplicationErrorHandler = std::function<void(const std::string& message)>;

void SetApplicationErrorHandler(ApplicationErrorHandler handler);
void ShowApplicationError(const std::string& message);

}  // namespace quorvex::platform
