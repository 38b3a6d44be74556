// The processes of craft the unit AI does not steer. UserProcess is the brain of the user's own
// craft: every frame it turns the input sinks into the craft's controls, selects and fires its
// weapons by groups, and drops a camera pod behind the craft on request. NetProcess stands for
// a craft a remote player drives: it moves from network updates, so its process does nothing.
#pragma once
#include <cstdint>
#include <cstdio>

#include "ai/aiprocess.h"

class Craft;
class GameObjectClass;

constexpr int kWeaponGroupRows = 2;
constexpr int kWeaponGroupSlots = 5;
constexpr int kWeaponGroupEntries = kWeaponGroupRows * kWeaponGroupSlots;

class UserProcess : public AiProcess {
public:
    UserProcess(AiMission* mission, GameObject* craft);
    // An empty process for loading.
    UserProcess();
    // Deselects every weapon of the craft.
    ~UserProcess() override;

    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    const FactoryReg* GetFactory() const override;
    void DebugDump() override;
    void Execute() override;

    // Rebuilds the two rows of weapon groups from the craft's mounts, selects the current group
    // and finds the class of the object the craft drops.
    void SetupWeaponGroups();

    GameObjectClass* pilotClass = nullptr;  // the camera pod of the craft's side, or none
    int32_t cycle = 0;
    int32_t groupMode = 0;  // 0: same weapon class; 1: same kind of hardpoint
    int32_t selectList[kWeaponGroupEntries] = {};
    int32_t selectNext[kWeaponGroupEntries] = {};

private:
    void DropPod(Craft* craft);
    void SelectAndFire(GameObject* craft);
};

class NetProcess : public AiProcess {
public:
    NetProcess(AiMission* mission, GameObject* craft) : AiProcess(mission, craft) {}
    NetProcess() = default;

    bool Load() override { return AiProcess::Load(); }
    bool Save(FILE* stream) override { return AiProcess::Save(stream); }
    const FactoryReg* GetFactory() const override;
    void DebugDump() override;
    void Execute() override {}
};

// Factory create functions: empty processes for loading and attaching.
sObject* UserProcess_Create();
sObject* NetProcess_Create();
