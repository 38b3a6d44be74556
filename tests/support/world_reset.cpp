#include "support/world_reset.h"

#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/rendersettings.h"
#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "render/drawpass.h"

void ResetWorldForTest() {
    Plat_Init(BackendKind::Headless);
    Error_ResetForTests();
    Debug_SetOutputMode(kDebugOutNone);
    Plat_SetMessageBoxPolicy({});
    Plat_ClearMessageBoxLog();
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Classfnc_ResetLists();
    AnimObj_Reset();
    BspCache_Reset();
    Entities_Reset();
    RenderSettings_Reset();
    Draw_ResetServices();
    Shadows_Reset();
    EntityPairs_Reset();
}
