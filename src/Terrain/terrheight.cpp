#include "Terrain/terrheight.h"

#include <cmath>
#include <utility>

#include "Terrain/terramap.h"

namespace {

// The raw height of a vertex whose indices are already inside the block tables' span.
inline int Raw(int x, int z) {
    const int xs = x - kCellMin, zs = z - kCellMin;
    return HeightBlockTable[(zs >> 7) * kBlockTableSize + (xs >> 7)][(zs & 127) * kZoneCells + (xs & 127)] & kHeightMask;
}

// floor(v) and the fraction above it, held so that the cell's far vertex line stays inside the
// tables: positions past the edge (and NaN) read the edge cell.
inline void CellOf(double v, int& cell, double& fraction) {
    if (!(v >= kCellMin)) v = kCellMin;
    if (v > kCellMax) v = kCellMax;
    cell = static_cast<int>(std::floor(v));
    if (cell > kCellMax - 1) cell = kCellMax - 1;
    fraction = v - cell;
}

// Round to nearest, ties to even, held inside the tables' span.
inline int RoundCell(double v) {
    if (!(v >= kCellMin)) return kCellMin;
    if (v > kCellMax) return kCellMax;
    return static_cast<int>(std::nearbyint(v));
}

struct CellCorners {
    int i, k;
    double fx, fz;
    bool triangleB;  // fz > fx
    double h00, h10, h01, h11;
};

inline CellCorners Corners(double x, double z) {
    CellCorners c;
    CellOf(0.1 * x, c.i, c.fx);
    CellOf(0.1 * z, c.k, c.fz);
    c.h00 = Raw(c.i, c.k);
    c.h11 = Raw(c.i + 1, c.k + 1);
    c.triangleB = c.fz > c.fx;
    if (c.triangleB) {
        c.h01 = Raw(c.i, c.k + 1);
        c.h10 = 0.0;
    } else {
        c.h10 = Raw(c.i + 1, c.k);
        c.h01 = 0.0;
    }
    return c;
}

inline float HeightOf(const CellCorners& c) {
    double h = c.triangleB ? c.h00 - c.fx * (c.h01 - c.h11) - c.fz * (c.h00 - c.h01)
                           : c.h00 - c.fx * (c.h00 - c.h10) - c.fz * (c.h10 - c.h11);
    return static_cast<float>(h * 0.1);
}

inline Vector NormalOf(const CellCorners& c) {
    const float s = 0.01f;
    Vector n = c.triangleB ? Vector{s * float(c.h01 - c.h11), 1.0f, s * float(c.h00 - c.h01)}
                           : Vector{s * float(c.h00 - c.h10), 1.0f, s * float(c.h10 - c.h11)};
    return Vec3_Normalize(n);
}

// The parameter at which the segment enters cell i across its x lines (and the same in z),
// with the direction's own sign; 1e30 when it never does.
double CrossParam(int i, double origin, double direction) {
    if (direction == 0.0) return 1e30;
    const double edge = i > origin ? i + 0.1 : i + 0.9;
    const double u = (edge - origin) / direction;
    return u < 0.0 ? 1e30 : u;
}

// Walks the cells along the segment origin + u d, u in [0, t0] (cell units), clipped to
// TerrainBounds, calling visit(x, z, side) for each: side is false for the cell reached by a
// major-axis step and true for the cell reached by a minor-axis step. Stops with 1 at the first
// visit that reports a hit.
template <typename Visit>
int WalkCells(double ox, double oz, double dx, double dz, double t0, Visit&& visit) {
    if (!(t0 >= 0.0)) return 0;
    // Clip the real segment to the cells minX..maxX, minZ..maxZ (the continuous box up to the
    // far edge of the last cells), so that the walk starts from where the segment enters.
    const double lo[2] = {double(TerrainBounds.minX), double(TerrainBounds.minZ)};
    const double hi[2] = {double(TerrainBounds.maxX) + 1.0, double(TerrainBounds.maxZ) + 1.0};
    const double o[2] = {ox, oz}, d[2] = {dx, dz};
    double enter = 0.0, exit = t0;
    for (int axis = 0; axis < 2; ++axis) {
        if (d[axis] == 0.0) {
            if (!(o[axis] >= lo[axis] && o[axis] <= hi[axis])) return 0;
            continue;
        }
        double a = (lo[axis] - o[axis]) / d[axis], b = (hi[axis] - o[axis]) / d[axis];
        if (a > b) std::swap(a, b);
        if (a > enter) enter = a;
        if (b < exit) exit = b;
    }
    if (!(enter <= exit)) return 0;
    auto at = [&](int axis, double u) { return d[axis] == 0.0 ? o[axis] : o[axis] + u * d[axis]; };
    auto cell = [&](double v, int low, int high) {
        double f = std::floor(v);
        return f < low ? low : f > high ? high : static_cast<int>(f);
    };
    const double sxw = at(0, enter), szw = at(1, enter);
    // A segment that only touches the far edge of the last cells stays outside.
    if (enter == exit && (sxw >= hi[0] || szw >= hi[1])) return 0;
    int x0 = cell(sxw, TerrainBounds.minX, TerrainBounds.maxX);
    int z0 = cell(szw, TerrainBounds.minZ, TerrainBounds.maxZ);
    const int x1 = cell(at(0, exit), TerrainBounds.minX, TerrainBounds.maxX);
    const int z1 = cell(at(1, exit), TerrainBounds.minZ, TerrainBounds.maxZ);
    double e = sxw - 0.5 - x0, f = szw - 0.5 - z0;

    // Stepping uses the direction's size; the visits keep its sign.
    int nx = x1 - x0, nz = z1 - z0, sx = 1, sz = 1;
    double adx = dx, adz = dz;
    if (dx < 0) sx = -1, nx = -nx, adx = -dx, e = -e;
    if (dz < 0) sz = -1, nz = -nz, adz = -dz, f = -f;

    if (adz < adx) {
        double err = (0.5 - e) * adz - (0.5 - f) * adx;
        while (nx >= 0) {
            --nx;
            if (visit(x0, z0, false)) return 1;
            if (err > 0) {
                z0 += sz;
                err -= adx;
                if (visit(x0, z0, true)) return 1;
            }
            x0 += sx;
            err += adz;
        }
        return 0;
    }
    double err = (0.5 - f) * adx - (0.5 - e) * adz;
    while (nz >= 0) {
        --nz;
        if (visit(x0, z0, false)) return 1;
        if (err > 0) {
            x0 += sx;
            err -= adz;
            if (visit(x0, z0, true)) return 1;
        }
        z0 += sz;
        err += adx;
    }
    return 0;
}

}  // namespace

int Terrain_GetHeightRaw(int z, int x) { return *Terrain_GetCell(x, z) & kHeightMask; }

float Terrain_GetHeight(double x, double z) { return HeightOf(Corners(x, z)); }

Vector& Terrain_GetNormal(Vector& out, double x, double z) {
    out = NormalOf(Corners(x, z));
    return out;
}

void Terrain_GetHeightNormal(double x, double z, float* height, Vector* normal) {
    const CellCorners c = Corners(x, z);
    if (normal) *normal = NormalOf(c);
    if (height) *height = HeightOf(c);
}

int Terrain_InBounds(double x, double z) {
    const double i = std::nearbyint(0.1 * x), k = std::nearbyint(0.1 * z);
    if (!(i >= kCellMin + 1 && i <= kCellMax - 1 && k >= kCellMin + 1 && k <= kCellMax - 1)) return 0;
    return (i == 0.0 && k == 0.0) ? 0 : 1;
}

int Terrain_ClipCode(int x, int z) {
    int code = 0;
    if (x < TerrainBounds.minX) code |= 8;
    if (x > TerrainBounds.maxX) code |= 4;
    if (z < TerrainBounds.minZ) code |= 2;
    if (z > TerrainBounds.maxZ) code |= 1;
    return code;
}

int Terrain_RayCastCell(int i, int k, double ox, double oy, double oz, double dx, double dy, double dz, float* t,
                        Vector* normal) {
    i = i < kCellMin ? kCellMin : i > kCellMax - 1 ? kCellMax - 1 : i;
    k = k < kCellMin ? kCellMin : k > kCellMax - 1 ? kCellMax - 1 : k;
    const double h00 = Raw(i, k), h10 = Raw(i + 1, k), h01 = Raw(i, k + 1), h11 = Raw(i + 1, k + 1);
    const double lx = ox - i, lz = oz - k;
    const double into = -1.0 / 8388608.0;  // -2^-23: the ray must go into the face
    const double below = 100.0 * (oy - 0.01 * h00);

    double d = dz * (h10 - h11) + dx * (h00 - h10) + 100.0 * dy;
    if (d < into) {
        const double p = below + (h10 - h11) * lz + (h00 - h10) * lx;
        if (p > -0.1) {
            const double u = -p / d;
            const double px = lx + dx * u, pz = lz + dz * u;
            if (u < *t && pz <= px && pz >= 0.0 && px <= 1.0) {
                *t = static_cast<float>(u);
                if (normal) *normal = Vec3_Normalize(Vector{float(h00 - h10), 100.0f, float(h10 - h11)});
                return 1;
            }
        }
    }
    d = dz * (h00 - h01) + dx * (h01 - h11) + 100.0 * dy;
    if (d < into) {
        const double p = below + (h00 - h01) * lz + (h01 - h11) * lx;
        if (p > -0.1) {
            const double u = -p / d;
            const double px = lx + dx * u, pz = lz + dz * u;
            if (u < *t && px <= pz && px >= 0.0 && pz <= 1.0) {
                *t = static_cast<float>(u);
                if (normal) *normal = Vec3_Normalize(Vector{float(h01 - h11), 100.0f, float(h00 - h01)});
                return 1;
            }
        }
    }
    return 0;
}

int Terrain_RayCast(double ox, double oy, double oz, float dx, float dy, float dz, float* t, Vector* normal) {
    if (!t) return 0;
    const double cx = ox * 0.1, cy = oy * 0.1, cz = oz * 0.1;
    const double ddx = dx * 0.1, ddy = dy * 0.1, ddz = dz * 0.1;
    return WalkCells(cx, cz, ddx, ddz, *t, [&](int x, int z, bool) {
        return Terrain_RayCastCell(x, z, cx, cy, cz, ddx, ddy, ddz, t, normal) != 0;
    });
}

int Terrain_LineCast(double ox, double oy, double oz, float dx, float dy, float dz, TerrainCellTest test, float* t) {
    (void)oy, (void)dy;
    if (!t || !test) return 0;
    const double cx = ox * 0.1, cz = oz * 0.1;
    const double ddx = dx * 0.1, ddz = dz * 0.1;
    const bool xMajor = std::fabs(ddz) < std::fabs(ddx);
    return WalkCells(cx, cz, ddx, ddz, *t, [&](int x, int z, bool side) {
        if (!test(x, z)) return false;
        const bool acrossX = xMajor != side;  // the major step crosses x lines in an x-major walk
        const double u = acrossX ? CrossParam(x, cx, ddx) : CrossParam(z, cz, ddz);
        if (u < *t) *t = static_cast<float>(u);
        return true;
    });
}

int Terrain_GetCellValue(int x, int z) { return *Terrain_GetCell(x, z) & kHeightMask; }

float Terrain_GetHeightCells(int x, int z) { return static_cast<float>(Terrain_GetCellValue(x, z) * 0.01); }

int Terrain_GetCellClass(int x, int z) { return *Terrain_GetMaterialWord(x, z) >> 12; }

int Terrain_GetTextureType(double x, double z) {
    return *Terrain_GetMaterialWord(RoundCell(0.1 * x), RoundCell(0.1 * z)) >> 12;
}

uint8_t Terrain_GetLight(double x, double z) { return *Terrain_GetLightByte(RoundCell(0.1 * x), RoundCell(0.1 * z)); }

uint8_t Terrain_GetCellLight(int x, int z) { return *Terrain_GetLightByte(x, z); }

namespace {
void Patch(Vector out[9], int i0, int k0) {
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const int i = i0 + column, k = k0 + row;
            out[row * 3 + column] = Vector{10.0f * i, static_cast<float>(0.1 * Terrain_GetCellValue(i, k)), 10.0f * k};
        }
}
}  // namespace

void Terrain_GetVertexPatch(Vector out[9], double x, double z) {
    int even[2];
    Terrain_GetEvenCell(even, x, z);
    Patch(out, even[0], even[1]);
}

void Terrain_GetVertexPatchAround(Vector out[9], double x, double z) {
    Patch(out, RoundCell(0.1 * x + 0.5) - 1, RoundCell(0.1 * z + 0.5) - 1);
}

void Terrain_GetEvenCell(int out[2], double x, double z) {
    out[0] = RoundCell(0.1 * x) & ~1;
    out[1] = RoundCell(0.1 * z) & ~1;
}
