// The grid path planner: drivable routes for ground units across the map. It searches the region
// graph (ai/pathregions) from both ends at once, crossing from one region to the next on their
// shared edge, and smooths the route so that it does not hug region edges. One search at a time,
// on the main thread; search state lives in planner-wide records.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "core/mathlib.h"

struct PathRegion;

constexpr float kPathCostBlocked = 99999.0f;
constexpr int kPathHeapCapacity = 8192;
constexpr int kPathNodeBudget = 1024;

// Status flags of a result.
constexpr int kPathFailed = 1;
constexpr int kPathSearchAttached = 4;  // the regions still carry this search's marks
constexpr int kPathChainBuilt = 8;
constexpr int kPathCoarse = 16;

struct PathPoint {
    float x, z;  // metres on output
    PathRegion* region;
    int regionId;
};

struct PathResult {
    int status = 0;
    std::deque<PathPoint> points;
    float lastX = 0.0f, lastZ = 0.0f;
    int spare = 0;
};

// Mission start, load and editor: the grid and the sector grid built afresh.
void PathPlanner_Init();
void PathPlanner_Rebuild();
void PathPlanner_Close();
// PathPlanner_Close, then the grid freed.
void PathSystem_Shutdown();
bool PathPlanner_IsReady();

// The class cost table for a unit's path type and team (side 0: the passability test).
void PathPlanner_SetCosts(int moverType, int side);
float PathPlanner_ClassCost(int cls);
// Whether the cell under the metre point may be entered by the mover type (costs of side 0).
bool PathGrid_IsPassableFor(float x, float z, int moverType);

// The top-level search with its tries (a moved goal, random directions); never null.
PathResult* PathPlanner_FindPath(const Vector& start, const Vector& goal);
// One search without tries; never null.
PathResult* PathPlanner_Search(const Vector& start, const Vector& goal);
float PathResult_Length(const PathResult* result);
// Cleans the regions of an attached search and frees the result; null is ignored.
void PathResult_Release(PathResult* result);

// The route for a unit: kind 0 with the planned points, or kind 3 with the straight two points
// when no route was found. The unit task code turns it into its route object.
struct PlannedRoute {
    int kind = 0;
    std::vector<Vector2D> points;
};
PlannedRoute AiPath_Plan(float x1, float z1, float x2, float z2, int moverType, int side);

// Whether a search finds a route between the two metre points (the current costs).
bool PathMap_HasPath(float x0, float z0, float x1, float z1);

// Debug aids through the line drawing hook (none by default: nothing is drawn).
using PathDebugLine = void (*)(float x1, float z1, float x2, float z2, uint32_t colour);
void PathPlanner_SetDebugLine(PathDebugLine line);
void PathPlanner_DrawResult(const PathResult* result);
void PathPlanner_DrawRegions(float x1, float z1, float x2, float z2, const uint32_t* colours);
// The text for the touched region whose point lies nearest (within 5 m) to (x, z); false when
// none (out keeps its text).
bool PathPlanner_DescribeNode(float x, float z, char out[128]);

// Route smoothing, walking from the goal: R's crossing on its side touching B is put on the line
// from (fromX, fromZ) to B's point, at least 0.5 to 1.5 cells from the ends of their shared
// edge (also written to alsoCorner when given). When the route enters and leaves B through one
// side, two corner clones set into B go between R and B; the second is returned (null when none).
void PathPlanner_AdjustCrossing(const PathRegion* b, PathRegion* r, float fromX, float fromZ, PathRegion* alsoCorner);
PathRegion* PathPlanner_InsertCorners(PathRegion* b, PathRegion* r);
// Clones back to the pool and every touched region's search fields cleared.
void PathPlanner_ResetNodes();

// The number of regions the last search touched, and whether every region's search fields are
// clean (tests and the tool).
int PathPlanner_LastTouched();
bool PathPlanner_SearchFieldsClean();
// Lowers the open heap's capacity (tests of a full heap); 0 restores it.
void PathPlanner_SetHeapCapacity(int capacity);

void PathPlanner_ResetForTests();
