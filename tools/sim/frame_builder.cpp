#include "tools/sim/frame_builder.h"

#include <algorithm>
#include <cmath>

#include "core/base/hex.h"
#include "tools/sim/cpr_encoder.h"
#include "tools/sim/mode_s_fields.h"
#include "tools/sim/reference_parity.h"

namespace quorvex::sim {
namespace {

// Writes fields from the most significant bit on, as a frame is transmitted.
class BitWriter {
  public:
    explicit BitWriter(ModeSFrame& frame) : frame_(frame) {}
    void Put(std::uint64_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if ((value >> i) & 1) frame_.bytes[position_ / 8] |= 0x80 >> (position_ % 8);
            ++position_;
        }
    }

  private:
    ModeSFrame& frame_;
    std::size_t position_ = 0;
};

void PutParity(ModeSFrame& frame, std::uint32_t residual) {
    const std::uint32_t parity = ReferenceParity(frame.Data()) ^ residual;
    frame.bytes[frame.size - 3] = static_cast<std::uint8_t>(parity >> 16);
    frame.bytes[frame.size - 2] = static_cast<std::uint8_t>(parity >> 8);
    frame.bytes[frame.size - 1] = static_cast<std::uint8_t>(parity);
}

std::uint64_t IdentificationMessage(const Aircraft& a) {
    return (std::uint64_t{4} << 51) | (std::uint64_t(a.category & 7) << 48) |
           CallsignCode(a.callsign);
}

std::uint64_t PositionMessage(const Aircraft& a) {
    const CprFields cpr = EncodeAirbornePosition(a.latitude, a.longitude, a.oddPosition);
    // TC 11, surveillance status 0, single antenna flag 0, altitude, time flag 0, format.
    return (std::uint64_t{11} << 51) | (std::uint64_t{AltitudeCode12(a.altitude)} << 36) |
           (std::uint64_t{a.oddPosition} << 34) | (std::uint64_t{cpr.yz} << 17) | cpr.xz;
}

// One velocity component: sign bit and magnitude + 1 in `bits` bits (0 means not known).
std::uint64_t SignedComponent(double value, double unit, int bits) {
    const double limit = static_cast<double>((1 << bits) - 1);
    const double magnitude = std::min(std::round(std::fabs(value) / unit) + 1, limit);
    return (std::uint64_t{value < 0} << bits) | static_cast<std::uint64_t>(magnitude);
}

std::uint64_t VelocityMessage(const Aircraft& a) {
    // TC 19 subtype 1 (ground speed, subsonic); intent change 0, IFR 0, NUC 0.
    std::uint64_t me = (std::uint64_t{19} << 3) | 1;
    me = (me << 5);                                          // IC, IFR, NUCv
    me = (me << 11) | SignedComponent(a.eastKnots, 1, 10);   // west bit, east-west speed
    me = (me << 11) | SignedComponent(a.northKnots, 1, 10);  // south bit, north-south speed
    me = (me << 1);                                          // vertical rate source: baro
    me = (me << 10) | SignedComponent(a.verticalRate, 64, 9);
    me = (me << 10);  // reserved, geometric height difference unknown
    return me;
}

// BDS 2,0, aircraft identification, as a Comm-B reply carries it.
std::uint64_t CommBMessage(const Aircraft& a) {
    return (std::uint64_t{0x20} << 48) | CallsignCode(a.callsign);
}

// Flight status airborne, no downlink request, a utility message now and then.
void PutStatus(BitWriter& out, SimRandom& random) {
    out.Put(0, 3);
    out.Put(0, 5);
    out.Put(random.Chance(0.2) ? random.Below(64) : 0, 6);
}

}  // namespace

std::uint32_t ModeSFrame::ParityField() const {
    return (std::uint32_t{bytes[size - 3]} << 16) | (std::uint32_t{bytes[size - 2]} << 8) |
           bytes[size - 1];
}

std::uint32_t ModeSFrame::Residual() const {
    return ParityField() ^ ReferenceParity(Data());
}

ModeSFrame BuildFrame(FrameKind kind, const Aircraft& a, SimRandom& random) {
    ModeSFrame frame;
    BitWriter out(frame);
    std::uint32_t residual = a.address;
    switch (kind) {
        case FrameKind::AirAir:
            frame.size = 7;
            out.Put(0, 5);
            out.Put(0, 1);  // vertical status: airborne
            out.Put(1, 1);  // cross-link capability
            out.Put(0, 1);
            out.Put(random.Below(8), 3);  // sensitivity level
            out.Put(0, 2);
            out.Put(random.Chance(0.5) ? 3 : 4, 4);  // reply information: ACAS capabilities
            out.Put(0, 2);
            out.Put(AltitudeCode13(a.altitude), 13);
            break;
        case FrameKind::SurveillanceAlt:
        case FrameKind::SurveillanceId:
        case FrameKind::CommBAlt:
        case FrameKind::CommBId: {
            // DF 4 and 5, and DF 20 and 21 that add a Comm-B message: flight status, then
            // the altitude or the identity.
            const bool commB = kind == FrameKind::CommBAlt || kind == FrameKind::CommBId;
            const bool altitude = kind == FrameKind::SurveillanceAlt || kind == FrameKind::CommBAlt;
            frame.size = commB ? 14 : 7;
            out.Put((commB ? 20 : 4) + (altitude ? 0 : 1), 5);
            PutStatus(out, random);
            out.Put(altitude ? AltitudeCode13(a.altitude) : IdentityCode13(a.squawk), 13);
            if (commB) out.Put(CommBMessage(a), 56);
            break;
        }
        case FrameKind::AllCall:
        case FrameKind::AllCallIc:
            frame.size = 7;
            out.Put(11, 5);
            out.Put(5, 3);  // capability: level 2 or above, airborne
            out.Put(a.address, 24);
            residual = kind == FrameKind::AllCallIc ? a.interrogatorCode : 0;
            break;
        case FrameKind::Identification:
        case FrameKind::Position:
        case FrameKind::Velocity:
            frame.size = 14;
            out.Put(a.nonTransponder ? 18 : 17, 5);
            out.Put(a.nonTransponder ? 0 : 5, 3);  // DF 18: control field 0, ICAO address
            out.Put(a.address, 24);
            out.Put(kind == FrameKind::Identification ? IdentificationMessage(a)
                    : kind == FrameKind::Position     ? PositionMessage(a)
                                                      : VelocityMessage(a),
                    56);
            residual = 0;
            break;
    }
    PutParity(frame, residual);
    return frame;
}

ModeSFrame WithResidual(const ModeSFrame& frame) {
    ModeSFrame out = frame;
    const std::uint32_t residual = frame.Residual();
    out.bytes[out.size - 3] = static_cast<std::uint8_t>(residual >> 16);
    out.bytes[out.size - 2] = static_cast<std::uint8_t>(residual >> 8);
    out.bytes[out.size - 1] = static_cast<std::uint8_t>(residual);
    return out;
}

ModeSFrame CorruptOneBit(const ModeSFrame& frame, SimRandom& random) {
    const std::size_t dataBits = (frame.size - 3) * 8;
    for (;;) {
        ModeSFrame damaged = frame;
        const std::size_t bit = 5 + random.Below(dataBits - 5);
        damaged.bytes[bit / 8] ^= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        // DF 11 passes when the upper 16 bits of its residual are zero: whatever the low
        // bits hold is taken for an interrogator code.
        const std::uint32_t residual = damaged.Residual();
        const bool caught = damaged.Df() == 11 ? (residual & 0xFFFF00) != 0 : residual != 0;
        if (caught) return damaged;
    }
}

std::string FrameHex(const ModeSFrame& frame) {
    std::string text;
    text.reserve(frame.size * 2);
    for (std::size_t i = 0; i < frame.size; ++i) {
        text += kUpperHexDigits[frame.bytes[i] >> 4];
        text += kUpperHexDigits[frame.bytes[i] & 0xF];
    }
    return text;
}

}  // namespace quorvex::sim
