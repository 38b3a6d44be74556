// The SAV's brain: it hunts people on foot and vehicles near it. A person is rammed
// (SAVAttackPersonTask); a vehicle is shot at from a place on a ring round it
// (SAVAttackVehicleTask), the attackers of one vehicle spread round the ring. The SAV travels
// deployed (high up) and strikes undeployed (low). A person coming near drops a vehicle attack.
#pragma once
#include <cstdint>

#include "ai/attacktask.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"

// The SAV vehicle attack's own states, after the unit task's.
constexpr int32_t kSavTaskSettle = 14;
constexpr int32_t kSavTaskApproach = 15;
// How far from its target a SAV's place on the ring lies, and the spacing of the places.
constexpr float kSavRingDistance = 40.0f;
constexpr float kSavRingStepDegrees = 22.5f;
// A SAV this close to the map's edge leaves the world.
constexpr float kSavEdgeMargin = 20.0f;

class SAVEnemy : public UnitProcess {
public:
    SAVEnemy() = default;
    const FactoryReg* GetFactory() const override;
    bool ProcessCommand(int32_t code) override;
    bool CheckEnemy() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
};

class SAVAttackPersonTask : public UnitTask {
public:
    SAVAttackPersonTask();
    SAVAttackPersonTask(GameObject* sav, GameObject* person);
    ~SAVAttackPersonTask() override;
    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    // Steers at the target and hurts it while it is 0 to 5 m ahead.
    void Ram(GameObject* target);

    float pitchAccumulator = 0.0f;
};

class SAVAttackVehicleTask : public UnitTask {
public:
    SAVAttackVehicleTask();
    SAVAttackVehicleTask(GameObject* sav, GameObject* vehicle);
    ~SAVAttackVehicleTask() override;
    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    void DebugDraw() override;

    // The line of fire, measured from the SAV's hover height while it is deployed.
    bool SavLineOfFire();
    void HoverBrake();
    // The SAV's place on the ring round the target (from its index among the attackers).
    Vector RingPoint(GameObject* target);

    float strikeDeadline = 0.0f;
    float lastShotDeadline = 0.0f;
    bool prevInTransition = false;
    float turnValue = 0.0f;
    AttackRecord* record = nullptr;  // not saved: joined again after a load
};

// The create functions of the SAV's brain and tasks in the factory table.
void Ai_InstallSavProcesses();
