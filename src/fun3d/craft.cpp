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
#include "core/helpers.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/weapons.h"
#include "core/shake.h"
#include "Objkr/classfnc.h"
#include "fun3d/craftservices.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/particlebuffer.h"
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

bool NetworkGame() { return Seam_Net().isNetworkGame(); }

Vector ToVector(const DVector& d) {
    return Vector{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)};
}

// A rescue's pick-up: the craft's team's people on foot standing beside it (within the larger of
// both radii and 10 m more, and 20 m, on both ground axes) climb aboard: they leave the world and
// are pilots of the team again. The user's own pilot boards by itself.
void TakeAboardPeople(Craft* craft) {
    const Vector at = ToVector(craft->entity->local.posit);
    for (GameObject* other : GameObject_List()) {
        if (other == craft || !other->entity || other->entity->type != kTypePerson) continue;
        if ((other->entity->flags & kEntityDead) || other == GameObject_GetUser() || other->team != craft->team) continue;
        const float box = std::max(craft->radius + other->radius + 10.0f, 20.0f);
        const Vector there = ToVector(other->entity->local.posit);
        if (std::fabs(there.x - at.x) >= box || std::fabs(there.z - at.z) >= box) continue;
        other->entity->flags |= kEntityDead;
        if (TeamRecord* team = TeamRecord::Get(craft->team)) team->AddPilots(other->objClass ? other->objClass->pilotCost : 1);
    }
}

Vector RandomOffset(float x, float y, float z, float up) {
    const float rx = Rand_Signed(), ry = Rand_Signed(), rz = Rand_Signed();
    return Vector{x * rx, y * ry + up, z * rz};
}

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
    odf.GetFloat(kOdfRadarRange, &radarRange, p->radarRange);
    odf.GetFloat(kOdfTargetRange, &targetRange, p->targetRange);
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
    // A craft's and a person's entity carry the physics record their row made.
    if ((IsCraftType(entity->type) || entity->type == kTypePersonCode) && entity->classData) {
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
    GameObjectClass_BoxFaceCentres(cls, entity, boxFaceCentres);
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
    // Destroyed without its teardown (a failed load): the vehicle must still be freeable.
    DropHeadlightMask();
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

void Craft::SetTeam(int32_t t) {
    GameObject::SetTeam(t);
    if (this == GameObject_GetUser()) Craft_Services().cockpitReset();
}

// ---- pilots -------------------------------------------------------------------------------

void Craft::StopWeapons() {
    if (!hardpoints) return;
    for (Weapon* weapon : hardpoints->weapons)
        if (weapon) Craft_Services().weaponStop(weapon);
}

void Craft::LosePilot() {
    pilotClass = nullptr;
    delete aiProcess;
    aiProcess = nullptr;
    controls = CraftControls{};
    StopWeapons();
}

void Craft::LeaveCockpit() {
    CraftServices& svc = Craft_Services();
    svc.cameraFollowWreck(this);
    svc.cockpitReset();
    if (NetworkGame()) svc.netStartRespawnTimer();
}

void Craft::KillPilot() {
    if (!pilotClass) return;
    CraftServices& svc = Craft_Services();
    svc.reportUnitLost(this);
    LosePilot();
    if (this == GameObject_GetUser()) LeaveCockpit();
    Matrix at;
    Entity_GetTransformTo(at, pilotNode, nullptr);
    Matrix blast = entity->local;
    blast.posit = at.posit;
    svc.explosionBuild(objClass, kCraftExplosionPilotDeath, blast);
    const Vector where = ToVector(at.posit);
    for (int i = 0; i < 10; ++i) svc.chunkSpawn(where, euler.velocity);
    SetPerceivedTeam(0);
    Seam_Audio().soundPlayOnObject("squish.wav", pilotNode);
}

void Craft::EjectPilot() {
    if (!pilotClass || entity->type == kTypePersonCode) return;
    const bool user = (entity->flags & kEntityUser) != 0;
    GameObjectClass* pilot = pilotClass;
    LosePilot();
    if (IsRemote()) return;
    // The pilot gets out with probability ejectChance.
    if (!user && 2.0f * ejectChance - 1.0f < Rand_Signed()) return;
    GameObject* spawned = SpawnPilot(pilot);
    if (!spawned) return;
    spawned->SetVelocity(Add(euler.velocity, Scale(entity->local.up, 50.0f)));
    if (NetworkGame() && user) {
        // The pilot asks for a vehicle when it lands.
        spawned->playerObject = 1;
        Craft_Services().netMarkPlayerObject(spawned);
    }
    Seam_Audio().soundPlayOnObject("bail.wav", spawned->entity);
}

void Craft::HopOut() {
    if (!pilotClass || entity->type == kTypePersonCode) return;
    GameObjectClass* pilot = pilotClass;
    LosePilot();
    GameObject* spawned = SpawnPilot(pilot);
    if (!spawned) return;
    const Matrix& m = entity->local;
    spawned->SetVelocity(Add(Add(euler.velocity, Scale(m.up, 5.0f)), Scale(m.front, 2.0f * radius)));
    if (Craft* walker = dynamic_cast<Craft*>(spawned)) walker->abandoned = GetObjHandle();
    SetPerceivedTeam(0);
    Seam_Audio().soundPlayOnObject("jump.wav", spawned->entity);
}

GameObject* Craft::SpawnPilot(GameObjectClass* pilot) {
    if (!pilot) return nullptr;
    Matrix at;
    Entity_GetTransformTo(at, pilotNode, nullptr);
    at.posit.x += static_cast<double>(at.up.x) * radius;
    at.posit.y += static_cast<double>(at.up.y) * radius;
    at.posit.z += static_cast<double>(at.up.z) * radius;
    const int32_t side = team >= 0 ? team : 0;
    GameObject* spawned = GameObjectClass::Build(pilot, at, side, false, 0, nullptr);
    if (!spawned) return nullptr;
    spawned->SetTeam(side);
    if (Craft* walker = dynamic_cast<Craft*>(spawned)) walker->physFlags |= 8;
    if (NetworkGame()) Craft_Services().netRegister(spawned);
    if (entity->flags & kEntityUser)
        spawned->MakeUser();
    else
        spawned->SetAiProcess(Seam_Ai().createObjectProcess(spawned));
    // The empty craft gives up its slot and takes a fresh one.
    if (team >= 0) ChangeTeam(team);
    return spawned;
}

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

namespace {
// A process drives the object: the word is dropped, except by a tug, which keeps its cargo's.
// Without one the word names the object's own entity.
void KeepEntityRef(GameObject& object) {
    if (object.aiProcess) {
        if (object.objClass->signature != Signature("TUG")) object.entityRef = 0;
    } else if (object.entityRef == 0) {
        object.entityRef = static_cast<int32_t>(object.entity->id);
    }
}
}  // namespace

void Craft::Update(float dt) {
    // 1.
    KeepEntityRef(*this);
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
            // The craft is given up: it is destroyed and its pilot always gets out.
            controls.eject = 0;
            ejectChance = 1.0f;
            CraftServices& svc = Craft_Services();
            if (NetworkGame()) svc.netSendKillMessage(kNoPlayer, this, 69, this == GameObject_GetUser());
            svc.reportUnitLost(this);
            svc.releaseEffects(entity);
            DestroyWeapons();
            if (entity->flags & 0x80) {
                delete aiProcess;
                aiProcess = nullptr;
            } else {
                EjectPilot();
            }
            Entity_SetFlagTree(entity, kEntityDead);
            healthRatio = 0.0f;
            curHealth = 0.0f;
        }
        if (controls.hopOut && pilotClass) {
            controls.hopOut = 0;
            HopOut();
        }
        if (controls.pickUp) {
            controls.pickUp = 0;
            TakeAboardPeople(this);
        }
    }
    // 8.
    if (team == GameObject_GetUserTeam()) BuildCommandList();
    if (commands.selected < 0) commands.selected = 0;
    if (hardpoints) UpdateWeaponAim(dt);
    // 9. Death sequence.
    if (entity->flags & kEntityDead) {
        if (!(physFlags & kCraftDying)) {
            StartDeath();
        } else if (deathTimer <= 0.0f) {
            Explode();
            return;
        } else {
            deathTimer -= dt;
            if (5.0f * dt > (Rand_Signed() + 1.0f) * 0.5f) {
                Matrix at = entity->local;
                const float r = 0.7f * radius;
                const float rx = Rand_Signed(), ry = Rand_Signed(), rz = Rand_Signed();
                at.posit = DVector{pos.x + r * rx, pos.y + r * ry, pos.z + r * rz};
                Craft_Services().explosionBuild(objClass, kCraftExplosionDeathSmall, at);
            }
        }
    }
    // 10. A driven craft takes a slot of its class's range.
    if (teamSlot == -1 && aiProcess && teamRecord && objClass->teamSlotFirst >= 0 && objClass->teamSlotLast >= 0) {
        const int32_t slot = teamRecord->FindFreeSlot(objClass->teamSlotFirst, objClass->teamSlotLast);
        if (slot != -1) {
            teamSlot = slot;
            teamRecord->SetSlot(slot, this);
        }
    }
}

void Craft::StartDeath() {
    CraftServices& svc = Craft_Services();
    Matrix at = entity->local;
    at.posit = DVector{pos.x, pos.y, pos.z};
    svc.explosionBuild(objClass, kCraftExplosionDeath, at);
    physFlags |= kCraftDying;
    // A deployed craft keeps the unset timer and so explodes on the next frame.
    if (deployState != 2) deathTimer = 5.0f;
    svc.reportUnitLost(this);
    svc.releaseEffects(entity);
    if (entity->flags & 0x80) {
        delete aiProcess;
        aiProcess = nullptr;
    } else if (pilotClass) {
        EjectPilot();
    } else {
        delete aiProcess;
        aiProcess = nullptr;
        if (this == GameObject_GetUser()) LeaveCockpit();
    }
    DestroyWeapons();
    // The wreck is kicked up and spun.
    const float r1 = Rand_Signed(), r2 = Rand_Signed(), r3 = Rand_Signed();
    euler.velocity = Add(euler.velocity, Vector{3.0f * r1, 3.0f * r2 + 10.0f, 3.0f * r3});
    const float r4 = Rand_Signed(), r5 = Rand_Signed(), r6 = Rand_Signed();
    euler.angularVelocity = Add(euler.angularVelocity, Vector{2.0f * r4, 0.5f * r5, 2.0f * r6});
    SetSpeedOf(euler);
    ForgetParts();
    svc.chunkSpawnFromEntityList(entity, euler.velocity);
    SpawnWreckEffects();
}

void Craft::ForgetParts() {
    pilotNode = entity;
    for (Entity*& node : smokeNodes) node = nullptr;
    smokeNodeCount = 0;
    if (body) body->cockpitPart = nullptr;
}

void Craft::SpawnWreckEffects() {
    CraftServices& svc = Craft_Services();
    const Vector zero{0.0f, 0.0f, 0.0f};
    const int smoke = static_cast<int>(10.0f * radius);
    for (int i = 0; i < smoke; ++i)
        svc.particleEffectAdd(kCraftParticleSmoke, Add(pos, RandomOffset(20.0f, 15.0f, 20.0f, 5.0f)), zero);
    if (!svc.effectsOn()) return;
    const int fire = static_cast<int>(radius);
    for (int i = 0; i < fire; ++i)
        svc.particleEffectAdd(kCraftParticleFire, Add(pos, RandomOffset(40.0f, 30.0f, 40.0f, 10.0f)), zero);
    if (NetworkGame()) return;
    for (int i = 0; i < fire; ++i) svc.chunkSpawn(pos, euler.velocity);
}

void Craft::UpdateWeaponAim(float) {
    if (!hardpoints) return;
    for (Weapon* weapon : hardpoints->weapons) {
        if (!weapon) continue;
        Matrix* local = Craft_Services().weaponLocalMatrix(weapon);
        if (!local) continue;
        local->right = Vector{1.0f, 0.0f, 0.0f};
        local->up = Vector{0.0f, 1.0f, 0.0f};
        local->front = Vector{0.0f, 0.0f, 1.0f};
    }
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
        if (Vec3_Dot(v, v) > 25.0f && !contact.entity)
            Craft_Services().damageDeliver(entity, nullptr, n, contact.velocity, &contact.point);
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

float Craft_TerrainDamageRate(int neighbours, float height) {
    const int k = neighbours / 2;
    float f;
    if (height > 1.0f)
        f = 1.25f - 0.25f * height;
    else if (height > 0.0f)
        f = 2.0f - height;
    else
        f = 2.0f;
    return f * static_cast<float>(k) * 40.0f;
}

void Craft::ApplyTerrainDamage(float dt) {
    const int damaging = Terrain_GetLava();
    if (damaging < 0) return;
    const Matrix& m = entity->local;
    auto cell = [](double metres) {
        const double c = std::nearbyint(metres * TerrainCellsPerMetre);
        return static_cast<int>(std::clamp<double>(c, kCellMin, kCellMax));
    };
    const int cx = cell(m.posit.x), cz = cell(m.posit.z);
    if (Terrain_GetCellClass(cx, cz) != damaging) return;
    int count = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dx = -1; dx <= 1; ++dx)
            if ((dx || dz) && Terrain_GetCellClass(cx + dx, cz + dz) == damaging) ++count;
    const float h = static_cast<float>(m.posit.y) - Terrain_GetHeight(m.posit.x, m.posit.z);
    const float amount = Craft_TerrainDamageRate(count, h) * dt;
    const int k = count / 2;
    if (!(amount > 0.0f)) return;
    DamageInfo damage{};
    damage.kind = 4;
    damage.playerId = kNoPlayer;
    damage.amount = amount;
    Vector normal{};
    Terrain_GetNormal(normal, m.posit.x, m.posit.z);
    TakeDamage(&damage, &normal);
    if (this == GameObject_GetUser()) Craft_Services().viewShake(static_cast<float>(k) * 0.01f);
}

void Craft::PostUpdate(float dt) {
    if (!(physFlags & kCraftSmoking) || (entity->flags & 0x400)) return;
    smokeTimer += dt;
    const ParticleKind& kind = ParticleKind_CraftSmoke(smokeKind);
    while (smokeTimer > 0.0f) {
        // Where the craft was when this puff left it.
        Matrix back = entity->local;
        Turn(back, euler.angularVelocity, -smokeTimer);
        back.posit.x -= static_cast<double>(euler.velocity.x) * smokeTimer;
        back.posit.y -= static_cast<double>(euler.velocity.y) * smokeTimer;
        back.posit.z -= static_cast<double>(euler.velocity.z) * smokeTimer;
        const int nodes = smokeNodeCount > 0 ? smokeNodeCount : 1;
        for (int i = 0; i < nodes; ++i) {
            Vector local = boxFaceCentres[3];
            if (smokeNodeCount > 0) {
                Matrix placement;
                Entity_GetTransformTo(placement, smokeNodes[i], entity);
                local = ToVector(placement.posit);
            }
            const Vector where = ToVector(Matrix_TransformPoint(local, back));
            const float rx = RandomTable_Next(), ry = RandomTable_Next(), rz = RandomTable_Next();
            const Vector velocity = Add(Scale(euler.velocity, 0.5f), Vector{rx, ry + 3.0f, rz});
            ParticleBuffer_Add(kind, where, velocity, smokeTimer);
        }
        smokeTimer -= 0.1f;
    }
}

bool Craft::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (!contact || (entity->flags & 0x20) || (physFlags & kCraftIgnoresCollisions)) return false;
    if (other && (other->type == kTypePowerUp || (other->type == kTypePersonCode && (other->flags & kEntityDead))))
        return false;
    // The tug carrying this craft does not bump it.
    if (other && isCargo && carrier && GameObject_FromEntity(other) == carrier) return false;
    body->contact = *contact;
    Craft* otherCraft = other ? Craft_FromEntity(other) : nullptr;
    if (!otherCraft || otherCraft->IsDeployed()) body->contact.entity = nullptr;
    Vector relative{};
    if (other) {
        const Vector there = ToVector(other->local.posit);
        relative = Vec3_Sub(there, pos);
    }
    Craft_Services().damageDeliver(entity, other, contact->normal, contact->velocity, &relative);
    return true;
}

// ---- damage and network state -------------------------------------------------------------

bool Craft::TakeDamage(DamageInfo* damage, const Vector* offset) {
    if (!damage || !(damage->amount > 0.0f)) return false;
    NoteHit(*damage);
    ScaleDamage(*damage);
    CraftServices& svc = Craft_Services();
    const bool user = this == GameObject_GetUser();
    if (user) svc.viewShake(damage->amount * 0.002f);
    // The push comes from what carried the hit (the shot or the blast), not from who is credited.
    Entity* source = damage->carrier;
    if (source && (source->type == kTypeOrdnance || source->type == kTypeExplosion)) {
        const float k = std::clamp(euler.invMass * damage->amount, 0.0f, 1.0f);
        if (source->type == kTypeOrdnance) {
            EntityDynamics shot{};
            EntityDynamics_Init(shot);
            Classfnc_GetDynamics(&shot, source);
            euler.velocity = Add(euler.velocity, Scale(shot.velocity, k * 10.0f));
            SetSpeedOf(euler);
            const float length = Length(shot.velocity);
            const Vector direction = length > 0.0f ? Scale(shot.velocity, 1.0f / length) : Vector{0.0f, 0.0f, 0.0f};
            const float kk = radius > 5.0f ? k * 5.0f / radius : k;
            if (offset) {
                const Vector spin = Vec3_Unrotate(Vec3_Cross(*offset, direction), entity->local);
                if (IsFinite(spin)) euler.angularVelocity = Add(euler.angularVelocity, Scale(spin, kk));
            }
            if (svc.effectsOn()) {
                // Clamped at 0: a light hit throws no debris.
                int chunks = std::max(0, static_cast<int>(std::trunc(damage->amount - 16.0f)) / 32);
                if (chunks > 9) chunks = 10;
                const Vector at = offset ? Add(pos, *offset) : pos;
                for (int i = 0; i < chunks; ++i) svc.chunkSpawn(at, Scale(direction, 10.0f));
            }
        } else {
            const Vector away = Vec3_Sub(pos, ToVector(source->local.posit));
            const float length = Length(away);
            // A blast at the craft's own point has no direction to push along.
            if (length > 0.0f && std::isfinite(length)) {
                euler.velocity = Add(euler.velocity, Scale(away, 20.0f * k / length));
                SetSpeedOf(euler);
            }
        }
    }
    if (IsRemote()) return false;
    float amount = damage->amount;
    if (damage->kind & kDamageExtraKind) amount = amount * 7.0f / 6.0f;
    AddHealth(-amount);
    if (healthRatio >= 0.0f) return false;
    if (entity->flags & kEntityDead) return true;
    Entity_SetFlagTree(entity, kEntityDead);
    if (NetworkGame() && teamRecord && playerId != kNoPlayer) {
        svc.netReportKill(this);
        svc.netSendKillMessage(damage->playerId, this, 67, user);
    }
    return true;
}

void Craft::Explode() {
    CraftServices& svc = Craft_Services();
    Entity_SetFlagTree(entity, kEntityDead);
    Matrix at = entity->local;
    at.posit = DVector{pos.x, pos.y, pos.z};
    svc.explosionBuild(objClass, kCraftExplosionMain, at);
    Matrix ground = at;
    ground.posit.y = Terrain_GetHeight(ground.posit.x, ground.posit.z);
    svc.explosionBuild(objClass, kCraftExplosionGround, ground);
    float size = 0.0f;
    if (svc.effectsOn() && radius > 5.0f && svc.sphereInView(pos, radius, &size)) svc.viewShake(size * size);
    ForgetParts();
    svc.chunkSpawnFromEntityList(entity, euler.velocity);
    SpawnWreckEffects();
    if (!(entity->flags & 0x80)) {
        if (!NetworkGame()) {
            svc.scrapSpawn(pos, objClass->scrapValue);
        } else if (!Seam_Net().isDeathmatch() && !IsRemote()) {
            svc.scrapSpawn(pos, std::min(objClass->scrapValue, (objClass->scrapCost + 2) / 2));
        }
    }
    TearDown();
}

void Craft::DropHeadlightMask() {
    // A tree already being freed has no references left to drop.
    if (!body || !body->headlightMask || !entity || entity->state != kEntityAlive) return;
    Entity* mask = body->headlightMask;
    body->headlightMask = nullptr;
    // A mask still placed through this vehicle is hidden and cut loose; the terrain's list,
    // which holds it, releases it with the map.
    if (mask->up == entity && entity->child != mask) {
        mask->up = nullptr;
        mask->flags |= kEntityNotDrawn;
    }
    Entity_AddToCounts(entity, -1);
}

void Craft::TearDown() {
    if (isCargo && carrier) Craft_Services().tugReleaseCargo(carrier, this);
    DropHeadlightMask();
    GameObject::TearDown();
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
        pilotClass = objClass;
        if (!aiProcess) aiProcess = Craft_Services().netCreateProcess(this);
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
    if (flags & 0x10) {
        Entity_SetFlagTree(entity, 0x280);
        Craft_Services().netRegister(this);
    }
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
    if (!GameObject::Load()) return false;
    KeepEntityRef(*this);
    return true;
}

bool Craft::PostLoad() {
    abandoned = Field_ResolveHandle(abandoned);
    if (!GameObject::PostLoad()) return false;
    UpdateDamageSmoke(healthRatio);
    return true;
}

void Craft_ResetList() { CraftList().clear(); }

// ---- entity-side wrappers -----------------------------------------------------------------

void Craft_SetTargetSpeed(Entity* entity, float speed) {
    if (Craft* craft = Craft_FromEntity(entity)) craft->SetSpeed(speed);
}

void Craft_SetHeading(Entity* entity, float angle) {
    if (Craft* craft = Craft_FromEntity(entity)) craft->SetHeading(std::sin(angle), std::cos(angle));
}

float Craft_GetAimAngle(Entity* entity) {
    Craft* craft = Craft_FromEntity(entity);
    return craft ? craft->GetAimAngle() : 0.0f;
}

bool Craft_StopReversing(Entity* entity) {
    Craft* craft = Craft_FromEntity(entity);
    return craft ? craft->StopReversing() : true;
}

bool Craft_IsDeployedOfEntity(Entity* entity) {
    Craft* craft = Craft_FromEntity(entity);
    return craft && craft->IsDeployed();
}

Craft* Craft_BuildFromNet(Entity* entity, const char name[8], uint32_t teamBits) {
    if (!entity || !name || entity->owner) return nullptr;
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, name, kClassNameSize);
    // Only a craft's class builds a craft.
    auto* cls = dynamic_cast<CraftClass*>(GameObjectClass::Find(text));
    if (!cls) return nullptr;
    auto* craft = dynamic_cast<Craft*>(cls->BuildObject(entity));
    if (!craft) return nullptr;
    craft->body->owner = craft;
    craft->SetTeam(static_cast<int32_t>(teamBits & 7u));
    return craft;
}
