#include "core/run/log_format.h"

namespace quorvex {
namespace {

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + (value / 10) % 10);
    out += static_cast<char>('0' + value % 10);
}

std::string_view FrameTail(SourceId receiver, FrameVerdict verdict) {
    const bool first = receiver == SourceId::Receiver1;
    switch (verdict.kind()) {
        case FrameVerdict::Kind::Counted:
            return first ? "***" : "   >>>";
        case FrameVerdict::Kind::CrcFailed:
            return first ? "*** CRC failed" : "   >>> CRC failed";
        case FrameVerdict::Kind::InvalidDf:
            return first ? "*** invalid DF" : "   >>> invalid DF";
        case FrameVerdict::Kind::Dropped:
            break;
    }
    return {};
}

}  // namespace

std::string LogStampText(const LocalDateTime& time) {
    std::string stamp;
    stamp.reserve(17);
    AppendTwoDigits(stamp, time.year % 100);
    stamp += '-';
    AppendTwoDigits(stamp, time.month);
    stamp += '-';
    AppendTwoDigits(stamp, time.day);
    stamp += '.';
    AppendTwoDigits(stamp, time.hour);
    stamp += '.';
    AppendTwoDigits(stamp, time.minute);
    stamp += '.';
    AppendTwoDigits(stamp, time.second);
    return stamp;
}

void AppendFrameLine(std::string& out, SourceId receiver, FrameVerdict verdict,
                     std::string_view frame, const LocalDateTime& time,
                     std::string_view timeSeparator) {
    out += receiver == SourceId::Receiver1 ? "[1] *** " : "[2] >>> ";
    AppendTwoDigits(out, time.hour);
    out += timeSeparator;
    AppendTwoDigits(out, time.minute);
    out += timeSeparator;
    AppendTwoDigits(out, time.second);
    out += '.';
    out += static_cast<char>('0' + (time.millisecond / 100) % 10);
    AppendTwoDigits(out, time.millisecond % 100);
    out += " - ";
    out += frame;
    out += ' ';
    // Frame, blank and filler always take 29 characters.
    if (frame.size() == 14) out.append(14, ' ');
    out += FrameTail(receiver, verdict);
    out += "\r\n";
}

void AppendFeedEntry(std::string& out, std::string_view entry) {
    out += "[S] ###  MSG,";
    out += entry;
}

}  // namespace quorvex
