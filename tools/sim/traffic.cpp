#include "tools/sim/traffic.h"

#include <tuple>

namespace quorvex::sim {

double NaturalRate(const Aircraft& a, FrameKind kind) {
    switch (kind) {
        case FrameKind::Identification:
            return 0.2;
        case FrameKind::Position:
        case FrameKind::Velocity:
            return 2.0;
        default:
            break;
    }
    // A non-transponder device sends its squitters and nothing else.
    if (a.nonTransponder) return 0;
    switch (kind) {
        case FrameKind::AllCall:
            return 1.0;
        case FrameKind::AllCallIc:
            return 0.4 * a.replyFactor;
        case FrameKind::AirAir:
            return 0.6 * a.replyFactor;
        case FrameKind::SurveillanceAlt:
            return 1.0 * a.replyFactor;
        case FrameKind::SurveillanceId:
            return 0.4 * a.replyFactor;
        case FrameKind::CommBAlt:
            return 0.8 * a.replyFactor;
        case FrameKind::CommBId:
            return 0.3 * a.replyFactor;
        default:
            return 0;
    }
}

bool TrafficSchedule::Entry::operator>(const Entry& other) const {
    return std::tie(time, aircraft, kind) > std::tie(other.time, other.aircraft, other.kind);
}

TrafficSchedule::TrafficSchedule(const std::vector<Aircraft>& sky, double rate, std::uint64_t seed)
    : random_(seed, 2) {
    for (const Aircraft& a : sky) {
        for (const FrameKind kind : kAllFrameKinds) naturalTotal_ += NaturalRate(a, kind);
    }
    if (rate > 0 && naturalTotal_ > 0) scale_ = rate / naturalTotal_;
    for (std::size_t i = 0; i < sky.size(); ++i) {
        for (const FrameKind kind : kAllFrameKinds) {
            const double perSecond = NaturalRate(sky[i], kind) * scale_;
            if (perSecond <= 0) continue;
            const double interval = 1.0 / perSecond;
            due_.push({random_.Uniform(0, interval), i, kind, interval});
        }
    }
}

bool TrafficSchedule::Next(double until, Emission& emission) {
    if (due_.empty() || due_.top().time > until) return false;
    Entry entry = due_.top();
    due_.pop();
    emission = {entry.time, entry.aircraft, entry.kind};
    entry.time += entry.interval * random_.Uniform(0.8, 1.2);
    due_.push(entry);
    return true;
}

}  // namespace quorvex::sim
