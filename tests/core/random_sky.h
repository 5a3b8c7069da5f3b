#pragma once
// A long random sky for runs: frames of many aircraft heard by one receiver, the other or
// both (some copies later than the twins' window, some delivered twice), levels on receiver 2
// and on most of receiver 1's frames, over hours of seconds; and what the receivers were sent.

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "core/frames/df_group.h"
#include "core/frames/reception.h"
#include "cpr_test_frames.h"
#include "support/position_sky.h"
#include "tools/sim/reference_parity.h"

namespace quorvex::test {

inline constexpr LatLon kStation{52.3, 4.76};
inline constexpr std::int64_t kStartUnix = 1765000000 + 1234;  // not on a minute or an hour
inline constexpr int kSeconds = 2 * 3600 + 1800;
inline constexpr int kAircraft = 60;

struct Sent {
    double time = 0;
    SourceId receiver = SourceId::Receiver1;
    std::vector<std::uint8_t> bytes;
    float level = kNoLevel;
    DfGroup group = DfGroup::Df17_19;
};

struct Truth {
    std::array<std::array<std::uint64_t, kDfGroupCount>, 2> frames{};
    std::array<std::uint64_t, 3> feedLines{};
};

inline std::vector<std::uint8_t> WithParity(std::vector<std::uint8_t> frame,
                                            std::uint32_t address) {
    const std::size_t data = frame.size() - 3;
    const std::uint32_t parity = sim::ReferenceParity(std::span(frame).first(data)) ^ address;
    frame[data] = static_cast<std::uint8_t>(parity >> 16);
    frame[data + 1] = static_cast<std::uint8_t>(parity >> 8);
    frame[data + 2] = static_cast<std::uint8_t>(parity);
    return frame;
}

// The frames of the whole run in arrival order, and what the receivers were sent.
inline std::vector<Sent> MakeSky(Truth& truth) {
    std::mt19937 random(26);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::uint32_t> addresses;
    std::vector<LatLon> places;
    for (int a = 0; a < kAircraft; ++a) {
        addresses.push_back(0x400000 + static_cast<std::uint32_t>(a) * 0x111);
        places.push_back(Destination(kStation, 360.0 * unit(random), 250.0 * unit(random)));
    }
    std::vector<Sent> sent;
    for (int second = 0; second < kSeconds; ++second) {
        for (int k = 0; k < 12; ++k) {
            const auto a = static_cast<std::size_t>(random() % kAircraft);
            const std::uint32_t address = addresses[a];
            std::vector<std::uint8_t> frame;
            DfGroup group = DfGroup::Df17_19;
            switch (random() % 4) {
                case 0: {  // an airborne position, even or odd
                    const auto p = PositionFrame(address, 11, EncodeCpr(places[a], k % 2),
                                                 AltitudeField(30000));
                    frame = WithParity({p.begin(), p.end()}, 0);
                    break;
                }
                case 1:  // an all-call reply: the same bytes every time
                    frame = WithParity({0x5D, std::uint8_t(address >> 16),
                                        std::uint8_t(address >> 8), std::uint8_t(address), 0, 0, 0},
                                       0);
                    group = DfGroup::Df11;
                    break;
                case 2:  // an altitude reply, its parity overlaid with the address
                    frame = WithParity({0x20, 0x00, std::uint8_t(random() % 8), 0x38, 0, 0, 0},
                                       address);
                    group = DfGroup::Df4_5;
                    break;
                default: {  // a velocity: no position
                    auto v = PositionFrame(address, 19, CprFrame{}, 0);
                    v[5] = static_cast<std::uint8_t>(random());
                    frame = WithParity({v.begin(), v.end()}, 0);
                    break;
                }
            }
            const double at = second + unit(random);
            const auto g = static_cast<std::size_t>(group);
            if (unit(random) < 0.8) {
                // Receiver 1 has a level on two frames of three, from 0 to -40 dBFS.
                const float level1 =
                    k % 3 == 0 ? kNoLevel : -0.5F * static_cast<float>(random() % 81);
                sent.push_back({at, SourceId::Receiver1, frame, level1, group});
                ++truth.frames[0][g];
            }
            if (unit(random) < 0.7) {
                // Later by up to 2.6 s: beyond the window now and then.
                const double late = std::max(0.0, 3.1 * unit(random) - 0.5);
                sent.push_back({at + late, SourceId::Receiver2, frame,
                                -0.5F * static_cast<float>(random() % 60), group});
                ++truth.frames[1][g];
            }
        }
    }
    std::stable_sort(sent.begin(), sent.end(),
                     [](const Sent& x, const Sent& y) { return x.time < y.time; });
    return sent;
}

}  // namespace quorvex::test
