#include "fun3d/hovercraft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "core/shake.h"
#include "fun3d/craftservices.h"
#include "fun3d/objectslot.h"
#include "fun3d/proginput.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr float kGravity = 9.8f;
constexpr double kNearCamera = 150.0;
constexpr float kDustStep = 0.04f;  // 25 puffs a second per dust point at full effort
constexpr float kDragFactor = 0.01f;

// Definition keys, in reading order.
constexpr uint32_t kOdfHoverHeight = 0x4F358485u;
constexpr uint32_t kOdfTractionRest = 0x6B8ECF11u;
constexpr uint32_t kOdfTractionTop = 0x8EC6E538u;
constexpr uint32_t kOdfAngularDamping = 0x473D5031u;
constexpr uint32_t kOdfLevelStiffness = 0x0B8ADD2Au;
constexpr uint32_t kOdfPitchFromPitch = 0xDD47602Du;
constexpr uint32_t kOdfPitchFromThrottle = 0xB09A0677u;
constexpr uint32_t kOdfRollFromStrafe = 0x4B7ECA45u;
constexpr uint32_t kOdfSpare = 0x169AFBA3u;
constexpr uint32_t kOdfTopForward = 0x9410FCFFu;
constexpr uint32_t kOdfTopReverse = 0x2A47387Cu;
constexpr uint32_t kOdfTopStrafe = 0x1462EC61u;
constexpr uint32_t kOdfLateralGrip = 0xE94C7C19u;
constexpr uint32_t kOdfBraking = 0x13DFDBF6u;
constexpr uint32_t kOdfTurnRest = 0x73ACCD30u;
constexpr uint32_t kOdfTurnSpeed = 0x4AD4B447u;
constexpr uint32_t kOdfYawGain = 0x19B84820u;
constexpr uint32_t kOdfLiftBoost = 0xD4247E4Fu;
constexpr uint32_t kOdfSpinThrottle[2] = {0xD79059B4u, 0x1D0E24AFu};
constexpr uint32_t kOdfSpinSteering[2] = {0xFDA2E861u, 0xD7DBCC30u};
constexpr uint32_t kOdfVaneThrottle[2] = {0x23237367u, 0x12FFDB56u};
constexpr uint32_t kOdfVaneSteering[2] = {0x7B5DC653u, 0x6F33E86Au};
constexpr uint32_t kOdfSounds[kHoverSoundCount] = {0x48B2E796u, 0x30E300B0u, 0xF15A9D35u, 0xEC9B4117u, 0xF17A53CCu};
const char* const kDefaultSounds[kHoverSoundCount] = {"engthrst.wav", "engrev.wav", "amb_wind.wav", "trdeploy.wav",
                                                      "trundepl.wav"};

// The player settings' flag that keeps the user's craft level with the world.
constexpr uint32_t kSettingsLevelFlight = 0x10;
constexpr uint32_t kEntityLevelsWithWorld = 0x20;
constexpr uint32_t kEntityHidden = 0x1;
constexpr uint32_t kEntityNoEffects = 0x400;

// The engine sound's settings, from the audio settings file: the recording's base frequency;
// the engine effort below which the thrust sound idles; the thrust volume's change at idle
// (from 100) and its rise up to full effort; the thrust frequency at full effort and at idle;
// the rates (per second) at which the sound level rises and falls and the wind follows.
enum HoverEngineSetting {
    kEngineBaseFrequency = 0,
    kEngineIdleEffort,
    kEngineIdleVolume,
    kEngineVolumeRise,
    kEngineFullFrequency,
    kEngineIdleFrequency,
    kEngineRiseRate,
    kEngineFallRate,
    kEngineWindRate,
};
constexpr float kRevVolume = 60.0f;

Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }
Vector ToVector(const DVector& d) {
    return Vector{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)};
}
float Approach(float value, float target, float step) {
    return value + std::clamp(target - value, -step, step);
}

void SetSpeedOf(EntityDynamics& d) {
    d.speed = Length(d.velocity);
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}

uint32_t SettingsFlags() {
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    if (!def) return 0;
    return def[88] | uint32_t(def[89]) << 8 | uint32_t(def[90]) << 16 | uint32_t(def[91]) << 24;
}

// The placement of a node in the world: its local placement through each ancestor's.
Matrix WorldMatrix(const Entity* node) {
    Matrix world = node->local;
    for (const Entity* parent = Entity_GetParent(node); parent; parent = Entity_GetParent(parent)) {
        Matrix next;
        Matrix_Multiply(next, world, parent->local);
        world = next;
    }
    return world;
}

// Turns a placement about one of its own axes, keeping its position.
void TurnAbout(Matrix& m, const Vector& axis, float angle) {
    if (angle == 0.0f) return;
    const Matrix turn = Matrix_FromAxisAngle(angle, axis.x, axis.y, axis.z);
    Matrix turned;
    Matrix_Multiply(turned, turn, m);
    turned.posit = m.posit;
    m = turned;
}

// The placement taken back in time by t: orientation turned back by the spin (the motion step
// turns by the transposed angle matrix, so the plain one undoes it), position moved back along
// the velocity.
Matrix PlacementBack(const Matrix& m, const EntityDynamics& d, float t) {
    Matrix back = m;
    const Vector spin = Scale(d.angularVelocity, t);
    if (spin.x != 0.0f || spin.y != 0.0f || spin.z != 0.0f) {
        Matrix turn = Matrix_FromEuler(spin.x, spin.y, spin.z, 0.0, 0.0, 0.0);
        Matrix turned;
        Matrix_Multiply(turned, turn, back);
        back = turned;
    }
    back.posit = DVector{m.posit.x - double(d.velocity.x) * t, m.posit.y - double(d.velocity.y) * t,
                         m.posit.z - double(d.velocity.z) * t};
    return back;
}

// One depth-first walk (children before the next sibling; the root itself is not a node) that
// fills every list up to its room.
void CollectNodes(HoverCraft& c) {
    std::vector<Entity*> stack;
    for (Entity* child = c.entity->child; child; child = child->next) stack.push_back(child);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        Entity* e = stack.back();
        stack.pop_back();
        switch (e->type) {
            case kEntityTypeThrottleSpinner:
                if (c.throttleSpinnerCount < kHoverThrottleSpinnerMax) c.throttleSpinners[c.throttleSpinnerCount++] = e;
                break;
            case kEntityTypeVane:
                if (c.vaneCount < kHoverVaneMax) c.vanes[c.vaneCount++] = e;
                break;
            case kEntityTypeSteeringSpinner:
                if (c.steeringSpinnerCount < kHoverSteeringSpinnerMax) c.steeringSpinners[c.steeringSpinnerCount++] = e;
                break;
            case kEntityTypeThrustPoint:
                if (c.thrustPointCount < kHoverThrustPointMax) c.thrustPoints[c.thrustPointCount++] = e;
                break;
            case kEntityTypeDustPoint:
                if (c.dustPointCount < kHoverDustPointMax) c.dustPoints[c.dustPointCount++] = e;
                break;
            default:
                break;
        }
        const size_t mark = stack.size();
        for (Entity* child = e->child; child; child = child->next) stack.push_back(child);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
    }
}

Entity* MakeNode(Entity* parent, const char* name, int32_t type, const Vector& position) {
    Entity* node = Entity_New(parent);
    if (!node) return nullptr;
    Entity_SetName(node, name);
    node->type = type;
    node->local = kIdentityMatrix;
    node->local.posit = DVector{position.x, position.y, position.z};
    return node;
}

bool g_groundGlow = false;
HoverDustTiming g_dustTiming;
std::vector<HoverDustPuff>& DustBuffer() {
    static auto* buffer = [] {
        auto* b = new std::vector<HoverDustPuff>();
        b->reserve(kHoverDustMax);
        return b;
    }();
    return *buffer;
}

}  // namespace

// ---- handling -------------------------------------------------------------------------------

HoverHandling HoverHandling_Scaled(const HoverHandling& base, float f) {
    HoverHandling h = base;
    for (float HoverHandling::*field :
         {&HoverHandling::angularDamping, &HoverHandling::levelStiffness, &HoverHandling::topForward,
          &HoverHandling::topReverse, &HoverHandling::topStrafe, &HoverHandling::lateralGrip, &HoverHandling::braking,
          &HoverHandling::turnRest, &HoverHandling::turnSpeed, &HoverHandling::yawGain, &HoverHandling::liftBoost})
        h.*field = base.*field * f;
    return h;
}

// ---- class ----------------------------------------------------------------------------------

HoverCraftClass::HoverCraftClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : CraftClass(kindLabel, kindSignature, kindCategory) {
    for (int i = 0; i < kHoverSoundCount; ++i) std::strncpy(sounds[i], kDefaultSounds[i], kCraftTextSize - 1);
}

HoverCraftClass::HoverCraftClass(HoverCraftClass* p, const char* name) : CraftClass(p, name) {
    OdfFile odf(fileName);
    const HoverHandling& d = p->handling;
    HoverHandling& h = handling;
    odf.GetFloat(kOdfHoverHeight, &h.hoverHeight, d.hoverHeight);
    odf.GetFloat(kOdfTractionRest, &h.tractionRest, d.tractionRest);
    odf.GetFloat(kOdfTractionTop, &h.tractionTop, d.tractionTop);
    odf.GetFloat(kOdfAngularDamping, &h.angularDamping, d.angularDamping);
    odf.GetFloat(kOdfLevelStiffness, &h.levelStiffness, d.levelStiffness);
    odf.GetFloat(kOdfPitchFromPitch, &h.pitchFromPitch, d.pitchFromPitch);
    odf.GetFloat(kOdfPitchFromThrottle, &h.pitchFromThrottle, d.pitchFromThrottle);
    odf.GetFloat(kOdfRollFromStrafe, &h.rollFromStrafe, d.rollFromStrafe);
    odf.GetFloat(kOdfSpare, &h.spare, d.spare);
    odf.GetFloat(kOdfTopForward, &h.topForward, d.topForward);
    odf.GetFloat(kOdfTopReverse, &h.topReverse, d.topReverse);
    odf.GetFloat(kOdfTopStrafe, &h.topStrafe, d.topStrafe);
    odf.GetFloat(kOdfLateralGrip, &h.lateralGrip, d.lateralGrip);
    odf.GetFloat(kOdfBraking, &h.braking, d.braking);
    odf.GetFloat(kOdfTurnRest, &h.turnRest, d.turnRest);
    odf.GetFloat(kOdfTurnSpeed, &h.turnSpeed, d.turnSpeed);
    odf.GetFloat(kOdfYawGain, &h.yawGain, d.yawGain);
    odf.GetFloat(kOdfLiftBoost, &h.liftBoost, d.liftBoost);
    for (int i = 0; i < 2; ++i) odf.GetFloat(kOdfSpinThrottle[i], &h.spinThrottle[i], d.spinThrottle[i]);
    for (int i = 0; i < 2; ++i) odf.GetFloat(kOdfSpinSteering[i], &h.spinSteering[i], d.spinSteering[i]);
    for (int i = 0; i < 2; ++i) odf.GetFloat(kOdfVaneThrottle[i], &h.vaneThrottle[i], d.vaneThrottle[i]);
    for (int i = 0; i < 2; ++i) odf.GetFloat(kOdfVaneSteering[i], &h.vaneSteering[i], d.vaneSteering[i]);
    for (int i = 0; i < kHoverSoundCount; ++i) odf.GetString(kOdfSounds[i], sounds[i], kCraftTextSize, p->sounds[i]);
}

GameObject* HoverCraftClass::BuildObject(Entity* e) { return GameObject_New<HoverCraft>(e, this); }
GameObjectClass* HoverCraftClass::Derive(const char* name) { return new HoverCraftClass(this, name); }

// ---- construction ---------------------------------------------------------------------------

HoverCraft::HoverCraft(Entity* e, GameObjectClass* cls) : Craft(e, cls) {
    if (auto* hover = dynamic_cast<HoverCraftClass*>(cls)) base = hover->handling;
    handling = base;
    CollectNodes(*this);
    if (thrustPointCount == 0) {
        // A flame under each vane, at its up row scaled by its size.
        for (int i = 0; i < vaneCount && thrustPointCount < kHoverThrustPointMax; ++i) {
            Entity* vane = vanes[i];
            const float scale = vane->boundsRadius > 0.0f ? vane->boundsRadius : 1.0f;
            if (Entity* node = MakeNode(vane, "thrust", kEntityTypeThrustPoint, Scale(vane->local.up, scale)))
                thrustPoints[thrustPointCount++] = node;
        }
    }
    if (dustPointCount == 0 && Seam_Weapons().effectsOn()) {
        if (Entity* node = MakeNode(entity, "dust", kEntityTypeDustPoint, Vector{0.0f, 0.0f, 0.0f}))
            dustPoints[dustPointCount++] = node;
    }
    placedHeight_ = entity->local.posit.y;
    if (!(entity->flags & kEntityLevelsWithWorld)) {
        Matrix& m = entity->local;
        m.posit.y = Collision_FloorHeightAt(m.posit.x, m.posit.y, m.posit.z) + base.hoverHeight;
        UpdateSphere();
    }
}

HoverCraft::~HoverCraft() { StopSoundLoops(); }

sObject* HoverCraft::MakeUser() {
    StopSoundLoops();
    return Craft::MakeUser();
}

void HoverCraft::ReleaseUser() {
    StopSoundLoops();
    Craft::ReleaseUser();
}

// ---- performance and the craft's own operations ---------------------------------------------

void HoverCraft::SetPerformance(float factor) { handling = HoverHandling_Scaled(base, factor); }

void HoverCraft::SetSpeed(float target) {
    const float forward = Vec3_Dot(euler.velocity, entity->local.front);
    controls.throttle = std::clamp(0.2f * (target - forward), -1.0f, 1.0f);
    controls.strafe = 0.0f;
    if (telemetry) telemetry->targetSpeed = target;
}

bool HoverCraft::StopReversing() {
    if (Vec3_Dot(euler.velocity, entity->local.front) >= -0.1f) return false;
    controls.throttle = 1.0f;
    controls.steering = 0.0f;
    return true;
}

float Craft_AimWeaponsByPitch(Craft& craft) {
    float aimPitch = 0.5f * craft.controls.pitch;
    const bool levels = (&craft == GameObject_GetUser() && (SettingsFlags() & kSettingsLevelFlight)) ||
                        ((craft.entity->flags & kEntityLevelsWithWorld) && (craft.physFlags & kCraftLevelsToWorld));
    if (levels) aimPitch -= craft.entity->local.front.y;
    if (!craft.hardpoints) return aimPitch;
    // Each mounted weapon turns about x by -aimPitch in its hardpoint's frame.
    for (Weapon* weapon : craft.hardpoints->weapons) {
        if (!weapon) continue;
        Matrix* local = Craft_Services().weaponLocalMatrix(weapon);
        if (!local) continue;
        const DVector at = local->posit;
        *local = Matrix_FromTwoAngles(-aimPitch, 0.0f);
        local->posit = at;
    }
    return aimPitch;
}

void HoverCraft::UpdateWeaponAim(float) { aimPitch = Craft_AimWeaponsByPitch(*this); }

void HoverCraft::ForgetParts() {
    for (Entity*& e : throttleSpinners) e = nullptr;
    for (Entity*& e : vanes) e = nullptr;
    for (Entity*& e : steeringSpinners) e = nullptr;
    for (Entity*& e : thrustPoints) e = nullptr;
    for (Entity*& e : dustPoints) e = nullptr;
    throttleSpinnerCount = vaneCount = steeringSpinnerCount = thrustPointCount = dustPointCount = 0;
    Craft::ForgetParts();
}

// ---- the hover model ------------------------------------------------------------------------

void HoverCraft::Settle(float dt) {
    const Matrix& m = entity->local;
    const DVector bottom = Matrix_TransformPoint(boxFaceCentres[4], m);
    const float h = static_cast<float>(bottom.y - Terrain_GetHeight(bottom.x, bottom.z)) - 0.2f;
    Vector n;
    Terrain_GetNormal(n, m.posit.x, m.posit.z);
    const Vector& v = euler.velocity;
    hoverFactor = h > 0.0f ? 0.9f / (h * h / 4.0f + 1.0f) + 0.1f : 1.0f;
    const float lift = kGravity - 3.0f * h * n.y - 2.0f * Vec3_Dot(n, v);
    if (lift > 0.0f) force = Add(force, Scale(n, lift));
    // Friction against the ground, mostly sideways.
    const Vector next = Add(v, Scale(force, dt));
    const Vector flat{next.x, 0.1f * next.y, next.z};
    const float b = h > 0.1f ? 2.0f : h > 0.0f ? 12.0f - 100.0f * h : 12.0f;
    const float k = std::min(1.0f / dt, Length(flat) * b);
    force = Vec3_Sub(force, Scale(flat, k));
    const float damping = handling.angularDamping * hoverFactor;
    torque.x = -damping * euler.angularVelocity.x;
    torque.z = -damping * euler.angularVelocity.z;
    torque.x -= handling.levelStiffness * hoverFactor * Vec3_Dot(m.front, n);
    torque.z += handling.levelStiffness * hoverFactor * Vec3_Dot(m.right, n);
    engineEffort = -0.5f;
    airborneFactor = 0.0f;
    if (telemetry) {
        telemetry->heightRatio = handling.hoverHeight > 0.0f ? h * n.y / handling.hoverHeight : 0.0f;
        telemetry->gripRatio = 1.0f;
        telemetry->brake = 0.0f;
        telemetry->groundNormal = n;
    }
}

void HoverCraft::Drive(float dt) {
    const Matrix& m = entity->local;
    const HoverHandling& k = handling;
    Vector v = euler.velocity;
    float steering = controls.steering, pitch = controls.pitch, strafe = controls.strafe;
    float throttle = controls.boost ? 2.0f : controls.throttle;
    const bool jump = controls.jump != 0;

    // Ground under the craft and half a second ahead.
    const double ax = m.posit.x + 0.5 * v.x, ay = m.posit.y + 0.5 * v.y, az = m.posit.z + 0.5 * v.z;
    float here = 0.0f, ahead = 0.0f;
    Vector nHere, nAhead;
    Terrain_GetHeightNormal(m.posit.x, m.posit.z, &here, &nHere);
    Terrain_GetHeightNormal(ax, az, &ahead, &nAhead);
    const float h = std::min(static_cast<float>(m.posit.y - here), static_cast<float>(ay - ahead));
    const Vector n = Vec3_Normalize(Add(nHere, nAhead));
    float r = 0.0f;
    if (h > 0.0f) r = k.hoverHeight > 0.0f ? h * n.y / k.hoverHeight : 2.0f;
    const float V = r > 1.0f ? 0.9f / ((r - 1.0f) * (r - 1.0f) / 4.0f + 1.0f) + 0.1f : 1.0f;
    hoverFactor = V;
    const float lift = kGravity - 19.6f * n.y * (r - 1.0f) - 4.9f * V * Vec3_Dot(n, v);
    if (lift > 0.0f) force = Add(force, Scale(n, lift));

    // Damping and levelling along the ground.
    torque.x = -k.angularDamping * euler.angularVelocity.x;
    torque.z = -k.angularDamping * euler.angularVelocity.z;
    const Vector u = Vec3_Normalize(Add(n, Vector{0.0f, 2.0f, 0.0f}));
    torque.x -= V * k.levelStiffness * Vec3_Dot(u, m.front);
    torque.z += V * k.levelStiffness * Vec3_Dot(u, m.right);
    const bool levels = (this == GameObject_GetUser() && (SettingsFlags() & kSettingsLevelFlight)) ||
                        ((entity->flags & kEntityLevelsWithWorld) && (physFlags & kCraftLevelsToWorld));
    if (levels) {
        const float world = (1.0f - V) * k.levelStiffness;
        torque.x -= world * m.front.y;
        torque.z += world * m.right.y;
    }

    // Drive toward the wanted velocity, within what the ground grips.
    const float X = std::min(1.0f, strafe * strafe + throttle * throttle);
    const float speed = euler.speed;
    const float forward = Vec3_Dot(v, m.front);
    const float yawRate = euler.angularVelocity.y;
    if (k.lateralGrip > 0.0f) {
        const float turn = std::clamp(-(yawRate * X * forward) / k.lateralGrip, -1.0f, 1.0f);
        strafe += (1.0f - std::fabs(strafe)) * turn;
    }
    const float top = throttle > 0.0f ? k.topForward : k.topReverse;
    const Vector wanted = Add(Scale(m.front, throttle * top - forward),
                              Scale(m.right, strafe * k.topStrafe - Vec3_Dot(v, m.right)));
    Vector Z = Scale(wanted, 1.0f / dt);
    const float into = Vec3_Dot(Z, n);
    if (into < 0.0f) Z = Vec3_Sub(Z, Scale(n, into));
    const float a = k.topForward > 0.0f ? std::clamp(speed / k.topForward, 0.0f, 1.0f) : 0.0f;
    const float L = ((k.tractionRest + a * (k.tractionTop - k.tractionRest)) * (1.0f - X) + X * n.y * k.lateralGrip) * V;
    float brake = 0.0f;
    float grip = 1.0f;
    const float zz = Vec3_Dot(Z, Z);
    if (zz <= L * L) {
        force = Add(force, Z);
    } else {
        const float zLength = std::sqrt(zz);
        if (zLength > 0.0f) force = Add(force, Scale(Z, L / zLength));
        grip = zLength > 0.0f ? std::max(0.0f, L) / zLength : 1.0f;
        const float wantedLength = Length(wanted);
        const float along = Vec3_Dot(wanted, v);
        if (X > 0.01f && speed * wantedLength > 1.0f && along < 0.0f)
            brake = std::max(0.0f, -speed * wantedLength * along * X);
    }
    if (brake > 0.0f) {
        const Vector next = Add(v, Scale(force, dt));
        const float loss = std::min(1.0f / dt, Length(next) * k.braking * V * brake);
        force = Vec3_Sub(force, Scale(next, loss));
    }
    if (jump) force = Add(force, Scale(m.up, k.liftBoost * V));

    // Pitch and roll from the controls; yaw toward the steered turn rate.
    const float pitchThrottle = throttle > 1.0f ? 1.0f + (throttle - 1.0f) / 2.0f : throttle;
    torque.x += k.pitchFromPitch * k.levelStiffness * pitch - k.pitchFromThrottle * V * k.levelStiffness * pitchThrottle;
    torque.z += k.rollFromStrafe * V * k.levelStiffness * strafe;
    const float turnRate = k.turnRest + (k.turnSpeed - k.turnRest) * X;
    // A turn rate of 0 (or a performance factor of 0) would divide by zero: the rate term goes.
    const float rateTerm = turnRate > 0.0f ? yawRate / turnRate : 0.0f;
    torque.y = std::clamp(steering - rateTerm, -1.0f, 1.0f) * k.yawGain;

    if (jump)
        engineEffort = 3.0f;
    else if (controls.boost)
        engineEffort = 2.0f;
    else
        engineEffort = steering * steering / 2.0f + std::min(1.0f, strafe * strafe + throttle * throttle);
    airborneFactor = std::clamp(1.0f - V, 0.0f, 1.0f);
    force = Add(force, Scale(v, -kDragFactor * speed));
    if (telemetry) {
        telemetry->heightRatio = r;
        telemetry->gripRatio = grip;
        telemetry->brake = brake;
        telemetry->groundNormal = n;
    }
}

void HoverCraft::Update(float dt) {
    force = Vector{0.0f, -kGravity, 0.0f};
    torque = Vector{0.0f, 0.0f, 0.0f};
    const bool dead = (entity->flags & kEntityDead) != 0;
    if (dt > 0.0f) {
        if (dead) {
            // Gravity alone.
        } else if (!aiProcess) {
            controls.steering = controls.pitch = controls.strafe = controls.throttle = 0.0f;
            controls.boost = controls.jump = 0;
            Settle(dt);
        } else {
            Drive(dt);
        }
        // Two half steps around the motion step.
        euler.velocity = Add(euler.velocity, Scale(force, dt / 2.0f));
        euler.angularVelocity = Add(euler.angularVelocity, Scale(torque, dt / 2.0f));
        if (!Integrate(dt)) {
            euler.velocity = Add(euler.velocity, Scale(force, dt / 2.0f));
            euler.angularVelocity = Add(euler.angularVelocity, Scale(torque, dt / 2.0f));
            SetSpeedOf(euler);
        }
    }
    if (telemetry) {
        VehicleTelemetry& t = *telemetry;
        t.steering = controls.steering;
        t.throttle = controls.throttle;
        t.strafe = controls.strafe;
        t.pitch = controls.pitch;
        const DVector& at = entity->local.posit;
        t.position = Vector{static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z)};
        t.velocity = euler.velocity;
        t.force = force;
        t.angularVelocity = euler.angularVelocity;
        t.torque = torque;
        t.hoverFactor = hoverFactor;
        t.frameTime = dt;
    }
    if (hardpoints) UpdateWeaponAim(dt);
    if (pilotNode) UpdateCockpitSway(dt);
    if (!dead && !(physFlags & kCraftDying) && NearCamera(kNearCamera)) {
        AnimateParts(dt);
        UpdateSoundLoops(dt);
    } else {
        StopSoundLoops();
    }
    Craft::Update(dt);
}

// ---- parts, sounds and the cockpit ----------------------------------------------------------

bool HoverCraft::NearCamera(double limit) const {
    Vector camera;
    if (!HoverCraft_CameraPosition(&camera)) return false;
    const double dx = double(pos.x) - camera.x, dy = double(pos.y) - camera.y, dz = double(pos.z) - camera.z;
    return dx * dx + dy * dy + dz * dz < limit * limit;
}

void HoverCraft::AnimateParts(float dt) {
    const int j = controls.jump ? 1 : 0;
    const float throttle = controls.boost ? 1.5f : controls.throttle;
    const float steering = controls.steering;
    const HoverHandling& k = handling;
    // The nodes carry no rate of their own: the controls alone turn them.
    for (int i = 0; i < throttleSpinnerCount; ++i)
        TurnAbout(throttleSpinners[i]->local, Vector{0, 1, 0}, -(k.spinThrottle[j] * throttle) * dt * 3.0f);
    for (int i = 0; i < steeringSpinnerCount; ++i)
        TurnAbout(steeringSpinners[i]->local, Vector{0, 1, 0}, -(k.spinSteering[j] * steering) * dt * 3.0f);
    for (int i = 0; i < vaneCount; ++i) {
        const bool left = vanes[i]->local.posit.x < 0.0;
        const float steer = k.vaneSteering[j] * steering;
        const float rate = k.vaneThrottle[j] * throttle + (left ? -steer : steer);
        TurnAbout(vanes[i]->local, Vector{1, 0, 0}, rate * dt * 3.0f);
    }
}

void HoverCraft::UpdateSoundLoops(float dt) {
    auto* cls = dynamic_cast<HoverCraftClass*>(objClass);
    if (!cls) return;
    AudioSeam& audio = Seam_Audio();
    const float* k = audio.hoverEngineSettings();
    const float rate = engineEffort > soundLevel ? k[kEngineRiseRate] : k[kEngineFallRate];
    soundLevel = Approach(soundLevel, engineEffort, std::max(0.0f, rate) * dt);
    const float idle = std::clamp(k[kEngineIdleEffort], 0.0f, 0.99f);
    const float level = std::clamp((soundLevel - idle) / (1.0f - idle), 0.0f, 1.0f);
    const float thrustVolume = std::clamp(100.0f + k[kEngineIdleVolume] + k[kEngineVolumeRise] * level, 0.0f, 100.0f);
    const float base = k[kEngineBaseFrequency] > 0.0f ? k[kEngineBaseFrequency] : 11025.0f;
    const float thrustPitch =
        (k[kEngineIdleFrequency] + (k[kEngineFullFrequency] - k[kEngineIdleFrequency]) * level) / base;
    if (!soundLoops[0]) soundLoops[0] = audio.soundLoopStart(cls->sounds[kHoverSoundThrust], entity, thrustVolume);
    if (soundLoops[0]) audio.soundLoopSet(soundLoops[0], thrustVolume, thrustPitch);
    if (this == GameObject_GetUser() && soundLevel >= 1.0f) {
        if (!soundLoops[1]) soundLoops[1] = audio.soundLoopStart(cls->sounds[kHoverSoundRev], entity, kRevVolume);
    } else if (soundLoops[1]) {
        audio.soundLoopStop(soundLoops[1]);
        soundLoops[1] = nullptr;
    }
    windLevel = Approach(windLevel, airborneFactor, std::max(0.0f, k[kEngineWindRate]) * dt);
    if (windLevel > 0.05f) {
        if (!soundLoops[2]) soundLoops[2] = audio.soundLoopStart(cls->sounds[kHoverSoundWind], entity, 10.0f * windLevel);
        if (soundLoops[2]) audio.soundLoopSet(soundLoops[2], 10.0f * windLevel, 1.0f);
    } else if (soundLoops[2]) {
        audio.soundLoopStop(soundLoops[2]);
        soundLoops[2] = nullptr;
    }
}

void HoverCraft::StopSoundLoops() {
    for (void*& loop : soundLoops) {
        if (loop) Seam_Audio().soundLoopStop(loop);
        loop = nullptr;
    }
}

void HoverCraft::UpdateCockpitSway(float dt) {
    // The pilot node is the craft's own entity when the model has no cockpit part: never sway
    // (or reset) the whole craft.
    if (!pilotNode || pilotNode == entity) return;
    const bool inside = this == GameObject_GetUser() && Seam_Cockpit().cameraInsideViewSwitch();
    if (!inside || !(dt > 0.0f)) {
        swayAngle[0] = swayAngle[1] = swayRate[0] = swayRate[1] = 0.0f;
        const DVector posit = pilotNode->local.posit;
        pilotNode->local = kIdentityMatrix;
        pilotNode->local.posit = posit;
        return;
    }
    const float targets[2] = {-0.2f * controls.steering, -0.1f * controls.pitch};
    for (int i = 0; i < 2; ++i) {
        auto accel = [&] { return 25.0f * (targets[i] - swayAngle[i]) - 10.0f * swayRate[i]; };
        swayRate[i] += accel() * dt / 2.0f;
        swayAngle[i] += swayRate[i] * dt;
        swayRate[i] += accel() * dt / 2.0f;
    }
    const DVector posit = pilotNode->local.posit;
    Matrix sway = Matrix_FromEuler(swayAngle[1], 0.0f, swayAngle[0], 0.0, 0.0, 0.0);
    sway.posit = posit;
    pilotNode->local = sway;
}

// ---- post-update: flames and dust -----------------------------------------------------------

void HoverCraft::PostUpdate(float dt) {
    if (NearCamera(kNearCamera) && !(entity->flags & kEntityNoEffects) && engineEffort > 0.1f) {
        EmitFlames();
        EmitDust(dt);
    }
    Craft::PostUpdate(dt);
}

void HoverCraft::EmitFlames() {
    WeaponsSeam& weapons = Seam_Weapons();
    const float clock = Clock_GetElapsed();
    for (int i = 0; i < thrustPointCount; ++i) {
        Entity* node = thrustPoints[i];
        Matrix flame = WorldMatrix(node);
        TurnAbout(flame, Vector{0, 0, 1}, clock * (node->local.posit.x >= 0.0 ? -5.0f : 5.0f));
        const Entity* parent = Entity_GetParent(node);
        float strength;
        if (parent && parent->type == kEntityTypeVane) {
            strength = engineEffort * 0.2f;
            if (!(strength > 0.01f)) continue;
        } else if (controls.boost) {
            strength = 0.2f;
        } else {
            continue;
        }
        const float r = RandomTable_Next();
        weapons.engineFlameAdd(0, flame, (0.1f * r + 1.0f) * strength);
        if (!g_groundGlow) continue;
        const Vector ray = Scale(flame.front, 25.0f * strength);
        float t = 1.0f;
        Vector normal{};
        if (!Terrain_RayCast(flame.posit.x, flame.posit.y, flame.posit.z, ray.x, ray.y, ray.z, &t, &normal)) continue;
        Matrix glow = Matrix_FromFrontUp(normal, flame.front);
        glow.posit = DVector{flame.posit.x + double(ray.x) * t, flame.posit.y + double(ray.y) * t,
                             flame.posit.z + double(ray.z) * t};
        weapons.engineFlameAdd(1, glow, t);
    }
}

void HoverCraft::EmitDust(float dt) {
    if (dustPointCount == 0 || !(airborneFactor < 0.8f)) return;
    const float a = 1.25f * airborneFactor;
    const float e = (1.0f - a) * engineEffort;
    const Vector& cv = euler.velocity;
    dustTimer += e * dt;
    while (dustTimer > 0.0f) {
        const Matrix back = PlacementBack(entity->local, euler, dustTimer);
        for (int i = 0; i < dustPointCount; ++i) {
            // The node's place in the craft's frame, carried by the earlier placement.
            Matrix inCraft = dustPoints[i]->local;
            for (const Entity* p = Entity_GetParent(dustPoints[i]); p && p != entity; p = Entity_GetParent(p)) {
                Matrix next;
                Matrix_Multiply(next, inCraft, p->local);
                inCraft = next;
            }
            DVector world = Matrix_TransformPoint(ToVector(inCraft.posit), back);
            const float r1 = RandomTable_Next(), r2 = RandomTable_Next();
            world.x += (2.0f + 3.0f * a) * r1;
            world.z += (2.0f + 3.0f * a) * r2;
            float ground = 0.0f;
            Vector n{0.0f, 1.0f, 0.0f};
            Terrain_GetHeightNormal(world.x, world.z, &ground, &n);
            world.y = ground;
            Vector velocity{2.0f * e * e * r1 + 0.25f * cv.x, 0.0f, 2.0f * e * e * r2 + 0.25f * cv.z};
            velocity = Vec3_Sub(velocity, Scale(n, Vec3_Dot(velocity, n)));
            HoverDust_Add(ToVector(world), velocity, dustTimer);
        }
        dustTimer -= kDustStep;
    }
}

// ---- commands ---------------------------------------------------------------------------------

namespace {
// PENDING(3.133) whether a producer can afford a build: until the producers exist, any live
// object in the slot can.
bool CanAffordBuild(const GameObject* producer) { return producer && !(producer->entity->flags & kEntityDead); }
}  // namespace

void HoverCraft::BuildCommandList() { Craft_BuildUnitCommands(*this); }

void Craft_BuildUnitCommands(Craft& craft) {
    TeamRecord* t = craft.teamRecord;
    auto slot = [t](int32_t s) -> GameObject* { return t ? t->GetSlot(s) : nullptr; };
    auto holds = [t](int32_t first, int32_t last) { return t && t->FindUsedSlot(first, last) >= 0; };
    CommandList& commands = craft.commands;
    commands.Set(0, 1, true);
    commands.Set(1, 2, true);
    commands.Set(2, 10, true);
    commands.Set(3, 14, craft.hardpoints != nullptr);
    GameObject* base0 = slot(0);
    commands.Set(4, 7, craft.pilotClass && base0 && base0->objClass->category == kCategoryPerson);
    GameObject* builder = slot(3);
    commands.Set(5, 5, (craft.curHealth < craft.maxHealth && CanAffordBuild(builder)) || holds(60, 64));
    commands.Set(6, 6, (craft.curAmmo < craft.maxAmmo && CanAffordBuild(builder)) || holds(65, 69));
    for (int i = 7; i <= 9; ++i) commands.Set(i, 0, false);
    auto* carrierCraft = dynamic_cast<Craft*>(slot(1));
    commands.Set(10, 8, (carrierCraft && carrierCraft->IsDeployed()) || holds(70, 74));
}

// ---- network state ----------------------------------------------------------------------------

namespace {
uint8_t ControlByte(float v) {
    const float scaled = std::clamp(v, -1.0f, 1.0f) * 127.0f;
    return static_cast<uint8_t>(static_cast<int8_t>(std::isnan(scaled) ? 0 : std::lround(scaled)));
}
float ControlValue(uint8_t b) { return static_cast<float>(static_cast<int8_t>(b)) / 127.0f; }
constexpr uint8_t kNetJump = 0x1, kNetBoost = 0x2, kNetEject = 0x4, kNetHidden = 0x8, kNetNoEffects = 0x10,
                  kNetLevels = 0x40;
}  // namespace

void HoverCraft::PackNetState(uint8_t* buffer, int32_t& length) {
    NetSeam& net = Seam_Net();
    net.packVector(ToVector(entity->local.posit), buffer + length);
    net.packVector(euler.velocity, buffer + length + 6);
    uint8_t* p = buffer + length + 12;
    const float values[4] = {controls.steering, controls.pitch, controls.strafe, controls.throttle};
    for (int i = 0; i < 4; ++i) p[i] = ControlByte(values[i]);
    uint8_t flags = 0;
    if (controls.jump) flags |= kNetJump;
    if (controls.boost) flags |= kNetBoost;
    if (controls.eject) flags |= kNetEject;
    if (entity->flags & kEntityHidden) flags |= kNetHidden;
    if (entity->flags & kEntityNoEffects) flags |= kNetNoEffects;
    if (this == GameObject_GetUser() && (SettingsFlags() & kSettingsLevelFlight)) flags |= kNetLevels;
    p[4] = flags;
    p[5] = 0;  // the layout's pad byte
    length += kHoverNetStateSize;
    for (int i = 0; i < 4; ++i) sentControls[i] = values[i];
    sentFlags = flags & (kNetJump | kNetBoost | kNetEject);
    sentSpeed = euler.speed;
    Craft::PackNetState(buffer, length);
}

void HoverCraft::UnpackNetState(const uint8_t* data, int32_t length) {
    // A record too short for this part and the craft's three bytes changes nothing.
    if (!data || length < kHoverNetStateSize + 3) return;
    NetSeam& net = Seam_Net();
    const Vector position = net.unpackVector(data);
    entity->local.posit = DVector{position.x, position.y, position.z};
    euler.velocity = net.unpackVector(data + 6);
    SetSpeedOf(euler);
    const uint8_t* p = data + 12;
    controls.steering = ControlValue(p[0]);
    controls.pitch = ControlValue(p[1]);
    controls.strafe = ControlValue(p[2]);
    controls.throttle = ControlValue(p[3]);
    const uint8_t flags = p[4];
    controls.jump = (flags & kNetJump) ? 1 : 0;
    controls.boost = (flags & kNetBoost) ? 1 : 0;
    controls.eject = (flags & kNetEject) ? 1 : 0;
    if (flags & kNetHidden) {
        entity->flags |= kEntityHidden;
    } else if (flags & kNetNoEffects) {
        for (Entity* part = entity->child; part; part = part->next) Entity_SetFlagTree(part, kEntityHidden);
        entity->flags &= ~kEntityHidden;
        entity->flags |= kEntityNoEffects;
    } else {
        Entity_ClearFlagTree(entity, kEntityHidden);
        entity->flags &= ~kEntityNoEffects;
    }
    if (flags & kNetLevels)
        physFlags |= kCraftLevelsToWorld;
    else
        physFlags &= ~kCraftLevelsToWorld;
    body->dynamics = euler;
    Craft::UnpackNetState(data + kHoverNetStateSize, length - kHoverNetStateSize);
}

float HoverCraft::GetNetPriority(float time, float distance) {
    float p = time - lastSendTime;
    if (healthRatio < 0.0f) p += 10.0f;
    p += 0.02f * (250.0f - distance);
    if (distance < 250.0f && euler.speed != sentSpeed)
        p += 1.0f;
    else if (!aiProcess && euler.speed < 0.0001f)
        p = std::max(0.0f, p - 5.0f);
    if (hardpoints) {
        for (Weapon* weapon : hardpoints->weapons)
            if (weapon && Seam_Weapons().weaponChanged(weapon)) {
                p += 1.0f;
                break;
            }
    }
    if (this == GameObject_GetUser()) p += 0.2f;
    const float values[4] = {controls.steering, controls.pitch, controls.strafe, controls.throttle};
    for (int i = 0; i < 4; ++i)
        if (std::fabs(values[i] - sentControls[i]) > 0.1f) p += 0.1f;
    const uint8_t flags = (controls.jump ? kNetJump : 0) | (controls.boost ? kNetBoost : 0) | (controls.eject ? kNetEject : 0);
    for (uint8_t bit : {kNetJump, kNetBoost, kNetEject})
        if ((flags ^ sentFlags) & bit) p += 0.1f;
    return p;
}

// ---- saving -----------------------------------------------------------------------------------

bool HoverCraft::Load() {
    // A loaded craft stays where it was saved, in the air or not.
    entity->local.posit.y = placedHeight_;
    const int32_t version = Field_Version();
    if (version >= 1002 && version <= 1025) {
        // Handling values older files kept per object: read and dropped.
        for (int i = 0; i < 15; ++i) {
            float dropped = 0.0f;
            if (!Field_ReadFloat("", &dropped, sizeof dropped)) return false;
        }
        for (int i = 0; i < 6; ++i) {
            Vector dropped{};
            if (!Field_ReadVector("", &dropped, sizeof dropped)) return false;
        }
    }
    return Craft::Load();
}

// ---- hover dust -------------------------------------------------------------------------------

HoverDustTiming& HoverDust_Timing() { return g_dustTiming; }

void HoverDust_Add(const Vector& position, const Vector& velocity, float age) {
    std::vector<HoverDustPuff>& buffer = DustBuffer();
    if (static_cast<int>(buffer.size()) >= kHoverDustMax) return;
    const HoverDustTiming& t = g_dustTiming;
    const float start = age * t.rate + t.baseTime;
    if (!(start < t.baseTime + t.lifetime)) return;
    buffer.push_back(HoverDustPuff{position, velocity, start, t.constant});
}

int HoverDust_Count() { return static_cast<int>(DustBuffer().size()); }
const HoverDustPuff* HoverDust_Puffs() { return DustBuffer().data(); }
HoverDustPuff* HoverDust_MutablePuffs() { return DustBuffer().data(); }
void HoverDust_Clear() { DustBuffer().clear(); }

void HoverDust_RemoveAt(int i) {
    std::vector<HoverDustPuff>& buffer = DustBuffer();
    if (i < 0 || i >= static_cast<int>(buffer.size())) return;
    buffer[static_cast<size_t>(i)] = buffer.back();
    buffer.pop_back();
}

void HoverCraft_SetGroundGlow(bool on) { g_groundGlow = on; }
bool HoverCraft_GroundGlow() { return g_groundGlow; }

bool HoverCraft_CameraPosition(Vector* out) {
    if (Seam_Cockpit().cameraPosition && Seam_Cockpit().cameraPosition(out)) return true;
    // Before the camera has a view (and in tests without one) it rides with the user's craft.
    GameObject* user = GameObject_GetUser();
    if (!user || !user->entity) return false;
    *out = ToVector(user->entity->local.posit);
    return true;
}
