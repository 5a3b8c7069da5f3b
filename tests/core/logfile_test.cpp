// Log line texts byte for byte, and the life of the log file: creation, Start/Stop/New, and
// files that cannot be created or vanish while logging is on.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/run/logfile.h"
#include "fake_clock.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::EntryCount;
using test::FakeClock;
using test::ReadFileBytes;
using test::TempFolder;

TEST(LogFormatTest, FrameLinesPutEveryTailInColumn53) {
    const LocalDateTime time{2026, 12, 7, 14, 3, 27, 45};
    const std::string shortFrame = "5D4840D6000000";
    const std::string longFrame = "8D4840D6202CC371C32CE0000000";
    const struct {
        SourceId receiver;
        FrameVerdict verdict;
        std::string_view tail;
    } cases[] = {
        {SourceId::Receiver1, FrameVerdict::Counted(DfGroup::Df11), "***"},
        {SourceId::Receiver1, FrameVerdict::CrcFailed(), "*** CRC failed"},
        {SourceId::Receiver1, FrameVerdict::InvalidDf(), "*** invalid DF"},
        {SourceId::Receiver2, FrameVerdict::Counted(DfGroup::Df20_21), "   >>>"},
        {SourceId::Receiver2, FrameVerdict::CrcFailed(), "   >>> CRC failed"},
        {SourceId::Receiver2, FrameVerdict::InvalidDf(), "   >>> invalid DF"},
    };
    for (const auto& c : cases) {
        const std::string prefix = c.receiver == SourceId::Receiver1 ? "[1] *** " : "[2] >>> ";
        std::string line;
        AppendFrameLine(line, c.receiver, c.verdict, shortFrame, time, ":");
        EXPECT_EQ(line, prefix + "14:03:27.045 - " + shortFrame + " " + std::string(14, ' ') +
                            std::string(c.tail) + "\r\n");
        EXPECT_EQ(line.find(c.tail, 23), 52u) << line;

        line = "kept ";  // appends, does not replace
        AppendFrameLine(line, c.receiver, c.verdict, longFrame, time, ":");
        EXPECT_EQ(line, "kept " + prefix + "14:03:27.045 - " + longFrame + " " +
                            std::string(c.tail) + "\r\n");
        EXPECT_EQ(line.find(c.tail, 5 + 23), 5u + 52u) << line;
    }
}

TEST(LogFormatTest, FieldsKeepTheirWidthWhateverTheValue) {
    EXPECT_EQ(LogStampText({2009, 1, 2, 3, 4, 5, 999}), "09-01-02.03.04.05");
    const auto timeText = [](int millisecond, std::string_view separator) {
        std::string line;
        AppendFrameLine(line, SourceId::Receiver1, FrameVerdict::InvalidDf(), "80000000000000",
                        {2026, 1, 2, 9, 8, 7, millisecond}, separator);
        return line.substr(8, line.find(" - ") + 2 - 8);
    };
    EXPECT_EQ(timeText(0, ":"), "09:08:07.000 -");
    EXPECT_EQ(timeText(7, ":"), "09:08:07.007 -");
    EXPECT_EQ(timeText(999, ":"), "09:08:07.999 -");
    EXPECT_EQ(timeText(100, "."), "09.08.07.100 -");
}

class LogfileTest : public ::testing::Test {
  protected:
    LogfileTest() { OnErrorCollects(log); }

    void OnErrorCollects(Logfile& logfile) {
        logfile.OnError = [this](const std::string& message) { errors.push_back(message); };
    }
    fs::path FileAt(std::string_view stamp) const {
        return folder.path() / (std::string(stamp) + ".log");
    }

    TempFolder folder;
    FakeClock clock;  // 2026-12-07 00:20:41
    Logfile log{folder.Folder(), clock};
    std::vector<std::string> errors;
};

TEST_F(LogfileTest, FirstStartCreatesAnEmptyFileNamedAfterTheTime) {
    EXPECT_FALSE(log.Logging());
    EXPECT_FALSE(log.LogCreated());
    EXPECT_EQ(log.LoggingButtonCaption(), "Start");
    EXPECT_FALSE(log.NewFileEnabled());
    EXPECT_EQ(EntryCount(folder.path()), 0u);

    log.ToggleLogging();
    EXPECT_TRUE(log.Logging());
    EXPECT_TRUE(log.LogCreated());
    EXPECT_EQ(log.LoggingButtonCaption(), "Stop");
    EXPECT_FALSE(log.NewFileEnabled());
    EXPECT_EQ(log.LogStamp(), "26-12-07.00.20.41");
    EXPECT_EQ(log.LogPath(), folder.Folder() + "26-12-07.00.20.41.log");
    EXPECT_EQ(EntryCount(folder.path()), 1u);
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "");
    EXPECT_TRUE(errors.empty());
}

TEST_F(LogfileTest, StartStopStartKeepsWritingTheSameFile) {
    log.ToggleLogging();
    log.WriteFrameLine(SourceId::Receiver1, FrameVerdict::InvalidDf(), "80000000000000");
    log.ToggleLogging();
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(log.LoggingButtonCaption(), "Start");
    EXPECT_TRUE(log.NewFileEnabled());

    clock.now.minute = 25;
    log.ToggleLogging();
    log.WriteFeedLine("8,1\r\n");
    EXPECT_TRUE(log.NewFileEnabled());
    EXPECT_EQ(EntryCount(folder.path()), 1u);
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")),
              "[1] *** 00:20:41.000 - 80000000000000 " + std::string(14, ' ') +
                  "*** invalid DF\r\n[S] ###  MSG,8,1\r\n");
}

TEST_F(LogfileTest, NewStartsAnotherFileAndLeavesThePreviousOneAlone) {
    log.ToggleLogging();
    log.WriteFeedLine("1\r\n");
    log.ToggleLogging();
    log.ToggleLogging();

    clock.now.second = 42;
    log.NewLogFile();
    EXPECT_TRUE(log.Logging());
    EXPECT_EQ(log.LoggingButtonCaption(), "Stop");
    EXPECT_EQ(log.LogPath(), FileAt("26-12-07.00.20.42").string());
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.42")), "");

    log.WriteFeedLine("2\r\n");
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "[S] ###  MSG,1\r\n");
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.42")), "[S] ###  MSG,2\r\n");
}

TEST_F(LogfileTest, NewTwiceInOneSecondKeepsTheEarlierEntries) {
    log.ToggleLogging();
    log.WriteFeedLine("1\r\n");
    log.ToggleLogging();
    log.NewLogFile();
    log.NewLogFile();
    log.ToggleLogging();
    log.WriteFeedLine("2\r\n");
    EXPECT_EQ(EntryCount(folder.path()), 1u);
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "[S] ###  MSG,1\r\n[S] ###  MSG,2\r\n");
    EXPECT_TRUE(errors.empty());
}

TEST_F(LogfileTest, DeletedFileIsNotRecreatedUntilNewAndThatIsToldOnce) {
    const std::string removed = "The logfile " + FileAt("26-12-07.00.20.41").string() +
                                " was removed; entries are not written until New";
    log.ToggleLogging();
    log.WriteFeedLine("1\r\n");
    fs::remove(FileAt("26-12-07.00.20.41"));
    log.WriteFeedLine("2\r\n");
    log.WriteFrameLine(SourceId::Receiver2, FrameVerdict::CrcFailed(), "5D4840D6000100");
    log.SetGathering(true);  // as the window writes: batch after batch
    log.WriteFeedLine("3\r\n");
    log.Flush();
    log.WriteFeedLine("4\r\n");
    log.Flush();
    EXPECT_EQ(EntryCount(folder.path()), 0u);
    EXPECT_EQ(errors, std::vector<std::string>{removed});

    log.ToggleLogging();
    log.ToggleLogging();
    log.NewLogFile();  // the same second: a fresh file of the same name
    log.WriteFeedLine("5\r\n");
    log.Flush();
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "[S] ###  MSG,5\r\n");
    EXPECT_EQ(errors.size(), 1u);

    // Removed once more: told once more.
    fs::remove(FileAt("26-12-07.00.20.41"));
    log.WriteFeedLine("6\r\n");
    log.Flush();
    EXPECT_EQ(errors, (std::vector<std::string>{removed, removed}));
}

// A second program that starts logging in the same folder within the same second takes a
// name of its own; the name is free again once the first has let its file go.
TEST_F(LogfileTest, AFileIsNeverSharedWithAnotherLogfile) {
    Logfile other(folder.Folder(), clock);
    OnErrorCollects(other);
    log.ToggleLogging();
    other.ToggleLogging();
    EXPECT_EQ(log.LogPath(), FileAt("26-12-07.00.20.41").string());
    EXPECT_EQ(other.LogPath(), FileAt("26-12-07.00.20.41-2").string());
    log.WriteFeedLine("1\r\n");
    other.WriteFeedLine("2\r\n");
    log.WriteFeedLine("3\r\n");
    EXPECT_EQ(ReadFileBytes(log.LogPath()), "[S] ###  MSG,1\r\n[S] ###  MSG,3\r\n");
    EXPECT_EQ(ReadFileBytes(other.LogPath()), "[S] ###  MSG,2\r\n");

    // New in the same second: each keeps its own file.
    log.ToggleLogging();
    log.NewLogFile();
    other.ToggleLogging();
    other.NewLogFile();
    EXPECT_EQ(log.LogPath(), FileAt("26-12-07.00.20.41").string());
    EXPECT_EQ(other.LogPath(), FileAt("26-12-07.00.20.41-2").string());

    {
        Logfile third(folder.Folder(), clock);
        third.ToggleLogging();
        EXPECT_EQ(third.LogPath(), FileAt("26-12-07.00.20.41-3").string());
    }
    Logfile fourth(folder.Folder(), clock);
    fourth.ToggleLogging();
    EXPECT_EQ(fourth.LogPath(), FileAt("26-12-07.00.20.41-3").string());
    EXPECT_TRUE(errors.empty());
}

TEST_F(LogfileTest, FileThatCannotBeCreatedIsReportedOnce) {
    // A regular file where the folder should be.
    const fs::path notAFolder = folder.path() / "plain";
    std::ofstream(notAFolder) << "x";
    Logfile blocked((notAFolder / "").string(), clock);
    OnErrorCollects(blocked);

    blocked.ToggleLogging();
    EXPECT_TRUE(blocked.LogCreated());
    EXPECT_TRUE(blocked.Logging());
    blocked.WriteFeedLine("1\r\n");
    blocked.WriteFrameLine(SourceId::Receiver1, FrameVerdict::InvalidDf(), "80000000000000");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(blocked.LogPath()), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find(std::strerror(ENOTDIR)), std::string::npos) << errors[0];
    EXPECT_EQ(ReadFileBytes(notAFolder), "x");
}

TEST_F(LogfileTest, MissingFolderIsReportedAgainOnlyAfterASuccess) {
    const fs::path missing = folder.path() / "missing";
    Logfile elsewhere((missing / "").string(), clock);
    OnErrorCollects(elsewhere);

    elsewhere.ToggleLogging();
    elsewhere.WriteFeedLine("1\r\n");
    EXPECT_FALSE(fs::exists(missing));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(elsewhere.LogPath()), std::string::npos) << errors[0];

    elsewhere.ToggleLogging();
    fs::create_directory(missing);
    elsewhere.NewLogFile();
    EXPECT_TRUE(fs::exists(missing / "26-12-07.00.20.41.log"));
    EXPECT_EQ(errors.size(), 1u);

    fs::remove_all(missing);
    clock.now.second = 50;
    elsewhere.NewLogFile();
    EXPECT_EQ(errors.size(), 2u);
}

// An installed program's log folder is made with the first file; one that cannot be made is
// said once, by name and reason.
TEST_F(LogfileTest, AFolderToCreateIsMadeWithTheFirstFileOrSaidOnce) {
    Logfile made(folder.Folder() + "state/quorvex/", clock, true);
    made.ToggleLogging();
    EXPECT_TRUE(fs::exists(folder.path() / "state/quorvex/26-12-07.00.20.41.log"));

    std::ofstream(folder.path() / "plain") << "x";
    Logfile blocked(folder.Folder() + "plain/quorvex/", clock, true);
    OnErrorCollects(blocked);
    blocked.ToggleLogging();
    blocked.WriteFeedLine("1\r\n");
    blocked.ToggleLogging();
    blocked.NewLogFile();
    EXPECT_TRUE(blocked.LogCreated());
    EXPECT_EQ(errors, std::vector<std::string>{"Cannot create the log folder " + folder.Folder() +
                                               "plain/quorvex/: Not a directory"});
}

TEST_F(LogfileTest, AFileInThePlaceOfTheRemovedOneIsNotWrittenInto) {
    log.ToggleLogging();
    fs::remove(FileAt("26-12-07.00.20.41"));
    fs::create_directory(FileAt("26-12-07.00.20.41"));
    log.WriteFeedLine("1\r\n");
    fs::remove(FileAt("26-12-07.00.20.41"));
    std::ofstream(FileAt("26-12-07.00.20.41")) << "theirs\n";
    log.WriteFeedLine("2\r\n");
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "theirs\n");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(" was removed; "), std::string::npos) << errors[0];
}

}  // namespace
}  // namespace quorvex

namespace quorvex {
namespace {

// Gathered entries reach their own file, in order, only at a flush (asked for once per
// batch), and a new file or a stop flushes what waits for the old one.
TEST_F(LogfileTest, GatheredEntriesReachTheirFileAtTheFlush) {
    int asked = 0;
    log.OnEntriesWaiting = [&asked] { ++asked; };
    log.SetGathering(true);
    log.ToggleLogging();
    log.WriteFeedLine("1\r\n");
    log.WriteFeedLine("2\r\n");
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "");
    EXPECT_EQ(asked, 1);
    log.Flush();
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")), "[S] ###  MSG,1\r\n[S] ###  MSG,2\r\n");

    log.WriteFeedLine("3\r\n");
    clock.now.second = 42;
    log.NewLogFile();
    log.WriteFeedLine("4\r\n");
    log.ToggleLogging();  // stop
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.41")),
              "[S] ###  MSG,1\r\n[S] ###  MSG,2\r\n[S] ###  MSG,3\r\n");
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.42")), "[S] ###  MSG,4\r\n");

    // Past the limit the entries go out without waiting for the flush.
    log.ToggleLogging();
    const std::string big(Logfile::kGatherLimit, 'x');
    log.WriteFeedLine(big);
    EXPECT_EQ(ReadFileBytes(FileAt("26-12-07.00.20.42")).size(),
              std::string("[S] ###  MSG,4\r\n[S] ###  MSG,").size() + big.size());
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace quorvex
