// The instant-action script: a map played without a script of its own, its settings read from
// the definition file named after the map, won when the enemy team has no units left and lost
// by the rules its settings switch on (or, as every single-player mission, when the user has no
// object any more).
#pragma once
#include <cstdint>
#include <cstdio>

#include "ai/aimission.h"

// The settings read once per program run.
struct InstantActionSettings {
    char startSound[64] = {};
    char objective[64] = {};
    char victoryDebrief[kResultNameSize] = {};
    char defeatDebrief[kResultNameSize] = {};
    int32_t defeatWhenNoBase = 0;    // 1: lost when team 1 holds nothing in slots 1 to 4
    int32_t victoryWhenNoBase = 0;   // 1: won when team 2 holds nothing in slots 1 to 4
    int32_t timeLimitMeansVictory = 0;
};

class Inst4XMission : public AiMission {
public:
    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    const FactoryReg* GetFactory() const override;
    void AddObject(GameObject* object) override { AiMission::AddObject(object); }
    void Execute() override;

    // "b_array": first frame to come, ended, timer started.
    bool firstFrame = true;
    bool ended = false;
    bool timerStarted = false;
    // "f_array": a spare value and the time limit in seconds.
    float spare = 99999.0f;
    float timeLimit = 0.0f;
    // "h_array" and "i_array": one unused handle and one unused int.
    uint32_t handle = 0;
    int32_t unused = 0;

private:
    void Begin();
    void Victory();
    void Defeat();
};

// Registers the script's create function and its map selector ("UsrMsn"); start-up.
void Missions_InstallInstantAction();
// The settings as read (tests), and forgetting them so the next mission reads them again.
const InstantActionSettings& InstantAction_Settings();
void InstantAction_Reset();
