// Switched items (charging, draining, the two trigger paths, the radar damper, the terrain
// exposure and image refraction), the sniper pair and the ground blast.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/gamesettings.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "fun3d/craft.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/renderqueue.h"
#include "render/view.h"
#include "special_definitions.h"
#include "weapons/groundblast.h"
#include "weapons/launcher.h"
#include "weapons/refraction.h"
#include "weapons/sniper.h"
#include "weapons/specialitem.h"
#include "weapons_fixture.h"

namespace {

class Holder : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo*, const Vector*) override { return false; }
};

// What the items asked of sound, the cockpit and the network.
struct Calls {
    std::vector<std::string> sounds;  // "name/flags/header"
    int stops = 0;
    std::vector<std::string> flashes;
    GameObject* cameraTarget = nullptr;
    std::vector<std::pair<NetObject*, NetObject*>> sniped;
};
Calls g_calls;

class ItemTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        g_calls = Calls{};
        savedRender_ = Seam_Render();
        savedAudio_ = Seam_Audio();
        savedCraft_ = Craft_Services();
        Seam_Render().spriteFind = [](const char* name) -> int { return name && name[0] ? 40 : 0; };
        Seam_Render().terrainExposureClear();
        AudioSeam& audio = Seam_Audio();
        audio.soundPlay = [](const char* name, Entity*, uint32_t flags, int header) -> void* {
            g_calls.sounds.push_back(std::string(name) + "/" + std::to_string(flags) + "/" + std::to_string(header));
            return &g_calls;
        };
        audio.soundStopAttached = [](Entity*) {
            ++g_calls.stops;
            return false;  // nothing further attached
        };
        CockpitSeam& cockpit = Seam_Cockpit();
        cockpit.screenTintFlash = [](float amount, float rate, int r, int g, int b) {
            char text[64];
            std::snprintf(text, sizeof text, "%g %g %d %d %d", amount, rate, r, g, b);
            g_calls.flashes.push_back(text);
        };
        cockpit.cameraTarget = [] { return g_calls.cameraTarget; };
        Seam_Net().sendSniped = [](NetObject* craft, NetObject* shooter) { g_calls.sniped.emplace_back(craft, shooter); };
        const uint8_t* def = Seam_Shell().playerDef();
        savedFlags_ = uint32_t(def[88]) | uint32_t(def[89]) << 8 | uint32_t(def[90]) << 16 | uint32_t(def[91]) << 24;
        SetPlayerFlags(0);
    }
    void TearDown() override {
        // The items go while the craft they work on still stand.
        Weapon_DeleteAll();
        WeaponsFixture::TearDown();
        Seam_Render() = savedRender_;
        Seam_Audio() = savedAudio_;
        Craft_Services() = savedCraft_;
        GameSettings_Reset();
        SetPlayerFlags(savedFlags_);
    }
    static void SetPlayerFlags(uint32_t flags) {
        uint8_t* def = Seam_Shell().playerDef();
        for (int i = 0; i < 4; ++i) def[88 + i] = static_cast<uint8_t>(flags >> (8 * i));
    }

    void AddItem(const std::string& name, const std::string& label, int steps, float chargeTime, int perSecond = 100) {
        content::WeaponValues w;
        w.label = label;
        w.fireSound = "on.wav";
        w.sprites[1] = "itemicon";
        content::SpecialItemValues v;
        v.ammoPerSecond = perSecond;
        v.chargeTime = chargeTime;
        v.chargeSteps = steps;
        v.loopSound = "loop.wav";
        v.stopSound = "off.wav";
        std::string text, error;
        ASSERT_TRUE(content::SpecialItemText(w, v, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    // A craft root (type 1) with a hardpoint and a part below it; its object holds the ammunition.
    Entity* CraftRoot(uint32_t flags = 0, int32_t ammo = 1000) {
        Entity* root = NewRoot(1, flags, false);
        root->type = kTypeCraft;
        NewPart(NewPart(root, "hull"), "fin");
        holder = GameObject_New<Holder>(root, &NewClass(100, ammo));
        holder->SetAmmo(ammo);
        return root;
    }
    SpecialItem* Mount(const char* name, Entity* root) {
        WeaponClass* cls = WeaponClass::Find(name);
        EXPECT_NE(cls, nullptr) << name;
        if (!cls) return nullptr;
        auto* item = dynamic_cast<SpecialItem*>(cls->Build(root, NewPart(root, "hp_spec1")));
        EXPECT_NE(item, nullptr);
        if (item) item->UpdateMount(0.0f);
        return item;
    }
    // One frame in the game's order: the gunner's trigger, the mount update, the update.
    static void Frame(SpecialItem* item, bool pulled, float dt) {
        if (pulled) item->PullTrigger();
        item->UpdateMount(dt);
        item->Update(dt);
    }
    static int Sounds(const std::string& prefix) {
        int n = 0;
        for (const std::string& s : g_calls.sounds) n += s.rfind(prefix, 0) == 0;
        return n;
    }

    GameObject* holder = nullptr;
    uint32_t savedFlags_ = 0;
    RenderSeam savedRender_{};
    AudioSeam savedAudio_{};
    CraftServices savedCraft_{};
};

// ---- charging and draining --------------------------------------------------------------------

TEST_F(ItemTest, ThreeStepsOverTwoSecondsActivateAtOneAndAHalfWithTheIconCountingUp) {
    AddItem("damp", "radardamper", 3, 2.0f);
    Entity* root = CraftRoot();
    SpecialItem* item = Mount("damp", root);
    ASSERT_NE(item, nullptr);
    EXPECT_FLOAT_EQ(item->Class().chargeTime, 0.5f);
    const int base = item->baseSprite;
    EXPECT_EQ(base, 40);
    std::vector<int> shown;
    for (int frame = 0; frame < 3; ++frame) {
        Frame(item, true, 0.5f);
        shown.push_back(item->sprite2);
        EXPECT_EQ(item->IsActive(), frame == 2) << frame;
    }
    EXPECT_EQ(shown, (std::vector<int>{base + 1, base + 2, base + 3}));
    EXPECT_NE(root->flags & kEntityRadarDamped, 0u);
    EXPECT_EQ(g_calls.sounds, (std::vector<std::string>{"on.wav/2048/0", "loop.wav/2049/0"}));
    // Switched off: the icon goes back, the effect ends, the loop stops and the stop sound plays.
    item->ReleaseTrigger();
    Frame(item, false, 0.5f);
    EXPECT_EQ(item->sprite2, base);
    EXPECT_EQ(root->flags & kEntityRadarDamped, 0u);
    EXPECT_EQ(g_calls.stops, 1);
    EXPECT_EQ(g_calls.sounds.back(), "off.wav/2048/0");

    // At 30 frames a second the effect starts with the 45th frame.
    item->PullTrigger();
    int started = -1;
    for (int frame = 1; frame <= 60 && started < 0; ++frame) {
        Frame(item, true, 1.0f / 30.0f);
        if (item->IsActive()) started = frame;
    }
    EXPECT_EQ(started, 45);
}

TEST_F(ItemTest, AnItemOfNoStepsSwitchesWithoutEffectSoundOrDrain) {
    for (int steps : {0, -1}) {
        SCOPED_TRACE(steps);
        g_calls = Calls{};
        const std::string name = "none" + std::to_string(-steps);
        AddItem(name, "radardamper", steps, 1.0f);
        Entity* root = CraftRoot();
        SpecialItem* item = Mount(name.c_str(), root);
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(std::isfinite(item->Class().chargeTime));
        item->PullTrigger();
        for (int frame = 0; frame < 30; ++frame) Frame(item, true, 0.1f);
        EXPECT_TRUE(item->IsTriggerDown());
        EXPECT_FALSE(item->IsActive());
        EXPECT_EQ(holder->curAmmo, 1000);
        item->ReleaseTrigger();
        Frame(item, false, 0.1f);
        EXPECT_FALSE(item->IsTriggerDown());
        EXPECT_TRUE(g_calls.sounds.empty());
        EXPECT_EQ(g_calls.stops, 0);
    }
}

TEST_F(ItemTest, AHundredASecondAtThirtyFramesTakesThreeOrFourAFrameAndAHundredASecond) {
    AddItem("drain", "radardamper", 1, 0.0f);
    SpecialItem* item = Mount("drain", CraftRoot(0, 1000));
    ASSERT_NE(item, nullptr);
    std::vector<int32_t> taken;
    for (int frame = 0; frame < 30; ++frame) {
        const int32_t before = holder->curAmmo;
        Frame(item, true, 1.0f / 30.0f);
        taken.push_back(before - holder->curAmmo);
    }
    ASSERT_TRUE(item->IsActive()) << "a charge time of 0 takes its one step in the first update";
    int32_t total = 0;
    for (int32_t t : taken) {
        EXPECT_TRUE(t == 3 || t == 4) << t;
        total += t;
    }
    EXPECT_EQ(total, 100);
    EXPECT_LT(item->ammoRemainder, 1.0f);
}

TEST_F(ItemTest, ChargingStaysBoundedWhateverTheStepsAndTheirTime) {
    struct Case {
        int steps;
        float chargeTime;
        float dt;
        int32_t countAfterOneUpdate;
    } cases[] = {
        {1000000000, 0.0f, 0.1f, 1},                          // no step time: one step an update
        {INT_MAX, 1.0f, 0.2f, kMostChargeStepsPerUpdate},     // a step far shorter than a frame
        {1000000000, -5.0f, 0.1f, 1},                         // a negative time is no time
        {4, 1.0f, 10.0f, 4},                                  // a long frame takes every step due
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string name = "bound" + std::to_string(n++);
        AddItem(name, "specialitem", c.steps, c.chargeTime);
        SpecialItem* item = Mount(name.c_str(), CraftRoot());
        ASSERT_NE(item, nullptr);
        const auto start = std::chrono::steady_clock::now();
        Frame(item, true, c.dt);
        EXPECT_EQ(item->chargeCount, c.countAfterOneUpdate);
        Frame(item, true, c.dt);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_GE(item->chargeClock, 0.0f);
    }
}

// ---- the trigger paths ------------------------------------------------------------------------

TEST_F(ItemTest, AComputerGunnerHoldingTheTriggerFlipsTheItemOnceAndReleasingSwitchesItOff) {
    AddItem("ai", "specialitem", 1, 1.0f);
    SpecialItem* item = Mount("ai", CraftRoot());
    ASSERT_NE(item, nullptr);
    for (int frame = 0; frame < 20; ++frame) {
        Frame(item, true, 0.05f);
        EXPECT_TRUE(item->IsTriggerDown()) << frame;
    }
    item->ReleaseTrigger();
    EXPECT_FALSE(item->IsTriggerDown());
    Frame(item, true, 0.05f);
    EXPECT_TRUE(item->IsTriggerDown()) << "the released guard lets the next pull flip at once";
    // A trigger let go for two updates (without a release) flips again on the next pull.
    Frame(item, false, 0.05f);
    Frame(item, false, 0.05f);
    Frame(item, true, 0.05f);
    EXPECT_FALSE(item->IsTriggerDown());
}

TEST_F(ItemTest, TheUsersCraftHoldsToUseUnlessTheToggleOptionOrTheAiTriggerStateIsSet) {
    struct Case {
        uint32_t playerFlags;
        uint32_t userState;
        bool holdToUse;
    } cases[] = {{0, 0, true}, {0x400, 0, false}, {0, kUserStateAiTriggers, false}, {0x400, kUserStateAiTriggers, false}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        SetPlayerFlags(c.playerFlags);
        Game_Settings().userState = c.userState;
        const std::string name = "user" + std::to_string(n++);
        AddItem(name, "specialitem", 1, 1.0f);
        SpecialItem* item = Mount(name.c_str(), CraftRoot(kEntityUser));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->UsesUserTrigger(), c.holdToUse);
        item->PullTrigger();
        EXPECT_EQ(item->IsTriggerDown(), !c.holdToUse) << "a pull flips only off the hold-to-use path";
        item->ReleaseTrigger();
        item->UserTriggerDown();
        EXPECT_EQ(item->IsTriggerDown(), c.holdToUse);
        item->UserTriggerUp();
        EXPECT_FALSE(item->IsTriggerDown());
        if (!c.holdToUse) {
            // Toggling: one pull on, a later pull off; letting go of the key changes nothing.
            Frame(item, true, 0.05f);
            item->UserTriggerUp();
            EXPECT_TRUE(item->IsTriggerDown());
            Frame(item, false, 0.05f);
            Frame(item, false, 0.05f);
            Frame(item, true, 0.05f);
            EXPECT_FALSE(item->IsTriggerDown());
        }
    }
}

TEST_F(ItemTest, AnOwnerShortOfAFramesDrainSwitchesTheItemOffAtTheNextMountUpdate) {
    AddItem("short", "radardamper", 1, 0.0f);
    Entity* root = CraftRoot(0, 50);
    SpecialItem* item = Mount("short", root);
    ASSERT_NE(item, nullptr);
    Frame(item, true, 0.1f);
    ASSERT_TRUE(item->IsActive());
    holder->SetAmmo(9);  // a frame of 0.1 s takes 10
    item->UpdateMount(0.1f);
    EXPECT_FALSE(item->IsTriggerDown());
    item->Update(0.1f);
    EXPECT_EQ(root->flags & kEntityRadarDamped, 0u);
    EXPECT_EQ(holder->curAmmo, 9) << "nothing more is drained";
    EXPECT_EQ(g_calls.sounds.back(), "off.wav/2048/0");
}

TEST_F(ItemTest, ARemoteOwnersEffectIsLeftToItsMachineAndTheStopSoundPlaysOnce) {
    AddItem("remote", "radardamper", 1, 0.0f);
    Entity* root = CraftRoot();
    SpecialItem* item = Mount("remote", root);
    ASSERT_NE(item, nullptr);
    holder->ownership = kNetOwnedRemote;
    Frame(item, true, 0.1f);
    ASSERT_TRUE(item->IsActive());
    item->ReleaseTrigger();
    for (int frame = 0; frame < 5; ++frame) Frame(item, false, 0.1f);
    EXPECT_NE(root->flags & kEntityRadarDamped, 0u) << "the owner's machine ends the effect";
    EXPECT_EQ(Sounds("off.wav"), 1);
    EXPECT_EQ(g_calls.stops, 1);
}

// ---- the radar damper and image refraction ----------------------------------------------------

TEST_F(ItemTest, TheRadarDamperSetsAndClearsTheRootBitAndItsEndClearsIt) {
    AddItem("damp", "radardamper", 1, 0.0f);
    Entity* root = CraftRoot();
    SpecialItem* item = Mount("damp", root);
    ASSERT_NE(item, nullptr);
    Frame(item, true, 0.1f);
    EXPECT_NE(root->flags & kEntityRadarDamped, 0u);
    EXPECT_EQ(root->child->flags & kEntityRadarDamped, 0u) << "the root alone";
    Weapon::DeleteEntity(item);
    EXPECT_EQ(root->flags & kEntityRadarDamped, 0u);
}

TEST_F(ItemTest, ImageRefractionOnTheSameCraftLeavesTheRadarDampersBit) {
    AddItem("damp", "radardamper", 1, 0.0f);
    AddItem("refr", "imagerefract", 1, 0.0f);
    Entity* root = CraftRoot();
    SpecialItem* damper = Mount("damp", root);
    auto* refraction = dynamic_cast<ImageRefract*>(Mount("refr", root));
    ASSERT_NE(damper, nullptr);
    ASSERT_NE(refraction, nullptr);
    Frame(damper, true, 0.1f);
    ASSERT_NE(root->flags & kEntityRadarDamped, 0u);
    Frame(refraction, true, 0.1f);
    ASSERT_TRUE(refraction->IsActive());
    EXPECT_NE(root->flags & kEntityUntargetable, 0u);
    for (Entity* part = root->child; part; part = part->next) EXPECT_NE(part->flags & kEntityRefracted, 0u);
    EXPECT_NE(root->child->child ? root->child->child->flags & kEntityRefracted : 1u, 0u) << "deeper parts too";
    EXPECT_NE(root->flags & kEntityRadarDamped, 0u) << "switching on keeps the damper's bit";
    refraction->ReleaseTrigger();
    Frame(refraction, false, 0.1f);
    EXPECT_EQ(root->flags & kEntityUntargetable, 0u);
    for (Entity* part = root->child; part; part = part->next) EXPECT_EQ(part->flags & kEntityRefracted, 0u);
    EXPECT_NE(root->flags & kEntityRadarDamped, 0u) << "switching off keeps it too";
    EXPECT_TRUE(damper->IsActive());

    // Without the damper the root's bit stays clear throughout.
    Frame(damper, false, 0.1f);
    damper->ReleaseTrigger();
    Frame(damper, false, 0.1f);
    Frame(refraction, true, 0.1f);
    EXPECT_EQ(root->flags & kEntityRadarDamped, 0u);
}

TEST_F(ItemTest, ARefractedCraftIsSkippedByTheImageSearchAndLostByAnImageMissile) {
    TerrainBounds.minXm = TerrainBounds.minZm = -5000.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 5000.0f;
    GameObject_CreateGrid();
    AddItem("refr", "imagerefract", 1, 0.0f);
    content::OrdnanceValues missile;
    missile.label = "imagemissile";
    missile.speed = 100.0f;
    missile.lifetime = 5.0f;
    AddOrdnance("imiss", missile);
    Entity* root = CraftRoot();
    holder->SetPosition(Vector{0.0f, 50.0f, 40.0f});
    holder->radius = 2.0f;
    GameObject_UpdateGrid();
    const Matrix frame = Matrix_FromPositionDirection(DVector{0.0, 50.0, 0.0}, Vector{0.0f, 0.0f, 1.0f});
    ASSERT_EQ(Image_FindTarget(frame, 100.0f, nullptr), holder);
    auto* shot = dynamic_cast<ImageMissile*>(OrdnanceClass::Find("imiss")->Build(frame, nullptr));
    ASSERT_NE(shot, nullptr);
    shot->SetTarget(holder);
    ASSERT_EQ(shot->GetTarget(), holder);

    SpecialItem* item = Mount("refr", root);
    ASSERT_NE(item, nullptr);
    Frame(item, true, 0.1f);
    EXPECT_EQ(Image_FindTarget(frame, 100.0f, nullptr), nullptr);
    EXPECT_EQ(shot->GetTarget(), nullptr);
    // Destroying the item while it works gives the craft back to the seekers.
    Weapon::DeleteEntity(item);
    EXPECT_EQ(root->flags & kEntityUntargetable, 0u);
    for (Entity* part = root->child; part; part = part->next) EXPECT_EQ(part->flags & kEntityRefracted, 0u);
    EXPECT_EQ(Image_FindTarget(frame, 100.0f, nullptr), holder);
}

// ---- terrain exposure -------------------------------------------------------------------------

TEST_F(ItemTest, TerrainExposureFlashesAndSwitchesTheViewOnlyForTheCamerasCraft) {
    for (bool followed : {true, false}) {
        SCOPED_TRACE(followed);
        g_calls = Calls{};
        const std::string name = followed ? "expose1" : "expose2";
        AddItem(name, "terrainexpose", 1, 0.0f);
        Entity* root = CraftRoot();
        SpecialItem* item = Mount(name.c_str(), root);
        ASSERT_NE(item, nullptr);
        g_calls.cameraTarget = followed ? holder : nullptr;
        Frame(item, true, 0.1f);
        ASSERT_TRUE(item->IsActive());
        EXPECT_EQ(Seam_Render().terrainExposure(), followed);
        Seam_Render().terrainExposureClear();  // the frame ends
        Frame(item, true, 0.1f);
        EXPECT_EQ(Seam_Render().terrainExposure(), followed) << "set again each frame it stays on";
        Seam_Render().terrainExposureClear();
        item->ReleaseTrigger();
        Frame(item, false, 0.1f);
        EXPECT_FALSE(item->IsActive());
        EXPECT_FALSE(Seam_Render().terrainExposure());
        const std::vector<std::string> flashes = followed ? std::vector<std::string>{"1 1 255 255 255", "1 1 255 255 255"}
                                                          : std::vector<std::string>{};
        EXPECT_EQ(g_calls.flashes, flashes);
    }
}

// ---- the sniper pair --------------------------------------------------------------------------

TEST(SniperZone, TheKillEllipsoidLiesAheadAcrossTheRadiusAndAlongTheReach) {
    struct Case {
        Vector at;
        float radius, reach;
        bool kills;
    } cases[] = {
        {{0.0f, 0.0f, 2.9f}, 0.5f, 3.0f, true},
        {{0.0f, 0.0f, 3.0f}, 0.5f, 3.0f, false},   // on the surface is outside
        {{0.0f, 0.0f, 0.0f}, 0.5f, 3.0f, false},   // not ahead
        {{0.0f, 0.0f, -0.5f}, 0.5f, 3.0f, false},  // behind
        {{0.45f, 0.0f, 0.5f}, 0.5f, 3.0f, true},
        {{0.3f, 0.3f, 1.0f}, 0.5f, 3.0f, true},    // 0.36 + 0.36 + 0.11
        {{0.35f, 0.35f, 0.5f}, 0.5f, 3.0f, false}, // 0.49 + 0.49 + 0.03
        {{0.0f, 0.0f, 1.0f}, 0.0f, 3.0f, false},   // no radius kills nothing
        {{0.0f, 0.0f, 1.0f}, 0.5f, 0.0f, false},   // nor does no reach
        {{0.0f, 0.0f, 9.0f}, 0.5f, 10.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.at.x << " " << c.at.y << " " << c.at.z << " r" << c.radius);
        EXPECT_EQ(Sniper_InKillZone(c.at, c.radius, c.reach), c.kills);
    }
}

class TestCraft : public Craft {
public:
    using Craft::Craft;
    bool IsReady() override { return ready; }
    bool ready = true;
};

class SniperTest : public ItemTest {
protected:
    void SetUp() override {
        ItemTest::SetUp();
        TerrainBounds.minXm = TerrainBounds.minZm = -5000.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 5000.0f;
        CraftServices& s = Craft_Services();
        s.reportUnitLost = [](GameObject*) {};
        s.explosionBuild = [](const GameObjectClass*, int, const Matrix&) { return true; };
        s.chunkSpawn = [](const Vector&, const Vector&) {};
        Seam_Audio().soundPlayOnObject = [](const char*, Entity*) -> void* { return nullptr; };
        Seam_Net().isNetworkGame = [] { return false; };
        Seam_Net().localPlayerId = [] { return uint16_t{3}; };
        AddShell("snipe", 3.0f, 1.0f);
    }
    void AddShell(const std::string& name, float reach, float radius) {
        content::OrdnanceValues o;
        o.label = "snipershell";
        o.speed = 300.0f;
        o.lifetime = 2.0f;
        o.ammoCost = 1;
        content::SniperShellValues v;
        v.pilotReach = reach;
        v.pilotRadius = radius;
        std::string text, error;
        ASSERT_TRUE(content::SniperShellText(o, v, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    // A piloted craft at z = 0 whose pilot sits in a cockpit part 1 m up.
    TestCraft* Piloted() {
        auto* cls = new CraftClass("craft", Signature("CRFT"), kCategoryCraft);
        cls->health = 1000;
        classes_.push_back(cls);
        Entity* root = NewRoot(2);
        root->type = kTypeCraft;
        root->classData = PhysBody_New();
        Entity* cockpit = NewPart(root, "", kTypeCockpitPart);
        cockpit->local.posit = DVector{0.0, 1.0, 0.0};
        auto* craft = GameObject_New<TestCraft>(root, cls);
        craft->pilotClass = cls;
        craft->pilotNode = cockpit;
        return craft;
    }
    // A shell on the line through the pilot (1 m up), `distance` behind it, flying along +z.
    SniperShell* ShellBehind(float distance, const char* name = "snipe") {
        const Matrix at = Matrix_FromPositionDirection(DVector{0.0, 1.0, -distance}, Vector{0.0f, 0.0f, 1.0f});
        auto* shell = dynamic_cast<SniperShell*>(OrdnanceClass::Find(name)->Build(at, shooterRoot));
        EXPECT_NE(shell, nullptr);
        return shell;
    }
    Entity* shooterRoot = nullptr;
};

TEST_F(SniperTest, AShellFromDirectlyBehindKillsOnlyAPilotLessThanItsReachAhead) {
    struct Case {
        float distance;
        bool kills;
    } cases[] = {{0.5f, true}, {2.9f, true}, {3.1f, false}, {-0.5f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        TestCraft* craft = Piloted();
        SniperShell* shell = ShellBehind(c.distance);
        ASSERT_NE(shell, nullptr);
        shell->Hit(craft->entity, Vector{0.0f, 0.0f, -1.0f});
        EXPECT_EQ(craft->pilotClass == nullptr, c.kills);
        EXPECT_TRUE(shell->IsDead()) << "the bullet's hit follows in every case";
        EXPECT_EQ((shell->entity->flags & 0x2) != 0, true) << "a ready local craft marks the shell either way";
    }
}

TEST_F(SniperTest, TheShellsKeysAreCappedAndTheDefaultRadiusActsAsHalfAMetre) {
    AddShell("wide", 20.0f, 0.8f);
    auto* wide = dynamic_cast<SniperShellClass*>(OrdnanceClass::Find("wide"));
    ASSERT_NE(wide, nullptr);
    EXPECT_FLOAT_EQ(wide->pilotReach, kSniperMostReach);
    EXPECT_FLOAT_EQ(wide->pilotRadius, kSniperMostRadius);
    content::OrdnanceValues o;
    o.label = "snipershell";
    AddOrdnance("plain", o);
    auto* plain = dynamic_cast<SniperShellClass*>(OrdnanceClass::Find("plain"));
    ASSERT_NE(plain, nullptr);
    EXPECT_FLOAT_EQ(plain->pilotReach, 3.0f);
    EXPECT_FLOAT_EQ(plain->pilotRadius, 0.5f);
    // A pilot 0.6 m off the line is out of reach of a file's 0.8.
    TestCraft* craft = Piloted();
    const Matrix at = Matrix_FromPositionDirection(DVector{0.6, 1.0, -1.0}, Vector{0.0f, 0.0f, 1.0f});
    auto* shell = dynamic_cast<SniperShell*>(wide->Build(at, nullptr));
    ASSERT_NE(shell, nullptr);
    shell->Hit(craft->entity, Vector{0.0f, 0.0f, -1.0f});
    EXPECT_NE(craft->pilotClass, nullptr);
}

TEST_F(SniperTest, ARemoteCraftIsReportedOverTheNetworkAndTheHitMarkFollowsTheRule) {
    struct Case {
        int32_t type;
        bool remote, ready, marked;
    } cases[] = {
        {kTypeCraft, true, true, false},   // told over the network, not marked here
        {kTypeCraft, false, true, true},
        {kTypeCraft, false, false, false}, // a craft that is not ready is not marked
        {kTypeCraft6, false, false, false},
        {kTypePerson, false, false, true}, // other moving kinds are marked regardless
        {2, false, true, false},           // a fixed kind never
    };
    shooterRoot = NewRoot(1);
    GameObject* shooter = GameObject_New<Holder>(shooterRoot, &NewClass());
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.type << (c.remote ? " remote" : " local") << (c.ready ? " ready" : ""));
        g_calls.sniped.clear();
        TestCraft* craft = Piloted();
        craft->ready = c.ready;
        craft->entity->type = c.type;  // for the hit only: the record is freed as a craft's
        if (c.remote) craft->ownership = kNetOwnedRemote;
        SniperShell* shell = ShellBehind(1.0f);
        ASSERT_NE(shell, nullptr);
        // The sniper's own mark comes before the bullet's hit, whose rule is the same.
        shell->Hit(craft->entity, Vector{0.0f, 0.0f, -1.0f});
        craft->entity->type = kTypeCraft;
        EXPECT_EQ(craft->pilotClass, nullptr);
        EXPECT_EQ((shell->entity->flags & 0x2) != 0, c.marked);
        if (c.remote) {
            ASSERT_EQ(g_calls.sniped.size(), 1u);
            EXPECT_EQ(g_calls.sniped[0].first, static_cast<NetObject*>(craft));
            EXPECT_EQ(g_calls.sniped[0].second, static_cast<NetObject*>(shooter));
        } else {
            EXPECT_TRUE(g_calls.sniped.empty());
        }
    }
}

TEST_F(SniperTest, InANetworkGameOnlyTheLocalPlayersShellsKill) {
    Seam_Net().isNetworkGame = [] { return true; };
    for (uint16_t player : {uint16_t{3}, uint16_t{4}}) {
        SCOPED_TRACE(player);
        TestCraft* craft = Piloted();
        SniperShell* shell = ShellBehind(1.0f);
        ASSERT_NE(shell, nullptr);
        shell->netPlayer = player;
        shell->Hit(craft->entity, Vector{0.0f, 0.0f, -1.0f});
        EXPECT_EQ(craft->pilotClass == nullptr, player == 3);
    }
}

TEST_F(SniperTest, TheSniperGunAimsAtThePilotsSeatOfAPilotedCraftOnly) {
    content::WeaponValues w;
    w.label = "snipergun";
    w.ordnance = "snipe";
    AddWeapon("wsnipe", w);
    Entity* root = CraftRoot();
    Weapon* gun = WeaponClass::Find("wsnipe")->Build(root, NewPart(root, "hp_gun1"));
    ASSERT_NE(dynamic_cast<SniperGun*>(gun), nullptr);
    TestCraft* craft = Piloted();
    craft->entity->local.posit = DVector{10.0, 0.0, 20.0};
    craft->SetPosition(Vector{10.0f, 0.0f, 20.0f});
    Vector aim{};
    gun->GetAimPoint(&aim, craft);
    EXPECT_FLOAT_EQ(aim.x, 10.0f);
    EXPECT_FLOAT_EQ(aim.y, 1.0f) << "the cockpit part";
    EXPECT_FLOAT_EQ(aim.z, 20.0f);
    craft->pilotClass = nullptr;
    craft->euler.velocity = Vector{5.0f, 0.0f, 0.0f};
    gun->GetAimPoint(&aim, craft);
    EXPECT_FLOAT_EQ(aim.y, 0.0f) << "an empty craft: its own position, not a lead point";
    EXPECT_FLOAT_EQ(aim.x, 10.0f);
}

// ---- the ground blast -------------------------------------------------------------------------

TEST_F(ItemTest, AGroundBlastIsOneScreenSpriteOfTheRoundedFrameSizedByItsRadius) {
    content::ExplosionValues v;
    v.label = "groundblast";
    v.firstFrame = "blast.0";
    v.frameCount = 8;
    v.secondsPerFrame = 0.1f;
    v.innerRadius = 2.0f;
    AddExplosion("gblast", v);
    ExplosionClass* cls = ExplosionClass::Find("gblast");
    ASSERT_NE(dynamic_cast<GroundBlastClass*>(cls), nullptr);
    ASSERT_EQ(RenderQueue_Init(), 1);
    GraphicBuffer buffer{};
    Graphic_InitBuffer(&buffer, 64, 64, nullptr, kGraphicFormat8);
    RenderView view{};
    View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);  // the eye at (0, 1, 0) along z
    Render_InstallBillboards();
    Matrix at = kIdentityMatrix;
    at.posit = DVector{0.0, 1.0, 10.0};
    Explosion* blast = cls->Build(at, nullptr);
    ASSERT_NE(dynamic_cast<GroundBlast*>(blast), nullptr);
    struct Case {
        float frame;
        uint32_t sprite;
    } cases[] = {{40.4f, 40}, {40.5f, 41}, {42.6f, 43}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        RenderQueue_Reset();
        blast->frame = c.frame;
        blast->Render(&view);
        const RenderBucket& bucket = RenderQueue_Bucket(RenderQueue_BucketOf(8.0f));
        ASSERT_EQ(bucket.count, 1u) << "at the depth z - r";
        const RenderItem* item = RenderQueue_Item(bucket.head);
        EXPECT_EQ(item->kind, static_cast<uint32_t>(kRenderBillboard));
        EXPECT_EQ(item->flags, kGroundBlastSpriteFlags);
        EXPECT_EQ(item->ref, c.sprite);
        const auto p = RenderItem_GetPayload<RenderBillboardPayload>(item);
        EXPECT_FLOAT_EQ(p.size, 2.0f * 2.0f * view.scaleX / 10.0f);
        EXPECT_FLOAT_EQ(p.fifth, -2.0f * 2.0f * view.scaleY / 10.0f);
    }
    RenderQueue_Reset();
    RenderQueue_Close();
    Graphic_FreeBuffer(&buffer);
}

}  // namespace
