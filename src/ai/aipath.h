// Named paths, the playable rectangle of the map and the footprints of buildings on the path
// grid.
//
// An AiPath is a polyline of ground points (x, z) with an optional label. Every path, named or
// not, is in the one list AiPaths from construction to destruction. Named paths belong to the
// map (patrol routes, staging points, "edge_path"); unnamed ones are routes that commands,
// processes and tasks own.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/mathlib.h"

class GameObject;
class PhaseHook;

// The path kind of the planner's straight fallback route (two points, start and goal).
constexpr int32_t kPathTypeStraight = 3;
// The largest label and point count a saved path may claim.
constexpr int32_t kPathMaxLabel = 255;
constexpr int32_t kPathMaxPoints = 8191;  // a binary record holds at most 65535 bytes

class AiPath {
public:
    // label may be null (an unnamed path); count zeroed points. Joins AiPaths.
    AiPath(const char* label, int32_t count);
    // Leaves AiPaths.
    ~AiPath();
    AiPath(const AiPath&) = delete;
    AiPath& operator=(const AiPath&) = delete;

    // An unnamed two-point path from the ground positions of a and b.
    void InitSegment(const Vector& a, const Vector& b);
    // null or "" makes the path unnamed.
    void SetName(const char* text);
    // Keeps the first min(old, n) points and zeroes the rest; a negative n is 0.
    void SetPointCount(int32_t n);
    // Sum of the ground-plane segment lengths.
    float Length() const;
    bool HasLabel() const { return !label.empty(); }
    int32_t PointCount() const { return static_cast<int32_t>(points.size()); }

    // The "[AiPath]" record.
    bool Save(FILE* stream);
    // Reads the record into this path; the saved identity then names it for the fix-up.
    bool Load();

    std::string label;  // empty: unnamed
    std::vector<Vector2D> points;
    int32_t pathType = 0;
};

// Every live path, in order of construction.
const std::vector<AiPath*>& AiPaths();
// The first path in list order whose label equals the text (case-sensitive); unnamed paths
// never match. Null when none.
AiPath* AiPath_Find(const char* label);
// Deletes the path only when it has no label and is still listed: holders of a path that may be
// a named one, or that may already be gone with the mission, release it through this.
void AiPath_DeleteUnnamed(AiPath* path);
// Deletes every path (mission shutdown).
void AiPaths_DeleteAll();
// "[AiPaths]", "count", then every path.
bool AiPaths_Save(FILE* stream);
// Reads the section; a failed record fails it (the paths read so far stay listed).
bool AiPaths_Load();

// ---- the playable rectangle --------------------------------------------------------------
// Until a mission sets them up the bounds hold the whole plane, so nothing is pushed.
struct MapBounds {
    float xMin = -1e30f, xMax = 1e30f, zMin = -1e30f, zMax = 1e30f;
};
// From "edge_path" (the box of its points), or, when there is none or its points span no area,
// the terrain's extent less 30 m on every side; then the footprints are rebuilt and the
// avoidance's stuck pairs cleared.
void Mission_SetupBounds();
const MapBounds& Mission_GetPlayBounds();
void Mission_SetPlayBounds(const MapBounds& bounds);  // tests and tools
// Outside the rectangle (an edge counts as inside) the object's velocity gains
// 10 x dt x (clamped point - position) on x and z.
void Mission_KeepInBounds(GameObject* object, float dt);

// ---- footprints on the path grid -------------------------------------------------------
// A rectangle on the ground, minima first.
struct GroundRect {
    float x0 = 0.0f, z0 = 0.0f, x1 = 0.0f, z1 = 0.0f;
};
// What the footprints need of the path grid and the avoidance (their owners fill these; tests
// replace them).
struct PathGridHooks {
    bool (*gridExists)();
    void (*markRect)(const GroundRect& rect, bool add);
    // The four transformed corners in order, and their box.
    void (*markArea)(const Vector2D corners[4], const GroundRect& rect, bool add);
    void (*clearStuckPairs)();
};
PathGridHooks& PathGrid_Hooks();
void PathGrid_ResetHooks();
// Whether the object marks the grid: class kind 2, 5 or 10, or 'TURR', never 'GEIZ', 'PROX'
// or 'SPWN'.
bool PathGrid_TakesPart(const GameObject* object);
// Add or remove the object's footprint (nothing while the grid does not exist).
void PathGrid_UpdateFootprint(GameObject* object, bool add);
// Adds every qualifying live object that is not dead.
void PathGrid_RebuildFootprints();
// Empties both footprint maps (the grid is freed).
void PathGrid_ClearFootprints();
// The stored footprint of the object; false when none.
bool PathGrid_StoredFootprint(const GameObject* object, GroundRect* out);

// The path system's member of the subsystem registry.
PhaseHook& PathWorldListener_Member();

// Every path, the bounds and the footprints forgotten (tests' reset).
void AiPaths_Reset();
