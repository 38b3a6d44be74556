#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/phasehook.h"
#include "core/registration.h"
#include "fun3d_fixture.h"
#include "platform/msgbox.h"

// Stand-in records the tests hand to the object through the seams.
class AiPath {
public:
    Vector2D from, to;
};
// Stand-ins for the weapon layer's records: the object code only passes their addresses on.
struct FakeWeapon {
    int id;
};
struct FakeWeaponClass {
    const char* name;
};
WeaponClass* AsClass(FakeWeaponClass* fake) { return reinterpret_cast<WeaponClass*>(fake); }
const FakeWeaponClass* FakeOf(const WeaponClass* cls) { return reinterpret_cast<const FakeWeaponClass*>(cls); }

namespace {

// ---- recording seam entries -----------------------------------------------------------------

std::vector<std::string> g_log;
int g_pathsLive = 0;

// The game time after setting it (a tick may add a millisecond).
float SetNow(float seconds) {
    Clock_SetTime(seconds);
    return Clock_GetTime();
}

AiPath* NewPath(const Vector2D& from, const Vector2D& to) {
    ++g_pathsLive;
    return new AiPath{from, to};
}
void FreePath(AiPath* path) {
    --g_pathsLive;
    delete path;
}
bool FirstPoint(const AiPath* path, Vector2D* out) {
    *out = path->from;
    return true;
}

Weapon* BuildWeapon(WeaponClass* cls, Entity*, Entity* part) {
    if (std::strcmp(FakeOf(cls)->name, "broken") == 0) return nullptr;
    g_log.push_back(std::string("build ") + FakeOf(cls)->name + " on " + std::string(part->name, strnlen(part->name, 8)));
    return reinterpret_cast<Weapon*>(new FakeWeapon{static_cast<int>(g_log.size())});
}
void DestroyWeapon(Weapon* weapon) {
    g_log.push_back("destroy weapon");
    delete reinterpret_cast<FakeWeapon*>(weapon);
}

class CountingProcess : public sObject {
public:
    static inline int live = 0;
    CountingProcess() { ++live; }
    ~CountingProcess() override { --live; }
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

class RecordingHook : public PhaseHook {
public:
    void OnObjectAdded(GameObject* object) override { g_log.push_back("added " + std::to_string(object->seqNo)); }
    void OnObjectRemoved(GameObject* object) override {
        g_log.push_back(std::string("removed ") + ((object->entity->flags & kEntityDead) ? "dead" : "alive"));
    }
};

class GameObjectTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        g_log.clear();
        g_pathsLive = 0;
        Seam_Ai().pathNew = NewPath;
        Seam_Ai().pathFree = FreePath;
        Seam_Ai().pathFirstPoint = FirstPoint;
        Seam_Weapons().weaponClassBuild = BuildWeapon;
        Seam_Weapons().weaponDestroy = DestroyWeapon;
        Seam_Weapons().weaponClassName = [](const WeaponClass* cls) { return FakeOf(cls)->name; };
        Seam_Cockpit().unitGroupsDropHandle = [](uint32_t h) { g_log.push_back("drop " + std::to_string(h)); };
        Seam_Cockpit().reportUnderAttack = [](GameObject*) { g_log.push_back("under attack"); };
    }
    void TearDown() override {
        Fun3dFixture::TearDown();
        EXPECT_EQ(g_pathsLive, 0) << "every command path is freed with its object";
    }
};

// ---- construction -------------------------------------------------------------------------

TEST_F(GameObjectTest, ConstructionTakesTheClassValuesAndStartsFromRest) {
    GameObjectClass& cls = NewClass(250, 40);
    cls.spriteIndex = 9;
    cls.weaponLinkDigits = 10101;
    Clock_SetTime(12.5f);
    const uint32_t nowMs = Clock_GetTimeMs();
    GameObject* object = Build(cls, 3);
    EXPECT_EQ(object->entity->owner, object);
    EXPECT_EQ(object->seqNo, 1u);
    EXPECT_EQ(GameObject_GetSerialCounter(), 2u);
    EXPECT_EQ(object->slotIndex, 511);
    EXPECT_EQ(object->team, -1);
    EXPECT_EQ(object->teamSlot, -1);
    EXPECT_EQ(object->perceivedTeam, 3);
    EXPECT_FLOAT_EQ(object->maxHealth, 250.0f);
    EXPECT_FLOAT_EQ(object->curHealth, 250.0f);
    EXPECT_FLOAT_EQ(object->healthRatio, 1.0f);
    EXPECT_EQ(object->curAmmo, 40);
    EXPECT_FLOAT_EQ(object->ammoRatio, 1.0f);
    EXPECT_EQ(object->weaponLinkMask, 0x15u);
    EXPECT_EQ(object->spriteIndex, 9);
    EXPECT_EQ(object->createTime, nowMs);
    EXPECT_EQ(object->commands.selected, -1);
    EXPECT_EQ(object->lastAttackerPlayer, kNoPlayer);
    EXPECT_FLOAT_EQ(object->playerShot, kNeverTime);
    EXPECT_FLOAT_EQ(object->lastHitTime, kNeverTime);
    EXPECT_FLOAT_EQ(object->euler.invSpeed, 1e30f);
    EXPECT_FLOAT_EQ(object->smoothingMark, -1.0f);
    EXPECT_EQ(object->hardpoints, nullptr);
    EXPECT_EQ(object->record, Entities_FindRecord(object->entity));

    GameObject* empty = Build(NewClass(0, 0));
    EXPECT_FLOAT_EQ(empty->ammoRatio, 0.0f);
}

TEST_F(GameObjectTest, TheUsersEntityMakesTheUsersObjectAndTeam) {
    GameObjectClass& cls = NewClass();
    GameObject* user = Build(cls, 2, kEntityUser);
    EXPECT_EQ(GameObject_GetUser(), user);
    EXPECT_EQ(GameObject_GetUserTeam(), 2);
    EXPECT_EQ(GameObject_GetUserTeamRecord(), TeamRecord::Get(2));
    delete user;
    EXPECT_EQ(GameObject_GetUser(), nullptr);
}

TEST_F(GameObjectTest, PlannerSlotsFollowThePlannersCountAndAreDeletedWithTheObject) {
    struct Counted : PlannerRecord {
        int* live;
        explicit Counted(int* l) : live(l) { ++*live; }
        ~Counted() override { --*live; }
    };
    Seam_Planner().slotCount = [] { return 3; };
    GameObject* object = Build(NewClass());
    EXPECT_EQ(object->PlannerSlotCount(), 3);
    int live = 0;
    EXPECT_TRUE(object->SetPlannerSlot(0, new Counted(&live)));
    EXPECT_TRUE(object->SetPlannerSlot(2, new Counted(&live)));
    EXPECT_FALSE(object->SetPlannerSlot(3, nullptr));
    EXPECT_EQ(live, 2);
    delete object;
    EXPECT_EQ(live, 0);
}

TEST_F(GameObjectTest, ModulesHearOfEveryNewObject) {
    RecordingHook hook;
    PhaseHook_ClearForTests();
    PhaseHook_Register(&hook);
    Build(NewClass());
    PhaseHook_ClearForTests();
    EXPECT_EQ(g_log, std::vector<std::string>{"added 1"});
}

// ---- hardpoints ---------------------------------------------------------------------------

TEST_F(GameObjectTest, HardpointsAreFoundDepthFirstByThreeCharactersWithoutCase) {
    GameObjectClass& cls = NewClass();
    FakeWeaponClass gun{"gun"};
    FakeWeaponClass cannon{"cannon"};
    std::memcpy(cls.hardpointNames[0], "HPa", 3);
    std::memcpy(cls.hardpointNames[1], "hpb", 3);
    std::memcpy(cls.hardpointNames[3], "hpc", 3);  // a name with no weapon class
    cls.weaponClasses[0] = AsClass(&gun);
    cls.weaponClasses[1] = AsClass(&cannon);
    Entity* root = NewRoot();
    NewPart(root, "hpc");
    NewPart(root, "hpa_late");  // new children go first: this is body's next sibling
    Entity* body = NewPart(root, "body");
    NewPart(body, "HPB_special", kSpecialHardpointType);
    NewPart(body, "hpa_deep");  // body's subtree is searched before its next sibling
    GameObject* object = Build(cls, root);

    HardpointList* list = object->hardpoints;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->owner, object);
    EXPECT_EQ(std::string(list->hardpoints[0]->name, 8), "hpa_deep");
    EXPECT_EQ(std::string(list->hardpoints[1]->name, 8), "HPB_spec");
    EXPECT_EQ(list->hardpoints[2], nullptr);
    EXPECT_NE(list->hardpoints[3], nullptr) << "the part is stored without a weapon";
    EXPECT_EQ(list->weapons[3], nullptr);
    EXPECT_EQ(list->present, 0x3u);
    EXPECT_EQ(list->enabled, 0x3u);
    EXPECT_EQ(list->special, 1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"build gun on hpa_deep", "build cannon on HPB_spec"}));
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(GameObjectTest, MissingHardpointsAndFailedWeaponsWarnAndTheObjectIsStillBuilt) {
    GameObjectClass& cls = NewClass();
    std::memcpy(cls.defName, "avtank01", 8);
    FakeWeaponClass gun{"gun"};
    FakeWeaponClass broken{"broken"};
    std::memcpy(cls.hardpointNames[1], "hpx", 3);
    std::memcpy(cls.hardpointNames[2], "hpy", 3);
    std::memcpy(cls.hardpointNames[4], "hpz", 3);  // no part and no weapon class: silent
    cls.weaponClasses[1] = AsClass(&gun);
    cls.weaponClasses[2] = AsClass(&broken);
    Entity* root = NewRoot();
    NewPart(root, "hpy1");
    GameObject* object = Build(cls, root);
    ASSERT_NE(object, nullptr);

    const auto& boxes = Plat_MessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Object 'avtank01' slot #1: no hardpoint named 'hpx'");
    EXPECT_EQ(boxes[1].text, "Object 'avtank01' slot #2: couldn't add weapon 'broken' to hardpoint 'hpy'");
    EXPECT_EQ(object->hardpoints->present, 0u);
    EXPECT_NE(object->hardpoints->hardpoints[2], nullptr);
}

TEST_F(GameObjectTest, TheEnabledMaskKeepsOnlyPresentWeapons) {
    HardpointList list(nullptr);
    FakeWeapon w{1};
    list.SetWeapon(2, nullptr, reinterpret_cast<Weapon*>(&w));
    list.SetWeapon(7, nullptr, reinterpret_cast<Weapon*>(&w));  // refused
    list.SetEnabled(0x1F);
    EXPECT_EQ(list.present, 0x4u);
    EXPECT_EQ(list.enabled, 0x4u);
    list.SetWeapon(2, nullptr, nullptr);
    EXPECT_EQ(list.present, 0u);
    EXPECT_EQ(list.enabled, 0u);
}

TEST_F(GameObjectTest, TheCommandListDropsTheSelectionWhenTheSelectedEntryChanges) {
    CommandList list;
    list.Set(3, 14, true);
    list.selected = 3;
    EXPECT_EQ(list.Selected(), 14);
    list.Set(3, 14, false);  // same value: the selection stays
    EXPECT_EQ(list.selected, 3);
    EXPECT_FALSE(list.IsEnabled(3));
    list.Set(3, 15, true);
    EXPECT_EQ(list.selected, -1);
    EXPECT_EQ(list.Selected(), 0);
    list.Set(11, 1, true);  // outside
    list.Clear();
    EXPECT_EQ(list.enabledMask, 0u);
    EXPECT_EQ(list.codes[3], 0);
}

// ---- teams --------------------------------------------------------------------------------

TEST_F(GameObjectTest, TeamSlotsComeFromTheClassRangeAndTheUserAlwaysTakesSlotZero) {
    GameObjectClass& ranged = NewClass();
    ranged.teamSlotFirst = 25;
    ranged.teamSlotLast = 26;
    GameObjectClass& plain = NewClass();  // range -1, -1
    GameObjectClass& halfRange = NewClass();
    halfRange.teamSlotFirst = 5;  // last stays -1

    GameObject* user = Build(plain, 1, kEntityUser);
    user->SetTeam(1);
    EXPECT_EQ(user->teamSlot, 0);
    EXPECT_EQ(TeamRecord::Get(1)->GetSlot(0), user);
    EXPECT_EQ(user->commands.selected, 0);

    GameObject* a = Build(ranged);
    GameObject* b = Build(ranged);
    GameObject* c = Build(ranged);
    GameObject* d = Build(plain);
    GameObject* e = Build(halfRange);
    for (GameObject* o : {a, b, c, d, e}) o->SetTeam(1);
    EXPECT_EQ(a->teamSlot, 25);
    EXPECT_EQ(b->teamSlot, 26);
    EXPECT_EQ(c->teamSlot, -1) << "range full";
    EXPECT_EQ(d->teamSlot, -1);
    EXPECT_EQ(e->teamSlot, -1);
    EXPECT_EQ(a->teamRecord, TeamRecord::Get(1));
    EXPECT_EQ(a->entity->flags & kEntityTeamMask, 1u << kEntityTeamShift);
    int taken = 0;
    for (GameObject* slot : TeamRecord::Get(1)->slots) taken += slot != nullptr;
    EXPECT_EQ(taken, 3);

    a->LeaveTeam();
    EXPECT_EQ(TeamRecord::Get(1)->GetSlot(25), nullptr);
    EXPECT_EQ(a->team, -1);
    EXPECT_EQ(a->teamSlot, -1);
    EXPECT_EQ(a->teamRecord, nullptr);
    EXPECT_EQ(g_log.back(), "drop " + std::to_string(a->GetObjHandle()));
    c->ChangeTeam(1);
    EXPECT_EQ(c->teamSlot, 25);
}

TEST_F(GameObjectTest, LeavingATeamFreesOnlyASlotTheObjectStillHolds) {
    GameObjectClass& cls = NewClass();
    cls.teamSlotFirst = 0;
    cls.teamSlotLast = 0;
    GameObject* unit = Build(cls);
    unit->SetTeam(1);
    ASSERT_EQ(unit->teamSlot, 0);
    GameObject* user = Build(NewClass(), 1, kEntityUser);
    user->SetTeam(1);  // the user's object takes slot 0 over
    unit->LeaveTeam();
    EXPECT_EQ(TeamRecord::Get(1)->GetSlot(0), user);
    delete unit;
    EXPECT_EQ(TeamRecord::Get(1)->GetSlot(0), user);
}

TEST_F(GameObjectTest, TeamRelationsNeedATeamAboveZeroAndARecord) {
    GameObjectClass& cls = NewClass();
    GameObject* a = Build(cls, 1);
    GameObject* b = Build(cls, 2);
    EXPECT_FALSE(a->IsAllyTeam(1)) << "no record before joining";
    a->SetTeam(1);
    b->SetTeam(2);
    TeamRecord::Get(1)->AddAlly(3);
    struct Case {
        int32_t t;
        bool ally, enemy;
    } cases[] = {{0, false, false}, {-1, false, false}, {1, true, false}, {2, false, true}, {3, true, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(a->IsAllyTeam(c.t), c.ally) << c.t;
        EXPECT_EQ(a->IsEnemyTeam(c.t), c.enemy) << c.t;
    }
    EXPECT_TRUE(a->IsEnemy(b));
    b->SetPerceivedTeam(1);  // disguised
    EXPECT_TRUE(a->IsAlly(b));
    EXPECT_FALSE(a->IsAlly(nullptr));
    EXPECT_FALSE(a->IsEnemy(nullptr));
}

TEST_F(GameObjectTest, TeamColoursFollowTheRelationToTheUsersTeam) {
    GameObject_SetColourPair(kColoursNeutral, 1, 2);
    GameObject_SetColourPair(kColoursOwn, 3, 4);
    GameObject_SetColourPair(kColoursAlly, 5, 6);
    GameObject_SetColourPair(kColoursEnemy, 7, 8);
    GameObject_SetColourPair(kColoursPowerUp, 9, 10);
    GameObjectClass& cls = NewClass();
    Build(cls, 1, kEntityUser);
    TeamRecord::Get(1)->AddAlly(4);
    struct Case {
        int32_t team;
        int32_t type;
        uint32_t first;
    } cases[] = {{0, 0, 1}, {1, 0, 3}, {4, 0, 5}, {2, 0, 7}, {2, kTypePowerUp, 9}};
    for (const Case& c : cases) {
        GameObject* o = Build(cls);
        o->entity->type = c.type;
        o->SetTeam(c.team);
        EXPECT_EQ(o->teamColours[0], c.first) << c.team << "/" << c.type;
        EXPECT_EQ(o->teamColours[1], c.first + 1);
    }
    for (int k = 0; k < 5; ++k) GameObject_SetColourPair(static_cast<TeamColourKind>(k), 0, 0);
}

TEST_F(GameObjectTest, MakeUserHandsTheUserOverAndReleasesThePreviousObject) {
    static CountingProcess* made = nullptr;
    Seam_Ai().createUserProcess = [](GameObject*) -> sObject* { return made = new CountingProcess(); };
    GameObjectClass& cls = NewClass();
    GameObject* first = Build(cls, 1, kEntityUser);
    first->SetTeam(1);
    GameObject* second = Build(cls, 1);
    second->SetAiProcess(new CountingProcess());
    second->SetTeam(1);
    EXPECT_EQ(CountingProcess::live, 1);

    sObject* process = second->MakeUser();
    EXPECT_EQ(process, made);
    EXPECT_EQ(second->aiProcess, made);
    EXPECT_EQ(CountingProcess::live, 1) << "the old AI process was deleted";
    EXPECT_EQ(GameObject_GetUser(), second);
    EXPECT_EQ(Entities_GetUser(), second->record);
    EXPECT_TRUE(second->entity->flags & kEntityUser);
    EXPECT_FALSE(first->entity->flags & kEntityUser);
    EXPECT_EQ(second->teamSlot, 0);
    EXPECT_EQ(first->team, 1);
    EXPECT_EQ(first->teamSlot, -1);
    EXPECT_FALSE(second->CanTakeAiOrders()) << "the user's object takes no AI orders";
    delete second;
    EXPECT_EQ(CountingProcess::live, 0);
}

TEST_F(GameObjectTest, AiOrdersNeedAProcessAnIdleCommandAndALiveObject) {
    GameObject* o = Build(NewClass());
    EXPECT_FALSE(o->CanTakeAiOrders());
    o->SetAiProcess(new CountingProcess());
    EXPECT_TRUE(o->CanTakeAiOrders());
    o->curCmd.priority = 1;
    EXPECT_FALSE(o->CanTakeAiOrders());
    o->curCmd.priority = 0;
    o->entity->flags |= kEntityDead;
    EXPECT_FALSE(o->CanTakeAiOrders());
}

// ---- health and ammunition ----------------------------------------------------------------

TEST_F(GameObjectTest, HealthIsCutToTheMaximumWithNoLowerBound) {
    GameObject* o = Build(NewClass(200, 0));
    o->AddHealth(-50.0f);
    EXPECT_FLOAT_EQ(o->curHealth, 150.0f);
    EXPECT_FLOAT_EQ(o->healthRatio, 0.75f);
    o->AddHealth(1000.0f);
    EXPECT_FLOAT_EQ(o->curHealth, 200.0f);
    o->AddHealth(-500.0f);
    EXPECT_FLOAT_EQ(o->curHealth, -300.0f);
    EXPECT_FLOAT_EQ(o->GetHealthRatio(), -1.5f);

    GameObject* none = Build(NewClass(0, 0));
    none->AddHealth(-10.0f);
    none->AddHealth(10.0f);
    EXPECT_FLOAT_EQ(none->curHealth, 0.0f);
    EXPECT_FLOAT_EQ(none->healthRatio, 1.0f);
}

TEST_F(GameObjectTest, InvulnerabilityProtectsOnlyTheUsersObjectOutsideNetworkGames) {
    GameObjectClass& cls = NewClass(100, 0);
    GameObject* user = Build(cls, 1, kEntityUser);
    GameObject* other = Build(cls);
    SetCheats(0x8);
    user->AddHealth(-40.0f);
    user->SetMaxHealth(0.0f);
    other->AddHealth(-40.0f);
    EXPECT_FLOAT_EQ(user->curHealth, 100.0f);
    EXPECT_FLOAT_EQ(user->maxHealth, 100.0f);
    EXPECT_FLOAT_EQ(other->curHealth, 60.0f);
    user->AddHealth(10.0f);  // healing still counts
    user->SetMaxHealth(150.0f);
    EXPECT_FLOAT_EQ(user->maxHealth, 150.0f);

    Seam_Net().isNetworkGame = [] { return true; };
    user->AddHealth(-40.0f);
    EXPECT_FLOAT_EQ(user->curHealth, 60.0f);
}

TEST_F(GameObjectTest, AmmunitionHasNoLowerBoundAndNothingChangesWithoutAMaximum) {
    GameObject* o = Build(NewClass(10, 20));
    EXPECT_EQ(o->AddAmmo(-5), 15);
    EXPECT_FLOAT_EQ(o->GetAmmoRatio(), 0.75f);
    EXPECT_EQ(o->AddAmmo(100), 20);
    EXPECT_EQ(o->AddAmmo(-30), -10);
    EXPECT_FLOAT_EQ(o->ammoRatio, -0.5f);
    EXPECT_EQ(o->AddAmmo(INT32_MIN), INT32_MIN) << "a huge spend does not wrap round";

    GameObject* none = Build(NewClass(10, 0));
    EXPECT_EQ(none->AddAmmo(5), 0);
    EXPECT_EQ(none->AddAmmo(-5), 0);
    EXPECT_EQ(none->curAmmo, 0);
    EXPECT_FLOAT_EQ(none->ammoRatio, 0.0f);
}

TEST_F(GameObjectTest, UnlimitedAmmunitionAnswersOneForTheUsersSpending) {
    GameObject* user = Build(NewClass(10, 20), 1, kEntityUser);
    SetCheats(0x4);
    EXPECT_EQ(user->AddAmmo(-5), 1);
    EXPECT_EQ(user->curAmmo, 20);
    EXPECT_EQ(user->AddAmmo(0), 1);
    SetCheats(0);
    EXPECT_EQ(user->AddAmmo(-5), 15);
}

// ---- commands -----------------------------------------------------------------------------

TEST_F(GameObjectTest, APendingCodeOfOneIsConsumedAndTheCurrentCommandStays) {
    GameObject* o = Build(NewClass());
    o->SetCommandPosition(3, Vector{50, 0, 60}, 7);
    EXPECT_EQ(o->AcceptCommand(), 3);
    AiPath* current = o->curCmd.where;
    ASSERT_NE(current, nullptr);
    o->SetCommand(kCmdConsumed);
    EXPECT_EQ(o->AcceptCommand(), kCmdConsumed);
    EXPECT_EQ(o->nextCmd.what, kCmdNone);
    EXPECT_EQ(o->curCmd.what, 3);
    EXPECT_EQ(o->curCmd.where, current);
    EXPECT_EQ(o->curCmd.param, 7);
}

TEST_F(GameObjectTest, AcceptingMovesThePendingCommandAndItsPathToCurrent) {
    GameObjectClass& cls = NewClass();
    GameObject* o = Build(cls);
    GameObject* target = Build(cls);
    o->SetPosition(Vector{1, 2, 3});
    target->SetPosition(Vector{10, 0, 20});
    o->SetCommandPosition(3, Vector{5, 0, 6}, 0);
    o->AcceptCommand();
    o->nextCmd.value = 2.5f;
    o->SetCommandObject(4, target);
    EXPECT_EQ(g_pathsLive, 2);
    EXPECT_EQ(o->AcceptCommand(), 4);
    EXPECT_EQ(g_pathsLive, 1) << "the old current path is freed";
    EXPECT_EQ(o->curCmd.who, target->GetObjHandle());
    EXPECT_EQ(o->GetCommandTarget(), target);
    const Vector point = o->GetCommandPoint();
    EXPECT_FLOAT_EQ(point.x, 1.0f);
    EXPECT_FLOAT_EQ(point.y, 0.0f);
    EXPECT_FLOAT_EQ(point.z, 3.0f);
    EXPECT_FLOAT_EQ(o->curCmd.where->to.x, 10.0f);
    EXPECT_EQ(o->nextCmd.what, 0);
    EXPECT_EQ(o->nextCmd.where, nullptr);
    EXPECT_FLOAT_EQ(o->nextCmd.value, 2.5f) << "the float value is left";

    target->entity->flags |= kEntityDead;
    EXPECT_EQ(o->GetCommandTarget(), nullptr);
    o->ClearCommand();
    EXPECT_EQ(g_pathsLive, 0);
    EXPECT_EQ(o->curCmd.what, 0);
    EXPECT_EQ(o->GetCommandPoint().x, 0.0f);
}

TEST_F(GameObjectTest, OrdersReplaceThePendingCommandAndFreeItsPath) {
    GameObject* o = Build(NewClass());
    GameObject* target = Build(NewClass());
    o->SetCommandObjectPosition(4, target, Vector{7, 0, 8}, 1.5f);
    EXPECT_EQ(o->nextCmd.who, target->GetObjHandle());
    EXPECT_FLOAT_EQ(o->nextCmd.value, 1.5f);
    EXPECT_FLOAT_EQ(o->nextCmd.where->to.z, 8.0f);
    o->SetCommandParameter(21, 99);
    EXPECT_EQ(g_pathsLive, 0);
    EXPECT_EQ(o->nextCmd.what, 21);
    EXPECT_EQ(o->nextCmd.param, 99);
    EXPECT_EQ(o->nextCmd.who, 0u);

    o->SetCommandObject(4, nullptr);  // no target: a plain command
    EXPECT_EQ(o->nextCmd.what, 4);
    EXPECT_EQ(o->nextCmd.where, nullptr);

    AiCmdInfo info{2, 5, target->GetObjHandle(), NewPath({0, 0}, {1, 1}), 0.0f, 3};
    o->SetNextCmdInfo(info);
    o->SetNextCmdInfo(info);  // the same path again is not freed under itself
    EXPECT_EQ(g_pathsLive, 1);
    EXPECT_EQ(o->nextCmd.priority, 2);
    o->SetNextCmdInfo(AiCmdInfo{});
    EXPECT_EQ(g_pathsLive, 0);
}

// ---- hits and damage ----------------------------------------------------------------------

TEST_F(GameObjectTest, AHitSetsTheTimesOfItsKindAndAnAttackRevealsTheAttacker) {
    GameObjectClass& cls = NewClass();
    GameObject* victim = Build(cls, 1);
    GameObject* shooter = Build(cls, 2);
    GameObject* friendly = Build(cls, 1);
    victim->SetTeam(1);
    shooter->SetTeam(2);
    friendly->SetTeam(1);
    shooter->SetPerceivedTeam(1);  // disguised
    Entity* bullet = NewRoot(2, kEntityUser, false);
    victim->hitWord = 0x55;

    const float t4 = SetNow(4.0f);
    DamageInfo shot{shooter->entity, bullet, kDamageUserSide, kNoPlayer, 10.0f};
    victim->NoteHit(shot);
    EXPECT_EQ(victim->hitWord, 0u);
    EXPECT_FLOAT_EQ(victim->playerShot, t4);
    EXPECT_FLOAT_EQ(victim->enemyShot, t4);
    EXPECT_FLOAT_EQ(victim->friendShot, kNeverTime);
    EXPECT_EQ(victim->lastShooter, shooter->GetObjHandle());
    EXPECT_EQ(shooter->lastHitTarget, victim->GetObjHandle());
    EXPECT_FLOAT_EQ(shooter->lastHitTime, t4);
    EXPECT_EQ(shooter->perceivedTeam, 2) << "attacking reveals the disguise";
    EXPECT_EQ(g_log, std::vector<std::string>{"under attack"});

    const float t5 = SetNow(5.0f);
    DamageInfo friendlyShot{friendly->entity, bullet, 0, kNoPlayer, 1.0f};
    victim->NoteHit(friendlyShot);
    EXPECT_FLOAT_EQ(victim->friendShot, t5);
    EXPECT_FLOAT_EQ(victim->playerShot, t4);
    EXPECT_EQ(victim->lastShooter, friendly->GetObjHandle());

    const float t6 = SetNow(6.0f);
    DamageInfo ram;
    ram.SetSourceEntity(shooter->entity);
    victim->NoteHit(ram);
    EXPECT_FLOAT_EQ(victim->enemyCollide, t6);
    EXPECT_FLOAT_EQ(victim->playerCollide, kNeverTime);
    EXPECT_EQ(victim->lastShooter, friendly->GetObjHandle()) << "a collision names no shooter";

    const float t7 = SetNow(7.0f);
    DamageInfo bump;
    bump.SetSourceEntity(friendly->entity);
    victim->NoteHit(bump);
    EXPECT_FLOAT_EQ(victim->friendCollide, t7);

    const float t8 = SetNow(8.0f);
    DamageInfo ground{};
    victim->NoteHit(ground);
    EXPECT_FLOAT_EQ(victim->groundCollide, t8);
    EXPECT_EQ(g_log.size(), 1u);
}

TEST_F(GameObjectTest, TheSourceFillerTakesTheEntitysFlagsAndItsOwnersPlayer) {
    GameObject* o = Build(NewClass(), 1, kEntityUser | 0x20);
    o->playerId = 7;
    DamageInfo d{nullptr, nullptr, 0xFFFF, 0, 99.0f};
    d.SetSourceEntity(o->entity);
    EXPECT_EQ(d.source, o->entity);
    EXPECT_EQ(d.carrier, o->entity);
    EXPECT_EQ(d.kind, 0x38u) << "impact, bit 4 and bit 5";
    EXPECT_EQ(d.playerId, 7);
    EXPECT_FLOAT_EQ(d.amount, 0.0f);
    Entity* loose = NewRoot(0, 0, false);
    d.SetSourceEntity(loose);
    EXPECT_EQ(d.kind, 0x08u);
    EXPECT_EQ(d.playerId, kNoPlayer);
    loose->flags = 0x20;
    d.SetSourceEntity(loose);
    EXPECT_EQ(d.kind, 0x38u) << "flag 0x20 alone sets bits 4 and 5";
}

TEST_F(GameObjectTest, DamageIsScaledByDifficultyForTheUsersSideOnly) {
    static int difficulty = 2;
    Seam_Missions().difficulty = [] { return difficulty; };
    GameObjectClass& cls = NewClass();
    GameObject* user = Build(cls, 1, kEntityUser);
    GameObject* ally = Build(cls, 1);
    GameObject* enemy = Build(cls, 2);
    for (GameObject* o : {user, ally}) o->SetTeam(1);
    enemy->SetTeam(2);
    Entity* userShot = NewRoot(1, kEntityUser, false);
    Entity* allyShot = NewRoot(1, 0, false);
    Entity* enemyShot = NewRoot(2, 0, false);

    struct Case {
        const char* what;
        GameObject* target;
        Entity* owner;
        uint16_t kind;
        float factor[3];  // at difficulty 0, 1, 2
    } cases[] = {
        {"enemy shoots the user", user, enemyShot, 0, {0.5f, 0.75f, 1.0f}},
        {"ally shoots the user", user, allyShot, 0, {0.0f, 0.5f, 1.0f}},
        {"the ground hurts the user", user, nullptr, 0, {0.5f, 0.75f, 1.0f}},
        {"user shoots an enemy", enemy, userShot, kDamageUserSide, {1.5f, 1.25f, 1.0f}},
        {"user shoots an ally", ally, userShot, kDamageUserSide, {0.0f, 0.5f, 1.0f}},
        {"enemy shoots an ally", ally, enemyShot, 0, {1.0f, 1.0f, 1.0f}},
    };
    for (difficulty = 0; difficulty <= 2; ++difficulty) {
        for (const Case& c : cases) {
            DamageInfo d{c.owner, c.owner, static_cast<uint16_t>(kDamageImpact | c.kind), kNoPlayer, 100.0f};
            c.target->ScaleDamage(d);
            EXPECT_FLOAT_EQ(d.amount, 100.0f * c.factor[difficulty]) << c.what << " at difficulty " << difficulty;
        }
    }
    difficulty = 0;
    Seam_Net().isNetworkGame = [] { return true; };
    DamageInfo d{enemyShot, enemyShot, kDamageImpact, kNoPlayer, 100.0f};
    user->ScaleDamage(d);
    EXPECT_FLOAT_EQ(d.amount, 100.0f) << "no scaling in a network game";
}

// ---- placement ----------------------------------------------------------------------------

TEST_F(GameObjectTest, MovingTheObjectMovesItsSphereAndTheRecordsBox) {
    GameObject* o = Build(NewClass());
    o->record->localCentre = Vector{0, 1, 0};
    o->record->radius = 2.0f;
    o->SetPosition(Vector{10, 20, 30});
    EXPECT_FLOAT_EQ(o->GetPosition().y, 21.0f);
    EXPECT_DOUBLE_EQ(o->entity->local.posit.x, 10.0);
    EXPECT_FLOAT_EQ(o->record->boxMin.x, 8.0f);
    EXPECT_FLOAT_EQ(o->record->boxMax.z, 32.0f);
    Matrix m = kIdentityMatrix;
    m.up = Vector{0, 0, 1};
    m.front = Vector{0, -1, 0};
    m.posit = DVector{1, 1, 1};
    o->SetMatrix(m);
    EXPECT_FLOAT_EQ(o->pos.z, 2.0f);
    EXPECT_FLOAT_EQ(o->pos.y, 1.0f);

    o->SetVelocity(Vector{3, 0, 4});
    EXPECT_FLOAT_EQ(o->euler.speed, 5.0f);
    EXPECT_FLOAT_EQ(o->euler.invSpeed, 0.2f);
    o->SetVelocity(Vector{0, 0, 0});
    EXPECT_FLOAT_EQ(o->euler.invSpeed, 1e30f);
}

TEST_F(GameObjectTest, SettersKeepHandlesLabelsAndAttackers) {
    GameObject* o = Build(NewClass());
    GameObject* other = Build(NewClass());
    other->playerId = 12;
    o->SetTarget(other);
    EXPECT_EQ(o->target, other->GetObjHandle());
    EXPECT_EQ(GameObject_TargetOfEntity(o->entity), other);
    o->SetTarget(nullptr);
    EXPECT_EQ(o->target, 0u);
    o->SetLastAttacker(other);
    EXPECT_EQ(o->lastAttacker, other->GetObjHandle());
    EXPECT_EQ(o->lastAttackerPlayer, 12);
    o->SetLastAttacker(nullptr);
    EXPECT_EQ(o->lastAttacker, 0u);
    EXPECT_EQ(o->lastAttackerPlayer, kNoPlayer);
    o->SetLabel("first");
    o->SetLabel("second");
    EXPECT_STREQ(o->label, "second");
    o->SetLabel(nullptr);
    EXPECT_EQ(o->label, nullptr);

    Entity* part = NewPart(o->entity, "part");
    EXPECT_EQ(GameObject_FromEntity(part), o);
    EXPECT_EQ(GameObject_HandleOfEntity(part), o->GetObjHandle());
    EXPECT_EQ(GameObject_EntityFromHandle(o->GetObjHandle()), o->entity);
    EXPECT_FALSE(GameObject_EntityIsLit(part));
    o->illumination = 0.5f;
    EXPECT_TRUE(GameObject_EntityIsLit(part));
    o->RequestRecycle();
    EXPECT_TRUE(o->IsRecycleRequested());
}

// ---- teardown -----------------------------------------------------------------------------

TEST_F(GameObjectTest, TearDownTakesTheObjectOutOfTheWorldAndItsSlotBack) {
    // The craft row's free function destroys the object its body names, as the kinds do.
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { delete static_cast<GameObject*>(owner); };
    RecordingHook hook;
    PhaseHook_ClearForTests();
    PhaseHook_Register(&hook);
    GameObjectClass& cls = NewClass();
    FakeWeaponClass gun{"gun"};
    std::memcpy(cls.hardpointNames[0], "hpa", 3);
    cls.weaponClasses[0] = AsClass(&gun);
    cls.teamSlotFirst = 10;
    cls.teamSlotLast = 10;
    Entity* root = NewRoot();
    NewPart(root, "hpa");
    GameObject* o = Build(cls, root);
    o->SetTeam(1);
    o->SetAiProcess(new CountingProcess());
    o->SetCommandPosition(3, Vector{1, 0, 1}, 0);
    auto* body = PhysBody_New();
    body->owner = o;
    root->type = kTypeCraft;
    root->classData = body;
    const uint32_t handle = o->GetObjHandle();
    const int freeBefore = GameObject_PoolFreeCount();
    g_log.clear();

    o->TearDown();
    PhaseHook_ClearForTests();
    EXPECT_EQ(g_log, (std::vector<std::string>{"removed alive", "destroy weapon", "drop " + std::to_string(handle)}));
    EXPECT_EQ(CountingProcess::live, 0);
    EXPECT_EQ(TeamRecord::Get(1)->GetSlot(10), nullptr);
    EXPECT_EQ(Entities_FindRecord(root), nullptr);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr);
    EXPECT_EQ(GameObject_PoolFreeCount(), freeBefore + 1);
    EXPECT_TRUE(GameObject_List().empty());
}

TEST_F(GameObjectTest, ExplodingScrapTearsItDownWhileOtherKindsOnlyDie) {
    GameObjectClass& plain = NewClass();
    GameObject* o = Build(plain);
    o->ownership = kNetOwnedHere;
    o->pilotClass = &plain;
    const uint32_t handle = o->GetObjHandle();
    o->Explode();
    EXPECT_EQ(o->pilotClass, nullptr);
    EXPECT_EQ(o->ownership, kNetUnowned);
    EXPECT_EQ(o->entity->flags & 0x280u, 0x280u);
    EXPECT_EQ(GameObject::FromHandle(handle), nullptr);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), o);

    GameObjectClass& scrap = NewClass();
    scrap.signature = Signature("SCRP");
    GameObject* s = Build(scrap);
    const uint32_t scrapHandle = s->GetObjHandle();
    Entity* root = s->entity;
    root->type = kTypeCraft;
    auto* body = PhysBody_New();
    body->owner = s;
    root->classData = body;
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { delete static_cast<GameObject*>(owner); };
    s->Explode();
    EXPECT_EQ(GameObject::FromHandleRaw(scrapHandle), nullptr);
}

}  // namespace
