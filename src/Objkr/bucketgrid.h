// A 2-D grid of buckets over the map's ground plane (x and z). Each frame its owner clears it,
// inserts one 32-bit value per live object at the object's position and ends the fill; any code
// may then read every value inserted near a point. Queries are widened by 20 units on every
// side and hand out whole cells: callers test exact distances themselves.
#pragma once
#include <cstdint>
#include <vector>

struct BucketGridEntry {
    uint32_t value;
    int32_t next;  // next entry of the same cell, -1 ends
};

struct BucketGridQuery {
    bool empty = true;
    int32_t firstColumn = 0;
    int32_t lastColumn = 0;
    int32_t column = 0;
    int32_t firstRow = 0;
    int32_t lastRow = 0;
    int32_t row = 0;
    int32_t width = 0;
    const BucketGridEntry* entries = nullptr;
    const int32_t* cellHeads = nullptr;
    int32_t current = -1;

    void Start();
    // False when empty or exhausted; else hands out the next entry. Order: rows first to last,
    // columns first to last within a row, entries of a cell newest first.
    bool Next(const BucketGridEntry** out);
};

class BucketGrid {
public:
    // The grid covers min..max on both axes; width = round((max x - min x) / cell x) + 1,
    // height likewise. Sizes that are not positive and finite give a 1 x 1 grid with a warning.
    BucketGrid(double cellX, double cellZ, double minZ, double maxZ, double minX, double maxX, int capacity);
    void Free();
    void Clear();
    // Points off the grid land in the border cells; a NaN coordinate counts as the grid's
    // origin. Past the capacity the value is dropped with a warning (once per fill).
    void Insert(uint32_t value, double x, double z);
    void EndFill();
    void Query(double x, double z, double radius, BucketGridQuery* query) const;
    void BeginQuery(double minX, double minZ, double maxX, double maxZ, BucketGridQuery* query) const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Capacity() const { return capacity_; }
    int EntryCount() const { return count_; }
    int Dropped() const { return dropped_; }
    // The cell a point falls in, as Insert computes it.
    void CellOf(double x, double z, int* column, int* row) const;

    static constexpr double kQueryMargin = 20.0;
    static constexpr int kMaxCells = 1 << 22;

private:
    double invCellX_ = 1.0;
    double invCellZ_ = 1.0;
    double originZ_ = 0.0;
    double originX_ = 0.0;
    int32_t capacity_ = 0;
    int32_t width_ = 1;
    int32_t height_ = 1;
    int32_t count_ = 0;
    std::vector<BucketGridEntry> entries_;
    std::vector<int32_t> heads_;
    int32_t spare_ = 0;
    int32_t dropped_ = 0;
};
