#include "core/seams/objects.h"

#include "core/seams/registry.h"

namespace {

ObjectsSeam MakeDefault() {
    ObjectsSeam s{};
    s.teamRecordCreateAll = [] {};           // filled by GameObjects_InstallSeam
    s.teamRecordDestroyAll = [] {};          // filled by GameObjects_InstallSeam
    s.animBuildingPostLoad = [] {};          // filled by GameObjects_InstallSeam
    s.gameObjectCreateGrid = [] {};          // filled by GameObjects_InstallSeam
    s.gameObjectFreeGrid = [] {};            // filled by GameObjects_InstallSeam
    s.gameObjectUpdateGrid = [] {};          // filled by GameObjects_InstallSeam
    s.gameObjectUpdateVisibility = [] {};    // filled by GameObjects_InstallSeam
    s.gameObjectRevealAll = [] {};           // filled by GameObjects_InstallSeam
    s.gameObjectRemoveAll = [] {};           // filled by GameObjects_InstallSeam
    s.sendNetUpdates = [] {};                // filled by GameObjects_InstallSeam
    s.stepUserObject = [](float) {};         // filled by GameObjects_InstallSeam
    s.scrapCreateGrid = [] {};               // filled by GameObjects_InstallSeam
    s.scrapFreeGrid = [] {};                 // filled by GameObjects_InstallSeam
    s.scrapRefreshGrid = [] {};              // filled by GameObjects_InstallSeam
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
    s.registerNetObjects = [](bool) {};  // the object layer fills it at start-up
    s.getSerialCounter = [] { return 1u; };             // filled by GameObjects_InstallSeam
    s.setSerialCounter = [](uint32_t) {};               // filled by GameObjects_InstallSeam
    return s;
}

}  // namespace

ObjectsSeam& Seam_Objects() { return SeamTableInstance<ObjectsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<ObjectsSeam, MakeDefault> kRegistration("ObjectsSeam");
}  // namespace
