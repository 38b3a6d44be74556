// A fresh object layer and mission driver for each test: plain objects on the headless
// platform, virtual time, the unit AI's seams installed, and a small process class whose
// step runs a callback. Everything a test leaves behind goes in TearDown.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ai/aimission.h"
#include "ai/aiprocess.h"
#include "core/seams/ai.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"

// A process whose step runs onStep (if any) and counts the steps.
class ProbeProcess : public AiProcess {
public:
    ProbeProcess() = default;
    ProbeProcess(AiMission* mission, GameObject* owner) : AiProcess(mission, owner) {}
    ~ProbeProcess() override;
    const FactoryReg* GetFactory() const override;
    void Execute() override;

    int steps = 0;
    std::function<void(ProbeProcess*)> onStep;
    static std::vector<const ProbeProcess*>& Deleted();
};

class MissionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A class of plain objects whose friend and enemy process names are given.
    GameObjectClass& NewClass(const char* friendName = "", const char* enemyName = "");
    GameObject* Build(GameObjectClass& cls, int32_t team = 1);
    // Destroys the object as the world does (its process goes with it).
    void Destroy(GameObject* object);
    void SetTime(float seconds);

    std::vector<GameObjectClass*> classes_;
    std::vector<Entity*> roots_;
    AiSeam ai_{};
    MissionsSeam missions_{};
    NetSeam net_{};
};
