// The scheduler's sorted priority list: parallel pointers and double keys, ascending by key, of
// a fixed capacity. A new entry goes after every entry of an equal key; a full list refuses it.
#pragma once
#include <cstddef>
#include <vector>

class PriorityList {
public:
    explicit PriorityList(int capacity = 0);
    // Empties the list and gives it a new capacity.
    void Reset(int capacity);
    void Clear() { count_ = 0; }
    // False when the list is full.
    bool Insert(void* item, double key);
    int Count() const { return count_; }
    int Capacity() const { return static_cast<int>(items_.size()); }
    // Index 0 is the lowest key, Count() - 1 the highest; null and 0 outside.
    void* Item(int index) const;
    double Key(int index) const;

private:
    std::vector<void*> items_;
    std::vector<double> keys_;
    int count_ = 0;
};
