#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "objkr_fixture.h"

namespace {

std::vector<std::string> g_log;
std::vector<Entity*> g_updated;
std::vector<std::pair<Entity*, float>> g_postSteps;
int g_buildingChanges = 0;
float g_frameTime = 0.0f;

std::string Name(const Entity* e) { return std::string(e->name, strnlen(e->name, 8)); }

void RecordSimulate(Entity* e) { g_updated.push_back(e); }
void RecordPostStep(Entity* e, float dt) { g_postSteps.emplace_back(e, dt); }
void RecordBuildingActivate(Entity* e) { g_log.push_back("building:" + Name(e)); }
void RecordCraftActivate(Entity* e) { g_log.push_back("craft:" + Name(e)); }
// A building record is a counted token: each one made and freed counts as a change.
void* CountBuildingNew() {
    ++g_buildingChanges;
    return new int(0);
}
int CountBuildingFree(void* data) {
    delete static_cast<int*>(data);
    ++g_buildingChanges;
    return 0;
}
float TestFrameTime() { return g_frameTime; }

int g_collideResult[2] = {0, 0};
int RecordCollide(Entity* e, Entity* other, CollisionBody* contact, CollisionBody* otherContact) {
    g_log.push_back("collide:" + Name(e) + "," + Name(other) + "," + std::to_string(contact->hit) + "," +
                    std::to_string(otherContact->hit));
    return Name(e) == "a" ? g_collideResult[0] : g_collideResult[1];
}

class ClassfncTest : public ObjkrFixture {
protected:
    void SetUp() override {
        ObjkrFixture::SetUp();
        g_log.clear();
        g_updated.clear();
        g_postSteps.clear();
        g_buildingChanges = 0;
        g_frameTime = 0.0f;
        ClassfncOwners& o = Classfnc_Owners();
        o.objectSimulate = RecordSimulate;
        o.objectPostStep = RecordPostStep;
        o.buildingActivate = RecordBuildingActivate;
        o.craftActivate = RecordCraftActivate;
        o.buildingNew = CountBuildingNew;
        o.buildingFree = CountBuildingFree;
        o.objectCollide = RecordCollide;
        Objkr_Services().frameTime = TestFrameTime;
    }
    // A new object in creation order: tree, class, table entry.
    Entity* Object(const char* name, int32_t type) {
        Entity* e = NewRoot(name);
        Classfnc_SetClass(e, type);
        Entities_Add(e, 0, nullptr, nullptr);
        return e;
    }
};

TEST_F(ClassfncTest, RowsAreFoundByTypeAndUnknownTypesSelectTheEmptyRow) {
    const int32_t known[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 15, 50, 51, 52};
    for (int32_t t : known) EXPECT_EQ(Classfnc_FindRow(t)->type, t) << t;
    const ClassFunctions* empty = Classfnc_Row(0);
    for (int32_t t : {0, 8, 9, 12, 40, 63, 66, 99, -1, 1000}) EXPECT_EQ(Classfnc_FindRow(t), empty) << t;
    EXPECT_EQ(empty->create, nullptr);
    EXPECT_EQ(empty->update, nullptr);
    EXPECT_EQ(empty->free, nullptr);
    for (int i = 0; i < kClassRowCount; ++i) {
        EXPECT_EQ(Classfnc_Row(i)->slot11, nullptr);
        EXPECT_EQ(Classfnc_Row(i)->reserved5, nullptr);
    }
    // Per-frame operations decide which rows stay on the class list after activation.
    EXPECT_EQ(Classfnc_FindRow(7)->update, nullptr);
    EXPECT_NE(Classfnc_FindRow(2)->update, nullptr);
    EXPECT_EQ(Classfnc_FindRow(2)->postUpdate, nullptr);
    EXPECT_NE(Classfnc_FindRow(1)->postUpdate, nullptr);
    EXPECT_NE(Classfnc_FindRow(4)->postUpdate, nullptr);
}

TEST_F(ClassfncTest, AnUnknownTypeKeepsItsCodeWithNoDataAndNoNode) {
    Entity* e = NewRoot();
    Classfnc_SetClass(e, 63);
    EXPECT_EQ(e->type, 63);
    EXPECT_EQ(e->classData, nullptr);
    EXPECT_EQ(e->useCount, 1);
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(Classfnc_PendingCount(), 0);
    Vector v{1, 1, 1};
    void* motion = &v;
    Classfnc_GetMotion(e, &v, &motion);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(motion, nullptr);
    EntityDynamics d{};
    Classfnc_GetDynamics(&d, e);
    EXPECT_EQ(d.invMass, 1e30f);
    EXPECT_EQ(d.factorK, 1.0f);
    EXPECT_EQ(Classfnc_Damage(e, nullptr, nullptr), 0);
    KeepForRelease(e);
}

TEST_F(ClassfncTest, ATypeWithoutPerFrameOperationIsDroppedAfterActivation) {
    Entity* keep = Object("keep", kTypeBuilding);
    Entity* drop = Object("drop", kTypeBuilding7);
    EXPECT_EQ(g_buildingChanges, 2);  // each building record created
    EXPECT_EQ(keep->useCount, 2);
    EXPECT_EQ(drop->useCount, 2);
    EXPECT_EQ(Classfnc_PendingCount(), 2);

    Classfnc_ActivatePending();
    EXPECT_EQ(g_log, (std::vector<std::string>{"building:drop", "building:keep"}));
    EXPECT_EQ(Classfnc_PendingCount(), 0);
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
    EXPECT_EQ(Classfnc_FindNode(drop), nullptr);
    EXPECT_EQ(drop->useCount, 1);  // the list's reference went with the node
    EXPECT_NE(drop->classData, nullptr);  // the class data stays until the entity is freed
    EXPECT_EQ(keep->useCount, 2);
    EXPECT_NE(Classfnc_FindNode(keep), nullptr);

    Classfnc_ActivatePending();  // nothing pending: nothing runs twice
    EXPECT_EQ(g_log.size(), 2u);
}

TEST_F(ClassfncTest, UpdatesRunNewestFirst) {
    Entity* first = Object("first", kTypeBuilding);
    Entity* second = Object("second", kTypeBuilding);
    Entity* third = Object("third", kTypePerson);
    Classfnc_ActivatePending();
    Classfnc_UpdateAll();
    EXPECT_EQ(g_updated, (std::vector<Entity*>{third, second, first}));
    g_frameTime = 0.25f;
    Classfnc_PostUpdateAll();
    ASSERT_EQ(g_postSteps.size(), 1u);  // buildings have no post-update
    EXPECT_EQ(g_postSteps[0].first, third);
    EXPECT_EQ(g_postSteps[0].second, 0.25f);
}

TEST_F(ClassfncTest, ThePostUpdateOfADeadObjectDoesNothing) {
    Entity* craft = Object("craft", kTypeCraft);
    Classfnc_ActivatePending();
    craft->flags |= kEntityDead;
    Classfnc_PostUpdateAll();
    EXPECT_TRUE(g_postSteps.empty());
    Classfnc_UpdateAll();  // its update still runs
    EXPECT_EQ(g_updated.size(), 1u);
}

TEST_F(ClassfncTest, CollideCallsBothSidesWithSwappedArguments) {
    Entity* a = Object("a", kTypeCraft);
    Entity* b = Object("b", kTypeBuilding);
    Entity* plain = NewRoot("plain");  // no class row
    KeepForRelease(plain);
    CollisionBody ca{}, cb{};
    ca.hit = 1;
    cb.hit = 2;
    struct Case {
        int resultA, resultB, expected;
    } cases[] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 1}, {3, 5, 1}};
    for (const Case& c : cases) {
        g_log.clear();
        g_collideResult[0] = c.resultA;
        g_collideResult[1] = c.resultB;
        EXPECT_EQ(Classfnc_Collide(a, b, &ca, &cb), c.expected);
        EXPECT_EQ(g_log, (std::vector<std::string>{"collide:a,b,1,2", "collide:b,a,2,1"}));
    }
    // Without a collide operation on the second side, the first side's result is returned as is.
    g_collideResult[0] = 3;
    g_collideResult[1] = 0;
    EXPECT_EQ(Classfnc_Collide(a, plain, &ca, &cb), 3);
    g_log.clear();
    EXPECT_EQ(Classfnc_Collide(plain, b, &ca, &cb), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"collide:b,plain,2,1"}));
}

TEST_F(ClassfncTest, AReleasedEntityIsSkippedAndItsNodeRemovedOnTheNextWalk) {
    Entity* alive = Object("alive", kTypeBuilding);
    Entity* gone = NewRoot("gone");
    Classfnc_SetClass(gone, kTypeBuilding);
    Classfnc_ActivatePending();
    Entity_Release(gone);  // the class list still holds it
    ASSERT_EQ(gone->state, kEntityReleased);
    int freeBefore = EntityAlloc_FreeCount();
    Classfnc_UpdateAll();
    EXPECT_EQ(g_updated, (std::vector<Entity*>{alive}));
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
    EXPECT_EQ(EntityAlloc_FreeCount(), freeBefore + 1);
    EXPECT_EQ(g_buildingChanges, 3);  // two created, the released one's record freed
}

TEST_F(ClassfncTest, AnEntityReleasedBeforeActivationIsDroppedWithoutActivating) {
    Entity* e = NewRoot("early");
    Classfnc_SetClass(e, kTypeBuilding);
    Entity_Release(e);
    Classfnc_ActivatePending();
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(EntityAlloc_FreeCount(), 1);
}

TEST_F(ClassfncTest, PurgeRemovesOnlyReleasedEntities) {
    Object("alive", kTypeBuilding);
    Entity* gone = NewRoot("gone");
    Classfnc_SetClass(gone, kTypeCraft);
    Classfnc_ActivatePending();
    Entity_Release(gone);
    Classfnc_Purge();
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
    EXPECT_TRUE(g_updated.empty());  // purging runs no operation
}

TEST_F(ClassfncTest, RemoveFreesTheClassDataAndTakesTheEntityOffTheList) {
    Entity* e = Object("b", kTypeBuilding);
    Classfnc_ActivatePending();
    EXPECT_EQ(Classfnc_Remove(e), nullptr);
    EXPECT_EQ(e->type, 0);
    EXPECT_EQ(e->classData, nullptr);
    EXPECT_EQ(g_buildingChanges, 2);
    EXPECT_EQ(e->useCount, 1);
    EXPECT_EQ(Classfnc_ClassListCount(), 0);

    Entity* unlisted = NewRoot();
    unlisted->type = kTypeSpinner;
    unlisted->classData = Spinner_New();
    EXPECT_EQ(Classfnc_Remove(unlisted), unlisted);  // not on the list: handed back
    EXPECT_EQ(unlisted->classData, nullptr);
    KeepForRelease(unlisted);
}

TEST_F(ClassfncTest, RemovingThePendingEntityTakesItsPendingNodeToo) {
    Entity* e = Object("p", kTypeBuilding);
    ASSERT_EQ(Classfnc_PendingCount(), 1);
    Classfnc_Remove(e);
    EXPECT_EQ(Classfnc_PendingCount(), 0);
    Classfnc_ActivatePending();
    EXPECT_TRUE(g_log.empty());
}

// An update that takes another object off the class list must not break the walk.
Entity* g_victim = nullptr;
void RemoveVictim(Entity*) {
    if (g_victim) {
        Classfnc_Remove(g_victim);
        Entity_Release(g_victim);
        g_victim = nullptr;
    }
}

TEST_F(ClassfncTest, AnUpdateMayRemoveTheNextObjectOfTheWalk) {
    Entity* oldest = Object("oldest", kTypeBuilding);
    Entity* victim = Object("victim", kTypeBuilding);
    Entity* killer = Object("killer", kTypeBuilding);
    Classfnc_ActivatePending();
    g_victim = victim;
    Classfnc_Owners().objectSimulate = [](Entity* e) {
        g_updated.push_back(e);
        if (Name(e) == "killer") RemoveVictim(e);
    };
    Entity* victimRecordEntity = victim;
    Entities_Remove(Entities_FindRecord(victimRecordEntity));
    Classfnc_UpdateAll();
    EXPECT_EQ(g_updated, (std::vector<Entity*>{killer, oldest}));
    EXPECT_EQ(Classfnc_ClassListCount(), 2);
}

TEST_F(ClassfncTest, ClearDropsTheListsReferencesAndFreesReleasedEntities) {
    Entity* alive = Object("alive", kTypeBuilding);
    Entity* gone = NewRoot("gone");
    Classfnc_SetClass(gone, kTypeBuilding);
    Classfnc_ActivatePending();
    Entity_Release(gone);
    Entity* pending = Object("pending", kTypeBuilding);
    Classfnc_Clear();
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(Classfnc_PendingCount(), 0);
    EXPECT_EQ(alive->useCount, 1);
    EXPECT_EQ(pending->useCount, 1);
    EXPECT_EQ(EntityAlloc_FreeCount(), 1);  // the released one did not leak
}

TEST_F(ClassfncTest, SlotElevenWalkRemovesReleasedNodesOnly) {
    Object("alive", kTypeBuilding);
    Entity* gone = NewRoot("gone");
    Classfnc_SetClass(gone, kTypeBuilding);
    Classfnc_ActivatePending();
    Entity_Release(gone);
    Classfnc_CallSlot11();
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
}

TEST_F(ClassfncTest, DropPendingForgetsActivationsAndResetListsForgetsNodes) {
    Entity* e = Object("scratch", kTypeBuilding);
    Classfnc_DropPending();
    Classfnc_ActivatePending();
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(Classfnc_ClassListCount(), 1);
    Classfnc_ResetLists();
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(e->useCount, 2);  // references are left as they are
    Entity_Unref(e);
}

TEST_F(ClassfncTest, SetUpdateReplacesAKnownRowsUpdateAndRefusesUnknownTypes) {
    ClassEntityFn original = Classfnc_FindRow(kTypeBuilding7)->update;
    ASSERT_TRUE(Classfnc_SetUpdate(kTypeBuilding7, [](Entity* e) { g_log.push_back("custom:" + Name(e)); }));
    Entity* e = Object("seven", kTypeBuilding7);
    Classfnc_ActivatePending();
    Classfnc_UpdateAll();
    Classfnc_SetUpdate(kTypeBuilding7, original);
    EXPECT_EQ(g_log, (std::vector<std::string>{"building:seven", "custom:seven"}));
    EXPECT_EQ(e->useCount, 2);  // with an update it stays listed

    EXPECT_FALSE(Classfnc_SetUpdate(99, [](Entity*) {}));
    EXPECT_EQ(Classfnc_Row(0)->update, nullptr);
}

TEST_F(ClassfncTest, TheSpinnerTurnsByItsRateAndStopsOnTheDeadFlag) {
    Entity* root = NewRoot("base");
    Entity* spinner = Entity_New(root);
    Classfnc_SetClass(spinner, kTypeSpinner);
    Entities_Add(root, 0, nullptr, nullptr);
    Classfnc_ActivatePending();
    auto* data = static_cast<SpinnerData*>(spinner->classData);
    ASSERT_NE(data, nullptr);
    EXPECT_FLOAT_EQ(data->rate.y, 0.78539816f);
    EXPECT_EQ(data->value1, 400.0f);
    Spinner_SetRate(spinner, 0.0f, 1.0f, 0.0f);
    Spinner_SetValues(spinner, 12.0f);
    EXPECT_EQ(data->value2, 12.0f);

    spinner->local.posit = DVector{1.0, 2.0, 3.0};
    Matrix before = spinner->local;
    g_frameTime = 0.5f;
    Classfnc_UpdateAll();
    Matrix expected;
    Matrix_Multiply(expected, Matrix_FromEuler(0.0f, -0.5f, 0.0f, 0, 0, 0), before);
    EXPECT_NEAR(spinner->local.front.x, expected.front.x, 1e-6f);
    EXPECT_NEAR(spinner->local.front.z, expected.front.z, 1e-6f);
    EXPECT_NEAR(spinner->local.right.x, expected.right.x, 1e-6f);
    EXPECT_EQ(spinner->local.posit.x, 1.0);  // turns in place
    EXPECT_NE(spinner->local.front.x, before.front.x);

    spinner->flags |= kEntityDead;
    Matrix frozen = spinner->local;
    Classfnc_UpdateAll();
    EXPECT_EQ(spinner->local.front.x, frozen.front.x);
    EXPECT_EQ(spinner->local.front.z, frozen.front.z);
    EXPECT_EQ(Classfnc_Damage(spinner, nullptr, nullptr), 0);
}

TEST_F(ClassfncTest, AShadowGroupMarksItsChildrenAndIsDroppedAfterActivation) {
    Entity* group = NewRoot("shadows");
    Entity* s2 = Entity_New(group);
    Entity* s1 = Entity_New(group);
    Entity* deeper = Entity_New(s1);
    Classfnc_SetClass(group, kTypeShadowGroup);
    Entities_Add(group, 0, nullptr, nullptr);
    Classfnc_ActivatePending();
    EXPECT_EQ(group->classData, group);
    for (Entity* c : {s1, s2}) {
        EXPECT_TRUE(c->flags & kEntityShadowPart);
        EXPECT_EQ(c->type, kTypeShadowGroup);
    }
    EXPECT_FALSE(deeper->flags & kEntityShadowPart);
    EXPECT_EQ(ShadowGroup_List(), s1);
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(group->useCount, 1);
    Entities_RemoveAll();  // freeing the group empties the shadow list
    EXPECT_EQ(ShadowGroup_List(), nullptr);
}

TEST_F(ClassfncTest, CraftGetAPhysicsRecordAndFreeingItDestroysTheOwnerFirst) {
    static std::vector<void*> destroyed;
    destroyed.clear();
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { destroyed.push_back(owner); };
    Entity* craft = Object("craft", kTypeCraft6);
    auto* body = static_cast<PhysBody*>(craft->classData);
    ASSERT_NE(body, nullptr);
    EXPECT_FLOAT_EQ(body->dynamics.mass, 1500);
    int owner = 0;
    body->owner = &owner;
    Classfnc_ActivatePending();
    EXPECT_EQ(g_log, (std::vector<std::string>{"craft:craft"}));
    Classfnc_Clear();
    Entities_RemoveAll();
    EXPECT_EQ(destroyed, (std::vector<void*>{&owner}));
}

TEST_F(ClassfncTest, WeaponSideRowsReachTheirOwnersThroughTheTable) {
    static int created = 0, freed = 0, activated = 0;
    created = freed = activated = 0;
    static int token = 0;
    ClassfncOwners& o = Classfnc_Owners();
    o.weaponCreate = [] { ++created; return static_cast<void*>(&token); };
    o.weaponActivate = [](Entity*) { ++activated; };
    o.weaponFree = [](void*) { ++freed; return 0; };
    Entity* w = Object("gun", kTypeWeapon);
    EXPECT_EQ(w->classData, &token);
    Classfnc_ActivatePending();
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(Classfnc_ClassListCount(), 0);  // no per-frame operation
    Entities_RemoveAll();
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(created, 1);
}

}  // namespace
