// The collision lists, the frame pass with its contacts and sounds, and the floor query.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Terrain/terramap.h"
#include "collision_fixture.h"
#include "core/debug.h"
#include "core/seams/world.h"

namespace {

const Vector kMin{-1, -1, -1}, kMax{1, 1, 1};

// ---- lists ---------------------------------------------------------------------------------

TEST_F(CollisionTest, RecordsJoinTheListOfTheirKindAndLeaveByTheirNode) {
    EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    EntityTableRecord* building = AddBox(kTypeBuilding, kMin, kMax, {10, 0, 0}, false);
    EntityTableRecord* plain = AddBox(kTypeCraft, kMin, kMax, {20, 0, 0}, false);  // no box: no shape
    EXPECT_EQ(craft->shapeKind, kShapeBox);
    EXPECT_EQ(building->shapeKind, kShapeParts);
    EXPECT_EQ(plain->shapeKind, kShapeNone);
    EXPECT_EQ(Collision_MovingCount(), 1);
    EXPECT_EQ(Collision_StaticCount(), 1);
    // The static box is fixed once: centre +- radius.
    EXPECT_FLOAT_EQ(building->sweptBox[0], 10.0f - building->radius);
    EXPECT_FLOAT_EQ(building->sweptBox[3], 10.0f + building->radius);

    // The type code changes after entry: the record is still found on the list it joined.
    craft->entity->type = kTypeBuilding;
    Remove(craft);
    EXPECT_EQ(Collision_MovingCount(), 0);
    building->entity->type = kTypeCraft;
    Remove(building);
    EXPECT_EQ(Collision_StaticCount(), 0);
    Remove(plain);
}

TEST_F(CollisionTest, DeleteWithoutEntityIsTracedAndChangesNothing) {
    AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    EXPECT_EQ(DeleteCollisionEntity(nullptr), 0);
    EntityTableRecord empty{};
    EXPECT_EQ(DeleteCollisionEntity(&empty), 0);
    EXPECT_EQ(Collision_MovingCount(), 1);
}

TEST_F(CollisionTest, InitAgainFreesWhatAFailedLoadLeft) {
    EntityTableRecord* ra = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    Entity* a = ra->entity;
    void* box = ra->attached;
    Entity* b = AddFloor(-5, -5, 5, 5, 1)->entity;
    // A failed load goes back to the set-up without the teardown (the table forgets its
    // records without freeing what they hold; the test frees that itself).
    Collision_FreePolySets(b);
    Entities_Reset();
    std::free(box);
    Entity_Release(a);
    Entity_Release(b);
    Collision_Init();
    EXPECT_EQ(Collision_MovingCount(), 0);
    EXPECT_EQ(Collision_StaticCount(), 0);
    EXPECT_EQ(Collision_WalkableCount(), 0);
    EXPECT_EQ(Entities_AddNotifyCount(), 1);
    EXPECT_EQ(Entities_RemoveNotifyCount(), 1);
}

TEST_F(CollisionTest, TheWalkSurvivesDeletingTheCurrentRecord) {
    std::vector<EntityTableRecord*> moving, fixed;
    for (int i = 0; i < 3; ++i) moving.push_back(AddBox(kTypeCraft, kMin, kMax, {float(i) * 10, 0, 0}));
    for (int i = 0; i < 2; ++i) fixed.push_back(AddBox(kTypeBuilding, kMin, kMax, {float(i) * 10, 0, 50}, false));

    // Newest first, moving list before static list.
    std::vector<EntityTableRecord*> order;
    for (EntityTableRecord* r = Collision_FirstEntity(); r; r = Collision_NextEntity()) order.push_back(r);
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(order[0], moving[2]);
    EXPECT_EQ(order[2], moving[0]);
    EXPECT_EQ(order[3], fixed[1]);

    // Deleting the record the walk stands on (the last moving one, so the walk crosses into
    // the static list) visits every other record exactly once.
    std::vector<EntityTableRecord*> seen;
    for (EntityTableRecord* r = Collision_FirstEntity(); r; r = Collision_NextEntity()) {
        seen.push_back(r);
        if (r == moving[0]) Remove(r);
    }
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(Collision_MovingCount(), 2);

    // Deleting another record leaves the walk where it is.
    EntityTableRecord* first = Collision_FirstEntity();
    EXPECT_EQ(first, moving[2]);
    Remove(fixed[0]);
    EXPECT_EQ(Collision_NextEntity(), moving[1]);
    EXPECT_EQ(Collision_NextEntity(), fixed[1]);
    EXPECT_EQ(Collision_NextEntity(), nullptr);
}

TEST_F(CollisionTest, RadiusWideningLeavesOutTheLowestSlab) {
    Entity* e = NewBoxEntity(kTypeCraft, kMin, kMax, {0, 0, 0});
    auto* def = NewBoxDef(kMin, kMax);
    def->ny = 3;
    def->y[0] = -20;  // skids far below
    def->y[1] = -1;
    def->y[2] = 1;
    EntityTableRecord* r = Entities_Add(e, 0, def, nullptr);
    EXPECT_NEAR(r->radius, std::sqrt(3.0f) + 0.1f, 1e-5f);

    // With one slab the only slab counts, not whatever follows it.
    Entity* e2 = NewBoxEntity(kTypeCraft, kMin, kMax, {10, 0, 0});
    auto* one = NewBoxDef({-2, -1, -2}, {2, 1, 2});
    one->ny = 1;
    one->y[0] = 1;
    one->y[1] = 100;
    EntityTableRecord* r2 = Entities_Add(e2, 0, one, nullptr);
    EXPECT_NEAR(r2->radius, std::sqrt(4.0f + 1.0f + 4.0f) + 0.1f, 1e-5f);

    // Bad slab counts: the box is not used at all.
    Entity* e3 = NewBoxEntity(kTypeCraft, kMin, kMax, {20, 0, 0});
    auto* bad = NewBoxDef(kMin, kMax);
    bad->nx = 7;
    EntityTableRecord* r3 = Entities_Add(e3, 0, bad, nullptr);
    EXPECT_EQ(r3->shapeKind, kShapeNone);
}

TEST_F(CollisionTest, TransformAllRefreshesWorldCentres) {
    EntityTableRecord* r = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    r->entity->local.posit = DVector{4, 5, 6};
    Collision_TransformAll();
    EXPECT_FLOAT_EQ(r->worldCentre.x, 4);
    EXPECT_FLOAT_EQ(r->worldCentre.z, 6);
    const float box[6] = {1, 1, 1, 2.5f, 3.5f, 4.5f};
    Collision_ProcessFrame();
    EXPECT_TRUE(Collision_BoxesOverlap(box, r));  // swept box now around (4, 5, 6)
    const float far[6] = {-9, -9, -9, -8, -8, -8};
    EXPECT_FALSE(Collision_BoxesOverlap(far, r));
}

// ---- the frame pass ------------------------------------------------------------------------

struct PassCase {
    const char* what;
    int32_t typeL, typeR;
    float ly;        // height of the left box
    Vector vL, vR;   // velocities
    bool contact;
};

TEST_F(CollisionTest, ContactCases) {
    const std::vector<PassCase> cases = {
        {"head-on boxes", kTypeCraft, kTypeCraft, 0, {20, 0, 0}, {-20, 0, 0}, true},
        {"both at rest, overlapping", kTypeCraft, kTypeCraft, 0, {0, 0, 0}, {0, 0, 0}, false},
        {"too far for this frame", kTypeCraft, kTypeCraft, 0, {2, 0, 0}, {-2, 0, 0}, false},
        {"grazing with the bottom face only", kTypeCraft, kTypeCraft, 1.5f, {20, 0, 0}, {0, 0, 0}, false},
        {"low enough for the rim to reach", kTypeCraft, kTypeCraft, 0.9f, {20, 0, 0}, {0, 0, 0}, true},
        {"no box side: two part hierarchies", kTypeCraft6, kTypeCraft6, 0, {20, 0, 0}, {-20, 0, 0}, false},
        {"box against a part hierarchy", kTypeCraft, kTypeCraft6, 0, {20, 0, 0}, {-20, 0, 0}, true},
        {"part hierarchy against a box", kTypeCraft6, kTypeCraft, 0, {20, 0, 0}, {-20, 0, 0}, true},
    };
    for (const PassCase& c : cases) {
        Calls().clear();
        const bool overlap = c.vL.x == 0 && c.vR.x == 0;
        EntityTableRecord* l = AddBox(c.typeL, kMin, kMax, {0, c.ly, 0}, c.typeL == kTypeCraft);
        EntityTableRecord* r = AddBox(c.typeR, kMin, kMax, {overlap ? 1.0f : 3.0f, 0, 0}, c.typeR == kTypeCraft);
        SetVelocity(l->entity, c.vL);
        SetVelocity(r->entity, c.vR);
        Collision_ProcessFrame();
        EXPECT_EQ(!Calls().empty(), c.contact) << c.what;
        Remove(l);
        Remove(r);
    }
}

TEST_F(CollisionTest, BothHandlersGetBothRecordsInOrderWithNormalsTowardTheOther) {
    EntityTableRecord* left = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    EntityTableRecord* right = AddBox(kTypeCraft, kMin, kMax, {3, 0, 0});  // newer: first on the list
    SetVelocity(left->entity, {20, 0, 0});
    SetVelocity(right->entity, {-20, 0, 0});
    Collision_ProcessFrame();
    ASSERT_EQ(Calls().size(), 2u);

    // A (the list's first, right) is called with (A, B, B's record, A's record), then B.
    const CollideCall& a = Calls()[0];
    const CollideCall& b = Calls()[1];
    EXPECT_EQ(a.entity, right->entity);
    EXPECT_EQ(a.other, left->entity);
    EXPECT_EQ(a.contact.entity, left->entity);
    EXPECT_EQ(a.otherContact.entity, right->entity);
    EXPECT_EQ(b.entity, left->entity);
    EXPECT_EQ(b.contact.entity, right->entity);
    EXPECT_EQ(b.otherContact.entity, left->entity);

    const CollisionBody& leftBody = a.contact;
    const CollisionBody& rightBody = a.otherContact;
    EXPECT_EQ(leftBody.hit, 1);
    EXPECT_NEAR(leftBody.time, 0.025f, 1e-5f);
    EXPECT_EQ(leftBody.time, rightBody.time);
    // Each record's normal points toward the other body.
    EXPECT_NEAR(leftBody.normal.x, 1.0f, 1e-6f);
    EXPECT_NEAR(rightBody.normal.x, -1.0f, 1e-6f);
    // Velocities: each side's own relative to the other, opposite on the two.
    EXPECT_NEAR(leftBody.velocity.x, 40.0f, 1e-4f);
    EXPECT_NEAR(rightBody.velocity.x, -40.0f, 1e-4f);
    // Points in the frame of the handler reading them: on the reader's own facing side.
    EXPECT_NEAR(leftBody.point.x, -1.0f, 1e-5f);   // read by right: its -x face
    EXPECT_NEAR(rightBody.point.x, 1.0f, 1e-4f);   // read by left: its +x face
    // The dynamics of each side as its handler gives them.
    EXPECT_EQ(leftBody.dynamics.velocity.x, 20.0f);
    EXPECT_EQ(rightBody.dynamics.velocity.x, -20.0f);
}

TEST_F(CollisionTest, ImpactSoundThresholds) {
    struct Case {
        int32_t type;
        float s;
        const char* name;  // null: silent
    };
    const std::vector<Case> cases = {
        {1, 25.0f, nullptr},          {1, 25.5f, "vvcbb3.wav"},  {1, 500.0f, "vvcbb3.wav"},
        {6, 500.5f, "vvcre2.wav"},    {6, 1600.0f, "vvcre2.wav"}, {1, 1600.5f, "vvch2.wav"},
        {3, 5000.0f, nullptr},        {4, 5000.0f, nullptr},      {5, 26.0f, "vnvco3.wav"},
        {7, 5000.0f, "vnvco3.wav"},   {10, 26.0f, "vnvcs5.wav"},  {2, 26.0f, "vnvcs1.wav"},
        {2, 500.0f, "vnvcs1.wav"},    {2, 500.5f, "vnvcs3.wav"},  {8, 5000.0f, "vnvcs3.wav"},
    };
    for (const Case& c : cases) {
        const char* name = Collision_ImpactSoundName(c.type, c.s);
        if (!c.name)
            EXPECT_EQ(name, nullptr) << c.type << " " << c.s;
        else
            EXPECT_STREQ(name, c.name) << c.type << " " << c.s;
    }
}

TEST_F(CollisionTest, OnlyContactsOfTheUserSound) {
    auto crash = [&](bool user, int result) {
        Calls().clear();
        Sounds().clear();
        SetCollideResult(result);
        EntityTableRecord* l = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
        EntityTableRecord* r = AddBox(kTypeCraft, kMin, kMax, {3, 0, 0});
        if (user) Entity_SetFlagTree(l->entity, kEntityUser);
        SetVelocity(l->entity, {20, 0, 0});
        SetVelocity(r->entity, {-20, 0, 0});
        Collision_ProcessFrame();
        EXPECT_EQ(Calls().size(), 2u);
        Entity* player = l->entity;
        Remove(l);
        Remove(r);
        return player;
    };
    Entity* player = crash(true, 1);
    ASSERT_EQ(Sounds().size(), 1u);
    EXPECT_EQ(Sounds()[0].name, "vvch2.wav");  // s = |80|^2
    EXPECT_EQ(Sounds()[0].owner, player);
    crash(false, 1);  // two computer craft
    EXPECT_TRUE(Sounds().empty());
    crash(true, 0);  // neither handler takes the contact
    EXPECT_TRUE(Sounds().empty());
}

TEST_F(CollisionTest, AHandlerMayDeleteRecordsDuringThePass) {
    EntityTableRecord* a = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    EntityTableRecord* b = AddBox(kTypeCraft, kMin, kMax, {3, 0, 0});
    EntityTableRecord* c = AddBox(kTypeCraft, kMin, kMax, {-3, 0, 0});
    SetVelocity(a->entity, {20, 0, 0});
    SetVelocity(b->entity, {-20, 0, 0});
    SetVelocity(c->entity, {20, 0, 0});
    static EntityTableRecord* victims[2];
    victims[0] = a;
    victims[1] = b;
    Classfnc_Owners().objectCollide = [](Entity*, Entity*, CollisionBody*, CollisionBody*) {
        for (EntityTableRecord*& v : victims) {
            if (v) {
                CollisionTest::Remove(v);
                v = nullptr;
            }
        }
        return 0;
    };
    Collision_ProcessFrame();
    EXPECT_EQ(Collision_MovingCount(), 1);
    EXPECT_EQ(Collision_FirstEntity(), c);
}

// ---- shapes in the pass --------------------------------------------------------------------

class ShapeTest : public CollisionTest {
protected:
    // A static building whose root takes no part and whose children are sphere parts.
    EntityTableRecord* AddSpheres(const std::vector<Vector>& centres, float radius, uint32_t mode = kPartModeSphere) {
        Entity* root = NewBoxEntity(kTypeBuilding, {-1, -2, -3}, {12, 2, 3}, {0, 0, 0});
        root->flags |= kPartModeNone;
        for (const Vector& c : centres) {
            Entity* part = Entity_New(root);
            part->local.posit = DVector{c.x, c.y, c.z};
            part->flags |= mode;
            part->boundsRadius = radius;
        }
        return Entities_Add(root, 0, nullptr, nullptr);
    }
    // The craft's spin change from a contact record as the craft motion step forms it: the
    // contact velocity in the craft's frame crossed with the lever arm from its centre.
    static Vector Spin(const CollisionBody& contact, const Vector& centre) {
        const Vector r{contact.point.x - centre.x, contact.point.y - centre.y, contact.point.z - centre.z};
        const float r2 = r.x * r.x + r.y * r.y + r.z * r.z;
        const Vector w = Vec3_Cross(contact.velocity, r);
        return Vector{w.x * 0.2f / r2, w.y * 0.2f / r2, w.z * 0.2f / r2};
    }
};

TEST_F(ShapeTest, TheEarliestPartWinsAndATieKeepsTheFirstVisited) {
    EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    SetVelocity(craft->entity, {20, 0, 0});
    SetFrameTime(0.5f);
    // The later part is visited first (a new child goes in front); the nearer one still wins.
    EntityTableRecord* b = AddSpheres({{5, 0, 0}, {8, 0, 0}}, 1.0f);
    Collision_ProcessFrame();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_NEAR(Calls()[0].contact.time, 0.15f, 1e-5f);
    Remove(b);

    Calls().clear();
    AddSpheres({{5, 0, -0.5f}, {5, 0, 0.5f}}, 1.0f);  // equal times: the z = 0.5 part is visited first
    Collision_ProcessFrame();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_NEAR(Calls()[0].contact.time, 0.15f, 1e-5f);
    EXPECT_NEAR(Calls()[0].contact.point.z, 0.5f, 1e-5f);
}

TEST_F(ShapeTest, ACraftHittingASphereSpinsAboutTheContact) {
    for (float offset : {0.8f, -0.8f}) {
        Calls().clear();
        EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
        SetVelocity(craft->entity, {20, 0, 0});
        EntityTableRecord* ball = AddSpheres({{4, 0, offset}}, 1.0f);
        Collision_ProcessFrame();
        ASSERT_EQ(Calls().size(), 2u);
        const CollideCall& c = Calls()[0];
        ASSERT_EQ(c.entity, craft->entity);
        // The record the craft reads: the point where the ball touches its +x face, in the
        // craft's frame; the normal pushes the craft back.
        EXPECT_NEAR(c.contact.time, 0.1f, 1e-5f);
        EXPECT_NEAR(c.contact.point.x, 1.0f, 1e-5f);
        EXPECT_NEAR(c.contact.point.z, offset, 1e-5f);
        EXPECT_NEAR(c.contact.normal.x, -1.0f, 1e-6f);
        EXPECT_NEAR(c.otherContact.normal.x, 1.0f, 1e-6f);
        // Hit off-centre, the craft yaws away from the side that was struck.
        const Vector w = Spin(c.contact, craft->localCentre);
        EXPECT_NEAR(w.x, 0.0f, 1e-5f);
        EXPECT_NEAR(w.z, 0.0f, 1e-5f);
        EXPECT_GT(std::fabs(w.y), 1.0f);
        EXPECT_EQ(w.y > 0, offset > 0);
        Remove(craft);
        Remove(ball);
    }
}

TEST_F(ShapeTest, SmallSpherePartsUseThreeQuartersOfTheRadius) {
    EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    SetVelocity(craft->entity, {20, 0, 0});
    SetFrameTime(0.5f);
    AddSpheres({{6, 0, 0}}, 2.0f, kPartModeSmallSphere);
    Collision_ProcessFrame();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_NEAR(Calls()[0].contact.time, (6.0f - 1.0f - 1.5f) / 20.0f, 1e-5f);
}

TEST_F(ShapeTest, ARimSampleHitsAMeshWall) {
    EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    SetVelocity(craft->entity, {20, 0, 0});
    SetFrameTime(0.2f);
    Entity* wall = Entity_New(nullptr);
    wall->type = kTypeBuilding10;
    GiveMesh(wall, {{3, -5, -5}, {3, -5, 5}, {3, 5, 5}, {3, 5, -5}}, {{0, 1, 2, 3}});
    wall->boundsCentre = Vector{3, 0, 0};
    wall->boundsRadius = 7.1f;
    EntityTableRecord* w = Entities_Add(wall, 0, nullptr, nullptr);
    ASSERT_EQ(w->shapeKind, kShapeParts);
    ASSERT_NE(wall->polySet, nullptr);
    EXPECT_EQ(Collision_WalkableCount(), 0);  // a wall is no floor

    Collision_ProcessFrame();
    ASSERT_EQ(Calls().size(), 2u);
    const CollideCall& c = Calls()[0];
    EXPECT_EQ(c.entity, craft->entity);
    EXPECT_NEAR(c.contact.time, 0.1f, 1e-5f);
    EXPECT_NEAR(c.contact.normal.x, -1.0f, 1e-4f);      // the wall's normal, toward the craft
    EXPECT_NEAR(c.otherContact.normal.x, 1.0f, 1e-4f);  // the craft's, toward the wall
    EXPECT_NEAR(c.contact.point.x, 1.0f, 1e-5f);        // the craft's own +x face
    // Removing the building frees its polygon sets.
    Remove(w);
}

TEST_F(ShapeTest, TestByShapeForOrdnance) {
    EntityTableRecord* craft = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    EntityTableRecord* balls = AddSpheres({{5, 0, 0}}, 1.0f);
    Entity* hit = nullptr;
    float t = 0;
    CollisionProbe probe{{-5, 0, 0}, {100, 0, 0}, 0.0f, 0.1f};
    ASSERT_TRUE(Collision_TestByShape(probe, craft, &hit, &t));
    EXPECT_EQ(hit, craft->entity);
    EXPECT_NEAR(t, 0.04f, 1e-5f);
    probe.start = Vector{-5, 3, 0};
    EXPECT_FALSE(Collision_TestByShape(probe, craft, &hit, &t));
    probe.radius = 2.5f;  // a small sphere reaches the box
    EXPECT_TRUE(Collision_TestByShape(probe, craft, &hit, &t));

    CollisionProbe shot{{0, 0, 0}, {100, 0, 0}, 0.0f, 0.1f};
    ASSERT_TRUE(Collision_TestByShape(shot, balls, &hit, &t));
    EXPECT_EQ(hit, balls->entity);
    EXPECT_NEAR(t, 0.04f, 1e-5f);
    shot.start = Vector{0, 0, 3};
    EXPECT_FALSE(Collision_TestByShape(shot, balls, &hit, &t));
}

// ---- the floor -----------------------------------------------------------------------------

TEST_F(CollisionTest, FloorWithinOneUnitAboveThePointCounts) {
    AddFloor(-10, -10, 10, 10, 2.0f);
    ASSERT_EQ(Collision_WalkableCount(), 1);
    float h = -1;
    Vector n{};
    Collision_GetFloorHeight(0, 1.1, 0, &h, &n);  // floor 0.9 above
    EXPECT_FLOAT_EQ(h, 2.0f);
    EXPECT_NEAR(n.y, 1.0f, 1e-4f);
    Collision_GetFloorHeight(0, 0.9, 0, &h, &n);  // floor 1.1 above: the point is under it
    EXPECT_FLOAT_EQ(h, 0.0f);
    Collision_GetFloorHeight(0, 5, 0, &h, nullptr);
    EXPECT_FLOAT_EQ(h, 2.0f);
    Collision_GetFloorHeight(10, 5, 10, &h, nullptr);  // the far corner is on the floor
    EXPECT_FLOAT_EQ(h, 2.0f);
    Collision_GetFloorHeight(10.5, 5, 0, &h, nullptr);  // beside it
    EXPECT_FLOAT_EQ(h, 0.0f);
    Collision_GetFloorHeight(0, 5, 0, nullptr, nullptr);
}

TEST_F(CollisionTest, SlopedFloorGivesItsPlaneHeightAndNormal) {
    Entity* e = Entity_New(nullptr);
    e->type = kTypeBuilding10;
    GiveMesh(e, {{-10, 0, -10}, {-10, 0, 10}, {10, 2, 10}, {10, 2, -10}}, {{0, 1, 2, 3}});
    Entities_Add(e, 0, nullptr, nullptr);
    float h;
    Vector n;
    Collision_GetFloorHeight(5, 5, 0, &h, &n);
    EXPECT_NEAR(h, 1.5f, 1e-5f);
    EXPECT_LT(n.x, 0.0f);
    EXPECT_GT(n.y, 0.99f);
}

TEST_F(CollisionTest, TheFirstPolygonHoldingThePointDecides) {
    Entity* e = Entity_New(nullptr);
    e->type = kTypeBuilding10;
    // Two overlapping floors; the list runs last face first, so the upper one decides.
    GiveMesh(e, {{-5, 1, -5}, {-5, 1, 5}, {5, 1, 5}, {5, 1, -5}, {-5, 3, -5}, {-5, 3, 5}, {5, 3, 5}, {5, 3, -5}},
             {{0, 1, 2, 3}, {4, 5, 6, 7}});
    Entities_Add(e, 0, nullptr, nullptr);
    float h;
    Collision_GetFloorHeight(0, 1.5, 0, &h, nullptr);  // the upper floor is rejected: no fallback
    EXPECT_FLOAT_EQ(h, 0.0f);
    Collision_GetFloorHeight(0, 2.5, 0, &h, nullptr);
    EXPECT_FLOAT_EQ(h, 3.0f);
}

TEST_F(CollisionTest, AFloorBelowTheTerrainNeverWins) {
    Terrain_SetBaseHeight(5);
    Terrain_BuildBlockTables();
    AddFloor(-10, -10, 10, 10, 3.0f);
    float h;
    Vector n;
    Collision_GetFloorHeight(2, 3.5, 2, &h, &n);
    EXPECT_FLOAT_EQ(h, 5.0f);
    EXPECT_NEAR(n.y, 1.0f, 1e-4f);
}

TEST_F(CollisionTest, OnlyTypeNinePartsOfATypeEightRecordAreFloors) {
    Entity* root = Entity_New(nullptr);
    root->type = kTypeStatic8;
    GiveMesh(root, {{-10, 2, -10}, {-10, 2, 10}, {10, 2, 10}, {10, 2, -10}}, {{0, 1, 2, 3}});
    Entity* part = Entity_New(root);
    part->type = 9;
    part->local.posit = DVector{20, 0, 0};
    GiveMesh(part, {{-5, 1, -5}, {-5, 1, 5}, {5, 1, 5}, {5, 1, -5}}, {{0, 1, 2, 3}});
    EntityTableRecord* r = Entities_Add(root, 0, nullptr, nullptr);
    ASSERT_EQ(Collision_WalkableCount(), 1);
    float h;
    Collision_GetFloorHeight(0, 5, 0, &h, nullptr);
    EXPECT_FLOAT_EQ(h, 0.0f);  // the root's own polygon is not a floor
    Collision_GetFloorHeight(20, 5, 0, &h, nullptr);
    EXPECT_FLOAT_EQ(h, 1.0f);  // the part's, placed through its matrix
    Remove(r);
    EXPECT_EQ(Collision_WalkableCount(), 0);
}

TEST_F(CollisionTest, InstallSeamFillsTheWorldEntries) {
    WorldSeam saved = Seam_World();
    Collision_InstallSeam();
    EXPECT_EQ(Seam_World().collisionInit, &Collision_Init);
    EXPECT_EQ(Seam_World().collisionShutdown, &Collision_Shutdown);
    EXPECT_EQ(Seam_World().collisionProcessFrame, &Collision_ProcessFrame);
    EXPECT_EQ(Seam_World().collisionTransformAll, &Collision_TransformAll);
    Seam_World() = saved;
}

}  // namespace

// The sweep along x hands the shape tests exactly the pairs, in exactly the order, that the
// walk over every pair does, on a crowd with close and distant pairs, fixed records, a record
// sitting on another and one whose position is not a number.
TEST_F(CollisionTest, TheBroadPhaseGivesTheSameContactsInTheSameOrder) {
    uint32_t seed = 12345;
    auto next = [&seed](float lo, float hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + (hi - lo) * static_cast<float>((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    std::vector<EntityTableRecord*> records;
    for (int i = 0; i < 160; ++i) {
        const Vector at{next(0, 120), next(-1, 1), next(0, 120)};
        EntityTableRecord* r = AddBox(kTypeCraft, kMin, kMax, at);
        SetVelocity(r->entity, Vector{next(-40, 40), next(-5, 5), next(-40, 40)});
        records.push_back(r);
    }
    for (int i = 0; i < 12; ++i)
        records.push_back(AddBox(kTypeBuilding, Vector{-2, -2, -2}, Vector{2, 2, 2}, {next(0, 120), 0, next(0, 120)}, false));
    const DVector& onTop = records[3]->entity->local.posit;
    records.push_back(AddBox(kTypeCraft, kMin, kMax, Vector{float(onTop.x), 0.5f, float(onTop.z)}));
    EntityTableRecord* lost = AddBox(kTypeCraft, kMin, kMax, {0, 0, 0});
    lost->entity->local.posit.x = std::nan("");
    SetVelocity(lost->entity, Vector{1, 0, 0});

    auto run = [&](bool broad) {
        Calls().clear();
        Collision_SetBroadPhase(broad);
        Collision_ProcessFrame();
        return Calls();
    };
    const std::vector<CollideCall> all = run(false);
    const std::vector<CollideCall> swept = run(true);
    Collision_SetBroadPhase(true);
    ASSERT_GT(all.size(), 20u) << "the crowd makes contacts";
    ASSERT_EQ(swept.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(swept[i].entity, all[i].entity);
        EXPECT_EQ(swept[i].other, all[i].other);
        EXPECT_EQ(swept[i].contact.time, all[i].contact.time);
        EXPECT_EQ(std::memcmp(&swept[i].contact.normal, &all[i].contact.normal, sizeof(Vector)), 0);
        EXPECT_EQ(std::memcmp(&swept[i].contact.point, &all[i].contact.point, sizeof(Vector)), 0);
    }
}
