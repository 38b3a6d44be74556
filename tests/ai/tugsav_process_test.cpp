#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "ai/aipath.h"
#include "ai/attacktask.h"
#include "ai/gototask.h"
#include "ai/savprocess.h"
#include "ai/tugprocess.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "fun3d/objectslot.h"
#include "fun3d/tugsav.h"
#include "process_fixture.h"
#include "support/field_stream.h"

namespace {

// An object that records the hits it takes.
class Target : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override {
        ++hits;
        amount += damage->amount;
        kind = damage->kind;
        if (offset) extra = *offset;
        return true;
    }
    int hits = 0;
    float amount = 0.0f;
    uint16_t kind = 0;
    Vector extra{};
};

class TugSavProcessTest : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        cls_ = &NewCraftClass();
        user_ = NewCraft(*cls_, 1, Vector{900.0f, 0.0f, 900.0f}, true);
        tugClass_ = new TugClass("tug", Signature("TUG"), kCategoryCraft);
        std::memcpy(tugClass_->defName, "tug", 3);
        tugClass_->health = 1000;
        for (int i = 0; i < 10; ++i) std::snprintf(tugClass_->textsA[i], kCraftTextSize, "v%02d", i);
        for (int i = 0; i < 12; ++i) std::snprintf(tugClass_->textsB[i], kCraftTextSize, "v%02d", 10 + i);
        classes_.push_back(tugClass_);
        savClass_ = new SAVClass("sav", Signature("SAV"), kCategoryCraft);
        std::memcpy(savClass_->defName, "sav", 3);
        savClass_->health = 1000;
        classes_.push_back(savClass_);
        Mission_SetPlayBounds(MapBounds{0.0f, 1000.0f, 0.0f, 1000.0f});
        // Orders carry a two-point route, as the unit AI makes them.
        Seam_Ai().pathNew = [](const Vector2D& from, const Vector2D& to) -> AiPath* {
            auto* path = new AiPath(nullptr, 2);
            path->points = {from, to};
            return path;
        };
        Seam_Ai().pathFree = AiPath_DeleteUnnamed;
    }
    void TearDown() override {
        Mission_SetPlayBounds(MapBounds{});
        ProcessFixture::TearDown();
    }
    template <class Kind>
    Kind* NewKind(GameObjectClass* cls, int32_t team, const Vector& at) {
        Kind* object = GameObject_New<Kind>(NewRoot(team), cls);
        object->SetTeam(team);
        object->entity->local.posit = DVector{at.x, at.y, at.z};
        object->UpdateSphere();
        return object;
    }
    TugProcess* NewTugProcess(Tug* tug) {
        auto* process = new TugProcess("TugFriend");
        process->Attach(nullptr, tug);
        return process;
    }
    std::string LastSaid() { return Said().empty() ? "" : Said().back(); }

    CraftClass* cls_ = nullptr;
    TugClass* tugClass_ = nullptr;
    SAVClass* savClass_ = nullptr;
    Craft* user_ = nullptr;
};

TEST_F(TugSavProcessTest, EachOrderGivesItsStateAndReply) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    Craft* other = NewCraft(*cls_, 1, Vector{150.0f, 0.0f, 100.0f});
    TugProcess* process = NewTugProcess(tug);
    process->Execute();
    ASSERT_EQ(process->curState, kTugWait) << "the first step enters WAIT";
    struct Case {
        int32_t code;
        bool onTarget;
        int32_t state;  // after the frame the order arrives in
        const char* reply;
    } cases[] = {
        {kCmdCodeGo, false, kTugGoto, "v10"},
        {kCmdCodeFollow, true, kTugFollow, "v12"},
        {kCmdCodePickup, true, kTugPickup, "v19"},
        {kCmdCodeDropoff, false, kTugDropoff, "v20"},
        {kCmdCodeRescue, true, kTugRescue, "v17"},
        {kCmdCodeRecycle, false, kTugRecycle, "v18"},
        {kCmdCodeStop, false, kTugWait, "v21"},
        // Without a repair service in reach the tug waits at once.
        {kCmdCodeGetRepair, false, kTugRepair, "v15"},
    };
    for (const Case& c : cases) {
        if (c.onTarget) tug->SetCommandObject(c.code, other);
        else tug->SetCommandPosition(c.code, Vector{200.0f, 0.0f, 200.0f}, 0);
        process->Execute();
        EXPECT_EQ(process->curState, c.state) << UnitCommand_Name(c.code);
        EXPECT_EQ(LastSaid(), c.reply) << UnitCommand_Name(c.code);
        if (c.onTarget) {
            EXPECT_EQ(process->whoHandle, other->GetObjHandle()) << UnitCommand_Name(c.code);
        }
        if (c.code == kCmdCodeGo || c.code == kCmdCodeDropoff) {
            EXPECT_EQ(process->where.y, kTugUseCommandPath) << "the order's own route";
        }
        process->nextState = kTugWait;
        process->Execute();
    }
    delete process;
}

TEST_F(TugSavProcessTest, SelectSaysSevenWhileCarryingWhateverTheState) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    Craft* loose = NewCraft(*cls_, 1, Vector{110.0f, 0.0f, 100.0f});
    TugProcess* process = NewTugProcess(tug);
    process->Execute();
    struct Case {
        int32_t state;
        bool cargo;
        const char* reply;
    } cases[] = {
        {kTugWait, false, "v00"}, {kTugGoto, false, "v01"}, {kTugPark, false, "v09"},
        {kTugWait, true, "v07"},  {kTugGoto, true, "v07"},  {kTugFollow, true, "v07"},
    };
    for (const Case& c : cases) {
        UnitProcess_ResetSay();
        tug->SetCargo(c.cargo ? loose : nullptr);
        process->curState = c.state;
        process->nextState = kTugNoState;
        tug->SetCommand(kCmdCodeSelect);
        process->Execute();
        EXPECT_EQ(LastSaid(), c.reply) << TugProcess_StateName(c.state) << (c.cargo ? " carrying" : "");
        EXPECT_EQ(process->curState, c.state) << "a selection changes no state";
        EXPECT_EQ(tug->nextCmd.what, kCmdCodeNone) << "accepted at once";
    }
    delete process;
}

TEST_F(TugSavProcessTest, ADropOffParksTheCargoFiveMetresOnThenBacksOffFifteen) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    Craft* loose = NewCraft(*cls_, 1, Vector{100.0f, 0.0f, 100.0f});
    tug->SetCargo(loose);
    tug->deployState = kTugHooked;
    TugProcess* process = NewTugProcess(tug);
    process->Execute();
    tug->SetCommandPosition(kCmdCodeDropoff, Vector{300.0f, 0.0f, 100.0f}, 0);
    process->Execute();
    ASSERT_EQ(process->curState, kTugDropoff);
    ASSERT_NE(process->task, nullptr);

    // The drive ends where the tug now stands, facing +z.
    tug->entity->local.posit = DVector{250.0, 0.0, 120.0};
    process->task->curState = kTaskDone;
    process->Execute();
    EXPECT_EQ(process->nextState, kTugPark);
    EXPECT_NEAR(process->where.x, 250.0f, 1e-3f);
    EXPECT_NEAR(process->where.z, 125.0f, 1e-3f) << "5 m ahead";
    process->Execute();
    ASSERT_EQ(process->curState, kTugPark);
    EXPECT_EQ(tug->curCmd.what, kCmdCodeNone) << "leaving a state clears the craft's current command";

    tug->entity->local.posit = DVector{250.0, 0.0, 125.0};
    process->task->curState = kTaskDone;
    process->Execute();
    EXPECT_EQ(tug->controls.deploy, 1) << "the hook is raised, which sets the cargo down";
    EXPECT_EQ(process->nextState, kTugGoto);
    EXPECT_NEAR(process->where.z, 110.0f, 1e-3f) << "15 m back";
    process->Execute();
    EXPECT_EQ(process->curState, kTugGoto);
    delete process;
}

TEST_F(TugSavProcessTest, PickUpEndsWithItsTargetAndWaitsBesideAnotherTugsCargo) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    Craft* loose = NewCraft(*cls_, 1, Vector{120.0f, 0.0f, 100.0f});
    TugProcess* process = NewTugProcess(tug);
    process->Execute();
    tug->SetCommandObject(kCmdCodePickup, loose);
    process->Execute();
    ASSERT_EQ(process->curState, kTugPickup);
    EXPECT_EQ(process->targetEntity, loose->entity);
    delete loose;
    for (int frame = 0; frame < 4 && process->curState == kTugPickup; ++frame) process->Execute();
    EXPECT_EQ(process->curState, kTugWait) << "a vanished target ends the pick-up";

    // Held by another tug: the pick-up closes to 7 m and holds there, never hooking.
    Tug* other = NewKind<Tug>(tugClass_, 1, Vector{300.0f, 0.0f, 300.0f});
    Craft* held = NewCraft(*cls_, 1, Vector{300.0f, 0.0f, 300.0f});
    other->SetCargo(held);
    TugPickup pickup(tug, held);
    pickup.him = held;
    struct Case {
        float distance;
        bool goesOn;
    } cases[] = {{20.0f, true}, {8.0f, true}, {6.0f, false}};
    for (const Case& c : cases) {
        pickup.lastDistSq = c.distance * c.distance;
        tug->controls.deploy = 0;
        EXPECT_EQ(pickup.OnNear(), c.goesOn) << c.distance;
        EXPECT_EQ(tug->controls.deploy, 0) << "never lowers the hook on another's cargo";
        EXPECT_FALSE(pickup.IsDone());
    }
    delete process;
}

TEST_F(TugSavProcessTest, RecycleWithoutADropOffWaits) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    TugProcess* process = NewTugProcess(tug);
    process->Execute();
    tug->SetCommand(kCmdCodeRecycle);
    process->Execute();
    EXPECT_EQ(process->curState, kTugRecycle);
    EXPECT_EQ(process->task, nullptr);
    process->Execute();
    process->Execute();
    EXPECT_EQ(process->curState, kTugWait);
    EXPECT_EQ(tug->curCmd.what, kCmdCodeNone);
    EXPECT_FALSE(tug->IsRecycleRequested());
    delete process;
}

TEST_F(TugSavProcessTest, TheTugsBrainSavesItsFieldsInOrderAndReadsThemBack) {
    Tug* tug = NewKind<Tug>(tugClass_, 1, Vector{100.0f, 0.0f, 100.0f});
    TugProcess* process = NewTugProcess(tug);
    process->curState = kTugPark;
    process->nextState = kTugGoto;
    process->where = Vector{1.0f, 2.0f, 3.0f};
    process->dropoffPoint = 6.5f;
    process->tugLocation = Vector{4.0f, 5.0f, 6.0f};
    for (bool binary : {false, true}) {
        bool ok = false;
        const std::string bytes = CaptureFields(binary, [&](FILE* f) { return process->Save(f); }, &ok);
        ASSERT_TRUE(ok);
        if (!binary) {
            size_t at = 0;
            for (const char* name : {"curState", "nextState", "craft", "where", "whoHandle", "task", "dropoffPoint",
                                     "tugLocation", "fMission"}) {
                const size_t found = bytes.find(name, at);
                EXPECT_NE(found, std::string::npos) << name << " in order";
                at = found == std::string::npos ? at : found;
            }
        }
        TugProcess loaded;
        {
            FieldReadScope scope(bytes, binary);
            ASSERT_TRUE(loaded.Load());
            EXPECT_EQ(scope.Offset(), scope.Size());
        }
        EXPECT_EQ(loaded.curState, kTugPark);
        EXPECT_EQ(loaded.nextState, kTugGoto);
        EXPECT_EQ(loaded.where.z, 3.0f);
        EXPECT_EQ(loaded.dropoffPoint, 6.5f);
        EXPECT_EQ(loaded.tugLocation.y, 5.0f);
        Field_DiscardFixups();
        loaded.craft = nullptr;
        loaded.task = nullptr;
        loaded.fMission = nullptr;
        loaded.fOwner = nullptr;
    }
    delete process;
}

// ---- the SAV ---------------------------------------------------------------------------------

TEST_F(TugSavProcessTest, ASavNearTheMapEdgeLeavesTheWorld) {
    struct Case {
        float x;
        bool removed;
    } cases[] = {{19.0f, true}, {21.0f, false}, {981.0f, true}, {979.0f, false}};
    for (const Case& c : cases) {
        SAV* sav = NewKind<SAV>(savClass_, 2, Vector{c.x, 0.0f, 500.0f});
        SAVEnemy process;
        process.Attach(nullptr, sav);
        process.CheckEnemy();
        EXPECT_EQ((sav->entity->flags & kEntityDead) != 0, c.removed) << c.x;
        process.me = nullptr;
        process.fOwner = nullptr;
        sav->aiProcess = nullptr;
    }
}

TEST_F(TugSavProcessTest, APersonComingNearTakesOverFromAVehicleInTwoSteps) {
    SAV* sav = NewKind<SAV>(savClass_, 2, Vector{500.0f, 0.0f, 500.0f});
    Craft* vehicle = NewCraft(*cls_, 1, Vector{600.0f, 0.0f, 500.0f});
    SAVEnemy process;
    process.Attach(nullptr, sav);
    process.curState = kUStateAttack;
    process.whoHandle = vehicle->GetObjHandle();
    process.saveState = kUStateWait;
    process.saveWho = 0;
    process.nextState = kUStateNone;
    EXPECT_FALSE(process.CheckEnemy()) << "no person near: the vehicle attack goes on";

    GameObjectClass& personClass = NewClass();
    personClass.category = kCategoryPerson;
    GameObject* person = Build(personClass, 1);
    person->SetTeam(1);
    person->entity->local.posit = DVector{550.0, 0.0, 500.0};
    person->UpdateSphere();
    ASSERT_TRUE(process.CheckEnemy());
    EXPECT_EQ(process.nextState, kUStateWait) << "first back to the saved state";
    EXPECT_EQ(process.saveState, kUStateNone);
    process.curState = kUStateWait;
    process.nextState = kUStateNone;
    ASSERT_TRUE(process.CheckEnemy());
    EXPECT_EQ(process.nextState, kUStateAttack) << "then the person";
    EXPECT_EQ(process.whoHandle, person->GetObjHandle());
    process.me = nullptr;
    process.fOwner = nullptr;
    sav->aiProcess = nullptr;
}

TEST_F(TugSavProcessTest, TheRamHurtsOnlyAPersonZeroToFiveMetresAhead) {
    SAV* sav = NewKind<SAV>(savClass_, 2, Vector{500.0f, 0.0f, 500.0f});
    GameObjectClass& cls = NewClass();
    cls.category = kCategoryPerson;
    struct Case {
        float ahead;
        int hits;
    } cases[] = {{3.0f, 1}, {0.5f, 1}, {6.0f, 0}, {-2.0f, 0}};
    for (const Case& c : cases) {
        auto* target = GameObject_New<Target>(NewRoot(1), &cls);
        target->entity->local.posit = DVector{500.0, 0.0, 500.0 + c.ahead};
        target->UpdateSphere();
        SAVAttackPersonTask task(sav, target);
        task.Ram(target);
        EXPECT_EQ(target->hits, c.hits) << c.ahead;
        if (c.hits) {
            EXPECT_EQ(target->amount, 75.0f);
            EXPECT_EQ(target->kind & 0x0F, 4) << "the third damage type";
            EXPECT_EQ(target->extra.y, 1.0f);
        }
        EXPECT_NEAR(sav->controls.throttle, std::clamp((c.ahead + 1.0f) * 0.001f, -0.25f, 0.25f), 1e-6f);
    }
}

TEST_F(TugSavProcessTest, SavsOnOneVehicleStandTwentyTwoAndAHalfDegreesApart) {
    Craft* vehicle = NewCraft(*cls_, 1, Vector{500.0f, 0.0f, 500.0f});
    std::vector<std::unique_ptr<SAVAttackVehicleTask>> tasks;
    for (int i = 0; i < 3; ++i) {
        SAV* sav = NewKind<SAV>(savClass_, 2, Vector{300.0f + 10.0f * i, 0.0f, 300.0f});
        tasks.push_back(std::make_unique<SAVAttackVehicleTask>(sav, vehicle));
    }
    for (int i = 0; i < 3; ++i) {
        const Vector p = tasks[i]->RingPoint(vehicle);
        const float angle = std::atan2(p.x - 500.0f, p.z - 500.0f) * 180.0f / 3.14159265f;
        EXPECT_NEAR(angle, 22.5f * i, 1e-3f);
        EXPECT_NEAR(std::hypot(p.x - 500.0f, p.z - 500.0f), kSavRingDistance, 1e-3f);
    }
    tasks.clear();
    EXPECT_TRUE(AttackRegistry().empty()) << "the attackers leave the vehicle's record";
}


TEST_F(TugSavProcessTest, TheVehicleAttacksDeadlines) {
    Craft* vehicle = NewCraft(*cls_, 1, Vector{500.0f, 0.0f, 500.0f});
    SAV* sav = NewKind<SAV>(savClass_, 2, Vector{300.0f, 0.0f, 300.0f});
    sav->deployState = kSavGround;
    SAVAttackVehicleTask task(sav, vehicle);
    const float now = Clock_GetTime();
    struct Case {
        int32_t state;
        float strike, lastShot;  // from now; lastShot < 0: not set by the entry
        bool deploys;
    } cases[] = {{kTaskAttack, 15.0f, 3.0f, false}, {kSavTaskSettle, 5.0f, -1.0f, true}};
    for (const Case& c : cases) {
        task.lastShotDeadline = -100.0f;
        sav->controls.deploy = 0;
        task.curState = c.state;
        task.Enter();
        EXPECT_FLOAT_EQ(task.strikeDeadline, now + c.strike) << c.state;
        const float lastShot = c.lastShot >= 0.0f ? now + c.lastShot : -100.0f;
        EXPECT_FLOAT_EQ(task.lastShotDeadline, lastShot);
        EXPECT_EQ(sav->controls.deploy != 0, c.deploys) << "SETTLE deploys the SAV";
    }
    task.curState = kTaskDone;
}

}  // namespace
