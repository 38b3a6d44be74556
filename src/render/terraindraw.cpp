#include "render/terraindraw.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "Terrain/terramap.h"
#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "core/seams/world.h"
#include "platform/clock.h"
#include "render/clip.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/view.h"

namespace {

constexpr size_t kMaxVertices = size_t(kTerrainMaxSide) * kTerrainMaxSide;
constexpr uint16_t kFlatCell = 0x8000;   // the cell's two triangles are one plane
constexpr uint16_t kFlatPair = 0x4000;   // with its right neighbour too (x even)

// The vertex, light and material buffers, allocated once for the largest rectangle.
struct Buffers {
    std::vector<Vector> vertices;
    std::vector<float> light;
    std::vector<uint16_t> heights;    // height words (flags included)
    std::vector<uint16_t> materials;  // the material word of the cell at each vertex
    Buffers() : vertices(kMaxVertices), light(kMaxVertices), heights(kMaxVertices), materials(kMaxVertices) {}
};

Buffers& TheBuffers() {
    static Buffers buffers;
    return buffers;
}

struct DrawState {
    int lineMode = 0;
    bool typeMapRequest = false;
    int polygons = 0;
    int wavePhase = 0;
    uint32_t lastWaveStep = 0;
    bool waveClockStarted = false;
    float cameraX = 0, cameraZ = 0, cameraHeight = 0;  // cells, cells, 0.1 m
    // The rectangle of the filled buffers.
    int x0 = 0, z0 = 0, x1 = 0, z1 = 0, width = 0;
};
DrawState g_draw;
TerrainPolygonHook g_polygonHook = nullptr;

// ---- vertices ------------------------------------------------------------------------------

// Fills the buffers over the rectangle: view-space positions, light and material words.
void FillVertices(const RenderView* view, int x0, int z0, int x1, int z1) {
    Buffers& b = TheBuffers();
    const Matrix& m = view->viewMatrix;
    const double cx = view->cameraPosition.x, cy = view->cameraPosition.y, cz = view->cameraPosition.z;
    g_draw.x0 = x0, g_draw.z0 = z0, g_draw.x1 = x1, g_draw.z1 = z1, g_draw.width = x1 - x0 + 1;
    const bool hardware = Terrain_Environment().hardware;
    size_t i = 0;
    for (int z = z0; z <= z1; ++z) {
        const float wz = static_cast<float>(z * 10.0 - cz);
        for (int x = x0; x <= x1; ++x, ++i) {
            const uint16_t word = *Terrain_GetCell(x, z);
            const uint16_t raw = word & kHeightMask;
            const float wx = static_cast<float>(x * 10.0 - cx);
            const float wy = static_cast<float>(raw * 0.1 - cy);
            Vector& v = b.vertices[i];
            v.x = m.right.x * wx + m.up.x * wy + m.front.x * wz;
            v.y = m.right.y * wx + m.up.y * wy + m.front.y * wz;
            v.z = m.right.z * wx + m.up.z * wy + m.front.z * wz;
            b.heights[i] = word;
            b.materials[i] = *Terrain_GetMaterialWord(x, z);
            const float fogDepth = Terrain_FogDepth(v.x, v.z, float(raw));
            const float light = Terrain_VertexLight(*Terrain_GetLightByte(x, z), fogDepth);
            // The hardware drawing reads a vertex's light as a colour word: the shade byte and the
            // fog byte (255 clear, 0 all fog), which the software light leaves out.
            b.light[i] = hardware ? std::bit_cast<float>(RenderVertex_ColourWord(
                                        RenderVertex_ColourOfLight(light) & 0xFF, Terrain_FogByte(fogDepth)))
                                  : light;
        }
    }
}

// Water: the phase steps once whenever more than 50 ms passed since the last step; with the
// waves switch on, water vertices rise and fall with the sine table.
bool StepWaves() {
    const TerrainEnvironment& env = Terrain_Environment();
    if (env.wave < 0) return false;
    const uint32_t now = Plat_Milliseconds();
    if (!g_draw.waveClockStarted) {
        g_draw.waveClockStarted = true;
        g_draw.lastWaveStep = now;
    } else if (now - g_draw.lastWaveStep > kTerrainWaveStepMs) {
        g_draw.wavePhase = (g_draw.wavePhase + 1) & 127;
        g_draw.lastWaveStep = now;
    }
    if (env.waves) {
        Buffers& b = TheBuffers();
        const int wave = env.wave & 7;
        size_t i = 0;
        for (int z = g_draw.z0; z <= g_draw.z1; ++z)
            for (int x = g_draw.x0; x <= g_draw.x1; ++x, ++i) {
                const TerrainMaterial mat = Terrain_SplitMaterial(b.materials[i]);
                if (mat.type == wave && mat.neighbour == wave)
                    b.vertices[i].y += TerrainSineTable[(32 * x + g_draw.wavePhase) & 127];
            }
    }
    return true;
}

// ---- emission ------------------------------------------------------------------------------

void Emit(const RenderView* view, RenderVertex* in, int count, const TextureImage* texture, int colour,
          uint32_t kind, bool hardwareDepth) {
    float depth = in[0].z;
    if (!hardwareDepth)
        for (int i = 1; i < count; ++i) depth = std::max(depth, in[i].z);
    if (g_polygonHook) g_polygonHook(in, count, texture, colour, texture ? kPolyDirectLit : kind);
    RenderVertex out[kClipMaxOutput];
    int n;
    if (texture) {
        // The software drawer steps u/z and v/z itself; the hardware device takes u and v as they
        // are and interpolates them by the vertices' 1/z.
        const uint32_t clip = Terrain_Environment().hardware ? kPolyTextured : kPolyTextured | kPolyPerspective;
        n = View_ClipPolygonDepthTextured(view, out, in, count, clip);
        if (n <= 0) return;
        if (RenderQueue_AddPolygon(out, uint32_t(n), RenderQueue_TextureRef(texture), kPolyDirectLit, 0, depth))
            ++g_draw.polygons;
        return;
    }
    if (kind != kTerrainShadedKind) {
        float sum = 0;
        for (int i = 0; i < count; ++i) sum += in[i].shade;
        for (int i = 0; i < count; ++i) in[i].shade = sum / count;
    }
    n = View_ClipPolygonDepth(view, out, in, count, kind);
    if (n <= 0) return;
    if (RenderQueue_AddPolygon(out, uint32_t(n), uint32_t(colour), kind, 0, depth)) ++g_draw.polygons;
}

struct Corner {
    size_t index;  // into the buffers
    float u, v;
};

RenderVertex MakeVertex(const Corner& c) {
    const Buffers& b = TheBuffers();
    const Vector& p = b.vertices[c.index];
    return RenderVertex{p.x, p.y, p.z, c.u, c.v, {b.light[c.index]}};
}

bool OutsideSide(const Plane& plane, const Vector corners[4]) {
    for (int i = 0; i < 4; ++i) {
        const Vector& p = corners[i];
        if (plane.normal.x * p.x + plane.normal.y * p.y + plane.normal.z * p.z + plane.d >= 0) return false;
    }
    return true;
}

// ---- lines ---------------------------------------------------------------------------------

void DrawEdge(const RenderView* view, size_t a, size_t b, int colour) {
    const Buffers& buf = TheBuffers();
    const Vector& p = buf.vertices[a];
    const Vector& q = buf.vertices[b];
    if (!(p.z > kViewNear) || !(q.z > kViewNear)) return;
    const ProjectedPoint pa = View_ProjectPoint(view, p), pb = View_ProjectPoint(view, q);
    auto pixel = [](float value) {
        const double f = std::floor(double(value));
        return f < -1e6 ? -1000000 : f > 1e6 ? 1000000 : static_cast<int>(f);
    };
    Graphic_DrawLine(view->buffer, pixel(pa.x), pixel(pa.y), pixel(pb.x), pixel(pb.y), colour, 0);
}

size_t IndexOf(int x, int z) { return size_t(z - g_draw.z0) * size_t(g_draw.width) + size_t(x - g_draw.x0); }

int EdgeColour(int lineMode, size_t index) {
    const Buffers& b = TheBuffers();
    if (lineMode == 1) return Terrain_GreenRamp((b.heights[index] & kHeightMask) * 255 / 4095);
    return Terrain_FlatColour(Terrain_SplitMaterial(b.materials[index]).type);
}

void DrawCellLines(RenderView* view, bool typeDisplay) {
    int x0, z0, x1, z1;
    Terrain_GetVisibleRect(view, &x0, &z0, &x1, &z1);
    FillVertices(view, x0, z0, x1, z1);
    const Buffers& b = TheBuffers();
    for (int z = z0; z < z1; ++z)
        for (int x = x0; x < x1; ++x) {
            const size_t a = IndexOf(x, z), c = IndexOf(x + 1, z), bb = IndexOf(x + 1, z + 1), d = IndexOf(x, z + 1);
            if (typeDisplay) {
                const int colour = EdgeColour(2, a);
                for (auto [p, q] : {std::pair{a, c}, {c, bb}, {bb, a}, {a, d}, {d, bb}}) DrawEdge(view, p, q, colour);
                continue;
            }
            const Vector corners[4] = {b.vertices[a], b.vertices[c], b.vertices[bb], b.vertices[d]};
            if (Terrain_CullTriangle(view, corners)) continue;
            const int faces = Geom_TriangleSideTest(corners[0], corners[1], corners[2], corners[3]);
            if (faces & 1) {
                DrawEdge(view, a, c, EdgeColour(g_draw.lineMode, a));
                DrawEdge(view, c, bb, EdgeColour(g_draw.lineMode, c));
                DrawEdge(view, bb, a, EdgeColour(g_draw.lineMode, bb));
            }
            if (faces & 2) {
                DrawEdge(view, a, bb, EdgeColour(g_draw.lineMode, a));
                DrawEdge(view, bb, d, EdgeColour(g_draw.lineMode, bb));
                DrawEdge(view, d, a, EdgeColour(g_draw.lineMode, d));
            }
        }
}

// The light map at half resolution: every second vertex, joined to the next one in x and in z.
void DrawLightMapLines(RenderView* view) {
    int x0, z0, x1, z1;
    Terrain_GetVisibleRect(view, &x0, &z0, &x1, &z1);
    FillVertices(view, x0, z0, x1, z1);
    const int lava = Terrain_GetLava();
    auto colour = [lava](int x, int z) {
        const int level = *Terrain_GetLightByte(x, z) * 31 / 255;
        const int type = Terrain_SplitMaterial(*Terrain_GetMaterialWord(x, z)).type;
        return lava >= 0 && type == lava ? Terrain_RedRamp(level) : Terrain_GreyRamp(level);
    };
    const int startX = x0 + (x0 & 1), startZ = z0 + (z0 & 1);
    for (int z = startZ; z <= z1; z += 2)
        for (int x = startX; x <= x1; x += 2) {
            const int c = colour(x, z);
            if (x + 2 <= x1) DrawEdge(view, IndexOf(x, z), IndexOf(x + 2, z), c);
            if (z + 2 <= z1) DrawEdge(view, IndexOf(x, z), IndexOf(x, z + 2), c);
        }
}

int CurrentViewMode() { return Seam_Cockpit().cameraViewState(); }

}  // namespace

// ---- the pass ------------------------------------------------------------------------------

void Terrain_GetVisibleRect(const RenderView* view, int* x0, int* z0, int* x1, int* z1) {
    const TerrainEnvironment& env = Terrain_Environment();
    const double cx = view->cameraPosition.x, cz = view->cameraPosition.z;
    double minX = cx, maxX = cx, minZ = cz, maxZ = cz;
    auto take = [&](double x, double z) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minZ = std::min(minZ, z), maxZ = std::max(maxZ, z);
    };
    if (env.viewMode == 3 && view->hasGroundCorners) {
        // Map views: the ground corners, pulled towards the camera to the visibility range.
        for (const DVector& g : view->groundCorners) {
            const double dx = g.x - cx, dz = g.z - cz, d = std::sqrt(dx * dx + dz * dz);
            const double k = d > env.visibilityMetres && d > 0 ? env.visibilityMetres / d : 1.0;
            take(cx + dx * k, cz + dz * k);
        }
    } else {
        for (const DVector& f : view->worldFarCorners) take(f.x, f.z);
    }
    const int r = std::min(static_cast<int>(0.1f * env.visibilityMetres), kTerrainMaxReach);
    const int camX = static_cast<int>(std::floor(cx * 0.1)), camZ = static_cast<int>(std::floor(cz * 0.1));
    *x0 = std::max(camX - std::max(r, 0), static_cast<int>(std::floor(0.1 * minX)));
    *x1 = std::min(camX + std::max(r, 0), static_cast<int>(std::floor(0.1 * maxX)) + 1);
    *z0 = std::max(camZ - std::max(r, 0), static_cast<int>(std::floor(0.1 * minZ)));
    *z1 = std::min(camZ + std::max(r, 0), static_cast<int>(std::floor(0.1 * maxZ)) + 1);
    // Never more than the buffers hold, whatever the view.
    *x1 = std::min(*x1, *x0 + kTerrainMaxSide - 1);
    *z1 = std::min(*z1, *z0 + kTerrainMaxSide - 1);
    if (*x1 < *x0) *x1 = *x0;
    if (*z1 < *z0) *z1 = *z0;
}

int Terrain_CullTriangle(const RenderView* view, const Vector corners[4]) {
    const int sides = Terrain_Environment().viewMode == 0 ? 2 : 4;
    for (int p = 0; p < sides; ++p)
        if (OutsideSide(view->planes[p], corners)) return 1;
    const float h = corners[0].x * corners[0].x + corners[0].z * corners[0].z;
    return h > Terrain_Environment().visibilitySquared ? 1 : 0;
}

int Geom_TriangleSideTest(const Vector& a, const Vector& c, const Vector& b, const Vector& d) {
    auto triple = [](const Vector& p, const Vector& q, const Vector& r) {
        return p.x * (q.y * r.z - q.z * r.y) + p.y * (q.z * r.x - q.x * r.z) + p.z * (q.x * r.y - q.y * r.x);
    };
    return (triple(a, c, b) > 0 ? 1 : 0) | (triple(a, b, d) > 0 ? 2 : 0);
}

int Frustum_ContainsPoint(const Plane planes[5], const Vector& p) {
    for (int i = 0; i < 5; ++i)
        if (planes[i].normal.x * p.x + planes[i].normal.y * p.y + planes[i].normal.z * p.z + planes[i].d < 0) return 0;
    return 1;
}

void Terrain_DrawCells(RenderView* view) {
    const TerrainDrawMode& mode = Terrain_DrawMode();
    const TerrainEnvironment& env = Terrain_Environment();
    const bool textured = mode.textured && Terrain_TexturesLoaded();
    const uint32_t kind = textured ? kTerrainShadedKind : mode.polygonKind;
    const bool hardwareDepth = (*Terrain_RenderHooks().renderFlags & kRenderFlagHardwareTerrain) != 0;
    int x0, z0, x1, z1;
    Terrain_GetVisibleRect(view, &x0, &z0, &x1, &z1);
    FillVertices(view, x0, z0, x1, z1);
    const int faceMask = StepWaves() ? 3 : mode.faceMask;
    const float flatSquared = env.current.flatRange * env.current.flatRange;
    const Buffers& b = TheBuffers();
    const int w = g_draw.width;

    for (int z = z0; z < z1; ++z) {
        for (int x = x0; x < x1; ++x) {
            const size_t ia = IndexOf(x, z), ic = ia + 1, ib = ia + size_t(w) + 1, id = ia + size_t(w);
            const Vector corners[4] = {b.vertices[ia], b.vertices[ic], b.vertices[ib], b.vertices[id]};
            if (Terrain_CullTriangle(view, corners)) continue;
            const int faces = Geom_TriangleSideTest(corners[0], corners[1], corners[2], corners[3]);
            if (!faces) continue;
            const uint16_t height = b.heights[ia];
            bool quad = false, pair = false;
            if (faces == 3 && (height & kFlatCell) && faceMask > 3) {
                quad = true;
                if ((height & kFlatPair) && faceMask > 7 && x + 1 < x1) {
                    const Vector next[4] = {b.vertices[ic], b.vertices[ic + 1], b.vertices[ib + 1], b.vertices[ib]};
                    pair = Geom_TriangleSideTest(next[0], next[1], next[2], next[3]) == 3;
                }
            }
            const uint16_t material = b.materials[ia];
            const TerrainMaterial mat = Terrain_SplitMaterial(material);
            const float h = corners[0].x * corners[0].x + corners[0].z * corners[0].z;
            const TextureImage* texture = nullptr;
            float uv[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            if (textured && h <= flatSquared) {
                texture = Terrain_SelectCellTexture(x, z, material, g_draw.cameraX, g_draw.cameraZ);
                const float* a = Terrain_Arrangement(mat.arrangement, x & 1, z & 1);
                std::copy(a, a + 8, uv);
                if (pair) {
                    // The right half of the texture square: corners 1 and 2 of the next cell.
                    const float* n = Terrain_Arrangement(mat.arrangement, (x + 1) & 1, z & 1);
                    uv[2] = n[2], uv[3] = n[3], uv[4] = n[4], uv[5] = n[5];
                }
            }
            const int colour = Terrain_FlatColour(mat.type);
            const Corner A{ia, uv[0], uv[1]}, D{id, uv[6], uv[7]};
            const Corner C{pair ? ic + 1 : ic, uv[2], uv[3]}, B{pair ? ib + 1 : ib, uv[4], uv[5]};
            if (quad) {
                RenderVertex v[4] = {MakeVertex(A), MakeVertex(C), MakeVertex(B), MakeVertex(D)};
                Emit(view, v, 4, texture, colour, kind, hardwareDepth);
                if (pair) ++x;
                continue;
            }
            if (faces & 1) {
                RenderVertex v[3] = {MakeVertex(A), MakeVertex(C), MakeVertex(B)};
                Emit(view, v, 3, texture, colour, kind, hardwareDepth);
            }
            if (faces & 2) {
                RenderVertex v[3] = {MakeVertex(A), MakeVertex(B), MakeVertex(D)};
                Emit(view, v, 3, texture, colour, kind, hardwareDepth);
            }
        }
    }
}

void Terrain_Draw(RenderView* view) {
    if (!view) return;
    const int mode = CurrentViewMode();
    if (mode != Terrain_Environment().viewMode) Terrain_SelectView(mode);
    g_draw.polygons = 0;
    g_draw.cameraX = static_cast<float>(view->cameraPosition.x * 0.1);
    g_draw.cameraZ = static_cast<float>(view->cameraPosition.z * 0.1);
    g_draw.cameraHeight = static_cast<float>(view->cameraPosition.y * 10.0);
    if (mode == 3) {
        DrawLightMapLines(view);
    } else if (g_draw.lineMode) {
        DrawCellLines(view, false);
    } else if (g_draw.typeMapRequest && view == Seam_Render().mainView()) {
        g_draw.typeMapRequest = false;
        DrawCellLines(view, true);
    } else {
        Terrain_DrawCells(view);
    }
    Scrounge_Update(view);
}

void Terrain_SetLineMode(int mode) { g_draw.lineMode = mode == 1 || mode == 2 ? mode : 0; }
void Terrain_RequestTypeMap() { g_draw.typeMapRequest = true; }
bool Terrain_TypeMapPending() { return g_draw.typeMapRequest; }
int Terrain_PolygonCount() { return g_draw.polygons; }
int Terrain_WavePhase() { return g_draw.wavePhase; }

void Render_InstallTerrainDrawing() {
    TerrainRenderHooks& hooks = Terrain_RenderHooks();
    hooks.renderFlags = &RenderFlags;
    hooks.pixelDouble = &Raster_PixelDouble;
    hooks.separateDraw = &SeparateDraw;
    hooks.hardware = [] { return g_graphicDriver.driverKind == kDriverHardware; };
    hooks.findNearest = Palette_FindNearest;
    hooks.palette = []() -> const uint8_t* { return GamePalette; };
    WorldSeam& world = Seam_World();
    world.terrainDraw = Terrain_Draw;
    world.terrainTypeMapPending = Terrain_TypeMapPending;
    world.terrainFreeTextures = Terrain_FreeTextures;
}

void Terrain_SetPolygonHook(TerrainPolygonHook hook) { g_polygonHook = hook; }

void TerrainDraw_Reset() {
    g_draw = DrawState{};
    g_polygonHook = nullptr;
}
