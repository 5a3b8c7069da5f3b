#pragma once
// A checkpoint on disk: a session's state as bytes in a frame that says when it is not whole.
// The frame: the 8 bytes "QVXCKPT\n", the format version (4 bytes), the payload's length (8
// bytes), the payload, the CRC-32 of all before it (4 bytes); numbers little-endian. A file
// torn by a crash, cut short, of another version or with a flipped bit is never taken.
//
// In its folder a checkpoint is the file "checkpoint" and the one before it,
// "checkpoint.previous": a new one is written beside them and renamed over the first only
// once whole and flushed, the first having become the previous one, and the folder is
// flushed; a crash at any moment leaves a good one. Loading takes the newest good one and says
// what it could not take.
//
// Threads: any; one writer per folder at a time.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

inline constexpr std::uint32_t kCheckpointVersion = 1;
inline constexpr std::string_view kCheckpointMagic = "QVXCKPT\n";

// The CRC-32 of `bytes` (the polynomial of zlib and PNG).
std::uint32_t Crc32(std::string_view bytes);

std::string EncodeCheckpoint(std::string_view payload);

struct DecodedCheckpoint {
    std::optional<std::string> payload;
    // Why there is none: "is no checkpoint", "is cut short", "is of version N, not 1", "fails
    // its checksum", "has bytes after its end".
    std::string problem;
};
DecodedCheckpoint DecodeCheckpoint(std::string_view bytes);

// Writes `payload` as the folder's checkpoint; the message when it fails.
std::optional<std::string> WriteCheckpoint(const std::string& folder, std::string_view payload);

struct LoadedCheckpoint {
    std::optional<std::string> payload;  // the newest good one
    // One line for each file that could not be taken: "Checkpoint <path> is cut short; ..."
    std::vector<std::string> problems;
};
LoadedCheckpoint LoadCheckpoint(const std::string& folder);

}  // namespace quorvex
