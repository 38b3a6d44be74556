// The mission object and the driver around it.
//
// Every map runs under one mission, an AiMission. The mission owns the AI processes of the
// map's objects and steps them once per frame, and decides when and how the game ends. Mission
// scripts derive their classes from AiMission and register an AiMissionSelector that matches
// map names; a map that no selector matches runs the base mission, an EmptyMission.
//
// One mission at a time: the ticked mission is the current one, and making a new mission
// current deletes the one before it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/factory.h"

class AiProcess;
class GameObject;

constexpr size_t kResultNameSize = 14;  // 13 characters and the terminator

class AiMission : public sObject {
public:
    AiMission();
    // Deletes every process, clears the task list, ends the planner's mission and stops being
    // current.
    ~AiMission() override;

    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    const FactoryReg* GetFactory() const override;
    // A new game object joins the mission.
    virtual void AddObject(GameObject* object);
    // The per-frame step.
    virtual void Execute();
    // The team of a network player's craft.
    virtual int32_t TeamForPlayer(int32_t player);
    // The user's respawn timer ran out: the base ends the game as lost.
    virtual void RespawnUser();
    virtual void StartNetworkPlayer();
    virtual bool MayContinue();
    virtual void RemotePlayerReset(uint32_t handle);

    // Ends the mission at the absolute game time with the debrief file name (null: none).
    void Fail(float time, const char* name);
    void Succeed(float time, const char* name);

    // The object's process, by the class's friend or enemy process name; null when the object
    // has no class or the name has no factory.
    static AiProcess* CreateObjectProcess(AiMission* mission, GameObject* object);
    static AiMission* GetCurrent();
    // True while the mission exists.
    static bool IsLive(const AiMission* mission);

    // Append / remove every occurrence (the processes call these themselves). During the
    // frame's walk a removed process leaves a gap that the walk skips, and an added one waits
    // for the next frame.
    void AddProcess(AiProcess* process);
    void RemoveProcess(AiProcess* process);
    const std::vector<AiProcess*>& Processes() const { return processes; }

    std::vector<AiProcess*> processes;
    bool done = false;
    float shutdownTime = 0.0f;
    bool failed = false;
    char resultName[kResultNameSize] = {};

protected:
    // The end: the game state and the debrief name.
    void SetResult();

private:
    bool walking_ = false;
};

// The base mission of a map without a script: nothing of its own.
class EmptyMission : public AiMission {
public:
    const FactoryReg* GetFactory() const override;
};

// A registration of a mission class for map names.
class AiMissionSelector {
public:
    // Stores the name and appends the selector to the global list.
    explicit AiMissionSelector(const char* name);
    virtual ~AiMissionSelector();
    AiMissionSelector(const AiMissionSelector&) = delete;
    AiMissionSelector& operator=(const AiMissionSelector&) = delete;
    // Exact, case-sensitive comparison with the selector's name.
    virtual bool Matches(const char* name) const;
    virtual AiMission* Create() const = 0;
    const char* name;
};

// The selectors in registration order.
std::vector<AiMissionSelector*>& AiMission_Selectors();

// ---- the driver ------------------------------------------------------------------------------

// The frame step: the avoidance grid, the mission's Execute, and, outside network games, the
// loss of the mission once the user has no craft. Without any mission it first creates the
// map's mission.
void Mission_Tick();
// Script calls on the ticked mission.
void FailMission(float time, const char* name);
void SucceedMission(float time, const char* name);

// The mission of the first selector matching the stem (at most 8 characters), or the base
// mission; made current; the planner starts for it.
AiMission* AiMission_CreateForMap(const char* stem);
// The same with a whole name, then with "empty"; made current; the planner is not started.
AiMission* AiMission_CreateByName(const char* name);

void Mission_ClearMapName();
// The stem of the map file (up to its first dot); a stem longer than 8 characters leaves the
// stored stem empty.
void Mission_SetMapName(const char* fileName);
// The stored stem, 8 characters zero-padded, terminated.
const char* Mission_MapName();
// AiMission_CreateForMap on the stored stem; the result is ticked.
void Mission_CreateForMapName();
// Deletes the mission and every named path.
void Mission_Shutdown();

// The mission section of a saved game or mission file.
bool Mission_SaveCurrent(FILE* stream);
// Reads the mission section; the mission becomes current. A mission file naming a class that
// is not registered runs the base mission; a saved game naming one fails.
bool Mission_LoadSaved();
// The planner starts; outside a network game the mission's PostLoad.
void Mission_StartAfterLoad();

// The debrief file name the shell reads once the mission has ended ("nofile" for none).
const char* Mission_DebriefName();
// False while a Japanese game plays an audio message: the end waits for it.
bool Mission_MayEnd();

// The "empty" selector joins the list unless it is there (start-up).
void Mission_InstallBaseSelector();
// Forgets every mission, the stem, the debrief name and the selectors but the base one
// (tests).
void Mission_Reset();
