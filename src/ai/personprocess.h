// The brains of units on foot: a pilot who has lost or left a craft (PersonProcess, registered
// as "PersonFriend" and "PersonEnemy") and a soldier (SoldierProcess, "SoldierFriend" and
// "SoldierEnemy"). A pilot left to itself walks home to its team's base, where it rejoins the
// team's pilot pool, or climbs into an empty craft close by; a soldier waits a few seconds and
// then walks home, and can be ordered back into a vehicle. Both fight with the same group
// attack, in which each attacker keeps station behind the one that joined before it.
//
// Their tasks: the group attack (PersonAttack / SoldierAttack), the walks home (PersonRetreat,
// SoldierRetreat) and into a vehicle (SoldierReturn), and the three ways a pilot reaches a craft
// (PersonGlide off impassable ground, PersonStraight along a clear straight line, PersonGetIn
// along a planned route).
#pragma once
#include <cstdint>

#include "ai/attacktask.h"
#include "ai/gototask.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"

class PersonProcess : public CraftProcess {
public:
    explicit PersonProcess(const char* name);
    ~PersonProcess() override;

    const FactoryReg* GetFactory() const override;
    void OnAttach() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
    void StateExecute(int32_t state) override;
    bool KeepTarget(int32_t state) override;

    // Neither is saved: a loaded pilot looks again.
    bool gettingIn = false;  // a craft has been claimed for this pilot
    GameObject* home = nullptr;

private:
    // The empty-craft search: claims the craft and sets the walk to it; whether one was found.
    bool LookForCraft();
    // The claim on the craft the current task heads for given back.
    void ReleaseClaim();
    // A claimed craft that was taken or destroyed, or walked to in vain, is given up (claim and
    // task) rather than waited at for ever; whether it was.
    bool GiveUpLostCraft();
    const char* name_;
};

class SoldierProcess : public CraftProcess {
public:
    explicit SoldierProcess(const char* name);
    ~SoldierProcess() override;

    const FactoryReg* GetFactory() const override;
    void OnAttach() override;
    bool ProcessCommand(int32_t code) override;
    void UpdateFromCommand() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
    void StateExecute(int32_t state) override;
    bool KeepTarget(int32_t state) override;

private:
    const char* name_;
};

// The team's home for its people: the object in slot 1, else 2, else 3; an object in slots 75 to
// 79 nearer to the unit (on the ground) takes its place. Null when there is none.
GameObject* Person_HomeObject(GameObject* unit);

// The task that brings a pilot to a craft: gliding while it stands on impassable ground, walking
// straight when nothing lies across the way, else along a planned route to a reachable point
// next to the craft.
UnitTask* Person_RouteToCraft(GameObject* person, GameObject* craft);

// The group attack of people on foot. Every attacker of a target joins the target's attack record;
// one that comes within 30 m of the attacker registered ahead of it falls in 10 m behind it while
// that one is still on its way.
class PersonAttack : public UnitTask {
public:
    PersonAttack();
    // Against the target, joining its record; none gives a finished task.
    PersonAttack(GameObject* unit, GameObject* target);
    // Leaves the current state and the target's record.
    ~PersonAttack() override;

    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;

    AttackRecord* record = nullptr;  // not saved: found again from the target after a load

private:
    // The live attacker registered just ahead of this one, or null.
    const AttackRecord::Entry* Ahead() const;
};

class SoldierAttack : public PersonAttack {
public:
    using PersonAttack::PersonAttack;
    const FactoryReg* GetFactory() const override;
};

// A walk to an object that ends inside a box round it: there the unit leaves the world (a pilot
// also rejoins its team's pilot pool).
class GoHomeTask : public GotoTask {
public:
    GoHomeTask() = default;
    GoHomeTask(GameObject* unit, GameObject* target) : GotoTask(unit, target) {}
    bool Refresh() override;

protected:
    virtual bool AddsPilot() const { return false; }
};

class PersonRetreat : public GoHomeTask {
public:
    using GoHomeTask::GoHomeTask;
    const FactoryReg* GetFactory() const override;

protected:
    bool AddsPilot() const override { return true; }
};

class SoldierRetreat : public GoHomeTask {
public:
    using GoHomeTask::GoHomeTask;
    const FactoryReg* GetFactory() const override;
};

class SoldierReturn : public GoHomeTask {
public:
    using GoHomeTask::GoHomeTask;
    const FactoryReg* GetFactory() const override;
};

// Steers a pilot off impassable ground toward the craft; ends once it stands on passable ground.
class PersonGlide : public UnitTask {
public:
    PersonGlide();
    PersonGlide(GameObject* unit, GameObject* craft);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override;
};

// Walks straight at a craft along a two-point route whose end follows the craft.
class PersonStraight : public UnitTask {
public:
    PersonStraight();
    PersonStraight(GameObject* unit, GameObject* craft);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override;
};

// Walks a planned route to the approach point next to a craft (the craft's handle in saveHandle).
class PersonGetIn : public GotoTask {
public:
    PersonGetIn() = default;
    PersonGetIn(GameObject* unit, GameObject* craft, const Vector& approach);
    const FactoryReg* GetFactory() const override;
    bool Refresh() override;
};

// The craft a pilot's walk to a craft heads for (null for other tasks or when it is gone).
GameObject* Person_RouteCraft(UnitTask* task);

// The create functions of the person and soldier processes in the factory table.
void Ai_InstallPersonProcesses();
// The create functions of their tasks.
void Ai_InstallPersonTasks();
