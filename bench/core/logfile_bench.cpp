// Cost of the logfile while logging is on. Every entry checks that the file still has its
// name and writes one line to it, so the cost is mostly the two system calls. At 19 000
// frames a second that cost decides how much of the user-interface thread logging eats:
// cpu_share_19k is the process CPU time per entry times 19 000, as a fraction of one core,
// and us_per_entry the CPU time per entry in microseconds.
//
// The files are written to a fresh folder under the system's temporary folder, which is
// removed afterwards. After each run the file must hold exactly the bytes of the entries.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/base/clock.h"
#include "core/feed/feed_scan.h"
#include "core/run/log_format.h"
#include "core/run/logfile.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "sample_frames.h"

namespace {

namespace fs = std::filesystem;
using quorvex::FrameVerdict;
using quorvex::SourceId;

constexpr double kFramesPerSecond = 19000;

// A folder of its own for one benchmark run, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvex-logbench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // With a trailing separator, as the program's folder is given to the logfile.
    std::string AppFolder() const { return path_ + "/"; }

  private:
    std::string path_;
};

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void ReportEntryCost(benchmark::State& state, double cpuSeconds) {
    const double perEntry = cpuSeconds / static_cast<double>(state.iterations());
    state.counters["us_per_entry"] = perEntry * 1e6;
    state.counters["cpu_share_19k"] = perEntry * kFramesPerSecond;
}

std::uintmax_t FileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

struct LoggedFrame {
    SourceId receiver;
    FrameVerdict verdict;
    std::string frame;
};

// Decoded frames as the intake hands them to the logfile: both receivers, both lengths, with
// a few parity failures and an invalid DF among them.
std::vector<LoggedFrame> FramesToLog() {
    std::vector<LoggedFrame> frames;
    std::size_t i = 0;
    for (const auto& sample : quorvex::bench::MixedSampleFrames(64)) {
        const SourceId receiver = i % 2 == 0 ? SourceId::Receiver1 : SourceId::Receiver2;
        FrameVerdict verdict = FrameVerdict::Counted(sample.group);
        if (i % 16 == 5) verdict = FrameVerdict::CrcFailed();
        if (i % 32 == 9) verdict = FrameVerdict::InvalidDf();
        frames.push_back({receiver, verdict, sample.residual});
        ++i;
    }
    return frames;
}

void BM_WriteFrameLine(benchmark::State& state) {
    ScratchFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot create a scratch folder");
        return;
    }
    const quorvex::SystemClock clock;
    quorvex::Logfile log(folder.AppFolder(), clock);
    bool failed = false;
    log.OnError = [&failed](const std::string&) { failed = true; };
    log.ToggleLogging();  // creates the file and starts logging

    const std::vector<LoggedFrame> frames = FramesToLog();
    std::vector<std::size_t> lineLength;  // every line has the same length at any time
    for (const LoggedFrame& f : frames) {
        std::string line;
        quorvex::AppendFrameLine(line, f.receiver, f.verdict, f.frame, clock.Now(), ":");
        lineLength.push_back(line.size());
    }

    std::size_t next = 0;
    std::uintmax_t expectedBytes = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        const std::size_t i = next++ % frames.size();
        log.WriteFrameLine(frames[i].receiver, frames[i].verdict, frames[i].frame);
        expectedBytes += lineLength[i];
    }
    const double cpuSeconds = ProcessCpuSeconds() - cpuStart;

    if (failed || FileSize(log.LogPath()) != expectedBytes) {
        state.SkipWithError("the log file does not hold every frame line");
        return;
    }
    ReportEntryCost(state, cpuSeconds);
    state.SetItemsProcessed(state.iterations());
}

void BM_WriteFeedLine(benchmark::State& state) {
    ScratchFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot create a scratch folder");
        return;
    }
    const quorvex::SystemClock clock;
    quorvex::Logfile log(folder.AppFolder(), clock);
    bool failed = false;
    log.OnError = [&failed](const std::string&) { failed = true; };
    log.ToggleLogging();

    // The entries of a real feed: the text after each marker up to the next.
    quorvex::FeedCounts counts;
    const std::string feed = quorvex::bench::SampleFeedText(16 << 10, counts);
    std::vector<std::string_view> entries;
    quorvex::ScanFeedText(feed, counts,
                          [&entries](std::string_view entry) { entries.push_back(entry); });

    std::size_t next = 0;
    std::uintmax_t expectedBytes = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        const std::string_view entry = entries[next++ % entries.size()];
        log.WriteFeedLine(entry);
        expectedBytes += std::string_view("[S] ###  MSG,").size() + entry.size();
    }
    const double cpuSeconds = ProcessCpuSeconds() - cpuStart;

    if (failed || FileSize(log.LogPath()) != expectedBytes) {
        state.SkipWithError("the log file does not hold every feed entry");
        return;
    }
    ReportEntryCost(state, cpuSeconds);
    state.SetItemsProcessed(state.iterations());
}

// The whole path of one packet with logging on: decode, count, write its line.
void BM_ReceiverPacketLogged(benchmark::State& state) {
    ScratchFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot create a scratch folder");
        return;
    }
    const quorvex::SystemClock clock;
    quorvex::Run main(folder.AppFolder(), clock);
    bool failed = false;
    main.Log().OnError = [&failed](const std::string&) { failed = true; };
    main.Log().ToggleLogging();

    const auto frames = quorvex::bench::MixedSampleFrames(256);
    std::size_t next = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        const auto& frame = frames[next++ % frames.size()];
        main.TakePacket(SourceId::Receiver1, frame.transmitted, true);
    }
    const double cpuSeconds = ProcessCpuSeconds() - cpuStart;

    // One line per packet, each ending in CR LF; every sample frame is counted.
    std::ifstream file(main.Log().LogPath(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    std::int64_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    std::int64_t counted = 0;
    for (int g = 0; g < quorvex::kDfGroupCount; ++g) counted += main.Counts().Counter(g);
    if (failed || lines != state.iterations() || counted != state.iterations()) {
        state.SkipWithError("a packet was not counted and logged once");
        return;
    }
    ReportEntryCost(state, cpuSeconds);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_WriteFrameLine);
BENCHMARK(BM_WriteFeedLine);
BENCHMARK(BM_ReceiverPacketLogged);

}  // namespace
