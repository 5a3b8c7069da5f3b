#include "core/settings/host_port.h"

#include <cstddef>

namespace quorvex {

namespace {

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxZone = 64;  // an interface name or number

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameCharacter(char c) {
    return IsLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool IsHostName(std::string_view host) {
    if (host.size() > kMaxHostName) return false;
    for (const char c : host) {
        if (!IsNameCharacter(c)) return false;
    }
    return true;
}

// Four decimal parts of 1 to 3 digits, each at most 255.
bool IsDottedQuad(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return false;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && digits < 4 && IsDigit(text[digits])) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        text.remove_prefix(digits);
    }
    return text.empty();
}

// Groups of 1 to 4 hex digits separated by ':', eight of them or fewer with one "::" standing
// for the rest; the last two may be written as a dotted quad; an optional zone after '%' of
// at most 64 characters.
bool IsIPv6(std::string_view text) {
    if (const std::size_t percent = text.find('%'); percent != std::string_view::npos) {
        const std::string_view zone = text.substr(percent + 1);
        if (zone.empty() || zone.size() > kMaxZone || !IsHostName(zone)) return false;
        text = text.substr(0, percent);
    }
    int groups = 0;
    bool gap = false;
    if (text.starts_with("::")) {
        gap = true;
        text.remove_prefix(2);
    }
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        if (colon == std::string_view::npos && part.find('.') != std::string_view::npos) {
            if (!IsDottedQuad(part)) return false;
            groups += 2;
            break;
        }
        if (part.empty() || part.size() > 4) return false;
        for (const char c : part) {
            if (!IsHexDigit(c)) return false;
        }
        ++groups;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
        if (text.starts_with(':')) {
            if (gap) return false;
            gap = true;
            text.remove_prefix(1);
        } else if (text.empty()) {
            return false;  // a single ':' at the end
        }
    }
    return gap ? groups <= 7 : groups == 8;
}

// The port's decimal digits as a number, or 0 when out of range; -1 when not a number.
int PortValue(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return -1;
        if (value <= 65535) value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535 ? value : 0;
}

std::string Refusal(std::string_view text, std::string_view reason) {
    std::string message;
    message.reserve(text.size() + reason.size() + 20);
    message += '"';
    message += text;
    message += "\" is no host:port: ";
    message += reason;
    return message;
}

}  // namespace

std::variant<HostPort, std::string> ParseHostPort(std::string_view text, int defaultPort) {
    const std::string_view trimmed = Trim(text);
    std::string_view host;
    std::string_view rest;  // ":port" or empty
    bool bracketed = false;

    if (trimmed.starts_with('[')) {
        const std::size_t close = trimmed.find(']');
        if (close == std::string_view::npos) {
            return Refusal(trimmed, "the ']' after the IPv6 address is missing");
        }
        host = trimmed.substr(1, close - 1);
        rest = trimmed.substr(close + 1);
        bracketed = true;
        if (!rest.empty() && rest.front() != ':') {
            return Refusal(trimmed, "only ':' and a port may follow the ']'");
        }
    } else {
        const std::size_t colon = trimmed.find(':');
        if (colon != std::string_view::npos &&
            trimmed.find(':', colon + 1) != std::string_view::npos) {
            // More than one ':': a bare IPv6 address, which cannot carry a port.
            if (!IsIPv6(trimmed)) {
                return Refusal(trimmed,
                               "it is no IPv6 address (a port after one is written "
                               "[address]:port)");
            }
            return HostPort{std::string(trimmed), defaultPort};
        }
        host = trimmed.substr(0, colon);
        if (colon != std::string_view::npos) rest = trimmed.substr(colon);
    }

    if (host.empty()) return Refusal(trimmed, "the host is missing");
    if (bracketed && !IsIPv6(host)) {
        return Refusal(trimmed, "the address in brackets is no IPv6 address");
    }
    if (!bracketed && host.size() > kMaxHostName) {
        return Refusal(trimmed, "the host is longer than 253 characters");
    }
    if (!bracketed && !IsHostName(host)) {
        return Refusal(trimmed, "the host may hold only letters, digits, '-', '.' and '_'");
    }

    int port = defaultPort;
    if (!rest.empty()) {
        const std::string_view digits = rest.substr(1);
        if (digits.empty()) return Refusal(trimmed, "the port after ':' is missing");
        port = PortValue(digits);
        if (port < 0) return Refusal(trimmed, "the port must be a number");
        if (port == 0) return Refusal(trimmed, "the port must be 1 to 65535");
    }
    return HostPort{std::string(host), port};
}

}  // namespace quorvex
