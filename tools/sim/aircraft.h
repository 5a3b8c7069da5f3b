#pragma once
// One aircraft of the simulated sky: what its frames say and how well each listener hears it.

#include <cstdint>
#include <string>

namespace quorvex::sim {

// The three listeners of the sky: two receivers and the decoder behind the port-30003 feed.
enum class Listener : std::uint8_t { Receiver1, Receiver2, Feed };
inline constexpr int kListenerCount = 3;

struct Aircraft {
    std::uint32_t address = 0;          // 24-bit ICAO address
    std::string callsign;               // eight characters, blank padded
    int category = 3;                   // emitter category of set A (3: large)
    int squawk = 01200;                 // four octal digits
    bool nonTransponder = false;        // ADS-B only: DF 18 squitters, no replies to radars
    std::uint8_t interrogatorCode = 3;  // 1 to 15: the radar whose all-calls it answers
    double replyFactor = 1;             // how busy the radars around keep its transponder
    double levelOffset = 0;             // dB: its transmitter and antenna (signal_level.h)

    double latitude = 0;   // degrees
    double longitude = 0;  // degrees
    double altitude = 0;   // feet
    double eastKnots = 0;  // ground velocity, east and north components
    double northKnots = 0;
    double verticalRate = 0;   // feet per minute
    int turn = 0;              // 1 turning right, -1 left, 0 straight
    bool oddPosition = false;  // CPR format of its next position squitter

    // The probability that a frame of it is heard, by Listener.
    double hear[kListenerCount] = {1, 1, 1};
};

}  // namespace quorvex::sim
