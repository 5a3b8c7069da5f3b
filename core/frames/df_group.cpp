#include "core/frames/df_group.h"

namespace quorvex {

std::string_view DfGroupLabel(DfGroup group) {
    switch (group) {
        case DfGroup::Df0:
            return "DF 0";
        case DfGroup::Df4_5:
            return "DF 4, 5";
        case DfGroup::Df11:
            return "DF 11";
        case DfGroup::Df11Ic:
            return "DF 11#";
        case DfGroup::Df17_19:
            return "DF 17- 19";
        case DfGroup::Df20_21:
            return "DF 20, 21";
    }
    return {};
}

}  // namespace quorvex
