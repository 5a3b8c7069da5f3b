#pragma once
// The TCP feed's double buffer: the socket appends to one half while the tick scans the other.
//
// User-interface thread only.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvex {

inline constexpr std::string_view kFeedMarker = "MSG,";
// The scan looks at no more than this many characters after the first marker of a buffer.
inline constexpr std::size_t kFeedScanLimit = 9999999;
// A line still unfinished at a tick waits for the next one when it holds no more than this
// many characters from its first marker (a BaseStation line has a few hundred at most);
// a longer one is no line and is scanned as it stands.
inline constexpr std::size_t kFeedLineLimit = 4096;

class FeedBuffers {
  public:
    // Received feed text: to TcpBufferA while TcpBufferSelect is 1, else to TcpBufferB.
    void Append(std::string_view text);

    // Flips TcpBufferSelect between 1 and 2 and moves the half it pointed at into `out`
    // (replacing what `out` held), leaving that half empty; appends then go to the other.
    // The line the half ends in, unfinished (the text after its last line end, "\n"), is
    // not taken: it begins the other half, so a line is scanned whole in the tick that
    // receives its end, however the feed's segments fall. One longer than kFeedLineLimit
    // is taken as it stands.
    void Take(std::string& out);

    int TcpBufferSelect() const { return select_; }
    const std::string& TcpBufferA() const { return a_.text; }
    const std::string& TcpBufferB() const { return b_.text; }

  private:
    // A half keeps only what the scan can ever look at: text before its first marker is
    // never counted or logged, and nothing beyond kFeedScanLimit characters after that
    // marker is read. So a feed left connected for hours while no measurement runs grows a
    // half to about ten megabytes at most, and the scan's results are the same.
    struct Half {
        std::string text;
        bool hasMarker = false;  // text then begins with the first marker
    };
    static void AppendTo(Half& half, std::string_view text);

    Half a_;
    Half b_;
    int select_ = 0;
};

}  // namespace quorvex
