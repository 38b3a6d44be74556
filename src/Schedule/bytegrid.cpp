#include "Schedule/bytegrid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
int ClampSide(int n) { return std::clamp(n, 1, 255); }
}  // namespace

ByteGrid::ByteGrid(int columns, int rows, float cellWidth, float cellDepth, float originX, float originZ)
    : cellWidth_(cellWidth), cellDepth_(cellDepth), originX_(originX), originZ_(originZ) {
    columns_ = ClampSide(columns);
    rows_ = ClampSide(rows);
    cellCount_ = columns_ * rows_;
    cells_.assign(static_cast<size_t>(cellCount_), 0);
    ranking_.Reset(cellCount_);
}

int ByteGrid::AddAt(int column, int row, int amount) {
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return kByteGridOutside;
    uint8_t& cell = cells_[static_cast<size_t>(row * columns_ + column)];
    cell = static_cast<uint8_t>(cell + static_cast<unsigned>(amount));
    return 0;
}

int ByteGrid::AddAtPoint(float x, float z, int amount) {
    const double cx = std::floor((static_cast<double>(x) - originX_) / cellWidth_);
    const double cz = std::floor((static_cast<double>(z) - originZ_) / cellDepth_);
    // NaN and far-away points fail these tests too.
    if (!(cx >= 0.0 && cx < columns_ && cz >= 0.0 && cz < rows_)) return kByteGridOutside;
    return AddAt(static_cast<int>(cx), static_cast<int>(cz), amount);
}

void ByteGrid::Sort() {
    // Inserting in cell order gives equal weights in cell order; a stable sort into that order
    // first makes every insertion an append instead of a shift.
    std::vector<int> order(static_cast<size_t>(cellCount_));
    for (int i = 0; i < cellCount_; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return cells_[static_cast<size_t>(a)] < cells_[static_cast<size_t>(b)]; });
    ranking_.Clear();
    for (int i : order)
        ranking_.Insert(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), cells_[static_cast<size_t>(i)]);
    cursor_ = -1;
}

void ByteGrid::Reset() { cursor_ = ranking_.Count() - 1; }

int ByteGrid::NextBest(float* x, float* z) {
    if (cursor_ < 0 || cursor_ >= ranking_.Count()) return -1;
    const auto index = static_cast<int>(reinterpret_cast<uintptr_t>(ranking_.Item(cursor_)));
    const int key = static_cast<int>(ranking_.Key(cursor_));
    --cursor_;
    if (x) *x = static_cast<float>(index % columns_) * cellWidth_ + originX_;
    if (z) *z = static_cast<float>(index / columns_) * cellDepth_ + originZ_;
    return key;
}

void ByteGrid::Clear() { std::fill(cells_.begin(), cells_.end(), uint8_t{0}); }

uint8_t ByteGrid::Cell(int column, int row) const {
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return 0;
    return cells_[static_cast<size_t>(row * columns_ + column)];
}
