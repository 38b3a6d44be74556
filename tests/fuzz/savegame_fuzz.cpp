// Saved games and mission files are outside input: a file cut anywhere or with any bytes
// changed must load or be refused without harm, and a refused load must leave nothing behind.
// The input is the file itself; the seeds are the sample world's mission files and saved games
// of them in the text and the binary form. Every input loads over the sample world, written once
// before the first input.
//
// Every seed names the same map, and loading a map and building its path grid and regions is
// what a load spends nearly all its time on, none of it in the saved game's own reader. So the
// map loaded last is kept, with its planner, while the inputs name it again (its terrain entity
// list is emptied), as within one mission. A name the data holds no map for is refused, as the real
// loader refuses it; any other map goes to the real loader and planner, and is kept after them.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Objkr/animobj.h"
#include "Terrain/terramap.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "content.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/world.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }

struct Fixture {
    std::string input;  // where each input is written for the loader
    std::unique_ptr<content::HeadlessWorld> world;
};

Fixture* g_fixture;

// The map the terrain holds as the real loader left it, and whether the path grid was built for it.
struct KeptMap {
    bool (*load)(const char*) = nullptr;  // the real loader and planner set-up
    void (*plan)() = nullptr;
    std::string name;
    bool planned = false;
};
KeptMap g_kept;

// Whether the data holds the map's settings file, the first thing the real loader reads: a map
// without one is refused there (and the terrain held let go of).
bool MapSettingsExist(const std::string& name) {
    std::string stem = name;
    const size_t dot = stem.rfind('.');
    const size_t separator = stem.find_last_of("\\/");
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) stem.resize(dot);
    std::vector<char> bytes;
    return DataFile_Load((stem + ".TRN").c_str(), &bytes);
}

bool KeepOrLoadMap(const char* name) {
    const std::string wanted = name ? name : "";
    if (!g_kept.name.empty() && g_kept.name == wanted) {
        Terrain_ClearEntityList();
        return true;
    }
    // A name the data has no map for fails as the real loader fails it, and the kept map stays.
    if (!g_kept.name.empty() && !MapSettingsExist(wanted)) return false;
    g_kept.name.clear();
    g_kept.planned = false;
    if (!g_kept.load(name)) return false;
    g_kept.name = wanted;
    return true;
}

void KeepOrBuildPlanner() {
    if (!g_kept.name.empty() && g_kept.planned && PathGrid_Exists() && PathPlanner_IsReady()) return;
    g_kept.plan();
    g_kept.planned = !g_kept.name.empty();
}

void SetUp() {
    auto* f = new Fixture;
    Plat_Init(BackendKind::Headless);
    Plat_SetExitHook(ThrowOnExit);
    Debug_SetOutputMode(kDebugOutNone);
    char pattern[] = "/tmp/gv-fuzz-save-XXXXXX";
    const std::string dir = mkdtemp(pattern) ? pattern : "/tmp/gv-fuzz-save";
    std::string error;
    if (!content::WriteWorld(dir + "/data", &error)) {
        std::fprintf(stderr, "savegame_fuzz: cannot write the sample world: %s\n", error.c_str());
        std::abort();
    }
    const std::string profile = dir + "/profile";
    std::filesystem::create_directories(profile);
    f->input = profile + "/fuzz.sav";
    f->world = std::make_unique<content::HeadlessWorld>(dir + "/data", profile);
    if (!f->world->Ready()) {
        std::fprintf(stderr, "savegame_fuzz: the sample world's index does not load\n");
        std::abort();
    }
    g_kept.load = Seam_World().terrainLoadMap;
    g_kept.plan = Seam_Ai().pathPlannerInit;
    Seam_World().terrainLoadMap = KeepOrLoadMap;
    Seam_Ai().pathPlannerInit = KeepOrBuildPlanner;
    g_fixture = f;
    // The world lets go of its index and archives before the leak check at exit.
    std::atexit([] {
        g_fixture->world.reset();
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(g_fixture->input).parent_path().parent_path(), ec);
    });
}
}  // namespace

// Writing the sample world takes seconds: done once, before the first input and outside the
// per-input time limit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = *g_fixture;
    FILE* file = std::fopen(f.input.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    try {
        if (!SaveGame_Load(f.input.c_str()) && !GameObject_List().empty()) __builtin_trap();  // a refused load left objects
    } catch (const Exited&) {
        Error_ResetForTests();
    }
    f.world->Reset();
    // The models' animation blocks go with the mission, as at the game's mission end; kept, they
    // would pile up input after input (and every input would look like a leak to the fuzzer).
    AnimObj_Reset();
    Plat_ClearMessageBoxLog();  // the warnings of a refused file
    return 0;
}
