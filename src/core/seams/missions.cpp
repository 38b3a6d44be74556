#include "core/seams/missions.h"

#include "core/seams/registry.h"

namespace {

MissionsSeam MakeDefault() {
    MissionsSeam s{};
    s.createByName = [](const char*) {};  // filled by Ai_InstallSeam
    s.difficulty = [] { return 2; };      // PENDING(7.102)
    s.scriptStateSave = [](FILE*) { return true; };  // PENDING(7.102)
    s.scriptStateLoad = [] { return true; };         // PENDING(7.102)
    s.scriptStatePostLoad = [] {};                   // PENDING(7.102)
    return s;
}

}  // namespace

MissionsSeam& Seam_Missions() { return SeamTableInstance<MissionsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<MissionsSeam, MakeDefault> kRegistration("MissionsSeam");
}  // namespace
