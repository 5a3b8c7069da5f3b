#include "serial/com_error.h"

#include <array>
#include <atomic>
#include <mutex>

#include "translation/resource_strings.h"
#include "translation/translation.h"

namespace quorvex::serial {
namespace {

namespace tr = quorvex::translation;

inline constexpr int kMessageCount = 23;

struct Messages {
    std::once_flag domainOnce;
    std::once_flag once;
    std::atomic<bool> loaded{false};
    std::array<std::string, kMessageCount> texts;  // fixed once `loaded` is set
};

Messages& ComMessages() {
    static Messages messages;
    return messages;
}

std::string MessageText(int code) {
    if (code < 1 || code > kMessageCount) return {};
    Messages& messages = ComMessages();
    if (messages.loaded.load(std::memory_order_acquire)) return messages.texts[code - 1];
    return std::string(tr::BuiltInText(*tr::ComPortMessage(code)));
}

std::string ErrorText(int code, int osError) {
    std::string text = MessageText(code);
    if (osError != kNoOsError) {
        text += tr::FormatMessage(tr::LoadResString(tr::ResString::ComErrOsCode),
                                  {static_cast<long long>(osError)});
    }
    return text;
}

}  // namespace

void InitialiseSerialComponent() {
    Messages& messages = ComMessages();
    std::call_once(messages.domainOnce, [] { tr::AddResourceStringDomain("serial"); });
    std::call_once(messages.once, [&messages] {
        for (int code = 1; code <= kMessageCount; ++code) {
            messages.texts[code - 1] = tr::LoadResString(*tr::ComPortMessage(code));
        }
        messages.loaded.store(true, std::memory_order_release);
    });
}

EComPort::EComPort(int code, int osError)
    : std::runtime_error(ErrorText(code, osError)), code_(code), osError_(osError) {}

}  // namespace quorvex::serial
