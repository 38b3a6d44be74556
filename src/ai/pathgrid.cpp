#include "ai/pathgrid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr uint8_t kClassTable[64] = {
    0,  1,  8, 12, 2,  3,  8, 12, 4,  5,  8, 12, 6,  7,  8, 12,  //
    9,  9,  9, 12, 9,  9,  9, 12, 9,  9,  9, 12, 9,  9,  9, 12,  //
    10, 10, 8, 11, 10, 10, 8, 11, 10, 10, 8, 11, 10, 10, 8, 11,  //
    9,  9,  9, 11, 9,  9,  9, 11, 9,  9,  9, 11, 9,  9,  9, 11,  //
};
// Classes 0-7 and 10 may be entered; the three columns are equal.
constexpr uint8_t kAllowedTable[kPathClassCount][3] = {
    {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1},
    {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0},
};

PathGridTerrain MakeDefaultTerrain() {
    PathGridTerrain t{};
    t.bounds = [](int* xMin, int* xMax, int* zMin, int* zMax) {
        *xMin = TerrainBounds.minX;
        *xMax = TerrainBounds.maxX;
        *zMin = TerrainBounds.minZ;
        *zMax = TerrainBounds.maxZ;
    };
    t.cellsPerMetre = [] { return TerrainCellsPerMetre; };
    t.height = Terrain_GetCellValue;
    t.material = Terrain_GetCellClass;
    t.lava = Terrain_GetLava;
    t.groundHeight = [](float x, float z) { return Terrain_GetHeight(x, z); };
    return t;
}

struct Grid {
    bool built = false;
    int xMin = 0, xMax = 0, zMin = 0, zMax = 0;
    float cpm = 0.1f, mpc = 10.0f;
    std::vector<uint8_t> flags;
    // Counters wide enough never to wrap; the grids are never saved.
    std::vector<int32_t> a, b;
    std::vector<Vector> polygon;
};

Grid g_grid;
PathGridTerrain g_terrain = MakeDefaultTerrain();
PathGridChangeListener g_listener = nullptr;
PathGridFootprintReapply g_reapply = nullptr;

int Width() { return g_grid.xMax - g_grid.xMin; }
int Index(int x, int z) { return (z - g_grid.zMin) * Width() + (x - g_grid.xMin); }
int H(int x, int z) { return g_terrain.height(x, z); }
int CellOf(float metres) { return static_cast<int>(std::floor(metres * g_grid.cpm)); }

void Changed(float x1, float z1, float x2, float z2) {
    if (g_listener) g_listener(std::min(x1, x2), std::min(z1, z2), std::max(x1, x2), std::max(z1, z2));
}

bool EdgesDifferMoreThan(int x, int z, int limit) {
    const int c[4] = {H(x, z), H(x + 1, z), H(x + 1, z + 1), H(x, z + 1)};
    for (int i = 0; i < 4; ++i)
        if (std::abs(c[i] - c[(i + 1) % 4]) > limit) return true;
    return false;
}

// The terrain's own classification of bits 0-1: blocked first, then steep, then slope.
int TerrainBits(int x, int z) {
    if (PathGrid_BlockedTest(x, z)) return kPathBlocked;
    if (PathGrid_SteepTest(x, z)) return kPathSteep;
    if (PathGrid_SlopeTest(x, z)) return kPathSlope;
    return 0;
}

// The cells of a metre rectangle, clamped to the grid, row by row.
template <typename F>
void ForCellsInRect(float x1, float z1, float x2, float z2, F&& visit) {
    if (!g_grid.built || Width() <= 0 || g_grid.zMax <= g_grid.zMin) return;
    if (CellOf(std::max(x1, x2)) < g_grid.xMin || CellOf(std::min(x1, x2)) >= g_grid.xMax ||
        CellOf(std::max(z1, z2)) < g_grid.zMin || CellOf(std::min(z1, z2)) >= g_grid.zMax)
        return;  // nothing of the grid under it
    const int cx1 = std::clamp(CellOf(std::min(x1, x2)), g_grid.xMin, g_grid.xMax - 1);
    const int cx2 = std::clamp(CellOf(std::max(x1, x2)), g_grid.xMin, g_grid.xMax - 1);
    const int cz1 = std::clamp(CellOf(std::min(z1, z2)), g_grid.zMin, g_grid.zMax - 1);
    const int cz2 = std::clamp(CellOf(std::max(z1, z2)), g_grid.zMin, g_grid.zMax - 1);
    for (int z = cz1; z <= cz2; ++z)
        for (int x = cx1; x <= cx2; ++x) visit(Index(x, z), x, z);
    Changed(x1, z1, x2, z2);
}

void Reapply(float x1, float z1, float x2, float z2) {
    if (!g_reapply) return;
    const std::vector<Vector> saved = g_grid.polygon;  // the store may set polygons of its own
    g_reapply(x1, z1, x2, z2);
    g_grid.polygon = saved;
}

bool InsidePolygon(float cx, float cz) {
    const auto& p = g_grid.polygon;
    const float half = 0.5f * g_grid.mpc;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vector& from = p[(i + p.size() - 1) % p.size()];
        const Vector& to = p[i];
        float ux = to.x - from.x, uz = to.z - from.z;
        const float len = std::sqrt(ux * ux + uz * uz);
        if (len <= 0.0f) continue;  // a repeated point is no edge
        ux /= len;
        uz /= len;
        if ((cz - from.z) * (-ux) + (cx - from.x) * uz - half > 0.0f) return false;
    }
    return true;
}

struct CastTest {
    int start;
    int mask;
};

}  // namespace

PathGridTerrain& PathGrid_Terrain() { return g_terrain; }
void PathGrid_ResetTerrain() { g_terrain = MakeDefaultTerrain(); }
void PathGrid_SetChangeListener(PathGridChangeListener listener) { g_listener = listener; }
void PathGrid_SetFootprintReapply(PathGridFootprintReapply reapply) { g_reapply = reapply; }

void PathGrid_Build() {
    PathGrid_Free();
    g_terrain.bounds(&g_grid.xMin, &g_grid.xMax, &g_grid.zMin, &g_grid.zMax);
    if (g_grid.xMax < g_grid.xMin) g_grid.xMax = g_grid.xMin;
    if (g_grid.zMax < g_grid.zMin) g_grid.zMax = g_grid.zMin;
    g_grid.cpm = g_terrain.cellsPerMetre();
    if (!(g_grid.cpm > 0.0f)) g_grid.cpm = 0.1f;
    g_grid.mpc = 1.0f / g_grid.cpm;
    const size_t n = static_cast<size_t>(Width()) * static_cast<size_t>(g_grid.zMax - g_grid.zMin);
    g_grid.flags.assign(n, 0);
    g_grid.a.assign(n, 0);
    g_grid.b.assign(n, 0);
    g_grid.built = true;
    PathGrid_ClassifyAll();
}

void PathGrid_Free() {
    g_grid.flags = {};
    g_grid.a = {};
    g_grid.b = {};
    g_grid.polygon.clear();
    g_grid.built = false;
    g_grid.xMin = g_grid.xMax = g_grid.zMin = g_grid.zMax = 0;
}

bool PathGrid_Exists() { return g_grid.built; }

void PathGrid_ClassifyAll() {
    if (!g_grid.built) return;
    const int lava = g_terrain.lava();
    for (int z = g_grid.zMin; z < g_grid.zMax; ++z)
        for (int x = g_grid.xMin; x < g_grid.xMax; ++x) {
            uint8_t& f = g_grid.flags[Index(x, z)];
            f = static_cast<uint8_t>((f & ~kPathBlocked) | TerrainBits(x, z));
            if (lava >= 0 && g_terrain.material(x, z) == lava) {
                f = static_cast<uint8_t>((f | kPathLava) & ~(kPathHostileA | kPathHostileB));
                continue;
            }
            f &= static_cast<uint8_t>(~kPathLava);
            bool near = false;
            for (int dz = -1; dz <= 1 && !near; ++dz)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dz) && lava >= 0 && g_terrain.material(x + dx, z + dz) == lava) {
                        near = true;
                        break;
                    }
            if (near)
                f |= kPathHostileA | kPathHostileB;
            else
                f &= static_cast<uint8_t>(~(kPathHostileA | kPathHostileB));
        }
}

int PathGrid_XMin() { return g_grid.xMin; }
int PathGrid_XMax() { return g_grid.xMax; }
int PathGrid_ZMin() { return g_grid.zMin; }
int PathGrid_ZMax() { return g_grid.zMax; }
float PathGrid_CellsPerMetre() { return g_grid.cpm; }
float PathGrid_MetresPerCell() { return g_grid.mpc; }

bool PathGrid_InGrid(int x, int z) {
    return g_grid.built && x >= g_grid.xMin && x < g_grid.xMax && z >= g_grid.zMin && z < g_grid.zMax;
}

int PathGrid_GetCell(int x, int z) {
    if (!PathGrid_InGrid(x, z)) return 0;
    const int i = Index(x, z);
    int f = g_grid.flags[i];
    if (g_grid.a[i] > 0) f |= kPathHostileA;
    if (g_grid.b[i] > 0) f |= kPathHostileB;
    return f;
}

int PathGrid_GetCellAt(float x, float z) { return PathGrid_GetCell(CellOf(x), CellOf(z)); }
int PathGrid_RawFlags(int x, int z) { return PathGrid_InGrid(x, z) ? g_grid.flags[Index(x, z)] : 0; }
int PathGrid_CounterA(int x, int z) { return PathGrid_InGrid(x, z) ? g_grid.a[Index(x, z)] : 0; }
int PathGrid_CounterB(int x, int z) { return PathGrid_InGrid(x, z) ? g_grid.b[Index(x, z)] : 0; }

int PathGrid_CellClass(int flags) { return kClassTable[flags & 0x3f]; }

int PathGrid_ClassAllowed(int cls, int column) {
    if (cls < 0 || cls >= kPathClassCount || column < 0 || column > 2) return 0;
    return kAllowedTable[cls][column];
}

int PathGrid_IsBlocked(int x, int z) {
    if (!PathGrid_InGrid(x, z)) return 1;
    const int cls = PathGrid_CellClass(PathGrid_GetCell(x, z));
    return cls == 11 || cls == 12;
}

int PathGrid_IsSpecialMaterial(int x, int z) {
    if (!PathGrid_InGrid(x, z)) return 0;
    return PathGrid_CellClass(PathGrid_GetCell(x, z)) == 11;
}

int PathGrid_CellAllowed(float x, float z, int column) {
    return PathGrid_ClassAllowed(PathGrid_CellClass(PathGrid_GetCellAt(x, z)), column);
}

bool PathGrid_AreaAllowed(float x, float z, int column) {
    const int cx = CellOf(x), cz = CellOf(z);
    for (int dz = -1; dz <= 1; ++dz)
        for (int dx = -1; dx <= 1; ++dx)
            if (!PathGrid_ClassAllowed(PathGrid_CellClass(PathGrid_GetCell(cx + dx, cz + dz)), column)) return false;
    return true;
}

int PathGrid_BlockedTest(int x, int z) { return EdgesDifferMoreThan(x, z, 100); }
int PathGrid_SteepTest(int x, int z) { return EdgesDifferMoreThan(x, z, 70); }

int PathGrid_SlopeTest(int x, int z) {
    if (EdgesDifferMoreThan(x, z, 50)) return 1;
    // A corner fails when one of its three outer vertices stands more than 200 above it.
    struct Corner {
        int cx, cz;
        int o[3][2];
    };
    const Corner corners[4] = {
        {x, z, {{x - 1, z - 1}, {x - 1, z}, {x, z - 1}}},
        {x, z + 1, {{x - 1, z + 1}, {x - 1, z + 2}, {x, z + 2}}},
        {x + 1, z, {{x + 2, z - 1}, {x + 2, z}, {x + 1, z - 1}}},
        {x + 1, z + 1, {{x + 2, z + 1}, {x + 2, z + 2}, {x + 1, z + 2}}},
    };
    for (const Corner& c : corners) {
        const int h = H(c.cx, c.cz);
        for (const auto& o : c.o)
            if (H(o[0], o[1]) - h > 200) return 1;
    }
    return 0;
}

void PathGrid_MarkCircle(float x, float z, float radius, int team, bool add) {
    if (team == 0 || !g_grid.built) return;
    const TeamRecord* record = TeamRecord::Get(team);
    const bool a = record && record->IsEnemy(1);
    const bool b = record && record->IsEnemy(2);
    const float cx = x * g_grid.cpm, cz = z * g_grid.cpm, r = radius * g_grid.cpm;
    const int delta = add ? 1 : -1;
    ForCellsInRect(x - radius, z - radius, x + radius, z + radius, [&](int i, int gx, int gz) {
        const float ox = gx + 0.5f - cx, oz = gz + 0.5f - cz;
        if (std::sqrt(ox * ox + oz * oz) >= r) return;
        if (a) g_grid.a[i] += delta;
        if (b) g_grid.b[i] += delta;
    });
}

void PathGrid_MarkRect(float x1, float z1, float x2, float z2, bool add) {
    ForCellsInRect(x1, z1, x2, z2, [&](int i, int x, int z) {
        if (!add)
            g_grid.flags[i] &= static_cast<uint8_t>(~kPathArea);
        else if (!PathGrid_BlockedTest(x, z))
            g_grid.flags[i] |= kPathArea;
    });
    if (!add) Reapply(x1, z1, x2, z2);
}

void PathGrid_MarkArea(float x1, float z1, float x2, float z2, bool add) {
    ForCellsInRect(x1, z1, x2, z2, [&](int i, int x, int z) {
        uint8_t& f = g_grid.flags[i];
        if (add) {
            if (InsidePolygon((x + 0.5f) * g_grid.mpc, (z + 0.5f) * g_grid.mpc)) f |= kPathArea | kPathBlocked;
            return;
        }
        f = static_cast<uint8_t>((f & ~(kPathArea | kPathBlocked)) | TerrainBits(x, z));
    });
    if (!add) Reapply(x1, z1, x2, z2);
}

void PathGrid_SetAreaPolygon(const Vector* points, int count) {
    g_grid.polygon.assign(points, points + std::max(0, points ? count : 0));
}

bool PathGrid_LineCast(float x, float z, float dx, float dz, PathGridCellTest test, void* context, float* fraction) {
    if (!g_grid.built || !test || !fraction || Width() <= 0 || g_grid.zMax <= g_grid.zMin) return false;
    const double px = static_cast<double>(x) * g_grid.cpm, pz = static_cast<double>(z) * g_grid.cpm;
    const double vx = static_cast<double>(dx) * g_grid.cpm, vz = static_cast<double>(dz) * g_grid.cpm;
    // Clip the parameter range to the grid's box.
    double t0 = 0.0, t1 = std::max(0.0, static_cast<double>(*fraction));
    auto clip = [&](double p, double v, double lo, double hi) {
        if (v == 0.0) return p >= lo && p <= hi;
        double a = (lo - p) / v, b = (hi - p) / v;
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        return t0 <= t1;
    };
    if (!clip(px, vx, g_grid.xMin, g_grid.xMax) || !clip(pz, vz, g_grid.zMin, g_grid.zMax)) return false;

    int cx = std::clamp(static_cast<int>(std::floor(px + vx * t0)), g_grid.xMin, g_grid.xMax - 1);
    int cz = std::clamp(static_cast<int>(std::floor(pz + vz * t0)), g_grid.zMin, g_grid.zMax - 1);
    const int sx = vx > 0 ? 1 : -1, sz = vz > 0 ? 1 : -1;
    auto nextCross = [](int c, int s, double p, double v) {
        if (v == 0.0) return 1e300;
        return ((s > 0 ? c + 1 : c) - p) / v;
    };
    double tx = nextCross(cx, sx, px, vx), tz = nextCross(cz, sz, pz, vz);
    int crossed = t0 > 0.0 ? 2 : -1;  // 0: an x line, 1: a z line, 2: the grid's edge, -1: none
    for (;;) {
        if (test(cx, cz, context)) {
            double u = 1e30;
            if (crossed == 0)
                u = (cx + (sx > 0 ? 0.1 : 0.9) - px) / vx;
            else if (crossed == 1)
                u = (cz + (sz > 0 ? 0.1 : 0.9) - pz) / vz;
            else if (crossed == 2)
                u = t0;
            if (u <= 0.0) u = 1e30;
            if (u < *fraction) *fraction = static_cast<float>(u);
            return true;
        }
        if (tx <= tz) {
            if (tx > t1) return false;
            cx += sx;
            tx += 1.0 / std::fabs(vx);
            crossed = 0;
        } else {
            if (tz > t1) return false;
            cz += sz;
            tz += 1.0 / std::fabs(vz);
            crossed = 1;
        }
        if (!PathGrid_InGrid(cx, cz)) return false;
    }
}

bool PathGrid_SegmentBlocked(float x, float z, float dx, float dz, float* fraction, int mask) {
    CastTest t{PathGrid_GetCellAt(x, z), mask};
    return PathGrid_LineCast(
        x, z, dx, dz,
        [](int cx, int cz, void* c) {
            const auto* t = static_cast<const CastTest*>(c);
            return ((PathGrid_GetCell(cx, cz) ^ t->start) & t->mask) != 0 ? 1 : 0;
        },
        &t, fraction);
}

bool PathGrid_WalkToChange(float x1, float z1, float x0, float z0, int mask) {
    // Each cast moves into a new cell, so the walk ends within the cells on the line.
    for (int guard = 0; guard < 1 << 20; ++guard) {
        if (PathGrid_GetCellAt(x0, z0) & ~mask) return false;
        float fraction = 1.0f;
        const float dx = x1 - x0, dz = z1 - z0;
        if (!PathGrid_SegmentBlocked(x0, z0, dx, dz, &fraction)) return true;
        if (!(fraction > 0.0f) || fraction >= 1.0f) return !(PathGrid_GetCellAt(x1, z1) & ~mask);
        x0 += dx * fraction;
        z0 += dz * fraction;
    }
    return false;
}

int PathMap_IsImpassableAt(float x, float z) {
    const int cls = PathGrid_CellClass(PathGrid_GetCellAt(x, z));
    return cls == 11 || cls == 12;
}

bool PathMap_IsPathClear(float x1, float z1, float x0, float z0, int side) {
    if (PathMap_IsImpassableAt(x0, z0)) return false;
    const int mask = side == 1 ? 0xF7 : side == 2 ? 0xFB : 0xFF;
    float fraction = 1.0f;
    return !PathGrid_SegmentBlocked(x0, z0, x1 - x0, z1 - z0, &fraction, mask);
}

float AI_GroundClear(float x, float z, float dx, float dz, float f) {
    float fraction = f;
    PathGrid_LineCast(
        x, z, dx, dz, [](int cx, int cz, void*) { return PathGrid_IsBlocked(cx, cz) ? 0 : 1; }, nullptr,
        &fraction);
    return fraction;
}

float AI_GroundBlocked(float x, float z, float dx, float dz, float f) {
    float fraction = f;
    PathGrid_LineCast(
        x, z, dx, dz, [](int cx, int cz, void*) { return PathGrid_IsBlocked(cx, cz); }, nullptr, &fraction);
    return fraction;
}

void PathGrid_ResetForTests() {
    PathGrid_Free();
    PathGrid_ResetTerrain();
    g_listener = nullptr;
    g_reapply = nullptr;
}
