#pragma once
// Airborne position frames with good parity for aircraft placed by range and bearing from a
// station, built by the tests' own encoder (core/cpr_test_frames.h) and the simulator's
// parity, and handed to the intake as receivers deliver them.

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "tests/core/cpr_test_frames.h"
#include "tools/sim/reference_parity.h"

namespace quorvex::test {

// The 12-bit altitude field of a barometric altitude in 25 ft steps.
inline std::uint16_t AltitudeField(int feet) {
    const int n = (feet + 1000) / 25;
    return static_cast<std::uint16_t>(((n >> 4) << 5) | 0x10 | (n & 0xF));
}

// An aircraft `nm` from the station on `bearing`, heard by receiver 1, 2 or both.
struct SkyAircraft {
    double bearing;
    double nm;
    int feet;
    bool by1;
    bool by2;
};

// Its even and odd frame, each delivered by the receivers that hear it, at their levels in
// dBFS (none unless given).
inline void HearAircraft(Run& state, LatLon station, std::uint32_t address, const SkyAircraft& a,
                         float level1 = NAN, float level2 = NAN) {
    const LatLon at = Destination(station, a.bearing, a.nm);
    for (const bool odd : {false, true}) {
        auto frame = PositionFrame(address, 11, EncodeCpr(at, odd), AltitudeField(a.feet));
        const std::uint32_t parity = sim::ReferenceParity(std::span(frame).first(11));
        frame[11] = static_cast<std::uint8_t>(parity >> 16);
        frame[12] = static_cast<std::uint8_t>(parity >> 8);
        frame[13] = static_cast<std::uint8_t>(parity);
        if (a.by1) state.TakeFrame(SourceId::Receiver1, frame, level1, std::nullopt);
        if (a.by2) state.TakeFrame(SourceId::Receiver2, frame, level2, std::nullopt);
    }
}

// A sky like the demo's, the same for a seed: `count` aircraft spread evenly over the area
// out to 250 NM at 2,000 to 40,000 ft; receiver 1 hears out to 220 NM, receiver 2 to 160 NM
// and from 240 to 300 degrees only within 60 NM; the feed hears every fourth aircraft. The
// feed's lines are scanned; the frames still waiting for their twin are settled.
inline void HearDemoSky(Run& state, LatLon station, int count, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uint32_t address = 0x200000;
    for (int i = 0; i < count; ++i) {
        const double bearing = 360.0 * unit(random);
        const double nm = 250.0 * std::sqrt(unit(random));
        const int feet = 2000 + static_cast<int>(unit(random) * 38000);
        const bool shadow = bearing >= 240 && bearing < 300 && nm > 60;
        HearAircraft(state, station, address++, {bearing, nm, feet, nm < 220, nm < 160 && !shadow});
        if (i % 4 == 0) {
            const LatLon at = Destination(station, bearing, nm);
            state.TakeFeed(
                "MSG,3,1,1,200000,1,2026/12/07,14:03:27.045,2026/12/07,"
                "14:03:27.045,,38000,,," +
                std::to_string(at.lat) + "," + std::to_string(at.lon) + ",,,0,0,0,0\r\n");
        }
    }
    TickResult scanned;
    state.Second(TickInputs{}, false, scanned);
    state.End();
}

}  // namespace quorvex::test
