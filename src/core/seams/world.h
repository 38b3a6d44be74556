// What the core calls of the world model: entity table, class functions, animation,
// geometry, draw passes, collision, terrain and sky.
#pragma once
#include "core/mathlib.h"

struct RenderView;
struct EntityTableRecord;

using EntityNotifyFn = void (*)(EntityTableRecord* record);

struct WorldSeam {
    // Entity table and entity services.
    void (*entitiesReset)();
    void (*entitiesRemoveAll)();
    void (*entitiesFreeAllCaches)();
    void (*entitiesResetDetail)();
    void (*entitiesAddNotify)(EntityNotifyFn fn);
    void (*entitiesAddRemoveNotify)(EntityNotifyFn fn);
    EntityTableRecord* (*entitiesGetUser)();
    void (*entityPairsReset)();
    void (*entityAllocFreeAll)();
    // Class-function table.
    void (*classfncResetLists)();
    void (*classfncActivatePending)();
    void (*classfncCallSlot11)();
    void (*classfncClear)();
    void (*classfncPurge)();
    void (*classfncUpdateAll)();
    void (*classfncPostUpdateAll)();
    // Animation objects.
    void (*animObjInit)();
    void (*animObjReset)();
    void (*animObjStep)();
    int (*animObjActiveCount)();
    // Geometry and its caches.
    void (*bspCacheReset)();
    void (*geomCacheReset)();
    void (*geomCacheFreeAll)();
    // Draw passes.
    void (*shadowsLoad)();
    void (*shadowsFree)();
    void (*shadowsDraw)(RenderView* view);
    void (*entitiesDrawWorld)(RenderView* view, EntityTableRecord* excluded);
    void (*entitiesDrawSelected)(RenderView* view);
    void (*entitiesDrawSingle)(RenderView* view, EntityTableRecord* record);
    // Collision.
    void (*collisionInit)();
    void (*collisionShutdown)();
    void (*collisionProcessFrame)();
    // Moves every collision record's points by its entity's matrix (moving list, then static).
    void (*collisionTransformAll)();
    // Terrain.
    void (*terrainClearEntityList)();
    void (*terrainSetFileName)(const char* name);
    void (*terrainReleaseEntities)();
    void (*terrainFreeAll)();
    void (*terrainFreeTextures)();
    void (*terrainDraw)(RenderView* view);
    bool (*terrainTypeMapPending)();  // the one-shot type-map request of the terrain drawing
    // The map load of a mission: false (and nothing loaded) when the map's files cannot be read.
    bool (*terrainLoadMap)(const char* name);
    // The editor's save of the terrain under the path; false after a warning.
    bool (*terrainSave)(const char* path);
    bool (*terrainModified)();
    // The centre of the map's bounds, on the ground.
    Vector (*terrainCentre)();
    // Sky.
    void (*skyLoad)();
    void (*skyFree)();
    void (*skyDraw)(RenderView* view, int colourIndex, int skyDetail);
};

WorldSeam& Seam_World();
