// AiProcess: the brain of one AI-driven game object.
//
// Every process belongs to the current mission, which owns it and steps it once per frame
// (AiMission::Execute). A process is bound to its owner object both ways: the owner's AI
// process pointer names the process, and the process records the owner. Deleting the process
// undoes both links; a process that wants to end itself calls Exit and the mission deletes it
// after the frame's walk.
#pragma once
#include <cstdio>

#include "core/factory.h"

class AiMission;
class GameObject;

class AiProcess : public sObject {
public:
    // An empty process, for loading.
    AiProcess() = default;
    // Joins the mission's list and becomes the owner's AI process (as Attach).
    AiProcess(AiMission* mission, GameObject* owner);
    // When it has a live owner: the owner loses its AI process, its current command is
    // cleared and its pending command becomes code 0. Then the process leaves its mission.
    ~AiProcess() override;

    // "fMission" and "fOwner" (saved ids, re-linked after the load), then "exited".
    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    // The concrete class's factory entry (its name is saved in front of the object).
    const FactoryReg* GetFactory() const override = 0;
    // A few lines about the process for the debug output; nothing in the base.
    virtual void DebugDump();
    // The wiring of the two-argument constructor, on an existing process.
    virtual void Attach(AiMission* mission, GameObject* owner);
    // The per-frame step.
    virtual void Execute() = 0;

    // Asks the mission to delete the process after the current walk.
    void Exit() { exited = true; }

    AiMission* fMission = nullptr;
    GameObject* fOwner = nullptr;
    bool exited = false;  // saved as a 32-bit word
};
