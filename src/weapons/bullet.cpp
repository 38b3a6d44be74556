#include "weapons/bullet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "collision/colshape.h"
#include "core/clock.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "weapons/beam.h"
#include "weapons/areablast.h"
#include "weapons/explosion.h"
#include "weapons/firedue.h"
#include "weapons/grenade.h"
#include "weapons/mortar.h"
#include "weapons/dispenser.h"
#include "weapons/detonator.h"
#include "weapons/popper.h"
#include "weapons/radarlauncher.h"
#include "weapons/spraybomb.h"
#include "weapons/rocket.h"
#include "weapons/sniper.h"
#include "weapons/specialitem.h"

namespace {

constexpr uint32_t kOdfReloadTime = 0xD9356908;
constexpr uint32_t kEntityHitFlag = 0x2;
constexpr uint32_t kFireSoundFlags = 2048;
constexpr uint32_t kFireLoopFlags = 2049;
constexpr int kUserSoundHeader = 65;

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

struct Box {
    Vector low, high;
};
bool Overlap(const Box& a, const Box& b) {
    return a.low.x <= b.high.x && b.low.x <= a.high.x && a.low.y <= b.high.y && b.low.y <= a.high.y &&
           a.low.z <= b.high.z && b.low.z <= a.high.z;
}
Box BoxOf(const GameObject* object) {
    if (object->record) return Box{object->record->boxMin, object->record->boxMax};
    const float r = object->radius;
    const Vector& p = object->pos;
    return Box{Vector{p.x - r, p.y - r, p.z - r}, Vector{p.x + r, p.y + r, p.z + r}};
}

int SoundHeader(const Weapon& w) { return w.root && (w.root->flags & kEntityUser) ? kUserSoundHeader : 0; }

void FireSoundName(const WeaponClass* cls, char out[17]) {
    std::memset(out, 0, 17);
    if (cls) std::memcpy(out, cls->fireSound, sizeof cls->fireSound);
}

}  // namespace

// ---- prototypes -------------------------------------------------------------------------------

std::unique_ptr<OrdnanceClass> Ordnance_MakePrototype(const char* label, uint32_t signature) {
    if (auto rocket = Rocket_MakeOrdnancePrototype(label, signature)) return rocket;
    if (auto shell = SniperShell_MakePrototype(label, signature)) return shell;
    if (auto beam = Beam_MakeOrdnancePrototype(label, signature)) return beam;
    if (auto falling = Grenade_MakeOrdnancePrototype(label, signature)) return falling;
    if (auto area = AreaBlast_MakeOrdnancePrototype(label, signature)) return area;
    if (auto spray = SprayBomb_MakeOrdnancePrototype(label, signature)) return spray;
    if (auto popper = Popper_MakeOrdnancePrototype(label, signature)) return popper;
    if (std::strcmp(label, "bullet") == 0) return std::make_unique<BulletClass>(label, signature);
    return std::make_unique<OrdnanceClass>(label, signature);
}

std::unique_ptr<WeaponClass> Weapon_MakePrototype(const char* label, uint32_t signature) {
    if (auto guided = Rocket_MakeWeaponPrototype(label, signature)) return guided;
    if (auto special = Special_MakeWeaponPrototype(label, signature)) return special;
    if (auto beam = Beam_MakeWeaponPrototype(label, signature)) return beam;
    if (auto lobbing = Mortar_MakeWeaponPrototype(label, signature)) return lobbing;
    if (auto dispenser = Dispenser_MakeWeaponPrototype(label, signature)) return dispenser;
    if (auto radar = RadarLauncher_MakeWeaponPrototype(label, signature)) return radar;
    if (auto detonator = Detonator_MakeWeaponPrototype(label, signature)) return detonator;
    if (auto popperGun = Popper_MakeWeaponPrototype(label, signature)) return popperGun;
    if (std::strcmp(label, "cannon") == 0) return std::make_unique<CannonClass>(label, signature);
    if (std::strcmp(label, "machinegun") == 0) return std::make_unique<MachineGunClass>(label, signature);
    return std::make_unique<WeaponClass>(label, signature);
}

// ---- bullets ----------------------------------------------------------------------------------

BulletClass::BulletClass(const char* classLabel, uint32_t classSignature) : OrdnanceClass(classLabel, classSignature) {
    ordIntParam = 1;
    lifetime = 5.0f;
    ordFloatParam = 200.0f;
    damage[0] = 10;
}

BulletClass::BulletClass(BulletClass* from, const ClassName& name) : OrdnanceClass(from, name) {}

OrdnanceClass* BulletClass::ReadOdf(const ClassName& name) { return new BulletClass(this, name); }

Ordnance* BulletClass::MakeObject(Entity* entity) { return new Bullet(entity, this); }

void Bullet::Launch(const Matrix& matrix, Entity* shooter) {
    Ordnance::Launch(matrix, shooter);
    const float speed = ordnanceClass->ordFloatParam;
    motion.velocity = Scale(entity->local.front, speed);
    motion.speed = speed;
    motion.invSpeed = speed > 0.0f ? 1.0f / speed : 1e30f;
    ignoreShooter = 1;
}

void Bullet::Step(float dt) {
    float step = std::min(dt, lifeLeft);
    lifeLeft -= step;
    if (lifeLeft <= 0.0f) entity->flags |= kEntityDead;
    if (!(step > 0.0f)) step = 0.0f;

    Vector start = PositionOf(entity);
    const Vector& v = motion.velocity;
    // The surface normal matters only under the surface, where most shots never are.
    const float height = Terrain_GetHeight(start.x, start.z);
    Vector normal{0.0f, 1.0f, 0.0f};
    if (height > start.y) Terrain_GetNormal(normal, start.x, start.z);
    bool ground = false;
    float t = step;
    if (height > start.y && Vec3_Dot(v, normal) < 0.0f) {
        // Under the surface and moving into it: a hit where it is, raised to the surface.
        ground = true;
        t = 0.0f;
        start.y = height;
    } else {
        Vector hitNormal{};
        float rayT = step;
        if (step > 0.0f && Terrain_RayCast(start.x, start.y, start.z, v.x, v.y, v.z, &rayT, &hitNormal)) {
            ground = true;
            t = rayT;
            normal = hitNormal;
        }
    }
    Vector end = Add(start, Scale(v, t));
    Vector objectNormal{};
    GameObject* object = FindHit(start, t, end, objectNormal);
    entity->local.posit = DVector{end.x, end.y, end.z};

    if (object) {
        Hit(object->entity, objectNormal);
    } else if (ground) {
        Hit(nullptr, normal);
    } else if (end.x < TerrainBounds.minXm || end.x > TerrainBounds.maxXm || end.z < TerrainBounds.minZm ||
               end.z > TerrainBounds.maxZm || !(end.x == end.x) || !(end.z == end.z)) {
        entity->flags |= kEntityDead;
    }
}

GameObject* Bullet::FindHit(const Vector& start, float& t, Vector& end, Vector& normal) {
    if (!(t > 0.0f)) return nullptr;
    BucketGrid* grid = GameObject_Grid();
    if (!grid) return nullptr;
    const Vector segment = Scale(Vec3_Sub(end, start), 1.0f / t);
    const Box box{Vector{std::min(start.x, end.x), std::min(start.y, end.y), std::min(start.z, end.z)},
                  Vector{std::max(start.x, end.x), std::max(start.y, end.y), std::max(start.z, end.z)}};
    BucketGridQuery query;
    grid->BeginQuery(box.low.x, box.low.z, box.high.x, box.high.z, &query);
    const BucketGridEntry* entry = nullptr;
    GameObject* hit = nullptr;
    while (query.Next(&entry)) {
        // The boxes are compared before the object's entity is read: most entries of a query lie
        // beside the shot, and their entities need not be fetched at all.
        GameObject* object = GameObject::FromHandleRaw(entry->value);
        if (!object || !object->entity) continue;
        const bool overlaps = Overlap(box, BoxOf(object));
        if (ignoreShooter && owner && object->entity == owner) {
            if (object->entity->flags & kEntityDead) continue;
            // The shot leaves its shooter's box before the shooter can be hit.
            if (!overlaps) ignoreShooter = 0;
            continue;
        }
        if (!overlaps || (object->entity->flags & kEntityDead)) continue;
        if (Ordnance_ThreatensObject(start, segment, t, normal, object, entity->boundsRadius)) {
            hit = object;
            end = Add(start, Scale(segment, t));
        }
    }
    return hit;
}

bool Ordnance_ThreatensObject(const Vector& start, const Vector& velocity, float& t, Vector& normal,
                              GameObject* object, float shotRadius) {
    if (!object) return false;
    const Vector d = Vec3_Sub(start, object->pos);
    const Vector w = Vec3_Sub(velocity, object->euler.velocity);
    const float b = Vec3_Dot(w, d);
    EntityTableRecord* record = object->record;
    const int kind = record ? record->shapeKind : 0;
    if (kind != kShapeParts && b >= 0.0f) return false;
    const float a = Vec3_Dot(w, w);
    // Not moving relative to the object: nothing is met (and nothing to divide by).
    if (!(a > 0.0f)) return false;
    float radius = record ? record->radius : object->radius;
    if (kind != kShapeParts) radius *= 0.75f;
    const float reach = radius + shotRadius;
    const float disc = b * b - (Vec3_Dot(d, d) - reach * reach) * a;
    if (disc < 0.0f) return false;
    const float tc = -(std::sqrt(disc) + b) / a;
    if (tc >= t) return false;
    if (kind == kShapeParts) {
        const CollisionProbe probe{start, velocity, shotRadius, t};
        Entity* partHit = nullptr;
        float exact = t;
        if (!Collision_TestByShape(probe, record, &partHit, &exact)) return false;
        t = exact;
    } else {
        // A shot that starts inside the sphere meets it where it is, never behind its start.
        t = std::max(tc, 0.0f);
    }
    normal = Vec3_Normalize(Add(d, Scale(w, t)));
    return true;
}

void Bullet::Hit(Entity* hitEntity, const Vector& normal) {
    const OrdnanceClass& cls = *ordnanceClass;
    if (!hitEntity) {
        Matrix at = Matrix_FromFrontUp(normal, entity->local.front);
        at.posit = entity->local.posit;
        at.posit.y += 0.01;
        if (cls.explosionDefault) cls.explosionDefault->Build(at, owner);
    } else {
        GameObject* object = GameObject_FromEntity(hitEntity);
        const Vector offset = Vec3_Sub(PositionOf(entity), PositionOf(hitEntity));
        const Vector local = Vec3_Unrotate(offset, hitEntity->local);
        if (object) {
            DamageInfo hit = damageInfo;
            object->TakeDamage(&hit, &local);
            object->lastHitOrdnance = &cls;
            object->lastHitOrdnanceSignature = cls.signature;
        }
        const int32_t type = hitEntity->type;
        ExplosionClass* explosion = cls.explosionDefault;
        if (type == 1 || (type >= 3 && type <= 7))
            explosion = cls.explosionTypeA;
        else if (type == 2 || type == 8 || type == 10)
            explosion = cls.explosionTypeB;
        if (explosion) explosion->Build(entity->local, owner);
        if (object && !object->IsRemote() && Entity_IsDynamic(type) &&
            (!(type == kTypeCraft || type == kTypeCraft6) || object->IsReady()))
            entity->flags |= kEntityHitFlag;
    }
    entity->flags |= kEntityDead;
}

// ---- cannons ----------------------------------------------------------------------------------

CannonClass::CannonClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "h45ch.wav", sizeof fireSound);
}

CannonClass::CannonClass(CannonClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfReloadTime, &reloadTime, from->reloadTime);
}

WeaponClass* CannonClass::ReadOdf(const ClassName& name) { return new CannonClass(this, name); }
Weapon* CannonClass::MakeObject(Entity* entity) { return new Cannon(entity, this); }

Cannon::Cannon(Entity* e, CannonClass* cls) : Weapon(e, cls) {}

float Cannon::ReloadTime() const { return static_cast<const CannonClass*>(weaponClass)->reloadTime; }

bool Cannon::CanFire() {
    if (!ordnanceClass) return false;
    const int32_t ammo = ownerObject ? ownerObject->curAmmo : 0;
    return ammo >= ordnanceClass->ordIntParam;
}

void Cannon::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void Cannon::ReleaseTrigger() { trigger = 0; }
bool Cannon::IsTriggerDown() { return trigger != 0; }

void Cannon::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
}

Ordnance* Cannon::FireAt(const Matrix& muzzle, float catchUp) {
    if (!ordnanceClass) return nullptr;
    if (ownerObject) ownerObject->AddAmmo(-ordnanceClass->ordIntParam);
    Ordnance* shot = ordnanceClass->Build(muzzle, root);
    if (shot) shot->catchUp = catchUp;
    return shot;
}

void Cannon::Update(float dt) {
    const bool pulled = trigger != 0;
    shotClock += dt;
    // The clock counts how long a shot is overdue: the shared loop counts down, so it runs on
    // the negated clock. One shot at most per update.
    if (pulled && shotClock > kFireDueTolerance) {
        float clock = -shotClock;
        FireDue(clock, ReloadTime(), 1, [&] {
            if (!CanFire() || !IsMuzzleAboveGround()) return;
            char name[17];
            FireSoundName(weaponClass, name);
            if (name[0]) Seam_Audio().soundPlay(name, entity, kFireSoundFlags, SoundHeader(*this));
            Matrix muzzle;
            Matrix_Multiply(muzzle, entity->local, mountMatrix);
            FireAt(muzzle, -clock - dt);
        });
        shotClock = -clock;
    } else if (!pulled && shotClock > 0.0f) {
        shotClock = 0.0f;
    }
    trigger = 0;
}

Vector Weapon_LeadPoint(const Matrix& mount, GameObject* target, float s) {
    const Vector p = target->GetPosition();
    if (!(target->euler.speed > 0.1f)) return p;
    const Vector origin{static_cast<float>(mount.posit.x), static_cast<float>(mount.posit.y),
                        static_cast<float>(mount.posit.z)};
    const Vector d = Vec3_Sub(p, origin);
    const Vector& v = target->euler.velocity;
    const float a = Vec3_Dot(v, v) - s * s;
    const float b = Vec3_Dot(d, v);
    float t = 0.0f;
    if (a == 0.0f) {
        // As fast as the shot: only a target that closes can be met.
        if (!(b < 0.0f)) return p;
        t = -Vec3_Dot(d, d) / (2.0f * b);
    } else {
        const float c = b * b - Vec3_Dot(d, d) * a;
        t = c <= 0.0f ? -b / a : (-b - std::sqrt(c)) / a;
    }
    if (!std::isfinite(t)) return p;
    return Add(p, Scale(v, t));
}

Vector* Cannon::GetAimPoint(Vector* result, GameObject* target) {
    if (!result || !target) return result;
    *result = ordnanceClass ? Weapon_LeadPoint(mountMatrix, target, ordnanceClass->ordFloatParam)
                            : target->GetPosition();
    return result;
}

// ---- machine guns -----------------------------------------------------------------------------

MachineGunClass::MachineGunClass(const char* classLabel, uint32_t classSignature) : CannonClass(classLabel, classSignature) {
    std::memset(fireSound, 0, sizeof fireSound);
    std::strncpy(fireSound, "wlmgun.wav", sizeof fireSound);
}

MachineGunClass::MachineGunClass(MachineGunClass* from, const ClassName& name) : CannonClass(from, name) {}

WeaponClass* MachineGunClass::ReadOdf(const ClassName& name) { return new MachineGunClass(this, name); }
Weapon* MachineGunClass::MakeObject(Entity* entity) { return new MachineGun(entity, static_cast<CannonClass*>(this)); }

int& MachineGun_TechnoCounter() {
    static int counter = 0;
    return counter;
}

void MachineGun_TechnoColour(int index, int rgb[3]) {
    // Round the hue circle in steps of 51: six legs of five steps.
    index = ((index % 30) + 30) % 30;
    const int leg = index / 5;
    const int k = (index % 5) * 51;
    const int table[6][3] = {{255, k, 0}, {255 - k, 255, 0}, {0, 255, k}, {0, 255 - k, 255}, {k, 0, 255}, {255, 0, 255 - k}};
    for (int i = 0; i < 3; ++i) rgb[i] = table[leg][i];
}

void MachineGun::Update(float dt) {
    shotClock += dt;
    if (trigger && CanFire() && IsMuzzleAboveGround()) {
        char name[17];
        FireSoundName(weaponClass, name);
        if (name[0] && !fireLoop) fireLoop = Seam_Audio().soundPlay(name, entity, kFireLoopFlags, SoundHeader(*this));
        Matrix relative;
        Entity_GetTransformTo(relative, entity, root);
        // Each shot takes its cost: no more shots than the ammunition pays for.
        int most = kMostShotsPerUpdate;
        const int32_t cost = ordnanceClass->ordIntParam;
        if (cost > 0) most = static_cast<int>(std::min<int64_t>(most, (ownerObject ? ownerObject->curAmmo : 0) / cost));
        const bool techno = root && (root->flags & kEntityUser) && std::strncmp(entity->name, "gtechno", 8) == 0;
        float clock = -shotClock;
        FireDue(clock, ReloadTime(), most, [&] {
            const float overdue = -clock;
            if (techno) {
                int rgb[3];
                int& counter = MachineGun_TechnoCounter();
                MachineGun_TechnoColour(counter, rgb);
                counter = (counter + 1) % 30;
                Seam_Cockpit().screenTintFlash(1.0f, 5.0f, rgb[0], rgb[1], rgb[2]);
            }
            // The craft's placement when this shot fell due.
            Matrix back = root ? root->local : kIdentityMatrix;
            if (ownerObject) {
                const Vector turn = Scale(ownerObject->euler.angularVelocity, overdue);
                const float angle = std::sqrt(Vec3_Dot(turn, turn));
                if (angle > 0.0f) {
                    const Matrix rotation = Matrix_FromAxisAngle(angle, turn.x / angle, turn.y / angle, turn.z / angle);
                    Matrix turned;
                    Matrix_Multiply(turned, rotation, back);
                    turned.posit = back.posit;
                    back = turned;
                }
                const Vector& v = ownerObject->euler.velocity;
                back.posit.x -= overdue * v.x;
                back.posit.y -= overdue * v.y;
                back.posit.z -= overdue * v.z;
            }
            Matrix muzzle;
            Matrix_Multiply(muzzle, relative, back);
            FireAt(muzzle, overdue - dt);
        });
        // A remainder past the most shots of one update is dropped.
        shotClock = -clock;
        if (shotClock > kFireDueTolerance && most == kMostShotsPerUpdate) shotClock = 0.0f;
        trigger = 0;
        return;
    }
    if (shotClock > 0.0f) shotClock = 0.0f;
    if (fireLoop) {
        Seam_Audio().soundStopAttached(entity);
        fireLoop = nullptr;
    }
    trigger = 0;
}
