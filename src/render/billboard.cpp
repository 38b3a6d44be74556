#include "render/billboard.h"

#include <algorithm>
#include <cmath>

#include "core/seams/render.h"
#include "render/renderqueue.h"
#include "render/sprite.h"
#include "render/view.h"

namespace {
constexpr uint32_t kBillboardFlags = 0x50004;
constexpr uint32_t kLineFlags = 8;
}  // namespace

bool Render_QueueBillboard(RenderView* view, const float worldCentre[3], float radius, int sprite) {
    return Render_QueueBillboardFlags(view, worldCentre, radius, sprite, kBillboardFlags);
}

bool Render_QueueBillboardFlags(RenderView* view, const float worldCentre[3], float radius, int sprite,
                                uint32_t flags) {
    if (!view || !worldCentre) return false;
    Vector c;
    View_TransformPoint(&c, view, worldCentre[0], worldCentre[1], worldCentre[2]);
    if (View_CullSphere(view, c, radius) > 0) return false;
    if (!(c.z > 0.0f)) return false;  // crossing the eye: no projection
    RenderItem* item = RenderQueue_Current();
    if (!item) return false;
    item->vertexCount = 0;
    item->ref = static_cast<uint32_t>(sprite);
    item->flags = flags;
    item->kind = kRenderBillboard;
    RenderBillboardPayload p{};
    p.x = view->scaleX * c.x / c.z + view->centreX;
    p.y = view->scaleY * c.y / c.z + view->centreY;
    p.range = c.z;
    p.size = radius * view->scaleX * 2.0f / c.z;
    p.fifth = radius * view->scaleY * -2.0f / c.z;
    p.radius = radius;
    p.centre[0] = c.x;
    p.centre[1] = c.y;
    p.centre[2] = c.z;
    RenderItem_SetPayload(item, p);
    return RenderQueue_Add(c.z - radius);
}

bool Render_QueueQuad(RenderView* view, const float worldCorners[4][3], int sprite, uint32_t flags) {
    if (!view || !worldCorners) return false;
    RenderQuadPayload q{};
    Vector mid{};
    float nearest = 0.0f;
    for (int i = 0; i < 4; ++i) {
        Vector c;
        View_TransformPoint(&c, view, worldCorners[i][0], worldCorners[i][1], worldCorners[i][2]);
        if (!(c.z > 0.0f)) return false;  // crossing the eye: no projection
        q.corners[i][0] = c.x;
        q.corners[i][1] = c.y;
        q.corners[i][2] = c.z;
        mid.x += 0.25f * c.x;
        mid.y += 0.25f * c.y;
        mid.z += 0.25f * c.z;
        nearest = i == 0 ? c.z : std::min(nearest, c.z);
    }
    float radius = 0.0f;
    for (const auto& c : q.corners) {
        const float dx = c[0] - mid.x, dy = c[1] - mid.y, dz = c[2] - mid.z;
        radius = std::max(radius, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    if (View_CullSphere(view, mid, radius) > 0) return false;
    RenderItem* item = RenderQueue_Current();
    if (!item) return false;
    item->vertexCount = 0;
    item->ref = static_cast<uint32_t>(sprite);
    item->flags = flags;
    item->kind = kRenderSpriteQuad;
    RenderItem_SetPayload(item, q);
    return RenderQueue_Add(nearest);
}

uint8_t HudLineAlpha = kHudLineAlphaDefault;

bool Render_QueueLine(RenderView* view, const float from[3], const float to[3], float width, uint32_t colour,
                      uint32_t alpha) {
    if (!view || !from || !to) return false;
    Vector a, b;
    View_TransformPoint(&a, view, from[0], from[1], from[2]);
    View_TransformPoint(&b, view, to[0], to[1], to[2]);
    if (!(a.z > 0.0f) || !(b.z > 0.0f)) return false;  // crossing the eye: no projection
    const Vector mid{0.5f * (a.x + b.x), 0.5f * (a.y + b.y), 0.5f * (a.z + b.z)};
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    const float radius = 0.5f * std::sqrt(dx * dx + dy * dy + dz * dz) + 0.5f * width;
    if (View_CullSphere(view, mid, radius) > 0) return false;
    RenderItem* item = RenderQueue_Current();
    if (!item) return false;
    item->vertexCount = 0;
    item->ref = colour;
    item->flags = kLineFlags;
    if (alpha < 255) item->flags |= kLineTranslucent | (alpha << kLineAlphaShift);
    item->kind = kRenderColouredLine;
    RenderLinePayload line{};
    line.width = width;
    line.from[0] = a.x, line.from[1] = a.y, line.from[2] = a.z;
    line.to[0] = b.x, line.to[1] = b.y, line.to[2] = b.z;
    RenderItem_SetPayload(item, line);
    return RenderQueue_Add(std::min(a.z, b.z));
}

namespace {
bool g_simpleSprites = false;
}  // namespace

void Render_SetSimpleSprites(bool on) { g_simpleSprites = on; }
bool Render_SimpleSprites() { return g_simpleSprites; }

void Render_QueuePointSprite(const float viewPoint[3], float size, int sprite, uint32_t flags) {
    if (!viewPoint) return;
    RenderItem* item = RenderQueue_Current();
    if (!item) return;
    item->vertexCount = 0;
    item->ref = static_cast<uint32_t>(sprite);
    item->flags = flags;
    item->kind = kRenderSmokeSprite;
    item->depth = viewPoint[2];
    RenderSpritePayload payload{size, {viewPoint[0], viewPoint[1], viewPoint[2]}};
    RenderItem_SetPayload(item, payload);
    RenderQueue_Add(viewPoint[2]);
}

void Render_InstallBillboards() {
    Seam_Render().queueQuad = [](RenderView* view, const float (*corners)[3], int sprite, uint32_t flags) {
        Render_QueueQuad(view, corners, sprite, flags);
    };
    Seam_Render().queueBillboard = [](RenderView* view, const float* centre, float radius, int sprite) {
        Render_QueueBillboard(view, centre, radius, sprite);
    };
    Seam_Render().queueBillboardFlags = [](RenderView* view, const float* centre, float radius, int sprite,
                                           uint32_t flags) { Render_QueueBillboardFlags(view, centre, radius, sprite, flags); };
    Seam_Render().queueLine = [](RenderView* view, const float* from, const float* to, float width, uint32_t colour) {
        Render_QueueLine(view, from, to, width, colour);
    };
    Seam_Render().smokeQueuePuff = Smoke_QueuePuff;
    Seam_Render().queuePointSprite = Render_QueuePointSprite;
    Seam_Render().simpleSprites = Render_SimpleSprites;
    Seam_Render().viewPoint = [](const RenderView* view, const float* point, float* out) {
        if (!view || !point || !out) return false;
        Vector c;
        View_TransformPoint(&c, view, point[0], point[1], point[2]);
        out[0] = c.x, out[1] = c.y, out[2] = c.z;
        return true;
    };
    Seam_Render().viewEye = [](const RenderView* view, float* position, float* forward) {
        if (!view) return false;
        const Matrix& m = view->viewMatrix;
        position[0] = static_cast<float>(view->cameraPosition.x);
        position[1] = static_cast<float>(view->cameraPosition.y);
        position[2] = static_cast<float>(view->cameraPosition.z);
        // The view's depth axis is the third component of each world axis' image.
        forward[0] = m.right.z;
        forward[1] = m.up.z;
        forward[2] = m.front.z;
        return true;
    };
    Seam_Render().viewDepth = [](const RenderView* view, const float* point, float* depth) {
        if (!view || !point) return false;
        Vector c;
        View_TransformPoint(&c, view, point[0], point[1], point[2]);
        if (!(c.z > 0.0f)) return false;
        if (depth) *depth = c.z;
        return true;
    };
    Seam_Render().sphereViewDepth = [](const RenderView* view, const float* centre, float radius, float* depth) {
        if (!view || !centre) return false;
        Vector c;
        View_TransformPoint(&c, view, centre[0], centre[1], centre[2]);
        if (View_CullSphere(view, c, radius) > 0 || !(c.z > 0.0f)) return false;
        if (depth) *depth = c.z;
        return true;
    };
}
