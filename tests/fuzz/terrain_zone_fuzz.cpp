// Terrain settings and zone files are outside input: any ".TRN" text and zone files of any
// length must load (or be refused) without harm, and queries over whatever loaded stay inside
// the tables. The input frames the three files (content::FuzzFrame): settings, heights, materials.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "archive_writer.h"
#include "core/configfile.h"
#include "core/debug.h"
#include "core/zix.h"
#include "fuzz_seeds.h"
#include "platform/exit.h"
#include "platform/paths.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/gv-fuzz-terrain-XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        std::filesystem::create_directories(made + "/addon");
        for (const char* name : {"fuzz.trn", "fuzz.hgt", "fuzz.mat"}) WriteFile(made + "/addon/" + name, "");
        std::string error;
        content::WriteIndex(made + "/kolta.zix", content::IndexSpec{}, &error);
        Plat_SetDataRoot(made);
        Plat_SetProfileDir(made);
        Plat_SetExitHook(ThrowOnExit);
        Zix_Build("kolta.zix");
        return made;
    }();
    const std::vector<std::string> files = content::FuzzUnframe(data, size, 3);
    WriteFile(dir + "/addon/fuzz.trn", files[0]);
    WriteFile(dir + "/addon/fuzz.hgt", files[1]);
    WriteFile(dir + "/addon/fuzz.mat", files[2]);

    Cfg_Forget();  // the settings file was rewritten behind the reader's back
    Terrain_SetFileName("fuzz");
    try {
        if (Terrain_ReadZoneFiles() && Terrain_LoadZone(nullptr)) {
            Terrain_Init(0);
            const double x0 = TerrainBounds.minXm, x1 = TerrainBounds.maxXm;
            const double z0 = TerrainBounds.minZm, z1 = TerrainBounds.maxZm;
            for (double f : {0.0, 0.37, 0.5, 1.0}) {
                Terrain_GetHeight(x0 + f * (x1 - x0), z0 + f * (z1 - z0));
                Vector n;
                Terrain_GetNormal(n, x1 - f * (x1 - x0), z0 + f * (z1 - z0));
                Terrain_GetTextureType(x0 + f * (x1 - x0), z1);
                Terrain_GetLight(x1, z0 + f * (z1 - z0));
            }
            float t = 1.0f;
            Terrain_RayCast(x0 - 100.0, 500.0, z0 - 50.0, float(x1 - x0 + 300.0), -500.0f, float(z1 - z0 + 80.0), &t, nullptr);
            t = 1e30f;
            Terrain_RayCast(x1, 300.0, z1, -1.0f, -0.2f, -0.7f, &t, nullptr);
            t = 1.0f;
            Terrain_LineCast(x1 + 10.0, 0.0, z0, float(x0 - x1 - 20.0), 0.0f, float(z1 - z0), [](int, int) { return 0; }, &t);
        }
    } catch (const Exited&) {
        Error_ResetForTests();
    }
    Terrain_FreeAll();
    // Scans made while looking for the files go with the input.
    Plat_ForgetDirectoryCache();
    return 0;
}
