#include "fun3d/craft.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "collision/colshape.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/registration.h"
#include "core/fixup.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"

namespace {

constexpr int32_t kTypePersonCode = 4;
constexpr float kSpeedLimit = 1000.0f;
constexpr float kPi = 3.14159265f;

std::vector<Craft*>& CraftList() {
    static auto* list = new std::vector<Craft*>();
    return *list;
}

constexpr uint32_t kTextA = 0xE0D32ED5u;
constexpr uint32_t kTextAAlt = 0xED291E8Au;
constexpr uint32_t kTextsA[9] = {0x72695529u, 0xF62BF4F4u, 0x30459269u, 0xAE256912u, 0x121488AAu,
                                 0xA3A7B4FEu, 0xE1E44043u, 0x861DFFE6u, 0xF5578DE9u};
constexpr uint32_t kTextB = 0x4438FCF2u;
constexpr uint32_t kTextsB12[2] = {0xAD7C767Cu, 0x3BB77F51u};
constexpr uint32_t kTextC = 0x6B8A29C1u;
constexpr uint32_t kTextC1 = 0xB0914F33u;
constexpr uint32_t kTextsB3[7] = {0x3B7848BAu, 0x4207428Du, 0x8DFF63E5u, 0x551927E5u,
                                  0xBC02535Bu, 0x9DC1FF0Eu, 0x31B20A11u};
constexpr uint32_t kTextsD[4] = {0x6DD9AB88u, 0xC3A9B516u, 0x13E9ACC1u, 0x23F871F8u};

bool IsFinite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }

void SetSpeedOf(EntityDynamics& d) {
    d.speed = Length(d.velocity);
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}

// Turns the placement by the angular velocity (in its own frame) over the time. The spin turns
// the other way from the angle matrices: a positive pitch rate lifts the nose, a positive yaw
// rate turns toward -x (the way the steering, the levelling and the contact spin expect), so the
// step is the inverse (transposed) turn.
void Turn(Matrix& m, const Vector& spin, float dt) {
    if (spin.x == 0.0f && spin.y == 0.0f && spin.z == 0.0f) return;
    const DVector posit = m.posit;
    const Matrix angles = Matrix_FromEuler(spin.x * dt, spin.y * dt, spin.z * dt, 0.0, 0.0, 0.0);
    Matrix turn = angles;
    turn.right = Vector{angles.right.x, angles.up.x, angles.front.x};
    turn.up = Vector{angles.right.y, angles.up.y, angles.front.y};
    turn.front = Vector{angles.right.z, angles.up.z, angles.front.z};
    Matrix_Multiply(m, turn, m);
    m.posit = posit;
}

bool IsCraftType(int32_t type) { return type == kTypeCraft || type == kTypeCraft6; }

}  // namespace

// ---- class --------------------------------------------------------------------------------

CraftClass::CraftClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory) {
    label = kindLabel;
    signature = kindSignature;
    category = kindCategory;
    pilotCost = 1;
}

CraftClass::CraftClass(CraftClass* p, const char* name) : GameObjectClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfSensorRange, &sensorRange, p->sensorRange);
    odf.GetFloat(kOdfSensorPeriod, &sensorPeriod, p->sensorPeriod);
    odf.GetFloat(kOdfConcealThreshold, &concealThreshold, p->concealThreshold);
    odf.GetFloat(kOdfEjectChance, &ejectChance, p->ejectChance);
    char a[kCraftTextSize] = {};
    odf.GetString(kTextA, a, sizeof a, "");
    odf.GetString(kTextAAlt, a, sizeof a, a);
    for (int i = 0; i < 9; ++i) odf.GetString(kTextsA[i], textsA[i], kCraftTextSize, a);
    std::memcpy(textsA[9], a, sizeof a);
    char b[kCraftTextSize] = {};
    odf.GetString(kTextB, b, sizeof b, "");
    odf.GetString(kTextsB12[0], textsB[0], kCraftTextSize, b);
    odf.GetString(kTextsB12[1], textsB[1], kCraftTextSize, b);
    odf.GetString(kTextC, textsB[2], kCraftTextSize, b);
    odf.GetString(kTextC1, textsB[3], kCraftTextSize, textsB[2]);
    for (int i = 0; i < 7; ++i) odf.GetString(kTextsB3[i], textsB[4 + i], kCraftTextSize, b);
    std::memcpy(textsB[11], b, sizeof b);
    for (int i = 0; i < 4; ++i) odf.GetString(kTextsD[i], textsD[i], kCraftTextSize, "");
}

GameObject* CraftClass::BuildObject(Entity* entity) { return GameObject_New<Craft>(entity, this); }
GameObjectClass* CraftClass::Derive(const char* name) { return new CraftClass(this, name); }

int32_t GameObjectClass_GetCategoryByName(const char* name) {
    GameObjectClass* cls = GameObjectClass::Find(name);
    return cls ? cls->category : -1;
}

// ---- construction -------------------------------------------------------------------------

int Craft_CollectSmokeNodes(Entity* root, Entity* out[kCraftSmokeNodeMax]) {
    int count = 0;
    // Depth first, children before the next sibling; the root itself is not a node.
    std::vector<Entity*> stack;
    for (Entity* c = root ? root->child : nullptr; c; c = c->next) stack.push_back(c);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty() && count < kCraftSmokeNodeMax) {
        Entity* e = stack.back();
        stack.pop_back();
        if (e->type == kEntityTypeSmokeNode) out[count++] = e;
        std::vector<Entity*> children;
        for (Entity* c = e->child; c; c = c->next) children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
    return count;
}

Craft::Craft(Entity* e, GameObjectClass* cls) : GameObject(e, cls) {
    if (IsCraftType(entity->type) && entity->classData) {
        body = static_cast<PhysBody*>(entity->classData);
    } else {
        body = PhysBody_New();
        ownsBody_ = true;
    }
    body->owner = this;
    pilotNode = body->cockpitPart ? body->cockpitPart : entity;
    SetCommand(0);
    if (auto* craftClass = dynamic_cast<CraftClass*>(cls)) {
        if (craftClass->sensorRange > 0.0f) {
            sensor = new ObjectSensor(this);
            sensor->range = craftClass->sensorRange;
            sensor->period = craftClass->sensorPeriod;
        }
        if (craftClass->concealThreshold > 0.0f) conceal = new ConcealRecord(this, craftClass->concealThreshold);
        ejectChance = craftClass->ejectChance;
    }
    euler = body->dynamics;
    // The box: the class's measured one, else a cube around the entity's bounds.
    Vector lo = cls->boxMin, hi = cls->boxMax;
    if (cls->sphereRadius == kClassRadiusUnknown || (lo.x == hi.x && lo.y == hi.y && lo.z == hi.z)) {
        const Vector c = entity->boundsCentre;
        const float r = entity->boundsRadius;
        lo = Vector{c.x - r, c.y - r, c.z - r};
        hi = Vector{c.x + r, c.y + r, c.z + r};
    }
    const Vector mid{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    boxFaceCentres[0] = Vector{mid.x, mid.y, hi.z};
    boxFaceCentres[1] = Vector{lo.x, mid.y, mid.z};
    boxFaceCentres[2] = Vector{hi.x, mid.y, mid.z};
    boxFaceCentres[3] = Vector{mid.x, mid.y, lo.z};
    boxFaceCentres[4] = Vector{mid.x, lo.y, mid.z};
    boxFaceCentres[5] = Vector{mid.x, hi.y, mid.z};
    smokeNodeCount = Craft_CollectSmokeNodes(entity, smokeNodes);
    CraftList().push_back(this);
}

Craft::~Craft() {
    delete aiProcess;
    aiProcess = nullptr;
    delete sensor;
    sensor = nullptr;
    delete conceal;
    conceal = nullptr;
    std::vector<Craft*>& list = CraftList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (body) {
        body->owner = nullptr;
        if (ownsBody_) PhysBody_Free(body);
    }
}

const std::vector<Craft*>& Craft_List() { return CraftList(); }

Craft* Craft_FromEntity(const Entity* entity) {
    GameObject* object = GameObject_FromEntity(entity);
    if (!object) return nullptr;
    for (Craft* c : CraftList())
        if (c == object) return c;
    return nullptr;
}

void Craft_ActivateEntity(Entity* entity) {
    if (!entity || entity->owner) return;
    char name[kClassNameSize + 1] = {};
    std::memcpy(name, entity->name, std::min(sizeof entity->name, static_cast<size_t>(kClassNameSize)));
    GameObjectClass* cls = GameObjectClass::Find(name);
    if (!cls) return;
    cls->BuildObject(entity);
}

// ---- health, smoke, requests --------------------------------------------------------------

float Craft_GetPerformanceFactor(float ratio) {
    if (ratio >= 0.5f) return 1.0f;
    if (ratio >= 0.25f) return 0.75f + ratio * 0.5f;
    if (ratio >= 0.0f) return ratio + 0.5f;
    return 0.0f;
}

int32_t Craft_SmokeKindFor(float ratio) {
    if (ratio >= 0.5f) return 0;
    if (ratio < 0.1f) return 4;
    if (ratio < 0.2f) return 3;
    if (ratio < 0.3f) return 2;
    return 1;
}

bool Craft::HasPilot() { return pilotClass != nullptr; }

void Craft::AddHealth(float amount) {
    GameObject::AddHealth(amount);
    UpdateDamageSmoke(healthRatio);
    SetPerformance(Craft_GetPerformanceFactor(healthRatio));
}

void Craft::UpdateDamageSmoke(float ratio) {
    if (ratio < 0.5f) {
        smokeKind = Craft_SmokeKindFor(ratio);
        physFlags |= kCraftSmoking;
    } else {
        physFlags &= ~kCraftSmoking;
        smokeTimer = 0.0f;
    }
}

void Craft::RequestDeploy() { controls.deploy = (deployState == 0 || deployState == 3) ? 1 : 0; }
void Craft::RequestUndeploy() { controls.deploy = (deployState == 1 || deployState == 2) ? 1 : 0; }
bool Craft::IsDeployed() { return deployState == 2; }
bool Craft::IsUndeployed() { return deployState == 0; }
float Craft::GetEngineEffort() { return 0.0f; }
float Craft::GetAirborneFactor() { return 0.0f; }
void Craft::SetSpeed(float) {}
float Craft::GetAimAngle() { return 0.0f; }
bool Craft::StopReversing() { return true; }
void Craft::SetPerformance(float) {}

void Craft::SetHeading(float s, float c) {
    const Vector2D front{entity->local.front.x, entity->local.front.z};
    const float frontLength = std::sqrt(front.x * front.x + front.z * front.z);
    const float wantLength = std::sqrt(s * s + c * c);
    // No ground direction on either side: nothing to steer by.
    if (!(frontLength > 0.0f) || !(wantLength > 0.0f)) {
        controls.steering = 0.0f;
        return;
    }
    const float fx = front.x / frontLength, fz = front.z / frontLength;
    s /= wantLength;
    c /= wantLength;
    const float cross = fx * c - s * fz;
    if (fx * s + fz * c > 0.0f)
        controls.steering = std::clamp(3.0f * cross - 0.5f * euler.angularVelocity.y, -1.0f, 1.0f);
    else
        controls.steering = cross < 0.0f ? -1.0f : 1.0f;
}

bool Craft::HandleRequest(int32_t code) {
    switch (code) {
        case 1:
            return false;
        case 2:
            SetCommandObject(5, GameObject_GetUser());
            break;
        case 5:
            SetCommand(10);
            break;
        case 6:
            SetCommand(11);
            break;
        case 7:
            SetCommandObject(17, GameObject_GetUser());
            break;
        case 8:
            SetCommandObject(18, this);
            break;
        default:
            break;
    }
    return true;
}

namespace {
// The entry the command list's selected index names; 0 outside the list.
int32_t CurrentEntry(const CommandList& list) {
    return list.Selected();
}
}  // namespace

int32_t Craft::GetSelfCommand(int32_t) { return CurrentEntry(commands) == 1 ? 3 : 0; }

int32_t Craft::GetCommandForTarget(GameObject* other) {
    if (!other || CurrentEntry(commands) != 1 || other == this) return 0;
    const uint32_t sig = other->objClass->signature;
    if (sig == Signature("SCRP") || sig == Signature("GEIZ")) return 0;
    const int32_t cat = other->objClass->category;
    if (cat == 3) return 3;
    if (other->team > 0 || other->isCargo) {
        if (IsEnemy(other)) return hardpoints ? 4 : 0;
        if (cat == 1 || cat == 6) return 5;
        if (cat == 5 && !other->isCargo) return 15;
    }
    return 0;
}

// ---- per-frame update ---------------------------------------------------------------------

void Craft::Update(float dt) {
    // 1. PENDING(3.120) the entity-reference word follows the AI process.
    // 2. Velocity guard.
    if (!std::isfinite(euler.speed) || !IsFinite(euler.velocity)) {
        euler.velocity = Vector{0.0f, 0.0f, 0.0f};
        euler.speed = 0.0f;
    }
    SetSpeedOf(euler);
    if (euler.speed > kSpeedLimit) {
        euler.velocity = Scale(euler.velocity, kSpeedLimit / euler.speed);
        euler.speed = kSpeedLimit;
        euler.invSpeed = 1.0f / kSpeedLimit;
    }
    // 3.
    body->dynamics = euler;
    // 4. Position guard.
    Matrix& m = entity->local;
    float bounds[6];
    Terrain_GetBounds(bounds);
    if (!std::isfinite(m.posit.x) || !std::isfinite(m.posit.y) || !std::isfinite(m.posit.z)) {
        m.posit.x = (bounds[0] + bounds[3]) * 0.5;
        m.posit.z = (bounds[2] + bounds[5]) * 0.5;
        m.posit.y = Terrain_GetHeight(m.posit.x, m.posit.z);
    } else if (m.posit.x < bounds[0] || m.posit.x > bounds[3] || m.posit.z < bounds[2] || m.posit.z > bounds[5]) {
        m.posit.x = std::clamp<double>(m.posit.x, bounds[0], bounds[3]);
        m.posit.z = std::clamp<double>(m.posit.z, bounds[2], bounds[5]);
        m.posit.y = Terrain_GetHeight(m.posit.x, m.posit.z);
    }
    // 5. Orientation guard.
    m.front = Vec3_Normalize(m.front);
    m.right = Vec3_Normalize(Vec3_Cross(m.up, m.front));
    m.up = Vec3_Cross(m.front, m.right);
    if (!IsFinite(m.right) || !IsFinite(m.up) || !IsFinite(m.front) ||
        (Vec3_Dot(m.front, m.front) == 0.0f || Vec3_Dot(m.right, m.right) == 0.0f)) {
        m.right = Vector{1.0f, 0.0f, 0.0f};
        m.up = Vector{0.0f, 1.0f, 0.0f};
        m.front = Vector{0.0f, 0.0f, 1.0f};
    }
    // 6.
    UpdateSphere();
    ApplyTerrainDamage(dt);
    // 7. The owning machine's requests.
    if (!IsRemote()) {
        if (IsRecycleRequested()) {
            if (teamRecord) {
                teamRecord->AddScrap(objClass->scrapValue);
                teamRecord->AddPilots(objClass->pilotCost);
            }
            TearDown();
            return;
        }
        if (controls.eject && pilotClass) {
            // PENDING(3.120) the kill message, the radio report, the effect list and the pilot's
            // bail-out; the craft is lost with its weapons.
            controls.eject = 0;
            ejectChance = 1.0f;
            pilotClass = nullptr;
            delete aiProcess;
            aiProcess = nullptr;
            Entity_SetFlagTree(entity, kEntityDead);
            healthRatio = 0.0f;
            curHealth = 0.0f;
        }
        if (controls.hopOut && pilotClass) {
            controls.hopOut = 0;  // PENDING(3.120) the pilot hops out
        }
    }
    // 8.
    if (team == GameObject_GetUserTeam()) BuildCommandList();
    if (commands.selected < 0) commands.selected = 0;
    // 9. Death sequence.
    if (entity->flags & kEntityDead) {
        if (!(physFlags & kCraftDying)) {
            // PENDING(3.121) the death explosion, the radio report, the pilot's bail-out, the
            // wreck's chunks, smoke and fire.
            physFlags |= kCraftDying;
            if (deployState != 2) deathTimer = 5.0f;
            delete aiProcess;
            aiProcess = nullptr;
        } else if (deathTimer <= 0.0f) {
            Explode();
            return;
        } else {
            deathTimer -= dt;
        }
    }
    // 10. PENDING(3.121) the team slot from the class's range.
}

void Craft::Move(float dt) {
    Matrix& m = entity->local;
    m.posit.x += static_cast<double>(euler.velocity.x) * dt;
    m.posit.y += static_cast<double>(euler.velocity.y) * dt;
    m.posit.z += static_cast<double>(euler.velocity.z) * dt;
    Turn(m, euler.angularVelocity, dt);
}

bool Craft::Integrate(float dt) {
    SetSpeedOf(euler);
    CollisionBody& contact = body->contact;
    if (!(contact.hit && Clock_GetTimeMs() > createTime + 1000u)) contact.hit = 0;
    if (!contact.hit && !FindGroundContact(&contact, dt)) {
        Move(dt);
        return false;
    }
    const float tc = std::clamp(contact.time, -dt, dt);
    Move(tc);
    Vector v = euler.velocity;
    const Vector n = contact.normal;
    float d = 1.0f;
    if (euler.speed > 0.0001f) {
        const float along = Vec3_Dot(n, v) * euler.invSpeed;
        d = 1.0f - 0.75f * along * along;
    }
    const float otherMass = contact.dynamics.mass;
    if (contact.entity && otherMass != 0.0f) {
        const float mass = euler.mass;
        const Vector vc = Scale(Add(Scale(v, mass), Scale(contact.dynamics.velocity, otherMass)), 1.0f / (mass + otherMass));
        const Vector r = Vec3_Sub(v, vc);
        Vector rr = Vec3_Sub(Scale(r, 0.5f), Scale(n, Vec3_Dot(r, n)));
        if (Vec3_Dot(rr, rr) < 25.0f) rr = Scale(n, 5.0f);
        v = Add(vc, rr);
    } else {
        // The record's velocity is the ground's relative to the contact point: the normal part
        // of the approach is reflected.
        v = Add(v, Scale(n, 2.0f * Vec3_Dot(n, contact.velocity)));
        const float lengthSq = Vec3_Dot(v, v);
        if (lengthSq > 0.0001f) d *= 1.0f - 0.9f * v.y * v.y / lengthSq;
        v = Scale(v, d);
        // PENDING(3.121) collision damage above 5 m/s through the damage delivery.
    }
    // Spin from the lever arm of the contact.
    const Vector lever = Vec3_Sub(contact.point, pos);
    const float leverSq = Vec3_Dot(lever, lever);
    if (leverSq > 0.0f) {
        const Vector localVelocity = Vec3_Unrotate(contact.velocity, entity->local);
        const Vector localLever = Vec3_Unrotate(lever, entity->local);
        Vector change = Scale(Vec3_Cross(localVelocity, localLever), 0.2f / leverSq);
        if (!(physFlags & kCraftNoAngularLimit)) {
            const float limits[3] = {kPi / 2.0f, kPi, kPi / 4.0f};
            float* axes[3] = {&change.x, &change.y, &change.z};
            for (int i = 0; i < 3; ++i) {
                const float a = std::fabs(*axes[i]);
                if (a > limits[i]) change = Scale(change, limits[i] / a);
            }
        }
        if (IsFinite(change)) euler.angularVelocity = Add(euler.angularVelocity, change);
    }
    euler.velocity = v;
    SetSpeedOf(euler);
    Move(dt - tc);
    CollisionBody_Init(contact);
    if (entity->flags & kEntityDead) deathTimer = 0.0f;
    return true;
}

bool Craft::FindGroundContact(CollisionBody* contact, float dt) {
    if (!contact) return false;
    for (const Vector& probe : boxFaceCentres) {
        const DVector world = Matrix_TransformPoint(probe, entity->local);
        // The point velocity takes the point in the craft's own frame.
        const Vector worldVelocity = Collision_PointVelocity(probe, entity);
        float t = dt;
        Vector normal{};
        if (!Terrain_RayCast(world.x, world.y, world.z, worldVelocity.x, worldVelocity.y, worldVelocity.z, &t, &normal))
            continue;
        CollisionBody_Init(*contact);
        contact->hit = 1;
        contact->time = t;
        contact->normal = normal;
        // The ground's velocity relative to the probe, as every contact record carries the other
        // side's.
        contact->velocity = Scale(worldVelocity, -1.0f);
        contact->point = Vector{static_cast<float>(world.x), static_cast<float>(world.y), static_cast<float>(world.z)};
        return true;
    }
    return contact->hit != 0;
}

void Craft::ApplyTerrainDamage(float) {}  // PENDING(3.121) damage from the map's damaging cells

void Craft::PostUpdate(float dt) {
    if (!(physFlags & kCraftSmoking)) return;
    // PENDING(3.121) the smoke puffs through the particle buffer.
    smokeTimer += dt;
    while (smokeTimer > 0.0f) smokeTimer -= 0.1f;
}

bool Craft::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (!contact || (entity->flags & 0x20) || (physFlags & kCraftIgnoresCollisions)) return false;
    if (other && (other->type == 3 || (other->type == kTypePersonCode && (other->flags & kEntityDead)))) return false;
    if (other && carrier == nullptr && isCargo) {
        GameObject* owner = GameObject_FromEntity(other);
        if (owner && owner == carrier) return false;
    }
    body->contact = *contact;
    Craft* otherCraft = other ? Craft_FromEntity(other) : nullptr;
    if (!otherCraft || otherCraft->IsDeployed()) body->contact.entity = nullptr;
    // PENDING(3.121) the hit's damage delivery.
    return true;
}

// ---- damage and network state -------------------------------------------------------------

bool Craft::TakeDamage(DamageInfo* damage, const Vector*) {
    if (!damage || !(damage->amount > 0.0f)) return false;
    NoteHit(*damage);
    ScaleDamage(*damage);
    // PENDING(3.120) the view shake and the push and spin of ordnance and explosions.
    if (IsRemote()) return false;
    float amount = damage->amount;
    if (damage->kind & kDamageExtraKind) amount = amount * 7.0f / 6.0f;
    AddHealth(-amount);
    if (healthRatio >= 0.0f) return false;
    if (entity->flags & kEntityDead) return true;
    Entity_SetFlagTree(entity, kEntityDead);  // PENDING(3.120) the kill report in network games
    return true;
}

void Craft::PackNetState(uint8_t* buffer, int32_t& length) {
    const float health = std::min(healthRatio, 1.0f);
    buffer[length++] = health > 0.0f ? static_cast<uint8_t>(std::ceil(255.0f * health)) : 0;
    buffer[length++] = ammoRatio > 0.0f ? static_cast<uint8_t>(std::min(255.0f, 255.0f * ammoRatio)) : 0;
    uint8_t flags = 0;
    if (pilotClass || aiProcess) flags |= 0x80;
    if (entity->flags & 0x400) flags |= 0x40;
    if (isObjective) flags |= 0x20;
    if (curHealth < 0.0f) flags |= 0x10;
    buffer[length++] = flags;
    GameObject::PackNetState(buffer, length);
}

void Craft::UnpackNetState(const uint8_t* data, int32_t length) {
    // A record too short for the three bytes changes nothing.
    if (!data || length < 3) return;
    const uint8_t flags = data[2];
    isObjective = (flags & 0x20) ? 1 : 0;
    if (flags & 0x80) {
        pilotClass = objClass;  // PENDING(3.120) the network process of a remote pilot
    } else {
        pilotClass = nullptr;
        delete aiProcess;
        aiProcess = nullptr;
    }
    healthRatio = data[0] / 255.0f;
    curHealth = std::trunc(healthRatio * maxHealth);
    ammoRatio = data[1] / 255.0f;
    curAmmo = static_cast<int32_t>(ammoRatio * static_cast<float>(maxAmmo));
    UpdateDamageSmoke(healthRatio);
    SetPerformance(Craft_GetPerformanceFactor(healthRatio));
    if (flags & 0x10) Entity_SetFlagTree(entity, 0x280);
}

// ---- saving -------------------------------------------------------------------------------

bool Craft::Save(FILE* stream) {
    return Field_WriteInt(stream, &abandoned, 4, "abandoned") && GameObject::Save(stream);
}

bool Craft::Load() {
    const int32_t version = Field_Version();
    if (version <= 1018) {
        int32_t dropped[6];
        for (int32_t& word : dropped)
            if (!Field_ReadInt("", &word, 4)) return false;
        if (!Field_ReadBytes("", boxFaceCentres, sizeof boxFaceCentres)) return false;
    }
    abandoned = 0;
    if (version >= 1028 && !Field_ReadInt("abandoned", &abandoned, 4)) return false;
    return GameObject::Load();  // PENDING(3.120) the entity-reference word
}

bool Craft::PostLoad() {
    abandoned = Field_ResolveHandle(abandoned);
    if (!GameObject::PostLoad()) return false;
    UpdateDamageSmoke(healthRatio);
    return true;
}

void Craft_ResetList() { CraftList().clear(); }
