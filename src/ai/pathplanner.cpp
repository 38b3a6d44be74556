#include "ai/pathplanner.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "ai/coarsesearch.h"
#include "ai/pathgrid.h"
#include "ai/pathregions.h"
#include "core/debug.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace {

constexpr int kMaxExpansions = 499999;
constexpr int kMaxTries = 16;

struct HeapEntry {
    float key;  // estimated total: the least comes first
    PathRegion* region;
};

struct Planner {
    bool ready = false;
    float costs[kPathClassCount] = {};
    int moverType = -1, side = -1;
    std::vector<PathRegion*> touched;
    std::vector<PathRegion*> successors;
    std::vector<HeapEntry> heap;  // the region's spare field holds its position while inside
    int heapCapacity = kPathHeapCapacity;
    bool heapFull = false;
    bool poolEmpty = false;
    PathRegion* startRegion = nullptr;
    PathRegion* goalRegion = nullptr;
    const PathResult* current = nullptr;
    int lastTouched = 0;
    PathDebugLine line = nullptr;
};

Planner g_p;

float Cost(int cls) { return cls >= 0 && cls < kPathClassCount ? g_p.costs[cls] : kPathCostBlocked; }
bool Blocked(int cls) { return Cost(cls) >= kPathCostBlocked; }
float Dist(float ax, float az, float bx, float bz) { return std::hypot(bx - ax, bz - az); }

// ---- open heap -------------------------------------------------------------------------------
void HeapSet(int i, HeapEntry e) {
    g_p.heap[static_cast<size_t>(i)] = e;
    e.region->spare = i;
}
void HeapUp(int i) {
    HeapEntry e = g_p.heap[static_cast<size_t>(i)];
    while (i > 0) {
        const int parent = (i - 1) / 2;
        if (!(e.key < g_p.heap[static_cast<size_t>(parent)].key)) break;
        HeapSet(i, g_p.heap[static_cast<size_t>(parent)]);
        i = parent;
    }
    HeapSet(i, e);
}
void HeapDown(int i) {
    const int n = static_cast<int>(g_p.heap.size());
    HeapEntry e = g_p.heap[static_cast<size_t>(i)];
    for (;;) {
        int child = 2 * i + 1;
        if (child >= n) break;
        if (child + 1 < n && g_p.heap[static_cast<size_t>(child + 1)].key < g_p.heap[static_cast<size_t>(child)].key)
            ++child;
        if (!(g_p.heap[static_cast<size_t>(child)].key < e.key)) break;
        HeapSet(i, g_p.heap[static_cast<size_t>(child)]);
        i = child;
    }
    HeapSet(i, e);
}
// False (and nothing pushed) when the heap is full.
bool HeapPush(float key, PathRegion* r) {
    if (static_cast<int>(g_p.heap.size()) >= g_p.heapCapacity) {
        g_p.heapFull = true;
        return false;
    }
    g_p.heap.push_back(HeapEntry{key, r});
    HeapUp(static_cast<int>(g_p.heap.size()) - 1);
    return true;
}
PathRegion* HeapPop() {
    if (g_p.heap.empty()) return nullptr;
    PathRegion* top = g_p.heap.front().region;
    const HeapEntry last = g_p.heap.back();
    g_p.heap.pop_back();
    if (!g_p.heap.empty()) {
        HeapSet(0, last);
        HeapDown(0);
    }
    top->spare = 0;
    return top;
}
void HeapRemove(PathRegion* r) {
    const int i = r->spare;
    if (i < 0 || i >= static_cast<int>(g_p.heap.size()) || g_p.heap[static_cast<size_t>(i)].region != r) return;
    const HeapEntry last = g_p.heap.back();
    g_p.heap.pop_back();
    if (i < static_cast<int>(g_p.heap.size())) {
        HeapSet(i, last);
        HeapUp(i);
        HeapDown(g_p.heap[static_cast<size_t>(i)].region->spare);
    }
    r->spare = 0;
}

// ---- helpers ---------------------------------------------------------------------------------
// Below the low bound gives the low bound, else above the high bound gives the high bound.
float ClampLowFirst(float v, float lo, float hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}
void ClampInto(const PathRegion* r, float x, float z, float* ox, float* oz) {
    *ox = ClampLowFirst(x, r->x1, r->x2 - 0.01f);
    *oz = ClampLowFirst(z, r->z1, r->z2 - 0.01f);
}
float Margin(float length) { return length >= 3.0f ? 1.5f : length >= 2.0f ? 1.0f : 0.5f; }

PathResult* NewResult(int status, float x1, float z1, float x2, float z2) {
    auto* r = new PathResult;
    r->status = status;
    r->points = {PathPoint{x1, z1, nullptr, 0}, PathPoint{x2, z2, nullptr, 0}};
    r->lastX = x2;
    r->lastZ = z2;
    return r;
}

PathRegion* Clone(const PathRegion* of) {
    PathRegion* c = PathRegion_Take(true);
    if (!c) {
        g_p.poolEmpty = true;
        return nullptr;
    }
    const int links = c->links;
    *c = *of;
    c->id = -1;
    c->links = links;
    c->spare = 0;
    c->inHeap = 0;
    g_p.touched.push_back(c);
    return c;
}

void ResetNodes() {
    for (PathRegion* r : g_p.touched) {
        if (r->id == -1) {
            PathRegion_Recycle(r);
            continue;
        }
        r->isJoin = r->inHeap = r->backward = r->isCorner = r->visited = 0;
        r->g = 0.0f;
        r->spare = 0;
        r->next = r->other = nullptr;
    }
    g_p.lastTouched = static_cast<int>(g_p.touched.size());
    g_p.touched.clear();
    g_p.successors.clear();
    g_p.heap.clear();
    g_p.current = nullptr;
}

// Which side of `of` touches `to`: 0 left, 1 bottom, 2 right, 3 top.
int SideTouching(const PathRegion* of, const PathRegion* to) {
    if (to->x2 == of->x1) return 0;
    if (to->z2 == of->z1) return 1;
    if (to->x1 == of->x2) return 2;
    return 3;
}

// R's crossing on its side touching B, on the line from `from` (A, or the first of two corners
// just inserted) to B, kept a margin from the ends of the shared stretch.
}  // namespace

void PathPlanner_AdjustCrossing(const PathRegion* b, PathRegion* r, float fromX, float fromZ, PathRegion* alsoCorner) {
    const int side = SideTouching(r, b);
    auto guard = [](float d) { return std::fabs(d) < 0.00001f ? (d < 0 ? -0.00001f : 0.00001f) : d; };
    if (side == 0 || side == 2) {
        const float lineX = side == 0 ? r->x1 : r->x2;
        const float z = fromZ + (lineX - fromX) * (b->pz - fromZ) / guard(b->px - fromX);
        const float lo = std::max(r->z1, b->z1), hi = std::min(r->z2, b->z2);
        const float m = Margin(hi - lo);
        r->pz = ClampLowFirst(z, lo + m, hi - m);
        if (alsoCorner) alsoCorner->pz = r->pz;
    } else {
        const float lineZ = side == 1 ? r->z1 : r->z2;
        const float x = fromX + (lineZ - fromZ) * (b->px - fromX) / guard(b->pz - fromZ);
        const float lo = std::max(r->x1, b->x1), hi = std::min(r->x2, b->x2);
        const float m = Margin(hi - lo);
        r->px = ClampLowFirst(x, lo + m, hi - m);
        if (alsoCorner) alsoCorner->px = r->px;
    }
}

// When the route enters and leaves B through one side, two corner points set into B from it
// go between R and B. Returns the second corner (null when none).
PathRegion* PathPlanner_InsertCorners(PathRegion* b, PathRegion* r) {
    const PathRegion* c = b->next;
    if (!c) return nullptr;
    auto facing = [&](const PathRegion* n) {
        if (n->x2 == b->x1) return 0;
        if (n->z2 == b->z1) return 1;
        if (n->x1 == b->x2) return 2;
        return 3;
    };
    const int side = facing(r);
    if (side != facing(c)) return nullptr;
    const float m = Margin(side == 0 || side == 2 ? b->x2 - b->x1 : b->z2 - b->z1);
    PathRegion* k1 = Clone(b);
    if (!k1) return nullptr;
    PathRegion* k2 = Clone(b);
    if (!k2) return nullptr;  // k1 sits in the touched list and goes back at the reset
    for (PathRegion* k : {k1, k2}) {
        k->isCorner = 1;
        k->isJoin = 0;
        k->other = b;
    }
    switch (side) {
        case 0: k1->px = k2->px = b->x1 + m; k1->pz = r->pz; k2->pz = b->pz; break;
        case 1: k1->pz = k2->pz = b->z1 + m; k1->px = r->px; k2->px = b->px; break;
        case 2: k1->px = k2->px = b->x2 - m; k1->pz = r->pz; k2->pz = b->pz; break;
        default: k1->pz = k2->pz = b->z2 - m; k1->px = r->px; k2->px = b->px; break;
    }
    r->next = k1;
    k1->next = k2;
    k2->next = b;
    return k2;
}

namespace {

void BuildPath(PathRegion* join, PathResult* result) {
    result->status |= kPathChainBuilt;
    PathRegion* c;
    PathRegion* r;
    if (join->backward) {
        c = join->other;
        r = join->next;
    } else {
        c = join->next;
        r = join->other;
    }
    size_t guard = g_p.touched.size() + 2;  // the chain holds touched regions only
    while (r && r != g_p.goalRegion && guard-- > 0) {
        PathRegion* following = r->next;
        r->next = c;
        ClampInto(r, c->px, c->pz, &r->px, &r->pz);
        c = r;
        r = following;
    }
    PathRegion* goal = g_p.goalRegion;
    const int links = join->links;
    *join = *goal;
    join->isJoin = 1;
    join->id = -1;
    join->links = links;
    join->spare = 0;
    ClampInto(goal, c->px, c->pz, &join->px, &join->pz);
    goal->next = join;
    join->next = c;

    // Smoothing from the goal toward the start.
    PathRegion* a = goal;
    PathRegion* cornerFrom = nullptr;  // the first of two corners just inserted
    PathRegion* cornerTo = nullptr;    // the second
    PathRegion* rr = goal->next;
    guard = 2 * g_p.touched.size() + 2;
    while (rr && rr != g_p.startRegion && guard-- > 0) {
        PathRegion* b = rr->next;
        if (!b) break;
        if (cornerTo && a == cornerTo)
            PathPlanner_AdjustCrossing(b, rr, cornerFrom->px, cornerFrom->pz, cornerTo);
        else
            PathPlanner_AdjustCrossing(b, rr, a->px, a->pz, nullptr);
        cornerFrom = cornerTo = nullptr;
        if (b != g_p.startRegion) {
            if (PathRegion* second = PathPlanner_InsertCorners(b, rr)) {
                cornerFrom = rr->next;
                cornerTo = second;
                a = second;
                rr = b;
                continue;
            }
        }
        a = rr;
        rr = b;
    }

    const float mpc = PathGrid_MetresPerCell();
    result->points.clear();
    guard = g_p.touched.size() + 2;
    for (PathRegion* e = goal; e && guard-- > 0; e = e->next) {
        const bool clone = e->id == -1;
        result->points.push_front(PathPoint{e->px * mpc, e->pz * mpc, clone ? nullptr : e, clone ? 0 : e->id});
        if (e == g_p.startRegion) break;
    }
    result->status = 0;
    result->lastX = result->points.back().x;
    result->lastZ = result->points.back().z;
}

PathRegion* FarEnd(const PathRegion* r) { return r->backward ? g_p.startRegion : g_p.goalRegion; }

// Fills the result (points in cells on entry); the regions keep their marks until ResetNodes.
void BidirectionalSearch(PathResult* result, PathRegion* s, PathRegion* g) {
    const float sx = result->points[0].x, sz = result->points[0].z;
    const float gx = result->points[1].x, gz = result->points[1].z;
    g_p.startRegion = s;
    g_p.goalRegion = g;
    g_p.heapFull = g_p.poolEmpty = false;
    g_p.touched.push_back(s);
    g_p.touched.push_back(g);
    s->px = sx;
    s->pz = sz;
    g->px = gx;
    g->pz = gz;
    g->backward = 1;
    s->g = g->g = 0.0f;
    s->visited = g->visited = 1;
    const float h = Dist(sx, sz, gx, gz) + 0.0001f;
    HeapPush(h, s);
    HeapPush(h, g);
    s->inHeap = g->inHeap = 1;
    int open[2] = {1, 1};
    int expansions = 1;
    auto fail = [&] {
        const float mpc = PathGrid_MetresPerCell();
        result->status = kPathFailed;
        result->points = {PathPoint{sx * mpc, sz * mpc, nullptr, 0}, PathPoint{gx * mpc, gz * mpc, nullptr, 0}};
        result->lastX = gx * mpc;
        result->lastZ = gz * mpc;
    };
    for (;;) {
        PathRegion* p = HeapPop();
        if (!p) return fail();
        p->inHeap = 0;
        --open[p->backward];
        if (p->isJoin) return BuildPath(p, result);

        g_p.successors.clear();
        if (p != FarEnd(p)) {
            for (int i = PathRegion_GetLinks(p); i >= 0; i = PathLink_At(i).nextIndex) {
                PathRegion* n = PathLink_At(i).region;
                if (n == p->next) continue;
                float cx, cz;
                ClampInto(n, p->px, p->pz, &cx, &cz);
                PathRegion* successor = nullptr;
                if (n->visited && n->backward == p->backward) {
                    if (Blocked(p->cls)) continue;
                    if (p->g + Dist(p->px, p->pz, cx, cz) * Cost(p->cls) <= n->g) {
                        n->px = cx;
                        n->pz = cz;
                        successor = n;
                    }
                } else if (n->visited) {
                    PathRegion* j = Clone(n);
                    if (!j) return fail();
                    j->visited = 0;
                    j->px = cx;
                    j->pz = cz;
                    j->isJoin = 1;
                    j->other = n;
                    successor = j;
                } else {
                    if (Blocked(n->cls)) continue;
                    g_p.touched.push_back(n);
                    n->px = cx;
                    n->pz = cz;
                    n->backward = p->backward;
                    successor = n;
                }
                if (successor && std::find(g_p.successors.begin(), g_p.successors.end(), successor) == g_p.successors.end())
                    g_p.successors.push_back(successor);
            }
        }
        const PathRegion* far = FarEnd(p);
        for (PathRegion* sr : g_p.successors) {
            sr->next = p;
            sr->g = p->g + Dist(p->px, p->pz, sr->px, sr->pz) * Cost(p->cls);
            float estimate;
            if (sr->visited) {
                estimate = Dist(sr->px, sr->pz, far->px, far->pz) + 0.0001f;
                if (sr->inHeap) {
                    HeapRemove(sr);
                    if (!HeapPush(estimate + sr->g, sr)) return fail();
                    continue;
                }
            } else {
                sr->visited = 1;
                if (sr->isJoin) {
                    sr->backward = p->backward;
                    if (static_cast<int>(g_p.touched.size()) < kPathNodeBudget)
                        estimate = Dist(sr->px, sr->pz, sr->other->px, sr->other->pz) * Cost(sr->cls) + sr->other->g;
                    else
                        estimate = Dist(sr->px, sr->pz, far->px, far->pz) + 0.0001f + sr->other->g;
                } else {
                    estimate = Dist(sr->px, sr->pz, far->px, far->pz) + 0.0001f;
                }
            }
            if (!HeapPush(estimate + sr->g, sr)) return fail();
            ++open[sr->backward];
            sr->inHeap = 1;
        }
        if (open[0] <= 0 || open[1] <= 0 || ++expansions > kMaxExpansions) return fail();
    }
}

PathResult* EscapeBlockedStart(const Vector& start, const Vector& goal) {
    (void)goal;
    PathRegion** found = nullptr;
    const int count = PathPlanner_RegionsInRect(start.x - 50.0f, start.z - 50.0f, start.x + 50.0f, start.z + 50.0f, &found);
    std::vector<PathRegion*> candidates(found, found + count);
    PathResult* result = NewResult(kPathSearchAttached, start.x, start.z, start.x, start.z);
    const float mpc = PathGrid_MetresPerCell();
    struct Shrunk {
        float x1, z1, x2, z2;
    };
    auto shrunk = [&](const PathRegion* r) {
        return Shrunk{r->x1 * mpc + 1.0f, r->z1 * mpc + 1.0f, r->x2 * mpc - 1.0f, r->z2 * mpc - 1.0f};
    };
    auto key = [&](const PathRegion* r) {
        if (Blocked(r->cls)) return FLT_MAX;
        const Shrunk s = shrunk(r);
        const float dx = start.x < s.x1 ? s.x1 - start.x : start.x > s.x2 ? start.x - s.x2 : 0.0f;
        const float dz = start.z < s.z1 ? s.z1 - start.z : start.z > s.z2 ? start.z - s.z2 : 0.0f;
        return dx * dx + dz * dz;
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const PathRegion* a, const PathRegion* b) { return key(a) < key(b); });
    const PathRegion* own = PathPlanner_RegionAt(start.x, start.z);
    for (const PathRegion* r : candidates) {
        if (r == own || Blocked(r->cls)) continue;
        const Shrunk s = shrunk(r);
        result->points = {PathPoint{start.x, start.z, nullptr, 0},
                          PathPoint{ClampLowFirst(start.x, s.x1, s.x2), ClampLowFirst(start.z, s.z1, s.z2), nullptr, 0}};
        CoarseSearch_Run(result);
        if (result->status == 0) break;
    }
    return result;
}

}  // namespace

// ---- life cycle ----------------------------------------------------------------------------------
void PathPlanner_Init() {
    PathPlanner_Close();
    g_p.touched.reserve(kRegionPoolSize);
    PathPlanner_ResetIds();
    PathGrid_Build();
    PathPlanner_BuildSectors();
    g_p.ready = true;
}

void PathPlanner_Rebuild() {
    if (!PathGrid_Exists()) return;
    ResetNodes();
    PathPlanner_ResetIds();
    PathPlanner_BuildSectors();
}

void PathPlanner_Close() {
    ResetNodes();
    PathPlanner_FreeSectors();
    PathGrid_Free();
    g_p.touched = {};
    g_p.successors = {};
    g_p.heap = {};
    std::fill(std::begin(g_p.costs), std::end(g_p.costs), 0.0f);
    g_p.moverType = g_p.side = -1;
    g_p.startRegion = g_p.goalRegion = nullptr;
    g_p.ready = false;
}

void PathSystem_Shutdown() {
    PathPlanner_Close();
    PathGrid_Free();
}

bool PathPlanner_IsReady() { return g_p.ready; }

void PathPlanner_SetCosts(int moverType, int side) {
    float* c = g_p.costs;
    c[0] = 1.0f;
    c[1] = 2.0f;
    c[2] = side == 1 ? 3.0f : 1.0f;
    c[3] = side == 1 ? 4.0f : 2.0f;
    c[4] = side == 2 ? 3.0f : 1.0f;
    c[5] = side == 2 ? 4.0f : 2.0f;
    c[6] = 3.0f;
    c[7] = 4.0f;
    c[8] = 10.0f;
    c[9] = (moverType == 1 || moverType == 2) ? kPathCostBlocked : moverType == 3 ? 1.1f : 10.0f;
    c[10] = 2.0f;
    c[11] = kPathCostBlocked;
    c[12] = kPathCostBlocked;
    g_p.moverType = moverType;
    g_p.side = side;
}

float PathPlanner_ClassCost(int cls) { return Cost(cls); }

bool PathGrid_IsPassableFor(float x, float z, int moverType) {
    PathPlanner_SetCosts(moverType, 0);
    return Cost(PathGrid_CellClass(PathGrid_GetCellAt(x, z))) != kPathCostBlocked;
}

// ---- searches ------------------------------------------------------------------------------------
PathResult* PathPlanner_Search(const Vector& startIn, const Vector& goal) {
    Vector start = startIn;
    PathRegion* s = PathPlanner_RegionAt(start.x, start.z);
    PathRegion* g = PathPlanner_RegionAt(goal.x, goal.z);
    PathResult* result = NewResult(kPathSearchAttached, start.x, start.z, goal.x, goal.z);
    if (!s || !g) {
        result->status = kPathFailed;
        return result;
    }
    if (s == g) {
        result->status = Blocked(s->cls) ? kPathFailed : 0;
        return result;
    }
    PathResult* escape = nullptr;
    if (Blocked(s->cls)) {
        escape = EscapeBlockedStart(start, goal);
        if (escape->status == 0) {
            start.x = escape->lastX;
            start.z = escape->lastZ;
        }
        start.x += 0.1f;
        start.z += 0.1f;
    }
    const float cpm = PathGrid_CellsPerMetre();
    result->status = kPathSearchAttached;
    result->points = {PathPoint{start.x * cpm, start.z * cpm, nullptr, 0}, PathPoint{goal.x * cpm, goal.z * cpm, nullptr, 0}};
    g_p.current = result;
    BidirectionalSearch(result, s, g);
    ResetNodes();
    if (escape && escape->status == 0) {
        auto* joined = new PathResult;
        joined->points = escape->points;
        joined->points.insert(joined->points.end(), result->points.begin(), result->points.end());
        joined->status = 0;
        joined->lastX = joined->points.back().x;
        joined->lastZ = joined->points.back().z;
        PathResult_Release(escape);
        PathResult_Release(result);
        return joined;
    }
    PathResult_Release(escape);
    return result;
}

PathResult* PathPlanner_FindPath(const Vector& start, const Vector& goal) {
    const uint32_t began = Plat_Milliseconds();
    if (g_p.moverType == 3) return NewResult(0, start.x, start.z, goal.x, goal.z);
    PathResult* result = nullptr;
    const float mpc = PathGrid_MetresPerCell();
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
        if (PathMap_IsPathClear(start.x, start.z, goal.x, goal.z, g_p.side)) {
            PathResult_Release(result);
            return NewResult(0, start.x, start.z, goal.x, goal.z);
        }
        Vector target = goal;
        if (attempt > 0 || PathMap_IsImpassableAt(goal.x, goal.z)) {
            float dx = start.x - goal.x, dz = start.z - goal.z, reach = 1.0f;
            if (attempt > 0 || (std::fabs(dx) < 0.0001f && std::fabs(dz) < 0.0001f)) {
                const float angle = (static_cast<float>(Random_Next()) * 2.0f / GV_RAND_MAX - 1.0f) * std::numbers::pi_v<float>;
                dx = std::sin(angle);
                dz = std::cos(angle);
                reach = 16.0f * mpc;
            }
            const float f = AI_GroundClear(target.x, target.z, dx, dz, reach);
            if (!(f < reach)) continue;
            const float step = f + 0.5f * mpc / std::hypot(dx, dz);
            target.x += dx * step;
            target.z += dz * step;
        }
        PathResult_Release(result);
        result = PathPlanner_Search(start, target);
        if (!(result->status & kPathFailed)) break;
    }
    const uint32_t took = Plat_Milliseconds() - began;
    if (took > 10)
        Debug_Trace("searchTime(%d): from(%0.2f,%0.2f) to(%0.2f,%0.2f)\n", static_cast<int>(took), start.x, start.z,
                    goal.x, goal.z);
    if (!result) return NewResult(kPathFailed, start.x, start.z, goal.x, goal.z);
    return result;
}

float PathResult_Length(const PathResult* result) {
    if (!result) return 0.0f;
    float length = 0.0f;
    for (size_t i = 1; i < result->points.size(); ++i)
        length += Dist(result->points[i - 1].x, result->points[i - 1].z, result->points[i].x, result->points[i].z);
    return length;
}

void PathResult_Release(PathResult* result) {
    if (!result) return;
    if (result->status & kPathSearchAttached) {
        result->status &= ~kPathSearchAttached;
        ResetNodes();
    }
    if (g_p.current == result) g_p.current = nullptr;
    delete result;
}

PlannedRoute AiPath_Plan(float x1, float z1, float x2, float z2, int moverType, int side) {
    PathPlanner_SetCosts(moverType, side);
    PathResult* result = PathPlanner_FindPath(Vector{x1, 1000.0f, z1}, Vector{x2, 1000.0f, z2});
    PlannedRoute route;
    if (result->status & kPathFailed) {
        route.kind = 3;
        route.points = {Vector2D{x1, z1}, Vector2D{x2, z2}};
    } else {
        for (const PathPoint& p : result->points) route.points.push_back(Vector2D{p.x, p.z});
    }
    PathResult_Release(result);
    return route;
}

bool PathMap_HasPath(float x0, float z0, float x1, float z1) {
    PathPlanner_SetCosts(0, 0);
    PathResult* result = PathPlanner_Search(Vector{x0, 1000.0f, z0}, Vector{x1, 1000.0f, z1});
    const bool found = !(result->status & kPathFailed);
    PathResult_Release(result);
    return found;
}

// ---- debug aids ----------------------------------------------------------------------------------
void PathPlanner_SetDebugLine(PathDebugLine line) { g_p.line = line; }

void PathPlanner_DrawResult(const PathResult* result) {
    if (!g_p.line || !result) return;
    for (size_t i = 1; i < result->points.size(); ++i)
        g_p.line(result->points[i - 1].x, result->points[i - 1].z, result->points[i].x, result->points[i].z, 0xffffff);
}

void PathPlanner_DrawRegions(float x1, float z1, float x2, float z2, const uint32_t* colours) {
    if (!g_p.line) return;
    PathRegion** found = nullptr;
    const int count = PathPlanner_RegionsInRect(x1, z1, x2, z2, &found);
    const float mpc = PathGrid_MetresPerCell();
    for (int i = 0; i < count; ++i) {
        const PathRegion* r = found[i];
        const uint32_t colour = colours && r->cls >= 0 && r->cls <= kPlaceholderClass ? colours[r->cls] : 0xffffff;
        const float ax = r->x1 * mpc, az = r->z1 * mpc, bx = r->x2 * mpc, bz = r->z2 * mpc;
        g_p.line(ax, az, bx, az, colour);
        g_p.line(bx, az, bx, bz, colour);
        g_p.line(bx, bz, ax, bz, colour);
        g_p.line(ax, bz, ax, az, colour);
    }
}

bool PathPlanner_DescribeNode(float x, float z, char out[128]) {
    const float cpm = PathGrid_CellsPerMetre();
    const PathRegion* best = nullptr;
    float bestD = 25.0f;
    for (const PathRegion* r : g_p.touched) {
        const float dx = r->px - x * cpm, dz = r->pz - z * cpm, d = dx * dx + dz * dz;
        if (d <= bestD) {
            bestD = d;
            best = r;
        }
    }
    if (!best) return false;
    const PathRegion* far = FarEnd(best);
    const float h = far ? Dist(best->px, best->pz, far->px, far->pz) + 0.0001f : 0.0f;
    std::snprintf(out, 128, "x(%0.2f) z(%0.2f) g(%0.2f) h(%0.2f) cost(%0.2f) forward(%d)", best->px, best->pz, best->g, h,
                  best->g + h, best->backward ? 0 : 1);
    return true;
}

void PathPlanner_ResetNodes() { ResetNodes(); }

int PathPlanner_LastTouched() { return g_p.lastTouched; }

bool PathPlanner_SearchFieldsClean() {
    for (int row = 0; row < PathPlanner_SectorRows(); ++row)
        for (int column = 0; column < PathPlanner_SectorColumns(); ++column)
            for (const PathRegion* r : PathPlanner_Sector(column, row)->regions)
                if (r->isJoin || r->inHeap || r->backward || r->isCorner || r->visited || r->g != 0.0f || r->next ||
                    r->other || r->spare)
                    return false;
    return g_p.touched.empty();
}

void PathPlanner_SetHeapCapacity(int capacity) {
    g_p.heapCapacity = capacity > 0 ? std::min(capacity, kPathHeapCapacity) : kPathHeapCapacity;
}

void PathPlanner_ResetForTests() {
    PathPlanner_Close();
    g_p.heapCapacity = kPathHeapCapacity;
    g_p.line = nullptr;
    g_p.lastTouched = 0;
}
