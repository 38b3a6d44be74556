// What the core calls of unit AI: the mission driver and collision avoidance.
#pragma once
#include <cstdio>

#include "core/mathlib.h"

class AiPath;
class GameObject;
class sObject;

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

    // Game objects.
    // A new user process bound to the current mission and the object (null when none is made).
    sObject* (*createUserProcess)(GameObject* object);
    // An unnamed two-point path, owned by the command that holds it.
    AiPath* (*pathNew)(const Vector2D& from, const Vector2D& to);
    void (*pathFree)(AiPath* path);
    // The path's first point; false for a path without points.
    bool (*pathFirstPoint)(const AiPath* path, Vector2D* out);
    // One step of the process that drives an object (the user's, while the game is paused).
    void (*processStep)(sObject* process);
    // The class's own process for an object loaded from a mission file (null when none is made).
    sObject* (*createObjectProcess)(GameObject* object);

    // Saved games and mission files: the sections after the team records, in file order.
    void (*pathPlannerInit)();
    bool (*missionSaveCurrent)(FILE* stream);
    bool (*missionLoadCurrent)();
    bool (*aoisSave)(FILE* stream);
    bool (*aoisLoad)();
    bool (*pathsSave)(FILE* stream);
    bool (*pathsLoad)();
    bool (*tasksSave)(FILE* stream);  // saved games only
    bool (*tasksLoad)();
    void (*tasksPostLoad)();
    void (*missionStartAfterLoad)();

    // Weapons: an object a weapon built joins the current mission (it gets its class's process).
    void (*missionAddObject)(GameObject* object);
};

AiSeam& Seam_Ai();
