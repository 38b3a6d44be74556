#include "ai/aistandins.h"

#include "core/seams/audio.h"

namespace {

AiStandIns MakeDefault() {
    AiStandIns s{};
    s.avoidanceRefillGrid = [] {};
    s.keepInBounds = [](GameObject*, float) {};
    s.deleteAllPaths = [] {};
    s.plannerStartMission = [] {};
    s.plannerStep = [] {};
    s.plannerEndMission = [] {};
    s.tasksClear = [] {};
    s.audioMessageIsPlaying = [] { return Seam_Audio().audioMessagePlaying(); };
    return s;
}

AiStandIns g_standIns = MakeDefault();

}  // namespace

AiStandIns& Ai_StandIns() { return g_standIns; }
void Ai_ResetStandIns() { g_standIns = MakeDefault(); }
