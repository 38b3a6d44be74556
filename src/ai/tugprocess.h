// The tug's brain: orders become states (go, follow, pick up, drop off, repair, recycle,
// rescue). A drop-off drives to the point, parks the cargo a few metres ahead, lets go of it and
// backs the tug off; a pick-up drives under the object with TugPickup and lowers the hook there.
// TugFriend and TugEnemy behave the same.
#pragma once
#include <cstdint>

#include "ai/aiprocess.h"
#include "ai/gototask.h"
#include "core/mathlib.h"

struct Entity;
class UnitTask;

enum TugProcessState : int32_t {
    kTugStart = 0,
    kTugWait,
    kTugGoto,
    kTugFollow,
    kTugPickup,
    kTugPark,
    kTugDropoff,
    kTugRepair,
    kTugRecycle,
    kTugRescue,
    kTugStateCount
};
// "START" .. "RESCUE"; null outside 0..9.
const char* TugProcess_StateName(int32_t state);

// where.y holding this value: the drive follows the order's own route.
constexpr float kTugUseCommandPath = -1e30f;
constexpr int32_t kTugNoState = -1;

class TugProcess : public AiProcess {
public:
    explicit TugProcess(const char* name = "TugFriend") : name_(name) {}
    ~TugProcess() override;

    const FactoryReg* GetFactory() const override;
    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    void DebugDump() override;
    void Attach(AiMission* mission, GameObject* owner) override;
    void Execute() override;

    // Whether the pending order starts a state (nextState holds it).
    bool CheckCommand(int32_t code);
    void TakeCommand();
    void Enter(int32_t state);
    void Leave(int32_t state);
    void Step(int32_t state);

    int32_t curState = kTugStart;
    int32_t nextState = kTugWait;
    GameObject* craft = nullptr;
    Vector where{0.0f, kTugUseCommandPath, 0.0f};
    uint32_t whoHandle = 0;
    UnitTask* task = nullptr;
    float dropoffPoint = 5.0f;
    Vector tugLocation{};
    Entity* targetEntity = nullptr;  // not saved
    Entity* tugEntity = nullptr;     // not saved

private:
    void StartDrive();
    void RefreshEntities();
    const char* name_;
};

// Drives under the target and lowers the hook; done once the target hangs on the hook. A
// target another tug carries is approached to 7 m and waited for.
class TugPickup : public GoNear {
public:
    TugPickup() = default;
    TugPickup(GameObject* tug, GameObject* target);
    const FactoryReg* GetFactory() const override;
    bool OnNear() override;
};

// The create functions of the tug's brains and task in the factory table.
void Ai_InstallTugProcesses();
