#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/factory.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "fun3d/tugsav.h"
#include "fun3d_fixture.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"

namespace {

constexpr float kGround = 50.0f;
constexpr float kDt = 1.0f / 30.0f;

class DriverProcess : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

std::vector<std::string> g_sounds;

class TugSavTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        scratch_.Open();
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
        scratch_.Install(content::TerrainRecords(spec), "terrain.zfs");
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        g_sounds.clear();
        audio_ = Seam_Audio();
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_sounds.push_back(name);
            return nullptr;
        };
    }
    void TearDown() override {
        GameObject_FreeGrid();
        Seam_Audio() = audio_;
        Fun3dFixture::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        scratch_.Close();
    }
    template <class Cls>
    Cls& NewKindClass(const char* label, const char* signature) {
        auto* cls = new Cls(label, Signature(signature), kCategoryCraft);
        cls->health = 1000;
        cls->sensorRange = 0.0f;
        cls->boxMin = Vector{-2.0f, 0.0f, -3.0f};
        cls->boxMax = Vector{2.0f, 1.0f, 3.0f};
        cls->sphereRadius = 4.0f;
        classes_.push_back(cls);
        return *cls;
    }
    // A tug whose tow node hangs 3 m under its origin.
    Tug* NewTug(float x = 640.0f, float z = 640.0f) {
        TugClass& cls = NewKindClass<TugClass>("tug", "TUG");
        Entity* root = NewRoot(1);
        Entity* tow = NewPart(root, "tow", kEntityTypeTowNode);
        tow->local.posit = DVector{0.0, -3.0, 0.0};
        root->local.posit = DVector{x, kGround, z};
        auto* tug = GameObject_New<Tug>(root, &cls);
        tug->SetAiProcess(new DriverProcess);
        return tug;
    }
    HoverCraft* NewLoose(float x, float z, bool piloted = false) {
        if (!hover_) hover_ = &NewKindClass<HoverCraftClass>("hover", "HOVR");
        Entity* root = NewRoot(1);
        root->local.posit = DVector{x, kGround, z};
        auto* craft = GameObject_New<HoverCraft>(root, hover_);
        if (piloted) craft->SetAiProcess(new DriverProcess);
        craft->Update(kDt);  // takes its entity reference
        return craft;
    }
    static void Run(Craft* craft, float seconds) {
        for (float t = 0.0f; t < seconds; t += kDt) craft->Update(kDt);
    }

    AudioSeam audio_{};
    HoverCraftClass* hover_ = nullptr;
    ScratchDataRoot scratch_;
};

Vector At(const GameObject* o) {
    const DVector& p = o->entity->local.posit;
    return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

TEST_F(TugSavTest, TheHookTakesTheNearestLooseObjectInReachCarriesItAndSetsItDownUpright) {
    Tug* tug = NewTug();
    HoverCraft* piloted = NewLoose(645.0f, 640.0f, true);  // nearest, but manned
    HoverCraft* empty = NewLoose(660.0f, 640.0f);          // 20 m: taken
    HoverCraft* far = NewLoose(640.0f, 671.0f);            // 31 m: out of reach
    GameObject_CreateGrid();
    EXPECT_EQ(tug->GetAmmoRatio(), 0.0f);

    tug->RequestDeploy();
    tug->Update(kDt);
    EXPECT_EQ(tug->deployState, kTugLowering);
    ASSERT_FALSE(g_sounds.empty()) << "the deploy sound";
    Run(tug, 0.1f);
    EXPECT_EQ(tug->deployState, kTugHooked);
    ASSERT_EQ(tug->cargo, empty);
    EXPECT_EQ(tug->GetCargo(), empty->GetObjHandle());
    EXPECT_TRUE(empty->isCargo);
    EXPECT_EQ(empty->carrier, tug);
    EXPECT_FALSE(piloted->isCargo);
    EXPECT_FALSE(far->isCargo);
    EXPECT_EQ(tug->GetAmmoRatio(), 1.0f) << "the gauge shows the hook loaded";

    // Carried at the tow node with the tug's motion; the tug does not bump it.
    tug->controls.throttle = 1.0f;
    Run(tug, 1.0f);
    Matrix tow;
    Entity_GetTransformTo(tow, tug->towNode, nullptr);
    const Vector cargoAt = At(empty);
    EXPECT_GT(At(tug).z, 645.0f) << "the tug moved";
    EXPECT_NEAR(cargoAt.x, tow.posit.x, 1e-3);
    EXPECT_NEAR(cargoAt.y, tow.posit.y, 1e-3);
    EXPECT_NEAR(cargoAt.z, tow.posit.z, 1e-3);
    EXPECT_NEAR(Vec3_Dot(empty->entity->local.front, tow.front), 1.0f, 1e-5f);
    EXPECT_EQ(empty->euler.velocity.z, tug->euler.velocity.z);
    EXPECT_GT(tug->euler.speed, 0.0f);
    CollisionBody contact{};
    EXPECT_FALSE(tug->OnContact(empty->entity, &contact, nullptr));

    // Raised: set down upright on the ground and at rest.
    tug->controls.throttle = 0.0f;
    tug->RequestUndeploy();
    tug->Update(kDt);
    EXPECT_EQ(tug->deployState, kTugRaising);
    Run(tug, 0.1f);
    EXPECT_EQ(tug->deployState, kTugRaised);
    EXPECT_EQ(tug->cargo, nullptr);
    EXPECT_FALSE(empty->isCargo);
    EXPECT_EQ(empty->carrier, nullptr);
    EXPECT_NEAR(empty->entity->local.posit.y, kGround, 1e-3);
    EXPECT_NEAR(empty->entity->local.up.y, 1.0f, 1e-5f);
    EXPECT_EQ(empty->euler.invSpeed, 1e30f);
    EXPECT_EQ(empty->euler.velocity.z, 0.0f);
}

TEST_F(TugSavTest, AnEmptyHookRisesByItselfAfterOneSecond) {
    Tug* tug = NewTug();
    GameObject_CreateGrid();
    tug->RequestDeploy();
    tug->Update(kDt);
    Run(tug, 0.1f);
    ASSERT_EQ(tug->deployState, kTugHooked);
    Run(tug, 0.9f);
    EXPECT_EQ(tug->deployState, kTugHooked) << "still waiting";
    Run(tug, 0.2f);
    EXPECT_NE(tug->deployState, kTugHooked);
    Run(tug, 0.2f);
    EXPECT_EQ(tug->deployState, kTugRaised);
}

TEST_F(TugSavTest, EitherSideGoingEndsTheLinkAndALostTugDropsItsCargoOnTheGround) {
    Tug* tug = NewTug();
    HoverCraft* cargo = NewLoose(650.0f, 640.0f);
    tug->SetCargo(cargo);
    tug->Update(kDt);
    ASSERT_GT(std::fabs(cargo->entity->local.posit.y - kGround), 0.5) << "hanging at the tow node";
    delete tug;
    EXPECT_FALSE(cargo->isCargo);
    EXPECT_EQ(cargo->carrier, nullptr);
    EXPECT_NEAR(cargo->entity->local.posit.y, kGround, 1e-3) << "dropped on the terrain";

    Tug* other = NewTug(700.0f, 700.0f);
    HoverCraft* doomed = NewLoose(705.0f, 700.0f);
    other->SetCargo(doomed);
    delete doomed;
    EXPECT_EQ(other->cargo, nullptr) << "a tug never keeps a destroyed cargo";
    other->Update(kDt);
}

TEST_F(TugSavTest, ThePickUpNeverMakesACarryLoop) {
    Tug* a = NewTug();
    Tug* b = NewTug(650.0f, 640.0f);
    HoverCraft* loose = NewLoose(660.0f, 640.0f);
    a->SetCargo(b);  // a carries b
    EXPECT_FALSE(b->MayCarry(b)) << "itself";
    EXPECT_FALSE(b->MayCarry(a)) << "the tug that carries it";
    EXPECT_TRUE(b->MayCarry(loose));
    Tug* c = NewTug(700.0f, 640.0f);
    EXPECT_FALSE(c->MayCarry(b)) << "another tug's cargo";
}

TEST_F(TugSavTest, TheNetworkRecordRefusesLoopsBadStatesAndShortRecords) {
    Tug* a = NewTug();
    Tug* b = NewTug(650.0f, 640.0f);
    a->netId = 0x10001;
    b->netId = 0x10002;
    static Tug* s_a;
    static Tug* s_b;
    s_a = a;
    s_b = b;
    Seam_Net().findObject = [](uint32_t id) -> NetObject* {
        return id == s_a->netId ? static_cast<NetObject*>(s_a) : id == s_b->netId ? static_cast<NetObject*>(s_b) : nullptr;
    };
    a->SetCargo(b);
    uint8_t record[64] = {};
    int32_t length = 0;
    b->PackNetState(record, length);
    ASSERT_GE(length, kTugNetStateSize + kHoverNetStateSize + 3);
    auto withCargo = [&](uint32_t id, int32_t state) {
        for (int i = 0; i < 4; ++i) record[i] = static_cast<uint8_t>(id >> (8 * i));
        for (int i = 0; i < 4; ++i) record[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(state) >> (8 * i));
    };
    struct Case {
        const char* what;
        uint32_t id;
        int32_t state;
        int32_t deployWord;
    } cases[] = {
        {"itself", 0x10002, 7, 0},
        {"the tug that carries it", 0x10001, -1, 0},
    };
    for (const Case& c : cases) {
        withCargo(c.id, c.state);
        b->controls.deploy = 0;
        b->UnpackNetState(record, length);
        EXPECT_EQ(b->cargo, nullptr) << c.what;
        EXPECT_EQ(b->controls.deploy, c.deployWord) << c.what << ": a state outside 0..3 is ignored";
    }
    EXPECT_EQ(a->cargo, b);

    // A record one byte short changes nothing, not even the cargo.
    HoverCraft* loose = NewLoose(700.0f, 700.0f);
    a->SetCargo(nullptr);
    a->SetCargo(loose);
    withCargo(0, 1);
    a->UnpackNetState(record, kTugNetStateSize + kHoverNetStateSize + 2);
    EXPECT_EQ(a->cargo, loose);
    a->UnpackNetState(record, length);
    EXPECT_EQ(a->cargo, nullptr) << "an empty id drops the cargo";
    EXPECT_EQ(a->controls.deploy, 1) << "state 1 requests the hook lowered";
}

TEST_F(TugSavTest, TheTugsOrdersAndTargetsAsTables) {
    Tug* tug = NewTug();
    tug->HandleRequest(4);
    EXPECT_EQ(tug->nextCmd.what, 8) << "request 4: a drop-off at the tug's own place";
    tug->BuildCommandList();
    tug->commands.selected = 0;  // entry 0: the pick-and-go code
    HoverCraft* empty = NewLoose(660.0f, 640.0f);
    HoverCraft* manned = NewLoose(670.0f, 640.0f, true);
    EXPECT_EQ(tug->GetCommandForTarget(empty), 7) << "pick up an empty craft";
    EXPECT_NE(tug->GetCommandForTarget(manned), 7) << "never a manned craft";
    EXPECT_EQ(tug->GetCommandForTarget(tug), 0);
    EXPECT_FALSE(tug->commands.IsEnabled(3));
    tug->SetCargo(empty);
    tug->BuildCommandList();
    tug->commands.selected = 0;
    EXPECT_EQ(tug->commands.codes[3], 4);
    EXPECT_TRUE(tug->commands.IsEnabled(3)) << "the drop-off entry while carrying";
    EXPECT_EQ(tug->GetCommandForTarget(NewLoose(680.0f, 640.0f)), 0) << "the hook is full";
}

TEST_F(TugSavTest, TheSavClimbsCruisesUnseenAndComesBackDown) {
    SAVClass& cls = NewKindClass<SAVClass>("sav", "SAV");
    cls.handling.hoverHeight = 2.0f;
    cls.handling.liftBoost = 150.0f;
    cls.cruiseAltitude = 60.0f;
    Entity* root = NewRoot(2);
    root->local.posit = DVector{640.0, kGround, 640.0};
    auto* sav = GameObject_New<SAV>(root, &cls);
    EXPECT_FALSE(sav->HasPilot());
    EXPECT_EQ(sav->deployState, kSavDescending);
    sav->Update(kDt);
    EXPECT_EQ(sav->deployState, kSavGround) << "made at its hover height, it has landed";
    ASSERT_EQ(g_sounds.size(), 1u) << "the undeploy sound";

    sav->RequestDeploy();
    float t = 0.0f;
    for (; t < 60.0f && sav->deployState != kSavCruising; t += kDt) sav->Update(kDt);
    EXPECT_EQ(sav->deployState, kSavCruising);
    EXPECT_NE(sav->entity->flags & kEntityNotDrawn, 0u);
    EXPECT_GT(sav->entity->local.posit.y - kGround, 60.0 - 40.0);
    sav->RequestUndeploy();
    sav->Update(kDt);
    EXPECT_EQ(sav->deployState, kSavDescending);
    EXPECT_EQ(sav->entity->flags & kEntityNotDrawn, 0u);
    for (t = 0.0f; t < 60.0f && sav->deployState != kSavGround; t += kDt) sav->Update(kDt);
    EXPECT_EQ(sav->deployState, kSavGround);
    EXPECT_LT(sav->entity->local.posit.y - kGround, 2.0 + 40.0);
}

TEST_F(TugSavTest, TheSavsFlightFollowsItsFormulasOverOneStep) {
    SAVClass& cls = NewKindClass<SAVClass>("sav", "SAV");
    HoverHandling& k = cls.handling;
    k.hoverHeight = 2.0f;
    k.liftBoost = 150.0f;
    k.turnRest = 4.0f;
    k.turnSpeed = 2.0f;
    k.yawGain = 5.0f;
    k.lateralGrip = 30.0f;
    k.topForward = 150.0f;
    k.topReverse = 10.0f;
    k.topStrafe = 15.0f;
    struct Case {
        const char* what;
        float throttle, strafe, steering, height;
        float yawRate, forward, side, vertical;
    } cases[] = {
        // turn rate = 4; yaw += dt * 5 * clamp(1 - 0) ; forward += clamp(1) * 30 dt
        {"full throttle, full steering", 1.0f, 0.0f, 1.0f, 2.0f, 5.0f * kDt, 30.0f * kDt, 0.0f, 0.0f},
        {"strafe at rest", 0.0f, 1.0f, 0.0f, 2.0f, 0.0f, 0.0f, 30.0f * kDt, 0.0f},
        // h = 42 - 2 = 40 above its target: clamp(-1) * 150 dt
        {"too high", 0.0f, 0.0f, 0.0f, 42.0f, 0.0f, 0.0f, 0.0f, -150.0f * kDt},
        // h = -8: 0.2 * 150 dt
        {"too low", 0.0f, 0.0f, 0.0f, -6.0f, 0.0f, 0.0f, 0.0f, 0.2f * 150.0f * kDt},
    };
    for (const Case& c : cases) {
        Entity* root = NewRoot(2);
        root->local.posit = DVector{640.0, kGround + c.height, 640.0};
        auto* sav = GameObject_New<SAV>(root, &cls);
        root->local.posit.y = kGround + c.height;
        sav->SetAiProcess(new DriverProcess);
        sav->controls.throttle = c.throttle;
        sav->controls.strafe = c.strafe;
        sav->controls.steering = c.steering;
        const Matrix m = sav->entity->local;  // the frame the step drove in
        sav->Update(kDt);
        EXPECT_NEAR(sav->euler.angularVelocity.y, c.yawRate, 1e-5f) << c.what;
        EXPECT_NEAR(Vec3_Dot(sav->euler.velocity, m.front), c.forward, 1e-3f) << c.what;
        EXPECT_NEAR(Vec3_Dot(sav->euler.velocity, m.right), c.side, 1e-3f) << c.what;
        EXPECT_NEAR(sav->euler.velocity.y, c.vertical, 1e-3f) << c.what;
    }
}

}  // namespace
