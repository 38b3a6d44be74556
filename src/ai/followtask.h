// Following a leader in formation. All followers of one leader are one FollowGroup of the global
// FollowRegistry; a follower's place in the formation comes from the size of its group and its
// own place in it, and a join or a leave makes every member take a new place the next time it
// enters its FOLLOW state. While in formation a follower with weapons shoots at the nearest enemy
// craft in range.
#pragma once
#include <cstdint>
#include <vector>

#include "ai/unitroster.h"
#include "ai/unittask.h"

class GameObject;

struct FollowEntry {
    GameObject* follower;
    bool changed;
};

// The roster of one leader: IndexOf (how many entries are ahead of a follower, the count when it
// is not a member), Count and the entries come with the roster.
class FollowGroup : public UnitRoster<FollowEntry, &FollowEntry::follower> {
public:
    using Entry = FollowEntry;
    explicit FollowGroup(uint32_t leader) : leaderHandle(leader) {}
    // Every member is marked changed, then the follower joins at the end (changed too).
    void Add(GameObject* follower);
    // The follower's entry goes and every other member is marked changed. The group leaves the
    // registry and is deleted when it becomes empty: true then (the group is gone).
    bool Remove(GameObject* follower);
    bool IsChanged(const GameObject* follower) const;
    void ClearChanged(const GameObject* follower);

    uint32_t leaderHandle;
};

// The group of the leader; a new empty one joins the registry when it has none.
FollowGroup* FollowRegistry_Get(GameObject* leader);
const std::vector<FollowGroup*>& FollowRegistry();
// Every group deleted (the tests' reset; the tasks that held them must be gone).
void FollowRegistry_Reset();

class FollowTask : public UnitTask {
public:
    // The loader's empty task.
    FollowTask();
    // Behind the leader; none gives a finished task.
    FollowTask(GameObject* unit, GameObject* leader);
    // Leaves the current state and the leader's group.
    ~FollowTask() override;

    const FactoryReg* GetFactory() const override;
    void DebugDraw() override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    // The base drive, with the boost on exactly at full throttle.
    void DriveToPlan() override;

    // The place in the formation from the group's size and the unit's place in it.
    void TakeFormationSlot();

    FollowGroup* group = nullptr;  // not saved: found again from the leader after a load

private:
    void ShootInFormation();
};

// After a load: a follow task joins its leader's group again (the leader is kept as its follow
// target). Other tasks are left alone.
void FollowTask_Relink(UnitTask* task);

// The create function of the follow task in the factory table.
void Ai_InstallFollowTasks();
