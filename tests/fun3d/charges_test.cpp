// Remote charges and air-burst shells: the remote detonator with its charges and the "xx"
// message, and the popper gun with its popper, burst and payload.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ai/unittask.h"
#include "charge_definitions.h"
#include "core/clock.h"
#include "core/datafile.h"
#include "core/gamesettings.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/particlebuffer.h"
#include "fun3d/teamrecord.h"
#include "lobbed_definitions.h"
#include "platform/random.h"
#include "shot_world.h"
#include "support/data_root_fixture.h"
#include "weapons/chunkeffect.h"
#include "weapons/detonator.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/popper.h"
#include "weapons_fixture.h"

namespace {

using Target = CountingTarget;

Vector Plus(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }

constexpr float kDt = 0.1f;
constexpr float kReload = 0.2f;
constexpr int kChargeCost = 5;
constexpr float kBlastReach = 12.0f;
constexpr float kSeek = 50.0f;
constexpr float kPayloadSpeed = 100.0f;
constexpr float kPitch = 0.6f;
constexpr uint16_t kLocalPlayer = 3;

struct Sent {
    uint16_t to;
    uint32_t flags;
    std::vector<uint8_t> bytes;
};
std::vector<Sent> g_sent;
std::vector<std::string> g_sounds;
bool g_network = false;

class ChargesTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        scratch_.Open();
        records_ = FlatMapRecords();
        content::ExplosionValues puff;
        puff.frameCount = 4;
        puff.secondsPerFrame = 0.1f;
        for (const char* name : {"xsecxpl", "xcarxpl", "xbldxpl", "xland", "xburst"}) Explosion(name, puff);
        content::ExplosionValues blast = puff;
        blast.outerRadius = kBlastReach;
        Explosion("xblast", blast);
        Definitions();
        scratch_.Install(records_, "data.zfs");
        DataFile_SetLoader(nullptr);
        Explosion_Manager().MissionSetup();
        ASSERT_NO_FATAL_FAILURE(LoadFlatMap());
        TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 1280.0f;
        GameObject_CreateGrid();
        EffectList::Clear();
        ParticleBuffer_Clear();
        Chunk_Effect().MissionSetup();
        Clock_SetTime(10.0f);

        savedAudio_ = Seam_Audio();
        savedNet_ = Seam_Net();
        savedRender_ = Seam_Render();
        g_sent.clear();
        g_sounds.clear();
        g_queued.clear();
        g_network = false;
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int header) -> void* {
            g_sounds.push_back(std::string(name) + "/" + std::to_string(flags) + "/" + std::to_string(header));
            return nullptr;
        };
        Seam_Audio().soundPlayOnObject = [](const char*, Entity*) -> void* { return nullptr; };
        Seam_Audio().soundStopAttached = [](Entity*) { return false; };
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return g_network; };
        net.localPlayerId = [] { return kLocalPlayer; };
        StubOrdnanceNet(net);
        net.sendReliable = [](uint16_t to, uint32_t flags, const uint8_t* data, int size) {
            g_sent.push_back(Sent{to, flags, std::vector<uint8_t>(data, data + size)});
        };
        net.findObject = [](uint32_t) -> NetObject* { return nullptr; };
        StubSpritesAndView(Seam_Render());
        Random_Seed(5);
        Random_FillTable();
    }
    void TearDown() override {
        ClearShotsAndEffects();
        Seam_Audio() = savedAudio_;
        Seam_Net() = savedNet_;
        Seam_Render() = savedRender_;
        WeaponsFixture::TearDown();
        UnloadFlatMap();
        scratch_.Close();
    }

    void Explosion(const std::string& name, const content::ExplosionValues& v) {
        AddExplosionRecord(records_, name, v);
    }
    void Add(const std::string& name, const std::string& text) { records_.push_back({name + ".odf", text}); }
    void Popper(const std::string& name, const std::string& burst, const std::string& payload) {
        content::OrdnanceValues o;
        o.speed = 30.0f;
        o.ammoCost = 4;
        o.explosionGround = o.explosionVehicle = o.explosionBuilding = "xland";
        o.damage[0] = 10;
        o.writeDamage = true;
        content::PopperValues p;
        p.seekRange = kSeek;
        p.burstClass = burst;
        p.payloadClass = payload;
        std::string text, error;
        ASSERT_TRUE(content::PopperText(o, content::RocketValues{}, p, &text, &error)) << error;
        Add(name, text);
    }
    void Definitions() {
        std::string text, error;
        // The charge: a bounce bomb that lives until it is set off.
        content::OrdnanceValues charge;
        charge.label = "bouncebomb";
        charge.speed = 20.0f;
        charge.ammoCost = kChargeCost;
        charge.explosionGround = charge.explosionVehicle = charge.explosionBuilding = "xblast";
        charge.damage[0] = 10;
        charge.writeDamage = true;
        ASSERT_TRUE(content::LobbedOrdnanceText(charge, content::RocketValues{}, content::LobbedValues{}, &text, &error))
            << error;
        Add("tcharge", text);
        content::WeaponValues det;
        det.ordnance = "tcharge";
        det.fireSound = "tfire.wav";
        det.reloadTime = kReload;
        det.sprites[1] = "tgunicon";
        ASSERT_TRUE(content::DetonatorText(det, "tdeticon", &text, &error)) << error;
        Add("tdet", text);
        ASSERT_TRUE(content::DetonatorText(det, "", &text, &error)) << error;
        Add("tdetpl", text);

        content::OrdnanceValues payload;
        payload.label = "rocket";
        payload.speed = kPayloadSpeed;
        payload.lifetime = 2.0f;
        payload.explosionGround = payload.explosionVehicle = payload.explosionBuilding = "xland";
        ASSERT_TRUE(content::OrdnanceDefinitionText(payload, &text, &error)) << error;
        Add("tpay", text);
        Popper("tpop", "xburst", "tpay");
        Popper("tpopnob", "", "tpay");
        Popper("tpopnop", "xburst", "");
        content::WeaponValues gun;
        gun.ordnance = "tpop";
        gun.fireSound = "tpopgun.wav";
        gun.reloadTime = 0.5f;
        ASSERT_TRUE(content::PopperGunText(gun, kPitch, &text, &error)) << error;
        Add("tpopgun", text);
        ASSERT_TRUE(content::PopperGunText(content::WeaponValues{}, -1e30f, &text, &error)) << error;
        Add("tpopdef", text);
    }

    Target* At(const Vector& p, int32_t team = 2) {
        Entity* e = NewRoot(team, 0, false);
        e->type = 1;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(p);
        t->radius = 2.0f;
        GameObject_UpdateGrid();
        return t;
    }
    // A craft of team 1 holding the weapon on its one hardpoint, level, looking along +z.
    template <class Gun>
    Gun* Mount(const char* name, uint32_t flags = 0) {
        Entity* root = NewRoot(1, flags, false);
        root->local = Aim(kMid, kGround + 2.0f, kMid, Vector{0, 0, 1});
        Entity* hardpoint = NewPart(root, "hp_gun1");
        owner = GameObject_New<Target>(root, &NewClass(100, 500));
        owner->SetPosition(Vector{kMid, kGround + 2.0f, kMid});
        WeaponClass* cls = WeaponClass::Find(name);
        EXPECT_NE(cls, nullptr) << name;
        if (!cls) return nullptr;
        auto* gun = dynamic_cast<Gun*>(cls->Build(root, hardpoint));
        EXPECT_NE(gun, nullptr) << name;
        if (gun) gun->UpdateMount(0.0f);
        return gun;
    }
    // One simulated frame in the order of the frame loop, the trigger pulled before the weapons'
    // update when asked.
    void Frame(Weapon* gun, bool pull, float dt = kDt) {
        Weapon_UpdateMountAll(dt);
        Ordnance_UpdateAll(dt);
        if (pull) gun->PullTrigger();
        Weapon_UpdateAll(dt);
        Ordnance_StepAll(dt);
        Clock_SetTime(Clock_GetTime() + dt);
    }
    // The live shots of the class.
    static std::vector<Ordnance*> Shots(const char* name) {
        std::vector<Ordnance*> out;
        const OrdnanceClass* cls = OrdnanceClass::Find(name);
        for (Ordnance* shot : Ordnance_LiveList())
            if (shot->ordnanceClass == cls) out.push_back(shot);
        return out;
    }
    static int Explosions(const char* name) {
        int n = 0;
        const ExplosionClass* cls = ExplosionClass::Find(name);
        for (const ::Explosion* e : Explosion_LiveList())
            if (e->explosionClass == cls) ++n;
        return n;
    }

    Target* owner = nullptr;
    std::vector<content::ArchiveRecord> records_;
    ScratchDataRoot scratch_;
    AudioSeam savedAudio_{};
    NetSeam savedNet_{};
    RenderSeam savedRender_{};
};

// ---- the remote detonator ---------------------------------------------------------------------

TEST_F(ChargesTest, TheDetonatorIsAMortarThatReadsItsDetonateIcon) {
    auto* cls = dynamic_cast<DetonatorClass*>(WeaponClass::Find("tdet"));
    ASSERT_NE(cls, nullptr);
    EXPECT_NE(dynamic_cast<MortarClass*>(cls), nullptr);
    EXPECT_STREQ(cls->prototype->fireSound, "wcbl.wav") << "the mortar's prototype";
    EXPECT_FLOAT_EQ(cls->reloadTime, kReload);
    EXPECT_EQ(cls->detonateIcon, Seam_Render().spriteFind("tdeticon"));
    auto* plain = dynamic_cast<DetonatorClass*>(WeaponClass::Find("tdetpl"));
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->sprite2, 0);
    EXPECT_EQ(plain->detonateIcon, plain->sprite2) << "without the key: the class's own icon";
}

TEST_F(ChargesTest, OneChargeAtATimeAndAPullAfterLettingGoDetonatesIt) {
    auto* gun = Mount<Detonator>("tdet");
    ASSERT_NE(gun, nullptr);
    const int32_t ammo = owner->curAmmo;
    const DetonatorClass& cls = gun->Class();

    Frame(gun, true);
    ASSERT_EQ(Shots("tcharge").size(), 1u) << "the first pull fires a charge";
    Ordnance* charge = Shots("tcharge")[0];
    EXPECT_EQ(gun->FirstCharge(), charge);
    EXPECT_EQ(owner->curAmmo, ammo - kChargeCost);
    EXPECT_EQ(g_sounds.back(), "tfire.wav/2048/0");
    EXPECT_EQ(gun->sprite2, cls.sprite2);

    // Held on past the reload: no second charge and no detonation.
    for (int i = 0; i < 4; ++i) Frame(gun, true);
    EXPECT_EQ(Shots("tcharge").size(), 1u);
    EXPECT_GT(charge->lifeLeft, 1e29f) << "still waiting";
    EXPECT_FALSE(gun->detonateMode);

    // Let go: the next pull detonates.
    Frame(gun, false);
    EXPECT_TRUE(gun->detonateMode);
    EXPECT_EQ(gun->sprite2, cls.detonateIcon);
    Frame(gun, true);
    EXPECT_TRUE(charge->IsDead()) << "set off, it goes off at its step";
    EXPECT_EQ(Explosions("xblast"), 1);
    EXPECT_EQ(gun->FirstCharge(), nullptr);
    EXPECT_FALSE(gun->detonateMode) << "nothing left out";
    EXPECT_EQ(owner->curAmmo, ammo - kChargeCost) << "detonating costs nothing";

    // The next pull fires a fresh charge.
    Frame(gun, true);
    EXPECT_EQ(Shots("tcharge").size(), 1u);
    EXPECT_NE(gun->FirstCharge(), nullptr);
    EXPECT_EQ(owner->curAmmo, ammo - 2 * kChargeCost);
}

TEST_F(ChargesTest, LettingGoOfTheUsersFireControlDetonatesEveryCharge) {
    auto* gun = Mount<Detonator>("tdet", kEntityUser);
    ASSERT_NE(gun, nullptr);
    Frame(gun, true);
    ASSERT_EQ(Shots("tcharge").size(), 1u);
    EXPECT_EQ(g_sounds.back(), "tfire.wav/2048/65") << "the user's craft";
    Ordnance* charge = Shots("tcharge")[0];
    gun->UserTriggerUp();
    EXPECT_EQ(charge->lifeLeft, 0.0f);
    EXPECT_EQ(gun->FirstCharge(), nullptr);
    Frame(gun, false);
    EXPECT_TRUE(charge->IsDead());
    EXPECT_EQ(Explosions("xblast"), 1);
}

TEST_F(ChargesTest, TheUsersCraftKeepsFourChargesOutWhileTheSwitchIsOn) {
    struct Case {
        const char* what;
        uint32_t rootFlags;
        bool multiSwitch;
        size_t most;
    } cases[] = {
        {"the user's craft with the switch", kEntityUser, true, 4},
        {"the user's craft without it", kEntityUser, false, 1},
        {"another craft with the switch", 0, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ordnance_DeleteAll();
        Game_Settings().userMultiCharge = c.multiSwitch;
        auto* gun = Mount<Detonator>("tdet", c.rootFlags);
        ASSERT_NE(gun, nullptr);
        EXPECT_EQ(gun->MultiCharge(), c.most == 4);
        // Pull, let go, pull...: each pull a reload apart.
        for (int i = 0; i < 12; ++i) Frame(gun, i % 3 != 2);
        EXPECT_EQ(Shots("tcharge").size(), c.most);
        EXPECT_EQ(gun->LiveCharges(), static_cast<int>(c.most));
        if (c.most == 4) {
            for (const Ordnance* charge : Shots("tcharge")) EXPECT_GT(charge->lifeLeft, 1e29f) << "pulls never detonate";
            gun->UserTriggerUp();
            Frame(gun, false);
            EXPECT_EQ(Explosions("xblast"), 4) << "all four go off together";
        }
        Weapon::DeleteEntity(gun);
        Explosion_Manager().MissionCleanup();
    }
}

TEST_F(ChargesTest, AChargeThatIsGoneFreesItsSlotEvenWhenItsShotIsReused) {
    auto* gun = Mount<Detonator>("tdet");
    ASSERT_NE(gun, nullptr);
    Frame(gun, true);
    ASSERT_EQ(Shots("tcharge").size(), 1u);
    Ordnance* charge = Shots("tcharge")[0];
    // It hits something: dead, then back in its class's pool.
    charge->entity->flags |= kEntityDead;
    Ordnance_UpdateAll(kDt);
    ASSERT_FALSE(charge->IsLive());
    // Another gun's shot of the same class takes the pooled object.
    Ordnance* other = OrdnanceClass::Find("tcharge")->Build(Aim(kMid + 50, kGround + 5, kMid, Vector{0, 0, 1}), nullptr);
    ASSERT_EQ(other, charge) << "the pool hands the same object out again";
    EXPECT_EQ(gun->LiveCharges(), 0) << "not the detonator's charge";
    EXPECT_EQ(gun->FirstCharge(), nullptr);
    gun->UserTriggerUp();
    EXPECT_GT(other->lifeLeft, 1e29f) << "the other gun's shot is left alone";
    // With its slot free the detonator fires again rather than detonating.
    Frame(gun, false);
    EXPECT_FALSE(gun->detonateMode);
    Frame(gun, true);
    EXPECT_EQ(Shots("tcharge").size(), 2u);
}

TEST_F(ChargesTest, LosingTheDetonatorSetsItsChargesOff) {
    auto* gun = Mount<Detonator>("tdet");
    ASSERT_NE(gun, nullptr);
    Frame(gun, true);
    ASSERT_EQ(Shots("tcharge").size(), 1u);
    Ordnance* charge = Shots("tcharge")[0];
    Weapon::DeleteEntity(gun);
    EXPECT_EQ(charge->lifeLeft, 0.0f);
}

TEST_F(ChargesTest, DetonatingTellsTheOtherMachinesTheSerialsInOneMessage) {
    g_network = true;
    Game_Settings().userMultiCharge = true;
    auto* gun = Mount<Detonator>("tdet", kEntityUser);
    ASSERT_NE(gun, nullptr);
    owner->ownership = kNetOwnedHere;
    Frame(gun, true);
    Frame(gun, false);
    Frame(gun, true);
    const std::vector<Ordnance*> charges = Shots("tcharge");
    ASSERT_EQ(charges.size(), 2u);
    // Newest first on the live list; slot order is firing order.
    const uint16_t first = charges[1]->netSerial, second = charges[0]->netSerial;
    EXPECT_EQ(charges[1]->netPlayer, kLocalPlayer);
    gun->UserTriggerUp();
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].to, 0) << "every player";
    EXPECT_EQ(g_sent[0].flags, 1u) << "reliably";
    const std::vector<uint8_t> expected{0x78,
                                        0x78,
                                        static_cast<uint8_t>(first & 0xFF),
                                        static_cast<uint8_t>(first >> 8),
                                        static_cast<uint8_t>(second & 0xFF),
                                        static_cast<uint8_t>(second >> 8)};
    EXPECT_EQ(g_sent[0].bytes, expected);
    EXPECT_EQ(Detonator_Message({first, second}), expected);
    EXPECT_TRUE(Detonator_Message({}).empty());
}

TEST_F(ChargesTest, NoMessageWithoutChargesWithNetworkIdsOrFromARemoteOwner) {
    struct Case {
        const char* what;
        bool network;
        int32_t ownership;
        bool fire;
    } cases[] = {
        {"not a network game", false, kNetOwnedHere, true},
        {"the owner is another machine's", true, kNetOwnedRemote, true},
        {"no charge out", true, kNetOwnedHere, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ordnance_DeleteAll();
        g_sent.clear();
        g_network = c.network;
        auto* gun = Mount<Detonator>("tdet");
        ASSERT_NE(gun, nullptr);
        owner->ownership = c.ownership;
        if (c.fire) Frame(gun, true);
        ASSERT_EQ(Shots("tcharge").size(), c.fire ? 1u : 0u);
        gun->UserTriggerUp();
        if (c.fire) {
            EXPECT_EQ(Shots("tcharge")[0]->lifeLeft, 0.0f) << "the charge still goes off here";
        }
        EXPECT_TRUE(g_sent.empty());
        Weapon::DeleteEntity(gun);
    }
}

TEST_F(ChargesTest, AReceivedDetonationKillsTheNamedChargesOfItsSenderOnly) {
    g_network = true;
    OrdnanceClass* cls = OrdnanceClass::Find("tcharge");
    ASSERT_NE(cls, nullptr);
    std::vector<Ordnance*> charges;
    for (int i = 0; i < 3; ++i) charges.push_back(cls->Build(Aim(kMid + 10.0f * i, kGround + 5, kMid, Vector{0, 0, 1}), nullptr));
    // Two of them came from player 7.
    Ordnance_Rekey(charges[0], 7, 100);
    Ordnance_Rekey(charges[1], 7, 101);
    Ordnance_Rekey(charges[2], 8, 100);
    const std::vector<uint8_t> message = Detonator_Message({101, 100, 555});
    struct Case {
        const char* what;
        int size;  // of the body after the two letters
        uint16_t sender;
        bool killed[3];
    } cases[] = {
        {"a one-byte body", 1, 7, {false, false, false}},
        {"another sender", 6, 9, {false, false, false}},
        {"the first serial and half of the next", 3, 7, {false, true, false}},
        {"the whole body, an unknown serial among them", 6, 7, {true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (Ordnance* shot : charges) shot->lifeLeft = 1e30f;
        Ordnance_ReceiveKill(message.data() + 2, c.size, c.sender);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(charges[i]->lifeLeft == 0.0f, c.killed[i]) << i;
    }
    Ordnance_ReceiveKill(nullptr, 4, 7);
    Ordnance_StepAll(kDt);
    EXPECT_TRUE(charges[0]->IsDead() && charges[1]->IsDead());
    EXPECT_FALSE(charges[2]->IsDead());
}

TEST_F(ChargesTest, TheUnitAiSeesTheFirstChargeOutAndItsBlast) {
    auto* gun = Mount<Detonator>("tdet");
    ASSERT_NE(gun, nullptr);
    Vector position{}, velocity{};
    float blast = -1.0f;
    EXPECT_FALSE(UnitTask_Hooks().remoteCharge(gun, &position, &velocity, &blast)) << "none out";
    Frame(gun, true);
    ASSERT_NE(gun->FirstCharge(), nullptr);
    const Ordnance* charge = gun->FirstCharge();
    ASSERT_TRUE(UnitTask_Hooks().remoteCharge(gun, &position, &velocity, &blast));
    EXPECT_EQ(position.x, static_cast<float>(charge->entity->local.posit.x));
    EXPECT_EQ(position.z, static_cast<float>(charge->entity->local.posit.z));
    EXPECT_EQ(velocity.z, charge->motion.velocity.z);
    EXPECT_GT(velocity.z, 0.0f);
    EXPECT_FLOAT_EQ(blast, kBlastReach);
    auto* popperGun = Mount<PopperGun>("tpopgun");
    ASSERT_NE(popperGun, nullptr);
    EXPECT_FALSE(UnitTask_Hooks().remoteCharge(popperGun, &position, &velocity, &blast)) << "not a detonator";
}

// ---- the popper gun and the popper --------------------------------------------------------------

TEST_F(ChargesTest, ThePopperKindsReadTheirKeys) {
    auto* popper = dynamic_cast<PopperClass*>(OrdnanceClass::Find("tpop"));
    ASSERT_NE(popper, nullptr);
    EXPECT_NE(dynamic_cast<GrenadeClass*>(popper), nullptr);
    EXPECT_EQ(popper->prototype->ordIntParam, 10) << "the prototype's cost";
    EXPECT_FLOAT_EQ(static_cast<PopperClass*>(popper->prototype)->seekRange, 100.0f);
    EXPECT_FLOAT_EQ(popper->seekRange, kSeek);
    EXPECT_EQ(popper->burstClass, ExplosionClass::Find("xburst"));
    EXPECT_EQ(popper->payloadClass, OrdnanceClass::Find("tpay"));
    auto* noBurst = dynamic_cast<PopperClass*>(OrdnanceClass::Find("tpopnob"));
    ASSERT_NE(noBurst, nullptr);
    EXPECT_EQ(noBurst->burstClass, nullptr);

    auto* gun = dynamic_cast<PopperGunClass*>(WeaponClass::Find("tpopgun"));
    ASSERT_NE(gun, nullptr);
    EXPECT_FLOAT_EQ(gun->reloadTime, 0.5f);
    EXPECT_FLOAT_EQ(gun->launchPitch, kPitch);
    auto* plain = dynamic_cast<PopperGunClass*>(WeaponClass::Find("tpopdef"));
    ASSERT_NE(plain, nullptr);
    EXPECT_STREQ(plain->fireSound, "wcbl.wav");
    EXPECT_FLOAT_EQ(plain->reloadTime, 1.0f);
    EXPECT_FLOAT_EQ(plain->launchPitch, 1.0f);
}

TEST_F(ChargesTest, ThePopperGunLobsItsPopperUpByTheLaunchPitchOnceAReload) {
    auto* gun = Mount<PopperGun>("tpopgun");
    ASSERT_NE(gun, nullptr);
    const int32_t ammo = owner->curAmmo;
    Frame(gun, true);
    ASSERT_EQ(Shots("tpop").size(), 1u);
    const Ordnance* popper = Shots("tpop")[0];
    EXPECT_NE(dynamic_cast<const ::Popper*>(popper), nullptr);
    EXPECT_EQ(owner->curAmmo, ammo - 4);
    EXPECT_EQ(g_sounds.back(), "tpopgun.wav/2048/0");
    // Launched level along +z and pitched up by 0.6 rad (gravity has bent it a little since).
    const Vector v = popper->motion.velocity;
    EXPECT_NEAR(std::atan2(v.y, v.z), kPitch, 0.05f);
    EXPECT_NEAR(v.x, 0.0f, 1e-4f);
    // Held: the next one a reload (0.5 s) later.
    for (int i = 0; i < 4; ++i) Frame(gun, true);
    EXPECT_EQ(Shots("tpop").size(), 1u);
    Frame(gun, true);
    EXPECT_EQ(Shots("tpop").size(), 2u);
    // Let go, the clock does not save up.
    for (int i = 0; i < 20; ++i) Frame(gun, false);
    EXPECT_LE(gun->shotClock, 0.0f);
}

TEST_F(ChargesTest, HeldWithoutAmmunitionThePopperGunSavesNoReloadUp) {
    auto* gun = Mount<PopperGun>("tpopgun");
    ASSERT_NE(gun, nullptr);
    owner->SetAmmo(0);
    for (int i = 0; i < 30; ++i) Frame(gun, true);
    EXPECT_TRUE(Shots("tpop").empty());
    EXPECT_LE(gun->shotClock, 0.0f);
    owner->SetAmmo(50);
    Weapon_UpdateMountAll(kDt);
    gun->PullTrigger();
    Weapon_UpdateAll(kDt);
    ASSERT_EQ(Shots("tpop").size(), 1u);
    EXPECT_LE(Shots("tpop")[0]->catchUp, 0.0f) << "not aged by the three seconds without ammunition";
}

// A popper of the class placed at the point, moving with the velocity, owned by the craft.
class PopperTest : public ChargesTest {
protected:
    ::Popper* Place(const char* name, const Vector& at, const Vector& velocity, Entity* shooter) {
        OrdnanceClass* cls = OrdnanceClass::Find(name);
        EXPECT_NE(cls, nullptr);
        if (!cls) return nullptr;
        auto* p = dynamic_cast<::Popper*>(cls->Build(Aim(at.x, at.y, at.z, velocity), shooter));
        if (p) {
            p->motion.velocity = velocity;
            p->motion.speed = std::sqrt(Vec3_Dot(velocity, velocity));
            p->motion.invSpeed = 1.0f / p->motion.speed;
        }
        return p;
    }
    Entity* Shooter(uint32_t flags = 0) {
        Entity* root = NewRoot(1, flags, false);
        root->local = Aim(kMid, kGround + 1, kMid - 200, Vector{0, 0, 1});
        owner = GameObject_New<Target>(root, &NewClass());
        return root;
    }
};

TEST_F(PopperTest, FallingItBurstsByTheNearestNonAllyWithinTheSeekRange) {
    Entity* shooter = Shooter();
    TeamRecord::Get(1)->AddAlly(3);
    const Vector at{kMid, kGround + 40, kMid};
    struct Case {
        const char* what;
        float vy;
        Vector offset;
        int32_t team;
        bool dead;
        bool bursts;
    } cases[] = {
        {"climbing, an enemy close by", 5.0f, {10, 0, 0}, 2, false, false},
        {"level at the top of the arc", 0.0f, {10, 0, 0}, 2, false, false},
        {"falling, an enemy within the range", -5.0f, {30, -20, 0}, 2, false, true},
        {"falling, an enemy beyond the range", -5.0f, {40, -35, 0}, 2, false, false},
        {"falling, an ally close by", -5.0f, {10, 0, 0}, 3, false, false},
        {"falling, its own team close by", -5.0f, {10, 0, 0}, 1, false, false},
        {"falling, a dead enemy close by", -5.0f, {10, 0, 0}, 2, true, false},
        {"falling, a neutral object close by", -5.0f, {10, 0, 0}, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Target* t = At(Plus(at, c.offset), c.team);
        if (c.dead) t->entity->flags |= kEntityDead;
        ::Popper* p = Place("tpop", at, Vector{0, c.vy, 10}, shooter);
        ASSERT_NE(p, nullptr);
        const size_t payloads = Shots("tpay").size();
        p->Update(kDt);
        EXPECT_EQ(p->IsDead(), c.bursts);
        EXPECT_EQ(Shots("tpay").size(), payloads + (c.bursts ? 1 : 0));
        EXPECT_EQ(Explosions("xburst"), c.bursts ? 1 : 0);
        p->entity->flags |= kEntityDead;
        Ordnance_UpdateAll(0.0f);
        Explosion_Manager().MissionCleanup();
        t->entity->flags |= kEntityDead;  // out of the next case's way
    }
}

TEST_F(PopperTest, ThePayloadGoesForTheNearestAtItsInterceptPoint) {
    Entity* shooter = Shooter();
    const Vector at{kMid, kGround + 40, kMid};
    Target* far = At(Plus(at, Vector{0, -10, 40}));
    Target* near = At(Plus(at, Vector{20, -10, 0}));
    near->SetVelocity(Vector{0, 0, 10});
    ::Popper* p = Place("tpop", at, Vector{0, -1, 5}, shooter);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->FindTarget(), near);
    p->Update(kDt);
    ASSERT_EQ(Shots("tpay").size(), 1u);
    const Ordnance* payload = Shots("tpay")[0];
    const Vector lead = Weapon_LeadPoint(p->entity->local, near, kPayloadSpeed);
    EXPECT_GT(lead.z, near->GetPosition().z) << "led along the target's motion";
    const Vector expected = Vec3_Normalize(Vec3_Sub(lead, at));
    EXPECT_NEAR(payload->entity->local.front.x, expected.x, 1e-4f);
    EXPECT_NEAR(payload->entity->local.front.y, expected.y, 1e-4f);
    EXPECT_NEAR(payload->entity->local.front.z, expected.z, 1e-4f);
    EXPECT_EQ(payload->owner, shooter) << "the popper's owner";
    (void)far;
}

TEST_F(PopperTest, FiredStraightDownItSeeksAtOnceAndLandsOnlyWithNothingInRange) {
    Entity* shooter = Shooter();
    const Vector at{kMid, kGround + 30, kMid};
    // Nothing in range: it falls and lands as a grenade.
    ::Popper* p = Place("tpop", at, Vector{0, -20, 0}, shooter);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 40 && !p->IsDead(); ++i) {
        Ordnance_UpdateAll(kDt);
        Ordnance_StepAll(kDt);
    }
    EXPECT_TRUE(p->IsDead());
    EXPECT_TRUE(Shots("tpay").empty()) << "landed, no payload";
    EXPECT_EQ(Explosions("xland"), 1);
    EXPECT_EQ(Explosions("xburst"), 0);
    Ordnance_UpdateAll(kDt);
    Explosion_Manager().MissionCleanup();
    // An enemy within the range: the first update bursts it, high above the ground.
    At(Vector{kMid + 30, kGround, kMid});
    p = Place("tpop", at, Vector{0, -20, 0}, shooter);
    ASSERT_NE(p, nullptr);
    Ordnance_UpdateAll(kDt);
    EXPECT_TRUE(p->IsDead());
    EXPECT_NEAR(p->entity->local.posit.y, at.y, 1e-4);
    EXPECT_EQ(Shots("tpay").size(), 1u);
    EXPECT_EQ(Explosions("xburst"), 1);
}

TEST_F(PopperTest, AMissingBurstOrPayloadClassSkipsThatStep) {
    Entity* shooter = Shooter();
    const Vector at{kMid, kGround + 40, kMid};
    At(Plus(at, Vector{10, -5, 0}));
    struct Case {
        const char* cls;
        int payloads, bursts;
    } cases[] = {{"tpopnob", 1, 0}, {"tpopnop", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        ::Popper* p = Place(c.cls, at, Vector{0, -5, 5}, shooter);
        ASSERT_NE(p, nullptr);
        p->Update(kDt);
        EXPECT_TRUE(p->IsDead());
        EXPECT_EQ(static_cast<int>(Shots("tpay").size()), c.payloads);
        EXPECT_EQ(Explosions("xburst"), c.bursts);
        Ordnance_DeleteAll();
        Explosion_Manager().MissionCleanup();
    }
}

TEST_F(PopperTest, ThePayloadTakesThePoppersPlayerAndNextSerialAndItsDamageFlags) {
    Entity* shooter = Shooter(0x30);
    const Vector at{kMid, kGround + 40, kMid};
    At(Plus(at, Vector{10, -5, 0}));
    struct Case {
        const char* what;
        bool network;
        uint16_t popperPlayer;  // 0: as launched
        uint32_t netState;
    } cases[] = {
        {"not a network game", false, 0, kOrdnanceNew},
        {"fired here in a network game", true, 0, kOrdnanceNotSent},
        {"another player's popper", true, 9, kOrdnanceNotSent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ordnance_DeleteAll();
        g_network = c.network;
        ::Popper* p = Place("tpop", at, Vector{0, -5, 5}, shooter);
        ASSERT_NE(p, nullptr);
        if (c.popperPlayer) Ordnance_Rekey(p, c.popperPlayer, 500);
        const uint16_t player = c.network ? (c.popperPlayer ? c.popperPlayer : kLocalPlayer) : kNoPlayer;
        EXPECT_EQ(p->netPlayer, player);
        const uint16_t serial = p->netSerial;
        EXPECT_NE(serial, 0);
        p->damageInfo.playerId = 21;
        // A shot fired after the popper does not take the payload's serial.
        Ordnance* later = OrdnanceClass::Find("tpay")->Build(Aim(kMid, kGround + 5, kMid - 50, Vector{0, 0, 1}), nullptr);
        if (c.network && !c.popperPlayer) {
            EXPECT_EQ(later->netSerial, serial + 2);
            EXPECT_EQ(Ordnance_FindByKey(kLocalPlayer, later->netSerial), later);
        }
        const size_t keys = Ordnance_MapSize();
        p->Update(kDt);
        ASSERT_TRUE(p->IsDead());
        Ordnance* payload = nullptr;
        for (Ordnance* shot : Shots("tpay"))
            if (shot != later) payload = shot;
        ASSERT_NE(payload, nullptr);
        EXPECT_EQ(payload->netPlayer, player);
        EXPECT_EQ(payload->netSerial, static_cast<uint16_t>(serial + 1));
        EXPECT_EQ(Ordnance_FindByKey(player, static_cast<uint16_t>(serial + 1)), payload);
        EXPECT_EQ(Ordnance_MapSize(), keys + 1) << "only the payload's key is new: no stale key is left";
        EXPECT_EQ(payload->netState, c.netState);
        EXPECT_EQ(payload->damageInfo.kind & 0x30, p->damageInfo.kind & 0x30);
        EXPECT_EQ(p->damageInfo.kind & kDamageUserSide, kDamageUserSide) << "the shooter's 0x10 / 0x20";
        EXPECT_EQ(payload->damageInfo.playerId, 21);
        if (c.network && !c.popperPlayer) {
            EXPECT_EQ(Ordnance_FindByKey(kLocalPlayer, later->netSerial), later) << "the later shot keeps its key";
        }
    }
}

}  // namespace
