#include "render/groundsprite.h"

#include <cmath>
#include <cstring>

#include "Terrain/terramap.h"
#include "core/mathlib.h"
#include "render/clip.h"
#include "render/d3dpolygon.h"
#include "render/graphicdriver.h"
#include "render/raster.h"
#include "render/sprite.h"
#include "render/terraindraw.h"
#include "render/view.h"

namespace {

constexpr float kSmallest = 0.00001f;
// A rectangle over more cells than this on a side is not drawn (it would never end).
constexpr int64_t kMaxCellsPerSide = 4096;

void HardwarePiece(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                   uint32_t flags) {
    D3DRender_DrawPolygon(view, vertices, count, texture, 0, flags);
}
void SoftwarePiece(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                   uint32_t flags) {
    Render_DrawPolygon(view, vertices, count, texture, 0, flags & 0xFFFF);
}
constexpr GroundDrawers kDefaultDrawers = {HardwarePiece, SoftwarePiece};
GroundDrawers g_drawers = kDefaultDrawers;

int UVCode(const RenderVertex& v) {
    int code = 0;
    if (v.v >= 1.0f) code |= kUVOutVHigh;
    if (v.v < 0.0f) code |= kUVOutVLow;
    if (v.u >= 1.0f) code |= kUVOutUHigh;
    if (v.u < 0.0f) code |= kUVOutULow;
    return code;
}

struct UVEdge {
    bool onU;      // the boundary cuts u, else v
    float value;   // 0 or 1
    bool keepLow;  // inside is coordinate < value, else coordinate >= value
};

bool Inside(const RenderVertex& v, const UVEdge& e) {
    const float c = e.onU ? v.u : v.v;
    return e.keepLow ? c < e.value : c >= e.value;
}

RenderVertex Crossing(const RenderVertex& p, const RenderVertex& c, const UVEdge& e) {
    const float pc = e.onU ? p.u : p.v, cc = e.onU ? c.u : c.v;
    const float t = (e.value - pc) / (cc - pc);
    RenderVertex r = p;
    r.x = p.x + t * (c.x - p.x);
    r.y = p.y + t * (c.y - p.y);
    r.z = p.z + t * (c.z - p.z);
    if (e.onU) {
        r.u = e.value;
        r.v = p.v + t * (c.v - p.v);
    } else {
        r.v = e.value;
        r.u = p.u + t * (c.u - p.u);
    }
    return r;
}

constexpr int kClipUVRoom = kClipUVMaxInput + 4;

int ClipPass(const RenderVertex* in, int count, RenderVertex* out, const UVEdge& e) {
    int n = 0;
    const RenderVertex* p = &in[count - 1];
    bool pIn = Inside(*p, e);
    for (int i = 0; i < count; ++i) {
        const RenderVertex* c = &in[i];
        const bool cIn = Inside(*c, e);
        if (cIn != pIn && n < kClipUVRoom) out[n++] = Crossing(*p, *c, e);
        if (cIn && n < kClipUVRoom) out[n++] = *c;
        p = c;
        pIn = cIn;
    }
    return n;
}

float CornerHeight(int x, int z) {
    const uint16_t* cell = Terrain_GetCell(x, z);
    return cell ? static_cast<float>(*cell & 0xFFF) * 0.1f + 0.1f : 0.1f;
}

// What one call lays: the rectangle's origin and scale to 0..1, and how a clipped piece is
// finished and drawn.
struct Layer {
    const RenderView* view;
    float originX, originZ;
    float ku, kv;
    bool mapToSprite;  // u and v go into the sprite's rectangle
    float u0, v0, du, dv;
    const TextureImage* texture;
    uint32_t flags;
};

void DrawPiece(const Layer& layer, const RenderVertex* tri) {
    RenderVertex clipped[kClipUVRoom];
    const int n = Poly_ClipUV(3, tri, clipped);
    if (n <= 0) return;
    const bool hardware = GraphicD3DFlags != 0;
    for (int i = 0; i < n; ++i) {
        if (layer.mapToSprite) {
            clipped[i].u = clipped[i].u * layer.du + layer.u0;
            clipped[i].v = clipped[i].v * layer.dv + layer.v0;
        }
        // Full light: the float on the software path, full shade without fog on the hardware path.
        if (hardware) clipped[i].colour = kColourWordFull;
        else clipped[i].shade = 1.0f;
    }
    if (hardware) g_drawers.hardware(layer.view, clipped, n, layer.texture, layer.flags);
    else g_drawers.software(layer.view, clipped, n, layer.texture, layer.flags);
}

void DrawCells(const Layer& layer, int64_t x0, int64_t x1, int64_t z0, int64_t z1) {
    if (x1 < x0 || z1 < z0 || x1 - x0 >= kMaxCellsPerSide || z1 - z0 >= kMaxCellsPerSide) return;
    const float size = TerrainCellSize;
    for (int64_t j = z0; j <= z1; ++j) {
        for (int64_t i = x0; i <= x1; ++i) {
            const int ci = static_cast<int>(i), cj = static_cast<int>(j);
            struct Corner {
                int x, z;
            };
            // A, B, C, D.
            const Corner corners[4] = {{ci, cj}, {ci + 1, cj + 1}, {ci + 1, cj}, {ci, cj + 1}};
            RenderVertex v[4];
            Vector view[4];
            for (int k = 0; k < 4; ++k) {
                const float wx = static_cast<float>(corners[k].x) * size, wz = static_cast<float>(corners[k].z) * size;
                const float wy = CornerHeight(corners[k].x, corners[k].z);
                View_TransformPoint(&view[k], layer.view, wx, wy, wz);
                v[k] = RenderVertex{view[k].x, view[k].y, view[k].z, (wx - layer.originX) * layer.ku,
                                    (wz - layer.originZ) * layer.kv, {1.0f}};
            }
            const int sides = Geom_TriangleSideTest(view[0], view[2], view[1], view[3]);
            if (sides & 1) {
                const RenderVertex tri[3] = {v[0], v[2], v[1]};
                DrawPiece(layer, tri);
            }
            if (sides & 2) {
                const RenderVertex tri[3] = {v[0], v[1], v[3]};
                DrawPiece(layer, tri);
            }
        }
    }
}

bool UsableCellSize() { return TerrainCellSize > 0.0f && std::isfinite(TerrainCellSize); }

}  // namespace

void Poly_UVOutcodes(int* andCode, int* orCode, const RenderVertex* vertices, int count) {
    int all = count > 0 ? ~0 : 0, any = 0;
    for (int i = 0; i < count; ++i) {
        const int code = UVCode(vertices[i]);
        all &= code;
        any |= code;
    }
    if (andCode) *andCode = all;
    if (orCode) *orCode = any;
}

int Poly_ClipUV(int count, const RenderVertex* vertices, RenderVertex* output) {
    if (!vertices || !output || count <= 0 || count > kClipUVMaxInput) return 0;
    int all = 0, any = 0;
    Poly_UVOutcodes(&all, &any, vertices, count);
    if (all) return 0;
    if (!any) {
        std::memmove(output, vertices, sizeof(RenderVertex) * static_cast<size_t>(count));
        return count;
    }
    const UVEdge edges[4] = {{true, 0.0f, false}, {false, 0.0f, false}, {true, 1.0f, true}, {false, 1.0f, true}};
    const int bits[4] = {kUVOutULow, kUVOutVLow, kUVOutUHigh, kUVOutVHigh};
    RenderVertex a[kClipUVRoom], b[kClipUVRoom];
    std::memcpy(a, vertices, sizeof(RenderVertex) * static_cast<size_t>(count));
    RenderVertex* src = a;
    RenderVertex* dst = b;
    int n = count;
    for (int k = 0; k < 4; ++k) {
        if (!(any & bits[k])) continue;
        n = ClipPass(src, n, dst, edges[k]);
        if (n <= 0) return 0;
        RenderVertex* t = src;
        src = dst;
        dst = t;
    }
    std::memcpy(output, src, sizeof(RenderVertex) * static_cast<size_t>(n));
    return n;
}

int Ground_DrawSprite(const RenderView* view, const float centre[3], float halfSize, int sprite, uint32_t mode) {
    const float originX = centre[0] - halfSize, originZ = centre[2] - halfSize;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    const uint8_t* page = Sprite_GetUV(sprite, &u0, &v0, &u1, &v1);
    CurrentTint = SpriteColors[Sprite_Get(sprite).flags & 15];
    if (!(halfSize >= kSmallest) || !view || !UsableCellSize()) {
        CurrentTint = 0xFFFFFF;
        return 0;
    }
    const float k = 0.5f / halfSize;
    const float size = TerrainCellSize;
    Layer layer{view, originX, originZ, k, k, true, u0, v0, u1 - u0, v1 - v0,
                reinterpret_cast<const TextureImage*>(page), SpriteQuadModes[mode & 7] + 0x10};
    const double xa = std::floor(static_cast<double>(centre[0] - halfSize) / size) - 1;
    const double xb = std::floor(static_cast<double>(centre[0] + halfSize) / size);
    const double za = std::floor(static_cast<double>(centre[2] - halfSize) / size) - 1;
    const double zb = std::floor(static_cast<double>(centre[2] + halfSize) / size);
    if (std::fabs(xa) < 1e9 && std::fabs(xb) < 1e9 && std::fabs(za) < 1e9 && std::fabs(zb) < 1e9)
        DrawCells(layer, static_cast<int64_t>(xa), static_cast<int64_t>(xb), static_cast<int64_t>(za),
                  static_cast<int64_t>(zb));
    CurrentTint = 0xFFFFFF;
    return 1;
}

int Ground_DrawTexture(const RenderView* view, const float centre[3], float width, float depth,
                       const TextureImage* texture, uint32_t flags) {
    const float originX = centre[0] - width / 2, originZ = centre[2] - depth / 2;
    if (!(width >= kSmallest) || !(depth >= kSmallest) || !view || !UsableCellSize()) return 0;
    const float size = TerrainCellSize;
    Layer layer{view, originX, originZ, 1.0f / width, 1.0f / depth, false, 0, 0, 1, 1, texture, flags};
    const double xa = std::nearbyint(static_cast<double>(originX) / size + 0.5) - 1;
    const double xb = std::nearbyint(static_cast<double>(originX + width) / size + 0.5) - 1;
    const double za = std::nearbyint(static_cast<double>(originZ) / size + 0.5) - 1;
    const double zb = std::nearbyint(static_cast<double>(originZ + depth) / size + 0.5) - 1;
    if (std::fabs(xa) < 1e9 && std::fabs(xb) < 1e9 && std::fabs(za) < 1e9 && std::fabs(zb) < 1e9)
        DrawCells(layer, static_cast<int64_t>(xa), static_cast<int64_t>(xb), static_cast<int64_t>(za),
                  static_cast<int64_t>(zb));
    return 1;
}

void Ground_SetDrawers(const GroundDrawers* drawers) { g_drawers = drawers ? *drawers : kDefaultDrawers; }
