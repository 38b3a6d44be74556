#include "core/seams/ai.h"

#include "core/fieldarchive.h"
#include "core/seams/registry.h"

namespace {

// Until the AI sections exist, a file holds each of their lists empty.
bool WriteEmptyList(FILE* stream, const char* label, const char* countName) {
    return Field_WriteLabel(stream, label) && Field_WriteInt(stream, int32_t{0}, countName);
}
bool ReadEmptyList(const char* label, const char* countName) {
    int32_t count = -1;
    return Field_ReadLabel(label) && Field_ReadInt(countName, &count) && count == 0;
}

AiSeam MakeDefault() {
    AiSeam s{};
    s.missionClearCurrent = [] {};               // filled by Ai_InstallSeam
    s.missionTakeMapId = [] {};                  // filled by Ai_InstallSeam
    s.missionTick = [] {};                       // filled by Ai_InstallSeam
    s.missionFree = [] {};                       // filled by Ai_InstallSeam
    s.missionHasCurrent = [] { return false; };  // filled by Ai_InstallSeam
    s.missionNetStart = [] {};                   // filled by Ai_InstallSeam
    s.collisionCfgRead = [] {};                  // filled by Ai_InstallSeam
    s.avoidanceStart = [] {};                    // filled by Ai_InstallSeam
    s.avoidanceFree = [] {};                     // filled by Ai_InstallSeam
    s.createUserProcess = [](GameObject*) -> sObject* { return nullptr; };  // the player's process fills it
    s.pathNew = [](const Vector2D&, const Vector2D&) -> AiPath* { return nullptr; };        // filled by Ai_InstallSeam
    s.pathFree = [](AiPath*) {};                                                           // filled by Ai_InstallSeam
    s.pathFirstPoint = [](const AiPath*, Vector2D*) { return false; };                     // filled by Ai_InstallSeam
    s.processStep = [](sObject*) {};                                                       // filled by Ai_InstallSeam
    s.createObjectProcess = [](GameObject*) -> sObject* { return nullptr; };            // filled by Ai_InstallSeam
    s.missionAddObject = [](GameObject*) {};                                               // filled by Ai_InstallSeam
    s.pathPlannerInit = [] {};                                                             // filled by Ai_InstallSeam
    s.missionSaveCurrent = [](FILE*) { return true; };                                    // filled by Ai_InstallSeam
    s.missionLoadCurrent = [] { return true; };                                           // filled by Ai_InstallSeam
    s.aoisSave = [](FILE* f) { return WriteEmptyList(f, "[AOIs]", "size"); };             // filled by Ai_InstallSeam
    s.aoisLoad = [] { return ReadEmptyList("[AOIs]", "size"); };                          // filled by Ai_InstallSeam
    s.pathsSave = [](FILE* f) { return WriteEmptyList(f, "[AiPaths]", "count"); };        // filled by Ai_InstallSeam
    s.pathsLoad = [] { return ReadEmptyList("[AiPaths]", "count"); };                     // filled by Ai_InstallSeam
    s.tasksSave = [](FILE* f) { return WriteEmptyList(f, "[AiTasks]", "count"); };        // filled by Ai_InstallSeam
    s.tasksLoad = [] { return ReadEmptyList("[AiTasks]", "count"); };                     // filled by Ai_InstallSeam
    s.tasksPostLoad = [] {};                                                              // filled by Ai_InstallSeam
    s.missionStartAfterLoad = [] {};                                                      // filled by Ai_InstallSeam
    s.missionMayContinue = [] { return false; };                                          // filled by Ai_InstallSeam
    s.missionRemotePlayerReset = [](uint32_t) {};                                         // filled by Ai_InstallSeam
    s.pathGridMarkCircle = [](float, float, float, int, bool) {};                          // filled by Ai_InstallSeam
    s.allyInLineOfFire = [](GameObject*, float, float) { return false; };                  // filled by Ai_InstallSeam
    s.teamCanUseObject = [](int32_t, GameObject*) { return false; };  // filled by Ai_InstallSeam
    return s;
}

}  // namespace

AiSeam& Seam_Ai() { return SeamTableInstance<AiSeam, MakeDefault>(); }

namespace {
const SeamRegistration<AiSeam, MakeDefault> kRegistration("AiSeam");
}  // namespace
