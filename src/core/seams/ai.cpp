#include "core/seams/ai.h"

#include "core/seams/registry.h"

namespace {

AiSeam MakeDefault() {
    AiSeam s{};
    s.missionClearCurrent = [] {};               // PENDING(5.101)
    s.missionTakeMapId = [] {};                  // PENDING(5.101)
    s.missionTick = [] {};                       // PENDING(5.101)
    s.missionFree = [] {};                       // PENDING(5.101)
    s.missionHasCurrent = [] { return false; };  // PENDING(5.101)
    s.missionNetStart = [] {};                   // PENDING(5.101)
    s.collisionCfgRead = [] {};                  // PENDING(5.123)
    s.avoidanceStart = [] {};                    // PENDING(5.123)
    s.avoidanceFree = [] {};                     // PENDING(5.123)
    s.createUserProcess = [](GameObject*) -> sObject* { return nullptr; };                  // PENDING(5.106)
    s.pathNew = [](const Vector2D&, const Vector2D&) -> AiPath* { return nullptr; };        // PENDING(5.104)
    s.pathFree = [](AiPath*) {};                                                           // PENDING(5.104)
    s.pathFirstPoint = [](const AiPath*, Vector2D*) { return false; };                     // PENDING(5.104)
    return s;
}

}  // namespace

AiSeam& Seam_Ai() { return SeamTableInstance<AiSeam, MakeDefault>(); }

namespace {
const SeamRegistration<AiSeam, MakeDefault> kRegistration("AiSeam");
}  // namespace
