#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Objkr/objload.h"
#include "class_fixture.h"
#include "core/registration.h"
#include "core/seams/objects.h"
#include "core/seams/render.h"
#include "fun3d/objectseam.h"
#include "fun3d/powerup.h"
#include "odfkeys.h"

// A stand-in for the weapon layer's class record: the class code only passes its address on.
struct FakeWeaponClass {
    const char* name;
};

namespace {

FakeWeaponClass g_cannonRecord{"gcannon"};
FakeWeaponClass g_sniperRecord{"gsniper"};
FakeWeaponClass g_splinterRecord{"gsplint"};
WeaponClass* const g_cannon = reinterpret_cast<WeaponClass*>(&g_cannonRecord);
WeaponClass* const g_sniper = reinterpret_cast<WeaponClass*>(&g_sniperRecord);
WeaponClass* const g_splinter = reinterpret_cast<WeaponClass*>(&g_splinterRecord);

bool HasPart(const Entity* e, const char* name) {
    for (; e; e = e->next) {
        if (std::strncmp(e->name, name, 8) == 0) return true;
        if (HasPart(e->child, name)) return true;
    }
    return false;
}

std::string Numbered(uint32_t prefix, int n) { return content::KeyText(prefix) + std::to_string(n); }

class ClassTest : public ClassFixture {
protected:
    static GameObject* BuildAt(GameObjectClass* cls, int32_t team = 1, bool user = false, int32_t number = 0,
                               const char* label = nullptr) {
        return GameObjectClass::Build(cls, kIdentityMatrix, team, user, number, label);
    }
};

// ---- prototypes -----------------------------------------------------------------------------

TEST_F(ClassTest, PrototypesFollowTheRegistrationTableThenTheKindsOnlyThisLayerNames) {
    const std::vector<GameObjectClass*>& prototypes = GameObjectClass_Prototypes();
    const auto table = Registration_ObjectClasses();
    ASSERT_EQ(prototypes.size(), table.size() + 1);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(prototypes[i]->label, table[i].label) << i;
        EXPECT_EQ(prototypes[i]->signature, table[i].signature) << table[i].label;
        EXPECT_EQ(prototypes[i]->prototype, prototypes[i]) << "a prototype names itself";
        // A pilot on foot costs no scrap; every other prototype is never affordable.
        const bool person = std::string(table[i].label) == "person";
        EXPECT_EQ(prototypes[i]->scrapCost, person ? 0 : kClassCostNever) << table[i].label;
        EXPECT_FLOAT_EQ(prototypes[i]->buildTime, 5.0f);
        EXPECT_EQ(prototypes[i]->weaponLinkDigits, 11111);
        EXPECT_EQ(prototypes[i]->sphereRadius, kClassRadiusUnknown);
    }
    EXPECT_STREQ(prototypes.back()->label, "craft");
    EXPECT_EQ(prototypes.back()->signature, Signature("CRFT"));
    EXPECT_EQ(&GameObjectClass_Prototypes(), &prototypes) << "made once";

    struct Case {
        const char* label;
        int32_t category;
    } cases[] = {{"m4qbuilding", 2}, {"person", 4}, {"powerup", 3}, {"producer", 6}, {"scrap", 7},
                 {"spawnpnt", 5},    {"turret", 6}, {"hover", 1},   {"recycler", 6}, {"ammopack", 3},
                 {"commtower", 2},   {"apc", 1},    {"mine", 5},    {"craft", 1}};
    for (const Case& c : cases) {
        GameObjectClass* p = GameObjectClass_FindPrototype(c.label);
        ASSERT_NE(p, nullptr) << c.label;
        EXPECT_EQ(p->category, c.category) << c.label;
    }
    EXPECT_EQ(GameObjectClass_FindPrototype("HOVER"), GameObjectClass_FindPrototype("hover")) << "labels ignore case";
    EXPECT_EQ(GameObjectClass_FindPrototype("sav")->signature, Signature("SAV"));
    EXPECT_EQ(GameObjectClass_FindPrototype("nosuchkind"), nullptr);
}

// ---- loading and building -----------------------------------------------------------------

TEST_F(ClassTest, EverySampleClassLoadsByNameAndBuildsAnObjectFromItsModel) {
    InstallWorld();
    struct Case {
        const char* name;
        const char* label;
        int32_t type;      // the entity's type code: the class's category
        const char* part;  // a part of its model
    } cases[] = {
        {"player", "hover", 1, "tkturr"},       {"avtank", "wingman", 1, "tkbarl"},
        {"aspilo", "person", 4, "pthead"},      {"asuser", "person", 4, "ptbody"},
        {"avscout", "wingman", 1, "scwing"},      {"avrecy", "recycler", 6, "rcbay"},
        {"abfact", "factory", 6, "fccrane"},    {"avscav", "scavenger", 1, "svscoop"},
        {"scrap", "scrap", 7, nullptr},        {"ablpow", "powerplant", 2, "pwfan"},
        {"abcomm", "commtower", 2, "twdish"},   {"abbunk", "m4qbuilding", 2, "bkbase"},
        {"absupp", "supplydepot", 2, "bkbase"}, {"aprepa", "repairkit", 3, "rpcross"},
        {"apammo", "ammopack", 3, "rppod"},
    };
    int number = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GameObjectClass* cls = GameObjectClass::Find(c.name);
        ASSERT_NE(cls, nullptr);
        EXPECT_STREQ(cls->label, c.label);
        EXPECT_EQ(cls->prototype, GameObjectClass_FindPrototype(c.label));
        EXPECT_EQ(GameObjectClass::Find(c.name), cls) << "loaded once";
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "%s.odf", c.name);
        EXPECT_STREQ(cls->fileName, fileName);

        GameObject* object = BuildAt(cls, 1, false, number++);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->objClass, cls);
        EXPECT_EQ(object->entity->owner, object);
        EXPECT_EQ(object->entity->type, c.type);
        EXPECT_EQ(std::strncmp(object->entity->name, c.name, 8), 0);
        if (c.part)
            EXPECT_TRUE(HasPart(object->entity, c.part)) << "the tree comes from the model";
        else
            EXPECT_NE(object->entity->geometry, nullptr) << "a one-piece model gives the root its geometry";
        ASSERT_NE(object->record, nullptr) << "entered in the entity table";
        EXPECT_EQ(object->record->instance, number - 1);
        EXPECT_GT(cls->sphereRadius, 0.0f) << "the build stores the class's bounds";
        EXPECT_LT(cls->boxMin.y, cls->boxMax.y);
        EXPECT_FLOAT_EQ(object->maxHealth, static_cast<float>(cls->health));
    }
}

TEST_F(ClassTest, BuildSetsFlagsLabelsAndNumbersAndRefusesBadTeams) {
    InstallWorld();
    GameObjectClass* tank = GameObjectClass::Find("avtank");
    ASSERT_NE(tank, nullptr);
    Matrix at = kIdentityMatrix;
    at.posit = DVector{100.0, 5.0, -40.0};
    GameObject* user = GameObjectClass::Build(tank, at, 3, true, 7, nullptr);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->entity->flags & (kEntityTeamMask | kEntityUser | kEntityNotDrawn), (3u << 16) | kEntityUser);
    EXPECT_DOUBLE_EQ(user->entity->local.posit.x, 100.0);
    EXPECT_STREQ(user->label, "avtank7_wingman");
    EXPECT_EQ(GameObject_GetUser(), user);

    GameObject* named = BuildAt(tank, 2, false, 8, "escort");
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(named->label, "escort");
    // Without a number the entity layer's per-name counter gives one.
    GameObject* numbered = BuildAt(tank, 2, false, 0);
    ASSERT_NE(numbered, nullptr);
    EXPECT_EQ(std::string(numbered->label), "avtank" + std::to_string(numbered->record->instance) + "_wingman");

    GameObject* pilot = BuildAt(GameObjectClass::Find("aspilo"), 1, false, 1);
    ASSERT_NE(pilot, nullptr);
    EXPECT_NE(pilot->entity->flags & kEntityNotDrawn, 0u) << "persons carry flag 1";

    const int used = Entities_UsedCount();
    for (int32_t team : {-1, 8, 1000}) EXPECT_EQ(BuildAt(tank, team), nullptr) << team;
    EXPECT_EQ(BuildAt(nullptr), nullptr);
    EXPECT_EQ(Entities_UsedCount(), used) << "a refused build leaves nothing in the table";
}

TEST_F(ClassTest, FindIgnoresBitSevenAndRefusesWhatItCannotLoad) {
    // A kind without pilots, so that the look-up loads this class alone.
    InstallWorld({{"abc.odf", Definition("scrap", "gvscout")},
                  {"nolabel.odf", Definition("", "gvscout")},
                  {"oddkind.odf", Definition("spaceship", "gvscout")}});
    GameObjectClass* plain = GameObjectClass::Find("ABC");
    ASSERT_NE(plain, nullptr) << "the file is matched without regard to case";
    const char high[] = {char('A' | 0x80), char('B' | 0x80), char('C' | 0x80), 0};
    EXPECT_EQ(GameObjectClass::Find(high), plain);
    char stored[9];
    plain->GetDefName(stored);
    EXPECT_STREQ(stored, "ABC");
    EXPECT_EQ(GameObjectClass_Loaded().size(), 1u);

    EXPECT_EQ(GameObjectClass::Find("oddkind"), nullptr) << "an unknown label";
    EXPECT_EQ(GameObjectClass::Find("nolabel"), nullptr);
    EXPECT_EQ(GameObjectClass::Find("missing"), nullptr) << "no file";
    EXPECT_EQ(GameObjectClass::Find(""), nullptr);
    EXPECT_EQ(GameObjectClass::Find(nullptr), nullptr);
    const char allHigh[] = {char(0x80), char(0x80), 0};
    EXPECT_EQ(GameObjectClass::Find(allHigh), nullptr) << "nothing left once bit 7 is cleared";
    EXPECT_EQ(GameObjectClass_Loaded().size(), 1u);

    GameObjectClass_FreeAll();
    EXPECT_TRUE(GameObjectClass_Loaded().empty());
    EXPECT_NE(GameObjectClass::Find("abc"), nullptr) << "loaded again after the teardown";
}

TEST_F(ClassTest, SidesComeFromTheFileNameUnlessTheSideKeySaysOtherwise) {
    struct Guess {
        const char* file;
        int32_t side;
    } guesses[] = {{"player.odf", kSideAmerican}, {"PLAYER.ODF", kSideAmerican}, {"pgun.odf", kSideUnknown},
                   {"players.odf", kSideUnknown}, {"hzap.odf", kSideAlien},      {"Oeye.odf", kSideAlien},
                   {"avtank.odf", kSideAmerican}, {"bvtank.odf", kSideAmerican}, {"svtank.odf", kSideSoviet},
                   {"xyz.odf", kSideUnknown},     {"", kSideUnknown}};
    for (const Guess& g : guesses) EXPECT_EQ(GameObjectClass_GuessSide(g.file), g.side) << g.file;
    EXPECT_EQ(GameObjectClass_SideByName("SOVIET"), kSideSoviet);
    EXPECT_EQ(GameObjectClass_SideByName("martian"), kSideUnknown);

    InstallWorld({{"ptank.odf", Definition("hover", "gvtank", {{kOdfPilotCost, "1"}})},
                  {"prus.odf", Definition("hover", "gvtank", {{kOdfSideName, "\"Soviet\""}})}});
    GameObjectClass* player = GameObjectClass::Find("player");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->side, kSideAmerican);
    GameObjectClass* other = GameObjectClass::Find("ptank");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->side, kSideUnknown);
    EXPECT_EQ(other->pilotClass, nullptr) << "an unknown side has no pilots";
    EXPECT_EQ(GameObjectClass::Find("prus")->side, kSideSoviet);
    EXPECT_EQ(GameObjectClass::Find("scrap")->side, kSideUnknown) << "the sample scrap sets its side";
}

TEST_F(ClassTest, PilotClassesFollowTheSideAndNeverRecurseWithoutEnd) {
    InstallWorld({{"avnopil.odf", Definition("hover", "gvtank", {{kOdfPilotCost, "0"}})},
                  {"svtank.odf", Definition("hover", "gvtank", {{kOdfPilotCost, "2"}})},
                  {"sspilo.odf", Definition("person", "gvpilot", {{kOdfPilotCost, "1"}})}});
    GameObjectClass* player = GameObjectClass::Find("player");
    ASSERT_NE(player, nullptr);
    GameObjectClass* aspilo = GameObjectClass::Find("aspilo");
    GameObjectClass* asuser = GameObjectClass::Find("asuser");
    ASSERT_NE(aspilo, nullptr);
    ASSERT_NE(asuser, nullptr);
    EXPECT_EQ(player->pilotClass, aspilo);
    EXPECT_EQ(player->userPilotClass, asuser);
    // The american pilot names itself; the user pilot leads back to it.
    EXPECT_EQ(aspilo->pilotClass, aspilo);
    EXPECT_EQ(aspilo->userPilotClass, asuser);
    EXPECT_EQ(asuser->pilotClass, aspilo);
    EXPECT_EQ(asuser->userPilotClass, asuser);

    GameObjectClass* noPilot = GameObjectClass::Find("avnopil");
    ASSERT_NE(noPilot, nullptr);
    EXPECT_EQ(noPilot->side, kSideAmerican);
    EXPECT_EQ(noPilot->pilotClass, nullptr) << "pilot cost 0: no pilot classes";
    EXPECT_EQ(noPilot->userPilotClass, nullptr);

    GameObjectClass* soviet = GameObjectClass::Find("svtank");
    ASSERT_NE(soviet, nullptr);
    EXPECT_EQ(soviet->pilotClass, GameObjectClass::Find("sspilo"));
    EXPECT_EQ(soviet->userPilotClass, nullptr) << "no \"ssuser.odf\" in this world";
}

int g_chainNext = 0;

TEST_F(ClassTest, DefinitionChainsTooDeepAreRefusedWithAWarning) {
    // Each class of a chain of 20 names a sprite, and here finding the sprite looks the next
    // class up: every load nests another until the chain comes round to the first class.
    std::vector<content::ArchiveRecord> records;
    for (int i = 0; i < 20; ++i)
        records.push_back({"ch" + std::to_string(i) + ".odf", Definition("hover", "gvscout", {{kOdfSpriteName, "\"x\""}})});
    InstallWorld(records);
    g_chainNext = 1;
    Seam_Render().spriteFind = [](const char*) {
        const std::string name = "ch" + std::to_string(g_chainNext++ % 20);
        GameObjectClass::Find(name.c_str());
        return 0;
    };
    EXPECT_NE(GameObjectClass::Find("ch0"), nullptr);
    EXPECT_EQ(GameObjectClass_Loaded().size(), 16u) << "at most 16 loads nest in one look-up";
    EXPECT_NE(LastBoxText().find("16 deep"), std::string::npos) << LastBoxText();
}

TEST_F(ClassTest, InformationTextIsTheInfFileOrElseItsName) {
    InstallWorld({{"empty.inf", ""}, {"empty.odf", Definition("hover", "gvscout")}});
    GameObjectClass* player = GameObjectClass::Find("player");
    ASSERT_NE(player, nullptr);
    ASSERT_NE(player->infoText, nullptr);
    EXPECT_EQ(std::string(player->infoText).rfind("Hover tank\r\n", 0), 0u);
    EXPECT_STREQ(GameObjectClass::Find("avtank")->infoText, "avtank.inf");
    EXPECT_STREQ(GameObjectClass::Find("empty")->infoText, "empty.inf") << "an empty file counts as none";
}

std::string g_spriteAsked;

TEST_F(ClassTest, DeriveReadsEveryKeyWithThePrototypesValuesAsDefaults) {
    Seam_Render().spriteFind = [](const char* name) {
        g_spriteAsked = name;
        return 42;
    };
    Seam_Weapons().weaponClassFind = [](const char* name) -> WeaponClass* {
        for (WeaponClass* w : {g_cannon, g_sniper, g_splinter})
            if (std::strncmp(reinterpret_cast<const FakeWeaponClass*>(w)->name, name, 8) == 0) return w;
        return nullptr;
    };
    Seam_Weapons().weaponClassSignature = [](const WeaponClass* w) {
        return w == g_sniper ? Signature("SNIP") : Signature("CANN");
    };
    const std::string full = Definition(
        "Hover", "gvtank",
        {{kOdfScrapCost, "33"},
         {kOdfScrapValue, "11"},
         {kOdfPilotCost, "2"},
         {kOdfBuildTime, "7.5"},
         {kOdfHealth, "900"},
         {kOdfAmmo, "250"},
         {kOdfSpriteName, "\"tankicon\""},
         {kOdfFriendProcess, "\"TankFriend\""},
         {kOdfEnemyProcess, "\"TankEnemy\""},
         {kOdfWeaponLink, "10101"},
         {kOdfDistance, "12.5"},
         {kOdfScale[0], "2"},
         {kOdfScale[1], "3"},
         {kOdfScale[2], "4"}});
    std::string withWeapons = full;
    withWeapons += Numbered(kOdfHardpointPrefix, 1) + " = \"hp_cann\"\n";  // cut to 3 characters
    withWeapons += Numbered(kOdfWeaponPrefix, 1) + " = \"gcannon\"\n";
    withWeapons += Numbered(kOdfHardpointPrefix, 2) + " = \"gun\"\n";
    withWeapons += Numbered(kOdfWeaponPrefix, 2) + " = \"gsniper\"\n";
    withWeapons += Numbered(kOdfWeaponPrefix, 3) + " = \"gsplint\"\n";
    withWeapons += Numbered(kOdfWeaponPrefix, 4) + " = \"nothere\"\n";
    InstallWorld({{"zfull.odf", withWeapons}, {"zbare.odf", Definition("powerup", "")}});

    GameObjectClass* cls = GameObjectClass::Find("zfull");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->signature, Signature("HOVR"));
    EXPECT_EQ(cls->category, kCategoryCraft);
    EXPECT_EQ(std::strncmp(cls->baseName, "gvtank", 8), 0);
    EXPECT_EQ(cls->scrapCost, 33);
    EXPECT_EQ(cls->scrapValue, 11);
    EXPECT_EQ(cls->pilotCost, 2);
    EXPECT_FLOAT_EQ(cls->buildTime, 7.5f);
    EXPECT_EQ(cls->health, 900);
    EXPECT_EQ(cls->ammo, 250);
    EXPECT_EQ(cls->spriteIndex, 42);
    EXPECT_EQ(g_spriteAsked, "tankicon");
    EXPECT_STREQ(cls->friendProcess, "TankFriend");
    EXPECT_STREQ(cls->enemyProcess, "TankEnemy");
    EXPECT_EQ(cls->weaponLinkDigits, 10101);
    EXPECT_FLOAT_EQ(cls->distance, 12.5f);
    EXPECT_FLOAT_EQ(cls->scales[0], 2.0f);
    EXPECT_FLOAT_EQ(cls->scales[2], 4.0f);
    EXPECT_STREQ(cls->hardpointNames[0], "hp_");
    EXPECT_STREQ(cls->hardpointNames[1], "gun");
    EXPECT_STREQ(cls->hardpointNames[2], "");
    EXPECT_EQ(cls->weaponClasses[0], g_cannon);
    EXPECT_EQ(cls->weaponClasses[1], g_sniper);
    EXPECT_EQ(cls->weaponClasses[2], g_splinter);
    EXPECT_EQ(cls->weaponClasses[3], nullptr) << "an unknown weapon leaves the hardpoint empty";
    EXPECT_EQ(cls->weaponClasses[4], nullptr);
    EXPECT_STREQ(cls->infoText, "zfull.inf");

    GameObjectClass* bare = GameObjectClass::Find("zbare");
    ASSERT_NE(bare, nullptr);
    const GameObjectClass* p = GameObjectClass_FindPrototype("powerup");
    EXPECT_EQ(bare->prototype, p);
    EXPECT_EQ(std::strncmp(bare->baseName, "zbare", 8), 0) << "the model is named like the class";
    EXPECT_EQ(bare->scrapCost, kClassCostNever);
    EXPECT_FLOAT_EQ(bare->buildTime, 5.0f);
    EXPECT_EQ(bare->weaponLinkDigits, 11111);
    EXPECT_EQ(bare->distance, -1e30f);
    EXPECT_EQ(bare->sphereRadius, kClassRadiusUnknown) << "copied from the prototype";
    EXPECT_EQ(bare->teamSlotFirst, -1);
    EXPECT_EQ(bare->spriteIndex, p->spriteIndex);
    EXPECT_FLOAT_EQ(bare->scales[1], 1.0f);

    // A network game drops sniper weapons and the splinter gun unless its settings allow them.
    GameObjectClass_FreeAll();
    Seam_Net().isNetworkGame = [] { return true; };
    GameObjectClass* net = GameObjectClass::Find("zfull");
    ASSERT_NE(net, nullptr);
    EXPECT_EQ(net->weaponClasses[0], g_cannon);
    EXPECT_EQ(net->weaponClasses[1], nullptr);
    EXPECT_EQ(net->weaponClasses[2], nullptr);
    GameObjectClass_FreeAll();
    Seam_Net().allowSniperWeapons = [] { return true; };
    Seam_Net().isDeathmatch = [] { return true; };
    net = GameObjectClass::Find("zfull");
    EXPECT_EQ(net->weaponClasses[1], g_sniper);
    EXPECT_EQ(net->weaponClasses[2], g_splinter) << "deathmatch allows the splinter gun";
}

TEST_F(ClassTest, BoundsAreMeasuredOnAScratchEntityThatLeavesNothingBehind) {
    InstallWorld();
    GameObjectClass* factory = GameObjectClass::Find("abfact");
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->sphereRadius, kClassRadiusUnknown);
    const int classed = Classfnc_ClassListCount();
    const int pending = Classfnc_PendingCount();
    const int used = Entities_UsedCount();
    Vector centre{};
    float radius = 0.0f;
    GameObjectClass::GetBoundingSphere(factory, &centre, &radius);
    EXPECT_GT(radius, 8.0f);
    EXPECT_GE(factory->boxMax.x, 8.0f);
    EXPECT_FLOAT_EQ(factory->boxMin.x, -factory->boxMax.x);
    EXPECT_FLOAT_EQ(factory->boxMin.y, 0.0f);
    EXPECT_FLOAT_EQ(centre.x, 0.0f);
    EXPECT_EQ(Classfnc_ClassListCount(), classed) << "the crane's class node went with the scratch tree";
    EXPECT_EQ(Classfnc_PendingCount(), pending);
    EXPECT_EQ(Entities_UsedCount(), used);

    // With the debug flag every derived class measures itself at once.
    GameObjectClass_DebugFlags() = kDebugMeasureClasses;
    GameObjectClass* power = GameObjectClass::Find("ablpow");
    ASSERT_NE(power, nullptr);
    EXPECT_GT(power->sphereRadius, 0.0f);
}

TEST_F(ClassTest, ModelPartsTakeTheEntityTypeOfTheClassTheyName) {
    InstallWorld();
    EXPECT_EQ(GameObjectClass_EntityTypeOf("avrecy\0\0", kTypeCraft), kTypeCraft6);
    EXPECT_EQ(GameObjectClass_EntityTypeOf("aprepa\0\0", kTypeCraft), kTypePowerUp);
    EXPECT_EQ(GameObjectClass_EntityTypeOf("nothing\0", kTypePowerUp), kTypePowerUp) << "no class keeps the type";
}

// ---- costs --------------------------------------------------------------------------------

int g_difficulty = 2;

TEST_F(ClassTest, CostsForTheUsersSideFollowTheCheatAndTheDifficulty) {
    PlainClass cls;
    cls.scrapCost = 5;
    cls.pilotCost = 2;
    cls.health = 300;
    Build(NewClass(), 1, kEntityUser);  // the user's team is 1
    TeamRecord::Get(1)->AddAlly(3);
    Seam_Missions().difficulty = [] { return g_difficulty; };

    struct Case {
        int32_t team;
        int level;
        uint32_t cheats;
        int32_t cost;
        int32_t scrap;
        int32_t pilots;
    } cases[] = {
        {1, 2, 0, 5, 5, 2},      {1, 1, 0, 5, 4, 2},  {3, 1, 0, 5, 4, 2},  {2, 1, 0, 5, 5, 2},
        {1, 1, 0, 0, 0, 2},      {1, 1, 0, 1, 0, 2},  {1, 0, 0, 5, 5, 2},  {1, 2, 0x2, 5, 0, 0},
        {3, 2, 0x2, 5, 0, 0},    {2, 2, 0x2, 5, 5, 2}, {0, 1, 0, 5, 5, 2}, {9, 1, 0x2, 5, 5, 2},
        {-1, 1, 0, 5, 5, 2},
    };
    for (const Case& c : cases) {
        g_difficulty = c.level;
        SetCheats(c.cheats);
        cls.scrapCost = c.cost;
        EXPECT_EQ(GameObjectClass_GetScrapCost(c.team, &cls), c.scrap)
            << "team " << c.team << " level " << c.level << " cheats " << c.cheats << " cost " << c.cost;
        EXPECT_EQ(GameObjectClass_GetPilotCost(c.team, &cls), c.pilots) << "team " << c.team;
    }
    EXPECT_EQ(GameObjectClass_GetMaxHealth(5, &cls), 300);

    // The cheat counts for nothing in a network game.
    SetCheats(0x2);
    g_difficulty = 2;
    Seam_Net().isNetworkGame = [] { return true; };
    EXPECT_EQ(GameObjectClass_GetScrapCost(1, &cls), 5);
    EXPECT_EQ(GameObjectClass_GetPilotCost(1, &cls), 2);
}

// ---- wiring -------------------------------------------------------------------------------

TEST_F(ClassTest, TheInstallerWiresTeamsClassesAndTheEntityLayersQuestions) {
    const ObjectsSeam saved = Seam_Objects();
    GameObjects_InstallSeam();
    EXPECT_EQ(Seam_Objects().teamRecordCreateAll, &TeamRecord_CreateAll);
    EXPECT_EQ(Seam_Objects().teamRecordDestroyAll, &TeamRecord_DestroyAll);
    EXPECT_EQ(Seam_Objects().classesFreeAll, &GameObjectClass_FreeAll);
    EXPECT_EQ(ObjLoad_Services().objectClassType, &GameObjectClass_EntityTypeOf);
    GameObject* user = Build(NewClass(), 1, kEntityUser | 0x20);
    EXPECT_EQ(Objkr_Services().ownerFlags(user) & 0x20, 0x20u);
    Entities_SetUser(user->record);
    EXPECT_EQ(Entities_UserIsFlagged(), 1) << "flag 0x20 of the user's object blocks the game keys";
    Entities_SetUser(nullptr);
    Seam_Objects() = saved;
}

}  // namespace

TEST_F(ClassTest, ThePowerUpSampleClassesReadTheirKindKeys) {
    InstallWorld();
    static std::string askedWeapon;
    askedWeapon.clear();
    Seam_Weapons().weaponClassFind = [](const char name[8]) -> WeaponClass* {
        askedWeapon.assign(name, strnlen(name, 8));
        return reinterpret_cast<WeaponClass*>(&askedWeapon);
    };
    auto* ammo = dynamic_cast<AmmoPackClass*>(GameObjectClass::Find("apammo"));
    ASSERT_NE(ammo, nullptr);
    EXPECT_GT(ammo->amount, 0);
    EXPECT_STREQ(ammo->pickupSound, "weapon.wav");
    auto* repair = dynamic_cast<RepairKitClass*>(GameObjectClass::Find("aprepa"));
    ASSERT_NE(repair, nullptr);
    EXPECT_GT(repair->amount, 0);
    EXPECT_STREQ(repair->pickupSound, "repair.wav");
    auto* pod = dynamic_cast<CameraPodClass*>(GameObjectClass::Find("apcamr"));
    ASSERT_NE(pod, nullptr);
    EXPECT_GT(pod->turn, 0.0f);
    EXPECT_GT(pod->sensorRange, 0.0f);
    EXPECT_GT(pod->sensorPeriod, 0.0f);
    auto* weapon = dynamic_cast<WeaponPowerupClass*>(GameObjectClass::Find("apwcan"));
    ASSERT_NE(weapon, nullptr);
    EXPECT_EQ(askedWeapon, "wcannon");
    EXPECT_EQ(weapon->weaponClass, reinterpret_cast<WeaponClass*>(&askedWeapon));

    GameObject* object = BuildAt(ammo);
    ASSERT_NE(object, nullptr);
    EXPECT_NE(dynamic_cast<AmmoPack*>(object), nullptr) << "the class builds its kind";
    EXPECT_NE(dynamic_cast<CameraPod*>(BuildAt(pod)), nullptr);
}
