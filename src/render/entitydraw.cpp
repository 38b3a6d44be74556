#include "render/entitydraw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/rendersettings.h"
#include "render/drawpass.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texmgr.h"
#include "render/view.h"

namespace {

Vector ToVector(const DVector& d) { return Vector{float(d.x), float(d.y), float(d.z)}; }

// ---- drawing ------------------------------------------------------------------------------

constexpr int kMaxSubModelDepth = 8;
constexpr int kMaxDotDepth = 6;

struct Scratch {
    std::vector<Vector> positions;  // view space
    std::vector<float> shades;
    std::vector<std::pair<const BspNode*, int>> stack;
};
Scratch g_scratch[kMaxSubModelDepth + 1];
std::vector<RenderVertex> g_polygon;

int ShadeRow(float shade) {
    const int row = int(std::lround((1.0f - shade) * float(kLightLevels - 1)));
    return row < 0 ? 0 : (row >= kLightLevels ? kLightLevels - 1 : row);
}

void DrawDot(const RenderView* view, const Vector& p, int colour) {
    if (!(p.z >= kViewNear) || !view->buffer) return;
    const ProjectedPoint s = View_ProjectPoint(view, p);
    if (!(s.x >= view->windowLeft && s.x < view->windowRight && s.y >= view->windowTop && s.y < view->windowBottom))
        return;
    const int x = Raster_Ceil(s.x), y = Raster_Ceil(s.y);
    Graphic_FillRect(view->buffer, x, y, x + 1, y + 1, colour, 0);
}

void DotsSubdivide(const RenderView* view, const Vector& a, const Vector& b, const Vector& c, int depth, int colour) {
    DrawDot(view, Vector{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3}, colour);
    if (depth <= 0) return;
    const Vector ab{(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
    const Vector bc{(b.x + c.x) / 2, (b.y + c.y) / 2, (b.z + c.z) / 2};
    const Vector ca{(c.x + a.x) / 2, (c.y + a.y) / 2, (c.z + a.z) / 2};
    DotsSubdivide(view, a, ab, ca, depth - 1, colour);
    DotsSubdivide(view, ab, b, bc, depth - 1, colour);
    DotsSubdivide(view, ca, bc, c, depth - 1, colour);
    DotsSubdivide(view, ab, bc, ca, depth - 1, colour);
}

void DrawPolygonNode(const RenderView* view, const BspNode* node, const Scratch& s, const Matrix& rootToView) {
    const int n = node->vertexCount;
    const BspRef* refs = BspNode_Refs(node);
    const int total = int(s.positions.size());
    for (int i = 0; i < n; ++i)
        if (refs[i].vertex < 0 || refs[i].vertex >= total) return;
    const RenderSettings& settings = Render_Settings();
    if (settings.dotMode) {
        float light = 0.0f;
        for (int i = 0; i < n; ++i) light += s.shades[size_t(refs[i].vertex)];
        light = n > 0 ? light / float(n) : 1.0f;
        const int colour = LumaTable[ShadeRow(light)][node->colour & 0xFF];
        DrawDot(view, ToVector(Matrix_TransformPoint(node->centroid, rootToView)), colour);
        const int depth = std::min(settings.dotDepth, kMaxDotDepth);
        if (depth > 0) {
            const Vector& a = s.positions[size_t(refs[0].vertex)];
            for (int i = 1; i + 1 < n; ++i)
                DotsSubdivide(view, a, s.positions[size_t(refs[i].vertex)], s.positions[size_t(refs[i + 1].vertex)],
                              depth, colour);
        }
        return;
    }
    g_polygon.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        const Vector& p = s.positions[size_t(refs[i].vertex)];
        g_polygon[size_t(i)] = RenderVertex{p.x, p.y, p.z, refs[i].u, refs[i].v, {s.shades[size_t(refs[i].vertex)]}};
    }
    const TextureImage* texture =
        node->texture[0] ? TexMgr_BindEntity(node->source, node->texture) : nullptr;
    const uint32_t flags = texture ? (node->drawFlags | 0x11) : (node->drawFlags & ~0x14u);
    const uint32_t colour = uint32_t(node->colour & 0xFF);
    auto draw = [&](const RenderVertex* v, int count) {
        if (GraphicD3DFlags) {
            // The hardware members read a colour word where the software drawers read the light.
            RenderVertex words[kClipMaxInput];
            for (int i = 0; i < count; ++i) {
                words[i] = v[i];
                words[i].colour = RenderVertex_ColourOfLight(v[i].shade);
            }
            RenderQueue_Services().hardwareDrawPolygon(view, words, count, texture, colour, flags);
            return;
        }
        Render_DrawPolygon(view, v, count, texture, colour, flags);
    };
    if (n <= kClipMaxInput) {
        draw(g_polygon.data(), n);
        return;
    }
    // Larger faces go as fans of at most 16 corners sharing the first one.
    RenderVertex piece[kClipMaxInput];
    for (int i = 1; i + 1 < n; i += kClipMaxInput - 2) {
        const int count = std::min(kClipMaxInput - 1, n - i);
        piece[0] = g_polygon[0];
        for (int k = 0; k < count; ++k) piece[k + 1] = g_polygon[size_t(i + k)];
        draw(piece, count + 1);
    }
}

void DrawTree(const RenderView* view, const BspTree& tree, const Matrix& rootToWorld, uint32_t flags, int depth);

void DrawSubModel(const RenderView* view, Entity* part, const Matrix& partToWorld, uint32_t flags, int depth) {
    if (depth >= kMaxSubModelDepth) return;
    BspTree temp;
    if (BspTree_Build(temp, part, Bsp_LevelOf(flags), BspRootMode::kDrawn))
        DrawTree(view, temp, partToWorld, flags, depth + 1);
    BspTree_Free(temp);
}

void DrawTree(const RenderView* view, const BspTree& tree, const Matrix& rootToWorld, uint32_t flags, int depth) {
    if (!tree.root || !view) return;
    Scratch& s = g_scratch[depth];
    s.positions.resize(size_t(tree.vertexTotal));
    s.shades.resize(size_t(tree.vertexTotal));
    Matrix rootToView;
    Matrix_Multiply(rootToView, rootToWorld, view->viewMatrix);
    const Vector light = Render_Settings().lightDirection;
    Draw_Services().lightSelectForObject(tree.treeRoot);
    for (const BspPart& part : tree.parts) {
        Matrix partToRoot, partToView, partToWorld;
        Entity_GetTransformTo(partToRoot, part.entity, tree.treeRoot);
        Matrix_Multiply(partToView, partToRoot, rootToView);
        Matrix_Multiply(partToWorld, partToRoot, rootToWorld);
        Vector* out = s.positions.data() + part.offset;
        Matrix_TransformPoints(out, part.geometry->vertices, part.geometry->vertexCount, partToView);
        Entity_ShadeVertices(part.geometry, Vec3_Unrotate(light, partToWorld), flags, out,
                             s.shades.data() + part.offset);
    }
    // The eye in the root's frame.
    const double dx = view->cameraPosition.x - rootToWorld.posit.x, dy = view->cameraPosition.y - rootToWorld.posit.y,
                 dz = view->cameraPosition.z - rootToWorld.posit.z;
    const Matrix& r = rootToWorld;
    const Vector eye{float(r.right.x * dx + r.right.y * dy + r.right.z * dz),
                     float(r.up.x * dx + r.up.y * dy + r.up.z * dz),
                     float(r.front.x * dx + r.front.y * dy + r.front.z * dz)};
    BspTree_WalkBackToFront(tree.root, eye, s.stack, [&](const BspNode* node) {
        if (node->kind == kBspSpecialPart) {
            Matrix partToRoot, partToWorld;
            // The part's current placement: spinners keep turning while the tree stays cached.
            Entity_GetTransformTo(partToRoot, node->source, tree.treeRoot);
            Matrix_Multiply(partToWorld, partToRoot, rootToWorld);
            DrawSubModel(view, node->source, partToWorld, flags, depth);
        } else if (node->kind == kBspPolygon && node->vertexCount > 0) {
            DrawPolygonNode(view, node, s, rootToView);
        }
    });
}

void DrawTemporary(const RenderView* view, Entity* e, BspRootMode mode, uint32_t flags) {
    BspTree temp;
    if (BspTree_Build(temp, e, Bsp_LevelOf(flags), mode)) {
        Matrix toWorld;
        Entity_GetTransformTo(toWorld, e, nullptr);
        DrawTree(view, temp, toWorld, flags, 0);
    }
    BspTree_Free(temp);
}

// The records a cluster leader absorbed are drawn with it, at its place in the queue.
void DrawClusterMembers(const RenderView* view, EntityTableRecord* leader, uint32_t flags);

void DrawQueuedItem(const RenderView* view, const RenderEntityPayload& item, uint32_t flags, bool withMembers) {
    if (!view || !item.entity) return;
    if (item.hint == kPayloadPatternFace) {
        Shadows_DrawPatternFace(view, item, flags);
        return;
    }
    auto* record = static_cast<EntityTableRecord*>(item.record);
    if (!record || record->entity != item.entity) {
        // A part of a composite entity: every part is queued by itself, so only its own faces.
        DrawTemporary(view, item.entity, BspRootMode::kOnly, flags);
        return;
    }
    if (!(flags & 0x20)) Entity_DrawGroundShadow(record, view);
    if (!Render_Settings().bspCache || !item.entity->child) {
        DrawTemporary(view, item.entity, BspRootMode::kDrawn, flags);
        if (withMembers) DrawClusterMembers(view, record, flags);
        return;
    }
    const int level = Bsp_LevelOf(flags);
    // A record that may have moved (flag 0x8 clear) is sorted again for every draw.
    if (!(flags & 0x8) || !record->cacheBlocks || record->cacheLevel != level) Entity_ResetCache(record);
    if (BspCache_Build(record, level)) DrawTree(view, *BspCache_Tree(record), item.entity->local, flags, 0);
    if (withMembers) DrawClusterMembers(view, record, flags);
}

void DrawClusterMembers(const RenderView* view, EntityTableRecord* leader, uint32_t flags) {
    int guard = 0;
    for (auto* m = static_cast<EntityTableRecord*>(leader->drawLinks[kDrawLinkCluster]);
         m && guard < kClusterMaxMembers; m = static_cast<EntityTableRecord*>(m->drawLinks[kDrawLinkCluster]), ++guard) {
        if (!m->entity) continue;
        RenderEntityPayload p{};
        p.entity = m->entity;
        p.record = m;
        p.drawFlags = flags;
        p.radius = m->radius;
        DrawQueuedItem(view, p, flags, false);
    }
}

}  // namespace

float Entity_ShadeValue(const Vector& n, const Vector& light, uint32_t flags, float depth) {
    const RenderSettings& s = Render_Settings();
    const float k = s.intensity, a = s.ambient;
    float value;
    if (flags & 0x40) {
        value = k * s.fadeFactor;
    } else if (flags & 0x4) {
        value = k;
    } else {
        const float m = -(n.x * light.x + n.y * light.y + n.z * light.z);
        value = m > 0.01f ? k * (a + m * (1.0f - a)) : k * a;
    }
    const float f = RenderSettings_DistanceFactor(depth);
    return s.fogMode ? value + (1.0f - value) * f : value * f;
}

void Entity_ShadeVertices(const Geometry* g, const Vector& light, uint32_t flags, const Vector* viewPositions,
                          float* out) {
    if (!g) return;
    static const Vector kNoNormal{0, 0, 0};
    for (int i = 0; i < g->vertexCount; ++i) {
        const Vector& n = g->normals && i < g->normalCount ? g->normals[i] : kNoNormal;
        out[i] = Entity_ShadeValue(n, light, flags, viewPositions ? viewPositions[i].z : 0.0f);
    }
}

void Entity_RenderItem(const RenderView* view, const RenderEntityPayload& item, uint32_t flags) {
    DrawQueuedItem(view, item, flags, true);
}

void Entity_RenderGeometry(const RenderView* view, const RenderEntityPayload& item, uint32_t flags) {
    if (view && item.entity) DrawTemporary(view, item.entity, BspRootMode::kOnly, flags);
}

void Entity_DrawDirect(const RenderView* view, const RenderEntityPayload& item, uint32_t flags) {
    if (view && item.entity) DrawTemporary(view, item.entity, BspRootMode::kDrawn, flags);
}
