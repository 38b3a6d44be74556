#include "core/seams/core.h"

#include "core/seams/registry.h"

namespace {

CoreSeam MakeDefault() {
    CoreSeam s{};
    s.saveGameLoad = [](const char*) { return true; };  // PENDING(1.128)
    s.missionResaveIfOld = [] {};                       // PENDING(1.128)
    s.netRegisterLoadedObjects = [] {};                 // PENDING(1.128)
    s.textFieldClearList = [] {};                       // PENDING(1.114)
    s.textFieldDrawAll = [] {};                         // PENDING(1.114)
    s.textFieldDestroyAll = [] {};                      // PENDING(1.114)
    return s;
}

}  // namespace

CoreSeam& Seam_Core() { return SeamTableInstance<CoreSeam, MakeDefault>(); }

namespace {
const SeamRegistration<CoreSeam, MakeDefault> kRegistration("CoreSeam");
}  // namespace
