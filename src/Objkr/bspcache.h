// Entity geometry drawing and the BSP cache.
//
// A queued entity is drawn by sorting the faces of its whole tree with a BSP tree and handing
// them back to front to the software rasteriser (Render_DrawPolygon). The tree of each table
// record is kept in a chain of 4 KB node blocks and rebuilt only when the requested level
// changes or the record is reset (it moved, an animation posed it, it was removed); when the
// heap refuses a block, the record drawn longest ago loses its tree. The root's own faces only
// split space, the parts' faces are drawn, and special parts (spinners and the like) are kept
// as whole sub-models drawn by themselves at their place in the order.
//
// Trees are walked with explicit stacks: insertion order can make a tree a chain as deep as
// its face count.
#pragma once
#include <cstddef>
#include <cstdint>

#include "Objkr/entity.h"

struct RenderView;
struct RenderEntityPayload;

enum BspNodeKind : int32_t { kBspPolygon = 0, kBspSpecialPart = 1, kBspLightMarker = 2 };

struct BspNode {
    int32_t kind;
    int32_t vertexCount;  // 0 for the root's splitting faces
    Entity* source;       // the part the face belongs to
    char texture[kGeomTextureNameSize];
    int32_t colour;
    uint32_t drawFlags;
    Vector centroid;  // in the tree root's frame
    Plane plane;      // in the tree root's frame
    BspNode* front;
    BspNode* back;
};

// A polygon's corner: index into the tree's shared vertex array, the kept word, u and v.
struct BspRef {
    int32_t vertex;
    int32_t word;
    float u, v;
};

// Room a node takes in a block: the node, then its payload, kept 8-byte aligned.
constexpr size_t BspAlign(size_t n) { return (n + 7) & ~size_t(7); }
constexpr size_t kBspSplitReserve = BspAlign(sizeof(BspNode));
constexpr size_t BspPolygonReserve(int vertices) { return BspAlign(sizeof(BspNode) + sizeof(BspRef) * size_t(vertices)); }
constexpr size_t kBspSpecialReserve = BspAlign(sizeof(BspNode) + sizeof(Matrix));
constexpr size_t kBspBlockSize = 4096;
static_assert(sizeof(BspRef) == 16, "a corner reference is four 32-bit words");
static_assert(kBspSpecialReserve < kBspBlockSize && kBspSplitReserve < kBspBlockSize);

inline BspRef* BspNode_Refs(BspNode* node) { return reinterpret_cast<BspRef*>(node + 1); }
inline const BspRef* BspNode_Refs(const BspNode* node) { return reinterpret_cast<const BspRef*>(node + 1); }
inline Matrix* BspNode_Matrix(BspNode* node) { return reinterpret_cast<Matrix*>(node + 1); }

// Type codes 15, 66, 67 and 68, and 63 with flag 0x200000.
bool Entity_IsSpecialPart(const Entity* entity);

// The geometry a part shows at a level without changing its selection: the item of its
// current state at that level, else (not for level 1) at level 0; entities without a list
// show their current geometry.
const Geometry* Bsp_GeometryAt(const Entity* entity, int level);

// The level of a draw: 1 with item flag 0x80, else 2 with 0x10, else 0.
int Bsp_LevelOf(uint32_t itemFlags);

// ---- the cache ----------------------------------------------------------------------------

// No cached trees, counts zero (mission start). Trees still cached are freed.
void BspCache_Reset();
// Stamps the record and (re)builds its tree unless it holds one of this level. False when no
// block could be had.
bool BspCache_Build(EntityTableRecord* record, int level);
void BspCache_FreeRecord(EntityTableRecord* record);
// Frees the tree of the listed record with the smallest stamp, never `keep`'s. False when
// nothing could go.
bool BspCache_EvictOldest(const EntityTableRecord* keep = nullptr);
// Level -1, stamp 0, blocks freed.
void Entity_ResetCache(EntityTableRecord* record);

int BspCache_CachedCount();
int BspCache_LiveBlocks();
// How many trees were built (cached or temporary) since the last reset.
int BspCache_BuildCount();
// The root node of a record's tree, null when it has none.
const BspNode* BspCache_Root(const EntityTableRecord* record);
// Walks a record's tree back to front as seen from a point in the root's frame.
void BspCache_WalkBackToFront(const EntityTableRecord* record, const Vector& eye,
                              void (*visit)(const BspNode* node, void* context), void* context);
// Tests: the number of blocks the heap may give out at once (-1 = no limit).
void BspCache_SetBlockBudget(int blocks);

// ---- drawing ------------------------------------------------------------------------------

// Draws one queued entity: its ground shadow (unless flag 0x20), then its tree back to front.
void Entity_RenderItem(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
// Draws only the entity's own current geometry.
void Entity_RenderGeometry(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);
// Draws the whole tree through a tree made for this draw only.
void Entity_DrawDirect(const RenderView* view, const RenderEntityPayload& item, uint32_t flags);

// Light values of a geometry's vertices for a light direction in the geometry's frame.
// viewPositions: the vertices in view space (their depth gives the distance factor), or null;
// out: one value per vertex.
void Entity_ShadeVertices(const Geometry* geometry, const Vector& lightInPart, uint32_t itemFlags,
                          const Vector* viewPositions, float* out);
// The one value of a vertex with normal n (used by Entity_ShadeVertices).
float Entity_ShadeValue(const Vector& normal, const Vector& light, uint32_t itemFlags, float depth);
