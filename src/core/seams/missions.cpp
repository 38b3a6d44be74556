#include "core/seams/missions.h"

namespace {

MissionsSeam MakeDefault() {
    MissionsSeam s{};
    s.createByName = [](const char*) {};  // PENDING(7.101)
    return s;
}

}  // namespace

MissionsSeam& Seam_Missions() {
    static MissionsSeam seam = MakeDefault();
    return seam;
}
