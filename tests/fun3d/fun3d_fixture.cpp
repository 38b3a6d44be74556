#include "fun3d_fixture.h"

#include <algorithm>
#include <cstring>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "fun3d/framepasses.h"
#include "interface/gamekeys.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/world_reset.h"

GameObject* PlainClass::BuildObject(Entity* entity) { return GameObject_New<GameObject>(entity, this); }
GameObjectClass* PlainClass::Derive(const char* name) { return new PlainClass(this, name); }

void Fun3dFixture::SetUp() {
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
    weapons_ = Seam_Weapons();
    cockpit_ = Seam_Cockpit();
    net_ = Seam_Net();
    missions_ = Seam_Missions();
    planner_ = Seam_Planner();
    // The game keys own the cheat bits; they read them from the player settings.
    Seam_Cockpit().cheatFlags = GameKey_CheatFlags;
    SetCheats(0);
}

void Fun3dFixture::TearDown() {
    std::vector<GameObject*> live = GameObject_List();
    for (GameObject* object : unlisted_)
        if (std::find(live.begin(), live.end(), object) == live.end()) live.push_back(object);
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
    Seam_Weapons() = weapons_;
    Seam_Cockpit() = cockpit_;
    Seam_Net() = net_;
    Seam_Missions() = missions_;
    Seam_Planner() = planner_;
    SetCheats(0);
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Error_ResetForTests();
    Plat_UseRealClock();
    Plat_Shutdown();
}

GameObjectClass& Fun3dFixture::NewClass(int32_t health, int32_t ammo) {
    auto* cls = new PlainClass();
    cls->signature = Signature("GOBJ");
    cls->label = "thing";
    std::memcpy(cls->defName, "thing", 5);
    cls->health = health;
    cls->ammo = ammo;
    classes_.push_back(cls);
    return *cls;
}

Entity* Fun3dFixture::NewRoot(int32_t team, uint32_t flags, bool inTable) {
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "thing");
    e->flags |= (static_cast<uint32_t>(team) << kEntityTeamShift & kEntityTeamMask) | flags;
    if (inTable) Entities_Add(e, 0, nullptr, nullptr);
    roots_.push_back(e);
    return e;
}

Entity* Fun3dFixture::NewPart(Entity* parent, const char* name, int32_t type) {
    Entity* e = Entity_New(parent);
    Entity_SetName(e, name);
    e->type = type;
    return e;
}

GameObject* Fun3dFixture::Build(GameObjectClass& cls, Entity* entity) {
    GameObject* object = GameObject_New<GameObject>(entity, &cls);
    if (object && Entity_GetParent(entity)) unlisted_.push_back(object);
    return object;
}

GameObject* Fun3dFixture::Build(GameObjectClass& cls, int32_t team, uint32_t flags) {
    return Build(cls, NewRoot(team, flags));
}

void Fun3dFixture::SetCheats(uint32_t bits) {
    uint8_t* def = Seam_Shell().playerDef();
    def[88] = static_cast<uint8_t>((def[88] & ~0x0E) | (bits & 0x0E));
}

std::string LastBoxText() {
    const auto& log = Plat_MessageBoxLog();
    return log.empty() ? std::string() : log.back().text;
}
