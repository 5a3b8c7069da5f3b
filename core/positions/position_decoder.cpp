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

    std::uint64_t pairKey = 0;
    PositionReport report = Locate(aircraft, *message, other, nowSeconds, pairKey);
    if (CategoryOf(report.outcome) == PositionCategory::Good) {
        report.outcome = Judge(aircraft, report, nowSeconds, pairKey);
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

std::uint64_t PositionDecoder::PairKey(const CprFrame& even, const CprFrame& odd, bool oddIsNewer) {
    constexpr std::uint32_t kField = (1u << 17) - 1;
    return (std::uint64_t{even.lat & kField} << 51) | (std::uint64_t{even.lon & kField} << 34) |
           (std::uint64_t{odd.lat & kField} << 17) | (odd.lon & kField) |
           (oddIsNewer ? std::uint64_t{0} : std::uint64_t{1} << 63);
}

PositionReport PositionDecoder::Locate(const Aircraft& aircraft, const PositionMessage& message,
                                       const PairFrame& other, double now,
                                       std::uint64_t& pairKey) const {
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
        if (!message.surface) {
            pairKey = PairKey(even, odd, message.cpr.odd);
            // The pair the fix came from: the other receiver's copy of a frame just decoded.
            if (aircraft.hasFix && aircraft.fixFromPair && aircraft.pairKey == pairKey) {
                return found(PositionOutcome::Global, aircraft.fix);
            }
        }
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

PositionOutcome PositionDecoder::Judge(Aircraft& aircraft, PositionReport& report, double now,
                                       std::uint64_t pairKey) const {
    const LatLon position = report.position;
    // The fix itself again: no distance from it, and its place is known.
    const bool atFix =
        aircraft.hasFix && position.lat == aircraft.fix.lat && position.lon == aircraft.fix.lon;
    if (station_) {
        const bool placed = atFix && aircraft.fixPlaced;
        report.stationRangeNm = placed ? aircraft.fixRangeNm : RangeNm(*station_, position);
        if (*report.stationRangeNm > maxRangeNm_) return PositionOutcome::OutOfRange;
        if (!report.surface) {  // an airborne fix is placed on the coverage
            report.stationBearingDeg =
                placed ? aircraft.fixBearingDeg : BearingDeg(*station_, position);
        }
    }
    if (!atFix && FixIsFresh(aircraft, now)) {
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
    if (!atFix) aircraft.fixFromPair = false;
    if (pairKey != 0) {
        aircraft.pairKey = pairKey;
        aircraft.fixFromPair = true;
    }
    aircraft.fix = position;
    aircraft.fixTime = now;
    aircraft.hasFix = true;
    aircraft.speedStrikes = 0;
    aircraft.fixPlaced = report.stationBearingDeg.has_value();
    if (aircraft.fixPlaced) {
        aircraft.fixRangeNm = *report.stationRangeNm;
        aircraft.fixBearingDeg = *report.stationBearingDeg;
    }
    return report.outcome;
}

void PositionDecoder::SetStation(std::optional<LatLon> station) {
    station_ = station;
    for (Aircraft& aircraft : rows_) aircraft.fixPlaced = false;  // placed from the old one
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
