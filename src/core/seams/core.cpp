#include "core/seams/core.h"

namespace {

CoreSeam MakeDefault() {
    CoreSeam s{};
    s.saveGameLoad = [](const char*) { return true; };  // filled by SaveGame_InstallSeam
    s.missionResaveIfOld = [] {};                       // filled by SaveGame_InstallSeam
    s.netRegisterLoadedObjects = [] {};                 // filled by SaveGame_InstallSeam
    s.textFieldClearList = [] {};                       // PENDING(1.114)
    s.textFieldDrawAll = [] {};                         // PENDING(1.114)
    s.textFieldDestroyAll = [] {};                      // PENDING(1.114)
    return s;
}

}  // namespace

CoreSeam& Seam_Core() {
    static CoreSeam seam = MakeDefault();
    return seam;
}
