#include "Objkr/classfnc.h"

#include "Objkr/entitysvc.h"
#include "core/debug.h"

namespace {

ClassfncOwners g_owners{};

// ---- game-object rows: forward to the owning object ---------------------------------------
// The object layer fills ClassfncOwners with its entity class functions at start-up; an empty
// entry does nothing.

void GO_Activate(Entity* e) {
    void (*fn)(Entity*) = nullptr;
    switch (e->type) {
        case kTypeCraft:
        case kTypeCraft6:
            fn = g_owners.craftActivate;
            break;
        case kTypeBuilding:
        case kTypeBuilding5:
        case kTypeBuilding7:
        case kTypeBuilding10:
            fn = g_owners.buildingActivate;
            break;
        case kTypePowerUp:
            fn = g_owners.powerUpActivate;
            break;
        case kTypePerson:
            fn = g_owners.personActivate;
            break;
        default:
            break;
    }
    if (fn) fn(e);
}

void GO_Update(Entity* e) {
    if (g_owners.objectSimulate) g_owners.objectSimulate(e);
}

void GO_PostUpdate(Entity* e) {
    if (e->flags & kEntityDead) return;
    if (g_owners.objectPostStep) g_owners.objectPostStep(e, Objkr_Services().frameTime());
}

// A type without its own motion or dynamics is at rest: no velocity, no motion record, the
// dynamics of a body at rest.
void CallMotion(ClassMotionFn fn, Entity* e, Vector* velocity, void** motion) {
    if (fn) {
        fn(e, velocity, motion);
        return;
    }
    if (velocity) *velocity = Vector{0.0f, 0.0f, 0.0f};
    if (motion) *motion = nullptr;
}
void CallDynamics(ClassDynamicsFn fn, EntityDynamics* out, Entity* e) {
    if (fn)
        fn(out, e);
    else if (out)
        EntityDynamics_Init(*out);
}

void GO_Motion(Entity* e, Vector* velocity, void** motion) { CallMotion(g_owners.objectMotion, e, velocity, motion); }
void GO_Dynamics(EntityDynamics* out, Entity* e) { CallDynamics(g_owners.objectDynamics, out, e); }

int GO_Collide(Entity* e, Entity* other, CollisionBody* contact, CollisionBody* otherContact) {
    return g_owners.objectCollide ? g_owners.objectCollide(e, other, contact, otherContact) : 0;
}

int GO_Damage(Entity* e, DamageInfo* damage, Entity* source) {
    return g_owners.objectDamage ? g_owners.objectDamage(e, damage, source) : 0;
}

void* Craft_NewBody() { return PhysBody_New(); }
int Craft_FreeBody(void* data) {
    PhysBody_Free(static_cast<PhysBody*>(data));
    return 0;
}

// The building's class record, which the object layer makes and frees.
void* Building_NewRecord() { return g_owners.buildingNew ? g_owners.buildingNew() : nullptr; }
int Building_FreeRecord(void* data) { return g_owners.buildingFree ? g_owners.buildingFree(data) : 0; }

// The power-up's class record: its vehicle record, which the object layer makes and frees.
void* PowerUp_NewRecord() { return g_owners.powerUpNew ? g_owners.powerUpNew() : nullptr; }
int PowerUp_FreeRecord(void* data) { return g_owners.powerUpFree ? g_owners.powerUpFree(data) : 0; }

// The person's class record: its physics record, which the object layer makes and frees.
void* Person_NewRecord() { return g_owners.personNew ? g_owners.personNew() : nullptr; }
int Person_FreeRecord(void* data) { return g_owners.personFree ? g_owners.personFree(data) : 0; }

// ---- weapon-side rows ---------------------------------------------------------------------

// Weapons (type 50) and explosions (type 52): Weapons_InstallSeam fills their owners.
void* Weapon_Create() { return g_owners.weaponCreate ? g_owners.weaponCreate() : nullptr; }
void Weapon_Activate(Entity* e) {
    if (g_owners.weaponActivate) g_owners.weaponActivate(e);
}
int Weapon_Free(void* data) { return g_owners.weaponFree ? g_owners.weaponFree(data) : 0; }

// Ordnance (type 51): Weapons_InstallSeam fills its owners.
void* Ordnance_Create() { return g_owners.ordnanceCreate ? g_owners.ordnanceCreate() : nullptr; }
void Ordnance_Motion(Entity* e, Vector* velocity, void** motion) {
    CallMotion(g_owners.ordnanceMotion, e, velocity, motion);
}
void Ordnance_Dynamics(EntityDynamics* out, Entity* e) { CallDynamics(g_owners.ordnanceDynamics, out, e); }
int Ordnance_Free(void* data) { return g_owners.ordnanceFree ? g_owners.ordnanceFree(data) : 0; }

void* Explosion_Create() { return g_owners.explosionCreate ? g_owners.explosionCreate() : nullptr; }
int Explosion_Free(void* data) { return g_owners.explosionFree ? g_owners.explosionFree(data) : 0; }

// ---- spinner ------------------------------------------------------------------------------

void Spinner_Activate(Entity*) {}
void Spinner_Motion(Entity*, Vector* velocity, void** motion) {
    if (velocity) *velocity = Vector{0.0f, 0.0f, 0.0f};
    if (motion) *motion = nullptr;
}
int Spinner_Damage(Entity*, DamageInfo*, Entity*) { return 0; }
int Spinner_Free(void* data) {
    delete static_cast<SpinnerData*>(data);
    return 0;
}

Entity* g_shadowList = nullptr;

// ---- the rows -----------------------------------------------------------------------------

constexpr ClassFunctions Row(int32_t type, ClassCreateFn create, ClassEntityFn activate, ClassEntityFn update,
                             ClassEntityFn postUpdate, ClassMotionFn motion, ClassDynamicsFn dynamics,
                             ClassCollideFn collide, ClassDamageFn damage, ClassFreeFn free) {
    return ClassFunctions{type,     create,   activate, update, postUpdate, nullptr, nullptr,
                          motion,   dynamics, collide,  damage, nullptr,    free};
}

constexpr ClassFunctions kCraftRow(int32_t type) {
    return Row(type, Craft_NewBody, GO_Activate, GO_Update, GO_PostUpdate, GO_Motion, GO_Dynamics, GO_Collide,
               GO_Damage, Craft_FreeBody);
}
constexpr ClassFunctions kBuildingRow(int32_t type) {
    return Row(type, Building_NewRecord, GO_Activate, GO_Update, nullptr, GO_Motion, GO_Dynamics, GO_Collide,
               GO_Damage, Building_FreeRecord);
}

constexpr ClassFunctions kRows[kClassRowCount] = {
    ClassFunctions{},
    kCraftRow(kTypeCraft),
    kBuildingRow(kTypeBuilding),
    kBuildingRow(kTypeBuilding10),
    Row(kTypePowerUp, PowerUp_NewRecord, GO_Activate, GO_Update, nullptr, GO_Motion, GO_Dynamics, GO_Collide,
        GO_Damage, PowerUp_FreeRecord),
    Row(kTypePerson, Person_NewRecord, GO_Activate, GO_Update, GO_PostUpdate, GO_Motion, GO_Dynamics, GO_Collide,
        GO_Damage, Person_FreeRecord),
    kBuildingRow(kTypeBuilding5),
    kCraftRow(kTypeCraft6),
    Row(kTypeBuilding7, Building_NewRecord, GO_Activate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        Building_FreeRecord),
    Row(kTypeSpinner, Spinner_New, Spinner_Activate, Spinner_Update, nullptr, Spinner_Motion, Spinner_GetDynamics,
        Spinner_Collide, Spinner_Damage, Spinner_Free),
    Row(kTypeExplosion, Explosion_Create, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        Explosion_Free),
    Row(kTypeWeapon, Weapon_Create, Weapon_Activate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        Weapon_Free),
    Row(kTypeOrdnance, Ordnance_Create, nullptr, nullptr, nullptr, Ordnance_Motion, Ordnance_Dynamics, nullptr,
        nullptr, Ordnance_Free),
    Row(kTypeShadowGroup, nullptr, ShadowGroup_Activate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        ShadowGroup_Free),
};

ClassFunctions g_rows[kClassRowCount] = {kRows[0],  kRows[1],  kRows[2],  kRows[3],  kRows[4],
                                         kRows[5],  kRows[6],  kRows[7],  kRows[8],  kRows[9],
                                         kRows[10], kRows[11], kRows[12], kRows[13]};

ClassFunctions* FindRowMutable(int32_t type) {
    if (type >= 0 && type < kClassRowCount && g_rows[type].type == type) return &g_rows[type];
    for (ClassFunctions& row : g_rows)
        if (row.type == type) return &row;
    return &g_rows[0];
}

bool HasRow(const ClassFunctions* row) { return row != &g_rows[0]; }

// ---- the lists ----------------------------------------------------------------------------

ClassNode* g_classHead = nullptr;
ClassNode* g_pendingHead = nullptr;
// While a walk runs, removed nodes stay linked (marked) so that the walk's next pointer stays
// valid whatever the called operations remove; they are freed when the outermost walk ends.
int g_walkDepth = 0;
bool g_sweepNeeded = false;

ClassNode* PushFront(ClassNode*& head, void* data) {
    auto* node = new ClassNode{head, nullptr, data, false};
    if (head) head->prev = node;
    head = node;
    return node;
}

void UnlinkAndDelete(ClassNode*& head, ClassNode* node) {
    if (node->prev)
        node->prev->next = node->next;
    else
        head = node->next;
    if (node->next) node->next->prev = node->prev;
    delete node;
}

void Sweep(ClassNode*& head) {
    for (ClassNode* n = head; n;) {
        ClassNode* next = n->next;
        if (n->removed) UnlinkAndDelete(head, n);
        n = next;
    }
}

void DisposeNode(ClassNode*& head, ClassNode* node) {
    if (!node || node->removed) return;
    node->removed = true;
    node->data = nullptr;
    if (g_walkDepth > 0)
        g_sweepNeeded = true;
    else
        UnlinkAndDelete(head, node);
}

void DeleteAll(ClassNode*& head) {
    while (head) {
        ClassNode* next = head->next;
        delete head;
        head = next;
    }
}

struct WalkGuard {
    WalkGuard() { ++g_walkDepth; }
    ~WalkGuard() {
        if (--g_walkDepth == 0 && g_sweepNeeded) {
            g_sweepNeeded = false;
            Sweep(g_pendingHead);
            Sweep(g_classHead);
        }
    }
    WalkGuard(const WalkGuard&) = delete;
    WalkGuard& operator=(const WalkGuard&) = delete;
};

void RemovePendingFor(const ClassNode* classNode) {
    for (ClassNode* p = g_pendingHead; p; p = p->next) {
        if (!p->removed && p->data == classNode) {
            DisposeNode(g_pendingHead, p);
            return;
        }
    }
}

// Drops the list's reference of a node's entity: Entity_Unref on an alive one, and on a
// released one too, so that its record is freed once nothing else holds it.
void DropListReference(Entity* e) {
    if (!e) return;
    Entity_Unref(e);
}

template <typename Fn>
void WalkClassList(Fn&& fn) {
    WalkGuard guard;
    for (ClassNode* n = g_classHead; n;) {
        ClassNode* next = n->next;
        if (!n->removed) fn(n);
        n = next;
    }
}

}  // namespace

ClassfncOwners& Classfnc_Owners() { return g_owners; }
void Classfnc_ResetOwners() { g_owners = ClassfncOwners{}; }

const ClassFunctions* Classfnc_FindRow(int32_t type) { return FindRowMutable(type); }

const ClassFunctions* Classfnc_Row(int index) {
    if (index < 0 || index >= kClassRowCount) return nullptr;
    return &g_rows[index];
}

bool Classfnc_SetUpdate(int32_t type, ClassEntityFn fn) {
    ClassFunctions* row = FindRowMutable(type);
    if (!HasRow(row)) {
        Debug_Printf("warning: no class row for type %d; update not set\n", type);
        return false;
    }
    row->update = fn;
    return true;
}

void Classfnc_SetClass(Entity* entity, int32_t type) {
    if (!entity) return;
    entity->type = type;
    const ClassFunctions* row = FindRowMutable(type);
    if (!HasRow(row)) return;
    if (row->create) entity->classData = row->create();
    Entity_AddRefTree(entity);
    ClassNode* node = PushFront(g_classHead, entity);
    PushFront(g_pendingHead, node);
}

void Classfnc_ActivatePending() {
    WalkGuard guard;
    for (ClassNode* p = g_pendingHead; p;) {
        ClassNode* next = p->next;
        if (!p->removed) {
            auto* classNode = static_cast<ClassNode*>(p->data);
            DisposeNode(g_pendingHead, p);
            Classfnc_Activate(classNode);
        }
        p = next;
    }
}

void Classfnc_Activate(ClassNode* node) {
    if (!node || node->removed) return;
    Entity* e = Entity_UnrefIfShared(static_cast<Entity*>(node->data));
    if (!e) {
        Classfnc_RemoveNode(node);
        return;
    }
    const ClassFunctions* row = FindRowMutable(e->type);
    if (row->activate) row->activate(e);
    if (node->removed) return;
    if (!row->update && !row->postUpdate) {
        Classfnc_RemoveNode(node);
        Entity_Unref(e);
    }
}

void Classfnc_UpdateOne(ClassNode* node) {
    if (!node || node->removed) return;
    Entity* e = Entity_UnrefIfShared(static_cast<Entity*>(node->data));
    if (!e) {
        Classfnc_RemoveNode(node);
        return;
    }
    const ClassFunctions* row = FindRowMutable(e->type);
    if (row->update) row->update(e);
}

void Classfnc_PostUpdateOne(ClassNode* node) {
    if (!node || node->removed) return;
    Entity* e = Entity_UnrefIfShared(static_cast<Entity*>(node->data));
    if (!e) {
        Classfnc_RemoveNode(node);
        return;
    }
    const ClassFunctions* row = FindRowMutable(e->type);
    if (row->postUpdate) row->postUpdate(e);
}

void Classfnc_UpdateAll() { WalkClassList(Classfnc_UpdateOne); }
void Classfnc_PostUpdateAll() { WalkClassList(Classfnc_PostUpdateOne); }

void Classfnc_PurgeNode(ClassNode* node) {
    if (!node || node->removed) return;
    if (!Entity_UnrefIfShared(static_cast<Entity*>(node->data))) Classfnc_RemoveNode(node);
}

void Classfnc_Purge() { WalkClassList(Classfnc_PurgeNode); }

void Classfnc_RemoveNode(ClassNode* node) {
    if (!node || node->removed) return;
    RemovePendingFor(node);
    DisposeNode(g_classHead, node);
}

Entity* Classfnc_Remove(Entity* entity) {
    if (!entity) return nullptr;
    const bool alive = entity->state != kEntityReleased;
    if (alive) {
        Classfnc_FreeData(entity->type, entity->classData);
        entity->type = 0;
        entity->classData = nullptr;
    }
    ClassNode* node = Classfnc_FindNode(entity);
    if (!node) return entity;
    Classfnc_RemoveNode(node);
    DropListReference(entity);
    return nullptr;
}

int Classfnc_FreeData(int32_t type, void* data) {
    if (!data) return 0;
    const ClassFunctions* row = FindRowMutable(type);
    return row->free ? row->free(data) : 0;
}

void Classfnc_GetMotion(Entity* entity, Vector* velocity, void** motion) {
    const ClassFunctions* row = entity ? FindRowMutable(entity->type) : &g_rows[0];
    CallMotion(row->motion, entity, velocity, motion);
}

void Classfnc_GetDynamics(EntityDynamics* out, Entity* entity) {
    const ClassFunctions* row = entity ? FindRowMutable(entity->type) : &g_rows[0];
    CallDynamics(row->dynamics, out, entity);
}

int Classfnc_Collide(Entity* a, Entity* b, CollisionBody* contactA, CollisionBody* contactB) {
    if (!a || !b) return 0;
    const ClassFunctions* rowA = FindRowMutable(a->type);
    const ClassFunctions* rowB = FindRowMutable(b->type);
    int result = rowA->collide ? rowA->collide(a, b, contactA, contactB) : 0;
    if (rowB->collide) return (rowB->collide(b, a, contactB, contactA) != 0 || result != 0) ? 1 : 0;
    return result;
}

int Classfnc_Damage(Entity* entity, DamageInfo* damage, Entity* source) {
    if (!entity) return 0;
    const ClassFunctions* row = FindRowMutable(entity->type);
    return row->damage ? row->damage(entity, damage, source) : 0;
}

void Classfnc_DropPending() {
    if (g_walkDepth > 0) {
        for (ClassNode* p = g_pendingHead; p; p = p->next) DisposeNode(g_pendingHead, p);
        return;
    }
    DeleteAll(g_pendingHead);
}

void Classfnc_Clear() {
    Classfnc_DropPending();
    WalkClassList([](ClassNode* node) {
        auto* e = static_cast<Entity*>(node->data);
        Classfnc_RemoveNode(node);
        DropListReference(e);
    });
}

void Classfnc_CallSlot11() {
    WalkClassList([](ClassNode* node) {
        Entity* e = Entity_UnrefIfShared(static_cast<Entity*>(node->data));
        if (!e) {
            Classfnc_RemoveNode(node);
            return;
        }
        const ClassFunctions* row = FindRowMutable(e->type);
        if (row->slot11) row->slot11(e);
    });
}

void Classfnc_ResetLists() {
    // The nodes themselves are no one else's; their references are left as they are.
    DeleteAll(g_pendingHead);
    DeleteAll(g_classHead);
    g_sweepNeeded = false;
}

ClassNode* Classfnc_ClassListHead() { return g_classHead; }
ClassNode* Classfnc_PendingListHead() { return g_pendingHead; }

ClassNode* Classfnc_FindNode(const Entity* entity) {
    for (ClassNode* n = g_classHead; n; n = n->next)
        if (!n->removed && n->data == entity) return n;
    return nullptr;
}

int Classfnc_ClassListCount() {
    int count = 0;
    for (ClassNode* n = g_classHead; n; n = n->next)
        if (!n->removed) ++count;
    return count;
}

int Classfnc_PendingCount() {
    int count = 0;
    for (ClassNode* n = g_pendingHead; n; n = n->next)
        if (!n->removed) ++count;
    return count;
}

// ---- spinner ------------------------------------------------------------------------------

void* Spinner_New() {
    auto* data = new SpinnerData{};
    data->rate = Vector{0.0f, 0.78539816f, 0.0f};
    data->value1 = 400.0f;
    data->value2 = 400.0f;
    return data;
}

void Spinner_Update(Entity* entity) {
    if (!entity || (entity->flags & kEntityDead) || !entity->classData) return;
    const auto* data = static_cast<const SpinnerData*>(entity->classData);
    float dt = Objkr_Services().frameTime();
    Matrix turn = Matrix_FromEuler(-(data->rate.x * dt), -(data->rate.y * dt), -(data->rate.z * dt), 0.0, 0.0, 0.0);
    Matrix_Multiply(entity->local, turn, entity->local);
}

void Spinner_GetDynamics(EntityDynamics* out, Entity* entity) {
    if (!out) return;
    EntityDynamics_Init(*out);
    if (entity && entity->classData && !(entity->flags & kEntityDead)) {
        const auto* data = static_cast<const SpinnerData*>(entity->classData);
        out->angularVelocity = Vector{-data->rate.x, -data->rate.y, -data->rate.z};
    }
}

int Spinner_Collide(Entity*, Entity*, CollisionBody*, CollisionBody*) { return 0; }

void Spinner_SetRate(Entity* entity, float x, float y, float z) {
    if (!entity || entity->type != kTypeSpinner || !entity->classData) return;
    static_cast<SpinnerData*>(entity->classData)->rate = Vector{x, y, z};
}

void Spinner_SetValues(Entity* entity, float value) {
    if (!entity || entity->type != kTypeSpinner || !entity->classData) return;
    auto* data = static_cast<SpinnerData*>(entity->classData);
    data->value1 = value;
    data->value2 = value;
}

// ---- shadow group -------------------------------------------------------------------------

void ShadowGroup_Activate(Entity* entity) {
    if (!entity) return;
    entity->classData = entity;
    for (Entity* c = entity->child; c; c = c->next) {
        c->flags |= kEntityShadowPart;
        c->type = kTypeShadowGroup;
    }
    g_shadowList = entity->child;
}

int ShadowGroup_Free(void*) {
    g_shadowList = nullptr;
    return 0;
}

Entity* ShadowGroup_List() { return g_shadowList; }
