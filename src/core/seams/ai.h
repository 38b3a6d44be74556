// What the core calls of unit AI: the mission driver and collision avoidance.
#pragma once
#include <cstdint>
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
    // The current mission takes a new object (its process from the object's class); nothing
    // without a mission.
    void (*missionAddObject)(GameObject* object);

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
    // The current mission's queries of a pilot on foot: whether the landed user pilot of a
    // network game may be given a vehicle (false without a mission), and the notice that a
    // remote player's object died (its handle).
    bool (*missionMayContinue)();
    void (*missionRemotePlayerReset)(uint32_t handle);

    // Objects that guard an area: a circle of the team's path occupancy grid is marked (add) or
    // cleared, and whether a friendly object stands in the unit's fire cone within range2.
    void (*pathGridMarkCircle)(float x, float z, float radius, int team, bool add);
    bool (*allyInLineOfFire)(GameObject* unit, float range2, float coneSine);

    // Whether the team may use the object (an empty craft its pilots may board).
    bool (*teamCanUseObject)(int32_t team, GameObject* object);
};

AiSeam& Seam_Ai();
