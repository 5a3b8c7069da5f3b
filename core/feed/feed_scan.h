#pragma once
// Counting the "MSG," messages of one tick's feed text by their type character.

#include <functional>
#include <string_view>

#include "core/frames/interval_counts.h"

namespace quorvex {

// Counts every message of `text` into `counts`: type "5" or "6" as Msg5_6, "8" as Msg8, any
// other as MsgOther. Text before the first marker (the piece of a line a connection began
// with, or no message at all) is ignored; a text that ends right after a marker counts nothing for
// it. When `entry` is set it receives each message's log entry: the text after its marker up to the
// next marker, or to the end.
void ScanFeedText(std::string_view text, FeedCounts& counts,
                  const std::function<void(std::string_view)>& entry = {});

}  // namespace quorvex
