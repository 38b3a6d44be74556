#include "support/state_reset.h"

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "collision/colshape.h"
#include "core/cmdline.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/fixup.h"
#include "core/paramfile.h"
#include "core/seams/registry.h"
#include "core/shake.h"
#include "fun3d/craft.h"
#include "fun3d/proginput.h"
#include "fun3d/visibility.h"
#include "platform/clock.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/renderqueue.h"
#include "render/texcache.h"

void ResetProgramStateForTest() {
    // Every function table back to its stand-ins.
    Seams_ResetAll();
    Objkr_ResetServices();
    Geom_ResetServices();
    ObjLoad_ResetServices();
    RenderQueue_SetServices(nullptr);
    Shake_SetServices(nullptr);
    TexCache_SetDeviceHooks(nullptr);
    Render_SetHardware2DTwins(nullptr);
    Render_SetRasteriserLookup(nullptr);
    Collision_SetFaceReader(nullptr);
    DataFile_SetLoader(nullptr);
    Field_SetHandleFinder(nullptr);

    // The platform's hooks, fault injection and records.
    Plat_SetExitHook(nullptr);
    Plat_SetClockSource(nullptr);
    Plat_SetMessageBoxPolicy(nullptr);
    Plat_ClearMessageBoxLog();
    Plat_FailAllocationsOfSize(0, 0);
    TexCache_FailNextAllocations(0);

    // Module settings, counters and caches.
    Diagnostics_Reset();
    DebugScreen_Reset();
    CmdLine_ResetGlobals();
    IParse_ResetId();
    Field_ResetSaveIds();
    Field_DiscardFixups();
    Shake_Reset();
    ProgramInput_Reset();
    Craft_ResetList();
    ObjectSensor_ResetList();
    EntityCaches_ResetAll();
    Classfnc_ResetOwners();
    Classfnc_ResetLists();
    RenderQueue_Reset();
    DisplayMode_Reset();
    TexCache_ResetStats();
    Graphic_ResetWarnings();
}
