#include "core/settings/receiver_kind.h"

#include <algorithm>
#include <variant>

#include "core/settings/host_port.h"

namespace quorvex {

std::optional<NetworkKind> NetworkKindOf(std::string_view rateText) {
    if (rateText == kTcpRawItem) return NetworkKind::Raw;
    if (rateText == kTcpBeastItem) return NetworkKind::Beast;
    return std::nullopt;
}

int DefaultNetworkPort(NetworkKind kind) {
    return kind == NetworkKind::Raw ? kTcpRawPort : kTcpBeastPort;
}

std::string DefaultNetworkAddress(NetworkKind kind) {
    return "127.0.0.1:" + std::to_string(DefaultNetworkPort(kind));
}

void MatchPortToRate(ReceiverProfile& receiver) {
    ComboModel& port = receiver.Port;
    const auto names = [&port](const std::string& text) {
        return std::find(port.Items.begin(), port.Items.end(), text) != port.Items.end();
    };
    const auto kind = NetworkKindOf(receiver.BaudRate.Text);
    if (!kind) {
        port.Editable = false;
        if (port.ItemIndex >= 0 &&
            port.Items[static_cast<std::size_t>(port.ItemIndex)] == port.Text) {
            return;
        }
        const auto item = std::find(port.Items.begin(), port.Items.end(), port.Text);
        port.SelectIndex(item == port.Items.end() ? -1
                                                  : static_cast<int>(item - port.Items.begin()));
        return;
    }
    port.Editable = true;
    port.ItemIndex = -1;
    const NetworkKind other = *kind == NetworkKind::Raw ? NetworkKind::Beast : NetworkKind::Raw;
    const bool typed = !names(port.Text) && port.Text != DefaultNetworkAddress(other) &&
                       std::holds_alternative<HostPort>(ParseHostPort(port.Text, 1));
    if (!typed) port.Text = DefaultNetworkAddress(*kind);
}

}  // namespace quorvex
