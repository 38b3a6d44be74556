#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "objkr_fixture.h"
#include "platform/msgbox.h"
#include "core/seams/world.h"
#include "support/exit_trap.h"

namespace {

std::vector<std::string> g_calls;

void AddA(EntityTableRecord* r) {
    g_calls.push_back("addA:" + std::to_string(Entities_Index(r)));
}
void AddB(EntityTableRecord* r) {
    // Listeners run before the world centre is computed and see the entity set.
    g_calls.push_back(std::string("addB:") + (r->entity ? "entity" : "none"));
}
void RemoveC(EntityTableRecord* r) {
    g_calls.push_back("removeC:" + std::to_string(Entities_Index(r)) + (r->entity ? ":set" : ":clear") +
                      (r->entity && r->entity->state == kEntityAlive ? ":alive" : ""));
}
void RemoveD(EntityTableRecord*) {
    g_calls.push_back("removeD");
}
void CountOnly(EntityTableRecord*) {}

class EntityTableTest : public ObjkrFixture {
protected:
    void SetUp() override {
        ObjkrFixture::SetUp();
        g_calls.clear();
    }
    EntityTableRecord* AddRoot(const char* name = "thing", int instance = 0) {
        return Entities_Add(NewRoot(name), instance, nullptr, nullptr);
    }
    void RemoveAndRelease(EntityTableRecord* r) {
        Entity* e = r->entity;
        Entities_Remove(r);
        Entity_Release(e);
    }
};

TEST_F(EntityTableTest, FreedRecordBelowTheUsedCountIsTakenFirst) {
    std::vector<EntityTableRecord*> recs;
    for (int i = 0; i < 10; ++i) recs.push_back(AddRoot());
    EXPECT_EQ(Entities_UsedCount(), 10);
    RemoveAndRelease(recs[3]);
    EXPECT_EQ(Entities_UsedCount(), 10);
    EntityTableRecord* again = AddRoot();
    EXPECT_EQ(Entities_Index(again), 3);
    EXPECT_EQ(Entities_UsedCount(), 10);
}

TEST_F(EntityTableTest, RemovingTheLastRecordShrinksTheUsedCountByOneOnly) {
    std::vector<EntityTableRecord*> recs;
    for (int i = 0; i < 10; ++i) recs.push_back(AddRoot());
    RemoveAndRelease(recs[8]);
    EXPECT_EQ(Entities_UsedCount(), 10);  // not the last one
    RemoveAndRelease(recs[9]);
    EXPECT_EQ(Entities_UsedCount(), 9);  // by one only: record 8 is free but stays below the count
    EntityTableRecord* next = AddRoot();
    EXPECT_EQ(Entities_Index(next), 8);
}

TEST_F(EntityTableTest, The768thEntityIsAcceptedAndThe769thEndsTheProgramNamingTheLimit) {
    for (int i = 0; i < kEntityTableSize; ++i) ASSERT_NE(AddRoot(), nullptr);
    EXPECT_EQ(Entities_UsedCount(), kEntityTableSize);
    Entity* extra = NewRoot();
    KeepForRelease(extra);
    int code = RunForExit([extra] { Entities_Add(extra, 0, nullptr, nullptr); });
    EXPECT_EQ(code, 112);
    EXPECT_EQ(LastBoxText(),
              "You had exceeded the maximum number of entities allowed (768). Please reduce the size of this "
              "mission and try again");
    EXPECT_EQ(Entities_UsedCount(), kEntityTableSize);
}

TEST_F(EntityTableTest, InstanceNumbersRiseAndTheCounterMovesOnlyWhenTheCandidateIsTaken) {
    Entity probe{};
    Entity_SetName(&probe, "avtank");
    uint32_t w1 = Entity_NameWord(&probe, 0), w2 = Entity_NameWord(&probe, 1);

    int first = Entities_NewInstanceNumber(w1, w2);
    EXPECT_EQ(first, Entities_NewInstanceNumber(w1, w2));  // nothing entered yet: same candidate
    AddRoot("avtank", first);
    int second = Entities_NewInstanceNumber(w1, w2);
    EXPECT_EQ(second, first + 1);
    AddRoot("avtank", second);
    int third = Entities_NewInstanceNumber(w1, w2);
    EXPECT_EQ(third, second + 1);

    // Another name starts from the counter as it now stands and finds it free.
    Entity other{};
    Entity_SetName(&other, "svscout");
    EXPECT_EQ(Entities_NewInstanceNumber(Entity_NameWord(&other, 0), Entity_NameWord(&other, 1)), third);

    EXPECT_NE(Entities_FindByName(w1, w2, first), nullptr);
    EXPECT_NE(Entities_FindByName(w1, w2, second), nullptr);
    EXPECT_EQ(Entities_FindByName(w1, w2, third), nullptr);
}

TEST_F(EntityTableTest, NamesOfEightCharactersCompareAsTwoWords) {
    AddRoot("abcdefgh", 4);
    Entity probe{};
    Entity_SetName(&probe, "abcdefgh");
    EXPECT_NE(Entities_FindByName(Entity_NameWord(&probe, 0), Entity_NameWord(&probe, 1), 4), nullptr);
    Entity_SetName(&probe, "abcdefg");
    EXPECT_EQ(Entities_FindByName(Entity_NameWord(&probe, 0), Entity_NameWord(&probe, 1), 4), nullptr);
}

TEST_F(EntityTableTest, TheUserRecordIsSetOnEntryAndClearedOnRemoval) {
    Entity* e = NewRoot("player");
    e->flags |= kEntityUser;
    EntityTableRecord* r = Entities_Add(e, 0, nullptr, nullptr);
    EXPECT_EQ(Entities_GetUser(), r);
    Entities_Remove(r);
    EXPECT_EQ(Entities_GetUser(), nullptr);
    Entity_Release(e);
}

std::vector<std::pair<EntityTableRecord*, EntityTableRecord*>> g_cameraCalls;
void RecordCameraSetUser(EntityTableRecord* oldUser, EntityTableRecord* newUser) {
    g_cameraCalls.emplace_back(oldUser, newUser);
    // The camera hears of the change before the user record moves.
    EXPECT_EQ(Entities_GetUser(), oldUser);
}

TEST_F(EntityTableTest, SetUserMovesTheUserFlagBetweenTreesAndTellsTheCameraFirst) {
    g_cameraCalls.clear();
    Objkr_Services().cameraSetUser = RecordCameraSetUser;
    EntityTableRecord* a = AddRoot("a");
    EntityTableRecord* b = AddRoot("b");
    Entity* partOfA = Entity_New(a->entity);
    Entity* partOfB = Entity_New(b->entity);

    Entities_SetUser(a);
    EXPECT_TRUE(a->entity->flags & kEntityUser);
    EXPECT_TRUE(partOfA->flags & kEntityUser);
    Entities_SetUser(b);
    EXPECT_FALSE(a->entity->flags & kEntityUser);
    EXPECT_FALSE(partOfA->flags & kEntityUser);
    EXPECT_TRUE(partOfB->flags & kEntityUser);
    EXPECT_EQ(Entities_GetUser(), b);
    Entities_SetUser(nullptr);
    EXPECT_FALSE(b->entity->flags & kEntityUser);
    ASSERT_EQ(g_cameraCalls.size(), 3u);
    EXPECT_EQ(g_cameraCalls[0], std::make_pair(static_cast<EntityTableRecord*>(nullptr), a));
    EXPECT_EQ(g_cameraCalls[1], std::make_pair(a, b));
    EXPECT_EQ(g_cameraCalls[2], std::make_pair(b, static_cast<EntityTableRecord*>(nullptr)));
}

uint32_t OwnerFlags(void* owner) { return *static_cast<uint32_t*>(owner); }

TEST_F(EntityTableTest, UserIsFlaggedReadsFlag0x20OfTheUsersObject) {
    Objkr_Services().ownerFlags = OwnerFlags;
    EXPECT_EQ(Entities_UserIsFlagged(), 0);  // no user
    uint32_t objectFlags = 0x20;
    EntityTableRecord* r = AddRoot();
    r->entity->owner = &objectFlags;
    Entities_SetUser(r);
    EXPECT_EQ(Entities_UserIsFlagged(), 1);
    objectFlags = 0x10;
    EXPECT_EQ(Entities_UserIsFlagged(), 0);
}

TEST_F(EntityTableTest, NotificationsRunInOrderOfRegistration) {
    ASSERT_TRUE(Entities_AddNotify(AddA));
    ASSERT_TRUE(Entities_AddNotify(AddB));
    ASSERT_TRUE(Entities_AddRemoveNotify(RemoveC));
    ASSERT_TRUE(Entities_AddRemoveNotify(RemoveD));
    EntityTableRecord* r0 = AddRoot();
    EntityTableRecord* r1 = AddRoot();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"addA:0", "addB:entity", "addA:1", "addB:entity"}));

    g_calls.clear();
    Entities_CallRemoveNotify(r0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"removeC:0:set:alive", "removeD"}));
    g_calls.clear();
    Entity* e1 = r1->entity;
    Entities_Remove(r1);  // listeners see the record before it is cleared
    EXPECT_EQ(g_calls, (std::vector<std::string>{"removeC:1:set:alive", "removeD"}));
    Entity_Release(e1);
}

TEST_F(EntityTableTest, RemoveAllNotifiesFromTheTopDownBeforeReleasingAndEmptiesTheTable) {
    ASSERT_TRUE(Entities_AddRemoveNotify(RemoveC));
    for (int i = 0; i < 4; ++i) AddRoot();
    EntityTableRecord* r1 = Entities_Record(1);
    Entity* e1 = r1->entity;
    Entities_Remove(r1);
    Entity_Release(e1);
    g_calls.clear();
    int freeBefore = EntityAlloc_FreeCount();

    Entities_RemoveAll();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"removeC:3:set:alive", "removeC:2:set:alive",
                                                 "removeC:0:set:alive"}));
    EXPECT_EQ(Entities_UsedCount(), 0);
    EXPECT_EQ(EntityAlloc_FreeCount(), freeBefore + 3);  // every root released and freed
    EXPECT_EQ(Entities_First(), nullptr);
}

TEST_F(EntityTableTest, ANotificationListHolds51AndRefusesThe52ndWithAWarning) {
    for (int i = 0; i < kEntityNotifyMax; ++i) ASSERT_TRUE(Entities_AddNotify(CountOnly));
    Plat_ClearMessageBoxLog();
    EXPECT_FALSE(Entities_AddNotify(CountOnly));
    EXPECT_EQ(Entities_AddNotifyCount(), kEntityNotifyMax);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_NE(LastBoxText().find("full"), std::string::npos);

    for (int i = 0; i < kEntityNotifyMax; ++i) ASSERT_TRUE(Entities_AddRemoveNotify(CountOnly));
    EXPECT_FALSE(Entities_AddRemoveNotify(CountOnly));
    EXPECT_EQ(Entities_RemoveNotifyCount(), kEntityNotifyMax);
    AddRoot();  // the full lists still run
}

TEST_F(EntityTableTest, ResetEmptiesListsUserAndCountsAndRestartsIds) {
    ASSERT_TRUE(Entities_AddNotify(CountOnly));
    ASSERT_TRUE(Entities_AddRemoveNotify(CountOnly));
    Entity* e = NewRoot();
    e->flags |= kEntityUser;
    Entities_Add(e, 0, nullptr, nullptr);
    // Reset is the mission set-up: the table forgets its roots without releasing them.
    Entities_Reset();
    EXPECT_EQ(Entities_AddNotifyCount(), 0);
    EXPECT_EQ(Entities_RemoveNotifyCount(), 0);
    EXPECT_EQ(Entities_GetUser(), nullptr);
    EXPECT_EQ(Entities_UsedCount(), 0);
    EXPECT_EQ(EntityAlloc_Counter(), 1u);
    Entity* fresh = NewRoot();
    EXPECT_EQ(fresh->id, 1u << 11);
    KeepForRelease(fresh);
    KeepForRelease(e);
}

TEST_F(EntityTableTest, EntryComputesBoxCentreRadiusWorldCentreAndFootprint) {
    Entity* e = NewRoot("crate");
    e->type = kTypePowerUp;  // dynamic: gets a footprint
    e->local.posit = DVector{100.0, 5.0, -50.0};
    GiveGeometry(e, {{-1, 0, -2}, {3, 4, 2}});
    Entity* part = Entity_New(e);
    part->local.posit = DVector{0.0, 10.0, 0.0};
    GiveGeometry(part, {{0, 0, 0}});
    Entity* hidden = Entity_New(e);
    hidden->flags |= kEntityNotDrawn;
    GiveGeometry(hidden, {{50, 50, 50}});

    EntityTableRecord* r = Entities_Add(e, 0, nullptr, nullptr);
    EXPECT_FLOAT_EQ(r->boxMin.x, -1);
    EXPECT_FLOAT_EQ(r->boxMin.y, 0);
    EXPECT_FLOAT_EQ(r->boxMin.z, -2);
    EXPECT_FLOAT_EQ(r->boxMax.x, 3);
    EXPECT_FLOAT_EQ(r->boxMax.y, 10);
    EXPECT_FLOAT_EQ(r->boxMax.z, 2);
    EXPECT_FLOAT_EQ(r->localCentre.x, 1);
    EXPECT_FLOAT_EQ(r->localCentre.y, 5);
    EXPECT_FLOAT_EQ(r->localCentre.z, 0);
    // Farthest vertex from (1, 5, 0): (-1, 0, -2) or (3, 4, 2) .. (0, 10, 0): sqrt(1 + 25) vs sqrt(4+25+4).
    EXPECT_FLOAT_EQ(r->radius, std::sqrt(33.0f));
    EXPECT_FLOAT_EQ(r->worldCentre.x, 101);
    EXPECT_FLOAT_EQ(r->worldCentre.y, 10);
    EXPECT_FLOAT_EQ(r->worldCentre.z, -50);
    EXPECT_FLOAT_EQ(r->footprint[0].x, -1);
    EXPECT_FLOAT_EQ(r->footprint[0].y, 5);
    EXPECT_FLOAT_EQ(r->footprint[0].z, -2);
    EXPECT_FLOAT_EQ(r->footprint[2].x, 3);
    EXPECT_FLOAT_EQ(r->footprint[2].z, 2);
    EXPECT_EQ(r->cacheLevel, -1);

    float pos[4];
    EntityRec_GetWorldPos(pos, r);
    EXPECT_FLOAT_EQ(pos[0], 101);
    EXPECT_FLOAT_EQ(pos[3], std::sqrt(33.0f));
    float ground[3];
    EntityRec_GetGroundPos(ground, r);
    EXPECT_FLOAT_EQ(ground[0], 101);
    EXPECT_FLOAT_EQ(ground[1], -50);
    float cr[4];
    EntityRec_GetCentreAndRadius(cr, part);  // a part finds its root's record
    EXPECT_FLOAT_EQ(cr[0], 101);
    EXPECT_FLOAT_EQ(cr[1], 10);
    EXPECT_EQ(Entities_FindRecord(part), r);
}

TEST_F(EntityTableTest, AnEntityWithoutRecordHasZeroCentreAndRadius) {
    Entity* loose = NewRoot();
    KeepForRelease(loose);
    float cr[4] = {1, 1, 1, 1};
    EntityRec_GetCentreAndRadius(cr, loose);
    EXPECT_EQ(cr[0], 0.0f);
    EXPECT_EQ(cr[3], 0.0f);
    EXPECT_EQ(Entities_FindRecord(loose), nullptr);
    EXPECT_EQ(Entities_FindRecord(nullptr), nullptr);
}

std::vector<Entity*> g_darkened;
void RecordDarken(Entity* e) { g_darkened.push_back(e); }

TEST_F(EntityTableTest, BuildingsAndPowerUpsDarkenTheGroundOnEntry) {
    g_darkened.clear();
    Objkr_Services().darkenUnderObject = RecordDarken;
    const int32_t types[] = {1, 2, 3, 4, 5, 7, 10};
    std::vector<Entity*> expected;
    for (int32_t t : types) {
        Entity* e = NewRoot();
        e->type = t;
        Entities_Add(e, 0, nullptr, nullptr);
        if (t == 2 || t == 3 || t == 10) expected.push_back(e);
    }
    EXPECT_EQ(g_darkened, expected);
}

TEST_F(EntityTableTest, AttachedRecordsAreFreedWhenOwnedAndExtraDataIsCopied) {
    void* attached = std::malloc(64);  // LeakSanitizer reports it if the record does not free it
    float extra[5] = {1.5f, 2.5f, 3.5f, 0.0f, 0.0f};
    EntityTableRecord* r = Entities_Add(NewRoot(), 0, attached, extra);
    EXPECT_EQ(r->ownsAttached, 1);
    EXPECT_EQ(r->extraGiven, 1);
    float copy[5];
    std::memcpy(copy, r->extra, sizeof copy);
    EXPECT_FLOAT_EQ(copy[2], 3.5f);
    EntityTableRecord* plain = Entities_Add(NewRoot(), 0, nullptr, nullptr);
    EXPECT_EQ(plain->ownsAttached, 0);
    EXPECT_EQ(plain->extraGiven, 0);
    Entity* e = r->entity;
    Entities_Remove(r);
    EXPECT_EQ(r->attached, nullptr);
    Entity_Release(e);
}

TEST_F(EntityTableTest, WalksVisitUsedRecordsInIndexOrderSkippingFreeOnes) {
    for (int i = 0; i < 5; ++i) AddRoot();
    EntityTableRecord* r2 = Entities_Record(2);
    Entity* e2 = r2->entity;
    Entities_Remove(r2);
    Entity_Release(e2);
    std::vector<int> seen;
    for (EntityTableRecord* r = Entities_First(); r; r = Entities_NextRecord()) seen.push_back(Entities_Index(r));
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 3, 4}));
}

bool DetailOnlyForDynamic(int dynamic) { return dynamic != 0; }

TEST_F(EntityTableTest, ResetDetailTakesTheDynamicOrStaticOptionForWholeTrees) {
    Objkr_Services().detailOption = DetailOnlyForDynamic;
    Entity* craft = NewRoot();
    craft->type = kTypeCraft;
    Entity* craftPart = Entity_New(craft);
    Entity* building = NewRoot();
    building->type = kTypeBuilding;
    Entity* buildingPart = Entity_New(building);
    Entity* buildingSubPart = Entity_New(buildingPart);
    Entities_Add(craft, 0, nullptr, nullptr);
    Entities_Add(building, 0, nullptr, nullptr);
    Entities_ResetDetail();
    EXPECT_EQ(craft->detail, -1);
    EXPECT_EQ(craftPart->detail, -1);
    EXPECT_EQ(building->detail, -21);
    EXPECT_EQ(buildingPart->detail, -21);
    EXPECT_EQ(buildingSubPart->detail, -21);
}

int g_cacheFrees = 0;
void CountCacheFree(EntityTableRecord* r) {
    ++g_cacheFrees;
    r->cacheBlocks = reinterpret_cast<void*>(0x1);  // the chain must end up empty anyway
}

TEST_F(EntityTableTest, FreeAllCachesVisitsEveryUsedRecordAndLeavesChainsEmpty) {
    g_cacheFrees = 0;
    Objkr_Services().freeCacheBlocks = CountCacheFree;
    for (int i = 0; i < 3; ++i) AddRoot();
    Entities_FreeAllCaches();
    EXPECT_EQ(g_cacheFrees, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Entities_Record(i)->cacheBlocks, nullptr);
}

TEST_F(EntityTableTest, TheWorldSeamReachesTheTableAndTheClassLists) {
    WorldSeam saved = Seam_World();
    Objkr_InstallWorldSeam();
    WorldSeam& s = Seam_World();
    s.entitiesAddNotify(AddA);  // as the subsystem registry does at mission set-up
    s.entitiesAddRemoveNotify(RemoveD);
    EntityTableRecord* r = AddRoot();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"addA:0"}));
    Entity* e = NewRoot("classed");
    Classfnc_SetClass(e, kTypeSpinner);
    Entities_Add(e, 0, nullptr, nullptr);
    s.classfncActivatePending();
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
    r->entity->flags |= kEntityUser;
    Entities_SetUser(r);
    EXPECT_EQ(s.entitiesGetUser(), r);
    s.classfncClear();
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    g_calls.clear();
    s.entitiesRemoveAll();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"removeD", "removeD"}));
    EXPECT_EQ(Entities_UsedCount(), 0);
    s.entitiesReset();
    EXPECT_EQ(Entities_AddNotifyCount(), 0);
    Seam_World() = saved;
}

}  // namespace
