#include "comlib/process/path_index.h"

#include <algorithm>

void PathIndex_CL::Reserve(size_t count) {
    size_t slots = kMinSlots;
    unsigned shift = kMinShift;
    while (slots < count * 2) {
        slots *= 2;
        --shift;
    }
    if (slots <= slots_.size()) return;
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(slots, Slot{0, kNone});
    shift_ = shift;
    used_ = 0;
    for (const Slot& slot : old)
        if (slot.position != kNone) Insert(slot.key, slot.position);
}

void PathIndex_CL::Clear(size_t count) {
    std::fill(slots_.begin(), slots_.end(), Slot{0, kNone});
    used_ = 0;
    Reserve(count);
}

void PathIndex_CL::Insert(uint32_t key, uint32_t position) {
    if ((used_ + 1) * 2 > slots_.size()) Reserve(used_ + 1);
    const size_t mask = slots_.size() - 1;
    size_t i = Home(key);
    while (slots_[i].position != kNone) i = (i + 1) & mask;
    slots_[i] = Slot{key, position};
    ++used_;
}
