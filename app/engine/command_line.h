#pragma once
// The program's command line: options for scripted use (which receiver sits where, press
// Start, Connect or the logfile's Start once the window shows, or run without a window),
// --help and --version.
//
// Plain values, no Qt: parsed before any window or display exists, so --help and --version
// answer on a machine without a screen.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/positions/geo.h"
#include "core/settings/profiles.h"
#include "core/settings/receiver_kind.h"
#include "platform/program_paths.h"

namespace quorvex::app {

inline constexpr std::string_view kVersionText = "Quorvex 0.3";
inline constexpr int kDefaultSummarySeconds = 60;

// One receiver as the command line sets it up: a serial device at a rate, (receiver 2
// only) the UDP listener, or a decoder's TCP output; and the line format by its start
// character.
struct ReceiverOption {
    std::string Device;  // empty for UDP; "HOST:PORT" for a network receiver
    int BaudRate = 0;    // one of the rates the baud lists offer; 0 for UDP and the network
    bool Udp = false;
    char Format = '*';                   // '@', '*', ':' or 'b' (Beast binary)
    std::optional<NetworkKind> Network;  // tcp:HOST:PORT:raw or tcp:HOST:PORT:beast
    bool operator==(const ReceiverOption&) const = default;
};

// Where the metrics for Prometheus are served (--metrics [HOST:]PORT); port 0: any free one.
struct MetricsAddress {
    std::string Host = "127.0.0.1";
    int Port = 0;
    bool operator==(const MetricsAddress&) const = default;
};

struct CommandLine {
    bool Help = false;
    bool Version = false;
    std::optional<ReceiverOption> Receiver1;
    std::optional<ReceiverOption> Receiver2;
    std::vector<std::string> PortDevices;  // listed even when the probe does not find them
    bool Start = false;                    // press Start once the window shows
    bool Connect = false;                  // press Connect once the window shows
    bool Log = false;                      // start the logfile once the window shows
    std::string CsvFile;                   // every second appended here; empty: none
    std::string ReportFile;                // the one-page report written here; empty: none
    std::optional<LatLon> Station;         // the station's location, kept in the settings
    std::optional<double> MaxRangeNm;      // the maximum range, kept with the station
    std::string CoverageCsvFile;           // the sector table written here; empty: none
    std::string LevelCsvFile;              // the level comparison written here; empty: none
    std::string HistoryCsvFile;            // the session's periods written here; empty: none
    int HistoryMinutes = 60;               // the history's period (--history-every)
    int CheckpointSeconds = 60;            // how often the session is saved (--checkpoint-every)
    bool Resume = false;                   // continue the latest session (--resume)
    // With --no-window: the session ends once it is this many seconds old (--end-after).
    std::optional<std::int64_t> EndAfterSeconds;
    bool NoWindow = false;                  // measure without a display (--no-window)
    std::optional<MetricsAddress> Metrics;  // serve GET /metrics here (--metrics)
    // How often a run without a window prints its summary (--summary-every).
    int SummarySeconds = kDefaultSummarySeconds;
};

struct CommandLineError {
    std::string Message;  // one sentence for standard error
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=" ("--receiver1=/dev/ttyUSB0:3000000:*").
std::variant<CommandLine, CommandLineError> ParseCommandLine(const std::vector<std::string>& args);

// One receiver's text as --receiver1 / --receiver2 take it: DEVICE:RATE:FORMAT,
// tcp:HOST:PORT:raw, tcp:HOST:PORT:beast or, when `udpAllowed`, udp:FORMAT. Nothing when it
// does not spell one.
std::optional<ReceiverOption> ParseReceiverOption(std::string_view text, bool udpAllowed);

// --metrics' [HOST:]PORT: PORT 0 to 65535, HOST a numeric IPv4 or (bracketed) IPv6 address;
// 127.0.0.1 when left out. Nothing when it does not spell one.
std::optional<MetricsAddress> ParseMetricsAddress(std::string_view text);

// The text --help prints.
std::string UsageText();

// Where this run keeps its files (--help ends with it, the About page shows it): the
// settings file, the profiles, logfiles and CSV folders, and whether it runs portable.
std::string FilesText(const platform::ProgramPaths& paths);

// The devices the port lists show beyond the probe's: every --port-device and every device
// a --receiver option names, each once, in the order given.
std::vector<std::string> ExtraPortDevices(const CommandLine& commandLine);

// Selects what the command line names in the receivers' lists, after the settings and
// profiles were read. Not a user change: no profile is marked changed. A device missing
// from a port list leaves that list as it was (ExtraPortDevices lists them all).
void ApplyCommandLine(const CommandLine& commandLine, ProfileSettings& settings);

}  // namespace quorvex::app
