#include "core/seams/planner.h"

namespace {

PlannerSeam MakeDefault() {
    PlannerSeam s{};
    s.slotCount = [] { return 0; };                      // PENDING(6.106)
    s.scrapChanged = [](int, int change) { return change; };  // PENDING(6.106)
    return s;
}

}  // namespace

PlannerSeam& Seam_Planner() {
    static PlannerSeam seam = MakeDefault();
    return seam;
}
