#include "simulation.h"

#include <cstring>
#include <filesystem>

#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/seams/world.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace content {

namespace {

// A process that only marks its craft as driven: the controls stay as they were set.
class FixedControls : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

uint32_t g_frame = 0;

}  // namespace

void Simulation_Prepare() {
    Objkr_InstallWorldSeam();
    Collision_InstallSeam();
    Collision_Init();
}

void Simulation_Begin() {
    GameObject_CreateGrid();
    Plat_UseVirtualClock(1000);
    Clock_Reset(1000);
    g_frame = 0;
}

void Simulation_Frame() {
    // 1/30 s in whole milliseconds: 33, 33, 34.
    Plat_AdvanceVirtualClock(++g_frame % 3 == 0 ? 34 : 33);
    Clock_Tick();
    Seam_World().collisionProcessFrame();
    Game_Simulate();
    Game_PostUpdate();
}

void Simulation_End() {
    GameObject_FreeGrid();
    Plat_UseRealClock();
}

void Simulation_Drive(HoverCraft* craft, float throttle, float steering) {
    if (!craft) return;
    if (!craft->aiProcess) craft->SetAiProcess(new FixedControls);
    craft->controls.throttle = throttle;
    craft->controls.steering = steering;
}

int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, float throttle, float steering,
                    FILE* out, std::string* error) {
    // The game's own logs go to a scratch profile directory, not into the working directory.
    std::string profile = (std::filesystem::temp_directory_path() / "gvtool-sim-XXXXXX").string();
    if (!mkdtemp(profile.data())) {
        *error = "cannot make a scratch directory";
        return 1;
    }
    int status = 0;
    {
        HeadlessWorld world(dataDir, profile);
        if (!world.Ready()) {
            *error = "cannot read the index of " + dataDir;
            status = 1;
        } else if (Simulation_Prepare(), !SaveGame_Load(file.c_str())) {
            const auto& boxes = Plat_MessageBoxLog();
            *error = boxes.empty() ? "the file could not be loaded" : boxes.back().text;
            status = 1;
        } else {
            Simulation_Begin();
            GameObject* user = GameObject_GetUser();
            Simulation_Drive(dynamic_cast<HoverCraft*>(user), throttle, steering);
            for (int i = 0; i < frames; ++i) Simulation_Frame();
            for (GameObject* object : GameObject_List()) {
                const Entity* e = object->entity;
                char cls[9] = {};
                std::memcpy(cls, object->objClass->defName, 8);
                const DVector& p = e->local.posit;
                const double height = p.y - Terrain_GetHeight(p.x, p.z);
                std::fprintf(out, "%-5s %-8s at (%.2f, %.2f, %.2f) speed %.2f height %.2f\n",
                             object == user ? "user" : "", cls, p.x, p.y, p.z, object->euler.speed, height);
            }
            Simulation_End();
        }
    }
    Collision_Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(profile, ec);
    return status;
}

}  // namespace content
