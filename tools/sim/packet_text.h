#pragma once
// Receiver packets as text: "<start><hex>;" and CR LF, in the three formats a receiver
// delivers: "@" (12 digits of a 48-bit 12 MHz counter, then the frame as sent), "*" (the
// frame as sent) and ":" (the frame with the residual the receiver computed in its last six
// digits). And the faulty packets that stand in for one of them.

#include <cstdint>
#include <string>

#include "tools/sim/fault.h"
#include "tools/sim/frame_builder.h"
#include "tools/sim/sim_random.h"

namespace quorvex::sim {

// The counter of the "@" format for a moment of the simulation.
std::uint64_t CounterAt(double seconds);

std::string PacketText(char format, const ModeSFrame& frame, std::uint64_t counter);

// A faulty packet made from `packet` (a well-formed one of `format`) that the program must
// not count: its length, its digits or its bytes say so. In a datagram the NUL bytes come
// before the packet, since the datagram's text ends at its first NUL; such a packet must be
// the last of its datagram. Only for the packet faults.
std::string FaultyPacket(Fault fault, char format, const std::string& packet, bool datagram,
                         SimRandom& random);

}  // namespace quorvex::sim
