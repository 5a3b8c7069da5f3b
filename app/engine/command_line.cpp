#include "app/engine/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <variant>

#include "core/base/source_id.h"
#include "core/export/report_figures.h"
#include "core/positions/station_text.h"
#include "core/run/session_history.h"
#include "core/settings/host_port.h"
#include "core/settings/profiles.h"

namespace quorvex::app {
namespace {

constexpr std::array<int, 5> kRates = {115200, 833333, 921600, 1000000, 3000000};
// In the order of the format lists' items; 'b' stands for "beast", Beast binary.
constexpr std::string_view kFormats = "@*:b";
constexpr std::string_view kBeastFormatText = ":beast";
constexpr int kUdpRateIndex = 5;  // receiver 2's "UDP Port" item
constexpr int kMaxSummarySeconds = 86400;

std::optional<int> ParseRate(std::string_view text) {
    int rate = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (std::find(kRates.begin(), kRates.end(), rate) == kRates.end()) return std::nullopt;
    return rate;
}

// A whole number from `low` to `high`.
std::optional<int> ParseWholeNumber(std::string_view text, int low, int high) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (number < low || number > high) return std::nullopt;
    return number;
}

// A whole number of seconds, at least 1 and at most a day.
// "24h", "90m", "3600s", "2d" or a number of seconds; 1 s to 366 days.
std::optional<std::int64_t> ParseDuration(std::string_view text) {
    std::int64_t unit = 1;
    if (!text.empty()) {
        switch (text.back()) {
            case 's':
                unit = 1;
                break;
            case 'm':
                unit = 60;
                break;
            case 'h':
                unit = 3600;
                break;
            case 'd':
                unit = 86400;
                break;
            default:
                unit = 0;
                break;
        }
        if (unit != 0) text.remove_suffix(1);
    }
    const auto number = ParseWholeNumber(text, 1, 366 * 86400);
    if (!number) return std::nullopt;
    const std::int64_t seconds = std::int64_t{*number} * (unit == 0 ? 1 : unit);
    if (seconds > std::int64_t{366} * 86400) return std::nullopt;
    return seconds;
}

std::optional<int> ParseSummarySeconds(std::string_view text) {
    return ParseWholeNumber(text, 1, kMaxSummarySeconds);
}

std::string ReceiverFormatHelp(SourceId receiver) {
    const std::string option = "--receiver" + std::to_string(ReceiverNumber(receiver));
    std::string text = option + " takes DEVICE:RATE:FORMAT, tcp:HOST:PORT:raw, tcp:HOST:PORT:beast";
    if (receiver == SourceId::Receiver2) text += " or udp:FORMAT";
    text += " (RATE one of 115200, 833333, 921600, 1000000, 3000000; FORMAT one of @ * : beast)";
    return text;
}

void SelectReceiver(const ReceiverOption& option, ReceiverProfile& receiver) {
    if (option.Network) {
        const std::string_view kind =
            *option.Network == NetworkKind::Raw ? kTcpRawItem : kTcpBeastItem;
        const auto& rates = receiver.BaudRate.Items;
        receiver.BaudRate.SelectIndex(
            static_cast<int>(std::find(rates.begin(), rates.end(), kind) - rates.begin()));
        receiver.Port.Text = option.Device;
    } else if (!option.Udp) {
        const auto& items = receiver.Port.Items;
        const auto found = std::find(items.begin(), items.end(), option.Device);
        if (found != items.end())
            receiver.Port.SelectIndex(static_cast<int>(found - items.begin()));
        const auto rate = std::find(kRates.begin(), kRates.end(), option.BaudRate);
        receiver.BaudRate.SelectIndex(static_cast<int>(rate - kRates.begin()));
    } else {
        receiver.BaudRate.SelectIndex(kUdpRateIndex);
    }
    // A Beast receiver has no line format; the others' lists show theirs.
    if (option.Network != NetworkKind::Beast) {
        receiver.Format.SelectIndex(static_cast<int>(kFormats.find(option.Format)));
    }
    // The settings may have left a network receiver here, with a typed port list.
    MatchPortToRate(receiver);
}

// tcp:HOST:PORT:raw or tcp:HOST:PORT:beast; the port may be left out.
std::optional<ReceiverOption> ParseNetworkOption(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view kindText = text.substr(colon + 1);
    ReceiverOption option;
    if (kindText == "raw") {
        option.Network = NetworkKind::Raw;
    } else if (kindText == "beast") {
        option.Network = NetworkKind::Beast;
    } else {
        return std::nullopt;
    }
    const std::string_view address = text.substr(0, colon);
    if (!std::holds_alternative<HostPort>(
            ParseHostPort(address, DefaultNetworkPort(*option.Network)))) {
        return std::nullopt;
    }
    option.Device = std::string(address);
    return option;
}

}  // namespace

std::optional<ReceiverOption> ParseReceiverOption(std::string_view text, bool udpAllowed) {
    if (text.starts_with("tcp:")) return ParseNetworkOption(text.substr(4));
    ReceiverOption option;
    std::string_view rest;
    if (text.ends_with(kBeastFormatText)) {
        option.Format = 'b';
        rest = text.substr(0, text.size() - kBeastFormatText.size());
    } else {
        // The format is the last character, after a ":"; so ":" itself needs no escaping.
        if (text.size() < 2 || text[text.size() - 2] != ':') return std::nullopt;
        option.Format = text.back();
        if (kFormats.find(option.Format) == std::string_view::npos || option.Format == 'b') {
            return std::nullopt;
        }
        rest = text.substr(0, text.size() - 2);
    }
    if (rest == "udp") {
        // Datagrams carry text lines; Beast binary comes over a serial line or TCP.
        if (!udpAllowed || option.Format == 'b') return std::nullopt;
        option.Udp = true;
        return option;
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const auto rate = ParseRate(rest.substr(colon + 1));
    if (!rate) return std::nullopt;
    option.Device = std::string(rest.substr(0, colon));
    option.BaudRate = *rate;
    return option;
}

std::optional<MetricsAddress> ParseMetricsAddress(std::string_view text) {
    MetricsAddress address;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view host = text.substr(0, colon);
        if (host.starts_with('[') && host.ends_with(']')) {
            host = host.substr(1, host.size() - 2);
        } else if (host.find(':') != std::string_view::npos) {
            return std::nullopt;  // an IPv6 address goes in brackets
        }
        if (host.empty() || host.find_first_of(" /[]") != std::string_view::npos) {
            return std::nullopt;
        }
        address.Host = std::string(host);
        text = text.substr(colon + 1);
    }
    const auto port = ParseWholeNumber(text, 0, 65535);
    if (!port) return std::nullopt;
    address.Port = *port;
    return address;
}

std::variant<CommandLine, CommandLineError> ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    bool summaryGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
                inlineValue = std::string(arg.substr(eq + 1));
                arg = arg.substr(0, eq);
            }
        }
        const auto flag = [&](bool& field) -> std::optional<CommandLineError> {
            if (inlineValue) return CommandLineError{std::string(arg) + " takes no value."};
            field = true;
            return std::nullopt;
        };
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };

        std::optional<CommandLineError> error;
        if (arg == "--help" || arg == "-h") {
            error = flag(result.Help);
        } else if (arg == "--version") {
            error = flag(result.Version);
        } else if (arg == "--start") {
            error = flag(result.Start);
        } else if (arg == "--connect") {
            error = flag(result.Connect);
        } else if (arg == "--log") {
            error = flag(result.Log);
        } else if (arg == "--no-window") {
            error = flag(result.NoWindow);
        } else if (arg == "--summary-every") {
            constexpr std::string_view kSummaryHelp =
                "--summary-every takes a whole number of seconds from 1 to 86400";
            const auto text = value();
            if (!text) return CommandLineError{std::string(kSummaryHelp) + "."};
            const auto seconds = ParseSummarySeconds(*text);
            if (!seconds) {
                return CommandLineError{"\"" + *text + "\" is not a summary period: " +
                                        std::string(kSummaryHelp) + "."};
            }
            result.SummarySeconds = *seconds;
            summaryGiven = true;
        } else if (arg == "--receiver1" || arg == "--receiver2") {
            const SourceId receiver =
                arg == "--receiver1" ? SourceId::Receiver1 : SourceId::Receiver2;
            const auto text = value();
            if (!text) return CommandLineError{ReceiverFormatHelp(receiver) + "."};
            auto option = ParseReceiverOption(*text, receiver == SourceId::Receiver2);
            if (!option) {
                return CommandLineError{"\"" + *text + "\" is not a receiver set-up: " +
                                        ReceiverFormatHelp(receiver) + "."};
            }
            (receiver == SourceId::Receiver1 ? result.Receiver1 : result.Receiver2) =
                std::move(*option);
        } else if (arg == "--port-device") {
            const auto text = value();
            if (!text || text->empty())
                return CommandLineError{"--port-device takes a device path."};
            result.PortDevices.push_back(*text);
        } else if (arg == "--csv") {
            const auto text = value();
            if (!text || text->empty()) return CommandLineError{"--csv takes a file path."};
            result.CsvFile = *text;
        } else if (arg == "--report") {
            const auto text = value();
            if (!text || text->empty()) {
                return CommandLineError{
                    "--report takes a file path ending in .pdf, .png or .html."};
            }
            if (!ReportFormatOf(*text)) {
                return CommandLineError{"--report: \"" + *text + "\" " +
                                        std::string(kReportEndingsText) + "."};
            }
            result.ReportFile = *text;
        } else if (arg == "--station") {
            constexpr std::string_view kStationHelp =
                "--station takes LAT,LON in decimal degrees (such as 52.3,-4.5)";
            const auto text = value();
            if (!text) return CommandLineError{std::string(kStationHelp) + "."};
            result.Station = ParseStation(*text);
            if (!result.Station) {
                return CommandLineError{"\"" + *text + "\" is not a station location: " +
                                        std::string(kStationHelp) + "."};
            }
        } else if (arg == "--max-range") {
            constexpr std::string_view kRangeHelp =
                "--max-range takes the maximum range in NM, from 1 to 1000 (such as 250)";
            const auto text = value();
            if (!text) return CommandLineError{std::string(kRangeHelp) + "."};
            const auto nm = ParseDecimal(*text);
            if (!nm || *nm < kMinMaxRangeNm || *nm > kMaxMaxRangeNm) {
                return CommandLineError{
                    "\"" + *text + "\" is not a maximum range: " + std::string(kRangeHelp) + "."};
            }
            result.MaxRangeNm = *nm;
        } else if (arg == "--coverage-csv" || arg == "--level-csv" || arg == "--history-csv") {
            const auto text = value();
            if (!text || text->empty()) {
                return CommandLineError{std::string(arg) + " takes a file path."};
            }
            (arg == "--coverage-csv" ? result.CoverageCsvFile
             : arg == "--level-csv"  ? result.LevelCsvFile
                                     : result.HistoryCsvFile) = *text;
        } else if (arg == "--history-every" || arg == "--checkpoint-every") {
            const bool history = arg == "--history-every";
            const std::string takes =
                std::string(arg) + (history ? " takes a whole number of minutes from 1 to 1440."
                                            : " takes a whole number of seconds from 5 to 3600.");
            const auto text = value();
            if (!text) return CommandLineError{takes};
            const auto number = history ? ParseWholeNumber(*text, 1, kMaxHistoryMinutes)
                                        : ParseWholeNumber(*text, 5, 3600);
            if (!number) {
                return CommandLineError{"\"" + *text + "\" is not a " +
                                        (history ? "history" : "checkpoint") + " period: " + takes};
            }
            (history ? result.HistoryMinutes : result.CheckpointSeconds) = *number;
        } else if (arg == "--metrics") {
            constexpr std::string_view kMetricsHelp =
                "--metrics takes [HOST:]PORT, such as 9718 or 127.0.0.1:9718 (PORT 0 to 65535; "
                "0: any free port)";
            const auto text = value();
            if (!text) return CommandLineError{std::string(kMetricsHelp) + "."};
            result.Metrics = ParseMetricsAddress(*text);
            if (!result.Metrics) {
                return CommandLineError{"\"" + *text + "\" is not a metrics address: " +
                                        std::string(kMetricsHelp) + "."};
            }
        } else if (arg == "--resume") {
            result.Resume = true;
        } else if (arg == "--end-after") {
            constexpr std::string_view kTakes =
                "--end-after takes a duration such as 24h, 90m or 3600s (1 s to 366 d).";
            const auto text = value();
            if (!text) return CommandLineError{std::string(kTakes)};
            result.EndAfterSeconds = ParseDuration(*text);
            if (!result.EndAfterSeconds) {
                return CommandLineError{"\"" + *text +
                                        "\" is not a duration: " + std::string(kTakes)};
            }
        } else {
            return CommandLineError{"Unknown option \"" + std::string(args[i]) +
                                    "\"; quorvex --help lists the options."};
        }
        if (error) return *error;
    }
    if (summaryGiven && !result.NoWindow) {
        return CommandLineError{"--summary-every goes with --no-window."};
    }
    if (result.EndAfterSeconds && !result.NoWindow) {
        return CommandLineError{"--end-after goes with --no-window."};
    }
    if (result.Receiver1 && result.Receiver2 && !result.Receiver2->Udp &&
        result.Receiver1->Device == result.Receiver2->Device) {
        return CommandLineError{"--receiver1 and --receiver2 name the same device \"" +
                                result.Receiver1->Device + "\"."};
    }
    return result;
}

std::string UsageText() {
    return "Usage: quorvex [OPTION]...\n"
           "Compares the reception of two Mode S receivers and a port-30003 feed.\n"
           "\n"
           "  --receiver1 DEVICE:RATE:FORMAT  receiver 1 on a serial device\n"
           "  --receiver2 DEVICE:RATE:FORMAT  receiver 2 on a serial device\n"
           "  --receiver2 udp:FORMAT          receiver 2 fed by UDP datagrams (port 7934)\n"
           "  --receiver1 tcp:HOST:PORT:raw   receiver 1 on a decoder's raw hex output (port\n"
           "                                  30002 when left out); likewise --receiver2\n"
           "  --receiver1 tcp:HOST:PORT:beast receiver 1 on a decoder's Beast binary output\n"
           "                                  (port 30005 when left out); likewise --receiver2\n"
           "                  RATE: 115200, 833333, 921600, 1000000 or 3000000\n"
           "                  FORMAT: @ (counter and frame), * (frame, no CRC check done)\n"
           "                          : (frame with the CRC residual), or beast (Beast\n"
           "                          binary, as Mode-S Beast hardware sends it over USB;\n"
           "                          serial devices only)\n"
           "  --port-device PATH  list PATH in the port lists even when the probe does not\n"
           "                      find it (a pseudo-terminal, a symbolic link); repeatable\n"
           "  --start         press Start once the window shows\n"
           "  --connect       press Connect (the port-30003 feed) once the window shows\n"
           "  --log           start the logfile once the window shows\n"
           "  --csv FILE      append every second of the measurement to FILE as CSV (the\n"
           "                  header first when FILE is new): time, the 15 counters, the\n"
           "                  chart's rates and averages\n"
           "  --station LAT,LON  the station's location in decimal degrees (such as\n"
           "                  52.3,-4.5), kept in the settings: positions get a range and\n"
           "                  bearing from it\n"
           "  --max-range NM  the farthest a position may lie from the station (1 to 1000;\n"
           "                  300 unless set), kept with it: farther ones are dropped\n"
           "  --coverage-csv FILE  write the coverage per 10-degree sector to FILE every\n"
           "                  minute and at the end (replacing it whole): the farthest range\n"
           "                  of each source and the position frames heard by both\n"
           "                  receivers or one only\n"
           "  --level-csv FILE  write the level comparison to FILE every minute and at the\n"
           "                  end (replacing it whole): per ring from the station the\n"
           "                  frames both receivers heard, their level difference in dB\n"
           "                  (receiver 2 - receiver 1: median, 95 % interval, quartiles)\n"
           "                  and each receiver's share of strong frames\n"
           "  --history-csv FILE  write the session's history to FILE every minute and at the\n"
           "                  end (replacing it whole): per period the frames, positions,\n"
           "                  both/only position frames, the farthest and 95th-percentile\n"
           "                  range of each receiver and the seconds measured\n"
           "  --history-every MINUTES  the history's period (1 to 1440; 60 when left out)\n"
           "  --checkpoint-every SECONDS  how often the session's state is saved to disk\n"
           "                  (5 to 3600; 60 when left out), and at the end\n"
           "  --end-after DURATION  with --no-window: end the session once it is DURATION\n"
           "                  old (24h, 90m, 3600s or 2d), counted from its start, across\n"
           "                  restarts that continued it; ends as SIGTERM ends a run\n"
           "  --resume        continue the latest session when it was measured with the\n"
           "                  same receivers, station and maximum range (after a crash, a\n"
           "                  reboot or an update); otherwise say why and begin a new one\n"
           "  --no-window     measure without a window and without a display: Start at\n"
           "                  once, a summary line per source on standard output, errors\n"
           "                  on standard error; SIGINT or SIGTERM ends the run with every\n"
           "                  file complete and the settings saved\n"
           "  --summary-every N  with --no-window: the summary every N seconds (1 to 86400;\n"
           "                  60 when left out): per source its frames or lines a second and\n"
           "                  the DF 11/17 ones over the period, the connections lost and the\n"
           "                  packets rejected since the start\n"
           "  --report FILE   write the run's one-page report to FILE whenever a period of\n"
           "                  the history closes and at the end (replacing it whole): the\n"
           "                  set-up, the verdict, both receivers' coverage and the table\n"
           "                  per ring, range and frames per period, the level histogram;\n"
           "                  FILE ends in .pdf (A4), .png (the page as an image) or .html\n"
           "                  (one file, its pictures inside); without a window it needs no\n"
           "                  display either\n"
           "  --metrics [HOST:]PORT  serve the run's figures for Prometheus at\n"
           "                  http://HOST:PORT/metrics (HOST 127.0.0.1 when left out; PORT\n"
           "                  0: any free port, said on standard error): frames per receiver\n"
           "                  and DF group, feed lines, positions, both/only position frames,\n"
           "                  ranges per sector, levels, aircraft of the last minute, each\n"
           "                  source up or down; in the window and with --no-window\n"
           "  --help          show this text and exit\n"
           "  --version       show the version and exit\n"
           "\n"
           "The options apply after the settings and profiles are read and mark no profile\n"
           "as changed.\n";
}

std::string FilesText(const platform::ProgramPaths& paths) {
    const std::string marker(platform::kPortableMarker);
    return std::string("Files") +
           (paths.Portable ? " (portable: " + marker + " lies beside the program):\n"
                           : " (installed: no " + marker + " beside the program):\n") +
           "  settings  " + paths.SettingsFile + "\n" +    //
           "  profiles  " + paths.ProfilesFolder + "\n" +  //
           "  logfiles  " + paths.LogFolder + "\n" +       //
           "  sessions  " + paths.SessionsFolder + "\n" +  //
           "  CSV       " + paths.CsvFolder + "\n";
}

std::vector<std::string> ExtraPortDevices(const CommandLine& commandLine) {
    std::vector<std::string> devices;
    const auto add = [&devices](const std::string& device) {
        if (std::find(devices.begin(), devices.end(), device) == devices.end()) {
            devices.push_back(device);
        }
    };
    for (const std::string& device : commandLine.PortDevices) add(device);
    for (const auto& receiver : {commandLine.Receiver1, commandLine.Receiver2}) {
        if (receiver && !receiver->Udp && !receiver->Network) add(receiver->Device);
    }
    return devices;
}

void ApplyCommandLine(const CommandLine& commandLine, ProfileSettings& settings) {
    if (commandLine.Receiver1) SelectReceiver(*commandLine.Receiver1, settings.Receiver1);
    if (commandLine.Receiver2) SelectReceiver(*commandLine.Receiver2, settings.Receiver2);
}

}  // namespace quorvex::app
