// A full disk and the files the program appends to: the logfile entry by entry and in
// gathered batches, and the --csv file. Each keeps only whole entries, says once that it
// loses them, and starts the next entry on a line of its own once there is room again.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/export/second_csv_file.h"
#include "core/run/logfile.h"
#include "fake_clock.h"
#include "seconds_csv_text.h"
#include "support/small_folder.h"

namespace quorvex {
namespace {

using test::FakeClock;

// A file the program appends to, as the test drives it: Write adds `count` entries.
struct Sink {
    virtual ~Sink() = default;
    virtual void Write(std::size_t count) = 0;
    std::string path;
    std::vector<std::string> messages;  // what the user was told
};

struct LogSink : Sink {
    LogSink(const std::string& folder, const Clock& clock, bool gathering) : log(folder, clock) {
        log.OnError = [this](const std::string& message) { messages.push_back(message); };
        log.SetGathering(gathering);
        log.ToggleLogging();
        path = log.LogPath();
    }
    void Write(std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) log.WriteFeedLine(kFeedEntry);
        log.Flush();
    }
    static constexpr std::string_view kFeedEntry =
        "3,111,11111,4840D6,111111,2026/12/07,00:20:41.000,,,35000,,,51.47,-0.46,,,0,0,0,0\r\n";
    Logfile log;
};

struct CsvSink : Sink {
    explicit CsvSink(const std::string& folder) : file(folder + "run.csv") {
        path = file.Path();
        record.UnixSeconds = kTickTime;
        record.Counts[4] = 7;
    }
    void Write(std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            if (auto message = file.Append(record)) messages.push_back(*message);
        }
    }
    SecondCsvFile file;
    SecondRecord record;
};

// A file of each kind, filled past the room the folder has and written on while it stays
// full, then once more after the folder grew.
struct DiskCase {
    const char* name;
    std::string head, entry;  // what a new file begins with; one entry as it lands
    std::size_t perWrite;
    std::function<std::unique_ptr<Sink>(const std::string& folder, const Clock& clock)> open;
};

void FillAndGrow(const DiskCase& c, const std::string& folder, const test::SmallFolder& small) {
    FakeClock clock;
    const std::unique_ptr<Sink> sink = c.open(folder, clock);
    const std::size_t room = small.Room() - c.head.size();
    ASSERT_NE(room % c.entry.size(), 0u) << "no entry would be cut short";
    std::string whole = c.head;
    for (std::size_t i = 0; i < room / c.entry.size(); ++i) whole += c.entry;

    for (std::size_t n = 0; n < room / c.entry.size() + 4 * c.perWrite; n += c.perWrite) {
        sink->Write(c.perWrite);
    }
    EXPECT_EQ(test::ReadFileBytes(sink->path), whole);
    small.Grow();
    sink->Write(c.perWrite);
    for (std::size_t i = 0; i < c.perWrite; ++i) whole += c.entry;
    EXPECT_EQ(test::ReadFileBytes(sink->path), whole);

    ASSERT_EQ(sink->messages.size(), 1u);
    EXPECT_NE(sink->messages[0].find(sink->path), std::string::npos);
    EXPECT_NE(sink->messages[0].find(std::strerror(small.Error())), std::string::npos)
        << sink->messages[0];
}

TEST(FullDiskTest, EntriesAreWrittenWholeOrNotAtAllAndTheLossIsToldOnce) {
    const std::string feedEntry = "[S] ###  MSG," + std::string(LogSink::kFeedEntry);
    const DiskCase cases[] = {
        {"logfile, entry by entry", "", feedEntry, 1,
         [](const std::string& folder, const Clock& clock) {
             return std::make_unique<LogSink>(folder, clock, false);
         }},
        {"logfile, gathered", "", feedEntry, 7,
         [](const std::string& folder, const Clock& clock) {
             return std::make_unique<LogSink>(folder, clock, true);
         }},
        {"--csv file", std::string(kSecondsHeader), std::string(kSecondRow), 1,
         [](const std::string& folder, const Clock&) { return std::make_unique<CsvSink>(folder); }},
    };
    for (const DiskCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        const int status = test::RunInSmallFolder(
            folder.path(),
            [&](const test::SmallFolder& small) { FillAndGrow(c, folder.Folder(), small); });
        if (status == 77) GTEST_SKIP() << "neither a tmpfs nor a file-size limit is allowed here";
        EXPECT_EQ(status, 0) << "the failures printed above are the child's";
    }
}

}  // namespace
}  // namespace quorvex
