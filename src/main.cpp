// The executable: picks the platform backend and runs the program.
#include <cstdio>
#include <string>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "collision/collision.h"
#include "core/app.h"
#include "core/savegame.h"
#include "fun3d/objectseam.h"
#include "platform/system.h"
#include "render/graphicdriver.h"

namespace {
// Each built subsystem fills its seams, in this order, before the program starts.
using Installer = void (*)();
const Installer kInstallers[] = {
    Objkr_InstallWorldSeam,
    Terrain_InstallSeam,
    Collision_InstallSeam,
    Render_InstallSeam,
    GameObjects_InstallSeam,
    SaveGame_InstallSeam,
};
}  // namespace

int main(int argc, char** argv) {
    BackendKind kind = Plat_ChooseBackend();
    if (!Plat_Init(kind)) {
        std::fprintf(stderr, "gravenholt: no display could be opened; running headless\n");
        Plat_Init(BackendKind::Headless);
    }
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    for (Installer install : kInstallers) install();
    int code = App_Main(commandLine.c_str());
    Plat_Shutdown();
    return code;
}
