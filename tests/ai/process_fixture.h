// Unit and player processes over the object layer: craft classes with voice files and weapons,
// a fake task factory that records what the states ask for, and the process services put back
// after each test.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "core/registration.h"
#include "fun3d/class_fixture.h"
#include "fun3d/craft.h"
#include "weapons/weapon.h"

// A task the fake factory made: its kind, target and route; the test decides when it is done.
struct FakeTask {
    std::string kind;
    GameObject* target = nullptr;
    AiPath* path = nullptr;
    bool exact = false;
    int32_t patrolType = 0;
    bool done = false;
    bool deleted = false;
    int updates = 0;
};

// Concrete processes for tests (the unit kinds give the real ones their factory names).
class TestUnit : public UnitProcess {
public:
    using UnitProcess::UnitProcess;
    const FactoryReg* GetFactory() const override;
};
class TestCraftUnit : public CraftProcess {
public:
    using CraftProcess::CraftProcess;
    const FactoryReg* GetFactory() const override;
};

class ProcessFixture : public ClassFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A craft class of the side; voice files "vNN" for indexes 0..25 when voiced.
    CraftClass& NewCraftClass(int32_t side = kSideAmerican, bool voiced = true);
    // A craft on the team (the user's craft when user is set).
    Craft* NewCraft(CraftClass& cls, int32_t team = 1, Vector position = {}, bool user = false);
    // A weapon of the class in the slot, on a hardpoint part of the type code.
    Weapon* Mount(GameObject* object, int slot, WeaponClass& cls, int32_t hardpointType = 0);

    // The fake factory's tasks, in order of making; the last one made of a kind.
    static std::vector<std::unique_ptr<FakeTask>>& Tasks();
    static FakeTask* Last(const std::string& kind);
    static FakeTask* AsFake(UnitTask* task) { return reinterpret_cast<FakeTask*>(task); }
    // Voice lines queued, by wave name.
    static std::vector<std::string>& Said();

    std::vector<Weapon*> weapons_;
    std::vector<WeaponClass*> weaponClasses_;
};
