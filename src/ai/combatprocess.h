// The brains of the combat craft: tanks, scouts, bombers and rocket tanks (WingmanProcess) and the
// walker (GechProcess). They answer orders like every craft process, attack the enemies their
// search turns up, and a wingman also hunts on order. Each family hands the fighting to one of
// three short attack tasks: the blast attack (run at the target and shoot), the rocket tank's
// stand-off attack that creeps closer while it cannot see the target, and the walker's attack.
//
// Every kind is registered twice, as the brain of a friendly and of an enemy craft; the two
// behave the same.
#pragma once
#include <cstdint>

#include "ai/unitprocess.h"
#include "ai/unittask.h"

enum class WingmanKind : int32_t { kTank, kScout, kBomber, kRocketTank };

class WingmanProcess : public CraftProcess {
public:
    // The loader's process of the registered name.
    WingmanProcess(WingmanKind kind, const char* name);
    ~WingmanProcess() override = default;

    const FactoryReg* GetFactory() const override;
    void OnAttach() override;
    bool ProcessCommand(int32_t code) override;
    void UpdateFromCommand() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
    void StateExecute(int32_t state) override;
    GameObject* FindEnemy(float range2) override;
    bool KeepTarget(int32_t state) override;

    WingmanKind kind;

private:
    // The grouping attack, or the rocket tank's own.
    UnitTask* MakeAttack(GameObject* target);
    const char* name_;
};

class GechProcess : public CraftProcess {
public:
    explicit GechProcess(const char* name);
    ~GechProcess() override = default;

    const FactoryReg* GetFactory() const override;
    void OnAttach() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
    void StateExecute(int32_t state) override;
    bool KeepTarget(int32_t state) override;

private:
    const char* name_;
};

// Run at the target and shoot; after it again when it gets away.
class WingmanBlastAttack : public UnitTask {
public:
    WingmanBlastAttack();
    WingmanBlastAttack(GameObject* unit, GameObject* target);
    ~WingmanBlastAttack() override;

    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;

protected:
    // The ATTACK step.
    virtual void AttackStep(GameObject* target, bool clear, float targetDist2);
    // After the state step: the shot and the countermeasures.
    virtual void AfterStep(bool clear);
};

// Keeps its distance and fires; while it cannot see the target it closes in, down to 20 m.
class RocketTankAttack : public WingmanBlastAttack {
public:
    RocketTankAttack();
    RocketTankAttack(GameObject* unit, GameObject* target);

    const FactoryReg* GetFactory() const override;
    void Enter() override;

protected:
    void AttackStep(GameObject* target, bool clear, float targetDist2) override;
};

// The walker's attack: fires only in its ATTACK state; a walker with many mounts sprays.
class GechAttack : public WingmanBlastAttack {
public:
    GechAttack();
    GechAttack(GameObject* unit, GameObject* target);
    ~GechAttack() override;

    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;

protected:
    void AttackStep(GameObject* target, bool clear, float targetDist2) override;
    void AfterStep(bool clear) override;
};

// A craft built with guns but none selected selects every enabled one, or its weapon set-up sees
// no reach beyond a few metres and it never shoots.
void CombatProcess_ArmCraft(GameObject* craft);

// The create functions of the combat craft processes in the factory table.
void Ai_InstallCombatProcesses();
// The create functions of the three attack tasks in the factory table.
void Ai_InstallCombatTasks();
