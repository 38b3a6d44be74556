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
    s.animObjInit = [] {};                                    // filled by Objkr_InstallWorldSeam
    s.animObjReset = [] {};                                   // filled by Objkr_InstallWorldSeam
    s.animObjStep = [] {};                                    // filled by Objkr_InstallWorldSeam
    s.animObjActiveCount = [] { return 0; };                  // filled by Objkr_InstallWorldSeam
    s.bspCacheReset = [] {};                                  // filled by Objkr_InstallWorldSeam
    s.geomCacheReset = [] {};                                 // filled by Objkr_InstallWorldSeam
    s.geomCacheFreeAll = [] {};                               // filled by Objkr_InstallWorldSeam
    s.shadowsLoad = [] {};                                    // filled by Render_InstallEntityDrawing
    s.shadowsFree = [] {};                                    // filled by Render_InstallEntityDrawing
    s.shadowsDraw = [](RenderView*) {};                       // filled by Render_InstallEntityDrawing
    s.entitiesDrawWorld = [](RenderView*, EntityTableRecord*) {};   // filled by Render_InstallEntityDrawing
    s.entitiesDrawSelected = [](RenderView*) {};              // filled by Render_InstallEntityDrawing
    s.entitiesDrawSingle = [](RenderView*, EntityTableRecord*) {};  // filled by Render_InstallEntityDrawing
    s.collisionInit = [] {};                                  // filled by Collision_InstallSeam
    s.collisionShutdown = [] {};                              // filled by Collision_InstallSeam
    s.collisionProcessFrame = [] {};                          // filled by Collision_InstallSeam
    s.collisionTransformAll = [] {};                          // filled by Collision_InstallSeam
    s.terrainClearEntityList = [] {};                         // filled by Terrain_InstallSeam
    s.terrainSetFileName = [](const char*) {};                // filled by Terrain_InstallSeam
    s.terrainReleaseEntities = [] {};                         // filled by Terrain_InstallSeam
    s.terrainFreeAll = [] {};                                 // filled by Terrain_InstallSeam
    s.terrainFreeTextures = [] {};                            // filled by Render_InstallTerrainDrawing
    s.terrainDraw = [](RenderView*) {};                       // filled by Render_InstallTerrainDrawing
    s.terrainTypeMapPending = [] { return false; };           // filled by Render_InstallTerrainDrawing
    s.terrainLoadMap = [](const char*) { return true; };      // filled by Terrain_InstallSeam
    s.terrainSave = [](const char*) { return true; };         // filled by Terrain_InstallSeam
    s.terrainModified = [] { return false; };                 // filled by Terrain_InstallSeam
    s.terrainCentre = [] { return Vector{0.0f, 0.0f, 0.0f}; };  // filled by Terrain_InstallSeam
    s.skyLoad = [] {};                                        // filled by Render_InstallSky
    s.skyFree = [] {};                                        // filled by Render_InstallSky
    s.skyDraw = [](RenderView*, int colour, int) { Seam_Render().driverClear(colour); };  // filled by Render_InstallSky
    return s;
}

}  // namespace

WorldSeam& Seam_World() { return SeamTableInstance<WorldSeam, MakeDefault>(); }

namespace {
const SeamRegistration<WorldSeam, MakeDefault> kRegistration("WorldSeam");
}  // namespace
