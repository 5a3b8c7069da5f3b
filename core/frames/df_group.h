#pragma once
// The six Downlink Format counting groups and the verdict that decoding one frame gives.

#include <cstdint>
#include <string_view>

namespace quorvex {

// In this order: the counters, the history rows and the bars all follow it.
enum class DfGroup : std::uint8_t { Df0, Df4_5, Df11, Df11Ic, Df17_19, Df20_21 };

inline constexpr int kDfGroupCount = 6;

// The label a group carries under its bar ("DF 11#" is a DF 11 reply with an interrogator code).
std::string_view DfGroupLabel(DfGroup group);

class FrameVerdict {
  public:
    enum class Kind : std::uint8_t { Counted, CrcFailed, InvalidDf, Dropped };

    static constexpr FrameVerdict Counted(DfGroup group) { return {Kind::Counted, group}; }
    static constexpr FrameVerdict CrcFailed() { return {Kind::CrcFailed, DfGroup::Df0}; }
    static constexpr FrameVerdict InvalidDf() { return {Kind::InvalidDf, DfGroup::Df0}; }
    static constexpr FrameVerdict Dropped() { return {Kind::Dropped, DfGroup::Df0}; }

    constexpr Kind kind() const { return kind_; }
    // Meaningful only for Counted.
    constexpr DfGroup group() const { return group_; }
    constexpr bool IsCounted() const { return kind_ == Kind::Counted; }

    constexpr bool operator==(const FrameVerdict& other) const {
        return kind_ == other.kind_ && (kind_ != Kind::Counted || group_ == other.group_);
    }

  private:
    constexpr FrameVerdict(Kind kind, DfGroup group) : kind_(kind), group_(group) {}
    Kind kind_;
    DfGroup group_;
};

}  // namespace quorvex
