#pragma once
// The address of a TCP receiver as a user types it: "host:port", or "host" alone for the
// default port.
//
// Accepted, surrounding white space aside:
// - "host" and "host:port", the host a name or dotted address (letters, digits, '-', '.' and
//   '_', at most 253 characters);
// - "[v6]" and "[v6]:port", an IPv6 address in brackets, with an optional zone of up to 64
//   characters ("%eth0");
// - a bare IPv6 address ("::1", "fe80::1"), which has more than one ':' and so cannot carry a
//   port: it is taken whole as the host, with the default port. A port after an IPv6 address
//   needs the brackets: "fe80::1:8080" is the address fe80::1:8080, and "::1:30005" is refused
//   (no address, as 30005 is no group of at most 4 hex digits).
// The port is decimal, 1 to 65535. The host comes out without brackets, ready for a lookup.
//
// Standard C++ only; no state.

#include <string>
#include <string_view>
#include <variant>

namespace quorvex {

struct HostPort {
    std::string host;
    int port = 0;

    friend bool operator==(const HostPort&, const HostPort&) = default;
};

// The host and port of `text`, or one English sentence saying what is wrong with it, as in
// "\"abc:99999\" is no host:port: the port must be 1 to 65535". `defaultPort` (1 to 65535)
// is taken when the text names none.
std::variant<HostPort, std::string> ParseHostPort(std::string_view text, int defaultPort);

}  // namespace quorvex
