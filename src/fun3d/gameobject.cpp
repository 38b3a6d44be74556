#include "fun3d/gameobject.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/factory.h"
#include "core/helpers.h"
#include "core/phasehook.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/weapons.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "fun3d/tugsav.h"
#include "fun3d/visibility.h"

namespace {

constexpr uint32_t kCheatUnlimitedAmmo = 0x4;
constexpr uint32_t kCheatInvulnerable = 0x8;

GameObject* g_user = nullptr;
int32_t g_userTeam = 0;
TeamRecord* g_userTeamRecord = nullptr;

uint32_t g_colourPairs[5][2] = {};

int32_t TeamBits(const Entity* e) { return static_cast<int32_t>((e->flags & kEntityTeamMask) >> kEntityTeamShift); }

bool CheatOn(uint32_t bit) {
    if (Seam_Net().isNetworkGame()) return false;
    return (Seam_Cockpit().cheatFlags() & bit) != 0;
}

// Depth first, children before the next sibling: the first part whose name starts with the
// three characters of the hardpoint name, without regard to case.
Entity* FindHardpointPart(Entity* first, const char* name) {
    for (Entity* e = first; e; e = e->next) {
        if (Text_CompareNoCaseN(e->name, name, 3) == 0) return e;
        if (Entity* found = FindHardpointPart(e->child, name)) return found;
    }
    return nullptr;
}

// The hardpoint name as text (4 bytes, not always terminated).
void HardpointName(const GameObjectClass* cls, int slot, char out[5]) {
    std::memcpy(out, cls->hardpointNames[slot], 4);
    out[4] = '\0';
}

}  // namespace

// ---- colours ------------------------------------------------------------------------------

void GameObject_SetColourPair(TeamColourKind kind, uint32_t first, uint32_t second) {
    if (kind < kColoursNeutral || kind > kColoursPowerUp) return;
    g_colourPairs[kind][0] = first;
    g_colourPairs[kind][1] = second;
}

// ---- construction and destruction ---------------------------------------------------------

GameObject::GameObject(Entity* e, GameObjectClass* cls) : entity(e), objClass(cls) {
    commands.Clear();
    commands.selected = -1;
    entity->owner = this;
    slotIndex = GameObject_PoolSlotOf(this);

    std::vector<GameObject*>& list = GameObject_List();

    if (entity->flags & kEntityUser) {
        g_user = this;
        g_userTeam = TeamBits(entity);
        g_userTeamRecord = TeamRecord::Get(g_userTeam);
    }

    seqNo = GameObject_TakeSerial();
    GameObject_PoolSetSerial(slotIndex, seqNo);
    perceivedTeam = TeamBits(entity);

    if (!Entity_GetParent(entity)) {
        record = Entities_FindRecord(entity);
        list.push_back(this);
        if (record) pos = record->localCentre;
    }

    spriteIndex = objClass->spriteIndex;

    maxHealth = curHealth = static_cast<float>(objClass->health);
    healthRatio = 1.0f;
    maxAmmo = curAmmo = objClass->ammo;
    ammoRatio = maxAmmo > 0 ? 1.0f : 0.0f;

    int32_t digits = objClass->weaponLinkDigits;
    for (int i = 0; i < kHardpointCount; ++i) {
        if (digits % 10 != 0) weaponLinkMask |= 1u << i;
        digits /= 10;
    }

    if (objClass->distance > 0.0f)
        radius = objClass->distance;
    else
        radius = record ? record->radius : entity->boundsRadius;
    createTime = Clock_GetTimeMs();

    MountWeapons();

    SizePlannerSlots();
    EntityDynamics_Init(euler);
    UpdateSphere();
    PhaseHook_ObjectAddedAll(this);
    smoothingMark = -1.0f;
}

void GameObject::MountWeapons() {
    for (int i = 0; i < kHardpointCount; ++i) {
        if (objClass->hardpointNames[i][0] == '\0') continue;
        if (!hardpoints) hardpoints = new HardpointList(this);
        char name[5];
        HardpointName(objClass, i, name);
        Entity* part = FindHardpointPart(entity->child, name);
        Weapon* weapon = nullptr;
        if (WeaponClass* weaponClass = objClass->weaponClasses[i]) {
            if (!part) {
                Error_Warning("Object '%.8s' slot #%d: no hardpoint named '%s'", objClass->defName, i, name);
            } else {
                weapon = Seam_Weapons().weaponClassBuild(weaponClass, entity, part);
                if (!weapon) {
                    Error_Warning("Object '%.8s' slot #%d: couldn't add weapon '%.8s' to hardpoint '%s'",
                                  objClass->defName, i, Seam_Weapons().weaponClassName(weaponClass), name);
                }
            }
        }
        hardpoints->SetWeapon(i, part, weapon);
        if (part && part->type == kSpecialHardpointType) hardpoints->special = i;
    }
    if (hardpoints) hardpoints->enabled = hardpoints->present;
}

GameObject::~GameObject() {
    std::vector<GameObject*>& list = GameObject_List();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (isObjective) SetObjective(0);
    if (teamRecord && teamRecord->GetSlot(teamSlot) == this) teamRecord->SetSlot(teamSlot, nullptr);
    delete aiProcess;
    aiProcess = nullptr;
    delete[] label;
    label = nullptr;
    delete sensor;
    sensor = nullptr;
    delete conceal;
    conceal = nullptr;
    if (g_user == this) g_user = nullptr;
    // A tug never keeps a cargo that is gone.
    if (carrier) Tug_ForgetCargo(carrier, this);
    carrier = nullptr;
    FreePath(curCmd.where);
    FreePath(nextCmd.where);
    if (hardpoints) {
        for (int i = 0; i < kHardpointCount; ++i)
            if (hardpoints->weapons[i]) Seam_Weapons().weaponDestroy(hardpoints->weapons[i]);
        delete hardpoints;
        hardpoints = nullptr;
    }
    if (entity && entity->owner == this) entity->owner = nullptr;
}

void GameObject::operator delete(void* slot) { GameObject_PoolFree(slot); }

// ---- teams --------------------------------------------------------------------------------

void GameObject::SetTeam(int32_t t) {
    entity->flags = (entity->flags & ~kEntityTeamMask) | ((static_cast<uint32_t>(t) << kEntityTeamShift) & kEntityTeamMask);
    team = t;
    teamRecord = TeamRecord::Get(t);
    teamSlot = -1;
    if (teamRecord) {
        if (this == g_user)
            teamSlot = 0;
        else if (objClass->teamSlotFirst >= 0 && objClass->teamSlotLast >= 0)
            teamSlot = teamRecord->FindFreeSlot(objClass->teamSlotFirst, objClass->teamSlotLast);
        if (teamSlot != -1) teamRecord->SetSlot(teamSlot, this);
    }
    PickTeamColours();
    BuildCommandList();
    commands.selected = 0;
}

void GameObject::LeaveTeam() {
    // Only the slot's own occupant frees it: the user's object may have taken slot 0 over.
    if (teamRecord && teamSlot != -1 && teamRecord->GetSlot(teamSlot) == this) teamRecord->SetSlot(teamSlot, nullptr);
    teamRecord = nullptr;
    team = -1;
    teamSlot = -1;
    Seam_Cockpit().unitGroupsDropHandle(GetObjHandle());
}

void GameObject::PickTeamColours() {
    const uint32_t* pair;
    if (teamSlot == -1 && entity->type == kTypePowerUp)
        pair = g_colourPairs[kColoursPowerUp];
    else if (team == 0)
        pair = g_colourPairs[kColoursNeutral];
    else if (team == g_userTeam)
        pair = g_colourPairs[kColoursOwn];
    else if (g_userTeamRecord && g_userTeamRecord->IsAlly(team))
        pair = g_colourPairs[kColoursAlly];
    else
        pair = g_colourPairs[kColoursEnemy];
    teamColours[0] = pair[0];
    teamColours[1] = pair[1];
}

bool GameObject::IsAllyTeam(int32_t t) const { return t > 0 && teamRecord && teamRecord->IsAlly(t); }
bool GameObject::IsEnemyTeam(int32_t t) const { return t > 0 && teamRecord && teamRecord->IsEnemy(t); }
bool GameObject::IsAlly(const GameObject* other) const { return other && IsAllyTeam(other->perceivedTeam); }
bool GameObject::IsEnemy(const GameObject* other) const { return other && IsEnemyTeam(other->perceivedTeam); }

// ---- the user -----------------------------------------------------------------------------

sObject* GameObject::MakeUser() {
    delete aiProcess;
    aiProcess = nullptr;
    LeaveTeam();
    Entities_SetUser(record);
    GameObject* previous = g_user;
    g_user = this;
    if (previous && previous != this) previous->ReleaseUser();
    SetTeam(g_userTeam);
    sObject* process = Seam_Ai().createUserProcess(this);
    if (process) aiProcess = process;
    return process;
}

void GameObject::ReleaseUser() {
    delete aiProcess;
    aiProcess = nullptr;
    LeaveTeam();
    SetTeam(TeamBits(entity));
}

GameObject* GameObject_GetUser() { return g_user; }
int32_t GameObject_GetUserTeam() { return g_userTeam; }
TeamRecord* GameObject_GetUserTeamRecord() { return g_userTeamRecord; }

void GameObject_ForgetUser() {
    g_user = nullptr;
    g_userTeam = 0;
    g_userTeamRecord = nullptr;
}

// ---- primary operations -------------------------------------------------------------------

bool GameObject::HasPilot() { return false; }

void GameObject::AddHealth(float amount) {
    if (maxHealth <= 0.0f) return;
    if (this == g_user && amount <= 0.0f && CheatOn(kCheatInvulnerable)) return;
    curHealth += amount;
    if (curHealth > maxHealth) curHealth = maxHealth;
    healthRatio = curHealth / maxHealth;
}

void GameObject::SetMaxHealth(float value) {
    if (this == g_user && value <= 0.0f && CheatOn(kCheatInvulnerable)) return;
    maxHealth = value;
}

int32_t GameObject::AddAmmo(int32_t amount) {
    if (maxAmmo <= 0) return maxAmmo;
    if (this == g_user && amount <= 0 && CheatOn(kCheatUnlimitedAmmo)) return 1;
    // Summed in 64 bits: a spend far past the stock must not wrap round to a full magazine.
    int64_t sum = int64_t(curAmmo) + amount;
    if (sum > maxAmmo) sum = maxAmmo;
    if (sum < INT32_MIN) sum = INT32_MIN;
    curAmmo = static_cast<int32_t>(sum);
    ammoRatio = static_cast<float>(curAmmo) / static_cast<float>(maxAmmo);
    return curAmmo;
}

float GameObject::GetAmmoRatio() { return ammoRatio; }
void GameObject::OnNoticeA() {}
void GameObject::OnNoticeB() {}
int32_t GameObject::GetEntityRef() { return entityRef; }
bool GameObject::HandleRequest(int32_t) { return true; }
int32_t GameObject::GetSelfCommand(int32_t) { return 0; }
int32_t GameObject::GetCommandForTarget(GameObject*) { return 0; }

bool GameObject::CanTakeAiOrders() {
    return this != g_user && !(entity->flags & kEntityDead) && aiProcess && curCmd.priority == 0;
}

void GameObject::Update(float) {}
void GameObject::PostUpdate(float) {}
bool GameObject::IsWorldFixture() { return false; }
bool GameObject::OnContact(Entity*, CollisionBody*, void*) { return true; }

void GameObject::BuildCommandList() {}
bool GameObject::IsReady() { return true; }

// ---- network-identity operations ----------------------------------------------------------

GameObjectClass* GameObject::GetClass() { return objClass; }
int32_t GameObject::GetTeam() { return team; }

void GameObject::ChangeTeam(int32_t t) {
    LeaveTeam();
    SetTeam(t);
}

Vector GameObject::GetPosition() { return pos; }

void GameObject::DestroyWeapons() {
    if (!hardpoints) return;
    for (int i = 0; i < kHardpointCount; ++i) {
        if (!hardpoints->weapons[i]) continue;
        Seam_Weapons().weaponDestroy(hardpoints->weapons[i]);
        hardpoints->SetWeapon(i, hardpoints->hardpoints[i], nullptr);
    }
    delete hardpoints;
    hardpoints = nullptr;
}

void GameObject::TearDown() {
    PhaseHook_NotifyAll(this);
    Entity_SetFlagTree(entity, kEntityDead);
    Seam_Net().publishState(this);
    delete aiProcess;
    aiProcess = nullptr;
    DestroyWeapons();
    LeaveTeam();
    if (record) {
        Entities_Remove(record);
        record = nullptr;
    }
    // Releasing the tree runs the kind's free function, which destroys this object and returns
    // its slot: nothing of it may be touched after this.
    Entity_Release(entity);
}

void GameObject::Explode() {
    pilotClass = nullptr;
    Entity_SetFlagTree(entity, 0x280);
    ownership = kNetUnowned;
    Seam_Net().forgetRemote(this);
    if (objClass->signature == Signature("SCRP")) TearDown();
}

// The publish defaults (first-seen time, must-publish byte, last publication) are with the
// other network operations in objectnet.cpp.

float GameObject::GetHealthRatio() { return healthRatio; }
bool GameObject::IsRecycleRequested() { return recycleRequest != 0; }
void GameObject::RequestRecycle() { recycleRequest = 1; }
void GameObject::OnNetNotice(int32_t) {}
EntityTableRecord* GameObject::GetEntityRecord() { return record; }
Entity* GameObject::GetEntity() { return entity; }
int32_t GameObject::NetQuery() { return 0; }
bool GameObject::TakeDamage(DamageInfo*, const Vector*) { return false; }
void GameObject::PackNetState(uint8_t*, int32_t&) {}
void GameObject::UnpackNetState(const uint8_t*, int32_t) {}
void GameObject::PackNetExtra(uint8_t*, int32_t&) {}
void GameObject::UnpackNetExtra(const uint8_t*, int32_t) {}

// ---- handles ------------------------------------------------------------------------------

uint32_t GameObject::GetObjHandle(const GameObject* object) {
    if (!object || object->seqNo == 0 || object->slotIndex < 0) return 0;
    return static_cast<uint32_t>(object->slotIndex) << kHandleSlotShift | (object->seqNo & kHandleSerialMask);
}

GameObject* GameObject::FromHandleRaw(uint32_t handle) {
    if (handle == 0) return nullptr;
    const int slot = static_cast<int>(handle >> kHandleSlotShift);
    const uint32_t serial = GameObject_PoolSerial(slot);
    // Both sides keep 23 bits: the running serial outgrows the handle's field.
    if (serial == 0 || (serial & kHandleSerialMask) != (handle & kHandleSerialMask)) return nullptr;
    return GameObject_PoolObject(slot);
}

GameObject* GameObject::FromHandle(uint32_t handle) {
    GameObject* object = FromHandleRaw(handle);
    if (object && (object->entity->flags & kEntityDead)) return nullptr;
    return object;
}

// ---- small setters ------------------------------------------------------------------------

void GameObject::SetLabel(const char* text) {
    char* copy = nullptr;
    if (text) {
        const size_t n = std::strlen(text);
        copy = new char[n + 1];
        std::memcpy(copy, text, n + 1);
    }
    delete[] label;
    label = copy;
}

void GameObject::SetTarget(const GameObject* object) { target = GetObjHandle(object); }

void GameObject::SetLastAttacker(const GameObject* object) {
    lastAttacker = GetObjHandle(object);
    lastAttackerPlayer = object ? object->GetPlayerId() : kNoPlayer;
}

void GameObject::SetVelocity(const Vector& v) {
    euler.velocity = v;
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    euler.speed = length;
    euler.invSpeed = length > 0.0f ? 1.0f / length : 1e30f;
}

void GameObject::SetMatrix(const Matrix& m) {
    entity->local = m;
    UpdateSphere();
}

void GameObject::SetPosition(const Vector& p) {
    entity->local.posit = DVector{p.x, p.y, p.z};
    UpdateSphere();
}

void GameObject::UpdateSphere() {
    Matrix world;
    Entity_GetTransformTo(world, entity, nullptr);
    const Vector local = record ? record->localCentre : entity->boundsCentre;
    const DVector centre = Matrix_TransformPoint(local, world);
    pos = Vector{static_cast<float>(centre.x), static_cast<float>(centre.y), static_cast<float>(centre.z)};
    if (record) {
        const float r = record->radius;
        record->boxMin = Vector{pos.x - r, pos.y - r, pos.z - r};
        record->boxMax = Vector{pos.x + r, pos.y + r, pos.z + r};
    }
}

// ---- commands -----------------------------------------------------------------------------

void GameObject::FreePath(AiPath*& path) {
    if (path) Seam_Ai().pathFree(path);
    path = nullptr;
}

AiPath* GameObject::PathTo(const Vector& point) const {
    return Seam_Ai().pathNew(Vector2D{pos.x, pos.z}, Vector2D{point.x, point.z});
}

void GameObject::SetNextCmdInfo(const AiCmdInfo& info) {
    if (nextCmd.where != info.where) FreePath(nextCmd.where);
    nextCmd = info;
}

void GameObject::SetCommand(int32_t code) {
    FreePath(nextCmd.where);
    nextCmd.priority = 0;
    nextCmd.what = code;
    nextCmd.who = 0;
    nextCmd.param = 0;
}

void GameObject::SetCommandObject(int32_t code, GameObject* object) {
    if (!object) {
        SetCommand(code);
        return;
    }
    FreePath(nextCmd.where);
    nextCmd.priority = 0;
    nextCmd.what = code;
    nextCmd.who = GetObjHandle(object);
    nextCmd.where = PathTo(object->GetPosition());
    nextCmd.param = 0;
    const Vector at = object->GetPosition();
    SendRemoteCommand(code, nextCmd, &at);
}

void GameObject::SetCommandPosition(int32_t code, const Vector& point, int32_t parameter) {
    FreePath(nextCmd.where);
    nextCmd.priority = 0;
    nextCmd.what = code;
    nextCmd.who = 0;
    nextCmd.where = PathTo(point);
    nextCmd.param = parameter;
    SendRemoteCommand(code, nextCmd, &point);
}

void GameObject::SetCommandObjectPosition(int32_t code, GameObject* object, const Vector& point, float value) {
    FreePath(nextCmd.where);
    nextCmd.priority = 0;
    nextCmd.what = code;
    nextCmd.who = GetObjHandle(object);
    nextCmd.where = PathTo(point);
    nextCmd.value = value;
    nextCmd.param = 0;
    SendRemoteCommand(code, nextCmd, &point);
}

void GameObject::SetCommandParameter(int32_t code, int32_t parameter) {
    FreePath(nextCmd.where);
    nextCmd.priority = 0;
    nextCmd.what = code;
    nextCmd.who = 0;
    nextCmd.param = parameter;
}

int32_t GameObject::AcceptCommand() {
    if (nextCmd.what == kCmdConsumed) {
        nextCmd.what = kCmdNone;
        return kCmdConsumed;
    }
    FreePath(curCmd.where);
    curCmd = nextCmd;
    // The path now belongs to the current command; the float value stays behind.
    nextCmd.priority = 0;
    nextCmd.what = 0;
    nextCmd.who = 0;
    nextCmd.where = nullptr;
    nextCmd.param = 0;
    return curCmd.what;
}

void GameObject::ClearCommand() {
    FreePath(curCmd.where);
    curCmd = AiCmdInfo{};
}

GameObject* GameObject::GetCommandTarget() const { return FromHandle(curCmd.who); }

Vector GameObject::GetCommandPoint() const {
    Vector2D first{0.0f, 0.0f};
    if (curCmd.where && Seam_Ai().pathFirstPoint(curCmd.where, &first)) return Vector{first.x, 0.0f, first.z};
    return Vector{0.0f, 0.0f, 0.0f};
}


// ---- hits ---------------------------------------------------------------------------------

void GameObject::NoteHit(const DamageInfo& damage) {
    const float now = Clock_GetTime();
    hitWord = 0;
    if (!damage.source) {
        groundCollide = now;
        return;
    }
    const bool fromUser = (damage.kind & kDamageUserSide) != 0;
    const int32_t ownerTeam = TeamBits(damage.source);
    if (damage.source == damage.carrier) {
        if (fromUser) playerCollide = now;
        if (IsEnemyTeam(ownerTeam))
            enemyCollide = now;
        else
            friendCollide = now;
        return;
    }
    if (fromUser) playerShot = now;
    if (IsEnemyTeam(ownerTeam)) {
        enemyShot = now;
        Seam_Cockpit().reportUnderAttack(this);
    } else {
        friendShot = now;
    }
    GameObject* shooter = GameObject_FromEntity(damage.source);
    if (shooter && shooter != this) {
        lastShooter = GetObjHandle(shooter);
        shooter->lastHitTarget = GetObjHandle();
        shooter->lastHitTime = now;
        // Attacking reveals a disguise.
        shooter->perceivedTeam = shooter->team;
    }
}

void GameObject::ScaleDamage(DamageInfo& damage) const {
    if (Seam_Net().isNetworkGame()) return;
    const int d = Seam_Missions().difficulty();
    if (d >= 2) return;
    const float level = static_cast<float>(std::max(d, 0));
    const bool allied = damage.source && IsAllyTeam(TeamBits(damage.source));
    float factor;
    if (entity->flags & kEntityUser) {
        factor = allied ? 0.5f * level : 0.25f * level + 0.5f;
    } else {
        if (!(damage.kind & kDamageUserSide)) return;
        factor = allied ? 0.5f * level : 1.5f - 0.25f * level;
    }
    damage.amount *= factor;
}

void DamageInfo::SetSourceEntity(Entity* e) {
    *this = DamageInfo{};
    source = e;
    carrier = e;
    kind = kDamageImpact;
    playerId = kNoPlayer;
    if (!e) return;
    if (e->flags & (kEntityUser | 0x20)) kind |= kDamageUserSide;
    if (e->flags & 0x20) kind |= kDamageExtraKind;
    if (const GameObject* object = GameObject_FromEntity(e)) playerId = object->GetPlayerId();
}

// ---- small accessors ----------------------------------------------------------------------

GameObject* GameObject_FromEntity(const Entity* e) {
    if (!e) return nullptr;
    if (e->owner) return static_cast<GameObject*>(e->owner);
    const Entity* root = Entity_GetRoot(e);
    return root ? static_cast<GameObject*>(root->owner) : nullptr;
}

Entity* GameObject_EntityFromHandle(uint32_t handle) {
    GameObject* object = GameObject::FromHandle(handle);
    return object ? object->GetEntity() : nullptr;
}

GameObject* GameObject_TargetOfEntity(const Entity* e) {
    const GameObject* object = GameObject_FromEntity(e);
    return object ? GameObject::FromHandleRaw(object->target) : nullptr;
}

uint32_t GameObject_HandleOfEntity(const Entity* e) { return GameObject::GetObjHandle(GameObject_FromEntity(e)); }

bool GameObject_EntityIsLit(const Entity* e) {
    const GameObject* object = GameObject_FromEntity(e);
    return object && object->illumination > 0.0f;
}
