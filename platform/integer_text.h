#pragma once
// Whole numbers written as text, the way settings files and list items spell them.

#include <string_view>

namespace quorvex::platform {

// The 32-bit whole number that `text` spells: leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$" or "0x" ("$FFFFFFFF" is -1). Anything else, or a
// value out of range, gives false.
bool ParseInteger(std::string_view text, int& value);

}  // namespace quorvex::platform
