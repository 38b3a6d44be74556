#include "render/sky.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/clock.h"
#include "core/configfile.h"
#include "core/helpers.h"
#include "core/seams/render.h"
#include "core/seams/world.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dpolygon.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/light.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/skyeffects.h"
#include "render/sprite.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr float kTileGrid = 1000.0f;  // the tiles stay fixed on this grid while the camera moves
constexpr float kTileRepeat = 12.0f;  // texture repeats over the 3000 m plane (every 250 m)
constexpr float kQuadHalfSide = 1000.0f;
constexpr int kBackdropMaxQuads = 5;  // one turn of the horizon (4 units) plus one

SkySettings g_sky;
DVector g_eye{0.0, 0.0, 0.0};
SkyPolygonHook g_hook = nullptr;  // g_eye: the caller's camera in the frame being drawn

void DrawNow(const RenderView* view, const RenderVertex* v, int count, const TextureImage* texture, uint32_t kind,
             uint32_t colour = 0) {
    if (g_hook) g_hook(v, count, texture, kind, -1.0f, colour);
    if (GraphicD3DFlags) D3DRender_DrawLitPolygon(view, v, count, texture, colour, kind);
    else Render_DrawPolygon(view, v, count, texture, colour, kind);
}

void ReadName(const char* key, char (&out)[16], const char* file) {
    char text[260];
    Cfg_GetProfileString("Sky", key, "", text, sizeof text, file);
    Text_CopyFixed(out, sizeof out - 1, text);
    out[sizeof out - 1] = '\0';
}

float Wrap01(float value) {
    value -= std::floor(value);
    return value >= 1.0f ? 0.0f : value;
}

RenderVertex Lerp(const RenderVertex& a, const RenderVertex& b, float t) {
    RenderVertex v{};
    v.x = a.x + (b.x - a.x) * t;
    v.y = a.y + (b.y - a.y) * t;
    v.z = a.z + (b.z - a.z) * t;
    v.u = a.u + (b.u - a.u) * t;
    v.v = a.v + (b.v - a.v) * t;
    v.shade = a.shade + (b.shade - a.shade) * t;
    return v;
}

// One Sutherland-Hodgman pass against a depth plane: keep z >= limit (keepAbove) or z <= limit.
// At most capacity vertices are written: a polygon that is not convex can gain more than one
// vertex per plane, and what would not fit is dropped rather than written past the array.
int ClipDepthPass(RenderVertex* out, int capacity, const RenderVertex* in, int count, float limit, bool keepAbove,
                  float value) {
    int n = 0;
    auto inside = [&](const RenderVertex& v) { return keepAbove ? v.z >= limit : v.z <= limit; };
    for (int i = 0; i < count; ++i) {
        const RenderVertex& a = in[i];
        const RenderVertex& b = in[(i + 1) % count];
        const bool ia = inside(a), ib = inside(b);
        if (ia && n < capacity) out[n++] = a;
        if (ia != ib && n < capacity) {
            RenderVertex v = Lerp(a, b, (limit - a.z) / (b.z - a.z));
            v.z = limit;
            v.shade = value;
            out[n++] = v;
        }
    }
    return n;
}

// The sky view: a copy of the caller's with the far distance of the sky and the camera's
// rotation at the origin.
RenderView SkyView(const RenderView* view) {
    RenderView sky = *view;
    sky.farDistance = kSkyFarDistance;
    View_SetViewport(&sky, static_cast<int32_t>(view->windowLeft), static_cast<int32_t>(view->windowTop),
                     static_cast<int32_t>(view->windowRight), static_cast<int32_t>(view->windowBottom));
    const Matrix& m = view->viewMatrix;
    Matrix camera{};
    camera.right = {m.right.x, m.up.x, m.front.x};
    camera.up = {m.right.y, m.up.y, m.front.y};
    camera.front = {m.right.z, m.up.z, m.front.z};
    camera.posit = {0.0, 0.0, 0.0};
    View_SetCameraMatrix(&sky, camera);
    return sky;
}

// The software light of the tiled plane at a depth: the intensity up to the near band, rising
// linearly to full light at the far band.
float PlaneLight(float depth, float intensity) {
    if (depth <= kSkyNearBand) return intensity;
    if (depth >= kSkyFarBand) return 1.0f;
    return intensity + (1.0f - intensity) * (depth - kSkyNearBand) / (kSkyFarBand - kSkyNearBand);
}

// The hardware screen has no clear of its own here: a plane behind everything else (the depth
// clamps to the farthest the batches keep) in the sky colour over the view's window.
constexpr float kHardwareClearDepth = 10000.0f;

void Clear(const RenderView* view, int colour) {
    if (!GraphicD3DFlags) {
        Seam_Render().driverClear(colour);
        return;
    }
    if (!view) return;
    const float saved = OverlayDepth;
    OverlayDepth = kHardwareClearDepth;
    D3D_FillRect(PaletteColors32[colour & 0xFF], view->windowLeft - 0.5f, view->windowTop - 0.5f,
                 view->windowRight + 0.5f, view->windowBottom + 0.5f, false);
    OverlayDepth = saved;
}

// The screen line along which the colour sky's plane lies at view depth `depth`, as a x + b y + c
// (positive on the near side, towards the zenith). A ray through screen point (x, y) climbs
// f = n.(x', y', 1) per unit of depth, where n is the world's up in view space and x', y' the
// point taken back through the projection; it meets the plane at depth height / f, so the near
// side of depth d is f > height / d.
void ColourSkyLine(const RenderView* view, float depth, float* a, float* b, float* c) {
    Vector eye, above;
    const DVector& cam = view->cameraPosition;
    View_TransformPoint(&eye, view, cam.x, cam.y, cam.z);
    View_TransformPoint(&above, view, cam.x, cam.y + 1.0, cam.z);
    const Vector up{above.x - eye.x, above.y - eye.y, above.z - eye.z};
    *a = up.x / view->scaleX;
    *b = up.y / view->scaleY;
    *c = up.z - *a * view->centreX - *b * view->centreY - kSkyColourHeight / depth;
}

void DrawColourSky(const RenderView* view, int colourIndex) {
    const float intensity = std::clamp(Terrain_Environment().current.intensity, 0.0f, 1.0f);
    const uint32_t skyColour = RemapTable[255][colourIndex & 0xFF];
    RenderVertex part[kClipMaxOutput];
    int n = Sky_BuildPlaneQuad(view, kSkyColourNear, part, false);
    for (int i = 0; i < n; ++i) part[i].shade = intensity;
    if (n >= 3) DrawNow(view, part, n, nullptr, kSkyKindColourFlat, skyColour);
    RenderVertex strip[4];
    if (Sky_BuildHorizonStrip(view, kSkyColourNear, kSkyColourFar, strip) == 4) {
        strip[0].shade = strip[1].shade = intensity;
        strip[2].shade = strip[3].shade = 1.0f;
        DrawNow(view, strip, 4, nullptr, kSkyKindColourShaded, skyColour);
    }
    n = Sky_BuildPlaneQuad(view, kSkyColourFar, part, true);
    for (int i = 0; i < n; ++i) part[i].shade = 1.0f;
    if (n >= 3) DrawNow(view, part, n, nullptr, kSkyKindColourFlat, static_cast<uint32_t>(colourIndex & 0xFF));
}

}  // namespace

int Sky_ClipPolygonDepth(float nearZ, float farZ, RenderVertex* out, const RenderVertex* in, int count,
                         float nearValue, float farValue) {
    if (count <= 0 || count > kClipMaxOutput || !out || !in) return 0;
    bool outside = false;
    for (int i = 0; i < count; ++i) outside = outside || in[i].z < nearZ || in[i].z > farZ;
    if (!outside) {
        std::copy(in, in + count, out);
        return count;
    }
    RenderVertex middle[2 * kClipMaxOutput];
    const int n = ClipDepthPass(middle, 2 * kClipMaxOutput, in, count, nearZ, true, nearValue);
    if (n < 3) return 0;
    const int m = ClipDepthPass(out, count + 2, middle, n, farZ, false, farValue);
    return m < 3 ? 0 : m;
}

int Sky_ClipPolygonLine(int count, RenderVertex* out, const RenderVertex* in, float a, float b, float c,
                        float value) {
    if (count <= 0 || !out || !in) return 0;
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const RenderVertex& p = in[i];
        const RenderVertex& q = in[(i + 1) % count];
        const float dp = a * p.x + b * p.y + c, dq = a * q.x + b * q.y + c;
        if (dp > 0.0f) out[n++] = p;
        if ((dp > 0.0f) != (dq > 0.0f)) {
            const float t = dp / (dp - dq);
            RenderVertex v = p;
            v.x = p.x + (q.x - p.x) * t;
            v.y = p.y + (q.y - p.y) * t;
            v.shade = value;
            out[n++] = v;
        }
    }
    return n < 3 ? 0 : n;
}

int Sky_BuildPlaneQuad(const RenderView* view, float depth, RenderVertex* out, bool beyond) {
    if (!view || !out || !(depth > 0.0f)) return 0;
    const float l = view->windowLeft, t = view->windowTop, r = view->windowRight, b = view->windowBottom;
    const RenderVertex screen[4] = {{l, t, kSkyColourDepth, 0, 0, {1.0f}},
                                    {r, t, kSkyColourDepth, 0, 0, {1.0f}},
                                    {r, b, kSkyColourDepth, 0, 0, {1.0f}},
                                    {l, b, kSkyColourDepth, 0, 0, {1.0f}}};
    float la, lb, lc;
    ColourSkyLine(view, depth, &la, &lb, &lc);
    if (beyond) la = -la, lb = -lb, lc = -lc;
    return Sky_ClipPolygonLine(4, out, screen, la, lb, lc, 1.0f);
}

int Sky_BuildHorizonStrip(const RenderView* view, float nearDepth, float farDepth, RenderVertex* out) {
    if (!view || !out || !(nearDepth > 0.0f) || !(farDepth > 0.0f)) return 0;
    float a, b, cNear, cFar;
    ColourSkyLine(view, nearDepth, &a, &b, &cNear);
    ColourSkyLine(view, farDepth, &a, &b, &cFar);
    const float length = std::hypot(a, b);
    // Looking straight up or down every point of the screen lies at one depth: no strip.
    if (!(length > 1e-12f)) return 0;
    // On each line the point nearest the screen's centre, and 0.7 of the screen width along the
    // line to either side of it: the lines are parallel, and that reaches past the screen's
    // corners wherever the lines cross it.
    const float dx = -b / length, dy = a / length, half = 0.7f * (view->windowRight - view->windowLeft);
    const float cx = view->centreX, cy = view->centreY;
    const auto onLine = [&](float c, float side) {
        const float k = (a * cx + b * cy + c) / (length * length);
        return RenderVertex{cx - a * k + dx * side, cy - b * k + dy * side, kSkyColourDepth, 0, 0, {1.0f}};
    };
    out[0] = onLine(cNear, -half);
    out[1] = onLine(cNear, half);
    out[2] = onLine(cFar, half);
    out[3] = onLine(cFar, -half);
    if (!std::isfinite(out[0].x + out[0].y + out[2].x + out[2].y)) return 0;
    return 4;
}

void Sky_AdvanceScroll(float seconds) {
    if (!std::isfinite(seconds)) return;
    g_sky.scrollU = Wrap01(g_sky.scrollU + kSkyScrollPerSecond * seconds);
    g_sky.scrollV = Wrap01(g_sky.scrollV + kSkyScrollPerSecond * seconds);
}

void Sky_LoadBackdrop() {
    const char* file = Terrain_GetFileName();
    Sky_FreeBackdrop();
    ReadName("BackdropTexture", g_sky.backdropTexture, file);
    if (g_sky.backdropTexture[0]) g_sky.backdrop = TexCache_Load(g_sky.backdropTexture);
    if (!g_sky.backdrop) {
        Sky_FreeBackdrop();
        return;
    }
    g_sky.backdropDistance = Cfg_GetProfileInt("Sky", "BackdropDistance", 400, file);
    g_sky.backdropHeight = Cfg_GetProfileInt("Sky", "BackdropHeight", 50, file);
    g_sky.backdropBase = Cfg_GetProfileInt("Sky", "BackdropBase", 0, file);
    g_sky.backdropType = Cfg_GetProfileInt("Sky", "BackdropType", 0, file);
    const double half = g_sky.backdropHeight * 0.5, d = g_sky.backdropDistance;
    g_sky.backdropWidth = static_cast<float>(2.0 * std::sqrt(half * half + d * d));
}

void Sky_FreeBackdrop() {
    if (g_sky.backdrop) TexCache_Release(g_sky.backdropTexture);
    g_sky.backdrop = nullptr;
    g_sky.backdropTexture[0] = '\0';
    g_sky.backdropDistance = 400;
    g_sky.backdropHeight = 50;
    g_sky.backdropBase = 0;
    g_sky.backdropType = 0;
    g_sky.backdropWidth = 0.0f;
}

void Sky_Load() {
    Sky_Free();
    const char* file = Terrain_GetFileName();
    g_sky.height = Cfg_GetProfileInt("Sky", "SkyHeight", 100, file);
    g_sky.type = Cfg_GetProfileInt("Sky", "SkyType", 0, file);
    ReadName("SkyTexture", g_sky.skyTexture, file);
    if (g_sky.skyTexture[0]) g_sky.sky = TexCache_Load(g_sky.skyTexture);
    ReadName("SunTexture", g_sky.sunTexture, file);
    if (g_sky.sunTexture[0]) g_sky.sun = Sprite_Find(g_sky.sunTexture);
    g_sky.scrollU = g_sky.scrollV = 0.0f;
    Sky_LoadBackdrop();
    Clouds_Load();
    AnimSky_Load();
    Stars_Load();
}

void Sky_Free() {
    if (g_sky.sky) TexCache_Release(g_sky.skyTexture);
    g_sky.sky = nullptr;
    g_sky.skyTexture[0] = '\0';
    g_sky.sun = 0;
    g_sky.sunTexture[0] = '\0';
    Sky_FreeBackdrop();
    Clouds_Free();
    AnimSky_Free();
    Stars_Free();
}

void Sky_DrawTiledPlane(RenderView* view, float y) {
    if (!view || !g_sky.sky) return;
    const double ax = std::floor(g_eye.x / kTileGrid) * kTileGrid, az = std::floor(g_eye.z / kTileGrid) * kTileGrid;
    const float corner[4][2] = {{-1000.0f, -1000.0f}, {2000.0f, -1000.0f}, {2000.0f, 2000.0f}, {-1000.0f, 2000.0f}};
    const float tex[4][2] = {{0.0f, 0.0f}, {kTileRepeat, 0.0f}, {kTileRepeat, kTileRepeat}, {0.0f, kTileRepeat}};
    const float intensity = std::clamp(Terrain_Environment().current.intensity, 0.0f, 1.0f);
    const DVector& cam = view->cameraPosition;
    RenderVertex plane[4];
    for (int i = 0; i < 4; ++i) {
        Vector p;
        View_TransformPoint(&p, view, cam.x + ax + corner[i][0] - g_eye.x, cam.y + y + 50.0 - g_eye.y,
                            cam.z + az + corner[i][1] - g_eye.z);
        plane[i] = RenderVertex{p.x, p.y, p.z, tex[i][0] + g_sky.scrollU, tex[i][1] + g_sky.scrollV, {intensity}};
    }
    // The renderer's clipper gives screen positions with 1/z; back into view space from there,
    // so that the bands below are cut from the part the view can see.
    RenderVertex screen[kClipMaxOutput];
    const int n = Render_ClipperFor(kPolyTextured)(view, screen, plane, 4, kPolyTextured);
    if (n < 3) return;
    RenderVertex back[kClipMaxOutput];
    for (int i = 0; i < n; ++i) {
        if (!(screen[i].z > 0.0f)) return;
        const float z = 1.0f / screen[i].z;
        back[i] = screen[i];
        back[i].x = z * (screen[i].x - view->centreX) / view->scaleX;
        back[i].y = z * (screen[i].y - view->centreY) / view->scaleY;
        back[i].z = z;
        back[i].shade = PlaneLight(z, intensity);
    }
    const float edges[4] = {0.0f, kSkyNearBand, kSkyMiddleBand, kSkyFarBand};
    for (int b = 0; b < 3; ++b) {
        RenderVertex band[kClipMaxOutput + 2];
        const int k = Sky_ClipPolygonDepth(edges[b], edges[b + 1], band, back, n, PlaneLight(edges[b], intensity),
                                           PlaneLight(edges[b + 1], intensity));
        if (k >= 3) DrawNow(view, band, k, g_sky.sky, kSkyKindTiled);
    }
}

void Sky_DrawSun(RenderView* view) {
    if (!view || !g_sky.sun || !view->buffer) return;
    const Vector sun = Light_GetSunDirection();
    const DVector& cam = view->cameraPosition;
    Vector p;
    View_TransformPoint(&p, view, cam.x + sun.x * 1000.0, cam.y + sun.y * 1000.0, cam.z + sun.z * 1000.0);
    if (!(p.z > kViewNear)) return;
    const float x = view->centreX + view->scaleX * p.x / p.z;
    const float y = view->centreY + view->scaleY * p.y / p.z;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6f || std::fabs(y) > 1e6f) return;
    const float saved = OverlayDepth;
    OverlayDepth = Terrain_Environment().visibilityMetres;
    // Keyed (mode 1): the sprite's key colour around the disc lets the sky show through.
    Sprite_Draw(view->buffer, g_sky.sun, static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)),
                kSpriteCentreX | kSpriteCentreY | 1);
    OverlayDepth = saved;
}

void Sky_DrawBackdrop(RenderView* view) {
    // A distance below 1 m has no band (its span divides by the distance): the backdrop is off.
    if (!view || !g_sky.backdrop || g_sky.backdropDistance < 1) return;
    // The horizontal direction the camera faces: from the eye to the middle of the far corners.
    const DVector& cam = view->cameraPosition;
    double fx = 0.0, fz = 0.0;
    for (const DVector& c : view->worldFarCorners) fx += c.x - cam.x, fz += c.z - cam.z;
    const double length = std::hypot(fx, fz);
    if (!(length > 1e-6)) return;  // looking straight up or down: no horizon to face
    fx /= length, fz /= length;
    const double d = g_sky.backdropDistance, w = g_sky.backdropWidth;
    const double base = g_sky.backdropBase, top = base + g_sky.backdropHeight;
    const double u0 = (std::atan2(fx, fz) / kTwoPi + 0.5) * 4.0;
    const double span = w / (2.0 * d), uEnd = u0 + span;
    // One quad per whole unit of u the band crosses, never more than one turn plus one.
    double u = u0;
    for (int q = 0; q < kBackdropMaxQuads && u < uEnd; ++q) {
        const double unit = std::floor(u), next = std::min(unit + 1.0, uEnd);
        const double left = -0.5 * w + (u - u0) / span * w, right = -0.5 * w + (next - u0) / span * w;
        const int panel = ((static_cast<int>(unit) % 4) + 4) % 4;
        const float v0 = 0.25f * panel, v1 = v0 + 0.25f;
        const float ua = static_cast<float>(u - unit), ub = static_cast<float>(next - unit);
        const double side[4] = {left, right, right, left}, height[4] = {top, top, base, base};
        const float tu[4] = {ua, ub, ub, ua}, tv[4] = {v0, v0, v1, v1};
        RenderVertex quad[4];
        for (int i = 0; i < 4; ++i) {
            // The band's centre lies ahead at the distance; its right runs along (fz, 0, -fx).
            Vector p;
            View_TransformPoint(&p, view, cam.x + fx * d + fz * side[i], cam.y + height[i], cam.z + fz * d - fx * side[i]);
            quad[i] = RenderVertex{p.x, p.y, p.z, tu[i], tv[i], {1.0f}};
        }
        if (g_sky.backdropType == 0) {
            DrawNow(view, quad, 4, g_sky.backdrop, kSkyKindBackdrop);
        } else {
            if (g_hook) g_hook(quad, 4, g_sky.backdrop, kSkyKindBackdropQueued, static_cast<float>(d), 0);
            RenderQueue_AddPolygon(quad, 4, RenderQueue_TextureRef(g_sky.backdrop), kSkyKindBackdropQueued, 0,
                                   static_cast<float>(d));
        }
        u = next;
    }
}

void Sky_Draw(RenderView* view, int colourIndex, int skyDetail) {
    if (!view) {
        Clear(nullptr, colourIndex);
        return;
    }
    g_eye = view->cameraPosition;
    RenderView sky = SkyView(view);
    const double eyeY = view->cameraPosition.y;
    if (skyDetail == 1 && kSkyColourSkyOn) {
        DrawColourSky(&sky, colourIndex);
        Sky_DrawSun(&sky);
        return;
    }
    Clear(&sky, colourIndex);
    if (skyDetail == 2 || skyDetail == 3) {
        if (g_sky.sky) {
            const float y = static_cast<float>(eyeY + g_sky.height);
            if (g_sky.type != 0) {
                const float h = static_cast<float>(g_sky.height);
                RenderVertex quad[4] = {{-kQuadHalfSide, h, -kQuadHalfSide, 0, 0, {1.0f}},
                                        {kQuadHalfSide, h, -kQuadHalfSide, 1, 0, {1.0f}},
                                        {kQuadHalfSide, h, kQuadHalfSide, 1, 1, {1.0f}},
                                        {-kQuadHalfSide, h, kQuadHalfSide, 0, 1, {1.0f}}};
                RenderVertex inView[4];
                for (int i = 0; i < 4; ++i) {
                    Vector p;
                    View_TransformPoint(&p, &sky, quad[i].x, quad[i].y, quad[i].z);
                    inView[i] = quad[i];
                    inView[i].x = p.x, inView[i].y = p.y, inView[i].z = p.z;
                }
                DrawNow(&sky, inView, 4, g_sky.sky, kSkyKindQuad);
            } else {
                Sky_DrawTiledPlane(&sky, y);
                Sky_AdvanceScroll(Clock_GetFrameTime());
            }
        }
        Sky_DrawSun(&sky);
        if (skyDetail == 3) {
            SkyEffects_SetEye(g_eye);
            AnimSky_Update(&sky);
            Stars_Draw(&sky);
            Clouds_Draw(&sky);
            Sky_DrawBackdrop(&sky);
        }
        return;
    }
    Sky_DrawSun(&sky);
}

TextureImage* Sky_GetTexture() { return g_sky.sky; }
TextureImage* Sky_GetBackdropTexture() { return g_sky.backdrop; }
const SkySettings& Sky_Settings() { return g_sky; }

void Sky_SetPolygonHook(SkyPolygonHook hook) { g_hook = hook; }
void Sky_UseSettings(const SkySettings& settings) { g_sky = settings; }

void Sky_Reset() {
    g_sky = SkySettings{};
    g_hook = nullptr;
    g_eye = DVector{0.0, 0.0, 0.0};
    SkyEffects_Reset();
}

void Render_InstallSky() {
    WorldSeam& world = Seam_World();
    world.skyLoad = Sky_Load;
    world.skyFree = Sky_Free;
    world.skyDraw = Sky_Draw;
}
