#include "core/seams/objects.h"

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
    s.saveAll = [](FILE*) { return true; };             // filled by GameObjects_InstallSeam
    s.loadAll = [] { return true; };                    // filled by GameObjects_InstallSeam
    s.postLoadAll = [] { return true; };                // filled by GameObjects_InstallSeam
    s.discardLoaded = [] {};                            // filled by GameObjects_InstallSeam
    s.teamSaveAll = [](FILE*) { return true; };         // filled by GameObjects_InstallSeam
    s.teamLoadAll = [] { return true; };                // filled by GameObjects_InstallSeam
    s.teamPostLoadAll = [] { return true; };            // filled by GameObjects_InstallSeam
    s.buildStartPlayer = [](const Vector&) { return true; };  // filled by GameObjects_InstallSeam
    s.startUserObject = [] {};                          // filled by GameObjects_InstallSeam
    s.registerNetObjects = [](bool) {};                 // PENDING(3.125)
    s.getSerialCounter = [] { return 1u; };             // filled by GameObjects_InstallSeam
    s.setSerialCounter = [](uint32_t) {};               // filled by GameObjects_InstallSeam
    return s;
}

}  // namespace

ObjectsSeam& Seam_Objects() {
    static ObjectsSeam seam = MakeDefault();
    return seam;
}
