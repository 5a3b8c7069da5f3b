#pragma once
// The X server a DISPLAY value names, and whether it answers: checked before Qt connects,
// since Qt ends the program with abort() when it cannot.
//
// Threads: any. XDisplayUnreachable blocks for the connection attempt: on the machine at
// once, over TCP at most kXDisplayConnectMilliseconds after the host's lookup.

#include <optional>
#include <string>
#include <string_view>

namespace quorvex::platform {

inline constexpr int kXDisplayConnectMilliseconds = 5000;

// A DISPLAY value, [protocol/][host]:number[.screen], as X clients read it.
struct XDisplayAddress {
    bool Local = true;  // no host, or "unix": the server's socket on this machine
    std::string Host;   // otherwise, reached over TCP on port 6000 + Number
    int Number = 0;
    bool operator==(const XDisplayAddress&) const = default;
};

// Nothing when `display` has another form (a socket path, DECnet's "host::0", no number).
std::optional<XDisplayAddress> ParseXDisplay(std::string_view display);

// Empty when the X server `display` names accepts a connection (which is closed at once) or
// when `display` has a form that is not checked here; else the system's reason
// ("No such file or directory", "Connection refused", ...).
std::string XDisplayUnreachable(const std::string& display);

}  // namespace quorvex::platform
