// A grid of byte weights over world cells that hands its cells out from the heaviest.
#pragma once
#include <cstdint>
#include <vector>

#include "Schedule/prioritylist.h"

constexpr int kByteGridOutside = -10;

class ByteGrid {
public:
    // Columns and rows run 1..255.
    ByteGrid(int columns, int rows, float cellWidth, float cellDepth, float originX, float originZ);
    // kByteGridOutside for a cell outside the grid; else the byte grows by amount (wrapping), 0.
    int AddAt(int column, int row, int amount);
    // The point's cell is found by rounding down, so every point outside the grid is refused.
    int AddAtPoint(float x, float z, int amount);
    // Ranks every cell by its byte (equal bytes in cell order, the later above).
    void Sort();
    // The next NextBest gives the heaviest cell.
    void Reset();
    // The weight of the next cell down the ranking and its corner; -1 once every cell was given.
    int NextBest(float* x, float* z);
    void Clear();

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    uint8_t Cell(int column, int row) const;

private:
    std::vector<uint8_t> cells_;
    int cellCount_ = 0;
    int cursor_ = -1;
    float cellWidth_, cellDepth_, originX_, originZ_;
    PriorityList ranking_;
    int columns_ = 0;
    int rows_ = 0;
};
