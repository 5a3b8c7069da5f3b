#include "core/run/checkpoint_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "platform/whole_file.h"

namespace quorvex {
namespace {

constexpr std::size_t kHeader = 8 + 4 + 8;
constexpr std::size_t kTrailer = 4;
// A day of a busy session's state is some megabytes; anything far beyond is no checkpoint.
constexpr std::size_t kMaxCheckpointBytes = std::size_t{1} << 30;

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t Get(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::string FileOf(const std::string& folder, std::string_view name) {
    return folder + (folder.ends_with('/') ? "" : "/") + std::string(name);
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

std::string EncodeCheckpoint(std::string_view payload) {
    std::string out(kCheckpointMagic);
    Put(out, kCheckpointVersion, 4);
    Put(out, payload.size(), 8);
    out += payload;
    Put(out, Crc32(out), 4);
    return out;
}

DecodedCheckpoint DecodeCheckpoint(std::string_view bytes) {
    if (!bytes.starts_with(
            kCheckpointMagic.substr(0, std::min(bytes.size(), kCheckpointMagic.size()))) ||
        bytes.empty()) {
        return {std::nullopt, "is no checkpoint"};
    }
    if (bytes.size() < kHeader) return {std::nullopt, "is cut short"};
    const auto version = static_cast<std::uint32_t>(Get(bytes, 8, 4));
    if (version != kCheckpointVersion) {
        return {std::nullopt, "is of version " + std::to_string(version) + ", not " +
                                  std::to_string(kCheckpointVersion)};
    }
    const std::uint64_t length = Get(bytes, 12, 8);
    if (length > kMaxCheckpointBytes || bytes.size() < kHeader + length + kTrailer) {
        return {std::nullopt, length > kMaxCheckpointBytes ? "fails its checksum" : "is cut short"};
    }
    const std::size_t end = kHeader + static_cast<std::size_t>(length);
    if (static_cast<std::uint32_t>(Get(bytes, end, 4)) != Crc32(bytes.substr(0, end))) {
        return {std::nullopt, "fails its checksum"};
    }
    if (bytes.size() > end + kTrailer) return {std::nullopt, "has bytes after its end"};
    return {std::string(bytes.substr(kHeader, static_cast<std::size_t>(length))), {}};
}

std::optional<std::string> WriteCheckpoint(const std::string& folder, std::string_view payload) {
    const std::string current = FileOf(folder, "checkpoint");
    const std::string previous = FileOf(folder, "checkpoint.previous");
    const std::string fresh = FileOf(folder, "checkpoint.new");
    const auto failed = [&](const std::string& path, int error) {
        return "Cannot write the checkpoint " + path + ": " + platform::ErrorText(error);
    };
    // Whole and flushed beside the others first; then the current one becomes the previous
    // one and the new one the current one, and the folder keeps both renames.
    if (const int error = platform::ReplaceFileAtomically(fresh, EncodeCheckpoint(payload))) {
        return failed(fresh, error);
    }
    if (::rename(current.c_str(), previous.c_str()) != 0 && errno != ENOENT) {
        return failed(previous, errno);
    }
    if (::rename(fresh.c_str(), current.c_str()) != 0) return failed(current, errno);
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return failed(folder, errno);
    const int synced = ::fsync(directory) == 0 ? 0 : errno;
    ::close(directory);
    if (synced != 0) return failed(folder, synced);
    return std::nullopt;
}

LoadedCheckpoint LoadCheckpoint(const std::string& folder) {
    LoadedCheckpoint loaded;
    for (const char* name : {"checkpoint", "checkpoint.previous"}) {
        const std::string path = FileOf(folder, name);
        const platform::WholeFile file = platform::ReadWholeFile(path, kMaxCheckpointBytes + 64);
        if (!file.Reason.empty()) {
            loaded.problems.push_back("Checkpoint " + path + " cannot be read: " + file.Reason);
            continue;
        }
        if (file.Text.empty()) continue;  // none there
        DecodedCheckpoint decoded = DecodeCheckpoint(file.Text);
        if (decoded.payload) {
            loaded.payload = std::move(decoded.payload);
            return loaded;
        }
        loaded.problems.push_back("Checkpoint " + path + " " + decoded.problem +
                                  ": it is not taken.");
    }
    return loaded;
}

}  // namespace quorvex
