#pragma once
// A receiver on the network: the TCP output of a Mode S decoder, chosen in the rate list
// ("TCP raw" for hex lines, "TCP Beast" for the binary format) with its host:port typed in
// the port list. The rules that keep the port list in step with that choice.
//
// User-interface thread only, like the profiles.

#include <optional>
#include <string>
#include <string_view>

#include "core/settings/network_kind.h"
#include "core/settings/profiles.h"

namespace quorvex {

inline constexpr std::string_view kTcpRawItem = "TCP raw";
inline constexpr std::string_view kTcpBeastItem = "TCP Beast";
inline constexpr int kTcpRawPort = 30002;
// The format lists' last item: the serial line carries Beast binary frames (Mode-S Beast and
// similar hardware over USB), not hex text.
inline constexpr std::string_view kBeastFormatItem = "Beast binary";
inline constexpr int kTcpBeastPort = 30005;

// The kind a rate list's text names; nothing for a baud rate or the UDP item.
std::optional<NetworkKind> NetworkKindOf(std::string_view rateText);
int DefaultNetworkPort(NetworkKind kind);
// "127.0.0.1:30002" or "127.0.0.1:30005".
std::string DefaultNetworkAddress(NetworkKind kind);

// After the rate list changed (by the user, a profile or the command line): with a TCP kind
// the port list takes typed text, a host:port, keeping one already typed (the other kind's
// default becomes this kind's); with a serial rate it is a list of devices again, the typed
// text kept only when it names one.
void MatchPortToRate(ReceiverProfile& receiver);

}  // namespace quorvex
