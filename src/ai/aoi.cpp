#include "ai/aoi.h"

#include <algorithm>
#include <cmath>

#include "ai/aipath.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"

namespace {

constexpr int64_t kMaxCells = 1 << 22;

struct TeamGrids {
    std::vector<int32_t> interesting, other, force;
};

struct State {
    std::vector<AOI*> list;
    bool marked[kAoiTeams] = {};
    int32_t originX = 0, originZ = 0, cell = 0, height = 0, width = 0;
    TeamGrids grids[kAoiTeams];
    bool dirty = false;
    AiPath* edited = nullptr;
};
State g;

bool ValidTeam(int32_t team) { return team >= 0 && team < kAoiTeams; }

struct CellRect {
    int32_t x0, z0, x1, z1;
};

int32_t RoundEven(float v) {
    const double r = std::nearbyint(static_cast<double>(v));
    return static_cast<int32_t>(std::clamp(r, -2.0e9, 2.0e9));
}

// The area's cell rectangles, clipped to the grid.
std::vector<CellRect> CellRects(const AOI& aoi) {
    std::vector<CellRect> out;
    const AiPath* path = aoi.area;
    if (!path || path->points.empty() || g.cell <= 0) return out;
    float minX = 1e30f, minZ = 1e30f, maxX = -1e30f, maxZ = -1e30f;
    for (const Vector2D& p : path->points) {
        minX = std::min(minX, p.x);
        minZ = std::min(minZ, p.z);
        maxX = std::max(maxX, p.x);
        maxZ = std::max(maxZ, p.z);
    }
    const int64_t c = g.cell;
    int64_t x0 = (static_cast<int64_t>(RoundEven(minX)) - g.originX) / c;
    int64_t z0 = (static_cast<int64_t>(RoundEven(minZ)) - g.originZ) / c;
    int64_t x1 = (static_cast<int64_t>(RoundEven(maxX)) - g.originX + c - 1) / c;
    int64_t z1 = (static_cast<int64_t>(RoundEven(maxZ)) - g.originZ + c - 1) / c;
    x0 = std::max<int64_t>(x0, 0);
    z0 = std::max<int64_t>(z0, 0);
    x1 = std::min<int64_t>(x1, g.width);
    z1 = std::min<int64_t>(z1, g.height);
    const auto rect = [](int64_t a, int64_t b, int64_t cc, int64_t d) {
        return CellRect{static_cast<int32_t>(a), static_cast<int32_t>(b), static_cast<int32_t>(cc), static_cast<int32_t>(d)};
    };
    if (aoi.inside) {
        out.push_back(rect(x0, z0, x1, z1));
    } else {
        out.push_back(rect(0, 0, g.width, z0));
        out.push_back(rect(0, z1, g.width, g.height));
        out.push_back(rect(0, z0, x0, z1));
        out.push_back(rect(x1, z0, g.width, z1));
    }
    for (CellRect& r : out) {
        r.x0 = std::clamp(r.x0, 0, g.width);
        r.x1 = std::clamp(r.x1, 0, g.width);
        r.z0 = std::clamp(r.z0, 0, g.height);
        r.z1 = std::clamp(r.z1, 0, g.height);
    }
    return out;
}

void Fill(std::vector<int32_t>& grid, const CellRect& r, int32_t value) {
    for (int32_t z = r.z0; z < r.z1; ++z)
        for (int32_t x = r.x0; x < r.x1; ++x) grid[static_cast<size_t>(z) * static_cast<size_t>(g.width) + x] = value;
}

// An area whose path is gone (or never resolved after a load) has no region.
bool AreaIsLive(const AOI* aoi) {
    const std::vector<AiPath*>& paths = AiPaths();
    return aoi->area && std::find(paths.begin(), paths.end(), aoi->area) != paths.end();
}

void Rebuild() {
    const size_t cells = static_cast<size_t>(std::max(g.width, 0)) * static_cast<size_t>(std::max(g.height, 0));
    for (int32_t team = 0; team < kAoiTeams; ++team) {
        if (!g.marked[team]) continue;
        TeamGrids& grids = g.grids[team];
        for (auto* grid : {&grids.interesting, &grids.other, &grids.force}) grid->assign(cells, 0);
        for (const bool interesting : {true, false}) {
            for (const AOI* aoi : g.list) {
                if (aoi->team != team || aoi->interesting != interesting || !AreaIsLive(aoi)) continue;
                for (const CellRect& r : CellRects(*aoi)) {
                    if (interesting) {
                        Fill(grids.interesting, r, aoi->value);
                        Fill(grids.force, r, aoi->force);
                    } else {
                        Fill(grids.other, r, aoi->value);
                    }
                }
            }
        }
    }
    g.dirty = false;
}

void MarkTeamsWithAreas() {
    for (const AOI* aoi : g.list)
        if (ValidTeam(aoi->team)) g.marked[aoi->team] = true;
}

const int32_t* GridOrNull(const std::vector<int32_t>& grid) { return grid.empty() ? nullptr : grid.data(); }

}  // namespace

AOI::AOI(AiPath* areaPath, int32_t teamNumber, bool isInteresting, bool isInside, int32_t areaValue, int32_t areaForce)
    : area(areaPath), team(teamNumber), interesting(isInteresting), inside(isInside), value(areaValue), force(areaForce) {
    g.list.push_back(this);
    if (ValidTeam(team)) g.marked[team] = true;
    g.dirty = true;
}

AOI::~AOI() {
    g.list.erase(std::remove(g.list.begin(), g.list.end(), this), g.list.end());
    if (!ValidTeam(team)) return;
    g.marked[team] = std::any_of(g.list.begin(), g.list.end(), [&](const AOI* other) { return other->team == team; });
}

bool AOI::Save(FILE* stream) {
    return Field_WriteLabel(stream, "[AOI]") && Field_WritePointer(stream, area, "undefptr") &&
           Field_WriteInt(stream, team, "team") && Field_WriteBool(stream, interesting, "interesting") &&
           Field_WriteBool(stream, inside, "inside") && Field_WriteInt(stream, value, "value") &&
           Field_WriteInt(stream, force, "force");
}

const std::vector<AOI*>& AOIs() { return g.list; }

AOI* AOI_FindByOwner(const AiPath* area) {
    for (AOI* aoi : g.list)
        if (aoi->area == area) return aoi;
    return nullptr;
}

void AOI_SetupGrid(int32_t originX, int32_t originZ, int32_t cellSize, int32_t height, int32_t width) {
    g.originX = originX;
    g.originZ = originZ;
    g.cell = cellSize;
    const bool usable = cellSize > 0 && height > 0 && width > 0 && int64_t{height} * width <= kMaxCells;
    g.height = usable ? height : 0;
    g.width = usable ? width : 0;
    for (TeamGrids& grids : g.grids) grids = TeamGrids{};
    std::fill(std::begin(g.marked), std::end(g.marked), false);
    // A team is marked while an area of it exists, whatever the order of set-up and load.
    MarkTeamsWithAreas();
    g.dirty = true;
}

void AOI_MarkDirty() { g.dirty = true; }

bool AOI_TeamMarked(int32_t team) { return ValidTeam(team) && g.marked[team]; }

const int32_t* AOI_GetValueGrid(int32_t team, bool interesting) {
    if (!ValidTeam(team)) return nullptr;
    if (g.dirty) Rebuild();
    return GridOrNull(interesting ? g.grids[team].interesting : g.grids[team].other);
}

const int32_t* AOI_GetForceGrid(int32_t team) {
    if (!ValidTeam(team)) return nullptr;
    if (g.dirty) Rebuild();
    return GridOrNull(g.grids[team].force);
}

void AOI_Clear() {
    for (TeamGrids& grids : g.grids) grids = TeamGrids{};
    while (!g.list.empty()) delete g.list.back();
}

bool AOIs_Save(FILE* stream) {
    const int32_t size = static_cast<int32_t>(g.list.size());
    if (!Field_WriteLabel(stream, "[AOIs]") || !Field_WriteInt(stream, size, "size")) return false;
    for (AOI* aoi : g.list)
        if (!aoi->Save(stream)) return false;
    return true;
}

bool AOIs_Load() {
    int32_t size = 0;
    if (!Field_ReadLabel("[AOIs]") || !Field_ReadInt("size", &size) || size < 0 || size > 1000000) return false;
    for (int32_t i = 0; i < size; ++i) {
        auto* aoi = new AOI;
        aoi->area = nullptr;
        const size_t queued = Field_FixupQueueSize();
        const bool ok = Field_ReadLabel("[AOI]") && Field_ReadPointerFixup("undefptr", &aoi->area, "AOI") &&
                        Field_ReadInt("team", &aoi->team) && ValidTeam(aoi->team) &&
                        Field_ReadBool("interesting", &aoi->interesting) &&
                        Field_ReadBool("inside", &aoi->inside) && Field_ReadInt("value", &aoi->value) &&
                        Field_ReadInt("force", &aoi->force);
        if (!ok) {
            Field_TruncateFixupQueue(queued);
            delete aoi;
            return false;
        }
        g.list.push_back(aoi);
        g.marked[aoi->team] = true;
        g.dirty = true;
    }
    return true;
}

// ---- the editor's dialog ----------------------------------------------------------------

PathAreaFields MissionEditor_ReadPathArea(AiPath* path) {
    g.edited = path;
    PathAreaFields f;
    if (path) f.name = path->label;
    if (const AOI* aoi = path ? AOI_FindByOwner(path) : nullptr) {
        f.pathType = "Area";
        f.interest = aoi->interesting ? "Interesting" : "Boring";
        f.side = aoi->inside ? "Inside" : "Outside";
        f.value = aoi->value;
        const bool attack = aoi->force >= 100;
        f.unitType = attack ? "Attack" : "Defend";
        f.force = attack ? aoi->force - 100 : aoi->force;
    } else {
        f.pathType = "Path";
        f.interest = "Boring";
        f.side = "Inside";
        f.value = 0;
        f.unitType = "Defend";
        f.force = 0;
    }
    f.cancelled = true;
    return f;
}

void MissionEditor_ConfirmPathArea(AiPath* path, PathAreaFields& f) {
    f.cancelled = false;
    if (!path) return;
    path->SetName(f.name.c_str());
    AOI* aoi = AOI_FindByOwner(path);
    if (f.pathType != "Area") {
        delete aoi;
        AOI_MarkDirty();
        return;
    }
    const bool interesting = f.interest == "Interesting";
    int32_t value = f.value;
    int32_t force = f.force + (f.unitType == "Attack" ? 100 : 0);
    if (!interesting) {
        value = -1;
        force = 0;
    }
    if (!aoi) {
        aoi = new AOI(path, 2, interesting, f.side == "Inside", value, force);
    } else {
        aoi->interesting = interesting;
        aoi->inside = f.side == "Inside";
        aoi->value = value;
        aoi->force = force;
    }
    AOI_MarkDirty();
}

AiPath* MissionEditor_EditedPath() { return g.edited; }

void AOI_Reset() {
    AOI_Clear();
    g = State{};
}
