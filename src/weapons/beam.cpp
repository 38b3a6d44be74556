#include "weapons/beam.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "core/registration.h"
#include "core/clock.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/gameobject.h"
#include "weapons/chargegun.h"

namespace {

// Beam and bolt keys.
constexpr uint32_t kOdfBeamWidth = 0x74A4CC84;
constexpr uint32_t kOdfSegmentLength = 0x97BF6BF2;
constexpr uint32_t kOdfJitter = 0xC01FEDB1;
constexpr uint32_t kOdfBeamSprite = 0xE30FE0E9;
constexpr uint32_t kOdfShowTime = 0xDEE99D9C;
// Flame puff keys.
constexpr uint32_t kOdfPuffSize = 0x278D7166;
constexpr uint32_t kOdfFrameTime = 0xC7DC5CE9;
constexpr uint32_t kOdfFirstFrame = 0xB051E2DB;
constexpr uint32_t kOdfFrameCount = 0x5D27CABA;

constexpr uint32_t kQuadFlags = 4;
constexpr uint32_t kLoopFlags = 2049;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;
constexpr uint32_t kReliable = 1;
constexpr uint32_t kBeamSignature = Signature("BEAM");

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
void ToArray(const Vector& v, float out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// A sprite named by a key: the fallback when the key is absent, none when its name is empty.
int FindSprite(const OdfFile& odf, uint32_t key, int fallback) {
    char name[16];
    if (!odf.GetString(key, name, sizeof name, "")) return fallback;
    return name[0] ? Seam_Render().spriteFind(name) : 0;
}

// Two quads from a to b, one across each of the two side axes of the placement.
void QueueCrossedQuads(RenderView* view, const Vector& a, const Vector& b, const Matrix& m, float halfWidth, int sprite) {
    for (const Vector& axis : {m.right, m.up}) {
        const Vector side = Scale(axis, halfWidth);
        float corners[4][3];
        ToArray(Add(a, side), corners[0]);
        ToArray(Vec3_Sub(a, side), corners[1]);
        ToArray(Vec3_Sub(b, side), corners[2]);
        ToArray(Add(b, side), corners[3]);
        Seam_Render().queueQuad(view, corners, sprite, kQuadFlags);
    }
}

// The jagged streak from `from` to `to` in steps of the class's segment length (the last one
// shorter); every point between moves sideways by the jitter times the next two values of the
// shared random table. Each segment is culled by itself. A walk longer than the most segments
// is cut into that many equal steps.
void RenderStreak(RenderView* view, const BeamClass& cls, const Matrix& m, const Vector& from, const Vector& to,
                  float halfWidth, float cullRadius) {
    const Vector d = Vec3_Sub(to, from);
    const float length = std::sqrt(Vec3_Dot(d, d));
    if (!(length > 0.0f)) return;
    const Vector direction = Scale(d, 1.0f / length);
    int segments = 1;
    float step = length;
    if (cls.segmentLength > 0.0f) {
        const float wanted = std::ceil(length / cls.segmentLength);
        if (wanted > static_cast<float>(kStreakMostSegments)) {
            segments = kStreakMostSegments;
            step = length / static_cast<float>(segments);
        } else {
            segments = std::max(1, static_cast<int>(wanted));
            step = cls.segmentLength;
        }
    }
    Vector a = from;
    for (int i = 1; i <= segments; ++i) {
        Vector b = to;
        if (i < segments) {
            b = Add(from, Scale(direction, step * static_cast<float>(i)));
            if (cls.jitter > 0.0f) {
                const float r1 = RandomTable_Next(), r2 = RandomTable_Next();
                b = Add(b, Scale(Add(Scale(m.right, r1), Scale(m.up, r2)), cls.jitter));
            }
        }
        float mid[3];
        ToArray(Scale(Add(a, b), 0.5f), mid);
        float depth = 0.0f;
        if (Seam_Render().sphereViewDepth(view, mid, cullRadius, &depth)) QueueCrossedQuads(view, a, b, m, halfWidth, cls.beamSprite);
        a = b;
    }
}

int SoundHeaderOf(const Weapon& w) { return w.root && (w.root->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader; }

// The whole reach of a streak at once: from start along the shot's velocity for lifetime seconds,
// stopped by the ground and then by the nearest object before that. The shot's entity is moved to
// the far end and struck there (by the object when one is met, else by the ground).
void StrikeAlong(Bullet& shot, const Vector& start, float lifetime) {
    const Vector& v = shot.motion.velocity;
    float t = lifetime;
    Vector normal{0.0f, 1.0f, 0.0f};
    bool ground = false;
    float rayT = t;
    Vector hitNormal{};
    if (t > 0.0f && Terrain_RayCast(start.x, start.y, start.z, v.x, v.y, v.z, &rayT, &hitNormal)) {
        ground = true;
        t = rayT;
        normal = hitNormal;
    }
    Vector end = Add(start, Scale(v, t));
    Vector objectNormal{};
    GameObject* object = shot.FindHit(start, t, end, objectNormal);
    shot.entity->local.posit = DVector{end.x, end.y, end.z};
    if (object)
        shot.Hit(object->entity, objectNormal);
    else if (ground)
        shot.Hit(nullptr, normal);
}

}  // namespace

// ---- prototypes -------------------------------------------------------------------------------

std::unique_ptr<OrdnanceClass> Beam_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "beam") == 0) return std::make_unique<BeamClass>(label, signature);
    if (std::strcmp(label, "bolt") == 0) return std::make_unique<BoltClass>(label, signature);
    if (std::strcmp(label, "flamepuff") == 0) return std::make_unique<FlamePuffClass>(label, signature);
    return nullptr;
}

std::unique_ptr<WeaponClass> Beam_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "beamgun") == 0) return std::make_unique<BeamGunClass>(label, signature);
    if (std::strcmp(label, "chargegun") == 0) return std::make_unique<ChargeGunClass>(label, signature);
    return nullptr;
}

// ---- beam and bolt classes --------------------------------------------------------------------

BeamClass::BeamClass(const char* classLabel, uint32_t classSignature) : BulletClass(classLabel, classSignature) {
    lifetime = 0.0002f;
    ordFloatParam = 1000000.0f;
    ordIntParam = 10;
    damage[0] = 100;
}

BeamClass::BeamClass(BeamClass* from, const ClassName& name) : BulletClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfBeamWidth, &beamWidth, from->beamWidth);
    odf.GetFloat(kOdfSegmentLength, &segmentLength, from->segmentLength);
    odf.GetFloat(kOdfJitter, &jitter, from->jitter);
    beamSprite = FindSprite(odf, kOdfBeamSprite, from->beamSprite);
}

OrdnanceClass* BeamClass::ReadOdf(const ClassName& name) { return new BeamClass(this, name); }
Ordnance* BeamClass::MakeObject(Entity* entity) { return new Beam(entity, this); }
int BeamClass::StateSize(const uint8_t*, int size) { return size >= 1 ? 1 : -1; }

float BeamClass::CullRadius() const {
    return std::sqrt(beamWidth * beamWidth + segmentLength * segmentLength / 4.0f + jitter * jitter);
}

bool BeamClass::HasShape() const { return templateEntity && templateEntity->geomList.count > 0; }

BoltClass::BoltClass(const char* classLabel, uint32_t classSignature) : BeamClass(classLabel, classSignature) {
    lifetime = 1.0f;
    ordFloatParam = 200.0f;
    jitter = 0.5f;
}

BoltClass::BoltClass(BoltClass* from, const ClassName& name) : BeamClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfShowTime, &showTime, from->showTime);
}

OrdnanceClass* BoltClass::ReadOdf(const ClassName& name) { return new BoltClass(this, name); }
Ordnance* BoltClass::MakeObject(Entity* entity) { return new Bolt(entity, this); }
int BoltClass::StateSize(const uint8_t*, int) { return 0; }

// ---- beam -------------------------------------------------------------------------------------

Beam::~Beam() {
    if (gun && gun->beam == this) gun->beam = nullptr;
    gun = nullptr;
}

void Beam::Launch(const Matrix& matrix, Entity* shooter) {
    Bullet::Launch(matrix, shooter);
    start = PositionOf(entity);
    cullRadius = Class().CullRadius();
    if (!Class().HasShape()) entity->boundsRadius = Class().beamWidth;
    mountSlot = -1;
    gun = nullptr;
    catchUp = -Clock_GetFrameTime();
}

void Beam::Remove() {
    if (gun && gun->beam == this) gun->beam = nullptr;
    gun = nullptr;
    Bullet::Remove();
}

void Beam::Update(float) {}

void Beam::Step(float dt) {
    if (IsDead()) return;
    const BeamClass& cls = Class();
    float sum = 0.0f;
    for (int32_t d : cls.damage) sum += static_cast<float>(d);
    damageInfo.amount = sum * dt;

    GameObject* shooter = owner ? GameObject_FromEntity(owner) : nullptr;
    Weapon* weapon = nullptr;
    if (mountSlot >= 0 && mountSlot < kHardpointCount && shooter && shooter->hardpoints)
        weapon = shooter->hardpoints->weapons[mountSlot];
    if (!weapon || !weapon->entity) {
        entity->flags |= kEntityDead;
        NetSeam& net = Seam_Net();
        if (net.isNetworkGame() && netPlayer != kNoPlayer && netPlayer == net.localPlayerId()) {
            uint8_t message[kBeamEndMessageSize] = {'i', 'o'};
            message[2] = static_cast<uint8_t>(netPlayer & 0xFF);
            message[3] = static_cast<uint8_t>(netPlayer >> 8);
            message[4] = static_cast<uint8_t>(netSerial & 0xFF);
            message[5] = static_cast<uint8_t>(netSerial >> 8);
            net.sendReliable(0, kReliable, message, kBeamEndMessageSize);
        }
        return;
    }

    Matrix_Multiply(entity->local, weapon->entity->local, weapon->mountMatrix);
    const float speed = cls.ordFloatParam;
    motion.velocity = Scale(entity->local.front, speed);
    motion.speed = speed;
    motion.invSpeed = speed > 0.0f ? 1.0f / speed : 1e30f;
    start = PositionOf(entity);
    StrikeAlong(*this, start, cls.lifetime);
    // A beam lives on after its hits: only its gun lets it go.
    entity->flags &= ~kEntityDead;
}

void Beam::Render(RenderView* view) {
    const BeamClass& cls = Class();
    RenderStreak(view, cls, entity->local, start, PositionOf(entity), cls.beamWidth, cullRadius);
}

int Beam::PackState(uint8_t* out, int room) {
    if (room < 1) return 0;
    out[0] = static_cast<uint8_t>(mountSlot);
    return 1;
}

int Beam::UnpackState(const uint8_t* in, int size) {
    if (size < 1) return -1;
    const int slot = static_cast<int8_t>(in[0]);
    mountSlot = static_cast<int8_t>(slot >= 0 && slot < kHardpointCount ? slot : -1);
    return 1;
}

// ---- bolt -------------------------------------------------------------------------------------

uint8_t Bolt::ShapeSeed(uint16_t netId) {
    uint32_t x = netId;
    x ^= x << 13;
    x ^= x >> 4;
    x ^= x << 5;
    return static_cast<uint8_t>(x & 0xFF);
}

void Bolt::Launch(const Matrix& matrix, Entity* shooter) {
    Bullet::Launch(matrix, shooter);
    const BoltClass& cls = Class();
    start = PositionOf(entity);
    cullRadius = cls.CullRadius();
    // The peers see the bolt in the next object update, not when the budget next allows.
    Seam_Net().forceObjectUpdate();

    StrikeAlong(*this, start, cls.lifetime);
    entity->flags &= ~kEntityDead;
    lifeLeft = cls.showTime;
}

void Bolt::Update(float dt) {
    lifeLeft -= dt;
    if (lifeLeft <= 0.0f) entity->flags |= kEntityDead;
}

void Bolt::Step(float) {}

void Bolt::Render(RenderView* view) {
    const BoltClass& cls = Class();
    float width = cls.beamWidth;
    if (cls.showTime > 0.0f) width = cls.beamWidth * std::max(lifeLeft, 0.0f) / cls.showTime;
    // Seeded from its own id, a bolt draws the same shape every frame.
    RandomTable_SetIndex(ShapeSeed(netSerial));
    RenderStreak(view, cls, entity->local, start, PositionOf(entity), width, cullRadius);
}

// ---- flame puff -------------------------------------------------------------------------------

FlamePuffClass::FlamePuffClass(const char* classLabel, uint32_t classSignature) : BulletClass(classLabel, classSignature) {}

FlamePuffClass::FlamePuffClass(FlamePuffClass* from, const ClassName& name) : BulletClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfPuffSize, &puffSize, from->puffSize);
    odf.GetFloat(kOdfFrameTime, &frameTime, from->frameTime);
    firstFrame = FindSprite(odf, kOdfFirstFrame, from->firstFrame);
    int count = 0;
    odf.GetInt(kOdfFrameCount, &count, from->lastFrame - from->firstFrame + 1);
    lastFrame = firstFrame + count - 1;
}

OrdnanceClass* FlamePuffClass::ReadOdf(const ClassName& name) { return new FlamePuffClass(this, name); }
Ordnance* FlamePuffClass::MakeObject(Entity* entity) { return new FlamePuff(entity, this); }

void FlamePuff::Launch(const Matrix& matrix, Entity* shooter) {
    Bullet::Launch(matrix, shooter);
    frame = Class().firstFrame;
    frameClock = 0.0f;
    entity->boundsRadius = Class().puffSize;
}

void FlamePuff::Step(float dt) {
    Bullet::Step(dt);
    const FlamePuffClass& cls = Class();
    frameClock += dt;
    if (!(cls.frameTime > 0.0f)) {
        // No frame time: every frame is due at once.
        if (frame < cls.lastFrame) frame = cls.lastFrame;
        return;
    }
    while (frame < cls.lastFrame && frameClock >= cls.frameTime) {
        ++frame;
        frameClock -= cls.frameTime;
    }
}

void FlamePuff::Render(RenderView* view) {
    float at[3];
    ToArray(PositionOf(entity), at);
    Seam_Render().queueBillboard(view, at, entity->boundsRadius, frame);
}

// ---- beam gun ---------------------------------------------------------------------------------

BeamGunClass::BeamGunClass(const char* classLabel, uint32_t classSignature) : CannonClass(classLabel, classSignature) {
    std::memset(fireSound, 0, sizeof fireSound);
    std::strncpy(fireSound, "wlflame.wav", sizeof fireSound);
}

BeamGunClass::BeamGunClass(BeamGunClass* from, const ClassName& name) : CannonClass(from, name) {}

WeaponClass* BeamGunClass::ReadOdf(const ClassName& name) { return new BeamGunClass(this, name); }
Weapon* BeamGunClass::MakeObject(Entity* entity) { return new BeamGun(entity, this); }

BeamGun::BeamGun(Entity* e, BeamGunClass* cls) : Weapon(e, cls) {}

BeamGun::~BeamGun() { LetGo(); }

void BeamGun::LetGo() {
    if (beam) {
        beam->mountSlot = -1;
        if (beam->gun == this) beam->gun = nullptr;
    }
    beam = nullptr;
}

bool BeamGun::CanFire() {
    if (!ordnanceClass) return false;
    return ordnanceClass->ordIntParam == 0 || (ownerObject ? ownerObject->curAmmo : 0) > 0;
}

void BeamGun::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void BeamGun::ReleaseTrigger() { trigger = 0; }
bool BeamGun::IsTriggerDown() { return trigger != 0; }

void BeamGun::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
}

int BeamGun::MountSlot() const {
    if (!ownerObject || !ownerObject->hardpoints) return -1;
    for (int i = 0; i < kHardpointCount; ++i)
        if (ownerObject->hardpoints->weapons[i] == this) return i;
    return -1;
}

void BeamGun::Update(float dt) {
    // A remote copy's gun draws and drains like the owner's, but the beam comes from its owner.
    const bool controlledHere = !ownerObject || !ownerObject->IsRemote();
    const int32_t cost = ordnanceClass ? ordnanceClass->ordIntParam : 0;
    const int32_t ammo = ownerObject ? ownerObject->curAmmo : 0;
    if (!trigger || !(cost == 0 || ammo > 0) || !IsMuzzleAboveGround()) {
        if (fireLoop) {
            Seam_Audio().soundStopAttached(entity);
            fireLoop = nullptr;
        }
        LetGo();
        if (controlledHere) trigger = 0;
        return;
    }
    float firing = dt;
    if (cost > 0) firing = std::min(dt, static_cast<float>(ammo) / static_cast<float>(cost));
    if (!fireLoop && weaponClass->fireSound[0]) {
        char name[17] = {};
        std::memcpy(name, weaponClass->fireSound, sizeof weaponClass->fireSound);
        fireLoop = Seam_Audio().soundPlay(name, entity, kLoopFlags, SoundHeaderOf(*this));
    }
    // Whole units go; the rest, which may be negative, is carried to the next frame.
    const float owed = static_cast<float>(cost) * dt + ammoFraction;
    const float whole = std::nearbyint(owed);
    ammoFraction = owed - whole;
    if (ownerObject && whole != 0.0f) ownerObject->AddAmmo(-static_cast<int32_t>(whole));

    if (controlledHere && ordnanceClass && (!beam || beam->IsDead())) {
        Matrix muzzle;
        Matrix_Multiply(muzzle, entity->local, mountMatrix);
        Ordnance* shot = ordnanceClass->Build(muzzle, root);
        if (shot) {
            if (ordnanceClass->signature == kBeamSignature) {
                if (auto* b = dynamic_cast<Beam*>(shot)) {
                    b->mountSlot = static_cast<int8_t>(MountSlot());
                    b->gun = this;
                    beam = b;
                }
            }
            shot->catchUp = firing - dt;
        }
    }
    if (controlledHere) trigger = 0;
}
