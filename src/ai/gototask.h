// The go-to family: the movement layer of every task that has to bring a unit somewhere. A
// GotoTask owns a route (an AiPath) and walks it point by point, planning a grid route to each
// route point and driving along it; the kinds below only change what near enough means and what
// happens there: GoNear (within a distance of an object), GoGet (onto a pick-up), GoNearAndSit
// (near an object, then hold station turning), GoPoints (a chain of points a kind supplies) and
// GotoGeyser (onto a free geyser).
#pragma once
#include <cstdint>
#include <cstdio>

#include "ai/unittask.h"

class AiPath;
class GameObject;

class GotoTask : public UnitTask {
public:
    // The loader's empty task.
    GotoTask();
    // Along the route (a named path or one the caller keeps); a route without points gives a
    // task that is born finished.
    GotoTask(GameObject* unit, AiPath* route, bool exactArrival);
    // To the point, along a two-point route of its own.
    GotoTask(GameObject* unit, const Vector& point);
    // To the object, re-routing after it when it moves on; none gives a finished task.
    GotoTask(GameObject* unit, GameObject* target);
    // Leaves the current state and lets go of a route of its own (never a named one).
    ~GotoTask() override;

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    void Enter() override;
    void Exit() override;
    void Execute() override;
    // Looks about before the state step; false skips this frame's step.
    virtual bool Refresh();

    // From pathPoint on, the route point nearest the unit, or the next when the unit is past it.
    void SeekRoutePoint();
    // The route's point with y = 0 (the origin without one).
    Vector RoutePoint(int32_t index) const;
    // A fresh two-point route of the task's own from the unit to the point (the old one let go).
    void NewRouteTo(const Vector& point);
    // The route let go when the task owns it.
    void ReleaseRoute();

    AiPath* path = nullptr;
    int32_t pathPoint = 0;
    bool release = false;
    bool exact = false;
    bool holdAtEnd = false;  // not saved
    Vector destPoint{};

protected:
    // Whether the unit stands on the plan's last point.
    bool OnLastLeg() const;

private:
    // The arrival test on the plan's last point; whether the unit arrived.
    bool ArrivalStep();
};

class GoNear : public GotoTask {
public:
    GoNear();
    GoNear(GameObject* unit, GameObject* target, float distance);
    GoNear(GameObject* unit, GameObject* target, AiPath* route, float distance);

    bool Load() override;
    bool Save(FILE* stream) override;
    const FactoryReg* GetFactory() const override;
    bool Refresh() override;
    // What happens within the near distance; false skips this frame's step.
    virtual bool OnNear();

    float nearSq = 0.0f;
    bool wasNear = false;
    float nearTime = 0.0f;
    float lastDistSq = 0.0f;  // not saved

private:
    void TakeTarget(GameObject* target, float distance);
};

class GoGet : public GoNear {
public:
    GoGet() = default;
    GoGet(GameObject* unit, GameObject* target);
    const FactoryReg* GetFactory() const override;
    bool OnNear() override;
};

class GoNearAndSit : public GoNear {
public:
    GoNearAndSit() = default;
    GoNearAndSit(GameObject* unit, GameObject* target, float distance) : GoNear(unit, target, distance) {}
    GoNearAndSit(GameObject* unit, GameObject* target, AiPath* route, float distance)
        : GoNear(unit, target, route, distance) {}
    const FactoryReg* GetFactory() const override;
    bool OnNear() override;
};

class GoPoints : public GotoTask {
public:
    GoPoints();
    explicit GoPoints(GameObject* unit);

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    bool Refresh() override;
    // The next point to go to; false when none is left.
    virtual bool NextPoint(Vector* point);
    // At the point: true moves on to the next one, false holds there.
    virtual bool AtPoint();
    // Whether a plan that changed is kept.
    virtual bool KeepPlan();

    AiPath* lastPlan = nullptr;
};

class GotoGeyser : public GotoTask {
public:
    GotoGeyser();
    // To this geyser only.
    GotoGeyser(GameObject* unit, GameObject* geyser);
    // To the nearest free geyser, and on to another when that one is taken.
    explicit GotoGeyser(GameObject* unit);

    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    const FactoryReg* GetFactory() const override;
    bool Refresh() override;

    bool blocked = false;  // not saved
    uint32_t oneGeyser = 0;
};

// The free power source (other than skip) nearest the position in three dimensions; null for
// none.
GameObject* GotoGeyser_FindNearest(const Vector& position, GameObject* skip);
// Whether the object in the unit's team slot, made before the unit, is already bound for the
// geyser and within 15 m of it.
bool GotoGeyser_IsTaken(GameObject* geyser, GameObject* unit, int32_t slot);

// The create functions of the go-to family in the factory table.
void Ai_InstallGotoTasks();
