#include "audio/audiosys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Objkr/classfnc.h"
#include "Objkr/dynamics.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "audio/cdaudio.h"
#include "audio/radiovoice.h"
#include "audio/wave.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/helpers.h"
#include "core/seams/cockpit.h"
#include "core/seams/shell.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"
#include "platform/random.h"
#include "platform/sound.h"

namespace {

constexpr int kCopySlots = 30;
constexpr float kCullDistanceSquared = 22500.0f;  // 150 units from the camera
constexpr float kPitchFactors[10] = {0.80f, 0.84f, 0.88f, 0.92f, 0.96f, 1.00f, 1.04f, 1.08f, 1.12f, 1.16f};

struct CopySlot {
    int prev, next;
    int running;
    SoundInstance* instance;
};

struct AudioState {
    bool open = false;
    bool has3D = false;
    int max3D = 8;
    int effects = 8;
    int voice = 10;
    int cd = 2;
    bool paused = false;
    uint32_t totalBytes = 0;
    SoundInstance* head = nullptr;
    CopySlot slots[kCopySlots];
    int freeSlot = 0;
    int minFree = kCopySlots;
    int32_t volumeTable[101];
    int walking = 0;
    int dataCounter = 0;
    DebugScreenPage* page = nullptr;
    int pageRows = 0;
};

AudioState& A() {
    static AudioState state;
    return state;
}

AudioConstants DefaultConstants() {
    AudioConstants c{};
    c.distanceFactor[0] = c.distanceFactor[1] = 1.0f;
    c.rolloff[0] = c.rolloff[1] = 5.0f;
    c.doppler[0] = c.doppler[1] = 0.8f;
    c.minDistance = 10.0f;
    c.maxDistance = 400.0f;
    c.placeOnceMin = 100.0f;
    c.placeOnceMax = 400.0f;
    c.kind3Min = 50.0f;
    c.kind3VolumeFactor = 2.0f;
    c.primaryRate = 11025;
    const float hover[9] = {11025.0f, 0.0f, -50.0f, 50.0f, 11025.0f, 5512.5f, 5.0f, 5.0f, 5.0f};
    std::copy(hover, hover + 9, c.hoverEngine);
    return c;
}

AudioConstants& Constants() {
    static AudioConstants c = DefaultConstants();
    return c;
}

bool DefaultCameraPosition(float out[3]) {
    Vector v{};
    if (!Seam_Cockpit().cameraPosition || !Seam_Cockpit().cameraPosition(&v)) return false;
    out[0] = v.x, out[1] = v.y, out[2] = v.z;
    return true;
}
Entity* DefaultFollowed() {
    GameObject* target = Camera_GetTarget();
    return target ? target->entity : nullptr;
}
bool DefaultFirstPerson() { return Camera_IsFirstPerson(); }

AudioCameraHooks& Hooks() {
    static AudioCameraHooks hooks{DefaultCameraPosition, DefaultFollowed, DefaultFirstPerson};
    return hooks;
}

const uint8_t* PlayerDef() { return Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr; }

// ---- copy slots ---------------------------------------------------------------------------

void ResetSlots() {
    AudioState& a = A();
    for (int i = 0; i < kCopySlots; ++i) a.slots[i] = CopySlot{-1, i + 1 < kCopySlots ? i + 1 : -1, 0, nullptr};
    a.freeSlot = 0;
    a.minFree = kCopySlots;
}

int FreeSlotCount() {
    int n = 0;
    for (int i = A().freeSlot; i >= 0; i = A().slots[i].next) ++n;
    return n;
}

int ChainHead(int slot) {
    while (A().slots[slot].prev >= 0) slot = A().slots[slot].prev;
    return slot;
}

int ChainCount(int slot) {
    int n = 0;
    for (int i = ChainHead(slot); i >= 0; i = A().slots[i].next) ++n;
    return n;
}

bool SameName(const SoundInstance* a, const SoundInstance* b) {
    return Text_CompareNoCaseN(a->params.name, b->params.name, sizeof a->params.name) == 0;
}

// The first other live instance of the same name that holds a slot.
int FindChain(const SoundInstance* instance) {
    for (SoundInstance* i = A().head; i; i = i->next)
        if (i != instance && !(i->state & kSoundStateFreed) && i->copySlot >= 0 && SameName(i, instance))
            return i->copySlot;
    return -1;
}

void UnlinkCopy(SoundInstance* instance) {
    AudioState& a = A();
    const int s = instance->copySlot;
    if (s < 0) return;
    CopySlot& slot = a.slots[s];
    if (slot.prev >= 0) a.slots[slot.prev].next = slot.next;
    if (slot.next >= 0) a.slots[slot.next].prev = slot.prev;
    slot = CopySlot{-1, a.freeSlot, 0, nullptr};
    a.freeSlot = s;
    instance->copySlot = -1;
}

// ---- data ---------------------------------------------------------------------------------

struct LoadedData {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool cached = false;
};

LoadedData LoadData(const SoundInstance* instance) {
    LoadedData d;
    if (instance->state & kSoundStateInMemory) {
        d.data = instance->data;
        d.size = instance->dataSize;
        return d;
    }
    const char* name = instance->params.name;
    if (!Cache_ItemExists(name)) return d;
    d.data = static_cast<const uint8_t*>(Cache_UseItem(name));
    d.size = d.data ? Cache_GetItemSize(name) : 0;
    d.cached = d.data != nullptr;
    return d;
}

void ReleaseData(const SoundInstance* instance, const LoadedData& d) {
    if (d.cached) Cache_UnlockItem(instance->params.name);
}

// ---- the list -----------------------------------------------------------------------------

bool Positional(const SoundInstance* i) { return i->owner && !(i->params.flags & kSoundNo3D); }

float DistanceSquaredToCamera(const SoundInstance* i);

void WorldPlace(const Entity* entity, Vector* position) {
    Matrix world = entity->local;
    for (const Entity* parent = Entity_GetParent(entity); parent; parent = Entity_GetParent(parent)) {
        Matrix next;
        Matrix_Multiply(next, world, parent->local);
        world = next;
    }
    *position = Vector{float(world.posit.x), float(world.posit.y), float(world.posit.z)};
}

Vector RootVelocity(Entity* entity) {
    Entity* root = entity;
    while (Entity_GetParent(root)) root = Entity_GetParent(root);
    EntityDynamics d;
    EntityDynamics_Init(d);
    Classfnc_GetDynamics(&d, root);
    return d.velocity;
}

float DistanceSquaredToCamera(const SoundInstance* i) {
    float camera[3];
    if (!Hooks().cameraPosition || !Hooks().cameraPosition(camera)) return 0.0f;
    Vector p;
    WorldPlace(i->owner, &p);
    const float dx = p.x - camera[0], dy = p.y - camera[1], dz = p.z - camera[2];
    return dx * dx + dy * dy + dz * dz;
}

void FreeNow(SoundInstance* instance) {
    AudioState& a = A();
    if (instance->voice) {
        PlatSound_Stop(instance->voice);
        PlatSound_Release(instance->voice);
        instance->voice = nullptr;
        a.totalBytes -= std::min(a.totalBytes, instance->bufferBytes);
        instance->bufferBytes = 0;
    }
    UnlinkCopy(instance);
    instance->state &= ~kSoundStatePlaying;
    if (void (*told)(SoundInstance*) = instance->onFree) {
        instance->onFree = nullptr;
        told(instance);
    }
}

void Unlink(SoundInstance* instance) {
    for (SoundInstance** p = &A().head; *p; p = &(*p)->next) {
        if (*p == instance) {
            *p = instance->next;
            return;
        }
    }
}

void FreeInstance(SoundInstance* instance) {
    if (!instance || (instance->state & kSoundStateFreed)) return;
    FreeNow(instance);
    // Inside the update's walk the record stays linked until the walk ends.
    if (A().walking > 0) {
        instance->state |= kSoundStateFreed;
        return;
    }
    Unlink(instance);
    delete instance;
}

void ReapFreed() {
    for (SoundInstance** p = &A().head; *p;) {
        if ((*p)->state & kSoundStateFreed) {
            SoundInstance* dead = *p;
            *p = dead->next;
            delete dead;
        } else {
            p = &(*p)->next;
        }
    }
}

// Moves a new instance from the head to its place: after the first of equal priority, else
// before the first of lower priority, else to the end.
void PlaceByPriority(SoundInstance* instance) {
    Unlink(instance);
    SoundInstance** p = &A().head;
    while (*p) {
        if ((*p)->header.priority == instance->header.priority) {
            p = &(*p)->next;
            break;
        }
        if ((*p)->header.priority < instance->header.priority) break;
        p = &(*p)->next;
    }
    instance->next = *p;
    *p = instance;
}

int ChannelVolume(const SoundInstance* i) {
    return (i->params.flags & kSoundVoice) ? A().voice : A().effects;
}

void MergeHeader(SoundHeader* merged, const SoundHeader& file, const SoundHeader* caller) {
    SoundHeader defaults;
    SoundHeader_Init(&defaults);
    auto pick = [](int32_t callerValue, int32_t fileValue, int32_t fallback) {
        if (callerValue != -1) return callerValue;
        if (fileValue != -1) return fileValue;
        return fallback;
    };
    const bool given = caller != nullptr;
    std::memcpy(merged->magic, "GAS0", 4);
    merged->priority = (file.priority == -1 ? 50 : file.priority) + (given && caller->priority != -1 ? caller->priority : 0);
    merged->maxCopies = pick(given ? caller->maxCopies : -1, file.maxCopies, 4);
    merged->mode = pick(given ? caller->mode : -1, file.mode, 0);
    merged->volume = pick(given ? caller->volume : -1, file.volume, 100);
    merged->randomPitch = pick(given ? caller->randomPitch : -1, file.randomPitch, 0);
    merged->sampleRate = pick(given ? caller->sampleRate : -1, file.sampleRate, defaults.sampleRate);
}

// ---- applying -----------------------------------------------------------------------------

void ListenerPlace(Vector* position, Vector* velocity, Vector* front, Vector* top) {
    *position = *velocity = Vector{0, 0, 0};
    *front = Vector{0, 0, 1};
    *top = Vector{0, 1, 0};
    Entity* followed = Hooks().followed ? Hooks().followed() : nullptr;
    if (followed) {
        WorldPlace(followed, position);
        *velocity = RootVelocity(followed);
        Matrix world = followed->local;
        for (const Entity* parent = Entity_GetParent(followed); parent; parent = Entity_GetParent(parent)) {
            Matrix next;
            Matrix_Multiply(next, world, parent->local);
            world = next;
        }
        *front = world.front;
        *top = world.up;
        return;
    }
    float camera[3];
    if (Hooks().cameraPosition && Hooks().cameraPosition(camera)) *position = Vector{camera[0], camera[1], camera[2]};
}

PlatSoundVec ToVec(const Vector& v) { return PlatSoundVec{v.x, v.y, v.z}; }

void Apply(SoundInstance* i) {
    const AudioConstants& c = Constants();
    uint32_t& f = i->params.flags;
    PlatSoundVoice* voice = i->voice;
    if ((f & kSoundFrequencyChanged) && (i->bufferFlags & kPlatSoundFrequency))
        PlatSound_SetFrequency(voice, uint32_t(std::lround(std::max(1.0f, i->params.frequency))));
    if (f & kSoundVolumeChanged) {
        const int level = std::clamp(int(std::lround(ChannelVolume(i) * i->params.volume * 0.1f)), 0, 100);
        PlatSound_SetVolume(voice, A().volumeTable[level]);
    }
    if ((f & kSoundPanChanged) && !PlatSound_Is3D(voice)) PlatSound_SetPan(voice, int32_t(std::lround(i->params.pan)));
    if ((f & kSoundPositionChanged) && PlatSound_Is3D(voice) && i->owner) {
        Vector position, velocity;
        Entity* followed = Hooks().followed ? Hooks().followed() : nullptr;
        const bool listenerPlace = i->owner == followed && Hooks().firstPerson && Hooks().firstPerson() && i->params.pan == 0.0f;
        if (listenerPlace) {
            Vector front, top;
            ListenerPlace(&position, &velocity, &front, &top);
        } else {
            WorldPlace(i->owner, &position);
            velocity = RootVelocity(i->owner);
            if (i->params.pan != 0.0f) {
                const float lead = i->params.pan * 0.002f;
                position = Vector{position.x + velocity.x * lead, position.y + velocity.y * lead, position.z + velocity.z * lead};
            }
        }
        PlatSound_SetPosition(voice, ToVec(position));
        PlatSound_SetVelocity(voice, ToVec(velocity));
        if (f & kSoundPlaceOnce) {
            PlatSound_SetDistances(voice, c.placeOnceMin, c.placeOnceMax);
            i->owner = nullptr;
            i->state |= kSoundStateDetached;
        } else if (SoundKindOf(f) == 3) {
            PlatSound_SetDistances(voice, c.kind3Min, c.maxDistance);
        } else {
            PlatSound_SetDistances(voice, c.minDistance, c.maxDistance);
        }
    }
    f &= ~(kSoundFrequencyChanged | kSoundVolumeChanged | kSoundPanChanged | kSoundPositionChanged);
}

bool MakeBuffer(SoundInstance* i) {
    const LoadedData d = LoadData(i);
    WaveInfo wave;
    if (!d.data || !Wave_Parse(d.data, d.size, &wave)) {
        ReleaseData(i, d);
        return false;
    }
    uint32_t flags;
    const bool positional = (Positional(i) || (i->state & kSoundStateDetached)) && A().has3D;
    if (positional) flags = kPlatSound3D | kPlatSoundFrequency | kPlatSoundVolume;
    else if (SoundKindOf(i->params.flags) == 4) flags = kPlatSoundFrequency | kPlatSoundPan | kPlatSoundVolume;
    else flags = kPlatSoundPan | kPlatSoundVolume;
    i->voice = PlatSound_CreateBuffer(wave.format, wave.samples, wave.bytes, flags);
    ReleaseData(i, d);
    if (!i->voice) return false;
    i->bufferFlags = flags;
    i->bufferBytes = wave.bytes;
    A().totalBytes += wave.bytes;
    i->sampleRate = uint32_t(wave.format.rate);
    i->header.sampleRate = wave.format.rate;
    return true;
}

// false when the sound cannot start (it is freed by the caller).
bool Start(SoundInstance* i) {
    if (!i->voice && !MakeBuffer(i)) return false;
    i->params.volume = float(i->header.volume);
    i->params.frequency = float(i->sampleRate);
    if (i->header.randomPitch != 0) i->params.frequency *= kPitchFactors[Random_Next() % 10];
    if (i->header.mode == kSoundModeShort) i->restart = 1;
    if (i->params.start && !i->params.start(i, 1)) return true;
    i->params.flags |= kSoundFrequencyChanged | kSoundVolumeChanged | kSoundPanChanged | kSoundPositionChanged;
    Apply(i);
    PlatSound_Play(i->voice, i->header.mode == kSoundModeLoop || i->header.mode == kSoundModeShort);
    i->state |= kSoundStatePlaying;
    return true;
}

void UpdateListener(const AudioConstants& c) {
    PlatSoundListener l;
    Vector position, velocity, front, top;
    ListenerPlace(&position, &velocity, &front, &top);
    const int view = (Hooks().firstPerson && Hooks().firstPerson()) ? 0 : 1;
    l.position = ToVec(position);
    l.velocity = ToVec(velocity);
    l.front = ToVec(front);
    l.top = ToVec(top);
    l.distanceFactor = c.distanceFactor[view];
    l.rolloffFactor = c.rolloff[view];
    l.dopplerFactor = c.doppler[view];
    PlatSound_SetListener(l);
}

void OwnerName(const SoundInstance* i, char out[9]) {
    if (!i->owner) {
        std::snprintf(out, 9, "%s", "null");
    } else if (i->owner->id != i->ownerId) {
        std::snprintf(out, 9, "%s", "NULL ID ");
    } else {
        std::memcpy(out, i->owner->name, 8);
        out[8] = 0;
    }
}

void DrawPage(DebugScreenPage* page) {
    if (!DebugScreen_IsPageShown(page)) return;
    DebugScreen_ClearPage(page);
    int row = 0;
    auto line = [&](const SoundInstance* i) {
        char owner[9], name[17];
        OwnerName(i, owner);
        std::memcpy(name, i->params.name, 16);
        name[16] = 0;
        DebugScreen_Printf(page, 0, row++, 7, "%16s %16s  %3d    %2d  go_flg(%4x) gc_flg(%4x)", name, owner,
                           int(i->header.priority), int(i->header.maxCopies), unsigned(i->state),
                           unsigned(i->params.flags));
    };
    DebugScreen_Write(page, "Playing Sounds", 0, row++, 7);
    for (SoundInstance* i = A().head; i; i = i->next)
        if (i->state & kSoundStatePlaying) line(i);
    DebugScreen_Write(page, "Copies", 0, row++, 7);
    for (SoundInstance* i = A().head; i; i = i->next)
        if (i->copySlot >= 0 && ChainCount(i->copySlot) == 2) line(i);
    DebugScreen_Write(page, "All Sounds", 0, row++, 7);
    for (SoundInstance* i = A().head; i; i = i->next) line(i);
    A().pageRows = row;
}

}  // namespace

AudioConstants& Audio_Constants() { return Constants(); }
void Audio_ResetConstants() { Constants() = DefaultConstants(); }
AudioCameraHooks& Audio_CameraHooks() { return Hooks(); }

void SoundParams_Init(SoundParams* params) {
    std::memset(params, 0, sizeof *params);
    params->frequency = 11025.0f;
    params->volume = 100.0f;
}

void SoundHeader_Init(SoundHeader* header) {
    std::memcpy(header->magic, "GAS0", 4);
    header->priority = 50;
    header->maxCopies = 4;
    header->mode = 0;
    header->volume = 100;
    header->randomPitch = -1;
    header->sampleRate = 11025;
}

int32_t AudioSys_VolumeTable(int level) { return A().volumeTable[std::clamp(level, 0, 100)]; }

int AudioSys_Init(WindowHandle) {
    AudioState& a = A();
    if (a.open) AudioSys_Shutdown();
    const CmdLineGlobals& cmd = CmdLine_Globals();
    if (cmd.noDirectSound) return 0;
    if (!PlatSound_Open(!cmd.noDirectSound3D, Constants().primaryRate)) return 0;
    a.open = true;
    a.has3D = PlatSound_Has3D();
    a.paused = false;
    a.totalBytes = 0;
    a.volumeTable[0] = -10000;
    for (int i = 1; i <= 100; ++i) a.volumeTable[i] = int32_t(std::trunc(100.0 / std::log(2.0) * std::log(i * 0.01))) * 4;
    const uint8_t* def = PlayerDef();
    a.max3D = def ? def[83] : 8;
    AudioSys_SetVolumes(-1, -1, -1);
    CDAudio_Open();
    ResetSlots();
    if (!a.page || a.page->draw != DrawPage) a.page = DebugScreen_AddPage(DrawPage);
    return 1;
}

bool AudioSys_IsOpen() { return A().open; }

void AudioSys_Shutdown() {
    AudioState& a = A();
    if (!a.open) return;
    AudioSys_StopAll();
    Debug_Printf("AudioSys - minFreeCopies(%d)\n", a.minFree);
    CDAudio_Stop();
    CDAudio_Close();
    PlatSound_Close();
    a.open = false;
}

namespace {

SoundInstance* PlayInternal(const char* name, Entity* owner, const SoundParams* params, const SoundHeader* header,
                            const uint8_t* data, size_t size) {
    AudioState& a = A();
    if (!a.open) return nullptr;
    auto* i = new SoundInstance{};
    i->next = a.head;
    a.head = i;
    i->copySlot = -1;
    if (params) i->params = *params;
    else SoundParams_Init(&i->params);
    SoundHeader_Init(&i->header);
    i->owner = owner;
    i->ownerId = owner ? owner->id : 0;
    if (data) {
        i->state |= kSoundStateInMemory;
        i->data = data;
        i->dataSize = size;
    }
    if (owner && (owner->flags & 0x10)) i->params.flags |= kSoundNo3D;
    if (!a.has3D) i->params.flags |= kSoundNo3D;
    if (name && name != i->params.name) {
        std::memset(i->params.name, 0, sizeof i->params.name);
        Text_CopyFixed(i->params.name, sizeof i->params.name, name);
    }
    if (!(i->params.flags & (kSoundEffects | kSoundVoice))) i->params.flags |= kSoundEffects;
    auto refuse = [&]() -> SoundInstance* {
        Unlink(i);
        FreeNow(i);
        delete i;
        return nullptr;
    };
    if (i->params.name[0] == 0) return refuse();
    WaveInfo wave;
    const LoadedData d = LoadData(i);
    const bool parsed = d.data && Wave_Parse(d.data, d.size, &wave);
    ReleaseData(i, d);
    if (!parsed) return refuse();
    MergeHeader(&i->header, wave.header, header);
    if (SoundKindOf(i->params.flags) == 3)
        i->header.volume = int32_t(std::lround(float(i->header.volume) * Constants().kind3VolumeFactor));
    if (Positional(i) && i->header.mode != kSoundModeLoop && DistanceSquaredToCamera(i) > kCullDistanceSquared)
        return refuse();
    if (ChannelVolume(i) == 0) return refuse();
    if (a.freeSlot < 0) {
        Debug_Printf("LinkCopy out of copies\n");
        return refuse();
    }
    const int chain = FindChain(i);
    if (i->header.mode != kSoundModeLoop && chain >= 0 && ChainCount(chain) >= i->header.maxCopies) return refuse();
    if ((i->state & kSoundStateInMemory) && !MakeBuffer(i)) return refuse();
    PlaceByPriority(i);
    // Link into the chain of its name.
    const int s = a.freeSlot;
    a.freeSlot = a.slots[s].next;
    a.slots[s] = CopySlot{-1, -1, 0, i};
    if (chain >= 0) {
        a.slots[s].prev = chain;
        a.slots[s].next = a.slots[chain].next;
        if (a.slots[chain].next >= 0) a.slots[a.slots[chain].next].prev = s;
        a.slots[chain].next = s;
    }
    i->copySlot = s;
    a.minFree = std::min(a.minFree, FreeSlotCount());
    if (a.paused) i->state |= kSoundStatePaused;
    return i;
}

}  // namespace

SoundInstance* Sound_Play(const char* name, Entity* owner, const SoundParams* params, const SoundHeader* header) {
    return PlayInternal(name, owner, params, header, nullptr, 0);
}

SoundInstance* Sound_PlayData(const void* data, size_t size, float frequency, float volume, float pan) {
    AudioState& a = A();
    if (!a.open || !data) return nullptr;
    SoundParams params;
    SoundParams_Init(&params);
    std::snprintf(params.name, sizeof params.name, "%d.wav", a.dataCounter);
    a.dataCounter = a.dataCounter >= 100 ? 0 : a.dataCounter + 1;
    params.frequency = frequency;
    params.volume = volume;
    params.pan = pan;
    // The start takes the header's volume, so the caller's volume goes there.
    SoundHeader header;
    std::memset(&header, 0xFF, sizeof header);
    header.priority = 0;
    header.volume = int32_t(std::lround(volume));
    return PlayInternal(params.name, nullptr, &params, &header, static_cast<const uint8_t*>(data), size);
}

void Sound_Stop(SoundInstance* instance) {
    if (Sound_IsLive(instance)) FreeInstance(instance);
}

bool Sound_IsLive(const SoundInstance* instance) {
    if (!instance) return false;
    for (SoundInstance* i = A().head; i; i = i->next)
        if (i == instance) return !(i->state & kSoundStateFreed);
    return false;
}

SoundInstance* Sound_Find(const char* name, Entity* owner) {
    for (SoundInstance* i = A().head; i; i = i->next) {
        if ((i->state & kSoundStateFreed) || i->owner != owner) continue;
        if (!name || Text_CompareNoCaseN(i->params.name, name, sizeof i->params.name) == 0) return i;
    }
    return nullptr;
}

void Sound_StopData(const void* data) {
    for (SoundInstance* i = A().head; i; i = i->next)
        if (!(i->state & kSoundStateFreed) && (i->state & kSoundStateInMemory) && i->data == data) {
            FreeInstance(i);
            return;
        }
}

bool Sound_IsPlayingData(const void* data) {
    for (SoundInstance* i = A().head; i; i = i->next)
        if (!(i->state & kSoundStateFreed) && (i->state & kSoundStateInMemory) && i->data == data) return true;
    return false;
}

void AudioSys_Update(int updateListener) {
    AudioState& a = A();
    CDAudio_Recheck();
    if (!a.open) return;
    const AudioConstants& c = Constants();
    const bool listener = updateListener && a.has3D;
    if (listener) UpdateListener(c);
    for (CopySlot& s : a.slots) s.running = 0;
    bool applied = false;
    int kept3D = 0;
    ++a.walking;
    for (SoundInstance* i = a.head; i; i = i->next) {
        if (i->state & kSoundStateFreed) continue;
        if (i->owner && i->owner->id != i->ownerId) {
            FreeInstance(i);
            continue;
        }
        if (i->state & kSoundStatePaused) continue;
        if (Positional(i)) {
            int& running = a.slots[ChainHead(i->copySlot)].running;
            const bool culled = DistanceSquaredToCamera(i) > kCullDistanceSquared || kept3D >= a.max3D ||
                                running >= i->header.maxCopies;
            if (culled) {
                if (i->state & kSoundStatePlaying) {
                    PlatSound_Stop(i->voice);
                    i->state &= ~kSoundStatePlaying;
                }
                if (i->header.mode != kSoundModeLoop) FreeInstance(i);
                continue;
            }
            ++kept3D;
            ++running;
        }
        if (!(i->state & kSoundStatePlaying)) {
            if (!Start(i)) FreeInstance(i);
            else applied = true;
            continue;
        }
        if (i->header.mode == kSoundModeShort) {
            if (i->restart) i->restart = 0;
            else PlatSound_Stop(i->voice);
        }
        if (!PlatSound_IsPlaying(i->voice)) {
            if (i->params.end) {
                if (!i->params.end(i, 3)) continue;
                if (i->state & kSoundStateFreed) continue;
            }
            if (i->header.mode == kSoundModeLoop) {
                i->state &= ~kSoundStatePlaying;
            } else {
                FreeInstance(i);
            }
            continue;
        }
        if (i->owner) i->params.flags |= kSoundPositionChanged;
        i->params.volume = float(i->header.volume);
        if (i->header.randomPitch != 1) i->params.frequency = float(i->sampleRate);
        i->params.flags |= kSoundVolumeChanged | kSoundFrequencyChanged;
        if (i->params.update && !i->params.update(i, 2)) continue;
        Apply(i);
        applied = true;
    }
    --a.walking;
    if (a.walking == 0) ReapFreed();
    // The mixer hears the clock at every update; OpenAL gets the 3-D batch.
    (void)applied;
    PlatSound_Commit();
    if (a.page) DrawPage(a.page);
}

void AudioSys_PauseAll() {
    AudioState& a = A();
    if (!a.open || a.paused) return;
    a.paused = true;
    for (SoundInstance* i = a.head; i;) {
        SoundInstance* next = i->next;
        if (!(i->state & kSoundStateFreed)) {
            if (i->params.flags & kSoundSurvivesPause) {
                if (i->voice) PlatSound_Stop(i->voice);
                i->state = (i->state & ~kSoundStatePlaying) | kSoundStatePaused;
            } else {
                FreeInstance(i);
            }
        }
        i = next;
    }
}

void AudioSys_ResumeAll() {
    AudioState& a = A();
    if (!a.open) return;
    a.paused = false;
    for (SoundInstance* i = a.head; i; i = i->next) i->state &= ~kSoundStatePaused;
}

void AudioSys_StopAll() {
    AudioState& a = A();
    RadioVoice_Clear(0);
    for (SoundInstance* i = a.head; i;) {
        SoundInstance* next = i->next;
        FreeInstance(i);
        i = next;
    }
    a.totalBytes = 0;
    a.paused = false;
}

void AudioSys_ReleaseWorldSounds() {
    for (SoundInstance* i = A().head; i;) {
        SoundInstance* next = i->next;
        if (i->owner || (i->state & kSoundStateDetached)) FreeInstance(i);
        i = next;
    }
}

void AudioSys_SetVolumes(int cd, int effects, int voice) {
    AudioState& a = A();
    const uint8_t* def = PlayerDef();
    auto level = [&](int value, int offset, int& slot) {
        if (value == -2) return;
        if (value == -1) value = def ? def[offset] : slot;
        slot = std::clamp(value, 0, 10);
    };
    level(cd, 80, a.cd);
    if (cd != -2) CDAudio_SetVolume(uint32_t(a.cd));
    level(effects, 81, a.effects);
    level(voice, 82, a.voice);
}

void AudioSys_SetMax3DSounds(int count) { A().max3D = std::max(0, count); }
int AudioSys_EffectsVolume() { return A().effects; }
int AudioSys_VoiceVolume() { return A().voice; }
uint32_t AudioSys_TotalBytes() { return A().totalBytes; }
SoundInstance* AudioSys_First() { return A().head; }

void AudioSys_ResetForTests() {
    AudioState& a = A();
    a.walking = 0;
    for (SoundInstance* i = a.head; i;) {
        SoundInstance* next = i->next;
        FreeNow(i);
        delete i;
        i = next;
    }
    a.head = nullptr;
    PlatSound_Close();
    DebugScreenPage* page = a.page;
    a = AudioState{};
    a.page = page;
    Audio_ResetConstants();
    Hooks() = AudioCameraHooks{DefaultCameraPosition, DefaultFollowed, DefaultFirstPerson};
}
