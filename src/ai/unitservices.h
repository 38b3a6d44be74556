// What the unit processes call of the parts of the unit AI and of the game built after them:
// the unit tasks (each state of a process runs at most one), the world queries, producer tests,
// voice replies, sound, the debug display and the weapon selection of a craft. Each owner fills
// its entries at start-up; until then each entry is a quiet stand-in (a task that cannot be made
// is none, a query finds nothing). Tests replace entries to watch the calls.
#pragma once
#include <cstdint>
#include <vector>

#include "core/mathlib.h"

class AiPath;
class GameObject;
class GameObjectClass;
class Weapon;
// A unit task: only the task code knows its layout. Processes hold it through the entries below.
class UnitTask;

struct UnitAiServices {
    // ---- tasks ---------------------------------------------------------------------------
    // Each maker gives a new task owned by the caller, or null when none can be made.
    UnitTask* (*sitTask)(GameObject* owner);
    UnitTask* (*coastTask)(GameObject* owner);
    UnitTask* (*sitSpinTask)(GameObject* owner);
    UnitTask* (*gotoObject)(GameObject* owner, GameObject* target);
    UnitTask* (*gotoPath)(GameObject* owner, AiPath* path, bool exact);
    UnitTask* (*goGet)(GameObject* owner, GameObject* target);
    UnitTask* (*patrolTask)(GameObject* owner, AiPath* path, int32_t patrolType);
    UnitTask* (*attackTask)(GameObject* owner, GameObject* target);
    UnitTask* (*followTask)(GameObject* owner, GameObject* target);
    UnitTask* (*defendTask)(GameObject* owner, GameObject* target);
    UnitTask* (*rescueTask)(GameObject* owner, GameObject* target);
    // Another leg of a finished patrol; false when it makes none.
    bool (*patrolNextLeg)(UnitTask* patrol);
    void (*taskUpdate)(UnitTask* task);
    bool (*taskIsDone)(UnitTask* task);
    void (*taskDelete)(UnitTask* task);
    void (*taskDebugDraw)(UnitTask* task);
    // The object a task heads for (a go-to's target), or null.
    GameObject* (*taskTarget)(UnitTask* task);

    // ---- world queries -------------------------------------------------------------------
    // The nearest enemy craft, else escorted threat, else enemy building within the squared
    // ground range of the owner; null for none.
    GameObject* (*findNearestEnemyCraft)(GameObject* owner, float range2);
    // The nearest object of the class signature the owner's team can see, within the squared
    // ground range; null for none.
    GameObject* (*findNearestOfClass)(GameObject* owner, uint32_t signature, float range2);
    // The team's drop-off for the owner (the nearest silo before the recycler); null for none.
    GameObject* (*findDropOff)(GameObject* owner);
    // The length of the route the planner finds from the owner to the target.
    float (*plannedPathLength)(GameObject* owner, GameObject* target);

    // The object whose sniper shell ('SNIP') last damaged the owner, when that was less than 3 s
    // ago; null otherwise.
    GameObject* (*recentSniper)(GameObject* owner);
    // The nearest object within 50 m the owner must steer around, other than skip; null for none.
    GameObject* (*findNearestObstacle)(GameObject* owner, GameObject* skip);
    // Whether a friendly object stands in the owner's fire cone (sine) within the squared range.
    bool (*allyInLineOfFire)(GameObject* owner, float range2, float cone);

    // ---- producers and craft -------------------------------------------------------------
    // Whether the producer can build its repair kit now (alt: its supply).
    bool (*canAffordBuild)(GameObject* producer, bool alt);
    // Whether a build of the producer is still pending.
    bool (*isProducing)(GameObject* producer);
    // A deployed craft aims along the ground direction (x, z) and turns at the rate (0 holds).
    void (*aimAlong)(GameObject* owner, float x, float z, float rate);
    // The power sources (geysers) of the world, in list order.
    std::vector<GameObject*> (*powerSources)();
    // Whether a producer sits on the power source.
    bool (*powerSourceInUse)(GameObject* source);
    // The producer takes a power source under it; whether it now has one.
    bool (*findPowerSource)(GameObject* producer);

    // ---- voice, sound, cockpit -----------------------------------------------------------
    void (*radioVoiceQueue)(const char* wave, GameObject* speaker, int32_t type);
    bool (*audioMessageIsPlaying)();
    bool (*scriptedCameraActive)();
    // The game time at which the last saved game finished loading.
    float (*loadFinishedTime)();
    // A sound with no position ("cammo.wav").
    void (*soundPlay2D)(const char* name);

    // ---- debug display -------------------------------------------------------------------
    void (*debugPrint)(const char* line);
    void (*debugLine)(const Vector& from, const Vector& to, uint32_t colour);
    void (*debugCircle)(const Vector& centre, float radius, uint32_t colour);

    // ---- weapons of a craft --------------------------------------------------------------
    // The selection becomes the mask (slots without a weapon are left out).
    void (*weaponMaskSelect)(GameObject* owner, uint32_t mask);
    // Pulls the trigger of every slot both in the mask and ready.
    void (*weaponMaskFire)(GameObject* owner, uint32_t mask);
    // Whether two mounted weapons are of the same weapon class.
    bool (*weaponSameClass)(Weapon* a, Weapon* b);
    void (*weaponTrigger)(Weapon* weapon);
};

UnitAiServices& UnitAi_Services();
// Every entry back to its stand-in.
void UnitAi_ResetServices();
