#include "Schedule/prioritylist.h"

#include <algorithm>

PriorityList::PriorityList(int capacity) { Reset(capacity); }

void PriorityList::Reset(int capacity) {
    if (capacity < 0) capacity = 0;
    items_.assign(static_cast<size_t>(capacity), nullptr);
    keys_.assign(static_cast<size_t>(capacity), 0.0);
    count_ = 0;
}

bool PriorityList::Insert(void* item, double key) {
    if (count_ >= Capacity()) return false;
    // First position whose key is above the new one: equal keys stay in insertion order.
    const auto end = keys_.begin() + count_;
    const auto at = std::upper_bound(keys_.begin(), end, key);
    const auto index = at - keys_.begin();
    std::move_backward(items_.begin() + index, items_.begin() + count_, items_.begin() + count_ + 1);
    std::move_backward(keys_.begin() + index, end, end + 1);
    items_[static_cast<size_t>(index)] = item;
    keys_[static_cast<size_t>(index)] = key;
    ++count_;
    return true;
}

void* PriorityList::Item(int index) const {
    return index >= 0 && index < count_ ? items_[static_cast<size_t>(index)] : nullptr;
}

double PriorityList::Key(int index) const {
    return index >= 0 && index < count_ ? keys_[static_cast<size_t>(index)] : 0.0;
}
