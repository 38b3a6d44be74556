// The sample world's arms as the game loads them: the craft carry no more weapons than they have
// mounts, the fight's craft a cannon and a rocket launcher each, and every sound a sample weapon,
// its ordnance or its blasts play (their own or the one their kind falls back to) is in the data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "content.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/registration.h"
#include "Objkr/entitysvc.h"
#include "core/helpers.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/hardpoints.h"
#include "mission_writer.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "weapon_definitions.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"
#include "support/sample_world.h"

namespace fs = std::filesystem;

namespace {

class SampleArmsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_UseVirtualClock(1000);
        Error_ResetForTests();
        std::string pattern = (fs::temp_directory_path() / "gv_arms_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
        std::string error;
        ASSERT_TRUE(SampleWorld_CopyTo(scratch_ + "/data", &error)) << error;
        fs::create_directories(scratch_ + "/profile");
        world_ = std::make_unique<content::HeadlessWorld>(scratch_ + "/data", scratch_ + "/profile");
        ASSERT_TRUE(world_->Ready());
        Weapons_InstallSeam();  // the classes find their weapons as in the game
    }
    void TearDown() override {
        world_.reset();
        Error_ResetForTests();
        Plat_UseRealClock();
        Plat_Shutdown();
        std::error_code ec;
        fs::remove_all(scratch_, ec);
    }

    std::string scratch_;
    std::unique_ptr<content::HeadlessWorld> world_;
};

std::string Sound(const char (&name)[16]) { return std::string(name, strnlen(name, sizeof name)); }

TEST_F(SampleArmsTest, TheFightsCraftCarryACannonAndARocketLauncherWithinTheirMounts) {
    struct Craft {
        const char* name;
        int mounts;
    };
    // The player's tank and both sides' tanks and scouts.
    const Craft fighters[] = {{"player", 3}, {"avtank", 3}, {"avscout", 2}};
    for (const Craft& c : fighters) {
        SCOPED_TRACE(c.name);
        GameObjectClass* cls = GameObjectClass::Find(c.name);
        ASSERT_NE(cls, nullptr);
        int mounts = 0, armed = 0, cannons = 0, rockets = 0;
        for (int i = 0; i < kHardpointCount; ++i) {
            if (cls->hardpointNames[i][0]) ++mounts;
            WeaponClass* weapon = cls->weaponClasses[i];
            if (!weapon) continue;
            ++armed;
            EXPECT_NE(cls->hardpointNames[i][0], '\0') << "a weapon on slot " << i << " without a mount";
            ASSERT_NE(weapon->ordnanceClass, nullptr) << weapon->nameText;
            if (weapon->weaponKind == kWeaponKindCannon && weapon->signature == Signature("CANN")) ++cannons;
            if (weapon->weaponKind == kWeaponKindRocket && weapon->ordnanceClass->signature == Signature("RCKT"))
                ++rockets;
            // A craft's full ammunition fires many rounds of each of its weapons.
            EXPECT_GE(cls->ammo, 100 * weapon->ordnanceClass->ordIntParam) << weapon->nameText;
        }
        EXPECT_EQ(mounts, c.mounts);
        EXPECT_EQ(armed, 2);
        EXPECT_EQ(cannons, 1);
        EXPECT_EQ(rockets, 1);
    }
    // The other armed sample classes stay within their mounts too.
    for (const char* name : {"aspilo", "asuser", "avdisp"}) ASSERT_NE(GameObjectClass::Find(name), nullptr) << name;
    for (GameObjectClass* cls : GameObjectClass_Loaded())
        for (int i = 0; i < kHardpointCount; ++i)
            if (cls->weaponClasses[i]) {
                EXPECT_NE(cls->hardpointNames[i][0], '\0') << cls->defName << " slot " << i;
            }
}

TEST_F(SampleArmsTest, EverySoundASampleWeaponPlaysIsInTheData) {
    std::vector<content::NamedDefinition> definitions;
    std::string error;
    ASSERT_TRUE(content::WeaponDefinitions(&definitions, &error)) << error;
    std::map<std::string, std::string> heard;  // sound -> who plays it
    auto add = [&](const std::string& sound, const std::string& who) {
        if (!sound.empty()) heard.emplace(sound, who);
    };
    auto blasts = [&](OrdnanceClass* ordnance) {
        add(Sound(ordnance->flightSound), ordnance->nameText);
        for (ExplosionClass* x : {ordnance->explosionDefault, ordnance->explosionTypeA, ordnance->explosionTypeB})
            if (x) add(Sound(x->explosionSound), x->nameText);
    };
    int weapons = 0;
    for (const content::NamedDefinition& d : definitions) {
        const std::string stem = d.name.substr(0, d.name.rfind('.'));
        if (d.text.find("[WeaponClass]") != std::string::npos) {
            WeaponClass* weapon = WeaponClass::Find(stem.c_str());
            ASSERT_NE(weapon, nullptr) << stem;
            ++weapons;
            add(Sound(weapon->fireSound), stem);
            if (weapon->ordnanceClass) blasts(weapon->ordnanceClass);
        } else if (d.text.find("[OrdnanceClass]") != std::string::npos) {
            if (OrdnanceClass* ordnance = OrdnanceClass::Find(stem.c_str())) blasts(ordnance);
        } else if (d.text.find("[ExplosionClass]") != std::string::npos) {
            if (ExplosionClass* x = ExplosionClass::Find(stem.c_str())) add(Sound(x->explosionSound), stem);
        }
    }
    EXPECT_GT(weapons, 10);
    for (const auto& [sound, who] : heard) EXPECT_TRUE(Cache_ItemExists(sound.c_str())) << sound << " of " << who;

    // The fight is heard: the shots of both its weapons and the blasts where they strike.
    for (const char* name : {"wcannon", "wrocket"}) {
        WeaponClass* weapon = WeaponClass::Find(name);
        ASSERT_NE(weapon, nullptr) << name;
        EXPECT_NE(Sound(weapon->fireSound), "") << name;
        for (ExplosionClass* x : {weapon->ordnanceClass->explosionDefault, weapon->ordnanceClass->explosionTypeA})
            EXPECT_NE(Sound(x->explosionSound), "") << name << " " << x->nameText;
    }
}

// No sample round bursts in the blast of a craft dying when it strikes a craft: every ordnance,
// those a weapon file carries with it included, strikes a craft with a blast of its own (or
// none); the larger rounds' strikes are heard.
TEST_F(SampleArmsTest, NoRoundStrikesACraftWithTheBlastOfACraftDying) {
    std::vector<content::NamedDefinition> definitions;
    std::string error;
    ASSERT_TRUE(content::WeaponDefinitions(&definitions, &error)) << error;
    for (const content::NamedDefinition& d : definitions) {
        const std::string stem = d.name.substr(0, d.name.rfind('.'));
        if (d.text.find("[WeaponClass]") != std::string::npos) {
            ASSERT_NE(WeaponClass::Find(stem.c_str()), nullptr) << stem;
        } else if (d.text.find("[OrdnanceClass]") != std::string::npos) {
            ASSERT_NE(OrdnanceClass::Find(stem.c_str()), nullptr) << stem;
        }
    }
    // What a craft's death sets off, plain and rich.
    const std::set<std::string> deathBlasts = {"xcarxpl", "xcarxpla", "xcarxplb"};
    int rounds = 0, striking = 0;
    for (OrdnanceClass* ordnance : OrdnanceClass::Loaded()) {
        ++rounds;
        const ExplosionClass* strike = ordnance->explosionTypeA;
        if (!strike) continue;
        ++striking;
        EXPECT_EQ(deathBlasts.count(strike->nameText), 0u) << ordnance->nameText << " strikes in " << strike->nameText;
    }
    EXPECT_GT(rounds, 10);
    EXPECT_GT(striking, 5);
    // The rocket's, the guided missile's and the bolt's strikes are heard.
    for (const char* name : {"rocket", "missile1", "bolt"}) {
        OrdnanceClass* ordnance = OrdnanceClass::Find(name);
        ASSERT_NE(ordnance, nullptr) << name;
        ASSERT_NE(ordnance->explosionTypeA, nullptr) << name;
        const std::string sound = Sound(ordnance->explosionTypeA->explosionSound);
        EXPECT_NE(sound, "") << name;
        EXPECT_TRUE(Cache_ItemExists(sound.c_str())) << name << " " << sound;
    }
}

// Each armed sample craft and person hangs every gun on a hardpoint of its own, found in its
// model by the slot's name, of a kind that takes the gun; the guns sit at distinct points, and
// the fight's craft fire each round from its own gun's point (the tank's cannon from its barrel,
// its rockets from their rack).
TEST_F(SampleArmsTest, EachGunHangsOnItsOwnHardpointAndFiresFromIt) {
    auto worldPosition = [](const Entity* e) {
        Matrix m;
        Entity_GetTransformTo(m, e, nullptr);
        return m.posit;
    };
    auto apart = [](const DVector& a, const DVector& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); };
    struct Armed {
        const char* name;
        bool fires;  // the fight's craft: each of its guns is fired
    };
    const Armed armed[] = {{"player", true}, {"avtank", true},  {"avscout", true},
                           {"aspilo", false}, {"asuser", false}, {"avdisp", false}};
    for (const Armed& a : armed) {
        SCOPED_TRACE(a.name);
        GameObjectClass* cls = GameObjectClass::Find(a.name);
        ASSERT_NE(cls, nullptr);
        Matrix at = kIdentityMatrix;
        at.posit = DVector{100.0, 50.0, 100.0};
        GameObject* object = GameObjectClass::Build(cls, at, 1, false, 0, nullptr);
        ASSERT_NE(object, nullptr);
        ASSERT_NE(object->hardpoints, nullptr);
        const HardpointList& list = *object->hardpoints;
        Weapon_UpdateMountAll(0.0f);
        std::vector<const Entity*> mounts;
        for (int i = 0; i < kHardpointCount; ++i) {
            Weapon* gun = list.weapons[i];
            if (!gun) continue;
            SCOPED_TRACE(gun->weaponClass->nameText);
            Entity* mount = list.hardpoints[i];
            ASSERT_NE(mount, nullptr);
            EXPECT_EQ(gun->mount, mount);
            EXPECT_EQ(Text_CompareNoCaseN(mount->name, cls->hardpointNames[i], 3), 0) << mount->name;
            const Entity* top = mount;
            while (Entity_GetParent(top)) top = Entity_GetParent(top);
            EXPECT_EQ(top, object->entity) << "the hardpoint is a part of the craft's own model";
            // A gun of a kind sits on a hardpoint of that kind, or on one that takes any.
            const int32_t kind = gun->weaponClass->weaponKind;
            EXPECT_TRUE(kind == kWeaponKindOther || mount->type == kWeaponKindOther || mount->type == kind)
                << "kind " << kind << " on hardpoint type " << mount->type;
            for (const Entity* other : mounts) {
                EXPECT_NE(other, mount) << "two guns on one hardpoint";
                EXPECT_GT(apart(worldPosition(other), worldPosition(mount)), 1.0) << "two guns at one point";
            }
            mounts.push_back(mount);
            if (!a.fires) continue;
            const size_t before = Ordnance_LiveList().size();
            gun->PullTrigger();
            gun->Update(0.1f);
            gun->ReleaseTrigger();
            ASSERT_EQ(Ordnance_LiveList().size(), before + 1) << "one round fired";
            const Ordnance* round = Ordnance_LiveList().front();
            EXPECT_LT(apart(round->entity->local.posit, worldPosition(mount)), 0.5) << "the round leaves its gun's point";
        }
        EXPECT_FALSE(mounts.empty());
    }
    Ordnance_DeleteAll();
    GameObject_DiscardLoaded();  // the craft built here
}

}  // namespace
