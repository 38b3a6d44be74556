// The planner records kept beside every object and every object class. The strategic planner
// creates and fills the entries; the holder owns them and deletes them with itself.
#pragma once
#include <cstdint>
#include <vector>

class PlannerRecord {
public:
    virtual ~PlannerRecord() = default;
};

class PlannerSlotHolder {
public:
    PlannerSlotHolder() = default;
    virtual ~PlannerSlotHolder();
    PlannerSlotHolder(const PlannerSlotHolder&) = delete;
    PlannerSlotHolder& operator=(const PlannerSlotHolder&) = delete;

    // Grows or shrinks the array to the planner's current slot count; new entries are null and
    // entries cut off are deleted.
    void SizePlannerSlots();
    int32_t PlannerSlotCount() const { return static_cast<int32_t>(plannerSlots_.size()); }
    // Null outside the array.
    PlannerRecord* GetPlannerSlot(int32_t index) const;
    // Replaces (and deletes) the entry; an index outside the array is refused.
    bool SetPlannerSlot(int32_t index, PlannerRecord* record);

private:
    std::vector<PlannerRecord*> plannerSlots_;
};
