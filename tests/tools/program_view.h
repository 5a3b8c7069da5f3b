#pragma once
// What the program makes of one receiver's bytes: its own framer cuts the packets between
// the format's start character and ";", its own decoder counts them (the CRC option on for
// "*" and "@", off for ":"), datagrams go through its 1024-byte, up-to-NUL rule first.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/frames/frame_decoder.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "serial/com_data_packet.h"

namespace quorvex::test {

class ProgramView {
  public:
    explicit ProgramView(char format) : crcOption_(format != ':') {
        framer_.SetStartString(std::string(1, format));
        framer_.SetStopString(";");
        framer_.OnPacket = [this](serial::TComDataPacket*, const std::string& packet) {
            Decode(packet);
        };
    }

    void Feed(std::string_view bytes) { framer_.FeedText(bytes); }
    void FeedDatagram(std::string_view datagram) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(datagram.data());
        Feed(UdpDatagramText({bytes, datagram.size()}, true));
    }

    std::array<std::int64_t, kDfGroupCount> groups{};
    std::int64_t crcFailed = 0;
    std::int64_t rejected = 0;  // a pair that is no hexadecimal number
    std::int64_t other = 0;     // dropped for its length, or no DF of interest
    std::map<std::uint32_t, std::int64_t> aircraft;
    // The 22 data digits of every counted airborne position squitter (DF 17/18, type 11).
    std::vector<std::string> positions;

  private:
    void Decode(const std::string& packet) {
        DecodeResult result;
        if (TryDecodeFrame(packet, crcOption_, result)) {
            ++rejected;
            return;
        }
        switch (result.verdict.kind()) {
            case FrameVerdict::Kind::Counted: {
                ++groups[static_cast<int>(result.verdict.group())];
                // DF 11, 17 and 18 carry the address after the first byte; the others leave
                // it in the residual.
                const std::string_view frame = result.frame.view();
                const int df = std::stoi(std::string(frame.substr(0, 2)), nullptr, 16) >> 3;
                const bool announced = df == 11 || df == 17 || df == 18;
                const auto digits = announced ? frame.substr(2, 6) : frame.substr(frame.size() - 6);
                ++aircraft[static_cast<std::uint32_t>(
                    std::stoul(std::string(digits), nullptr, 16))];
                if ((df == 17 || df == 18) &&
                    std::stoi(std::string(frame.substr(8, 2)), nullptr, 16) >> 3 == 11) {
                    positions.emplace_back(frame.substr(0, 22));
                }
                break;
            }
            case FrameVerdict::Kind::CrcFailed:
                ++crcFailed;
                break;
            default:
                ++other;
                break;
        }
    }

    bool crcOption_;
    serial::TComDataPacket framer_;
};

}  // namespace quorvex::test
