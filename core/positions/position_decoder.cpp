#include "core/positions/position_decoder.h"

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr double kSweepSeconds = 60.0;
constexpr double kSecondsPerHour = 3600.0;

}  // namespace

PositionCategory CategoryOf(PositionOutcome outcome) {
    switch (outcome) {
        case PositionOutcome::NotPosition:
            return PositionCategory::None;
        case PositionOutcome::Global:
        case PositionOutcome::LocalToFix:
        case PositionOutcome::LocalToStation:
            return PositionCategory::Good;
        case PositionOutcome::NoReference:
        case PositionOutcome::ZoneMismatch:
            return PositionCategory::Skipped;
        case PositionOutcome::BadData:
        case PositionOutcome::OutOfRange:
        case PositionOutcome::TooFast:
            return PositionCategory::Dropped;
    }
    return PositionCategory::None;
}

PositionDecoder::PositionDecoder(std::size_t maxAircraft)
    : maxAircraft_(std::max<std::size_t>(1, maxAircraft)), index_(maxAircraft_) {
    rows_.reserve(maxAircraft_);
    scratch_.reserve(maxAircraft_);
}

void PositionDecoder::Clear() {
    rows_.clear();
    index_.Clear();
    counts_ = {};
    swept_ = false;
}

std::optional<LatLon> PositionDecoder::LatestFix(std::uint32_t address) const {
    const std::uint32_t row = index_.Find(address);
    if (row == AddressIndex::kNoRow || !rows_[row].hasFix) return std::nullopt;
    return rows_[row].fix;
}

bool PositionDecoder::FixIsFresh(const Aircraft& aircraft, double now) {
    return aircraft.hasFix && std::abs(now - aircraft.fixTime) < kFixMaxAgeSeconds;
}

PositionReport PositionDecoder::Decode(SourceId source, std::uint32_t address,
                                       std::span<const std::uint8_t> frame, double nowSeconds) {
    const std::optional<PositionMessage> message = ReadPositionMessage(frame);
    if (!message) return {};
    if (!swept_ || std::abs(nowSeconds - lastSweep_) >= kSweepSeconds) {
        ForgetSilent(nowSeconds);
    }
    Aircraft& aircraft = FindOrAdd(address, nowSeconds);
    aircraft.lastHeard = nowSeconds;

    const std::size_t s = SourceIndex(source);
    const bool odd = message->cpr.odd;
    const auto bit = [s](bool oddFrame) {
        return static_cast<std::uint8_t>(1u << (2 * s + (oddFrame ? 1 : 0)));
    };
    const StoredFrame& held = aircraft.frames[s][odd ? 0 : 1];
    const PairFrame other{{!odd, held.lat, held.lon},
                          held.time,
                          (aircraft.surface & bit(!odd)) != 0,
                          (aircraft.stored & bit(!odd)) != 0};
    aircraft.frames[s][odd ? 1 : 0] = {nowSeconds, message->cpr.lat, message->cpr.lon};
    aircraft.stored |= bit(odd);
    if (message->surface) {
        aircraft.surface |= bit(odd);
    } else {
        aircraft.surface &= static_cast<std::uint8_t>(~bit(odd));
    }

    PositionReport report = Locate(aircraft, *message, other, nowSeconds);
    if (CategoryOf(report.outcome) == PositionCategory::Good) {
        report.outcome = Judge(aircraft, report, nowSeconds);
    }
    PositionCounts& counts = counts_[SourceIndex(source)];
    switch (CategoryOf(report.outcome)) {
        case PositionCategory::Good:
            ++counts.good;
            break;
        case PositionCategory::Skipped:
            ++counts.skipped;
            break;
        case PositionCategory::Dropped:
            ++counts.dropped;
            break;
        case PositionCategory::None:
            break;
    }
    return report;
}

PositionReport PositionDecoder::Locate(const Aircraft& aircraft, const PositionMessage& message,
                                       const PairFrame& other, double now) const {
    PositionReport report;
    report.altitudeFt = message.altitudeFt;
    report.altitudeKind = message.altitudeKind;
    report.surface = message.surface;
    const auto found = [&report](PositionOutcome outcome, LatLon position) {
        report.outcome = outcome;
        report.position = position;
        return report;
    };

    const bool freshFix = FixIsFresh(aircraft, now);
    const std::optional<LatLon> reference = freshFix ? std::optional(aircraft.fix) : station_;
    bool zoneMismatch = false;
    const bool paired = other.valid && other.surface == message.surface &&
                        std::abs(now - other.time) <= kPairWindowSeconds;
    if (paired && (!message.surface || reference)) {
        const CprFrame& even = message.cpr.odd ? other.cpr : message.cpr;
        const CprFrame& odd = message.cpr.odd ? message.cpr : other.cpr;
        const CprPairResult pair = message.surface
                                       ? DecodeSurfacePair(even, odd, message.cpr.odd, *reference)
                                       : DecodeAirbornePair(even, odd, message.cpr.odd);
        switch (pair.outcome) {
            case CprPairOutcome::Decoded:
                return found(PositionOutcome::Global, pair.position);
            case CprPairOutcome::BadLatitude:
                return found(PositionOutcome::BadData, {});
            case CprPairOutcome::ZoneMismatch:
                zoneMismatch = true;
                break;
        }
    }
    if (freshFix) {
        const auto local = message.surface ? DecodeSurfaceLocal(message.cpr, aircraft.fix)
                                           : DecodeAirborneLocal(message.cpr, aircraft.fix);
        const double limit = message.surface ? kSurfaceLocalLimitNm : kLocalLimitNm;
        if (local && RangeNm(aircraft.fix, *local) < limit) {
            return found(PositionOutcome::LocalToFix, *local);
        }
    }
    if (!message.surface && station_ && maxRangeNm_ <= kStationLocalMaxRangeNm) {
        if (const auto local = DecodeAirborneLocal(message.cpr, *station_)) {
            return found(PositionOutcome::LocalToStation, *local);
        }
    }
    return found(zoneMismatch ? PositionOutcome::ZoneMismatch : PositionOutcome::NoReference, {});
}

PositionOutcome PositionDecoder::Judge(Aircraft& aircraft, PositionReport& report,
                                       double now) const {
    const LatLon position = report.position;
    if (station_) {
        report.stationRangeNm = RangeNm(*station_, position);
        if (*report.stationRangeNm > maxRangeNm_) return PositionOutcome::OutOfRange;
    }
    if (FixIsFresh(aircraft, now)) {
        const double hours =
            (std::abs(now - aircraft.fixTime) + kSpeedSlackSeconds) / kSecondsPerHour;
        if (RangeNm(aircraft.fix, position) > kMaxGroundSpeedKt * hours) {
            if (++aircraft.speedStrikes >= kSpeedStrikesToForget) {
                aircraft.hasFix = false;
                aircraft.speedStrikes = 0;
            }
            return PositionOutcome::TooFast;
        }
    }
    aircraft.fix = position;
    aircraft.fixTime = now;
    aircraft.hasFix = true;
    aircraft.speedStrikes = 0;
    return report.outcome;
}

PositionDecoder::Aircraft& PositionDecoder::FindOrAdd(std::uint32_t address, double now) {
    const std::uint32_t found = index_.Find(address);
    if (found != AddressIndex::kNoRow) return rows_[found];
    if (rows_.size() >= maxAircraft_) ForgetSilent(now);
    if (rows_.size() >= maxAircraft_) EvictOldest();
    const auto row = static_cast<std::uint32_t>(rows_.size());
    rows_.emplace_back().address = address;
    index_.Insert(address, row);
    return rows_.back();
}

template <typename Forget>
void PositionDecoder::RemoveRows(Forget&& forget) {
    const std::size_t before = rows_.size();
    for (std::size_t row = 0; row < rows_.size();) {
        if (!forget(rows_[row])) {
            ++row;
            continue;
        }
        rows_[row] = rows_.back();
        rows_.pop_back();
    }
    if (rows_.size() == before) return;
    index_.Clear();
    for (std::uint32_t row = 0; row < rows_.size(); ++row) index_.Insert(rows_[row].address, row);
}

void PositionDecoder::ForgetSilent(double now) {
    RemoveRows([now](const Aircraft& aircraft) {
        return std::abs(now - aircraft.lastHeard) >= kFixMaxAgeSeconds;
    });
    lastSweep_ = now;
    swept_ = true;
}

void PositionDecoder::EvictOldest() {
    // A batch of the least recently heard, so a full table is not scanned for every newcomer.
    const std::size_t count = std::max<std::size_t>(1, rows_.size() / 64);
    scratch_.clear();
    for (const Aircraft& aircraft : rows_) scratch_.push_back(aircraft.lastHeard);
    std::nth_element(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(count - 1),
                     scratch_.end());
    const double threshold = scratch_[count - 1];
    std::size_t left = count;
    RemoveRows([threshold, &left](const Aircraft& aircraft) {
        if (left == 0 || aircraft.lastHeard > threshold) return false;
        --left;
        return true;
    });
}

}  // namespace quorvex
