// The path grid: for every terrain cell, how hard it is for a ground unit to cross. One flag byte
// per cell, computed once from the terrain heights and the map's lava material, plus two
// occupancy counters per cell raised and lowered by zones while the game runs (A: zones hostile
// to team 1, B: zones hostile to team 2). A 64-entry table turns the low six flag bits into one
// of 13 movement classes.
//
// Cell (x, z) covers x in [xMin, xMax) and z in [zMin, zMax) (the terrain's cell bounds); metre
// values map to cells by floor(metres * cells-per-metre). Every change to the grid tells the
// change listener (the planner's regions) the changed rectangle in metres.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

// Flag bits of a cell.
constexpr int kPathSlope = 0x01;      // fails the step or cliff test
constexpr int kPathSteep = 0x02;      // adjacent corners differ by more than 70
constexpr int kPathBlocked = 0x03;    // adjacent corners differ by more than 100
constexpr int kPathHostileA = 0x04;   // next to lava, or (lookups) a zone hostile to team 1
constexpr int kPathHostileB = 0x08;   // next to lava, or (lookups) a zone hostile to team 2
constexpr int kPathLava = 0x10;       // the cell's material is the map's lava material
constexpr int kPathArea = 0x20;       // a building footprint
constexpr int kPathClassCount = 13;

// Where the grid reads the terrain; by default the loaded terrain map. Tests put small
// hand-built fields here.
struct PathGridTerrain {
    // Cell bounds: cells x in [xMin, xMax), z in [zMin, zMax).
    void (*bounds)(int* xMin, int* xMax, int* zMin, int* zMax);
    float (*cellsPerMetre)();
    int (*height)(int x, int z);    // raw 12-bit height of a vertex, clamped at the map's edge
    int (*material)(int x, int z);  // material (top four bits) of a vertex
    int (*lava)();                  // the map's lava material, -1 for none
    float (*groundHeight)(float x, float z);  // metres, at a metre point (the coarse search)
};
PathGridTerrain& PathGrid_Terrain();
void PathGrid_ResetTerrain();

// Called with the metre rectangle of every change to the grid.
using PathGridChangeListener = void (*)(float x1, float z1, float x2, float z2);
void PathGrid_SetChangeListener(PathGridChangeListener listener);

// Footprint marks are one bit per cell, so taking one footprint away would clear the cells of
// another still standing over them. After every unmark the grid asks the footprint store to
// mark again the stored footprints overlapping the rectangle (metres); none by default.
using PathGridFootprintReapply = void (*)(float x1, float z1, float x2, float z2);
void PathGrid_SetFootprintReapply(PathGridFootprintReapply reapply);

// Allocates the grids (all zero) and classifies every cell. PathGrid_Free frees them.
void PathGrid_Build();
void PathGrid_Free();
bool PathGrid_Exists();
void PathGrid_ClassifyAll();

// Extent and scale of the built grid.
int PathGrid_XMin();
int PathGrid_XMax();
int PathGrid_ZMin();
int PathGrid_ZMax();
float PathGrid_CellsPerMetre();
float PathGrid_MetresPerCell();
bool PathGrid_InGrid(int x, int z);

// The cell's flag byte with 0x04 added when counter A is above 0 and 0x08 when counter B is;
// 0 outside the grid. ...At takes metres.
int PathGrid_GetCell(int x, int z);
int PathGrid_GetCellAt(float x, float z);
// The stored flag byte and counters (no zone bits added); 0 outside.
int PathGrid_RawFlags(int x, int z);
int PathGrid_CounterA(int x, int z);
int PathGrid_CounterB(int x, int z);

int PathGrid_CellClass(int flags);
// The allowed-table byte of a class and column (0 for a column outside 0-2 or a class outside
// the table).
int PathGrid_ClassAllowed(int cls, int column);
// 1 for class 11 or 12, and outside the grid.
int PathGrid_IsBlocked(int x, int z);
// 1 for class 11; 0 outside.
int PathGrid_IsSpecialMaterial(int x, int z);
int PathGrid_CellAllowed(float x, float z, int column);
// The cell and its 8 neighbours all allowed.
bool PathGrid_AreaAllowed(float x, float z, int column);

// Cell tests on the terrain heights.
int PathGrid_BlockedTest(int x, int z);
int PathGrid_SteepTest(int x, int z);
int PathGrid_SlopeTest(int x, int z);

// Zones: every cell whose centre lies strictly inside the circle (metres) counts up (add) or
// down in A when team 1 is an enemy of the team, in B when team 2 is. Team 0 does nothing.
void PathGrid_MarkCircle(float x, float z, float radius, int team, bool add);
// Footprints over a metre rectangle. A rectangle marks every cell that is not blocked; an area
// marks (impassable and marked) the cells within the area polygon, all of them when the polygon
// is empty. Taking either away restores the cells' terrain classification.
void PathGrid_MarkRect(float x1, float z1, float x2, float z2, bool add);
void PathGrid_MarkArea(float x1, float z1, float x2, float z2, bool add);
// The polygon (metres, y ignored) the next PathGrid_MarkArea uses; copied.
void PathGrid_SetAreaPolygon(const Vector* points, int count);

// Walks the cells along start + t * direction (metres), t from 0 to *fraction, in order. When
// the test answers nonzero for a cell, *fraction becomes the smaller of itself and where the
// segment enters that cell, and the cast answers true. False when the walk ends without a hit
// or the segment misses the grid.
using PathGridCellTest = int (*)(int x, int z, void* context);
bool PathGrid_LineCast(float x, float z, float dx, float dz, PathGridCellTest test, void* context, float* fraction);
// Whether a cell whose flags differ (in the mask) from those of the cell at (x, z) is met.
bool PathGrid_SegmentBlocked(float x, float z, float dx, float dz, float* fraction, int mask = 0xff);
// Repeated casts from (x0, z0) toward (x1, z1): true when the end is reached, false when a cell
// with a flag outside the mask is entered.
bool PathGrid_WalkToChange(float x1, float z1, float x0, float z0, int mask);

// Path-map questions of the unit tasks.
int PathMap_IsImpassableAt(float x, float z);
// False when the cell under (x0, z0) is of class 11 or 12; otherwise whether every cell on the
// line from (x0, z0) to (x1, z1) has the flags of that cell in the side's mask (0xF7 for side
// 1, 0xFB for side 2, 0xFF for others).
bool PathMap_IsPathClear(float x1, float z1, float x0, float z0, int side);

// From the point along the direction up to fraction f: the fraction at which the first cell
// that is not blocked (AI_GroundClear) or that is blocked (AI_GroundBlocked) is met; f when none.
float AI_GroundClear(float x, float z, float dx, float dz, float f);
float AI_GroundBlocked(float x, float z, float dx, float dz, float f);

// Frees the grid and puts the terrain source and the hooks back.
void PathGrid_ResetForTests();
