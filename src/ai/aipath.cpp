#include "ai/aipath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/phasehook.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectpool.h"

namespace {

std::vector<AiPath*>& PathList() {
    static std::vector<AiPath*> list;
    return list;
}

MapBounds g_bounds;

// The footprints stored per object: one map for kind 5, one for the others.
std::map<const GameObject*, GroundRect>& RectMap() {
    static std::map<const GameObject*, GroundRect> m;
    return m;
}
std::map<const GameObject*, GroundRect>& AreaMap() {
    static std::map<const GameObject*, GroundRect> m;
    return m;
}
// The corners an area footprint was marked with, so that it can be marked again the same way.
std::map<const GameObject*, std::array<Vector2D, 4>>& AreaCorners() {
    static std::map<const GameObject*, std::array<Vector2D, 4>> m;
    return m;
}

bool Overlaps(const GroundRect& r, float x1, float z1, float x2, float z2) {
    return r.x0 <= std::max(x1, x2) && r.x1 >= std::min(x1, x2) && r.z0 <= std::max(z1, z2) &&
           r.z1 >= std::min(z1, z2);
}

void MarkAreaOnGrid(const Vector2D corners[4], const GroundRect& r, bool add);

// Footprint marks are one bit per cell: after an unmark the grid asks for the footprints still
// standing over the rectangle to be marked again.
void ReapplyFootprints(float x1, float z1, float x2, float z2) {
    for (const auto& [object, rect] : RectMap())
        if (Overlaps(rect, x1, z1, x2, z2)) PathGrid_MarkRect(rect.x0, rect.z0, rect.x1, rect.z1, true);
    for (const auto& [object, rect] : AreaMap()) {
        if (!Overlaps(rect, x1, z1, x2, z2)) continue;
        const auto it = AreaCorners().find(object);
        if (it == AreaCorners().end()) continue;
        MarkAreaOnGrid(it->second.data(), rect, true);
    }
}

void MarkRectOnGrid(const GroundRect& r, bool add) {
    PathGrid_SetFootprintReapply(ReapplyFootprints);
    PathGrid_MarkRect(r.x0, r.z0, r.x1, r.z1, add);
}

void MarkAreaOnGrid(const Vector2D corners[4], const GroundRect& r, bool add) {
    PathGrid_SetFootprintReapply(ReapplyFootprints);
    Vector polygon[4];
    for (int i = 0; i < 4; ++i) polygon[i] = Vector{corners[i].x, 0.0f, corners[i].z};
    PathGrid_SetAreaPolygon(polygon, 4);
    PathGrid_MarkArea(r.x0, r.z0, r.x1, r.z1, add);
}

PathGridHooks MakeDefaultHooks() {
    PathGridHooks h{};
    h.gridExists = PathGrid_Exists;
    // The grid is told where to find the stored footprints whenever it is marked (a test's
    // reset of the grid forgets it).
    h.markRect = MarkRectOnGrid;
    h.markArea = MarkAreaOnGrid;
    h.clearStuckPairs = Avoidance_ClearStuckPairs;
    return h;
}
PathGridHooks g_hooks = MakeDefaultHooks();

Vector PositionOf(const GameObject* object) {
    if (object->entity) {
        const DVector& p = object->entity->local.posit;
        return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    }
    return object->pos;
}

bool WriteInt32Block(FILE* stream, int32_t value, const char* name) {
    const uint32_t v = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
    return Field_WriteBytes(stream, bytes, sizeof bytes, name);
}

bool ReadInt32Block(const char* name, int32_t* value) {
    uint8_t bytes[4] = {};
    if (!Field_ReadBytes(name, bytes, sizeof bytes)) return false;
    *value = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    return true;
}

}  // namespace

// ---- AiPath ----------------------------------------------------------------------------------

AiPath::AiPath(const char* text, int32_t count) {
    if (text) label = text;
    points.assign(static_cast<size_t>(std::max(count, 0)), Vector2D{0.0f, 0.0f});
    PathList().push_back(this);
}

AiPath::~AiPath() {
    std::vector<AiPath*>& list = PathList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void AiPath::InitSegment(const Vector& a, const Vector& b) {
    label.clear();
    points = {Vector2D{a.x, a.z}, Vector2D{b.x, b.z}};
}

void AiPath::SetName(const char* text) { label = text ? text : ""; }

void AiPath::SetPointCount(int32_t n) { points.resize(static_cast<size_t>(std::max(n, 0)), Vector2D{0.0f, 0.0f}); }

float AiPath::Length() const {
    float total = 0.0f;
    for (size_t i = 1; i < points.size(); ++i) {
        const float dx = points[i].x - points[i - 1].x, dz = points[i].z - points[i - 1].z;
        total += std::sqrt(dx * dx + dz * dz);
    }
    return total;
}

bool AiPath::Save(FILE* stream) {
    const int32_t size = static_cast<int32_t>(label.size());
    const int32_t count = PointCount();
    if (!Field_WriteLabel(stream, "[AiPath]") || !Field_WritePointer(stream, this, "old_ptr") ||
        !Field_WriteInt(stream, size, "size"))
        return false;
    if (size >= 1 && !Field_WriteString(stream, label.data(), label.size(), "label")) return false;
    if (!Field_WriteInt(stream, count, "pointCount")) return false;
    if (!Field_WriteVector2D(stream, points.data(), points.size() * sizeof(Vector2D), "points")) return false;
    return WriteInt32Block(stream, pathType, "pathType");
}

bool AiPath::Load() {
    uint32_t saved = 0;
    int32_t size = 0;
    if (!Field_ReadLabel("[AiPath]") || !Field_ReadPointer("old_ptr", &saved) || !Field_ReadInt("size", &size))
        return false;
    if (size < 0 || size > kPathMaxLabel) return false;
    label.clear();
    if (size > 0) {
        char text[kPathMaxLabel + 1] = {};
        if (!Field_ReadString("label", text, static_cast<size_t>(size))) return false;
        text[size] = '\0';
        label = text;
    }
    int32_t count = 0;
    if (!Field_ReadInt("pointCount", &count) || count < 0 || count > kPathMaxPoints) return false;
    // The archive fills what the file holds: a list shorter than the count leaves the last
    // point as it was, a pattern no stored point has.
    std::vector<Vector2D> read(static_cast<size_t>(count));
    if (count > 0) std::memset(read.data(), 0xFF, read.size() * sizeof(Vector2D));
    if (!Field_ReadVector2D("points", read.data(), read.size() * sizeof(Vector2D))) return false;
    if (count > 0) {
        uint8_t unread[sizeof(Vector2D)];
        std::memset(unread, 0xFF, sizeof unread);
        if (std::memcmp(&read.back(), unread, sizeof unread) == 0) return false;
    }
    points = std::move(read);
    pathType = 0;
    if (Field_Version() >= 1014 && !ReadInt32Block("pathType", &pathType)) return false;
    if (saved) Field_RegisterPointer(saved, this);
    return true;
}

const std::vector<AiPath*>& AiPaths() { return PathList(); }

AiPath* AiPath_Find(const char* text) {
    if (!text) return nullptr;
    for (AiPath* path : PathList())
        if (path->HasLabel() && path->label == text) return path;
    return nullptr;
}

void AiPath_DeleteUnnamed(AiPath* path) {
    // A holder may outlive the list (the mission deletes every path before the world's objects
    // let go of their command routes): only a listed path is touched.
    const std::vector<AiPath*>& list = PathList();
    if (path && std::find(list.begin(), list.end(), path) != list.end() && !path->HasLabel()) delete path;
}

void AiPaths_DeleteAll() {
    while (!PathList().empty()) delete PathList().back();
}

bool AiPaths_Save(FILE* stream) {
    const int32_t count = static_cast<int32_t>(PathList().size());
    if (!Field_WriteLabel(stream, "[AiPaths]") || !Field_WriteInt(stream, count, "count")) return false;
    for (AiPath* path : PathList())
        if (!path->Save(stream)) return false;
    return true;
}

bool AiPaths_Load() {
    int32_t count = 0;
    if (!Field_ReadLabel("[AiPaths]") || !Field_ReadInt("count", &count)) return false;
    if (count < 0 || count > 1000000) return false;
    for (int32_t i = 0; i < count; ++i) {
        auto* path = new AiPath(nullptr, 0);
        if (!path->Load()) {
            delete path;
            return false;
        }
    }
    return true;
}

// ---- bounds ------------------------------------------------------------------------------

void Mission_SetupBounds() {
    MapBounds b{1e30f, -1e30f, 1e30f, -1e30f};
    if (const AiPath* edge = AiPath_Find("edge_path")) {
        for (const Vector2D& p : edge->points) {
            b.xMin = std::min(b.xMin, p.x);
            b.xMax = std::max(b.xMax, p.x);
            b.zMin = std::min(b.zMin, p.z);
            b.zMax = std::max(b.zMax, p.z);
        }
    }
    // A path without points, or one along a line, encloses nothing: the terrain decides.
    if (!(b.xMax > b.xMin && b.zMax > b.zMin)) {
        b.xMin = TerrainBounds.minXm + 30.0f;
        b.xMax = TerrainBounds.maxXm - 30.0f;
        b.zMin = TerrainBounds.minZm + 30.0f;
        b.zMax = TerrainBounds.maxZm - 30.0f;
    }
    g_bounds = b;
    PathGrid_RebuildFootprints();
    g_hooks.clearStuckPairs();
}

const MapBounds& Mission_GetPlayBounds() { return g_bounds; }
void Mission_SetPlayBounds(const MapBounds& bounds) { g_bounds = bounds; }

void Mission_KeepInBounds(GameObject* object, float dt) {
    if (!object) return;
    const Vector p = PositionOf(object);
    if (p.x >= g_bounds.xMin && p.x <= g_bounds.xMax && p.z >= g_bounds.zMin && p.z <= g_bounds.zMax) return;
    const float cx = std::clamp(p.x, g_bounds.xMin, g_bounds.xMax);
    const float cz = std::clamp(p.z, g_bounds.zMin, g_bounds.zMax);
    Vector v = object->euler.velocity;
    v.x += (cx - p.x) * dt * 10.0f;
    v.z += (cz - p.z) * dt * 10.0f;
    object->SetVelocity(v);
}

// ---- footprints ------------------------------------------------------------------------

PathGridHooks& PathGrid_Hooks() { return g_hooks; }
void PathGrid_ResetHooks() { g_hooks = MakeDefaultHooks(); }

bool PathGrid_TakesPart(const GameObject* object) {
    if (!object || !object->objClass) return false;
    const uint32_t sig = object->objClass->signature;
    if (sig == Signature("GEIZ") || sig == Signature("PROX") || sig == Signature("SPWN")) return false;
    const int32_t kind = object->objClass->category;
    return kind == 2 || kind == 5 || kind == 10 || sig == Signature("TURR");
}

namespace {

// The object's box on the ground: its geometry's extents (or, without geometry, its radius)
// at height 0 through its placement. corners receives the four transformed corners.
GroundRect FootprintOf(const GameObject* object, Vector2D corners[4]) {
    Vector lo{}, hi{};
    if (object->entity) Entity_ComputeExtents(object->entity, lo, hi);
    if (!object->entity || lo.x > hi.x || lo.z > hi.z) {
        const float r = object->radius;
        lo = Vector{-r, 0.0f, -r};
        hi = Vector{r, 0.0f, r};
    }
    const Vector local[4] = {{lo.x, 0.0f, lo.z}, {hi.x, 0.0f, lo.z}, {hi.x, 0.0f, hi.z}, {lo.x, 0.0f, hi.z}};
    GroundRect rect{1e30f, 1e30f, -1e30f, -1e30f};
    const Vector at = PositionOf(object);
    for (int i = 0; i < 4; ++i) {
        Vector2D c{local[i].x + at.x, local[i].z + at.z};
        if (object->entity) {
            const DVector w = Matrix_TransformPoint(local[i], object->entity->local);
            c = Vector2D{static_cast<float>(w.x), static_cast<float>(w.z)};
        }
        corners[i] = c;
        rect.x0 = std::min(rect.x0, c.x);
        rect.z0 = std::min(rect.z0, c.z);
        rect.x1 = std::max(rect.x1, c.x);
        rect.z1 = std::max(rect.z1, c.z);
    }
    return rect;
}

}  // namespace

void PathGrid_UpdateFootprint(GameObject* object, bool add) {
    if (!g_hooks.gridExists() || !PathGrid_TakesPart(object)) return;
    const bool byRect = object->objClass->category == 5;
    std::map<const GameObject*, GroundRect>& stored = byRect ? RectMap() : AreaMap();
    Vector2D corners[4];
    GroundRect rect = FootprintOf(object, corners);
    if (add) {
        stored[object] = rect;
        if (!byRect) AreaCorners()[object] = {corners[0], corners[1], corners[2], corners[3]};
    } else if (auto it = stored.find(object); it != stored.end()) {
        rect = it->second;
        stored.erase(it);
        AreaCorners().erase(object);
        // What was marked is unmarked: the stored box's corners.
        corners[0] = {rect.x0, rect.z0};
        corners[1] = {rect.x1, rect.z0};
        corners[2] = {rect.x1, rect.z1};
        corners[3] = {rect.x0, rect.z1};
    }
    if (byRect) g_hooks.markRect(rect, add);
    else g_hooks.markArea(corners, rect, add);
}

void PathGrid_RebuildFootprints() {
    const std::vector<GameObject*> list = GameObject_List();
    for (GameObject* object : list) {
        if (object->entity && (object->entity->flags & kEntityDead)) continue;
        PathGrid_UpdateFootprint(object, true);
    }
}

void PathGrid_ClearFootprints() {
    RectMap().clear();
    AreaMap().clear();
    AreaCorners().clear();
}

bool PathGrid_StoredFootprint(const GameObject* object, GroundRect* out) {
    for (auto* m : {&RectMap(), &AreaMap()}) {
        if (auto it = m->find(object); it != m->end()) {
            if (out) *out = it->second;
            return true;
        }
    }
    return false;
}

// ---- the registry member ---------------------------------------------------------------

namespace {

class PathWorldListener : public PhaseHook {
public:
    // Takes part in no per-frame broadcast.
    void Startup() override { flags &= static_cast<uint8_t>(~0x0Fu); }
    void PostLoad() override { Mission_SetupBounds(); }
    // The planner's path system and the grid go with the mission, and the footprints with them.
    void MissionCleanup() override {
        PathSystem_Shutdown();
        PathGrid_ClearFootprints();
    }
    void OnObjectAdded(GameObject* object) override { PathGrid_UpdateFootprint(object, true); }
    void OnObjectRemoved(GameObject* object) override { PathGrid_UpdateFootprint(object, false); }
};

}  // namespace

PhaseHook& PathWorldListener_Member() {
    static PathWorldListener member;
    return member;
}

void AiPaths_Reset() {
    AiPaths_DeleteAll();
    g_bounds = MapBounds{};
    PathGrid_ClearFootprints();
    PathGrid_ResetHooks();
}
