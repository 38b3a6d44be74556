#include "Objkr/bucketgrid.h"

#include <cmath>

#include "core/debug.h"

namespace {

// floor(t) clamped to 0..limit-1; NaN counts as 0.
int32_t ClampedCell(double t, int32_t limit) {
    if (std::isnan(t)) return 0;
    double f = std::floor(t);
    if (f < 0.0) return 0;
    if (f > double(limit - 1)) return limit - 1;
    return static_cast<int32_t>(f);
}

// Cells along one axis for a range and a cell size; 0 when the input is unusable.
int64_t CellsAlong(double minV, double maxV, double cell) {
    if (!std::isfinite(minV) || !std::isfinite(maxV) || !std::isfinite(cell) || cell <= 0.0 || maxV < minV) return 0;
    double n = std::nearbyint((maxV - minV) / cell);
    if (!(n < double(BucketGrid::kMaxCells))) return 0;
    return static_cast<int64_t>(n) + 1;
}

// First and last cell of a query range along one axis; false when the range misses the grid.
bool QueryRange(double lo, double hi, double origin, double inv, int32_t limit, int32_t* first, int32_t* last) {
    double a = std::floor((lo - origin - BucketGrid::kQueryMargin) * inv);
    double b = std::floor((hi - origin + BucketGrid::kQueryMargin) * inv);
    if (std::isnan(a) || std::isnan(b)) return false;
    if (a >= double(limit) || b < 0.0 || a > b) return false;
    *first = a < 0.0 ? 0 : static_cast<int32_t>(a);
    *last = b >= double(limit) ? limit - 1 : static_cast<int32_t>(b);
    return true;
}

}  // namespace

BucketGrid::BucketGrid(double cellX, double cellZ, double minZ, double maxZ, double minX, double maxX,
                       int capacity) {
    int64_t w = CellsAlong(minX, maxX, cellX);
    int64_t h = CellsAlong(minZ, maxZ, cellZ);
    if (w <= 0 || h <= 0 || w * h > kMaxCells) {
        Error_Warning("Bucket grid: unusable extents or cell size (%g x %g over %g..%g, %g..%g); using one cell",
                      cellX, cellZ, minX, maxX, minZ, maxZ);
        // Every point then falls in the one cell.
        w = h = 1;
        invCellX_ = invCellZ_ = 0.0;
        originX_ = originZ_ = 0.0;
    } else {
        invCellX_ = 1.0 / cellX;
        invCellZ_ = 1.0 / cellZ;
        originX_ = minX;
        originZ_ = minZ;
    }
    capacity_ = capacity > 0 ? capacity : 0;
    width_ = static_cast<int32_t>(w);
    height_ = static_cast<int32_t>(h);
    entries_.assign(static_cast<size_t>(capacity_), BucketGridEntry{0, -1});
    heads_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), -1);
    Clear();
}

void BucketGrid::Free() {
    std::vector<BucketGridEntry>().swap(entries_);
    std::vector<int32_t>().swap(heads_);
    capacity_ = 0;
    count_ = 0;
}

void BucketGrid::Clear() {
    for (int32_t& h : heads_) h = -1;
    count_ = 0;
    spare_ = 0;
    dropped_ = 0;
}

void BucketGrid::CellOf(double x, double z, int* column, int* row) const {
    *column = ClampedCell((x - originX_) * invCellX_, width_);
    *row = ClampedCell((z - originZ_) * invCellZ_, height_);
}

void BucketGrid::Insert(uint32_t value, double x, double z) {
    if (heads_.empty()) return;
    if (count_ >= capacity_) {
        if (dropped_++ == 0)
            Debug_Printf("warning: bucket grid full (%d entries); values dropped until the next clear\n", capacity_);
        return;
    }
    int column, row;
    CellOf(x, z, &column, &row);
    int32_t& head = heads_[static_cast<size_t>(column) + static_cast<size_t>(row) * static_cast<size_t>(width_)];
    entries_[static_cast<size_t>(count_)] = BucketGridEntry{value, head};
    head = count_;
    ++count_;
}

void BucketGrid::EndFill() {}

void BucketGrid::Query(double x, double z, double radius, BucketGridQuery* query) const {
    BeginQuery(x - radius, z - radius, x + radius, z + radius, query);
}

void BucketGrid::BeginQuery(double minX, double minZ, double maxX, double maxZ, BucketGridQuery* query) const {
    query->empty = false;
    query->width = width_;
    query->entries = entries_.data();
    query->cellHeads = heads_.data();
    query->current = -1;
    if (heads_.empty() ||
        !QueryRange(minZ, maxZ, originZ_, invCellZ_, height_, &query->firstRow, &query->lastRow) ||
        !QueryRange(minX, maxX, originX_, invCellX_, width_, &query->firstColumn, &query->lastColumn)) {
        query->empty = true;
    }
    query->Start();
}

void BucketGridQuery::Start() {
    if (empty) return;
    column = firstColumn;
    row = firstRow;
    current = cellHeads[column + row * width];
}

bool BucketGridQuery::Next(const BucketGridEntry** out) {
    if (empty || row > lastRow) return false;
    while (current == -1) {
        if (++column > lastColumn) {
            column = firstColumn;
            if (++row > lastRow) return false;  // exhausted
        }
        current = cellHeads[column + row * width];
    }
    const BucketGridEntry* entry = &entries[current];
    current = entry->next;
    if (out) *out = entry;
    return true;
}
