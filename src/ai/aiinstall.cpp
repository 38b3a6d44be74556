#include "ai/aiinstall.h"

#include <cstring>

#include "ai/aimission.h"
#include "ai/aiprocess.h"
#include "ai/pathplanner.h"
#include "core/cmdline.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/missions.h"

namespace {

void SetCreate(const char* name, FactoryCreate create) {
    for (FactoryReg& entry : Registration_FactoryTable())
        if (std::strcmp(entry.name, name) == 0) entry.create = create;
}

}  // namespace

void Ai_InstallSeam() {
    SetCreate("AiMission", []() -> sObject* { return new AiMission; });
    SetCreate("EmptyMission", []() -> sObject* { return new EmptyMission; });
    Mission_InstallBaseSelector();

    AiSeam& s = Seam_Ai();
    s.missionClearCurrent = Mission_ClearMapName;
    s.missionTakeMapId = [] { Mission_SetMapName(CmdLine_Globals().mapName.c_str()); };
    s.missionTick = Mission_Tick;
    s.missionFree = Mission_Shutdown;
    s.missionHasCurrent = [] { return AiMission::GetCurrent() != nullptr; };
    s.missionNetStart = [] {
        if (AiMission* mission = AiMission::GetCurrent()) mission->StartNetworkPlayer();
    };
    s.processStep = [](sObject* object) {
        if (auto* process = dynamic_cast<AiProcess*>(object)) process->Execute();
    };
    s.createObjectProcess = [](GameObject* object) -> sObject* {
        return AiMission::CreateObjectProcess(AiMission::GetCurrent(), object);
    };
    s.missionSaveCurrent = Mission_SaveCurrent;
    s.missionLoadCurrent = Mission_LoadSaved;
    s.missionStartAfterLoad = Mission_StartAfterLoad;
    s.pathPlannerInit = PathPlanner_Init;

    Seam_Missions().createByName = [](const char* name) { AiMission_CreateByName(name); };
}
