#include "weapons/mine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "collision/collision.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/shake.h"
#include "fun3d/craft.h"
#include "fun3d/objectslot.h"
#include "weapons/daywrecker.h"
#include "weapons/firedue.h"
#include "weapons/ordnance.h"
#include "weapons/proxmine.h"
#include "weapons/spraybomb.h"
#include "weapons/torpedo.h"

namespace {

constexpr uint32_t kLoopSoundFlags = 2049;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;
constexpr int32_t kMineHitPoints = 150;
constexpr float kFlareLifetime = 60.0f;
constexpr float kMagnetLifetime = 60.0f;
// Below this the pushing terms would divide by nothing.
constexpr float kMagnetSoftening = 0.0001f;

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector PositionOf(const Matrix& m) {
    return Vector{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
}

void* StartLoop(const char* name, Entity* entity) {
    if (!name[0] || !entity) return nullptr;
    const int header = (entity->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader;
    return Seam_Audio().soundPlay(name, entity, kLoopSoundFlags, header);
}

}  // namespace

// ---- the mine -------------------------------------------------------------------------------

MineClass::MineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : BuildingClass(kindLabel, kindSignature, kindCategory) {
    health = kMineHitPoints;
}

MineClass::MineClass(MineClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfMineLifetime, &lifetime, p->lifetime);
}

GameObject* MineClass::BuildObject(Entity* entity) { return GameObject_New<Mine>(entity, this); }
GameObjectClass* MineClass::Derive(const char* name) { return new MineClass(this, name); }

Mine::Mine(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    lifeTimer = ClassLifetime();
    // A mine is no obstacle: its shape leaves the collision lists.
    if (record) DeleteCollisionEntity(record);
    Matrix& m = entity->local;
    float floor = static_cast<float>(m.posit.y);
    Vector normal{0.0f, 1.0f, 0.0f};
    Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floor, &normal);
    const Vector right = Vec3_Cross(normal, m.front);
    if (Vec3_Dot(right, right) > 1e-8f) {
        const DVector posit = m.posit;
        m = Matrix_FromFrontUp(normal, m.front);
        m.posit = posit;
    } else {
        // The front stands along the normal: the right axis is kept instead.
        m.up = Vec3_Normalize(normal);
        m.front = Vec3_Normalize(Vec3_Cross(m.right, m.up));
        m.right = Vec3_Cross(m.up, m.front);
    }
    m.posit.y = floor;
    UpdateSphere();
}

float Mine::ClassLifetime() const {
    const auto* cls = dynamic_cast<const MineClass*>(objClass);
    return cls ? cls->lifetime : 0.0f;
}

bool Mine::GoneWhenDead() {
    if ((entity->flags & kEntityDestroyRequested) && !IsRemote()) {
        Explode();
        return true;
    }
    if (!(entity->flags & kEntityDead)) return false;
    TearDown();
    return true;
}

void Mine::Update(float dt) {
    if (GoneWhenDead()) return;
    lifeTimer -= std::min(dt, lifeTimer);
    if (!(lifeTimer <= 0.0f)) return;
    if (Seam_Net().isNetworkGame() && !IsRemote()) {
        Entity_SetFlagTree(entity, kMineDeadFlags);
        Seam_Net().registerObject(this);
    }
    Entity_SetFlagTree(entity, kMineDeadFlags);
}

bool Mine::Save(FILE* stream) {
    return Field_WriteFloat(stream, lifeTimer, "lifeTimer") && Building::Save(stream);
}

bool Mine::Load() {
    // Older saves have no timer: the mine starts its life again.
    if (Field_Version() >= kMineLifeTimerVersion) {
        if (!Field_ReadFloat("lifeTimer", &lifeTimer)) return false;
        if (!std::isfinite(lifeTimer) || lifeTimer < 0.0f) return false;
    } else {
        lifeTimer = ClassLifetime();
    }
    return Building::Load();
}

void Mine::Explode() { Building::Explode(); }

void Mine::TearDown() {
    // Sounds attached to the mine end with it.
    for (int i = 0; i < 8 && Seam_Audio().soundStopAttached(entity); ++i) {
    }
    // Freeing the entity's building record destroys the mine.
    Building::TearDown();
}

// ---- the flare ------------------------------------------------------------------------------

FlareClass::FlareClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : MineClass(kindLabel, kindSignature, kindCategory) {
    lifetime = kFlareLifetime;
}

FlareClass::FlareClass(FlareClass* p, const char* name) : MineClass(p, name) {
    OdfFile odf(fileName);
    char ordnanceName[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfFlareOrdnance, ordnanceName, none);
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, ordnanceName, kClassNameSize);
    ordnanceClass = text[0] ? OrdnanceClass::Find(text) : nullptr;
    odf.GetString(kOdfFlareSound, sound, sizeof sound, p->sound);
    odf.GetFloat(kOdfMineDelay, &startDelay, p->startDelay);
    odf.GetFloat(kOdfFlareReload, &reloadTime, p->reloadTime);
    odf.GetFloat(kOdfFlareCone, &cone, p->cone);
}

GameObject* FlareClass::BuildObject(Entity* entity) { return GameObject_New<Flare>(entity, this); }
GameObjectClass* FlareClass::Derive(const char* name) { return new FlareClass(this, name); }

Flare::Flare(Entity* e, GameObjectClass* cls) : Mine(e, cls) {
    const auto* flare = dynamic_cast<const FlareClass*>(cls);
    fireClock = flare ? -flare->startDelay : 0.0f;
}

Flare::~Flare() = default;

Matrix Flare_LaunchFrame(float a, float b) {
    Matrix m = kIdentityMatrix;
    const float sa = std::sin(a), ca = std::cos(a), sb = std::sin(b), cb = std::cos(b);
    m.right = Vector{ca, 0.0f, -sa};
    m.up = Vector{-sa * cb, sb, -ca * cb};
    m.front = Vector{sa * sb, cb, ca * sb};
    m.posit = DVector{0.0, 0.5, 0.0};
    return m;
}

void Flare::Update(float dt) {
    if (GoneWhenDead()) return;
    const auto* cls = dynamic_cast<const FlareClass*>(objClass);
    if (cls) {
        fireClock += dt;
        // The shared loop counts a clock down to its events; the flare's counts up, so it runs
        // on the negated clock. A clock exactly at 0 is due.
        float clock = -fireClock;
        const int fired = FireDue(
            clock, cls->reloadTime, kFlareMostShotsPerUpdate,
            [&] {
                if (cls->sound[0] && !soundLoop) soundLoop = StartLoop(cls->sound, entity);
                if (!cls->ordnanceClass) return;
                const float a = RandomTable_Next() * cls->cone;
                const float b = RandomTable_Next() * cls->cone;
                Matrix launch;
                Matrix_Multiply(launch, Flare_LaunchFrame(a, b), entity->local);
                Ordnance* shot = cls->ordnanceClass->Build(launch, entity);
                if (!shot) return;
                shot->netState = kOrdnanceNotSent;
                shot->catchUp = -clock - dt;
            },
            FireDueAt::Zero);
        fireClock = -clock;
        // A backlog past the most shots of one update is dropped.
        if (fired == kFlareMostShotsPerUpdate && fireClock > 0.0f) fireClock = 0.0f;
    }
    Mine::Update(dt);
}

// ---- the magnet -----------------------------------------------------------------------------

MagnetClass::MagnetClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : MineClass(kindLabel, kindSignature, kindCategory) {
    lifetime = kMagnetLifetime;
}

MagnetClass::MagnetClass(MagnetClass* p, const char* name) : MineClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfMineDelay, &armDelay, p->armDelay);
    odf.GetFloat(kOdfMagnetRange, &range, p->range);
    odf.GetFloat(kOdfMagnetCentreForce, &craftCentreForce, p->craftCentreForce);
    // The edge force is kept as the linear term that takes the centre force to it at the range;
    // a range that is not above 0 has no edge, and the centre force holds throughout.
    const float prototypeEdge = p->craftCentreForce + p->craftEdgeTerm * p->range;
    float edge = prototypeEdge;
    odf.GetFloat(kOdfMagnetEdgeForce, &edge, prototypeEdge);
    craftEdgeTerm = range > 0.0f ? (edge - craftCentreForce) / range : 0.0f;
    odf.GetFloat(kOdfMagnetCraftDrag, &craftDrag, p->craftDrag);
    odf.GetFloat(kOdfMagnetShotForce, &shotForce, p->shotForce);
    odf.GetFloat(kOdfMagnetShotForceGain, &shotForceGain, p->shotForceGain);
    odf.GetFloat(kOdfMagnetShotDrag, &shotDrag, p->shotDrag);
}

GameObject* MagnetClass::BuildObject(Entity* entity) { return GameObject_New<Magnet>(entity, this); }
GameObjectClass* MagnetClass::Derive(const char* name) { return new MagnetClass(this, name); }

Magnet::Magnet(Entity* e, GameObjectClass* cls) : Mine(e, cls) {}
Magnet::~Magnet() = default;

void Magnet::Update(float dt) {
    if (GoneWhenDead()) return;
    const auto* cls = dynamic_cast<const MagnetClass*>(objClass);
    if (cls && cls->lifetime - lifeTimer > cls->armDelay) {
        if (cls->ambientSound[0] && !soundLoop) soundLoop = StartLoop(cls->ambientSound, entity);
        const Vector at = PositionOf(entity->local);
        const float range = cls->range;
        const float rangeSq = range * range;
        const float box[6] = {at.x - range, at.y - range, at.z - range, at.x + range, at.y + range, at.z + range};
        // A push may destroy nothing, but copy the list anyway: craft code runs on the change.
        const std::vector<Craft*> craft = Craft_List();
        for (Craft* c : craft) {
            if (!c || !c->record || (c->entity->flags & kEntityDead)) continue;
            if (!Collision_BoxesOverlap(box, c->record)) continue;
            const Vector d = Vec3_Sub(c->GetPosition(), at);
            const float dSq = Vec3_Dot(d, d);
            if (!(dSq < rangeSq)) continue;
            const float k = (1.0f / std::sqrt(dSq + kMagnetSoftening)) * cls->craftCentreForce + cls->craftEdgeTerm;
            const Vector& v = c->euler.velocity;
            c->SetVelocity(Add(v, Scale(Vec3_Sub(Scale(d, k), Scale(v, cls->craftDrag)), dt)));
        }
        for (Ordnance* shot : Ordnance_LiveList()) {
            if (shot->IsDead() || !shot->entity) continue;
            const Vector d = Vec3_Sub(PositionOf(shot->entity->local), at);
            const float dSq = Vec3_Dot(d, d);
            if (!(dSq < rangeSq)) continue;
            const float k = (1.0f / std::sqrt(dSq + kMagnetSoftening)) * cls->shotForce + cls->shotForceGain;
            EntityDynamics& motion = shot->motion;
            motion.velocity = Add(motion.velocity, Scale(Vec3_Sub(Scale(d, k), Scale(motion.velocity, cls->shotDrag)), dt));
            motion.speed = std::sqrt(Vec3_Dot(motion.velocity, motion.velocity));
            motion.invSpeed = motion.speed > 0.0f ? 1.0f / motion.speed : 1e30f;
        }
    }
    Mine::Update(dt);
}

// ---- the kinds ------------------------------------------------------------------------------

GameObjectClass* Mine_MakeObjectPrototype(const char* label, uint32_t signature, int32_t category) {
    if (!label) return nullptr;
    if (Text_CompareNoCase(label, "mine") == 0) return new MineClass(label, signature, category);
    if (Text_CompareNoCase(label, "flare") == 0) return new FlareClass(label, signature, category);
    if (Text_CompareNoCase(label, "magnet") == 0) return new MagnetClass(label, signature, category);
    if (Text_CompareNoCase(label, "daywrecker") == 0) return new DayWreckerClass(label, signature, category);
    if (Text_CompareNoCase(label, "proximity") == 0) return new ProximityMineClass(label, signature, category);
    if (Text_CompareNoCase(label, "weaponmine") == 0) return new WeaponMineClass(label, signature, category);
    if (GameObjectClass* sprayer = SprayBomb_MakeObjectPrototype(label, signature, category)) return sprayer;
    if (Text_CompareNoCase(label, "torpedo") == 0) return new TorpedoClass(label, signature, category);
    return nullptr;
}
