// The terrain light map: one light byte per vertex from the ground's slope against the sun,
// darkened where the ground shades itself; the flatness flags of the height words; scorch marks.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "Objkr/entitysvc.h"
#include "Objkr/rendersettings.h"
#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/debug.h"
#include "core/seams/render.h"
#include "core/zix.h"
#include "platform/paths.h"

namespace {

struct V3 {
    double x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Unit(V3 a) {
    const double length = std::sqrt(Dot(a, a));
    return length > 0.0 ? V3{a.x / length, a.y / length, a.z / length} : V3{0.0, 0.0, 0.0};
}

// Height of a vertex in cell units.
double Height(int x, int z) { return (*Terrain_GetCell(x, z) & kHeightMask) * 0.01; }
V3 Point(int x, int z) { return {double(x), Height(x, z), double(z)}; }

V3 Sun() {
    float sun[3];
    Seam_Render().sunDirection(sun);
    return {sun[0], sun[1], sun[2]};
}

// Calls fn(x, z) for every vertex of every present block, block by block.
template <typename Fn>
void ForEachPresentVertex(Fn fn, void (*afterBlock)() = nullptr) {
    for (int entry = 0; entry < kBlockTableSize * kBlockTableSize; ++entry) {
        if (HeightBlockTable[entry] == HeightBlockTable[0]) continue;  // a default block
        const int x0 = (entry % kBlockTableSize) * kZoneCells + kCellMin;
        const int z0 = (entry / kBlockTableSize) * kZoneCells + kCellMin;
        for (int z = z0; z < z0 + kZoneCells; ++z)
            for (int x = x0; x < x0 + kZoneCells; ++x) fn(x, z);
        if (afterBlock) afterBlock();
    }
}

// Whether the vertex lies in a present block. Every vertex outside them shares the one default
// block, so a change there would show all around the map.
bool IsPresentVertex(int x, int z) {
    if (x < kCellMin || x > kCellMax || z < kCellMin || z > kCellMax) return false;
    const int xs = x - kCellMin, zs = z - kCellMin;
    return LightBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)] != 0;
}

struct ShadowWalk {
    int octant;
    double tangent, ratio;
};

bool IsCellShadowed(const ShadowWalk& walk, int x, int z) {
    if (walk.octant != 0) return false;
    const double h = Height(x, z);
    const double reach = std::floor((41.0 - h) * walk.tangent + x);
    const int last = reach < TerrainBounds.maxX ? static_cast<int>(reach) : TerrainBounds.maxX;
    for (int l = 1; x + l <= last; ++l) {
        const int m = static_cast<int>(std::floor(l * walk.ratio));
        const int row = z + m;
        if (row > TerrainBounds.maxZ) return false;
        const double d = std::fmax(Height(x + l, row), Height(x + l, row + 1)) - h;
        if (d > 0.0 && walk.tangent * std::sqrt(double(m) * m + double(l) * l) < d) return true;
    }
    return false;
}

}  // namespace

void Terrain_ComputeCellLight(int z, int x) {
    const V3 centre = Point(x, z);
    const V3 ring[6] = {Point(x - 1, z - 1), Point(x, z - 1), Point(x + 1, z),
                        Point(x + 1, z + 1), Point(x, z + 1), Point(x - 1, z)};
    V3 sum{0.0, 0.0, 0.0};
    for (int i = 0; i < 6; ++i) {
        const V3 n = Unit(Cross(Sub(ring[i], centre), Sub(ring[(i + 1) % 6], centre)));
        sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
    }
    V3 normal = Unit(sum);
    if (normal.y < 0.0) normal = {-normal.x, -normal.y, -normal.z};
    const double c = Dot(normal, Sun());
    uint8_t value;
    if (c < 1.0 / 256.0)
        value = 0;
    else if (c > 255.0 / 256.0)
        value = 255;
    else
        value = static_cast<uint8_t>(c * 256.0);
    *Terrain_GetLightByte(x, z) = value;
}

void Terrain_ComputeCellFlags(int x, int z) {
    auto normal = [](V3 a, V3 b, V3 c) { return Unit(Cross(Sub(b, a), Sub(c, a))); };
    auto pair = [&](int cx, V3* na, V3* nb) {
        *na = normal(Point(cx, z), Point(cx + 1, z), Point(cx + 1, z + 1));
        *nb = normal(Point(cx, z), Point(cx + 1, z + 1), Point(cx, z + 1));
    };
    V3 na, nb;
    pair(x, &na, &nb);
    uint16_t flags = 0;
    if (Dot(na, nb) > 0.995) {
        flags = 0x8000;
        if ((x & 1) == 0) {
            V3 nc, nd;
            pair(x + 1, &nc, &nd);
            if (Dot(nd, nc) >= 1.0 && Dot(nc, na) >= 1.0 && Dot(nd, na) >= 1.0) flags = 0xC000;
        }
    }
    uint16_t* word = Terrain_GetCell(x, z);
    *word = static_cast<uint16_t>((*word & 0x3FFF) | flags);
}

void Terrain_ComputeAllFlags() { ForEachPresentVertex(Terrain_ComputeCellFlags); }

void Terrain_ComputeShadows() {
    const V3 sun = Sun();
    if (sun.y > 0.999) return;
    double azimuth = std::atan2(sun.z, sun.x);
    if (azimuth < 0.0) azimuth += 2.0 * 3.14159265358979323846;
    ShadowWalk walk;
    walk.octant = static_cast<int>(azimuth * 4.0 / 3.14159265358979323846);
    const double horizontal = std::sqrt(sun.x * sun.x + sun.z * sun.z);
    walk.tangent = horizontal > 0.0 ? sun.y / horizontal : 0.0;
    walk.ratio = std::fabs(sun.x) >= 0.999 ? sun.z / sun.x : 0.0;
    Debug_Trace("Building shadows");
    ForEachPresentVertex(
        [&](int x, int z) {
            if (IsCellShadowed(walk, x, z)) *Terrain_GetLightByte(x, z) = 0;
        },
        [] { Debug_Trace("."); });
    Debug_Trace("\n");
}

namespace {

// The light file's name: the terrain name with ".LGT" for its extension.
std::string LightFileName() {
    std::string name = Terrain_GetFileName();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name + ".LGT";
}

// A light map shipped with the map (through the file index), or the one an earlier load left
// in the profile's "Addon" folder; either only when it is exactly the map's size.
bool ReadCachedLightMap(const std::string& name, const std::string& cachePath) {
    uint32_t size = 0;
    if (void* shipped = Zix_LoadFile(name.c_str(), &size)) {
        const bool fits = size == TerrainLightMapSize;
        if (fits) std::memcpy(TerrainLightMap, shipped, TerrainLightMapSize);
        std::free(shipped);
        if (fits) return true;
    }
    FILE* file = Plat_OpenFile(cachePath, "rb");
    if (!file) return false;
    bool fits = std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == long(TerrainLightMapSize) &&
                std::fseek(file, 0, SEEK_SET) == 0 &&
                std::fread(TerrainLightMap, 1, TerrainLightMapSize, file) == TerrainLightMapSize;
    std::fclose(file);
    return fits;
}

// The computed map goes to the cache, truncated to its size. The cache only saves time: a
// failure is logged and the game goes on with the computed map.
void WriteLightCache(const std::string& cachePath) {
    Plat_CreateDirectories(Plat_ProfilePath("Addon"));
    FILE* file = Plat_OpenFile(cachePath, "wb");
    bool ok = file && std::fwrite(TerrainLightMap, 1, TerrainLightMapSize, file) == TerrainLightMapSize;
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
        char text[600];
        std::snprintf(text, sizeof text, "Light map cache %s could not be written\n", cachePath.c_str());
        Debug_Trace("%s", text);
        Debug_AppendLog(text);
    }
}

}  // namespace

void Terrain_LoadLightMap() {
    std::free(TerrainLightMap);
    TerrainLightMap = nullptr;
    TerrainLightMapSize = 0;
    std::memset(LightBlockTable, 0, sizeof LightBlockTable);
    int blocks = 0;
    for (int entry = 0; entry < kBlockTableSize * kBlockTableSize; ++entry)
        if (HeightBlockTable[entry] != HeightBlockTable[0]) LightBlockTable[entry] = static_cast<uint8_t>(++blocks);
    TerrainLightMapSize = uint32_t(blocks + 1) * kLightBlockBytes;
    TerrainLightMap = static_cast<uint8_t*>(std::calloc(TerrainLightMapSize, 1));
    if (!TerrainLightMap) {
        TerrainLightMapSize = 0;
        Error_Fatal("Memory allocation failed");
        return;
    }
    const std::string name = LightFileName();
    const std::string cachePath = Plat_ProfilePath("Addon/" + name);
    const bool cached = ReadCachedLightMap(name, cachePath);
    float lowest = 4096.0f, highest = 0.0f;  // cell units
    ForEachPresentVertex([&](int x, int z) {
        const float h = (*Terrain_GetCell(x, z) & kHeightMask) * 0.01f;
        if (h < lowest) lowest = h;
        if (h > highest) highest = h;
        if (!cached) Terrain_ComputeCellLight(z, x);
    });
    if (blocks == 0) lowest = highest = 0.0f;
    TerrainBounds.lowest = lowest * 10.0f;
    TerrainBounds.highest = highest * 10.0f;
    if (cached) return;
    Terrain_ComputeShadows();
    for (uint32_t i = 0; i < TerrainLightMapSize; ++i)
        if (TerrainLightMap[i] < kMinLightByte) TerrainLightMap[i] = kMinLightByte;
    WriteLightCache(cachePath);
}

void Terrain_RebuildRect(int x0, int z0, int x1, int z1) {
    for (int x = x0; x <= x1; ++x)
        for (int z = z0; z <= z1; ++z) {
            if (!IsPresentVertex(x, z)) continue;
            Terrain_ComputeCellLight(z, x);
            Terrain_ComputeCellFlags(x, z);
        }
    TerrainModified = 1;
}

void Terrain_ClearCellBits(int x0, int z0, int x1, int z1) {
    for (int x = x0; x <= x1; ++x)
        for (int z = z0; z <= z1; ++z) {
            if (!IsPresentVertex(x, z)) continue;
            uint16_t* word = Terrain_GetCell(x, z);
            *word = static_cast<uint16_t>(*word & 0x3FFF);
        }
}

int Terrain_Scorch(float x, float z) {
    // Only vertices of present blocks: outside them one default block serves the whole border.
    if (!(std::fabs(x) < 1.0e6f && std::fabs(z) < 1.0e6f)) return 1;  // far off every block
    const int i = static_cast<int>(0.1f * x), k = static_cast<int>(0.1f * z);
    auto mark = [](int cx, int cz, int shift) {
        if (!IsPresentVertex(cx, cz)) return;
        uint8_t* byte = Terrain_GetLightByte(cx, cz);
        *byte = shift >= 8 ? 0 : static_cast<uint8_t>(*byte >> shift);
    };
    for (int dz = -1; dz <= 1; ++dz)
        for (int dx = -1; dx <= 1; ++dx) mark(i + dx, k + dz, dx == 0 && dz == 0 ? 8 : (dx && dz ? 1 : 2));
    return 1;
}

void Terrain_DarkenUnderBox(const Vector& boxMin, const Vector& boxMax, const Vector& position) {
    const V3 sun = Sun();
    if (!Render_Settings().shadowPattern || !(sun.y >= 0.001 && sun.y <= 0.999) || !TerrainLightMap) return;
    const double horizontal = std::sqrt(sun.x * sun.x + sun.z * sun.z);
    const double reach = std::fabs(double(boxMin.y) + boxMax.y) * horizontal / sun.y;
    const double lo[3] = {boxMin.x, boxMin.y, boxMin.z}, hi[3] = {boxMax.x, boxMax.y, boxMax.z};
    auto cell = [](double metres, int low, int high) {
        const double c = metres * 0.1;
        return c < low ? low : c > high ? high : static_cast<int>(c);
    };
    const int x0 = cell(std::floor(lo[0] - reach) - 10.0, TerrainBounds.minX, TerrainBounds.maxX);
    const int x1 = cell(std::ceil(hi[0] + reach) + 10.0, TerrainBounds.minX, TerrainBounds.maxX);
    const int z0 = cell(std::floor(lo[2] - reach) - 10.0, TerrainBounds.minZ, TerrainBounds.maxZ);
    const int z1 = cell(std::ceil(hi[2] + reach) + 10.0, TerrainBounds.minZ, TerrainBounds.maxZ);
    const double sunDir[3] = {sun.x, sun.y, sun.z};
    const float luma = Terrain_Environment().terrainShadowLuma;
    for (int k = z0; k <= z1; ++k)
        for (int i = x0; i <= x1; ++i) {
            if (!IsPresentVertex(i, k)) continue;
            const double v[3] = {10.0 * i, (*Terrain_GetCell(i, k) & kHeightMask) * 0.1, 10.0 * k};
            // Only the side away from the sun.
            if ((v[0] - position.x) * sun.x + (v[1] - position.y) * sun.y + (v[2] - position.z) * sun.z > 0.0)
                continue;
            // In the box swept away from the sun: the ray from the vertex towards the sun meets the box.
            double enter = 0.0, leave = 1.0e30;
            bool inside = true;
            for (int a = 0; a < 3 && inside; ++a) {
                if (std::fabs(sunDir[a]) < 1.0e-12) {
                    inside = v[a] >= lo[a] && v[a] <= hi[a];
                    continue;
                }
                double t0 = (lo[a] - v[a]) / sunDir[a], t1 = (hi[a] - v[a]) / sunDir[a];
                if (t0 > t1) std::swap(t0, t1);
                enter = std::fmax(enter, t0);
                leave = std::fmin(leave, t1);
                inside = enter <= leave;
            }
            if (!inside) continue;
            uint8_t* byte = Terrain_GetLightByte(i, k);
            *byte = static_cast<uint8_t>(*byte * luma);
        }
}

void Terrain_DarkenUnderObject(Entity* entity) {
    if (!entity) return;
    Vector min, max;
    Entity_ComputeExtents(entity, min, max);
    if (min.x > max.x) return;  // no geometry, no shadow
    Vector worldMin{1.0e30f, 1.0e30f, 1.0e30f}, worldMax{-1.0e30f, -1.0e30f, -1.0e30f};
    for (int corner = 0; corner < 8; ++corner) {
        const Vector p{corner & 1 ? max.x : min.x, corner & 2 ? max.y : min.y, corner & 4 ? max.z : min.z};
        const DVector w = Matrix_TransformPoint(p, entity->local);
        worldMin = Vector{std::fmin(worldMin.x, float(w.x)), std::fmin(worldMin.y, float(w.y)),
                          std::fmin(worldMin.z, float(w.z))};
        worldMax = Vector{std::fmax(worldMax.x, float(w.x)), std::fmax(worldMax.y, float(w.y)),
                          std::fmax(worldMax.z, float(w.z))};
    }
    const DVector& at = entity->local.posit;
    Terrain_DarkenUnderBox(worldMin, worldMax, Vector{float(at.x), float(at.y), float(at.z)});
}
