#include "tools/sim/simulation.h"

#include <cmath>
#include <optional>

#include "tools/sim/beast_frame.h"
#include "tools/sim/feed_line.h"
#include "tools/sim/frame_builder.h"
#include "tools/sim/packet_text.h"

namespace quorvex::sim {

Simulation::Simulation(const SimSettings& settings)
    : settings_(settings),
      sky_(MakeSky(settings.sky)),
      flownTo_(sky_.size(), 0.0),
      schedule_(sky_, settings.rate, settings.sky.seed),
      fields_(settings.sky.seed, 3),
      hearing_{SimRandom(settings.sky.seed, 4), SimRandom(settings.sky.seed, 5),
               SimRandom(settings.sky.seed, 6)},
      damage_{SimRandom(settings.sky.seed, 7), SimRandom(settings.sky.seed, 8)},
      jitter_{SimRandom(settings.sky.seed, 11), SimRandom(settings.sky.seed, 12)},
      levels_(settings.levels, settings.reach) {
    // Each receiver's counter started at its own moment.
    SimRandom offsets(settings.sky.seed, 9);
    for (std::uint64_t& offset : counterOffset_) offset = offsets.Below(1ULL << 40);
}

void Simulation::Advance(double until, const Deliver& deliver) {
    Emission emission;
    while (schedule_.Next(until, emission)) Emit(emission, deliver);
}

void Simulation::Emit(const Emission& e, const Deliver& deliver) {
    Aircraft& a = sky_[e.aircraft];
    Fly(a, e.time - flownTo_[e.aircraft], settings_.sky.station);
    flownTo_[e.aircraft] = e.time;

    const ModeSFrame frame = BuildFrame(e.kind, a, fields_);
    const bool position = e.kind == FrameKind::Position;
    if (position) a.oddPosition = !a.oddPosition;
    const RangeBearing where = FromStation(settings_.sky.station, a.latitude, a.longitude);
    const auto placed = [&](Unit& unit) {
        if (!position) return;
        unit.sector = SectorOf(where.bearing);
        unit.range = where.range;
    };

    const double slant = SlantRange(where.range, a.altitude);
    std::array<std::optional<Unit>, 2> packets;
    for (int r = 0; r < 2; ++r) {
        const bool chance = hearing_[r].Chance(a.hear[r] * settings_.reach[r].Factor(where));
        const double level = levels_.Level(r, a, slant, e.time, jitter_[r]);
        const bool beast = settings_.format[r] == kBeastFormat;
        const std::uint8_t byte = beast ? LevelByte(level) : 0;
        if (chance && (!beast || byte > 0)) {
            packets[r] = Packet(r, e, frame, settings_.levels.omitted ? 0 : byte);
        }
    }
    if (position) ++positions_;
    ++frames_;
    const bool toBoth = packets[0] && packets[1] && packets[0]->kind == Unit::Kind::Frame &&
                        packets[1]->kind == Unit::Kind::Frame;
    const bool twin = toBoth && Written(0, frame) == Written(1, frame);
    for (int r = 0; r < 2; ++r) {
        if (!packets[r]) continue;
        placed(*packets[r]);
        packets[r]->positionNumber = positions_;
        packets[r]->toBoth = position && toBoth;
        packets[r]->frameNumber = frames_;
        packets[r]->twin = twin;
        deliver(r == 0 ? Source::Receiver1 : Source::Receiver2, std::move(*packets[r]));
    }

    constexpr int kFeed = static_cast<int>(Listener::Feed);
    if (hearing_[kFeed].Chance(a.hear[kFeed] * settings_.reach[0].Factor(where))) {
        Unit line;
        line.kind = Unit::Kind::FeedLine;
        line.feedType = FeedTypeOf(e.kind);
        line.address = a.address;
        line.time = e.time;
        line.text =
            FeedLine(line.feedType, a, settings_.startUnixMillis + std::llround(e.time * 1000.0));
        placed(line);
        deliver(Source::Feed, std::move(line));
    }
}

ModeSFrame Simulation::Written(int r, const ModeSFrame& frame) const {
    return settings_.format[r] == ':' ? WithResidual(frame) : frame;
}

Unit Simulation::Packet(int r, const Emission& e, const ModeSFrame& frame, std::uint8_t level) {
    SimRandom& damage = damage_[r];
    const char format = settings_.format[r];
    Unit unit;
    unit.address = sky_[e.aircraft].address;
    unit.time = e.time;
    unit.group = GroupOf(e.kind);
    const bool corrupted = damage.Chance(settings_.corruptShare) && ParityChecked(e.kind);
    const ModeSFrame sent = corrupted ? CorruptOneBit(frame, damage) : frame;
    unit.kind = corrupted ? Unit::Kind::Corrupted : Unit::Kind::Frame;
    const std::uint64_t counter = (counterOffset_[r] + CounterAt(e.time)) & 0xFFFFFFFFFFFFULL;
    const bool beast = format == kBeastFormat;
    unit.text = beast ? BeastFrame(sent, counter, level) : PacketText(format, sent, counter);
    unit.level = level;

    const std::int64_t number = ++packets_[r];
    // The packet faults damage text; a Beast receiver's frames have none of them.
    for (int f = 0; f < kFaultCount && !beast; ++f) {
        const auto fault = static_cast<Fault>(f);
        if (!IsPacketFault(fault) || !settings_.faults.Due(fault, number)) continue;
        unit.kind = Unit::Kind::Faulty;
        unit.fault = fault;
        unit.text = FaultyPacket(fault, format, unit.text, settings_.datagram[r], damage);
        break;
    }
    return unit;
}

double Simulation::MeanPacketBytes(char format) const {
    const double framing = 1 + 3 + (format == '@' ? 12 : 0);  // start, ";" CR LF, counter
    const auto packetBytes = [&](int frameBytes) {
        return format == kBeastFormat ? MeanBeastBytes(frameBytes) : framing + 2 * frameBytes;
    };
    double frames = 0;
    double bytes = 0;
    for (const Aircraft& a : sky_) {
        for (const FrameKind kind : kAllFrameKinds) {
            const double rate = sim::NaturalRate(a, kind);
            const bool longFrame =
                GroupOf(kind) == DfGroup::Df17_19 || GroupOf(kind) == DfGroup::Df20_21;
            frames += rate;
            bytes += rate * packetBytes(longFrame ? 14 : 7);
        }
    }
    return frames > 0 ? bytes / frames : packetBytes(14);
}

}  // namespace quorvex::sim
