#include "core/convert_error.h"

#include "platform/integer_text.h"

namespace quorvex {

std::string InvalidIntegerMessage(std::string_view text) {
    std::string message;
    message.reserve(text.size() + 32);
    message += '\'';
    message += text;
    message += "' is not a valid integer value";
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
