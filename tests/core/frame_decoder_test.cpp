// Decoding one receiver packet: counter prefix, length gate, residual, DF groups and the
// conversion error.
//
// Suite names start in lower case ("decoder...") so that `ctest -R decoder` selects them.
// Frames with a known residual come from published captures (5D484FDEA248F5 is an all-call
// reply of 484FDE with interrogator code SI 6; the A000... frames are Comm-B replies whose
// residual is the address) or were built from an address with a bit-by-bit parity.

#include "core/frames/frame_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/convert_error.h"
#include "core/frames/df_group.h"
#include "support/hex_bytes.h"
#include "tools/sim/reference_parity.h"

namespace quorvex {
namespace {

std::string Name(const FrameVerdict& v) {
    switch (v.kind()) {
        case FrameVerdict::Kind::CrcFailed:
            return "CrcFailed";
        case FrameVerdict::Kind::InvalidDf:
            return "InvalidDf";
        case FrameVerdict::Kind::Dropped:
            return "Dropped";
        case FrameVerdict::Kind::Counted:
            break;
    }
    switch (v.group()) {
        case DfGroup::Df0:
            return "Df0";
        case DfGroup::Df4_5:
            return "Df4_5";
        case DfGroup::Df11:
            return "Df11";
        case DfGroup::Df11Ic:
            return "Df11Ic";
        case DfGroup::Df17_19:
            return "Df17_19";
        case DfGroup::Df20_21:
            return "Df20_21";
    }
    return "?";
}

struct Decoded {
    std::string verdict;
    std::string frame;
};

// Decodes through both entries and checks that they agree.
Decoded Decode(std::string_view packet, bool crc) {
    const DecodeResult thrown = DecodeFrame(packet, crc);
    DecodeResult quiet;
    const std::optional<BadHexPair> bad = TryDecodeFrame(packet, crc, quiet);
    EXPECT_FALSE(bad.has_value()) << packet;
    EXPECT_EQ(Name(quiet.verdict), Name(thrown.verdict)) << packet;
    EXPECT_EQ(quiet.frame.view(), thrown.frame.view()) << packet;
    return {Name(thrown.verdict), std::string(thrown.frame.view())};
}

std::string Hex2(int value, bool lower = false) {
    char text[8];
    std::snprintf(text, sizeof text, lower ? "%02x" : "%02X", static_cast<unsigned>(value));
    return text;
}

std::string Hex6(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string ConvertMessage(std::string_view pair) {
    return "'$" + std::string(pair) + "' is not a valid integer value";
}

// ---------------------------------------------------------------------------------------
// Table of packets with the verdict and the returned frame text.

struct DecodeCase {
    const char* name;
    std::string packet;
    bool crc;
    const char* verdict;
    const char* frame;  // nullptr: not examined
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << '"' << c.packet << "\" CRC " << (c.crc ? "on" : "off");
}

class decoderTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(decoderTable, VerdictAndText) {
    const DecodeCase& c = GetParam();
    const Decoded d = Decode(c.packet, c.crc);
    EXPECT_EQ(d.verdict, c.verdict);
    if (c.frame != nullptr) {
        EXPECT_EQ(d.frame, c.frame);
    }
}

std::string CaseName(const testing::TestParamInfo<DecodeCase>& info) {
    return info.param.name;
}

const DecodeCase kCounterPrefix[] = {
    {"CounterThenShortFrame",
     "000000000001"
     "5D484FDEA248F5",
     true, "Df11Ic", "5D484FDE000016"},
    {"CounterIsNeverConverted",
     "GGGGGGGGGGGG"
     "5D484FDEA248E3",
     true, "Df11", "5D484FDE000000"},
    {"CounterThenLongFrame",
     "FFFFFFFFFFFF"
     "8D4840D6202CC371C32CE0576098",
     true, "Df17_19", "8D4840D6202CC371C32CE0000000"},
    {"CounterWithReceiverResidual",
     "123456789ABC"
     "8D4840D6202CC371C32CE0000000",
     false, "Df17_19", "8D4840D6202CC371C32CE0000000"},
    // A truncated long frame of 26 digits is taken for a counter and a short frame.
    {"TruncatedLongFrameOf26", "8D4840D6202CC371C32CE05760", false, "InvalidDf", "C371C32CE05760"},
    {"CounterThenLongDf11",
     "000000000000"
     "5D484FDE0000000000000035D5A4",
     true, "Dropped", nullptr},
};
INSTANTIATE_TEST_SUITE_P(CounterPrefix, decoderTable, testing::ValuesIn(kCounterPrefix), CaseName);

// 5D484FDE has the data parity A248E3; a transmitted parity A248E3 ^ R leaves residual R.
const DecodeCase kDf11[] = {
    {"ResidualZero", "5D484FDE000000", false, "Df11", "5D484FDE000000"},
    {"LastDigitSet", "5D484FDE000001", false, "Df11Ic", "5D484FDE000001"},
    {"LastDigitLowerCase", "5D484FDE00000f", false, "Df11Ic", "5D484FDE00000f"},
    {"FifthDigitSetLastZero", "5D484FDE000010", false, "Df11", "5D484FDE000010"},
    {"FifthDigitLetterLastZero", "5D484FDE0000F0", false, "Df11", "5D484FDE0000F0"},
    {"BothLowDigitsSet", "5D484FDE0000A5", false, "Df11Ic", "5D484FDE0000A5"},
    {"FirstDigitSet", "5D484FDE100000", false, "CrcFailed", "5D484FDE100000"},
    {"SecondDigitSet", "5D484FDE010000", false, "CrcFailed", "5D484FDE010000"},
    {"ThirdDigitSet", "5D484FDE001000", false, "CrcFailed", "5D484FDE001000"},
    {"FourthDigitSet", "5D484FDE000100", false, "CrcFailed", "5D484FDE000100"},
    {"LetterOInsteadOfZero", "5D484FDE0O0000", false, "CrcFailed", "5D484FDE0O0000"},
    {"TransmittedParityUnchecked", "5D484FDEA248F5", false, "CrcFailed", "5D484FDEA248F5"},
    {"FifthDigitNotExamined", "5D484FDE0000?0", false, "Df11", "5D484FDE0000?0"},
    {"LastDigitNotConverted", "5D484FDE00000?", false, "Df11Ic", "5D484FDE00000?"},
    {"DataNotExamined", "5D!!!!!!000000", false, "Df11", "5D!!!!!!000000"},
    {"LowestFirstByte", "58000000000000", false, "Df11", "58000000000000"},
    {"HighestFirstByte", "5F000000000003", false, "Df11Ic", "5F000000000003"},
    {"LowerCaseFirstByte", "5d484fde000000", false, "Df11", "5d484fde000000"},
    {"PublishedAllCallReply", "5D484FDEA248F5", true, "Df11Ic", "5D484FDE000016"},
    {"CorrectParity", "5D484FDEA248E3", true, "Df11", "5D484FDE000000"},
    {"ResidualFifthDigit", "5D484FDEA248F3", true, "Df11", "5D484FDE000010"},
    {"ResidualLastDigit", "5D484FDEA248E2", true, "Df11Ic", "5D484FDE000001"},
    {"ResidualThirdDigit", "5D484FDEA258E3", true, "CrcFailed", "5D484FDE001000"},
    {"ResidualTopBit", "5D484FDE2248E3", true, "CrcFailed", "5D484FDE800000"},
    // One flipped data bit leaves the generator itself as the residual.
    {"FlippedDataBit", "5D484FDFA248E3", true, "CrcFailed", "5D484FDFFFF409"},
    {"LowerCaseKeptResidualUpper", "5d484fdea248e9", true, "Df11Ic", "5d484fde00000A"},
    {"LowerCasePublished", "5d484fdea248f5", true, "Df11Ic", "5d484fde000016"},
    {"LongWithCorrectParity", "5D484FDE0000000000000035D5A4", true, "Dropped", nullptr},
    {"LongWithCorrectParityCrcOff", "5D484FDE0000000000000035D5A4", false, "Dropped", nullptr},
    {"LongWithZeroResidual", "5D484FDE00000000000000000000", false, "Dropped", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Df11, decoderTable, testing::ValuesIn(kDf11), CaseName);

const DecodeCase kExtendedSquitter[] = {
    {"Identification", "8D4840D6202CC371C32CE0576098", true, "Df17_19",
     "8D4840D6202CC371C32CE0000000"},
    {"PositionEven", "8D40621D58C382D690C8AC2863A7", true, "Df17_19",
     "8D40621D58C382D690C8AC000000"},
    {"PositionOdd", "8D40621D58C386435CC412692AD6", true, "Df17_19",
     "8D40621D58C386435CC412000000"},
    {"Velocity", "8D485020994409940838175B284F", true, "Df17_19", "8D48502099440994083817000000"},
    {"VelocityAirspeed", "8DA05F219B06B6AF189400CBC33F", true, "Df17_19",
     "8DA05F219B06B6AF189400000000"},
    {"Df18", "904840D6202CC371C32CE02A6C6D", true, "Df17_19", "904840D6202CC371C32CE0000000"},
    {"Df19", "9F4840D6202CC371C32CE09F59D7", true, "Df17_19", "9F4840D6202CC371C32CE0000000"},
    {"LowerCase", "8d4840d6202cc371c32ce0576098", true, "Df17_19", "8d4840d6202cc371c32ce0000000"},
    {"ParityDigitChanged", "8D4840D6202CC371C32CE0576099", true, "CrcFailed",
     "8D4840D6202CC371C32CE0000001"},
    {"TransmittedParityCrcOff", "8D4840D6202CC371C32CE0576098", false, "CrcFailed",
     "8D4840D6202CC371C32CE0576098"},
    {"LowerCaseCrcOff", "8d4840d6202cc371c32ce0576098", false, "CrcFailed",
     "8d4840d6202cc371c32ce0576098"},
    {"ReceiverResidual", "8D4840D6202CC371C32CE0000000", false, "Df17_19",
     "8D4840D6202CC371C32CE0000000"},
    {"DataNotExamined", "8Dxxxxxxxxxxxxxxxxxxxx000000", false, "Df17_19",
     "8Dxxxxxxxxxxxxxxxxxxxx000000"},
    {"ResidualComparedAsText", "8Dxxxxxxxxxxxxxxxxxxxx00000o", false, "CrcFailed", nullptr},
    // A short frame has no digits from position 23 on: never counted, even with its parity right.
    {"ShortCorrectParity", "8D4840D6B900F4", true, "CrcFailed", "8D4840D6000000"},
    {"ShortZeroResidual", "8D4840D6000000", false, "CrcFailed", "8D4840D6000000"},
    {"ShortDf17Lowest", "88000000A19BF6", true, "CrcFailed", "88000000000000"},
    {"ShortDf19Highest", "9F4840D6513379", true, "CrcFailed", "9F4840D6000000"},
};
INSTANTIATE_TEST_SUITE_P(ExtendedSquitter, decoderTable, testing::ValuesIn(kExtendedSquitter),
                         CaseName);

const DecodeCase kOtherFormats[] = {
    {"ShortAllOnes", "FFFFFFFF000000", true, "InvalidDf", "FFFFFFFFFEF9BA"},
    {"ShortB0", "B0000000123456", true, "InvalidDf", "B00000002C1E45"},
    {"LongDf16", "80000000000000000000FF000000", true, "InvalidDf", "80000000000000000000FFC3316A"},
    {"LongDf16CrcOff", "80000000000000000000FF000000", false, "InvalidDf",
     "80000000000000000000FF000000"},
    {"InvalidDataNotExamined", "FF############", false, "InvalidDf", "FF############"},
    {"Df4DataNotExamined", "20GGGGGGGGGGGG", false, "Df4_5", "20GGGGGGGGGGGG"},
    {"Df21DataNotExamined", "A8??????????????????????????", false, "Df20_21",
     "A8??????????????????????????"},
};
INSTANTIATE_TEST_SUITE_P(OtherFormats, decoderTable, testing::ValuesIn(kOtherFormats), CaseName);

// ---------------------------------------------------------------------------------------
// DF 0, 4, 5, 20 and 21: counted without a parity test; with the CRC option on the residual
// (the aircraft address) replaces the parity field.

struct AddressedFrame {
    const char* name;
    const char* frame;
    const char* group;
    const char* address;
};

void PrintTo(const AddressedFrame& a, std::ostream* os) {
    *os << '"' << a.frame << '"';
}

class decoderAddressed : public testing::TestWithParam<AddressedFrame> {};

TEST_P(decoderAddressed, CrcOnWritesAddress) {
    const AddressedFrame& a = GetParam();
    const std::string frame = a.frame;
    const Decoded d = Decode(frame, true);
    EXPECT_EQ(d.verdict, a.group);
    EXPECT_EQ(d.frame, frame.substr(0, frame.size() - 6) + a.address);
}

TEST_P(decoderAddressed, CrcOffKeepsText) {
    const AddressedFrame& a = GetParam();
    const Decoded d = Decode(a.frame, false);
    EXPECT_EQ(d.verdict, a.group);
    EXPECT_EQ(d.frame, a.frame);
}

const AddressedFrame kAddressed[] = {
    {"ShortDf0", "02E198385F1BC7", "Df0", "4840D6"},
    {"ShortDf4", "2000183851E8CB", "Df4_5", "406B90"},
    {"ShortDf5", "28000F1F252BFF", "Df4_5", "A05F21"},
    {"ShortDf20", "A00018382C4BEE", "Df20_21", "3C4DD2"},
    {"ShortDf21", "A8001EBCDB5B7B", "Df20_21", "485020"},
    {"LongDf0", "02E19838CA380031580000F3E3DA", "Df0", "4840D6"},
    {"LongDf4", "20001838CA38003158000033CC4C", "Df4_5", "40621D"},
    {"LongDf5", "2A00516D492B80AABBCCDDB75ABB", "Df4_5", "485020"},
    {"LongDf21", "A8001EBCAEE57730A80106D64E8A", "Df20_21", "400940"},
    {"PublishedCommB400940", "A0001839CA3800315800007448D9", "Df20_21", "400940"},
    {"PublishedCommB3C4DD2", "A000139381951536E024D4CCF6B5", "Df20_21", "3C4DD2"},
    {"PublishedCommB4243D0", "A000029CFFBAA11E2004727281F1", "Df20_21", "4243D0"},
    {"LowerCase", "a000139381951536e024d4ccf6b5", "Df20_21", "3C4DD2"},
};
std::string AddressedName(const testing::TestParamInfo<AddressedFrame>& info) {
    return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(Published, decoderAddressed, testing::ValuesIn(kAddressed), AddressedName);

// ---------------------------------------------------------------------------------------
// Every first byte, short and long, in both cases of digits.

// The group of a first byte, by the byte ranges of the DF table. A zero residual is given.
const char* ExpectedVerdict(int firstByte, bool longFrame) {
    if (firstByte <= 0x07) return "Df0";
    if (firstByte <= 0x1F) return "InvalidDf";
    if (firstByte <= 0x2F) return "Df4_5";
    if (firstByte <= 0x57) return "InvalidDf";
    if (firstByte <= 0x5F) return longFrame ? "Dropped" : "Df11";
    if (firstByte <= 0x87) return "InvalidDf";
    if (firstByte <= 0x9F) return longFrame ? "Df17_19" : "CrcFailed";
    if (firstByte <= 0xAF) return "Df20_21";
    return "InvalidDf";
}

TEST(decoderDfMapping, EveryFirstByteWithReceiverResidual) {
    for (int b = 0; b < 256; ++b) {
        for (const bool lower : {false, true}) {
            const std::string shortFrame = Hex2(b, lower) + "000000" + "000000";
            const std::string longFrame = Hex2(b, lower) + std::string(20, '0') + "000000";
            const Decoded s = Decode(shortFrame, false);
            const Decoded l = Decode(longFrame, false);
            EXPECT_EQ(s.verdict, ExpectedVerdict(b, false)) << shortFrame;
            EXPECT_EQ(l.verdict, ExpectedVerdict(b, true)) << longFrame;
            EXPECT_EQ(s.frame, shortFrame);
            if (l.verdict != "Dropped") {
                EXPECT_EQ(l.frame, longFrame);
            }
        }
    }
}

using test::Bytes;

// With the CRC option on, the data digits stay as they came, the parity field becomes the
// transmitted parity xor the data parity in upper case, and the verdict is the one a receiver
// that computed the residual itself (CRC option off) would get for the same text.
TEST(decoderDfMapping, EveryFirstByteCrcOnMatchesReceiverResidual) {
    for (int b = 0; b < 256; ++b) {
        for (const bool lower : {false, true}) {
            for (const std::string tail : {"A1B2C3"
                                           "D4E5F6",
                                           "0123456789ABCDEFFEDC"
                                           "9BA987"}) {
                const std::string frame = Hex2(b, lower) + (lower ? Lower(tail) : tail);
                const std::string data = frame.substr(0, frame.size() - 6);
                const std::vector<std::uint8_t> bytes = Bytes(frame);
                const std::uint32_t transmitted = (std::uint32_t{bytes[bytes.size() - 3]} << 16) |
                                                  (std::uint32_t{bytes[bytes.size() - 2]} << 8) |
                                                  bytes.back();
                const std::uint32_t parity = sim::ReferenceParity(
                    std::span<const std::uint8_t>(bytes.data(), bytes.size() - 3));
                const Decoded on = Decode(frame, true);
                if (on.verdict == "Dropped") {
                    EXPECT_EQ(ExpectedVerdict(b, true), std::string("Dropped")) << frame;
                    continue;
                }
                EXPECT_EQ(on.frame, data + Hex6(transmitted ^ parity)) << frame;
                EXPECT_EQ(on.verdict, Decode(on.frame, false).verdict) << frame;
            }
        }
    }
}

// Any single changed data digit of a correct extended squitter shows in the residual.
TEST(decoderExtendedSquitter, EveryChangedDataDigitFails) {
    const std::string good = "8D4840D6202CC371C32CE0576098";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // The first two digits keep the frame a DF 17 to 19 frame; the rest may take any value.
    for (std::size_t pos = 0; pos < 22; ++pos) {
        for (const char digit : std::string_view(kDigits)) {
            std::string frame = good;
            if (digit == frame[pos]) continue;
            frame[pos] = digit;
            const int df = std::stoi(frame.substr(0, 2), nullptr, 16) / 8;
            if (df < 17 || df > 19) continue;
            EXPECT_EQ(Decode(frame, true).verdict, "CrcFailed") << frame;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Length gate.

TEST(decoderLengthGate, OnlyFrameAndCounterLengthsPass) {
    for (std::size_t length = 0; length <= 60; ++length) {
        const bool kept = length == 14 || length == 28 || length == 26 || length == 40;
        const std::string frame =
            length == 26 || length == 40 ? std::string(length - 12, 'A') : std::string(length, 'A');
        for (const bool crc : {false, true}) {
            const Decoded d = Decode(std::string(length, 'A'), crc);
            if (kept) {
                // AA is DF 21, counted whatever its parity.
                EXPECT_EQ(d.verdict, "Df20_21") << length;
                EXPECT_EQ(d.frame.size(), frame.size()) << length;
            } else {
                EXPECT_EQ(d.verdict, "Dropped") << length;
                EXPECT_EQ(d.frame, "") << length;
            }
            // A packet of the wrong length is dropped before any conversion.
            const std::string garbage(length, 'G');
            if (kept) {
                EXPECT_THROW(DecodeFrame(garbage, crc), EConvertError) << length;
            } else {
                EXPECT_EQ(Decode(garbage, crc).verdict, "Dropped") << length;
            }
        }
    }
}

// The result keeps the bytes its text spells, and a frame that arrives as bytes (Beast)
// decodes as its upper-case text does with the CRC option on.
TEST(decoderBytes, BytesSpellTheTextAndBytesDecodeAsTheirText) {
    for (int b = 0; b < 256; ++b) {
        for (const std::string tail : {"A1B2C3D4E5F6", "0123456789ABCDEFFEDC9BA987"}) {
            const std::string frame = Hex2(b, false) + tail;
            for (const bool crc : {false, true}) {
                const DecodeResult result = DecodeFrame(frame, crc);
                EXPECT_TRUE(std::ranges::equal(result.bytes.view(), Bytes(result.frame.view())))
                    << frame << (crc ? " CRC on" : " CRC off");
            }
            const DecodeResult fromBytes = DecodeFrameBytes(Bytes(frame));
            const DecodeResult fromText = DecodeFrame(frame, true);
            EXPECT_EQ(fromBytes.verdict, fromText.verdict) << frame;
            EXPECT_EQ(fromBytes.frame.view(), fromText.frame.view()) << frame;
            EXPECT_TRUE(std::ranges::equal(fromBytes.bytes.view(), fromText.bytes.view())) << frame;
        }
    }
    for (const std::size_t count : {0, 6, 8, 13, 15}) {
        const DecodeResult result = DecodeFrameBytes(std::vector<std::uint8_t>(count, 0x8D));
        EXPECT_EQ(result.verdict, FrameVerdict::Dropped()) << count;
        EXPECT_TRUE(result.frame.view().empty() && result.bytes.empty()) << count;
    }
}

// A result reused from an earlier packet carries nothing of it into a dropped one.
TEST(decoderLengthGate, ReusedResultIsClearedOnDrop) {
    DecodeResult result;
    ASSERT_FALSE(TryDecodeFrame("8D4840D6202CC371C32CE0576098", true, result).has_value());
    ASSERT_EQ(Name(result.verdict), "Df17_19");
    ASSERT_FALSE(TryDecodeFrame("8D4840D6202CC371C32CE057609", true, result).has_value());
    EXPECT_EQ(Name(result.verdict), "Dropped");
    EXPECT_EQ(result.frame.view(), "");
}

// ---------------------------------------------------------------------------------------
// Conversion errors.

void ExpectConvertError(const std::string& packet, bool crc, std::string_view pair) {
    try {
        DecodeFrame(packet, crc);
        ADD_FAILURE() << packet << ": no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), ConvertMessage(pair).c_str()) << packet;
        EXPECT_EQ(e.text(), "$" + std::string(pair)) << packet;
    }
    DecodeResult result;
    const std::optional<BadHexPair> bad = TryDecodeFrame(packet, crc, result);
    ASSERT_TRUE(bad.has_value()) << packet;
    EXPECT_EQ(bad->text(), "$" + std::string(pair)) << packet;
}

constexpr char kBadChars[] = {'G', 'g', 'Z', 'x', ' ', '.', ':', ';', '@'};

TEST(decoderConversionError, CrcOnAnyBadCharacterAnywhere) {
    for (const std::string good : {"5D484FDEA248F5", "8D4840D6202CC371C32CE0576098"}) {
        for (const std::string counter : {"", "0123456789AB"}) {
            for (std::size_t i = 0; i < good.size(); ++i) {
                for (const char bad : kBadChars) {
                    std::string frame = good;
                    frame[i] = bad;
                    ExpectConvertError(counter + frame, true, frame.substr(i & ~std::size_t{1}, 2));
                }
            }
        }
    }
}

TEST(decoderConversionError, CrcOnReportsFirstBadPairFromLeft) {
    ExpectConvertError("5DG84FDEA2Z8F5", true, "G8");
    ExpectConvertError("5D484FDEA2Z8F5", true, "Z8");
    ExpectConvertError("8D4840D6202CC371C32CE05760zz", true, "zz");
    ExpectConvertError("8D4840D6202C..71C32CE05760zz", true, "..");
}

TEST(decoderConversionError, CrcOffOnlyFirstPairConverted) {
    const std::pair<std::string, const char*> frames[] = {
        {"2000183851E8CB", "Df4_5"}, {"A8001EBCAEE57730A80106D64E8A", "Df20_21"}};
    for (const auto& [good, group] : frames) {
        for (std::size_t i = 0; i < good.size(); ++i) {
            for (const char bad : kBadChars) {
                std::string frame = good;
                frame[i] = bad;
                if (i < 2) {
                    ExpectConvertError(frame, false, frame.substr(0, 2));
                } else {
                    const Decoded d = Decode(frame, false);
                    EXPECT_EQ(d.frame, frame);
                    EXPECT_EQ(d.verdict, group) << frame;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// ApplyResidual on its own.

TEST(decoderApplyResidual, WritesResidualKeepsDataCase) {
    EXPECT_EQ(ApplyResidual("8D4840D6202CC371C32CE0000000").view(), "8D4840D6202CC371C32CE0576098");
    EXPECT_EQ(ApplyResidual("8d4840d6202cc371c32ce0000000").view(), "8d4840d6202cc371c32ce0576098");
    EXPECT_EQ(ApplyResidual("5D484FDEA248F5").view(), "5D484FDE000016");
    EXPECT_EQ(ApplyResidual("5d484fde000000").view(), "5d484fdeA248E3");
    // The DF plays no part.
    EXPECT_EQ(ApplyResidual("FFFFFFFF000000").view(), "FFFFFFFFFEF9BA");
}

TEST(decoderApplyResidual, AppliedTwiceGivesBackTheFrame) {
    for (const char* frame : {"8D40621D58C382D690C8AC2863A7", "A000029CFFBAA11E2004727281F1",
                              "5D484FDEA248F5", "28000F1F252BFF"}) {
        const FrameText once = ApplyResidual(frame);
        EXPECT_NE(once.view(), frame);
        EXPECT_EQ(ApplyResidual(once.view()).view(), frame);
    }
}

TEST(decoderApplyResidual, RejectsOtherLengths) {
    for (const std::size_t length : {0, 1, 12, 13, 15, 26, 27, 29, 40}) {
        EXPECT_THROW(ApplyResidual(std::string(length, '0')), std::invalid_argument) << length;
    }
}

TEST(decoderApplyResidual, BadPairRaisesConvertError) {
    try {
        ApplyResidual("5D484FDEA248Fg");
        ADD_FAILURE() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), ConvertMessage("Fg").c_str());
    }
    EXPECT_THROW(ApplyResidual("GD484FDE000000"), EConvertError);
}

TEST(decoderGroupLabels, AsOnTheControlPage) {
    EXPECT_EQ(DfGroupLabel(DfGroup::Df0), "DF 0");
    EXPECT_EQ(DfGroupLabel(DfGroup::Df4_5), "DF 4, 5");
    EXPECT_EQ(DfGroupLabel(DfGroup::Df11), "DF 11");
    EXPECT_EQ(DfGroupLabel(DfGroup::Df11Ic), "DF 11#");
    EXPECT_EQ(DfGroupLabel(DfGroup::Df17_19), "DF 17- 19");
    EXPECT_EQ(DfGroupLabel(DfGroup::Df20_21), "DF 20, 21");
}

}  // namespace
}  // namespace quorvex
