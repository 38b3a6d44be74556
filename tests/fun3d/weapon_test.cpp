#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/registration.h"
#include "core/seams/render.h"
#include "core/seams/weapons.h"
#include "weapons/firedue.h"
#include "weapons/weapon.h"
#include "weapons_fixture.h"

namespace {

std::vector<std::string> g_log;

// A weapon that counts its updates.
class CountingWeapon : public Weapon {
public:
    using Weapon::Weapon;
    void Update(float) override { ++updates; }
    int updates = 0;
};

// Records its own deletion, to see the order records are freed in.
class LoggedClass : public WeaponClass {
public:
    LoggedClass(WeaponClass* from, const char* name) : WeaponClass(from, ClassName_From(name)) {}
    ~LoggedClass() override { g_log.push_back(nameText); }
};

WeaponClass* BasePrototype() {
    for (WeaponClass* p : WeaponClass::Prototypes())
        if (std::strcmp(p->label, "weapon") == 0) return p;
    return nullptr;
}

class WeaponTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        g_log.clear();
    }
    static content::WeaponValues Plain(const std::string& kind = "") {
        content::WeaponValues v;
        v.kind = kind;
        return v;
    }
};

TEST_F(WeaponTest, PrototypesFollowTheRegistrationTable) {
    const auto& prototypes = WeaponClass::Prototypes();
    const auto table = Registration_WeaponClasses();
    ASSERT_EQ(prototypes.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(prototypes[i]->label, table[i].label) << i;
        EXPECT_EQ(prototypes[i]->signature, table[i].signature) << table[i].label;
        EXPECT_EQ(prototypes[i]->prototype, prototypes[i]) << "a prototype names itself";
    }
    EXPECT_EQ(&WeaponClass::Prototypes(), &prototypes) << "made once";
}

TEST_F(WeaponTest, FindLoadsANameOnceAndRefusesEmptyOrUnknownOnes) {
    AddWeapon("gblank", Plain());
    content::WeaponValues odd = Plain();
    odd.label = "nosuchkind";
    AddWeapon("godd", odd);

    const char zeros[8] = {};
    const char highBits[8] = {'\x80', '\x80', '\x80', '\x80', '\x80', '\x80', '\x80', '\x80'};
    EXPECT_EQ(WeaponClass::Find(zeros), nullptr);
    EXPECT_EQ(WeaponClass::Find(highBits), nullptr);
    EXPECT_EQ(Loads(), 0) << "an empty name opens no file";

    WeaponClass* blank = WeaponClass::Find("gblank");
    ASSERT_NE(blank, nullptr);
    EXPECT_STREQ(blank->fileName, "gblank.odf");
    EXPECT_STREQ(blank->label, "weapon");
    EXPECT_EQ(blank->signature, Signature("WEPN"));
    EXPECT_EQ(blank->prototype, BasePrototype());
    const int loads = Loads();
    const char highB[] = {'g', static_cast<char>('b' | 0x80), 'l', 'a', 'n', 'k', 0};
    EXPECT_EQ(WeaponClass::Find(highB), blank) << "bit 7 is not part of the name";
    EXPECT_EQ(WeaponClass::Find("gblank"), blank);
    EXPECT_EQ(Loads(), loads) << "a second look-up opens nothing";

    EXPECT_EQ(WeaponClass::Find("godd"), nullptr) << "a label no prototype has";
    EXPECT_EQ(WeaponClass::Find("gnone"), nullptr) << "no file";
    EXPECT_EQ(WeaponClass::Loaded().size(), 1u);
}

TEST_F(WeaponTest, TheKindComesFromTheFirstFourCharactersInAnyCase) {
    struct Case {
        const char* name;
        const char* kind;  // "" leaves the key out
        int32_t expected;
    } cases[] = {{"grock", "rocketx", 72}, {"gspec", "spec", 74}, {"gspec2", "SPEC", 74},
                 {"gcann", "CANNON", 71},  {"gmort", "mortar", 73}, {"gnokind", "", 70},
                 {"gxyz", "xyz", 70}};
    for (const Case& c : cases) AddWeapon(c.name, Plain(c.kind));
    for (const Case& c : cases) {
        WeaponClass* cls = WeaponClass::Find(c.name);
        ASSERT_NE(cls, nullptr) << c.name;
        EXPECT_EQ(cls->weaponKind, c.expected) << c.name << " kind \"" << c.kind << "\"";
    }
}

TEST_F(WeaponTest, TheBaseKeysAreReadWithTheirDefaults) {
    static std::vector<std::string> asked;
    asked.clear();
    Seam_Render().spriteFind = [](const char* name) {
        asked.push_back(name);
        return 40 + static_cast<int>(asked.size());
    };
    content::WeaponValues v = Plain("cannon");
    v.fireSound = "bang.wav";
    v.sprites[0] = "icon";
    v.sprites[2] = "reticle";
    v.intParam = -3;
    v.writeIntParam = true;
    v.ordnance = "gshell";
    AddWeapon("gfull", v);
    AddWeapon("gbare", Plain());

    WeaponClass* full = WeaponClass::Find("gfull");
    ASSERT_NE(full, nullptr);
    EXPECT_STREQ(full->fireSound, "bang.wav");
    EXPECT_EQ(full->sprite1, 41);
    EXPECT_EQ(full->sprite2, 0) << "no name: no look-up";
    EXPECT_EQ(full->sprite3, 42);
    EXPECT_EQ(full->intParam, -3);
    EXPECT_EQ(full->ordnanceClass, nullptr) << "no ordnance class is found yet";
    EXPECT_EQ(asked, (std::vector<std::string>{"icon", "reticle"}));

    WeaponClass* bare = WeaponClass::Find("gbare");
    ASSERT_NE(bare, nullptr);
    EXPECT_STREQ(bare->fireSound, "");
    EXPECT_EQ(bare->intParam, 0);
    EXPECT_EQ(bare->weaponKind, 70);
}

TEST_F(WeaponTest, BuildHangsTheWeaponUnderTheHardpointAndDeleteEntityUndoesIt) {
    AddWeapon("gblank", Plain());
    WeaponClass* cls = WeaponClass::Find("gblank");
    ASSERT_NE(cls, nullptr);
    Entity* craft = NewRoot(3, kEntityUser | 0x20 | 0x400, false);
    Entity* hardpoint = NewPart(craft, "hp_gun");
    hardpoint->local.posit = DVector{1.0, 2.0, 3.0};
    craft->local.posit = DVector{10.0, 0.0, 0.0};

    Weapon* weapon = Seam_Weapons().weaponClassBuild(cls, craft, hardpoint);
    ASSERT_NE(weapon, nullptr);
    Entity* e = weapon->entity;
    EXPECT_EQ(Entity_GetParent(e), hardpoint);
    EXPECT_EQ(e->type, kTypeWeapon);
    EXPECT_EQ(e->classData, weapon);
    EXPECT_EQ(e->flags, (3u << 16) | kEntityUser) << "only the owner bits 0x70010";
    EXPECT_EQ(std::string(e->name, strnlen(e->name, 8)), "gblank");
    EXPECT_EQ(weapon->mount, hardpoint);
    EXPECT_EQ(weapon->root, craft);
    EXPECT_DOUBLE_EQ(weapon->mountMatrix.posit.x, 11.0);
    EXPECT_DOUBLE_EQ(weapon->inverseMount.posit.x, -11.0);
    EXPECT_DOUBLE_EQ(weapon->inverseMount.posit.z, -3.0);
    EXPECT_FLOAT_EQ(weapon->lastFireTime, -1e30f);
    EXPECT_STREQ(Seam_Weapons().weaponClassName(cls), "gblank");
    EXPECT_EQ(Seam_Weapons().weaponClassOf(weapon), cls);
    ASSERT_EQ(Weapon_LiveList().size(), 1u);

    EXPECT_FALSE(Seam_Weapons().weaponChanged(weapon));
    Clock_SetTime(4.0f);
    weapon->PullTrigger();
    EXPECT_FLOAT_EQ(weapon->lastFireTime, Clock_GetTime());
    EXPECT_TRUE(Seam_Weapons().weaponChanged(weapon)) << "a fired weapon has news for the peers";

    Seam_Weapons().weaponDestroy(weapon);
    EXPECT_TRUE(Weapon_LiveList().empty());
    EXPECT_EQ(hardpoint->child, nullptr) << "the entity is released";
}

TEST_F(WeaponTest, AWeaponWhoseEntityIsStoppedKeepsItsMountAndGetsNoUpdate) {
    WeaponClass* base = BasePrototype();
    Entity* craft = NewRoot(1, 0, false);
    Entity* hardpoint = NewPart(craft, "hp_gun");
    Entity* a = NewPart(hardpoint, "gun_a", kTypeWeapon);
    Entity* b = NewPart(hardpoint, "gun_b", kTypeWeapon);
    auto* running = new CountingWeapon(a, base);
    auto* stopped = new CountingWeapon(b, base);
    a->classData = running;
    b->classData = stopped;
    b->state = 1;

    craft->local.posit = DVector{5.0, 0.0, 0.0};
    Seam_Weapons().weaponUpdateAll(0.1f);        // the mount pass
    Seam_Weapons().weaponUpdateAllSecond(0.1f);  // the update pass
    EXPECT_DOUBLE_EQ(running->mountMatrix.posit.x, 5.0);
    EXPECT_DOUBLE_EQ(stopped->mountMatrix.posit.x, 0.0) << "kept from construction";
    EXPECT_EQ(running->updates, 1);
    EXPECT_EQ(stopped->updates, 0);
}

TEST_F(WeaponTest, DeleteAllEmptiesTheListAndFreeAllDeletesNewestFirst) {
    WeaponClass* base = BasePrototype();
    Entity* craft = NewRoot(1, 0, false);
    for (int i = 0; i < 3; ++i) new CountingWeapon(NewPart(craft, "gun"), base);
    ASSERT_EQ(Weapon_LiveList().size(), 3u);
    AddWeapon("gblank", Plain());
    Weapon* mounted = WeaponClass::Find("gblank")->Build(craft, NewPart(craft, "hp_b"));
    Entity* mountedEntity = mounted->entity;
    Weapon_DeleteAll();
    EXPECT_TRUE(Weapon_LiveList().empty());
    EXPECT_EQ(mountedEntity->classData, nullptr) << "a deleted weapon leaves its entity, which is released later";
    WeaponClass_FreeAll();

    new LoggedClass(base, "first");
    new LoggedClass(base, "second");
    new LoggedClass(base, "third");
    ASSERT_EQ(WeaponClass::Loaded().size(), 3u);
    WeaponClass_FreeAll();
    EXPECT_TRUE(WeaponClass::Loaded().empty());
    EXPECT_EQ(g_log, (std::vector<std::string>{"third", "second", "first"}));
}

TEST_F(WeaponTest, AnEntityEnteringTheWorldGetsTheWeaponItsNameFinds) {
    AddWeapon("gblank", Plain());
    Entity* known = NewRoot(1, 0, false);
    Entity_SetName(known, "gblank");
    Entity* unknown = NewRoot(1, 0, false);
    Entity_SetName(unknown, "gnone");
    Classfnc_SetClass(known, kTypeWeapon);
    Classfnc_SetClass(unknown, kTypeWeapon);
    EXPECT_EQ(known->classData, nullptr) << "the create position makes nothing";
    Classfnc_ActivatePending();
    ASSERT_NE(known->classData, nullptr);
    EXPECT_EQ(Weapon_FromEntity(known)->weaponClass, WeaponClass::Find("gblank"));
    EXPECT_EQ(unknown->classData, nullptr) << "no class, no weapon";
    EXPECT_EQ(Weapon_BuildForEntity(unknown), nullptr);
    EXPECT_EQ(Weapon_LiveList().size(), 1u);
    Classfnc_Remove(known);
    EXPECT_TRUE(Weapon_LiveList().empty()) << "the weapon dies with its entity's class data";
}

TEST(FireDue, FiresEachIntervalThatFellDueBoundedAndNotForRoundingLeftovers) {
    struct Case {
        const char* what;
        float clock;
        float interval;
        int max;
        int fired;
        float clockAfter;
    } cases[] = {
        {"not yet due", 0.05f, 0.1f, 10, 0, 0.05f},
        {"within the tolerance of zero", -5e-7f, 0.1f, 10, 0, -5e-7f},
        {"one due", -0.01f, 0.1f, 10, 1, 0.09f},
        {"three due", -0.25f, 0.1f, 10, 3, 0.05f},
        {"bounded", -0.95f, 0.1f, 4, 4, -0.55f},
        {"no interval fires once", -2.0f, 0.0f, 10, 1, 0.0f},
        {"negative interval fires once", -2.0f, -1.0f, 10, 1, 0.0f},
    };
    for (const Case& c : cases) {
        float clock = c.clock;
        int calls = 0;
        const int fired = FireDue(clock, c.interval, c.max, [&] { ++calls; });
        EXPECT_EQ(fired, c.fired) << c.what;
        EXPECT_EQ(calls, c.fired) << c.what;
        EXPECT_NEAR(clock, c.clockAfter, 1e-6f) << c.what;
    }
}

}  // namespace
