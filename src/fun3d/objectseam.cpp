#include "fun3d/objectseam.h"

#include "Objkr/entity.h"
#include "Objkr/objload.h"
#include "core/seams/objects.h"
#include "fun3d/buildingkinds.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/scrap.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectnet.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"

namespace {

// The flag word of the object that owns an entity tree: its root entity's flags.
uint32_t OwnerFlags(void* owner) {
    const GameObject* object = static_cast<const GameObject*>(owner);
    return object && object->entity ? object->entity->flags : 0u;
}

}  // namespace

void GameObjects_InstallSeam() {
    ObjectsSeam& s = Seam_Objects();
    s.teamRecordCreateAll = TeamRecord_CreateAll;
    s.teamRecordDestroyAll = TeamRecord_DestroyAll;
    s.classesFreeAll = GameObjectClass_FreeAll;
    s.saveAll = GameObject_SaveAll;
    s.loadAll = GameObject_LoadAll;
    s.postLoadAll = GameObject::PostLoadAll;
    s.discardLoaded = GameObject_DiscardLoaded;
    s.teamSaveAll = TeamRecord_SaveAll;
    s.teamLoadAll = TeamRecord_LoadAll;
    s.teamPostLoadAll = TeamRecord_PostLoadAll;
    s.buildStartPlayer = GameObject_BuildStartPlayer;
    s.startUserObject = GameObject_StartUserObject;
    s.getSerialCounter = GameObject_GetSerialCounter;
    s.setSerialCounter = GameObject_SetSerialCounter;
    s.gameObjectCreateGrid = GameObject_CreateGrid;
    s.gameObjectFreeGrid = GameObject_FreeGrid;
    s.gameObjectUpdateGrid = GameObject_UpdateGrid;
    s.gameObjectUpdateVisibility = [] { GameObject_UpdateVisibility(); };
    s.gameObjectRevealAll = GameObject_RevealAll;
    s.gameObjectRemoveAll = GameObject_RemoveAll;
    s.sendNetUpdates = GameObject_SendNetUpdates;
    s.registerNetObjects = GameObject_RegisterNetObjects;
    s.stepUserObject = GameObject_StepUser;
    s.animBuildingPostLoad = Building_RestartLoops;
    s.scrapCreateGrid = Scrap_CreateGrid;
    s.scrapFreeGrid = Scrap_FreeGrid;
    s.scrapRefreshGrid = Scrap_RefreshGrid;
    Craft_Services().scrapSpawn = [](const Vector& at, int32_t n) { Scrap_Spawn(at, n); };
    GameObject_InstallClassFunctions();
    ObjLoad_Services().objectClassType = GameObjectClass_EntityTypeOf;
    Objkr_Services().ownerFlags = OwnerFlags;
}
