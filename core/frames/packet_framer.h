#pragma once
// PacketFramer: cuts the character stream of one receiver source into packets between a
// start string and a stop string (or of a fixed size) and hands each packet's text to
// OnPacket; text it throws away goes to OnDiscard. It knows nothing of Mode S or of where
// the text comes from (a serial port's chunks, UDP datagrams, a TCP stream); it only matches
// strings and counts characters. Text is 8-bit characters, one per received byte.
//
// Threads: one thread at a time, no lock; in the program the user-interface thread, where
// every transport hands its text over. It never blocks. Handlers run inside FeedText and may
// call back into the framer (FeedText, the setters); the scan then continues on what the
// framer holds afterwards.
//
// Cost: linear in the bytes fed. The scan works from an offset into its buffer, resumes a
// search where the previous FeedText left it, and compacts the buffer once per FeedText.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvex {

class PacketFramer {
  public:
    // The text is valid until the handler returns.
    using TextHandler = std::function<void(const std::string& text)>;

    PacketFramer() = default;
    PacketFramer(const PacketFramer&) = delete;
    PacketFramer& operator=(const PacketFramer&) = delete;

    // A different value discards the buffer (through OnDiscard); the same value keeps it.
    const std::string& StartString() const { return startString_; }
    void SetStartString(const std::string& value);
    const std::string& StopString() const { return stopString_; }
    void SetStopString(const std::string& value);
    // A fixed packet length, start string included; 0 or less: none.
    std::int32_t Size() const { return size_; }
    void SetSize(std::int32_t value);
    bool CaseInsensitive() const { return caseInsensitive_; }
    void SetCaseInsensitive(bool value);

    // Only stored.
    bool IncludeStrings() const { return includeStrings_; }
    void SetIncludeStrings(bool value) { includeStrings_ = value; }
    // 0 or less: unlimited. A leftover of this many characters or more is discarded.
    std::int32_t MaxBufferSize() const { return maxBufferSize_; }
    void SetMaxBufferSize(std::int32_t value) { maxBufferSize_ = value; }

    // Hands text to the framer: with neither a Size nor a StopString, OnPacket gets it at
    // once and whole; otherwise it is appended and every complete packet is delivered. An
    // error raised by a handler ends FeedText and propagates, after the MaxBufferSize test
    // on what is left; packets not yet delivered wait for the next FeedText.
    void FeedText(std::string_view text);

    TextHandler OnPacket;
    TextHandler OnDiscard;

  private:
    bool HasEndCondition() const { return size_ > 0 || !stopString_.empty(); }
    void Scan();
    void FinishFeed();
    // Fires OnDiscard with the whole buffer (if any), then empties it, also on an error.
    void DiscardBuffer();
    void ResetBuffer();
    // The first occurrence of `needle` in `text` at or after `from`, or npos.
    std::size_t Find(std::string_view text, std::string_view needle, std::string_view upperNeedle,
                     std::size_t from) const;
    bool StartsWithAt(std::size_t at, std::string_view text, std::string_view needle,
                      std::string_view upperNeedle) const;
    void StripStrings(std::string& packet) const;
    template <typename T>
    void ChangeAndDiscard(T& field, const T& value);

    std::string startString_;
    std::string stopString_;
    std::string startUpper_;  // the strings with "a" to "z" upper-cased
    std::string stopUpper_;
    std::int32_t size_ = 0;
    std::int32_t maxBufferSize_ = 1024;
    bool includeStrings_ = false;
    bool caseInsensitive_ = false;

    // buffer_[head_ ..] is what the framer holds; what lies before head_ has already left
    // it and is dropped once per FeedText.
    std::string buffer_;
    std::size_t head_ = 0;
    bool inPacket_ = false;
    // Where the search for the string wanted next may resume: no occurrence of it starts
    // before this position (absolute in buffer_).
    std::size_t searchFrom_ = 0;
};

}  // namespace quorvex
