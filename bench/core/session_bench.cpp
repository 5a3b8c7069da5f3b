// A checkpoint of a day's session: what making its payload costs the user-interface thread
// (the snapshot, taken once a minute) and how large it is, and what writing it to disk with
// its flushes costs the writer's thread.
//
// The day: 5,000 aircraft around the station, 30 transmissions a second, each heard by
// receiver 1 (80 %) and receiver 2 (70 %) with levels; airborne positions, velocities and
// all-call replies; 86,400 ticks, a feed line every second.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/frames/mode_s_parity.h"
#include "core/run/checkpoint_file.h"
#include "core/run/run.h"
#include "core/run/session_file.h"
#include "tests/core/cpr_test_frames.h"
#include "tests/support/position_sky.h"

namespace {

using quorvex::SourceId;

constexpr std::int64_t kDayStart = 1765000800;
constexpr quorvex::LatLon kStation{52.3, 4.76};

class DayClock final : public quorvex::Clock {
  public:
    quorvex::LocalDateTime Now() const override { return {}; }
    double SteadySeconds() const override { return seconds; }
    double seconds = 0;
};

std::vector<std::uint8_t> WithParity(std::vector<std::uint8_t> frame) {
    const std::size_t data = frame.size() - 3;
    const std::uint32_t parity = quorvex::ModeSParityValue(std::span(frame).first(data));
    for (std::size_t k = 0; k < 3; ++k) {
        frame[data + k] = static_cast<std::uint8_t>(parity >> (16 - 8 * k));
    }
    return frame;
}

// The run after a day of traffic, made once for every benchmark.
quorvex::Run& DayRun() {
    static DayClock clock;
    static std::unique_ptr<quorvex::Run> run = [] {
        auto made = std::make_unique<quorvex::Run>("/nonexistent-quorvex-folder/", clock);
        made->SetStation(kStation, quorvex::kDefaultMaxRangeNm);
        made->Start(5, kDayStart);
        std::mt19937 random(29);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        constexpr std::size_t kAircraft = 5000;
        std::vector<std::uint32_t> addresses;
        std::vector<quorvex::LatLon> places;
        for (std::size_t a = 0; a < kAircraft; ++a) {
            addresses.push_back(0x400000 + static_cast<std::uint32_t>(a) * 7);
            places.push_back(
                quorvex::test::Destination(kStation, 360.0 * unit(random), 240.0 * unit(random)));
        }
        quorvex::TickResult result;
        for (int second = 1; second <= 86400; ++second) {
            for (int k = 0; k < 30; ++k) {
                const std::size_t a = random() % kAircraft;
                const std::uint32_t address = addresses[a];
                std::vector<std::uint8_t> frame;
                if (k % 3 == 0) {
                    const auto p = quorvex::test::PositionFrame(
                        address, 11, quorvex::test::EncodeCpr(places[a], (second + k) % 2 == 0),
                        quorvex::test::AltitudeField(30000));
                    frame = WithParity({p.begin(), p.end()});
                } else if (k % 3 == 1) {
                    auto v = quorvex::test::PositionFrame(address, 19, quorvex::CprFrame{}, 0);
                    v[5] = static_cast<std::uint8_t>(random());
                    frame = WithParity({v.begin(), v.end()});
                } else {
                    frame =
                        WithParity({0x5D, std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                                    std::uint8_t(address), 0, 0, 0});
                }
                clock.seconds = second + k / 30.0;
                const float level = -35.0F + 30.0F * static_cast<float>(unit(random));
                if (unit(random) < 0.8) made->TakeFrame(SourceId::Receiver1, frame, level, {});
                if (unit(random) < 0.7) {
                    made->TakeFrame(SourceId::Receiver2, frame, level - 3.0F, {});
                }
            }
            made->TakeFeed("MSG,3,1,1,400007,1,,,,,,35000,,,52.5,4.9,,,,,,0\r\n");
            clock.seconds = second + 1;
            quorvex::TickInputs inputs;
            inputs.UnixSeconds = kDayStart + second;
            made->Second(inputs, false, result);
        }
        return made;
    }();
    return *run;
}

void BM_SessionSnapshot(benchmark::State& state) {
    const quorvex::Run& run = DayRun();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string payload = quorvex::SessionPayload("setup", run, bytes + bytes / 8);
        bytes = payload.size();
        benchmark::DoNotOptimize(payload.data());
    }
    state.counters["payload_bytes"] = static_cast<double>(bytes);
    state.counters["aircraft"] = static_cast<double>(run.Tally().size());
    state.counters["positions"] =
        static_cast<double>(run.Buckets().Total().Positions(SourceId::Receiver1));
}

void BM_CheckpointWrite(benchmark::State& state) {
    const std::string payload = quorvex::SessionPayload("setup", DayRun());
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quorvex-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        if (const auto problem = quorvex::WriteCheckpoint(folder.string(), payload)) {
            state.SkipWithError(problem->c_str());
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(payload.size());
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_SessionSnapshot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckpointWrite)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
