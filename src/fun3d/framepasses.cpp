#include "fun3d/framepasses.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Objkr/bucketgrid.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/building.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/person.h"
#include "fun3d/powerup.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"

namespace {

constexpr float kStepMin = 0.002f;
constexpr float kStepMax = 0.1f;
constexpr int kStepsMax = 5;
constexpr float kSmoothingShare = 0.3f;
constexpr double kGridCell = 256.0;
constexpr int kGridCapacity = 768;
constexpr int kPressureFreeSlots = 50;
constexpr int kPressureGroupMax = 30;

std::unique_ptr<BucketGrid> g_grid;

bool IsNetworkGame() { return Seam_Net().isNetworkGame(); }

GameObject* OwnerOf(Entity* e) { return e ? static_cast<GameObject*>(e->owner) : nullptr; }

// The object is still the one in its slot (Update may tear it down and free the slot).
bool StillThere(GameObject* object, uint32_t handle) { return GameObject::FromHandleRaw(handle) == object; }

Quaternion Normalised(Quaternion q) {
    float lengthSq = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (lengthSq < 0.0001f) lengthSq = 0.0001f;
    const float k = 1.0f / std::sqrt(lengthSq);
    return Quaternion{q.x * k, q.y * k, q.z * k, q.w * k};
}

// The orientation halfway between two matrices along the shorter arc, at the position of `to`.
void BlendOrientation(const Matrix& from, Matrix& to) {
    const Quaternion a = Normalised(Matrix_ToQuaternion(from));
    Quaternion b = Normalised(Matrix_ToQuaternion(to));
    if (a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w < 0.0f) b = Quaternion{-b.x, -b.y, -b.z, -b.w};
    const DVector posit = to.posit;
    to = Quaternion_ToMatrix(Quaternion_Slerp(a, b, 0.5f));
    to.posit = posit;
}

}  // namespace

// ---- entity class functions ---------------------------------------------------------------

void GameObject_SimulateObject(GameObject* object, float dt) {
    if (!object) return;
    if (!IsNetworkGame()) {
        object->timeAccumulator += dt;
        if (object->timeAccumulator > 0.0f) {
            const float step = object->timeAccumulator;
            object->timeAccumulator = 0.0f;
            object->Update(step);
        }
        return;
    }
    Entity* e = object->entity;
    const uint32_t handle = object->GetObjHandle();
    const bool remote = object->IsRemote();
    Matrix remembered{};
    if (remote) {
        remembered = e->local;
        if (object->smoothingMark != -1.0f) e->local = object->networkMatrix;
    }
    object->timeAccumulator += dt;
    for (int steps = 0; steps < kStepsMax && object->timeAccumulator > 0.0f; ++steps) {
        const float step = std::clamp(object->timeAccumulator, kStepMin, kStepMax);
        object->Update(step);
        if (!StillThere(object, handle)) return;
        object->timeAccumulator -= step;
        if (e->flags & kEntityDead) break;
    }
    if (remote && !(e->flags & kEntityDead)) {
        Matrix& now = e->local;
        BlendOrientation(remembered, now);
        now.posit.x = remembered.posit.x + (now.posit.x - remembered.posit.x) * kSmoothingShare;
        now.posit.y = remembered.posit.y + (now.posit.y - remembered.posit.y) * kSmoothingShare;
        now.posit.z = remembered.posit.z + (now.posit.z - remembered.posit.z) * kSmoothingShare;
    }
    object->UpdateSphere();
}

void GameObject_EntitySimulate(Entity* e) { GameObject_SimulateObject(OwnerOf(e), Clock_GetFrameTime()); }

void GameObject_EntityPostStep(Entity* e, float frameTime) {
    GameObject* object = OwnerOf(e);
    if (object && !(e->flags & kEntityDead)) object->PostUpdate(frameTime);
}

void GameObject_EntityMotion(Entity* e, Vector* velocity, void** motion) {
    GameObject* object = OwnerOf(e);
    if (velocity) *velocity = object ? object->euler.velocity : Vector{0.0f, 0.0f, 0.0f};
    if (motion) *motion = object ? &object->euler : nullptr;
}

void GameObject_EntityDynamics(EntityDynamics* out, Entity* e) {
    if (!out) return;
    if (GameObject* object = OwnerOf(e))
        *out = object->euler;
    else
        EntityDynamics_Init(*out);
}

int GameObject_EntityContact(Entity* e, Entity* other, CollisionBody* contact, CollisionBody* otherContact) {
    GameObject* object = OwnerOf(e);
    if (auto* building = dynamic_cast<Building*>(object)) return building->ContactOn(e, other, contact) ? 1 : 0;
    return object && object->OnContact(other, contact, otherContact) ? 1 : 0;
}

int GameObject_EntityDamage(Entity* e, DamageInfo* damage, Entity*) {
    GameObject* object = OwnerOf(e);
    if (auto* building = dynamic_cast<Building*>(object)) return damage && building->TakeDamageOn(e, damage) ? 1 : 0;
    return object && damage && object->TakeDamage(damage, nullptr) ? 1 : 0;
}

void GameObject_InstallClassFunctions() {
    ClassfncOwners& owners = Classfnc_Owners();
    owners.craftActivate = Craft_ActivateEntity;
    owners.powerUpActivate = PowerUp_ActivateEntity;
    owners.buildingActivate = Building::Init;
    owners.buildingNew = Building_NewEntityRecord;
    owners.buildingFree = Building_FreeEntityRecord;
    owners.powerUpNew = PowerUpVehicle_New;
    owners.powerUpFree = PowerUpVehicle_Free;
    owners.personActivate = Craft_ActivateEntity;
    owners.personNew = Person_NewRecord;
    owners.personFree = Person_FreeRecord;
    owners.objectSimulate = GameObject_EntitySimulate;
    owners.objectPostStep = GameObject_EntityPostStep;
    owners.objectMotion = GameObject_EntityMotion;
    owners.objectDynamics = GameObject_EntityDynamics;
    owners.objectCollide = GameObject_EntityContact;
    owners.objectDamage = GameObject_EntityDamage;
    // Freeing a craft's physics record (its entity released by the teardown) destroys the craft.
    owners.destroyPhysOwner = [](void* owner) { delete static_cast<Craft*>(owner); };
}

// ---- per-frame passes ---------------------------------------------------------------------

void GameObject_UpdateVisibility() { GameObject_UpdateVisibility(Clock_GetFrameTime()); }

void GameObject_UpdateVisibility(float dt) {
    Visibility_Update();
    // A sweep never creates or destroys sensors; copy anyway so that a kind's reaction to being
    // seen cannot invalidate the walk.
    const std::vector<ObjectSensor*> sensors = ObjectSensor_List();
    for (ObjectSensor* sensor : sensors) sensor->Sweep(dt);
    const uint32_t userBit = Visibility_TeamBit(GameObject_GetUserTeam());
    for (GameObject* object : GameObject_List()) {
        if (object->isVisible & userBit) {
            object->illumination = 1.0f;
        } else {
            object->illumination = std::max(object->illumination - dt, 0.0f);
        }
    }
}

void GameObject_CreateGrid() {
    float bounds[6];
    Terrain_GetBounds(bounds);
    g_grid = std::make_unique<BucketGrid>(kGridCell, kGridCell, bounds[2], bounds[5], bounds[0], bounds[3],
                                          kGridCapacity);
    // The grid is made once the mission or saved game has loaded, and the first mission tick
    // runs before the frame's own refill: filled now, the units' first searches see the objects.
    GameObject_UpdateGrid();
}

void GameObject_FreeGrid() {
    if (g_grid) g_grid->Free();
    g_grid.reset();
}

BucketGrid* GameObject_Grid() { return g_grid.get(); }

void GameObject_UpdateGrid() {
    if (!g_grid) return;
    g_grid->Clear();
    for (GameObject* object : GameObject_List()) {
        const uint32_t handle = object->GetObjHandle();
        if (handle == 0) continue;
        const Vector p = object->GetPosition();
        g_grid->Insert(handle, p.x, p.z);
    }
    g_grid->EndFill();
}

void GameObject_PoolPressure() {
    if (GameObject_PoolFreeCount() > kPressureFreeSlots) return;
    static const uint32_t kMineLike[] = {Signature("FLAR"), Signature("MGNT"), Signature("MINE"), Signature("PROX"),
                                         Signature("WPNM")};
    const uint32_t scrap = Signature("SCRP");
    struct Group {
        int count = 0;
        GameObject* oldest = nullptr;
    } groups[2];
    for (GameObject* object : GameObject_List()) {
        // Torn down but still listed: already on its way out, never picked twice.
        if (object->entity->flags & kEntityDead) continue;
        const uint32_t signature = object->objClass->signature;
        int g = -1;
        if (signature == scrap)
            g = 0;
        else if (std::find(std::begin(kMineLike), std::end(kMineLike), signature) != std::end(kMineLike))
            g = 1;
        if (g < 0) continue;
        Group& group = groups[g];
        ++group.count;
        if (!group.oldest || object->seqNo < group.oldest->seqNo) group.oldest = object;
    }
    const uint32_t handles[2] = {GameObject::GetObjHandle(groups[0].oldest), GameObject::GetObjHandle(groups[1].oldest)};
    for (int g = 0; g < 2; ++g) {
        if (groups[g].count <= kPressureGroupMax) continue;
        // Resolved again: the other group's teardown may have taken this one with it.
        if (GameObject* object = GameObject::FromHandle(handles[g])) object->TearDown();
    }
}

void GameObject_SendNetUpdates() {
    if (!IsNetworkGame()) return;
    Vector remote[kNetRemoteMax];
    int remoteCount = 0;
    for (GameObject* object : GameObject_List()) {
        if (remoteCount == kNetRemoteMax) break;
        if (object->IsRemote() && object->playerObject) remote[remoteCount++] = object->GetPosition();
    }
    NetSendEntry chosen[kNetSendMax];
    int count = 0;
    const float now = Clock_GetTime();
    for (GameObject* object : GameObject_List()) {
        if (!object->IsLocal() || object->GetNetId() == 0) continue;
        const Vector p = object->GetPosition();
        float distance = kNetDistanceCap;
        for (int i = 0; i < remoteCount; ++i) {
            const float dx = p.x - remote[i].x, dy = p.y - remote[i].y, dz = p.z - remote[i].z;
            distance = std::min(distance, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
        const float priority = object->GetNetPriority(now, distance);
        if (priority < 0.0f) continue;
        // After every entry of equal or higher priority.
        int at = 0;
        while (at < count && chosen[at].priority >= priority) ++at;
        if (at == kNetSendMax) continue;
        if (count < kNetSendMax) ++count;
        for (int i = count - 1; i > at; --i) chosen[i] = chosen[i - 1];
        chosen[at] = NetSendEntry{object, priority};
    }
    Seam_Net().sendObjectStates(chosen, count);
}

// ---- other passes -------------------------------------------------------------------------

void GameObject_RevealAll() {
    for (GameObject* object : GameObject_List()) {
        object->illumination = 1.0f;
        object->isVisible = 0xFFFFFFFFu;
    }
}

namespace {

bool ChangeAlliance(int32_t t, bool ally) {
    const int32_t userTeam = GameObject_GetUserTeam();
    if (t < 0 || t >= kTeamCount || t == userTeam) return false;
    TeamRecord* record = GameObject_GetUserTeamRecord();
    if (!record) return false;
    if (ally)
        record->AddAlly(t);
    else
        record->RemoveAlly(t);
    for (GameObject* object : GameObject_List())
        if (object->team == t) object->PickTeamColours();
    Seam_Cockpit().unitDisplayRefresh();
    return true;
}

}  // namespace

bool GameObject_OnAlly(int32_t t) { return ChangeAlliance(t, true); }
bool GameObject_OnUnally(int32_t t) { return ChangeAlliance(t, false); }

void GameObject_RemoveAll() {
    std::vector<GameObject*>& list = GameObject_List();
    while (!list.empty()) {
        GameObject* last = list.back();
        // A torn-down object's entity is already released: releasing it again would free a
        // record that may belong to someone else by now.
        if (last->entity->state != kEntityReleased) last->TearDown();
        if (!list.empty() && list.back() == last) {
            // A kind whose teardown does not destroy its object: destroy it here, or the list
            // never empties and the object, its label and its records are lost.
            Debug_Trace("GameObject_RemoveAll: object %08x stayed listed after its teardown\n",
                        GameObject::GetObjHandle(last));
            last->entity = nullptr;  // released by the teardown
            delete last;
            if (!list.empty() && list.back() == last) list.pop_back();
        }
    }
}

void GameObject_StepUser(float frameTime) {
    GameObject* user = GameObject_GetUser();
    if (!user) return;
    const uint32_t handle = user->GetObjHandle();
    if (user->aiProcess) Seam_Ai().processStep(user->aiProcess);
    if (!StillThere(user, handle)) return;
    GameObject_SimulateObject(user, frameTime);
}
