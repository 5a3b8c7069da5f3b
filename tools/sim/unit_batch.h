#pragma once
// Units on their way into a byte stream: written in as few calls as the stream allows, each
// one complete only once its last byte has gone out.

#include <deque>
#include <string>
#include <string_view>

#include "tools/sim/unit.h"

namespace quorvex::sim {

class UnitBatch {
  public:
    void Add(Unit&& unit) {
        bytes_ += unit.text;
        units_.push_back(std::move(unit));
    }
    bool Empty() const { return units_.empty(); }
    std::size_t PendingBytes() const { return bytes_.size(); }

    // Hands what is pending to `write` (returns how many bytes it took) and `done` every
    // unit whose last byte went.
    template <typename Write, typename Done>
    void Flush(Write&& write, Done&& done) {
        if (bytes_.empty()) return;
        std::size_t n = write(std::string_view(bytes_));
        bytes_.erase(0, n);
        while (n > 0 && !units_.empty()) {
            const std::size_t need = units_.front().text.size() - frontWritten_;
            if (n < need) {
                frontWritten_ += n;
                break;
            }
            n -= need;
            frontWritten_ = 0;
            done(units_.front());
            units_.pop_front();
        }
    }

    // Forgets everything, the unit written in part too: it never counts.
    void Clear() {
        units_.clear();
        bytes_.clear();
        frontWritten_ = 0;
    }

  private:
    std::deque<Unit> units_;
    std::string bytes_;
    std::size_t frontWritten_ = 0;
};

}  // namespace quorvex::sim
