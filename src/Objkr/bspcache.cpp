#include "Objkr/bspcache.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/rendersettings.h"
#include "core/debug.h"

// A node block: its link, its size and how much of it is used, then the nodes.
struct BspBlock {
    BspBlock* next;
    size_t capacity;  // bytes after the header
    size_t used;
};

namespace {

// ---- blocks and trees ---------------------------------------------------------------------

constexpr size_t kBlockHeader = BspAlign(sizeof(BspBlock));

struct CachedEntry {
    EntityTableRecord* record;
    BspTree* tree;
};

CachedEntry g_cached[kEntityTableSize];
int g_cachedCount = 0;
int g_liveBlocks = 0;
int g_blockBudget = -1;
int g_builds = 0;
int32_t g_stampCounter = 0;

BspTree* TreeOf(const EntityTableRecord* record) {
    return record ? static_cast<BspTree*>(record->cacheBlocks) : nullptr;
}

void FreeChain(BspTree& tree) {
    for (BspBlock* b = tree.first; b;) {
        BspBlock* next = b->next;
        std::free(b);
        --g_liveBlocks;
        b = next;
    }
    tree.first = tree.last = nullptr;
}

void FreeTree(BspTree* tree) {
    if (!tree) return;
    FreeChain(*tree);
    delete tree;
}

int FindCached(const EntityTableRecord* record) {
    for (int i = 0; i < g_cachedCount; ++i)
        if (g_cached[i].record == record) return i;
    return -1;
}

void DropEntry(int index) {
    CachedEntry e = g_cached[index];
    g_cached[index] = g_cached[--g_cachedCount];
    g_cached[g_cachedCount] = CachedEntry{};
    if (e.record && e.record->cacheBlocks == e.tree) {
        e.record->cacheBlocks = nullptr;
        e.record->cacheLevel = -1;
    }
    FreeTree(e.tree);
}

// A block of at least `need` bytes after its header. A node larger than a standard block gets
// a block sized to fit. When the heap (or the test budget) refuses, the oldest other trees go.
BspBlock* NewBlock(BspTree& tree, size_t need, const EntityTableRecord* keep) {
    const size_t size = std::max(kBspBlockSize, kBlockHeader + need);
    for (int tries = g_cachedCount + 1; tries >= 0; --tries) {
        void* memory = (g_blockBudget < 0 || g_liveBlocks < g_blockBudget) ? std::malloc(size) : nullptr;
        if (memory) {
            auto* block = static_cast<BspBlock*>(memory);
            block->next = nullptr;
            block->capacity = size - kBlockHeader;
            block->used = 0;
            if (tree.last) tree.last->next = block;
            else tree.first = block;
            tree.last = block;
            ++g_liveBlocks;
            return block;
        }
        if (!BspCache_EvictOldest(keep)) break;
    }
    Error_Fatal("Bsp Cache Geometry failure. No memory is left for the sorting tree of an object.");
    return nullptr;
}

BspNode* NewNode(BspTree& tree, size_t reserve, const EntityTableRecord* keep) {
    BspBlock* b = tree.last;
    if (!b || b->capacity - b->used < reserve) {
        b = NewBlock(tree, reserve, keep);
        if (!b) return nullptr;
    }
    auto* node = reinterpret_cast<BspNode*>(reinterpret_cast<uint8_t*>(b) + kBlockHeader + b->used);
    std::memset(static_cast<void*>(node), 0, reserve);
    b->used += reserve;
    return node;
}

void Insert(BspTree& tree, BspNode* node, bool sort) {
    if (!tree.root) {
        tree.root = tree.tail = node;
        return;
    }
    if (!sort) {
        tree.tail->front = node;
        tree.tail = node;
        return;
    }
    BspNode* at = tree.root;
    for (;;) {
        const Vector& n = at->plane.normal;
        const float s = n.x * node->centroid.x + n.y * node->centroid.y + n.z * node->centroid.z + at->plane.d;
        BspNode*& link = s >= 0.0f ? at->front : at->back;
        if (!link) {
            link = node;
            return;
        }
        at = link;
    }
}

// The geometry a part shows at a level, without changing its selection: the item of its
// current state at that level, else (not for level 1) at level 0. Entities without a list
// show their current geometry.
}  // namespace

const Geometry* Bsp_GeometryAt(const Entity* e, int level) {
    if (e->geomList.count <= 0 || !e->geomList.items) return e->geometry;
    int state = 0, current = 0;
    Geom_SplitKey(e->geomList.currentKey, &state, &current);
    auto find = [&](int l) -> const Geometry* {
        const int32_t key = Geom_MakeKey(state, l);
        for (int i = 0; i < e->geomList.count; ++i)
            if (e->geomList.items[i].key == key && e->geomList.items[i].geometry) return e->geomList.items[i].geometry;
        return nullptr;
    };
    const Geometry* g = find(level);
    if (!g && level != 1) g = find(0);
    return g;
}

namespace {

Vector ToVector(const DVector& d) { return Vector{float(d.x), float(d.y), float(d.z)}; }

bool AddFaces(BspTree& tree, const BspPart& part, const Matrix& toRoot, bool drawn, std::vector<BspNode*>& nodes,
              const EntityTableRecord* keep) {
    for (const GeomFace* f = part.geometry->firstFace; f; f = f->next) {
        const int n = drawn ? f->vertexCount : 0;
        BspNode* node = NewNode(tree, drawn ? BspPolygonReserve(n) : kBspSplitReserve, keep);
        if (!node) return false;
        node->kind = kBspPolygon;
        node->vertexCount = n;
        node->source = part.entity;
        if (f->vertexCount >= 3) {
            node->centroid = ToVector(Matrix_TransformPoint(f->centroid, toRoot));
            Plane_Transform(node->plane, f->plane, toRoot);
        }
        if (drawn) {
            std::memcpy(node->texture, f->texture, sizeof node->texture);
            node->texture[sizeof node->texture - 1] = 0;
            node->colour = f->colourIndex;
            node->drawFlags = RenderSettings_FaceFlags(f->kept);
            BspRef* refs = BspNode_Refs(node);
            for (int i = 0; i < n; ++i)
                refs[i] = BspRef{f->refs[i].vertex + part.offset, f->refs[i].word, f->refs[i].u, f->refs[i].v};
        }
        nodes.push_back(node);
    }
    return true;
}

bool BuildTree(BspTree& tree, Entity* root, int level, BspRootMode mode, const EntityTableRecord* keep) {
    ++g_builds;
    tree.treeRoot = root;
    struct Work {
        BspPart part;
        Matrix toRoot;
        float radius;
    };
    struct Special {
        Entity* entity;
        Matrix toRoot;
    };
    std::vector<Work> work;
    std::vector<Special> specials;
    int32_t total = 0;
    auto addPart = [&](Entity* e, const Geometry* g, const Matrix& m) {
        if (!g || g->vertexCount <= 0) return;
        work.push_back(Work{BspPart{e, g, total}, m, e->boundsRadius});
        total += g->vertexCount;
    };
    if (mode == BspRootMode::kOnly) {
        addPart(root, root->geometry, kIdentityMatrix);
    } else {
        if (mode == BspRootMode::kDrawn) addPart(root, Bsp_GeometryAt(root, level), kIdentityMatrix);
        struct Pending {
            Entity* entity;
            Matrix parentToRoot;
        };
        std::vector<Pending> stack;
        if (root->child) stack.push_back(Pending{root->child, kIdentityMatrix});
        while (!stack.empty()) {
            Pending p = stack.back();
            stack.pop_back();
            Matrix m;
            Matrix_Multiply(m, p.entity->local, p.parentToRoot);
            if (p.entity->next) stack.push_back(Pending{p.entity->next, p.parentToRoot});
            if (Entity_IsSpecialPart(p.entity)) {
                specials.push_back(Special{p.entity, m});
                continue;
            }
            addPart(p.entity, Bsp_GeometryAt(p.entity, level), m);
            if (p.entity->child) stack.push_back(Pending{p.entity->child, m});
        }
    }
    std::stable_sort(work.begin(), work.end(), [](const Work& a, const Work& b) { return a.radius < b.radius; });

    std::vector<BspNode*> nodes;
    if (mode == BspRootMode::kSplit && level != 4) {
        if (const Geometry* g = Bsp_GeometryAt(root, level)) {
            if (!AddFaces(tree, BspPart{root, g, 0}, kIdentityMatrix, false, nodes, keep)) return false;
        }
    }
    for (const Work& w : work) {
        if (!AddFaces(tree, w.part, w.toRoot, true, nodes, keep)) return false;
        tree.parts.push_back(w.part);
    }
    for (const Special& s : specials) {
        BspNode* node = NewNode(tree, kBspSpecialReserve, keep);
        if (!node) return false;
        node->kind = kBspSpecialPart;
        node->source = s.entity;
        node->centroid = ToVector(Matrix_TransformPoint(s.entity->boundsCentre, s.toRoot));
        *BspNode_Matrix(node) = s.toRoot;
        nodes.push_back(node);
    }
    const bool sort = Render_Settings().sortOption != 0;
    for (BspNode* node : nodes) Insert(tree, node, sort);
    tree.vertexTotal = total;
    return true;
}

}  // namespace

bool Entity_IsSpecialPart(const Entity* e) {
    if (!e) return false;
    switch (e->type) {
    case kTypeSpinner:
    case 66:
    case 67:
    case 68: return true;
    case kTypeSpecialPart: return (e->flags & kEntitySpecialPart) != 0;
    default: return false;
    }
}

int Bsp_LevelOf(uint32_t flags) {
    if (flags & 0x80) return 1;
    if (flags & 0x10) return 2;
    return 0;
}

void BspCache_Reset() {
    while (g_cachedCount > 0) DropEntry(g_cachedCount - 1);
    g_builds = 0;
    g_stampCounter = 0;
    g_blockBudget = -1;
}

bool BspCache_Build(EntityTableRecord* record, int level) {
    if (!record || !record->entity) return false;
    record->cacheStamp = ++g_stampCounter;
    if (level == record->cacheLevel && record->cacheBlocks) return true;
    BspCache_FreeRecord(record);
    auto* tree = new BspTree;
    record->cacheBlocks = tree;
    record->cacheLevel = level;
    g_cached[g_cachedCount++] = CachedEntry{record, tree};
    if (!BuildTree(*tree, record->entity, level, BspRootMode::kSplit, record)) {
        Entity_ResetCache(record);
        return false;
    }
    record->cachedVertices = tree->vertexTotal;
    return true;
}

void BspCache_FreeRecord(EntityTableRecord* record) {
    if (!record) return;
    const int i = FindCached(record);
    if (i >= 0) {
        DropEntry(i);
    } else if (record->cacheBlocks) {
        FreeTree(TreeOf(record));
    }
    record->cacheBlocks = nullptr;
}

bool BspCache_EvictOldest(const EntityTableRecord* keep) {
    int oldest = -1;
    for (int i = 0; i < g_cachedCount; ++i) {
        if (g_cached[i].record == keep) continue;
        // An entry whose record was wiped without its tree counts as oldest.
        const int32_t stamp = g_cached[i].record->cacheBlocks == g_cached[i].tree ? g_cached[i].record->cacheStamp : 0;
        const int32_t best = oldest < 0 ? 0
                             : g_cached[oldest].record->cacheBlocks == g_cached[oldest].tree
                                 ? g_cached[oldest].record->cacheStamp
                                 : 0;
        if (oldest < 0 || stamp < best) oldest = i;
    }
    if (oldest < 0) return false;
    DropEntry(oldest);
    return true;
}

void Entity_ResetCache(EntityTableRecord* record) {
    if (!record) return;
    BspCache_FreeRecord(record);
    record->cacheLevel = -1;
    record->cacheStamp = 0;
}

int BspCache_CachedCount() { return g_cachedCount; }
int BspCache_LiveBlocks() { return g_liveBlocks; }
int BspCache_BuildCount() { return g_builds; }
void BspCache_SetBlockBudget(int blocks) { g_blockBudget = blocks; }

const BspNode* BspCache_Root(const EntityTableRecord* record) {
    const BspTree* t = TreeOf(record);
    return t ? t->root : nullptr;
}

void BspCache_WalkBackToFront(const EntityTableRecord* record, const Vector& eye,
                              void (*visit)(const BspNode* node, void* context), void* context) {
    std::vector<std::pair<const BspNode*, int>> stack;
    BspTree_WalkBackToFront(BspCache_Root(record), eye, stack, [&](const BspNode* n) { visit(n, context); });
}

BspTree* BspCache_Tree(const EntityTableRecord* record) { return TreeOf(record); }

bool BspTree_Build(BspTree& tree, Entity* root, int level, BspRootMode mode) {
    return BuildTree(tree, root, level, mode, nullptr);
}

void BspTree_Free(BspTree& tree) { FreeChain(tree); }

