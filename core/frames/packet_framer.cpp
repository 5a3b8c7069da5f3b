#include "core/frames/packet_framer.h"

#include <algorithm>

namespace quorvex {
namespace {

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCased(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
    return upper;
}

// The first position at or after `from` where no occurrence of a string of `length`
// characters can start in a text of `size` characters that holds none from `from` on.
std::size_t ResumeAt(std::size_t size, std::size_t length, std::size_t from) {
    return std::max(from, size >= length ? size - length + 1 : 0);
}

}  // namespace

template <typename T>
void PacketFramer::ChangeAndDiscard(T& field, const T& value) {
    if (field == value) return;
    field = value;
    startUpper_ = UpperCased(startString_);
    stopUpper_ = UpperCased(stopString_);
    DiscardBuffer();
}

void PacketFramer::SetStartString(const std::string& value) {
    ChangeAndDiscard(startString_, value);
}
void PacketFramer::SetStopString(const std::string& value) {
    ChangeAndDiscard(stopString_, value);
}
void PacketFramer::SetSize(std::int32_t value) {
    ChangeAndDiscard(size_, value);
}
void PacketFramer::SetCaseInsensitive(bool value) {
    ChangeAndDiscard(caseInsensitive_, value);
}

void PacketFramer::FeedText(std::string_view text) {
    if (!HasEndCondition()) {
        if (OnPacket) OnPacket(std::string(text));
        return;
    }
    buffer_.append(text);
    try {
        Scan();
    } catch (...) {
        FinishFeed();
        throw;
    }
    FinishFeed();
}

void PacketFramer::Scan() {
    std::string packet;  // reused for every packet of this call
    for (;;) {
        // Locate the start. A handler may change the framer, so every pass reads it anew.
        if (!inPacket_) {
            if (startString_.empty()) {
                inPacket_ = true;
                searchFrom_ = 0;
            } else {
                const std::size_t found =
                    Find(buffer_, startString_, startUpper_, std::max(head_, searchFrom_));
                if (found == std::string::npos) {
                    searchFrom_ = ResumeAt(buffer_.size(), startString_.size(), head_);
                    return;
                }
                inPacket_ = true;
                searchFrom_ = 0;
                if (found > head_) {
                    if (OnDiscard) {
                        const std::string discarded(buffer_, head_, found - head_);
                        head_ = found;
                        OnDiscard(discarded);
                        continue;
                    }
                    head_ = found;
                }
            }
        }

        // Locate the end.
        const std::size_t held = buffer_.size() - head_;
        std::size_t length = 0;
        if (size_ > 0 && held >= static_cast<std::size_t>(size_)) {
            length = static_cast<std::size_t>(size_);
        } else {
            if (stopString_.empty()) return;
            const std::size_t afterStart = head_ + startString_.size();
            const std::size_t found =
                Find(buffer_, stopString_, stopUpper_, std::max(afterStart, searchFrom_));
            if (found == std::string::npos) {
                searchFrom_ = ResumeAt(buffer_.size(), stopString_.size(), afterStart);
                return;
            }
            length = found + stopString_.size() - head_;
        }

        // Deliver.
        packet.assign(buffer_, head_, length);
        head_ += length;
        inPacket_ = false;
        searchFrom_ = 0;
        if (!includeStrings_) StripStrings(packet);
        if (OnPacket) OnPacket(packet);
    }
}

void PacketFramer::StripStrings(std::string& packet) const {
    const std::string_view text = packet;
    std::size_t front = 0;
    if (!startString_.empty() && StartsWithAt(0, text, startString_, startUpper_)) {
        front = startString_.size();
    }
    std::size_t back = 0;
    const std::size_t stopLength = stopString_.size();
    if (stopLength > 0 && text.size() - front >= stopLength) {
        // The first occurrence in what remains must be its end.
        if (Find(text, stopString_, stopUpper_, front) == text.size() - stopLength) {
            back = stopLength;
        }
    }
    if (front + back == 0) return;
    packet.erase(packet.size() - back);
    packet.erase(0, front);
}

void PacketFramer::FinishFeed() {
    buffer_.erase(0, head_);
    searchFrom_ -= std::min(searchFrom_, head_);
    head_ = 0;
    if (maxBufferSize_ > 0 && buffer_.size() >= static_cast<std::size_t>(maxBufferSize_)) {
        DiscardBuffer();
    }
}

void PacketFramer::DiscardBuffer() {
    if (buffer_.size() == head_) {
        // Nothing to fire. The flag is cleared even so: it can be set on an empty buffer
        // while the start string is empty, and must not outlive a change to a start string
        // that the buffer would then not begin with.
        ResetBuffer();
        return;
    }
    if (OnDiscard) {
        const std::string discarded(buffer_, head_);
        try {
            OnDiscard(discarded);
        } catch (...) {
            ResetBuffer();
            throw;
        }
    }
    ResetBuffer();
}

void PacketFramer::ResetBuffer() {
    buffer_.clear();
    head_ = 0;
    inPacket_ = false;
    searchFrom_ = 0;
}

std::size_t PacketFramer::Find(std::string_view text, std::string_view needle,
                               std::string_view upperNeedle, std::size_t from) const {
    if (!caseInsensitive_) return text.find(needle, from);
    if (needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= text.size(); ++at) {
        if (StartsWithAt(at, text, needle, upperNeedle)) return at;
    }
    return std::string_view::npos;
}

bool PacketFramer::StartsWithAt(std::size_t at, std::string_view text, std::string_view needle,
                                std::string_view upperNeedle) const {
    if (at > text.size() || text.size() - at < needle.size()) return false;
    if (!caseInsensitive_) return text.compare(at, needle.size(), needle) == 0;
    for (std::size_t i = 0; i < upperNeedle.size(); ++i) {
        if (Upper(text[at + i]) != upperNeedle[i]) return false;
    }
    return true;
}

}  // namespace quorvex
