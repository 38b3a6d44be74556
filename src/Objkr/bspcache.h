// The BSP cache: the sorting trees the renderer draws entities with (render/entitydraw).
//
// A queued entity is drawn by sorting the faces of its whole tree with a BSP tree and handing
// them back to front to the rasteriser. The tree of each table record is kept in a chain of
// 4 KB node blocks and rebuilt only when the requested level changes or the record is reset (it
// moved, an animation posed it, it was removed); when the heap refuses a block, the record drawn
// longest ago loses its tree. The root's own faces only split space, the parts' faces are drawn,
// and special parts (spinners and the like) are kept as whole sub-models drawn by themselves at
// their place in the order.
//
// Trees are built and walked with explicit stacks: insertion order can make a tree a chain as
// deep as its face count.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "Objkr/entity.h"

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

// A part whose vertices fill the shared vertex array of a tree from `offset`.
struct BspPart {
    Entity* entity;
    const Geometry* geometry;
    int32_t offset;
};

struct BspBlock;

// What a record's cache word points at (or a tree made for one draw): the block chain with the
// root node, and the parts whose vertices fill the shared array.
struct BspTree {
    BspBlock* first = nullptr;
    BspBlock* last = nullptr;
    BspNode* root = nullptr;
    BspNode* tail = nullptr;  // the last node chained when sorting is off
    Entity* treeRoot = nullptr;
    std::vector<BspPart> parts;
    int32_t vertexTotal = 0;
};

enum class BspRootMode {
    kSplit,  // the root's faces only split space; the parts below are drawn
    kDrawn,  // the root's faces are drawn too (trees of a whole tree or a sub-model)
    kOnly,   // only the root's current geometry
};

// A tree for one draw (never cached); free its blocks with BspTree_Free.
bool BspTree_Build(BspTree& tree, Entity* root, int level, BspRootMode mode);
void BspTree_Free(BspTree& tree);

// Far side, node, near side, as seen from `eye` (in the tree root's frame); special parts count
// as distance 0. `stack` is the caller's, reused between walks.
template <class Visit>
void BspTree_WalkBackToFront(const BspNode* root, const Vector& eye, std::vector<std::pair<const BspNode*, int>>& stack,
                             Visit visit) {
    auto side = [&](const BspNode* n) {
        const float d = n->kind == kBspSpecialPart ? 0.0f : n->plane.d;
        return n->plane.normal.x * eye.x + n->plane.normal.y * eye.y + n->plane.normal.z * eye.z + d;
    };
    stack.clear();
    if (root) stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto& top = stack.back();
        const BspNode* n = top.first;
        const bool viewerInFront = side(n) >= 0.0f;
        if (top.second == 0) {
            top.second = 1;
            const BspNode* far = viewerInFront ? n->back : n->front;
            if (far) stack.emplace_back(far, 0);
        } else if (top.second == 1) {
            top.second = 2;
            visit(n);
        } else {
            const BspNode* near = viewerInFront ? n->front : n->back;
            stack.pop_back();
            if (near) stack.emplace_back(near, 0);
        }
    }
}

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
// A record's cached tree, null when it has none.
BspTree* BspCache_Tree(const EntityTableRecord* record);
// The root node of a record's tree, null when it has none.
const BspNode* BspCache_Root(const EntityTableRecord* record);
// Walks a record's tree back to front as seen from a point in the root's frame.
void BspCache_WalkBackToFront(const EntityTableRecord* record, const Vector& eye,
                              void (*visit)(const BspNode* node, void* context), void* context);
// Tests: the number of blocks the heap may give out at once (-1 = no limit).
void BspCache_SetBlockBudget(int blocks);
