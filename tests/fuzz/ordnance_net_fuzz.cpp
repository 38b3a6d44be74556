// Ordnance messages arrive from other players: launch records ("RO"), expiries ("xo", "io") and
// kills ("xx") of any length and any bytes must be read without harm, on a world with the
// sample ordnance classes loaded. The first byte picks the receiver; the rest is the body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/seams/net.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "platform/system.h"
#include "weapon_definitions.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weaponsinstall.h"

namespace {

std::map<std::string, std::string>& Files() {
    static std::map<std::string, std::string> files;
    return files;
}

bool SetUp() {
    Plat_Init(BackendKind::Headless);
    Debug_SetOutputMode(kDebugOutNone);
    std::vector<content::NamedDefinition> definitions;
    std::string error;
    if (!content::WeaponDefinitions(&definitions, &error)) return false;
    for (const auto& d : definitions) Files()[d.name] = d.text;
    DataFile_SetLoader([](const char* name, std::vector<char>* bytes) {
        auto it = Files().find(name ? name : "");
        if (it == Files().end()) return false;
        bytes->assign(it->second.begin(), it->second.end());
        return true;
    });
    GameObject_PoolInit();
    TeamRecord_CreateAll();
    TerrainBounds.minXm = TerrainBounds.minZm = -1000.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 1000.0f;
    GameObject_CreateGrid();
    Weapons_InstallSeam();
    Seam_Net().isNetworkGame = [] { return true; };
    Seam_Net().localPlayerId = [] { return uint16_t{1}; };
    Clock_SetTime(1.0f);
    // Plain shots, the guided kinds whose records carry a target after the placement, and the
    // beam whose record carries its mount slot.
    const bool loaded = OrdnanceClass::Find("bullet1") && OrdnanceClass::Find("mgbullet") &&
                        OrdnanceClass::Find("rocket") && OrdnanceClass::Find("missile1") &&
                        OrdnanceClass::Find("tmissile") && OrdnanceClass::Find("beam") &&
                        OrdnanceClass::Find("bolt") && OrdnanceClass::Find("flame");
    // The classes live in lists that static destructors empty: free them before that, as the
    // mission teardown does.
    std::atexit([] {
        Ordnance_DeleteAll();
        Explosion_Manager().MissionCleanup();
        OrdnanceClass_FreeAll();
        ExplosionClass_FreeAll();
    });
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = SetUp();
    if (!ready || size < 1) return 0;
    const uint8_t* body = data + 1;
    const int length = static_cast<int>(size - 1);
    switch (data[0] & 3) {
    case 0: Ordnance_ReceiveNew(body, length, 5); break;
    case 1: Ordnance_ReceiveExpire(body, length, 5, 0.2f); break;
    case 2: Ordnance_ReceiveExpire(body, length, 5, 0.0f); break;
    default: Ordnance_ReceiveKill(body, length, 5); break;
    }
    // Fly what arrived for a moment, then start the next input from an empty sky.
    Ordnance_StepAll(0.05f);
    Ordnance_UpdateAll(0.05f);
    Ordnance_DeleteAll();
    Explosion_Manager().MissionEnd();
    Explosion_Manager().MissionCleanup();
    return 0;
}
