#include "ai/gototask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "ai/aipath.h"
#include "ai/pathplanner.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/teamrecord.h"

namespace {

// The voice replies of the geyser task.
constexpr int32_t kSayNoGeyser = 14;
constexpr int32_t kSayToGeyser = 15;
constexpr int32_t kSayGeyserBlocked = 26;

// The room an object keeps around itself when units steer round it. Classes carry no clearance
// value of their own, so it is the bounding radius.
float Clearance(const GameObject* object) { return object ? object->radius : 0.0f; }

int32_t KindOf(const GameObject* object) { return object && object->objClass ? object->objClass->category : -1; }

bool Listed(const AiPath* path) {
    const std::vector<AiPath*>& list = AiPaths();
    return path && std::find(list.begin(), list.end(), path) != list.end();
}

// A route of the task's own, unnamed, from a to b on the ground.
AiPath* Segment(const Vector& a, const Vector& b) {
    auto* path = new AiPath(nullptr, 0);
    path->InitSegment(a, b);
    return path;
}

}  // namespace

// ---- GotoTask --------------------------------------------------------------------------------

GotoTask::GotoTask() : UnitTask(nullptr, nullptr) {
    curState = kTaskStart;
    nextState = kTaskStart;
}

GotoTask::GotoTask(GameObject* unit, AiPath* route, bool exactArrival) : UnitTask(unit, nullptr) {
    exact = exactArrival;
    path = route;
    const bool commandRoute = unit && route && route == unit->curCmd.where;
    if (commandRoute) avoidSkip = unit->curCmd.who;
    // A route without points leads nowhere: the task has nothing to do.
    if (!route || route->points.empty()) return;
    curState = kTaskStart;
    nextState = kTaskStart;
    destPoint = Vector{route->points.back().x, 0.0f, route->points.back().z};
    if (!route->HasLabel() && !commandRoute && unit) {
        const Vector2D& first = route->points.front();
        if (Vec3_GroundDistSq(Vector{first.x, 0.0f, first.z}, UnitPosition()) < 1.0f) {
            // The route starts at the unit: it is already a plan. The unit heads for its end
            // (not back to its middle points once there).
            plan = new AiPath(nullptr, 0);
            plan->points = route->points;
            plan->pathType = route->pathType;
            pathPoint = route->PointCount() - 1;
        }
    }
}

GotoTask::GotoTask(GameObject* unit, const Vector& point) : UnitTask(unit, nullptr) {
    path = Segment(UnitPosition(), point);
    release = true;
    exact = true;
    destPoint = RoutePoint(path->PointCount() - 1);
    curState = kTaskStart;
    nextState = kTaskStart;
}

GotoTask::GotoTask(GameObject* unit, GameObject* target) : UnitTask(unit, target) {
    if (!target) return;  // born finished
    destPoint = AI_PositionOf(target);
    path = Segment(UnitPosition(), destPoint);
    release = true;
    exact = true;
    avoidSkip = target->GetObjHandle();
    curState = kTaskStart;
    nextState = kTaskStart;
}

GotoTask::~GotoTask() {
    // A task torn down after its unit (a mission's end, a failed load) leaves the unit alone.
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
    ReleaseRoute();
}

const FactoryReg* GotoTask::GetFactory() const { return UnitTask_FactoryEntry("GotoTask"); }

void GotoTask::ReleaseRoute() {
    if (release && path) AiPath_DeleteUnnamed(path);
    if (release) path = nullptr;
    release = false;
}

void GotoTask::NewRouteTo(const Vector& point) {
    ReleaseRoute();
    path = Segment(UnitPosition(), point);
    pathPoint = 0;
    release = true;
}

Vector GotoTask::RoutePoint(int32_t index) const {
    // A command's route may be freed under the task when the command is replaced.
    if (!Listed(path) || path->points.empty()) return Vector{};
    const Vector2D& p = path->points[static_cast<size_t>(std::clamp(index, 0, path->PointCount() - 1))];
    return Vector{p.x, 0.0f, p.z};
}

void GotoTask::SeekRoutePoint() {
    if (!Listed(path) || path->points.empty()) return;
    const int32_t last = path->PointCount() - 1;
    const Vector at = UnitPosition();
    int32_t best = std::clamp(pathPoint, 0, last);
    float bestDistance = Vec3_GroundDistSq(at, RoutePoint(best));
    for (int32_t i = best + 1; i <= last; ++i) {
        const float d = Vec3_GroundDistSq(at, RoutePoint(i));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    if (best != last) {
        const Vector p = RoutePoint(best), next = RoutePoint(best + 1);
        if ((next.x - p.x) * (at.x - p.x) + (next.z - p.z) * (at.z - p.z) >= 0.0f) ++best;
    }
    pathPoint = best;
}

bool GotoTask::OnLastLeg() const { return plan && !plan->points.empty() && planPoint >= plan->PointCount() - 1; }

void GotoTask::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskGoto;
            EndStuck();
            SeekRoutePoint();
            gotoPoint = RoutePoint(pathPoint);
            break;
        case kTaskGoto:
        case kTaskStuck:
            EnterMoveState();
            break;
        default:
            break;
    }
}

void GotoTask::Exit() {
    if (curState == kTaskDone) return;
    CraftControls& c = Controls();
    c.strafe = 0.0f;
    c.boost = 0;
    ExitMoveState();
}

bool GotoTask::Refresh() {
    if (curState == kTaskDone) return false;
    him = nullptr;
    GameObject* skip = GameObject::FromHandle(avoidSkip);
    avoidIgnore = skip;
    obstacle = UnitAi_Services().findNearestObstacle(me, skip);
    return true;
}

void GotoTask::Execute() {
    if (!Refresh()) return;
    if (himHandle) {
        GameObject* target = GameObject::FromHandle(himHandle);
        if (!target) {
            himHandle = 0;
            nextState = kTaskDone;
            return;
        }
        const Vector at = UnitPosition(), there = AI_PositionOf(target);
        bool reroute = target->euler.speed > 0.1f && Vec3_GroundDistSq(there, destPoint) > 1600.0f;
        if (!reroute && OnLastLeg() && Vec3_GroundDistSq(at, gotoPoint) < 25.0f) {
            const float reach = std::max(Clearance(target), target->radius) + Clearance(me) + 10.0f;
            reroute = Vec3_GroundDistSq(at, there) >= reach * reach;
        }
        if (reroute) {
            FreePlan();
            nextState = kTaskGoto;
            destPoint = there;
            NewRouteTo(there);
            EndStuck();
            SeekRoutePoint();
            gotoPoint = RoutePoint(pathPoint);
            return;
        }
    }
    switch (curState) {
        case kTaskStart:
        case kTaskWait:
            Brake();
            break;
        case kTaskGoto:
            if (OnLastLeg() && ArrivalStep()) break;
            if (IsStuck()) nextState = kTaskStuck;
            else AdvancePlanPoint();
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        default:
            break;
    }
}

bool GotoTask::ArrivalStep() {
    const Vector at = UnitPosition();
    const float c = Vec3_GroundDistSq(at, gotoPoint);
    float d = 5.0f;
    if (GameObject* skip = GameObject::FromHandle(avoidSkip); skip && Clearance(me) > 5.0f) {
        const int32_t kind = KindOf(skip);
        if (kind != 3 && kind != 7) d = Clearance(me);
    }
    const float slow = (d + 5.0f) * (d + 5.0f) * (exact ? 1.0f : 2.0f);
    const float radius2 = d * d * (exact ? 1.0f : 6.0f);
    // Closing on the goal is never being stuck.
    if (c < slow && !UnitTask_Hooks().isImpassableAt(at)) EndStuck();
    bool arrived = c < radius2;
    if (!arrived) {
        Craft* craft = me ? Craft_FromEntity(me->entity) : nullptr;
        GameObject* target = GameObject::FromHandle(himHandle);
        if (craft && craft->body && craft->body->contact.hit && craft->body->contact.entity && target &&
            target->entity && Entity_GetRoot(craft->body->contact.entity) == target->entity)
            arrived = true;
    }
    if (!arrived) return false;
    const int32_t last = Listed(path) ? path->PointCount() - 1 : 0;
    if (pathPoint < last) {
        ++pathPoint;
        nextState = kTaskGoto;
        gotoPoint = RoutePoint(pathPoint);
    } else if (Listed(path) && path->pathType == 2) {
        pathPoint = 0;
        nextState = kTaskGoto;
        gotoPoint = RoutePoint(0);
    } else if (!holdAtEnd) {
        nextState = kTaskDone;
    }
    return true;
}

bool GotoTask::Save(FILE* stream) {
    return Field_WritePointer(stream, path, "path") && Field_WriteInt(stream, pathPoint, "pathPoint") &&
           Field_WriteBool(stream, release, "release") && Field_WriteBool(stream, exact, "exact") &&
           Field_WriteVector(stream, &destPoint, sizeof destPoint, "destPoint") && UnitTask::Save(stream);
}

bool GotoTask::Load() {
    exact = false;
    return Field_ReadPointerFixup("path", &path, "path") && Field_ReadInt("pathPoint", &pathPoint) &&
           Field_ReadBool("release", &release) && (Field_Version() <= 1035 || Field_ReadBool("exact", &exact)) &&
           Field_ReadVector("destPoint", &destPoint, sizeof destPoint) && UnitTask::Load();
}

bool GotoTask::PostLoad() {
    // The route must be a path of the world; a file may name anything.
    if (!Listed(path)) {
        path = nullptr;
        release = false;
    }
    return UnitTask::PostLoad();
}

// ---- GoNear and its kinds --------------------------------------------------------------------

GoNear::GoNear() { holdAtEnd = true; }

GoNear::GoNear(GameObject* unit, GameObject* target, float distance)
    : GotoTask(unit, target ? AI_PositionOf(target) : AI_PositionOf(unit)) {
    TakeTarget(target, distance);
}

GoNear::GoNear(GameObject* unit, GameObject* target, AiPath* route, float distance) : GotoTask(unit, route, false) {
    TakeTarget(target, distance);
}

void GoNear::TakeTarget(GameObject* target, float distance) {
    if (!target) {
        // Near nothing: finished before its first frame.
        curState = kTaskDone;
        nextState = -1;
        return;
    }
    himHandle = target->GetObjHandle();
    holdAtEnd = true;
    wasNear = false;
    nearSq = distance * distance;
    nearTime = 0.0f;
}

const FactoryReg* GoNear::GetFactory() const { return UnitTask_FactoryEntry("GoNear"); }

bool GoNear::Refresh() {
    him = GameObject::FromHandle(himHandle);
    if (!him) {
        nextState = kTaskDone;
        return false;
    }
    lastDistSq = Vec3_GroundDistSq(UnitPosition(), AI_PositionOf(him));
    if (lastDistSq < nearSq) {
        if (!wasNear) {
            nearTime = Clock_GetTime();
            wasNear = true;
        }
        obstacle = nullptr;
        if (!OnNear()) return false;
    }
    avoidSkip = him->GetObjHandle();
    avoidIgnore = him;
    obstacle = UnitAi_Services().findNearestObstacle(me, him);
    return true;
}

bool GoNear::OnNear() {
    nextState = kTaskDone;
    return false;
}

bool GoNear::Save(FILE* stream) {
    return Field_WriteFloat(stream, nearSq, "nearSq") && Field_WriteBool(stream, wasNear, "wasNear") &&
           Field_WriteFloat(stream, nearTime, "nearTime") && GotoTask::Save(stream);
}

bool GoNear::Load() {
    return Field_ReadFloat("nearSq", &nearSq) && Field_ReadBool("wasNear", &wasNear) &&
           Field_ReadFloat("nearTime", &nearTime) && GotoTask::Load();
}

GoGet::GoGet(GameObject* unit, GameObject* target) : GoNear(unit, target, 6.0f) {
    switchDist = 5.0f;
    steerFactor = 1.0f;
}

const FactoryReg* GoGet::GetFactory() const { return UnitTask_FactoryEntry("GoGet"); }

bool GoGet::OnNear() {
    if (Clock_GetTime() - nearTime > 5.0f) {
        nextState = kTaskDone;
        return false;
    }
    // Straight onto it.
    const Vector at = UnitPosition(), there = AI_PositionOf(him);
    Vector dir{there.x - at.x, there.y - at.y, there.z - at.z};
    const float length = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
    if (length > 0.0f) dir = Vector{dir.x / length, dir.y / length, dir.z / length};
    TurnToWorld(dir);
    DriveToward(dir);
    return false;
}

const FactoryReg* GoNearAndSit::GetFactory() const { return UnitTask_FactoryEntry("GoNearAndSit"); }

bool GoNearAndSit::OnNear() {
    // Hold station, turning: the drift damped as a brake does.
    Brake();
    CraftControls& c = Controls();
    c.boost = 0;
    c.pitch = 0.0f;
    c.steering = 0.5f;
    return false;
}

// ---- GoPoints --------------------------------------------------------------------------------

GoPoints::GoPoints() {
    curState = kTaskWait;
    nextState = kTaskWait;
    holdAtEnd = true;
}

GoPoints::GoPoints(GameObject* unit) : GotoTask(unit, static_cast<AiPath*>(nullptr), true) {
    curState = kTaskWait;
    nextState = kTaskWait;
    holdAtEnd = true;
}

const FactoryReg* GoPoints::GetFactory() const { return UnitTask_FactoryEntry("GoPoints"); }

bool GoPoints::NextPoint(Vector*) { return false; }
bool GoPoints::AtPoint() { return true; }
bool GoPoints::KeepPlan() { return true; }

bool GoPoints::Refresh() {
    if (curState == kTaskDone) return false;
    if (curState == kTaskWait) {
        ReleaseRoute();
        Vector point{};
        if (!NextPoint(&point)) {
            nextState = kTaskDone;
            return false;
        }
        NewRouteTo(point);
        // Units carry no mover type of their own (all are of type 0): the route is planned at
        // once for the wheeled mover.
        FreePlan();
        const Vector at = UnitPosition();
        PlannedRoute route = AiPath_Plan(at.x, at.z, point.x, point.z, 1, me ? me->team : 0);
        plan = new AiPath(nullptr, 0);
        plan->points = std::move(route.points);
        plan->pathType = route.kind;
        nextState = kTaskStart;
        return true;
    }
    if (!plan || plan == lastPlan || KeepPlan()) {
        lastPlan = plan;
        if (Vec3_GroundDistSq(UnitPosition(), gotoPoint) < 25.0f) {
            if (AtPoint()) {
                nextState = kTaskWait;
                obstacle = nullptr;
            } else {
                Brake();
                return false;
            }
        } else {
            obstacle = UnitAi_Services().findNearestObstacle(me, nullptr);
        }
    } else {
        nextState = kTaskWait;
    }
    return true;
}

bool GoPoints::Save(FILE* stream) { return Field_WritePointer(stream, lastPlan, "lastPlan") && GotoTask::Save(stream); }

bool GoPoints::Load() { return Field_ReadPointerFixup("lastPlan", &lastPlan, "lastPlan") && GotoTask::Load(); }

bool GoPoints::PostLoad() {
    // Only ever compared with the plan; a stale one is none.
    if (!Listed(lastPlan)) lastPlan = nullptr;
    return GotoTask::PostLoad();
}

// ---- GotoGeyser ------------------------------------------------------------------------------

GotoGeyser::GotoGeyser() { holdAtEnd = true; }

GotoGeyser::GotoGeyser(GameObject* unit, GameObject* geyser) : GotoTask(unit, geyser) {
    UnitProcess_Say(unit, kSayToGeyser);
    holdAtEnd = true;
    oneGeyser = geyser ? geyser->GetObjHandle() : 0;
}

GotoGeyser::GotoGeyser(GameObject* unit) : GotoTask(unit, GotoGeyser_FindNearest(AI_PositionOf(unit), nullptr)) {
    if (himHandle) {
        UnitProcess_Say(unit, kSayToGeyser);
        holdAtEnd = true;
    } else {
        UnitProcess_Say(unit, kSayNoGeyser);
    }
}

const FactoryReg* GotoGeyser::GetFactory() const { return UnitTask_FactoryEntry("GotoGeyser"); }

bool GotoGeyser::Refresh() {
    if (curState == kTaskDone) return false;
    UnitAiServices& s = UnitAi_Services();
    GameObject* geyser = GameObject::FromHandle(himHandle);
    GameObject* dropped = nullptr;
    if (geyser && (GotoGeyser_IsTaken(geyser, me, 1) || GotoGeyser_IsTaken(geyser, me, 2) ||
                   GotoGeyser_IsTaken(geyser, me, 3))) {
        dropped = geyser;
        geyser = nullptr;
    }
    if (geyser && !s.powerSourceInUse(geyser)) {
        avoidSkip = geyser->GetObjHandle();
        avoidIgnore = geyser;
        obstacle = s.findNearestObstacle(me, geyser);
        const Vector at = UnitPosition(), there = AI_PositionOf(geyser);
        if (obstacle) {
            const Vector o = AI_PositionOf(obstacle);
            if (Vec3_GroundDistSq(o, there) < 900.0f && Vec3_GroundDistSq(at, o) < Vec3_GroundDistSq(at, there) && Vec3_GroundDistSq(at, o) < 900.0f) {
                if (blocked) return true;
                blocked = true;
                UnitProcess_Say(me, kSayGeyserBlocked);
            } else {
                blocked = false;
            }
        } else {
            blocked = false;
        }
        if (!blocked && OnLastLeg()) {
            const Vector v{there.x - at.x, 0.0f, there.z - at.z};
            const float d2 = v.x * v.x + v.z * v.z;
            const float speed = me ? me->euler.speed : 0.0f;
            if (d2 < 9.0f && speed < 0.5f && s.findPowerSource(me)) {
                nextState = kTaskDone;
                return false;
            }
            if (d2 < 64.0f) {
                braccelFactor = 0.08f;
                strafeFactor = 0.1f;
                TurnTo(Vector{0.0f, 0.0f, 1.0f});
                DriveToward(v);
                return false;
            }
        }
        return true;
    }
    if (!oneGeyser) {
        if (GameObject* other = GotoGeyser_FindNearest(UnitPosition(), dropped)) {
            himHandle = other->GetObjHandle();
            // The plan to the old geyser goes with its route.
            FreePlan();
            destPoint = AI_PositionOf(other);
            NewRouteTo(destPoint);
            curState = kTaskStart;
            nextState = kTaskStart;
            return false;
        }
        UnitProcess_Say(me, kSayNoGeyser);
    }
    nextState = kTaskDone;
    return false;
}

bool GotoGeyser::Save(FILE* stream) {
    const int32_t handle = static_cast<int32_t>(oneGeyser);
    return Field_WriteInt(stream, handle, "oneGeyser") && GotoTask::Save(stream);
}

bool GotoGeyser::Load() {
    int32_t handle = 0;
    blocked = false;
    if (!Field_ReadInt("oneGeyser", &handle)) return false;
    oneGeyser = static_cast<uint32_t>(handle);
    return GotoTask::Load();
}

bool GotoGeyser::PostLoad() {
    oneGeyser = Field_ResolveHandle(oneGeyser);
    return GotoTask::PostLoad();
}

GameObject* GotoGeyser_FindNearest(const Vector& position, GameObject* skip) {
    UnitAiServices& s = UnitAi_Services();
    GameObject* best = nullptr;
    float bestDistance = 0.0f;
    for (GameObject* source : s.powerSources()) {
        if (!source || source == skip || s.powerSourceInUse(source)) continue;
        const Vector p = AI_PositionOf(source);
        const float dx = p.x - position.x, dy = p.y - position.y, dz = p.z - position.z;
        const float d = dx * dx + dy * dy + dz * dz;
        if (!best || d < bestDistance) {
            best = source;
            bestDistance = d;
        }
    }
    return best;
}

bool GotoGeyser_IsTaken(GameObject* geyser, GameObject* unit, int32_t slot) {
    if (!geyser || !unit) return false;
    const TeamRecord* team = TeamRecord::Get(unit->team);
    GameObject* other = team ? team->GetSlot(slot) : nullptr;
    if (!other || other == unit) return false;
    const AiCmdInfo& cmd = other->curCmd;
    const bool bound = cmd.what == kCmdCodeGoToGeyser || (cmd.what == kCmdCodeGo && cmd.who == geyser->GetObjHandle());
    return bound && other->seqNo < unit->seqNo && Vec3_GroundDistSq(AI_PositionOf(other), AI_PositionOf(geyser)) <= 225.0f;
}

void Ai_InstallGotoTasks() {
    const struct {
        const char* name;
        FactoryCreate create;
    } entries[] = {
        {"GotoTask", []() -> sObject* { return new GotoTask; }},
        {"GoNear", []() -> sObject* { return new GoNear; }},
        {"GoPoints", []() -> sObject* { return new GoPoints; }},
        {"GoGet", []() -> sObject* { return new GoGet; }},
        {"GoNearAndSit", []() -> sObject* { return new GoNearAndSit; }},
        {"GotoGeyser", []() -> sObject* { return new GotoGeyser; }},
    };
    for (const auto& e : entries) Registration_SetCreate(e.name, e.create);
}
