#include "render/drawpass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/rendersettings.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/seams/world.h"
#include "fun3d/gameobject.h"
#include "render/entitydraw.h"
#include "render/light.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/texmgr.h"
#include "render/view.h"

namespace {

// The light list gathers the lights of the view and picks those of an object.
void LightCollect(const RenderView* view) { Light_CollectVisible(view); }
void LightSelect(Entity* entity) { Light_SelectForObject(entity); }
// The selected byte of the game object that owns the tree (the command selection).
bool OwnerSelected(void* owner) { return owner && static_cast<const GameObject*>(owner)->isSelected != 0; }

// The map's zone under a point in metres, kNoZone off the zone map or where no zone lies.
uint8_t ZoneUnder(double x, double z) {
    const double zoneMetres = double(kZoneCells) * 10.0;
    const double column = std::floor(x / zoneMetres), row = std::floor(z / zoneMetres);
    if (!(column >= 0.0 && column < kZoneMapSize && row >= 0.0 && row < kZoneMapSize)) return kNoZone;
    return ZoneMap[int(row)][int(column)];
}
// The map files give a zone no pattern level or draw flags of its own: every zone draws the
// pattern at its first level and adds no draw flags (the faces are drawn plain).
int ZoneLevel(double, double) { return 0; }
uint32_t ZoneFlags(double, double) { return 0; }
// The pattern lies on the map's zones only, not on the default ground around them.
bool ZoneAllowsPattern(double x, double z) { return ZoneUnder(x, z) != kNoZone; }
// Ground more than 5 above the map's base height shows no pattern.
float ZoneReferenceHeight(double, double) { return float(Terrain_GetBaseHeight()); }
float TerrainHeightAt(double x, double z) { return Terrain_GetHeight(x, z); }

constexpr DrawServices kDefaultServices = {LightCollect,      LightSelect, OwnerSelected,       ZoneLevel,
                                           ZoneAllowsPattern, ZoneFlags,   ZoneReferenceHeight, TerrainHeightAt};
DrawServices g_services = kDefaultServices;

struct Visible {
    EntityTableRecord* record;
    Vector viewPos;
    int64_t squaredDistance;
    uint32_t bits;  // kPartiallyVisible
    bool dynamic;
};

std::vector<Visible> g_dynamic, g_static, g_order;
TextureImage* g_shadowTexture = nullptr;
bool g_patternValid = false;
float g_patternX = 0.0f, g_patternZ = 0.0f;

bool Queue(uint32_t kind, Entity* e, void* record, uint32_t flags, uint32_t hint, const Vector& position, float radius,
           float depth, uint32_t selector, uint32_t extra) {
    RenderItem* item = RenderQueue_Current();
    if (!item) return false;
    item->vertexCount = 0;
    item->ref = 0;
    item->flags = flags;
    item->kind = kind;
    RenderEntityPayload p{};
    p.entity = e;
    p.record = record;
    p.drawFlags = flags;
    p.hint = hint;
    p.position[0] = position.x, p.position[1] = position.y, p.position[2] = position.z;
    p.radius = radius;
    p.selector = selector;
    p.extra = extra;
    RenderItem_SetPayload(item, p);
    return RenderQueue_Add(depth);
}

Vector ViewPoint(const RenderView* view, const DVector& w) {
    Vector v;
    View_TransformPoint(&v, view, w.x, w.y, w.z);
    return v;
}

bool WithinRange(const RenderView* view, const DVector& w) {
    const double range = view->farDistance;
    return std::fabs(w.x - view->cameraPosition.x) <= range && std::fabs(w.z - view->cameraPosition.z) <= range;
}

// A composite's part as an item: kind 7 for a shadow part (flag 0x40), else 5.
void QueuePart(const RenderView* view, EntityTableRecord* record, Entity* part, uint32_t flags, bool cull) {
    Matrix m;
    Entity_GetTransformTo(m, part, nullptr);
    const DVector w = Matrix_TransformPoint(part->boundsCentre, m);
    if (part->boundsRadius < 0.0001f) return;
    if (cull && !WithinRange(view, w)) return;
    const Vector v = ViewPoint(view, w);
    if (cull && View_CullSphere(view, v, 10.0f) == 1) return;
    const uint32_t kind = (part->flags & kEntityShadowPart) ? kRenderCompositePart : kRenderEntity;
    part->flags &= ~0x11u;
    Queue(kind, part, record, flags, part->child ? 0 : 1, v, part->boundsRadius, v.z - part->boundsRadius, 0, 1);
}

void QueueComposite(const RenderView* view, EntityTableRecord* record, uint32_t flags, bool cull) {
    std::vector<Entity*> stack;
    if (record->entity->child) stack.push_back(record->entity->child);
    while (!stack.empty()) {
        Entity* e = stack.back();
        stack.pop_back();
        if (e->next) stack.push_back(e->next);
        if (e->child) stack.push_back(e->child);
        QueuePart(view, record, e, flags, cull);
    }
}

void QueueRecord(const RenderView* view, EntityTableRecord* record, uint32_t flags) {
    const DVector w = Matrix_TransformPoint(record->localCentre, record->entity->local);
    const Vector v = ViewPoint(view, w);
    Queue(kRenderObjectEntity, record->entity, record, flags, record->entity->child ? 0 : 1, v, record->radius,
          v.z - record->radius, 0, 0);
}

// Every record of a secondary view: tables items with the given flags, composite parts 33.
void SecondaryPass(const RenderView* view, EntityTableRecord* excluded, uint32_t flags, bool selectedOnly) {
    for (int i = 0; i < Entities_UsedCount(); ++i) {
        EntityTableRecord* r = Entities_Record(i);
        if (!r || !r->entity || r == excluded) continue;
        if (selectedOnly && !Draw_Services().ownerSelected(r->entity->owner)) continue;
        if (r->entity->flags & kEntityComposite) QueueComposite(view, r, selectedOnly ? flags : 33, false);
        else QueueRecord(view, r, flags);
    }
}

float SizeOrDefault(const EntityTableRecord* r, int i) {
    if (r->extraGiven) {
        float f;
        std::memcpy(&f, r->extra + 4 * i, sizeof f);
        if (f < 10000.0f) return f;
    }
    return Render_Settings().defaultSizes[i];
}

void Cluster(std::vector<Visible>& order) {
    const RenderSettings& s = Render_Settings();
    for (size_t i = 0; i < order.size(); ++i) {
        EntityTableRecord* leader = order[i].record;
        if ((leader->frameFlags & 0x8) || order[i].dynamic || (order[i].bits & kClusterMember)) continue;
        DVector lc = Matrix_TransformPoint(leader->localCentre, leader->entity->local);
        float* box = leader->clusterBox;
        box[0] = float(lc.x) - leader->radius, box[1] = float(lc.y) - leader->radius, box[2] = float(lc.z) - leader->radius;
        box[3] = float(lc.x) + leader->radius, box[4] = float(lc.y) + leader->radius, box[5] = float(lc.z) + leader->radius;
        EntityTableRecord* tail = leader;
        int members = 0;
        for (size_t k = i + 1; k < order.size() && members < kClusterMaxMembers; ++k) {
            Visible& o = order[k];
            EntityTableRecord* r = o.record;
            if ((r->frameFlags & 0x8) || o.dynamic || (o.bits & kClusterMember)) continue;
            const DVector c = Matrix_TransformPoint(r->localCentre, r->entity->local);
            const double reach = double(leader->radius) + double(r->radius);
            const double ground = std::hypot(c.x - lc.x, c.z - lc.z);
            if (!(std::fabs(c.y - lc.y) < reach && ground < reach)) continue;
            o.bits |= kClusterMember;
            tail->drawLinks[kDrawLinkCluster] = r;
            r->drawLinks[kDrawLinkCluster] = nullptr;
            tail = r;
            ++members;
            if (s.clusterBox) {
                box[0] = std::min(box[0], float(c.x) - r->radius), box[1] = std::min(box[1], float(c.y) - r->radius);
                box[2] = std::min(box[2], float(c.z) - r->radius), box[3] = std::max(box[3], float(c.x) + r->radius);
                box[4] = std::max(box[4], float(c.y) + r->radius), box[5] = std::max(box[5], float(c.z) + r->radius);
            }
        }
    }
}


}  // namespace

DrawServices& Draw_Services() { return g_services; }
void Draw_ResetServices() { g_services = kDefaultServices; }

void RenderSettings_TakeLodInfo() {
    RenderSettings& s = Render_Settings();
    const LodInfo& lod = RenderQueue_LodInfo();
    s.dotDepth = lod.subdivideDepth;
    s.fixedSizes[0] = float(lod.textureRadius);
    s.fixedSizes[1] = float(lod.bspRadius);
    s.fixedSizes[2] = float(lod.lodRadius);
    const int32_t counts[kDetailGroupCount] = {lod.fillCount, lod.lightCount, lod.textureCount,
                                               lod.bspCount,  lod.lodCount,   lod.shadowCount};
    const int32_t ranges[kDetailGroupCount] = {lod.fillRange, lod.lightRange, lod.textureRange,
                                               lod.bspRange,  lod.lodRange,   lod.shadowRange};
    for (int i = 0; i < kDetailGroupCount; ++i) {
        s.countLimits[i] = counts[i];
        s.distanceLimits[i] = float(ranges[i]);
    }
}

void Render_InstallEntityDrawing() {
    WorldSeam& s = Seam_World();
    // Mission start: no cached trees, the settings afresh with this run's "LODInfo".
    s.bspCacheReset = [] {
        BspCache_Reset();
        RenderSettings_Reset();
        RenderSettings_TakeLodInfo();
    };
    s.shadowsLoad = Shadows_Load;
    s.shadowsFree = Shadows_Free;
    s.shadowsDraw = [](RenderView* view) { Shadows_Draw(view); };
    s.entitiesDrawWorld = [](RenderView* view, EntityTableRecord* excluded) { Entities_DrawWorld(view, excluded); };
    s.entitiesDrawSelected = [](RenderView* view) { Entities_DrawSelected(view); };
    s.entitiesDrawSingle = [](RenderView* view, EntityTableRecord* record) { Entities_DrawSingle(view, record); };
}

uint32_t Entities_DetailFlags(const EntityTableRecord* record, float scale, int64_t squaredDistance, int position) {
    const RenderSettings& s = Render_Settings();
    const float sizes[3] = {SizeOrDefault(record, 0), SizeOrDefault(record, 1), SizeOrDefault(record, 2)};
    auto reduced = [&](int group, float size) {
        if (record->radius <= size * scale) return true;
        if (s.countLimits[group] > 0 && position >= s.countLimits[group]) return true;
        const double limit = s.distanceLimits[group];
        return limit > 0.0 && double(squaredDistance) >= limit * limit;
    };
    uint32_t flags = 0;
    if (reduced(kDetailGroup2B, std::min(sizes[0], sizes[1]))) flags |= 0x2B;
    if (reduced(kDetailGroup09, sizes[0])) flags |= 0x09;
    if (reduced(kDetailGroup04, s.fixedSizes[0])) flags |= 0x04;
    if (reduced(kDetailGroup08, s.fixedSizes[1])) flags |= 0x08;
    if (reduced(kDetailGroup10, s.fixedSizes[2])) flags |= 0x10;
    if (reduced(kDetailGroup20, sizes[2])) flags |= 0x20;
    if (s.paletteMode) flags &= ~0x3u;
    return flags;
}

void Entities_DrawWorld(const RenderView* view, EntityTableRecord* excluded) {
    if (!view) return;
    const RenderSettings& s = Render_Settings();
    Draw_Services().lightCollectVisible(view);
    g_dynamic.clear();
    g_static.clear();
    for (int i = 0; i < Entities_UsedCount(); ++i) {
        EntityTableRecord* r = Entities_Record(i);
        if (!r) continue;
        for (void*& link : r->drawLinks) link = nullptr;
    }
    const uint32_t partFlags = uint32_t(s.displayMode < 2 ? 1 : 0) | 0x24;
    for (int i = 0; i < Entities_UsedCount(); ++i) {
        EntityTableRecord* r = Entities_Record(i);
        if (!r || !r->entity || r == excluded || (r->entity->flags & kEntityNotDrawn)) continue;
        if (r->entity->flags & kEntityComposite) {
            QueueComposite(view, r, partFlags, true);
            continue;
        }
        if (r->radius < 0.0001f) continue;
        const DVector w = Matrix_TransformPoint(r->localCentre, r->entity->local);
        if (!WithinRange(view, w)) continue;
        const Vector v = ViewPoint(view, w);
        const int cull = View_CullSphere(view, v, r->doubleRadius ? 2.0f * r->radius : r->radius);
        if (cull == 1) continue;
        const double dx = w.x - view->cameraPosition.x, dy = w.y - view->cameraPosition.y,
                     dz = w.z - view->cameraPosition.z;
        Visible vis{r, v, int64_t(dx * dx + dy * dy + dz * dz), cull < 0 ? kPartiallyVisible : 0u,
                    Entity_IsDynamic(r->entity->type) != 0};
        std::vector<Visible>& list = vis.dynamic ? g_dynamic : g_static;
        if (int(list.size()) < kDrawListMax) list.push_back(vis);
        else list.back() = vis;  // a full list overwrites its last place
    }
    g_order.clear();
    g_order.insert(g_order.end(), g_dynamic.begin(), g_dynamic.end());
    g_order.insert(g_order.end(), g_static.begin(), g_static.end());
    std::stable_sort(g_order.begin(), g_order.end(),
                     [](const Visible& a, const Visible& b) { return a.squaredDistance < b.squaredDistance; });
    for (size_t i = 0; i < g_order.size(); ++i) {
        Visible& vis = g_order[i];
        EntityTableRecord* r = vis.record;
        uint32_t flags = kFarDetailFlags;
        if (i < size_t(kDetailRecords)) {
            const bool type7 = r->entity->type == kTypeBuilding7;
            const float scale = view->scaleX != 0.0f ? vis.viewPos.z / std::fabs(view->scaleX) : 0.0f;
            switch (s.displayMode) {
            case 0: flags = 13; break;
            case 1: flags = type7 ? 0 : (Entities_DetailFlags(r, scale, vis.squaredDistance, int(i)) | 4); break;
            default: flags = type7 ? 4 : ((Entities_DetailFlags(r, scale, vis.squaredDistance, int(i)) & 0x10) | 4); break;
            }
            const double gx = double(vis.viewPos.x), gz = double(vis.viewPos.z);
            if (s.nearZoneLimit > 0.0f && std::hypot(gx, gz) <= s.nearZoneLimit) flags |= 0x40;
            if (!s.distantDetail) flags |= 0x20;
        }
        r->frameFlags = uint8_t(flags);
    }
    if (s.cluster) Cluster(g_order);
    for (const Visible& vis : g_order) {
        if (vis.bits & kClusterMember) continue;
        EntityTableRecord* r = vis.record;
        const uint32_t flags = r->frameFlags | (vis.dynamic ? 0x20u : 0u) | vis.bits;
        Queue(kRenderObjectEntity, r->entity, r, flags, r->entity->child ? 0 : 1, vis.viewPos, r->radius,
              vis.viewPos.z - r->radius, 0, 0);
    }
}

void Entities_DrawPanelView(const RenderView* view, EntityTableRecord* excluded) {
    if (view) SecondaryPass(view, excluded, Render_Settings().paletteMode ? 32u : 33u, false);
}

void Entities_DrawSelected(const RenderView* view) {
    if (view) SecondaryPass(view, nullptr, 41, true);
}

void Entities_DrawOther(const RenderView* view, EntityTableRecord* record) {
    if (!view || !record || !record->entity) return;
    if (record->entity->flags & kEntityComposite) QueueComposite(view, record, 37, false);
    else QueueRecord(view, record, 37);
}

void Entities_DrawSingle(const RenderView* view, EntityTableRecord* record) {
    if (!view || !record || !record->entity) return;
    const int32_t option = Render_Settings().drawSingle;
    if (!option && record->entity->type != kTypePerson) return;
    RenderEntityPayload p{};
    p.entity = record->entity;
    p.record = record;
    p.drawFlags = uint32_t(option < 2 ? 1 : 0) | 0x80;
    p.radius = record->radius;
    Entity_RenderItem(view, p, p.drawFlags);
}

// ---- shadows ------------------------------------------------------------------------------

void Shadows_Load() {
    Shadows_Free();
    g_shadowTexture = TexCache_Load(kShadowTextureName);
}

void Shadows_Free() {
    if (g_shadowTexture) TexCache_Release(kShadowTextureName);
    g_shadowTexture = nullptr;
}

void Shadows_Reset() {
    g_shadowTexture = nullptr;
    g_patternValid = false;
    g_patternX = g_patternZ = 0.0f;
}

bool Shadows_PatternOrigin(float* x, float* z) {
    if (x) *x = g_patternX;
    if (z) *z = g_patternZ;
    return g_patternValid;
}

void Shadows_Draw(const RenderView* view) {
    if (!view || !Render_Settings().shadowPattern) return;
    const double cx = view->cameraPosition.x, cz = view->cameraPosition.z;
    if (!g_patternValid || cx < g_patternX - kPatternCell || cx > g_patternX + 2 * kPatternCell ||
        cz < g_patternZ - kPatternCell || cz > g_patternZ + 2 * kPatternCell) {
        g_patternX = float(std::floor(cx / kPatternCell) * kPatternCell);
        g_patternZ = float(std::floor(cz / kPatternCell) * kPatternCell);
        g_patternValid = true;
    }
    DrawServices& zone = Draw_Services();
    for (Entity* part = ShadowGroup_List(); part; part = part->next) {
        Matrix m;
        Entity_GetTransformTo(m, part, nullptr);
        for (int t = 0; t < 9; ++t) {
            const Vector offset{g_patternX + kPatternCell * float(t % 3 - 1), 0.0f,
                                g_patternZ + kPatternCell * float(t / 3 - 1)};
            const double x = m.posit.x + offset.x, z = m.posit.z + offset.z;
            const int level = zone.zoneLevel(x, z);
            const Geometry* g = Bsp_GeometryAt(part, level);
            if (!g) return;
            if (g->vertexCount < 3 || !zone.zoneAllowsPattern(x, z)) continue;
            if (zone.terrainHeight(x, z) > zone.zoneReferenceHeight(x, z) + 5.0f) continue;
            const Vector centre = ViewPoint(view, DVector{x, m.posit.y, z});
            if (centre.z > 120.0f || View_CullSphere(view, centre, 2.0f) == 1) continue;
            uint32_t flags = zone.zoneFlags(x, z) & uint32_t(part->detail);
            for (const GeomFace* f = g->firstFace; f; f = f->next) {
                float depth = -1e30f;
                for (int i = 0; i < f->vertexCount; ++i) {
                    const int vi = f->refs[i].vertex;
                    if (vi < 0 || vi >= g->vertexCount) continue;
                    const DVector w = Matrix_TransformPoint(g->vertices[vi], m);
                    depth = std::max(depth, ViewPoint(view, DVector{w.x + offset.x, w.y, w.z + offset.z}).z);
                }
                const bool textured = f->texture[0] && TexMgr_BindEntity(part, f->texture);
                Queue(kRenderShadowPattern, part, const_cast<GeomFace*>(f), textured ? flags : (flags & ~0x14u),
                      kPayloadPatternFace, offset, 2.0f, depth, 0, uint32_t(level));
            }
        }
    }
}

void Shadows_DrawPatternFace(const RenderView* view, const RenderEntityPayload& item, uint32_t flags) {
    const auto* face = static_cast<const GeomFace*>(item.record);
    Entity* part = item.entity;
    const Geometry* g = part ? Bsp_GeometryAt(part, int(item.extra)) : nullptr;
    if (!face || !g || face->vertexCount < 3 || face->vertexCount > kClipMaxInput) return;
    Matrix m;
    Entity_GetTransformTo(m, part, nullptr);
    RenderVertex v[kClipMaxInput];
    for (int i = 0; i < face->vertexCount; ++i) {
        const int vi = face->refs[i].vertex;
        if (vi < 0 || vi >= g->vertexCount) return;
        const DVector w = Matrix_TransformPoint(g->vertices[vi], m);
        const Vector p = ViewPoint(view, DVector{w.x + item.position[0], w.y, w.z + item.position[2]});
        v[i] = RenderVertex{p.x, p.y, p.z, face->refs[i].u, face->refs[i].v, {1.0f}};
    }
    const TextureImage* texture = (flags & kPolyTextured) && face->texture[0] ? TexMgr_BindEntity(part, face->texture)
                                                                              : nullptr;
    Render_DrawPolygon(view, v, face->vertexCount, texture, uint32_t(face->colourIndex & 0xFF),
                       texture ? flags : (flags & ~0x14u));
}

int Terrain_FindCrossing(const DVector& from, const Vector& direction, DVector* out) {
    auto height = Draw_Services().terrainHeight;
    DVector a = from;
    DVector b{from.x + 128.0 * direction.x, from.y + 128.0 * direction.y, from.z + 128.0 * direction.z};
    const double above = a.y - height(a.x, a.z), below = b.y - height(b.x, b.z);
    if (above < 0.0 || below > 0.0) return -1;
    DVector mid = a;
    for (int i = 1; i <= 10; ++i) {
        mid = DVector{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5};
        const double diff = mid.y - height(mid.x, mid.z);
        if (std::fabs(diff) < 0.2) {
            if (out) *out = mid;
            return i;
        }
        if (diff > 0.0) a = mid;
        else b = mid;
    }
    if (out) *out = mid;
    return 10;
}

void Entity_DrawGroundShadow(EntityTableRecord* record, const RenderView* view) {
    if (!g_shadowTexture || !record || !record->entity || !view) return;
    const DVector c = Matrix_TransformPoint(record->localCentre, record->entity->local);
    DVector hit;
    if (Terrain_FindCrossing(c, Render_Settings().lightDirection, &hit) < 0) return;
    auto height = Draw_Services().terrainHeight;
    const Vector p0{float(hit.x - 2), height(hit.x - 2, hit.z - 2) + 0.5f, float(hit.z - 2)};
    const Vector p1{float(hit.x + 2), height(hit.x + 2, hit.z - 2) + 0.5f, float(hit.z - 2)};
    const Vector p2{float(hit.x), height(hit.x, hit.z + 2) + 0.5f, float(hit.z + 2)};
    const Plane plane = Plane_FromPoints(p0, p2, p1);
    if (std::fabs(plane.normal.y) < 0.0001f) return;
    const float r = record->radius;
    const float corners[4][4] = {{-r, -r, 0, 0}, {r, -r, 1, 0}, {r, r, 1, 1}, {-r, r, 0, 1}};
    RenderVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const double x = hit.x + corners[i][0], z = hit.z + corners[i][1];
        const double y = -(plane.normal.x * x + plane.normal.z * z + plane.d) / plane.normal.y;
        const Vector p = ViewPoint(view, DVector{x, y, z});
        v[i] = RenderVertex{p.x, p.y, p.z, corners[i][2], corners[i][3], {1.0f}};
    }
    Render_DrawPolygon(view, v, 4, g_shadowTexture, 0, kPolyTextured | 0x40);
}
