#include "process_fixture.h"

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/inputsinks.h"
#include "core/registration.h"

namespace {

std::vector<std::unique_ptr<FakeTask>> g_tasks;
std::vector<std::string> g_said;

UnitTask* Make(const char* kind, GameObject* target = nullptr, AiPath* path = nullptr, bool exact = false) {
    auto task = std::make_unique<FakeTask>();
    task->kind = kind;
    task->target = target;
    task->path = path;
    task->exact = exact;
    g_tasks.push_back(std::move(task));
    return reinterpret_cast<UnitTask*>(g_tasks.back().get());
}

FakeTask* Fake(UnitTask* task) { return reinterpret_cast<FakeTask*>(task); }

FactoryReg g_testUnit{"TestUnit"};
FactoryReg g_testCraft{"TestCraftUnit"};

}  // namespace

const FactoryReg* TestUnit::GetFactory() const { return &g_testUnit; }
const FactoryReg* TestCraftUnit::GetFactory() const { return &g_testCraft; }

std::vector<std::unique_ptr<FakeTask>>& ProcessFixture::Tasks() { return g_tasks; }
std::vector<std::string>& ProcessFixture::Said() { return g_said; }

FakeTask* ProcessFixture::Last(const std::string& kind) {
    for (auto it = g_tasks.rbegin(); it != g_tasks.rend(); ++it)
        if ((*it)->kind == kind) return it->get();
    return nullptr;
}

void ProcessFixture::SetUp() {
    ClassFixture::SetUp();
    InstallWorld();  // with the camera pods "apcamr" and "spcamr" the user's craft drops
    g_tasks.clear();
    g_said.clear();
    UnitAi_ResetServices();
    UnitProcess_ResetSay();
    InputSinks_Clear();
    UnitAiServices& s = UnitAi_Services();
    s.sitTask = [](GameObject*) { return Make("sit"); };
    s.coastTask = [](GameObject*) { return Make("coast"); };
    s.sitSpinTask = [](GameObject*) { return Make("sitspin"); };
    s.gotoObject = [](GameObject*, GameObject* target) { return Make("goto", target); };
    s.gotoPath = [](GameObject*, AiPath* path, bool exact) { return Make("gotopath", nullptr, path, exact); };
    s.goGet = [](GameObject*, GameObject* target) { return Make("goget", target); };
    s.patrolTask = [](GameObject*, AiPath* path, int32_t type) {
        UnitTask* task = Make("patrol", nullptr, path);
        Fake(task)->patrolType = type;
        return task;
    };
    s.attackTask = [](GameObject*, GameObject* target) { return Make("attack", target); };
    s.followTask = [](GameObject*, GameObject* target) { return Make("follow", target); };
    s.defendTask = [](GameObject*, GameObject* target) { return Make("defend", target); };
    s.rescueTask = [](GameObject*, GameObject* target) { return Make("rescue", target); };
    s.taskUpdate = [](UnitTask* task) { ++Fake(task)->updates; };
    s.taskIsDone = [](UnitTask* task) { return Fake(task)->done; };
    s.taskDelete = [](UnitTask* task) { Fake(task)->deleted = true; };
    s.taskTarget = [](UnitTask* task) { return Fake(task)->target; };
    s.radioVoiceQueue = [](const char* wave, GameObject*, int32_t) { g_said.emplace_back(wave); };
}

void ProcessFixture::TearDown() {
    for (Weapon* weapon : weapons_) {
        for (GameObject* object : GameObject_List())
            if (object->hardpoints)
                for (int i = 0; i < kHardpointCount; ++i)
                    if (object->hardpoints->weapons[i] == weapon) object->hardpoints->SetWeapon(i, nullptr, nullptr);
        delete weapon;
    }
    weapons_.clear();
    ClassFixture::TearDown();
    for (WeaponClass* cls : weaponClasses_) delete cls;
    weaponClasses_.clear();
    UnitAi_ResetServices();
    UnitProcess_ResetSay();
    InputSinks_Clear();
    g_tasks.clear();
}

CraftClass& ProcessFixture::NewCraftClass(int32_t side, bool voiced) {
    auto* cls = new CraftClass("craft", Signature("CRFT"), kCategoryCraft);
    std::memcpy(cls->defName, "unit", 4);
    cls->health = 1000;
    cls->ammo = 100;
    cls->side = side;
    if (voiced) {
        for (int i = 0; i < 10; ++i) std::snprintf(cls->textsA[i], kCraftTextSize, "v%02d", i);
        for (int i = 0; i < 12; ++i) std::snprintf(cls->textsB[i], kCraftTextSize, "v%02d", 10 + i);
        for (int i = 0; i < 4; ++i) std::snprintf(cls->textsD[i], kCraftTextSize, "v%02d", 22 + i);
    }
    classes_.push_back(cls);
    return *cls;
}

Craft* ProcessFixture::NewCraft(CraftClass& cls, int32_t team, Vector position, bool user) {
    Craft* craft = GameObject_New<Craft>(NewRoot(team, user ? kEntityUser : 0u), &cls);
    if (craft) {
        craft->SetTeam(team);
        craft->pos = position;
        craft->entity->local.posit = DVector{position.x, position.y, position.z};
    }
    return craft;
}

Weapon* ProcessFixture::Mount(GameObject* object, int slot, WeaponClass& cls, int32_t hardpointType) {
    if (!object->hardpoints) object->hardpoints = new HardpointList(object);
    Entity* hardpoint = NewPart(object->entity, "hp", hardpointType);
    Entity* gun = NewPart(hardpoint, "gun", 0);
    auto* weapon = new Weapon(gun, &cls);
    weapons_.push_back(weapon);
    object->hardpoints->SetWeapon(slot, hardpoint, weapon);
    object->hardpoints->SetEnabled(object->hardpoints->present);
    return weapon;
}
