#include "weapons/spraybomb.h"

#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/odf.h"
#include "core/shake.h"
#include "core/seams/audio.h"
#include "fun3d/objectslot.h"
#include "weapons/firedue.h"
#include "weapons/ordnance.h"

namespace {

constexpr uint32_t kOdfBounceSound = 0x7E5A762Cu;
constexpr uint32_t kOdfPayloadClass = 0x19D3EBC6u;
constexpr uint32_t kOdfFireSound = 0xCFDE2FC0u;
constexpr uint32_t kOdfChargeTime = 0x682CD2B2u;
constexpr uint32_t kOdfReloadTime = 0xD9356908u;
constexpr uint32_t kOdfHoverHeight = 0x4F358485u;
constexpr uint32_t kOdfSpinRate = 0x73ACCD30u;
constexpr uint32_t kOdfSpread = 0x98902ADEu;

constexpr uint32_t kLoopSoundFlags = 2049;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;
// The owner flags a device takes over from the bomb's owner.
constexpr uint32_t kOwnerUserFlag = 0x10;
constexpr uint32_t kOwnerFlag20 = 0x20;
// A device never runs out of life: it lasts until its ammunition does.
constexpr float kDeviceLifetime = 1e30f;

}  // namespace

std::unique_ptr<OrdnanceClass> SprayBomb_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "spraybomb") == 0) return std::make_unique<SprayBombClass>(label, signature);
    return nullptr;
}

GameObjectClass* SprayBomb_MakeObjectPrototype(const char* label, uint32_t signature, int32_t category) {
    if (label && Text_CompareNoCase(label, "spraybomb") == 0) return new SprayBombDeviceClass(label, signature, category);
    return nullptr;
}

// ---- the bomb ---------------------------------------------------------------------------------

SprayBombClass::SprayBombClass(const char* classLabel, uint32_t classSignature) : GrenadeClass(classLabel, classSignature) {
    std::strncpy(bounceSound, "bounce.wav", sizeof bounceSound);
}

SprayBombClass::SprayBombClass(SprayBombClass* from, const ClassName& name) : GrenadeClass(from, name) {
    OdfFile odf(fileName);
    odf.GetString(kOdfBounceSound, bounceSound, sizeof bounceSound, from->bounceSound);
    char text[9] = {};
    ClassName_Text(name, text);
    deviceClass = text[0] ? GameObjectClass::Find(text) : nullptr;
}

OrdnanceClass* SprayBombClass::ReadOdf(const ClassName& name) { return new SprayBombClass(this, name); }
Ordnance* SprayBombClass::MakeObject(Entity* entity) { return new SprayBomb(entity, this); }

void SprayBomb::Hit(Entity* hit, const Vector& normal) {
    if (InBounceStep()) return;
    if (hit && !ObjectClass_IsKindGroup(hit->type)) {
        Grenade::Hit(hit, normal);
        return;
    }
    Bounce(normal);
    const SprayBombClass& cls = *static_cast<SprayBombClass*>(ordnanceClass);
    if (hit && motion.speed < kBounceRestObject) {
        Grenade::Hit(hit, normal);
        return;
    }
    if (!hit && motion.speed < kBounceRestTerrain) {
        // Settled: the device stands upright where the bomb lies, facing as the bomb did.
        if (cls.deviceClass) {
            Vector front{entity->local.front.x, 0.0f, entity->local.front.z};
            if (!(Vec3_Dot(front, front) > 1e-12f)) front = Vector{0.0f, 0.0f, 1.0f};
            Matrix m = Matrix_FromFrontUp(Vector{0.0f, 1.0f, 0.0f}, Vec3_Normalize(front));
            m.posit = entity->local.posit;
            const uint32_t ownerFlags = owner ? owner->flags : 0;
            const int32_t team = static_cast<int32_t>((ownerFlags & kEntityTeamMask) >> kEntityTeamShift);
            GameObject* device = GameObjectClass::Build(cls.deviceClass, m, team, false, 0, nullptr);
            if (device) {
                device->SetTeam(team);
                if (auto* sprayer = dynamic_cast<SprayBombDevice*>(device)) sprayer->SetOwner(ownerFlags, netPlayer);
            }
        }
        entity->flags |= kEntityDead;
        return;
    }
    PlayBounceSound(cls.bounceSound);
    SendBounce();
}

// ---- the device -------------------------------------------------------------------------------

SprayBombDeviceClass::SprayBombDeviceClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : MineClass(kindLabel, kindSignature, kindCategory) {
    lifetime = kDeviceLifetime;
}

SprayBombDeviceClass::SprayBombDeviceClass(SprayBombDeviceClass* p, const char* name) : MineClass(p, name) {
    lifetime = kDeviceLifetime;
    OdfFile odf(fileName);
    char payloadName[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfPayloadClass, payloadName, none);
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, payloadName, kClassNameSize);
    payloadClass = text[0] ? OrdnanceClass::Find(text) : nullptr;
    odf.GetString(kOdfFireSound, fireSound, sizeof fireSound, p->fireSound);
    odf.GetFloat(kOdfChargeTime, &chargeTime, p->chargeTime);
    odf.GetFloat(kOdfReloadTime, &reloadTime, p->reloadTime);
    odf.GetFloat(kOdfHoverHeight, &hoverHeight, p->hoverHeight);
    odf.GetFloat(kOdfSpinRate, &spinRate, p->spinRate);
    odf.GetFloat(kOdfSpread, &spread, p->spread);
}

GameObject* SprayBombDeviceClass::BuildObject(Entity* entity) { return GameObject_New<SprayBombDevice>(entity, this); }
GameObjectClass* SprayBombDeviceClass::Derive(const char* name) { return new SprayBombDeviceClass(this, name); }

SprayBombDevice::SprayBombDevice(Entity* e, GameObjectClass* cls) : Mine(e, cls) {
    const auto* c = dynamic_cast<const SprayBombDeviceClass*>(cls);
    fireClock = c ? -c->chargeTime : 0.0f;
}

SprayBombDevice::~SprayBombDevice() = default;

void SprayBombDevice::SetOwner(uint32_t ownerFlags, uint16_t playerId) {
    ownerIsUser = (ownerFlags & kOwnerUserFlag) != 0;
    ownerFlag20 = (ownerFlags & kOwnerFlag20) != 0;
    ownerId = playerId;
}

void SprayBombDevice::Update(float dt) {
    if (GoneWhenDead()) return;
    const auto* cls = dynamic_cast<const SprayBombDeviceClass*>(objClass);
    if (cls) {
        spin += (cls->spinRate - spin) * dt;
        Matrix& m = entity->local;
        const DVector posit = m.posit;
        Matrix turned;
        Matrix_Multiply(turned, Matrix_RotationY(spin * dt), m);
        m = turned;
        m.posit = posit;
        const float ground = Terrain_GetHeight(m.posit.x, m.posit.z);
        m.posit.y += (ground + cls->hoverHeight - m.posit.y) * 2.0 * dt;
        UpdateSphere();

        fireClock += dt;
        const int32_t cost = cls->payloadClass ? cls->payloadClass->ordIntParam : 0;
        // The shared loop counts a clock down to its events; the device's counts up.
        float clock = -fireClock;
        bool died = false;
        const int fired = FireDue(clock, cls->reloadTime, kSprayMostShotsPerUpdate, [&] {
            if (died) return;
            if (curAmmo < cost) {
                died = true;
                entity->flags |= kEntityDead;
                return;
            }
            if (cls->fireSound[0] && !soundLoop) {
                const int header = (entity->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader;
                soundLoop = Seam_Audio().soundPlay(cls->fireSound, entity, kLoopSoundFlags, header);
            }
            if (cls->payloadClass) {
                // Aimed as the device stood when the shot fell due, tilted up by the spread.
                const float ago = -clock;
                Matrix tilt, launch;
                Matrix_Multiply(tilt, Matrix_RotationX(cls->spread * RandomTable_Next()), Matrix_RotationY(-spin * ago));
                Matrix_Multiply(launch, tilt, entity->local);
                if (Ordnance* shot = cls->payloadClass->Build(launch, entity)) {
                    shot->catchUp = ago - dt;
                    shot->netState = kOrdnanceNotSent;
                    shot->damageInfo.kind = static_cast<uint16_t>((shot->damageInfo.kind & ~0x30u) | (ownerIsUser ? 0x10u : 0u) |
                                                                  (ownerFlag20 ? 0x20u : 0u));
                    shot->damageInfo.playerId = ownerId;
                }
            }
            AddAmmo(-cost);
        });
        fireClock = died ? 0.0f : -clock;
        // A backlog past the most shots of one update is dropped.
        if (fired == kSprayMostShotsPerUpdate && fireClock > 0.0f) fireClock = 0.0f;
    }
    // A device that died goes here.
    Mine::Update(dt);
}
