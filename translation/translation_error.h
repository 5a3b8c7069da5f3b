#pragma once
// The failure of the translation layer: a catalogue that cannot be opened or read, or a
// translation that does not decode.

#include <stdexcept>
#include <string>

namespace quorvex::translation {

class ETranslationError : public std::runtime_error {
  public:
    explicit ETranslationError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvex::translation
