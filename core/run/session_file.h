#pragma once
// A measurement session on disk. Each session has a folder of its own in the sessions folder,
// named by the second it began ("20261208T140200Z"), holding its checkpoint pair
// (core/run/checkpoint_file.h). A checkpoint's payload is the session's header, then the
// run's saved state (Run::Save). The header says what a later start needs to decide whether
// to continue it: the setup it was measured with (the receivers, the station and the maximum
// range, as text), when it began, its last second and how long it measured.
//
// The sessions folder keeps the kKeptSessions newest sessions; older ones are removed when a
// new one begins.
//
// Threads: any; the payload is made on the thread that owns the run.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/byte_codec.h"
#include "core/run/run.h"

namespace quorvex {

inline constexpr std::size_t kKeptSessions = 10;

struct SessionHeader {
    std::string setup;
    std::int64_t startUnix = 0;
    std::int64_t lastUnix = 0;  // the last second counted
    std::int64_t measuredSeconds = 0;
    bool operator==(const SessionHeader&) const = default;
};

// The header (setup as given, the rest from the run) and the run's state.
std::string SessionPayload(std::string_view setup, const Run& run, std::size_t reserve = 0);
// The header at the start of a payload; `in` is left at the run's state. None when the
// header is not whole.
std::optional<SessionHeader> ReadSessionHeader(ByteReader& in);

// The folder name of a session begun at `unixSecond`.
std::string SessionFolderName(std::int64_t unixSecond);
// The folder (ending in "/") of the newest session in `sessionsFolder`, if any.
std::optional<std::string> LatestSessionFolder(const std::string& sessionsFolder);
// Makes the folder of a session begun at `unixSecond` (another name when one of that second
// exists) and removes the oldest sessions beyond kKeptSessions. The folder, or the message.
struct NewSessionFolder {
    std::string folder;
    std::string problem;
};
NewSessionFolder MakeSessionFolder(const std::string& sessionsFolder, std::int64_t unixSecond);

// "Continue the session started 2026-12-08 14:02, 3 h 12 min measured" (local time).
std::string ContinueQuestion(const SessionHeader& header);
// "3 h 12 min", "12 min", "0 min".
std::string MeasuredText(std::int64_t seconds);

}  // namespace quorvex
