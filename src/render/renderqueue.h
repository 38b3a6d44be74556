// The render queue: every 3-D primitive and draw request of a frame is collected into 4096
// depth buckets and drawn far to near by one flush (a painter's sort without a depth buffer).
//
// Items live packed in one 4 MB arena: a 28-byte header, then the payload (the vertices of a
// primitive, or a handler kind's fixed payload). A caller builds the next item at
// RenderQueue_Current() and hands it in with RenderQueue_Add(depth); nothing is allocated per
// item, and a flush forgets them all at once. Item links are 32-bit arena offsets.
//
// The same module reads the level-of-detail settings ("LODInfo" of "render.cfg").
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/clip.h"

struct Entity;
struct RenderView;
struct TextureImage;

constexpr int kRenderBuckets = 4096;
constexpr size_t kRenderArenaSize = 4u << 20;
constexpr size_t kRenderArenaMargin = 1024;  // the arena counts as full this far before its end
constexpr uint32_t kRenderMaxVertices = 16;
constexpr float kRenderDepthOffset = 300.0f;  // depth -300 is bucket 0
constexpr uint32_t kNoRenderItem = 0xFFFFFFFFu;

struct RenderItem {
    uint32_t vertexCount;  // 1..16 for a primitive; 0 for a handler item
    uint32_t ref;          // texture reference, colour, or sprite number
    uint32_t flags;        // primitive flag word; a handler argument for handler items
    uint32_t kind;         // primitive: 0 unclipped, else clipped; handler item: its kind
    float depth;
    uint32_t next;  // arena offset of the next item of the bucket, kNoRenderItem at the end
    uint32_t prev;
};
static_assert(sizeof(RenderItem) == 28);

struct RenderBucket {
    uint32_t head;
    uint32_t tail;
    uint32_t count;
};
static_assert(sizeof(RenderBucket) == 12);

// Handler kinds (vertexCount 0).
enum RenderItemKind : uint32_t {
    kRenderSmokeSprite = 1,    // RenderSpritePayload; ref = sprite
    kRenderShadowPattern = 4,  // RenderEntityPayload: a face of the shadow pattern
    kRenderEntity = 5,         // RenderEntityPayload: a composite part
    kRenderObjectEntity = 6,   // RenderEntityPayload: an entity-table record; extra = object handle
    kRenderCompositePart = 7,  // RenderEntityPayload: a composite part with children
    kRenderColouredLine = 8,   // RenderLinePayload; ref = colour
    kRenderBillboard = 9,      // RenderBillboardPayload; ref = sprite
    kRenderSpriteQuad = 10,    // RenderQuadPayload; ref = sprite; flags = mode
    kRenderPointList = 11,     // RenderPointListPayload; ref = colour
    kRenderKindCount = 14,
};

struct RenderSpritePayload {
    float size;
    float position[3];
};
struct RenderEntityPayload {
    Entity* entity;
    void* record;
    uint32_t drawFlags;
    uint32_t hint;  // 1 when the part has no children
    float position[3];
    float radius;
    uint32_t selector;  // nonzero: the geometry draw
    uint32_t extra;     // kind 5: nonzero picks the item draw; kind 6: the object's handle
};
// A line of a colour and a width between two view-space points (tracer streaks, lightning).
// A coloured line's flags: translucent, with its alpha (255 opaque) in bits 16..23.
constexpr uint32_t kLineTranslucent = 0x1000000;
constexpr uint32_t kLineAlphaShift = 16;

struct RenderLinePayload {
    float width;
    float from[3];
    float to[3];
};
// Screen x, y, range, size in pixels and a fifth value (handed to the scaled sprite draw), then
// the radius and view-space centre used by the volume merge.
struct RenderBillboardPayload {
    float x, y, range, size, fifth;
    float radius;
    float centre[3];
};
struct RenderQuadPayload {
    float corners[4][3];  // view space
};
// Screen-space points (x, y in clip-rectangle pixels) owned by the caller until the flush.
struct RenderPointListPayload {
    const RenderVertex* points;
    uint32_t count;
    uint32_t reserved;
};

// The payload bytes of a handler kind (0 for kinds outside the table).
size_t RenderQueue_PayloadSize(uint32_t kind);

// ---- Life ------------------------------------------------------------------------------------

// Reserves the arena and the buckets, resets, reads "LODInfo". Returns 1 (0 without memory).
int RenderQueue_Init();
void RenderQueue_Close();
// Empties every bucket and rewinds the arena. Returns 1.
int RenderQueue_Reset();

// ---- Queuing ---------------------------------------------------------------------------------

// Where the caller builds the next item (header and payload). Null before Init.
RenderItem* RenderQueue_Current();
inline uint8_t* RenderItem_Payload(RenderItem* item) { return reinterpret_cast<uint8_t*>(item) + sizeof(RenderItem); }
inline const uint8_t* RenderItem_Payload(const RenderItem* item) {
    return reinterpret_cast<const uint8_t*>(item) + sizeof(RenderItem);
}
inline RenderVertex* RenderItem_Vertices(RenderItem* item) {
    return reinterpret_cast<RenderVertex*>(RenderItem_Payload(item));
}
// Payloads are copied in and out (a payload holding pointers may sit at any 4-byte offset).
template <class T>
void RenderItem_SetPayload(RenderItem* item, const T& payload) {
    std::memcpy(RenderItem_Payload(item), &payload, sizeof(T));
}
template <class T>
T RenderItem_GetPayload(const RenderItem* item) {
    T payload;
    std::memcpy(&payload, RenderItem_Payload(item), sizeof(T));
    return payload;
}

// Inserts the current item into its depth bucket and advances. False when it was dropped: a
// full arena, more than 16 vertices, an unknown handler kind, a billboard below 1.5 pixels.
// A billboard taken by an enclosing volume counts as queued.
bool RenderQueue_Add(float depth);
// Builds and adds a primitive: ref is a texture reference (flag bit 2) or a colour.
bool RenderQueue_AddPolygon(const RenderVertex* vertices, uint32_t count, uint32_t ref, uint32_t flags, uint32_t kind,
                            float depth);

// 32-bit references to textures for the items' ref field, valid until the next reset; 0 means
// none.
uint32_t RenderQueue_TextureRef(const TextureImage* image);
const TextureImage* RenderQueue_Texture(uint32_t ref);

// Draws every queued item into the view, far to near (or in the three separate-draw passes),
// then resets the queue.
void RenderQueue_Flush(const RenderView* view);

// ---- Switches and settings -------------------------------------------------------------------

// Nonzero: the flush draws unclipped primitives first, then the kind-6 items, then the rest.
extern int32_t SeparateDraw;
// Bit value 1: the hardware device draws with a z-buffer (items are appended, not sorted).
extern uint32_t RenderZBufferFlags;

struct LodInfo {
    int32_t textureCount, textureRange, textureRadius;
    int32_t shadowCount, shadowRange, shadowRadius;
    int32_t bspCount, bspRange, bspRadius;
    int32_t fillCount, fillRange, fillRadius;
    int32_t lightCount, lightRange, lightRadius;
    int32_t lodCount, lodRange, lodRadius;
    int32_t subdivideDepth;
    int32_t spriteRangeOff, spriteRadiusOff;
    int32_t spriteRangeSolid, spriteRadiusSolid;
    int32_t mergeBSP;  // bit value 2: billboards merge into enclosing volumes
};
constexpr int32_t kMergeBillboards = 2;
LodInfo& RenderQueue_LodInfo();
// Reads section "LODInfo" of the file (defaults for missing keys).
void RenderQueue_ReadLodInfo(const char* path);

// The enclosing volumes billboards merge into (the world fills the list; null: none).
struct RenderVolume {
    float min[3];
    float max[3];
    int32_t link;       // index of a further volume of the chain, -1 at its end
    uint32_t itemHead;  // arena offset of the first merged item, kNoRenderItem when none
};
struct RenderVolumeList {
    int32_t count;
    RenderVolume* volumes;
};
void RenderQueue_SetVolumeList(RenderVolumeList* list);

// ---- What the flush calls of its neighbours --------------------------------------------------

struct RenderQueueServices {
    // The hardware twins of the polygon paths (clipped, and already in screen space).
    void (*hardwareDrawPolygon)(const RenderView* view, RenderVertex* vertices, int count, const TextureImage* texture,
                                uint32_t colour, uint32_t flags);
    void (*hardwareDrawDirect)(const RenderView* view, RenderVertex* vertices, int count, const TextureImage* texture,
                               uint32_t colour, uint32_t flags);
    void (*hardwareDrawPoints)(const RenderView* view, const RenderVertex* points, int count, uint32_t colour);
    // Sprites.
    void (*drawSprite3D)(const RenderView* view, int sprite, float size, const float position[3], uint32_t flags);
    int (*drawSpriteScaled)(const RenderView* view, int sprite, int x, int y, int depth, int width, int height,
                            uint32_t flags);
    void (*drawSpriteQuad3D)(const RenderView* view, int sprite, const float corners[4][3], uint32_t mode);
    int (*spriteCentreTexel)(int sprite);  // -1 when there is no such sprite
    // Entities.
    void (*entityRenderGeometry)(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
    void (*entityRenderItem)(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
    void (*entityRenderPlain)(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
    // 1 or 2 for an object in one of its two special visual states, else 0.
    int (*objectVisualState)(uint32_t handle);
    void (*entityRenderVariant)(const RenderView* view, const RenderEntityPayload& item, int state, uint32_t flags);
};
// Null restores the stand-ins.
void RenderQueue_SetServices(const RenderQueueServices* services);
const RenderQueueServices& RenderQueue_Services();

// ---- Inspection ------------------------------------------------------------------------------

// The bucket of a depth: depth + 300 to the nearest integer, clamped to 0..4095.
int RenderQueue_BucketOf(float depth);
const RenderBucket& RenderQueue_Bucket(int index);
int RenderQueue_LowestBucket();
int RenderQueue_HighestBucket();
RenderItem* RenderQueue_Item(uint32_t offset);
size_t RenderQueue_BytesUsed();
