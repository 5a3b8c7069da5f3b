#include "tools/sim/simulation.h"

#include <cmath>
#include <optional>

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
      damage_{SimRandom(settings.sky.seed, 7), SimRandom(settings.sky.seed, 8)} {
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

    std::array<std::optional<Unit>, 2> packets;
    for (int r = 0; r < 2; ++r) {
        if (hearing_[r].Chance(a.hear[r] * settings_.reach[r].Factor(where))) {
            packets[r] = Packet(r, e, frame);
        }
    }
    if (position) ++positions_;
    const bool toBoth = packets[0] && packets[1] && packets[0]->kind == Unit::Kind::Frame &&
                        packets[1]->kind == Unit::Kind::Frame;
    for (int r = 0; r < 2; ++r) {
        if (!packets[r]) continue;
        placed(*packets[r]);
        packets[r]->positionNumber = positions_;
        packets[r]->toBoth = position && toBoth;
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

Unit Simulation::Packet(int r, const Emission& e, const ModeSFrame& frame) {
    SimRandom& damage = damage_[r];
    const char format = settings_.format[r];
    Unit unit;
    unit.address = sky_[e.aircraft].address;
    unit.time = e.time;
    unit.group = GroupOf(e.kind);
    const bool corrupted = damage.Chance(settings_.corruptShare) && ParityChecked(e.kind);
    const ModeSFrame sent = corrupted ? CorruptOneBit(frame, damage) : frame;
    unit.kind = corrupted ? Unit::Kind::Corrupted : Unit::Kind::Frame;
    unit.text =
        PacketText(format, sent, (counterOffset_[r] + CounterAt(e.time)) & 0xFFFFFFFFFFFFULL);

    const std::int64_t number = ++packets_[r];
    for (int f = 0; f < kFaultCount; ++f) {
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
    double frames = 0;
    double bytes = 0;
    const double framing = 1 + 3 + (format == '@' ? 12 : 0);  // start, ";" CR LF, counter
    for (const Aircraft& a : sky_) {
        for (const FrameKind kind : kAllFrameKinds) {
            const double rate = sim::NaturalRate(a, kind);
            const bool longFrame =
                GroupOf(kind) == DfGroup::Df17_19 || GroupOf(kind) == DfGroup::Df20_21;
            frames += rate;
            bytes += rate * (framing + (longFrame ? 28 : 14));
        }
    }
    return frames > 0 ? bytes / frames : framing + 28;
}

}  // namespace quorvex::sim
