// The general combat tasks a unit process hands its craft, and the record that lets several
// attackers of one target work together.
//
// Every attacked target has one AttackRecord in the global AttackRegistry: the units attacking
// it, in the order they joined, with the task each runs. An AttackTask far from its target looks
// in that record for a leader close by and falls in behind it; without one it leads, stops short
// of the target and waits for the followers still catching up. Near the target the task closes
// in, strafes, stands, flees and blasts. A HuntTask roams from one seen enemy to the next (or to
// random points); a DefendTask wanders round a protected object.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ai/gototask.h"
#include "ai/unitroster.h"
#include "ai/unittask.h"

class GameObject;

struct AttackEntry {
    GameObject* attacker;
    UnitTask* task;
};

// The roster of one target: IndexOf (how many entries are ahead of an attacker, the count when
// it is absent), Count and the entries come with the roster.
class AttackRecord : public UnitRoster<AttackEntry, &AttackEntry::attacker> {
public:
    using Entry = AttackEntry;
    explicit AttackRecord(uint32_t target = 0) : targetHandle(target) {}
    // Appends the pair; the first attacker sets the base bearing from the target to it.
    void Add(GameObject* attacker, UnitTask* task);
    // Removes the attacker's entry. A record left empty leaves the registry and is deleted:
    // true then (the record is gone).
    bool Remove(GameObject* attacker);
    // The entry just ahead of the attacker's own; null when it is first or absent.
    const Entry* Previous(const GameObject* attacker) const;

    float baseBearing = 0.0f;
    uint32_t targetHandle = 0;
};

// The record of the target; a new empty one joins the registry when it has none.
AttackRecord* AttackRegistry_Get(GameObject* target);
// The target's record with the attacker and its task added at its end (a task taking up, or after
// a load taking up again, its place among the target's attackers).
AttackRecord* AttackRegistry_Join(GameObject* target, GameObject* attacker, UnitTask* task);
const std::vector<AttackRecord*>& AttackRegistry();
// Every record deleted (the tests' reset; the tasks that held them must be gone).
void AttackRegistry_Reset();

class AttackTask : public UnitTask {
public:
    // The loader's empty task.
    AttackTask();
    // Against the target, joining its record; none gives a finished task.
    AttackTask(GameObject* unit, GameObject* target);
    // Leaves the current state and the target's record.
    ~AttackTask() override;

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;

    // START: straight at a near target, else behind a leader close by, else leading.
    void Choose();
    // FOLLOW entry: the place behind the leader from the number of its followers.
    void TakeFormationSlot();
    // FOLLOW and CATCH: true when the state was decided because the leader engaged or is lost.
    bool LeaderEngaged();
    // WAIT: true while a follower is still catching up (else the leader moves on to GOTO).
    bool FollowerCatching();

    float attackRangeSq = 102400.0f;
    float waitRangeSq = 136900.0f;
    uint32_t fleeFrom = 0;
    AttackRecord* record = nullptr;  // not saved: found again from the target after a load

private:
    void Countermeasures();
    void FireControl();
};

// After a load: an attack task joins its target's record again. Other tasks are left alone.
void AttackTask_Relink(UnitTask* task);

class HuntTask : public GotoTask {
public:
    HuntTask();
    // Along the route, or to the point; the first hunt point is picked at once.
    HuntTask(GameObject* unit, AiPath* route);
    HuntTask(GameObject* unit, const Vector& point);
    ~HuntTask() override = default;

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    // Done when finished, or when the plan found no way (a straight line instead).
    bool IsDone() override;

    // A new leg to a fresh hunt point; false when none was found.
    bool NewLeg();
    // The next hunt point: a seen enemy while legs are not coming too fast, else a random one.
    bool PickPoint(Vector* point);
    // A random scrap piece's position, else a random live object's.
    static bool RandomPoint(Vector* point);

    GameObject* my_craft = nullptr;
    float huntTimes[5] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
    int32_t huntCount = 0;
};

class DefendTask : public UnitTask {
public:
    DefendTask();
    DefendTask(GameObject* unit, GameObject* protectedObject);
    ~DefendTask() override;

    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    // Holds about the guard point, facing along the way to it.
    void KeepStation();
};

// The create functions of the attack, hunt and defend tasks in the factory table.
void Ai_InstallAttackTasks();
