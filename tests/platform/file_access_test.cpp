// Reading a file through a mapping and appending to one: the stretch mapped, why a mapping
// fails, and appends that never bring a removed file back.

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <utility>

#include "platform/append_file.h"
#include "platform/file_mapping.h"
#include "support/temp_folder.h"

namespace quorvex::platform {
namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ReadOnlyMappingTest, MapsTheStretchAskedForAndSaysWhyItCannot) {
    test::TempFolder folder;
    const std::string big = folder.Folder() + "big", empty = folder.Folder() + "empty";
    std::string bytes(10000, 'a');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    WriteFile(big, bytes);
    WriteFile(empty, "");

    // An offset that is no page boundary, and a mapping that is moved.
    ReadOnlyMapping stretch = ReadOnlyMapping::Map(big, 4095, 10);
    ReadOnlyMapping moved = std::move(stretch);
    EXPECT_EQ(moved.Bytes(), bytes.substr(4095, 10));
    EXPECT_EQ(moved.Failure(), MapFailure::None);
    EXPECT_EQ(ReadOnlyMapping::Map(big, 9000).Bytes(), bytes.substr(9000));

    const struct {
        std::string path;
        std::uint64_t offset, size;
        MapFailure failure;
        int error;
    } failures[] = {{folder.Folder() + "missing", 0, 0, MapFailure::Open, ENOENT},
                    {empty, 0, 0, MapFailure::NotMappable, 0},
                    {folder.Folder(), 0, 0, MapFailure::NotMappable, 0},
                    {big, 10000, 0, MapFailure::NotMappable, 0},
                    {big, 9000, 1001, MapFailure::NotMappable, 0}};
    for (const auto& c : failures) {
        const ReadOnlyMapping mapping = ReadOnlyMapping::Map(c.path, c.offset, c.size);
        EXPECT_EQ(mapping.Failure(), c.failure) << c.path << " " << c.offset;
        EXPECT_EQ(mapping.Error(), c.error) << c.path << " " << c.offset;
        EXPECT_TRUE(mapping.Bytes().empty());
    }
}

TEST(AppendFileTest, CreatesOnlyWhenAskedAndKeepsWhatTheFileHolds) {
    test::TempFolder folder;
    const std::string log = folder.Folder() + "run.log";
    EXPECT_EQ(AppendToExistingFile(log, "lost\n"), ENOENT);
    EXPECT_EQ(test::EntryCount(folder.path()), 0u) << "appending created the file";

    EXPECT_EQ(CreateOrKeepFile(log), 0);
    EXPECT_EQ(AppendToExistingFile(log, "one\n"), 0);
    EXPECT_EQ(CreateOrKeepFile(log), 0);
    EXPECT_EQ(AppendToExistingFile(log, "two\n"), 0);
    EXPECT_EQ(test::ReadFileBytes(log), "one\ntwo\n");

    EXPECT_EQ(CreateOrKeepFile(folder.Folder() + "no/such/folder.log"), ENOENT);
    EXPECT_EQ(AppendToExistingFile(folder.Folder(), "x"), EISDIR);
}

}  // namespace
}  // namespace quorvex::platform
