#include "Objkr/entity.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Objkr/bspcache.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/debug.h"

namespace {

// ---- neighbours' stand-ins -----------------------------------------------------------------

// Nothing is bound before the renderer installs its texture binder (TexMgr_InstallServices).
void StandInUnbindTexture(Entity* entity) { entity->texture = nullptr; }
// Until the renderer installs its light table (Light_InstallServices) there is no light to forget.
void StandInRemoveLight(Entity*) {}
// Until the terrain installs its light map (Terrain_InstallSeam) there is no ground to darken.
void StandInDarken(Entity*) {}
// Until the camera installs its own (Camera_InstallSeam) no camera follows the user or has
// projections to rebuild.
void StandInCameraSetUser(EntityTableRecord*, EntityTableRecord*) {}
void StandInCameraReset(int) {}
// PENDING(11.102) the player settings' detail options.
bool StandInDetailOption(int) { return true; }
// Until the object layer installs its own (GameObjects_InstallSeam): no owner carries a flag.
uint32_t StandInOwnerFlags(void*) { return 0; }
float FrameClockTime() { return Clock_GetFrameTime(); }
// Attached records are handed over as C-heap allocations.
void FreeAttachedWithHeap(void* attached) { std::free(attached); }

constexpr EntityServices kDefaultServices = {
    Entity_ResetCache, BspCache_FreeRecord, GeomList_Free, StandInUnbindTexture,
    StandInRemoveLight, StandInDarken,          StandInCameraSetUser, StandInCameraReset,
    StandInDetailOption, StandInOwnerFlags,     FrameClockTime,       FreeAttachedWithHeap,
};
EntityServices g_services = kDefaultServices;

// ---- allocator ----------------------------------------------------------------------------
Entity* g_freeList = nullptr;
int g_freeCount = 0;
uint32_t g_counter = 1;
bool g_allocOpen = false;
Entity* g_currentRoot = nullptr;

// ---- table --------------------------------------------------------------------------------
EntityTableRecord g_records[kEntityTableSize];
int g_used = 0;
int g_cursor = 0;
EntityTableRecord* g_user = nullptr;
int g_instanceCounter = 0;
EntityNotifyFn g_addList[kEntityNotifyMax];
int g_addCount = 0;
EntityNotifyFn g_removeList[kEntityNotifyMax];
int g_removeCount = 0;

void ClearFreeList() {
    while (g_freeList) {
        Entity* e = g_freeList;
        g_freeList = e->next;
        delete e;
    }
    g_freeCount = 0;
}

bool AppendNotify(EntityNotifyFn* list, int& count, EntityNotifyFn fn, const char* which) {
    if (count >= kEntityNotifyMax) {
        Error_Warning("Entity %s notification list is full (%d); registration refused", which, kEntityNotifyMax);
        return false;
    }
    list[count++] = fn;
    return true;
}

bool NameMatches(const Entity* e, uint32_t word1, uint32_t word2) {
    return Entity_NameWord(e, 0) == word1 && Entity_NameWord(e, 1) == word2;
}

}  // namespace

EntityServices& Objkr_Services() { return g_services; }
void Objkr_ResetServices() { g_services = kDefaultServices; }

// ---- allocator ----------------------------------------------------------------------------

Entity* Entity_New(Entity* parent) {
    Entity* e;
    if (g_freeList) {
        e = g_freeList;
        g_freeList = e->next;
        --g_freeCount;
        *e = Entity{};
    } else {
        e = new Entity{};
    }
    e->id = g_counter << 11;
    ++g_counter;
    e->detail = -1;
    e->cacheWord = -1;
    e->local = kIdentityMatrix;
    if (parent) {
        e->next = parent->child;
        if (parent->child) parent->child->up = e;
        parent->child = e;
        e->up = parent;
        e->state = parent->state;
        e->useCount = parent->useCount;
    } else {
        g_currentRoot = e;
        e->useCount = 1;
    }
    return e;
}

Entity* Entity_GetCurrentRoot() { return g_currentRoot; }

void EntityAlloc_Reset() {
    ClearFreeList();
    g_counter = 1;
    g_allocOpen = true;
    g_currentRoot = nullptr;
}

void EntityAlloc_FreeAll() {
    ClearFreeList();
    g_allocOpen = false;
    g_currentRoot = nullptr;
}

void EntityAlloc_Recycle(Entity* entity) {
    if (!entity) return;
    if (entity == g_currentRoot) g_currentRoot = nullptr;
    if (!g_allocOpen) {
        delete entity;
        return;
    }
    entity->next = g_freeList;
    g_freeList = entity;
    ++g_freeCount;
}

int EntityAlloc_FreeCount() { return g_freeCount; }
uint32_t EntityAlloc_Counter() { return g_counter; }

uint32_t Entity_NameWordOf(const char* name8, int index) {
    return Bytes_U32(reinterpret_cast<const uint8_t*>(name8) + 4 * index);
}

uint32_t Entity_NameWord(const Entity* entity, int index) { return Entity_NameWordOf(entity->name, index); }

void Entity_SetName(Entity* entity, const char* name) {
    std::memset(entity->name, 0, sizeof entity->name);
    if (!name) return;
    for (size_t i = 0; i < sizeof entity->name && name[i]; ++i) entity->name[i] = name[i];
}

// ---- the table ----------------------------------------------------------------------------

EntityTableRecord* Entities_Add(Entity* entity, int instance, void* attached, const void* extra) {
    EntityTableRecord* rec = nullptr;
    for (int i = 0; i < g_used; ++i) {
        if (!g_records[i].entity) {
            rec = &g_records[i];
            break;
        }
    }
    if (!rec) {
        if (g_used >= kEntityTableSize) {
            Error_Fatal("You had exceeded the maximum number of entities allowed (%d). "
                        "Please reduce the size of this mission and try again",
                        kEntityTableSize);
            return nullptr;
        }
        rec = &g_records[g_used++];
    }

    rec->entity = entity;
    rec->instance = static_cast<int16_t>(instance);
    rec->attached = attached;
    rec->ownsAttached = attached ? 1 : 0;
    rec->shapeKind = attached ? 1 : 0;
    if (extra) {
        std::memcpy(rec->extra, extra, kEntityExtraSize);
        rec->extraGiven = 1;
    } else {
        std::memset(rec->extra, 0, kEntityExtraSize);
        rec->extraGiven = 0;
    }
    rec->cacheBlocks = nullptr;
    rec->cacheLevel = -1;
    rec->cacheStamp = 0;

    Entity_ComputeExtents(entity, rec->boxMin, rec->boxMax);
    rec->localCentre = Vector{(rec->boxMin.x + rec->boxMax.x) * 0.5f, (rec->boxMin.y + rec->boxMax.y) * 0.5f,
                              (rec->boxMin.z + rec->boxMax.z) * 0.5f};
    rec->radius = Entity_ComputeRadius(entity, rec->localCentre.x, rec->localCentre.y, rec->localCentre.z);

    if (entity && (entity->flags & kEntityUser)) g_user = rec;

    Entities_CallAddNotify(rec);

    if (entity) {
        DVector w = Matrix_TransformPoint(rec->localCentre, entity->local);
        rec->worldCentre = Vector{float(w.x), float(w.y), float(w.z)};
        if (Entity_IsDynamic(entity->type)) EntityRec_SetFootprint(rec);
        if (entity->type == kTypeBuilding || entity->type == kTypePowerUp || entity->type == kTypeBuilding10)
            g_services.darkenUnderObject(entity);
    }

    for (void*& link : rec->drawLinks) link = nullptr;
    rec->doubleRadius = 0;
    return rec;
}

void Entities_Remove(EntityTableRecord* record) {
    if (!record) return;
    Entities_CallRemoveNotify(record);
    if (record->entity && (record->entity->flags & kEntityUser)) g_user = nullptr;
    if (g_user == record) g_user = nullptr;
    EntityRec_Clear(record);
    if (Entities_Index(record) == g_used - 1) --g_used;
}

void EntityRec_Clear(EntityTableRecord* record) {
    if (!record) return;
    if (record->ownsAttached && record->attached) g_services.freeAttached(record->attached);
    g_services.resetCache(record);
    *record = EntityTableRecord{};
}

bool Entities_AddNotify(EntityNotifyFn fn) { return AppendNotify(g_addList, g_addCount, fn, "add"); }
bool Entities_AddRemoveNotify(EntityNotifyFn fn) { return AppendNotify(g_removeList, g_removeCount, fn, "remove"); }

void Entities_CallAddNotify(EntityTableRecord* record) {
    for (int i = 0; i < g_addCount; ++i) g_addList[i](record);
}

void Entities_CallRemoveNotify(EntityTableRecord* record) {
    for (int i = 0; i < g_removeCount; ++i) g_removeList[i](record);
}

int Entities_AddNotifyCount() { return g_addCount; }
int Entities_RemoveNotifyCount() { return g_removeCount; }

EntityTableRecord* Entities_GetUser() { return g_user; }

void Entities_SetUser(EntityTableRecord* record) {
    if (g_user && g_user->entity) Entity_ClearFlagTree(g_user->entity, kEntityUser);
    g_services.cameraSetUser(g_user, record);
    g_user = record;
    if (record && record->entity) Entity_SetFlagTree(record->entity, kEntityUser);
}

int Entities_UserIsFlagged() {
    if (!g_user || !g_user->entity || !g_user->entity->owner) return 0;
    return (g_services.ownerFlags(g_user->entity->owner) & 0x20) ? 1 : 0;
}

EntityTableRecord* Entities_FindRecord(const Entity* entity) {
    if (!entity) return nullptr;
    const Entity* root = Entity_GetRoot(entity);
    for (int i = 0; i < g_used; ++i)
        if (g_records[i].entity == root) return &g_records[i];
    return nullptr;
}

EntityTableRecord* Entities_FindByName(uint32_t word1, uint32_t word2, int instance) {
    for (int i = 0; i < g_used; ++i) {
        EntityTableRecord& r = g_records[i];
        if (r.entity && NameMatches(r.entity, word1, word2) && r.instance == static_cast<int16_t>(instance))
            return &r;
    }
    return nullptr;
}

int Entities_NewInstanceNumber(uint32_t word1, uint32_t word2) {
    int n = g_instanceCounter;
    // At most 768 records can hold the name, so this ends.
    while (Entities_FindByName(word1, word2, n)) ++n;
    if (n != g_instanceCounter) g_instanceCounter = n;
    return n & 0xFFFF;
}

EntityTableRecord* Entities_First() {
    Entities_Rewind();
    return Entities_NextRecord();
}

EntityTableRecord* Entities_NextRecord() {
    while (g_cursor < g_used) {
        EntityTableRecord* r = &g_records[g_cursor++];
        if (r->entity) return r;
    }
    return nullptr;
}

void Entities_Rewind() { g_cursor = 0; }

EntityTableRecord* Entities_Record(int index) {
    if (index < 0 || index >= kEntityTableSize) return nullptr;
    return &g_records[index];
}

int Entities_Index(const EntityTableRecord* record) {
    if (record < g_records || record >= g_records + kEntityTableSize) return -1;
    return static_cast<int>(record - g_records);
}

int Entities_UsedCount() { return g_used; }

void EntityRec_GetWorldPos(float out[4], const EntityTableRecord* record) {
    DVector w = Matrix_TransformPoint(record->localCentre, record->entity->local);
    out[0] = float(w.x);
    out[1] = float(w.y);
    out[2] = float(w.z);
    out[3] = record->radius;
}

void EntityRec_GetGroundPos(float out[3], const EntityTableRecord* record) {
    float p[4];
    EntityRec_GetWorldPos(p, record);
    out[0] = p[0];
    out[1] = p[2];
    out[2] = p[3];
}

void EntityRec_GetCentreAndRadius(float out[4], const Entity* entity) {
    out[0] = out[1] = out[2] = out[3] = 0.0f;
    if (!entity) return;
    const Entity* root = Entity_GetRoot(entity);
    const EntityTableRecord* rec = Entities_FindRecord(root);
    if (!rec) return;
    Matrix m;
    if (root->flags & kEntityComposite)
        Entity_GetTransformTo(m, entity, nullptr);
    else
        m = root->local;
    DVector w = Matrix_TransformPoint(rec->localCentre, m);
    out[0] = float(w.x);
    out[1] = float(w.y);
    out[2] = float(w.z);
    out[3] = rec->radius;
}

void EntityRec_SetFootprint(EntityTableRecord* record) {
    const Vector& a = record->boxMin;
    const Vector& b = record->boxMax;
    float midY = (a.y + b.y) * 0.5f;
    record->footprint[0] = Vector{a.x, midY, a.z};
    record->footprint[1] = Vector{b.x, midY, a.z};
    record->footprint[2] = Vector{b.x, midY, b.z};
    record->footprint[3] = Vector{a.x, midY, b.z};
}

void Entities_ResetDetail() {
    for (int i = 0; i < g_used; ++i) {
        Entity* e = g_records[i].entity;
        if (!e) continue;
        bool set = g_services.detailOption(Entity_IsDynamic(e->type) ? 1 : 0);
        Entity_SetDetailTree(e, set ? -1 : -21);
    }
}

void Entity_SetDetailTree(Entity* entity, int32_t value) {
    for (Entity* e = entity; e; e = e->next) {
        e->detail = value;
        if (e->child) Entity_SetDetailTree(e->child, value);
    }
}

void Entities_Reset() {
    for (EntityTableRecord& r : g_records) r = EntityTableRecord{};
    EntityAlloc_Reset();
    g_addCount = 0;
    g_removeCount = 0;
    g_user = nullptr;
    g_used = 0;
    g_cursor = 0;
}

void Entities_RemoveAll() {
    for (int i = kEntityTableSize - 1; i >= 0; --i) {
        EntityTableRecord& r = g_records[i];
        if (!r.entity) continue;
        Entities_CallRemoveNotify(&r);
        Entity_Release(r.entity);
        if (g_user == &r) g_user = nullptr;
        EntityRec_Clear(&r);
    }
    g_used = 0;
}

void Entities_FreeAllCaches() {
    Entities_Rewind();
    while (EntityTableRecord* r = Entities_NextRecord()) {
        g_services.freeCacheBlocks(r);
        r->cacheBlocks = nullptr;
    }
}
