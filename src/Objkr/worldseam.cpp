// The entity layer's entries of the world seam, through which the game-state loop and the
// subsystem registry reach it.
#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/rendersettings.h"
#include "core/seams/world.h"

void Objkr_InstallWorldSeam() {
    WorldSeam& s = Seam_World();
    s.entitiesReset = Entities_Reset;
    s.entitiesRemoveAll = Entities_RemoveAll;
    s.entitiesFreeAllCaches = Entities_FreeAllCaches;
    s.entitiesResetDetail = Entities_ResetDetail;
    s.entitiesAddNotify = [](EntityNotifyFn fn) { Entities_AddNotify(fn); };
    s.entitiesAddRemoveNotify = [](EntityNotifyFn fn) { Entities_AddRemoveNotify(fn); };
    s.entitiesGetUser = Entities_GetUser;
    s.entityPairsReset = EntityPairs_Reset;
    s.entityAllocFreeAll = EntityAlloc_FreeAll;
    s.classfncResetLists = Classfnc_ResetLists;
    s.classfncActivatePending = Classfnc_ActivatePending;
    s.classfncCallSlot11 = Classfnc_CallSlot11;
    s.classfncClear = Classfnc_Clear;
    s.classfncPurge = Classfnc_Purge;
    s.classfncUpdateAll = Classfnc_UpdateAll;
    s.classfncPostUpdateAll = Classfnc_PostUpdateAll;
    s.animObjInit = AnimObj_Init;
    s.animObjReset = AnimObj_Reset;
    s.animObjStep = AnimObj_Step;
    s.animObjActiveCount = AnimObj_ActiveCount;
    // Mission start: no cached trees (the renderer adds its settings: Render_InstallEntityDrawing).
    s.bspCacheReset = [] {
        BspCache_Reset();
        RenderSettings_ResetKeepingWorldLight();
    };
    s.geomCacheReset = GeomCache_Reset;
    s.geomCacheFreeAll = GeomCache_FreeAll;
}
