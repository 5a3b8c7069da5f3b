#pragma once
// An index from aircraft addresses to the rows of a table kept in a vector: open addressing
// with linear probing, each slot holding the address beside its row, so a lookup reads one
// slot of the index and no row. At a busy receiver's thousands of aircraft neither the index
// nor the table stays in the processor's cache, and every line read is a wait for memory.
//
// Sized for its bound at construction (at most a third of the slots in use, so probes stay
// short); it never allocates afterwards. The table rebuilds it after moving rows (Clear, then
// Insert every row). One thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvex {

class AddressIndex {
  public:
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFF;

    explicit AddressIndex(std::size_t maxRows);

    // The row of `address`, or kNoRow.
    std::uint32_t Find(std::uint32_t address) const {
        for (std::size_t slot = Home(address);; slot = (slot + 1) & mask_) {
            const Slot& entry = slots_[slot];
            if (entry.row == kNoRow || entry.address == address) return entry.row;
        }
    }
    // Enters `address` (not in the index) with its row. At most maxRows addresses at a time.
    void Insert(std::uint32_t address, std::uint32_t row);
    // Forgets every address.
    void Clear();

  private:
    struct Slot {
        std::uint32_t address = 0;
        std::uint32_t row = kNoRow;
    };
    std::size_t Home(std::uint32_t address) const {
        // Fibonacci hashing: the high bits of the product spread neighbouring addresses.
        return static_cast<std::uint32_t>(address * 2654435761u) >> shift_;
    }

    std::size_t mask_;
    int shift_;
    std::vector<Slot> slots_;
};

}  // namespace quorvex
