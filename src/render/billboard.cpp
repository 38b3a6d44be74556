#include "render/billboard.h"

#include <algorithm>
#include <cmath>

#include "core/seams/render.h"
#include "render/renderqueue.h"
#include "render/view.h"

namespace {
constexpr uint32_t kBillboardFlags = 0x50004;
}  // namespace

bool Render_QueueBillboard(RenderView* view, const float worldCentre[3], float radius, int sprite) {
    if (!view || !worldCentre) return false;
    Vector c;
    View_TransformPoint(&c, view, worldCentre[0], worldCentre[1], worldCentre[2]);
    if (View_CullSphere(view, c, radius) > 0) return false;
    if (!(c.z > 0.0f)) return false;  // crossing the eye: no projection
    RenderItem* item = RenderQueue_Current();
    if (!item) return false;
    item->vertexCount = 0;
    item->ref = static_cast<uint32_t>(sprite);
    item->flags = kBillboardFlags;
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

void Render_InstallBillboards() {
    Seam_Render().queueQuad = [](RenderView* view, const float (*corners)[3], int sprite, uint32_t flags) {
        Render_QueueQuad(view, corners, sprite, flags);
    };
    Seam_Render().queueBillboard = [](RenderView* view, const float* centre, float radius, int sprite) {
        Render_QueueBillboard(view, centre, radius, sprite);
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
