// What the core calls of unit AI: the mission driver and collision avoidance.
#pragma once

struct AiSeam {
    void (*missionClearCurrent)();
    void (*missionTakeMapId)();  // the driver reads the map's id (Game_GetMapId)
    void (*missionTick)();
    void (*missionFree)();
    bool (*missionHasCurrent)();
    void (*missionNetStart)();  // the current mission's network-start operation
    void (*collisionCfgRead)();  // "Collision.cfg"
    void (*avoidanceStart)();
    void (*avoidanceFree)();
};

AiSeam& Seam_Ai();
