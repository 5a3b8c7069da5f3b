// The packet framer on arbitrary chunk sequences and settings, against a plain model of its
// rules written here: the buffer cut at its head for every packet and discard, every
// search from the beginning, the strings removed as stated.
//
// What must hold after every step: both fired the same packets and discards in the same
// order with the same texts, and both raised (or did not) alike. At the end a change of
// the start string discards what each holds, so their buffers are compared too.
//
// The input chooses the settings, which handler calls raise, and a sequence of steps:
// chunks (raw bytes, or bytes mapped onto characters that match the strings) and changes
// of every setting.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/frames/packet_framer.h"

namespace {

using quorvex::PacketFramer;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "packet_framer_fuzz: %s\n", what);
    std::abort();
}

// What the handlers saw: "P" or "D" followed by the text.
struct Log {
    std::vector<std::string> events;
    int packets = 0;
    int discards = 0;
    int raisePacket = 0;  // the packet (counted from 1) whose handler raises; 0: none
    int raiseDiscard = 0;

    void Packet(const std::string& text) {
        events.push_back("P" + text);
        if (++packets == raisePacket) throw std::runtime_error("packet");
    }
    void Discard(const std::string& text) {
        events.push_back("D" + text);
        if (++discards == raiseDiscard) throw std::runtime_error("discard");
    }
};

struct Settings {
    std::string start, stop;
    std::int32_t size = 0, maxBuffer = 1024;
    bool include = false, caseless = false;
};

class Model {
  public:
    Model(const Settings& settings, Log& log) : s_(settings), log_(log) {}

    void FeedText(const std::string& text) {
        if (s_.size <= 0 && s_.stop.empty()) {
            log_.Packet(text);
            return;
        }
        buffer_ += text;
        try {
            Scan();
        } catch (...) {
            LimitTest();
            throw;
        }
        LimitTest();
    }

    void Change(const Settings& next) {
        const bool discard = next.start != s_.start || next.stop != s_.stop ||
                             next.size != s_.size || next.caseless != s_.caseless;
        s_ = next;
        if (discard) DiscardBuffer();
    }

  private:
    std::string Upper(std::string text) const {
        if (s_.caseless) {
            for (char& c : text) {
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            }
        }
        return text;
    }
    // Position (from 1) of the first occurrence, 0 when none; an empty needle never occurs.
    std::size_t Pos(const std::string& needle, const std::string& text) const {
        if (needle.empty()) return 0;
        const std::size_t at = Upper(text).find(Upper(needle));
        return at == std::string::npos ? 0 : at + 1;
    }

    void Scan() {
        for (;;) {
            if (!inPacket_) {
                if (s_.start.empty()) {
                    inPacket_ = true;
                } else {
                    const std::size_t p = Pos(s_.start, buffer_);
                    if (p == 0) return;
                    inPacket_ = true;
                    if (p > 1) {
                        const std::string cut = buffer_.substr(0, p - 1);
                        buffer_.erase(0, p - 1);
                        log_.Discard(cut);
                    }
                }
            }
            std::size_t length = 0;
            const std::size_t l = s_.start.size();
            if (s_.size > 0 && buffer_.size() >= static_cast<std::size_t>(s_.size)) {
                length = static_cast<std::size_t>(s_.size);
            } else {
                if (buffer_.size() < l) return;
                const std::size_t q = Pos(s_.stop, buffer_.substr(l));
                if (q == 0) return;
                length = l + q - 1 + s_.stop.size();
            }
            std::string packet = buffer_.substr(0, length);
            buffer_.erase(0, length);
            inPacket_ = false;
            if (!s_.include) {
                if (Pos(s_.start, packet) == 1) packet.erase(0, s_.start.size());
                const std::size_t q = Pos(s_.stop, packet);
                if (q != 0 && q - 1 == packet.size() - s_.stop.size()) {
                    packet.erase(packet.size() - s_.stop.size());
                }
            }
            log_.Packet(packet);
        }
    }

    void LimitTest() {
        if (s_.maxBuffer > 0 && buffer_.size() >= static_cast<std::size_t>(s_.maxBuffer)) {
            DiscardBuffer();
        }
    }

    // An empty buffer fires nothing; the flag is cleared all the same, which keeps the rule
    // that a packet in progress begins with the start string (it can be set on an empty
    // buffer only while the start string is empty).
    void DiscardBuffer() {
        if (buffer_.empty()) {
            inPacket_ = false;
            return;
        }
        const std::string all = buffer_;
        try {
            log_.Discard(all);
        } catch (...) {
            buffer_.clear();
            inPacket_ = false;
            throw;
        }
        buffer_.clear();
        inPacket_ = false;
    }

    Settings s_;
    Log& log_;
    std::string buffer_;
    bool inPacket_ = false;
};

void Apply(PacketFramer& framer, const Settings& s) {
    framer.SetStartString(s.start);
    framer.SetStopString(s.stop);
    framer.SetSize(s.size);
    framer.SetMaxBufferSize(s.maxBuffer);
    framer.SetIncludeStrings(s.include);
    framer.SetCaseInsensitive(s.caseless);
}

std::string MatchString(FuzzedDataProvider& input) {
    static constexpr char kLetters[] = "ab:;*AB";
    std::string text;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < length; ++i) {
        text += kLetters[input.ConsumeIntegralInRange<std::size_t>(0, sizeof kLetters - 2)];
    }
    return text;
}

// Runs `step` on both and checks they agree, raising included.
template <typename ModelStep, typename FramerStep>
void Both(ModelStep modelStep, FramerStep framerStep, const Log& modelLog, const Log& framerLog) {
    bool modelRaised = false;
    bool framerRaised = false;
    try {
        modelStep();
    } catch (const std::runtime_error&) {
        modelRaised = true;
    }
    try {
        framerStep();
    } catch (const std::runtime_error&) {
        framerRaised = true;
    }
    Check(modelRaised == framerRaised, "one raised, the other did not");
    Check(modelLog.events == framerLog.events, "packets or discards differ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Settings settings;
    settings.start = MatchString(input);
    settings.stop = MatchString(input);
    settings.size = input.ConsumeIntegralInRange<std::int32_t>(-1, 12);
    settings.maxBuffer = input.ConsumeIntegralInRange<std::int32_t>(-1, 48);
    settings.include = input.ConsumeBool();
    settings.caseless = input.ConsumeBool();

    Log modelLog;
    Log framerLog;
    modelLog.raisePacket = framerLog.raisePacket = input.ConsumeIntegralInRange<int>(0, 8);
    modelLog.raiseDiscard = framerLog.raiseDiscard = input.ConsumeIntegralInRange<int>(0, 8);

    PacketFramer framer;
    Apply(framer, settings);  // on an empty buffer: nothing fired
    framer.OnPacket = [&](const std::string& text) { framerLog.Packet(text); };
    framer.OnDiscard = [&](const std::string& text) { framerLog.Discard(text); };
    Model model(settings, modelLog);

    while (input.remaining_bytes() > 0) {
        const int step = input.ConsumeIntegralInRange<int>(0, 9);
        if (step < 8) {
            std::string chunk =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 40));
            if (step < 6) {
                static constexpr char kLetters[] = "ab:;*ABx\r";
                for (char& c : chunk)
                    c = kLetters[static_cast<unsigned char>(c) % (sizeof kLetters - 1)];
            }
            Both([&] { model.FeedText(chunk); }, [&] { framer.FeedText(chunk); }, modelLog,
                 framerLog);
        } else {
            Settings next = settings;
            switch (input.ConsumeIntegralInRange<int>(0, 5)) {
                case 0:
                    next.start = MatchString(input);
                    break;
                case 1:
                    next.stop = MatchString(input);
                    break;
                case 2:
                    next.size = input.ConsumeIntegralInRange<std::int32_t>(-1, 12);
                    break;
                case 3:
                    next.maxBuffer = input.ConsumeIntegralInRange<std::int32_t>(-1, 48);
                    break;
                case 4:
                    next.include = !next.include;
                    break;
                default:
                    next.caseless = !next.caseless;
                    break;
            }
            settings = next;
            Both([&] { model.Change(next); }, [&] { Apply(framer, next); }, modelLog, framerLog);
        }
    }
    // Whatever each still holds comes out in one discard.
    Settings last = settings;
    last.start = "#end#";
    modelLog.raiseDiscard = framerLog.raiseDiscard = 0;
    Both([&] { model.Change(last); }, [&] { Apply(framer, last); }, modelLog, framerLog);
    return 0;
}
