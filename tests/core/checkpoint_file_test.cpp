// Checkpoint frames and files: a whole one reads back; one cut short anywhere, with any bit
// flipped, of another version or with bytes after it is refused with its reason; in a
// folder the previous one stands in for a current one that is not whole.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/run/checkpoint_file.h"
#include "support/temp_folder.h"

namespace quorvex {
namespace {

TEST(CheckpointFileTest, OnlyAWholeFrameOfThisVersionReadsBack) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926U);  // the CRC-32 check value
    const std::string payload = std::string("session state \x1A\0\xFF", 17) + std::string(300, 'x');
    const std::string frame = EncodeCheckpoint(payload);
    EXPECT_EQ(DecodeCheckpoint(frame).payload, payload);
    EXPECT_EQ(DecodeCheckpoint(EncodeCheckpoint("")).payload, "");

    for (std::size_t size = 0; size < frame.size(); ++size) {
        const DecodedCheckpoint cut = DecodeCheckpoint(frame.substr(0, size));
        ASSERT_FALSE(cut.payload) << size;
        EXPECT_EQ(cut.problem, size == 0 ? "is no checkpoint" : "is cut short") << size;
    }
    for (std::size_t bit = 0; bit < 8 * frame.size(); ++bit) {
        std::string flipped = frame;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        ASSERT_FALSE(DecodeCheckpoint(flipped).payload) << "bit " << bit;
    }
    std::string later = frame;
    later[8] = 2;
    EXPECT_EQ(DecodeCheckpoint(later).problem, "is of version 2, not 1");
    EXPECT_EQ(DecodeCheckpoint(frame + "x").problem, "has bytes after its end");
    EXPECT_EQ(DecodeCheckpoint("[Settings]\n").problem, "is no checkpoint");
}

TEST(CheckpointFileTest, ThePreviousCheckpointStandsInForOneNotWhole) {
    test::TempFolder folder;
    const std::string path = folder.Folder();
    EXPECT_EQ(LoadCheckpoint(path).payload, std::nullopt);
    EXPECT_EQ(WriteCheckpoint(path, "first"), std::nullopt);
    EXPECT_EQ(WriteCheckpoint(path, "second"), std::nullopt);
    EXPECT_EQ(LoadCheckpoint(path).payload, "second");

    // A crash cut the current one short: the previous one is taken, and that is said.
    const std::string current = path + "checkpoint";
    const std::string whole = EncodeCheckpoint("second");
    std::ofstream(current, std::ios::binary | std::ios::trunc) << whole.substr(0, 10);
    const LoadedCheckpoint loaded = LoadCheckpoint(path);
    EXPECT_EQ(loaded.payload, "first");
    EXPECT_EQ(loaded.problems, std::vector<std::string>{"Checkpoint " + current +
                                                        " is cut short: it is not taken."});

    EXPECT_NE(WriteCheckpoint(path + "missing/", "x"), std::nullopt);
}

}  // namespace
}  // namespace quorvex
