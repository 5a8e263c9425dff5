#pragma once
// Positions of a snapshot's entries by their 32-bit key: an open-addressing hash set that keeps
// its table between snapshots, so that a refresh allocates nothing for it once warm.
#include <cstddef>
#include <cstdint>
#include <vector>

class PathIndex_CL {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // Empties the index and makes room for `count` positions without growing again.
    void Clear(size_t count);

    // Adds a position under its key; several positions may share a key.
    void Insert(uint32_t key, uint32_t position);

    // The first position under `key` for which isEqual(position) holds, or kNone. The key only
    // narrows the search; isEqual decides.
    template <typename IsEqual>
    uint32_t Find(uint32_t key, IsEqual isEqual) const {
        if (slots_.empty()) return kNone;
        const size_t mask = slots_.size() - 1;
        // At most half the slots are used, so every probe sequence ends at an empty slot.
        for (size_t i = Home(key);; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.position == kNone) return kNone;
            if (slot.key == key && isEqual(slot.position)) return slot.position;
        }
    }

private:
    struct Slot {
        uint32_t key;
        uint32_t position;  // kNone marks an empty slot
    };

    // Fibonacci hashing: the top bits of key * 2^32/phi spread keys that differ only in their
    // low bits, as StringKey's key * 3 + c of similar names do.
    size_t Home(uint32_t key) const { return (key * 2654435769u) >> shift_; }
    void Reserve(size_t count);

    static constexpr size_t kMinSlots = 16;
    static constexpr unsigned kMinShift = 28;  // 32 - log2(kMinSlots)

    std::vector<Slot> slots_;
    size_t used_ = 0;
    unsigned shift_ = kMinShift;
};
