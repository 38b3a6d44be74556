#include "weapons/torpedo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "collision/colshape.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/shake.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"
#include "weapons/explosion.h"

namespace {

constexpr float kGravity = 9.8f;
// Entity flags: a target hidden by a radar damper is dropped; dead or destruction requested is
// dying.
constexpr uint32_t kRadarHidden = 0x1;
constexpr uint32_t kDying = kEntityDead | kEntityDestroyRequested;
// How far ahead (in seconds of the current velocity) the ground is looked at.
constexpr float kLookAhead = 0.5f;
// The death bursts scatter over this share of the radius.
constexpr float kBurstScatter = 0.7f;
// Part of a contact's turning that reaches the spin.
constexpr float kContactSpin = 0.2f;
constexpr uint32_t kLoopSoundFlags = 2049;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scaled(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector PositionOf(const Matrix& m) {
    return Vector{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
}

void SetSpeedOf(EntityDynamics& d) {
    d.speed = std::sqrt(Vec3_Dot(d.velocity, d.velocity));
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}

void StopEngine(Torpedo& t) {
    if (!t.engineLoop) return;
    Seam_Audio().soundStopAttached(t.entity);
    t.engineLoop = nullptr;
}

float LittleEndianFloat(const uint8_t* in) {
    const uint32_t bits = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                          static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

// ---- the class ------------------------------------------------------------------------------

TorpedoClass::TorpedoClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : PowerUpClass(kindLabel, kindSignature, kindCategory) {}

TorpedoClass::TorpedoClass(TorpedoClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfTorpedoHoverHeight, &hoverHeight, p->hoverHeight);
    odf.GetFloat(kOdfTorpedoLevelGain, &levelGain, p->levelGain);
    odf.GetFloat(kOdfTorpedoSpinDamping, &spinDamping, p->spinDamping);
    odf.GetFloat(kOdfTorpedoCruiseSpeed, &cruiseSpeed, p->cruiseSpeed);
    odf.GetFloat(kOdfTorpedoMaxAccel, &maxAccel, p->maxAccel);
    odf.GetFloat(kOdfTorpedoTurnRate, &turnRate, p->turnRate);
    odf.GetFloat(kOdfTorpedoTurnTorque, &turnTorque, p->turnTorque);
    odf.GetFloat(kOdfTorpedoLifetime, &lifetime, p->lifetime);
    char blast[kClassNameSize];
    const char none[kClassNameSize] = {};
    if (odf.GetName8(kOdfTorpedoBlastClass, blast, none)) {
        char text[kClassNameSize + 1] = {};
        std::memcpy(text, blast, kClassNameSize);
        blastClass = text[0] ? ExplosionClass::Find(text) : nullptr;
    } else {
        blastClass = p->blastClass;
    }
    odf.GetString(kOdfTorpedoEngineSound, engineSound, sizeof engineSound, p->engineSound);
}

GameObject* TorpedoClass::BuildObject(Entity* entity) { return GameObject_New<Torpedo>(entity, this); }
GameObjectClass* TorpedoClass::Derive(const char* name) { return new TorpedoClass(this, name); }

void Torpedo_ProbePoints(const GameObjectClass* cls, const Entity* entity, Vector out[kPowerUpProbeCount]) {
    Vector lo = cls->boxMin, hi = cls->boxMax;
    if (cls->sphereRadius == kClassRadiusUnknown || (lo.x == hi.x && lo.y == hi.y && lo.z == hi.z)) {
        const Vector c = entity->boundsCentre;
        const float r = entity->boundsRadius;
        lo = Vector{c.x - r, c.y - r, c.z - r};
        hi = Vector{c.x + r, c.y + r, c.z + r};
    }
    const float midZ = (lo.z + hi.z) * 0.5f;
    out[0] = Vector{lo.x, lo.y, lo.z};
    out[1] = Vector{hi.x, lo.y, lo.z};
    out[2] = Vector{lo.x, lo.y, hi.z};
    out[3] = Vector{hi.x, lo.y, hi.z};
    out[4] = Vector{lo.x, lo.y, midZ};
    out[5] = Vector{hi.x, lo.y, midZ};
}

// ---- the torpedo ----------------------------------------------------------------------------

Torpedo::Torpedo(Entity* e, GameObjectClass* cls) : PowerUp(e, cls) {
    if (const auto* own = dynamic_cast<const TorpedoClass*>(cls)) {
        hoverHeight = own->hoverHeight;
        levelGain = own->levelGain;
        spinDamping = own->spinDamping;
        cruiseSpeed = own->cruiseSpeed;
        maxAccel = own->maxAccel;
        turnRate = own->turnRate;
        turnTorque = own->turnTorque;
        lifetime = own->lifetime;
    }
    Torpedo_ProbePoints(cls, entity, probes);
}

void Torpedo::Scale(float factor) {
    levelGain *= factor;
    spinDamping *= factor;
    cruiseSpeed *= factor;
    maxAccel *= factor;
    turnRate *= factor;
    turnTorque *= factor;
}

void Torpedo::Update(float dt) {
    Matrix& m = entity->local;
    Vector& v = euler.velocity;
    Vector& w = euler.angularVelocity;

    // Life.
    if (lifetime < dt) entity->flags |= kEntityDead;
    lifetime -= dt;
    if (target) {
        const GameObject* aimed = GameObject::FromHandleRaw(target);
        if (aimed && aimed->entity && (aimed->entity->flags & kRadarHidden)) target = 0;
    }
    Vector force{0.0f, -kGravity, 0.0f};
    Vector torque{0.0f, 0.0f, 0.0f};

    // The ground under the torpedo and where it will be half a second on.
    const Vector at = PositionOf(m);
    const Vector ahead = Add(at, Scaled(v, kLookAhead));
    float floorHere = 0.0f, floorAhead = 0.0f;
    Vector normalHere{0.0f, 1.0f, 0.0f}, normalAhead{0.0f, 1.0f, 0.0f};
    Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floorHere, &normalHere);
    Collision_GetFloorHeight(ahead.x, ahead.y, ahead.z, &floorAhead, &normalAhead);
    const float clearance = std::min(at.y - floorHere, at.y - floorAhead);
    Vector n = Vec3_Normalize(Add(normalHere, normalAhead));
    if (Vec3_Dot(n, n) == 0.0f) n = Vector{0.0f, 1.0f, 0.0f};
    float c;
    if (!(clearance > 0.0f))
        c = 0.0f;
    else if (hoverHeight <= 0.0f)
        c = 2.0f;
    else
        c = clearance * n.y / hoverHeight;
    const float f = c > 1.0f ? 0.9f / ((c - 1.0f) * (c - 1.0f) * 0.25f + 1.0f) + 0.1f : 1.0f;

    // Lift: a spring toward the hover height, damped along the ground normal.
    const float lift = kGravity - 2.0f * kGravity * (c - 1.0f) * n.y - 0.5f * kGravity * f * Vec3_Dot(v, n);
    if (lift > 0.0f) force = Add(force, Scaled(n, lift));

    // Levelling toward the ground's normal pulled to the vertical.
    torque.x = -spinDamping * w.x;
    torque.z = -spinDamping * w.z;
    const Vector u = Vec3_Normalize(Vector{n.x, n.y + 2.0f, n.z});
    torque.x -= Vec3_Dot(u, m.front) * levelGain * f;
    torque.z += Vec3_Dot(u, m.right) * levelGain * f;

    // Turning by the steering its brain writes into the control record.
    if (turnRate > 0.0f) {
        const float steer = std::clamp(vehicle->controls[0], -1.0f, 1.0f);
        torque.y = std::clamp(steer - w.y / turnRate, -1.0f, 1.0f) * turnTorque;
    }

    // Thrust toward the cruise velocity along the front, never into the ground, at most
    // maxAccel (less high above the ground). The length is taken before the division by the
    // step so that a step of 0 gives the limit, not an overflow.
    Vector wanted = Vec3_Sub(Scaled(m.front, cruiseSpeed), v);
    const float into = Vec3_Dot(wanted, n);
    if (into < 0.0f) wanted = Vec3_Sub(wanted, Scaled(n, into));
    const double change = std::sqrt(static_cast<double>(Vec3_Dot(wanted, wanted)));
    const double inverseStep = dt != 0.0f ? 1.0 / static_cast<double>(dt) : 1e30;
    const double limit = std::max(static_cast<double>(maxAccel) * f, 0.0);
    if (change > 0.0) {
        const double accel = std::min(change * inverseStep, limit);
        force = Add(force, Scaled(wanted, static_cast<float>(accel / change)));
    }

    // Motion in two half steps.
    const Matrix start = m;
    v = Add(v, Scaled(force, dt * 0.5f));
    m.posit.x += static_cast<double>(v.x) * dt;
    m.posit.y += static_cast<double>(v.y) * dt;
    m.posit.z += static_cast<double>(v.z) * dt;
    v = Add(v, Scaled(force, dt * 0.5f));
    SetSpeedOf(euler);
    w = Add(w, Scaled(torque, dt * 0.5f));
    Matrix_PreRotate(m, m, w, dt);
    w = Add(w, Scaled(torque, dt * 0.5f));

    // The probes against the terrain over the step just taken, from where they were at its
    // start (from where they are now a step that went into the ground would go unseen): the
    // earliest hit is the contact.
    CollisionBody& contact = vehicle->contact;
    CollisionBody_Init(contact);
    for (const Vector& probe : probes) {
        const DVector from = Matrix_TransformPoint(probe, start);
        const Vector velocity = Collision_PointVelocity(probe, entity);
        Vector normal{0.0f, 1.0f, 0.0f};
        float t = dt;
        if (!Terrain_RayCast(from.x, from.y, from.z, velocity.x, velocity.y, velocity.z, &t, &normal)) continue;
        if (contact.hit && !(t < contact.time)) continue;
        contact.hit = 1;
        contact.time = t;
        contact.normal = normal;
        contact.point = Vector{static_cast<float>(from.x + static_cast<double>(velocity.x) * t),
                               static_cast<float>(from.y + static_cast<double>(velocity.y) * t),
                               static_cast<float>(from.z + static_cast<double>(velocity.z) * t)};
    }
    if (contact.hit) {
        const CollisionBody hit = contact;
        OnCollide(nullptr, hit);
        CollisionBody_Init(contact);
    }

    UpdateSphere();

    if (entity->flags & kDying) {
        if (deathBurstTimer > 0.0f) {
            deathBurstTimer -= dt;
            if (ExplosionClass* burst = Explosion_Manager().stdExplosionSec) {
                Matrix where = m;
                const float spread = kBurstScatter * radius;
                const float rx = RandomTable_Next(), ry = RandomTable_Next(), rz = RandomTable_Next();
                where.posit.x += static_cast<double>(rx * spread);
                where.posit.y += static_cast<double>(ry * spread);
                where.posit.z += static_cast<double>(rz * spread);
                burst->Build(where, nullptr);
            }
        }
        // Another machine's torpedo goes when its owner says so.
        if (!(deathBurstTimer > 0.0f) && !IsRemote()) Destroy();
        return;
    }

    // The engine is heard near the listener only.
    const auto* cls = dynamic_cast<const TorpedoClass*>(objClass);
    Vector listener{};
    bool near = false;
    if (HoverCraft_CameraPosition(&listener)) {
        const double dx = m.posit.x - listener.x, dy = m.posit.y - listener.y, dz = m.posit.z - listener.z;
        near = dx * dx + dy * dy + dz * dz < static_cast<double>(kTorpedoEngineRange) * kTorpedoEngineRange;
    }
    if (near) {
        if (!engineLoop && cls && cls->engineSound[0]) {
            char name[kTorpedoSoundSize + 1] = {};
            std::memcpy(name, cls->engineSound, kTorpedoSoundSize);
            const int header = (entity->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader;
            engineLoop = Seam_Audio().soundPlay(name, entity, kLoopSoundFlags, header);
        }
    } else {
        StopEngine(*this);
    }
}

bool Torpedo::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (contact) OnCollide(other, *contact);
    return true;
}

void Torpedo::OnCollide(Entity* other, const CollisionBody& contact) {
    const GameObject* struck = other ? GameObject_FromEntity(other) : nullptr;
    if (struck && target != 0 && struck->GetObjHandle() == target) {
        entity->flags |= kEntityDead;
        deathBurstTimer = 0.0f;
    }
    Vector& v = euler.velocity;
    const Vector n = contact.normal;
    const Vector before = v;
    v = Vec3_Sub(Scaled(v, 0.5f), Scaled(n, Vec3_Dot(v, n)));
    SetSpeedOf(euler);
    // The contact turns the body about its centre: the lever from the centre to the point
    // across the change of velocity, in the body's own axes.
    const Vector lever = Vec3_Sub(contact.point, PositionOf(entity->local));
    const Vector turn = Vec3_Unrotate(Vec3_Cross(lever, Vec3_Sub(v, before)), entity->local);
    euler.angularVelocity = Add(euler.angularVelocity, Scaled(turn, kContactSpin));
}

void Torpedo::Destroy() {
    entity->flags |= kEntityDead;
    const auto* cls = dynamic_cast<const TorpedoClass*>(objClass);
    const Matrix at = entity->local;
    if (cls && cls->blastClass) {
        // The launcher keeps the credit while it lives; without it the torpedo's own entity
        // owns the blast (and with it the torpedo's network owner).
        const GameObject* launcher = GameObject::FromHandle(lastAttacker);
        cls->blastClass->Build(at, launcher && launcher->entity ? launcher->entity : entity);
    }
    const float ground = Terrain_GetHeight(at.posit.x, at.posit.z);
    if (at.posit.y - ground <= kTorpedoScorchHeight)
        Terrain_Scorch(static_cast<float>(at.posit.x), static_cast<float>(at.posit.z));
    // Nothing of the torpedo may be touched after this.
    TearDown();
}

void Torpedo::SetTeam(int32_t t) {
    // A loop still running would be left without an owner.
    StopEngine(*this);
    PowerUp::SetTeam(t);
    engineLoop = nullptr;
}

void Torpedo::LeaveTeam() {
    StopEngine(*this);
    PowerUp::LeaveTeam();
}

float Torpedo::GetNetPriority(float time, float distance) {
    if (lastSendTime > time) lastSendTime = time;
    return (250.0f - distance) * 0.02f + (time - lastSendTime + 1.0f);
}

bool Torpedo::Load() {
    const int32_t version = Field_Version();
    if (version > kTorpedoPlainObjectLast) return PowerUp::Load();
    if (version > kTorpedoProbeBlockLast) {
        int32_t retired = 0;
        if (version >= kTorpedoRetiredWordFirst && !Field_ReadInt("", &retired)) return false;
        return GameObject::Load();
    }
    for (int i = 0; i < 6; ++i) {
        int32_t retired = 0;
        if (!Field_ReadInt("", &retired)) return false;
    }
    uint8_t block[kTorpedoProbeBlockSize];
    if (!Field_ReadBytes("", block, sizeof block)) return false;
    Vector points[kPowerUpProbeCount];
    for (int i = 0; i < kPowerUpProbeCount; ++i) {
        const uint8_t* at = block + 12 * i;
        points[i] = Vector{LittleEndianFloat(at), LittleEndianFloat(at + 4), LittleEndianFloat(at + 8)};
        // A point that is no place would send the terrain rays nowhere.
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) || !std::isfinite(points[i].z)) return false;
    }
    std::copy(points, points + kPowerUpProbeCount, probes);
    return GameObject::Load();
}
