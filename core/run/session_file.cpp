#include "core/run/session_file.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace quorvex {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxSetupBytes = 4096;
constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;

std::string FolderText(const fs::path& path) {
    std::string text = path.string();
    if (!text.ends_with('/')) text += '/';
    return text;
}

// Session folders, oldest first: their names begin with the start in a form that sorts.
std::vector<fs::path> SessionFolders(const std::string& sessionsFolder) {
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(sessionsFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() >= 16 && name[8] == 'T' && it->is_directory(error)) {
            folders.push_back(it->path());
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace

std::string SessionPayload(std::string_view setup, const Run& run, std::size_t reserve) {
    std::string payload;
    payload.reserve(reserve);
    ByteWriter out(payload);
    out.PutString(setup);
    out.Put(run.SessionStart());
    out.Put(run.LastSecond());
    out.Put(run.Buckets().Total().seconds);
    run.Save(out);
    return payload;
}

std::optional<SessionHeader> ReadSessionHeader(ByteReader& in) {
    SessionHeader header;
    if (!in.GetString(header.setup, kMaxSetupBytes) ||
        !in.GetIn<std::int64_t>(header.startUnix, 0, kLatestSecond) ||
        !in.GetIn<std::int64_t>(header.lastUnix, 0, kLatestSecond) ||
        !in.GetIn<std::int64_t>(header.measuredSeconds, 0, kLatestSecond)) {
        return std::nullopt;
    }
    return header;
}

std::string SessionFolderName(std::int64_t unixSecond) {
    const auto time = static_cast<std::time_t>(unixSecond);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%dT%H%M%SZ", &utc);
    return name;
}

std::optional<std::string> LatestSessionFolder(const std::string& sessionsFolder) {
    const std::vector<fs::path> folders = SessionFolders(sessionsFolder);
    if (folders.empty()) return std::nullopt;
    return FolderText(folders.back());
}

NewSessionFolder MakeSessionFolder(const std::string& sessionsFolder, std::int64_t unixSecond) {
    const std::string name = SessionFolderName(unixSecond);
    fs::path folder = fs::path(sessionsFolder) / name;
    std::error_code error;
    fs::create_directories(sessionsFolder, error);
    for (int n = 2; !error && fs::exists(folder, error); ++n) {
        folder = fs::path(sessionsFolder) / (name + "-" + std::to_string(n));
    }
    if (!error) fs::create_directory(folder, error);
    if (error) {
        return {{}, "Cannot create the session folder " + folder.string() + ": " + error.message()};
    }
    std::vector<fs::path> folders = SessionFolders(sessionsFolder);
    for (std::size_t i = 0; i + kKeptSessions < folders.size(); ++i) {
        fs::remove_all(folders[i], error);  // an old session that stays is no harm
    }
    return {FolderText(folder), {}};
}

std::string MeasuredText(std::int64_t seconds) {
    const std::int64_t minutes = seconds / 60;
    if (minutes < 60) return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::string ContinueQuestion(const SessionHeader& header) {
    const auto time = static_cast<std::time_t>(header.startUnix);
    std::tm local{};
    localtime_r(&time, &local);
    char started[32];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M", &local);
    return "Continue the session started " + std::string(started) + ", " +
           MeasuredText(header.measuredSeconds) + " measured";
}

}  // namespace quorvex
