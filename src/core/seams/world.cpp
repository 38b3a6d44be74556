#include "core/seams/world.h"

#include "core/seams/registry.h"
#include "core/seams/render.h"

namespace {

WorldSeam MakeDefault() {
    WorldSeam s{};
    s.entitiesReset = [] {};                                  // filled by Objkr_InstallWorldSeam
    s.entitiesRemoveAll = [] {};                              // filled by Objkr_InstallWorldSeam
    s.entitiesFreeAllCaches = [] {};                          // filled by Objkr_InstallWorldSeam
    s.entitiesResetDetail = [] {};                            // filled by Objkr_InstallWorldSeam
    s.entitiesAddNotify = [](EntityNotifyFn) {};              // filled by Objkr_InstallWorldSeam
    s.entitiesAddRemoveNotify = [](EntityNotifyFn) {};        // filled by Objkr_InstallWorldSeam
    s.entitiesGetUser = []() -> EntityTableRecord* { return nullptr; };  // filled by Objkr_InstallWorldSeam
    s.entityPairsReset = [] {};                               // filled by Objkr_InstallWorldSeam
    s.entityAllocFreeAll = [] {};                             // filled by Objkr_InstallWorldSeam
    s.classfncResetLists = [] {};                             // filled by Objkr_InstallWorldSeam
    s.classfncActivatePending = [] {};                        // filled by Objkr_InstallWorldSeam
    s.classfncCallSlot11 = [] {};                             // filled by Objkr_InstallWorldSeam
    s.classfncClear = [] {};                                  // filled by Objkr_InstallWorldSeam
    s.classfncPurge = [] {};                                  // filled by Objkr_InstallWorldSeam
    s.classfncUpdateAll = [] {};                              // filled by Objkr_InstallWorldSeam
    s.classfncPostUpdateAll = [] {};                          // filled by Objkr_InstallWorldSeam
    s.animObjInit = [] {};                                    // PENDING(2.104)
    s.animObjReset = [] {};                                   // PENDING(2.104)
    s.animObjStep = [] {};                                    // PENDING(2.104)
    s.animObjActiveCount = [] { return 0; };                  // PENDING(2.104)
    s.bspCacheReset = [] {};                                  // PENDING(2.105)
    s.geomCacheReset = [] {};                                 // filled by Objkr_InstallWorldSeam
    s.geomCacheFreeAll = [] {};                               // filled by Objkr_InstallWorldSeam
    s.shadowsLoad = [] {};                                    // PENDING(2.109)
    s.shadowsFree = [] {};                                    // PENDING(2.109)
    s.shadowsDraw = [](RenderView*) {};                       // PENDING(2.109)
    s.entitiesDrawWorld = [](RenderView*, EntityTableRecord*) {};   // PENDING(2.109)
    s.entitiesDrawSelected = [](RenderView*) {};              // PENDING(2.109)
    s.entitiesDrawSingle = [](RenderView*, EntityTableRecord*) {};  // PENDING(2.109)
    s.collisionInit = [] {};                                  // filled by Collision_InstallSeam
    s.collisionShutdown = [] {};                              // filled by Collision_InstallSeam
    s.collisionProcessFrame = [] {};                          // filled by Collision_InstallSeam
    s.collisionTransformAll = [] {};                          // filled by Collision_InstallSeam
    s.terrainClearEntityList = [] {};                         // filled by Terrain_InstallSeam
    s.terrainSetFileName = [](const char*) {};                // filled by Terrain_InstallSeam
    s.terrainReleaseEntities = [] {};                         // filled by Terrain_InstallSeam
    s.terrainFreeAll = [] {};                                 // filled by Terrain_InstallSeam
    s.terrainFreeTextures = [] {};                            // PENDING(2.136)
    s.terrainDraw = [](RenderView*) {};                       // PENDING(2.137)
    s.terrainTypeMapPending = [] { return false; };           // PENDING(2.137)
    s.skyLoad = [] {};                                        // PENDING(2.134)
    s.skyFree = [] {};                                        // PENDING(2.134)
    // PENDING(2.134) until the sky exists, the software frame is cleared to the sky colour.
    s.skyDraw = [](RenderView*, int colour, int) { Seam_Render().driverClear(colour); };
    return s;
}

}  // namespace

WorldSeam& Seam_World() { return SeamTableInstance<WorldSeam, MakeDefault>(); }

namespace {
const SeamRegistration<WorldSeam, MakeDefault> kRegistration("WorldSeam");
}  // namespace
