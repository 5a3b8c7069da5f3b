#include "core/base/address_index.h"

#include <algorithm>

namespace quorvex {

AddressIndex::AddressIndex(std::size_t maxRows) {
    std::size_t size = 4;
    shift_ = 32 - 2;
    while (size < 3 * std::max<std::size_t>(1, maxRows)) {
        size *= 2;
        --shift_;
    }
    mask_ = size - 1;
    slots_.assign(size, Slot{});
}

void AddressIndex::Insert(std::uint32_t address, std::uint32_t row) {
    std::size_t slot = Home(address);
    while (slots_[slot].row != kNoRow) slot = (slot + 1) & mask_;
    slots_[slot] = {address, row};
}

void AddressIndex::Clear() {
    std::fill(slots_.begin(), slots_.end(), Slot{});
}

}  // namespace quorvex
