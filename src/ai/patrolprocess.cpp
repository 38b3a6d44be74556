#include "ai/patrolprocess.h"

#include <algorithm>
#include <cmath>

#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/seams/planner.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/powerup.h"
#include "platform/random.h"

namespace {

constexpr PatrolStep kSteps[8] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};
// The moves from one tried direction to the next: d, d+1, d-1, d+2, d-2, d+3, d-3, d+4.
constexpr int kTurns[7] = {1, -2, 3, -4, 5, -6, 7};

constexpr float kTorpedoTopSpeed = 100.0f;
constexpr float kTorpedoEdgeMargin = 20.0f;
constexpr float kTorpedoSearchRange = 100.0f;
// Bit value 1 of a class's flag byte: the searches pass it by.
constexpr int kClassIgnored = 0x1;
// How far along its velocity a guided power-up looks for the ground.
constexpr float kPowerUpLookAhead = 10.0f;

void ZeroControls(PowerUpVehicle* vehicle) {
    if (!vehicle) return;
    for (float& c : vehicle->controls) c = 0.0f;
}

}  // namespace

PatrolStep Patrol_Step(int32_t direction) { return kSteps[((direction % 8) + 8) % 8]; }

// ---- PatrolTask ------------------------------------------------------------------------------

PatrolTask::PatrolTask(GameObject* unit, AiPath* route, int32_t type) : GotoTask(unit, route, true) {
    patrolType = type;
    myCraft = unit;
    patrolDir = Random_Next() % 8;
}

const FactoryReg* PatrolTask::GetFactory() const { return UnitTask_FactoryEntry("PatrolTask"); }

bool PatrolTask::NextLeg() {
    // 1. The finished leg's route goes.
    ReleaseRoute();
    GameObject* unit = myCraft ? myCraft : me;
    if (!unit) return false;
    const Vector from = AI_PositionOf(unit);
    // 2. The directions in the order tried.
    Vector point{};
    bool found = false;
    int32_t dir = patrolDir;
    for (int tried = 0; tried < 8; ++tried) {
        if (tried > 0) dir = (((dir + kTurns[tried - 1]) % 8) + 8) % 8;
        const PatrolStep step = Patrol_Step(dir);
        if (Seam_Planner().sendPoint(from, step.x, step.z, unit->team, patrolType, &point)) {
            found = true;
            break;
        }
    }
    patrolDir = dir;
    // 3.
    if (!found) return false;
    NewRouteTo(Vector{point.x, 0.0f, point.z});
    destPoint = Vector{point.x, 0.0f, point.z};
    FreePlan();
    curState = kTaskStart;
    nextState = kTaskStart;
    return true;
}

bool PatrolTask::Save(FILE* stream) {
    return Field_WriteInt(stream, patrolType, "patrol_type") && Field_WritePointer(stream, myCraft, "my_craft") &&
           Field_WriteInt(stream, patrolDir, "patrol_dir") && GotoTask::Save(stream);
}

bool PatrolTask::Load() {
    if (!Field_ReadInt("patrol_type", &patrolType) || !Field_ReadPointerFixup("my_craft", &myCraft, "my_craft") ||
        !Field_ReadInt("patrol_dir", &patrolDir))
        return false;
    // A file may hold any direction.
    patrolDir = ((patrolDir % 8) + 8) % 8;
    return GotoTask::Load();
}

bool PatrolTask::PostLoad() {
    if (!UnitAi_IsListedObject(myCraft)) myCraft = nullptr;
    return GotoTask::PostLoad();
}

// ---- PowerUpProcess --------------------------------------------------------------------------

PowerUpSteer PowerUp_SteerToward(float x, float z, float yawRate) {
    PowerUpSteer s{};
    s.strafe = std::clamp(0.2f * x, -1.0f, 1.0f);
    s.throttle = std::clamp(0.2f * z, -1.0f, 1.0f);
    s.steer = std::clamp(5.0f * x / std::sqrt(x * x + z * z + 0.0001f) - yawRate, -1.0f, 1.0f);
    return s;
}

const FactoryReg* PowerUpProcess::GetFactory() const { return Factory_Find("PowerUpProcess"); }

void PowerUpProcess::Attach(AiMission* mission, GameObject* owner) {
    AiProcess::Attach(mission, owner);
    if (fOwner) fOwner->AcceptCommand();
}

void PowerUpProcess::Execute() {
    GameObject* owner = fOwner;
    auto* powerUp = dynamic_cast<PowerUp*>(owner);
    if (!owner || owner->curCmd.what == 0 || !powerUp || !powerUp->vehicle) {
        Exit();
        return;
    }
    PowerUpVehicle* vehicle = powerUp->vehicle;
    if (!(vehicle->flags & kPowerUpGuided)) {
        if (vehicle->flags & kPowerUpInFlight) return;  // still rising or falling: wait
        ZeroControls(vehicle);
        Exit();
        return;
    }
    // Guided: toward the second point of the command's route. A route without one leads
    // nowhere, like no command.
    const AiPath* route = owner->curCmd.where;
    if (!route || route->points.size() < 2) {
        ZeroControls(vehicle);
        Exit();
        return;
    }
    const Matrix& m = owner->entity->local;
    const Vector at{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
    Vector aim{route->points[1].x, at.y, route->points[1].z};
    const Vector& v = owner->euler.velocity;
    const float speed = std::sqrt(Vec3_Dot(v, v));
    if (speed > 0.0f) {
        const float k = kPowerUpLookAhead / speed;
        float t = 1.0f;
        Vector normal{};
        if (Terrain_RayCast(m.posit.x, m.posit.y, m.posit.z, v.x * k, v.y * k, v.z * k, &t, &normal)) {
            // The ground ahead pushes the aim back by where it was met.
            const Vector hit{v.x * k * t, v.y * k * t, v.z * k * t};
            aim = Vec3_Sub(aim, hit);
        }
    }
    const Vector local = Vec3_Unrotate(Vec3_Sub(aim, at), m);
    const PowerUpSteer s = PowerUp_SteerToward(local.x, local.z, owner->euler.angularVelocity.y);
    vehicle->controls[0] = s.steer;
    vehicle->controls[2] = s.strafe;
    vehicle->controls[3] = s.throttle;
}

// ---- TorpedoProcess --------------------------------------------------------------------------

float Torpedo_SteerToward(const Vector& offset, const Vector& right, float yawRate) {
    const float ground = std::sqrt(offset.x * offset.x + offset.z * offset.z + 0.0001f);
    return std::clamp(-5.0f * Vec3_Dot(offset, right) / ground - yawRate, -1.0f, 1.0f);
}

const FactoryReg* TorpedoProcess::GetFactory() const { return Factory_Find("TorpedoProcess"); }

void TorpedoProcess::Attach(AiMission* mission, GameObject* owner) {
    AiProcess::Attach(mission, owner);
    if (fOwner) fOwner->AcceptCommand();
}

void TorpedoProcess::Execute() {
    GameObject* torpedo = fOwner;
    auto* powerUp = dynamic_cast<PowerUp*>(torpedo);
    if (!torpedo || !torpedo->entity || !powerUp || !powerUp->vehicle) {
        Exit();
        return;
    }
    PowerUpVehicle* vehicle = powerUp->vehicle;
    if (torpedo->entity->flags & kEntityDead) {
        vehicle->controls[0] = 0.0f;
        return;
    }
    const Matrix& m = torpedo->entity->local;
    const Vector at{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
    // 1. Too fast, or at the edge of the play area: it is removed, and dies with its bursts.
    const MapBounds& bounds = Mission_GetPlayBounds();
    const bool atEdge = at.x < bounds.xMin + kTorpedoEdgeMargin || at.x > bounds.xMax - kTorpedoEdgeMargin ||
                        at.z < bounds.zMin + kTorpedoEdgeMargin || at.z > bounds.zMax - kTorpedoEdgeMargin;
    if (torpedo->euler.speed > kTorpedoTopSpeed || atEdge) {
        torpedo->entity->flags |= kEntityDead;
        vehicle->controls[0] = 0.0f;
        return;
    }
    // 2. A live target is steered at.
    if (GameObject* aimed = GameObject::FromHandle(torpedo->target)) {
        const Vector offset = Vec3_Sub(AI_PositionOf(aimed), at);
        vehicle->controls[0] = Torpedo_SteerToward(offset, m.right, torpedo->euler.angularVelocity.y);
        return;
    }
    // 3. Otherwise straight on, and the nearest enemy within reach becomes the target.
    vehicle->controls[0] = 0.0f;
    GameObject* best = nullptr;
    float bestSq = kTorpedoSearchRange * kTorpedoSearchRange;
    for (GameObject* other : GameObject_List()) {
        if (!other || other == torpedo || !other->entity || (other->entity->flags & kEntityDead)) continue;
        if (other->team == 0) continue;
        if (other->objClass && (other->objClass->classFlags & kClassIgnored)) continue;
        if (torpedo->IsAllyTeam(other->team) || torpedo->IsAllyTeam(other->perceivedTeam)) continue;
        const Vector d = Vec3_Sub(AI_PositionOf(other), at);
        const float distSq = Vec3_Dot(d, d);
        if (distSq < bestSq) {
            bestSq = distSq;
            best = other;
        }
    }
    if (best) torpedo->SetTarget(best);
}

// ---- installation ----------------------------------------------------------------------------

void Ai_InstallPatrolAndGuided() {
    Registration_SetCreate("PatrolTask", []() -> sObject* { return new PatrolTask; });
    Registration_SetCreate("PowerUpProcess", []() -> sObject* { return new PowerUpProcess; });
    Registration_SetCreate("TorpedoProcess", []() -> sObject* { return new TorpedoProcess; });
}
