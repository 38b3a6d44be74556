#include "core/seams/objects.h"

#include "core/seams/registry.h"

namespace {

ObjectsSeam MakeDefault() {
    ObjectsSeam s{};
    s.teamRecordCreateAll = [] {};           // filled by GameObjects_InstallSeam
    s.teamRecordDestroyAll = [] {};          // filled by GameObjects_InstallSeam
    s.animBuildingPostLoad = [] {};          // PENDING(3.130)
    s.gameObjectCreateGrid = [] {};          // PENDING(3.108)
    s.gameObjectFreeGrid = [] {};            // PENDING(3.108)
    s.gameObjectUpdateGrid = [] {};          // PENDING(3.108)
    s.gameObjectUpdateVisibility = [] {};    // PENDING(3.108)
    s.gameObjectRevealAll = [] {};           // PENDING(3.108)
    s.gameObjectRemoveAll = [] {};           // PENDING(3.108)
    s.sendNetUpdates = [] {};                // PENDING(3.108)
    s.stepUserObject = [](float) {};         // PENDING(3.108)
    s.scrapCreateGrid = [] {};               // PENDING(3.136)
    s.scrapFreeGrid = [] {};                 // PENDING(3.136)
    s.scrapRefreshGrid = [] {};              // PENDING(3.136)
    s.classesFreeAll = [] {};                // filled by GameObjects_InstallSeam
    return s;
}

}  // namespace

ObjectsSeam& Seam_Objects() { return SeamTableInstance<ObjectsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<ObjectsSeam, MakeDefault> kRegistration("ObjectsSeam");
}  // namespace
