#include "render/texmgr.h"

#include <cmath>
#include <cstring>
#include <new>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/helpers.h"
#include "core/seams/render.h"
#include "render/texcache.h"

namespace {

// ---- records ----------------------------------------------------------------------------------

TexMapRecord g_records[kTexMapRecords];
int32_t g_usedHead = -1;
int32_t g_freeHead = -1;

bool NameFits(const char* name) { return name && name[0] && std::strlen(name) <= kTextureNameLength; }

bool HasMapExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && Text_CompareNoCase(dot, ".map") == 0;
}

int32_t FrameCount(const TexMapRecord* r) {
    if (!r || r->dimensionCount < 1 || r->dimensionCount > 3) return 0;
    return r->dimensionProducts[r->dimensionCount - 1];
}

void FreeFrameTable(TexMapRecord& r) {
    delete[] r.frameNames;
    r.frameNames = nullptr;
}

void ResetRecords() {
    for (int i = 0; i < kTexMapRecords; ++i) {
        FreeFrameTable(g_records[i]);
        g_records[i] = TexMapRecord{};
        g_records[i].next = i + 1 < kTexMapRecords ? i + 1 : -1;
    }
    g_freeHead = 0;
    g_usedHead = -1;
}

// Fills a record from its file; false (users -1) when the frame list cannot be had.
bool FillRecord(TexMapRecord& r, const char* name) {
    std::memcpy(r.name, name, std::strlen(name) + 1);
    if (HasMapExtension(name)) {
        r.dimensionCount = 1;
        r.dimensionProducts[0] = r.dimensionProducts[1] = r.dimensionProducts[2] = 1;
        r.frameNames = new (std::nothrow) char[1][16]{};
        if (!r.frameNames) return false;
        std::memcpy(r.frameNames[0], name, std::strlen(name) + 1);
        r.users = 1;
        return true;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(Cache_UseItem(name));
    if (!bytes) return false;
    size_t size = Cache_GetItemSize(name);
    FrameList list{};
    bool ok = FrameList_Read(bytes, size, &list, nullptr);
    if (ok) {
        r.frameNames = new (std::nothrow) char[static_cast<size_t>(list.frameCount)][16]{};
        ok = r.frameNames && FrameList_Read(bytes, size, &list, r.frameNames);
    } else {
        Error_Warning("Error: frame list %s is damaged", name);
    }
    Cache_UnlockItem(name);
    if (!ok) {
        FreeFrameTable(r);
        return false;
    }
    r.dimensionCount = list.dimensionCount;
    std::memcpy(r.dimensionProducts, list.dimensionProducts, sizeof r.dimensionProducts);
    r.frameRate = list.frameRate;
    r.flags = list.flags;
    r.users = 1;
    return true;
}

// ---- entity bindings --------------------------------------------------------------------------

struct TexBinding {
    char name[16];
    TexMapRecord* record;
    uint32_t selector;  // low 16 bits: frame; high 16 bits: row
    char frameName[16];
    TextureImage* image;
};

TexBinding* BindingOf(const Entity* e) { return e ? static_cast<TexBinding*>(e->texture) : nullptr; }

// Loads the frame the selector names into the binding.
void LoadCurrentFrame(TexBinding* b) {
    b->image = nullptr;
    TexMapRecord* r = b->record;
    int32_t index = static_cast<int32_t>(b->selector & 0xFFFF);
    if (!r || !r->frameNames || index >= FrameCount(r)) return;
    std::memcpy(b->frameName, r->frameNames[index], sizeof b->frameName);
    b->image = TexCache_Load(b->frameName);
}

void ReleaseCurrentFrame(TexBinding* b) {
    if (b->image) TexCache_Release(b->frameName);
    b->image = nullptr;
}

// The end of a played-once texture animation releases its entity.
void ReleaseEntityAtEnd(Entity* entity, const char*) {
    if (EntityTableRecord* record = Entities_FindRecord(entity)) Objkr_Services().resetCache(record);
    Entity_Release(entity);
}

// ---- animations -------------------------------------------------------------------------------

struct TexAnimState {
    float nextTime;
    float period;
    int frames;
    int current;
    int start;
    int mode;
    TexAnimEndFn end;
    bool stopped;
};

struct TexAnimNode {
    Entity* entity;
    char name[16];
    void (*callback)(TexAnimNode* node);
    TexAnimState* data;
    TexAnimNode* prev;
    TexAnimNode* next;
};

TexAnimNode* g_animHead = nullptr;
TexAnimNode* g_walkNext = nullptr;  // the node a walk visits next, kept valid across removals

void FreeNode(TexAnimNode* node, bool dropReference) {
    if (g_walkNext == node) g_walkNext = node->next;
    if (node->prev) node->prev->next = node->next;
    else g_animHead = node->next;
    if (node->next) node->next->prev = node->prev;
    Entity* entity = node->entity;
    delete node->data;
    delete node;
    if (dropReference) Entity_Unref(entity);
}

bool SameName(const char* a, const char* b) { return std::strncmp(a, b, 16) == 0; }

void TexAnimTick(TexAnimNode* node) {
    TexAnimState* s = node->data;
    if (!s || s->stopped) return;
    float now = Clock_GetElapsed();
    int steps = 0;
    while (now > s->nextTime) {
        // A long pause is not replayed frame by frame: the clock is caught up at once.
        if (++steps > 4096) {
            s->nextTime = now + s->period;
            break;
        }
        s->nextTime += s->period;
        if (s->mode == kTexAnimForward) {
            s->current = s->current + 1 >= s->frames ? 0 : s->current + 1;
        } else if (s->mode == kTexAnimBackward) {
            s->current = s->current - 1 < 0 ? s->frames - 1 : s->current - 1;
        } else if (s->current + 1 < s->frames) {
            ++s->current;
        } else {
            s->stopped = true;
            if (s->end) {
                char name[17] = {};
                std::memcpy(name, node->name, 16);
                Entity* entity = node->entity;
                s->end(entity, name);
                FreeNode(node, true);
                return;
            }
            break;
        }
    }
    TexMgr_SetFrame(node->entity, node->name, 0, s->current, true);
}

void TexAnimAdd(Entity* entity, const char* name, TexAnimState* state) {
    TexAnim_Remove(entity, name);
    Entity_AddRefTree(entity);
    TexAnimNode* node = new TexAnimNode{};
    node->entity = entity;
    Text_CopyFixed(node->name, sizeof node->name, name);
    node->callback = TexAnimTick;
    node->data = state;
    node->next = g_animHead;
    if (g_animHead) g_animHead->prev = node;
    g_animHead = node;
}

bool UsableTiming(float period, int frames) { return frames > 0 && std::isfinite(period) && period > 0.0f; }

}  // namespace

// ---- frame lists ------------------------------------------------------------------------------

bool FrameList_Read(const uint8_t* bytes, size_t size, FrameList* out, char (*names)[16]) {
    if (!bytes || !out || size < kFrameListHeaderSize) return false;
    int32_t n = Bytes_I32(bytes + 20);
    if (n < 1 || n > 3) return false;
    int64_t dims[3];
    for (int i = 0; i < n; ++i) {
        dims[i] = Bytes_I32(bytes + 24 + 4 * i);
        if (dims[i] < 1 || dims[i] > kFrameListMaxFrames) return false;
    }
    FrameList list{};
    list.dimensionCount = n;
    int64_t product = 1;
    for (int i = 0; i < 3; ++i) {
        if (i < n) product *= dims[n - 1 - i];
        if (product > kFrameListMaxFrames) return false;
        list.dimensionProducts[i] = static_cast<int32_t>(product);
    }
    list.frameCount = list.dimensionProducts[n - 1];
    if (size - kFrameListHeaderSize < static_cast<size_t>(list.frameCount) * kFrameListNameSize) return false;
    uint32_t rateBits = static_cast<uint32_t>(Bytes_I32(bytes + 40));
    std::memcpy(&list.frameRate, &rateBits, sizeof list.frameRate);
    list.flags = static_cast<uint32_t>(Bytes_I32(bytes + 44));
    if (names) {
        for (int32_t i = 0; i < list.frameCount; ++i) {
            const char* src = reinterpret_cast<const char*>(bytes + kFrameListHeaderSize + kFrameListNameSize * i);
            size_t length = strnlen(src, kFrameListNameSize);
            std::memset(names[i], 0, 16);
            std::memcpy(names[i], src, length);
            std::memcpy(names[i] + length, ".map", 4);
        }
    }
    *out = list;
    return true;
}

// ---- records ----------------------------------------------------------------------------------

void TexMgr_Init() {
    TexCache_Reset();
    ResetRecords();
}

void TexMap_FreeAll() {
    for (TexMapRecord& r : g_records) FreeFrameTable(r);
    TexCache_PurgeAll();
}

TexMapRecord* TexMap_Acquire(const char* name) {
    if (!name || !name[0]) return nullptr;
    if (!NameFits(name)) {
        Error_Warning("Error: texture name %s is too long", name);
        return nullptr;
    }
    if (g_freeHead < 0 && g_usedHead < 0) ResetRecords();  // first use before any mission start
    for (int32_t i = g_usedHead; i >= 0; i = g_records[i].next) {
        TexMapRecord& r = g_records[i];
        if (std::strncmp(r.name, name, sizeof r.name) != 0) continue;
        if (r.users < 0) return nullptr;
        ++r.users;
        return &r;
    }
    if (g_freeHead < 0) {
        Error_Warning("Error: texture map table full, %s not bound", name);
        return nullptr;
    }
    int32_t index = g_freeHead;
    TexMapRecord& r = g_records[index];
    g_freeHead = r.next;
    r = TexMapRecord{};
    bool ok = FillRecord(r, name);
    if (!ok) r.users = -1;
    r.next = g_usedHead;
    g_usedHead = index;
    return ok ? &r : nullptr;
}

int TexMap_UsedCount() {
    int n = 0;
    for (int32_t i = g_usedHead; i >= 0; i = g_records[i].next) ++n;
    return n;
}

// ---- entities ---------------------------------------------------------------------------------

TextureImage* TexMgr_BindEntity(Entity* entity, const char* name) {
    if (!entity) return nullptr;
    TexBinding* b = BindingOf(entity);
    if (b && b->image) return b->image;
    if (!b) {
        if (!name || !name[0]) return nullptr;
        if (!NameFits(name)) {
            Error_Warning("Error: texture name %s is too long", name);
            return nullptr;
        }
        b = new (std::nothrow) TexBinding{};
        if (!b) return nullptr;
        std::memcpy(b->name, name, std::strlen(name) + 1);
        entity->texture = b;
    }
    if (!b->record) {
        TexMapRecord* r = TexMap_Acquire(b->name);
        if (!r) return nullptr;
        b->record = r;
        b->selector = 0;
        b->image = nullptr;
        if ((r->flags & kTexMapAnimated) && r->frameRate > 0.0f) {
            float period = 1.0f / r->frameRate;
            int frames = r->dimensionProducts[0];
            if (r->flags & kTexMapCycling)
                TexAnim_StartCycle(entity, b->name, period, 0, frames, true);
            else
                TexAnim_StartOnce(entity, b->name, period, 0, frames, ReleaseEntityAtEnd);
        }
    }
    LoadCurrentFrame(b);
    return b->image;
}

void TexMgr_UnbindEntity(Entity* entity) {
    TexBinding* b = BindingOf(entity);
    if (!b) return;
    ReleaseCurrentFrame(b);
    if (b->record && b->record->users > 0) --b->record->users;
    delete b;
    entity->texture = nullptr;
}

void TexMgr_UnbindEntityHook(Entity* entity) { TexMgr_UnbindEntity(entity); }

void TexMgr_CopyBinding(const Entity* from, Entity* to) {
    if (!from || !to || from == to) return;
    TexMgr_UnbindEntity(to);
    const TexBinding* source = BindingOf(from);
    if (!source) return;
    TexBinding* b = new (std::nothrow) TexBinding(*source);
    if (!b) return;
    if (b->record && b->record->users >= 0) ++b->record->users;
    // The copy holds its own reference on the frame it shows.
    if (source->image) b->image = TexCache_Load(b->frameName);
    to->texture = b;
}

void TexMgr_SetFrame(Entity* entity, const char*, int row, int frame, bool load) {
    TexBinding* b = BindingOf(entity);
    if (!b || !b->record) return;
    uint32_t upper = row != 0 ? (static_cast<uint32_t>(row - 1) & 0xFFFFu) << 16 : (b->selector & 0xFFFF0000u);
    uint32_t selector = upper | (static_cast<uint32_t>(frame) & 0xFFFFu);
    if (selector == b->selector) return;
    ReleaseCurrentFrame(b);
    b->selector = selector;
    if (load) LoadCurrentFrame(b);
}

bool TexMgr_GetBinding(const Entity* entity, TexBindingInfo* out) {
    const TexBinding* b = BindingOf(entity);
    if (!b || !out) return false;
    *out = TexBindingInfo{b->record, b->selector, b->image, b->frameName};
    return true;
}

// ---- animations -------------------------------------------------------------------------------

void TexAnim_Init() {
    // Nodes left from an earlier mission point at entities that are gone: free them only.
    while (g_animHead) FreeNode(g_animHead, false);
}

void TexAnim_StartCycle(Entity* entity, const char* name, float period, int start, int frames, bool forward) {
    if (!entity || !NameFits(name) || !UsableTiming(period, frames)) return;
    TexAnimState* s = new TexAnimState{};
    s->nextTime = Clock_GetElapsed() + period;
    s->period = period;
    s->frames = frames;
    s->current = start >= 0 && start < frames ? start : 0;
    s->start = s->current;
    s->mode = forward ? kTexAnimForward : kTexAnimBackward;
    TexAnimAdd(entity, name, s);
}

void TexAnim_StartOnce(Entity* entity, const char* name, float period, int start, int frames,
                       TexAnimEndFn endCallback) {
    if (!entity || !NameFits(name) || !UsableTiming(period, frames)) return;
    TexAnimState* s = new TexAnimState{};
    s->nextTime = Clock_GetElapsed() + period;
    s->period = period;
    s->frames = frames;
    s->current = start >= 0 && start < frames ? start : 0;
    s->start = s->current;
    s->mode = kTexAnimOnce;
    s->end = endCallback;
    TexAnimAdd(entity, name, s);
}

void TexAnim_Remove(Entity* entity, const char* name) {
    if (!name) return;
    for (TexAnimNode* node = g_animHead; node;) {
        TexAnimNode* next = node->next;
        if (node->entity == entity && SameName(node->name, name)) FreeNode(node, true);
        node = next;
    }
}

void TexAnim_FreeAll() {
    while (g_animHead) FreeNode(g_animHead, true);
}

void TexAnim_UpdateAll() {
    for (TexAnimNode* node = g_animHead; node; node = g_walkNext) {
        g_walkNext = node->next;
        if (!Entity_UnrefIfShared(node->entity)) {
            FreeNode(node, false);  // the entity was released; its reference is gone already
            continue;
        }
        node->callback(node);
    }
    g_walkNext = nullptr;
}

int TexAnim_Count() {
    int n = 0;
    for (TexAnimNode* node = g_animHead; node; node = node->next) ++n;
    return n;
}

int TexAnim_CurrentFrame(const Entity* entity, const char* name) {
    for (TexAnimNode* node = g_animHead; node; node = node->next)
        if (node->entity == entity && name && SameName(node->name, name)) return node->data->current;
    return -1;
}

// ---- installation -----------------------------------------------------------------------------

void TexMgr_InstallServices() {
    RenderSeam& seam = Seam_Render();
    seam.texCacheReset = [] {
        TexMgr_Init();
        TexAnim_Init();
    };
    seam.texCacheFree = TexMap_FreeAll;
    seam.animTexUpdate = TexAnim_UpdateAll;
    seam.animTexFree = TexAnim_FreeAll;
    Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
    TexCache_SetHooks([](const char* name) { TexCache_Load(name); }, TexCache_Release);
}
