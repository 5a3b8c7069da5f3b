// The command line on arbitrary arguments: parsing, and selecting what it names in the
// receivers' lists.
//
// What must hold for a command line that parses:
// - a receiver set-up has a format of "@", "*" or ":"; a serial one a device and one of the
//   rates the lists offer; only receiver 2 is ever UDP; the two name different devices;
// - a set-up spelled back as DEVICE:RATE:FORMAT (or udp:FORMAT) parses to itself;
// - a station lies within ±90 degrees of latitude and ±180 of longitude;
// - the summary period is 1 s to a day, and one other than the default goes with --no-window;
// - on the lists made with the devices it names, ApplyCommandLine selects each receiver's
//   device, rate item and format item, leaves a UDP receiver's port alone, and marks no
//   receiver changed.
// A command line that does not parse says why.
//
// The input is the arguments, separated by zero bytes.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/engine/command_line.h"
#include "core/settings/profiles.h"

namespace {

using quorvex::ReceiverProfile;
using quorvex::app::CommandLine;
using quorvex::app::CommandLineError;
using quorvex::app::ReceiverOption;

constexpr std::string_view kFormats = "@*:";

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "command_line_fuzz: %s\n", what);
    std::abort();
}

std::vector<std::string> SplitArguments(std::string_view input) {
    std::vector<std::string> args;
    if (input.empty()) return args;
    for (;;) {
        const std::size_t end = input.find('\0');
        args.emplace_back(input.substr(0, end));
        if (end == std::string_view::npos) return args;
        input.remove_prefix(end + 1);
    }
}

std::string Spelled(const ReceiverOption& option) {
    if (option.Udp) return std::string("udp:") + option.Format;
    return option.Device + ":" + std::to_string(option.BaudRate) + ":" + option.Format;
}

void CheckOption(const ReceiverOption& option, bool udpAllowed) {
    Check(kFormats.find(option.Format) != std::string_view::npos, "a format beyond @ * :");
    Check(!option.Udp || udpAllowed, "receiver 1 on UDP");
    Check(option.Udp == option.Device.empty(), "a serial receiver without a device");
    const auto again = quorvex::app::ParseReceiverOption(Spelled(option), udpAllowed);
    Check(again && *again == option, "a receiver set-up does not parse back to itself");
}

void CheckSelected(const ReceiverOption& option, const ReceiverProfile& receiver,
                   const ReceiverProfile& before) {
    Check(!receiver.Changed, "the command line marked a profile changed");
    if (option.Udp) {
        Check(receiver.Port.ItemIndex == before.Port.ItemIndex &&
                  receiver.Port.Text == before.Port.Text,
              "a UDP receiver's port was changed");
        Check(receiver.BaudRate.Text.starts_with("UDP Port "), "the UDP item is not selected");
    } else {
        Check(receiver.Port.ItemIndex >= 0 && receiver.Port.Text == option.Device,
              "the device named is not selected");
        Check(receiver.BaudRate.Text == std::to_string(option.BaudRate),
              "the rate named is not selected");
    }
    const auto format = static_cast<int>(kFormats.find(option.Format));
    Check(receiver.Format.ItemIndex == format && receiver.Format.Text.starts_with(option.Format),
          "the format named is not selected");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args =
        SplitArguments(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto parsed = quorvex::app::ParseCommandLine(args);
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        Check(!error->Message.empty(), "a refusal without a reason");
        return 0;
    }
    const CommandLine& commandLine = std::get<CommandLine>(parsed);
    if (commandLine.Receiver1) CheckOption(*commandLine.Receiver1, false);
    if (commandLine.Receiver2) CheckOption(*commandLine.Receiver2, true);
    if (commandLine.Station) {
        Check(std::abs(commandLine.Station->lat) <= 90 && std::abs(commandLine.Station->lon) <= 180,
              "a station beyond the globe");
    }
    Check(commandLine.SummarySeconds >= 1 && commandLine.SummarySeconds <= 86400,
          "a summary period beyond 1 s to a day");
    Check(
        commandLine.NoWindow || commandLine.SummarySeconds == quorvex::app::kDefaultSummarySeconds,
        "a summary period with a window");
    if (commandLine.Receiver1 && commandLine.Receiver2 && !commandLine.Receiver2->Udp) {
        Check(commandLine.Receiver1->Device != commandLine.Receiver2->Device,
              "both receivers on one device");
    }

    const std::vector<std::string> devices = quorvex::app::ExtraPortDevices(commandLine);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        Check(std::find(devices.begin() + static_cast<std::ptrdiff_t>(i) + 1, devices.end(),
                        devices[i]) == devices.end(),
              "a device listed twice");
    }
    const quorvex::ProfileSettings before = quorvex::MakeProfileSettings(devices);
    quorvex::ProfileSettings settings = before;
    quorvex::app::ApplyCommandLine(commandLine, settings);
    if (commandLine.Receiver1)
        CheckSelected(*commandLine.Receiver1, settings.Receiver1, before.Receiver1);
    if (commandLine.Receiver2)
        CheckSelected(*commandLine.Receiver2, settings.Receiver2, before.Receiver2);
    return 0;
}
