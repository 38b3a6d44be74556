#include "ai/aistandins.h"

#include "ai/aipath.h"
#include "ai/aoi.h"
#include "ai/avoidance.h"
#include "ai/unittask.h"
#include "core/seams/audio.h"

namespace {

AiStandIns MakeDefault() {
    AiStandIns s{};
    s.avoidanceRefillGrid = Avoidance_RefillGrid;
    s.keepInBounds = Mission_KeepInBounds;
    s.deleteAllPaths = AiPaths_DeleteAll;
    s.plannerStartMission = [] {};
    s.plannerStep = [] {};
    // The planner's mission end drops the areas of interest; its grid and regions go with the
    // path listener's cleanup.
    s.plannerEndMission = [] { AOI_Clear(); };
    s.tasksClear = AiTasks_Clear;
    s.audioMessageIsPlaying = [] { return Seam_Audio().audioMessagePlaying(); };
    return s;
}

AiStandIns g_standIns = MakeDefault();

}  // namespace

AiStandIns& Ai_StandIns() { return g_standIns; }
void Ai_ResetStandIns() { g_standIns = MakeDefault(); }
