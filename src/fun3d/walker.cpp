#include "fun3d/walker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "collision/collision.h"
#include "collision/colshape.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "fun3d/craftservices.h"
#include "fun3d/hardpoints.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"

namespace {

constexpr float kGravity = 9.8f;
constexpr float kPi = 3.14159265f;
// How far above the floor the feet still count as standing on it.
constexpr float kFooting = 0.1f;
// A look direction shorter than this has no direction: the guns keep their pitch aim.
constexpr float kMinAimLength = 0.001f;
// A contact this close to the centre has no lever to turn the walker by.
constexpr float kMinLever = 0.0001f;

constexpr uint32_t kOdfJump = 0x580DC4ECu;
constexpr uint32_t kOdfLand = 0xAD3E89E3u;
constexpr uint32_t kOdfStep = 0xBFBB2816u;
constexpr uint32_t kOdfAnimRate = 0x91936A92u;

constexpr WalkerHandling kDefaultHandling[kWalkerHandlingCount] = {
    {5.0f, 10.0f, 0.2f, 0.1f, 0.1f, 0.0f, 0.0f, 0.0f, 20.0f, 0.5f, 0.5f, 5.0f, 0.0f},
    {8.0f, 15.0f, 0.25f, 0.1f, 0.1f, 4.0f, 3.0f, 3.0f, 20.0f, 3.0f, 2.0f, 5.0f, 10.0f},
    {2.0f, 5.0f, 0.5f, 0.2f, 0.2f, 15.0f, 10.0f, 10.0f, 0.5f, 2.0f, 1.5f, 0.5f, 0.0f},
};

constexpr uint32_t kStepSoundFlags = 0x2000;
constexpr int kStepVolumeUser = 65;
constexpr int kStepVolumeOther = 45;
constexpr uint32_t kSettingsLevelFlight = 0x10;

constexpr uint8_t kNetJump = 0x01, kNetBoost = 0x02, kNetEject = 0x04, kNetLevels = 0x40;

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
Vector LimitLength(const Vector& v, float limit) {
    const float length = Length(v);
    if (length > limit && length > 0.0f) return Scale(v, limit / length);
    return v;
}

uint32_t SettingsFlags() {
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    if (!def) return 0;
    return def[88] | uint32_t(def[89]) << 8 | uint32_t(def[90]) << 16 | uint32_t(def[91]) << 24;
}

uint8_t ControlByte(float v) {
    const float scaled = std::clamp(v, -1.0f, 1.0f) * 127.0f;
    return static_cast<uint8_t>(static_cast<int8_t>(std::isnan(scaled) ? 0 : std::lround(scaled)));
}
float ControlValue(uint8_t b) { return static_cast<float>(static_cast<int8_t>(b)) / 127.0f; }

// A signed 16-bit value with 8 fraction bits, little-endian; out of range values saturate.
void PutFixed(float value, uint8_t* out) {
    const float scaled = std::isfinite(value) ? std::clamp(value * 256.0f, -32768.0f, 32767.0f) : 0.0f;
    const auto word = static_cast<uint16_t>(static_cast<int16_t>(std::lround(scaled)));
    out[0] = static_cast<uint8_t>(word & 0xFF);
    out[1] = static_cast<uint8_t>(word >> 8);
}
float GetFixed(const uint8_t* in) {
    const auto word = static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
    return static_cast<float>(word) / 256.0f;
}
void PutVector(const Vector& v, uint8_t* out) {
    PutFixed(v.x, out);
    PutFixed(v.y, out + 2);
    PutFixed(v.z, out + 4);
}
Vector GetVector(const uint8_t* in) { return Vector{GetFixed(in), GetFixed(in + 2), GetFixed(in + 4)}; }

// Whether the entity is a body of the moving collision list.
bool IsMovingBody(const Entity* entity) {
    if (!entity) return false;
    for (CollisionNode* node = Collision_ListHead(kCollisionMoving); node; node = node->next)
        if (node->data && node->data->entity == entity) return true;
    return false;
}

}  // namespace

WalkerStride Walker_ChooseStride(float forward, float sideways, float speed, float rateFactor) {
    if (!(speed > 0.1f)) return WalkerStride{kWalkerAnimStand, -1.0f};
    if (std::fabs(sideways) >= std::fabs(forward))
        return WalkerStride{sideways < 0.0f ? kWalkerAnimLeft : kWalkerAnimRight, std::fabs(sideways) * rateFactor};
    return WalkerStride{forward > 0.0f ? kWalkerAnimForward : kWalkerAnimBack, std::fabs(forward) * rateFactor};
}

// ---- class ----------------------------------------------------------------------------------

WalkerClass::WalkerClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : CraftClass(kindLabel, kindSignature, kindCategory) {
    teamSlotFirst = 5;
    teamSlotLast = 14;
    for (int i = 0; i < kWalkerHandlingCount; ++i) handling[i] = kDefaultHandling[i];
    std::strncpy(jumpSound, "jump.wav", kCraftTextSize - 1);
    std::strncpy(landSound, "land.wav", kCraftTextSize - 1);
    std::strncpy(stepSound, "step.wav", kCraftTextSize - 1);
}

WalkerClass::WalkerClass(WalkerClass* p, const char* name) : CraftClass(p, name) {
    OdfFile odf(fileName);
    static_assert(kWalkerHandlingCount == kPersonProfileCount);
    PersonProfile_ReadAll(odf, handling, p->handling);
    odf.GetString(kOdfJump, jumpSound, kCraftTextSize, p->jumpSound);
    odf.GetString(kOdfLand, landSound, kCraftTextSize, p->landSound);
    odf.GetString(kOdfStep, stepSound, kCraftTextSize, p->stepSound);
    odf.GetFloat(kOdfAnimRate, &animRate, p->animRate);
}

GameObject* WalkerClass::BuildObject(Entity* e) { return GameObject_New<Walker>(e, this); }
GameObjectClass* WalkerClass::Derive(const char* name) { return new WalkerClass(this, name); }

// ---- construction ---------------------------------------------------------------------------

Walker::Walker(Entity* e, GameObjectClass* cls) : Craft(e, cls) {
    const WalkerClass* own = Class();
    for (int i = 0; i < kWalkerHandlingCount; ++i) handling[i] = own ? own->handling[i] : kDefaultHandling[i];
    moveKind = kMoveKindWalker;
}

Walker::~Walker() {
    Person_Services().animStop(entity, animSlot);
    animSlot = -1;
}

WalkerClass* Walker::Class() const { return dynamic_cast<WalkerClass*>(objClass); }

const WalkerHandling& Walker::CurrentHandling() const {
    if (!(physFlags & kWalkerOnGround)) return handling[kWalkerAir];
    return deployState == kLegsWalking ? handling[kWalkerGround] : handling[kWalkerTransition];
}

void Walker::SetPerformance(float factor) {
    const WalkerClass* own = Class();
    for (int i : {kWalkerTransition, kWalkerGround})
        handling[i] = PersonProfile_Scaled(own ? own->handling[i] : kDefaultHandling[i], factor);
}

bool Walker::FindGroundContact(CollisionBody* contact, float) { return contact && contact->hit != 0; }

void Walker::BuildCommandList() { Craft_BuildUnitCommands(*this); }

// ---- legs and steps ---------------------------------------------------------------------------

void Walker::ChooseLegs(float forward, float sideways) {
    PersonServices& svc = Person_Services();
    // A finished, dead or lost animation lets its slot go.
    if (animSlot >= 0 && ((entity->flags & kEntityDead) || svc.animEnded(animSlot))) {
        svc.animStop(entity, animSlot);
        animSlot = -1;
    }
    int32_t choice = animIndex;
    float rate = -1.0f;
    const bool onGround = (physFlags & kWalkerOnGround) != 0;
    switch (deployState) {
        case kLegsCrouching:
            if (animSlot < 0) {
                deployState = kLegsCrouched;
                choice = kWalkerAnimEmpty;
            } else {
                choice = kWalkerAnimCrouch;
            }
            break;
        case kLegsCrouched:
            if (!aiProcess) {
                choice = kWalkerAnimEmpty;
            } else {
                deployState = kLegsRising;
                choice = kWalkerAnimRise;
            }
            break;
        case kLegsRising:
            if (animSlot < 0) {
                deployState = kLegsWalking;
                choice = kWalkerAnimStand;
            } else {
                choice = kWalkerAnimRise;
            }
            break;
        default:
            if (!onGround) {
                rate = 0.0f;
            } else if (!aiProcess) {
                deployState = kLegsCrouching;
                choice = kWalkerAnimCrouch;
            } else {
                const WalkerClass* own = Class();
                const WalkerStride stride = Walker_ChooseStride(forward, sideways, euler.speed, own ? own->animRate : 1.0f);
                choice = stride.animation;
                rate = stride.rate;
            }
            break;
    }
    if (choice != animIndex) {
        svc.animStop(entity, animSlot);
        animIndex = choice;
        animSlot = choice >= 0 ? svc.animStart(entity, choice) : -1;
    }
    if (rate >= 0.0f) svc.animSetRate(animSlot, rate);
}

void Walker::PlaySteps() {
    float position = 0.0f, span = 0.0f;
    if (!Person_Services().animLoopFrame(animSlot, &position, &span)) return;
    const uint8_t half = position > span / 2.0f ? 1 : 0;
    if (half == stepHalf) return;
    stepHalf = half;
    const WalkerClass* own = Class();
    const int volume = (entity->flags & kEntityUser) ? kStepVolumeUser : kStepVolumeOther;
    Seam_Audio().soundPlay(own ? own->stepSound : "step.wav", entity, kStepSoundFlags, volume);
}

// ---- the update -------------------------------------------------------------------------------

void Walker::Update(float dt) {
    const float inv = dt > 0.0f ? 1.0f / dt : 1e30f;
    Matrix& m = entity->local;
    // 1. The floor and the direction the walker stands up along.
    float floor = 0.0f;
    Vector n{0.0f, 1.0f, 0.0f};
    Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floor, &n);
    if (!(Vec3_Dot(n, n) > 0.0f)) n = Vector{0.0f, 1.0f, 0.0f};
    const Vector u = Vec3_Normalize(Add(n, Vector{0.0f, 2.0f, 0.0f}));
    // 2. The controls (an empty walker has none).
    if (!aiProcess || (entity->flags & kEntityDead)) {
        controls.steering = controls.pitch = controls.strafe = controls.throttle = 0.0f;
        controls.boost = controls.jump = 0;
    }
    const float s = controls.steering, p = controls.pitch, e = controls.strafe;
    const float t = controls.boost >= 1 ? 2.0f : controls.throttle;
    const bool jump = controls.jump > 0;
    const float effort = std::min(1.0f, e * e + t * t);
    const Vector& v = euler.velocity;
    const Vector& w = euler.angularVelocity;
    const float forward = Vec3_Dot(v, m.front), sideways = Vec3_Dot(v, m.right);
    // 3, 4, 5. Legs and steps.
    ChooseLegs(forward, sideways);
    PlaySteps();
    // 6. The handling block.
    const bool onGround = (physFlags & kWalkerOnGround) != 0;
    const WalkerHandling& H = CurrentHandling();
    // 7. to 9. Accelerations.
    Vector a{0.0f, -kGravity, 0.0f};
    Vector spin{0.0f, 0.0f, 0.0f};
    auto yaw = [&] {
        const float b = H.turnRest + (H.turnSpeed - H.turnRest) * effort;
        if (b > 0.0f) spin.y = std::clamp(s - w.y / b, -1.0f, 1.0f) * H.yawGain;
    };
    auto lean = [&](float frontUp, float rightUp) {
        spin.x = -H.angularDamping * w.x - H.uprightStiffness * frontUp;
        spin.z = -H.angularDamping * w.z + H.uprightStiffness * rightUp;
        spin.x += H.uprightStiffness * (H.pitchFromPitch * p - H.pitchFromThrottle * t);
        spin.z += H.uprightStiffness * H.rollFromStrafe * e;
    };
    const Vector desiredRaw =
        Add(Scale(m.front, t * (t > 0.0f ? H.topForward : H.topReverse)), Scale(m.right, e * H.topStrafe));
    if (onGround) {
        lean(Vec3_Dot(m.front, u), Vec3_Dot(m.right, u));
        yaw();
        const Vector desired = Vec3_Sub(desiredRaw, Scale(n, Vec3_Dot(desiredRaw, n)));
        a = Add(a, LimitLength(Scale(Vec3_Sub(desired, v), inv), H.accelLimit));
        if (jump && H.jumpSpeed > 0.0f) {
            const WalkerClass* own = Class();
            Seam_Audio().soundPlayOnObject(own ? own->jumpSound : "jump.wav", entity);
            a = Add(a, Scale(u, H.jumpSpeed * inv));
        }
    } else if (physFlags & kWalkerAirborne) {
        lean(m.front.y, m.right.y);
        yaw();
        Vector correction = Scale(Vec3_Sub(desiredRaw, v), inv);
        correction.y = 0.0f;
        a = Add(a, LimitLength(correction, H.accelLimit));
        const float k = -0.1f * euler.speed * Vec3_Dot(v, m.up);
        if (k > 0.0f) a = Add(a, Scale(m.up, k));
    } else {
        if (controls.eject) {
            controls.eject = 0;
            physFlags |= kWalkerLaunched;
        }
        if ((physFlags & kWalkerLaunched) && v.y < 0.0f) physFlags = (physFlags & ~kWalkerLaunched) | kWalkerAirborne;
        yaw();
    }
    accel = a;
    spinAccel = spin;
    // 10. The craft's motion, in two half steps around the move.
    if (dt > 0.0f) {
        euler.velocity = Add(euler.velocity, Scale(a, dt / 2.0f));
        euler.angularVelocity = Add(euler.angularVelocity, Scale(spin, dt / 2.0f));
        if (!Integrate(dt)) {
            euler.velocity = Add(euler.velocity, Scale(a, dt / 2.0f));
            euler.angularVelocity = Add(euler.angularVelocity, Scale(spin, dt / 2.0f));
        }
        StandOnFloor();
        SetSpeedOf(euler);
    }
    Craft::Update(dt);
}

void Walker::StandOnFloor() {
    Matrix& m = entity->local;
    float floor = 0.0f;
    Vector n{0.0f, 1.0f, 0.0f};
    Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floor, &n);
    if (!(m.posit.y <= double(floor) + kFooting)) {
        physFlags &= ~kWalkerOnGround;
        return;
    }
    if (m.posit.y < floor) m.posit.y = floor;
    // The feet carry it: no velocity into the floor.
    const float into = Vec3_Dot(euler.velocity, n);
    if (into < 0.0f) euler.velocity = Vec3_Sub(euler.velocity, Scale(n, into));
    if (!(physFlags & kWalkerOnGround)) physFlags &= ~(kWalkerAirborne | kWalkerLaunched);
    physFlags |= kWalkerOnGround;
}

// ---- weapons --------------------------------------------------------------------------------

void Walker::UpdateWeaponAim(float) {
    if (!hardpoints) return;
    aimPitch = Craft_AimWeaponsByPitch(*this);
    const GameObject* aimed = GameObject::FromHandle(target);
    if (!aimed || !aimed->entity) return;
    const Vector to = Vec3_Sub(aimed->pos, pos);
    const float distance = Length(to);
    for (int i = 0; i < kHardpointCount; ++i) {
        Weapon* weapon = hardpoints->weapons[i];
        if (!weapon) continue;
        Matrix* local = Craft_Services().weaponLocalMatrix(weapon);
        if (!local) continue;
        Vector mount = ToVector(local->posit);
        if (Entity* part = hardpoints->hardpoints[i]) {
            Matrix placement;
            Entity_GetTransformTo(placement, part, entity);
            mount = ToVector(placement.posit);
        }
        const Vector d{-mount.x, 0.0f, distance - mount.z};
        if (!(Length(d) > kMinAimLength)) continue;
        const Matrix look = Matrix_FromPositionDirection(DVector{0.0, 0.0, 0.0}, Vec3_Normalize(d));
        const DVector at = local->posit;
        Matrix turned;
        Matrix_Multiply(turned, look, *local);
        turned.posit = at;
        *local = turned;
    }
}

// ---- contacts ---------------------------------------------------------------------------------

bool Walker::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (!contact || IsRemote()) return false;
    if (other && isCargo && carrier && GameObject_FromEntity(other) == carrier) return false;
    CraftServices& svc = Craft_Services();
    const Vector relative = Vec3_Sub(contact->dynamics.velocity, euler.velocity);
    svc.damageDeliver(entity, other, contact->normal, relative, &contact->point);
    if (other && other->type == kTypePowerUp) return false;
    const Vector v = euler.velocity;
    const Vector n = contact->normal;
    const float speed = Length(v);
    Vector next;
    const float otherMass = contact->dynamics.mass;
    if (!IsMovingBody(contact->entity) || otherMass < 0.0001f) {
        next = Vec3_Sub(v, Scale(n, 2.0f * Vec3_Dot(v, n)));
        if (speed > 0.0001f) {
            const float up = next.y / speed, along = Vec3_Dot(n, v) / speed;
            next = Scale(next, (1.0f - 0.9f * up * up) * (1.0f - 0.75f * along * along));
        }
        if (Length(next) > 5.0f && !contact->entity)
            svc.damageDeliver(entity, nullptr, n, contact->velocity, &contact->point);
    } else {
        const float mass = euler.mass;
        const float total = mass + otherMass;
        const Vector c = total > 0.0f ? Scale(Add(Scale(v, mass), Scale(contact->dynamics.velocity, otherMass)), 1.0f / total)
                                      : contact->dynamics.velocity;
        const Vector d = Vec3_Sub(v, c);
        Vector r = Vec3_Sub(Scale(d, 0.5f), Scale(n, Vec3_Dot(d, n)));
        if (Length(r) < 5.0f) r = Scale(n, 5.0f);
        next = Add(c, r);
    }
    // The push turns the walker about its centre by the lever of the contact point.
    const Vector lever = Vec3_Sub(contact->point, pos);
    const float leverLength = Length(lever);
    if (leverLength >= kMinLever && !(physFlags & kCraftNoAngularLimit)) {
        const Vector worldChange = Scale(Vec3_Cross(lever, Vec3_Sub(next, v)), 0.2f / (leverLength * leverLength));
        Vector change = Vec3_Unrotate(worldChange, entity->local);
        const float limits[3] = {kPi / 2.0f, kPi, kPi / 4.0f};
        float* axes[3] = {&change.x, &change.y, &change.z};
        for (int i = 0; i < 3; ++i) {
            const float size = std::fabs(*axes[i]);
            if (size > limits[i]) change = Scale(change, limits[i] / size);
        }
        if (std::isfinite(change.x) && std::isfinite(change.y) && std::isfinite(change.z))
            euler.angularVelocity = Add(euler.angularVelocity, change);
    }
    euler.velocity = next;
    SetSpeedOf(euler);
    const float step = Clock_GetFrameTime();
    Matrix& m = entity->local;
    m.posit.x += static_cast<double>(next.x) * step;
    m.posit.y += static_cast<double>(next.y) * step;
    m.posit.z += static_cast<double>(next.z) * step;
    Matrix_PreRotate(m, m, euler.angularVelocity, step);
    body->dynamics = euler;
    return true;
}

// ---- network state ----------------------------------------------------------------------------

float Walker::GetNetPriority(float time, float distance) {
    if (lastSendTime > time) lastSendTime = time;
    float priority = time - lastSendTime;
    const float ratio = GetHealthRatio();
    if (ratio <= 0.0f) priority += 10.0f;
    priority += (250.0f - distance) * 0.004f * 5.0f;
    if (ratio != lastSentHealthRatio && distance < 250.0f) priority += 1.0f;
    if (!(entity->flags & kEntityUser)) priority += 0.2f;
    if (hardpoints)
        for (Weapon* weapon : hardpoints->weapons)
            if (weapon && Seam_Weapons().weaponChanged(weapon)) {
                priority += 0.1f;
                break;
            }
    const float values[4] = {controls.steering, controls.pitch, controls.strafe, controls.throttle};
    for (int i = 0; i < 4; ++i)
        if (std::fabs(values[i] - sentControls[i]) > 0.1f) priority += 0.1f;
    const int32_t words[3] = {controls.boost, controls.jump, controls.eject};
    for (int i = 0; i < 3; ++i)
        if (words[i] != sentWords[i]) priority += 0.1f;
    return priority;
}

void Walker::PackNetState(uint8_t* buffer, int32_t& length) {
    uint8_t* p = buffer + length;
    PutVector(euler.velocity, p);
    PutVector(euler.angularVelocity, p + 6);
    const float values[4] = {controls.steering, controls.pitch, controls.strafe, controls.throttle};
    for (int i = 0; i < 4; ++i) p[12 + i] = ControlByte(values[i]);
    uint8_t flags = 0;
    if (controls.jump) flags |= kNetJump;
    if (controls.boost) flags |= kNetBoost;
    if (controls.eject) flags |= kNetEject;
    if ((entity->flags & kEntityUser) && (SettingsFlags() & kSettingsLevelFlight)) flags |= kNetLevels;
    p[16] = flags;
    p[17] = 0;  // the layout's pad byte
    length += kWalkerNetStateSize;
    for (int i = 0; i < 4; ++i) sentControls[i] = values[i];
    sentWords[0] = controls.boost;
    sentWords[1] = controls.jump;
    sentWords[2] = controls.eject;
    Craft::PackNetState(buffer, length);
}

void Walker::UnpackNetState(const uint8_t* data, int32_t length) {
    // A record too short for this part and the craft's three bytes changes nothing.
    if (!data || length < kWalkerNetStateSize + 3) return;
    euler.velocity = GetVector(data);
    SetSpeedOf(euler);
    euler.angularVelocity = GetVector(data + 6);
    controls.steering = ControlValue(data[12]);
    controls.pitch = ControlValue(data[13]);
    controls.strafe = ControlValue(data[14]);
    controls.throttle = ControlValue(data[15]);
    const uint8_t flags = data[16];
    controls.jump = (flags & kNetJump) ? 1 : 0;
    controls.boost = (flags & kNetBoost) ? 1 : 0;
    controls.eject = (flags & kNetEject) ? 1 : 0;
    if (flags & kNetLevels)
        physFlags |= kCraftLevelsToWorld;
    else
        physFlags &= ~kCraftLevelsToWorld;
    body->dynamics = euler;
    Craft::UnpackNetState(data + kWalkerNetStateSize, length - kWalkerNetStateSize);
}

// ---- saving -----------------------------------------------------------------------------------

bool Walker::Load() {
    const int32_t version = Field_Version();
    if (version >= kWalkerOldHandlingFirst && version <= kWalkerOldHandlingLast) {
        for (int i = 0; i < kWalkerOldHandlingFloats; ++i) {
            float dropped = 0.0f;
            if (!Field_ReadFloat("", &dropped, sizeof dropped)) return false;
        }
    }
    return Craft::Load();
}
