// The feed path on arbitrary bytes: the text arrives in pieces of any size through
// FeedBuffers, over one or more ticks, and each tick's buffer is scanned.
//
// What must hold for every tick:
// - a tick takes the text that came since the previous tick, preceded by the line that was
//   unfinished then, up to and including its last line end; the text after that waits for
//   the next tick unless it holds more than kFeedLineLimit characters from its first
//   marker, when the tick takes it all. The scan of what the buffers give equals the scan
//   of that text, worked out here on the raw text without the buffers' trimming;
// - what waits is bounded by kFeedLineLimit;
// - the scan gives one entry per counted message;
// - the counts match an independent count: every "MSG," found by searching on from the end
//   of the previous one, followed by at least one character, counts by that character;
// - each entry begins right after its marker and runs up to the next marker, when that
//   marker starts after the type field.
//
// The input's front is the feed text; its back chooses the piece sizes and tick ends.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/feed/feed_buffers.h"
#include "core/feed/feed_scan.h"
#include "core/frames/interval_counts.h"

namespace {

using quorvex::FeedCounts;
using quorvex::kFeedMarker;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "feed_scan_fuzz: %s\n", what);
    std::abort();
}

struct ScanResult {
    FeedCounts counts;
    std::vector<std::string> entries;
};

ScanResult Scan(std::string_view text) {
    ScanResult result;
    quorvex::ScanFeedText(text, result.counts, [&result](std::string_view entry) {
        result.entries.emplace_back(entry);
    });
    return result;
}

void CheckAgainstText(std::string_view text, const ScanResult& scan) {
    FeedCounts counts;
    std::size_t entry = 0;
    for (std::size_t marker = text.find(kFeedMarker); marker != std::string_view::npos;
         marker = text.find(kFeedMarker, marker + kFeedMarker.size())) {
        const std::string_view rest = text.substr(marker + kFeedMarker.size());
        if (rest.empty()) break;
        switch (rest[0]) {
            case '5':
            case '6':
                ++counts.Msg5_6;
                break;
            case '8':
                ++counts.Msg8;
                break;
            default:
                ++counts.MsgOther;
                break;
        }
        Check(entry < scan.entries.size(), "fewer entries than messages");
        const std::string& logged = scan.entries[entry++];
        Check(rest.substr(0, logged.size()) == logged, "an entry is not the text after its marker");
        const std::size_t next = rest.find(kFeedMarker);
        if (next == std::string_view::npos || next >= kFeedMarker.size()) {
            Check(logged == rest.substr(0, next), "an entry does not end at the next marker");
        }
    }
    Check(entry == scan.entries.size(), "more entries than messages");
    Check(scan.counts == counts, "counts differ from the markers in the text");
}

// `pending` holds the raw text not yet taken: the unfinished line of the previous tick and
// everything appended since. Returns the raw text this tick must scan and keeps the rest.
std::string TickText(std::string& pending) {
    const std::size_t lineEnd = pending.rfind('\n');
    const std::size_t cut = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    const std::string_view tail = std::string_view(pending).substr(cut);
    const std::size_t marker = tail.find(kFeedMarker);
    const std::size_t waiting = marker == std::string_view::npos
                                    ? std::min<std::size_t>(tail.size(), 3)
                                    : tail.size() - marker;
    std::string taken;
    if (waiting > quorvex::kFeedLineLimit) {
        taken.swap(pending);
    } else {
        taken = pending.substr(0, cut);
        pending.erase(0, cut);
    }
    return taken;
}

void CheckTick(quorvex::FeedBuffers& buffers, std::string& pending, int& expectedSelect) {
    std::string taken = "left over from the last tick";
    buffers.Take(taken);
    expectedSelect = expectedSelect == 1 ? 2 : 1;
    Check(buffers.TcpBufferSelect() == expectedSelect, "the selector did not flip");
    const std::string& waiting = expectedSelect == 1 ? buffers.TcpBufferA() : buffers.TcpBufferB();
    Check(waiting.size() <= quorvex::kFeedLineLimit, "the unfinished line grew past the limit");

    const std::string text = TickText(pending);
    Check(text.ends_with(taken), "the taken buffer is not the end of the tick's text");
    const ScanResult buffered = Scan(taken);
    const ScanResult whole = Scan(text);
    Check(buffered.counts == whole.counts, "buffered and whole-text counts differ");
    Check(buffered.entries == whole.entries, "buffered and whole-text entries differ");
    const std::int64_t total =
        std::int64_t{whole.counts.Msg5_6} + whole.counts.Msg8 + whole.counts.MsgOther;
    Check(total == static_cast<std::int64_t>(whole.entries.size()), "entries != counts");
    CheckAgainstText(text, whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    quorvex::FeedBuffers buffers;
    int expectedSelect = 0;
    std::string pending;  // the unfinished line and everything appended since the last tick
    while (input.remaining_bytes() > 0) {
        const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 80);
        const std::string piece = input.ConsumeBytesAsString(length);
        // The half that receives this piece must be the one the selector names.
        const std::size_t otherBefore =
            expectedSelect == 1 ? buffers.TcpBufferB().size() : buffers.TcpBufferA().size();
        buffers.Append(piece);
        const std::size_t otherAfter =
            expectedSelect == 1 ? buffers.TcpBufferB().size() : buffers.TcpBufferA().size();
        Check(otherBefore == otherAfter, "text went to the half the selector does not name");
        pending += piece;
        if (input.ConsumeBool()) CheckTick(buffers, pending, expectedSelect);
    }
    CheckTick(buffers, pending, expectedSelect);
    return 0;
}
