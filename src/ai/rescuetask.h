// The rescue: a vehicle drives up to a unit on foot, stops beside it for a moment and takes it
// aboard (its pick-up control). Far off it plans a route; within 100 m it keeps station on the
// unit; within 30 m it brakes and waits a second before the pick-up.
#pragma once
#include "ai/unittask.h"

class RescueTask : public UnitTask {
public:
    RescueTask();
    // To the unit; none gives a finished task.
    RescueTask(GameObject* vehicle, GameObject* unit);
    ~RescueTask() override;

    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    void DebugDraw() override;
};

// The create function of the rescue task in the factory table.
void Ai_InstallRescueTask();
