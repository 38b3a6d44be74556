#include "ai/aiinstall.h"

#include <cstring>

#include "ai/aimission.h"
#include "ai/combatprocess.h"
#include "ai/aipath.h"
#include "ai/aiprocess.h"
#include "ai/aoi.h"
#include "ai/avoidance.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "ai/patrolprocess.h"
#include "ai/personprocess.h"
#include "ai/savprocess.h"
#include "ai/tugprocess.h"
#include "ai/unittask.h"
#include "ai/worldqueries.h"
#include "core/cmdline.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/missions.h"
#include "fun3d/teamrecord.h"

void Ai_InstallSeam() {
    Registration_SetCreate("AiMission", []() -> sObject* { return new AiMission; });
    Registration_SetCreate("EmptyMission", []() -> sObject* { return new EmptyMission; });
    Mission_InstallBaseSelector();
    Ai_InstallTasks();
    Ai_InstallCombatProcesses();
    Ai_InstallPersonProcesses();
    Ai_InstallTugProcesses();
    Ai_InstallSavProcesses();
    Ai_InstallPatrolAndGuided();

    AiSeam& s = Seam_Ai();
    s.pathGridMarkCircle = PathGrid_MarkCircle;
    s.teamCanUseObject = [](int32_t team, GameObject* object) { return Team_CanUseObject(TeamRecord::Get(team), object); };
    s.allyInLineOfFire = [](GameObject* unit, float range2, float cone) { return AI_AllyInLineOfFire(unit, range2, cone); };
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
    s.missionAddObject = [](GameObject* object) {
        if (AiMission* mission = AiMission::GetCurrent()) mission->AddObject(object);
    };
    s.missionSaveCurrent = Mission_SaveCurrent;
    s.missionLoadCurrent = Mission_LoadSaved;
    s.missionStartAfterLoad = Mission_StartAfterLoad;
    s.missionMayContinue = [] {
        AiMission* mission = AiMission::GetCurrent();
        return mission && mission->MayContinue();
    };
    s.missionRemotePlayerReset = [](uint32_t handle) {
        if (AiMission* mission = AiMission::GetCurrent()) mission->RemotePlayerReset(handle);
    };
    s.pathNew = [](const Vector2D& from, const Vector2D& to) -> AiPath* {
        auto* path = new AiPath(nullptr, 2);
        path->points = {from, to};
        return path;
    };
    s.pathFree = AiPath_DeleteUnnamed;
    s.pathFirstPoint = [](const AiPath* path, Vector2D* out) {
        if (!path || path->points.empty()) return false;
        *out = path->points.front();
        return true;
    };
    s.aoisSave = AOIs_Save;
    s.aoisLoad = AOIs_Load;
    s.tasksSave = AiTasks_Save;
    s.tasksLoad = AiTasks_Load;
    s.tasksPostLoad = [] { AiTasks_PostLoad(); };
    s.pathsSave = AiPaths_Save;
    s.pathsLoad = AiPaths_Load;
    s.pathPlannerInit = PathPlanner_Init;
    s.collisionCfgRead = Avoidance_LoadConfig;
    s.avoidanceStart = Avoidance_CreateGrid;
    s.avoidanceFree = Avoidance_DestroyGrid;

    Seam_Missions().createByName = [](const char* name) { AiMission_CreateByName(name); };
}
