#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "fun3d/craftservices.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "fun3d_fixture.h"
#include "support/data_root_fixture.h"
#include "support/field_stream.h"
#include "terrain_writer.h"

namespace {

constexpr float kGround = 50.0f;  // the flat map's height
constexpr float kDt = 1.0f / 30.0f;

// A process object that only marks the craft as driven.
class DriverProcess : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

Vector g_camera{};
bool g_haveCamera = false;
int g_flames[2] = {};

class HoverCraftTest : public Fun3dFixture {
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
        HoverDust_Clear();
        HoverDust_Timing() = HoverDustTiming{0.0f, 100.0f, 1.0f, 0.0f, 0.0f};
        g_haveCamera = false;
        g_flames[0] = g_flames[1] = 0;
        Seam_Cockpit().cameraPosition = [](Vector* out) {
            *out = g_camera;
            return g_haveCamera;
        };
        Seam_Weapons().engineFlameAdd = [](int buffer, const Matrix&, float) { ++g_flames[buffer & 1]; };
    }
    void TearDown() override {
        HoverDust_Clear();
        HoverCraft_SetGroundGlow(false);
        Fun3dFixture::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        scratch_.Close();
    }

    HoverCraftClass& NewHoverClass() {
        auto* cls = new HoverCraftClass("hover", Signature("HOVR"), kCategoryCraft);
        cls->health = 1000;
        cls->ammo = 100;
        cls->sensorRange = 0.0f;
        // A 4 x 1 x 6 box whose bottom face is the entity's origin.
        cls->boxMin = Vector{-2.0f, 0.0f, -3.0f};
        cls->boxMax = Vector{2.0f, 1.0f, 3.0f};
        cls->sphereRadius = 4.0f;
        classes_.push_back(cls);
        return *cls;
    }
    HoverCraft* NewHover(HoverCraftClass& cls, Entity* root = nullptr, float x = 640.0f, float z = 640.0f) {
        if (!root) root = NewRoot(1);
        root->local.posit = DVector{x, kGround, z};
        auto* craft = GameObject_New<HoverCraft>(root, &cls);
        craft->createTime = 0;
        return craft;
    }
    static void Drive(HoverCraft* craft) {
        if (!craft->aiProcess) craft->SetAiProcess(new DriverProcess);
    }
    static void Run(HoverCraft* craft, float seconds, float dt = kDt) {
        for (float t = 0.0f; t < seconds; t += dt) craft->Update(dt);
    }
    static float HeightAboveGround(const HoverCraft* craft) {
        return static_cast<float>(craft->entity->local.posit.y) - kGround;
    }
    void CameraAt(const Vector& at) {
        g_camera = at;
        g_haveCamera = true;
    }

    ScratchDataRoot scratch_;
};

TEST_F(HoverCraftTest, ClassReadsItsKeysAndBuildsAHoverCraftAtHoverHeight) {
    GameObjectClass* proto = nullptr;
    for (GameObjectClass* p : GameObjectClass_Prototypes())
        if (p->label && std::strcmp(p->label, "hover") == 0) proto = p;
    ASSERT_NE(proto, nullptr);
    auto* hover = dynamic_cast<HoverCraftClass*>(proto);
    ASSERT_NE(hover, nullptr) << "the hover prototype is a hover class";
    EXPECT_EQ(hover->signature, Signature("HOVR"));
    EXPECT_STREQ(hover->sounds[kHoverSoundThrust], "engthrst.wav");
    EXPECT_STREQ(hover->sounds[kHoverSoundUndeploy], "trundepl.wav");

    HoverCraftClass& cls = NewHoverClass();
    cls.handling.hoverHeight = 2.5f;
    HoverCraft* craft = NewHover(cls);
    EXPECT_FLOAT_EQ(HeightAboveGround(craft), 2.5f) << "built on the floor plus the hover height";
    Entity* level = NewRoot(1, 0x20);
    HoverCraft* kept = NewHover(cls, level, 700.0f, 700.0f);
    EXPECT_FLOAT_EQ(HeightAboveGround(kept), 0.0f) << "an entity with flag 0x20 keeps its height";
}

TEST_F(HoverCraftTest, HoverFactorFallsWithHeight) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    Drive(craft);
    struct Case {
        float heights, factor;
    } cases[] = {{0.5f, 1.0f}, {1.0f, 1.0f}, {2.0f, 0.82f}, {5.0f, 0.28f}};
    for (const Case& c : cases) {
        craft->entity->local.posit.y = kGround + c.heights * cls.handling.hoverHeight;
        craft->euler.velocity = Vector{};
        craft->Update(0.001f);
        EXPECT_NEAR(craft->hoverFactor, c.factor, 1e-4f) << c.heights;
        EXPECT_NEAR(craft->airborneFactor, 1.0f - c.factor, 1e-4f);
    }
}

TEST_F(HoverCraftTest, WithoutAProcessItSettlesAndDeadItFalls) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    craft->controls.throttle = 1.0f;
    craft->controls.boost = 1;
    craft->entity->local.posit.y += 3.0;
    // Tilted nose up and rolled: it levels as it settles.
    const DVector at = craft->entity->local.posit;
    craft->entity->local = Matrix_FromEuler(0.3f, 0.5f, -0.2f, at.x, at.y, at.z);
    Run(craft, 10.0f);
    EXPECT_GT(craft->entity->local.up.y, 0.9999f);
    // The bottom face centre is the origin of this box.
    EXPECT_NEAR(HeightAboveGround(craft), 0.2f, 0.01f);
    EXPECT_NEAR(craft->euler.velocity.y, 0.0f, 0.01f);
    EXPECT_EQ(craft->controls.throttle, 0.0f) << "an undriven craft drops its controls";
    EXPECT_EQ(craft->controls.boost, 0);
    EXPECT_EQ(craft->GetEngineEffort(), -0.5f);
    EXPECT_EQ(craft->GetAirborneFactor(), 0.0f);

    HoverCraft* wreck = NewHover(cls, nullptr, 800.0f, 800.0f);
    wreck->entity->local.posit.y += 20.0;
    wreck->entity->flags |= kEntityDead;
    wreck->physFlags |= kCraftDying;  // past the first frame of the death sequence
    wreck->deathTimer = 100.0f;
    wreck->Update(0.1f);
    EXPECT_NEAR(wreck->euler.velocity.y, -0.98f, 1e-4f) << "gravity only";
    EXPECT_EQ(wreck->euler.velocity.x, 0.0f);
}

TEST_F(HoverCraftTest, PerformanceScalesOnlyTheFlaggedConstants) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    craft->SetPerformance(0.5f);
    const HoverHandling& b = craft->base;
    const HoverHandling& h = craft->handling;
    struct Field {
        const char* name;
        float HoverHandling::*field;
        bool scaled;
    } fields[] = {
        {"hover height", &HoverHandling::hoverHeight, false},   {"traction rest", &HoverHandling::tractionRest, false},
        {"traction top", &HoverHandling::tractionTop, false},   {"damping", &HoverHandling::angularDamping, true},
        {"levelling", &HoverHandling::levelStiffness, true},    {"pitch input", &HoverHandling::pitchFromPitch, false},
        {"pitch throttle", &HoverHandling::pitchFromThrottle, false}, {"roll", &HoverHandling::rollFromStrafe, false},
        {"top forward", &HoverHandling::topForward, true},      {"top reverse", &HoverHandling::topReverse, true},
        {"top strafe", &HoverHandling::topStrafe, true},        {"grip", &HoverHandling::lateralGrip, true},
        {"braking", &HoverHandling::braking, true},             {"turn rest", &HoverHandling::turnRest, true},
        {"turn speed", &HoverHandling::turnSpeed, true},        {"yaw gain", &HoverHandling::yawGain, true},
        {"lift boost", &HoverHandling::liftBoost, true},
    };
    for (const Field& f : fields) EXPECT_EQ(h.*f.field, f.scaled ? b.*f.field * 0.5f : b.*f.field) << f.name;
    // Damage reaches it through the health: a ratio of 0 gives the factor 0.5.
    craft->SetPerformance(1.0f);
    craft->AddHealth(-craft->curHealth);
    EXPECT_EQ(craft->handling.topForward, b.topForward * 0.5f);
}

TEST_F(HoverCraftTest, DrivenOnFlatGroundReachesTopSpeedsAndTurnRate) {
    HoverCraftClass& cls = NewHoverClass();
    struct Case {
        float throttle, steering, speed, yawRate;
    } cases[] = {{1.0f, 0.0f, 20.0f, 0.0f}, {-1.0f, 0.0f, -10.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 4.0f}};
    float x = 200.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.throttle);
        HoverCraft* craft = NewHover(cls, nullptr, x, 200.0f);
        x += 300.0f;
        Drive(craft);
        craft->controls.throttle = c.throttle;
        craft->controls.steering = c.steering;
        Run(craft, 8.0f);
        const float forward = Vec3_Dot(craft->euler.velocity, craft->entity->local.front);
        EXPECT_NEAR(forward, c.speed, 1.0f);
        EXPECT_NEAR(craft->euler.angularVelocity.y, c.yawRate, 0.05f);
        EXPECT_NEAR(HeightAboveGround(craft), cls.handling.hoverHeight, 0.3f) << "it hovers while it drives";
        EXPECT_GT(craft->entity->local.up.y, 0.99f) << "and stays upright";
    }
}

TEST_F(HoverCraftTest, SteeringByHeadingTurnsTowardIt) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    Drive(craft);
    for (const float s : {1.0f, -1.0f}) {
        for (int frame = 0; frame < 90; ++frame) {
            craft->SetHeading(s, 0.0f);
            craft->Update(kDt);
        }
        EXPECT_NEAR(craft->entity->local.front.x, s, 0.02f);
    }
}

TEST_F(HoverCraftTest, ATurnRateOfZeroGivesNoNaN) {
    HoverCraftClass& cls = NewHoverClass();
    cls.handling.turnRest = 0.0f;
    cls.handling.turnSpeed = 0.0f;
    HoverCraft* craft = NewHover(cls);
    Drive(craft);
    craft->controls.steering = 1.0f;
    craft->euler.angularVelocity = Vector{0.0f, 1.0f, 0.0f};
    Run(craft, 1.0f);
    EXPECT_TRUE(std::isfinite(craft->euler.angularVelocity.y));
    EXPECT_TRUE(std::isfinite(static_cast<float>(craft->entity->local.posit.x)));
    // A destroyed engine (performance 0) is the same case.
    craft->SetPerformance(0.0f);
    Run(craft, 0.5f);
    EXPECT_TRUE(std::isfinite(craft->euler.angularVelocity.y));
}

// The mounted weapons tilt with half the pitch control, about x in their hardpoint's frame, and
// keep where they sit.
TEST_F(HoverCraftTest, MountedWeaponsTiltWithThePitchControl) {
    static Matrix gun;
    gun = kIdentityMatrix;
    gun.posit = DVector{0.5, 1.0, 2.0};
    Craft_Services().weaponLocalMatrix = [](Weapon*) -> Matrix* { return &gun; };
    HoverCraft* craft = NewHover(NewHoverClass());
    HardpointList list(craft);
    list.weapons[0] = reinterpret_cast<Weapon*>(&gun);  // never looked into: the service answers
    craft->hardpoints = &list;
    craft->controls.pitch = 0.4f;
    craft->UpdateWeaponAim(kDt);
    const Matrix expected = Matrix_FromTwoAngles(-0.2f, 0.0f);
    EXPECT_NEAR(gun.front.y, expected.front.y, 1e-6f);
    EXPECT_NEAR(gun.front.z, expected.front.z, 1e-6f);
    EXPECT_NE(gun.front.y, 0.0f);
    EXPECT_EQ(gun.posit.z, 2.0);
    craft->hardpoints = nullptr;
    Craft_ResetServices();
}

TEST_F(HoverCraftTest, ModelNodesAreCollectedWithinTheirRoom) {
    HoverCraftClass& cls = NewHoverClass();
    Entity* root = NewRoot(1);
    for (int i = 0; i < 20; ++i) NewPart(root, "flame", kEntityTypeThrustPoint);
    HoverCraft* many = NewHover(cls, root);
    EXPECT_EQ(many->thrustPointCount, kHoverThrustPointMax) << "20 thrust points keep 16";

    Entity* vaned = NewRoot(1);
    Entity* left = NewPart(vaned, "vanel", kEntityTypeVane);
    Entity* right = NewPart(vaned, "vaner", kEntityTypeVane);
    HoverCraft* craft = NewHover(cls, vaned, 700.0f, 700.0f);
    ASSERT_EQ(craft->vaneCount, 2);
    ASSERT_EQ(craft->thrustPointCount, 2) << "one thrust point made under each vane";
    EXPECT_EQ(Entity_GetParent(craft->thrustPoints[0]), right) << "walk order: the newest part first";
    EXPECT_EQ(Entity_GetParent(craft->thrustPoints[1]), left);
    ASSERT_EQ(craft->dustPointCount, 1) << "a dust point made under the root";
    EXPECT_EQ(Entity_GetParent(craft->dustPoints[0]), vaned);
}

TEST_F(HoverCraftTest, DustAndFlamesNearTheCamera) {
    HoverCraftClass& cls = NewHoverClass();
    Entity* root = NewRoot(1);
    NewPart(root, "vane", kEntityTypeVane);
    NewPart(root, "dust1", kEntityTypeDustPoint);
    NewPart(root, "dust2", kEntityTypeDustPoint);
    HoverCraft* craft = NewHover(cls, root);
    ASSERT_EQ(craft->dustPointCount, 2);
    CameraAt(craft->pos);

    // Full effort on the ground: 25 puffs a second from each dust point, one flame a frame.
    for (int frame = 0; frame < 25; ++frame) {
        craft->engineEffort = 1.0f;
        craft->airborneFactor = 0.0f;
        craft->PostUpdate(0.04f);
    }
    EXPECT_EQ(HoverDust_Count(), 50);
    EXPECT_EQ(g_flames[0], 25);
    for (int i = 0; i < HoverDust_Count(); ++i)
        EXPECT_NEAR(HoverDust_Puffs()[i].position.y, kGround, 1e-3f) << "puffs lie on the ground";

    // Mostly airborne: none.
    HoverDust_Clear();
    craft->dustTimer = 0.0f;
    craft->airborneFactor = 0.8f;
    craft->PostUpdate(1.0f);
    EXPECT_EQ(HoverDust_Count(), 0);

    // Beyond 150 units: neither, but the damage smoke still runs.
    CameraAt(Vector{craft->pos.x + 151.0f, craft->pos.y, craft->pos.z});
    craft->airborneFactor = 0.0f;
    craft->UpdateDamageSmoke(0.2f);
    craft->smokeTimer = 0.0f;
    g_flames[0] = 0;
    craft->PostUpdate(0.15f);
    EXPECT_EQ(HoverDust_Count(), 0);
    EXPECT_EQ(g_flames[0], 0);
    EXPECT_NEAR(craft->smokeTimer, -0.05f, 1e-5f) << "two smoke puffs left";
}

TEST_F(HoverCraftTest, AThrustPointNotUnderAVaneFlamesOnlyWithBoost) {
    HoverCraftClass& cls = NewHoverClass();
    Entity* root = NewRoot(1);
    NewPart(root, "jet", kEntityTypeThrustPoint);
    HoverCraft* craft = NewHover(cls, root);
    CameraAt(craft->pos);
    craft->engineEffort = 1.0f;
    craft->PostUpdate(kDt);
    EXPECT_EQ(g_flames[0], 0);
    craft->controls.boost = 1;
    craft->PostUpdate(kDt);
    EXPECT_EQ(g_flames[0], 1);
    // The ground glow: a flame pointing down meets the ground 1 unit below within its reach.
    HoverCraft_SetGroundGlow(true);
    craft->entity->local.front = Vector{0.0f, -1.0f, 0.0f};
    craft->entity->local.up = Vector{0.0f, 0.0f, 1.0f};
    craft->PostUpdate(kDt);
    EXPECT_EQ(g_flames[0], 2);
    EXPECT_EQ(g_flames[1], 1);
}

TEST_F(HoverCraftTest, HoverDustBufferDropsExpiredPuffsAndStopsWhenFull) {
    HoverDust_Timing() = HoverDustTiming{10.0f, 2.0f, 1.0f, 7.0f, 0.0f};
    HoverDust_Add(Vector{}, Vector{}, 1.0f);
    HoverDust_Add(Vector{}, Vector{}, 2.0f);  // would start at its end
    ASSERT_EQ(HoverDust_Count(), 1);
    EXPECT_EQ(HoverDust_Puffs()[0].start, 11.0f);
    EXPECT_EQ(HoverDust_Puffs()[0].constant, 7.0f);
    for (int i = 0; i < kHoverDustMax + 10; ++i) HoverDust_Add(Vector{}, Vector{}, 0.0f);
    EXPECT_EQ(HoverDust_Count(), 2049) << "room for 2,049 puffs";
}

TEST_F(HoverCraftTest, NetworkStateRoundTripPadAndShortRecord) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* sender = NewHover(cls);
    sender->controls = CraftControls{0.5f, -0.25f, 1.0f, -1.0f, 1, 1, 0, 0, 0};
    sender->euler.velocity = Vector{3.0f, 0.0f, -2.5f};
    uint8_t buffer[64] = {};
    int32_t length = 0;
    sender->PackNetState(buffer, length);
    ASSERT_EQ(length, kHoverNetStateSize + 3);
    EXPECT_EQ(buffer[17], 0) << "the pad byte";

    HoverCraft* receiver = NewHover(cls, nullptr, 700.0f, 700.0f);
    receiver->UnpackNetState(buffer, length);
    EXPECT_NEAR(receiver->controls.steering, 0.5f, 0.01f);
    EXPECT_NEAR(receiver->controls.pitch, -0.25f, 0.01f);
    EXPECT_EQ(receiver->controls.strafe, 1.0f);
    EXPECT_EQ(receiver->controls.throttle, -1.0f);
    EXPECT_EQ(receiver->controls.boost, 1);
    EXPECT_EQ(receiver->controls.jump, 1);
    EXPECT_EQ(receiver->controls.eject, 0);
    EXPECT_NEAR(receiver->euler.velocity.x, 3.0f, 0.01f);
    EXPECT_NEAR(receiver->euler.speed, std::sqrt(9.0f + 6.25f), 0.01f);

    buffer[17] = 0xAB;  // a peer's pad is ignored
    receiver->controls.throttle = 0.0f;
    receiver->UnpackNetState(buffer, length);
    EXPECT_EQ(receiver->controls.throttle, -1.0f);

    const DVector before = receiver->entity->local.posit;
    receiver->controls.throttle = 0.25f;
    receiver->UnpackNetState(buffer, kHoverNetStateSize + 2);
    EXPECT_EQ(receiver->controls.throttle, 0.25f) << "a short record changes nothing";
    EXPECT_EQ(receiver->entity->local.posit.x, before.x);
}

TEST_F(HoverCraftTest, NetworkPriority) {
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    struct Case {
        const char* what;
        std::function<void(HoverCraft*)> set;
        float time, distance, expected;
    } cases[] = {
        {"elapsed time only", [](HoverCraft* c) { c->SetAiProcess(new DriverProcess); }, 3.0f, 250.0f, 3.0f},
        {"below zero health", [](HoverCraft* c) { c->healthRatio = -0.1f; c->SetAiProcess(new DriverProcess); }, 1.0f, 300.0f, 10.0f},
        {"distance term", [](HoverCraft* c) { c->SetAiProcess(new DriverProcess); }, 1.0f, 200.0f, 2.0f},
        {"speed changed", [](HoverCraft* c) { c->euler.speed = 2.0f; }, 1.0f, 200.0f, 3.0f},
        {"at rest without a process", [](HoverCraft*) {}, 1.0f, 250.0f, 0.0f},
        {"moved controls", [](HoverCraft* c) { c->SetAiProcess(new DriverProcess); c->controls.throttle = 0.5f; c->controls.steering = -0.5f; c->controls.boost = 1; }, 1.0f, 250.0f, 1.3f},
        {"the user's craft", [](HoverCraft* c) { c->MakeUser(); c->SetAiProcess(new DriverProcess); }, 1.0f, 250.0f, 1.2f},
    };
    for (const Case& c : cases) {
        HoverCraft* fresh = NewHover(cls, nullptr, 700.0f, 700.0f);
        fresh->lastSendTime = 0.0f;
        c.set(fresh);
        EXPECT_NEAR(fresh->GetNetPriority(c.time, c.distance), c.expected, 1e-4f) << c.what;
        delete fresh;
    }
    // A fired weapon adds 1.
    static Weapon* const kFired = reinterpret_cast<Weapon*>(0x10);
    Seam_Weapons().weaponChanged = [](const Weapon* w) { return w == kFired; };
    craft->SetAiProcess(new DriverProcess);
    craft->hardpoints = new HardpointList(craft);
    craft->hardpoints->weapons[2] = kFired;
    EXPECT_NEAR(craft->GetNetPriority(1.0f, 250.0f), 2.0f, 1e-4f);
    craft->hardpoints->weapons[2] = nullptr;
}

TEST_F(HoverCraftTest, CommandListFollowsTheTeam) {
    HoverCraftClass& cls = NewHoverClass();
    GameObjectClass& plain = NewClass();
    HoverCraft* craft = NewHover(cls);
    craft->pilotClass = &cls;
    auto entries = [&] {
        craft->BuildCommandList();
        std::vector<int> out;
        for (int i = 0; i < kCommandListSize; ++i) out.push_back(craft->commands.IsEnabled(i) ? craft->commands.codes[i] : -1);
        return out;
    };
    craft->teamRecord = nullptr;
    EXPECT_EQ(entries(), (std::vector<int>{1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1})) << "no team record";

    TeamRecord* team = TeamRecord::Get(1);
    ASSERT_NE(team, nullptr);
    craft->teamRecord = team;
    GameObject* builder = Build(plain, 1);
    team->SetSlot(3, builder);
    craft->curHealth = craft->maxHealth - 1.0f;
    craft->curAmmo = craft->maxAmmo - 1;
    EXPECT_EQ(entries(), (std::vector<int>{1, 2, 10, -1, -1, 5, 6, -1, -1, -1, -1})) << "a builder in slot 3";
    craft->curHealth = craft->maxHealth;
    craft->curAmmo = craft->maxAmmo;
    team->SetSlot(3, nullptr);
    team->SetSlot(62, builder);
    team->SetSlot(72, builder);
    EXPECT_EQ(entries(), (std::vector<int>{1, 2, 10, -1, -1, 5, -1, -1, -1, -1, 8})) << "depots in 60..64 and 70..74";
    team->SetSlot(62, nullptr);
    team->SetSlot(72, nullptr);
    HoverCraft* deployed = NewHover(cls, nullptr, 700.0f, 700.0f);
    deployed->deployState = 2;
    team->SetSlot(1, deployed);
    EXPECT_EQ(entries().back(), 8) << "a deployed craft in slot 1";
}

TEST_F(HoverCraftTest, OldStreamsDropTheLegacyHandlingBlock) {
    bool ok = false;
    const std::string bytes = CaptureFields(true, [](FILE* f) {
        bool good = true;
        const float legacy = 9.0f;
        const Vector v{1.0f, 2.0f, 3.0f};
        for (int i = 0; i < 15; ++i) good = good && Field_WriteFloat(f, &legacy, 4, "");
        for (int i = 0; i < 6; ++i) good = good && Field_WriteVector(f, &v, 12, "");
        const float illumination = 0.75f;
        return good && Field_WriteFloat(f, &illumination, 4, "illumination");
    }, &ok);
    ASSERT_TRUE(ok);
    HoverCraftClass& cls = NewHoverClass();
    HoverCraft* craft = NewHover(cls);
    struct Case {
        int32_t version;
        float illumination;
    } cases[] = {{1019, 0.75f}, {1025, 0.75f}, {1026, 9.0f}};
    for (const Case& c : cases) {
        FieldReadScope scope(bytes, true, c.version);
        craft->illumination = 0.0f;
        EXPECT_FALSE(craft->Load()) << "the stream ends inside the object";
        EXPECT_EQ(craft->illumination, c.illumination) << c.version;
    }
}

}  // namespace
