// Three small brains: PatrolTask, the go-to task with which a unit on patrol wanders from point to
// point; PowerUpProcess, which steers a power-up sent somewhere by a command to its point; and
// TorpedoProcess, which steers a self-steering torpedo at the nearest enemy.
#pragma once
#include <cstdint>
#include <cstdio>

#include "ai/aiprocess.h"
#include "ai/gototask.h"

class GameObject;

// The ground step (x, z) of a patrol direction 0..7, clockwise from +z.
struct PatrolStep {
    int x;
    int z;
};
PatrolStep Patrol_Step(int32_t direction);

class PatrolTask : public GotoTask {
public:
    // The loader's empty task.
    PatrolTask() = default;
    // The first leg along the route; the first direction is a random one.
    PatrolTask(GameObject* unit, AiPath* route, int32_t patrolType);

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;

    // Sets up the next leg toward a point the planner answers for the current direction or the
    // next ones tried (d, d+1, d-1, d+2, d-2, d+3, d-3, d+4); false when none answers.
    bool NextLeg();

    int32_t patrolType = 0;
    GameObject* myCraft = nullptr;
    int32_t patrolDir = 0;
};

class PowerUpProcess : public AiProcess {
public:
    PowerUpProcess() = default;
    const FactoryReg* GetFactory() const override;
    void Attach(AiMission* mission, GameObject* owner) override;
    void Execute() override;
};

class TorpedoProcess : public AiProcess {
public:
    TorpedoProcess() = default;
    const FactoryReg* GetFactory() const override;
    void Attach(AiMission* mission, GameObject* owner) override;
    void Execute() override;
};

// The steering of a torpedo toward a target offset (world) with its right axis and yaw rate.
float Torpedo_SteerToward(const Vector& offset, const Vector& right, float yawRate);
// The power-up's controls toward an aim given in its own frame (x right, z forward).
struct PowerUpSteer {
    float strafe;
    float throttle;
    float steer;
};
PowerUpSteer PowerUp_SteerToward(float x, float z, float yawRate);

// The create functions of the three and the unit services' patrol entries.
void Ai_InstallPatrolAndGuided();
