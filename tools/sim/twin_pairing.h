#pragma once
// The two receivers' copies of one transmission, paired by its number as the receivers write
// them. Each receiver writes its copies in the order sent, so the two lists merge: a copy of
// the other receiver numbered below the one written now will never find its twin. A copy
// still waiting this long after it was sent never will either: the other's was dropped on
// the way. So what waits stays bounded however long the run.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

namespace quorvex::sim {

template <typename Copy>
class TwinPairing {
  public:
    static constexpr double kWaitSeconds = 10;

    // Receiver `self` (0 or 1) wrote `copy` of transmission `number`, sent at `time`: the
    // other receiver's copy when it was written before, else nothing (and this one waits).
    std::optional<Copy> Pair(int self, std::uint64_t number, double time, const Copy& copy) {
        std::deque<Waiting>& theirs = waiting_[1 - self];
        while (!theirs.empty() && theirs.front().number < number) theirs.pop_front();
        if (!theirs.empty() && theirs.front().number == number) {
            const Copy twin = theirs.front().copy;
            theirs.pop_front();
            return twin;
        }
        std::deque<Waiting>& mine = waiting_[self];
        while (!mine.empty() && mine.front().time < time - kWaitSeconds) mine.pop_front();
        mine.push_back({number, time, copy});
        return std::nullopt;
    }

  private:
    struct Waiting {
        std::uint64_t number;
        double time;
        Copy copy;
    };
    std::array<std::deque<Waiting>, 2> waiting_;
};

}  // namespace quorvex::sim
