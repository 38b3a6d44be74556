#include "fun3d/person.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/registration.h"
#include "core/cmdline.h"
#include "core/fieldarchive.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "fun3d/craftservices.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"
#include "platform/random.h"

const uint32_t kPersonProfileKeys[kPersonProfileCount][kPersonProfileFloats] = {
    {0xED315E04u, 0xD2A79EF5u, 0xA1D381E8u, 0xD76B553Au, 0x88F5BC00u, 0xAF7B8B02u, 0x5D02411Fu, 0x3CF570D4u,
     0xBBE6098Cu, 0x86E9F09Bu, 0xF5A0CE6Au, 0xA9363C6Bu, 0x3CCA2705u},
    {0x8B38B03Eu, 0xE8A5238Bu, 0xD4AE3872u, 0x81506BD0u, 0x15ADD84Au, 0x111CD7D8u, 0xE4C48139u, 0xCE60418Eu,
     0x2D7AE386u, 0x67A2FE05u, 0x571C8880u, 0x85F92215u, 0xDCF0A9DBu},
    {0x1C690706u, 0xD60BD973u, 0x69AB3D1Au, 0x8F715B4Cu, 0xAAD1EC62u, 0x3FB64E04u, 0x1268530Du, 0xA445B4B6u,
     0xBE842ADEu, 0xF6A7C509u, 0xE81986DCu, 0x57D66D39u, 0x481C47A3u},
};

namespace {

constexpr float kGravity = 9.8f;
constexpr double kTrailRange = 150.0;
constexpr float kScreamPause = 0.5f;
constexpr uint32_t kEntityIgnoresContacts = 0x20;
constexpr uint32_t kEntityVanished = 0x201;
constexpr uint32_t kEntityDyingRemote = 0x1000080;
constexpr uint32_t kSettingsLevelFlight = 0x10;

constexpr PersonProfile kDefaultProfiles[kPersonProfileCount] = {
    {5, 10, 0.2f, 0.1f, 0.1f, 0, 0, 0, 20, 0.5f, 0.5f, 5, 0},
    {8, 15, 0.25f, 0.1f, 0.1f, 4, 3, 3, 20, 3, 2, 5, 5},
    {2, 5, 0.35f, 0.15f, 0.15f, 15, 10, 10, 5, 2, 1.5f, 2, 0},
};
// Numbered sound keys: the seed's hash continued over the digit.
constexpr uint32_t kOdfPainSeed = 0x258B0684u;
constexpr uint32_t kOdfBurnSeed = 0xA1E21157u;
constexpr uint32_t kOdfDeathSeed = 0x42D28DE8u;
constexpr uint32_t kOdfSquish = 0x998B67ABu;
constexpr uint32_t kOdfJump = 0x580DC4ECu;
constexpr uint32_t kOdfLand = 0xAD3E89E3u;
constexpr uint32_t kOdfStep = 0xBFBB2816u;
constexpr uint32_t kOdfWalkAnimRate = 0x91936A92u;

// The step sound's start flag and its volume for the user's person and for others.
constexpr uint32_t kStepSoundFlags = 0x2000;
constexpr int kStepVolumeUser = 65;
constexpr int kStepVolumeOther = 45;

Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }
Vector ToVector(const DVector& d) {
    return Vector{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)};
}
void SetSpeedOf(EntityDynamics& d) {
    d.speed = Length(d.velocity);
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}
bool NetworkGame() { return Seam_Net().isNetworkGame(); }

uint32_t SettingsFlags() {
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    if (!def) return 0;
    return def[88] | uint32_t(def[89]) << 8 | uint32_t(def[90]) << 16 | uint32_t(def[91]) << 24;
}

bool IsSniperWeapon(const Weapon* weapon) {
    if (!weapon) return false;
    WeaponsSeam& w = Seam_Weapons();
    const WeaponClass* cls = w.weaponClassOf(weapon);
    return cls && w.weaponClassSignature(cls) == Signature("SNIP");
}

// The network record's stance bits: standing, kneeling, sniping, getting up as 1, 2, 0, 3.
constexpr uint8_t kStanceToBits[4] = {1, 2, 0, 3};
constexpr int32_t kBitsToStance[4] = {kStanceSniping, kStanceStanding, kStanceKneeling, kStanceGettingUp};

uint8_t ControlByte(float v) {
    const float scaled = std::clamp(v, -1.0f, 1.0f) * 127.0f;
    return static_cast<uint8_t>(static_cast<int8_t>(std::isnan(scaled) ? 0 : std::lround(scaled)));
}
float ControlValue(uint8_t b) { return static_cast<float>(static_cast<int8_t>(b)) / 127.0f; }

constexpr uint8_t kNetJump = 0x1, kNetBoost = 0x2, kNetEject = 0x4, kNetOnGround = 0x8, kNetAirborne = 0x10,
                  kNetObjective = 0x20, kNetLevels = 0x40, kNetHullGone = 0x80;
constexpr uint8_t kNetNoProcess = 0x4, kNetSniperArmed = 0x8;

// ---- the animation objects ------------------------------------------------------------------

int AnimStart(Entity* entity, int32_t key) {
    int slot = -1;
    return AnimObj_Start(entity, key, &slot) == 0 ? slot : -1;
}
void AnimStop(Entity* entity, int slot) {
    AnimObjSlot* s = nullptr;
    if (slot < 0 || AnimObj_GetActive(slot, &s) != 0 || !s->block || s->block->owner != entity) return;
    AnimObj_Stop(slot);
}
bool AnimEnded(int slot) {
    AnimObjSlot* s = nullptr;
    return slot < 0 || AnimObj_GetActive(slot, &s) != 0 || s->state != kAnimPlaying;
}
void AnimSetRate(int slot, float rate) {
    if (slot >= 0) AnimObj_SetSpeed(slot, rate);
}
bool AnimLoopFrame(int slot, float* position, float* span) {
    AnimObjSlot* s = nullptr;
    if (slot < 0 || AnimObj_GetActive(slot, &s) != 0 || s->state != kAnimPlaying || s->loopsLeft == 0) return false;
    *position = s->current - static_cast<float>(s->first);
    *span = static_cast<float>(s->last - s->first);
    return true;
}

PersonServices MakeServices() {
    PersonServices s{};
    s.animStart = AnimStart;
    s.animStop = AnimStop;
    s.animEnded = AnimEnded;
    s.animSetRate = AnimSetRate;
    s.animLoopFrame = AnimLoopFrame;
    // The rendering layer's trail drawer fills it at start-up.
    s.trailAddSample = [](const Matrix&, float) {};
    // PENDING(12.109) the network globals keep the vehicle name the set-up chose and the
    // pending vehicle; until then the command line's name, and nothing waits.
    s.playerVehicleName = [] { return CmdLine_Globals().vehicleName.c_str(); };
    s.setPendingVehicle = [](uint32_t) {};
    return s;
}
PersonServices g_services = MakeServices();

}  // namespace

PersonServices& Person_Services() { return g_services; }
void Person_ResetServices() { g_services = MakeServices(); }

PersonProfile PersonProfile_Scaled(const PersonProfile& base, float f) {
    PersonProfile p = base;
    for (float PersonProfile::*field :
         {&PersonProfile::angularDamping, &PersonProfile::uprightStiffness, &PersonProfile::topForward,
          &PersonProfile::topReverse, &PersonProfile::topStrafe, &PersonProfile::accelLimit, &PersonProfile::turnRest,
          &PersonProfile::turnSpeed, &PersonProfile::yawGain, &PersonProfile::jumpSpeed})
        p.*field = base.*field * f;
    return p;
}

// ---- class ----------------------------------------------------------------------------------

PersonClass::PersonClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : CraftClass(kindLabel, kindSignature, kindCategory) {
    pilotCost = 1;
    scrapCost = 0;
    scrapValue = 0;
    for (int i = 0; i < kPersonProfileCount; ++i) profiles[i] = kDefaultProfiles[i];
    for (int i = 0; i < kPersonPainSounds; ++i) std::snprintf(painSounds[i], kCraftTextSize, "pain%d.wav", i + 1);
    for (int i = 0; i < kPersonBurnSounds; ++i) std::snprintf(burnSounds[i], kCraftTextSize, "lburn%d.wav", i + 1);
    for (int i = 0; i < kPersonDeathSounds; ++i) std::snprintf(deathSounds[i], kCraftTextSize, "death%d.wav", i + 1);
    std::strncpy(squishSound, "squish.wav", kCraftTextSize - 1);
    std::strncpy(jumpSound, "jump.wav", kCraftTextSize - 1);
    std::strncpy(landSound, "land.wav", kCraftTextSize - 1);
    std::strncpy(stepSound, "step.wav", kCraftTextSize - 1);
}

void PersonProfile_ReadAll(OdfFile& odf, PersonProfile (&out)[kPersonProfileCount],
                           const PersonProfile (&defaults)[kPersonProfileCount]) {
    for (int i = 0; i < kPersonProfileCount; ++i) {
        float* fields = &out[i].angularDamping;
        const float* from = &defaults[i].angularDamping;
        for (int k = 0; k < kPersonProfileFloats; ++k) odf.GetFloat(kPersonProfileKeys[i][k], &fields[k], from[k]);
    }
}

PersonClass::PersonClass(PersonClass* p, const char* name) : CraftClass(p, name) {
    OdfFile odf(fileName);
    PersonProfile_ReadAll(odf, profiles, p->profiles);
    auto numbered = [&](uint32_t seed, int count, char (*out)[kCraftTextSize], const char (*defaults)[kCraftTextSize]) {
        for (int i = 0; i < count; ++i)
            odf.GetString(Text_HashNumbered(seed, i + 1), out[i], kCraftTextSize, defaults[i]);
    };
    numbered(kOdfPainSeed, kPersonPainSounds, painSounds, p->painSounds);
    numbered(kOdfBurnSeed, kPersonBurnSounds, burnSounds, p->burnSounds);
    numbered(kOdfDeathSeed, kPersonDeathSounds, deathSounds, p->deathSounds);
    odf.GetString(kOdfSquish, squishSound, kCraftTextSize, p->squishSound);
    odf.GetString(kOdfJump, jumpSound, kCraftTextSize, p->jumpSound);
    odf.GetString(kOdfLand, landSound, kCraftTextSize, p->landSound);
    odf.GetString(kOdfStep, stepSound, kCraftTextSize, p->stepSound);
    odf.GetFloat(kOdfWalkAnimRate, &walkAnimRate, p->walkAnimRate);
}

GameObject* PersonClass::BuildObject(Entity* e) { return GameObject_New<Person>(e, this); }
GameObjectClass* PersonClass::Derive(const char* name) { return new PersonClass(this, name); }

// ---- the entity's record --------------------------------------------------------------------

void* Person_NewRecord() { return PhysBody_New(); }
int Person_FreeRecord(void* data) {
    PhysBody_Free(static_cast<PhysBody*>(data));
    return 0;
}

// ---- construction ---------------------------------------------------------------------------

Person::Person(Entity* e, GameObjectClass* cls) : Craft(e, cls) {
    if (PersonClass* own = Class())
        for (int i = 0; i < kPersonProfileCount; ++i) profiles[i] = own->profiles[i];
    else
        for (int i = 0; i < kPersonProfileCount; ++i) profiles[i] = kDefaultProfiles[i];
    pilotClass = cls;
    moveKind = kMoveKindPerson;
}

Person::~Person() {
    Person_Services().animStop(entity, animSlot);
    animSlot = -1;
}

PersonClass* Person::Class() const { return dynamic_cast<PersonClass*>(objClass); }

bool Person::HoldsSniperWeapon(bool armedOnly) const {
    if (!hardpoints) return false;
    for (int i = 0; i < kHardpointCount; ++i) {
        if (!IsSniperWeapon(hardpoints->weapons[i])) continue;
        if (!armedOnly || (hardpoints->enabled & (1u << i))) return true;
    }
    return false;
}

// ---- steering -------------------------------------------------------------------------------

void Person::SetSpeed(float v) {
    const PersonProfile& walk = profiles[kProfileWalking];
    const float top = v > 0.0f ? walk.topForward : walk.topReverse;
    // A profile that cannot move asks for no throttle.
    controls.throttle = top > 0.0f ? std::clamp(v / top, -1.0f, 1.0f) : 0.0f;
}

void Person::SetHeading(float s, float c) {
    const float length = std::sqrt(s * s + c * c);
    if (!(length > 0.0f)) {
        controls.steering = 0.0f;
        controls.throttle = 0.0f;
        return;
    }
    s /= length;
    c /= length;
    const Matrix& m = entity->local;
    controls.steering = std::clamp(-5.0f * (m.right.x * s + m.right.z * c), -1.0f, 1.0f);
    controls.throttle = std::clamp(5.0f * (m.front.x * s + m.front.z * c), -1.0f, 1.0f);
}

void Person::SetPerformance(float factor) {
    PersonClass* own = Class();
    for (int i : {kProfileStance, kProfileWalking}) {
        const PersonProfile& base = own ? own->profiles[i] : kDefaultProfiles[i];
        profiles[i] = PersonProfile_Scaled(base, factor);
    }
}

void Person::UpdateWeaponAim(float) {
    if (hardpoints) aimPitch = Craft_AimWeaponsByPitch(*this);
}

// ---- the update -----------------------------------------------------------------------------

void Person::ChooseAnimation(bool sniper, bool onGround) {
    PersonServices& svc = Person_Services();
    int32_t choice = animIndex;
    float walkRate = -1.0f;  // set while a walk is chosen
    const bool ended = svc.animEnded(animSlot);
    if (!aiProcess) {
        choice = kAnimDying;
    } else if (onGround) {
        switch (deployState) {
            case kStanceKneeling:
                if (ended) {
                    deployState = kStanceSniping;
                    choice = kAnimSnipe;
                } else {
                    choice = kAnimKneel;
                }
                break;
            case kStanceSniping:
                if (sniper) {
                    choice = kAnimSnipe;
                } else {
                    deployState = kStanceGettingUp;
                    choice = kAnimGetUp;
                }
                break;
            case kStanceGettingUp:
                if (ended) {
                    deployState = kStanceStanding;
                    choice = kAnimStand;
                } else {
                    choice = kAnimGetUp;
                }
                break;
            default:
                if (sniper) {
                    deployState = kStanceKneeling;
                    choice = kAnimKneel;
                } else if (euler.speed > 0.1f) {
                    const Matrix& m = entity->local;
                    const float forward = Vec3_Dot(euler.velocity, m.front);
                    const float sideways = Vec3_Dot(euler.velocity, m.right);
                    float speed;
                    if (std::fabs(sideways) >= std::fabs(forward)) {
                        choice = sideways > 0.0f ? kAnimSideRight : kAnimSideLeft;
                        speed = std::fabs(sideways);
                    } else {
                        choice = forward > 0.0f ? kAnimWalkForward : kAnimWalkBack;
                        speed = std::fabs(forward);
                    }
                    const PersonClass* own = Class();
                    walkRate = (own ? own->walkAnimRate : 1.0f) * speed;
                } else {
                    choice = kAnimStand;
                }
                break;
        }
    }
    // An animation that has run out (any, once dead) stops; the end of dying is death.
    const bool dead = (entity->flags & kEntityDead) != 0;
    if (animIndex >= 0 && (ended || dead)) {
        svc.animStop(entity, animSlot);
        animSlot = -1;
        if (animIndex == kAnimDying && !IsRemote()) entity->flags |= kEntityDead;
    }
    if (choice != animIndex && !(entity->flags & kEntityDead)) {
        svc.animStop(entity, animSlot);
        animIndex = choice;
        animSlot = svc.animStart(entity, choice);
    }
    if (walkRate >= 0.0f) svc.animSetRate(animSlot, walkRate);
}

void Person::PlaySteps() {
    float position = 0.0f, span = 0.0f;
    if (!Person_Services().animLoopFrame(animSlot, &position, &span)) return;
    const bool toggle = position > span / 2.0f;
    if (toggle == stepToggle) return;
    stepToggle = toggle;
    const PersonClass* own = Class();
    const int volume = this == GameObject_GetUser() ? kStepVolumeUser : kStepVolumeOther;
    Seam_Audio().soundPlay(own ? own->stepSound : "step.wav", entity, kStepSoundFlags, volume);
}

void Person::ApplyForces(float dt, bool onGround, bool jump) {
    Vector force{0.0f, -kGravity, 0.0f};
    Vector torque{0.0f, 0.0f, 0.0f};
    const Matrix& m = entity->local;
    const PersonProfile& k = !onGround                       ? profiles[kProfileAir]
                             : deployState != kStanceStanding ? profiles[kProfileStance]
                                                              : profiles[kProfileWalking];
    const float steering = controls.steering, pitch = controls.pitch, strafe = controls.strafe;
    const float throttle = controls.boost ? 2.0f : controls.throttle;
    const Vector& w = euler.angularVelocity;
    const Vector& v = euler.velocity;
    auto yaw = [&] {
        const float effort = std::min(1.0f, strafe * strafe + throttle * throttle);
        const float turnRate = k.turnRest + (k.turnSpeed - k.turnRest) * effort;
        // A turn rate of 0 (a profile that cannot turn) would divide by zero: the rate term goes.
        const float rateTerm = turnRate > 0.0f ? w.y / turnRate : 0.0f;
        return std::clamp(steering - rateTerm, -1.0f, 1.0f) * k.yawGain;
    };
    auto uprightAndControls = [&](const Vector& u) {
        torque.x = -k.angularDamping * w.x - k.uprightStiffness * Vec3_Dot(u, m.front);
        torque.z = -k.angularDamping * w.z + k.uprightStiffness * Vec3_Dot(u, m.right);
        torque.x += k.pitchFromPitch * pitch - k.pitchFromThrottle * throttle;
        torque.z += k.rollFromStrafe * strafe;
        torque.y = yaw();
    };
    auto drive = [&](const Vector* normal) {
        const float top = throttle > 0.0f ? k.topForward : k.topReverse;
        Vector desired = Add(Scale(m.front, throttle * top), Scale(m.right, strafe * k.topStrafe));
        Vector current = v;
        if (normal) {
            desired = Vec3_Sub(desired, Scale(*normal, Vec3_Dot(desired, *normal)));
        } else {
            desired.y = 0.0f;
            current.y = 0.0f;
        }
        Vector accel = Scale(Vec3_Sub(desired, current), 1.0f / dt);
        const float length = Length(accel);
        if (length > k.accelLimit && length > 0.0f) accel = Scale(accel, k.accelLimit / length);
        force = Add(force, accel);
    };
    if (onGround) {
        Vector n{0.0f, 1.0f, 0.0f};
        Terrain_GetNormal(n, m.posit.x, m.posit.z);
        uprightAndControls(Vec3_Normalize(Add(n, Vector{0.0f, 2.0f, 0.0f})));
        drive(&n);
        if (jump && k.jumpSpeed > 0.0f) {
            const PersonClass* own = Class();
            Seam_Audio().soundPlayOnObject(own ? own->jumpSound : "jump.wav", entity);
            force = Add(force, Scale(Vec3_Normalize(Add(n, Vector{0.0f, 2.0f, 0.0f})), k.jumpSpeed / dt));
        }
    } else if (physFlags & kPersonAirborne) {
        uprightAndControls(Vector{0.0f, 1.0f, 0.0f});
        drive(nullptr);
        if (v.y < 0.0f) force.y += 0.1f * v.y * v.y;
    } else {
        torque.y = yaw();
        if (v.y < 0.0f) physFlags |= kPersonAirborne;
    }
    // Integration in halves: the turn and the move use the velocities after the first half.
    euler.angularVelocity = Add(euler.angularVelocity, Scale(torque, dt / 2.0f));
    euler.velocity = Add(euler.velocity, Scale(force, dt / 2.0f));
    Move(dt);
    euler.angularVelocity = Add(euler.angularVelocity, Scale(torque, dt / 2.0f));
    euler.velocity = Add(euler.velocity, Scale(force, dt / 2.0f));
}

void Person::StandOnGround(float) {
    Matrix& m = entity->local;
    float ground = 0.0f;
    Vector n{0.0f, 1.0f, 0.0f};
    Terrain_GetHeightNormal(m.posit.x, m.posit.z, &ground, &n);
    if (!(ground >= m.posit.y)) {
        physFlags &= ~kPersonOnGround;
        return;
    }
    // A fall: the velocity (with a margin along up) still points into the ground.
    if (Vec3_Dot(Add(euler.velocity, Scale(m.up, 5.0f)), n) < 0.0f)
        Craft_Services().damageDeliver(entity, nullptr, n, euler.velocity, nullptr);
    if (!(physFlags & kPersonOnGround)) {
        if (physFlags & kPersonAirborne) {
            physFlags &= ~kPersonAirborne;
            BuildNetworkVehicle();
        }
        physFlags |= kPersonOnGround;
    }
    euler.velocity = Vec3_Sub(euler.velocity, Scale(n, Vec3_Dot(euler.velocity, n)));
    m.posit.y = ground;
}

void Person::BuildNetworkVehicle() {
    if (this != GameObject_GetUser() || !NetworkGame() || !playerObject) return;
    if (!Seam_Ai().missionHasCurrent() || !Seam_Ai().missionMayContinue()) return;
    const char* name = Person_Services().playerVehicleName();
    if (!name || std::strncmp(name, "asuser", 6) == 0 || std::strncmp(name, "ssuser", 6) == 0) return;
    playerObject = 0;
    char className[kClassNameSize + 1] = {};
    std::strncpy(className, name, kClassNameSize);
    GameObjectClass* cls = GameObjectClass::Find(className);
    if (!cls) return;
    float bounds[6];
    Terrain_GetBounds(bounds);
    const Matrix& here = entity->local;
    const float rx = Rand_Signed(), rz = Rand_Signed();
    // Kept 15 inside the map; a map narrower than that takes its middle.
    auto keepInside = [](double value, float low, float high) {
        const double lo = low + 15.0, hi = high - 15.0;
        return lo <= hi ? std::clamp(value, lo, hi) : (double(low) + double(high)) / 2.0;
    };
    const double x = keepInside(here.posit.x + 30.0 * rx, bounds[0], bounds[3]);
    const double z = keepInside(here.posit.z + 30.0 * rz, bounds[2], bounds[5]);
    float top = Terrain_GetHeight(x, z);
    for (const double dx : {-5.0, 5.0})
        for (const double dz : {-5.0, 5.0}) top = std::max(top, Terrain_GetHeight(x + dx, z + dz));
    Matrix at = kIdentityMatrix;
    at.posit = DVector{x, double(top) + 10.0, z};
    GameObject* vehicle = GameObjectClass::Build(cls, at, 0, false, 0, nullptr);
    if (!vehicle) return;
    vehicle->SetTeam(0);
    if (vehicle->hardpoints) vehicle->hardpoints->SetEnabled(0);
    Person_Services().setPendingVehicle(vehicle->GetObjHandle());
    Craft_Services().netRegister(vehicle);
}

void Person::Update(float dt) {
    CraftServices& svc = Craft_Services();
    // 1. The dead go.
    if (!IsRemote() && (entity->flags & (kEntityDead | kEntityDestroyRequested))) {
        DestroyWeapons();
        if (this == GameObject_GetUser() && NetworkGame()) {
            Person_Services().setPendingVehicle(0);
            svc.netStartRespawnTimer();
        }
        if (this == GameObject_GetUser()) {
            svc.cockpitReset();
            svc.cameraFollowWreck(this);
        }
        if (entity->flags & kEntityDestroyRequested)
            Explode();
        else
            TearDown();
        return;
    }
    // 2. Controls.
    bool jump = false;
    if (aiProcess) {
        jump = controls.jump > 0;
    } else {
        controls.steering = controls.pitch = controls.strafe = controls.throttle = 0.0f;
        controls.boost = controls.jump = 0;
    }
    const bool sniper = HoldsSniperWeapon();
    const bool onGround = (physFlags & kPersonOnGround) != 0;
    // 3, 4. Animation and footsteps.
    ChooseAnimation(sniper, onGround);
    PlaySteps();
    if (dt > 0.0f) {
        // 5, 6. Forces and the motion.
        ApplyForces(dt, onGround, jump);
        // 7. The ground.
        StandOnGround(dt);
    }
    // 8.
    SetSpeedOf(euler);
    body->dynamics = euler;
    ApplyTerrainDamage(dt);
    UpdateSphere();
    UpdateWeaponAim(dt);
}

void Person::PostUpdate(float) {
    if (!(physFlags & kPersonAirborne)) return;
    Vector camera;
    if (!HoverCraft_CameraPosition(&camera)) return;
    const double dx = double(pos.x) - camera.x, dy = double(pos.y) - camera.y, dz = double(pos.z) - camera.z;
    if (dx * dx + dy * dy + dz * dz >= kTrailRange * kTrailRange) return;
    Person_Services().trailAddSample(entity->local, 0.1f);
}

// ---- damage ---------------------------------------------------------------------------------

bool Person::TakeDamage(DamageInfo* damage, const Vector*) {
    if (!damage || (entity->flags & (kEntityDead | kEntityDestroyRequested))) return false;
    NoteHit(*damage);
    ScaleDamage(*damage);
    if ((damage->kind & 0xF) == 8) damage->amount *= 10.0f;
    const float amount = damage->amount;
    CraftServices& svc = Craft_Services();
    const bool user = this == GameObject_GetUser();
    if (user) svc.viewShake(0.03f * amount);
    PersonClass* own = Class();
    AudioSeam& audio = Seam_Audio();
    if (!IsRemote()) {
        AddHealth(-amount);
        if (curHealth < 0.0f) {
            entity->flags |= kEntityDestroyRequested;
            Matrix at = entity->local;
            at.posit = DVector{pos.x, pos.y, pos.z};
            svc.explosionBuild(objClass, kCraftExplosionDeath, at);
            if (damage->kind & 8)
                audio.soundPlayOnObject(own ? own->squishSound : "squish.wav", entity);
            else if (aiProcess && own)
                audio.soundPlayOnObject(own->deathSounds[Random_Next() % kPersonDeathSounds], entity);
            if (NetworkGame() && teamRecord && playerId != kNoPlayer && objClass->pilotCost > 0 &&
                !(entity->flags & kEntityKillReported)) {
                entity->flags |= kEntityKillReported;
                ReportKill(damage->playerId);
                svc.netSendKillMessage(damage->playerId, this, kKillKindPerson, user);
            }
            return true;
        }
    }
    const float now = Clock_GetTime();
    if (curHealth > 0.0f && aiProcess && own && now > nextScream) {
        if (damage->kind & 4) {
            audio.soundPlayOnObject(own->burnSounds[Random_Next() & 1], entity);
        } else if (amount > 0.0f) {
            // The share of what is left that the hit took picks the sound, give or take one.
            int level = static_cast<int>(std::trunc(6.0f * amount / curHealth));
            const int bits = Random_Next() & 3;
            if (bits == 1) ++level;
            if (bits == 2) --level;
            level = std::clamp(level, 0, kPersonPainSounds - 1);
            audio.soundPlayOnObject(own->painSounds[level], entity);
        } else {
            audio.soundPlayOnObject(own->landSound, entity);
        }
        nextScream = now + kScreamPause;
    }
    return false;
}

void Person::Explode() {
    CraftServices& svc = Craft_Services();
    Entity_SetFlagTree(entity, kEntityDead);
    svc.releaseEffects(entity);
    svc.chunkSpawnFromEntityList(entity, euler.velocity);
    if (record) Entity_ResetCache(record);
    for (int i = 0; i < 10; ++i) svc.chunkSpawn(pos, euler.velocity);
    TearDown();
}

// ---- contacts and boarding ------------------------------------------------------------------

bool Person::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (!contact || IsRemote() || !aiProcess ||
        (entity->flags & (kEntityIgnoresContacts | kEntityDead | kEntityDestroyRequested)))
        return false;
    Craft* craft = other ? Craft_FromEntity(other) : nullptr;
    if (craft && craft != this && craft->entity->type == kTypeCraft && !(craft->entity->flags & kEntityDead) &&
        !craft->aiProcess && craft->objClass->pilotCost > 0) {
        Board(craft);
        return false;
    }
    Vector relative{};
    if (other) relative = Vec3_Sub(ToVector(other->local.posit), pos);
    Craft_Services().damageDeliver(entity, other, contact->normal, contact->velocity, &relative);
    euler.velocity = Vec3_Sub(euler.velocity, Scale(contact->normal, 1.5f * Vec3_Dot(euler.velocity, contact->normal)));
    SetSpeedOf(euler);
    return true;
}

void Person::Board(Craft* craft) {
    CraftServices& svc = Craft_Services();
    if (NetworkGame()) {
        craft->SetObjective(0);
        svc.netRegister(craft);
    }
    if (IsEnemy(craft)) craft->ClearCommand();
    const int32_t before = craft->team;
    craft->SetTeam(team);
    // Others still take it for its old side.
    craft->SetPerceivedTeam(before);
    craft->pilotClass = objClass;
    // The person's process goes first: its destructor takes it out of the mission's list.
    const bool user = this == GameObject_GetUser();
    delete aiProcess;
    aiProcess = nullptr;
    if (user)
        craft->MakeUser();
    else
        craft->SetAiProcess(Seam_Ai().createObjectProcess(craft));
    craft->entity->flags &= ~kEntityKillReported;
    entity->flags |= kEntityVanished;
}

// ---- network state --------------------------------------------------------------------------

void Person::PackNetState(uint8_t* buffer, int32_t& length) {
    uint8_t* p = buffer + length;
    const float health = std::min(healthRatio, 1.0f);
    p[0] = health > 0.0f ? static_cast<uint8_t>(std::ceil(255.0f * health)) : 0;
    p[1] = ammoRatio > 0.0f ? static_cast<uint8_t>(std::min(255.0f, 255.0f * ammoRatio)) : 0;
    NetSeam& net = Seam_Net();
    net.packVector(ToVector(entity->local.posit), p + 2);
    net.packVector(euler.velocity, p + 8);
    const float values[4] = {controls.steering, controls.pitch, controls.strafe, controls.throttle};
    for (int i = 0; i < 4; ++i) p[14 + i] = ControlByte(values[i]);
    uint8_t flags = 0;
    if (controls.jump) flags |= kNetJump;
    if (controls.boost) flags |= kNetBoost;
    if (controls.eject) flags |= kNetEject;
    if (physFlags & kPersonOnGround) flags |= kNetOnGround;
    if (physFlags & kPersonAirborne) flags |= kNetAirborne;
    if (isObjective) flags |= kNetObjective;
    if (this == GameObject_GetUser() && (SettingsFlags() & kSettingsLevelFlight)) flags |= kNetLevels;
    if (curHealth < 0.0f) flags |= kNetHullGone;
    p[18] = flags;
    uint8_t last = kStanceToBits[deployState & 3];
    if (!aiProcess) last |= kNetNoProcess;
    if (HoldsSniperWeapon(true)) last |= kNetSniperArmed;
    p[19] = last;
    length += kPersonNetStateSize;
}

void Person::UnpackNetState(const uint8_t* data, int32_t length) {
    // A record too short for the person's state changes nothing.
    if (!data || length < kPersonNetStateSize) return;
    healthRatio = data[0] / 255.0f;
    curHealth = std::trunc(healthRatio * maxHealth);
    ammoRatio = data[1] / 255.0f;
    curAmmo = static_cast<int32_t>(ammoRatio * static_cast<float>(maxAmmo));
    SetPerformance(Craft_GetPerformanceFactor(healthRatio));
    NetSeam& net = Seam_Net();
    const Vector position = net.unpackVector(data + 2);
    entity->local.posit = DVector{position.x, position.y, position.z};
    euler.velocity = net.unpackVector(data + 8);
    SetSpeedOf(euler);
    controls.steering = ControlValue(data[14]);
    controls.pitch = ControlValue(data[15]);
    controls.strafe = ControlValue(data[16]);
    controls.throttle = ControlValue(data[17]);
    const uint8_t flags = data[18];
    controls.jump = (flags & kNetJump) ? 1 : 0;
    controls.boost = (flags & kNetBoost) ? 1 : 0;
    controls.eject = (flags & kNetEject) ? 1 : 0;
    physFlags = (physFlags & ~(kPersonOnGround | kPersonAirborne | kCraftLevelsToWorld)) |
                ((flags & kNetOnGround) ? kPersonOnGround : 0u) | ((flags & kNetAirborne) ? kPersonAirborne : 0u) |
                ((flags & kNetLevels) ? kCraftLevelsToWorld : 0u);
    isObjective = (flags & kNetObjective) ? 1 : 0;
    const uint8_t last = data[19];
    deployState = kBitsToStance[last & 3];
    if (last & kNetNoProcess) {
        delete aiProcess;
        aiProcess = nullptr;
    }
    if (hardpoints) {
        for (int i = 0; i < kHardpointCount; ++i) {
            if (!IsSniperWeapon(hardpoints->weapons[i])) continue;
            if (last & kNetSniperArmed)
                hardpoints->enabled |= 1u << i;
            else
                hardpoints->enabled &= ~(1u << i);
        }
    }
    body->dynamics = euler;
    if (flags & kNetHullGone) {
        curHealth = -1.0f;
        if (playerObject) Seam_Ai().missionRemotePlayerReset(GetObjHandle());
        entity->flags |= kEntityDyingRemote;
        Craft_Services().netRegister(this);
    }
}

float Person::GetNetPriority(float time, float distance) {
    if (lastSendTime > time) lastSendTime = time;
    float p = (250.0f - distance) * 0.004f * 5.0f + (time - lastSendTime);
    if (GetHealthRatio() != lastSentHealthRatio && distance < 250.0f) p += 1.0f;
    if (healthRatio < 0.0f || (entity->flags & (kEntityDead | kEntityDestroyRequested))) p += 10.0f;
    if (hardpoints)
        for (Weapon* weapon : hardpoints->weapons)
            if (IsSniperWeapon(weapon) && Seam_Weapons().weaponChanged(weapon)) p += 2.0f;
    return p;
}

// ---- saving ---------------------------------------------------------------------------------

bool Person::Save(FILE* stream) { return Field_WriteFloat(stream, nextScream, "nextScream") && Craft::Save(stream); }

bool Person::Load() { return Field_ReadFloat("nextScream", &nextScream) && Craft::Load(); }

// ---- entity-side wrappers -----------------------------------------------------------------------

namespace {
Person* PersonOf(Entity* entity) {
    if (!entity || entity->type != kTypePerson) return nullptr;
    return dynamic_cast<Person*>(Craft_FromEntity(entity));
}
}  // namespace

void Person_SetTargetSpeed(Entity* entity, float speed) {
    if (Person* person = PersonOf(entity)) person->SetSpeed(speed);
}

void Person_SetHeading(Entity* entity, float angle) {
    if (Person* person = PersonOf(entity)) person->SetHeading(std::sin(angle), std::cos(angle));
}

float Person_GetAimAngle(Entity* entity) {
    Person* person = PersonOf(entity);
    return person ? person->GetAimAngle() : 0.0f;
}

Person* Person_BuildFromNet(Entity* entity, const char name[8], uint32_t teamBits) {
    if (!entity || !name || entity->owner) return nullptr;
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, name, kClassNameSize);
    auto* cls = dynamic_cast<PersonClass*>(GameObjectClass::Find(text));
    if (!cls) return nullptr;
    auto* person = dynamic_cast<Person*>(cls->BuildObject(entity));
    if (!person) return nullptr;
    person->SetTeam(static_cast<int32_t>(teamBits & 7u));
    return person;
}
