#include "core/base/convert_error.h"

#include "platform/integer_text.h"

namespace quorvex {

namespace {
MessagePatternLoader patternLoader = nullptr;
}  // namespace

void SetInvalidIntegerPatternLoader(MessagePatternLoader loader) {
    patternLoader = loader;
}

std::string InvalidIntegerMessage(std::string_view text) {
    std::string message = patternLoader ? patternLoader() : "'%s' is not a valid integer value";
    if (const std::size_t at = message.find("%s"); at != std::string::npos) {
        message.replace(at, 2, text);
    }
    return message;
}

EConvertError::EConvertError(std::string_view text)
    : std::runtime_error(InvalidIntegerMessage(text)), text_(text) {}

int StrToInt(std::string_view text) {
    int value = 0;
    if (!platform::ParseInteger(text, value)) throw EConvertError(text);
    return value;
}

}  // namespace quorvex
