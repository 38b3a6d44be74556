#include "core/seams/world.h"

#include "core/seams/render.h"

namespace {

WorldSeam MakeDefault() {
    WorldSeam s{};
    s.entitiesReset = [] {};                                  // PENDING(2.101)
    s.entitiesRemoveAll = [] {};                              // PENDING(2.101)
    s.entitiesFreeAllCaches = [] {};                          // PENDING(2.101)
    s.entitiesResetDetail = [] {};                            // PENDING(2.101)
    s.entitiesAddNotify = [](EntityNotifyFn) {};              // PENDING(2.101)
    s.entitiesAddRemoveNotify = [](EntityNotifyFn) {};        // PENDING(2.101)
    s.entitiesGetUser = []() -> EntityTableRecord* { return nullptr; };  // PENDING(2.101)
    s.entityPairsReset = [] {};                               // PENDING(2.102)
    s.entityAllocFreeAll = [] {};                             // PENDING(2.102)
    s.classfncResetLists = [] {};                             // PENDING(2.103)
    s.classfncActivatePending = [] {};                        // PENDING(2.103)
    s.classfncCallSlot11 = [] {};                             // PENDING(2.103)
    s.classfncClear = [] {};                                  // PENDING(2.103)
    s.classfncPurge = [] {};                                  // PENDING(2.103)
    s.classfncUpdateAll = [] {};                              // PENDING(2.103)
    s.classfncPostUpdateAll = [] {};                          // PENDING(2.103)
    s.animObjInit = [] {};                                    // PENDING(2.104)
    s.animObjReset = [] {};                                   // PENDING(2.104)
    s.animObjStep = [] {};                                    // PENDING(2.104)
    s.animObjActiveCount = [] { return 0; };                  // PENDING(2.104)
    s.bspCacheReset = [] {};                                  // PENDING(2.105)
    s.geomCacheReset = [] {};                                 // PENDING(2.106)
    s.geomCacheFreeAll = [] {};                               // PENDING(2.106)
    s.shadowsLoad = [] {};                                    // PENDING(2.109)
    s.shadowsFree = [] {};                                    // PENDING(2.109)
    s.shadowsDraw = [](RenderView*) {};                       // PENDING(2.109)
    s.entitiesDrawWorld = [](RenderView*, EntityTableRecord*) {};   // PENDING(2.109)
    s.entitiesDrawSelected = [](RenderView*) {};              // PENDING(2.109)
    s.entitiesDrawSingle = [](RenderView*, EntityTableRecord*) {};  // PENDING(2.109)
    s.collisionInit = [] {};                                  // PENDING(2.120)
    s.collisionShutdown = [] {};                              // PENDING(2.120)
    s.collisionProcessFrame = [] {};                          // PENDING(2.120)
    s.collisionTransformAll = [] {};                          // PENDING(2.120)
    s.terrainClearEntityList = [] {};                         // PENDING(2.130)
    s.terrainSetFileName = [](const char*) {};                // PENDING(2.130)
    s.terrainReleaseEntities = [] {};                         // PENDING(2.130)
    s.terrainFreeAll = [] {};                                 // PENDING(2.130)
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

WorldSeam& Seam_World() {
    static WorldSeam seam = MakeDefault();
    return seam;
}
