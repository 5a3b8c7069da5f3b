#pragma once
// The integer conversion error: "'<text>' is not a valid integer value".

#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvex {

class EConvertError : public std::runtime_error {
  public:
    // text: what was being converted, e.g. "$G1" for the frame pair "G1".
    explicit EConvertError(std::string_view text);
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// The message of a failed conversion of `text`: the pattern "'%s' is not a valid integer
// value" with %s replaced by the text.
std::string InvalidIntegerMessage(std::string_view text);

// Where the pattern comes from. The program sets this once at start-up, before any other
// thread exists, to its resource-string loader, so the message follows the translation
// layer; without it the built-in English pattern is used.
using MessagePatternLoader = std::string (*)();
void SetInvalidIntegerPatternLoader(MessagePatternLoader loader);

// The whole number `text` spells (decimal, or hexadecimal after "$"); EConvertError if none.
int StrToInt(std::string_view text);

}  // namespace quorvex
