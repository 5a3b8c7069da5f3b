#pragma once
// One unit of output on its way out: a receiver's packet or a feed line, with what the
// ground truth needs to count it once it has been written whole.

#include <cstdint>
#include <string>

#include "core/frames/df_group.h"
#include "tools/sim/fault.h"

namespace quorvex::sim {

struct Unit {
    enum class Kind : std::uint8_t {
        Frame,      // a good frame, counted in its group
        Corrupted,  // a frame with a flipped bit that fails the parity check
        Faulty,     // one of the faults
        FeedLine,   // a "MSG," line
    };
    Kind kind = Kind::Frame;
    DfGroup group = DfGroup::Df0;
    Fault fault = Fault::Garbled;
    int feedType = 0;
    std::uint32_t address = 0;
    double time = 0;  // when the aircraft sent it, simulated seconds
    std::string text;

    // An airborne position (frame or MSG,3 line): where it was sent from, seen from the
    // station. A frame also carries its number among the sky's position frames and whether
    // both receivers got it unharmed, so the truth can tell when both wrote it.
    int sector = -1;  // -1: not a position
    double range = 0;
    std::uint64_t positionNumber = 0;
    bool toBoth = false;

    // A receiver's frame: the number of the transmission among all the sky sent, whether
    // both receivers got it unharmed with the same bytes (twins, for the level truth), and
    // the level byte a Beast receiver wrote (0: none).
    std::uint64_t frameNumber = 0;
    bool twin = false;
    std::uint8_t level = 0;
};

}  // namespace quorvex::sim
