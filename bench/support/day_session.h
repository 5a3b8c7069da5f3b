#pragma once
// A day's session for the benchmarks of what reads a run: hourly buckets over a sky of 5,760
// aircraft (four a minute), spread as the demo's sky is (receiver 1 hears out to 220 NM,
// receiver 2 to 160 NM and within 60 NM from 240 to 300 degrees), with levels; and, when
// asked, one more aircraft each second of the last `busySeconds`, for an Aircraft page
// that is full at the end.

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>

#include "tests/support/position_sky.h"

namespace quorvex::bench {

struct DaySession {
    static constexpr std::int64_t kStart = 1'800'000'000;
    static constexpr int kSeconds = 86400;
    static constexpr LatLon kStation{52.3, 4.76};

    // The run ends after its day (End) when `ended`; its logfiles would go to `name` in the
    // temporary folder.
    DaySession(const std::string& name, bool ended, int busySeconds = 0)
        : folder(std::filesystem::temp_directory_path() /
                 (name + "-" + std::to_string(::getpid()))),
          run((folder / "").string(), clock) {
        std::filesystem::create_directories(folder);
        run.SetStation(kStation, 300);
        run.Start(5, kStart);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::uint32_t address = 0x200000;
        const auto hear = [&] {
            const double bearing = 360.0 * unit(random);
            const double nm = 250.0 * std::sqrt(unit(random));
            const bool shadow = bearing >= 240 && bearing < 300 && nm > 60;
            const auto level = [&random](int low) {
                return LevelFromBeastByte(static_cast<std::uint8_t>(low + random() % 80));
            };
            test::HearAircraft(run, kStation, address++,
                               {bearing, nm, 30000, nm < 220, nm < 160 && !shadow}, level(40),
                               level(25));
        };
        TickResult result;
        for (int second = 1; second <= kSeconds; ++second) {
            for (int i = 0; second % 60 == 0 && i < 4; ++i) hear();
            if (second > kSeconds - busySeconds) hear();
            TickInputs inputs;
            inputs.UnixSeconds = kStart + second;
            run.Second(inputs, false, result);
        }
        if (ended) run.End();
    }
    ~DaySession() { std::filesystem::remove_all(folder); }
    DaySession(const DaySession&) = delete;
    DaySession& operator=(const DaySession&) = delete;

    std::filesystem::path folder;
    SystemClock clock;
    Run run;
};

}  // namespace quorvex::bench
