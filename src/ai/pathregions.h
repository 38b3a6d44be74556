// The region graph the planner searches. The path grid is cut into sectors of 16 x 16 cells;
// each sector is cut, when first needed, into maximal rectangles of cells of one movement class
// (regions), and each region keeps a list of the regions touching its four edges. A change to
// cells puts the sectors under it back to a placeholder, cut again on the next lookup; links into
// them are found stale by the neighbours' serial numbers and rebuilt.
//
// Callers give metres; regions hold cells. Cells past the grid in a partial edge sector count
// as impassable (class 12). Main thread only.
#pragma once
#include <cstdint>
#include <vector>

constexpr int kSectorCells = 16;
constexpr int kPlaceholderClass = 13;
constexpr int kRegionPoolSize = 65536;

struct PathRegion {
    float x1, z1, x2, z2;  // cells: x1 <= x < x2, z1 <= z < z2
    int cls;
    int id;     // serial number; -1 for a search's clones, 0 once recycled
    int links;  // head of the neighbour list: -2 never built, -1 built and empty
    int spare;
    // Search fields, clean between searches.
    uint8_t isJoin, inHeap, backward, isCorner, visited;
    float px, pz;  // cells: where the route crosses into the region
    float g;
    PathRegion* next;
    PathRegion* other;
};

struct PathLink {
    int nextIndex;  // -1 ends the list
    PathRegion* region;
    int regionId;  // the neighbour's id when linked; another id now means stale
};

struct PathSector {
    uint8_t decomposed;
    std::vector<PathRegion*> regions;
    int originX, originZ;
    uint8_t cellRegion[kSectorCells * kSectorCells];  // z major, x minor
};

// All sectors (placeholders at once decomposed) from the path grid's extent; FreeSectors frees
// every sector, region, link and buffer.
void PathPlanner_BuildSectors();
void PathPlanner_FreeSectors();
// Serial numbers start again from 1.
void PathPlanner_ResetIds();

// The region under a metre point, decomposing its sector on demand; null outside the grid or
// when the region pool could not supply the sector's regions.
PathRegion* PathPlanner_RegionAt(float x, float z);
// The regions of every sector under the metre rectangle that overlap it with positive area; the
// array is the planner's and reused by the next call.
int PathPlanner_RegionsInRect(float x1, float z1, float x2, float z2, PathRegion*** out);
void PathPlanner_InvalidateArea(float x1, float z1, float x2, float z2);
void PathPlanner_DecomposeArea(float x1, float z1, float x2, float z2);

// The head of the region's neighbour list, rebuilt when never built or stale.
int PathRegion_GetLinks(PathRegion* region);
const PathLink& PathLink_At(int index);

// Records from the region pool: a region (with a new id) or a search clone (id -1); null when
// the pool is exhausted. Recycle returns one (id 0).
PathRegion* PathRegion_Take(bool clone);
void PathRegion_Recycle(PathRegion* region);

// Sector access for the planner, the tools and tests.
int PathPlanner_SectorColumns();
int PathPlanner_SectorRows();
PathSector* PathPlanner_Sector(int column, int row);
// The sector holding the cell, or null.
PathSector* PathPlanner_SectorOfCell(int x, int z);
void PathSector_Decompose(int column, int row);
// Lowers the number of records the pool hands out (tests of an exhausted pool); 0 restores it.
void PathPlanner_SetRegionPoolLimit(int limit);
int PathPlanner_RegionsInUse();
// Frees everything and puts the pool limit and the serial numbers back.
void PathRegions_ResetForTests();
