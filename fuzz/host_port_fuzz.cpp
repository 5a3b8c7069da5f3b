// The receiver address parser on arbitrary text.
//
// What must hold:
// - an accepted text gives a host of 1 to 253 characters without white space or brackets,
//   and a port of 1 to 65535; written back as "host:port" (brackets around a host with a
//   ':') it parses to the same host and port;
// - a refused text gives the sentence "\"<text>\" is no host:port: <reason>".

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "core/settings/host_port.h"

namespace {

using quorvex::HostPort;
using quorvex::ParseHostPort;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "host_port_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = ParseHostPort(text, 30005);
    if (const auto* refusal = std::get_if<std::string>(&result)) {
        Check(refusal->starts_with('"'), "a refusal does not quote the text");
        Check(refusal->find("\" is no host:port: ") != std::string::npos,
              "a refusal of another form");
        return 0;
    }
    const HostPort& parsed = std::get<HostPort>(result);
    Check(!parsed.host.empty() && parsed.host.size() <= 253, "a host of no or too many characters");
    Check(parsed.host.find_first_of(" \t\r\n\v\f[]") == std::string::npos,
          "a host with white space or a bracket");
    Check(parsed.port >= 1 && parsed.port <= 65535, "a port out of range");

    const bool v6 = parsed.host.find(':') != std::string::npos;
    const std::string again =
        (v6 ? "[" + parsed.host + "]" : parsed.host) + ":" + std::to_string(parsed.port);
    const auto reparsed = ParseHostPort(again, 1);
    const auto* same = std::get_if<HostPort>(&reparsed);
    Check(same != nullptr && *same == parsed, "the host and port written back parse otherwise");
    return 0;
}
