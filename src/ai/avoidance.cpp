#include "ai/avoidance.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Objkr/bucketgrid.h"
#include "Terrain/terramap.h"
#include "ai/avoidsettings.h"
#include "ai/worldqueries.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"

namespace {

std::unique_ptr<BucketGrid> g_grid;

}  // namespace

// ---- the grid -------------------------------------------------------------------------------------

void Avoidance_CreateGridOver(float minX, float minZ, float maxX, float maxZ) {
    Avoidance_DestroyGrid();
    const AvoidanceSettings& s = Avoidance_Settings();
    g_grid = std::make_unique<BucketGrid>(s.gridXSize, s.gridZSize, minZ, maxZ, minX, maxX, kAvoidanceGridCapacity);
}

void Avoidance_CreateGrid() {
    float bounds[6];
    Terrain_GetBounds(bounds);
    Avoidance_CreateGridOver(bounds[0], bounds[2], bounds[3], bounds[5]);
}

void Avoidance_DestroyGrid() {
    if (g_grid) g_grid->Free();
    g_grid.reset();
}

void Avoidance_RefillGrid() {
    if (!g_grid) return;
    g_grid->Clear();
    for (GameObject* object : GameObject_List()) {
        if (!object) continue;
        const uint32_t handle = object->GetObjHandle();
        if (handle == 0) continue;
        const Vector p = AI_PositionOf(object);
        g_grid->Insert(handle, p.x, p.z);
    }
    g_grid->EndFill();
}

BucketGrid* Avoidance_Grid() { return g_grid.get(); }
