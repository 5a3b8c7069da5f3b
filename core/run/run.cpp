#include "core/run/run.h"

#include <cmath>

#include "platform/ui_thread.h"

namespace quorvex {
namespace {

// A session continued a million times, or stalled as often, stops listing its gaps.
constexpr std::uint64_t kMaxGaps = 1 << 20;

// "54,431": thousands apart, as the run's messages write counts.
std::string GroupedCount(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return digits;
}

std::string Counted(std::uint64_t n, const char* one, const char* many) {
    return GroupedCount(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string SpanText(std::int64_t seconds) {
    seconds = seconds < 0 ? -seconds : seconds;
    const auto pair = [](std::string first, std::int64_t n, const char* one, const char* many) {
        return n == 0 ? first : first + " " + std::to_string(n) + " " + (n == 1 ? one : many);
    };
    if (seconds < 120) return std::to_string(seconds) + " s";
    const std::int64_t minutes = (seconds + 30) / 60;
    if (minutes < 120) return std::to_string(minutes) + " min";
    if (minutes < 48 * 60) {
        return pair(std::to_string(minutes / 60) + " h", minutes % 60, "min", "min");
    }
    const std::int64_t hours = (seconds + 1800) / 3600;
    if (hours < 366 * 24) {
        const std::int64_t days = hours / 24;
        return pair(std::to_string(days) + (days == 1 ? " day" : " days"), hours % 24, "h", "h");
    }
    constexpr double kYearDays = 365.2425;
    const std::int64_t days = (seconds + 43200) / 86400;
    const auto years = static_cast<std::int64_t>(static_cast<double>(days) / kYearDays);
    const std::int64_t rest =
        std::max<std::int64_t>(0, days - std::llround(static_cast<double>(years) * kYearDays));
    return pair(std::to_string(years) + (years == 1 ? " year" : " years"), rest, "day", "days");
}

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
    measuring_ = true;
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
    stall_.reset();
    secondMeasured_ = true;
    tickSteady_ = lastRan_ = clock_.SteadySeconds();
}

void Run::End() {
    twins_.SettleAll([this](const Twin& twin) { Settled(twin); });
    levels_.End();
    if (stall_) {
        stall_->ticksLeft = 1;
        TickInputs inputs;
        inputs.UnixSeconds = unixSecond_;
        StalledSecond(inputs, clock_.SteadySeconds());
    }
    measuring_ = false;
}

bool Run::Stalled(double now) {
    // While a backlog is taken its frames come with times close to the stall's finding; only
    // a pause as long again is another stall, added to this one.
    const double since = stall_ ? std::max(tickSteady_, lastRan_) : tickSteady_;
    if (measuring_ && now - since > kStallSeconds) {
        if (!stall_) {
            stall_ = Stall{};
            stall_->fromSteady = tickSteady_;
            stall_->fromUnix = unixSecond_;
        }
        stall_->seconds += now - lastRan_;
        stall_->ticksLeft = 2;
    }
    lastRan_ = std::max(lastRan_, now);
    return stall_.has_value();
}

void Run::TakeBacklog(const Reception& reception) {
    const FrameVerdict verdict = reception.frame.verdict;
    if (verdict.IsCounted()) {
        const std::size_t r = SourceIndex(reception.source);
        RunBucket& bucket = buckets_.Current();
        ++bucket.frames[r][static_cast<std::size_t>(verdict.group())];
        tally_.SetTotalsOnly(true);
        if (tally_.CountFrame(reception.source, reception.frame, tallySecond_)) ++bucket.tallied[r];
        tally_.SetTotalsOnly(false);
        ++stall_->frames;
    }
    if (verdict.kind() != FrameVerdict::Kind::Dropped && log_.Logging()) {
        log_.WriteFrameLine(reception.source, verdict, reception.frame.frame.view());
    }
}

void Run::BacklogFeedEntry(std::string_view entry) {
    tally_.SetTotalsOnly(true);
    if (tally_.CountFeedEntry(entry, tallySecond_)) {
        ++buckets_.Current().tallied[SourceIndex(SourceId::Feed)];
    }
    tally_.SetTotalsOnly(false);
    if (log_.Logging()) log_.WriteFeedLine(entry);
}

void Run::StalledSecond(const TickInputs& inputs, double now) {
    secondMeasured_ = false;
    FeedCounts feed;
    SkipSecond(cycle_, feed, [this](std::string_view entry) { BacklogFeedEntry(entry); });
    RunBucket& bucket = buckets_.Current();
    bucket.feedLines[0] += static_cast<std::uint64_t>(feed.Msg5_6);
    bucket.feedLines[1] += static_cast<std::uint64_t>(feed.Msg8);
    bucket.feedLines[2] += static_cast<std::uint64_t>(feed.MsgOther);
    stall_->feedLines += static_cast<std::uint64_t>(feed.Msg5_6) +
                         static_cast<std::uint64_t>(feed.Msg8) +
                         static_cast<std::uint64_t>(feed.MsgOther);
    // The tally's seconds go on by the time that passed, so its minutes age as the sky did.
    tally_.Tick(tallySecond_);
    tallySecond_ += std::max<std::int64_t>(1, std::llround(now - tickSteady_));
    twins_.Expire(now, [this](const Twin& twin) { Settled(twin); });
    levels_.Second(inputs.UnixSeconds);
    if (buckets_.Skip(inputs.UnixSeconds)) history_.Minute(buckets_.Minutes().back());
    if (--stall_->ticksLeft > 0) return;
    const std::int64_t gap = std::llround(now - stall_->fromSteady);
    if (gaps_.size() < kMaxGaps) gaps_.push_back({stall_->fromUnix, gap});
    std::string notice =
        "The program did not run for " + SpanText(std::llround(stall_->seconds)) + "; ";
    const std::uint64_t frames = stall_->frames;
    const std::uint64_t lines = stall_->feedLines;
    if (frames + lines == 0) {
        notice += "nothing arrived meanwhile.";
    } else {
        if (frames > 0) notice += Counted(frames, "frame", "frames");
        if (frames > 0 && lines > 0) notice += " and ";
        if (lines > 0) notice += Counted(lines, "feed line", "feed lines");
        notice += frames + lines == 1 ? " that arrived meanwhile is counted but not compared."
                                      : " that arrived meanwhile are counted but not compared.";
    }
    notices_.push_back(std::move(notice));
    stall_.reset();
}

bool Run::WatchClock(std::int64_t unixSecond, double now) {
    const double step = static_cast<double>(unixSecond - unixSecond_) - (now - tickSteady_);
    if (!measuring_ || std::abs(step) <= kClockStepSeconds) return false;
    std::string notice = std::string("The system clock was set ") +
                         (step > 0 ? "forward" : "back") + " by " +
                         SpanText(std::llround(std::abs(step)));
    // A file being written is not renamed behind the user's back: the next one takes the
    // clock's time.
    if (log_.Logging() && !log_.LogPath().empty()) {
        notice += "; the logfile keeps its name " + log_.LogPath();
    }
    notices_.push_back(notice + ".");
    return true;
}

void Run::Take(const Reception& reception) {
    QUORVEX_ASSERT_UI_THREAD();
    const FrameVerdict verdict = reception.frame.verdict;
    const SourceId source = reception.source;
    if (source == SourceId::Feed) return;  // the feed's are lines, taken by TakeFeed
    if (Stalled(reception.arrival.steadySeconds)) {
        TakeBacklog(reception);
        return;
    }
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
    const double now = clock_.SteadySeconds();
    const bool stepped = WatchClock(inputs.UnixSeconds, now);
    if (Stalled(now)) {
        StalledSecond(inputs, now);
    } else {
        MeasuredSecond(inputs, held, result, now);
    }
    // After the minute the clock stepped out of has closed.
    if (stepped) history_.ClockStepped(inputs.UnixSeconds);
    tickSteady_ = now;
    unixSecond_ = inputs.UnixSeconds;
}

void Run::MeasuredSecond(const TickInputs& inputs, bool held, TickResult& result, double now) {
    secondMeasured_ = true;
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
    twins_.Expire(now, [this](const Twin& twin) { Settled(twin); });
    levels_.Second(inputs.UnixSeconds);
    if (buckets_.Second(inputs.UnixSeconds)) history_.Minute(buckets_.Minutes().back());
}

}  // namespace quorvex

namespace quorvex {
namespace {

constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;
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
    stall_.reset();
    measuring_ = true;
    tickSteady_ = lastRan_ = clock_.SteadySeconds();
    return true;
}

}  // namespace quorvex
