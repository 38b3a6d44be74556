#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "objkr_fixture.h"

namespace {

constexpr float kPi = 3.14159265f;

class EntitySvcTest : public ObjkrFixture {};

void ExpectMatrixNear(const Matrix& a, const Matrix& b) {
    const float* fa = &a.right.x;
    const float* fb = &b.right.x;
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(fa[i], fb[i], 1e-5f) << "row value " << i;
    EXPECT_NEAR(a.posit.x, b.posit.x, 1e-5);
    EXPECT_NEAR(a.posit.y, b.posit.y, 1e-5);
    EXPECT_NEAR(a.posit.z, b.posit.z, 1e-5);
}

TEST_F(EntitySvcTest, NewEntitiesGetRisingIdsIdentityAndReuseReleasedRecordsFirst) {
    Entity* a = NewRoot();
    Entity* b = NewRoot();
    EXPECT_EQ(b->id - a->id, 1u << 11);
    EXPECT_EQ(a->detail, -1);
    EXPECT_EQ(a->cacheWord, -1);
    EXPECT_EQ(a->useCount, 1);
    ExpectMatrixNear(a->local, kIdentityMatrix);
    EXPECT_EQ(Entity_GetCurrentRoot(), b);

    Entity* child = Entity_New(a);
    EXPECT_EQ(a->child, child);
    EXPECT_EQ(child->up, a);
    Entity* second = Entity_New(a);  // new children go first
    EXPECT_EQ(a->child, second);
    EXPECT_EQ(second->next, child);
    EXPECT_EQ(child->up, second);
    EXPECT_EQ(Entity_GetParent(child), a);
    EXPECT_EQ(Entity_GetRoot(child), a);

    Entity_Release(a);
    EXPECT_EQ(EntityAlloc_FreeCount(), 3);
    Entity* reused = NewRoot();
    EXPECT_EQ(EntityAlloc_FreeCount(), 2);
    EXPECT_EQ(reused->state, kEntityAlive);
    EXPECT_EQ(reused->child, nullptr);
    EXPECT_NE(reused->id, 0u);
    KeepForRelease(b);
    KeepForRelease(reused);
}

TEST_F(EntitySvcTest, UseCountsFollowAttachAndDetach) {
    Entity* parent = NewRoot();
    Entity_AddRefTree(parent);
    Entity_AddRefTree(parent);
    ASSERT_EQ(parent->useCount, 3);
    Entity* child = NewRoot();
    Entity* grandchild = Entity_New(child);
    ASSERT_EQ(child->useCount, 1);

    Entity_AttachChild(child, parent);
    EXPECT_EQ(child->useCount, 3);
    EXPECT_EQ(grandchild->useCount, 3);
    EXPECT_EQ(Entity_GetParent(child), parent);

    Entity_Detach(child);
    EXPECT_EQ(child->useCount, 1);
    EXPECT_EQ(grandchild->useCount, 1);
    EXPECT_EQ(child->up, nullptr);
    EXPECT_EQ(parent->child, nullptr);
    EXPECT_EQ(Entity_GetParent(grandchild), child);

    Entity_Unref(parent);
    Entity_Unref(parent);
    EXPECT_EQ(parent->useCount, 1);
    KeepForRelease(parent);
    KeepForRelease(child);
}

TEST_F(EntitySvcTest, DetachingAMiddleSiblingKeepsTheChainLinked) {
    Entity* root = NewRoot();
    Entity* c = Entity_New(root);
    Entity* b = Entity_New(root);
    Entity* a = Entity_New(root);  // children a, b, c
    Entity_Detach(b);
    EXPECT_EQ(root->child, a);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->up, a);
    EXPECT_EQ(Entity_GetParent(c), root);
    Entity_Detach(a);
    EXPECT_EQ(root->child, c);
    EXPECT_EQ(c->up, root);
    KeepForRelease(root);
    KeepForRelease(a);
    KeepForRelease(b);
}

TEST_F(EntitySvcTest, ReleasingARootWhoseChildTheClassListHoldsLeavesTheChildToTheNextWalk) {
    Entity* root = NewRoot();
    Entity* child = Entity_New(root);
    Classfnc_SetClass(child, kTypeSpinner);
    ASSERT_EQ(child->useCount, 2);
    Classfnc_ActivatePending();

    Entity_Release(root);
    EXPECT_EQ(EntityAlloc_FreeCount(), 1);  // the root
    EXPECT_EQ(child->state, kEntityReleased);
    EXPECT_EQ(child->useCount, 1);
    EXPECT_EQ(child->id, 0u);
    EXPECT_EQ(child->up, nullptr);

    Classfnc_UpdateAll();
    EXPECT_EQ(Classfnc_ClassListCount(), 0);
    EXPECT_EQ(EntityAlloc_FreeCount(), 2);  // and now the child
}

TEST_F(EntitySvcTest, UnrefIfSharedDropsAReleasedEntityAndPassesAnAliveOne) {
    Entity* e = NewRoot();
    Entity_AddRefTree(e);  // a holder
    EXPECT_EQ(Entity_UnrefIfShared(e), e);
    EXPECT_EQ(Entity_Release(e), 1);  // released, one holder left
    EXPECT_EQ(Entity_UnrefIfShared(e), nullptr);
    EXPECT_EQ(EntityAlloc_FreeCount(), 1);
    EXPECT_EQ(Entity_UnrefIfShared(nullptr), nullptr);
    EXPECT_EQ(Entity_Release(nullptr), 0);
    Entity_Unref(nullptr);
}

TEST_F(EntitySvcTest, FreeingARecordFreesItsClassDataAndTellsTheLightList) {
    static int lights = 0;
    lights = 0;
    Objkr_Services().removeLight = [](Entity*) { ++lights; };
    Entity* e = NewRoot();
    e->flags |= kEntityHasLight;
    Classfnc_SetClass(e, kTypeSpinner);  // spinner data: LeakSanitizer reports it if not freed
    Classfnc_ActivatePending();
    Classfnc_Clear();
    Entity_Release(e);
    EXPECT_EQ(lights, 1);
    EXPECT_EQ(EntityAlloc_FreeCount(), 1);
}

TEST_F(EntitySvcTest, TransformToSelfIsIdentityAndToNullIsTheWorldTransform) {
    Entity* root = NewRoot();
    root->local = Matrix_FromEuler(0.3f, 1.1f, 0.0f, 10.0, 20.0, 30.0);
    Entity* child = Entity_New(root);
    child->local = Matrix_FromEuler(-0.5f, 0.2f, 0.1f, 1.0, 2.0, 3.0);
    Entity* grandchild = Entity_New(child);
    grandchild->local = Matrix_FromEuler(0.0f, 0.7f, 0.0f, 0.0, 0.0, 4.0);

    Matrix m;
    Entity_GetTransformTo(m, child, child);
    ExpectMatrixNear(m, kIdentityMatrix);

    Matrix expected;
    Matrix_Multiply(expected, child->local, root->local);
    Entity_GetTransformTo(m, child, nullptr);
    ExpectMatrixNear(m, expected);

    Entity_GetTransformTo(m, grandchild, root);
    Matrix_Multiply(expected, grandchild->local, child->local);
    ExpectMatrixNear(m, expected);

    float pos[3];
    Entity_GetWorldPos(pos, grandchild);
    Matrix world;
    Matrix_Multiply(world, expected, root->local);
    EXPECT_NEAR(pos[0], world.posit.x, 1e-4);
    EXPECT_NEAR(pos[2], world.posit.z, 1e-4);

    grandchild->type = 77;
    ASSERT_EQ(Entity_GetTransformToType(root, m, 77), 1);
    ExpectMatrixNear(m, expected);
    root->type = 78;
    EXPECT_EQ(Entity_GetTransformToType(root, m, 78), 0);  // the root itself
    EXPECT_EQ(Entity_GetTransformToType(root, m, 79), 0);  // none
    KeepForRelease(root);
}

TEST_F(EntitySvcTest, TypeSearchesGoDepthFirstAndTheIterativeOneMatchesTheRecursiveOne) {
    // root -> a (-> a1 -> a11), b (-> b1); a11 and b carry type 5; a1 carries flag 0x40.
    Entity* root = NewRoot();
    Entity* b = Entity_New(root);
    Entity* a = Entity_New(root);
    Entity* b1 = Entity_New(b);
    Entity* a1 = Entity_New(a);
    Entity* a11 = Entity_New(a1);
    a11->type = 5;
    b->type = 5;
    b1->type = 6;
    a1->flags |= kEntityShadowPart;
    EXPECT_EQ(Entity_FindType(root, 5), a11);
    EXPECT_EQ(Entity_FindTypeIter(root, 5), a11);
    EXPECT_EQ(Entity_FindType(root, 6), b1);
    EXPECT_EQ(Entity_FindTypeIter(root, 6), b1);
    EXPECT_EQ(Entity_FindTypeIter(a, 6), nullptr);  // a's siblings are not searched
    EXPECT_EQ(Entity_FindType(a, 6), nullptr);
    EXPECT_EQ(Entity_FindFlag(root, kEntityShadowPart | kEntityDead), a1);

    Entity_SetFlagTree(a, kEntityDead);
    EXPECT_TRUE(a11->flags & kEntityDead);
    EXPECT_FALSE(b->flags & kEntityDead);  // the entity's siblings keep theirs
    Entity_ClearFlagTree(root, kEntityDead);
    EXPECT_FALSE(a11->flags & kEntityDead);
    KeepForRelease(root);
}

TEST_F(EntitySvcTest, TheIterativeSearchSkipsWhatLiesDeeperThanItsStack) {
    Entity* root = NewRoot();
    std::vector<Entity*> chain{root};
    for (int i = 0; i < 300; ++i) chain.push_back(Entity_New(chain.back()));
    chain[100]->type = 33;
    chain[290]->type = 34;
    EXPECT_EQ(Entity_FindTypeIter(root, 33), chain[100]);
    EXPECT_EQ(Entity_FindTypeIter(root, 34), nullptr);  // below the 256 levels it can remember
    EXPECT_EQ(Entity_FindType(root, 34), chain[290]);
    KeepForRelease(root);
}

TEST_F(EntitySvcTest, TypePredicates) {
    for (int t = 0; t < 70; ++t) {
        bool dynamic = t == 1 || t == 3 || t == 4 || t == 6;
        bool isStatic = t == 2 || t == 5 || t == 7 || t == 8 || t == 10;
        EXPECT_EQ(Entity_IsDynamic(t) != 0, dynamic) << t;
        EXPECT_EQ(Entity_IsStatic(t) != 0, isStatic) << t;
        EXPECT_EQ(Entity_IsCraft(t) != 0, t == 1 || t == 6) << t;
    }
    EXPECT_EQ(Entity_IsDynamicSafe(nullptr), 0);
    EXPECT_EQ(Entity_IsUser(nullptr), 0);
    EXPECT_EQ(Entity_IsNotUser(nullptr), 1);
}

TEST_F(EntitySvcTest, AnEntityWithoutDrawableGeometryHasTheEmptyBox) {
    Entity* e = NewRoot();
    Vector min, max;
    Entity_ComputeExtents(e, min, max);
    EXPECT_EQ(min.x, 10000000.0f);
    EXPECT_EQ(min.y, 10000000.0f);
    EXPECT_EQ(min.z, 10000000.0f);
    EXPECT_EQ(max.x, -10000000.0f);
    EXPECT_EQ(max.y, -10000000.0f);
    EXPECT_EQ(max.z, -10000000.0f);
    EXPECT_EQ(Entity_ComputeRadius(e, 0, 0, 0), 0.0f);

    GiveGeometry(e, {{5, 5, 5}});
    e->flags |= kEntityNotDrawn;  // not drawn: its geometry does not count
    Entity_ComputeExtents(e, min, max);
    EXPECT_EQ(min.x, 10000000.0f);
    KeepForRelease(e);
}

TEST_F(EntitySvcTest, ExtentsAreInTheEntitysOwnFrame) {
    Entity* e = NewRoot();
    e->local = Matrix_FromEuler(0.0f, 0.5f * kPi, 0.0f, 100.0, 0.0, 0.0);  // turned and moved
    GiveGeometry(e, {{1, 2, 3}});
    Entity* part = Entity_New(e);
    part->local.posit = DVector{0.0, 0.0, 10.0};
    GiveGeometry(part, {{0, 0, 0}});
    Vector min, max;
    Entity_ComputeExtents(e, min, max);
    EXPECT_NEAR(min.x, 0.0f, 1e-4f);
    EXPECT_NEAR(max.x, 1.0f, 1e-4f);
    EXPECT_NEAR(min.z, 3.0f, 1e-4f);
    EXPECT_NEAR(max.z, 10.0f, 1e-4f);
    EXPECT_NEAR(Entity_ComputeRadius(e, 0, 0, 10), std::sqrt(1.0f + 4.0f + 49.0f), 1e-4f);
    KeepForRelease(e);
}

TEST_F(EntitySvcTest, TheOctantOfAnAngleDifferenceRoundsToTheNearestEighth) {
    struct Case {
        float a, b;
        int octant;
    } cases[] = {
        {0.0f, 0.0f, 0},          {0.0f, 0.25f * kPi, 1},  {0.0f, 0.5f * kPi, 2},  {0.0f, 0.75f * kPi, 3},
        {0.0f, kPi, 4},           {0.0f, -0.75f * kPi, 5}, {0.0f, -0.5f * kPi, 6}, {0.0f, -0.25f * kPi, 7},
        {1.0f, 1.0f + 0.1f, 0},   {0.0f, 0.12f * kPi, 0},  {0.0f, 0.13f * kPi, 1}, {0.5f * kPi, 0.0f, 6},
        {0.0f, 2.0f * kPi, 0},    {0.0f, 1e30f, 0},        {0.0f, NAN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Angle_Octant(c.a, c.b), c.octant) << c.a << " " << c.b;
}

class EntityCacheTest : public ObjkrFixture {
protected:
    Entity* Placed(float x, float y, float z) {
        Entity* e = NewRoot();
        e->local.posit = DVector{x, y, z};
        Entities_Add(e, 0, nullptr, nullptr);
        return e;
    }
};

TEST_F(EntityCacheTest, APairAskedBothWaysSharesOneEntry) {
    Entity* a = Placed(0, 0, 0);
    Entity* b = Placed(30, 40, 40);
    EXPECT_FLOAT_EQ(EntityPairs_GetValue(a, b), std::sqrt(30.0f * 30 + 40 * 40));
    EXPECT_EQ(EntityPairs_Count(), 1);
    EXPECT_FLOAT_EQ(EntityPairs_GetValue(b, a), std::sqrt(30.0f * 30 + 40 * 40));
    EXPECT_FLOAT_EQ(EntityPairs_GetDistance3D(b, a), std::sqrt(30.0f * 30 + 40 * 40 + 40 * 40));
    EXPECT_EQ(EntityPairs_Count(), 1);
    EXPECT_EQ(EntityCache_Count(), 2);

    float ab = EntityPairs_GetHeading(a, b);
    float ba = EntityPairs_GetHeading(b, a);
    EXPECT_FLOAT_EQ(ab, std::atan2(30.0f, 40.0f));
    EXPECT_NEAR(std::fabs(ab - ba), kPi, 1e-5f);
    Vector v;
    EntityPairs_GetVector(v, a, b);
    EXPECT_FLOAT_EQ(v.x, 30);
    EXPECT_FLOAT_EQ(v.y, 40);
    EntityPairs_GetVector(v, b, a);
    EXPECT_FLOAT_EQ(v.x, -30);
    EXPECT_FLOAT_EQ(v.z, -40);
    EXPECT_EQ(EntityPairs_Count(), 1);

    const Entity* low = std::less<const Entity*>()(a, b) ? a : b;
    const Entity* high = low == a ? b : a;
    EXPECT_NE(EntityPairs_Find(low, high), nullptr);

    EntityPairs_Reset();
    EXPECT_EQ(EntityPairs_Count(), 0);
    EXPECT_EQ(EntityPairs_MaxCount(), 1);
    EXPECT_EQ(EntityPairs_Find(low, high), nullptr);
}

TEST_F(EntityCacheTest, EntityEntriesHoldHeadingCentreAndRadius) {
    Entity* e = NewRoot();
    e->local = Matrix_FromEuler(0.0f, 0.3f, 0.0f, 5.0, 6.0, 7.0);
    GiveGeometry(e, {{-2, 0, 0}, {2, 0, 0}});
    Entities_Add(e, 0, nullptr, nullptr);
    EXPECT_FLOAT_EQ(EntityCache_GetHeading(e), std::atan2(e->local.front.x, e->local.front.z));
    EXPECT_FLOAT_EQ(EntityCache_GetHeading2(e), EntityCache_GetHeading(e));
    Vector c;
    EntityCache_GetCentre(c, e);
    EXPECT_FLOAT_EQ(c.x, 5);
    EXPECT_FLOAT_EQ(c.z, 7);
    EXPECT_FLOAT_EQ(EntityCache_GetRadius(e), 2);
    EXPECT_EQ(EntityCache_Count(), 1);
    EXPECT_EQ(EntityCache_GetRadius(nullptr), 0.0f);
    EXPECT_EQ(EntityPairs_GetValue(e, nullptr), 0.0f);
}

TEST_F(EntityCacheTest, FullCachesComputeUncachedInsteadOfWritingPastTheirEnd) {
    // 96 entities make 4560 pairs: more than both caches hold.
    std::vector<Entity*> es;
    for (int i = 0; i < 96; ++i) es.push_back(Placed(float(i), 0, float(2 * i)));
    std::vector<Entity*> more;
    for (int i = 0; i < kEntityCacheSize; ++i) more.push_back(Placed(float(i), 1, 0));
    for (Entity* e : more) EntityCache_GetRadius(e);
    for (Entity* e : es) EntityCache_GetRadius(e);
    EXPECT_EQ(EntityCache_Count(), kEntityCacheSize);
    Vector c;
    EntityCache_GetCentre(c, es[95]);  // not cached, still right
    EXPECT_FLOAT_EQ(c.x, 95);
    EXPECT_FLOAT_EQ(c.z, 190);

    for (size_t i = 0; i < es.size(); ++i)
        for (size_t j = i + 1; j < es.size(); ++j) {
            float d = EntityPairs_GetValue(es[i], es[j]);
            float dx = float(j - i), dz = float(2 * (j - i));
            ASSERT_FLOAT_EQ(d, std::sqrt(dx * dx + dz * dz)) << i << " " << j;
        }
    EXPECT_EQ(EntityPairs_Count(), kPairCacheSize);
    EXPECT_EQ(EntityPairs_MaxCount(), kPairCacheSize);
    Vector v;
    EntityPairs_GetVector(v, es[95], es[94]);
    EXPECT_FLOAT_EQ(v.x, -1);
    EXPECT_FLOAT_EQ(v.z, -2);
}

TEST_F(EntitySvcTest, TheCraftPhysicsRecordStartsAtRestWithMass1500) {
    static void* destroyed = nullptr;
    destroyed = nullptr;
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { destroyed = owner; };
    PhysBody* body = PhysBody_New();
    EXPECT_FLOAT_EQ(body->dynamics.mass, 1500);
    EXPECT_FLOAT_EQ(body->dynamics.invMass, 1.0f / 1500);
    EXPECT_FLOAT_EQ(body->dynamics.factorK, 1500);
    EXPECT_FLOAT_EQ(body->dynamics.massOverK, 1);
    EXPECT_FLOAT_EQ(body->dynamics.invSpeed, 1e30f);
    EXPECT_EQ(body->contact.hit, 0);
    int owner = 0;
    body->owner = &owner;
    PhysBody_Free(body);
    EXPECT_EQ(destroyed, &owner);
}

TEST_F(EntitySvcTest, CockpitPartIsTheFirstDescendantOfType40AndTheUsersCameraIsTold) {
    static int resets = 0;
    resets = 0;
    Objkr_Services().cameraReset = [](int full) { resets += full; };
    Entity* craft = NewRoot();
    Classfnc_SetClass(craft, kTypeCraft);
    Entity* hull = Entity_New(craft);
    Entity* seat = Entity_New(hull);
    seat->type = kTypeCockpitPart;
    Entity_SetCockpitPart(craft);
    EXPECT_EQ(static_cast<PhysBody*>(craft->classData)->cockpitPart, seat);
    EXPECT_EQ(resets, 0);
    craft->flags |= kEntityUser;
    Entity_SetCockpitPart(craft);
    EXPECT_EQ(resets, 1);
    KeepForRelease(craft);
}

}  // namespace
