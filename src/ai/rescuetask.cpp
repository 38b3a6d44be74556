#include "ai/rescuetask.h"

#include <cmath>
#include <cstring>

#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"

namespace {

constexpr float kNear2 = 2500.0f;     // within 50 m the plan gives way to keeping station
constexpr float kStop2 = 900.0f;      // within 30 m the vehicle stops
constexpr float kStation2 = 10000.0f; // within 100 m it keeps station on the unit
constexpr float kLeg2 = 225.0f;       // the plan is followed until 15 m from its end
constexpr float kPause = 1.0f;        // the stop before the pick-up

}  // namespace

RescueTask::RescueTask() : UnitTask(nullptr, nullptr) {}

RescueTask::RescueTask(GameObject* vehicle, GameObject* unit) : UnitTask(vehicle, unit) {
    if (!unit) return;  // born finished
    curState = kTaskStart;
    nextState = kTaskStart;
}

RescueTask::~RescueTask() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
}

const FactoryReg* RescueTask::GetFactory() const { return UnitTask_FactoryEntry("RescueTask"); }

void RescueTask::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskFollow;
            break;
        case kTaskGoto:
        case kTaskStuck:
            EnterMoveState();
            break;
        default:
            break;
    }
}

void RescueTask::Exit() { ExitMoveState(); }

void RescueTask::Execute() {
    GameObject* unit = GameObject::FromHandle(himHandle);
    if (!unit || !me) {
        nextState = kTaskDone;
        return;
    }
    obstacle = UnitAi_Services().findNearestObstacle(me, unit);
    const Vector at = UnitPosition(), there = AI_PositionOf(unit);
    const float d2 = Vec3_GroundDistSq(at, there);
    bool braking = false;
    switch (curState) {
        case kTaskStart:
            Brake();
            braking = true;
            break;
        case kTaskGoto:
            if (d2 < kNear2) {
                nextState = kTaskFollow;
            } else if (Vec3_GroundDistSq(there, gotoPoint) < kStation2 && IsStuck()) {
                nextState = kTaskStuck;
            } else if (Vec3_GroundDistSq(there, gotoPoint) < kStation2 && Vec3_GroundDistSq(at, gotoPoint) > kLeg2) {
                AdvancePlanPoint();
            } else {
                gotoPoint = there;
                nextState = kTaskGoto;
            }
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskFollow:
            if (d2 < kStop2) {
                Brake();
                braking = true;
                timeOut = Clock_GetTime() + kPause;
                nextState = kTaskWait;
            } else if (d2 < kStation2) {
                him = unit;
                FollowStep();
                him = nullptr;
                if (IsStuck()) nextState = kTaskStuck;
            } else {
                gotoPoint = there;
                nextState = kTaskGoto;
            }
            break;
        case kTaskWait:
            Brake();
            braking = true;
            if (Clock_GetTime() >= timeOut) {
                Controls().pickUp = 1;
                nextState = kTaskDone;
            }
            break;
        default:
            break;
    }
    if (!braking) {
        CraftControls& c = Controls();
        c.boost = c.throttle >= 1.0f ? 1 : 0;
    }
}

void RescueTask::DebugDraw() {
    UnitTask::DebugDraw();
    GameObject* unit = GameObject::FromHandle(himHandle);
    if (curState != kTaskGoto || !unit) return;
    const Vector there = AI_PositionOf(unit);
    const Vector& front = unit->entity ? unit->entity->local.front : Vector{0.0f, 0.0f, 1.0f};
    const Vector ahead{there.x + front.x * 20.0f, there.y + front.y * 20.0f, there.z + front.z * 20.0f};
    UnitAi_Services().debugCircle(ahead, 2.0f, 0x00ffffu);
}

void Ai_InstallRescueTask() {
    Registration_SetCreate("RescueTask", []() -> sObject* { return new RescueTask; });
}
