// A session's saved state on arbitrary bytes (what a checkpoint with a good checksum could
// still hold if its writer were wrong): continuing a run from it never crashes or allocates
// without bound; what it takes is whole and consistent, so saving the continued run and
// continuing another from that gives the same state again.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/run/run.h"
#include "core/run/session_file.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "session_state_fuzz: %s\n", what);
    std::abort();
}

class StillClock : public quorvex::Clock {
  public:
    quorvex::LocalDateTime Now() const override { return {}; }
    double SteadySeconds() const override { return 100.0; }
};

// A run as the program has it when a session is continued: a station, started.
struct StartedRun {
    StillClock clock;
    quorvex::Run run{"/nonexistent/", clock};
    explicit StartedRun(std::int64_t unixSecond) {
        run.SetStation(quorvex::LatLon{52.3, 4.76}, 300.0);
        run.Start(5, unixSecond);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quorvex::ByteReader in(bytes);
    const auto header = quorvex::ReadSessionHeader(in);
    if (!header) return 0;
    StartedRun first(header->lastUnix);
    if (!first.run.Restore(in, header->lastUnix)) return 0;
    const std::string saved = quorvex::SessionPayload(header->setup, first.run);
    StartedRun second(header->lastUnix);
    quorvex::ByteReader again(saved);
    Check(quorvex::ReadSessionHeader(again).has_value(), "a saved header was refused");
    Check(second.run.Restore(again, header->lastUnix), "a saved state was refused");
    Check(quorvex::SessionPayload(header->setup, second.run) == saved,
          "a saved state did not come back the same");
    return 0;
}
