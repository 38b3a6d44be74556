#include "support/world_reset.h"

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"

void ResetWorldForTest() {
    Plat_Init(BackendKind::Headless);
    Error_ResetForTests();
    Debug_SetOutputMode(kDebugOutNone);
    Plat_SetMessageBoxPolicy({});
    Plat_ClearMessageBoxLog();
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Classfnc_ResetLists();
    Entities_Reset();
    EntityPairs_Reset();
}
