#include "fun3d/plannerslots.h"

#include <cstddef>

#include "core/seams/planner.h"

PlannerSlotHolder::~PlannerSlotHolder() {
    for (PlannerRecord* record : plannerSlots_) delete record;
}

void PlannerSlotHolder::SizePlannerSlots() {
    int count = Seam_Planner().slotCount();
    if (count < 0) count = 0;
    for (std::size_t i = static_cast<std::size_t>(count); i < plannerSlots_.size(); ++i) delete plannerSlots_[i];
    plannerSlots_.resize(static_cast<std::size_t>(count), nullptr);
}

PlannerRecord* PlannerSlotHolder::GetPlannerSlot(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= plannerSlots_.size()) return nullptr;
    return plannerSlots_[static_cast<std::size_t>(index)];
}

bool PlannerSlotHolder::SetPlannerSlot(int32_t index, PlannerRecord* record) {
    if (index < 0 || static_cast<std::size_t>(index) >= plannerSlots_.size()) return false;
    PlannerRecord*& slot = plannerSlots_[static_cast<std::size_t>(index)];
    if (slot != record) delete slot;
    slot = record;
    return true;
}
