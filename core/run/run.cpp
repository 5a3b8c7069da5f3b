#include "core/run/run.h"

#include "platform/ui_thread.h"

namespace quorvex {

Run::Run(std::string logFolder, const Clock& clock, bool createLogFolder)
    : clock_(clock), log_(std::move(logFolder), clock, createLogFolder) {
    levels_.SetRingCount(coverage_.Stats().ringCount());
}

void Run::SetStation(std::optional<LatLon> station, double maxRangeNm) {
    coverage_.SetStation(station, maxRangeNm);
    tally_.ForgetFixes();
    levels_.SetRingCount(coverage_.Stats().ringCount());
}

void Run::Start(int intervalSeconds, std::int64_t unixSecond) {
    StartMeasurement(cycle_.Measurement, intervalSeconds);
    Forget(unixSecond);
}

void Run::Clear(std::int64_t unixSecond) {
    ClearHistories(cycle_.Measurement);
    Forget(unixSecond);
}

void Run::Forget(std::int64_t unixSecond) {
    tally_.Clear();
    coverage_.Clear();
    twins_.Clear();
    levels_.Clear(unixSecond);
    buckets_.Open(unixSecond);
    history_.Open(unixSecond, historyMinutes_);
    unixSecond_ = unixSecond;
    sessionStart_ = unixSecond;
    gaps_.clear();
}

void Run::End() {
    twins_.SettleAll([this](const Twin& twin) { Settled(twin); });
    levels_.End();
}

void Run::Take(const Reception& reception) {
    QUORVEX_ASSERT_UI_THREAD();
    const FrameVerdict verdict = reception.frame.verdict;
    const SourceId source = reception.source;
    if (source == SourceId::Feed) return;  // the feed's are lines, taken by TakeFeed
    if (verdict.IsCounted()) {
        const std::size_t r = SourceIndex(source);
        DfCounts& counts = r == 0 ? cycle_.Counts.Counts1 : cycle_.Counts.Counts2;
        CountOne(counts[verdict.group()]);
        RunBucket& bucket = buckets_.Current();
        ++bucket.frames[r][static_cast<std::size_t>(verdict.group())];
        std::uint32_t row = AircraftTally::kNoRow;
        if (tally_.CountFrame(source, reception.frame, tallySecond_, reception.levelDbfs, &row)) {
            ++bucket.tallied[r];
        }
        const auto bytes = reception.frame.bytes.view();
        TwinMark mark;
        if (Coverage::MayHavePosition(bytes)) {
            mark = coverage_.ReceiverFrame(source, bytes, reception.arrival.steadySeconds);
            if (mark.place) {
                bucket.AddPosition(source, mark.place->rangeNm, mark.place->bearingDeg);
                if (row != AircraftTally::kNoRow) {
                    tally_.NoteFix(row, mark.place->rangeNm, tallySecond_);
                }
            }
        }
        // Placed once, when a level or a twin asks.
        std::optional<std::optional<int>> ring;
        const auto placed = [this, &ring, row] {
            if (!ring) ring = FixRing(row);
            return *ring;
        };
        if (HasLevel(reception.levelDbfs)) {
            const bool strong = reception.levelDbfs >= kStrongLevelDbfs;
            for (LevelSum* level : {&cycle_.Levels[r], &bucket.levels[r]}) {
                level->Sum += reception.levelDbfs;
                ++level->Count;
                level->Strong += strong ? 1 : 0;
            }
            levels_.Frame(source, reception.levelDbfs, placed());
        }
        const auto settled = [this, row, &placed](const Twin& twin) {
            Settled(twin);
            // Only the second copy's arrival makes a twin of both: it is this reception.
            if (twin.verdict == TwinVerdict::Both) CompareLevels(twin, row, placed());
        };
        if (!twins_.Add(reception, mark, settled) && !bytes.empty()) {
            ++bucket.duplicates[r];  // the same bucket: settling does not move it
        }
    }
    if (verdict.kind() != FrameVerdict::Kind::Dropped && log_.Logging()) {
        log_.WriteFrameLine(source, verdict, reception.frame.frame.view());
    }
}

std::optional<BadHexPair> Run::TakePacket(SourceId receiver, std::string_view packet,
                                          bool crcOption, const ArrivalTime& arrival) {
    Reception reception;
    if (auto bad = ReadPacket(receiver, packet, crcOption, arrival, reception)) return bad;
    Take(reception);
    return std::nullopt;
}

void Run::TakeFrame(SourceId receiver, std::span<const std::uint8_t> bytes, float levelDbfs,
                    std::optional<std::uint64_t> receiverTime, const ArrivalTime& arrival) {
    Take(ReadFrame(receiver, bytes, levelDbfs, receiverTime, arrival));
}

void Run::Settled(const Twin& twin) {
    RunBucket& bucket = buckets_.Current();
    bucket.frameTwins.Count(twin.verdict);
    if (!twin.mark.positionFrame) return;
    coverage_.CountTwin(twin.verdict, twin.mark.place);
    bucket.positionTwins.Count(twin.verdict);
    if (twin.mark.place) {
        const auto ring = static_cast<std::size_t>(coverage_.RingOf(twin.mark.place->rangeNm));
        if (ring < bucket.ringTwins.size()) bucket.ringTwins[ring].Count(twin.verdict);
    }
}

void Run::CompareLevels(const Twin& twin, std::uint32_t row, std::optional<int> ring) {
    std::uint16_t cell = 0;
    const LevelVerdict verdict =
        levels_.Twin(twin.copies[0]->levelDbfs, twin.copies[1]->levelDbfs, ring, cell);
    ++buckets_.Current().levelTwins[static_cast<std::size_t>(verdict)];
    if (verdict == LevelVerdict::Compared && row != AircraftTally::kNoRow) {
        tally_.AddDelta(row, cell);
    }
}

std::optional<int> Run::FixRing(std::uint32_t row) const {
    if (row == AircraftTally::kNoRow) return std::nullopt;
    const auto range = tally_.FixRange(row, tallySecond_);
    if (!range) return std::nullopt;
    return coverage_.RingOf(*range);
}

void Run::FeedEntry(std::string_view entry) {
    RunBucket& bucket = buckets_.Current();
    const std::size_t feed = SourceIndex(SourceId::Feed);
    std::uint32_t row = AircraftTally::kNoRow;
    if (tally_.CountFeedEntry(entry, tallySecond_, &row)) ++bucket.tallied[feed];
    if (entry.starts_with('3')) {
        if (const auto place = coverage_.FeedEntry(entry)) {
            bucket.AddPosition(SourceId::Feed, place->rangeNm, place->bearingDeg);
            if (row != AircraftTally::kNoRow) tally_.NoteFix(row, place->rangeNm, tallySecond_);
        }
    }
    if (log_.Logging()) log_.WriteFeedLine(entry);
}

void Run::Second(const TickInputs& inputs, bool held, TickResult& result) {
    QUORVEX_ASSERT_UI_THREAD();
    if (!held) {
        Tick(cycle_, inputs, result, [this](std::string_view entry) { FeedEntry(entry); });
        const SecondRecord& second = cycle_.Measurement.Seconds.Newest();
        RunBucket& bucket = buckets_.Current();
        for (std::size_t i = 0; i < bucket.feedLines.size(); ++i) {
            bucket.feedLines[i] +=
                static_cast<std::uint64_t>(second.Counts[IntervalCounts::kFirstFeedCounter + i]);
        }
    }
    tally_.Tick(tallySecond_);
    ++tallySecond_;
    twins_.Expire(clock_.SteadySeconds(), [this](const Twin& twin) { Settled(twin); });
    levels_.Second(inputs.UnixSeconds);
    if (buckets_.Second(inputs.UnixSeconds)) history_.Minute(buckets_.Minutes().back());
    unixSecond_ = inputs.UnixSeconds;
}

}  // namespace quorvex

namespace quorvex {
namespace {

constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;
// A session continued a million times stops listing its gaps.
constexpr std::uint64_t kMaxGaps = 1 << 20;
constexpr std::uint8_t kNoAltitude = 0;
constexpr std::uint8_t kAltitude = 1;

void SaveAlone(ByteWriter& out, const Twin& twin) {
    out.Put(static_cast<std::uint8_t>(twin.verdict));
    out.PutBool(twin.mark.positionFrame);
    out.PutBool(twin.mark.place.has_value());
    const TwinPlace place = twin.mark.place.value_or(TwinPlace{});
    out.Put(place.rangeNm);
    out.Put(place.bearingDeg);
    out.Put(place.altitudeFt ? kAltitude : kNoAltitude);
    out.Put(std::int32_t{place.altitudeFt.value_or(0)});
}

bool LoadAlone(ByteReader& in, Twin& twin) {
    std::uint8_t verdict = 0;
    bool placed = false;
    TwinPlace place;
    std::uint8_t altitude = 0;
    std::int32_t feet = 0;
    if (!in.GetIn<std::uint8_t>(verdict, 1, 2) || !in.GetBool(twin.mark.positionFrame) ||
        !in.GetBool(placed) || !in.GetIn(place.rangeNm, 0.0, 1e6) ||
        !in.GetIn(place.bearingDeg, 0.0, 360.0) || !in.GetIn(altitude, kNoAltitude, kAltitude) ||
        !in.Get(feet)) {
        return false;
    }
    twin.verdict = static_cast<TwinVerdict>(verdict);
    if (altitude == kAltitude) place.altitudeFt = feet;
    if (placed) twin.mark.place = place;
    return true;
}

}  // namespace

void Run::Save(ByteWriter& out) const {
    out.Put(sessionStart_);
    out.Put(unixSecond_);
    out.Put(tallySecond_);
    tally_.Save(out);
    coverage_.Save(out);
    levels_.Save(out);
    buckets_.Save(out);
    history_.Save(out);
    out.Put(static_cast<std::uint64_t>(gaps_.size()));
    for (const Gap& gap : gaps_) {
        out.Put(gap.fromUnix);
        out.Put(gap.seconds);
    }
    std::uint64_t waiting = 0;
    twins_.ForEachWaiting([&waiting](const Twin&) { ++waiting; });
    out.Put(waiting);
    twins_.ForEachWaiting([&out](const Twin& twin) { SaveAlone(out, twin); });
}

bool Run::Restore(ByteReader& in, std::int64_t unixSecond) {
    std::int64_t sessionStart = 0;
    std::int64_t lastSecond = 0;
    std::int64_t tallySecond = 0;
    AircraftTally tally(tally_.maxAddresses());
    Coverage coverage;
    coverage.SetStation(coverage_.station(), coverage_.maxRangeNm());
    LevelComparison levels;
    levels.SetRingCount(levels_.RingCount());
    TimeBuckets buckets;
    SessionHistory history;
    std::uint64_t gapCount = 0;
    std::uint64_t waiting = 0;
    if (!in.GetIn<std::int64_t>(sessionStart, 0, kLatestSecond) ||
        !in.GetIn<std::int64_t>(lastSecond, sessionStart, kLatestSecond) ||
        !in.GetIn<std::int64_t>(tallySecond, 0, kLatestSecond) || !tally.Load(in) ||
        !coverage.Load(in) || !levels.Load(in) || !buckets.Load(in) || !history.Load(in) ||
        !in.GetCount(gapCount, kMaxGaps, 2 * sizeof(std::int64_t))) {
        return false;
    }
    std::vector<Gap> gaps(static_cast<std::size_t>(gapCount));
    for (Gap& gap : gaps) {
        if (!in.GetIn<std::int64_t>(gap.fromUnix, 0, kLatestSecond) ||
            !in.GetIn<std::int64_t>(gap.seconds, 0, kLatestSecond)) {
            return false;
        }
    }
    if (!in.GetCount(waiting, kTwinCapacity, 8)) return false;
    std::vector<Twin> alone(static_cast<std::size_t>(waiting));
    for (Twin& twin : alone) {
        if (!LoadAlone(in, twin)) return false;
    }
    if (!in.AtEnd()) return in.Fail();

    tally_ = std::move(tally);
    coverage_ = std::move(coverage);
    levels_ = std::move(levels);
    buckets_ = std::move(buckets);
    history_ = std::move(history);
    twins_.Clear();
    // The saved run's waiting frames settle in its last minute, as its Stop would have.
    for (const Twin& twin : alone) Settled(twin);
    // The time away: the tally's minute windows and fixes age by it, the last minute closes.
    const std::int64_t away = std::max<std::int64_t>(0, unixSecond - lastSecond);
    tallySecond_ = tallySecond + away;
    sessionStart_ = sessionStart;
    gaps_ = std::move(gaps);
    if (away > 0 && gapCount < kMaxGaps) gaps_.push_back({lastSecond, away});
    unixSecond_ = unixSecond;
    levels_.Second(unixSecond);
    if (buckets_.Resume(unixSecond)) history_.Minute(buckets_.Minutes().back());
    return true;
}

}  // namespace quorvex
