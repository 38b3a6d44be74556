#include "render/renderqueue.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/ini.h"
#include "platform/paths.h"
#include "render/d3dpolygon.h"
#include "render/draw2d.h"
#include "render/entitydraw.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/sprite.h"
#include "render/texcache.h"
#include "render/view.h"

int32_t SeparateDraw = 0;
uint32_t RenderZBufferFlags = 0;

namespace {

constexpr size_t kEntityPayload = sizeof(RenderEntityPayload);
// Payload bytes by handler kind; the entity kinds are sized from their record.
constexpr size_t kPayloadSizes[kRenderKindCount] = {
    0, sizeof(RenderSpritePayload), 0, 0, kEntityPayload, kEntityPayload, kEntityPayload, kEntityPayload,
    40, sizeof(RenderBillboardPayload), sizeof(RenderQuadPayload), sizeof(RenderPointListPayload), 0, 40};
static_assert(sizeof(RenderLinePayload) <= 40);
static_assert(sizeof(RenderSpritePayload) == 16 && sizeof(RenderBillboardPayload) == 36 &&
              sizeof(RenderQuadPayload) == 48);

uint8_t* g_arena = nullptr;
RenderBucket* g_buckets = nullptr;
size_t g_write = 0;  // offset of the next item
int g_lowest = kRenderBuckets - 1;
int g_highest = 0;
std::vector<const TextureImage*> g_textures;  // ref - 1 -> image, this frame
RenderVolumeList* g_volumes = nullptr;

constexpr LodInfo kDefaultLod = {15, 200, 30, 10, 100, 100, 100, 1000, 100, 30, 250, 10, 0, 0, 1000,
                                 10, 30,  40, 1,  5,   256, 250, 8,    7};
LodInfo g_lod = kDefaultLod;

// ---- Stand-ins for the neighbours --------------------------------------------------------------

void HardwarePolygon(const RenderView* view, RenderVertex* vertices, int count, const TextureImage* texture,
                     uint32_t colour, uint32_t flags) {
    D3DRender_DrawPolygon(view, vertices, count, texture, colour, flags);
}
void HardwareDirect(const RenderView* view, RenderVertex* vertices, int count, const TextureImage* texture,
                    uint32_t colour, uint32_t flags) {
    D3DRender_DrawDirect(view, vertices, count, texture, colour, flags);
}
int NoVisualState(uint32_t) { return 0; }
void NoEntityVariant(const RenderView*, const RenderEntityPayload&, int, uint32_t) {}
void DrawSpriteQuad(const RenderView* view, int sprite, const float (*corners)[3], uint32_t mode) {
    Sprite_DrawQuad3D(view, sprite, corners, mode);
}

constexpr RenderQueueServices kStandIns = {
    HardwarePolygon, HardwareDirect, D3DRender_DrawPoints, Sprite_Draw3D, Sprite_DrawScaled, DrawSpriteQuad,
    Sprite_CentreTexel, Entity_RenderGeometry, Entity_RenderItem, Entity_DrawDirect, NoVisualState, NoEntityVariant,
};
RenderQueueServices g_services = kStandIns;

bool Hardware() { return GraphicD3DFlags != 0; }

RenderItem* ItemAt(uint32_t offset) { return reinterpret_cast<RenderItem*>(g_arena + offset); }

size_t ItemSize(const RenderItem* item) {
    if (item->vertexCount) return sizeof(RenderItem) + sizeof(RenderVertex) * item->vertexCount;
    return sizeof(RenderItem) + RenderQueue_PayloadSize(item->kind);
}

bool IsSortedKind(const RenderItem* item) { return item->vertexCount == 0 && item->kind >= 4 && item->kind <= 10; }

// The first volume whose box overlaps the billboard's sphere on x and y and holds its z
// strictly; the item goes to the head of the last volume of that volume's chain.
bool MergeIntoVolume(RenderItem* item, uint32_t offset) {
    if (!g_volumes || !g_volumes->volumes || !(g_lod.mergeBSP & kMergeBillboards)) return false;
    RenderBillboardPayload b = RenderItem_GetPayload<RenderBillboardPayload>(item);
    for (int32_t i = 0; i < g_volumes->count; ++i) {
        const RenderVolume& v = g_volumes->volumes[i];
        bool overlap = b.centre[0] + b.radius >= v.min[0] && b.centre[0] - b.radius <= v.max[0] &&
                       b.centre[1] + b.radius >= v.min[1] && b.centre[1] - b.radius <= v.max[1] &&
                       b.centre[2] > v.min[2] && b.centre[2] < v.max[2];
        if (!overlap) continue;
        int32_t last = i;
        for (int guard = 0; guard < g_volumes->count; ++guard) {  // a looping chain ends here
            int32_t link = g_volumes->volumes[last].link;
            if (link < 0 || link >= g_volumes->count) break;
            last = link;
        }
        RenderVolume& target = g_volumes->volumes[last];
        item->prev = kNoRenderItem;
        item->next = target.itemHead;
        target.itemHead = offset;
        return true;
    }
    return false;
}

int TruncToInt(float value) {
    if (!(value > -1.0e9f && value < 1.0e9f)) return 0;
    return static_cast<int>(value);
}

// ---- Drawing ---------------------------------------------------------------------------------

void DrawPrimitive(const RenderView* view, RenderItem* item) {
    RenderVertex* vertices = RenderItem_Vertices(item);
    int count = static_cast<int>(item->vertexCount);
    bool textured = item->flags & kPolyTextured;
    const TextureImage* texture = textured ? RenderQueue_Texture(item->ref) : nullptr;
    uint32_t colour = textured ? 0 : item->ref;
    if (Hardware()) {
        if (item->kind) g_services.hardwareDrawPolygon(view, vertices, count, texture, colour, item->flags);
        else g_services.hardwareDrawDirect(view, vertices, count, texture, colour, item->flags);
        return;
    }
    if (item->kind == 0 && item->flags == kPolyDirectLit && texture && Raster_TextureWidth(texture) > 1) {
        // Pre-projected: straight to the lit drawer, without clipping.
        if (count < 3 || count > kClipMaxInput) return;
        ++PolygonCount;
        RasteriserFn draw = Raster_PixelDouble ? Raster_TexPerspLitDouble256 : Raster_TexPerspLit256;
        draw(view->buffer, vertices, count, texture, 0);
        return;
    }
    Render_DrawPolygon(view, vertices, count, texture, colour, item->flags);
}

// A coloured line of a width: a thin one as a line, a wide one as a screen-facing ribbon.
void DrawColouredLine(const RenderView* view, const RenderItem* item) {
    RenderLinePayload line = RenderItem_GetPayload<RenderLinePayload>(item);
    RenderVertex a{line.from[0], line.from[1], line.from[2], 0, 0, {1.0f}};
    RenderVertex b{line.to[0], line.to[1], line.to[2], 0, 0, {1.0f}};
    // Full light: the float on the software path, full shade without fog on the hardware path.
    if (Hardware()) a.colour = b.colour = kColourWordFull;
    float nearestZ = std::fmax(std::fmin(a.z, b.z), kViewNear);
    float pixels = std::fabs(line.width * view->scaleX / nearestZ);
    if (!(pixels > 1.0f)) {
        if (Hardware()) {
            RenderVertex pair[2] = {a, b};
            g_services.hardwareDrawPolygon(view, pair, 2, nullptr, item->ref, 0);
        } else {
            // A translucent line blends through the palette's translucency table (mode 2).
            const int mode = (item->flags & kLineTranslucent) ? 2 : 0;
            Render_DrawLine3D(view, a, b, static_cast<int>(item->ref & 0xFF), mode);
        }
        return;
    }
    // Side = (b - a) x a, normalised to half the width: across the line as the eye sees it.
    float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    float sx = dy * a.z - dz * a.y, sy = dz * a.x - dx * a.z, sz = dx * a.y - dy * a.x;
    float length = std::sqrt(sx * sx + sy * sy + sz * sz);
    if (!(length > 0.0f)) return;
    float k = 0.5f * line.width / length;
    sx *= k, sy *= k, sz *= k;
    RenderVertex quad[4] = {{a.x - sx, a.y - sy, a.z - sz, 0, 0, {1.0f}},
                            {a.x + sx, a.y + sy, a.z + sz, 0, 0, {1.0f}},
                            {b.x + sx, b.y + sy, b.z + sz, 0, 0, {1.0f}},
                            {b.x - sx, b.y - sy, b.z - sz, 0, 0, {1.0f}}};
    if (Hardware())
        for (RenderVertex& v : quad) v.colour = kColourWordFull;
    if (Hardware()) g_services.hardwareDrawPolygon(view, quad, 4, nullptr, item->ref, 0);
    else Render_DrawPolygon(view, quad, 4, nullptr, item->ref, 0);
}

void DrawPointList(const RenderView* view, const RenderItem* item) {
    RenderPointListPayload list = RenderItem_GetPayload<RenderPointListPayload>(item);
    if (!list.points || list.count == 0) return;
    if (Hardware()) {
        g_services.hardwareDrawPoints(view, list.points, static_cast<int>(list.count), item->ref);
        return;
    }
    GraphicBuffer* b = view->buffer;
    for (uint32_t i = 0; i < list.count; ++i) {
        float x = list.points[i].x, y = list.points[i].y;
        if (!(std::fabs(x) < 65536.0f && std::fabs(y) < 65536.0f)) continue;
        int ix = Raster_Ceil(x), iy = Raster_Ceil(y);
        Graphic_FillRect(b, ix, iy, ix, iy, static_cast<int>(item->ref & 0xFF), 0);
    }
}

void DrawBillboard(const RenderView* view, const RenderItem* item) {
    RenderBillboardPayload p = RenderItem_GetPayload<RenderBillboardPayload>(item);
    int sprite = static_cast<int>(item->ref);
    auto scaled = [&] {
        g_services.drawSpriteScaled(view, sprite, TruncToInt(p.x), TruncToInt(p.y), TruncToInt(p.range),
                                    TruncToInt(p.size), TruncToInt(p.fifth), item->flags);
    };
    if (Hardware()) {
        scaled();
        return;
    }
    if (p.range <= static_cast<float>(g_lod.spriteRangeOff) || p.size >= static_cast<float>(g_lod.spriteRadiusOff))
        return;
    if (p.range >= static_cast<float>(g_lod.spriteRangeSolid) || p.size <= static_cast<float>(g_lod.spriteRadiusSolid)) {
        // Too far or too small to be worth a sprite: one blended colour over its square.
        GraphicBuffer* b = view->buffer;
        if (!b || b->valid != 1 || !b->pixels || b->pixels == Graphic_HardwareScreenMarker() ||
            b->format != kGraphicFormat8)
            return;
        int texel = g_services.spriteCentreTexel(sprite);
        if (texel < 0 || texel > 255) return;
        int size = TruncToInt(p.size);
        int left = TruncToInt(p.x) - size / 2, top = TruncToInt(p.y) - size / 2;
        int right = left + size - 1, bottom = top + size - 1;
        // The view's window, in the buffer's clip-relative frame.
        int wl = TruncToInt(view->windowLeft), wt = TruncToInt(view->windowTop);
        int wr = TruncToInt(view->windowRight), wb = TruncToInt(view->windowBottom);
        left = left < wl ? wl : left;
        top = top < wt ? wt : top;
        right = right > wr ? wr : right;
        bottom = bottom > wb ? wb : bottom;
        int clipW = b->clipRight - b->clipLeft, clipH = b->clipBottom - b->clipTop;
        if (left < 0 || top < 0 || left > clipW || top > clipH || right < left || bottom < top) return;
        uint8_t under = b->pixels[static_cast<size_t>(b->clipTop + top) * static_cast<size_t>(b->width) +
                                  static_cast<size_t>(b->clipLeft + left)];
        Graphic_FillRect(b, left, top, right, bottom, TranslucencyTable[texel][under], 0);
        return;
    }
    scaled();
}

void DrawEntity(const RenderView* view, const RenderItem* item) {
    RenderEntityPayload p = RenderItem_GetPayload<RenderEntityPayload>(item);
    switch (item->kind) {
    case kRenderEntity:
        if (p.selector) g_services.entityRenderGeometry(view, p, item->flags);
        else if (p.extra) g_services.entityRenderItem(view, p, item->flags);
        else g_services.entityRenderPlain(view, p, item->flags);
        return;
    case kRenderObjectEntity: {
        int state = g_services.objectVisualState(p.extra);
        if (state == 1 || state == 2) g_services.entityRenderVariant(view, p, state, item->flags);
        else if (p.selector) g_services.entityRenderGeometry(view, p, item->flags);
        else g_services.entityRenderItem(view, p, item->flags);
        return;
    }
    default:  // the shadow pattern's faces and composite parts with children
        g_services.entityRenderItem(view, p, item->flags);
        return;
    }
}

void DrawHandler(const RenderView* view, RenderItem* item) {
    switch (item->kind) {
    case kRenderSmokeSprite: {
        RenderSpritePayload p = RenderItem_GetPayload<RenderSpritePayload>(item);
        g_services.drawSprite3D(view, static_cast<int>(item->ref), p.size, p.position, item->flags);
        return;
    }
    case kRenderShadowPattern:
    case kRenderEntity:
    case kRenderObjectEntity:
    case kRenderCompositePart: DrawEntity(view, item); return;
    case kRenderColouredLine: DrawColouredLine(view, item); return;
    case kRenderBillboard: DrawBillboard(view, item); return;
    case kRenderSpriteQuad: {
        RenderQuadPayload q = RenderItem_GetPayload<RenderQuadPayload>(item);
        g_services.drawSpriteQuad3D(view, static_cast<int>(item->ref), q.corners, item->flags);
        return;
    }
    case kRenderPointList: DrawPointList(view, item); return;
    default: return;
    }
}

enum class Pass { kAll, kUnclipped, kObjects, kRest };

bool InPass(const RenderItem* item, Pass pass) {
    switch (pass) {
    case Pass::kAll: return true;
    case Pass::kUnclipped: return item->vertexCount && item->kind == 0;
    case Pass::kObjects: return !item->vertexCount && item->kind == kRenderObjectEntity;
    case Pass::kRest:
        return item->vertexCount ? item->kind != 0 : item->kind != kRenderObjectEntity;
    }
    return false;
}

void DrawPass(const RenderView* view, Pass pass) {
    for (int b = g_highest; b >= g_lowest; --b) {
        uint32_t at = g_buckets[b].head;
        for (uint32_t guard = 0; at != kNoRenderItem && guard <= g_buckets[b].count; ++guard) {
            RenderItem* item = ItemAt(at);
            if (InPass(item, pass)) {
                if (item->vertexCount) DrawPrimitive(view, item);
                else DrawHandler(view, item);
            }
            at = item->next;
        }
    }
}

}  // namespace

size_t RenderQueue_PayloadSize(uint32_t kind) { return kind < kRenderKindCount ? kPayloadSizes[kind] : 0; }

int RenderQueue_Init() {
    if (!g_arena) g_arena = static_cast<uint8_t*>(std::aligned_alloc(64, kRenderArenaSize));
    if (!g_buckets) g_buckets = static_cast<RenderBucket*>(std::malloc(sizeof(RenderBucket) * kRenderBuckets));
    if (!g_arena || !g_buckets) {
        RenderQueue_Close();
        return 0;
    }
    Render_SetRasteriserLookup(Raster_DrawerFor);
    RenderQueue_Reset();
    RenderQueue_ReadLodInfo(Plat_ProfilePath("render.cfg").c_str());
    return 1;
}

void RenderQueue_Close() {
    std::free(g_arena);
    std::free(g_buckets);
    g_arena = nullptr;
    g_buckets = nullptr;
    g_write = 0;
    g_lowest = kRenderBuckets - 1;
    g_highest = 0;
    g_textures.clear();
}

int RenderQueue_Reset() {
    if (g_buckets)
        for (int i = 0; i < kRenderBuckets; ++i) g_buckets[i] = RenderBucket{kNoRenderItem, kNoRenderItem, 0};
    g_write = 0;
    g_lowest = kRenderBuckets - 1;
    g_highest = 0;
    g_textures.clear();
    if (g_volumes && g_volumes->volumes)
        for (int32_t i = 0; i < g_volumes->count; ++i) g_volumes->volumes[i].itemHead = kNoRenderItem;
    return 1;
}

RenderItem* RenderQueue_Current() { return g_arena ? ItemAt(static_cast<uint32_t>(g_write)) : nullptr; }

int RenderQueue_BucketOf(float depth) {
    double b = std::nearbyint(static_cast<double>(depth) + kRenderDepthOffset);
    if (!(b > 0.0)) return 0;  // NaN too
    if (b > kRenderBuckets - 1) return kRenderBuckets - 1;
    return static_cast<int>(b);
}

bool RenderQueue_Add(float depth) {
    if (!g_arena || !g_buckets) return false;
    if (g_write > kRenderArenaSize - kRenderArenaMargin) return false;
    RenderItem* item = ItemAt(static_cast<uint32_t>(g_write));
    if (item->vertexCount > kRenderMaxVertices) return false;
    if (item->vertexCount == 0) {
        if (item->kind >= kRenderKindCount) return false;
        if (item->kind == kRenderBillboard && RenderItem_GetPayload<RenderBillboardPayload>(item).size < 1.5f)
            return false;
    }
    uint32_t offset = static_cast<uint32_t>(g_write);
    size_t size = ItemSize(item);
    item->depth = depth;
    int bucket = RenderQueue_BucketOf(depth);
    if (bucket < g_lowest) g_lowest = bucket;
    if (bucket > g_highest) g_highest = bucket;
    if (item->vertexCount && (item->flags & kPolyTextured) && item->ref == 0) item->flags = 0;

    if (item->vertexCount == 0 && item->kind == kRenderBillboard && MergeIntoVolume(item, offset)) {
        g_write += size;
        return true;
    }
    RenderBucket& b = g_buckets[bucket];
    if (b.count == 0) {
        item->next = item->prev = kNoRenderItem;
        b.head = b.tail = offset;
        b.count = 1;
    } else {
        uint32_t before = kNoRenderItem;
        if (!(RenderZBufferFlags & 1)) {
            for (uint32_t at = b.head; at != kNoRenderItem; at = ItemAt(at)->next) {
                const RenderItem* other = ItemAt(at);
                if (IsSortedKind(other) && other->depth < depth) {
                    before = at;
                    break;
                }
            }
        }
        if (before == kNoRenderItem) {
            item->prev = b.tail;
            item->next = kNoRenderItem;
            ItemAt(b.tail)->next = offset;
            b.tail = offset;
        } else {
            RenderItem* other = ItemAt(before);
            item->next = before;
            item->prev = other->prev;
            if (other->prev == kNoRenderItem) b.head = offset;
            else ItemAt(other->prev)->next = offset;
            other->prev = offset;
        }
        ++b.count;
    }
    g_write += size;
    return true;
}

bool RenderQueue_AddPolygon(const RenderVertex* vertices, uint32_t count, uint32_t ref, uint32_t flags, uint32_t kind,
                            float depth) {
    RenderItem* item = RenderQueue_Current();
    if (!item || !vertices || count == 0 || count > kRenderMaxVertices) return false;
    item->vertexCount = count;
    item->ref = ref;
    item->flags = flags;
    item->kind = kind;
    std::memcpy(RenderItem_Vertices(item), vertices, sizeof(RenderVertex) * count);
    return RenderQueue_Add(depth);
}

uint32_t RenderQueue_TextureRef(const TextureImage* image) {
    if (!image) return 0;
    // Consecutive items mostly share a texture: look from the newest back.
    for (size_t i = g_textures.size(); i-- > 0;)
        if (g_textures[i] == image) return static_cast<uint32_t>(i + 1);
    g_textures.push_back(image);
    return static_cast<uint32_t>(g_textures.size());
}

const TextureImage* RenderQueue_Texture(uint32_t ref) {
    if (ref == 0 || ref > g_textures.size()) return nullptr;
    return g_textures[ref - 1];
}

void RenderQueue_Flush(const RenderView* view) {
    if (g_arena && g_buckets && view && g_highest >= g_lowest) {
        if (!SeparateDraw) {
            DrawPass(view, Pass::kAll);
        } else {
            DrawPass(view, Pass::kUnclipped);
            DrawPass(view, Pass::kObjects);
            DrawPass(view, Pass::kRest);
        }
    }
    RenderQueue_Reset();
}

LodInfo& RenderQueue_LodInfo() { return g_lod; }

void RenderQueue_ReadLodInfo(const char* path) {
    struct Key {
        const char* name;
        int32_t LodInfo::*field;
    };
    static const Key kKeys[] = {
        {"textureCount", &LodInfo::textureCount},   {"textureRange", &LodInfo::textureRange},
        {"textureRadius", &LodInfo::textureRadius}, {"shadowCount", &LodInfo::shadowCount},
        {"shadowRange", &LodInfo::shadowRange},     {"shadowRadius", &LodInfo::shadowRadius},
        {"bspCount", &LodInfo::bspCount},           {"bspRange", &LodInfo::bspRange},
        {"bspRadius", &LodInfo::bspRadius},         {"fillCount", &LodInfo::fillCount},
        {"fillRange", &LodInfo::fillRange},         {"fillRadius", &LodInfo::fillRadius},
        {"lightCount", &LodInfo::lightCount},       {"lightRange", &LodInfo::lightRange},
        {"lightRadius", &LodInfo::lightRadius},     {"lodCount", &LodInfo::lodCount},
        {"lodRange", &LodInfo::lodRange},           {"lodRadius", &LodInfo::lodRadius},
        {"subdivideDepth", &LodInfo::subdivideDepth}, {"spriteRangeOff", &LodInfo::spriteRangeOff},
        {"spriteRadiusOff", &LodInfo::spriteRadiusOff}, {"spriteRangeSolid", &LodInfo::spriteRangeSolid},
        {"spriteRadiusSolid", &LodInfo::spriteRadiusSolid}, {"mergeBSP", &LodInfo::mergeBSP},
    };
    for (const Key& key : kKeys)
        g_lod.*key.field = Plat_IniGetInt("LODInfo", key.name, kDefaultLod.*key.field, path ? path : "");
}

void RenderQueue_SetVolumeList(RenderVolumeList* list) { g_volumes = list; }

void RenderQueue_SetServices(const RenderQueueServices* services) { g_services = services ? *services : kStandIns; }
const RenderQueueServices& RenderQueue_Services() { return g_services; }

const RenderBucket& RenderQueue_Bucket(int index) {
    static const RenderBucket kEmpty{kNoRenderItem, kNoRenderItem, 0};
    if (!g_buckets || index < 0 || index >= kRenderBuckets) return kEmpty;
    return g_buckets[index];
}
int RenderQueue_LowestBucket() { return g_lowest; }
int RenderQueue_HighestBucket() { return g_highest; }
RenderItem* RenderQueue_Item(uint32_t offset) {
    if (!g_arena || offset >= kRenderArenaSize) return nullptr;
    return ItemAt(offset);
}
size_t RenderQueue_BytesUsed() { return g_write; }
