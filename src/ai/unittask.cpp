#include "ai/unittask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/attacktask.h"
#include "ai/combatprocess.h"
#include "ai/avoidance.h"
#include "ai/avoidsettings.h"
#include "ai/followtask.h"
#include "ai/gototask.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "ai/personprocess.h"
#include "ai/rescuetask.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/shake.h"
#include "fun3d/gameobject.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "weapons/bullet.h"
#include "weapons/explosion.h"
#include "weapons/chargegun.h"
#include "weapons/detonator.h"
#include "weapons/launcher.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"

namespace {

constexpr float kPi = 3.14159265358979f;

std::vector<AiTask*>& TaskList() {
    static std::vector<AiTask*> list;
    return list;
}

float Now() { return Clock_GetTime(); }
float Dt() { return Clock_GetFrameTime(); }

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Sub(const Vector& a, const Vector& b) { return Vector{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector Mul(const Vector& a, float s) { return Vector{a.x * s, a.y * s, a.z * s}; }
float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Clamp1(float v) { return std::clamp(v, -1.0f, 1.0f); }

const Matrix& MatrixOf(const GameObject* object) {
    static const Matrix identity = kIdentityMatrix;
    return object && object->entity ? object->entity->local : identity;
}

float YawRate(const GameObject* object) { return object ? object->euler.angularVelocity.y : 0.0f; }

// The unit's planned route to the goal as an unnamed path; a failed plan comes back as the
// straight two points of kind 3. Units carry no path type of their own yet, so every unit plans
// as the default ground mover.
AiPath* PlanRoute(GameObject* unit, const Vector& goal) {
    const Vector at = AI_PositionOf(unit);
    PlannedRoute route = AiPath_Plan(at.x, at.z, goal.x, goal.z, 0, unit ? unit->team : 0);
    auto* path = new AiPath(nullptr, 0);
    path->points = std::move(route.points);
    path->pathType = route.kind;
    return path;
}

// Along the ground part of the direction: how far until the first cell that is not blocked
// (range when none is met within it).
float GroundClearAlong(GameObject* unit, const Vector& direction, float range) {
    const float length = std::sqrt(direction.x * direction.x + direction.z * direction.z);
    if (length <= 0.0f) return range;
    const Vector at = AI_PositionOf(unit);
    return AI_GroundClear(at.x, at.z, direction.x / length, direction.z / length, range);
}

// The weapon's placement in the world: its entity's placement on the mount, carried by the
// mount's world transform (the entity's own matrix is relative to the mount).
Matrix WeaponWorldFrame(const Weapon* weapon) {
    Matrix world;
    Matrix_Multiply(world, weapon->entity->local, weapon->mountMatrix);
    return world;
}

// A shot along the weapon's (else the unit's) front at the task's shot speed, for the shot's
// life, passing within reach x distance of the target.
bool ShotThreatens(UnitTask* task, GameObject* target, float reach) {
    if (!task || !task->me || !target) return false;
    Vector start = AI_PositionOf(task->me);
    Vector front = MatrixOf(task->me).front;
    if (task->weapon && task->weapon->entity) {
        const Matrix m = WeaponWorldFrame(task->weapon);
        start = Vector{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
        front = m.front;
    }
    const Vector& v = task->me->euler.velocity;
    const Vector velocity{v.x + front.x * task->shotSpeed, v.y + front.y * task->shotSpeed, v.z + front.z * task->shotSpeed};
    float t = task->shotLife;
    Vector normal{};
    return Ordnance_ThreatensObject(start, velocity, t, normal, target, reach * std::sqrt(task->targetDistSq));
}

UnitTaskHooks MakeDefaultHooks() {
    UnitTaskHooks h{};
    h.planForUnit = PlanRoute;
    h.isPathClear = [](int32_t team, const Vector& from, const Vector& to) {
        return PathMap_IsPathClear(to.x, to.z, from.x, from.z, team);
    };
    h.isImpassableAt = [](const Vector& at) { return PathMap_IsImpassableAt(at.x, at.z) != 0; };
    h.groundClear = GroundClearAlong;
    h.avoidanceSteer = [](GameObject* unit, GameObject* ignore, float range, const Vector& goal, Vector* force) {
        Avoidance_Steer(unit, ignore, range, goal, force);
    };
    h.cliffRepulsion = Avoidance_CliffRepulsion;
    h.bestWeaponRange = [](GameObject* unit, BestWeaponRange* out) {
        AI_BestWeaponRange(unit, out);
        return true;
    };
    h.relinkAttack = AttackTask_Relink;
    h.relinkFollow = FollowTask_Relink;
    // The ordnance's four damage values and those of the explosion it would start against the
    // target (the second kind against buildings and other fixed kinds).
    h.damageAgainst = [](const OrdnanceClass* ordnance, GameObject* target) {
        if (!ordnance) return 0.0f;
        float sum = 0.0f;
        for (int32_t d : ordnance->damage) sum += static_cast<float>(d);
        const ExplosionClass* blast = ordnance->explosionDefault;
        if (target) {
            const int32_t type = target->entity ? target->entity->type : 0;
            blast = (type == 2 || type == 5 || type == 7 || type == 10) ? ordnance->explosionTypeB
                                                                        : ordnance->explosionTypeA;
        }
        if (blast)
            for (int32_t d : blast->damage) sum += static_cast<float>(d);
        return sum;
    };
    h.chargeGun = [](Weapon* weapon, ChargeGunState* out) {
        const auto* gun = dynamic_cast<ChargeGun*>(weapon);
        if (!gun || !out) return false;
        out->levels.clear();
        for (const ChargeGunLevel& l : gun->Class().chargeLevels)
            out->levels.push_back(ChargeLevel{l.ordnance, l.salvoCount, l.salvoInterval, l.chargeTime});
        out->current = gun->current;
        out->chargeClock = gun->shotClock;
        out->shotsLeft = gun->shotsLeft;
        return true;
    };
    // A launcher fires only once its lock has reached the final stage.
    h.lockPending = [](Weapon* weapon) {
        const auto* launcher = dynamic_cast<Launcher*>(weapon);
        return launcher && launcher->locked == 0;
    };
    h.coneValue = [](Weapon* weapon) {
        const auto* launcher = dynamic_cast<Launcher*>(weapon);
        return launcher ? launcher->coneValue : 0.0f;
    };
    // The detonator's first charge out, and the reach of the blast it goes off with.
    h.remoteCharge = [](Weapon* weapon, Vector* position, Vector* velocity, float* blastRadius) {
        auto* detonator = dynamic_cast<Detonator*>(weapon);
        const Ordnance* charge = detonator ? detonator->FirstCharge() : nullptr;
        if (!charge || !charge->entity) return false;
        const DVector& p = charge->entity->local.posit;
        if (position) *position = Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        if (velocity) *velocity = charge->motion.velocity;
        const ExplosionClass* blast = charge->ordnanceClass ? charge->ordnanceClass->explosionDefault : nullptr;
        if (blastRadius) *blastRadius = blast ? blast->outerRadius : 0.0f;
        return true;
    };
    h.threatensObject = ShotThreatens;
    h.floorNormal = [](const Vector& at) {
        float height = 0.0f;
        Vector normal{0.0f, 1.0f, 0.0f};
        Collision_GetFloorHeight(at.x, at.y, at.z, &height, &normal);
        return normal;
    };
    return h;
}
UnitTaskHooks g_hooks = MakeDefaultHooks();

const char* const kStateNames[] = {"NO_STATE", "START", "GOTO",  "STUCK", "FOLLOW", "ATTACK", "WAIT",
                                   "SLIDE",    "STAND", "FLEE",  "BLAST", "LEAD",   "CATCH",  "DONE"};
const char* const kStuckNames[] = {"choose",        "forward", "forward-right", "backward-right" /*placeholder*/};

// Formation angles: per band and first octant, the eight columns of the second octant.
const char* const kFormation[5][8] = {
    {"+-++---+", "00000000", "00000000", "++++++++", "+++++---", "--------", "00000000", "00000000"},
    {"+-++---+", "00000000", "00000000", "++++++++", "+++++---", "--------", "00000000", "00000000"},
    {"+-++---+", "00000000", "00000000", "++++++++", "++++++++", "--------", "--------", "--------"},
    {"+0000000", "++++++++", "++++++++", "++++++++", "++++++++", "--------", "--------", "--------"},
    {"00000000", "++++++++", "++++++++", "++++++++", "+++++---", "--------", "--------", "--------"},
};

}  // namespace

UnitTaskHooks& UnitTask_Hooks() { return g_hooks; }
void UnitTask_ResetHooks() { g_hooks = MakeDefaultHooks(); }

const char* UnitTask_StateName(int32_t state) {
    if (state >= 0 && state <= kTaskDone) return kStateNames[state];
    if (state >= 14 && state <= 21) return "USTATEX";
    return nullptr;
}

const char* UnitTask_StuckStateName(int32_t state) {
    static const char* const names[] = {"choose",        "forward", "forward-right", "right",
                                        "backward-right", "backward", "backward-left", "left",
                                        "forward-left",  "downhill", "default(backward)"};
    (void)kStuckNames;
    return state >= 0 && state <= 10 ? names[state] : nullptr;
}

// ---- pair relation ---------------------------------------------------------------------------

int32_t Relation_Octant(float bearing, float heading) {
    const float v = (bearing - heading + 2.0f * kPi + kPi / 8.0f) * (4.0f / kPi);
    return static_cast<int32_t>(std::floor(v)) & 7;
}

uint8_t Relation_Band(float distance) {
    if (distance < 10.0f) return 0;
    if (distance < 25.0f) return 1;
    if (distance < 60.0f) return 2;
    if (distance < 200.0f) return 3;
    return 4;
}

void PairRelation::Init(GameObject* first, GameObject* second) {
    a = first;
    b = second;
    const Vector pa = AI_PositionOf(first), pb = AI_PositionOf(second);
    distance = std::sqrt(Vec3_GroundDistSq(pa, pb));
    band = Relation_Band(distance);
    const Matrix& ma = MatrixOf(first);
    headingA = std::atan2(ma.front.x, ma.front.z);
    bearingA = std::atan2(pb.x - pa.x, pb.z - pa.z);
    octantA = Relation_Octant(bearingA, headingA);
    headingB = bearingB = 0.0f;
    octantB = 4;
    // A thing without a heading (none, or flagged 2) is seen as from behind.
    if (second && second->entity && !(second->entity->flags & 2u)) {
        const Matrix& mb = MatrixOf(second);
        headingB = std::atan2(mb.front.x, mb.front.z);
        bearingB = std::atan2(pa.x - pb.x, pa.z - pb.z);
        octantB = Relation_Octant(bearingB, headingB);
    }
}

bool Relation_SideOn(GameObject* first, GameObject* second) {
    PairRelation r;
    r.Init(first, second);
    return r.distance < 50.0f && (r.octantA == 2 || r.octantA == 6);
}

float Formation_Angle(int32_t band, int32_t firstOctant, int32_t secondOctant) {
    if (band < 0 || band > 4 || firstOctant < 0 || firstOctant > 7 || secondOctant < 0 || secondOctant > 7) return 0.0f;
    const char c = kFormation[band][firstOctant][secondOctant];
    return c == '+' ? 0.52f : c == '-' ? -0.52f : 0.0f;
}

// ---- AiTask --------------------------------------------------------------------------------

AiTask::AiTask(GameObject* taskOwner) : owner(taskOwner) { TaskList().push_back(this); }

AiTask::~AiTask() {
    std::vector<AiTask*>& list = TaskList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<AiTask*>& AiTasks() { return TaskList(); }

// ---- UnitTask ------------------------------------------------------------------------------

UnitTask::UnitTask(GameObject* unit, GameObject* target) : AiTask(unit), me(unit) {
    himHandle = target ? target->GetObjHandle() : 0;
    switchDist = Avoidance_Settings().switchToNextPointDistance;
    UnitTask::Init();
}

UnitTask::~UnitTask() {
    curState = kTaskDone;
    FreePlan();
    // A task torn down after a failed load may still hold a saved id: touch only live objects.
    if (UnitAi_IsListedObject(me)) me->SetTarget(nullptr);
}

CraftControls& UnitTask::Controls() {
    if (Craft* craft = me ? Craft_FromEntity(me->entity) : nullptr) return craft->controls;
    return spare_;
}

uint32_t* UnitTask::ControlFlags() {
    if (Craft* craft = me ? Craft_FromEntity(me->entity) : nullptr) return &craft->physFlags;
    return &spareFlags_;
}

Vector UnitTask::UnitPosition() const { return AI_PositionOf(me); }

Vector UnitTask::ToLocal(const Vector& world) const {
    const Matrix& m = MatrixOf(me);
    return Vector{Dot(world, m.right), Dot(world, m.up), Dot(world, m.front)};
}

Vector UnitTask::FloorNormal() const {
    return g_hooks.floorNormal(UnitPosition());
}

int32_t UnitTask::WeaponHash() const {
    if (!me || !me->hardpoints) return 0;
    const HardpointList* list = me->hardpoints;
    uint64_t h = 0;
    for (int i = 0; i < kHardpointCount; ++i) {
        if (!((list->enabled >> i) & 1u)) continue;
        h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(list->hardpoints[i])) ^ (2 * h);
        if (const Weapon* w = list->weapons[i]) {
            h ^= w->weaponClass ? w->weaponClass->signature : 0u;
            h ^= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(w)) * 0x9E3779B97F4A7C15ull;
        }
    }
    return static_cast<int32_t>(h ^ (h >> 32));
}

void UnitTask::RefreshWeapons(bool addRadii) {
    weaponHash = WeaponHash();
    float b = 0.0f, r = 10.0f, l = 0.5f;
    weapon = nullptr;
    counterWeapon = nullptr;
    counterIndex = -1;
    if (me && me->hardpoints) {
        BestWeaponRange best;
        if (g_hooks.bestWeaponRange(me, &best)) {
            b = best.blastRadius;
            r = best.reach;
            l = best.lifetime;
            weapon = best.weapon;
        }
        FindCounterWeapon();
    }
    if (addRadii) {
        b += me ? me->radius : 0.0f;
        if (GameObject* target = GameObject::FromHandle(himHandle)) b += target->radius;
    }
    // A shot that lives no time or reaches nowhere still gives finite speeds.
    shotLife = l;
    shotSpeed = r / std::max(l, 0.001f);
    shotTimePerMeter = l / std::max(r, 0.001f);
    minRangeSq = b * b;
    reachSq = r * r;
}

void UnitTask::Init() {
    RefreshWeapons(false);
    accuracy = 1.0f;
}

void UnitTask::Update() {
    if (curState == kTaskDone || !me) return;
    skill = (Seam_Net().isNetworkGame() || me->team == GameObject_GetUserTeam())
                ? 4.0f
                : static_cast<float>(Seam_Missions().difficulty ? Seam_Missions().difficulty() : 2);
    if (WeaponHash() != weaponHash) RefreshWeapons(true);
    if (nextState != -1) {
        Exit();
        curState = nextState;
        nextState = -1;
        Enter();
        if (nextState != -1 || curState == kTaskDone) return;
    }
    Execute();
}

void UnitTask::DebugDraw() {
    UnitAiServices& s = UnitAi_Services();
    char line[128];
    const char* name = UnitTask_StateName(curState);
    std::snprintf(line, sizeof line, "UnitTask: %s", name ? name : "?");
    s.debugPrint(line);
    if (curState == kTaskStuck) {
        const char* stuck = UnitTask_StuckStateName(stuckState);
        std::snprintf(line, sizeof line, "stuck state: %s", stuck ? stuck : "?");
        s.debugPrint(line);
        std::snprintf(line, sizeof line, "nextStuck(%f)", static_cast<double>(nextStuck));
        s.debugPrint(line);
    }
    std::snprintf(line, sizeof line, "dir.x: %f", static_cast<double>(localDesired.x));
    s.debugPrint(line);
    const Vector at = UnitPosition();
    s.debugLine(at, Add(at, desired), 0x00FF00u);
    if (plan)
        for (size_t i = 1; i < plan->points.size(); ++i)
            s.debugLine(Vector{plan->points[i - 1].x, at.y, plan->points[i - 1].z},
                        Vector{plan->points[i].x, at.y, plan->points[i].z}, 0xFFFF00u);
}

// ---- route following -------------------------------------------------------------------------

void UnitTask::StartPlan() {
    nextStuck = Now() + 5.0f;
    lastStuck = UnitPosition();
    if (!plan) plan = g_hooks.planForUnit(me, gotoPoint);
    planPoint = 0;
    lookPoint = 0;
    if (plan && !plan->points.empty()) gotoPoint = Vector{plan->points.back().x, 0.0f, plan->points.back().z};
}

void UnitTask::AdvancePlanPoint() {
    if (!plan || plan->points.empty()) return;
    const int32_t last = plan->PointCount() - 1;
    planPoint = std::clamp(planPoint, 0, last);
    if (planPoint < last) {
        const Vector at = UnitPosition();
        const Vector2D& p2 = plan->points[planPoint];
        const Vector p{p2.x, at.y, p2.z};
        const int32_t team = me ? me->team : 0;
        bool pass = Vec3_GroundDistSq(at, p) < switchDist * switchDist && g_hooks.isPathClear(team, at, p);
        if (!pass && planPoint > 0) {
            const Vector2D& prev = plan->points[planPoint - 1];
            pass = (p.x - prev.x) * (at.x - p.x) + (p.z - prev.z) * (at.z - p.z) >= 0.0f;
        }
        if (!pass && obstacle) pass = Vec3_GroundDistSq(AI_PositionOf(obstacle), p) < obstacle->radius * obstacle->radius;
        if (!pass) pass = g_hooks.isImpassableAt(p);
        if (!pass) {
            const Vector2D& n2 = plan->points[planPoint + 1];
            if (g_hooks.isPathClear(team, at, Vector{n2.x, at.y, n2.z})) {
                plan->points[planPoint] = Vector2D{at.x, at.z};
                pass = true;
            }
        }
        if (pass) {
            ++planPoint;
            lookPoint = planPoint + 1;
        }
    }
    lookPoint = std::max(lookPoint, planPoint + 1);
    DriveToPlan();
}

Vector UnitTask::SteerToPlanPoint(bool flat) {
    Vector force{};
    if (!plan || plan->points.empty()) return force;
    const AvoidanceSettings& cfg = Avoidance_Settings();
    const Vector at = UnitPosition();
    const int32_t last = plan->PointCount() - 1;
    const int32_t index = std::clamp(planPoint, 0, last);
    const float goal2 = Vec3_GroundDistSq(at, gotoPoint);
    const float d = goal2 > 400.0f ? 20.0f : std::sqrt(goal2);
    const Vector point{plan->points[index].x, at.y, plan->points[index].z};
    const float r = std::sqrt(Vec3_GroundDistSq(at, point));
    if (r > 0.0f) {
        const float gain = cfg.attractiveCoefficient * d * (index == last ? cfg.extraGoalAttraction : 1.0f);
        force = Vector{(point.x - at.x) / r * gain, 0.0f, (point.z - at.z) / r * gain};
    }
    g_hooks.avoidanceSteer(me, avoidIgnore, std::min(cfg.defaultRepulsionCutoff, r), point, &force);
    if (!flat) g_hooks.cliffRepulsion(me, point, r, &force);
    if (index == last && me) force = Sub(force, Mul(me->euler.velocity, 0.2f));
    return force;
}

namespace {
float SpeedLimit(float steer) {
    const float s = std::fabs(steer);
    return s >= 1.0f ? 0.25f : s > 0.7f ? 0.5f : 1.0f;
}
}  // namespace

void UnitTask::DriveToPlan() {
    CraftControls& c = Controls();
    const Vector normal = FloorNormal();
    c.pitch = Clamp1(-Dot(MatrixOf(me).front, normal));
    const bool flat = (*ControlFlags() & kControlFlat) || (plan && plan->pathType == kPathTypeStraight);
    desired = SteerToPlanPoint(flat);
    localDesired = ToLocal(desired);
    if (Dot(localDesired, localDesired) > 0.0001f && plan && !plan->points.empty()) {
        const int32_t index = std::clamp(planPoint, 0, plan->PointCount() - 1);
        const Vector at = UnitPosition();
        const Vector from = index == 0 ? at : Vector{plan->points[index - 1].x, at.y, plan->points[index - 1].z};
        const Vector to{plan->points[index].x, at.y, plan->points[index].z};
        const Vector seg = ToLocal(Sub(to, from));
        const float a = std::atan2(seg.x, seg.z);
        c.steering = Clamp1(-(a + YawRate(me) * yawDamping) * steerFactor);
    }
    const float m = SpeedLimit(c.steering);
    c.throttle = std::clamp(braccelFactor * localDesired.z, -m, m);
    c.strafe = std::clamp(strafeFactor * localDesired.x, -m, m);
    c.boost = (c.throttle >= 1.0f && normal.y < 0.8f) ? 1 : 0;
}

void UnitTask::FreePlan() {
    // Only a route the path list still holds, and never a named one.
    const std::vector<AiPath*>& paths = AiPaths();
    if (plan && std::find(paths.begin(), paths.end(), plan) != paths.end()) AiPath_DeleteUnnamed(plan);
    plan = nullptr;
}

// ---- steering --------------------------------------------------------------------------------

void UnitTask::Brake() {
    CraftControls& c = Controls();
    const Vector v = me ? me->euler.velocity : Vector{};
    const float speed = std::sqrt(Dot(v, v));
    if (speed < 0.01f) {
        c.throttle = 0.0f;
        c.strafe = 0.0f;
    } else {
        const Matrix& m = MatrixOf(me);
        c.throttle = Clamp1(-0.2f * Dot(m.front, v));
        c.strafe = Clamp1(-0.2f * Dot(m.right, v));
    }
    c.steering = Clamp1(-YawRate(me));
    c.boost = 0;
}

void UnitTask::DriveToward(const Vector& v) {
    CraftControls& c = Controls();
    desired = v;
    localDesired = ToLocal(v);
    const float m = SpeedLimit(c.steering);
    c.throttle = std::clamp(braccelFactor * localDesired.z, -m, m);
    c.strafe = std::clamp(strafeFactor * localDesired.x, -m, m);
    c.boost = 0;
}

void UnitTask::TurnTo(const Vector& dir) {
    CraftControls& c = Controls();
    localDesired = dir;
    const float a = std::atan2(dir.x, dir.z);
    c.steering = Clamp1((-a - YawRate(me) * yawDamping) * steerFactor);
    IntegratePitch(dir);
}

void UnitTask::TurnToward(const Vector& dir, const Vector& dirRate) {
    CraftControls& c = Controls();
    localDesired = dir;
    const float a = std::atan2(dir.x, dir.z);
    const float len2 = dir.x * dir.x + dir.z * dir.z;
    const float w = len2 > 0.0f ? (dirRate.z * dir.x - dirRate.x * dir.z) / len2 : 0.0f;
    c.steering = Clamp1(((w - YawRate(me)) * yawDamping - a) * steerFactor + w * turnLead);
    IntegratePitch(dir);
}

void UnitTask::IntegratePitch(const Vector& dir) {
    // The rise of the direction, not its length in metres: the guns tilt with the pitch input,
    // and a rate that grew with the distance to the target would swing them from stop to stop
    // every frame, so that they never came to bear.
    const float length = std::sqrt(Dot(dir, dir));
    const float rise = length > 0.0f ? dir.y / length : 0.0f;
    pitch = Clamp1(pitch + Dt() * rise * 4.0f);
    Controls().pitch = pitch;
}

void UnitTask::SteerAvoid(const Vector& target, GameObject* other) {
    const Vector at = UnitPosition();
    const Vector off = Sub(target, at);
    const float len = std::sqrt(Dot(off, off));
    desired = Mul(off, len / (len + 0.0001f));
    if (other) {
        const Vector o = AI_PositionOf(other);
        const Vector away = Sub(at, o);
        const float d2 = Dot(away, away);
        if (d2 < 2500.0f) {
            // An object right on the unit still pushes a finite amount.
            const float floored = std::max(d2, 1.0f);
            const float len2 = std::sqrt(floored);
            const Vector dir = d2 > 0.0f ? Mul(away, 1.0f / std::sqrt(d2)) : Vector{1.0f, 0.0f, 0.0f};
            (void)len2;
            desired = Add(desired, Mul(dir, 1.0f / (0.00005f * floored)));
        }
    }
    g_hooks.cliffRepulsion(me, target, len, &desired);
}

void UnitTask::CircleAround(float angle) {
    const Matrix& m = MatrixOf(me);
    const Vector at = UnitPosition();
    const Vector aim = Add(at, Mul(Add(Mul(m.front, std::cos(angle)), Mul(m.right, std::sin(angle))), 40.0f));
    Vector force = Sub(aim, at);
    g_hooks.avoidanceSteer(me, avoidIgnore, 40.0f, aim, &force);
    g_hooks.cliffRepulsion(me, aim, 40.0f, &force);
    TurnTo(ToLocal(force));
    DriveToward(force);
}

void UnitTask::FormationStep() {
    GameObject* target = him ? him : GameObject::FromHandle(himHandle);
    PairRelation rel;
    rel.Init(me, target);
    const float angle = Formation_Angle(rel.band, rel.octantA, rel.octantB);
    avoidIgnore = target;
    CircleAround(angle);
    CraftControls& c = Controls();
    if (c.throttle > 0.2f) c.throttle = 1.0f;
    pitch = Clamp1(pitch + Dt() * 20.0f * targetLocal.y);
    c.pitch = pitch;
}

void UnitTask::TurnTowardWorld(const Vector& dir, const Vector& dirRate) { TurnToward(ToLocal(dir), ToLocal(dirRate)); }
void UnitTask::TurnToWorld(const Vector& dir) { TurnTo(ToLocal(dir)); }

void UnitTask::Jitter(float a) {
    if (skill >= 4.0f) return;
    CraftControls& c = Controls();
    const float t = Now() / 2.0f;
    c.pitch = Clamp1(c.pitch + Noise_Gradient1D(t) * a);
    c.steering = Clamp1(c.steering + Noise_Gradient1D(t + 25.734f) * a);
}

namespace {
// The sidestep out of the target's line of fire: within twice the unit's radius of it, up to
// 40 m along the target's right axis, away from the line.
Vector Sidestep(const Vector& offset, const GameObject* target, float radius) {
    if (!target || radius <= 0.0f) return Vector{};
    const Vector right = MatrixOf(target).right;
    const float along = Dot(offset, right);
    if (std::fabs(along) >= 2.0f * radius) return Vector{};
    const float size = 40.0f * std::min(2.0f - std::fabs(along) / radius, 1.0f);
    return Mul(right, along >= 0.0f ? size : -size);
}
Vector Normalised(const Vector& v) {
    const float len = std::sqrt(Dot(v, v));
    return len > 0.0f ? Mul(v, 1.0f / len) : Vector{};
}
}  // namespace

void UnitTask::AttackManeuver() {
    GameObject* target = him ? him : GameObject::FromHandle(himHandle);
    TurnToward(aimDir, Mul(targetVel, skill * 0.5f - 0.5f));
    const Vector at = UnitPosition();
    const Vector targetAt = target ? AI_PositionOf(target) : at;
    const Vector offset = Sub(at, targetAt);
    Vector goal = Add(targetAt, Mul(Normalised(offset), 40.0f));
    if (skill >= 3.0f) goal = Add(goal, Sidestep(offset, target, me ? me->radius : 0.0f));
    Vector force = Sub(goal, at);
    g_hooks.avoidanceSteer(me, avoidIgnore, 40.0f, goal, &force);
    g_hooks.cliffRepulsion(me, goal, 40.0f, &force);
    DriveToward(force);
    CraftControls& c = Controls();
    c.boost = c.throttle >= 1.0f ? 1 : 0;
    Jitter(0.3f - 0.075f * skill);
}

void UnitTask::StandAttack() {
    CraftControls& c = Controls();
    Craft* craft = me ? Craft_FromEntity(me->entity) : nullptr;
    if (craft && craft->deployState != 0 && craft->IsDeployed()) {
        c.boost = 0;
        c.throttle = 0.0f;
        c.strafe = 0.0f;
        c.steering = Clamp1(-targetLocal.x * steerFactor);
        pitch = Clamp1(pitch + Dt() * targetLocal.y * 4.0f);
        c.pitch = pitch;
    } else {
        GameObject* target = him ? him : GameObject::FromHandle(himHandle);
        const Vector at = UnitPosition();
        Vector force{};
        if (target && minRangeSq > 0.0f && targetDistSq < minRangeSq)
            force = Mul(Normalised(Sub(AI_PositionOf(target), at)), -40.0f * (1.0f - targetDistSq / minRangeSq));
        const Vector goal = Add(at, force);
        g_hooks.avoidanceSteer(me, avoidIgnore, 40.0f, goal, &force);
        g_hooks.cliffRepulsion(me, goal, 40.0f, &force);
        TurnToward(aimDir, Mul(targetVel, skill * 0.5f - 0.5f));
        DriveToward(force);
        if (Dot(force, force) < 25.0f) {
            c.throttle = 0.0f;
            c.strafe = 0.0f;
        }
    }
    Jitter(0.1f - 0.025f * skill);
}

void UnitTask::RangeAttack() {
    GameObject* target = him ? him : GameObject::FromHandle(himHandle);
    TurnToward(aimDir, Mul(targetVel, skill * 0.5f - 0.5f));
    const Vector at = UnitPosition();
    Vector force{};
    if (target) {
        const Vector targetAt = AI_PositionOf(target);
        const float lower = std::sqrt(std::max(minRangeSq, 0.0f)), upper = std::sqrt(std::max(reachSq, 0.0f));
        float standoff = (me ? me->radius : 0.0f) + blastDist + target->radius;
        standoff = std::min(std::max(standoff, lower), std::max(upper, lower));
        const Vector toTarget = Sub(targetAt, at);
        float u = std::sqrt(Dot(toTarget, toTarget)) - standoff;
        if (minRangeSq > 0.0f && targetDistSq < minRangeSq) u -= 40.0f * (1.0f - targetDistSq / minRangeSq);
        force = Mul(Normalised(toTarget), u);
        if (skill >= 4.0f) force = Add(force, Sidestep(Sub(at, targetAt), target, me ? me->radius : 0.0f));
    }
    const Vector goal = Add(at, force);
    g_hooks.avoidanceSteer(me, avoidIgnore, 40.0f, goal, &force);
    g_hooks.cliffRepulsion(me, goal, 40.0f, &force);
    DriveToward(force);
    CraftControls& c = Controls();
    if (Dot(force, force) < 1.0f) {
        c.throttle = 0.0f;
        c.strafe = 0.0f;
    }
    c.boost = c.throttle >= 1.0f ? 1 : 0;
    Jitter(0.2f - 0.05f * skill);
}

void UnitTask::FollowStep() {
    CraftControls& c = Controls();
    const float now = Now();
    if (now - lastStopped < 10.0f && std::fabs(c.throttle) < 0.1f && std::fabs(c.steering) < 0.1f &&
        std::fabs(c.strafe) < 0.1f && std::fabs(c.pitch) < 0.1f) {
        EndStuck();
        c.throttle = c.steering = c.strafe = c.pitch = 0.0f;
        return;
    }
    GameObject* leader = him ? him : GameObject::FromHandle(himHandle);
    if (!leader) return;
    c.pitch = Clamp1(-Dot(MatrixOf(me).front, FloorNormal()));
    const Matrix& lm = MatrixOf(leader);
    const Vector station = Add(AI_PositionOf(leader), Add(Mul(lm.right, followDx), Mul(lm.front, followDz)));
    SteerAvoid(station, obstacle);
    const Vector at = UnitPosition();
    if (leader->euler.speed < 5.0f) {
        TurnToWorld(lm.front);
        if (Vec3_GroundDistSq(at, station) < 100.0f) {
            EndStuck();
            lastStopped = now;
        }
    } else {
        TurnToWorld(leader->euler.velocity);
    }
    localDesired = ToLocal(desired);
    c.throttle = Clamp1(braccelFactor * localDesired.z);
    c.strafe = Clamp1(strafeFactor * localDesired.x);
    c.boost = c.throttle >= 1.0f ? 1 : 0;
}

// ---- stuck -----------------------------------------------------------------------------------

bool UnitTask::IsStuck() {
    const Vector at = UnitPosition();
    if (!(*ControlFlags() & kControlFlat) && g_hooks.isImpassableAt(at)) return true;
    if (Now() < nextStuck + Avoidance_Settings().extraStuckTime) return false;
    const Vector before = lastStuck;
    EndStuck();
    return Vec3_GroundDistSq(at, before) < 25.0f;
}

void UnitTask::EnterMoveState() {
    if (curState == kTaskGoto) StartPlan();
    else if (curState == kTaskStuck) BeginStuck();
}

void UnitTask::ExitMoveState() {
    if (curState == kTaskGoto) FreePlan();
    else if (curState == kTaskStuck) EndStuck();
}

void UnitTask::BeginStuck() {
    stuckState = 0;
    *ControlFlags() |= kControlStuck;
}

void UnitTask::EndStuck() {
    nextStuck = Now() + 5.0f;
    lastStuck = UnitPosition();
    *ControlFlags() &= ~kControlStuck;
}

namespace {
// How far the unit can go along the unit direction before it meets a solid object (power-ups
// and scrap let it through): the nearest bounding sphere, grown by the unit's radius, that the
// ray of the range meets.
float ObjectFreeLength(GameObject* unit, const Vector& at, const Vector& dir, float range) {
    float best = range;
    const float own = unit ? unit->radius : 0.0f;
    for (GameObject* other : GameObject_List()) {
        if (other == unit || !other->entity || (other->entity->flags & kEntityDead)) continue;
        const int32_t kind = other->objClass ? other->objClass->category : 0;
        if (kind == kCategoryPowerUp || kind == kCategoryScrap) continue;
        const Vector rel = Sub(AI_PositionOf(other), at);
        const float along = Dot(rel, dir);
        if (along <= 0.0f || along > range + other->radius + own) continue;
        const float r = other->radius + own;
        const float perp2 = Dot(rel, rel) - along * along;
        if (perp2 >= r * r) continue;
        best = std::min(best, std::max(0.0f, along - std::sqrt(r * r - perp2)));
    }
    return best;
}

// braccel and strafe of the eight escape directions (1..8).
constexpr float kEscapeBraccel[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr float kEscapeStrafe[8] = {0, 1, 1, 1, 0, -1, -1, -1};
}  // namespace

void UnitTask::StuckRecover() {
    CraftControls& c = Controls();
    const Vector normal = FloorNormal();
    const Matrix& m = MatrixOf(me);
    c.pitch = Clamp1(-Dot(m.front, normal));
    const bool flat = normal.y > 0.7f;
    const Vector at = UnitPosition();
    const bool impassable = g_hooks.isImpassableAt(at);
    const float now = Now();
    switch (stuckState) {
        case 0: {
            c.boost = 0;
            c.throttle = -0.1f;
            c.steering = 0.0f;
            if (!impassable) {
                stuckState = 10;
                nextStuck = now + 2.0f;
                break;
            }
            nextStuck = now + 2.0f;
            int best = -1;
            float bestDistance = 1e30f;
            for (int i = 0; i < 8; ++i) {
                const float f = kEscapeBraccel[i], s = kEscapeStrafe[i];
                const float scale = (f != 0.0f && s != 0.0f) ? 0.707f : 1.0f;
                Vector dir = Add(Mul(m.front, f * scale), Mul(m.right, s * scale));
                float freeLength = 50.0f;
                float t = 1.0f;
                Vector hitNormal{0.0f, 1.0f, 0.0f};
                if (Terrain_RayCast(at.x, at.y, at.z, dir.x * 50.0f, dir.y * 50.0f, dir.z * 50.0f, &t, &hitNormal) &&
                    hitNormal.y < 0.7f)
                    freeLength = t * 50.0f - (me ? me->radius : 0.0f);
                freeLength = std::min(freeLength, ObjectFreeLength(me, at, dir, 50.0f));
                const float out = g_hooks.groundClear(me, dir, 50.0f);
                if (out < 50.0f && out < freeLength && out < bestDistance) {
                    bestDistance = out;
                    best = i;
                }
            }
            if (best < 0 || (!flat && bestDistance > 10.0f)) stuckState = 9;
            else stuckState = 1 + best;
            break;
        }
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8:
            if (now > nextStuck) {
                stuckState = flat ? 0 : 9;
                nextStuck = now + 2.0f;
            } else if (impassable) {
                c.steering = 0.0f;
                c.throttle = kEscapeBraccel[stuckState - 1];
                c.strafe = kEscapeStrafe[stuckState - 1];
                c.boost = c.throttle > 0.0f ? 1 : 0;
            } else {
                nextState = kTaskStart;
            }
            break;
        case 9:
            if (now > nextStuck || !impassable) {
                nextState = kTaskStart;
            } else if (flat) {
                stuckState = 6;
                nextStuck = now + 2.0f;
            } else {
                TurnTo(ToLocal(Vector{normal.x, 0.0f, normal.z}));
                c.boost = 0;
                c.throttle = std::fabs(c.steering) < 0.25f ? 1.0f : 0.0f;
            }
            break;
        default:  // 10: back off
            if (now > nextStuck) {
                nextState = kTaskStart;
            } else {
                c.boost = 0;
                c.throttle = -1.0f;
                c.steering = 0.0f;
                c.strafe = 0.0f;
            }
            break;
    }
}

// ---- weapons ---------------------------------------------------------------------------------

bool UnitTask::LineOfFireClear() {
    GameObject* target = him ? him : GameObject::FromHandle(himHandle);
    if (!target || !me) return false;
    Vector aimPoint = AI_PositionOf(target);
    Vector origin = UnitPosition();
    Matrix frame = MatrixOf(me);
    if (weapon) {
        weapon->GetAimPoint(&aimPoint, target);
        if (weapon->entity) {
            frame = WeaponWorldFrame(weapon);
            const DVector& p = frame.posit;
            origin = Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        }
    }
    const Vector off = Sub(aimPoint, origin);
    aimDir = Vector{Dot(off, frame.right), Dot(off, frame.up), Dot(off, frame.front)};
    targetDistSq = Dot(aimDir, aimDir);
    targetLocal = targetDistSq > 0.0f ? Mul(aimDir, 1.0f / std::sqrt(targetDistSq)) : Vector{0.0f, 0.0f, 1.0f};
    const Vector rel = Sub(target->euler.velocity, me->euler.velocity);
    targetVel = Vector{Dot(rel, frame.right), Dot(rel, frame.up), Dot(rel, frame.front)};
    if (targetDistSq > reachSq) return false;
    float t = 1.0f;
    return !Terrain_RayCast(origin.x, origin.y, origin.z, off.x, off.y, off.z, &t, nullptr);
}

namespace {
uint32_t SignatureOf(const Weapon* w) { return w && w->weaponClass ? w->weaponClass->signature : 0u; }
bool HasWeaponOf(GameObject* object, std::initializer_list<const char*> signatures) {
    if (!object || !object->hardpoints) return false;
    for (Weapon* w : object->hardpoints->weapons)
        for (const char* s : signatures)
            if (w && SignatureOf(w) == Signature(s)) return true;
    return false;
}
void Trigger(Weapon* w) {
    if (w && !w->IsTriggerDown()) w->PullTrigger();
}
}  // namespace

void UnitTask::FindCounterWeapon() {
    counterWeapon = nullptr;
    counterIndex = -1;
    if (!me || !me->hardpoints) return;
    for (int i = 0; i < kHardpointCount; ++i) {
        Weapon* w = me->hardpoints->weapons[i];
        const uint32_t sig = SignatureOf(w);
        if (sig != Signature("IREF") && sig != Signature("RDMP")) continue;
        // The class's value for that use: its ordnance, when it has one.
        if (w->ordnanceClass) {
            counterWeapon = w;
            counterIndex = i;
            return;
        }
        Trigger(w);
    }
}

void UnitTask::CounterTarget() {
    GameObject* target = GameObject::FromHandle(himHandle);
    if (!counterWeapon || !target) return;
    const bool flagged = target->entity && (target->entity->flags & 0x30u);
    const uint32_t sig = SignatureOf(counterWeapon);
    bool use = false;
    if (sig == Signature("IREF")) use = flagged || HasWeaponOf(target, {"IMGL", "THML"});
    else if (sig == Signature("RDMP"))
        use = flagged || (target->objClass && target->objClass->signature == Signature("TORP")) ||
              HasWeaponOf(target, {"RDRL"});
    if (use) Trigger(counterWeapon);
}

void UnitTask::CounterHit() {
    if (!counterWeapon || !me) return;
    const float now = Now();
    const bool recent = now - me->enemyShot < 10.0f;
    // The last enemy hit came from the player's side: its hit time is also the last player-side one.
    const bool same = me->enemyShot == me->playerShot;
    const uint32_t sig = SignatureOf(counterWeapon);
    bool use = false;
    if (sig == Signature("IREF")) {
        use = recent && (same || me->lastHitOrdnanceSignature == Signature("IMGM") ||
                         me->lastHitOrdnanceSignature == Signature("THMM"));
    } else if (sig == Signature("RDMP")) {
        use = (obstacle && obstacle->objClass && obstacle->objClass->signature == Signature("TORP")) ||
              (recent && same);
    }
    if (use) Trigger(counterWeapon);
}

float UnitTask::ChargeLevelWorth(const ChargeGunState& gun, int32_t level, GameObject* target) const {
    if (level < 0 || level >= static_cast<int32_t>(gun.levels.size())) return 0.0f;
    const ChargeLevel& l = gun.levels[static_cast<size_t>(level)];
    if (!l.ordnance) return 0.0f;
    const float cost = static_cast<float>(l.ordnance->ordIntParam);
    float n = static_cast<float>(l.salvoCount);
    if (cost > 0.0f && me) n = std::min(n, std::floor(static_cast<float>(me->curAmmo) / cost));
    const float damage = g_hooks.damageAgainst(l.ordnance, target);
    const float a = me ? std::clamp(me->ammoRatio, 0.0f, 1.0f) : 0.0f;
    const float charge = level == gun.current ? gun.chargeClock : l.chargeTime;
    const float t = (n - 1.0f) * l.salvoInterval + charge;
    float worth = (a / std::max(0.0001f, t) + (1.0f - a) / std::max(0.0001f, cost * n)) * n * damage;
    if (level > gun.current) {
        const float k = static_cast<float>(level - gun.current);
        const float serial = me ? static_cast<float>(me->GetObjHandle() & kHandleSerialMask) : 0.0f;
        worth *= 1.0f + 0.1f * Noise_Gradient1D(3.0f * Now() + 2.73f * k + 0.61f * serial);
    }
    return worth;
}

void UnitTask::FireAtTarget(bool fire) {
    GameObject* target = him ? him : GameObject::FromHandle(himHandle);
    if (!me || !target) return;
    float reach = target->radius / std::sqrt(targetDistSq + 0.0001f);
    const uint32_t sig = SignatureOf(weapon);
    const bool launcher = sig == Signature("IMGL") || sig == Signature("LNCH") || sig == Signature("THML");
    if (sig == Signature("DISP")) {
        if (fire) Trigger(weapon);
        return;
    }
    if (sig == Signature("IREF") || sig == Signature("RDMP") || sig == Signature("TRXP")) return;
    if (sig == Signature("RDET")) {
        Vector charge{}, chargeVelocity{};
        float blast = 0.0f;
        if (g_hooks.remoteCharge(weapon, &charge, &chargeVelocity, &blast)) {
            // The charge goes off once it has passed the target along the target's motion, but
            // never while the unit itself stands in the blast.
            const Vector fromTarget = Sub(charge, AI_PositionOf(target));
            const float safe = me->radius + target->radius + blast;
            const Vector fromUnit = Sub(charge, UnitPosition());
            if (Dot(fromTarget, target->euler.velocity) > 0.0f && Dot(fromUnit, fromUnit) >= safe * safe) Trigger(weapon);
            return;
        }
        if (!fire) return;
    } else if (sig == Signature("RDRL")) {
        if (!fire) return;
        if (target->objClass && target->objClass->signature == Signature("TORP") && targetDistSq < minRangeSq) return;
        reach = std::max(reach, g_hooks.coneValue(weapon));
    } else if (launcher) {
        if (!fire) return;
        reach = std::max(reach, g_hooks.coneValue(weapon));
    } else if (sig != Signature("CHRG")) {
        if (!fire) return;
        if (minRangeSq * accuracy <= targetDistSq) {
            accuracy = 1.0f;
        } else {
            // Too close to shoot: the unit's confidence sinks, faster while that target is
            // hitting it.
            float decay = 0.1f * Dt();
            if (me->lastAttacker == target->GetObjHandle() && Now() - me->lastHitTime < 1.0f && me->lastHitOrdnance) {
                float sum = 0.0f;
                for (int32_t d : me->lastHitOrdnance->damage) sum += static_cast<float>(d);
                decay += 0.01f * Dt() * sum;
            }
            accuracy -= decay;
            return;
        }
    }
    // The aim test.
    const bool aimed = targetLocal.z > 0.0f && std::fabs(targetLocal.x) < fireConeX + reach &&
                       std::fabs(targetLocal.y) < reach / 2.0f + fireConeY;
    if (!aimed) {
        if (sig == Signature("CHRG")) Trigger(weapon);
        return;
    }
    me->SetTarget(target);
    uint32_t mask = me->hardpoints ? me->hardpoints->enabled : 0u;
    if (counterIndex >= 0) mask &= ~(1u << counterIndex);
    UnitAiServices& s = UnitAi_Services();
    if (sig == Signature("CHRG")) {
        ChargeGunState gun;
        if (!g_hooks.chargeGun(weapon, &gun)) return;
        if (gun.shotsLeft > 0) return;  // a salvo is under way
        if (!fire) Trigger(weapon);  // charging goes on
        if (gun.current == 0) {
            s.weaponMaskFire(me, mask);  // starts the charge
            return;
        }
        const int32_t last = static_cast<int32_t>(gun.levels.size()) - 1;
        if (gun.current >= last) return;  // let go: the salvo fires
        const float now = ChargeLevelWorth(gun, gun.current, target);
        for (int32_t k = gun.current + 1; k <= last; ++k) {
            if (ChargeLevelWorth(gun, k, target) > now) {
                Trigger(weapon);  // a later level is worth waiting for
                return;
            }
        }
        return;  // the trigger is let go and the current level fires
    }
    bool shoot = false;
    if (sig == Signature("MORT") || sig == Signature("POPR") || sig == Signature("RDET")) {
        shoot = true;
    } else if (launcher || sig == Signature("RDRL")) {
        shoot = !g_hooks.lockPending(weapon);
    } else {
        const int32_t type = target->entity ? target->entity->type : 0;
        const bool moving = type == 1 || type == 3 || type == 4 || type == 6;
        Craft* craft = Craft_FromEntity(target->entity);
        shoot = moving && (type == 3 || type == 4 || (craft && craft->IsUndeployed()));
        if (!shoot) shoot = g_hooks.threatensObject(this, target, reach);
    }
    if (shoot) s.weaponMaskFire(me, mask);
}

// ---- saving ----------------------------------------------------------------------------------

bool UnitTask::Save(FILE* stream) {
    return Field_WriteInt(stream, curState, "curState") && Field_WriteInt(stream, nextState, "nextState") &&
           Field_WritePointer(stream, me, "me") && Field_WriteHex(stream, &himHandle, 4, "himHandle") &&
           Field_WriteBool(stream, wasInTransition, "wasInTransition") &&
           Field_WriteInt(stream, saveState, "saveState") && Field_WriteHex(stream, &saveHandle, 4, "saveHandle") &&
           Field_WriteVector(stream, &gotoPoint, sizeof gotoPoint, "gotoPoint") &&
           Field_WritePointer(stream, plan, "plan") && Field_WriteInt(stream, planPoint, "planPoint") &&
           Field_WriteFloat(stream, braccelFactor, "braccelFactor") &&
           Field_WriteFloat(stream, steerFactor, "steerFactor") &&
           Field_WriteFloat(stream, strafeFactor, "strafeFactor") &&
           Field_WriteHex(stream, &avoidSkip, 4, "avoidSkip") && Field_WriteFloat(stream, nextStuck, "nextStuck") &&
           Field_WriteVector(stream, &lastStuck, sizeof lastStuck, "lastStuck") &&
           Field_WriteInt(stream, stuckState, "stuckState") && Field_WriteFloat(stream, pitch, "pitch") &&
           Field_WriteFloat(stream, blastDist, "blastDist") && Field_WriteFloat(stream, fireConeX, "fireConeX") &&
           Field_WriteFloat(stream, fireConeY, "fireConeY") && Field_WriteFloat(stream, switchDist, "switchDist") &&
           Field_WriteFloat(stream, attackStart, "attackStart") &&
           Field_WriteHex(stream, &attackTarget, 4, "attackTarget") &&
           Field_WriteFloat(stream, noHitTime, "noHitTime") && Field_WriteFloat(stream, followDx, "followDx") &&
           Field_WriteFloat(stream, followDz, "followDz") && Field_WriteFloat(stream, lastStopped, "lastStopped") &&
           Field_WriteHex(stream, &followTarget, 4, "followTarget") && Field_WriteFloat(stream, timeOut, "timeOut");
}

bool UnitTask::Load() {
    FreePlan();
    const bool ok =
        Field_ReadInt("curState", &curState) && Field_ReadInt("nextState", &nextState) &&
        Field_ReadPointerFixup("me", &me, "me") && Field_ReadHex("himHandle", &himHandle, 4) &&
        Field_ReadBool("wasInTransition", &wasInTransition) && Field_ReadInt("saveState", &saveState) &&
        Field_ReadHex("saveHandle", &saveHandle, 4) && Field_ReadVector("gotoPoint", &gotoPoint, sizeof gotoPoint) &&
        Field_ReadPointerFixup("plan", &plan, "plan") && Field_ReadInt("planPoint", &planPoint) &&
        Field_ReadFloat("braccelFactor", &braccelFactor) && Field_ReadFloat("steerFactor", &steerFactor) &&
        Field_ReadFloat("strafeFactor", &strafeFactor) && Field_ReadHex("avoidSkip", &avoidSkip, 4) &&
        (Field_Version() <= 1038 || Field_ReadFloat("nextStuck", &nextStuck)) &&
        Field_ReadVector("lastStuck", &lastStuck, sizeof lastStuck) && Field_ReadInt("stuckState", &stuckState) &&
        Field_ReadFloat("pitch", &pitch) && Field_ReadFloat("blastDist", &blastDist) &&
        Field_ReadFloat("fireConeX", &fireConeX) && Field_ReadFloat("fireConeY", &fireConeY) &&
        Field_ReadFloat("switchDist", &switchDist) && Field_ReadFloat("attackStart", &attackStart) &&
        Field_ReadHex("attackTarget", &attackTarget, 4) && Field_ReadFloat("noHitTime", &noHitTime) &&
        Field_ReadFloat("followDx", &followDx) && Field_ReadFloat("followDz", &followDz) &&
        Field_ReadFloat("lastStopped", &lastStopped) && Field_ReadHex("followTarget", &followTarget, 4) &&
        Field_ReadFloat("timeOut", &timeOut);
    return ok;
}

bool UnitTask::PostLoad() {
    if (!UnitAi_IsListedObject(me)) me = nullptr;
    owner = me;
    // The route is this task's own: a named path, one that is gone, or one another task took
    // first is none.
    const std::vector<AiPath*>& paths = AiPaths();
    if (plan && (std::find(paths.begin(), paths.end(), plan) == paths.end() || plan->HasLabel())) plan = nullptr;
    for (const AiTask* other : AiTasks()) {
        if (other == this) break;
        if (const auto* task = dynamic_cast<const UnitTask*>(other); task && task->plan == plan) plan = nullptr;
    }
    himHandle = Field_ResolveHandle(himHandle);
    saveHandle = Field_ResolveHandle(saveHandle);
    avoidSkip = Field_ResolveHandle(avoidSkip);
    attackTarget = Field_ResolveHandle(attackTarget);
    followTarget = Field_ResolveHandle(followTarget);
    if (nextStuck == 0.0f) nextStuck = Now();
    if (stuckState < 0 || stuckState > 10) stuckState = 0;
    g_hooks.relinkAttack(this);
    g_hooks.relinkFollow(this);
    him = nullptr;
    lookPoint = planPoint;
    Init();
    return true;
}

// ---- simple tasks ----------------------------------------------------------------------------

namespace {
const FactoryReg* EntryOr(const char* name) {
    if (const FactoryReg* reg = Factory_Find(name)) return reg;
    return Registration_FactoryEntry(name);
}
}  // namespace

SitTask::SitTask(GameObject* unit) : UnitTask(unit, nullptr) { curState = kTaskWait; }
SitSpinTask::SitSpinTask(GameObject* unit) : UnitTask(unit, nullptr) { curState = kTaskWait; }
CircleTask::CircleTask(GameObject* unit) : UnitTask(unit, nullptr) { curState = kTaskWait; }
CoastTask::CoastTask(GameObject* unit) : UnitTask(unit, nullptr) { curState = kTaskWait; }

const FactoryReg* UnitTask_FactoryEntry(const char* name) { return EntryOr(name); }

const FactoryReg* SitTask::GetFactory() const { return EntryOr("SitTask"); }
const FactoryReg* SitSpinTask::GetFactory() const { return EntryOr("SitSpinTask"); }
const FactoryReg* CircleTask::GetFactory() const { return EntryOr("CircleTask"); }
const FactoryReg* CoastTask::GetFactory() const { return EntryOr("CoastTask"); }

void SitSpinTask::Execute() {
    Brake();
    Controls().steering = 0.5f;
}

void CircleTask::Execute() {
    CraftControls& c = Controls();
    c.steering = 0.25f;
    c.throttle = 0.25f;
    c.strafe = 0.0f;
    c.boost = 0;
}

void CoastTask::Execute() {
    CraftControls& c = Controls();
    c.steering = 0.0f;
    c.throttle = 0.0f;
    c.strafe = 0.0f;
    c.boost = 0;
}

void Ai_InstallTasks() {
    const struct {
        const char* name;
        FactoryCreate create;
    } entries[] = {
        {"SitTask", []() -> sObject* { return new SitTask; }},
        {"SitSpinTask", []() -> sObject* { return new SitSpinTask; }},
        {"CircleTask", []() -> sObject* { return new CircleTask; }},
        {"CoastTask", []() -> sObject* { return new CoastTask; }},
    };
    for (const auto& e : entries) Registration_SetCreate(e.name, e.create);
    Ai_InstallGotoTasks();
    Ai_InstallFollowTasks();
    Ai_InstallAttackTasks();
    Ai_InstallCombatTasks();
    Ai_InstallPersonTasks();
    Ai_InstallRescueTask();
}

// ---- the task list ---------------------------------------------------------------------------

bool AiTasks_Save(FILE* stream) {
    int32_t count = 0;
    for (const AiTask* task : TaskList())
        if (!task->doNotSave) ++count;
    if (!Field_WriteLabel(stream, "[AiTasks]") || !Field_WriteInt(stream, count, "count")) return false;
    const std::vector<AiTask*> list = TaskList();
    for (AiTask* task : list)
        if (!task->doNotSave && !sObject_Save(stream, task)) return false;
    return true;
}

namespace {
// A saved task, checked to be a task before it reads anything.
AiTask* LoadTask() {
    char name[kFactoryNameLength + 1] = {};
    if (!Field_ReadString("name", name, kFactoryNameLength)) return nullptr;
    uint32_t saved = 0;
    if (!Field_ReadPointer("sObject", &saved)) return nullptr;
    const FactoryReg* reg = Factory_Find(name);
    if (!reg || !reg->create) return nullptr;
    sObject* made = reg->create();
    auto* task = dynamic_cast<AiTask*>(made);
    if (!task) {
        delete made;
        return nullptr;
    }
    const size_t queued = Field_FixupQueueSize();
    Field_RegisterPointer(saved, task);
    if (task->Load()) return task;
    Field_TruncateFixupQueue(queued);
    Field_UnregisterPointer(saved, task);
    if (auto* unit = dynamic_cast<UnitTask*>(task)) {
        unit->me = nullptr;
        unit->plan = nullptr;
    }
    delete task;
    return nullptr;
}
}  // namespace

bool AiTasks_Load() {
    int32_t count = 0;
    if (!Field_ReadLabel("[AiTasks]") || !Field_ReadInt("count", &count) || count < 0 || count > 100000) return false;
    for (int32_t i = 0; i < count; ++i)
        if (!LoadTask()) return false;
    return true;
}

bool AiTasks_PostLoad() {
    const std::vector<AiTask*> list = TaskList();
    for (AiTask* task : list)
        if (!task->PostLoad()) return false;
    return true;
}

UnitTask* AiTasks_FindUnitTask(const void* address) {
    if (!address) return nullptr;
    for (AiTask* task : TaskList())
        if (static_cast<const void*>(task) == address) return dynamic_cast<UnitTask*>(task);
    return nullptr;
}

void AiTasks_Clear() {
    while (!TaskList().empty()) {
        AiTask* task = TaskList().back();
        delete task;
    }
}
