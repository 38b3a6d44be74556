// The terrain light map: one light byte per vertex from the ground's slope against the sun,
// darkened where the ground shades itself; the flatness flags of the height words; scorch marks.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/debug.h"
#include "core/seams/render.h"

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
    // PENDING(2.133) the ".LGT" light-map cache: the map is computed at every load.
    float lowest = 4096.0f, highest = 0.0f;  // cell units
    ForEachPresentVertex([&](int x, int z) {
        const float h = (*Terrain_GetCell(x, z) & kHeightMask) * 0.01f;
        if (h < lowest) lowest = h;
        if (h > highest) highest = h;
        Terrain_ComputeCellLight(z, x);
    });
    if (blocks == 0) lowest = highest = 0.0f;
    TerrainBounds.lowest = lowest * 10.0f;
    TerrainBounds.highest = highest * 10.0f;
    Terrain_ComputeShadows();
    for (uint32_t i = 0; i < TerrainLightMapSize; ++i)
        if (TerrainLightMap[i] < kMinLightByte) TerrainLightMap[i] = kMinLightByte;
}

int Terrain_Scorch(float x, float z) {
    // Only vertices of present blocks: outside them one default block serves the whole border.
    const int i = static_cast<int>(0.1f * x), k = static_cast<int>(0.1f * z);
    auto mark = [](int cx, int cz, int shift) {
        if (cx < TerrainBounds.minX || cx >= TerrainBounds.maxX || cz < TerrainBounds.minZ || cz >= TerrainBounds.maxZ)
            return;
        uint8_t* byte = Terrain_GetLightByte(cx, cz);
        *byte = shift >= 8 ? 0 : static_cast<uint8_t>(*byte >> shift);
    };
    for (int dz = -1; dz <= 1; ++dz)
        for (int dx = -1; dx <= 1; ++dx) mark(i + dx, k + dz, dx == 0 && dz == 0 ? 8 : (dx && dz ? 1 : 2));
    return 1;
}
