#include "core/registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kExpectedFactories[] = {
    "AiMission", "EmptyMission", "APCFriend", "APCEnemy", "APCAttack", "SLFFriend", "SLFEnemy",
    "ArtilleryFriend", "ArtilleryEnemy", "AttackTask", "BuildGoto", "UnBuild", "RigFriend", "RigEnemy",
    "DefendTask", "DemoMission", "MUFFriend", "MUFEnemy", "FollowTask", "GechFriend", "GechEnemy",
    "GechAttack", "GotoGeyser", "GotoTask", "GoNear", "GoPoints", "GoGet", "GoNearAndSit", "GunTowerFriend",
    "GunTowerEnemy", "GunTowerAttack", "HuntTask", "Inst01Event", "Inst01Mission", "Inst02Mission",
    "PlayEvent", "Inst03Mission", "Inst4XMission", "MineLayerFriend", "MineLayerEnemy", "LayMinesTask",
    "Misn01Mission", "Misn03Mission", "Misn04Mission", "Misn05Mission", "Misn06Mission", "Misn07Mission",
    "Misn08Mission", "Misn09Mission", "Misn10Mission", "Misn11Mission", "Misn12Mission", "Misn13Mission",
    "Misn14Mission", "Misn15Mission", "Misn16Mission", "Misn17Mission", "Misn18Mission", "Misns1Mission",
    "Misns2Mission", "Misns3Mission", "Misns4Mission", "Misns5Mission", "Misns6Mission", "Misns7Mission",
    "Misns8Mission", "Mult01Event", "Mult01Mission", "Mult02Mission", "Mult03Event", "Mult03Mission",
    "Mult04Event", "Mult04Mission", "MultDMEvent", "MultDMMission", "MultGEvent", "MultGMission",
    "MultSTMission", "NetProcess", "PatrolTask", "PersonFriend", "PersonEnemy", "PersonGlide",
    "PersonStraight", "PersonGetIn", "PersonRetreat", "PersonAttack", "PowerUpProcess", "RecyclerFriend",
    "RecyclerEnemy", "RecycleTask", "ScavGotoDrop", "ScavGotoScrap", "ScavGotoRepair", "RescueTask",
    "SAVEnemy", "SAVAttackPersonTask", "SAVAttackVehicleTask", "ScavengerFriend", "ScavengerEnemy",
    "SoldierFriend", "SoldierEnemy", "SoldierAttack", "SoldierRetreat", "SoldierReturn", "TorpedoProcess",
    "Tran02Mission", "Tran03Mission", "Tran04Mission", "Tran05Mission", "TugFriend", "TugEnemy", "TugPickup",
    "TurretTankFriend", "TurretTankEnemy", "TurretBlastAttack", "TurretAttack", "SitTask", "SitSpinTask",
    "CircleTask", "CoastTask", "UserProcess", "TankFriend", "TankEnemy", "ScoutFriend", "ScoutEnemy",
    "BomberFriend", "BomberEnemy", "WingmanBlastAttack", "RocketTankFriend", "RocketTankEnemy",
    "RocketTankAttack", "FindSendPoints",
};

const char* const kExpectedDefNames[] = {
    "abbarr", "abcafe", "abcomm", "abhang", "abhqcp", "ablpad", "ablpow", "abshld", "abspow", "absilo",
    "abstor", "absupp", "abtowe", "abtowe2", "abwpow", "apammo", "apcamr", "apcann", "apmort", "aprepa",
    "aprock", "apspec", "apspln", "apwrck", "assold", "aspilo", "asuser", "avapc", "avartl", "avcnst",
    "avfigh", "avhaul", "avhraz", "avland", "avltnk", "avmine", "avmuf", "avrckt", "avrecy", "avsav", "avscav",
    "avslf", "avtank", "avturr", "avwalk", "bbbar", "bbcom2", "bbcomm", "bbhqcp", "bvartl", "bvhaul", "bvhpc",
    "bvhraz", "bvltnk", "bvmine", "bvmuf", "bvraz", "bvrckt", "bvrecy", "bvscav", "bvslf", "bvtank", "bvturr",
    "bvwalk", "grccmi", "gsplint", "nparr", "sbbarr", "sbcafe", "sbcomm", "sbhang", "sbhqcp", "sblpad",
    "sblpow", "sbmbld", "sbshld", "sbsilo", "sbspow", "sbtowe", "sbwpow", "scrap", "spspln", "sspilo",
    "sssold", "ssuser", "svapc", "svartl", "svcnst", "svfigh", "svhaul", "svhraz", "svltnk", "svmine", "svmuf",
    "svrckt", "svrecy", "svsav", "svscav", "svslf", "svtank", "svturr", "svwalk",
};

template <class Span>
std::vector<std::string> Names(Span span) {
    std::vector<std::string> names;
    for (const auto& item : span) names.emplace_back(item);
    return names;
}

std::vector<std::string> Expected(std::initializer_list<const char*> names) { return {names.begin(), names.end()}; }

TEST(Registration, FactoryRegistryHoldsThe133NamesInOrder) {
    ASSERT_TRUE(Registration_Init());
    ASSERT_EQ(Factory_Count(), std::size(kExpectedFactories));
    for (size_t i = 0; i < Factory_Count(); ++i) EXPECT_STREQ(Factory_At(i)->name, kExpectedFactories[i]) << i;
    EXPECT_STREQ(Factory_At(0)->name, "AiMission");
    EXPECT_STREQ(Factory_At(132)->name, "FindSendPoints");
    for (size_t i = 0; i < Factory_Count(); ++i) {
        EXPECT_EQ(Factory_Find(kExpectedFactories[i]), Factory_At(i));  // every name is unique
        EXPECT_EQ(Factory_At(i)->reserved, 0u);
    }
    EXPECT_EQ(Factory_Find("APC"), nullptr);
    // Running the start-up again gives the same registry, not a doubled one.
    ASSERT_TRUE(Registration_Init());
    EXPECT_EQ(Factory_Count(), 133u);
    Factory_Clear();
}

TEST(Registration, MissionStemsInOrder) {
    EXPECT_EQ(Names(Registration_MissionStems()),
              Expected({"empty", "demo01", "inst01", "inst02", "play", "UsrMsn", "MP", "mult01", "mult02", "mult03",
                        "mult04", "multDM", "multG", "multST"}));
}

struct Labelled {
    const char* label;
    const char* signature;  // as the multi-character constant reads
};

void ExpectClasses(std::span<const ClassLabel> actual, std::initializer_list<Labelled> expected) {
    ASSERT_EQ(actual.size(), expected.size());
    size_t i = 0;
    for (const Labelled& e : expected) {
        SCOPED_TRACE(e.label);
        EXPECT_STREQ(actual[i].label, e.label);
        EXPECT_EQ(actual[i].signature, Signature(e.signature));
        ++i;
    }
}

TEST(Registration, SignaturesAreTheMultiCharacterConstants) {
    EXPECT_EQ(Signature("HOVR"), 0x484F5652u);
    EXPECT_EQ(Signature("APC"), 0x00415043u);  // zero top byte
    EXPECT_EQ(Signature("TUG"), 0x00545547u);
    EXPECT_EQ(Signature("SAV"), 0x00534156u);
}

TEST(Registration, ObjectClassPrototypesWithTheirSignatures) {
    ExpectClasses(Registration_ObjectClasses(),
                  {{"ammopack", "AMMO"}, {"animbuilding", "ANMB"}, {"apc", "APC"}, {"armory", "ARMR"},
                   {"artifact", "ARTI"}, {"barracks", "BARR"}, {"m4qbuilding", "BLDG"}, {"m4qbuilding2", "BLD2"},
                   {"m4qsign", "SIGN"}, {"camerapod", "CPOD"}, {"commtower", "COMM"}, {"constructionrig", "CNST"},
                   {"factory", "FACT"}, {"geyser", "GEIZ"}, {"repairkit", "RKIT"}, {"hover", "HOVR"},
                   {"howitzer", "HWTZ"}, {"minelayer", "MLYR"}, {"person", "PERS"}, {"powerplant", "PLNT"},
                   {"powerup", "PWUP"}, {"producer", "PROD"}, {"recycler", "RCYC"}, {"repairdepot", "RDEP"},
                   {"sav", "SAV"}, {"scavenger", "SCAV"}, {"scrap", "SCRP"}, {"dropoff", "SDRP"},
                   {"scrapfield", "SFLD"}, {"shieldtower", "SHLD"}, {"scrapsilo", "SILO"}, {"spawnpnt", "SPWN"},
                   {"supplydepot", "SDEP"}, {"tug", "TUG"}, {"turret", "TURR"}, {"turrettank", "TTNK"},
                   {"walker", "WALK"}, {"wpnpower", "WEPN"}, {"wingman", "WING"}, {"daywrecker", "WRCK"},
                   {"flare", "FLAR"}, {"magnet", "MGNT"}, {"mine", "MINE"}, {"proximity", "PROX"},
                   {"spraybomb", "SBMB"}, {"torpedo", "TORP"}, {"weaponmine", "WPNM"}});
}

TEST(Registration, WeaponOrdnanceAndExplosionClasses) {
    ExpectClasses(Registration_WeaponClasses(),
                  {{"beamgun", "BGUN"}, {"cannon", "CANN"}, {"chargegun", "CHRG"}, {"dispenser", "DISP"},
                   {"imagelauncher", "IMGL"}, {"imagerefract", "IREF"}, {"launcher", "LNCH"}, {"machinegun", "MGUN"},
                   {"mortar", "MORT"}, {"lobber", "LOBB"}, {"poppergun", "POPG"}, {"radardamper", "RDMP"},
                   {"radarlauncher", "RDRL"}, {"detonator", "RDET"}, {"snipergun", "SNIP"}, {"specialitem", "SPCL"},
                   {"targeting", "TRGT"}, {"terrainexpose", "TRXP"}, {"thermallauncher", "THML"}, {"weapon", "WEPN"}});
    ExpectClasses(Registration_OrdnanceClasses(),
                  {{"anchor", "ANCH"}, {"beam", "BEAM"}, {"bolt", "BOLT"}, {"bouncebomb", "BBMB"}, {"bullet", "BLLT"},
                   {"flamepuff", "FLAM"}, {"grenade", "GREN"}, {"imagemissile", "IMGM"}, {"missile", "MSSL"},
                   {"ordnance", "ORDN"}, {"popper", "POPR"}, {"rocket", "RCKT"}, {"seismic", "SEIS"},
                   {"snipershell", "SNIP"}, {"spraybomb", "SBMB"}, {"targeting", "TRGT"}, {"switcher", "TMSW"},
                   {"thermalmissile", "THMM"}, {"tracer", "TRAC"}});
    ExpectClasses(Registration_ExplosionClasses(), {{"explosion", "EXPL"}, {"groundblast", "GNDB"},
                                                    {"planarexpl", "PLNX"}, {"quakeblast", "QUAK"},
                                                    {"shockblast", "SHKB"}});
}

TEST(Registration, SubsystemMembersInOrderWithTheirOperationsAndPriorities) {
    const auto members = Registration_SubsystemMembers();
    std::vector<std::string> names;
    for (const SubsystemMember& m : members) names.emplace_back(m.name);
    EXPECT_EQ(names, Expected({"MapBoundsAiWorld", "RecycleScavengeTasks", "AudioMessageQueue", "GameObjectPool",
                               "ScrapPickup", "ScrapFields", "CockpitWarningVoice", "ChunkEffect",
                               "ConstructionBlobEffect", "GroundMarkerSprites", "DustEffect", "EarthquakeShake",
                               "EngineFlame", "EngineSplash", "Fireball", "TelemetryGraph", "Lightning",
                               "ParticleEffect", "AimingSight", "ShockWave", "SmokeEffect", "PlannerGlue",
                               "ExplosionManager"}));
    for (const SubsystemMember& m : members) {
        SCOPED_TRACE(m.name);
        const bool glue = std::strcmp(m.name, "PlannerGlue") == 0;
        const bool pool = std::strcmp(m.name, "GameObjectPool") == 0;
        EXPECT_EQ(m.startupPriority, glue ? 20 : 0);
        EXPECT_EQ(m.frameBroadcast, pool);
        EXPECT_NE(m.overrides, 0);
    }
    EXPECT_EQ(members[0].overrides, kOpStartup | kOpPostLoad | kOpMissionCleanup | kOpFrame | kOpOnObjectAdded |
                                        kOpOnObjectRemoved);
    // The engine flame empties its buffer at the frame start and draws in the render; it joins
    // the frame broadcast itself at mission set-up.
    EXPECT_EQ(members[12].overrides, kOpMissionSetup | kOpFrame | kOpRender);
    EXPECT_EQ(members[18].overrides, kOpShutdown | kOpMissionSetup | kOpPostLoad | kOpSimulate | kOpRender |
                                         kOpDrawOverlay | kOpOnEntityRemoved);
    EXPECT_EQ(members[22].overrides, kOpMissionSetup | kOpMissionEnd | kOpMissionCleanup | kOpSimulate | kOpRender);

    // Start-up order: a stable sort by start-up priority puts the planner glue first and keeps
    // every other member in table order.
    std::vector<SubsystemMember> sorted(members.begin(), members.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SubsystemMember& a, const SubsystemMember& b) { return a.startupPriority > b.startupPriority; });
    EXPECT_STREQ(sorted[0].name, "PlannerGlue");
    EXPECT_STREQ(sorted[1].name, "MapBoundsAiWorld");
    EXPECT_STREQ(sorted[22].name, "ExplosionManager");
}

TEST(Registration, DisplayElementsKeyedTextsOrdnanceIdsAndCursors) {
    EXPECT_EQ(Registration_DisplayElements().size(), 15u);
    EXPECT_STREQ(Registration_DisplayElements().front(), "Radar");
    EXPECT_STREQ(Registration_DisplayElements().back(), "LensFlare");
    const auto texts = Registration_KeyedTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_STREQ(texts[0].section, "multi_message");
    EXPECT_STREQ(texts[0].entry, "host");
    EXPECT_STREQ(texts[0].defaultText, "You have been elected host");
    EXPECT_STREQ(texts[1].entry, "player_joined");
    EXPECT_STREQ(texts[1].defaultText, "Player Joined");
    EXPECT_STREQ(texts[2].entry, "player_left");
    EXPECT_STREQ(texts[2].defaultText, "Player Left");
    EXPECT_EQ(Names(Registration_OrdnanceIds()),
              Expected({"snipe", "bullet1", "bullet2", "bullet3", "bullet4", "bullet5", "bullet6", "bullet7", "rocket",
                        "bolt", "flash", "rocket3", "plasma", "tracer", "charge1", "charge2", "charge3", "charge4",
                        "charge5", "charge6", "splinter", "swarmer", "flame"}));
    EXPECT_EQ(Names(Registration_CursorFiles()), Expected({"cursor1.cur", "cursor_w.cur", "cursor_i.cur"}));
}

TEST(Registration, NameIdsPackEightZeroPaddedBytesLittleEndian) {
    EXPECT_EQ(NameId("avrecy"), 0x0000796365727661ull);
    EXPECT_EQ(NameId("abtowe2"), 0x003265776F746261ull);
    EXPECT_EQ(NameId("abcdefghij"), NameId("abcdefgh"));  // only 8 bytes count
    EXPECT_EQ(NameId("abcdefgh"), 0x6867666564636261ull);
    EXPECT_EQ(NameId(""), 0u);
    EXPECT_EQ(NameId("a\0b"), NameId("a"));  // zero-padded after the end

    EXPECT_EQ(Names(Registration_DefNames()), Names(std::span<const char* const>(kExpectedDefNames)));
    EXPECT_EQ(kDefNameCount, std::size(kExpectedDefNames));
    for (size_t i = 0; i < kDefNameCount; ++i)
        EXPECT_EQ(DefName_Id(static_cast<DefName>(i)), NameId(kExpectedDefNames[i])) << kExpectedDefNames[i];
    EXPECT_EQ(DefName_Id(DefName::gsplint), NameId("gsplint"));
    EXPECT_EQ(DefName_Id(DefName::Count), 0u);
}

}  // namespace
