#include "mission_writer.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "Objkr/classfnc.h"
#include "ai/aiinstall.h"
#include "ai/aimission.h"
#include "ai/userprocess.h"
#include "ai/aipath.h"
#include "ai/aoi.h"
#include "ai/unitprocess.h"
#include "missions/instantaction.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "archive_writer.h"
#include "core/datafile.h"
#include "core/fieldarchive.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/core.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/objects.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "core/seams/world.h"
#include "core/zix.h"
#include "fun3d/tugsav.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectseam.h"
#include "fun3d/teamrecord.h"
#include "platform/paths.h"

namespace content {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

void ResetWorld() {
    Classfnc_ResetLists();
    Entities_Reset();
    EntityPairs_Reset();
    GameObject_PoolInit();
    GameObject_ForgetUser();
    GameObject_SetSerialCounter(1);
    GameObject_List().clear();
    TeamRecord_CreateAll();
}

void FreeWorld() {
    GameObject_DiscardLoaded();
    GameObject_ForgetUser();
    TeamRecord_DestroyAll();
    GameObjectClass_FreeAll();
    // The guns the classes named (a world with the weapons seam installed loads them).
    ExplosionClass_FreeAll();
    OrdnanceClass_FreeAll();
    WeaponClass_FreeAll();
    Classfnc_Clear();
    Entities_RemoveAll();
    EntityAlloc_FreeAll();
    GeomCache_FreeAll();
    Terrain_FreeAll();
    Cache_FreeAll();
    Data_Close();
}

struct Placement {
    const char* cls;
    int32_t team;
    float x, z;
    bool facingWest;
};

// The player's base on the flat ground in the west; team 2 on the plateau to the east.
const Placement kPlacements[] = {
    {"player", 1, 1600.0f, 2000.0f, false},  {"avrecy", 1, 1560.0f, 2060.0f, false},
    {"ablpow", 1, 1500.0f, 2000.0f, false},  {"abcomm", 1, 1500.0f, 2080.0f, false},
    {"abbunk", 1, 1660.0f, 2080.0f, false},  {"absupp", 1, 1660.0f, 1940.0f, false},
    {"scrap", 0, 1620.0f, 1900.0f, false},   {"scrap", 0, 1700.0f, 2000.0f, false},
    {"scrap", 0, 1540.0f, 1900.0f, false},   {"aprepa", 0, 1640.0f, 2020.0f, false},
    {"apammo", 0, 1640.0f, 1980.0f, false},  {"avtank", 2, 2700.0f, 2600.0f, true},
    {"avtank", 2, 2730.0f, 2620.0f, true},   {"avscout", 2, 2680.0f, 2640.0f, true},
};

bool BuildSampleObjects(bool withCraft, std::string* error) {
    for (const Placement& p : kPlacements) {
        if (!withCraft && std::strcmp(p.cls, "player") == 0) continue;
        GameObjectClass* cls = GameObjectClass::Find(p.cls);
        if (!cls) return Fail(error, std::string("sample mission: class ") + p.cls + " not found");
        Matrix m = kIdentityMatrix;
        if (p.facingWest) {
            m.front = Vector{-1.0f, 0.0f, 0.0f};
            m.right = Vector{0.0f, 0.0f, 1.0f};
        }
        m.posit = DVector{p.x, Terrain_GetHeight(p.x, p.z), p.z};
        const bool user = std::strcmp(p.cls, "player") == 0;
        GameObject* object = GameObjectClass::Build(cls, m, p.team, user, 0, nullptr);
        if (!object) return Fail(error, std::string("sample mission: ") + p.cls + " could not be built");
        // The player and every craft with a brain of its own get an AI process when the
        // mission starts; so does the user's object (its user process) with the user's pilot.
        object->aiProcessPending = user || cls->friendProcess[0] != '\0';
        if (user) {
            Entities_SetUser(object->record);
            object->pilotClass = GameObjectClass::Find("asuser");
        } else if (object->aiProcessPending) {
            object->pilotClass = cls->pilotClass;
        }
    }
    return true;
}

// "fight.qmn": the player's tank on the plateau with a wingman, three craft of team 2 sent at it
// from the east, the map's named paths (the playable
// rectangle 150 m inside the terrain, a looping and a plain route) and one area of team 2.
bool BuildFightWorld(std::string* error) {
    GameObjectClass* cls = GameObjectClass::Find("player");
    if (!cls) return Fail(error, "fight mission: class player not found");
    Matrix m = kIdentityMatrix;
    m.posit = DVector{2600.0, Terrain_GetHeight(2600.0, 2000.0), 2000.0};
    GameObject* user = GameObjectClass::Build(cls, m, 1, true, 0, nullptr);
    if (!user) return Fail(error, "fight mission: the player's tank could not be built");
    user->aiProcessPending = true;
    Entities_SetUser(user->record);
    user->pilotClass = GameObjectClass::Find("asuser");

    // The first fight: two tanks and a scout of team 2 east of the short wall pieces, sent at the
    // player so that they plan round the pieces on their way, and a tank of the player's team
    // that falls in behind the player. West of the player the long wall stays clear of it.
    const Placement craft[] = {{"avtank", 2, 3150.0f, 2100.0f, true},
                               {"avtank", 2, 3180.0f, 2150.0f, true},
                               {"avscout", 2, 3150.0f, 1950.0f, true},
                               {"avtank", 1, 2600.0f, 1955.0f, false}};
    for (const Placement& p : craft) {
        GameObjectClass* kind = GameObjectClass::Find(p.cls);
        if (!kind) return Fail(error, std::string("fight mission: class ") + p.cls + " not found");
        Matrix at = kIdentityMatrix;
        if (p.facingWest) {
            at.front = Vector{-1.0f, 0.0f, 0.0f};
            at.right = Vector{0.0f, 0.0f, 1.0f};
        }
        at.posit = DVector{p.x, Terrain_GetHeight(p.x, p.z), p.z};
        GameObject* unit = GameObjectClass::Build(kind, at, p.team, false, 0, nullptr);
        if (!unit) return Fail(error, std::string("fight mission: ") + p.cls + " could not be built");
        unit->aiProcessPending = true;
        unit->pilotClass = kind->pilotClass;
        unit->SetCommandObject(p.team == 2 ? kCmdCodeAttack : kCmdCodeFollow, user);
    }

    // Supplies on the flat ground around the player: a repair kit, an ammunition pack, a weapon
    // power-up and a camera pod.
    const Placement supplies[] = {{"aprepa", 0, 2560.0f, 1960.0f, false},
                                  {"apammo", 0, 2560.0f, 2040.0f, false},
                                  {"apwcan", 0, 2640.0f, 1960.0f, false},
                                  {"apcamr", 0, 2640.0f, 2040.0f, false}};
    for (const Placement& p : supplies) {
        GameObjectClass* supply = GameObjectClass::Find(p.cls);
        if (!supply) return Fail(error, std::string("fight mission: class ") + p.cls + " not found");
        Matrix at = kIdentityMatrix;
        at.posit = DVector{p.x, Terrain_GetHeight(p.x, p.z), p.z};
        if (!GameObjectClass::Build(supply, at, p.team, false, 0, nullptr))
            return Fail(error, std::string("fight mission: ") + p.cls + " could not be built");
    }

    const float x0 = TerrainBounds.minXm + 150.0f, x1 = TerrainBounds.maxXm - 150.0f;
    const float z0 = TerrainBounds.minZm + 150.0f, z1 = TerrainBounds.maxZm - 150.0f;
    if (!(x1 > x0 && z1 > z0)) return Fail(error, "fight mission: the terrain is too small");
    auto* edge = new AiPath("edge_path", 0);
    edge->points = {{x0, z0}, {x1, z0}, {x1, z1}, {x0, z1}};
    auto* loop = new AiPath("plateau_loop", 0);
    loop->points = {{2500, 1900}, {2700, 1900}, {2700, 2100}, {2500, 2100}};
    loop->pathType = 2;
    auto* route = new AiPath("west_road", 0);
    route->points = {{2600, 2000}, {2200, 2000}, {1700, 2000}};
    auto* hill = new AiPath("enemy_hill", 0);
    hill->points = {{2650, 2550}, {2800, 2700}};
    new AOI(hill, 2, true, true, 10, 105);
    return true;
}

// "tugs.qmn": on the open flat ground between the long wall and the ramp, a tug of the player's
// team with an empty scout on its hook, sent to drop it 200 m east; 400 m to the south a SAV of
// team 2 40 m from a pilot on foot with no orders; the player's tank well clear of both.
bool BuildTugsWorld(std::string* error) {
    auto build = [&](const char* name, int32_t team, float x, float z, bool user) -> GameObject* {
        GameObjectClass* cls = GameObjectClass::Find(name);
        if (!cls) {
            Fail(error, std::string("tugs mission: class ") + name + " not found");
            return nullptr;
        }
        Matrix m = kIdentityMatrix;
        m.posit = DVector{x, Terrain_GetHeight(x, z), z};
        GameObject* object = GameObjectClass::Build(cls, m, team, user, 0, nullptr);
        if (!object) Fail(error, std::string("tugs mission: ") + name + " could not be built");
        return object;
    };
    GameObject* user = build("player", 1, 1600.0f, 2400.0f, true);
    if (!user) return false;
    user->aiProcessPending = true;
    Entities_SetUser(user->record);
    user->pilotClass = GameObjectClass::Find("asuser");

    GameObject* tugObject = build("avtug", 1, 1550.0f, 2000.0f, false);
    GameObject* scout = tugObject ? build("avscout", 1, 1550.0f, 2000.0f, false) : nullptr;
    if (!scout) return false;
    auto* tug = dynamic_cast<Tug*>(tugObject);
    if (!tug) return Fail(error, "tugs mission: avtug is not a tug");
    tug->aiProcessPending = true;
    tug->pilotClass = tug->objClass->pilotClass;
    tug->SetCargo(scout);
    tug->deployState = kTugHooked;
    tug->SetCommandPosition(kCmdCodeDropoff, Vector{1750.0f, 0.0f, 2000.0f}, 0);

    GameObject* sav = build("svsav", 2, 1700.0f, 1600.0f, false);
    GameObject* pilot = build("aspilo", 1, 1700.0f, 1640.0f, false);
    if (!sav || !pilot) return false;
    sav->aiProcessPending = true;
    // The pilot has a brain (a person without one lies dead) that acts on orders only, and it
    // has none: it stands where it is.
    pilot->aiProcessPending = true;
    pilot->independence = 0;
    return true;
}

bool WriteMission(const std::string& path, std::string* error) {
    SaveGame_SetMissionFile(true);
    Field_SetBinary(false);
    if (!SaveGame_Write(path.c_str(), 0)) return Fail(error, "sample mission: cannot write " + path);
    return true;
}

}  // namespace

// Everything the headless world changes, put back when the scope ends, so that a test that
// writes the sample world keeps its own seams, roots and loaders.
class SavedState {
public:
    SavedState()
        : dataRoot_(Plat_DataRoot()),
          profileDir_(Plat_ProfileDir()),
          world_(Seam_World()),
          objects_(Seam_Objects()),
          ai_(Seam_Ai()),
          missions_(Seam_Missions()),
          core_(Seam_Core()),
          cockpit_(Seam_Cockpit()),
          net_(Seam_Net()),
          render_(Seam_Render()),
          weapons_(Seam_Weapons()),
          shell_(Seam_Shell()),
          entityServices_(Objkr_Services()),
          loadServices_(ObjLoad_Services()),
          loader_(DataFile_GetLoader()),
          saveGlobals_(SaveGame_Globals()) {}
    ~SavedState() {
        Plat_SetDataRoot(dataRoot_);
        Plat_SetProfileDir(profileDir_);
        Plat_ForgetDirectoryCache();
        Seam_World() = world_;
        Seam_Objects() = objects_;
        Seam_Ai() = ai_;
        Seam_Missions() = missions_;
        Seam_Core() = core_;
        Seam_Cockpit() = cockpit_;
        Seam_Net() = net_;
        Seam_Render() = render_;
        Seam_Weapons() = weapons_;
        Seam_Shell() = shell_;
        Objkr_Services() = entityServices_;
        ObjLoad_Services() = loadServices_;
        DataFile_SetLoader(loader_);
        SaveGame_Globals() = saveGlobals_;
    }

private:
    std::string dataRoot_, profileDir_;
    WorldSeam world_;
    ObjectsSeam objects_;
    AiSeam ai_;
    MissionsSeam missions_;
    CoreSeam core_;
    CockpitSeam cockpit_;
    NetSeam net_;
    RenderSeam render_;
    WeaponsSeam weapons_;
    ShellSeam shell_;
    EntityServices entityServices_;
    ObjLoadServices loadServices_;
    DataFileLoader loader_;
    SaveGameGlobals saveGlobals_;
};


HeadlessWorld::HeadlessWorld(const std::string& dataDir, const std::string& profileDir) : saved_(new SavedState) {
    Plat_SetDataRoot(dataDir);
    Plat_SetProfileDir(profileDir);
    Plat_ForgetDirectoryCache();
    DataFile_SetLoader(nullptr);
    Data_Close();
    Cache_Init();
    ready_ = Zix_Build("kolta.zix");
    Terrain_InstallSeam();
    GameObjects_InstallSeam();
    SaveGame_InstallSeam();
    // Saved games name their mission and processes by factory name, as the program fills them.
    Registration_Init();
    Ai_InstallSeam();
    Missions_InstallInstantAction();
    // A saved game's mission also lists the player's process (and a network game's): their
    // factories, without the rest of the processes' wiring (the tools drive the craft themselves).
    Registration_SetCreate("UserProcess", UserProcess_Create);
    Registration_SetCreate("NetProcess", NetProcess_Create);
    Field_SetHandleFinder(GameObject_HandleForSerial);
    Reset();
}

HeadlessWorld::~HeadlessWorld() {
    Mission_Shutdown();
    AOI_Clear();
    AiPaths_DeleteAll();
    FreeWorld();
    SaveGame_ResetGlobals();
    Field_SetHandleFinder(nullptr);
    delete saved_;
}

void HeadlessWorld::Reset() {
    Mission_Shutdown();
    AOI_Clear();
    AiPaths_DeleteAll();
    GameObject_DiscardLoaded();
    ResetWorld();
    SaveGame_ResetGlobals();
}

namespace {

// A mission file on the sample terrain, with or without the player's craft.
bool WriteSampleTerrainMission(const std::string& dirGiven, const std::string& outGiven, const char* fileName,
                               bool withCraft, std::string* error, bool fight = false,
                               bool (*build)(std::string*) = nullptr) {
    // The game resolves relative save paths under its profile directory: hand it whole ones.
    const std::string dir = std::filesystem::absolute(dirGiven).string();
    const std::string out = std::filesystem::absolute(outGiven).string();
    const std::string work = dir + "/mission-work";
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
    if (ec) return Fail(error, "cannot create " + work + ": " + ec.message());
    bool ok;
    {
        HeadlessWorld world(dir, work);
        ok = world.Ready() || Fail(error, "sample mission: the index of " + dir + " cannot be read");
        std::strcpy(SaveGame_Globals().missionFile, fileName);
        std::strcpy(SaveGame_Globals().terrainName, "sample");
        ok = ok && (Seam_World().terrainLoadMap("sample") || Fail(error, "sample mission: the map does not load"));
        if (build)
            ok = ok && build(error);
        else
            ok = ok && (fight ? BuildFightWorld(error) : BuildSampleObjects(withCraft, error));
        // The sample map has no script: the world runs the base mission, and the file names it.
        // The fight is played as instant action: it is won once the enemy has no craft left.
        if (ok) AiMission_CreateByName(fight ? "UsrMsn" : "sample");
        // Written once from the built world, loaded and written again: the file is then exactly
        // what the game saves after loading it, a fixed point of load and save.
        const std::string first = work + "/" + fileName;
        ok = ok && WriteMission(first, error);
        if (ok) {
            world.Reset();
            ok = SaveGame_Load(first.c_str()) || Fail(error, "sample mission: the written file does not load");
        }
        ok = ok && WriteMission(out, error);
    }
    std::filesystem::remove_all(work, ec);
    return ok;
}

}  // namespace

bool WriteSampleMission(const std::string& dir, const std::string& out, std::string* error) {
    return WriteSampleTerrainMission(dir, out, "sample.qmn", true, error);
}

bool WriteTugsMission(const std::string& dir, const std::string& out, std::string* error) {
    return WriteSampleTerrainMission(dir, out, "tugs.qmn", true, error, false, BuildTugsWorld);
}

bool WriteNoCraftMission(const std::string& dir, const std::string& out, std::string* error) {
    return WriteSampleTerrainMission(dir, out, "nocraft.qmn", false, error);
}

bool WriteFightMission(const std::string& dir, const std::string& out, std::string* error) {
    return WriteSampleTerrainMission(dir, out, "fight.qmn", true, error, true);
}

bool WriteWalkerMission(const std::string& dir, const std::string& out, std::string* error) {
    return WriteSampleTerrainMission(dir, out, "walker.qmn", true, error, false, BuildWalkerWorld);
}

bool WriteMissionWorld(const std::string& dir, std::string* error) {
    const std::string pack = dir + "/" + kPackDirectory;
    if (!WriteWalkerMission(dir, pack + "/walker.qmn", error)) return false;
    if (!WriteFightMission(dir, pack + "/fight.qmn", error)) return false;
    if (!WriteSampleMission(dir, pack + "/sample.qmn", error)) return false;
    if (!WriteNoCraftMission(dir, pack + "/nocraft.qmn", error)) return false;
    if (!WriteTugsMission(dir, pack + "/tugs.qmn", error)) return false;
    // Packed again, with the mission.
    return WriteArchiveWorld(dir, error);
}

bool RemovePackDirectory(const std::string& dir, std::string*) {
    std::error_code ec;
    std::filesystem::remove_all(dir + "/" + kPackDirectory, ec);
    return true;
}

}  // namespace content
