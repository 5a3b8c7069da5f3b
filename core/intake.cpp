#include "core/intake.h"

#include <algorithm>
#include <cmath>

#include "core/feed_scan.h"
#include "core/frame_decoder.h"
#include "platform/ui_thread.h"

namespace quorvex {

namespace {

void Count(MainState& state, SourceId receiver, const DecodeResult& result, float levelDbfs) {
    const FrameVerdict verdict = result.verdict;
    if (verdict.IsCounted()) {
        DfCounts& counts =
            receiver == SourceId::Receiver1 ? state.Counts.Counts1 : state.Counts.Counts2;
        CountOne(counts[verdict.group()]);
        state.Tally.CountFrame(receiver, result, state.TallySecond, levelDbfs);
        if (Coverage::MayHavePosition(result.bytes.view())) {
            state.Positions.ReceiverFrame(receiver, result.bytes.view(),
                                          state.Time.SteadySeconds());
        }
        if (!std::isnan(levelDbfs)) {
            LevelSum& level = state.Levels[SourceIndex(receiver)];
            level.Sum += levelDbfs;
            ++level.Count;
        }
    }
    if (verdict.kind() != FrameVerdict::Kind::Dropped && state.Log.Logging()) {
        state.Log.WriteFrameLine(receiver, verdict, result.frame.view());
    }
}

}  // namespace

std::optional<BadHexPair> ReceiverPacket(MainState& state, SourceId receiver,
                                         std::string_view packet, bool crcOption) {
    QUORVEX_ASSERT_UI_THREAD();
    DecodeResult result;
    if (auto bad = TryDecodeFrame(packet, crcOption, result)) return bad;
    Count(state, receiver, result, kNoLevel);
    return std::nullopt;
}

void ReceiverFrame(MainState& state, SourceId receiver, std::span<const std::uint8_t> frame,
                   float levelDbfs) {
    QUORVEX_ASSERT_UI_THREAD();
    Count(state, receiver, DecodeFrameBytes(frame), levelDbfs);
}

void FeedTextReceived(MainState& state, std::string_view text) {
    state.Feed.Append(text);
}

void FeedScan(MainState& state) {
    QUORVEX_ASSERT_UI_THREAD();
    state.Feed.Take(state.FeedScratch);
    const bool logging = state.Log.Logging();
    ScanFeedText(state.FeedScratch, state.Counts.CountsS,
                 [&state, logging](std::string_view entry) {
                     state.Tally.CountFeedEntry(entry, state.TallySecond);
                     if (entry.starts_with('3')) state.Positions.FeedEntry(entry);
                     if (logging) state.Log.WriteFeedLine(entry);
                 });
    state.FeedScratch.clear();
}

std::string_view UdpDatagramText(std::span<const std::uint8_t> datagram, bool measurementRunning) {
    if (!measurementRunning) return {};
    const auto bytes = datagram.first(std::min(datagram.size(), kUdpDatagramTextLimit));
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::size_t>(end - bytes.begin())};
}

}  // namespace quorvex
