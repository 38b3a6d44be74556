#include "core/registration.h"

#include <cstring>
#include <iterator>

#include <lzo/lzo1x.h>

#include "core/debug.h"

namespace {

// Each class's owner puts its create function into its entry: {"APCFriend", 0, &APCFriend_Create}.
FactoryReg g_factoryTable[] = {
    {"AiMission"}, {"EmptyMission"}, {"APCFriend"}, {"APCEnemy"}, {"APCAttack"}, {"SLFFriend"}, {"SLFEnemy"},
    {"ArtilleryFriend"}, {"ArtilleryEnemy"}, {"AttackTask"}, {"BuildGoto"}, {"UnBuild"}, {"RigFriend"},
    {"RigEnemy"}, {"DefendTask"}, {"DemoMission"}, {"MUFFriend"}, {"MUFEnemy"}, {"FollowTask"},
    {"GechFriend"}, {"GechEnemy"}, {"GechAttack"}, {"GotoGeyser"}, {"GotoTask"}, {"GoNear"}, {"GoPoints"},
    {"GoGet"}, {"GoNearAndSit"}, {"GunTowerFriend"}, {"GunTowerEnemy"}, {"GunTowerAttack"}, {"HuntTask"},
    {"Inst01Event"}, {"Inst01Mission"}, {"Inst02Mission"}, {"PlayEvent"}, {"Inst03Mission"},
    {"Inst4XMission"}, {"MineLayerFriend"}, {"MineLayerEnemy"}, {"LayMinesTask"}, {"Misn01Mission"},
    {"Misn03Mission"}, {"Misn04Mission"}, {"Misn05Mission"}, {"Misn06Mission"}, {"Misn07Mission"},
    {"Misn08Mission"}, {"Misn09Mission"}, {"Misn10Mission"}, {"Misn11Mission"}, {"Misn12Mission"},
    {"Misn13Mission"}, {"Misn14Mission"}, {"Misn15Mission"}, {"Misn16Mission"}, {"Misn17Mission"},
    {"Misn18Mission"}, {"Misns1Mission"}, {"Misns2Mission"}, {"Misns3Mission"}, {"Misns4Mission"},
    {"Misns5Mission"}, {"Misns6Mission"}, {"Misns7Mission"}, {"Misns8Mission"}, {"Mult01Event"},
    {"Mult01Mission"}, {"Mult02Mission"}, {"Mult03Event"}, {"Mult03Mission"}, {"Mult04Event"},
    {"Mult04Mission"}, {"MultDMEvent"}, {"MultDMMission"}, {"MultGEvent"}, {"MultGMission"},
    {"MultSTMission"}, {"NetProcess"}, {"PatrolTask"}, {"PersonFriend"}, {"PersonEnemy"}, {"PersonGlide"},
    {"PersonStraight"}, {"PersonGetIn"}, {"PersonRetreat"}, {"PersonAttack"}, {"PowerUpProcess"},
    {"RecyclerFriend"}, {"RecyclerEnemy"}, {"RecycleTask"}, {"ScavGotoDrop"}, {"ScavGotoScrap"},
    {"ScavGotoRepair"}, {"RescueTask"}, {"SAVEnemy"}, {"SAVAttackPersonTask"}, {"SAVAttackVehicleTask"},
    {"ScavengerFriend"}, {"ScavengerEnemy"}, {"SoldierFriend"}, {"SoldierEnemy"}, {"SoldierAttack"},
    {"SoldierRetreat"}, {"SoldierReturn"}, {"TorpedoProcess"}, {"Tran02Mission"}, {"Tran03Mission"},
    {"Tran04Mission"}, {"Tran05Mission"}, {"TugFriend"}, {"TugEnemy"}, {"TugPickup"}, {"TurretTankFriend"},
    {"TurretTankEnemy"}, {"TurretBlastAttack"}, {"TurretAttack"}, {"SitTask"}, {"SitSpinTask"},
    {"CircleTask"}, {"CoastTask"}, {"UserProcess"}, {"TankFriend"}, {"TankEnemy"}, {"ScoutFriend"},
    {"ScoutEnemy"}, {"BomberFriend"}, {"BomberEnemy"}, {"WingmanBlastAttack"}, {"RocketTankFriend"},
    {"RocketTankEnemy"}, {"RocketTankAttack"}, {"FindSendPoints"},
};
static_assert(std::size(g_factoryTable) == 133);

const char* const kMissionStems[] = {"empty", "demo01", "inst01", "inst02", "play",   "UsrMsn", "MP",
                                     "mult01", "mult02", "mult03", "mult04", "multDM", "multG", "multST"};

const ClassLabel kObjectClasses[] = {
    {"ammopack", Signature("AMMO")},   {"animbuilding", Signature("ANMB")}, {"apc", Signature("APC")},
    {"armory", Signature("ARMR")},     {"artifact", Signature("ARTI")},     {"barracks", Signature("BARR")},
    {"m4qbuilding", Signature("BLDG")}, {"m4qbuilding2", Signature("BLD2")}, {"m4qsign", Signature("SIGN")},
    {"camerapod", Signature("CPOD")},  {"commtower", Signature("COMM")},    {"constructionrig", Signature("CNST")},
    {"factory", Signature("FACT")},    {"geyser", Signature("GEIZ")},       {"repairkit", Signature("RKIT")},
    {"hover", Signature("HOVR")},      {"howitzer", Signature("HWTZ")},     {"minelayer", Signature("MLYR")},
    {"person", Signature("PERS")},     {"powerplant", Signature("PLNT")},   {"powerup", Signature("PWUP")},
    {"producer", Signature("PROD")},   {"recycler", Signature("RCYC")},     {"repairdepot", Signature("RDEP")},
    {"sav", Signature("SAV")},         {"scavenger", Signature("SCAV")},    {"scrap", Signature("SCRP")},
    {"dropoff", Signature("SDRP")},    {"scrapfield", Signature("SFLD")},   {"shieldtower", Signature("SHLD")},
    {"scrapsilo", Signature("SILO")},  {"spawnpnt", Signature("SPWN")},     {"supplydepot", Signature("SDEP")},
    {"tug", Signature("TUG")},         {"turret", Signature("TURR")},       {"turrettank", Signature("TTNK")},
    {"walker", Signature("WALK")},     {"wpnpower", Signature("WEPN")},     {"wingman", Signature("WING")},
    // Registered among the weapons, after every kind above.
    {"daywrecker", Signature("WRCK")}, {"flare", Signature("FLAR")},        {"magnet", Signature("MGNT")},
    {"mine", Signature("MINE")},       {"proximity", Signature("PROX")},    {"spraybomb", Signature("SBMB")},
    {"torpedo", Signature("TORP")},    {"weaponmine", Signature("WPNM")},
};

const ClassLabel kWeaponClasses[] = {
    {"beamgun", Signature("BGUN")},        {"cannon", Signature("CANN")},        {"chargegun", Signature("CHRG")},
    {"dispenser", Signature("DISP")},      {"imagelauncher", Signature("IMGL")}, {"imagerefract", Signature("IREF")},
    {"launcher", Signature("LNCH")},       {"machinegun", Signature("MGUN")},    {"mortar", Signature("MORT")},
    {"lobber", Signature("LOBB")},         {"poppergun", Signature("POPG")},     {"radardamper", Signature("RDMP")},
    {"radarlauncher", Signature("RDRL")},  {"detonator", Signature("RDET")},     {"snipergun", Signature("SNIP")},
    {"specialitem", Signature("SPCL")},    {"targeting", Signature("TRGT")},     {"terrainexpose", Signature("TRXP")},
    {"thermallauncher", Signature("THML")}, {"weapon", Signature("WEPN")},
};

const ClassLabel kOrdnanceClasses[] = {
    {"anchor", Signature("ANCH")},      {"beam", Signature("BEAM")},         {"bolt", Signature("BOLT")},
    {"bouncebomb", Signature("BBMB")},  {"bullet", Signature("BLLT")},       {"flamepuff", Signature("FLAM")},
    {"grenade", Signature("GREN")},     {"imagemissile", Signature("IMGM")}, {"missile", Signature("MSSL")},
    {"ordnance", Signature("ORDN")},    {"popper", Signature("POPR")},       {"rocket", Signature("RCKT")},
    {"seismic", Signature("SEIS")},     {"snipershell", Signature("SNIP")},  {"spraybomb", Signature("SBMB")},
    {"targeting", Signature("TRGT")},   {"switcher", Signature("TMSW")},     {"thermalmissile", Signature("THMM")},
    {"tracer", Signature("TRAC")},
};

const ClassLabel kExplosionClasses[] = {
    {"explosion", Signature("EXPL")}, {"groundblast", Signature("GNDB")}, {"planarexpl", Signature("PLNX")},
    {"quakeblast", Signature("QUAK")}, {"shockblast", Signature("SHKB")},
};

constexpr uint16_t kSimRender = kOpSimulate | kOpRender;
const SubsystemMember kSubsystemMembers[] = {
    {"MapBoundsAiWorld",
     kOpStartup | kOpPostLoad | kOpMissionCleanup | kOpFrame | kOpOnObjectAdded | kOpOnObjectRemoved, 0, false},
    {"RecycleScavengeTasks", kOpStartup | kOpPostLoad, 0, false},
    {"AudioMessageQueue", kOpStartup | kOpMissionCleanup | kOpFrame, 0, false},
    {"GameObjectPool", kOpStartup | kOpMissionSetup | kOpFrame, 0, true},
    {"ScrapPickup", kOpStartup, 0, false},
    {"ScrapFields", kOpMissionSetup, 0, false},
    {"CockpitWarningVoice", kOpPostLoad | kOpSimulate, 0, false},
    {"ChunkEffect", kOpMissionSetup | kOpPostLoad | kOpMissionCleanup | kSimRender, 0, false},
    {"ConstructionBlobEffect", kOpMissionSetup | kOpRender, 0, false},
    {"GroundMarkerSprites", kOpPostLoad | kOpRender, 0, false},
    {"DustEffect", kOpMissionSetup | kSimRender, 0, false},
    {"EarthquakeShake", kOpMissionCleanup | kOpSimulate, 0, false},
    {"EngineFlame", kOpMissionSetup | kOpFrame | kOpRender, 0, false},
    {"EngineSplash", kOpMissionSetup | kOpRender, 0, false},
    {"Fireball", kOpMissionSetup | kOpPostLoad | kSimRender, 0, false},
    {"TelemetryGraph", kOpMissionSetup | kOpMissionCleanup | kOpRender, 0, false},
    {"Lightning", kOpShutdown | kOpPostLoad | kSimRender, 0, false},
    {"ParticleEffect", kOpMissionSetup | kSimRender, 0, false},
    {"AimingSight",
     kOpShutdown | kOpMissionSetup | kOpPostLoad | kSimRender | kOpDrawOverlay | kOpOnEntityRemoved, 0, false},
    {"ShockWave", kOpMissionSetup | kSimRender, 0, false},
    {"SmokeEffect", kOpMissionSetup | kSimRender, 0, false},
    {"PlannerGlue", kOpStartup, 20, false},
    {"ExplosionManager", kOpMissionSetup | kOpMissionEnd | kOpMissionCleanup | kSimRender, 0, false},
};

const char* const kDisplayElements[] = {
    "Radar",           "UnitTargetMarkers", "MissionTimer",    "ScreenTint",        "CommandMenu",
    "TerrainEditor",   "ObjectivesPanel",   "TuningListDisplay", "MapIcons",          "CommandCursor3D",
    "MissionEditor",   "PilotScrapCounters", "SightParticleDisplay", "CockpitGauges",
    "LensFlare",
};

const KeyedText kKeyedTexts[] = {
    {"multi_message", "host", "You have been elected host"},
    {"multi_message", "player_joined", "Player Joined"},
    {"multi_message", "player_left", "Player Left"},
};

const char* const kDefNames[] = {
#define GV_DEF_NAME_TEXT(n) #n,
    GV_DEF_NAMES(GV_DEF_NAME_TEXT)
#undef GV_DEF_NAME_TEXT
};
static_assert(std::size(kDefNames) == kDefNameCount);

constexpr auto kDefNameIds = [] {
    struct Ids {
        uint64_t id[kDefNameCount];
    } ids{};
    size_t i = 0;
#define GV_DEF_NAME_ID(n) ids.id[i++] = NameId(#n);
    GV_DEF_NAMES(GV_DEF_NAME_ID)
#undef GV_DEF_NAME_ID
    return ids;
}();

const char* const kOrdnanceIds[] = {"snipe",   "bullet1", "bullet2", "bullet3", "bullet4",  "bullet5",
                                    "bullet6", "bullet7", "rocket",  "bolt",    "flash",    "rocket3",
                                    "plasma",  "tracer",  "charge1", "charge2", "charge3",  "charge4",
                                    "charge5", "charge6", "splinter", "swarmer", "flame"};
static_assert(std::size(kOrdnanceIds) == 23);

const char* const kCursorFiles[] = {"cursor1.cur", "cursor_w.cur", "cursor_i.cur"};

}  // namespace

std::span<FactoryReg> Registration_FactoryTable() { return g_factoryTable; }

FactoryReg* Registration_FactoryEntry(const char* name) {
    for (FactoryReg& entry : g_factoryTable)
        if (name && std::strcmp(entry.name, name) == 0) return &entry;
    return nullptr;
}

void Registration_SetCreate(const char* name, FactoryCreate create) {
    if (FactoryReg* entry = Registration_FactoryEntry(name)) entry->create = create;
}
std::span<const char* const> Registration_MissionStems() { return kMissionStems; }
std::span<const ClassLabel> Registration_ObjectClasses() { return kObjectClasses; }
std::span<const ClassLabel> Registration_WeaponClasses() { return kWeaponClasses; }
std::span<const ClassLabel> Registration_OrdnanceClasses() { return kOrdnanceClasses; }
std::span<const ClassLabel> Registration_ExplosionClasses() { return kExplosionClasses; }
std::span<const SubsystemMember> Registration_SubsystemMembers() { return kSubsystemMembers; }
std::span<const char* const> Registration_DisplayElements() { return kDisplayElements; }
std::span<const KeyedText> Registration_KeyedTexts() { return kKeyedTexts; }
std::span<const char* const> Registration_DefNames() { return kDefNames; }
uint64_t DefName_Id(DefName name) {
    const auto index = static_cast<size_t>(name);
    return index < kDefNameCount ? kDefNameIds.id[index] : 0;
}
std::span<const char* const> Registration_OrdnanceIds() { return kOrdnanceIds; }
std::span<const char* const> Registration_CursorFiles() { return kCursorFiles; }

bool Registration_Init() {
    Factory_Clear();
    for (FactoryReg& entry : g_factoryTable) Factory_Register(&entry);
    if (lzo_init() != LZO_E_OK) {
        Debug_Printf("Registration_Init: the compression library failed its start-up check\n");
        return false;
    }
    return true;
}
