#include "core/intake.h"

#include <algorithm>
#include <cmath>

#include "core/convert_error.h"
#include "core/feed_scan.h"
#include "core/frame_decoder.h"
#include "platform/ui_thread.h"

namespace quorvex {

void ReceiverPacket(MainState& state, Receiver receiver, std::string_view packet, bool crcOption,
                    float levelDbfs) {
    QUORVEX_ASSERT_UI_THREAD();
    DecodeResult result;
    if (const auto bad = TryDecodeFrame(packet, crcOption, result)) {
        std::uint64_t& rejected =
            receiver == Receiver::R1 ? state.RejectedPackets1 : state.RejectedPackets2;
        ++rejected;
        if (state.OnRejectedPacket) {
            state.OnRejectedPacket(receiver, InvalidIntegerMessage(bad->text()));
        }
        return;
    }
    const FrameVerdict verdict = result.verdict;
    if (verdict.IsCounted()) {
        DfCounts& counts = receiver == Receiver::R1 ? state.Counts.Counts1 : state.Counts.Counts2;
        CountOne(counts[verdict.group()]);
        state.Tally.CountFrame(receiver, result, state.TallySecond, levelDbfs);
        if (!std::isnan(levelDbfs)) {
            LevelSum& level = state.Levels[receiver == Receiver::R1 ? 0 : 1];
            level.Sum += levelDbfs;
            ++level.Count;
        }
    }
    if (verdict.kind() != FrameVerdict::Kind::Dropped && state.Log.Logging()) {
        state.Log.WriteFrameLine(receiver, verdict, result.frame.view());
    }
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
