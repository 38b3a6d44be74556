#include "Objkr/entitysvc.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "Objkr/classfnc.h"
#include "core/debug.h"

namespace {

// Applies fn to every descendant of e: its children and all their siblings, recursively.
template <typename Fn>
void ForEachDescendant(Entity* e, Fn&& fn) {
    for (Entity* c = e->child; c; c = c->next) {
        fn(c);
        ForEachDescendant(c, fn);
    }
}

template <typename Pred>
Entity* FindRecursive(Entity* e, Pred&& pred) {
    if (pred(e)) return e;
    for (Entity* c = e->child; c; c = c->next)
        if (Entity* found = FindRecursive(c, pred)) return found;
    return nullptr;
}

// Depth first below e (e itself first), a node's subtree before its later siblings; at most
// kEntityWalkStack levels are remembered.
template <typename Pred>
Entity* FindIterative(Entity* e, Pred&& pred) {
    if (!e) return nullptr;
    if (pred(e)) return e;
    Entity* stack[kEntityWalkStack];
    int depth = 0;
    bool warned = false;
    Entity* cur = e->child;
    while (cur) {
        if (pred(cur)) return cur;
        Entity* after = cur->next;
        if (cur->child) {
            if (depth < kEntityWalkStack) {
                stack[depth++] = after;
                cur = cur->child;
                continue;
            }
            if (!warned) {
                Debug_Printf("warning: entity tree deeper than %d levels; the deeper parts are not searched\n",
                             kEntityWalkStack);
                warned = true;
            }
        }
        cur = after;
        while (!cur && depth > 0) cur = stack[--depth];
    }
    return nullptr;
}

// ---- bounds -------------------------------------------------------------------------------

// Visits the level-0 vertices of e, its later siblings and their descendants, each brought
// into the frame `toFrame` after the local matrices down from `parentFrame`.
template <typename Fn>
void ForEachVertex(const Entity* first, const Matrix& parentFrame, Fn&& fn) {
    for (const Entity* n = first; n; n = n->next) {
        Matrix m;
        Matrix_Multiply(m, n->local, parentFrame);
        if (!(n->flags & kEntityNotDrawn)) {
            if (const Geometry* g = Entity_LevelZeroGeometry(n)) {
                if (g->vertices) {
                    for (int i = 0; i < g->vertexCount; ++i) {
                        DVector p = Matrix_TransformPoint(g->vertices[i], m);
                        fn(p);
                    }
                }
            }
        }
        if (n->child) ForEachVertex(n->child, m, fn);
    }
}

// The frame that brings the entity's parent frame into the entity's own frame.
Matrix InverseOf(const Entity* e) {
    Matrix inv;
    Matrix_Invert(inv, e->local);
    return inv;
}

// ---- caches -------------------------------------------------------------------------------
EntityCacheEntry g_cache[kEntityCacheSize];
int32_t g_cacheHeads[kEntityCacheHeads];
int g_cacheCount = 0;
int g_cacheMax = 0;
EntityCacheEntry g_cacheScratch;

EntityPairEntry g_pairs[kPairCacheSize];
int32_t g_pairHeads[kPairCacheHeads];
int g_pairCount = 0;
int g_pairMax = 0;
EntityPairEntry g_pairScratch;

bool g_cachesInitialised = false;

void EnsureCaches() {
    if (!g_cachesInitialised) EntityPairs_Reset();
}

uint32_t AddressKey(const Entity* e) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(e)); }

float Heading(float dx, float dz) {
    if (dx == 0.0f && dz == 0.0f) return 0.0f;
    return std::atan2(dx, dz);
}

void FillCacheEntry(EntityCacheEntry& entry, const Entity* e) {
    entry.entity = e;
    entry.heading = Heading(e->local.front.x, e->local.front.z);
    entry.heading2 = entry.heading;
    float cr[4];
    EntityRec_GetCentreAndRadius(cr, e);
    entry.centre = Vector{cr[0], cr[1], cr[2]};
    entry.radius = cr[3];
    entry.next = -1;
}

const EntityCacheEntry* FindOrAddEntity(const Entity* e) {
    if (const EntityCacheEntry* found = EntityCache_Find(e)) return found;
    return EntityCache_Add(e);
}

const EntityPairEntry* FindOrAddPair(const Entity* a, const Entity* b) {
    // Ordered by address: the pair (a, b) and the pair (b, a) share one entry.
    const bool aLow = std::less<const Entity*>()(a, b);
    const Entity* low = aLow ? a : b;
    const Entity* high = aLow ? b : a;
    if (const EntityPairEntry* found = EntityPairs_Find(low, high)) return found;
    return EntityPairs_Add(high, low);
}

}  // namespace

// ---- linking and counting -----------------------------------------------------------------

void Entity_Unlink(Entity* e) {
    if (!e) return;
    Entity* up = e->up;
    if (up) {
        if (up->child == e)
            up->child = e->next;
        else if (up->next == e)
            up->next = e->next;
    }
    if (e->next) e->next->up = up;
    e->up = nullptr;
    e->next = nullptr;
}

void Entity_AttachChild(Entity* child, Entity* parent) {
    if (!child || !parent) return;
    child->next = parent->child;
    if (parent->child) parent->child->up = child;
    parent->child = child;
    child->up = parent;
    child->state = parent->state;
    Entity_AddToCounts(child, int(parent->useCount) - 1);
}

void Entity_Detach(Entity* e) {
    if (!e) return;
    if (Entity* p = Entity_GetParent(e)) Entity_AddToCounts(e, -(int(p->useCount) - 1));
    Entity_Unlink(e);
}

void Entity_AddToCounts(Entity* e, int n) {
    if (!e) return;
    e->useCount = static_cast<uint16_t>(e->useCount + n);
    ForEachDescendant(e, [n](Entity* d) { d->useCount = static_cast<uint16_t>(d->useCount + n); });
}

void Entity_AddRefTree(Entity* e) { Entity_AddToCounts(e, 1); }

void Entity_Unref(Entity* e) {
    if (!e) return;
    if (e->useCount > 1)
        Entity_AddToCounts(e, -1);
    else
        Entity_Release(e);
}

Entity* Entity_UnrefIfShared(Entity* e) {
    if (!e) return nullptr;
    if (e->state == kEntityReleased) {
        Entity_Unref(e);
        return nullptr;
    }
    return e;
}

int Entity_Release(Entity* e) {
    if (!e) return 0;
    Entity* parent = Entity_GetParent(e);
    int n = parent ? parent->useCount : 1;
    Entity_Unlink(e);
    return Entity_ReleaseTree(e, 1, n);
}

int Entity_ReleaseTree(Entity* e, int depth, int n) {
    if (!e) return 0;
    if (e->child) Entity_ReleaseTree(e->child, depth + 1, n);
    if (depth > 1 && e->next) Entity_ReleaseTree(e->next, depth + 1, n);
    int remaining = int(e->useCount) - n;
    if (remaining < 0) remaining = 0;
    e->useCount = static_cast<uint16_t>(remaining);
    e->id = 0;
    e->state = kEntityReleased;
    if (remaining == 0) Entity_FreeRecord(e);
    return remaining;
}

void Entity_FreeRecord(Entity* e) {
    if (!e) return;
    Entity_Unlink(e);
    // Children still held elsewhere become roots of their own.
    if (e->child) e->child->up = nullptr;
    e->child = nullptr;
    Classfnc_FreeData(e->type, e->classData);
    e->classData = nullptr;
    e->type = 0;
    EntityServices& s = Objkr_Services();
    s.freeGeomList(e);
    s.unbindTexture(e);
    if (e->flags & kEntityHasLight) s.removeLight(e);
    e->id = 0;
    EntityAlloc_Recycle(e);
}

// ---- walks and lookups --------------------------------------------------------------------

Entity* Entity_GetParent(const Entity* e) {
    if (!e) return nullptr;
    const Entity* cur = e;
    while (Entity* up = cur->up) {
        if (up->child == cur) return up;
        cur = up;
    }
    return nullptr;
}

Entity* Entity_GetRoot(const Entity* e) {
    if (!e) return nullptr;
    const Entity* cur = e;
    while (cur->up) cur = cur->up;
    return const_cast<Entity*>(cur);
}

Entity* Entity_FindType(Entity* e, int32_t type) {
    if (!e) return nullptr;
    return FindRecursive(e, [type](const Entity* x) { return x->type == type; });
}

Entity* Entity_FindTypeIter(Entity* e, int32_t type) {
    return FindIterative(e, [type](const Entity* x) { return x->type == type; });
}

Entity* Entity_FindFlag(Entity* e, uint32_t bits) {
    if (!e) return nullptr;
    return FindRecursive(e, [bits](const Entity* x) { return (x->flags & bits) != 0; });
}

void Entity_SetFlagTree(Entity* e, uint32_t bits) {
    if (!e) return;
    e->flags |= bits;
    ForEachDescendant(e, [bits](Entity* d) { d->flags |= bits; });
}

void Entity_ClearFlagTree(Entity* e, uint32_t bits) {
    if (!e) return;
    e->flags &= ~bits;
    ForEachDescendant(e, [bits](Entity* d) { d->flags &= ~bits; });
}

int Entity_IsDynamic(int32_t type) { return type == 1 || type == 3 || type == 4 || type == 6; }
int Entity_IsDynamicSafe(const Entity* e) { return e ? Entity_IsDynamic(e->type) : 0; }
int Entity_IsStatic(int32_t type) { return type == 2 || type == 5 || type == 7 || type == 8 || type == 10; }
int Entity_IsCraft(int32_t type) { return type == 1 || type == 6; }
int Entity_IsUser(const Entity* e) { return e && (e->flags & kEntityUser) ? 1 : 0; }
int Entity_IsNotUser(const Entity* e) { return Entity_IsUser(e) ? 0 : 1; }

void Entity_SetCockpitPart(Entity* e) {
    if (!e || !Entity_IsCraft(e->type) || !e->classData) return;
    auto* body = static_cast<PhysBody*>(e->classData);
    body->cockpitPart = nullptr;
    for (Entity* c = e->child; c && !body->cockpitPart; c = c->next)
        body->cockpitPart = Entity_FindTypeIter(c, kTypeCockpitPart);
    if (Entity_IsUser(e)) Objkr_Services().cameraReset(1);
}

// ---- transforms ---------------------------------------------------------------------------

void Entity_GetTransformTo(Matrix& out, const Entity* e, const Entity* ancestor) {
    if (!e || e == ancestor) {
        out = kIdentityMatrix;
        return;
    }
    Matrix acc = e->local;
    for (const Entity* p = Entity_GetParent(e); p && p != ancestor; p = Entity_GetParent(p))
        Matrix_Multiply(acc, acc, p->local);
    out = acc;
}

int Entity_GetTransformToType(Entity* e, Matrix& out, int32_t type) {
    if (!e) return 0;
    Entity* found = Entity_FindTypeIter(e, type);
    if (!found || found == e) return 0;
    Entity_GetTransformTo(out, found, e);
    return 1;
}

void Entity_GetWorldPos(float out[3], const Entity* e) {
    Matrix m;
    Entity_GetTransformTo(m, e, nullptr);
    Entity_GetPosition(out, m);
}

void Entity_GetPosition(float out[3], const Matrix& m) {
    out[0] = float(m.posit.x);
    out[1] = float(m.posit.y);
    out[2] = float(m.posit.z);
}

void Entity_SetPosition(Matrix& m, const float in[3]) { m.posit = DVector{in[0], in[1], in[2]}; }

int Angle_Octant(float a, float b) {
    float v = (b - a + 6.6758842f) * 1.2732395f;
    if (!std::isfinite(v)) return 0;
    double f = std::floor(double(v));
    // Reduce before converting so that huge angles stay defined.
    f = std::fmod(f, 8.0);
    return static_cast<int>(static_cast<long long>(f)) & 7;
}

// ---- bounds -------------------------------------------------------------------------------

const Geometry* Entity_LevelZeroGeometry(const Entity* e) {
    const GeomList& list = e->geomList;
    if (list.items && list.count > 0) {
        int32_t key = list.currentKey & ~0xFFFF;
        for (int i = 0; i < list.count; ++i)
            if (list.items[i].key == key) return list.items[i].geometry;
    }
    return e->geometry;
}

void Entity_ComputeExtents(const Entity* e, Vector& min, Vector& max) {
    min = Vector{kExtentsEmpty, kExtentsEmpty, kExtentsEmpty};
    max = Vector{-kExtentsEmpty, -kExtentsEmpty, -kExtentsEmpty};
    if (!e) return;
    Matrix inv = InverseOf(e);
    ForEachVertex(e, inv, [&](const DVector& p) {
        float x = float(p.x), y = float(p.y), z = float(p.z);
        if (x < min.x) min.x = x;
        if (y < min.y) min.y = y;
        if (z < min.z) min.z = z;
        if (x > max.x) max.x = x;
        if (y > max.y) max.y = y;
        if (z > max.z) max.z = z;
    });
}

float Entity_ComputeRadius(const Entity* e, float x, float y, float z) {
    if (!e) return 0.0f;
    Matrix frame = InverseOf(e);
    frame.posit.x -= x;
    frame.posit.y -= y;
    frame.posit.z -= z;
    float best = 0.0f;
    ForEachVertex(e, frame, [&](const DVector& p) {
        float px = float(p.x), py = float(p.y), pz = float(p.z);
        float sq = px * px + py * py + pz * pz;
        if (sq > best) best = sq;
    });
    return std::sqrt(best);
}

// ---- per-frame caches ---------------------------------------------------------------------

void EntityPairs_Reset() {
    for (int32_t& h : g_pairHeads) h = -1;
    for (int32_t& h : g_cacheHeads) h = -1;
    if (g_cacheCount > g_cacheMax) g_cacheMax = g_cacheCount;
    if (g_pairCount > g_pairMax) g_pairMax = g_pairCount;
    g_cacheCount = 0;
    g_pairCount = 0;
    g_cachesInitialised = true;
}

uint32_t EntityCache_Bucket(const Entity* e) { return (AddressKey(e) * 1741u + 2731u) % kEntityCacheHeads; }

uint32_t EntityPairs_Bucket(const Entity* low, const Entity* high) {
    return ((AddressKey(low) ^ AddressKey(high)) * 1741u + 2731u) % kPairCacheHeads;
}

const EntityCacheEntry* EntityCache_Find(const Entity* e) {
    if (!e) return nullptr;
    EnsureCaches();
    for (int32_t i = g_cacheHeads[EntityCache_Bucket(e)]; i >= 0; i = g_cache[i].next)
        if (g_cache[i].entity == e) return &g_cache[i];
    return nullptr;
}

const EntityCacheEntry* EntityCache_Add(const Entity* e) {
    if (!e) return nullptr;
    EnsureCaches();
    if (g_cacheCount >= kEntityCacheSize) {
        FillCacheEntry(g_cacheScratch, e);
        return &g_cacheScratch;
    }
    int32_t index = g_cacheCount++;
    if (g_cacheCount > g_cacheMax) g_cacheMax = g_cacheCount;
    EntityCacheEntry& entry = g_cache[index];
    FillCacheEntry(entry, e);
    uint32_t bucket = EntityCache_Bucket(e);
    entry.next = g_cacheHeads[bucket];
    g_cacheHeads[bucket] = index;
    return &entry;
}

float EntityCache_GetHeading(const Entity* e) {
    const EntityCacheEntry* c = FindOrAddEntity(e);
    return c ? c->heading : 0.0f;
}

float EntityCache_GetHeading2(const Entity* e) {
    const EntityCacheEntry* c = FindOrAddEntity(e);
    return c ? c->heading2 : 0.0f;
}

void EntityCache_GetCentre(Vector& out, const Entity* e) {
    const EntityCacheEntry* c = FindOrAddEntity(e);
    out = c ? c->centre : Vector{0.0f, 0.0f, 0.0f};
}

float EntityCache_GetRadius(const Entity* e) {
    const EntityCacheEntry* c = FindOrAddEntity(e);
    return c ? c->radius : 0.0f;
}

const EntityPairEntry* EntityPairs_Find(const Entity* low, const Entity* high) {
    if (!low || !high) return nullptr;
    EnsureCaches();
    for (int32_t i = g_pairHeads[EntityPairs_Bucket(low, high)]; i >= 0; i = g_pairs[i].next)
        if (g_pairs[i].low == low && g_pairs[i].high == high) return &g_pairs[i];
    return nullptr;
}

const EntityPairEntry* EntityPairs_Add(const Entity* high, const Entity* low) {
    if (!low || !high) return nullptr;
    EnsureCaches();
    // Both centres are copied before anything else is added: a full entity cache hands out
    // one shared scratch entry.
    Vector l, h;
    EntityCache_GetCentre(l, low);
    EntityCache_GetCentre(h, high);
    EntityPairEntry entry{};
    entry.low = low;
    entry.high = high;
    float dx = h.x - l.x, dy = h.y - l.y, dz = h.z - l.z;
    entry.groundDistance = std::sqrt(dx * dx + dz * dz);
    entry.distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    entry.headingLowToHigh = Heading(dx, dz);
    entry.headingHighToLow = Heading(-dx, -dz);
    entry.lowToHigh = Vector{dx, dy, dz};
    entry.highToLow = Vector{-dx, -dy, -dz};
    entry.next = -1;
    if (g_pairCount >= kPairCacheSize) {
        g_pairScratch = entry;
        return &g_pairScratch;
    }
    int32_t index = g_pairCount++;
    if (g_pairCount > g_pairMax) g_pairMax = g_pairCount;
    uint32_t bucket = EntityPairs_Bucket(low, high);
    entry.next = g_pairHeads[bucket];
    g_pairs[index] = entry;
    g_pairHeads[bucket] = index;
    return &g_pairs[index];
}

float EntityPairs_GetValue(const Entity* a, const Entity* b) {
    const EntityPairEntry* p = (a && b) ? FindOrAddPair(a, b) : nullptr;
    return p ? p->groundDistance : 0.0f;
}

float EntityPairs_GetDistance3D(const Entity* a, const Entity* b) {
    const EntityPairEntry* p = (a && b) ? FindOrAddPair(a, b) : nullptr;
    return p ? p->distance : 0.0f;
}

float EntityPairs_GetHeading(const Entity* a, const Entity* b) {
    const EntityPairEntry* p = (a && b) ? FindOrAddPair(a, b) : nullptr;
    if (!p) return 0.0f;
    return p->low == a ? p->headingLowToHigh : p->headingHighToLow;
}

void EntityPairs_GetVector(Vector& out, const Entity* a, const Entity* b) {
    const EntityPairEntry* p = (a && b) ? FindOrAddPair(a, b) : nullptr;
    if (!p) {
        out = Vector{0.0f, 0.0f, 0.0f};
        return;
    }
    out = p->low == a ? p->lowToHigh : p->highToLow;
}

int EntityCache_Count() { return g_cacheCount; }
int EntityCache_MaxCount() { return g_cacheMax; }
int EntityPairs_Count() { return g_pairCount; }
int EntityPairs_MaxCount() { return g_pairMax; }
void EntityCaches_ResetAll() {
    EntityPairs_Reset();
    g_cacheMax = 0;
    g_pairMax = 0;
}

// ---- craft physics record -----------------------------------------------------------------

PhysBody* PhysBody_New() {
    auto* body = new PhysBody{};
    EntityDynamics_Init(body->dynamics);
    EntityDynamics_SetMass(body->dynamics, 1500.0f, 1500.0f);
    CollisionBody_Init(body->contact);
    return body;
}

void PhysBody_Free(PhysBody* body) {
    if (!body) return;
    if (body->owner) {
        void* owner = body->owner;
        body->owner = nullptr;
        if (auto destroy = Classfnc_Owners().destroyPhysOwner) destroy(owner);
    }
    delete body;
}
