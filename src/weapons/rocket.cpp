#include "weapons/rocket.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/gameobject.h"
#include "platform/random.h"
#include "weapons/effects.h"
#include "weapons/firedue.h"
#include "weapons/launcher.h"

namespace {

// Rocket keys.
constexpr uint32_t kOdfGlowWidth = 0x278d7166;
constexpr uint32_t kOdfGlowLength = 0xf7c7cb9c;
constexpr uint32_t kOdfGlowSprite = 0xb051e2db;
constexpr uint32_t kOdfGlowFrames = 0x5d27caba;
constexpr uint32_t kOdfFlareSize = 0x1ceb10c5;
constexpr uint32_t kOdfFlareSprite = 0x14e4e216;
constexpr uint32_t kOdfFlareFrames = 0x91cf383d;
constexpr uint32_t kOdfPuffSpread = 0xf3e8cfc6;
constexpr uint32_t kOdfPuffForward = 0x80c3efaa;
constexpr uint32_t kOdfPuffInherit = 0x40a86add;
constexpr uint32_t kOdfPuffSize = 0x8566cba4;
constexpr uint32_t kOdfPuffInterval = 0x01f6a810;
constexpr uint32_t kOdfPuffFrameRate = 0x078049c9;
constexpr uint32_t kOdfPuffSprite = 0x88f1ef89;
constexpr uint32_t kOdfPuffFrames = 0xdd33060c;
// Tracer keys.
constexpr uint32_t kOdfStreakSprite = 0xfd5bbc6f;
constexpr uint32_t kOdfStreakColour = 0xc74275c8;
constexpr uint32_t kOdfLineDistance = 0xbba723cc;
constexpr uint32_t kOdfStreakLength = 0x67d7c578;
constexpr uint32_t kOdfStreakWidth = 0x8069b6ca;
// Tag shot, tag gun and switcher keys.
constexpr uint32_t kOdfAttachTime = 0x43d9e250;
constexpr uint32_t kOdfTagSound = 0xe4cf54db;
constexpr uint32_t kOdfReloadTime = 0xd9356908;
constexpr uint32_t kOdfSalvoDelay = 0x16c2de34;
constexpr uint32_t kOdfSalvoInterval = 0xd76f37db;
constexpr uint32_t kOdfSalvoCount = 0x9260ea63;
constexpr uint32_t kOdfTrackingIcon = 0x04e2778a;
constexpr uint32_t kOdfLockedIcon = 0x748a8151;
constexpr uint32_t kOdfSwitchTime = 0x25401c88;

constexpr uint32_t kQuadFlags = 4;
constexpr float kSmokeGlowSize = 10.0f;
constexpr uint32_t kOneShotFlags = 2048;
constexpr uint32_t kLoopFlags = 2049;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;
constexpr int kMostSalvoShotsPerUpdate = 64;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }

int FindSprite(const OdfFile& odf, uint32_t key, int fallback) {
    char name[16];
    if (!odf.GetString(key, name, sizeof name, "")) return fallback;
    return name[0] ? Seam_Render().spriteFind(name) : 0;
}

void ToArray(const Vector& v, float out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// Two quads from the head back to the tail, one across each of the two side axes.
void QueueCrossedQuads(RenderView* view, const Vector& head, const Vector& tail, const Matrix& m, float halfWidth,
                       int sprite) {
    for (const Vector& axis : {m.right, m.up}) {
        const Vector side = Scale(axis, halfWidth);
        float corners[4][3];
        ToArray(Add(head, side), corners[0]);
        ToArray(Vec3_Sub(head, side), corners[1]);
        ToArray(Vec3_Sub(tail, side), corners[2]);
        ToArray(Add(tail, side), corners[3]);
        Seam_Render().queueQuad(view, corners, sprite, kQuadFlags);
    }
}

bool SphereVisible(RenderView* view, const Vector& centre, float radius, float* depth) {
    float c[3];
    ToArray(centre, c);
    float d = 0.0f;
    if (!Seam_Render().sphereViewDepth(view, c, radius, &d)) return false;
    if (depth) *depth = d;
    return true;
}

int SoundHeaderOf(const Weapon& w) { return w.root && (w.root->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader; }

void SoundName(const char* field, char out[17]) {
    std::memset(out, 0, 17);
    std::memcpy(out, field, 16);
}

}  // namespace

Matrix Rocket_RelativeTo(const Matrix& a, const Matrix& b) {
    Matrix inverse;
    Matrix_Invert(inverse, b);
    Matrix relative;
    Matrix_Multiply(relative, a, inverse);
    return relative;
}

// ---- prototypes -------------------------------------------------------------------------------

std::unique_ptr<OrdnanceClass> Rocket_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "rocket") == 0) return std::make_unique<RocketClass>(label, signature);
    if (std::strcmp(label, "tracer") == 0) return std::make_unique<TracerClass>(label, signature);
    if (std::strcmp(label, "targeting") == 0) return std::make_unique<TargetingRocketClass>(label, signature);
    if (std::strcmp(label, "switcher") == 0) return std::make_unique<SwitcherClass>(label, signature);
    return Launcher_MakeOrdnancePrototype(label, signature);
}

std::unique_ptr<WeaponClass> Rocket_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "targeting") == 0) return std::make_unique<TargetingGunClass>(label, signature);
    return Launcher_MakeWeaponPrototype(label, signature);
}

// ---- rockets ----------------------------------------------------------------------------------

RocketClass::RocketClass(const char* classLabel, uint32_t classSignature) : BulletClass(classLabel, classSignature) {
    puffInterval = ordFloatParam > 0.0f ? puffSize / ordFloatParam : 0.0f;
}

RocketClass::RocketClass(RocketClass* from, const ClassName& name) : BulletClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfGlowWidth, &glowWidth, from->glowWidth);
    odf.GetFloat(kOdfGlowLength, &glowLength, from->glowLength);
    glowSprite = FindSprite(odf, kOdfGlowSprite, from->glowSprite);
    odf.GetInt(kOdfGlowFrames, &glowFrames, from->glowFrames);
    odf.GetFloat(kOdfFlareSize, &flareSize, from->flareSize);
    flareSprite = FindSprite(odf, kOdfFlareSprite, from->flareSprite);
    odf.GetInt(kOdfFlareFrames, &flareFrames, from->flareFrames);
    odf.GetFloat(kOdfPuffSpread, &puffSpread, from->puffSpread);
    odf.GetFloat(kOdfPuffForward, &puffForward, from->puffForward);
    odf.GetFloat(kOdfPuffInherit, &puffInherit, from->puffInherit);
    odf.GetFloat(kOdfPuffSize, &puffSize, from->puffSize);
    odf.GetFloat(kOdfPuffInterval, &puffInterval, from->puffInterval);
    // The file gives seconds per frame; a value that is not above 0 keeps the inherited rate
    // (a puff with no frame rate would never end).
    float secondsPerFrame = 0.0f;
    puffFrameRate = from->puffFrameRate;
    if (odf.GetFloat(kOdfPuffFrameRate, &secondsPerFrame, 0.0f) && secondsPerFrame > 0.0f)
        puffFrameRate = 1.0f / secondsPerFrame;
    puffSprite = FindSprite(odf, kOdfPuffSprite, from->puffSprite);
    odf.GetInt(kOdfPuffFrames, &puffFrames, from->puffFrames);
}

OrdnanceClass* RocketClass::ReadOdf(const ClassName& name) { return new RocketClass(this, name); }
Ordnance* RocketClass::MakeObject(Entity* entity) { return new Rocket(entity, this); }

ParticleKind* RocketClass::TrailKind() {
    // A kind whose first sprite is 0 would read as a free slot of the table, and draws nothing.
    if (puffFrames <= 0 || puffSprite == 0) return nullptr;
    if (!trailKind_ || trailGeneration_ != EffectList::Generation()) {
        trailKind_ = EffectList::Add(puffSprite, puffFrames, puffFrameRate, puffSize, 1.0f);
        trailGeneration_ = EffectList::Generation();
    }
    return trailKind_;
}

Rocket::Rocket(Entity* e, OrdnanceClass* cls) : Bullet(e, cls) {
    if (Class().puffFrames > 0) trailEmitter = Class().TrailKind();
}

bool Rocket::Flying() const { return entity && (entity->flags & kRocketFlying); }

void Rocket::Launch(const Matrix& matrix, Entity* shooter) {
    Bullet::Launch(matrix, shooter);
    entity->flags |= kRocketFlying;
    trailClock = 0.0f;
}

void Rocket::Remove() {
    entity->flags &= ~kRocketFlying;
    Bullet::Remove();
}

void Rocket::Step(float dt) {
    const float remaining = std::max(lifeLeft, 0.0f);
    Bullet::Step(dt);
    if (!Flying()) return;
    RocketClass& cls = Class();
    const Vector position = PositionOf(entity);
    trailEmitter = cls.puffFrames > 0 ? cls.TrailKind() : nullptr;
    if (!trailEmitter) return;
    // Only the part of the frame the rocket was alive for leaves puffs.
    if (dt > 0.0f) trailClock += std::min(dt, remaining);
    const Matrix& m = entity->local;
    const Vector velocity = motion.velocity;
    const Vector tailOffset = Scale(m.front, cls.glowLength);
    // Puffs fall due along the path: each is placed where the rocket was when it fell due and
    // starts with the age it would have had.
    float clock = -trailClock;
    FireDue(clock, cls.puffInterval, kRocketMostPuffsPerStep, [&] {
        const float age = -clock;
        const Vector at = Vec3_Sub(Vec3_Sub(position, Scale(velocity, age)), tailOffset);
        const float r1 = RandomTable_Next(), r2 = RandomTable_Next(), r3 = RandomTable_Next();
        Vector puff = Scale(m.right, cls.puffSpread * r1);
        puff = Add(puff, Scale(m.up, cls.puffSpread * r2));
        puff = Add(puff, Scale(m.front, cls.puffForward * r3));
        puff = Add(puff, Scale(velocity, cls.puffInherit));
        ParticleBuffer_Add(*trailEmitter, at, puff, age);
    });
    // What is still due past the most puffs of one step is dropped.
    trailClock = clock < -kFireDueTolerance ? 0.0f : -clock;
}

void Rocket::Render(RenderView* view) {
    if (!Flying()) return;
    const RocketClass& cls = Class();
    const Matrix& m = entity->local;
    const Vector position = PositionOf(entity);
    if (cls.glowFrames > 0) {
        const Vector tail = Vec3_Sub(position, Scale(m.front, cls.glowLength));
        const Vector mid = Scale(Add(position, tail), 0.5f);
        if (SphereVisible(view, mid, cls.glowLength * 0.5f + cls.glowWidth, nullptr)) {
            const int frame = cls.glowSprite + Random_Next() % cls.glowFrames;
            QueueCrossedQuads(view, position, tail, m, cls.glowWidth, frame);
        }
        // The smoke sprite around the glow is drawn at a place in the view, so it is queued
        // here, where the view is known, rather than as the rocket steps.
        float at[3], inView[3];
        ToArray(position, at);
        RenderSeam& render = Seam_Render();
        if (render.viewPoint(view, at, inView) && inView[2] > 0.0f) render.smokeQueuePuff(inView, kSmokeGlowSize);
    }
    if (cls.flareFrames > 0 && SphereVisible(view, position, cls.flareSize, nullptr)) {
        const int frame = cls.flareSprite + Random_Next() % cls.flareFrames;
        float at[3];
        ToArray(position, at);
        Seam_Render().queueBillboard(view, at, cls.flareSize, frame);
    }
}

// ---- tracer -----------------------------------------------------------------------------------

TracerClass::TracerClass(const char* classLabel, uint32_t classSignature) : BulletClass(classLabel, classSignature) {
    streakColour = kRenderDefaultLineColour;
}

TracerClass::TracerClass(TracerClass* from, const ClassName& name) : BulletClass(from, name) {
    OdfFile odf(fileName);
    streakSprite = FindSprite(odf, kOdfStreakSprite, from->streakSprite);
    int colour = 0;
    streakColour = odf.GetInt(kOdfStreakColour, &colour, 0) ? static_cast<uint32_t>(colour) : from->streakColour;
    odf.GetFloat(kOdfLineDistance, &lineDistance, from->lineDistance);
    odf.GetFloat(kOdfStreakLength, &streakLength, from->streakLength);
    odf.GetFloat(kOdfStreakWidth, &streakWidth, from->streakWidth);
}

OrdnanceClass* TracerClass::ReadOdf(const ClassName& name) { return new TracerClass(this, name); }
Ordnance* TracerClass::MakeObject(Entity* entity) { return new Tracer(entity, this); }

void Tracer::Launch(const Matrix& matrix, Entity* shooter) {
    Bullet::Launch(matrix, shooter);
    start = PositionOf(entity);
    travelled = 0.0f;
}

void Tracer::Step(float dt) {
    Bullet::Step(dt);
    travelled = Vec3_Dot(Vec3_Sub(PositionOf(entity), start), entity->local.front);
}

void Tracer::Render(RenderView* view) {
    const TracerClass& cls = *static_cast<TracerClass*>(ordnanceClass);
    const float length = std::min(cls.streakLength, travelled);
    if (!(length > 0.0f)) return;
    const Matrix& m = entity->local;
    const Vector head = PositionOf(entity);
    const Vector tail = Vec3_Sub(head, Scale(m.front, length));
    float depth = 0.0f;
    if (!SphereVisible(view, Scale(Add(head, tail), 0.5f), cls.streakLength * 0.5f, &depth)) return;
    if (depth > cls.lineDistance) {
        float from[3], to[3];
        ToArray(head, from);
        ToArray(tail, to);
        Seam_Render().queueLine(view, from, to, kTracerDefaultLineWidth, cls.streakColour);
    } else {
        QueueCrossedQuads(view, head, tail, m, cls.streakWidth, cls.streakSprite);
    }
}

// ---- tag shot ---------------------------------------------------------------------------------

TargetingRocketClass::TargetingRocketClass(const char* classLabel, uint32_t classSignature)
    : RocketClass(classLabel, classSignature) {}

TargetingRocketClass::TargetingRocketClass(TargetingRocketClass* from, const ClassName& name) : RocketClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfAttachTime, &attachTime, from->attachTime);
}

OrdnanceClass* TargetingRocketClass::ReadOdf(const ClassName& name) { return new TargetingRocketClass(this, name); }
Ordnance* TargetingRocketClass::MakeObject(Entity* entity) { return new TargetingRocket(entity, this); }

void TargetingRocket::Launch(const Matrix& matrix, Entity* shooter) {
    Rocket::Launch(matrix, shooter);
    attached = 0;
    gun = nullptr;
}

void TargetingRocket::Remove() {
    if (gun && gun->tag == this) gun->tag = nullptr;
    gun = nullptr;
    attached = 0;
    Rocket::Remove();
}

void TargetingRocket::Hit(Entity* hitEntity, const Vector& normal) {
    Rocket::Hit(hitEntity, normal);
    GameObject* object = hitEntity ? GameObject_FromEntity(hitEntity) : nullptr;
    if (!object || !object->entity) return;
    entity->flags &= ~kEntityDead;
    lifeLeft = static_cast<TargetingRocketClass*>(ordnanceClass)->attachTime;
    attached = object->GetObjHandle();
    relative = Rocket_RelativeTo(entity->local, object->entity->local);
}

void TargetingRocket::Step(float dt) {
    if (!attached) {
        Rocket::Step(dt);
        return;
    }
    lifeLeft -= dt;
    GameObject* object = GameObject::FromHandle(attached);
    if (lifeLeft > 0.0f && object && object->entity) {
        Matrix_Multiply(entity->local, relative, object->entity->local);
        return;
    }
    attached = 0;
    entity->flags |= kEntityDead;
}

// ---- tag-and-salvo gun ------------------------------------------------------------------------

TargetingGunClass::TargetingGunClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "whmgun.wav", sizeof fireSound);
    std::strncpy(tagSound, "h45ch.wav", sizeof tagSound);
}

TargetingGunClass::TargetingGunClass(TargetingGunClass* from, const ClassName& name) : WeaponClass(from, name) {
    // One definition file serves the gun and its tag: the tag is the ordnance of the gun's name.
    tagClass = OrdnanceClass::Find(nameText);
    OdfFile odf(fileName);
    odf.GetString(kOdfTagSound, tagSound, sizeof tagSound, from->tagSound);
    odf.GetFloat(kOdfReloadTime, &reloadTime, from->reloadTime);
    odf.GetFloat(kOdfSalvoDelay, &salvoDelay, from->salvoDelay);
    odf.GetFloat(kOdfSalvoInterval, &salvoInterval, from->salvoInterval);
    odf.GetInt(kOdfSalvoCount, &salvoCount, from->salvoCount);
    if (salvoCount < 0) salvoCount = 0;
    trackingIcon = FindSprite(odf, kOdfTrackingIcon, from->trackingIcon);
    lockedIcon = FindSprite(odf, kOdfLockedIcon, from->lockedIcon);
}

WeaponClass* TargetingGunClass::ReadOdf(const ClassName& name) { return new TargetingGunClass(this, name); }
Weapon* TargetingGunClass::MakeObject(Entity* entity) { return new TargetingGun(entity, this); }

TargetingGun::TargetingGun(Entity* e, TargetingGunClass* cls) : Weapon(e, cls) {}

TargetingGun::~TargetingGun() {
    if (tag && tag->gun == this) tag->gun = nullptr;
}

void TargetingGun::StopLoop() {
    if (!salvoLoop) return;
    Seam_Audio().soundStopAttached(entity);
    salvoLoop = nullptr;
}

bool TargetingGun::CanFire() {
    const OrdnanceClass* shot = salvoLeft > 0 ? ordnanceClass : Class().tagClass;
    if (!shot) return false;
    return (ownerObject ? ownerObject->curAmmo : 0) >= shot->ordIntParam;
}

void TargetingGun::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void TargetingGun::ReleaseTrigger() { trigger = 0; }
bool TargetingGun::IsTriggerDown() { return trigger != 0; }

void TargetingGun::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
    const TargetingGunClass& cls = Class();
    if (!tag) {
        sprite2 = cls.sprite2;
        return;
    }
    GameObject* on = tag->attached ? GameObject::FromHandle(tag->attached) : nullptr;
    if (!on) {
        sprite2 = cls.trackingIcon;
        lastTarget = 0;
        return;
    }
    sprite2 = cls.lockedIcon;
    if (tag->attached != lastTarget) {
        // A new target re-arms a full salvo with a fresh delay.
        lastTarget = tag->attached;
        salvoLeft = cls.salvoCount;
        fireClock = -cls.salvoDelay;
    }
}

void TargetingGun::Update(float dt) {
    const TargetingGunClass& cls = Class();
    fireClock += dt;
    if (salvoLeft > 0 && IsMuzzleAboveGround()) {
        GameObject* target = GameObject::FromHandle(lastTarget);
        float clock = -fireClock;
        int fired = 0;
        auto fire = [&] {
            const int32_t cost = ordnanceClass ? ordnanceClass->ordIntParam : 0;
            if (!ordnanceClass || (ownerObject ? ownerObject->curAmmo : 0) < cost) {
                salvoLeft = 0;  // out of ammunition: the salvo ends without a word
                return;
            }
            if (!salvoLoop && cls.fireSound[0]) {
                char name[17];
                SoundName(cls.fireSound, name);
                salvoLoop = Seam_Audio().soundPlay(name, entity, kLoopFlags, SoundHeaderOf(*this));
            }
            if (ownerObject) ownerObject->AddAmmo(-cost);
            const float overdue = -clock;
            Ordnance* shot = ordnanceClass->Build(MuzzleWhenDue(overdue, ownerObject), root);
            if (shot) {
                if (auto* missile = dynamic_cast<Missile*>(shot)) missile->SetTarget(target);
                shot->catchUp = overdue - dt;
            }
            --salvoLeft;
        };
        while (salvoLeft > 0 && fired < kMostSalvoShotsPerUpdate && FireDue(clock, cls.salvoInterval, 1, fire) == 1)
            ++fired;
        fireClock = -clock;
        if (salvoLeft <= 0) {
            salvoLeft = 0;
            fireClock -= cls.reloadTime;
        } else if (fired == kMostSalvoShotsPerUpdate && fireClock > 0.0f) {
            fireClock = 0.0f;
        }
        return;
    }
    if (trigger && IsMuzzleAboveGround()) {
        StopLoop();
        const OrdnanceClass* tagClass = cls.tagClass;
        if (!tag && fireClock > 0.0f && tagClass && (ownerObject ? ownerObject->curAmmo : 0) >= tagClass->ordIntParam) {
            if (cls.tagSound[0]) {
                char name[17];
                SoundName(cls.tagSound, name);
                Seam_Audio().soundPlay(name, entity, kOneShotFlags, SoundHeaderOf(*this));
            }
            if (ownerObject) ownerObject->AddAmmo(-tagClass->ordIntParam);
            Matrix muzzle;
            Matrix_Multiply(muzzle, entity->local, mountMatrix);
            Ordnance* shot = cls.tagClass->Build(muzzle, root);
            if (shot) {
                shot->catchUp = fireClock - dt;
                if (auto* t = dynamic_cast<TargetingRocket*>(shot)) {
                    t->gun = this;
                    tag = t;
                }
            }
            fireClock -= cls.reloadTime;
        }
        trigger = 0;
        return;
    }
    if (fireClock > 0.0f) fireClock = 0.0f;
    StopLoop();
}

Vector* TargetingGun::GetAimPoint(Vector* result, GameObject* target) {
    if (!result || !target) return result;
    // While a salvo is on its way the gun points straight at the target it tagged.
    const OrdnanceClass* tagClass = Class().tagClass;
    *result = salvoLeft > 0 || !tagClass ? target->GetPosition()
                                         : Weapon_LeadPoint(mountMatrix, target, tagClass->ordFloatParam);
    return result;
}

// ---- team switcher ----------------------------------------------------------------------------

SwitcherClass::SwitcherClass(const char* classLabel, uint32_t classSignature) : RocketClass(classLabel, classSignature) {}

SwitcherClass::SwitcherClass(SwitcherClass* from, const ClassName& name) : RocketClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfSwitchTime, &switchTime, from->switchTime);
}

OrdnanceClass* SwitcherClass::ReadOdf(const ClassName& name) { return new SwitcherClass(this, name); }
Ordnance* SwitcherClass::MakeObject(Entity* entity) { return new Switcher(entity, this); }

void Switcher::Launch(const Matrix& matrix, Entity* shooter) {
    Rocket::Launch(matrix, shooter);
    shooterTeam = homeTeam = static_cast<int32_t>((entity->flags >> 16) & 7);
    attached = 0;
}

void Switcher::Hit(Entity* hitEntity, const Vector& normal) {
    Rocket::Hit(hitEntity, normal);
    GameObject* object = hitEntity ? GameObject_FromEntity(hitEntity) : nullptr;
    if (!object || !object->entity || !object->aiProcess) return;
    entity->flags &= ~kEntityDead;
    lifeLeft = static_cast<SwitcherClass*>(ordnanceClass)->switchTime;
    attached = object->GetObjHandle();
    relative = Rocket_RelativeTo(entity->local, object->entity->local);
}

void Switcher::Step(float dt) {
    if (!attached) {
        Rocket::Step(dt);
        return;
    }
    GameObject* object = GameObject::FromHandle(attached);
    if (!object || !object->entity) {
        // The object is gone: it keeps whatever team it had.
        attached = 0;
        entity->flags |= kEntityDead;
        return;
    }
    Matrix_Multiply(entity->local, relative, object->entity->local);
    if (object->GetTeam() != shooterTeam) {
        homeTeam = object->GetTeam();
        object->ChangeTeam(shooterTeam);
    }
    lifeLeft -= dt;
    if (lifeLeft <= 0.0f) {
        object->ChangeTeam(homeTeam);
        attached = 0;
        entity->flags |= kEntityDead;
        return;
    }
    entity->flags &= ~kEntityDead;
}
