#pragma once
// The exact text of logfile names, frame lines and feed entries.

#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/base/source_id.h"
#include "core/frames/df_group.h"

namespace quorvex {

// "yy-mm-dd.hh.nn.ss": the stamp in a log file's name, free of locale separators.
std::string LogStampText(const LocalDateTime& time);

// Appends one frame line to `out`: prefix, time "hh:nn:ss.zzz -", the frame, a filler that
// puts every tail in the same column, the tail for receiver and verdict, CR LF.
void AppendFrameLine(std::string& out, SourceId receiver, FrameVerdict verdict,
                     std::string_view frame, const LocalDateTime& time,
                     std::string_view timeSeparator);

// Appends one feed entry: "[S] ###  MSG," and the entry text, with no line end of its own.
void AppendFeedEntry(std::string& out, std::string_view entry);

}  // namespace quorvex
