// A craft's life past its motion: pilots that die, bail out and hop out; hits that push, spin
// and throw debris; dying, exploding and the teardown; damage smoke; older saved layouts and
// the class's texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Objkr/objload.h"
#include "class_fixture.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "fun3d/craft.h"
#include "fun3d/craftservices.h"
#include "fun3d/teamrecord.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"
#include "fun3d/particlebuffer.h"
#include "fun3d/visibility.h"
#include "fun3d_fixture.h"
#include "odfkeys.h"
#include "platform/random.h"
#include "support/field_stream.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace {

// What the craft asked of its neighbours.
struct Calls {
    std::vector<int> explosions;
    int chunks = 0;
    std::vector<std::string> sounds;
    std::vector<int32_t> scrap;
    int reports = 0;
    int processes = 0;
    int registered = 0;
};
Calls g_calls;

class CraftLifeTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        g_calls = Calls{};
        CraftServices& s = Craft_Services();
        s.explosionBuild = [](const GameObjectClass*, int kind, const Matrix&) {
            g_calls.explosions.push_back(kind);
            return true;
        };
        s.chunkSpawn = [](const Vector&, const Vector&) { ++g_calls.chunks; };
        s.scrapSpawn = [](const Vector&, int32_t amount) { g_calls.scrap.push_back(amount); };
        s.reportUnitLost = [](GameObject*) { ++g_calls.reports; };
        s.netRegister = [](GameObject*) { ++g_calls.registered; };
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_calls.sounds.push_back(name);
            return nullptr;
        };
        // Freeing a craft's physics record destroys the craft, as at run time.
        Classfnc_Owners().destroyPhysOwner = [](void* owner) { delete static_cast<Craft*>(owner); };
        Random_Seed(12345);
    }
    void TearDown() override {
        Fun3dFixture::TearDown();
        Craft_ResetServices();
    }

    CraftClass& NewCraftClass(int32_t category = kCategoryCraft) {
        auto* cls = new CraftClass("craft", Signature("CRFT"), category);
        cls->health = 1000;
        cls->ammo = 100;
        cls->scrapValue = 12;
        classes_.push_back(cls);
        return *cls;
    }
    // A vehicle root with its physics record, as the craft row of the class functions makes it.
    Entity* CraftRoot(int32_t team = 1, uint32_t flags = 0) {
        Entity* root = NewRoot(team, flags);
        root->type = kTypeCraft;
        root->classData = PhysBody_New();
        return root;
    }
    Craft* NewCraft(CraftClass& cls, Entity* root = nullptr) {
        Craft* craft = GameObject_New<Craft>(root ? root : CraftRoot(), &cls);
        craft->SetTeam(1);
        return craft;
    }
    // A craft with a pilot of a person class (built without a model).
    Craft* PilotedCraft(Entity* root = nullptr) {
        Craft* craft = NewCraft(NewCraftClass(), root);
        craft->pilotClass = pilotClass_ ? pilotClass_ : (pilotClass_ = &NewCraftClass(kCategoryPerson));
        return craft;
    }
    static bool Listed(const GameObject* object) {
        for (GameObject* o : GameObject_List())
            if (o == object) return true;
        return false;
    }
    // The objects built since the count was taken.
    static std::vector<GameObject*> Since(size_t count) {
        const std::vector<GameObject*>& list = GameObject_List();
        return std::vector<GameObject*>(list.begin() + static_cast<long>(count), list.end());
    }

    CraftClass* pilotClass_ = nullptr;
};

// ---- pilots -----------------------------------------------------------------------------------

TEST_F(CraftLifeTest, TheEjectChanceDecidesWhetherThePilotGetsOut) {
    struct Case {
        float chance;
        int trials;
        float lostLow, lostHigh;
    } cases[] = {{0.3f, 200, 0.6f, 0.8f}, {1.0f, 40, 0.0f, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chance);
        Craft* craft = PilotedCraft();
        int lost = 0;
        for (int i = 0; i < c.trials; ++i) {
            craft->pilotClass = pilotClass_;
            craft->ejectChance = c.chance;
            const size_t before = GameObject_List().size();
            craft->EjectPilot();
            EXPECT_EQ(craft->pilotClass, nullptr);
            const std::vector<GameObject*> built = Since(before);
            if (built.empty()) ++lost;
            for (GameObject* pilot : built) {
                EntityTableRecord* record = pilot->record;
                Entity* e = pilot->entity;
                delete pilot;
                if (record) Entities_Remove(record);
                Entity_Release(e);
            }
        }
        const float share = static_cast<float>(lost) / static_cast<float>(c.trials);
        EXPECT_GE(share, c.lostLow);
        EXPECT_LE(share, c.lostHigh);
    }
}

TEST_F(CraftLifeTest, APersonCanNeitherBailOutNorHopOut) {
    Entity* root = NewRoot();
    root->type = kTypePerson;
    Craft* person = PilotedCraft(root);
    person->ejectChance = 1.0f;
    const size_t before = GameObject_List().size();
    person->EjectPilot();
    person->HopOut();
    EXPECT_EQ(person->pilotClass, pilotClass_) << "still aboard";
    EXPECT_EQ(GameObject_List().size(), before);
}

TEST_F(CraftLifeTest, HoppingOutLeavesThePilotAtTheCockpitWithTheCraftAbandoned) {
    Entity* root = CraftRoot();
    Entity* cockpit = NewPart(root, "", kTypeCockpitPart);
    cockpit->local.posit = DVector{0.0, 2.0, 1.0};
    Craft* craft = PilotedCraft(root);
    craft->pilotNode = cockpit;
    craft->radius = 3.0f;
    root->local.posit = DVector{10.0, 0.0, 20.0};
    craft->euler.velocity = Vector{1.0f, 0.0f, 0.0f};
    craft->controls.throttle = 1.0f;
    const size_t before = GameObject_List().size();
    craft->HopOut();
    const std::vector<GameObject*> built = Since(before);
    ASSERT_EQ(built.size(), 1u);
    auto* pilot = dynamic_cast<Craft*>(built[0]);
    ASSERT_NE(pilot, nullptr);
    EXPECT_EQ(pilot->abandoned, craft->GetObjHandle());
    EXPECT_EQ(pilot->objClass, pilotClass_);
    EXPECT_EQ(pilot->team, 1);
    EXPECT_NE(pilot->physFlags & 8u, 0u);
    const DVector& at = pilot->entity->local.posit;
    EXPECT_DOUBLE_EQ(at.x, 10.0);
    EXPECT_DOUBLE_EQ(at.y, 5.0) << "the cockpit raised by the craft's radius";
    EXPECT_DOUBLE_EQ(at.z, 21.0);
    // The craft's velocity, 5 up and twice the radius forward.
    EXPECT_FLOAT_EQ(pilot->euler.velocity.x, 1.0f);
    EXPECT_FLOAT_EQ(pilot->euler.velocity.y, 5.0f);
    EXPECT_FLOAT_EQ(pilot->euler.velocity.z, 6.0f);
    EXPECT_EQ(craft->pilotClass, nullptr);
    EXPECT_EQ(craft->controls.throttle, 0.0f);
    EXPECT_EQ(craft->perceivedTeam, 0) << "an empty craft looks neutral";
    ASSERT_FALSE(g_calls.sounds.empty());
    EXPECT_EQ(g_calls.sounds.back(), "jump.wav");
}

TEST_F(CraftLifeTest, AKilledPilotLeavesNoBodyButABlastAndDebris) {
    Craft* craft = PilotedCraft();
    craft->controls.steering = 0.5f;
    const size_t before = GameObject_List().size();
    craft->KillPilot();
    EXPECT_EQ(GameObject_List().size(), before);
    EXPECT_EQ(craft->pilotClass, nullptr);
    EXPECT_EQ(craft->controls.steering, 0.0f);
    EXPECT_EQ(craft->perceivedTeam, 0);
    EXPECT_EQ(g_calls.reports, 1);
    ASSERT_EQ(g_calls.explosions.size(), 1u);
    EXPECT_EQ(g_calls.explosions[0], kCraftExplosionPilotDeath);
    EXPECT_EQ(g_calls.chunks, 10);
    ASSERT_EQ(g_calls.sounds.size(), 1u);
    EXPECT_EQ(g_calls.sounds[0], "squish.wav");
    craft->KillPilot();
    EXPECT_EQ(g_calls.reports, 1) << "nothing without a pilot";
}

TEST_F(CraftLifeTest, TheEjectRequestBailsThePilotOutAndGivesTheCraftUp) {
    Craft* craft = PilotedCraft();
    craft->ejectChance = 0.0f;  // the request makes it certain
    craft->controls.eject = 1;
    const size_t before = GameObject_List().size();
    craft->Update(0.01f);
    EXPECT_EQ(Since(before).size(), 1u) << "the pilot always gets out";
    EXPECT_EQ(craft->curHealth, 0.0f);
    EXPECT_EQ(craft->healthRatio, 0.0f);
    EXPECT_NE(craft->entity->flags & kEntityDead, 0u);
    EXPECT_EQ(craft->controls.eject, 0);
}

// A rescue's pick-up takes aboard the craft's team's people standing beside it, once each: they
// leave the world and are pilots of the team again. People farther off, of another team, or the
// user's own are left where they are.
TEST_F(CraftLifeTest, ThePickUpTakesAboardTheTeamsPeopleBesideTheCraft) {
    TerrainBounds.minXm = 0.0f;
    TerrainBounds.maxXm = 1000.0f;
    TerrainBounds.minZm = 0.0f;
    TerrainBounds.maxZm = 1000.0f;
    TeamRecord* team = TeamRecord::Get(1);
    team->AddMaxPilots(10);
    Craft* craft = PilotedCraft();
    craft->radius = 4.0f;
    craft->entity->local.posit = DVector{100.0, 0.0, 100.0};
    CraftClass& people = NewCraftClass(kCategoryPerson);
    people.pilotCost = 1;
    auto person = [&](double x, double z, int32_t side, uint32_t flags = 0) {
        Entity* root = NewRoot(side, flags);
        root->type = kTypePerson;
        Craft* p = GameObject_New<Craft>(root, &people);
        p->SetTeam(side);
        p->radius = 1.0f;
        root->local.posit = DVector{x, 0.0, z};
        return p;
    };
    Craft* beside = person(112.0, 95.0, 1);     // within max(4 + 1 + 10, 20) on both axes
    Craft* far = person(125.0, 100.0, 1);       // 25 m off along x
    Craft* enemy = person(105.0, 100.0, 2);
    const int32_t before = team->GetPilots();
    craft->controls.pickUp = 1;
    craft->Update(0.01f);
    EXPECT_EQ(craft->controls.pickUp, 0);
    EXPECT_NE(beside->entity->flags & kEntityDead, 0u);
    EXPECT_EQ(far->entity->flags & kEntityDead, 0u);
    EXPECT_EQ(enemy->entity->flags & kEntityDead, 0u);
    EXPECT_EQ(team->GetPilots(), before + 1);
    craft->Update(0.01f);
    EXPECT_EQ(team->GetPilots(), before + 1) << "once";
    TerrainBounds = TerrainBoundsInfo{};
}

// ---- damage -----------------------------------------------------------------------------------

TEST_F(CraftLifeTest, OrdnanceThrowsDebrisByTheSizeOfTheHitAndPushesAndSpins) {
    Classfnc_Owners().ordnanceDynamics = [](EntityDynamics* out, Entity*) {
        EntityDynamics_Init(*out);
        out->velocity = Vector{0.0f, 0.0f, -100.0f};
    };
    Entity* shot = NewRoot(0, 0, false);
    shot->type = kTypeOrdnance;
    struct Case {
        float amount;
        int chunks;
    } cases[] = {{10.0f, 0}, {200.0f, 5}, {1000.0f, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        Craft* craft = NewCraft(NewCraftClass());
        craft->maxHealth = craft->curHealth = 1e6f;
        g_calls.chunks = 0;
        DamageInfo hit{};
        hit.carrier = shot;
        hit.playerId = kNoPlayer;
        hit.amount = c.amount;
        const Vector offset{1.0f, 0.0f, 0.0f};
        EXPECT_FALSE(craft->TakeDamage(&hit, &offset));
        EXPECT_EQ(g_calls.chunks, c.chunks);
        // k = amount / 1500: the craft takes k * 10 of the shot's velocity and a spin about y.
        const float k = c.amount / 1500.0f;
        EXPECT_NEAR(craft->euler.velocity.z, -1000.0f * k, 1e-3f);
        EXPECT_NEAR(craft->euler.angularVelocity.y, k, 1e-5f);
    }
}

TEST_F(CraftLifeTest, ABlastAtTheCraftsOwnPointPushesNothing) {
    Craft* craft = NewCraft(NewCraftClass());
    Entity* blast = NewRoot(0, 0, false);
    blast->type = kTypeExplosion;
    blast->local.posit = DVector{craft->pos.x, craft->pos.y, craft->pos.z};
    DamageInfo hit{};
    hit.carrier = blast;
    hit.amount = 100.0f;
    craft->TakeDamage(&hit, nullptr);
    EXPECT_EQ(craft->euler.velocity.x, 0.0f);
    EXPECT_EQ(craft->euler.velocity.y, 0.0f);
    EXPECT_EQ(craft->euler.velocity.z, 0.0f);
    // Ten units to one side: pushed away along x by 20 k.
    blast->local.posit.x -= 10.0;
    craft->TakeDamage(&hit, nullptr);
    EXPECT_NEAR(craft->euler.velocity.x, 20.0f * 100.0f / 1500.0f, 1e-4f);
}

TEST_F(CraftLifeTest, TheKillingHitMarksTheCraftDeadAndARemoteCraftKeepsItsHull) {
    Craft* craft = NewCraft(NewCraftClass());
    DamageInfo hit{};
    hit.amount = 400.0f;
    EXPECT_FALSE(craft->TakeDamage(&hit, nullptr));
    EXPECT_EQ(craft->curHealth, 600.0f);
    hit.amount = 700.0f;
    EXPECT_TRUE(craft->TakeDamage(&hit, nullptr));
    EXPECT_NE(craft->entity->flags & kEntityDead, 0u);
    EXPECT_TRUE(craft->TakeDamage(&hit, nullptr)) << "a dead craft hit again is still killed";

    Craft* remote = NewCraft(NewCraftClass());
    remote->ownership = kNetOwnedRemote;
    hit.amount = 5000.0f;
    EXPECT_FALSE(remote->TakeDamage(&hit, nullptr));
    EXPECT_EQ(remote->curHealth, 1000.0f);
    hit.amount = 0.0f;
    EXPECT_FALSE(craft->TakeDamage(&hit, nullptr)) << "no amount, no hit";
}

TEST_F(CraftLifeTest, TerrainDamageFallsWithHeightAndGrowsWithDamagingNeighbours) {
    struct Case {
        int neighbours;
        float height, perSecond;
    } cases[] = {{8, 0.0f, 320.0f}, {8, -1.0f, 320.0f}, {8, 0.5f, 240.0f}, {8, 3.0f, 80.0f},
                 {8, 5.0f, 0.0f},   {8, 7.0f, -80.0f}, {1, 0.0f, 0.0f},   {3, 0.0f, 80.0f}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(Craft_TerrainDamageRate(c.neighbours, c.height), c.perSecond)
            << c.neighbours << " at " << c.height;
}

// ---- death, wreck and teardown ------------------------------------------------------------

TEST_F(CraftLifeTest, ADeployedWreckExplodesAtOnceAndAnyOtherFiveSecondsLater) {
    for (int deployed : {2, 0}) {
        SCOPED_TRACE(deployed);
        Craft* craft = NewCraft(NewCraftClass());
        craft->deployState = deployed;
        g_calls = Calls{};
        Entity_SetFlagTree(craft->entity, kEntityDead);
        craft->Update(0.1f);
        ASSERT_TRUE(Listed(craft));
        EXPECT_NE(craft->physFlags & kCraftDying, 0u);
        EXPECT_GT(craft->euler.velocity.y, 6.0f) << "the wreck is kicked up";
        int frames = 1;
        while (Listed(craft) && frames < 100) {
            craft->Update(0.1f);
            ++frames;
        }
        EXPECT_FALSE(Listed(craft)) << "the wreck explodes and is torn down";
        if (deployed == 2)
            EXPECT_EQ(frames, 2);
        else
            EXPECT_NEAR(frames, 52, 1);
        ASSERT_EQ(g_calls.scrap.size(), 1u);
        EXPECT_EQ(g_calls.scrap[0], 12) << "the class's scrap value outside network games";
        EXPECT_EQ(g_calls.explosions.front(), kCraftExplosionDeath);
    }
}

TEST_F(CraftLifeTest, TheHeadlightMasksHoldOnTheVehicleGoesWithTheCraft) {
    auto withMask = [&](Entity** maskOut) {
        Entity* root = CraftRoot();
        Entity* mask = NewRoot(0, 0, false);
        mask->up = root;
        Entity_AddRefTree(root);
        static_cast<PhysBody*>(root->classData)->headlightMask = mask;
        *maskOut = mask;
        return NewCraft(NewCraftClass(), root);
    };
    Entity* mask = nullptr;
    Craft* craft = withMask(&mask);
    craft->TearDown();
    EXPECT_FALSE(Listed(craft)) << "the vehicle is freed with its craft";
    EXPECT_EQ(mask->up, nullptr) << "the mask no longer hangs on the freed vehicle";
    EXPECT_NE(mask->flags & kEntityNotDrawn, 0u);

    // Destroyed without its teardown, as a failed load does: the vehicle is still freed.
    craft = withMask(&mask);
    Entity* root = craft->entity;
    EntityTableRecord* record = craft->record;
    delete craft;
    Entities_Remove(record);
    Entity_Release(root);
    EXPECT_EQ(root->classData, nullptr) << "the vehicle's records are freed";
}

// ---- smoke --------------------------------------------------------------------------------

TEST_F(CraftLifeTest, DamageSmokeLeavesTenPuffsASecondSpreadOverTheFrame) {
    Craft* craft = NewCraft(NewCraftClass());
    craft->AddHealth(-900.0f);
    ASSERT_NE(craft->physFlags & kCraftSmoking, 0u);
    ParticleKind_CraftSmoke(craft->smokeKind) = ParticleKind{0.0f, 10.0f, 1.0f, 1.0f, 2.0f};
    craft->euler.velocity = Vector{10.0f, 0.0f, 0.0f};
    craft->smokeTimer = 0.0f;
    craft->PostUpdate(0.15f);
    ASSERT_EQ(ParticleBuffer_Count(), 2);
    const ParticleRecord* r = ParticleBuffer_Records();
    EXPECT_NEAR(r[0].start, 0.15f, 1e-5f);
    EXPECT_NEAR(r[1].start, 0.05f, 1e-5f);
    EXPECT_NEAR(r[0].size, 1.3f, 1e-5f);
    // Each leaves where the rear of the craft was when it left.
    const float rear = craft->boxFaceCentres[3].x + static_cast<float>(craft->entity->local.posit.x);
    EXPECT_NEAR(r[0].position.x, rear - 1.5f, 1e-4f);
    EXPECT_NEAR(r[1].position.x, rear - 0.5f, 1e-4f);
    EXPECT_NEAR(craft->smokeTimer, -0.05f, 1e-5f);

    // A full buffer takes nothing more.
    while (ParticleBuffer_Add(ParticleKind_CraftSmoke(0), Vector{}, Vector{}, 0.0f)) {
    }
    craft->PostUpdate(0.15f);
    EXPECT_EQ(ParticleBuffer_Count(), kParticleBufferSize);
}

TEST_F(CraftLifeTest, AParticleThatWouldAlreadyBeOverIsDropped) {
    const ParticleKind kind{1.0f, 2.0f, 10.0f, 1.0f, 0.0f};
    EXPECT_TRUE(ParticleBuffer_Add(kind, Vector{}, Vector{}, 0.1f));   // starts at 2, ends at 3
    EXPECT_FALSE(ParticleBuffer_Add(kind, Vector{}, Vector{}, 0.2f));  // starts at 3
    EXPECT_EQ(ParticleBuffer_Count(), 1);
}

// ---- network state ------------------------------------------------------------------------

TEST_F(CraftLifeTest, ANetworkStateWithAPilotGetsAProcessAndADeadOneIsRegistered) {
    Craft_Services().netCreateProcess = [](GameObject*) -> sObject* {
        ++g_calls.processes;
        return nullptr;
    };
    Craft* craft = NewCraft(NewCraftClass());
    const uint8_t piloted[3] = {255, 255, 0x80};
    craft->UnpackNetState(piloted, 3);
    EXPECT_EQ(craft->pilotClass, craft->objClass);
    EXPECT_EQ(g_calls.processes, 1);
    const uint8_t gone[3] = {0, 0, 0x10};
    craft->UnpackNetState(gone, 3);
    EXPECT_EQ(craft->entity->flags & 0x280u, 0x280u);
    EXPECT_EQ(g_calls.registered, 1);
    EXPECT_EQ(craft->pilotClass, nullptr);
}

// ---- older saved layouts ------------------------------------------------------------------

TEST_F(CraftLifeTest, OlderSavesCarryTheFaceCentresAndOnlyNewerOnesAbandoned) {
    Craft* craft = NewCraft(NewCraftClass());
    const Vector faces[6] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}};
    struct Case {
        int32_t version;
        bool faces;
        uint32_t abandoned;
    } cases[] = {{1018, true, 0}, {1020, false, 0}, {1028, false, 77}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const std::string bytes = CaptureFields(false, [&](FILE* f) {
            bool ok = true;
            if (c.version <= 1018) {
                for (int i = 0; i < 6; ++i) ok = ok && Field_WriteInt(f, int32_t{-1}, "dropped");
                ok = ok && Field_WriteBytes(f, faces, sizeof faces, "faces");
            }
            return ok && Field_WriteInt(f, int32_t{77}, "abandoned");
        });
        const Vector before = craft->boxFaceCentres[5];
        craft->abandoned = 5;
        {
            FieldReadScope scope(bytes, false, c.version);
            craft->Load();  // the object's own fields are missing: only the craft's part is read
        }
        EXPECT_EQ(craft->abandoned, c.abandoned);
        EXPECT_EQ(craft->boxFaceCentres[5].z, c.faces ? 18.0f : before.z);
    }
}

// ---- guards, spin and orders ----------------------------------------------------------------

TEST_F(CraftLifeTest, ALostPositionReturnsToTheMapAndAStrayOneIsClampedToIt) {
    TerrainBounds.minXm = 100.0f;
    TerrainBounds.maxXm = 300.0f;
    TerrainBounds.minZm = -50.0f;
    TerrainBounds.maxZm = 50.0f;
    Craft* craft = NewCraft(NewCraftClass());
    Matrix& m = craft->entity->local;
    m.posit = DVector{std::nan(""), 7.0, 0.0};
    craft->Update(0.01f);
    EXPECT_DOUBLE_EQ(m.posit.x, 200.0) << "the middle of the map";
    EXPECT_DOUBLE_EQ(m.posit.z, 0.0);
    EXPECT_DOUBLE_EQ(m.posit.y, Terrain_GetHeight(200.0, 0.0)) << "on the ground";
    m.posit = DVector{500.0, 40.0, -80.0};
    craft->Update(0.01f);
    EXPECT_DOUBLE_EQ(m.posit.x, 300.0);
    EXPECT_DOUBLE_EQ(m.posit.z, -50.0);
    TerrainBounds = TerrainBoundsInfo{};
}

TEST_F(CraftLifeTest, SpinFromAContactIsLimitedAxisByAxis) {
    Clock_SetTime(100.0f);
    struct Case {
        uint32_t flags;
        float spinY;
    } cases[] = {{0, -3.14159265f}, {kCraftNoAngularLimit, -20.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        Craft* craft = NewCraft(NewCraftClass());
        craft->createTime = Clock_GetTimeMs() - 2000;
        craft->physFlags = c.flags;
        CollisionBody& contact = craft->body->contact;
        CollisionBody_Init(contact);
        contact.hit = 1;
        contact.normal = Vector{0.0f, 1.0f, 0.0f};
        contact.velocity = Vector{100.0f, 0.0f, 0.0f};  // across the lever arm
        contact.point = Vector{craft->pos.x, craft->pos.y, craft->pos.z + 1.0f};
        ASSERT_TRUE(craft->Integrate(0.0f));
        // (velocity x lever) * 0.2 / |lever|^2 = (0, -20, 0); pi at most about y.
        EXPECT_NEAR(craft->euler.angularVelocity.y, c.spinY, 1e-4f);
        EXPECT_EQ(craft->euler.angularVelocity.x, 0.0f);
    }
}

TEST_F(CraftLifeTest, TheCommandForATargetFollowsItsKindAndSide) {
    Craft* craft = NewCraft(NewCraftClass());
    craft->commands.codes[0] = 1;
    craft->commands.selected = 0;
    auto other = [&](int32_t category, int32_t side, const char* signature = "GOBJ") {
        GameObjectClass& cls = NewClass();
        cls.category = category;
        cls.signature = Signature(signature);
        GameObject* object = Build(cls, side);
        if (side > 0) object->SetTeam(side);
        return object;
    };
    struct Case {
        const char* what;
        GameObject* target;
        int32_t command;
    } cases[] = {
        {"nothing", nullptr, 0},
        {"itself", craft, 0},
        {"scrap", other(kCategoryScrap, 0, "SCRP"), 0},
        {"a power-up", other(3, 0), 3},
        {"an enemy, without weapons", other(1, 2), 0},
        {"a friendly craft", other(1, 1), 5},
        {"a friendly producer", other(6, 1), 5},
        {"a friendly spawn point", other(5, 1), 15},
        {"a friendly building", other(2, 1), 0},
        {"a neutral craft", other(1, 0), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(craft->GetCommandForTarget(c.target), c.command) << c.what;
    craft->hardpoints = new HardpointList(craft);
    EXPECT_EQ(craft->GetCommandForTarget(cases[4].target), 4) << "an enemy, with weapons";
    craft->commands.codes[0] = 2;
    EXPECT_EQ(craft->GetCommandForTarget(cases[5].target), 0) << "the menu's entry is not 1";
    EXPECT_EQ(craft->GetSelfCommand(0), 0);
    craft->commands.codes[0] = 1;
    EXPECT_EQ(craft->GetSelfCommand(0), 3);
}

// ---- wrappers and small setters -----------------------------------------------------------

TEST_F(CraftLifeTest, EntityWrappersReachTheCraftAndAnswerSafelyWithoutOne) {
    Craft* craft = NewCraft(NewCraftClass());
    craft->deployState = 2;
    EXPECT_TRUE(Craft_IsDeployedOfEntity(craft->entity));
    Craft_SetHeading(craft->entity, 3.14159265f / 2.0f);  // at right angles to the front
    EXPECT_NE(craft->controls.steering, 0.0f);
    Entity* bare = NewRoot();
    EXPECT_FALSE(Craft_IsDeployedOfEntity(bare));
    EXPECT_EQ(Craft_GetAimAngle(bare), 0.0f);
    EXPECT_TRUE(Craft_StopReversing(bare));
    Craft_SetHeading(nullptr, 1.0f);

    craft->SetHull(12.0f);
    craft->SetAmmo(3);
    EXPECT_EQ(craft->curHealth, 12.0f);
    EXPECT_EQ(craft->curAmmo, 3);
    EXPECT_EQ(craft->healthRatio, 1.0f) << "the ratios stay";

    HardpointList list(craft);
    list.SetWeapon(-1, nullptr, reinterpret_cast<Weapon*>(&list));
    list.SetWeapon(5, nullptr, reinterpret_cast<Weapon*>(&list));
    EXPECT_EQ(list.present, 0u) << "mounts outside 0..4 are ignored";
}

// ---- the class's texts --------------------------------------------------------------------

class CraftClassTextTest : public ClassFixture {};

TEST_F(CraftClassTextTest, MissingTextsTakeTheirChainsDefaults) {
    const std::string odf = Definition("craft", "gvtank",
                                       {{0x487F8E17u, "55.0"},
                                        {0xE0D32ED5u, "\"alpha\""},
                                        {0x72695529u, "\"first\""},
                                        {0x4438FCF2u, "\"bravo\""},
                                        {0x6B8A29C1u, "\"charlie\""},
                                        {0x3B7848BAu, "\"third\""}});
    InstallWorld({{"chain.odf", odf, true, 0}});
    auto* cls = dynamic_cast<CraftClass*>(GameObjectClass::Find("chain"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->sensorRange, 55.0f);
    EXPECT_EQ(cls->ejectChance, 0.3f) << "the prototype's default";
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {cls->textsA[0], "first"},  {cls->textsA[1], "alpha"},   {cls->textsA[9], "alpha"},
        {cls->textsB[0], "bravo"},  {cls->textsB[2], "charlie"}, {cls->textsB[3], "charlie"},
        {cls->textsB[4], "third"},  {cls->textsB[5], "bravo"},   {cls->textsB[11], "bravo"},
        {cls->textsD[0], ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.text, c.expected);
}

TEST_F(CraftClassTextTest, ANetworkCreationBuildsOnlyCraftOnTheRecordsTeam) {
    InstallWorld();
    Entity* vehicle = NewRoot(0);
    Craft* craft = Craft_BuildFromNet(vehicle, "avtank\0\0", 0xFA);
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(craft->entity, vehicle);
    EXPECT_EQ(craft->team, 2) << "the low three bits";
    EXPECT_EQ(craft->body->owner, craft);
    const size_t before = GameObject_List().size();
    EXPECT_EQ(Craft_BuildFromNet(NewRoot(0), "abbunk\0\0", 1), nullptr) << "a building's class";
    EXPECT_EQ(Craft_BuildFromNet(NewRoot(0), "nosuch\0\0", 1), nullptr);
    EXPECT_EQ(GameObject_List().size(), before);
}

TEST_F(CraftClassTextTest, TheSampleTankSmokesFromItsNodesAndTheScoutHidesFromSensors) {
    InstallWorld();
    auto* tank = dynamic_cast<Craft*>(GameObjectClass::Build(GameObjectClass::Find("avtank"), kIdentityMatrix, 1,
                                                             false, 0, nullptr));
    ASSERT_NE(tank, nullptr);
    EXPECT_EQ(tank->smokeNodeCount, 2);
    ASSERT_NE(tank->sensor, nullptr);
    EXPECT_EQ(tank->conceal, nullptr);
    auto* scout = dynamic_cast<Craft*>(GameObjectClass::Build(GameObjectClass::Find("avscout"), kIdentityMatrix, 1,
                                                              false, 0, nullptr));
    ASSERT_NE(scout, nullptr);
    ASSERT_NE(scout->sensor, nullptr);
    EXPECT_GT(scout->sensor->range, tank->sensor->range);
    ASSERT_NE(scout->conceal, nullptr);
    EXPECT_GT(scout->conceal->threshold, 0.0f);
}

TEST_F(CraftClassTextTest, ASampleTankWithItsHeadlightMaskIsFreedByItsTeardown) {
    InstallWorld();
    ObjLoad_Services().lightingSetting = [] { return 0; };
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { delete static_cast<Craft*>(owner); };
    GameObject* tank = GameObjectClass::Build(GameObjectClass::Find("avtank"), kIdentityMatrix, 1, false, 0, nullptr);
    auto* craft = dynamic_cast<Craft*>(tank);
    ASSERT_NE(craft, nullptr);
    ASSERT_NE(craft->body->headlightMask, nullptr) << "lights on: the tank has its mask";
    Entity* root = craft->entity;
    Entity* mask = craft->body->headlightMask;
    craft->TearDown();
    Classfnc_Purge();  // the class list lets go of released entities
    EXPECT_EQ(root->classData, nullptr) << "the vehicle and its craft are freed";
    for (GameObject* object : GameObject_List()) EXPECT_NE(object, tank);
    EXPECT_EQ(mask->up, nullptr);
    Entity_Release(mask);  // the terrain's list does this with the map
}

TEST_F(CraftClassTextTest, ADeadTanksPartsFlyOffAsDebrisAndTheWreckKeepsNoPointerIntoThem) {
    InstallWorld();
    Weapons_InstallSeam();
    Classfnc_Owners().destroyPhysOwner = [](void* owner) { delete static_cast<Craft*>(owner); };
    Smoke_Effect().MissionSetup();
    ChunkEffect& chunks = Chunk_Effect();
    chunks.MissionSetup();
    chunks.PostLoad();
    ASSERT_GT(chunks.GeometryCount(), 0);
    auto* tank = dynamic_cast<HoverCraft*>(GameObjectClass::Build(GameObjectClass::Find("avtank"), kIdentityMatrix, 1,
                                                                  false, 0, nullptr));
    ASSERT_NE(tank, nullptr);
    Entity* root = tank->entity;
    ASSERT_GT(tank->smokeNodeCount, 0);
    ASSERT_GT(tank->throttleSpinnerCount + tank->vaneCount + tank->steeringSpinnerCount, 0);
    ASSERT_GT(tank->thrustPointCount + tank->dustPointCount, 0);
    ASSERT_NE(tank->body->cockpitPart, nullptr);
    ASSERT_NE(tank->pilotNode, root);
    // The parts with geometry become chunks (a type-60 part needs a grandparent); the rest are
    // released.
    std::vector<Entity*> shaped;
    auto collect = [&](auto&& self, Entity* e) -> void {
        for (Entity* c = e->child; c; c = c->next) {
            self(self, c);
            if (c->geometry && !(c->type == 60 && e == root)) shaped.push_back(c);
        }
    };
    collect(collect, root);
    ASSERT_GT(shaped.size(), 2u);

    Entity_SetFlagTree(root, kEntityDead);
    tank->Update(0.1f);
    std::vector<Entity*> thrown;
    for (int i = 0; i < chunks.LiveCount(); ++i) {
        Entity* e = chunks.At(i).entity;
        EXPECT_EQ(e->type, kTypeChunk);
        EXPECT_EQ(Entity_GetParent(e), chunks.Root());
        EXPECT_EQ(e->flags & kEntityDead, 0u) << "a chunk lives until it comes to rest";
        thrown.push_back(e);
    }
    for (Entity* part : shaped) EXPECT_NE(std::find(thrown.begin(), thrown.end(), part), thrown.end());
    EXPECT_EQ(root->child, nullptr);
    EXPECT_EQ(tank->pilotNode, root);
    EXPECT_EQ(tank->smokeNodeCount, 0);
    EXPECT_EQ(tank->body->cockpitPart, nullptr);
    EXPECT_EQ(tank->throttleSpinnerCount + tank->vaneCount + tank->steeringSpinnerCount, 0);
    EXPECT_EQ(tank->thrustPointCount + tank->dustPointCount, 0);

    // The wreck falls, smokes and explodes among its flying parts; each frame ends with the class
    // list letting go of released entities, as the game's does.
    auto listed = [&] {
        for (GameObject* o : GameObject_List())
            if (o == tank) return true;
        return false;
    };
    for (int frame = 0; frame < 100 && listed(); ++frame) {
        tank->Update(0.1f);
        if (listed()) tank->PostUpdate(0.1f);
        chunks.Simulate(0.1f);
        Classfnc_Purge();
    }
    EXPECT_FALSE(listed()) << "the wreck exploded and was torn down";
    chunks.MissionCleanup();
    chunks.Forget();
    // The tank's guns loaded their classes.
    Weapon_DeleteAll();
    WeaponClass_FreeAll();
    OrdnanceClass_FreeAll();
    ExplosionClass_FreeAll();
}

}  // namespace
