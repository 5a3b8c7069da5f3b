#include "core/feed/feed_scan.h"

#include "core/feed/feed_buffers.h"

namespace quorvex {

void ScanFeedText(std::string_view text, FeedCounts& counts,
                  const std::function<void(std::string_view)>& entry) {
    std::size_t marker = text.find(kFeedMarker);
    // Views into `text`: each step moves past one marker, so the scan is linear.
    std::string_view rest = text;
    while (marker != std::string_view::npos && rest.size() >= 5) {
        rest = rest.substr(marker + kFeedMarker.size(), kFeedScanLimit);
        if (rest.empty()) break;  // the text ended right after a marker: no type to count

        switch (rest[0]) {
            case '5':
            case '6':
                CountOne(counts.Msg5_6);
                break;
            case '8':
                CountOne(counts.Msg8);
                break;
            default:
                CountOne(counts.MsgOther);
                break;
        }
        marker = rest.find(kFeedMarker);
        if (entry) {
            if (marker == std::string_view::npos || marker >= kFeedMarker.size()) {
                entry(rest.substr(0, marker));
            } else {
                // A marker within the type field ("MSG,MSG,8,...") is itself a message. The
                // entry ends at the first marker beyond the type field, so a run of markers
                // cannot make every entry repeat the rest of the buffer.
                entry(rest.substr(0, rest.find(kFeedMarker, kFeedMarker.size())));
            }
        }
    }
}

}  // namespace quorvex
