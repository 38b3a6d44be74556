#include "collision/collision.h"

#include <algorithm>
#include <vector>

#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/seams/audio.h"
#include "core/seams/world.h"

namespace {

CollisionNode* g_heads[3] = {nullptr, nullptr, nullptr};
// The walk: the node it stands on and the list of that node.
CollisionNode* g_walkNode = nullptr;
int32_t g_walkList = kCollisionMoving;
// While the pair loop runs, a deleted record's node stays linked with its data cleared, so the
// loop can step from it; the pass frees such nodes when it ends.
bool g_inPass = false;
bool g_walkStepped = false;
bool g_deferred = false;

Vector WorldCentre(const EntityTableRecord* r) {
    const DVector w = Matrix_TransformPoint(r->localCentre, r->entity->local);
    return Vector{static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
}

Vector MotionOf(Entity* e) {
    Vector v{0.0f, 0.0f, 0.0f};
    Classfnc_GetMotion(e, &v, nullptr);
    return v;
}

CollisionNode* Link(CollisionListId list, EntityTableRecord* record) {
    auto* node = new (std::nothrow) CollisionNode{};
    if (!node) return nullptr;
    node->data = record;
    node->list = list;
    node->next = g_heads[list];
    if (node->next) node->next->prev = node;
    g_heads[list] = node;
    return node;
}

void FreeFloorPolys(CollisionNode* node) {
    for (FloorPolyNode* p = node->floorPolys; p;) {
        FloorPolyNode* next = p->next;
        delete p;
        p = next;
    }
    node->floorPolys = nullptr;
}

void Unlink(CollisionNode* node) {
    if (node->prev)
        node->prev->next = node->next;
    else
        g_heads[node->list] = node->next;
    if (node->next) node->next->prev = node->prev;
    FreeFloorPolys(node);
    delete node;
}

void FreeList(CollisionListId list) {
    for (CollisionNode* n = g_heads[list]; n;) {
        CollisionNode* next = n->next;
        FreeFloorPolys(n);
        delete n;
        n = next;
    }
    g_heads[list] = nullptr;
}

// Moves the walk one node on, from the moving list into the static list.
void WalkAdvance() {
    if (!g_walkNode) return;
    g_walkNode = g_walkNode->next;
    if (!g_walkNode && g_walkList == kCollisionMoving) {
        g_walkList = kCollisionStatic;
        g_walkNode = g_heads[kCollisionStatic];
    }
}

// Steps the walk past a node about to go. The walk then already stands on the record that
// follows, and the next Collision_NextEntity returns that record instead of skipping it.
void StepWalkPast(CollisionNode* node) {
    if (!node || g_walkNode != node) return;
    WalkAdvance();
    g_walkStepped = true;
}

void CollectFloorPolys(CollisionNode* node, Entity* e, bool onlyType9, int depth) {
    for (; e; e = e->next) {
        if (e->polySet && (!onlyType9 || e->type == 9)) {
            for (const CollisionPoly* p = e->polySet->first; p; p = p->next) {
                if (!(p->b > 0.4f)) continue;
                auto* f = new (std::nothrow) FloorPolyNode{p, e->polySet->vertices, node->floorPolys};
                if (f) node->floorPolys = f;
            }
        }
        if (depth < kEntityWalkStack) CollectFloorPolys(node, e->child, onlyType9, depth + 1);
    }
}

}  // namespace

int Entity_IsKind8To10(const Entity* e) { return e && e->type >= 8 && e->type <= 10 ? 1 : 0; }

void Collision_Init() {
    // A failed load may come back here without the teardown; the nodes it left are freed
    // without touching their (already cleared) records.
    FreeList(kCollisionMoving);
    FreeList(kCollisionStatic);
    FreeList(kCollisionWalkable);
    g_walkNode = nullptr;
    g_walkList = kCollisionMoving;
    g_walkStepped = false;
    Entities_AddNotify(Collision_OnEntityAdded);
    Entities_AddRemoveNotify([](EntityTableRecord* r) { DeleteCollisionEntity(r); });
}

void Collision_Shutdown() {
    for (CollisionListId list : {kCollisionMoving, kCollisionStatic, kCollisionWalkable}) {
        for (CollisionNode* n = g_heads[list]; n; n = n->next) {
            if (!n->data) continue;
            if (n->data->collisionNode == n) n->data->collisionNode = nullptr;
            if (n->data->floorNode == n) n->data->floorNode = nullptr;
        }
        FreeList(list);
    }
    g_walkNode = nullptr;
    g_walkList = kCollisionMoving;
    g_walkStepped = false;
}

void Collision_OnEntityAdded(EntityTableRecord* record) {
    if (!record || !record->entity) return;
    Collision_ChooseShape(record);
    if (record->shapeKind != kShapeNone && !record->collisionNode) {
        if (Entity_IsDynamic(record->entity->type)) {
            record->collisionNode = Link(kCollisionMoving, record);
        } else {
            record->collisionNode = Link(kCollisionStatic, record);
            Collision_SetStaticBox(record);
        }
    }
    Collision_FloorListAdd(record);
}

int DeleteCollisionEntity(EntityTableRecord* record) {
    if (!record || !record->entity) {
        Debug_Trace("DeleteCollisionEntity called with NULL entity or objkr\n");
        return 0;
    }
    if (CollisionNode* node = record->collisionNode) {
        StepWalkPast(node);
        if (record->shapeKind == kShapeParts) Collision_FreePolySets(record->entity);
        if (g_inPass) {
            node->data = nullptr;
            g_deferred = true;
        } else {
            Unlink(node);
        }
        record->collisionNode = nullptr;
    }
    Collision_FloorListRemove(record);
    return 1;
}

void Collision_UpdateSweptBox(EntityTableRecord* r) {
    const Vector c = WorldCentre(r);
    const float rad = r->radius;
    const float dt = Objkr_Services().frameTime();
    const Vector v = MotionOf(r->entity);
    const float end[3] = {c.x + v.x * dt, c.y + v.y * dt, c.z + v.z * dt};
    const float start[3] = {c.x, c.y, c.z};
    for (int i = 0; i < 3; ++i) {
        r->sweptBox[i] = (start[i] < end[i] ? start[i] : end[i]) - rad;
        r->sweptBox[i + 3] = (start[i] < end[i] ? end[i] : start[i]) + rad;
    }
}

void Collision_SetStaticBox(EntityTableRecord* r) {
    const Vector c = WorldCentre(r);
    r->worldCentre = c;
    const float rad = r->radius;
    r->sweptBox[0] = c.x - rad;
    r->sweptBox[1] = c.y - rad;
    r->sweptBox[2] = c.z - rad;
    r->sweptBox[3] = c.x + rad;
    r->sweptBox[4] = c.y + rad;
    r->sweptBox[5] = c.z + rad;
}

namespace {

bool g_broadPhase = true;

// A record's extent along x for the sweep; wild when the box gives no order along x (a NaN
// bound, or a maximum below its minimum): such a record is paired with every other one.
struct Span {
    float lo, hi;
    uint32_t index;
    bool moving;
};
bool Wild(const EntityTableRecord* r) { return !(r->sweptBox[0] <= r->sweptBox[3]); }

std::vector<CollisionNode*> g_moving, g_static;
std::vector<Span> g_spans;
std::vector<uint32_t> g_wildMoving, g_wildStatic;
std::vector<uint64_t> g_movingPairs, g_staticPairs;

uint64_t PairKey(uint32_t first, uint32_t second) { return uint64_t(first) << 32 | second; }

// The pair test's own first refusal on the other two axes: such a pair needs no place in the
// order at all.
bool ApartOnYZ(const EntityTableRecord* a, const EntityTableRecord* b) {
    for (int i = 1; i < 3; ++i)
        if (a->sweptBox[i + 3] < b->sweptBox[i] || a->sweptBox[i] > b->sweptBox[i + 3]) return true;
    return false;
}

// Every pair whose swept boxes can overlap along x, as (moving index, other index) keys sorted
// into the order the all-pairs walk meets them. Pairs apart along x never touch, so the
// remaining tests see exactly the pairs that walk would hand them, in the same order.
void CollectPairs() {
    g_moving.clear();
    g_static.clear();
    for (CollisionNode* n = g_heads[kCollisionMoving]; n; n = n->next) g_moving.push_back(n);
    for (CollisionNode* n = g_heads[kCollisionStatic]; n; n = n->next) g_static.push_back(n);
    g_spans.clear();
    g_wildMoving.clear();
    g_wildStatic.clear();
    g_movingPairs.clear();
    g_staticPairs.clear();
    auto add = [](const std::vector<CollisionNode*>& nodes, bool moving) {
        for (uint32_t i = 0; i < nodes.size(); ++i) {
            const EntityTableRecord* r = nodes[i]->data;
            if (!r) continue;  // left by a deletion; the walk skips it as well
            if (Wild(r))
                (moving ? g_wildMoving : g_wildStatic).push_back(i);
            else
                g_spans.push_back(Span{r->sweptBox[0], r->sweptBox[3], i, moving});
        }
    };
    add(g_moving, true);
    add(g_static, false);
    std::sort(g_spans.begin(), g_spans.end(), [](const Span& a, const Span& b) { return a.lo < b.lo; });
    for (size_t p = 0; p < g_spans.size(); ++p) {
        const Span& a = g_spans[p];
        const EntityTableRecord* ra = (a.moving ? g_moving : g_static)[a.index]->data;
        for (size_t q = p + 1; q < g_spans.size() && !(g_spans[q].lo > a.hi); ++q) {
            const Span& b = g_spans[q];
            if (!(a.moving || b.moving)) continue;
            if (ApartOnYZ(ra, (b.moving ? g_moving : g_static)[b.index]->data)) continue;
            if (a.moving && b.moving)
                g_movingPairs.push_back(PairKey(std::min(a.index, b.index), std::max(a.index, b.index)));
            else if (a.moving)
                g_staticPairs.push_back(PairKey(a.index, b.index));
            else if (b.moving)
                g_staticPairs.push_back(PairKey(b.index, a.index));
        }
    }
    const uint32_t movingCount = static_cast<uint32_t>(g_moving.size());
    for (uint32_t w : g_wildMoving) {
        for (uint32_t i = 0; i < movingCount; ++i) {
            if (i == w || !g_moving[i]->data) continue;
            // A pair of two wild records is added once.
            if (Wild(g_moving[i]->data) && i < w) continue;
            if (ApartOnYZ(g_moving[w]->data, g_moving[i]->data)) continue;
            g_movingPairs.push_back(PairKey(std::min(i, w), std::max(i, w)));
        }
        for (uint32_t s = 0; s < g_static.size(); ++s)
            if (g_static[s]->data && !ApartOnYZ(g_moving[w]->data, g_static[s]->data))
                g_staticPairs.push_back(PairKey(w, s));
    }
    for (uint32_t s : g_wildStatic)
        for (uint32_t i = 0; i < movingCount; ++i)
            if (g_moving[i]->data && !Wild(g_moving[i]->data) && !ApartOnYZ(g_moving[i]->data, g_static[s]->data))
                g_staticPairs.push_back(PairKey(i, s));
    std::sort(g_movingPairs.begin(), g_movingPairs.end());
    std::sort(g_staticPairs.begin(), g_staticPairs.end());
}

void PassAllPairs() {
    for (CollisionNode* a = g_heads[kCollisionMoving]; a; a = a->next) {
        for (CollisionNode* b = a->next; b && a->data; b = b->next) {
            if (b->data) Collision_TestPair(a->data, b->data);
        }
        for (CollisionNode* s = g_heads[kCollisionStatic]; s && a->data; s = s->next) {
            if (s->data) Collision_TestPair(a->data, s->data);
        }
    }
}

void PassSorted() {
    CollectPairs();
    CollisionNode* const staticHead = g_heads[kCollisionStatic];
    size_t m = 0, st = 0;
    for (uint32_t i = 0; i < g_moving.size(); ++i) {
        CollisionNode* a = g_moving[i];
        for (; m < g_movingPairs.size() && (g_movingPairs[m] >> 32) == i; ++m) {
            CollisionNode* b = g_moving[static_cast<uint32_t>(g_movingPairs[m])];
            if (!a->data) continue;
            if (b->data) Collision_TestPair(a->data, b->data);
        }
        if (g_heads[kCollisionStatic] != staticHead) {
            // A handler added a fixed record: the walk over the fixed list meets it too.
            for (; st < g_staticPairs.size() && (g_staticPairs[st] >> 32) == i; ++st) {}
            for (CollisionNode* s = g_heads[kCollisionStatic]; s && a->data; s = s->next)
                if (s->data) Collision_TestPair(a->data, s->data);
            continue;
        }
        for (; st < g_staticPairs.size() && (g_staticPairs[st] >> 32) == i; ++st) {
            CollisionNode* s = g_static[static_cast<uint32_t>(g_staticPairs[st])];
            if (!a->data) continue;
            if (s->data) Collision_TestPair(a->data, s->data);
        }
    }
}

}  // namespace

void Collision_SetBroadPhase(bool on) { g_broadPhase = on; }

void Collision_ProcessFrame() {
    if (!g_heads[kCollisionMoving]) return;
    for (CollisionNode* n = g_heads[kCollisionMoving]; n; n = n->next) Collision_UpdateSweptBox(n->data);
    g_inPass = true;
    if (g_broadPhase)
        PassSorted();
    else
        PassAllPairs();
    g_inPass = false;
    if (g_deferred) {
        g_deferred = false;
        for (CollisionListId list : {kCollisionMoving, kCollisionStatic}) {
            for (CollisionNode* n = g_heads[list]; n;) {
                CollisionNode* next = n->next;
                if (!n->data) Unlink(n);
                n = next;
            }
        }
    }
}

void Collision_TestPair(EntityTableRecord* a, EntityTableRecord* b) {
    if (!a || !b || !a->entity || !b->entity) return;
    for (int i = 0; i < 3; ++i) {
        if (a->sweptBox[i + 3] < b->sweptBox[i] || a->sweptBox[i] > b->sweptBox[i + 3]) return;
    }
    const float dt = Objkr_Services().frameTime();
    const float R = a->radius + b->radius;
    const Vector ca = WorldCentre(a), cb = WorldCentre(b);
    const Vector va = MotionOf(a->entity), vb = MotionOf(b->entity);
    if (!Collision_SweptSpheres(ca, va, cb, vb, R, dt, nullptr, nullptr)) return;

    CollisionBody first, second;  // A's and B's
    CollisionBody_Init(first);
    CollisionBody_Init(second);
    first.time = FLT_MAX;
    second.time = FLT_MAX;

    int hit = 0;
    if (a->shapeKind == kShapeBox) {
        CollisionBoxInput box;
        Collision_BoxInputFromRecord(box, a);
        hit = Collision_TestBox(box, b, dt, &second, &first);
    } else if (b->shapeKind == kShapeBox) {
        CollisionBoxInput box;
        Collision_BoxInputFromRecord(box, b);
        hit = Collision_TestBox(box, a, dt, &first, &second);
    } else {
        return;  // two spheres or hierarchies never make a contact
    }
    if (!hit) return;
    first.entity = a->entity;
    second.entity = b->entity;
    // A's handler gets (A, B, B's record, A's record), then B's handler the reverse.
    if (Classfnc_Collide(a->entity, b->entity, &second, &first)) Collision_PlayImpactSound(first, second);
}

const char* Collision_ImpactSoundName(int32_t type, float s) {
    if (!(s > 25.0f)) return nullptr;
    switch (type) {
    case 1:
    case 6:
        if (s > 1600.0f) return "vvch2.wav";
        if (s > 500.0f) return "vvcre2.wav";
        return "vvcbb3.wav";
    case 3:
    case 4:
        return nullptr;
    case 5:
    case 7:
        return "vnvco3.wav";
    case 10:
        return "vnvcs5.wav";
    default:
        return s > 500.0f ? "vnvcs3.wav" : "vnvcs1.wav";
    }
}

void Collision_PlayImpactSound(const CollisionBody& first, const CollisionBody& second) {
    Entity* player;
    Entity* struck;
    if (Entity_IsUser(second.entity)) {
        player = second.entity;
        struck = first.entity;
    } else if (Entity_IsUser(first.entity)) {
        player = first.entity;
        struck = second.entity;
    } else {
        return;
    }
    if (!struck) return;
    const Vector d{second.velocity.x - first.velocity.x, second.velocity.y - first.velocity.y,
                   second.velocity.z - first.velocity.z};
    const float s = d.x * d.x + d.y * d.y + d.z * d.z;
    if (const char* name = Collision_ImpactSoundName(struck->type, s)) Seam_Audio().soundPlayOnObject(name, player);
}

void Collision_TransformAll() {
    for (EntityTableRecord* r = Collision_FirstEntity(); r; r = Collision_NextEntity()) {
        if (r->entity) r->worldCentre = WorldCentre(r);
    }
}

namespace {
// From the walk's node on, the first node that still holds a record.
EntityTableRecord* WalkSettle() {
    while (g_walkNode && !g_walkNode->data) WalkAdvance();
    return g_walkNode ? g_walkNode->data : nullptr;
}
}  // namespace

EntityTableRecord* Collision_FirstEntity() {
    g_walkStepped = false;
    g_walkList = kCollisionMoving;
    g_walkNode = g_heads[kCollisionMoving];
    if (!g_walkNode) {
        g_walkList = kCollisionStatic;
        g_walkNode = g_heads[kCollisionStatic];
    }
    return WalkSettle();
}

EntityTableRecord* Collision_NextEntity() {
    if (!g_walkStepped) WalkAdvance();
    g_walkStepped = false;
    return WalkSettle();
}

int Collision_BoxesOverlap(const float box[6], const EntityTableRecord* r) {
    if (!box || !r) return 0;
    for (int i = 0; i < 3; ++i) {
        if (box[i + 3] < r->sweptBox[i] || box[i] > r->sweptBox[i + 3]) return 0;
    }
    return 1;
}

void Collision_FloorListAdd(EntityTableRecord* record) {
    if (!record || !record->entity || record->floorNode || !Entity_IsKind8To10(record->entity)) return;
    CollisionNode probe{};
    CollectFloorPolys(&probe, record->entity, record->entity->type == 8, 0);
    if (!probe.floorPolys) return;
    CollisionNode* node = Link(kCollisionWalkable, record);
    if (!node) {
        FreeFloorPolys(&probe);
        return;
    }
    node->floorPolys = probe.floorPolys;
    record->floorNode = node;
}

void Collision_FloorListRemove(EntityTableRecord* record) {
    if (!record || !record->floorNode) return;
    Unlink(record->floorNode);
    record->floorNode = nullptr;
}

void Collision_GetFloorHeight(double x, double y, double z, float* outHeight, Vector* outNormal) {
    float best = 0.0f;
    Vector normal{0.0f, 1.0f, 0.0f};
    Terrain_GetHeightNormal(x, z, &best, &normal);
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    for (CollisionNode* n = g_heads[kCollisionWalkable]; n; n = n->next) {
        const EntityTableRecord* r = n->data;
        if (!r || !r->entity) continue;
        const Vector c = WorldCentre(r);
        const float dx = fx - c.x, dz = fz - c.z;
        if (dx * dx + dz * dz > r->radius * r->radius) continue;
        for (const FloorPolyNode* f = n->floorPolys; f; f = f->next) {
            if (!Collision_PointInPolygonXZ(f->poly, f->vertices, fx, fz)) continue;
            const float h = Collision_PolyPlaneHeight(f->poly, fx, fz);
            if (h < y + 1.0 && h > best) {
                best = h;
                normal = Vector{f->poly->a, f->poly->b, f->poly->c};
            }
            break;  // the first polygon holding the point decides for this record
        }
    }
    if (outHeight) *outHeight = best;
    if (outNormal) *outNormal = normal;
}

int Collision_MovingCount() {
    int n = 0;
    for (CollisionNode* p = g_heads[kCollisionMoving]; p; p = p->next) ++n;
    return n;
}
int Collision_StaticCount() {
    int n = 0;
    for (CollisionNode* p = g_heads[kCollisionStatic]; p; p = p->next) ++n;
    return n;
}
int Collision_WalkableCount() {
    int n = 0;
    for (CollisionNode* p = g_heads[kCollisionWalkable]; p; p = p->next) ++n;
    return n;
}
CollisionNode* Collision_ListHead(CollisionListId list) { return g_heads[list]; }

void Collision_InstallSeam() {
    WorldSeam& s = Seam_World();
    s.collisionInit = Collision_Init;
    s.collisionShutdown = Collision_Shutdown;
    s.collisionProcessFrame = Collision_ProcessFrame;
    s.collisionTransformAll = Collision_TransformAll;
}
