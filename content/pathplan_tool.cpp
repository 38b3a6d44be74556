#include "pathplan_tool.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include "Terrain/terramap.h"
#include "ai/pathplanner.h"
#include "core/filesys.h"
#include "core/seams/render.h"
#include "core/zfs.h"
#include "platform/paths.h"
#include "render/light.h"

namespace content {

namespace {
bool ParseFloat(const char* text, float* out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end || errno) return false;
    *out = static_cast<float>(v);
    return true;
}
bool ParseInt(const char* text, int* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end || errno || v < -1000000 || v > 1000000) return false;
    *out = static_cast<int>(v);
    return true;
}
}  // namespace

bool ParsePlanRequest(int argc, char** argv, PlanRequest* out, std::string* error) {
    if (argc < 6 || argc > 8) {
        *error = "usage: gvtool plan DATA MAP X1 Z1 X2 Z2 [MOVER [SIDE]]";
        return false;
    }
    out->dataDir = argv[0];
    out->map = argv[1];
    float* coords[4] = {&out->x1, &out->z1, &out->x2, &out->z2};
    for (int i = 0; i < 4; ++i)
        if (!ParseFloat(argv[2 + i], coords[i])) {
            *error = std::string("not a number: ") + argv[2 + i];
            return false;
        }
    if (argc >= 7 && !ParseInt(argv[6], &out->mover)) {
        *error = std::string("not a mover type: ") + argv[6];
        return false;
    }
    if (argc == 8 && !ParseInt(argv[7], &out->side)) {
        *error = std::string("not a side: ") + argv[7];
        return false;
    }
    return true;
}

namespace {
std::string g_profile;
}  // namespace

void UnloadMapForPlanning() {
    Terrain_FreeAll();
    Data_Close();
    if (!g_profile.empty()) {
        Plat_SetProfileDir("");
        std::error_code ec;
        std::filesystem::remove_all(g_profile, ec);
        g_profile.clear();
    }
}

bool LoadMapForPlanning(const std::string& dataDir, const std::string& map, std::string* error) {
    Plat_SetDataRoot(dataDir);
    if (!FileSys_TryStart(0)) {
        *error = Zfs_LastError();
        return false;
    }
    Terrain_SetFileName(map.c_str());
    if (!Terrain_ReadZoneFiles()) {
        *error = "the map's terrain files are missing or do not fit (Zone loader error)";
        Data_Close();
        return false;
    }
    // The light map the load computes goes to a scratch profile.
    Seam_Render().lightInitWorld = Light_InitWorld;
    std::string profile = (std::filesystem::temp_directory_path() / "gvtool-plan-XXXXXX").string();
    if (!mkdtemp(profile.data())) {
        *error = "cannot make a scratch directory";
        return false;
    }
    g_profile = profile;
    Plat_SetProfileDir(profile);
    Terrain_LoadMap(map.c_str(), 0);
    return true;
}

bool RunPlan(const PlanRequest& request, FILE* out, std::string* error) {
    if (!LoadMapForPlanning(request.dataDir, request.map, error)) return false;
    PathPlanner_Init();
    const PlannedRoute route = AiPath_Plan(request.x1, request.z1, request.x2, request.z2, request.mover, request.side);
    std::fprintf(out, "kind=%d points=%zu\n", route.kind, route.points.size());
    for (const Vector2D& p : route.points) std::fprintf(out, "%.2f %.2f\n", p.x, p.z);
    PathSystem_Shutdown();
    UnloadMapForPlanning();
    return true;
}

}  // namespace content
