// What the mission driver needs of parts of unit AI and the planner that do not exist yet, and
// of audio (through its seam). Each entry is a small stand-in until its owner lands; tests
// replace entries to watch the driver's calls (Mission_Reset puts the stand-ins back).
#pragma once

class GameObject;

struct AiStandIns {
    void (*avoidanceRefillGrid)();                       // Avoidance_RefillGrid
    void (*keepInBounds)(GameObject* object, float dt);  // Mission_KeepInBounds
    void (*deleteAllPaths)();                            // AiPaths_DeleteAll
    void (*plannerStartMission)();                       // PENDING(6.106)
    void (*plannerStep)();                               // PENDING(6.106)
    void (*plannerEndMission)();                         // PENDING(6.106)
    void (*tasksClear)();                                // AiTasks_Clear
    bool (*audioMessageIsPlaying)();                     // the audio seam's message queue
};

AiStandIns& Ai_StandIns();
void Ai_ResetStandIns();
