#include "weapons/grenade.h"

#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/netpack.h"
#include "weapons/chunkeffect.h"
#include "weapons/explosion.h"

namespace {

constexpr uint32_t kOdfBounceSound = 0x7E5A762C;
constexpr uint32_t kOdfLinearBrake = 0x27BAC631;
constexpr uint32_t kOdfAngularBrake = 0xC0783809;
constexpr uint32_t kOdfHoldTime = 0x10D7BD55;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }

void SetSpeed(EntityDynamics& motion) {
    motion.speed = Length(motion.velocity);
    motion.invSpeed = motion.speed > 0.0f ? 1.0f / motion.speed : 1e30f;
}

// The frame's axes with up along `up` and front as near the old front as up allows; a front
// along up keeps the old right axis instead.
void StandOn(Matrix& m, const Vector& up) {
    const Vector u = Vec3_Normalize(up);
    if (!(Vec3_Dot(u, u) > 0.0f)) return;
    Vector right = Vec3_Cross(u, m.front);
    if (!(Vec3_Dot(right, right) > 1e-12f)) right = Vec3_Sub(m.right, Scale(u, Vec3_Dot(m.right, u)));
    right = Vec3_Normalize(right);
    if (!(Vec3_Dot(right, right) > 0.0f)) return;
    m.up = u;
    m.right = right;
    m.front = Vec3_Cross(right, u);
}

}  // namespace

std::unique_ptr<OrdnanceClass> Grenade_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "grenade") == 0) return std::make_unique<GrenadeClass>(label, signature);
    if (std::strcmp(label, "bouncebomb") == 0) return std::make_unique<BounceBombClass>(label, signature);
    if (std::strcmp(label, "anchor") == 0) return std::make_unique<AnchorClass>(label, signature);
    return nullptr;
}

// ---- grenades ---------------------------------------------------------------------------------

GrenadeClass::GrenadeClass(const char* classLabel, uint32_t classSignature) : RocketClass(classLabel, classSignature) {
    lifetime = 1e30f;
    ordFloatParam = 50.0f;
    ordIntParam = 10;
    damage[1] = 500;
    reportHits = true;
    // The trail's default spacing follows this kind's own muzzle speed.
    puffInterval = puffSize / ordFloatParam;
}

GrenadeClass::GrenadeClass(GrenadeClass* from, const ClassName& name) : RocketClass(from, name) {}

OrdnanceClass* GrenadeClass::ReadOdf(const ClassName& name) { return new GrenadeClass(this, name); }
Ordnance* GrenadeClass::MakeObject(Entity* entity) { return new Grenade(entity, this); }

void Grenade::Step(float dt) {
    motion.velocity.y -= kHalfGravity * dt;
    Rocket::Step(dt);
    motion.velocity.y -= kHalfGravity * dt;
    SetSpeed(motion);
    // The nose along the path; a shot standing still, or one whose path runs along its up axis,
    // keeps its axes.
    Matrix& m = entity->local;
    const Vector front = Scale(motion.velocity, motion.invSpeed);
    Vector right = Vec3_Cross(m.up, front);
    if (!(motion.speed > 0.0f) || !(Vec3_Dot(right, right) > 1e-12f)) return;
    right = Vec3_Normalize(right);
    m.front = front;
    m.right = right;
    m.up = Vec3_Cross(front, right);
}

void Grenade::Hit(Entity* hit, const Vector& normal) {
    Vector p = PositionOf(entity);
    const float ground = Terrain_GetHeight(p.x, p.z);
    if (ground + kGrenadeLandingHeight > p.y) {
        p.y = ground;
        entity->local.posit.y = ground;
        ChunkEffect& chunks = Chunk_Effect();
        for (int i = 0; i < kGrenadeChunks; ++i) chunks.Spawn(p, Vector{0.0f, 0.0f, 0.0f}, true);
        Terrain_Scorch(p.x, p.z);
    }
    Bullet::Hit(hit, normal);
}

// ---- bounce bombs -----------------------------------------------------------------------------

BounceBombClass::BounceBombClass(const char* classLabel, uint32_t classSignature) : GrenadeClass(classLabel, classSignature) {
    std::strncpy(bounceSound, "bounce.wav", sizeof bounceSound);
}

BounceBombClass::BounceBombClass(BounceBombClass* from, const ClassName& name) : GrenadeClass(from, name) {
    OdfFile odf(fileName);
    odf.GetString(kOdfBounceSound, bounceSound, sizeof bounceSound, from->bounceSound);
}

OrdnanceClass* BounceBombClass::ReadOdf(const ClassName& name) { return new BounceBombClass(this, name); }
Ordnance* BounceBombClass::MakeObject(Entity* entity) { return new BounceBomb(entity, this); }

void BounceBomb::Step(float dt) {
    const float step = std::min(dt, lifeLeft);
    if (Flying()) {
        Grenade::Step(step);
    } else {
        motion.velocity = Vector{0.0f, 0.0f, 0.0f};
        motion.speed = 0.0f;
        motion.invSpeed = 1e30f;
        Matrix& m = entity->local;
        float floor = 0.0f;
        Vector up{0.0f, 1.0f, 0.0f};
        Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floor, &up);
        m.posit.y = floor;
        StandOn(m, up);
    }
    if (lifeLeft <= 0.0f) {
        if (ExplosionClass* blast = ordnanceClass->explosionDefault) blast->Build(entity->local, owner);
        entity->flags |= kEntityDead;
    }
}

void Grenade::Bounce(const Vector& normal) {
    Vector& v = motion.velocity;
    v = Vec3_Sub(Scale(v, 0.5f), Scale(normal, Vec3_Dot(v, normal)));
    SetSpeed(motion);
}

void Grenade::PlayBounceSound(const char (&sound)[16]) {
    char name[17] = {};
    std::memcpy(name, sound, sizeof sound);
    if (name[0]) Seam_Audio().soundPlayOnObject(name, entity);
}

void Grenade::SendBounce() {
    NetSeam& net = Seam_Net();
    if (!net.isNetworkGame() || netPlayer != net.localPlayerId()) return;
    const float speed = motion.speed;
    inBounceStep_ = true;
    Step(0.0f);
    inBounceStep_ = false;
    entity->local = NetPack_RoundTripOrdnance(entity->local);
    motion.velocity = Scale(entity->local.front, speed);
    SetSpeed(motion);
    launchMatrix = entity->local;
    netState = kOrdnanceNew;
    launchTime = Clock_GetTime();
}

void BounceBomb::Hit(Entity* hit, const Vector& normal) {
    if (InBounceStep()) return;
    float rest = kBounceRestTerrain;
    if (hit) {
        if (!ObjectClass_IsKindGroup(hit->type)) {
            Grenade::Hit(hit, normal);
            return;
        }
        rest = kBounceRestObject;
    }
    Bounce(normal);
    if (motion.speed < rest) {
        entity->flags &= ~kRocketFlying;
    } else {
        PlayBounceSound(static_cast<BounceBombClass*>(ordnanceClass)->bounceSound);
    }
    SendBounce();
}

// ---- anchors ----------------------------------------------------------------------------------

AnchorClass::AnchorClass(const char* classLabel, uint32_t classSignature) : RocketClass(classLabel, classSignature) {}

AnchorClass::AnchorClass(AnchorClass* from, const ClassName& name) : RocketClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfLinearBrake, &linearBrake, from->linearBrake);
    odf.GetFloat(kOdfAngularBrake, &angularBrake, from->angularBrake);
    odf.GetFloat(kOdfHoldTime, &holdTime, from->holdTime);
}

OrdnanceClass* AnchorClass::ReadOdf(const ClassName& name) { return new AnchorClass(this, name); }
Ordnance* AnchorClass::MakeObject(Entity* entity) { return new Anchor(entity, this); }

void Anchor::Launch(const Matrix& matrix, Entity* shooter) {
    Rocket::Launch(matrix, shooter);
    hooked = 0;
}

void Anchor::Remove() {
    hooked = 0;
    Rocket::Remove();
}

void Anchor::Hit(Entity* hit, const Vector& normal) {
    Bullet::Hit(hit, normal);
    GameObject* object = hit ? GameObject_FromEntity(hit) : nullptr;
    if (!object || !object->entity) return;
    entity->flags &= ~kEntityDead;
    lifeLeft = Class().holdTime;
    hooked = object->GetObjHandle();
    relative = Rocket_RelativeTo(entity->local, object->entity->local);
}

void Anchor::Step(float dt) {
    if (!hooked) {
        Rocket::Step(dt);
        return;
    }
    GameObject* object = GameObject::FromHandle(hooked);
    if (!object || !object->entity) {
        hooked = 0;
        entity->flags |= kEntityDead;
        return;
    }
    Matrix_Multiply(entity->local, relative, object->entity->local);
    const AnchorClass& cls = Class();
    const float b = cls.linearBrake * dt;
    const float speed = object->euler.speed;
    object->SetVelocity(b < speed ? Scale(object->euler.velocity, 1.0f - b / speed) : Vector{0.0f, 0.0f, 0.0f});
    const float a = cls.angularBrake * dt;
    Vector& spin = object->euler.angularVelocity;
    const float turn = Length(spin);
    spin = turn > a ? Scale(spin, 1.0f - a / turn) : Vector{0.0f, 0.0f, 0.0f};
    lifeLeft -= dt;
    if (lifeLeft > 0.0f)
        entity->flags &= ~kEntityDead;
    else
        entity->flags |= kEntityDead;
}
