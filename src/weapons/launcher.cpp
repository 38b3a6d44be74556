#include "weapons/launcher.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "collision/colshape.h"
#include "core/bytes.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"

namespace {

constexpr uint32_t kOdfLockRange = 0x742c80cf;
constexpr uint32_t kOdfReloadTime = 0xd9356908;
constexpr uint32_t kOdfLockTime = 0xf7e186b5;
constexpr uint32_t kOdfLockAngle = 0xa3f03b49;
constexpr uint32_t kOdfTrackingIcon = 0x04e2778a;
constexpr uint32_t kOdfLockSound = 0x03ab425d;
constexpr uint32_t kOdfLockedIcon = 0x748a8151;
constexpr uint32_t kOdfLockedSound = 0x027b5cb2;
constexpr uint32_t kOdfLockFrameCount = 0xc188a147;
// The stage icons continue this hash state over "01", "02", ...
constexpr uint32_t kOdfLockFramePrefix = 0xa3a90a78;
constexpr uint32_t kOdfTurnRate = 0x4ad4b447;
constexpr uint32_t kOdfSteerGain = 0x21601063;

constexpr uint32_t kFireSoundFlags = 2048;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;
constexpr int kMissileStateSize = 4;
// Objects squarely under the aim axis: within this share of their radius of it.
constexpr float kSquareShare = 0.75f;

Missile* g_userMissile = nullptr;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

int FindSprite(const OdfFile& odf, uint32_t key, int fallback) {
    char name[16];
    if (!odf.GetString(key, name, sizeof name, "")) return fallback;
    return name[0] ? Seam_Render().spriteFind(name) : 0;
}

// The object's position in the frame (right, up and front components).
Vector InFrame(const Vector& point, const Matrix& frame) {
    const Vector d{static_cast<float>(point.x - frame.posit.x), static_cast<float>(point.y - frame.posit.y),
                   static_cast<float>(point.z - frame.posit.z)};
    return Vec3_Unrotate(d, frame);
}

// Calls visit for every live object on the grid within half-side of the point.
template <class Visit>
void ForEachNear(const DVector& at, float halfSide, Visit&& visit) {
    BucketGrid* grid = GameObject_Grid();
    if (!grid) return;
    BucketGridQuery query;
    grid->BeginQuery(at.x - halfSide, at.z - halfSide, at.x + halfSide, at.z + halfSide, &query);
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* object = GameObject::FromHandle(entry->value);
        if (object && object->entity) visit(object);
    }
}

}  // namespace

Missile* Missile_UserMissile() { return g_userMissile; }
void Missile_ResetForTest() { g_userMissile = nullptr; }

std::unique_ptr<OrdnanceClass> Launcher_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "missile") == 0) return std::make_unique<MissileClass>(label, signature);
    if (std::strcmp(label, "imagemissile") == 0) return std::make_unique<ImageMissileClass>(label, signature);
    if (std::strcmp(label, "thermalmissile") == 0) return std::make_unique<ThermalMissileClass>(label, signature);
    return nullptr;
}

std::unique_ptr<WeaponClass> Launcher_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "launcher") == 0) return std::make_unique<LauncherClass>(label, signature);
    if (std::strcmp(label, "imagelauncher") == 0) return std::make_unique<ImageLauncherClass>(label, signature);
    if (std::strcmp(label, "thermallauncher") == 0) return std::make_unique<ThermalLauncherClass>(label, signature);
    return nullptr;
}

// ---- launcher classes -------------------------------------------------------------------------

LauncherClass::LauncherClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "wrock.wav", sizeof fireSound);
}

LauncherClass::LauncherClass(LauncherClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    shotCost = ordnanceClass ? ordnanceClass->ordIntParam : from->shotCost;
    const float range = ordnanceClass ? ordnanceClass->ordFloatParam * ordnanceClass->lifetime : from->lockRange;
    odf.GetFloat(kOdfLockRange, &lockRange, range);
    odf.GetFloat(kOdfReloadTime, &reloadTime, from->reloadTime);
    odf.GetFloat(kOdfLockTime, &lockTime, from->lockTime);
    odf.GetFloat(kOdfLockAngle, &lockAngle, from->lockAngle);
    trackingIcon = FindSprite(odf, kOdfTrackingIcon, sprite2);
    odf.GetString(kOdfLockSound, lockSound, sizeof lockSound, from->lockSound);
    lockedIcon = FindSprite(odf, kOdfLockedIcon, sprite2);
    odf.GetString(kOdfLockedSound, lockedSound, sizeof lockedSound, from->lockedSound);
    odf.GetInt(kOdfLockFrameCount, &lockFrameCount, from->lockFrameCount);
    // Two-digit icon keys hold at most 99 stages; a count below 0 is none.
    if (lockFrameCount < 0) lockFrameCount = 0;
    if (lockFrameCount > kLauncherMostStages) lockFrameCount = kLauncherMostStages;
    if (lockFrameCount > 0) {
        lockFrames = new int[static_cast<size_t>(lockFrameCount)];
        for (int32_t i = 0; i < lockFrameCount; ++i) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(i + 1));
            lockFrames[i] = FindSprite(odf, Text_HashNoCase(digits, kOdfLockFramePrefix), 0);
        }
    }
}

LauncherClass::~LauncherClass() { delete[] lockFrames; }

WeaponClass* LauncherClass::ReadOdf(const ClassName& name) { return new LauncherClass(this, name); }
Weapon* LauncherClass::MakeObject(Entity* entity) { return new Launcher(entity, this); }

int LauncherClass::StageIcon(int32_t stage) const {
    if (lockFrames && stage >= 0 && stage < lockFrameCount && lockFrames[stage]) return lockFrames[stage];
    return sprite2;
}

WeaponClass* ImageLauncherClass::ReadOdf(const ClassName& name) { return new ImageLauncherClass(this, name); }
Weapon* ImageLauncherClass::MakeObject(Entity* entity) { return new ImageLauncher(entity, this); }
WeaponClass* ThermalLauncherClass::ReadOdf(const ClassName& name) { return new ThermalLauncherClass(this, name); }
Weapon* ThermalLauncherClass::MakeObject(Entity* entity) { return new ThermalLauncher(entity, this); }

// ---- launchers --------------------------------------------------------------------------------

Launcher::Launcher(Entity* e, LauncherClass* cls) : Weapon(e, cls) {
    stageTime = cls->lockTime / static_cast<float>(cls->StageCount());
    const float s = std::sin(cls->lockAngle);
    coneValue = s * s;
}

Matrix Launcher::Muzzle() const {
    Matrix muzzle;
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    return muzzle;
}

bool Launcher::CanFire() {
    if (!ordnanceClass) return false;
    return (ownerObject ? ownerObject->curAmmo : 0) >= Class().shotCost;
}

void Launcher::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void Launcher::ReleaseTrigger() { trigger = 0; }
bool Launcher::IsTriggerDown() { return trigger != 0; }
void Launcher::UserTriggerDown() { userTrigger = 1; }

void Launcher::UserTriggerUp() {
    userTrigger = 0;
    lockProgress = 0.0f;
    candidate = 0;
    locked = 0;
    lockStage = 0;
}

uint32_t Launcher::FindTarget(float) {
    if (!ownerObject || !ownerObject->target) return 0;
    return GameObject::FromHandle(ownerObject->target) ? ownerObject->target : 0;
}

void Launcher::AddLock(uint32_t, float dt) { lockProgress += dt; }

void Launcher::UpdateMount(float dt) {
    Weapon::UpdateMount(dt);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
    const LauncherClass& cls = Class();
    if (!trigger || !IsMuzzleAboveGround()) {
        // The lock itself outlives the trigger.
        sprite2 = cls.sprite2;
        lockProgress = 0.0f;
        candidate = 0;
        lockStage = 0;
        return;
    }
    const uint32_t c = FindTarget(dt);
    if (candidate && !GameObject::FromHandle(candidate)) candidate = 0;
    if (locked && !GameObject::FromHandle(locked)) locked = 0;
    if (c == candidate || (c != 0 && c == locked)) {
        if (candidate) AddLock(candidate, dt);
    } else {
        candidate = c;
        lockStage = 0;
        lockProgress = 0.0f;
    }
    while (lockProgress < 0.0f) {
        if (lockStage == 0) {
            lockProgress = 0.0f;
        } else {
            --lockStage;
            lockProgress += stageTime;
        }
    }
    const int32_t last = cls.StageCount() - 1;
    if (candidate) {
        while (lockProgress > stageTime && lockStage < last) {
            ++lockStage;
            lockProgress -= stageTime;
        }
        // Tested after the loop too: with a single stage the loop never runs.
        if (lockStage >= last) locked = candidate;
    }
    if (candidate)
        sprite2 = cls.StageIcon(lockStage);
    else
        sprite2 = locked ? cls.StageIcon(last) : cls.sprite2;
}

void Launcher::Launch(float dt) {
    Ordnance* shot = ordnanceClass->Build(Muzzle(), root);
    if (!shot) return;
    shot->catchUp = shotClock - dt;
    if (auto* missile = dynamic_cast<Missile*>(shot)) missile->SetTarget(GameObject::FromHandle(locked));
}

void Launcher::Update(float dt) {
    shotClock += dt;
    const LauncherClass& cls = Class();
    if (locked && !trigger && IsMuzzleAboveGround()) {
        if (shotClock > 0.0f) {
            // What the launcher fires and the ammunition for it (each kind's own test).
            if (CanFire()) {
                if (cls.fireSound[0]) {
                    char name[17] = {};
                    std::memcpy(name, cls.fireSound, sizeof cls.fireSound);
                    const int header = root && (root->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader;
                    Seam_Audio().soundPlay(name, entity, kFireSoundFlags, header);
                }
                if (ownerObject) ownerObject->AddAmmo(-cls.shotCost);
                Launch(dt);
            }
            locked = 0;
            lockProgress = 0.0f;
            lockStage = 0;
            shotClock -= cls.reloadTime;
        }
    } else if (shotClock > 0.0f) {
        shotClock = 0.0f;
    }
    trigger = 0;
}

uint32_t ImageLauncher::FindTarget(float) {
    GameObject* object = Image_FindTarget(Muzzle(), Class().lockRange, root);
    return object ? object->GetObjHandle() : 0;
}

void ImageLauncher::AddLock(uint32_t target, float dt) {
    const GameObject* object = GameObject::FromHandle(target);
    if (object && object->objClass) lockProgress += object->objClass->ImageSignature() * dt;
}

uint32_t ThermalLauncher::FindTarget(float) {
    GameObject* object = Thermal_FindTarget(Muzzle(), Class().lockRange, coneValue, root);
    return object ? object->GetObjHandle() : 0;
}

void ThermalLauncher::AddLock(uint32_t target, float dt) {
    const GameObject* object = GameObject::FromHandle(target);
    if (object && object->objClass) lockProgress += object->objClass->HeatSignature() * dt;
}

// ---- searches ---------------------------------------------------------------------------------

GameObject* Image_FindTarget(const Matrix& frame, float range, const Entity* owner) {
    if (!(range > 0.0f)) return nullptr;
    float t = 1.0f;
    Vector normal{};
    const Vector reach{frame.front.x * range, frame.front.y * range, frame.front.z * range};
    if (Terrain_RayCast(frame.posit.x, frame.posit.y, frame.posit.z, reach.x, reach.y, reach.z, &t, &normal) && t >= 0.0f &&
        t < 1.0f)
        range *= t;
    float best = range;
    GameObject* found = nullptr;
    ForEachNear(frame.posit, range, [&](GameObject* object) {
        if (object->entity == owner || (object->entity->flags & kEntityUntargetable)) return;
        const Vector local = InFrame(object->GetPosition(), frame);
        if (local.z < 0.0f || local.z > best) return;
        const float side = kSquareShare * object->radius;
        if (local.x * local.x + local.y * local.y > side * side) return;
        best = local.z;
        found = object;
    });
    return found;
}

float Thermal_Score(const Vector& local, float heat, float range) {
    const float d2 = local.x * local.x + local.y * local.y + local.z * local.z;
    if (!(d2 > 0.0f)) return 0.0f;
    const float c = local.z * local.z / d2;
    return std::pow(c, 32.0f) * heat * range * range / d2;
}

GameObject* Thermal_FindTarget(const Matrix& frame, float range, float lateralShare, const Entity* skip) {
    if (!(range > 0.0f)) return nullptr;
    GameObject* found = nullptr;
    float best = 0.0f;
    ForEachNear(frame.posit, range, [&](GameObject* object) {
        if ((skip && object->entity == skip) || (object->entity->flags & kEntityUntargetable)) return;
        const Vector local = InFrame(object->GetPosition(), frame);
        if (local.z < 0.0f || local.z > range) return;
        const float lat2 = local.x * local.x + local.y * local.y;
        const float d2 = lat2 + local.z * local.z;
        // An object at the seeker's own position has no direction to score.
        if (!(d2 > 0.0f)) return;
        const float side = kSquareShare * object->radius;
        if (lat2 > side * side && lat2 > lateralShare * d2) return;
        const float heat = object->objClass ? object->objClass->HeatSignature() : 1.0f;
        const float score = Thermal_Score(local, heat, range);
        if (score > best) {
            best = score;
            found = object;
        }
    });
    return found;
}

// ---- missiles ---------------------------------------------------------------------------------

MissileClass::MissileClass(const char* classLabel, uint32_t classSignature) : RocketClass(classLabel, classSignature) {
    ordIntParam = 10;
    reportHits = true;
    steerGainRead = 100.0f;
    steerGain = ordFloatParam > 0.0f ? steerGainRead / ordFloatParam : 0.0f;
}

MissileClass::MissileClass(MissileClass* from, const ClassName& name) : RocketClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfTurnRate, &turnRate, from->turnRate);
    odf.GetFloat(kOdfSteerGain, &steerGainRead, from->steerGainRead);
    // Without a shot speed there is nothing to pull toward.
    steerGain = ordFloatParam != 0.0f ? steerGainRead / ordFloatParam : 0.0f;
}

OrdnanceClass* MissileClass::ReadOdf(const ClassName& name) { return new MissileClass(this, name); }
Ordnance* MissileClass::MakeObject(Entity* entity) { return new Missile(entity, this); }
int MissileClass::StateSize(const uint8_t*, int size) { return size >= kMissileStateSize ? kMissileStateSize : -1; }

OrdnanceClass* ImageMissileClass::ReadOdf(const ClassName& name) { return new ImageMissileClass(this, name); }
Ordnance* ImageMissileClass::MakeObject(Entity* entity) { return new ImageMissile(entity, this); }

ThermalMissileClass::ThermalMissileClass(const char* classLabel, uint32_t classSignature)
    : MissileClass(classLabel, classSignature) {}

ThermalMissileClass::ThermalMissileClass(ThermalMissileClass* from, const ClassName& name) : MissileClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfLockAngle, &lockAngle, from->lockAngle);
}

OrdnanceClass* ThermalMissileClass::ReadOdf(const ClassName& name) { return new ThermalMissileClass(this, name); }
Ordnance* ThermalMissileClass::MakeObject(Entity* entity) { return new ThermalMissile(entity, this); }

void Missile::SetTarget(const GameObject* object) { target = object ? GameObject::GetObjHandle(object) : 0; }

GameObject* Missile::GetTarget() {
    GameObject* object = target ? GameObject::FromHandle(target) : nullptr;
    if (!object) target = 0;
    return object;
}

void Missile::Launch(const Matrix& matrix, Entity* shooter) {
    Rocket::Launch(matrix, shooter);
    if (shooter && (shooter->flags & kEntityUser)) g_userMissile = this;
    target = 0;
    turnRates = Vector{};
}

void Missile::Remove() {
    if (g_userMissile == this) g_userMissile = nullptr;
    Rocket::Remove();
}

void Missile::Update(float dt) {
    if (!Flying()) return;
    GameObject* object = GetTarget();
    turnRates = Vector{};
    if (!object || !(dt > 0.0f)) return;
    const Vector toward = Vec3_Sub(object->GetPosition(), PositionOf(entity));
    if (!(Vec3_Dot(toward, toward) > 0.0f)) return;
    const Vector d = Vec3_Normalize(toward);
    const Matrix& m = entity->local;
    float yaw = Vec3_Dot(m.right, d) / dt;
    float pitch = Vec3_Dot(m.up, d) / dt;
    const float rate = Class().turnRate;
    const float combined = pitch * pitch + yaw * yaw;
    if (combined > rate * rate) {
        const float k = rate / std::sqrt(combined);
        yaw *= k;
        pitch *= k;
    }
    turnRates = Vector{pitch, -yaw, 0.0f};
}

void Missile::Step(float dt) {
    if (Flying()) {
        const Matrix& m = entity->local;
        const float speed = ordnanceClass->ordFloatParam;
        const float pull = Class().steerGain * dt;
        Vector& v = motion.velocity;
        v.x += (speed * m.front.x - v.x) * pull;
        v.y += (speed * m.front.y - v.y) * pull;
        v.z += (speed * m.front.z - v.z) * pull;
        motion.speed = std::sqrt(Vec3_Dot(v, v));
        motion.invSpeed = motion.speed > 0.0f ? 1.0f / motion.speed : 1e30f;
        Matrix turned;
        Matrix_PreRotate(turned, entity->local, turnRates, dt);
        entity->local = turned;
    }
    Rocket::Step(dt);
}

int Missile::PackState(uint8_t* out, int room) {
    if (room < kMissileStateSize) return 0;
    const GameObject* object = target ? GameObject::FromHandle(target) : nullptr;
    Bytes_SetU32(out, object ? object->GetNetId() : 0);
    return kMissileStateSize;
}

int Missile::UnpackState(const uint8_t* in, int size) {
    if (size < kMissileStateSize) return -1;
    const uint32_t id = Bytes_U32(in);
    target = 0;
    if (id != 0)
        if (NetObject* object = Seam_Net().findObject(id)) SetTarget(GameObject_FromEntity(object->GetEntity()));
    return kMissileStateSize;
}

GameObject* ImageMissile::GetTarget() {
    GameObject* object = Missile::GetTarget();
    if (object && (object->entity->flags & kEntityUntargetable)) {
        target = 0;
        return nullptr;
    }
    return object;
}

GameObject* ThermalMissile::GetTarget() {
    const ThermalMissileClass& cls = *static_cast<ThermalMissileClass*>(ordnanceClass);
    Matrix frame = entity->local;
    if (GameObject* current = target ? GameObject::FromHandle(target) : nullptr) {
        const Vector toward = Vec3_Sub(current->GetPosition(), PositionOf(entity));
        if (Vec3_Dot(toward, toward) > 0.0f) frame = Matrix_FromPositionDirection(entity->local.posit, toward);
    }
    const float s = std::sin(cls.lockAngle);
    GameObject* winner = Thermal_FindTarget(frame, cls.ordFloatParam * cls.lifetime, s * s, nullptr);
    SetTarget(winner);
    return winner;
}
