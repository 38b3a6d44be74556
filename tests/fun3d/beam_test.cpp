#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "ai/unittask.h"
#include "beam_definitions.h"
#include "core/clock.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "platform/random.h"
#include "shot_world.h"
#include "weapons/beam.h"
#include "weapons/chargegun.h"
#include "weapons_fixture.h"

namespace {

class Target : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo* damage, const Vector*) override {
        amounts.push_back(damage ? damage->amount : 0.0f);
        return false;
    }
    std::vector<float> amounts;
};


struct Quad {
    float corners[4][3];
    int sprite;
};
std::vector<Quad> g_quads;
std::vector<int> g_billboards;
std::vector<std::string> g_sounds;
std::vector<std::vector<uint8_t>> g_sent;
std::vector<std::pair<int, int>> g_pitchVolume;
int g_forced = 0;
int g_loopStops = 0;
bool g_network = false;

class BeamTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        OpenSky();
        savedRender_ = Seam_Render();
        savedAudio_ = Seam_Audio();
        savedNet_ = Seam_Net();
        RenderSeam& r = Seam_Render();
        StubSpritesAndView(r);
        r.queueQuad = [](RenderView*, const float (*corners)[3], int sprite, uint32_t) {
            Quad q{};
            std::memcpy(q.corners, corners, sizeof q.corners);
            q.sprite = sprite;
            g_quads.push_back(q);
        };
        r.queueBillboard = [](RenderView*, const float*, float, int sprite) { g_billboards.push_back(sprite); };
        AudioSeam& a = Seam_Audio();
        a.soundPlay = [](const char* name, Entity*, uint32_t flags, int) -> void* {
            g_sounds.push_back(std::string(name) + "/" + std::to_string(flags));
            return &g_sounds;
        };
        a.soundStopAttached = [](Entity*) { return false; };
        a.soundLoopStop = [](void*) { ++g_loopStops; };
        a.soundSetPitchVolume = [](void*, int pitch, int volume) { g_pitchVolume.push_back({pitch, volume}); };
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return g_network; };
        net.localPlayerId = [] { return uint16_t{7}; };
        StubOrdnanceNet(net);
        net.sendReliable = [](uint16_t, uint32_t, const uint8_t* data, int size) { g_sent.emplace_back(data, data + size); };
        net.findObject = [](uint32_t) -> NetObject* { return nullptr; };
        net.forceObjectUpdate = [] { ++g_forced; };
        g_quads.clear();
        g_billboards.clear();
        g_sounds.clear();
        g_sent.clear();
        g_queued.clear();
        g_pitchVolume.clear();
        g_forced = 0;
        g_loopStops = 0;
        g_network = false;
        Random_Seed(3);
        Random_FillTable();
        RandomTable_SetIndex(0);
    }
    void TearDown() override {
        Ordnance_DeleteAll();
        g_network = false;
        Seam_Render() = savedRender_;
        Seam_Audio() = savedAudio_;
        Seam_Net() = savedNet_;
        WeaponsFixture::TearDown();
    }

    void AddStreak(const std::string& name, const std::string& label, const content::StreakValues& look,
                   int cost = 10, int damage = 100, float lifetime = -1.0f, float speed = -1.0f) {
        content::OrdnanceValues o;
        o.label = label;
        o.ammoCost = cost;
        o.damage[0] = damage;
        o.writeDamage = true;
        o.lifetime = lifetime;
        o.speed = speed;
        std::string text, error;
        ASSERT_TRUE(content::StreakOrdnanceText(o, look, {}, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    void AddGun(const std::string& name, const std::string& label, const std::string& ordnance, float reload = -1.0f) {
        content::WeaponValues w;
        w.label = label;
        w.ordnance = ordnance;
        w.reloadTime = reload;
        AddWeapon(name, w);
    }
    Target* At(float x, float y, float z, float radius = 2.0f) {
        Entity* e = NewRoot(2, 0, false);
        e->type = 1;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(Vector{x, y, z});
        t->radius = radius;
        GameObject_UpdateGrid();
        return t;
    }
    // A craft at the point aimed along +z with the named guns on the given mount slots.
    std::vector<Weapon*> Craft(const std::vector<std::pair<const char*, int>>& guns, float x, float y, float z,
                               int32_t ammo = 500) {
        Entity* root = NewRoot(1, 0, false);
        root->local = Aim(x, y, z, Vector{0, 0, 1});
        owner = GameObject_New<Target>(root, &NewClass(100, ammo));
        owner->SetPosition(Vector{x, y, z});
        owner->hardpoints = new HardpointList(owner);
        std::vector<Weapon*> out;
        for (const auto& [name, slot] : guns) {
            Entity* hardpoint = NewPart(root, ("hp_gun" + std::to_string(slot)).c_str());
            WeaponClass* cls = WeaponClass::Find(name);
            EXPECT_NE(cls, nullptr) << name;
            if (!cls) return out;
            Weapon* weapon = cls->Build(root, hardpoint);
            owner->hardpoints->SetWeapon(slot, hardpoint, weapon);
            weapon->UpdateMount(0.0f);
            out.push_back(weapon);
        }
        return out;
    }
    // One simulated frame in the game's order; the listed guns hold their triggers.
    static void Frame(float dt, const std::vector<Weapon*>& held) {
        for (Weapon* w : held) w->PullTrigger();
        Weapon_UpdateMountAll(dt);
        Ordnance_UpdateAll(dt);
        Weapon_UpdateAll(dt);
        Ordnance_StepAll(dt);
    }

    Target* owner = nullptr;
    RenderSeam savedRender_{};
    AudioSeam savedAudio_{};
    NetSeam savedNet_{};
};

content::StreakValues Look(float width, float segment, float jitter, float showTime = -1e30f) {
    content::StreakValues s;
    s.beamWidth = width;
    s.segmentLength = segment;
    s.jitter = jitter;
    s.beamSprite = "beam.0";
    s.showTime = showTime;
    return s;
}

TEST_F(BeamTest, TheLabelsGetTheirKindsAndPrototypeValues) {
    auto ordnance = [](const char* label) -> OrdnanceClass* {
        for (OrdnanceClass* p : OrdnanceClass::Prototypes())
            if (std::strcmp(p->label, label) == 0) return p;
        return nullptr;
    };
    auto weapon = [](const char* label) -> WeaponClass* {
        for (WeaponClass* p : WeaponClass::Prototypes())
            if (std::strcmp(p->label, label) == 0) return p;
        return nullptr;
    };
    auto* beam = dynamic_cast<BeamClass*>(ordnance("beam"));
    ASSERT_NE(beam, nullptr);
    EXPECT_EQ(dynamic_cast<BoltClass*>(beam), nullptr);
    EXPECT_FLOAT_EQ(beam->lifetime * beam->ordFloatParam, 200.0f) << "a 200 m reach";
    EXPECT_EQ(beam->ordIntParam, 10);
    EXPECT_EQ(beam->damage[0], 100);
    EXPECT_FLOAT_EQ(beam->jitter, 2.0f);
    auto* bolt = dynamic_cast<BoltClass*>(ordnance("bolt"));
    ASSERT_NE(bolt, nullptr);
    EXPECT_FLOAT_EQ(bolt->lifetime, 1.0f);
    EXPECT_FLOAT_EQ(bolt->ordFloatParam, 200.0f);
    EXPECT_FLOAT_EQ(bolt->jitter, 0.5f);
    EXPECT_FLOAT_EQ(bolt->showTime, 0.1f);
    EXPECT_NE(dynamic_cast<FlamePuffClass*>(ordnance("flamepuff")), nullptr);
    EXPECT_STREQ(dynamic_cast<BeamGunClass*>(weapon("beamgun"))->fireSound, "wlflame.wav");
    auto* charge = dynamic_cast<ChargeGunClass*>(weapon("chargegun"));
    ASSERT_NE(charge, nullptr);
    EXPECT_STREQ(charge->fireSound, "wlflame.wav");
    EXPECT_EQ(charge->chargeLevels.size(), 2u) << "one level and the rest entry";
}

// ---- beam -------------------------------------------------------------------------------------

TEST_F(BeamTest, ABeamGunWithAmmunitionForPartOfTheFrameFiresForThatPartAndThenStops) {
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    Target* target = At(0, 50, 30);
    auto guns = Craft({{"wbm", 0}}, 0, 50, 0, 3);
    ASSERT_EQ(guns.size(), 1u);
    auto* gun = static_cast<BeamGun*>(guns[0]);
    Frame(1.0f, guns);
    ASSERT_NE(gun->beam, nullptr);
    Beam* beam = gun->beam;
    // 3 units at 10 a second: 0.3 s of the 1 s frame (the beam waits out the rest of it).
    ASSERT_EQ(target->amounts.size(), 1u);
    EXPECT_NEAR(target->amounts[0], 30.0f, 1e-3f) << "100 a second for 0.3 s";
    EXPECT_EQ(owner->curAmmo, 3 - 10) << "the drain takes the whole frame's cost";
    // With nothing left the gun lets go; the beam dies at its next step.
    Frame(1.0f, guns);
    EXPECT_EQ(gun->beam, nullptr);
    EXPECT_EQ(beam->mountSlot, -1);
    EXPECT_TRUE(beam->IsDead());
    EXPECT_EQ(target->amounts.size(), 1u);
    Frame(1.0f, guns);
    EXPECT_FALSE(beam->IsLive());
}

TEST_F(BeamTest, TheDrainRoundsToWholeUnitsAndCarriesAFractionThatMayBeNegative) {
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    auto guns = Craft({{"wbm", 0}}, 0, 50, 0, 500);
    auto* gun = static_cast<BeamGun*>(guns[0]);
    // 10 a second in frames of 1/30 s: a third of a unit a frame.
    const struct {
        int taken;
        float fraction;
    } after[] = {{0, 1.0f / 3.0f}, {1, -1.0f / 3.0f}, {1, 0.0f}, {1, 1.0f / 3.0f}, {2, -1.0f / 3.0f}};
    int frame = 0;
    for (const auto& a : after) {
        Frame(1.0f / 30.0f, guns);
        ++frame;
        EXPECT_EQ(500 - owner->curAmmo, a.taken) << "frame " << frame;
        EXPECT_NEAR(gun->ammoFraction, a.fraction, 1e-4f) << "frame " << frame;
    }
    for (int i = 0; i < 25; ++i) Frame(1.0f / 30.0f, guns);
    EXPECT_NEAR(500 - owner->curAmmo, 10, 1) << "ten a second over a second";
}

TEST_F(BeamTest, TwoBeamGunsHoldTheirMountSlotsAndAnUnpackedSlotAboveFourIsNone) {
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    auto guns = Craft({{"wbm", 1}, {"wbm", 3}}, 0, 50, 0);
    Frame(1.0f / 30.0f, guns);
    auto* first = static_cast<BeamGun*>(guns[0]);
    auto* second = static_cast<BeamGun*>(guns[1]);
    ASSERT_NE(first->beam, nullptr);
    ASSERT_NE(second->beam, nullptr);
    EXPECT_NE(first->beam, second->beam);
    EXPECT_EQ(first->beam->mountSlot, 1);
    EXPECT_EQ(second->beam->mountSlot, 3);
    uint8_t packed[4] = {};
    EXPECT_EQ(second->beam->PackState(packed, sizeof packed), 1);
    EXPECT_EQ(packed[0], 3);
    EXPECT_EQ(second->beam->PackState(packed, 0), 0) << "no room";

    const struct {
        uint8_t byte;
        int slot;
    } cases[] = {{0, 0}, {4, 4}, {5, -1}, {0x7F, -1}, {0xFF, -1}, {0x80, -1}};
    Beam* beam = first->beam;
    for (const auto& c : cases) {
        EXPECT_EQ(beam->UnpackState(&c.byte, 1), 1);
        EXPECT_EQ(beam->mountSlot, c.slot) << int(c.byte);
    }
    EXPECT_EQ(beam->UnpackState(nullptr, 0), -1) << "a record cut short";
    EXPECT_EQ(beam->ordnanceClass->StateSize(packed, 1), 1);
    EXPECT_EQ(beam->ordnanceClass->StateSize(packed, 0), -1);
}

TEST_F(BeamTest, ABeamLivesOnAfterItsHitsAndDealsDamagePerSecond) {
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    Target* target = At(0, 50, 30);
    auto guns = Craft({{"wbm", 0}}, 0, 50, 0);
    Frame(0.05f, guns);
    Beam* beam = static_cast<BeamGun*>(guns[0])->beam;
    ASSERT_NE(beam, nullptr);
    for (int i = 0; i < 4; ++i) Frame(0.05f, guns);
    EXPECT_EQ(static_cast<BeamGun*>(guns[0])->beam, beam) << "one beam all along";
    EXPECT_FALSE(beam->IsDead());
    ASSERT_EQ(target->amounts.size(), 5u);
    for (float a : target->amounts) EXPECT_NEAR(a, 5.0f, 1e-4f);
    // It ends on the target's near side, about 30 m out, and starts at the muzzle.
    EXPECT_NEAR(Pos(beam->entity).z, 30.0f - 1.5f, 0.2f);
    EXPECT_NEAR(beam->start.z, 0.0f, 1e-3f);
    // Without a target it reaches 200 m.
    target->SetPosition(Vector{100, 50, 30});
    GameObject_UpdateGrid();
    Frame(0.05f, guns);
    EXPECT_NEAR(Pos(beam->entity).z, 200.0f, 0.01f);
}

TEST_F(BeamTest, ABeamWhoseMountIsGoneDiesAndTellsThePeersInAnIoMessage) {
    g_network = true;
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    auto guns = Craft({{"wbm", 2}}, 0, 50, 0);
    Frame(0.05f, guns);
    Beam* beam = static_cast<BeamGun*>(guns[0])->beam;
    ASSERT_NE(beam, nullptr);
    ASSERT_EQ(beam->netPlayer, 7);
    const uint16_t serial = beam->netSerial;
    ASSERT_NE(serial, 0);
    EXPECT_TRUE(g_sent.empty());
    // The mount is emptied: the beam finds no gun on its slot.
    owner->hardpoints->weapons[2] = nullptr;
    Ordnance_StepAll(0.05f);
    EXPECT_TRUE(beam->IsDead());
    ASSERT_EQ(g_sent.size(), 1u);
    const std::vector<uint8_t> expected{'i', 'o', 7, 0, static_cast<uint8_t>(serial & 0xFF),
                                        static_cast<uint8_t>(serial >> 8)};
    EXPECT_EQ(g_sent[0], expected);
    EXPECT_EQ(g_sent[0][0] | g_sent[0][1] << 8, 0x6F69);
    owner->hardpoints->weapons[2] = guns[0];

    // A receiver takes the body as "io": the beam it flies under that key dies at once.
    Frame(0.05f, guns);
    Beam* next = static_cast<BeamGun*>(guns[0])->beam;
    ASSERT_NE(next, nullptr);
    ASSERT_FALSE(next->IsDead());
    const uint8_t body[4] = {7, 0, static_cast<uint8_t>(next->netSerial & 0xFF), static_cast<uint8_t>(next->netSerial >> 8)};
    Ordnance_ReceiveExpire(body, sizeof body, 7, 0.0f);
    EXPECT_TRUE(next->IsDead());
}

TEST_F(BeamTest, ABeamsLaunchRecordCarriesItsSlotToTheOtherMachines) {
    g_network = true;
    Ordnance_SetFrameTimeForTest(0.05f);
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    auto guns = Craft({{"wbm", 3}}, 0, 50, 0);
    Frame(0.05f, guns);
    Beam* beam = static_cast<BeamGun*>(guns[0])->beam;
    ASSERT_NE(beam, nullptr);
    Ordnance_SendNew();
    ASSERT_EQ(g_queued.size(), 1u);
    const std::vector<uint8_t>& message = g_queued[0];
    // "RO", 8 name bytes, the placement, serial, owner, time and the slot byte.
    ASSERT_EQ(message.size(), 2u + 8u + 10u + 2u + 4u + 4u + 1u);
    EXPECT_EQ(message.back(), 3);
    // Another machine (here: the same one, under another sender) builds the beam with its slot.
    Ordnance_ReceiveNew(message.data() + 2, static_cast<int>(message.size()) - 2, 9);
    Ordnance* received = Ordnance_FindByKey(9, beam->netSerial);
    ASSERT_NE(received, nullptr);
    ASSERT_NE(received, beam);
    EXPECT_EQ(static_cast<Beam*>(received)->mountSlot, 3);
    EXPECT_EQ(received->netState, kOrdnanceNotSent);
}

TEST_F(BeamTest, AReceivedBeamOfAnotherPlayerDiesSilently) {
    g_network = true;
    AddStreak("bm", "beam", Look(0.1f, 2.0f, 0.0f));
    Beam* beam = dynamic_cast<Beam*>(OrdnanceClass::Find("bm")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    ASSERT_NE(beam, nullptr);
    Ordnance_Rekey(beam, 9, 4);
    beam->Step(0.05f);
    EXPECT_TRUE(beam->IsDead());
    EXPECT_TRUE(g_sent.empty()) << "only the owning player's machine sends the end";
}

TEST_F(BeamTest, ABeamDrawsCrossedQuadsAlongItsLengthInSegments) {
    AddStreak("bm", "beam", Look(0.25f, 2.0f, 0.0f));
    AddGun("wbm", "beamgun", "bm");
    auto guns = Craft({{"wbm", 0}}, 0, 50, 10);
    At(0, 50, 17);  // 7 m out; the beam (as thick as it is wide) stops 1.75 m short
    Frame(0.05f, guns);
    Beam* beam = static_cast<BeamGun*>(guns[0])->beam;
    ASSERT_NE(beam, nullptr);
    const float length = Pos(beam->entity).z - beam->start.z;
    ASSERT_NEAR(length, 5.25f, 0.01f);
    beam->Render(nullptr);
    ASSERT_EQ(g_quads.size(), 6u) << "three segments (2, 2 and the shorter rest), two quads each";
    for (const Quad& q : g_quads) EXPECT_EQ(q.sprite, Seam_Render().spriteFind("beam.0"));
    // The first quad lies across the right axis, the second across the up axis, 0.25 each side.
    EXPECT_NEAR(g_quads[0].corners[0][0] - g_quads[0].corners[1][0], 0.5f, 1e-4f);
    EXPECT_NEAR(g_quads[1].corners[0][1] - g_quads[1].corners[1][1], 0.5f, 1e-4f);
    EXPECT_NEAR(g_quads[0].corners[2][2] - g_quads[0].corners[1][2], 2.0f, 1e-4f) << "a whole segment first";
    EXPECT_NEAR(g_quads[5].corners[2][2], Pos(beam->entity).z, 1e-3f) << "the last segment ends at the beam's end";
}

TEST_F(BeamTest, AStreakOfATinySegmentLengthIsDrawnInABoundedNumberOfSegments) {
    AddStreak("bm", "beam", Look(0.1f, 0.0001f, 0.0f));
    AddStreak("bz", "beam", Look(0.1f, 0.0f, 0.0f));
    for (const char* name : {"bm", "bz"}) {
        g_quads.clear();
        Beam* beam = dynamic_cast<Beam*>(OrdnanceClass::Find(name)->Build(Aim(0, 0, 10, {0, 0, 1}), nullptr));
        beam->entity->local.posit.z = 110.0;
        beam->Render(nullptr);
        EXPECT_LE(g_quads.size(), 2u * kStreakMostSegments) << name;
        EXPECT_GE(g_quads.size(), 2u) << name;
    }
}

// ---- bolt -------------------------------------------------------------------------------------

TEST_F(BeamTest, ABoltSeedsTheRandomTableFromItsId) {
    const struct {
        uint16_t id;
        uint8_t seed;
    } cases[] = {{0, 0}, {1, 33}, {2, 66}, {0xFF, 240}, {0x1234, 247}, {0xFFFF, 0}};
    for (const auto& c : cases) EXPECT_EQ(Bolt::ShapeSeed(c.id), c.seed) << c.id;
}

TEST_F(BeamTest, ABoltStrikesAtOnceRaisesTheForceFlagAndKeepsItsShapeWhileItFades) {
    AddStreak("bt", "bolt", Look(0.4f, 3.0f, 0.8f, 0.2f), 10, 60, 1.0f, 200.0f);
    Target* target = At(0, 0, 40);
    Bolt* bolt = dynamic_cast<Bolt*>(OrdnanceClass::Find("bt")->Build(Aim(0, 0, 10, {0, 0, 1}), nullptr));
    ASSERT_NE(bolt, nullptr);
    EXPECT_EQ(g_forced, 1);
    ASSERT_EQ(target->amounts.size(), 1u) << "hit at its launch";
    EXPECT_FLOAT_EQ(target->amounts[0], 60.0f);
    EXPECT_FALSE(bolt->IsDead());
    EXPECT_FLOAT_EQ(bolt->lifeLeft, 0.2f);
    EXPECT_NEAR(Pos(bolt->entity).z, 40.0f - 1.5f, 0.2f);

    bolt->netSerial = 0x1234;
    RandomTable_SetIndex(99);
    bolt->Render(nullptr);
    const std::vector<Quad> first = g_quads;
    ASSERT_GE(first.size(), 2u * 10u);
    g_quads.clear();
    RandomTable_SetIndex(5);  // whatever drew in between
    Ordnance_UpdateAll(0.05f);
    bolt->Render(nullptr);
    ASSERT_EQ(g_quads.size(), first.size());
    // Same points, a quarter narrower: the quads' midlines agree, their half-widths shrink.
    for (size_t i = 0; i < first.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            const float midBefore = (first[i].corners[0][k] + first[i].corners[1][k]) * 0.5f;
            const float midAfter = (g_quads[i].corners[0][k] + g_quads[i].corners[1][k]) * 0.5f;
            EXPECT_NEAR(midBefore, midAfter, 1e-4f) << i;
        }
        auto half = [](const Quad& q) {
            float s = 0.0f;
            for (int k = 0; k < 3; ++k) s += (q.corners[0][k] - q.corners[1][k]) * (q.corners[0][k] - q.corners[1][k]);
            return std::sqrt(s) * 0.5f;
        };
        EXPECT_NEAR(half(first[i]), 0.4f, 1e-4f);
        EXPECT_NEAR(half(g_quads[i]), 0.3f, 1e-4f);
    }
    // The intermediate points are jagged.
    float off = 0.0f;
    for (size_t i = 0; i + 2 < first.size(); i += 2) off += std::fabs(first[i].corners[3][0] + first[i].corners[2][0]);
    EXPECT_GT(off, 0.1f);
}

TEST_F(BeamTest, ABoltExpiresAfterItsShowTimeWithoutBeingDrawn) {
    AddStreak("bt", "bolt", Look(0.4f, 3.0f, 0.5f, 0.1f), 10, 60, 1.0f, 200.0f);
    Bolt* bolt = dynamic_cast<Bolt*>(OrdnanceClass::Find("bt")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    ASSERT_NE(bolt, nullptr);
    Ordnance_StepAll(0.04f);
    EXPECT_FLOAT_EQ(bolt->lifeLeft, 0.1f) << "its step moves nothing and counts nothing";
    Ordnance_UpdateAll(0.04f);
    Ordnance_UpdateAll(0.04f);
    EXPECT_FALSE(bolt->IsDead());
    Ordnance_UpdateAll(0.04f);
    EXPECT_TRUE(bolt->IsDead());
    EXPECT_TRUE(bolt->IsLive());
    Ordnance_UpdateAll(0.04f);
    EXPECT_FALSE(bolt->IsLive()) << "removed: it leaves the launch records";
    EXPECT_TRUE(g_quads.empty());
}

// ---- flame puff -------------------------------------------------------------------------------

TEST_F(BeamTest, AFlamePuffStepsItsFramesAndAFrameCountOfOneNeverChanges) {
    const struct {
        const char* what;
        int count;
        float frameTime;
        int steps;
        float dt;
        int frameAfter;  // frames past the first
    } cases[] = {
        {"one frame", 1, 0.1f, 20, 0.1f, 0},
        {"four frames, stepped one a step", 4, 0.1f, 2, 0.1f, 2},
        {"four frames, held at the last", 4, 0.1f, 10, 0.1f, 3},
        {"a long step crosses several", 8, 0.1f, 1, 0.35f, 3},
        {"no frame time: the last at once", 6, 0.0f, 1, 0.01f, 5},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "fl" + std::to_string(n++);
        content::OrdnanceValues o;
        o.label = "flamepuff";
        o.speed = 10.0f;
        o.lifetime = 100.0f;
        content::FlameValues f;
        f.puffSize = 1.5f;
        f.frameTime = c.frameTime;
        f.firstFrame = "flame.0";
        f.frameCount = c.count;
        std::string text, error;
        ASSERT_TRUE(content::StreakOrdnanceText(o, {}, f, &text, &error)) << error;
        AddFile(name + ".odf", text);
        auto* puff = dynamic_cast<FlamePuff*>(OrdnanceClass::Find(name.c_str())->Build(Aim(0, 50, 10, {0, 0, 1}), nullptr));
        ASSERT_NE(puff, nullptr) << c.what;
        const int first = Seam_Render().spriteFind("flame.0");
        EXPECT_EQ(puff->frame, first) << c.what;
        EXPECT_FLOAT_EQ(puff->entity->boundsRadius, 1.5f) << c.what;
        for (int i = 0; i < c.steps; ++i) puff->Step(c.dt);
        EXPECT_EQ(puff->frame - first, c.frameAfter) << c.what;
        g_billboards.clear();
        puff->Render(nullptr);
        ASSERT_EQ(g_billboards.size(), 1u) << c.what;
        EXPECT_EQ(g_billboards[0], puff->frame) << c.what;
    }
}

// ---- charge gun -------------------------------------------------------------------------------

class ChargeGunTest : public BeamTest {
protected:
    // Levels of the given costs (none for 0), charge times 0.5 s apart, salvo counts 1, 2, 3...
    void AddCharge(const std::string& name, const std::vector<int>& costs, float interval = 0.05f) {
        content::ChargeValues c;
        c.basePitch = 10000.0f;
        c.pitchPerSecond = 2000.0f;
        c.baseVolume = 50.0f;
        c.volumePerSecond = 10.0f;
        c.levelCount = static_cast<int>(costs.size());
        for (size_t i = 0; i < costs.size(); ++i) {
            const std::string shot = name + "s" + std::to_string(i + 1);
            content::OrdnanceValues o;
            o.ammoCost = costs[i];
            o.speed = 100.0f;
            o.lifetime = 2.0f;
            AddOrdnance(shot, o);
            content::ChargeLevelValues l;
            l.chargeTime = 0.5f * static_cast<float>(i + 1);
            l.salvoCount = static_cast<int>(i + 1);
            l.salvoInterval = interval;
            l.sound = "lvl" + std::to_string(i + 1) + ".wav";
            l.ordnance = shot;
            l.icon = "lvlicon." + std::to_string(i + 1);
            c.levels.push_back(l);
        }
        content::WeaponValues w;
        w.label = "chargegun";
        w.sprites[1] = "classicon";
        std::string text, error;
        ASSERT_TRUE(content::ChargeGunText(w, c, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    ChargeGun* Gun(const char* name, int32_t ammo = 500) {
        auto guns = Craft({{name, 0}}, 0, 50, 0, ammo);
        return guns.empty() ? nullptr : dynamic_cast<ChargeGun*>(guns[0]);
    }
    static int Icon(const std::string& name) { return Seam_Render().spriteFind(name.c_str()); }
};

TEST_F(ChargeGunTest, TheLevelsAreReadFromNumberedKeysAndTheCountIsBounded) {
    AddCharge("wch", {5, 10, 20});
    auto* cls = dynamic_cast<ChargeGunClass*>(WeaponClass::Find("wch"));
    ASSERT_NE(cls, nullptr);
    ASSERT_EQ(cls->levelCount, 3);
    ASSERT_EQ(cls->chargeLevels.size(), 4u);
    EXPECT_EQ(cls->ordnanceClass, nullptr) << "uncharged, it has nothing to fire";
    EXPECT_EQ(cls->chargeLevels[0].ordnance, nullptr);
    EXPECT_EQ(cls->chargeLevels[0].icon, Icon("classicon"));
    for (int i = 1; i <= 3; ++i) {
        const ChargeGunLevel& l = cls->chargeLevels[static_cast<size_t>(i)];
        EXPECT_FLOAT_EQ(l.chargeTime, 0.5f * static_cast<float>(i));
        EXPECT_EQ(l.salvoCount, i);
        EXPECT_STREQ(l.sound, ("lvl" + std::to_string(i) + ".wav").c_str());
        ASSERT_NE(l.ordnance, nullptr);
        EXPECT_EQ(l.ordnance->ordIntParam, std::vector<int>({5, 10, 20})[static_cast<size_t>(i - 1)]);
        EXPECT_EQ(l.icon, Icon("lvlicon." + std::to_string(i)));
    }
    EXPECT_FLOAT_EQ(cls->basePitch, 10000.0f);

    // Counts from a file: above 99 held at 99, below 0 none; missing level keys take the defaults
    // and the previous icon.
    const struct {
        int count;
        int32_t levels;
    } counts[] = {{500, 99}, {99, 99}, {-3, 0}, {0, 0}};
    int n = 0;
    for (const auto& c : counts) {
        content::ChargeValues v;
        v.levelCount = c.count;
        content::WeaponValues w;
        w.label = "chargegun";
        w.sprites[1] = "classicon";
        std::string text, error;
        ASSERT_TRUE(content::ChargeGunText(w, v, &text, &error)) << error;
        const std::string name = "wcn" + std::to_string(n++);
        AddFile(name + ".odf", text);
        auto* counted = dynamic_cast<ChargeGunClass*>(WeaponClass::Find(name.c_str()));
        ASSERT_NE(counted, nullptr);
        EXPECT_EQ(counted->levelCount, c.levels) << c.count;
        ASSERT_EQ(counted->chargeLevels.size(), static_cast<size_t>(c.levels) + 1) << c.count;
        if (c.levels > 0) {
            const ChargeGunLevel& last = counted->chargeLevels.back();
            EXPECT_FLOAT_EQ(last.chargeTime, 0.2f * static_cast<float>(c.levels));
            EXPECT_EQ(last.salvoCount, 1);
            EXPECT_FLOAT_EQ(last.salvoInterval, 0.1f);
            EXPECT_EQ(last.ordnance, nullptr);
            EXPECT_EQ(last.icon, Icon("classicon"));
        }
    }
}

TEST_F(ChargeGunTest, ReleasedBeforeTheFirstLevelItFiresNothingAndRests) {
    AddCharge("wch", {5, 10});
    ChargeGun* gun = Gun("wch");
    ASSERT_NE(gun, nullptr);
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 4; ++i) Frame(0.1f, held);  // 0.4 s: short of the first level's 0.5 s
    EXPECT_EQ(gun->current, 0);
    EXPECT_NEAR(gun->shotClock, 0.4f, 1e-5f);
    Frame(0.1f, {});
    EXPECT_EQ(gun->current, 0);
    EXPECT_EQ(gun->shotsLeft, 0);
    EXPECT_FLOAT_EQ(gun->shotClock, 0.0f);
    EXPECT_EQ(gun->ordnanceClass, nullptr);
    EXPECT_EQ(g_loopStops, 1) << "the charge sound stops";
    for (int i = 0; i < 5; ++i) Frame(0.1f, {});
    EXPECT_TRUE(Ordnance_LiveList().empty());
    EXPECT_EQ(owner->curAmmo, 500);
}

TEST_F(ChargeGunTest, ItHoldsAtALevelWhoseNextOrdnanceItCannotAfford) {
    AddCharge("wch", {5, 20, 30});
    ChargeGun* gun = Gun("wch", 15);
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 20; ++i) Frame(0.1f, held);
    EXPECT_EQ(gun->current, 1);
    EXPECT_NEAR(gun->shotClock, 0.5f, 1e-5f) << "the clock stopped when the first level was reached";
    EXPECT_EQ(gun->sprite2, Icon("lvlicon.1"));

    // With nothing affordable at all it never leaves rest, and letting go fires nothing.
    AddCharge("wcp", {50});
    ChargeGun* poor = Gun("wcp", 15);
    held = {poor};
    for (int i = 0; i < 10; ++i) Frame(0.1f, held);
    EXPECT_EQ(poor->current, 0);
    EXPECT_FLOAT_EQ(poor->shotClock, 0.0f);
}

TEST_F(ChargeGunTest, TheSalvoFiresItsCountAtItsIntervalWithEachShotsCatchUp) {
    AddCharge("wch", {5, 10, 20}, 0.05f);
    ChargeGun* gun = Gun("wch");
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 20; ++i) Frame(0.1f, held);  // 2 s: the last level, held there
    ASSERT_EQ(gun->current, 3);
    EXPECT_FLOAT_EQ(gun->shotClock, 1.5f);
    EXPECT_EQ(gun->sprite2, Icon("lvlicon.3"));
    // Let go: the salvo is set up this frame and fires from the next.
    Frame(0.1f, {});
    EXPECT_EQ(gun->shotsLeft, 3);
    EXPECT_TRUE(Ordnance_LiveList().empty());
    g_sounds.clear();
    // The craft moves: a shot that fell due earlier in the frame leaves from where the muzzle was
    // then.
    const Vector velocity{4.0f, 0.0f, -2.0f};
    owner->euler.velocity = velocity;
    // Watch the shots as the gun fires them, before they step.
    std::vector<DVector> launched;
    auto fireFrame = [&] {
        Weapon_UpdateMountAll(0.1f);
        Ordnance_UpdateAll(0.1f);
        const size_t before = Ordnance_LiveList().size();
        Weapon_UpdateAll(0.1f);
        std::vector<float> catchUps;
        launched.clear();
        auto it = Ordnance_LiveList().begin();
        for (size_t i = before; i < Ordnance_LiveList().size(); ++i, ++it) {
            catchUps.insert(catchUps.begin(), (*it)->catchUp);
            launched.insert(launched.begin(), (*it)->launchMatrix.posit);
        }
        Ordnance_StepAll(0.1f);
        return catchUps;
    };
    const std::vector<float> first = fireFrame();
    ASSERT_EQ(first.size(), 2u) << "0.1 s of a 0.05 s interval";
    EXPECT_NEAR(first[0], 0.0f, 1e-5f);
    EXPECT_NEAR(first[1], -0.05f, 1e-5f);
    ASSERT_EQ(launched.size(), 2u);
    // The first fell due 0.05 s before the second: 0.05 s of the craft's velocity behind it.
    EXPECT_NEAR(launched[1].x - launched[0].x, 0.05 * velocity.x, 1e-4);
    EXPECT_NEAR(launched[1].y - launched[0].y, 0.0, 1e-4);
    EXPECT_NEAR(launched[1].z - launched[0].z, 0.05 * velocity.z, 1e-4);
    ASSERT_EQ(g_sounds.size(), 1u);
    EXPECT_EQ(g_sounds[0], "lvl3.wav/2048") << "the level's sound, once";
    const std::vector<float> second = fireFrame();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NEAR(second[0], 0.0f, 1e-5f);
    EXPECT_EQ(g_sounds.size(), 1u);
    EXPECT_EQ(gun->current, 0) << "back at rest";
    EXPECT_EQ(gun->shotsLeft, 0);
    EXPECT_EQ(gun->sprite2, Icon("classicon"));
    EXPECT_EQ(owner->curAmmo, 500 - 3 * 20);
    EXPECT_TRUE(fireFrame().empty());
}

TEST_F(ChargeGunTest, ASalvoThatRunsOutOfAmmunitionEndsAtRest) {
    AddCharge("wch", {5, 10, 20}, 0.05f);
    ChargeGun* gun = Gun("wch", 45);
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 20; ++i) Frame(0.1f, held);
    ASSERT_EQ(gun->current, 3);
    Frame(0.1f, {});
    for (int i = 0; i < 3; ++i) Frame(0.1f, {});
    EXPECT_EQ(owner->curAmmo, 5) << "two shots of 20; the third is not affordable";
    EXPECT_EQ(gun->current, 0);
    EXPECT_EQ(gun->shotsLeft, 0);
}

TEST_F(ChargeGunTest, ThePitchAndVolumeRiseWithTheChargeAndHoldAtTheLastLevel) {
    AddCharge("wch", {5, 10});
    ChargeGun* gun = Gun("wch");
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 14; ++i) Frame(0.1f, held);
    ASSERT_EQ(g_pitchVolume.size(), 14u);
    int started = 0;
    for (const std::string& s : g_sounds) started += s == "wlflame.wav/8193";
    EXPECT_EQ(started, 1) << "started once, then kept";
    for (size_t i = 0; i < g_pitchVolume.size(); ++i) {
        const float clock = std::min(0.1f * static_cast<float>(i + 1), 1.0f);
        EXPECT_EQ(g_pitchVolume[i].first, std::lround(10000.0f + 2000.0f * clock)) << i;
        EXPECT_EQ(g_pitchVolume[i].second, std::lround(50.0f + 10.0f * clock)) << i;
    }
    // The icon follows the entry reached.
    EXPECT_EQ(gun->sprite2, Icon("lvlicon.2"));
}

TEST_F(ChargeGunTest, TheUnitAiReadsTheLevelsAndTheStateOfAChargeGun) {
    AddCharge("wch", {5, 10});
    ChargeGun* gun = Gun("wch");
    std::vector<Weapon*> held{gun};
    for (int i = 0; i < 6; ++i) Frame(0.1f, held);
    ChargeGunState state;
    ASSERT_TRUE(UnitTask_Hooks().chargeGun(gun, &state));
    ASSERT_EQ(state.levels.size(), 3u);
    EXPECT_EQ(state.current, 1);
    EXPECT_NEAR(state.chargeClock, 0.6f, 1e-5f);
    EXPECT_EQ(state.levels[2].salvoCount, 2);
    EXPECT_EQ(state.levels[2].ordnance->ordIntParam, 10);
    EXPECT_FALSE(UnitTask_Hooks().chargeGun(owner->hardpoints->weapons[1], &state));
}

}  // namespace
