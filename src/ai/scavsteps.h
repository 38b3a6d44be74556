// The repair and cash-out steps a scavenger's brain runs, written once over the few fields they
// touch so that every brain built on the scavenger's (the tug's among them) calls the same code.
//
// REPAIR: the craft goes to its team's service object (the armory-slot producer, a repair pad,
// or the target its order names) and waits there until repaired; a repair kit lying close by is
// fetched on the way. CASH_OUT: the craft drives to its team's drop-off and, once within 40 m,
// asks to be recycled there.
#pragma once
#include <cstdint>

class GameObject;
class UnitTask;

// What the steps read and write of a brain: its craft, the object it heads for (a handle) and
// the state's task (owned by the brain; the steps replace it).
struct ScavStepFields {
    GameObject* craft;
    uint32_t* whoHandle;
    UnitTask** task;
};

// REPAIR entry; false when there is nothing to go to (the brain then waits).
bool ScavSteps_RepairEnter(const ScavStepFields& f);
// REPAIR step; false when the state is over (the brain then waits). Updates the task.
bool ScavSteps_RepairStep(const ScavStepFields& f);
// CASH_OUT entry: a drive to the team's drop-off, or no task without one.
void ScavSteps_CashOutEnter(const ScavStepFields& f);
// CASH_OUT step; false when the state is over (the craft asked to be recycled when it stood
// within 40 m of a drop-off; a current recycle order is cleared). Updates the task.
bool ScavSteps_CashOutStep(const ScavStepFields& f);
