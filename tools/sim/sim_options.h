#pragma once
// The simulator's command line.

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/sim/simulation.h"

namespace quorvex::sim {

struct ReceiverTarget {
    enum class Kind : std::uint8_t { None, Pty, Device, Udp, TcpBeast };
    static constexpr int kBeastPort = 30005;

    Kind kind = Kind::None;
    std::string device;  // Device
    std::int64_t baud = 3000000;
    char format = '*';               // '@', '*', ':' or kBeastFormat
    std::string host = "127.0.0.1";  // Udp
    int port = 7934;                 // Udp; TcpBeast (0: any free port, the one taken printed)
};

struct SimOptions {
    std::array<ReceiverTarget, 2> receivers;
    bool feed = false;
    int feedPort = 30003;  // 0: any free port (the one taken is printed)
    SimSettings settings;
    bool rateMax = false;
    double seconds = 0;  // 0: until SIGINT or SIGTERM
    std::string truthFile;
    bool truthEverySecond = false;
    bool waitForGo = false;  // nothing is sent before a line on standard input
    bool help = false;
};

// The options, or the message that says what is wrong with them.
std::variant<SimOptions, std::string> ParseSimOptions(const std::vector<std::string>& args);

// Checks --rate against the serial lines, which must carry the whole sky (the rate of the
// slowest for --rate max). Without --rate a sky too busy for the line is slowed to its rate,
// and `note` says so. The message when a --rate given is too high.
std::optional<std::string> ResolveRate(SimOptions& options, std::string* note = nullptr);

std::string SimUsage();

}  // namespace quorvex::sim
