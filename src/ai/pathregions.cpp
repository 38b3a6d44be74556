#include "ai/pathregions.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ai/pathgrid.h"

namespace {

struct Regions {
    std::unique_ptr<PathRegion[]> pool;  // handed out in order, never moved
    int handed = 0;
    int limit = kRegionPoolSize;
    std::vector<PathRegion*> freeList;
    std::vector<PathSector> sectors;
    int columns = 0, rows = 0;
    int nextId = 1;
    std::vector<PathLink> links;
    int freeLink = -1;
    std::vector<PathRegion*> inRect;
};

Regions g_r;

void ClearSearch(PathRegion* r) {
    r->isJoin = r->inHeap = r->backward = r->isCorner = r->visited = 0;
    r->px = r->pz = r->g = 0.0f;
    r->next = r->other = nullptr;
}

void FreeLinkList(PathRegion* r) {
    int i = r->links;
    while (i >= 0) {
        const int next = g_r.links[i].nextIndex;
        g_r.links[i] = PathLink{g_r.freeLink, nullptr, 0};
        g_r.freeLink = i;
        i = next;
    }
}

int TakeLink() {
    if (g_r.freeLink < 0) {
        const int old = static_cast<int>(g_r.links.size());
        const int grown = old ? old * 2 : 1024;
        g_r.links.resize(static_cast<size_t>(grown));
        for (int i = grown - 1; i >= old; --i) {
            g_r.links[i] = PathLink{g_r.freeLink, nullptr, 0};
            g_r.freeLink = i;
        }
    }
    const int i = g_r.freeLink;
    g_r.freeLink = g_r.links[i].nextIndex;
    return i;
}

void AddLink(PathRegion* r, PathRegion* n) {
    for (int i = r->links; i >= 0; i = g_r.links[i].nextIndex)
        if (g_r.links[i].region == n) return;
    const int i = TakeLink();
    g_r.links[i] = PathLink{r->links, n, n->id};
    r->links = i;
}

PathRegion* NewPlaceholder(const PathSector& s) {
    PathRegion* p = PathRegion_Take(false);
    if (!p) return nullptr;
    p->x1 = static_cast<float>(s.originX);
    p->z1 = static_cast<float>(s.originZ);
    p->x2 = p->x1 + kSectorCells;
    p->z2 = p->z1 + kSectorCells;
    p->cls = kPlaceholderClass;
    return p;
}

int CellClass(int x, int z) {
    if (!PathGrid_InGrid(x, z)) return 12;  // past the grid's edge: never a way out of the map
    return PathGrid_CellClass(PathGrid_GetCell(x, z));
}

void Invalidate(PathSector& s) {
    if (!s.decomposed) return;
    for (PathRegion* r : s.regions) PathRegion_Recycle(r);
    s.regions.clear();
    if (PathRegion* p = NewPlaceholder(s)) s.regions.push_back(p);
    s.decomposed = 0;
}

// The sector span of a metre rectangle, clamped; false when it misses the grid.
bool SectorSpan(float x1, float z1, float x2, float z2, int* c1, int* r1, int* c2, int* r2) {
    if (g_r.sectors.empty()) return false;
    const float cpm = PathGrid_CellsPerMetre();
    const int lx = static_cast<int>(std::floor(std::min(x1, x2) * cpm)) - PathGrid_XMin();
    const int hx = static_cast<int>(std::floor(std::max(x1, x2) * cpm)) - PathGrid_XMin();
    const int lz = static_cast<int>(std::floor(std::min(z1, z2) * cpm)) - PathGrid_ZMin();
    const int hz = static_cast<int>(std::floor(std::max(z1, z2) * cpm)) - PathGrid_ZMin();
    if (hx < 0 || hz < 0 || lx >= g_r.columns * kSectorCells || lz >= g_r.rows * kSectorCells) return false;
    *c1 = std::max(0, lx) / kSectorCells;
    *c2 = std::min(hx / kSectorCells, g_r.columns - 1);
    *r1 = std::max(0, lz) / kSectorCells;
    *r2 = std::min(hz / kSectorCells, g_r.rows - 1);
    return true;
}

}  // namespace

PathRegion* PathRegion_Take(bool clone) {
    PathRegion* r = nullptr;
    if (!g_r.freeList.empty()) {
        r = g_r.freeList.back();
        g_r.freeList.pop_back();
    } else if (g_r.pool && g_r.handed < g_r.limit) {
        r = &g_r.pool[g_r.handed++];
    } else {
        return nullptr;
    }
    *r = PathRegion{};
    ClearSearch(r);
    r->links = -2;
    r->id = clone ? -1 : g_r.nextId++;
    return r;
}

void PathRegion_Recycle(PathRegion* r) {
    if (!r) return;
    FreeLinkList(r);
    r->links = -2;
    r->id = 0;
    g_r.freeList.push_back(r);
}

void PathPlanner_ResetIds() { g_r.nextId = 1; }

void PathPlanner_BuildSectors() {
    PathPlanner_FreeSectors();
    g_r.pool = std::make_unique<PathRegion[]>(kRegionPoolSize);
    g_r.freeList.reserve(kRegionPoolSize);
    g_r.columns = (PathGrid_XMax() - PathGrid_XMin() + kSectorCells - 1) / kSectorCells;
    g_r.rows = (PathGrid_ZMax() - PathGrid_ZMin() + kSectorCells - 1) / kSectorCells;
    g_r.sectors.resize(static_cast<size_t>(g_r.columns * g_r.rows));
    for (int r = 0; r < g_r.rows; ++r)
        for (int c = 0; c < g_r.columns; ++c) {
            PathSector& s = g_r.sectors[r * g_r.columns + c];
            s.decomposed = 0;
            s.originX = PathGrid_XMin() + kSectorCells * c;
            s.originZ = PathGrid_ZMin() + kSectorCells * r;
            std::fill(std::begin(s.cellRegion), std::end(s.cellRegion), uint8_t{0});
            if (PathRegion* p = NewPlaceholder(s)) s.regions.push_back(p);
        }
    for (int r = 0; r < g_r.rows; ++r)
        for (int c = 0; c < g_r.columns; ++c) PathSector_Decompose(c, r);
    PathGrid_SetChangeListener(PathPlanner_InvalidateArea);
}

void PathPlanner_FreeSectors() {
    PathGrid_SetChangeListener(nullptr);
    g_r.sectors.clear();
    g_r.columns = g_r.rows = 0;
    g_r.freeList = {};
    g_r.pool.reset();
    g_r.handed = 0;
    g_r.links = {};
    g_r.freeLink = -1;
    g_r.inRect = {};
}

void PathPlanner_SetRegionPoolLimit(int limit) {
    g_r.limit = limit > 0 ? std::min(limit, kRegionPoolSize) : kRegionPoolSize;
}

int PathPlanner_RegionsInUse() { return g_r.handed - static_cast<int>(g_r.freeList.size()); }

int PathPlanner_SectorColumns() { return g_r.columns; }
int PathPlanner_SectorRows() { return g_r.rows; }

PathSector* PathPlanner_Sector(int column, int row) {
    if (column < 0 || row < 0 || column >= g_r.columns || row >= g_r.rows) return nullptr;
    return &g_r.sectors[row * g_r.columns + column];
}

PathSector* PathPlanner_SectorOfCell(int x, int z) {
    if (!PathGrid_InGrid(x, z)) return nullptr;
    return PathPlanner_Sector((x - PathGrid_XMin()) / kSectorCells, (z - PathGrid_ZMin()) / kSectorCells);
}

void PathSector_Decompose(int column, int row) {
    PathSector* s = PathPlanner_Sector(column, row);
    if (!s || s->decomposed) return;
    struct Rect {
        int x0, z0, x1, z1, cls;
    };
    std::vector<Rect> rects;
    std::vector<int> active, nextActive;
    for (int x = s->originX; x < s->originX + kSectorCells; ++x) {
        nextActive.clear();
        int z0 = s->originZ;
        while (z0 < s->originZ + kSectorCells) {
            const int k = CellClass(x, z0);
            int z1 = z0 + 1;
            while (z1 < s->originZ + kSectorCells && CellClass(x, z1) == k) ++z1;
            // A rectangle of the previous column with exactly this run grows; otherwise a new one.
            int grown = -1;
            for (int i : active)
                if (rects[i].cls == k && rects[i].z0 == z0 && rects[i].z1 == z1) grown = i;
            if (grown >= 0) {
                rects[grown].x1 = x + 1;
                nextActive.push_back(grown);
            } else {
                rects.push_back(Rect{x, z0, x + 1, z1, k});
                nextActive.push_back(static_cast<int>(rects.size()) - 1);
            }
            z0 = z1;
        }
        active.swap(nextActive);
    }
    // Every rectangle needs a record; a sector the pool cannot serve stays a placeholder.
    const int available = static_cast<int>(g_r.freeList.size()) + static_cast<int>(s->regions.size()) +
                          (g_r.pool ? g_r.limit - g_r.handed : 0);
    if (available < static_cast<int>(rects.size())) return;
    for (PathRegion* r : s->regions) PathRegion_Recycle(r);
    s->regions.clear();
    for (const Rect& rect : rects) {
        PathRegion* r = PathRegion_Take(false);
        r->x1 = static_cast<float>(rect.x0);
        r->z1 = static_cast<float>(rect.z0);
        r->x2 = static_cast<float>(rect.x1);
        r->z2 = static_cast<float>(rect.z1);
        r->cls = rect.cls;
        const auto index = static_cast<uint8_t>(s->regions.size());
        s->regions.push_back(r);
        for (int z = rect.z0; z < rect.z1; ++z)
            for (int x = rect.x0; x < rect.x1; ++x)
                s->cellRegion[(z - s->originZ) * kSectorCells + (x - s->originX)] = index;
    }
    s->decomposed = 1;
}

PathRegion* PathPlanner_RegionAt(float x, float z) {
    const float cpm = PathGrid_CellsPerMetre();
    const int cx = static_cast<int>(std::floor(x * cpm)), cz = static_cast<int>(std::floor(z * cpm));
    PathSector* s = PathPlanner_SectorOfCell(cx, cz);
    if (!s) return nullptr;
    PathSector_Decompose((cx - PathGrid_XMin()) / kSectorCells, (cz - PathGrid_ZMin()) / kSectorCells);
    if (!s->decomposed) return nullptr;
    return s->regions[s->cellRegion[(cz - s->originZ) * kSectorCells + (cx - s->originX)]];
}

int PathPlanner_RegionsInRect(float x1, float z1, float x2, float z2, PathRegion*** out) {
    g_r.inRect.clear();
    int c1, r1, c2, r2;
    if (SectorSpan(x1, z1, x2, z2, &c1, &r1, &c2, &r2)) {
        const float cpm = PathGrid_CellsPerMetre();
        const float lx = std::min(x1, x2) * cpm, hx = std::max(x1, x2) * cpm;
        const float lz = std::min(z1, z2) * cpm, hz = std::max(z1, z2) * cpm;
        for (int r = r1; r <= r2; ++r)
            for (int c = c1; c <= c2; ++c) {
                PathSector_Decompose(c, r);
                PathSector* s = PathPlanner_Sector(c, r);
                if (!s->decomposed) continue;
                for (PathRegion* region : s->regions)
                    if (region->x2 > lx && region->x1 < hx && region->z2 > lz && region->z1 < hz)
                        g_r.inRect.push_back(region);
            }
    }
    if (out) *out = g_r.inRect.data();
    return static_cast<int>(g_r.inRect.size());
}

void PathPlanner_InvalidateArea(float x1, float z1, float x2, float z2) {
    int c1, r1, c2, r2;
    if (!SectorSpan(x1, z1, x2, z2, &c1, &r1, &c2, &r2)) return;
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) Invalidate(*PathPlanner_Sector(c, r));
}

void PathPlanner_DecomposeArea(float x1, float z1, float x2, float z2) {
    int c1, r1, c2, r2;
    if (!SectorSpan(x1, z1, x2, z2, &c1, &r1, &c2, &r2)) return;
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) PathSector_Decompose(c, r);
}

const PathLink& PathLink_At(int index) { return g_r.links[static_cast<size_t>(index)]; }

int PathRegion_GetLinks(PathRegion* region) {
    if (region->links == -1) return -1;
    if (region->links >= 0) {
        bool fresh = true;
        for (int i = region->links; i >= 0 && fresh; i = g_r.links[i].nextIndex)
            fresh = g_r.links[i].region->id == g_r.links[i].regionId;
        if (fresh) return region->links;
        FreeLinkList(region);
    }
    region->links = -1;
    const int x1 = static_cast<int>(region->x1), z1 = static_cast<int>(region->z1);
    const int x2 = static_cast<int>(region->x2), z2 = static_cast<int>(region->z2);
    // Left, bottom, right, top: the cells just outside each edge, low end to high end.
    struct Edge {
        int x, z, dx, dz, length;
    };
    const Edge edges[4] = {
        {x1 - 1, z1, 0, 1, z2 - z1},
        {x1, z1 - 1, 1, 0, x2 - x1},
        {x2, z1, 0, 1, z2 - z1},
        {x1, z2, 1, 0, x2 - x1},
    };
    for (const Edge& e : edges) {
        int step = 0;
        while (step < e.length) {
            const int cx = e.x + e.dx * step, cz = e.z + e.dz * step;
            PathSector* s = PathPlanner_SectorOfCell(cx, cz);
            if (!s) break;  // no sector past the grid's edge: no links there
            PathSector_Decompose((cx - PathGrid_XMin()) / kSectorCells, (cz - PathGrid_ZMin()) / kSectorCells);
            if (!s->decomposed) break;
            PathRegion* n = s->regions[s->cellRegion[(cz - s->originZ) * kSectorCells + (cx - s->originX)]];
            if (n->cls != 11 && n->cls != 12) AddLink(region, n);
            // Jump to the far end of the neighbour along the edge.
            const int far = e.dz ? static_cast<int>(n->z2) - e.z : static_cast<int>(n->x2) - e.x;
            step = std::max(step + 1, far);
        }
    }
    return region->links;
}

void PathRegions_ResetForTests() {
    PathPlanner_FreeSectors();
    PathPlanner_SetRegionPoolLimit(0);
    PathPlanner_ResetIds();
}
