#include "mission_fixture.h"

#include <algorithm>
#include <cstring>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "ai/aiinstall.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/game.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/framepasses.h"
#include "fun3d/teamrecord.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "support/world_reset.h"

namespace {

class PlainClass : public GameObjectClass {
public:
    PlainClass() = default;
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

FactoryReg g_probeEntry{"ProbeProcess", 0, []() -> sObject* { return new ProbeProcess; }};

}  // namespace

ProbeProcess::~ProbeProcess() { Deleted().push_back(this); }
const FactoryReg* ProbeProcess::GetFactory() const { return &g_probeEntry; }
void ProbeProcess::Execute() {
    ++steps;
    if (onStep) onStep(this);
}
std::vector<const ProbeProcess*>& ProbeProcess::Deleted() {
    static std::vector<const ProbeProcess*> list;
    return list;
}

void MissionFixture::SetUp() {
    ResetWorldForTest();
    Plat_UseVirtualClock(1000);
    GameObject_PoolInit();
    GameObject_ForgetUser();
    GameObject_SetSerialCounter(1);
    GameObject_List().clear();
    TeamRecord_CreateAll();
    SaveGame_ResetGlobals();
    Clock_SetTime(0.0f);
    ai_ = Seam_Ai();
    missions_ = Seam_Missions();
    net_ = Seam_Net();
    Registration_Init();
    Ai_InstallSeam();
    Factory_Register(&g_probeEntry);
    Seam_Net().isNetworkGame = [] { return false; };
    Game_SetState(kStateRun);
    ProbeProcess::Deleted().clear();
}

void MissionFixture::TearDown() {
    Mission_Reset();
    std::vector<GameObject*> live = GameObject_List();
    for (GameObject* object : live)
        if (GameObject_PoolSlotOf(object) >= 0 && GameObject::FromHandleRaw(object->GetObjHandle()) == object)
            delete object;
    GameObject_FreeGrid();
    Classfnc_Clear();
    Entities_RemoveAll();
    for (Entity* e : roots_)
        if (e->state == kEntityAlive && e->id != 0 && !Entity_GetParent(e)) Entity_Release(e);
    EntityAlloc_FreeAll();
    for (GameObjectClass* cls : classes_) delete cls;
    TeamRecord_DestroyAll();
    GameObject_ForgetUser();
    Seam_Ai() = ai_;
    Seam_Missions() = missions_;
    Seam_Net() = net_;
    Registration_Init();
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Error_ResetForTests();
    Plat_UseRealClock();
    Plat_Shutdown();
}

GameObjectClass& MissionFixture::NewClass(const char* friendName, const char* enemyName) {
    auto* cls = new PlainClass();
    cls->signature = Signature("GOBJ");
    cls->label = "thing";
    std::memcpy(cls->defName, "thing", 5);
    cls->health = 100;
    std::strncpy(cls->friendProcess, friendName, sizeof cls->friendProcess);
    std::strncpy(cls->enemyProcess, enemyName, sizeof cls->enemyProcess);
    classes_.push_back(cls);
    return *cls;
}

GameObject* MissionFixture::Build(GameObjectClass& cls, int32_t team) {
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "thing");
    e->flags |= static_cast<uint32_t>(team) << kEntityTeamShift & kEntityTeamMask;
    Entities_Add(e, 0, nullptr, nullptr);
    roots_.push_back(e);
    GameObject* object = GameObject_New<GameObject>(e, &cls);
    if (object) object->SetTeam(team);
    return object;
}

void MissionFixture::Destroy(GameObject* object) { delete object; }

void MissionFixture::SetTime(float seconds) { Clock_SetTime(seconds); }
