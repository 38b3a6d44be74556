#include "weapons/explosion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/gamesettings.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "weapons/areablast.h"
#include "weapons/groundblast.h"

namespace {

// Definition keys of the explosion base.
constexpr uint32_t kOdfFirstFrame = 0x9c646a05;
constexpr uint32_t kOdfFrameCount = 0xe67274d5;
constexpr uint32_t kOdfSecondsPerFrame = 0xc7dc5ce9;
constexpr uint32_t kOdfInnerRadius = 0x18c612d2;
constexpr uint32_t kOdfExplosionSound = 0xa38eb173;
constexpr uint32_t kOdfOuterRadius = 0xb68798a6;
constexpr uint32_t kOdfDamage[4] = {0x5be2a777, 0x7c8a1300, 0x52fd4a53, 0x38720d72};
constexpr uint32_t kOdfPushStrength = 0x63c6a1be;

constexpr uint32_t kExplosionOwnerFlags = 0x70000;
constexpr uint32_t kExplosionSoundFlags = 0x1800;
constexpr int kExplosionSoundHeader = 50;

std::list<Explosion*>& LiveList() {
    static std::list<Explosion*> list;
    return list;
}

bool IsMoving(int32_t type) { return type == 1 || type == 3 || type == 4 || type == 6; }

Vector CentreOf(const Entity* e) {
    const DVector p = Matrix_TransformPoint(e->boundsCentre, e->local);
    return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

// Every live object whose handle the object grid holds within the square of half-side r and
// whose centre lies closer than sqrt(within2): fn(object, offset, d2). The dead flag is looked
// at only for objects in range (it lives on another record).
template <class Fn>
void ForEachObjectNear(const Vector& centre, float r, float within2, Fn&& fn) {
    BucketGrid* grid = GameObject_Grid();
    if (!grid) return;
    BucketGridQuery query;
    grid->Query(centre.x, centre.z, r, &query);
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* object = GameObject::FromHandleRaw(entry->value);
        if (!object) continue;
        const Vector p = object->GetPosition();
        const Vector offset{p.x - centre.x, p.y - centre.y, p.z - centre.z};
        const float d2 = offset.x * offset.x + offset.y * offset.y + offset.z * offset.z;
        if (!(d2 < within2) || (object->entity->flags & kEntityDead)) continue;
        fn(object, offset, d2);
    }
}

}  // namespace

// ---- explosion classes ----------------------------------------------------------------------

ExplosionClass::ExplosionClass(const char* classLabel, uint32_t classSignature) {
    InitPrototype(this, classLabel, classSignature);
    frameRate = std::bit_cast<float>(uint32_t{0x00800000});
}

ExplosionClass::ExplosionClass(ExplosionClass* from, const ClassName& name) {
    InitDerived(this, from, name);
    poolEntity = Entity_New(nullptr);
    std::memcpy(poolEntity->name, &odfName.words[0], 4);
    std::memcpy(poolEntity->name + 4, &odfName.words[1], 4);

    OdfFile odf(fileName);
    char spriteName[32];
    odf.GetString(kOdfFirstFrame, spriteName, sizeof spriteName, "");
    firstFrame = spriteName[0] ? Seam_Render().spriteFind(spriteName) : from->firstFrame;
    odf.GetInt(kOdfFrameCount, &frameCount, from->frameCount);
    if (frameCount < 1) frameCount = 1;
    float secondsPerFrame = 0.0f;
    odf.GetFloat(kOdfSecondsPerFrame, &secondsPerFrame, 1.0f / from->frameRate);
    frameRate = secondsPerFrame > 0.0f ? 1.0f / secondsPerFrame : secondsPerFrame;
    odf.GetFloat(kOdfInnerRadius, &innerRadius, from->innerRadius);
    odf.GetString(kOdfExplosionSound, explosionSound, sizeof explosionSound, from->explosionSound);
    odf.GetFloat(kOdfOuterRadius, &outerRadius, from->outerRadius);
    for (int i = 0; i < 4; ++i) odf.GetInt(kOdfDamage[i], &damage[i], from->damage[i]);
    odf.GetFloat(kOdfPushStrength, &pushStrength, from->pushStrength);
}

ExplosionClass::~ExplosionClass() {
    Unlist(this);
    // Releasing the pool releases the spent explosions under it, and their objects with them.
    if (poolEntity) Entity_Release(poolEntity);
    poolEntity = nullptr;
}

ExplosionClass* ExplosionClass::ReadOdf(const ClassName& name) { return new ExplosionClass(this, name); }

Explosion* ExplosionClass::MakeObject(Entity* entity) { return new Explosion(entity, this); }

Explosion* ExplosionClass::Build(const Matrix& matrix, Entity* owner) {
    Explosion* explosion = nullptr;
    if (poolEntity && poolEntity->child) {
        Entity* reused = poolEntity->child;
        Entity_Detach(reused);
        explosion = static_cast<Explosion*>(reused->classData);
    }
    if (!explosion) {
        Entity* e = Entity_New(nullptr);
        std::memcpy(e->name, &odfName.words[0], 4);
        std::memcpy(e->name + 4, &odfName.words[1], 4);
        e->type = kTypeExplosion;
        explosion = MakeObject(e);
        e->classData = explosion;
    }
    explosion->Start(matrix, owner);
    return explosion;
}

std::unique_ptr<ExplosionClass> Explosion_MakePrototype(const char* label, uint32_t signature) {
    if (auto blast = GroundBlast_MakePrototype(label, signature)) return blast;
    if (auto area = AreaBlast_MakeExplosionPrototype(label, signature)) return area;
    return std::make_unique<ExplosionClass>(label, signature);
}

void ExplosionClass::MakePrototypes() {
    for (const ClassLabel& row : Registration_ExplosionClasses())
        AddPrototype(Explosion_MakePrototype(row.label, row.signature));
}

void ExplosionClass_FreeAll() { ExplosionClass::FreeAll(); }

// ---- explosions -----------------------------------------------------------------------------

Explosion::Explosion(Entity* e, ExplosionClass* cls) : explosionClass(cls), entity(e) {}

Explosion::~Explosion() {
    if (listed_) LiveList().erase(listPosition_);
    listed_ = false;
}

void Explosion::Start(const Matrix& matrix, Entity* ownerEntity) {
    const ExplosionClass& cls = *explosionClass;
    entity->flags = ownerEntity ? ownerEntity->flags & kExplosionOwnerFlags : 0;
    entity->local = matrix;
    entity->boundsCentre = Vector{0.0f, 0.0f, 0.0f};
    entity->boundsRadius = cls.innerRadius;

    frame = static_cast<float>(cls.firstFrame);
    lastFrame = static_cast<float>(cls.firstFrame + cls.frameCount - 1);

    if (cls.explosionSound[0]) {
        char name[17] = {};
        std::memcpy(name, cls.explosionSound, sizeof cls.explosionSound);
        Seam_Audio().soundPlay(name, entity, kExplosionSoundFlags, kExplosionSoundHeader);
    }

    owner = ownerEntity;

    damageInfo = DamageInfo{};
    damageInfo.source = ownerEntity;
    damageInfo.carrier = entity;
    damageInfo.playerId = kNoPlayer;
    uint16_t kind = 0;
    if (ownerEntity) {
        if (ownerEntity->flags & (kEntityUser | 0x20)) kind |= kDamageUserSide;
        if (const GameObject* object = GameObject_FromEntity(ownerEntity)) {
            damageInfo.playerId = object->GetPlayerId();
            if (object->IsRemote()) kind |= kDamageExtraKind;
        }
    }
    float amount = 0.0f;
    for (int i = 0; i < 4; ++i) {
        if (cls.damage[i] != 0) kind |= static_cast<uint16_t>(1u << i);
        amount += static_cast<float>(cls.damage[i]);
    }
    damageInfo.kind = kind;
    damageInfo.amount = amount;

    pushLeft = cls.pushStrength;
    // The push runs out with the animation. An explosion whose frame rate is not positive ends
    // after its first update: its push must not grow meanwhile.
    pushDrain = cls.frameRate > 0.0f ? cls.pushStrength * cls.frameRate / static_cast<float>(cls.frameCount) : 0.0f;

    // Without an owner there is nothing to hold.
    if (ownerEntity) Entity_AddRefTree(ownerEntity);

    if (cls.outerRadius > 0.0f) {
        const Vector centre = CentreOf(entity);
        const float inner2 = cls.innerRadius * cls.innerRadius;
        const float outer2 = cls.outerRadius * cls.outerRadius;
        // Within the inner radius the full amount, even where it reaches past the outer one.
        ForEachObjectNear(centre, cls.outerRadius, std::max(inner2, outer2), [&](GameObject* object, Vector offset, float d2) {
            // Each object gets its own copy: damage handlers may scale the record they receive.
            DamageInfo hit = damageInfo;
            if (!(d2 < inner2)) hit.amount = damageInfo.amount * (outer2 - d2) / (outer2 - inner2);
            object->TakeDamage(&hit, &offset);
        });
    }

    if (!listed_) {
        LiveList().push_front(this);
        listPosition_ = LiveList().begin();
        listed_ = true;
    }
}

void Explosion::ReleaseOwner() {
    if (owner) Entity_Unref(owner);
    owner = nullptr;
}

void Explosion::Remove() {
    Entity_Detach(entity);
    if (explosionClass->poolEntity) Entity_AttachChild(entity, explosionClass->poolEntity);
    ReleaseOwner();
    if (listed_) LiveList().erase(listPosition_);
    listed_ = false;
}

void Explosion::Update(float dt) {
    const ExplosionClass& cls = *explosionClass;
    frame += cls.frameRate * dt;
    // A frame rate of 0 or less would never reach the last frame: such an explosion ends after
    // its first update, as a one-frame explosion does.
    if (frame >= lastFrame || !(cls.frameRate > 0.0f)) entity->flags |= kEntityDead;

    if (!(pushLeft > 0.0f)) return;
    const Vector centre = CentreOf(entity);
    const float inner2 = cls.innerRadius * cls.innerRadius;
    const float outer2 = cls.outerRadius * cls.outerRadius;
    // The noise depends on the time alone: worked out for the first object pushed, and shared by
    // every explosion of the frame.
    static float noiseTime = std::numeric_limits<float>::quiet_NaN();
    const float t = 2.0f * Clock_GetTime();
    static float noise[6] = {};
    ForEachObjectNear(centre, cls.outerRadius, outer2, [&](GameObject* object, Vector, float d2) {
        if (!IsMoving(object->entity->type)) return;
        if (t != noiseTime) {
            noise[0] = Noise_Gradient1D(t + 8.53f);
            noise[1] = Noise_Gradient1D(t + 17.67f);
            noise[2] = Noise_Gradient1D(t + 5.19f);
            noise[3] = Noise_Gradient1D(t);
            noise[4] = Noise_Gradient1D(t + 2.27f);
            noise[5] = Noise_Gradient1D(t + 23.41f);
            noiseTime = t;
        }
        const float strength =
            d2 < inner2 ? dt * pushLeft : dt * (outer2 - d2) * pushLeft / (outer2 - inner2);
        EntityDynamics& m = object->euler;
        m.angularVelocity.x += noise[0] * 2.0f * strength;
        m.angularVelocity.y += noise[1] * strength;
        m.angularVelocity.z += noise[2] * 2.0f * strength;
        Vector v = m.velocity;
        v.x += noise[3] * 5.0f * strength;
        v.y += noise[4] * 2.0f * strength;
        v.z += noise[5] * 5.0f * strength;
        object->SetVelocity(v);
    });
    pushLeft -= dt * pushDrain;
}

void Explosion::Render(RenderView* view) {
    const Vector c = CentreOf(entity);
    const float centre[3] = {c.x, c.y, c.z};
    Seam_Render().queueBillboard(view, centre, explosionClass->innerRadius, static_cast<int>(std::floor(frame)));
}

const std::list<Explosion*>& Explosion_LiveList() { return LiveList(); }

bool Explosion_GetDamageInfo(const Entity* entity, DamageInfo* out) {
    if (!entity || entity->type != kTypeExplosion || !entity->classData) return false;
    *out = static_cast<const Explosion*>(entity->classData)->damageInfo;
    return true;
}

void* Explosion_CreateClassData() { return nullptr; }

int Explosion_DeleteObject(void* classData) {
    delete static_cast<Explosion*>(classData);
    return 0;
}

// ---- the manager ----------------------------------------------------------------------------

void ExplosionManager::MissionSetup() {
    if (Game_Settings().flags & kSettingsRichExplosions) {
        stdExplosionBld = ExplosionClass::Find("xbldxpla");
        stdExplosionCar = ExplosionClass::Find("xcarxpla");
        stdExplosionSec = ExplosionClass::Find("xsecxpla");
        stdExplosionCarB = ExplosionClass::Find("xcarxplb");
        stdExplosionGndShk = ExplosionClass::Find("xgndshk");
    } else {
        stdExplosionBld = ExplosionClass::Find("xbldxpl");
        stdExplosionCar = ExplosionClass::Find("xcarxpl");
        stdExplosionSec = ExplosionClass::Find("xsecxpl");
        stdExplosionCarB = ExplosionClass::Find("xcarxpl");
        stdExplosionGndShk = nullptr;
    }
}

void ExplosionManager::MissionEnd() {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) (*it++)->ReleaseOwner();
}

void ExplosionManager::MissionCleanup() {
    auto& list = LiveList();
    while (!list.empty()) list.front()->Remove();
}

void ExplosionManager::Simulate(float frameTime) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Explosion* e = *it++;
        e->Update(frameTime);
        if (e->entity->flags & kEntityDead) e->Remove();
    }
}

void ExplosionManager::Render(RenderView* view) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) (*it++)->Render(view);
}

ExplosionManager& Explosion_Manager() {
    static ExplosionManager manager;
    return manager;
}

PhaseHook& ExplosionManager_Member() { return Explosion_Manager(); }

void ExplosionManager_ResetForTest() {
    ExplosionManager& m = Explosion_Manager();
    m.stdExplosionBld = m.stdExplosionCar = m.stdExplosionSec = m.stdExplosionCarB = m.stdExplosionGndShk = nullptr;
    for (Explosion* e : LiveList()) e->ForgetListing();
    LiveList().clear();
    ExplosionClass::Loaded().clear();
}
