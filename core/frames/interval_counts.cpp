#include "core/frames/interval_counts.h"

namespace quorvex {

std::int32_t& DfCounts::operator[](DfGroup group) {
    switch (group) {
        case DfGroup::Df0:
            return Df0;
        case DfGroup::Df4_5:
            return Df4_5;
        case DfGroup::Df11:
            return Df11;
        case DfGroup::Df11Ic:
            return Df11Ic;
        case DfGroup::Df17_19:
            return Df17_19;
        case DfGroup::Df20_21:
            break;
    }
    return Df20_21;
}

std::int32_t DfCounts::operator[](DfGroup group) const {
    return const_cast<DfCounts&>(*this)[group];
}

std::int32_t IntervalCounts::Counter(int index) const {
    if (index >= 0 && index < kDfGroupCount) return Counts1[static_cast<DfGroup>(index)];
    if (index >= kDfGroupCount && index < 2 * kDfGroupCount) {
        return Counts2[static_cast<DfGroup>(index - kDfGroupCount)];
    }
    switch (index) {
        case 12:
            return CountsS.Msg5_6;
        case 13:
            return CountsS.Msg8;
        case 14:
            return CountsS.MsgOther;
        default:
            return 0;
    }
}

}  // namespace quorvex
