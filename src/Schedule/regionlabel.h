// Region labelling: finds the 4-connected blobs of cells whose value lies in [lo..hi] and labels
// them 1, 2, ... (wrapping to 1 after 2000). With the compact-only flag set, a blob that is not
// compact is erased from the labels and its label used again.
#pragma once
#include <cstdint>

#include "Schedule/nrutil.h"

constexpr int kRegionMaxLabels = 2000;

struct RegionStats {
    int count = 0;
    int lowRow = 1000;
    int highRow = -1;
    int lowCol = 1000;
    int highCol = -1;
    int rowSum = 0;
    int colSum = 0;
    float aspect = 0.0f;
    float fill = 0.0f;
    float meanRow = 0.0f;
    float meanCol = 0.0f;
};

// 50..150 cells, aspect 0.55..1.7, fill 0.65..1.001, both extents at most 20.
bool RegionLabel_IsCompact(const RegionStats& stats);
// Labels over [0..rows-1][0..columns-1] of the source (0 = no region); empty when out of memory.
NrMatrix<int16_t> RegionLabel(const NrMatrix<int32_t>& source, int lo, int hi, bool compactOnly, int rows,
                              int columns);
// The statistics of the region last given this label (null outside 1..2000).
const RegionStats* RegionLabel_Stats(int label);
// How many regions the last run kept.
int RegionLabel_Count();
void RegionLabel_Reset();
