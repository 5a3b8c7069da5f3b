#include "core/comparison/aircraft_tally.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/base/hex.h"
#include "core/comparison/level_comparison.h"
#include "core/feed/feed_buffers.h"
#include "core/frames/mode_s_address.h"

namespace quorvex {
namespace {

constexpr std::size_t kFeedAddressField = 4;  // after "MSG,": type, session, aircraft, address
constexpr std::size_t kAddressDigits = 6;

}  // namespace

std::optional<std::uint32_t> FeedEntryAddress(std::string_view entry) {
    if (entry.starts_with(kFeedMarker)) entry.remove_prefix(kFeedMarker.size());
    for (std::size_t field = 1; field < kFeedAddressField; ++field) {
        const std::size_t comma = entry.find(',');
        if (comma == std::string_view::npos) return std::nullopt;
        entry.remove_prefix(comma + 1);
    }
    const std::string_view field = entry.substr(0, entry.find(','));
    if (field.size() != kAddressDigits) return std::nullopt;
    std::uint32_t address = 0;
    for (const char c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        address = (address << 4) | static_cast<std::uint32_t>(digit);
    }
    return address;
}

AircraftTally::AircraftTally(std::size_t maxAddresses)
    : maxAddresses_(std::max<std::size_t>(1, maxAddresses)), index_(maxAddresses_) {
    rows_.reserve(maxAddresses_);
    heard_.reserve(maxAddresses_);
    scratch_.reserve(maxAddresses_);
}

std::uint32_t AircraftTally::FindOrAdd(std::uint32_t address, std::int64_t nowSecond) {
    const std::uint32_t found = index_.Find(address);
    if (found != kNoRow) return found;
    if (rows_.size() == maxAddresses_) EvictOldest();
    const auto row = static_cast<std::uint32_t>(rows_.size());
    rows_.emplace_back().address = address;
    heard_.push_back({nowSecond, kNever, kNever, 0});
    index_.Insert(address, row);
    return row;
}

void AircraftTally::Count(std::uint32_t row, SourceId source, std::int64_t nowSecond,
                          float levelDbfs) {
    SourceState& state = rows_[row].sources[SourceIndex(source)];
    if (!std::isnan(levelDbfs) && !totalsOnly_) {
        state.levelSum[levelMinute_] += levelDbfs;
        ++state.levelCount[levelMinute_];
    }
    TallyFigures& figures = state.figures;
    if (figures.total == 0) figures.first = nowSecond;
    ++figures.total;
    if (!totalsOnly_) ++figures.thisSecond;
    figures.last = nowSecond;
    heard_[row].last = std::max(heard_[row].last, nowSecond);
}

bool AircraftTally::CountFrame(SourceId source, const DecodeResult& result, std::int64_t nowSecond,
                               float levelDbfs, std::uint32_t* counted) {
    std::uint32_t unused = kNoRow;
    std::uint32_t& row = counted != nullptr ? *counted : unused;
    row = kNoRow;
    const std::optional<FrameAddress> frameAddress = AddressOf(result);
    if (!frameAddress) return false;
    if (frameAddress->announced) {
        row = FindOrAdd(frameAddress->address, nowSecond);
        heard_[row].announced = std::max(heard_[row].announced, nowSecond);
        Count(row, source, nowSecond, levelDbfs);
        return true;
    }
    const std::uint32_t found = index_.Find(frameAddress->address);
    if (found == kNoRow) return false;
    const std::int64_t announced = heard_[found].announced;
    if (announced == kNever || nowSecond - announced > kTallyAnnouncedSeconds) return false;
    row = found;
    Count(row, source, nowSecond, levelDbfs);
    return true;
}

bool AircraftTally::CountFeedEntry(std::string_view entry, std::int64_t nowSecond,
                                   std::uint32_t* counted) {
    const std::optional<std::uint32_t> address = FeedEntryAddress(entry);
    if (counted != nullptr) *counted = kNoRow;
    if (!address) return false;
    const std::uint32_t row = FindOrAdd(*address, nowSecond);
    Count(row, SourceId::Feed, nowSecond);
    if (counted != nullptr) *counted = row;
    return true;
}

void AircraftTally::NoteFix(std::uint32_t row, double rangeNm, std::int64_t nowSecond) {
    heard_[row].fixed = nowSecond;
    heard_[row].fixRangeNm = rangeNm;
}

void AircraftTally::ForgetFixes() {
    for (Heard& heard : heard_) heard.fixed = kNever;
}

std::optional<double> AircraftTally::FixRange(std::uint32_t row, std::int64_t nowSecond) const {
    const Heard& heard = heard_[row];
    if (heard.fixed == kNever || nowSecond - heard.fixed > kLevelFixMaxAgeSeconds) {
        return std::nullopt;
    }
    return heard.fixRangeNm;
}

void AircraftTally::Tick(std::int64_t nowSecond) {
    std::int64_t steps = 1;
    if (lastTick_ != kNever) {
        steps = std::clamp<std::int64_t>(nowSecond - lastTick_, 0,
                                         static_cast<std::int64_t>(kTallyMinuteSlots));
    }
    lastTick_ = std::max(lastTick_, nowSecond);
    if (steps == 0) return;
    // A minute completed: the older level minute is forgotten and takes the new one.
    const bool newMinute = minuteCursor_ + static_cast<std::size_t>(steps) >= kTallyMinuteSlots;
    if (newMinute) levelMinute_ ^= 1;
    for (Entry& entry : rows_) {
        for (SourceState& state : entry.sources) {
            if (newMinute) {
                state.levelSum[levelMinute_] = 0;
                state.levelCount[levelMinute_] = 0;
            }
            TallyFigures& figures = state.figures;
            std::uint32_t closing = std::min<std::uint32_t>(
                figures.thisSecond, std::numeric_limits<std::uint16_t>::max());
            for (std::int64_t step = 0; step < steps; ++step) {
                std::uint16_t& slot =
                    state.minute[(minuteCursor_ + static_cast<std::size_t>(step)) %
                                 kTallyMinuteSlots];
                figures.lastMinute = figures.lastMinute - slot + closing;
                slot = static_cast<std::uint16_t>(closing);
                closing = 0;
            }
            figures.thisSecond = 0;
        }
    }
    minuteCursor_ = (minuteCursor_ + static_cast<std::size_t>(steps)) % kTallyMinuteSlots;
}

void AircraftTally::Clear() {
    rows_.clear();
    heard_.clear();
    index_.Clear();
    minuteCursor_ = 0;
    levelMinute_ = 0;
    lastTick_ = kNever;
    dropped_ = 0;
}

void AircraftTally::EvictOldest() {
    // Evicting one at a time would scan the whole table for every new address once full; a
    // batch of the least recently heard keeps that to one scan per 1/64 of the bound.
    const std::size_t count = std::max<std::size_t>(1, rows_.size() / 64);
    scratch_.clear();
    for (const Heard& heard : heard_) scratch_.push_back(heard.last);
    std::nth_element(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(count - 1),
                     scratch_.end());
    const std::int64_t threshold = scratch_[count - 1];
    // Rows heard at the threshold second itself go only as far as the batch needs them.
    std::size_t atThreshold =
        count - static_cast<std::size_t>(std::count_if(
                    heard_.begin(), heard_.end(),
                    [threshold](const Heard& heard) { return heard.last < threshold; }));
    for (std::size_t row = 0; row < rows_.size();) {
        const std::int64_t heard = heard_[row].last;
        const bool evict = heard < threshold || (heard == threshold && atThreshold > 0);
        if (!evict) {
            ++row;
            continue;
        }
        if (heard == threshold) --atThreshold;
        ++dropped_;
        if (row + 1 != rows_.size()) {
            rows_[row] = std::move(rows_.back());
            heard_[row] = heard_.back();
        }
        rows_.pop_back();
        heard_.pop_back();
    }
    RebuildIndex();
}

void AircraftTally::RebuildIndex() {
    index_.Clear();
    for (std::uint32_t row = 0; row < rows_.size(); ++row) index_.Insert(rows_[row].address, row);
}

TallyRow AircraftTally::Row(std::uint32_t address) const {
    const std::uint32_t row = index_.Find(address);
    if (row == kNoRow) return TallyRow{address, {}, 0, std::nullopt};
    return MakeRow(rows_[row]);
}

TallyRow AircraftTally::MakeRow(const Entry& entry) {
    TallyRow row{entry.address, {}, entry.deltas.compared(), std::nullopt};
    if (entry.deltas.compared() >= kTallyMinDeltas) row.medianDeltaDb = entry.deltas.Median();
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        const SourceState& state = entry.sources[s];
        row.sources[s] = state.figures;
        const std::uint32_t count = state.levelCount[0] + state.levelCount[1];
        if (count > 0) {
            row.sources[s].meanLevel =
                (state.levelSum[0] + state.levelSum[1]) / static_cast<float>(count);
        }
    }
    return row;
}

}  // namespace quorvex

namespace quorvex {

void AircraftTally::Save(ByteWriter& out) const {
    out.Put(static_cast<std::uint64_t>(maxAddresses_));
    out.Put(static_cast<std::uint64_t>(rows_.size()));
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const Entry& entry = rows_[row];
        out.Put(entry.address);
        for (const SourceState& state : entry.sources) {
            const TallyFigures& figures = state.figures;
            out.Put(figures.thisSecond);
            out.Put(figures.lastMinute);
            out.Put(figures.total);
            out.Put(figures.first);
            out.Put(figures.last);
            out.PutFixed<std::uint16_t>(state.minute);
            out.PutFixed<float>(state.levelSum);
            out.PutFixed<std::uint32_t>(state.levelCount);
        }
        entry.deltas.Save(out);
        const Heard& heard = heard_[row];
        out.Put(heard.last);
        out.Put(heard.announced);
        out.Put(heard.fixed);
        out.Put(heard.fixRangeNm);
    }
    out.Put(static_cast<std::uint64_t>(minuteCursor_));
    out.Put(static_cast<std::uint64_t>(levelMinute_));
    out.Put(lastTick_);
    out.Put(dropped_);
}

bool AircraftTally::Load(ByteReader& in) {
    // Seconds are ticked seconds from 0, or kNever: nothing loaded may overflow the
    // arithmetic on them.
    constexpr std::int64_t kLatest = std::int64_t{1} << 40;
    const auto time = [&in](std::int64_t& second) {
        return in.Get(second) &&
               (second == kNever || (second >= -kLatest && second <= kLatest) || in.Fail());
    };
    Clear();
    std::uint64_t bound = 0;
    std::uint64_t rows = 0;
    if (!in.Get(bound) || bound != maxAddresses_ || !in.GetCount(rows, maxAddresses_, 4)) {
        return in.Fail();
    }
    for (std::uint64_t row = 0; row < rows; ++row) {
        Entry& entry = rows_.emplace_back();
        if (!in.Get(entry.address) || index_.Find(entry.address) != kNoRow) return in.Fail();
        index_.Insert(entry.address, static_cast<std::uint32_t>(row));
        for (SourceState& state : entry.sources) {
            TallyFigures& figures = state.figures;
            if (!in.Get(figures.thisSecond) || !in.Get(figures.lastMinute) ||
                !in.Get(figures.total) || !time(figures.first) || !time(figures.last) ||
                !in.GetFixed<std::uint16_t>(state.minute) || !in.GetFixed<float>(state.levelSum) ||
                !in.GetFixed<std::uint32_t>(state.levelCount)) {
                return false;
            }
        }
        Heard& heard = heard_.emplace_back();
        if (!entry.deltas.Load(in) || !time(heard.last) || !time(heard.announced) ||
            !time(heard.fixed) || !in.Get(heard.fixRangeNm)) {
            return false;
        }
    }
    std::uint64_t cursor = 0;
    std::uint64_t levelMinute = 0;
    if (!in.GetIn<std::uint64_t>(cursor, 0, kTallyMinuteSlots - 1) ||
        !in.GetIn<std::uint64_t>(levelMinute, 0, 1) || !time(lastTick_) || !in.Get(dropped_)) {
        return false;
    }
    minuteCursor_ = static_cast<std::size_t>(cursor);
    levelMinute_ = static_cast<std::size_t>(levelMinute);
    return true;
}

}  // namespace quorvex
