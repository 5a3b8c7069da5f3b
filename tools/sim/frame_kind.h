#pragma once
// The kinds of Mode S frame an aircraft of the sky sends, the counting group each falls in
// and the port-30003 message a decoder makes of it.

#include <array>
#include <cstdint>

#include "core/frames/df_group.h"

namespace quorvex::sim {

enum class FrameKind : std::uint8_t {
    AirAir,           // DF 0, a reply to another aircraft's collision avoidance system
    SurveillanceAlt,  // DF 4, altitude reply to a radar
    SurveillanceId,   // DF 5, identity (squawk) reply
    AllCall,          // DF 11, acquisition squitter or all-call reply, interrogator code 0
    AllCallIc,        // DF 11 answering a radar with a non-zero interrogator code
    Identification,   // DF 17 (DF 18 from a non-transponder device), type code 4
    Position,         // DF 17/18 airborne position, type code 11
    Velocity,         // DF 17/18 airborne velocity, type code 19
    CommBAlt,         // DF 20, Comm-B with altitude
    CommBId,          // DF 21, Comm-B with identity
};

inline constexpr std::array<FrameKind, 10> kAllFrameKinds = {
    FrameKind::AirAir,   FrameKind::SurveillanceAlt, FrameKind::SurveillanceId,
    FrameKind::AllCall,  FrameKind::AllCallIc,       FrameKind::Identification,
    FrameKind::Position, FrameKind::Velocity,        FrameKind::CommBAlt,
    FrameKind::CommBId,
};

constexpr DfGroup GroupOf(FrameKind kind) {
    switch (kind) {
        case FrameKind::AirAir:
            return DfGroup::Df0;
        case FrameKind::SurveillanceAlt:
        case FrameKind::SurveillanceId:
            return DfGroup::Df4_5;
        case FrameKind::AllCall:
            return DfGroup::Df11;
        case FrameKind::AllCallIc:
            return DfGroup::Df11Ic;
        case FrameKind::Identification:
        case FrameKind::Position:
        case FrameKind::Velocity:
            return DfGroup::Df17_19;
        case FrameKind::CommBAlt:
        case FrameKind::CommBId:
            return DfGroup::Df20_21;
    }
    return DfGroup::Df0;
}

// The "MSG," type a decoder writes for a frame of this kind: 1 identification, 3 airborne
// position, 4 velocity, 5 surveillance altitude, 6 surveillance identity, 7 air-air,
// 8 all-call.
constexpr int FeedTypeOf(FrameKind kind) {
    switch (kind) {
        case FrameKind::Identification:
            return 1;
        case FrameKind::Position:
            return 3;
        case FrameKind::Velocity:
            return 4;
        case FrameKind::SurveillanceAlt:
        case FrameKind::CommBAlt:
            return 5;
        case FrameKind::SurveillanceId:
        case FrameKind::CommBId:
            return 6;
        case FrameKind::AirAir:
            return 7;
        case FrameKind::AllCall:
        case FrameKind::AllCallIc:
            return 8;
    }
    return 0;
}

// Whether a receiver's parity check can catch a damaged frame of this kind. The address/
// parity replies (DF 0, 4, 5, 20, 21) carry the address in their residual, so a flipped bit
// there only yields another address: such a frame is counted whatever happened to it.
constexpr bool ParityChecked(FrameKind kind) {
    return GroupOf(kind) == DfGroup::Df11 || GroupOf(kind) == DfGroup::Df11Ic ||
           GroupOf(kind) == DfGroup::Df17_19;
}

}  // namespace quorvex::sim
