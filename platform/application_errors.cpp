#include "platform/application_errors.h"

#include <cstdio>

namespace quorvex::platform {
namespace {
ApplicationErrorHandler& Handler() {
    static ApplicationErrorHandler handler;
    return handler;
}
}  // namespace

void SetApplicationErrorHandler(ApplicationErrorHandler handler) {
    Handler() = std::move(handler);
}

void ShowApplicationError(const std::string& message) {
    if (const ApplicationErrorHandler& handler = Handler()) {
        handler(message);
    } else {
        std::fprintf(stderr, "quorvex: %s\n", message.c_str());
    }
}

}  // namespace quorvex::platform
