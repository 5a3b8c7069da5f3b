// The DISPLAY parser on arbitrary text.
//
// What must hold:
// - an accepted text gives a display number of 0 to 59535 (6000 + number is a port), and a
//   host only when the display is not on this machine;
// - written back as "host:number" (a host with a ':' in brackets) it parses to the same.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/x_display.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "x_display_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = quorvex::platform::ParseXDisplay(text);
    if (!parsed) return 0;
    Check(parsed->Number >= 0 && parsed->Number <= 59535, "a display number out of range");
    Check(parsed->Local == parsed->Host.empty(), "a host on this machine, or none elsewhere");
    if (parsed->Host.find_first_of("/[]") != std::string::npos) return 0;
    const bool v6 = parsed->Host.find(':') != std::string::npos;
    const std::string again =
        (v6 ? "[" + parsed->Host + "]" : parsed->Host) + ":" + std::to_string(parsed->Number);
    Check(quorvex::platform::ParseXDisplay(again) == parsed, "written back it parses otherwise");
    return 0;
}
