#include "core/feed/feed_buffers.h"

#include <algorithm>

namespace quorvex {

void FeedBuffers::AppendTo(Half& half, std::string_view text) {
    std::string& buffer = half.text;
    if (half.hasMarker) {
        const std::size_t limit = kFeedMarker.size() + kFeedScanLimit;
        if (buffer.size() < limit) buffer.append(text.substr(0, limit - buffer.size()));
        return;
    }
    // A marker may have begun in the last three characters kept from before.
    const std::size_t searchFrom =
        buffer.size() >= kFeedMarker.size() - 1 ? buffer.size() - (kFeedMarker.size() - 1) : 0;
    buffer.append(text);
    const std::size_t marker = buffer.find(kFeedMarker, searchFrom);
    if (marker == std::string::npos) {
        const std::size_t keep = std::min(buffer.size(), kFeedMarker.size() - 1);
        buffer.erase(0, buffer.size() - keep);
        return;
    }
    buffer.erase(0, marker);
    half.hasMarker = true;
    buffer.resize(std::min(buffer.size(), kFeedMarker.size() + kFeedScanLimit));
}

void FeedBuffers::Append(std::string_view text) {
    AppendTo(select_ == 1 ? a_ : b_, text);
}

void FeedBuffers::Take(std::string& out) {
    Half& half = select_ == 1 ? a_ : b_;
    select_ = select_ == 1 ? 2 : 1;
    out.clear();
    out.swap(half.text);  // the half keeps `out`'s old capacity for the next second
    half.hasMarker = false;

    // The other half was taken a tick ago and is empty: the unfinished line goes there first,
    // kept by the rules of any appended text (from its first marker on).
    Half& next = select_ == 1 ? a_ : b_;
    const std::size_t lineEnd = out.rfind('\n');
    const std::size_t cut = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    if (cut == out.size()) return;
    AppendTo(next, std::string_view(out).substr(cut));
    if (next.text.size() > kFeedLineLimit) {
        next.text.clear();
        next.hasMarker = false;
        return;
    }
    out.resize(cut);
}

}  // namespace quorvex
