// Parameter files: any bytes parse to a status; includes of any name get the same bytes
// again, so include chains must stay bounded. The same bytes are then read as the avoidance
// tuning ("Collision.cfg"): whatever they hold, every setting stays usable.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_loader.h"

#include "ai/avoidance.h"
#include "ai/avoidsettings.h"
#include "core/paramfile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);  // the revision warnings answer by the box policy
        return true;
    }();
    (void)ready;
    FuzzServeInput(data, size);
    IParseContext* context = IParse_New();
    IParse_ParseText(context, reinterpret_cast<const char*>(data), size, "fuzz");
    const char* names[] = {"a", "b", "x", "s", "N"};
    const char* paths[] = {"a[0].a", "a[1].b", "s[0].x", "x[2].t", "s[0].s"};
    int status;
    char buffer[6];
    for (const char* name : names) {
        IParse_GetChar(context, name, &status);
        IParse_GetInt(context, name, &status);
        IParse_GetFloat(context, name, &status);
        IParse_GetDouble(context, name, &status);
        IParse_GetString(context, name, &status, buffer, sizeof buffer);
        IParse_DupString(context, name, &status);
        IParse_GetCount(context, name, &status);
    }
    for (const char* path : paths) {
        IParse_GetFieldChar(context, path, &status);
        IParse_GetFieldInt(context, path, &status);
        IParse_GetFieldFloat(context, path, &status);
        IParse_GetFieldDouble(context, path, &status);
        IParse_GetFieldString(context, path, &status, buffer, sizeof buffer);
        IParse_DupFieldString(context, path, &status);
    }
    IParse_Free(context);

    Avoidance_ResetConfig();
    Avoidance_LoadConfig();
    const AvoidanceSettings& settings = Avoidance_Settings();
    if (!(settings.gridXSize > 0.0f) || !(settings.gridZSize > 0.0f)) __builtin_trap();
    Avoidance_ResetConfig();
    Plat_ClearMessageBoxLog();
    // Scans made while looking for the file go with the input.
    Plat_ForgetDirectoryCache();
    return 0;
}
