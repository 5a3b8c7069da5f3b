#pragma once
// The fifteen hit counters of the current one-second interval, in their fixed order:
// receiver 1's six DF groups, receiver 2's six, then the feed's three message classes.

#include <cstdint>
#include <limits>

#include "core/frames/df_group.h"

namespace quorvex {

// A counter that reached its largest value stays there: a held display can let the counters
// run for days, and a wrapped counter would show a negative rate.
inline void CountOne(std::int32_t& counter) {
    if (counter != std::numeric_limits<std::int32_t>::max()) ++counter;
}

struct DfCounts {
    std::int32_t Df0 = 0;
    std::int32_t Df4_5 = 0;
    std::int32_t Df11 = 0;
    std::int32_t Df11Ic = 0;
    std::int32_t Df17_19 = 0;
    std::int32_t Df20_21 = 0;

    std::int32_t& operator[](DfGroup group);
    std::int32_t operator[](DfGroup group) const;
    bool operator==(const DfCounts&) const = default;
};

struct FeedCounts {
    std::int32_t Msg5_6 = 0;    // feed messages of type 5 or 6
    std::int32_t Msg8 = 0;      // type 8
    std::int32_t MsgOther = 0;  // any other type character
    bool operator==(const FeedCounts&) const = default;
};

struct IntervalCounts {
    static constexpr int kCounterCount = 15;
    static constexpr int kFirstFeedCounter = 12;  // CountsS.Msg5_6

    DfCounts Counts1;
    DfCounts Counts2;
    FeedCounts CountsS;

    // Counter 0..14 in the fixed order (Counts1.Df0 first, CountsS.MsgOther last).
    std::int32_t Counter(int index) const;
    void Zero() { *this = IntervalCounts{}; }
    bool operator==(const IntervalCounts&) const = default;
};

}  // namespace quorvex
