#include "Objkr/bspcache.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Objkr/drawpass.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/rendersettings.h"
#include "core/debug.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texmgr.h"
#include "render/view.h"

namespace {

// ---- blocks and trees ---------------------------------------------------------------------

struct BspBlock {
    BspBlock* next;
    size_t capacity;  // bytes after the header
    size_t used;
};
constexpr size_t kBlockHeader = BspAlign(sizeof(BspBlock));

struct BspPart {
    Entity* entity;
    const Geometry* geometry;
    int32_t offset;  // of its vertices in the shared array
};

// What a record's cache word points at: the block chain with the root node, and the parts
// whose vertices fill the shared array.
struct BspTree {
    BspBlock* first = nullptr;
    BspBlock* last = nullptr;
    BspNode* root = nullptr;
    BspNode* tail = nullptr;  // the last node chained when sorting is off
    Entity* treeRoot = nullptr;
    std::vector<BspPart> parts;
    int32_t vertexTotal = 0;
};

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

enum class RootMode {
    kSplit,  // the root's faces only split space; the parts below are drawn
    kDrawn,  // the root's faces are drawn too (temporary trees of a whole tree or sub-model)
    kOnly,   // only the root's current geometry
};

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

bool BuildTree(BspTree& tree, Entity* root, int level, RootMode mode, const EntityTableRecord* keep) {
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
    if (mode == RootMode::kOnly) {
        addPart(root, root->geometry, kIdentityMatrix);
    } else {
        if (mode == RootMode::kDrawn) addPart(root, Bsp_GeometryAt(root, level), kIdentityMatrix);
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
    if (mode == RootMode::kSplit && level != 4) {
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

// ---- walking ------------------------------------------------------------------------------

float SideOf(const BspNode* n, const Vector& eye) {
    const float d = n->kind == kBspSpecialPart ? 0.0f : n->plane.d;
    return n->plane.normal.x * eye.x + n->plane.normal.y * eye.y + n->plane.normal.z * eye.z + d;
}

// Far side, node, near side, with an explicit stack.
template <class Visit>
void WalkBackToFront(const BspNode* root, const Vector& eye, std::vector<std::pair<const BspNode*, int>>& stack,
                     Visit visit) {
    stack.clear();
    if (root) stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto& top = stack.back();
        const BspNode* n = top.first;
        const bool viewerInFront = SideOf(n, eye) >= 0.0f;
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
        g_polygon[size_t(i)] = RenderVertex{p.x, p.y, p.z, refs[i].u, refs[i].v, s.shades[size_t(refs[i].vertex)]};
    }
    const TextureImage* texture =
        node->texture[0] ? TexMgr_BindEntity(node->source, node->texture) : nullptr;
    const uint32_t flags = texture ? (node->drawFlags | 0x11) : (node->drawFlags & ~0x14u);
    const uint32_t colour = uint32_t(node->colour & 0xFF);
    auto draw = [&](const RenderVertex* v, int count) {
        if (GraphicD3DFlags) {
            // PENDING(8.104) the hardware polygon pipeline takes the entity's faces; until then
            // they go clipped to the render queue's hardware twin.
            RenderVertex clipped[kClipMaxOutput];
            const int m = (flags & kPolyTextured ? View_ClipPolygonDepthTextured : View_ClipPolygonDepth)(
                view, clipped, v, count, flags & ~kPolyInside);
            if (m > 0) RenderQueue_Services().hardwareDrawPolygon(view, clipped, m, texture, colour, flags);
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
    if (BuildTree(temp, part, Bsp_LevelOf(flags), RootMode::kDrawn, nullptr))
        DrawTree(view, temp, partToWorld, flags, depth + 1);
    FreeChain(temp);
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
    WalkBackToFront(tree.root, eye, s.stack, [&](const BspNode* node) {
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

void DrawTemporary(const RenderView* view, Entity* e, RootMode mode, uint32_t flags) {
    BspTree temp;
    if (BuildTree(temp, e, Bsp_LevelOf(flags), mode, nullptr)) {
        Matrix toWorld;
        Entity_GetTransformTo(toWorld, e, nullptr);
        DrawTree(view, temp, toWorld, flags, 0);
    }
    FreeChain(temp);
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
        DrawTemporary(view, item.entity, RootMode::kOnly, flags);
        return;
    }
    if (!(flags & 0x20)) Entity_DrawGroundShadow(record, view);
    if (!Render_Settings().bspCache || !item.entity->child) {
        DrawTemporary(view, item.entity, RootMode::kDrawn, flags);
        if (withMembers) DrawClusterMembers(view, record, flags);
        return;
    }
    const int level = Bsp_LevelOf(flags);
    // A record that may have moved (flag 0x8 clear) is sorted again for every draw.
    if (!(flags & 0x8) || !record->cacheBlocks || record->cacheLevel != level) Entity_ResetCache(record);
    if (BspCache_Build(record, level)) DrawTree(view, *TreeOf(record), item.entity->local, flags, 0);
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
    if (!BuildTree(*tree, record->entity, level, RootMode::kSplit, record)) {
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
    WalkBackToFront(BspCache_Root(record), eye, stack, [&](const BspNode* n) { visit(n, context); });
}

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
    if (view && item.entity) DrawTemporary(view, item.entity, RootMode::kOnly, flags);
}

void Entity_DrawDirect(const RenderView* view, const RenderEntityPayload& item, uint32_t flags) {
    if (view && item.entity) DrawTemporary(view, item.entity, RootMode::kDrawn, flags);
}
