// Decoding arbitrary packet texts with both CRC options.
//
// What must hold for any input:
// - DecodeFrame raises nothing but EConvertError, and TryDecodeFrame agrees with it: the same
//   offending pair, or the same verdict and frame text;
// - the conversion message is "'$<pair>' is not a valid integer value";
// - a Counted, CrcFailed or InvalidDf frame text is 14 or 28 characters long;
// - the result equals a plain reference decoding kept here: counter prefix by length, length
//   gate, residual from the simulator's bit-by-bit parity (not the byte table the decoder
//   uses), DF classification;
// - the result's bytes are what its text spells, or none when a pair of it is no number;
// - bytes of a frame (as a Beast receiver delivers them) decode as their text does;
// - ApplyResidual and ModeSParity agree with the same reference;
// - Run::TakePacket changes exactly the counter of the verdict's group, or names the bad pair.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/base/convert_error.h"
#include "core/frames/frame_decoder.h"
#include "core/frames/mode_s_parity.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "tools/sim/reference_parity.h"

namespace {

using quorvex::DecodeResult;
using quorvex::DfGroup;
using quorvex::FrameVerdict;
using quorvex::sim::ReferenceParity;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "decode_frame_fuzz: %s\n", what);
    std::abort();
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int PairValue(char high, char low) {
    const int h = DigitValue(high);
    const int l = DigitValue(low);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

std::string UpperHex(std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

struct Reference {
    bool lengthDropped = false;
    std::optional<std::string> badPair;  // "$" and the pair, when a conversion fails
    FrameVerdict verdict = FrameVerdict::Dropped();
    std::string frame;
};

// The residual of a 14- or 28-character frame, or the first pair that is no number.
std::optional<std::string> ReferenceResidual(std::string_view frame, std::string& out) {
    std::uint8_t bytes[14];
    const std::size_t count = frame.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        const int value = PairValue(frame[2 * i], frame[2 * i + 1]);
        if (value < 0) return std::string("$") + frame[2 * i] + frame[2 * i + 1];
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    const std::size_t dataBytes = count - 3;
    const std::uint32_t received = (std::uint32_t{bytes[dataBytes]} << 16) |
                                   (std::uint32_t{bytes[dataBytes + 1]} << 8) |
                                   bytes[dataBytes + 2];
    const std::uint32_t residual =
        received ^ ReferenceParity(std::span<const std::uint8_t>(bytes, dataBytes));
    out = std::string(frame.substr(0, frame.size() - 6)) + UpperHex(residual, 6);
    return std::nullopt;
}

Reference ReferenceDecode(std::string_view packet, bool crcOption) {
    Reference ref;
    if (packet.size() == 26 || packet.size() == 40) packet.remove_prefix(12);
    if (packet.size() != 14 && packet.size() != 28) {
        ref.lengthDropped = true;
        return ref;
    }
    ref.frame = std::string(packet);
    if (crcOption) {
        if (auto bad = ReferenceResidual(packet, ref.frame)) {
            ref.badPair = bad;
            return ref;
        }
    }
    const std::string& frame = ref.frame;
    const int first = PairValue(frame[0], frame[1]);
    if (first < 0) {
        ref.badPair = std::string("$") + frame[0] + frame[1];
        return ref;
    }
    const int df = first / 8;
    if (df == 0) {
        ref.verdict = FrameVerdict::Counted(DfGroup::Df0);
    } else if (df == 4 || df == 5) {
        ref.verdict = FrameVerdict::Counted(DfGroup::Df4_5);
    } else if (df == 11) {
        if (frame.size() != 14) {
            ref.verdict = FrameVerdict::Dropped();
        } else if (frame.substr(8, 4) != "0000") {
            ref.verdict = FrameVerdict::CrcFailed();
        } else {
            ref.verdict = FrameVerdict::Counted(frame[13] == '0' ? DfGroup::Df11 : DfGroup::Df11Ic);
        }
    } else if (df >= 17 && df <= 19) {
        const std::string parity = frame.size() > 22 ? frame.substr(22, 6) : std::string();
        ref.verdict = parity == "000000" ? FrameVerdict::Counted(DfGroup::Df17_19)
                                         : FrameVerdict::CrcFailed();
    } else if (df == 20 || df == 21) {
        ref.verdict = FrameVerdict::Counted(DfGroup::Df20_21);
    } else {
        ref.verdict = FrameVerdict::InvalidDf();
    }
    return ref;
}

// Every pair of the text, or nothing when one is no hexadecimal number.
std::optional<std::string> SpelledBytes(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int value = PairValue(text[i], text[i + 1]);
        if (value < 0) return std::nullopt;
        bytes += static_cast<char>(value);
    }
    return bytes;
}

void CheckBytesSpellText(const DecodeResult& result) {
    const std::optional<std::string> spelled = SpelledBytes(result.frame.view());
    const auto bytes = result.bytes.view();
    Check(spelled ? std::string(bytes.begin(), bytes.end()) == *spelled : bytes.empty(),
          "the result's bytes are not what its text spells");
}

void CheckDecode(std::string_view packet, bool crcOption) {
    std::optional<DecodeResult> thrown;  // set when DecodeFrame returned
    std::optional<std::string> thrownPair;
    try {
        thrown = quorvex::DecodeFrame(packet, crcOption);
    } catch (const quorvex::EConvertError& error) {
        thrownPair = error.text();
        // what() is a C string: a zero byte in the pair ends it there.
        const std::string message = "'" + error.text() + "' is not a valid integer value";
        Check(std::string_view(error.what()) == message.substr(0, message.find('\0')),
              "conversion message");
    } catch (...) {
        Check(false, "DecodeFrame raised something other than EConvertError");
    }

    DecodeResult tried;
    const auto bad = quorvex::TryDecodeFrame(packet, crcOption, tried);
    Check(bad.has_value() == thrownPair.has_value(), "Try and throwing forms disagree on failing");
    if (bad) {
        Check(std::string(bad->text()) == *thrownPair, "Try and throwing forms name other pairs");
    } else {
        Check(tried.verdict == thrown->verdict, "Try and throwing forms give other verdicts");
        Check(tried.frame.view() == thrown->frame.view(),
              "Try and throwing forms give other frames");
    }

    const Reference ref = ReferenceDecode(packet, crcOption);
    Check(ref.badPair.has_value() == thrownPair.has_value(), "failure differs from reference");
    if (thrownPair) {
        Check(*thrownPair == *ref.badPair, "offending pair differs from reference");
        Check(thrownPair->size() == 3 && (*thrownPair)[0] == '$', "offending pair is '$' + 2");
        return;
    }
    const DecodeResult& result = *thrown;
    Check(result.verdict == ref.verdict, "verdict differs from reference");
    if (ref.lengthDropped) {
        Check(result.frame.size() == 0, "a packet dropped for its length returned a frame");
        return;
    }
    Check(result.frame.view() == ref.frame, "frame text differs from reference");
    if (result.verdict.kind() != FrameVerdict::Kind::Dropped) {
        Check(result.frame.size() == 14 || result.frame.size() == 28, "frame text length");
    }
    CheckBytesSpellText(result);
}

// Bytes in: the same result as their upper-case text with the CRC option on.
void CheckDecodeBytes(std::span<const std::uint8_t> bytes) {
    const DecodeResult fromBytes = quorvex::DecodeFrameBytes(bytes);
    std::string text;
    for (const std::uint8_t b : bytes) text += UpperHex(b, 2);
    const DecodeResult fromText = quorvex::DecodeFrame(text, true);
    const bool frameLength = bytes.size() == 7 || bytes.size() == 14;
    Check(fromBytes.verdict == (frameLength ? fromText.verdict : FrameVerdict::Dropped()),
          "bytes and their text give other verdicts");
    Check(fromBytes.frame.view() == (frameLength ? fromText.frame.view() : ""),
          "bytes and their text give other frames");
    CheckBytesSpellText(fromBytes);
}

void CheckApplyResidual(std::string_view text) {
    std::string expected;
    std::optional<std::string> expectedBad;
    const bool validLength = text.size() == 14 || text.size() == 28;
    if (validLength) expectedBad = ReferenceResidual(text, expected);
    try {
        const quorvex::FrameText out = quorvex::ApplyResidual(text);
        Check(validLength && !expectedBad, "ApplyResidual accepted what it must refuse");
        Check(out.view() == expected, "ApplyResidual differs from reference");
    } catch (const quorvex::EConvertError& error) {
        Check(validLength && expectedBad && error.text() == *expectedBad,
              "ApplyResidual conversion failure differs from reference");
    } catch (const std::invalid_argument&) {
        Check(!validLength, "ApplyResidual refused a frame of valid length");
    }
}

void CheckParity(std::span<const std::uint8_t> bytes) {
    const std::uint32_t value = quorvex::ModeSParityValue(bytes);
    Check(value == ReferenceParity(bytes), "ModeSParityValue differs from the reference parity");
    Check(quorvex::ModeSParity(bytes) == UpperHex(value, 6), "ModeSParity text");
    if (bytes.size() != 4 && bytes.size() != 11) Check(value == 0, "parity of a wrong length");
}

// The intake on one long-lived state, as in a run: each packet moves one counter at most.
void CheckIntake(std::string_view packet, quorvex::SourceId receiver, bool crcOption) {
    static const quorvex::SystemClock clock;
    static quorvex::Run state("/nonexistent-quorvex-fuzz/", clock);  // logging off
    state.ReleaseHold();  // counters of a fresh second, far from saturation
    const quorvex::IntervalCounts before = state.Counts();

    const auto bad = state.TakePacket(receiver, packet, crcOption);

    const Reference ref = ReferenceDecode(packet, crcOption);
    quorvex::IntervalCounts expected = before;
    Check(bad.has_value() == ref.badPair.has_value(), "rejected other than the reference");
    if (bad) {
        Check(std::string(bad->text()) == *ref.badPair, "rejected packet's pair");
    } else if (ref.verdict.IsCounted()) {
        auto& counts =
            receiver == quorvex::SourceId::Receiver1 ? expected.Counts1 : expected.Counts2;
        ++counts[ref.verdict.group()];
    }
    Check(state.Counts() == expected, "the intake moved other counters than the verdict's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view packet(reinterpret_cast<const char*>(data), size);
    CheckDecode(packet, true);
    CheckDecode(packet, false);
    CheckApplyResidual(packet);
    CheckParity(std::span<const std::uint8_t>(data, size < 16 ? size : 16));
    if (size >= 11) CheckParity(std::span<const std::uint8_t>(data, 11));
    if (size >= 4) CheckParity(std::span<const std::uint8_t>(data, 4));
    CheckDecodeBytes(std::span<const std::uint8_t>(data, size < 15 ? size : 15));
    CheckIntake(packet, quorvex::SourceId::Receiver1, true);
    CheckIntake(packet, quorvex::SourceId::Receiver2, false);
    return 0;
}
