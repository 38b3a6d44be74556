#include "core/seams/core.h"

#include "core/seams/registry.h"
#include "core/textentry.h"

namespace {

CoreSeam MakeDefault() {
    CoreSeam s{};
    s.saveGameLoad = [](const char*) { return true; };  // filled by SaveGame_InstallSeam
    s.missionResaveIfOld = [] {};                       // filled by SaveGame_InstallSeam
    s.netRegisterLoadedObjects = [] {};                 // filled by SaveGame_InstallSeam
    s.textFieldClearList = TextField_ClearList;
    s.textFieldDrawAll = TextField_DrawAll;
    s.textFieldDestroyAll = TextField_DestroyAll;
    return s;
}

}  // namespace

CoreSeam& Seam_Core() { return SeamTableInstance<CoreSeam, MakeDefault>(); }

namespace {
const SeamRegistration<CoreSeam, MakeDefault> kRegistration("CoreSeam");
}  // namespace
