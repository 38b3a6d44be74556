#include "core/seams/planner.h"

#include "core/seams/registry.h"

namespace {

PlannerSeam MakeDefault() {
    PlannerSeam s{};
    s.slotCount = [] { return 0; };                      // PENDING(6.106)
    s.scrapChanged = [](int, int change) { return change; };  // PENDING(6.106)
    s.sendPoint = [](const Vector&, int, int, int, int, Vector*) { return false; };  // PENDING(6.106)
    return s;
}

}  // namespace

PlannerSeam& Seam_Planner() { return SeamTableInstance<PlannerSeam, MakeDefault>(); }

namespace {
const SeamRegistration<PlannerSeam, MakeDefault> kRegistration("PlannerSeam");
}  // namespace
