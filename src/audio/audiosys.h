// The sound layer: every sound of the game, one-shot or looping, 2-D or placed around the
// listener, kept in one list by falling priority. Sounds start lazily in the per-frame update,
// which also culls positional sounds by distance, by the limit of audible positional sounds and
// by each name's copy limit, keeps the listener on the camera's followed object and frees the
// sounds whose owner died or that finished.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window.h"

struct Entity;
struct SoundInstance;

// Params flags.
constexpr uint32_t kSoundSurvivesPause = 0x1;
constexpr uint32_t kSoundEffects = 0x2;
constexpr uint32_t kSoundVoice = 0x4;
constexpr uint32_t kSoundFrequencyChanged = 0x20;
constexpr uint32_t kSoundVolumeChanged = 0x40;
constexpr uint32_t kSoundPanChanged = 0x80;
constexpr uint32_t kSoundPositionChanged = 0x100;
constexpr uint32_t kSoundPlaceOnce = 0x200;
constexpr uint32_t kSoundNo3D = 0x400;
constexpr int SoundKindOf(uint32_t flags) { return int(flags >> 11) & 0xF; }

// Instance state bits.
constexpr uint32_t kSoundStatePlaying = 0x4;
constexpr uint32_t kSoundStatePaused = 0x8;
constexpr uint32_t kSoundStateDetached = 0x10;
constexpr uint32_t kSoundStateInMemory = 0x200;
constexpr uint32_t kSoundStateFreed = 0x1000;  // freed inside the update's walk, unlinked after it

// Callback phases: 1 start, 2 update, 3 end. A start callback's 0 cancels the start; an update
// callback's 0 skips applying the parameters; an end callback's 0 leaves the instance alone.
using SoundCallback = int (*)(SoundInstance* instance, int phase);

struct SoundParams {
    char name[16];
    uint32_t flags;
    float frequency;
    float volume;  // percent
    float pan;
    SoundCallback start;
    SoundCallback update;
    SoundCallback end;
};

struct SoundHeader {
    char magic[4];  // "GAS0"
    int32_t priority;
    int32_t maxCopies;
    int32_t mode;  // 0 once, 1 loop, 2 short
    int32_t volume;
    int32_t randomPitch;
    int32_t sampleRate;
};
static_assert(sizeof(SoundHeader) == 28, "the sound file header is 28 bytes");

constexpr int kSoundModeOnce = 0, kSoundModeLoop = 1, kSoundModeShort = 2;

struct PlatSoundVoice;

struct SoundInstance {
    SoundInstance* next;
    SoundParams params;
    SoundHeader header;
    const uint8_t* data;  // in-memory sound data (file data is loaded only while used)
    size_t dataSize;
    PlatSoundVoice* voice;
    Entity* owner;
    uint32_t bufferFlags;
    int copySlot;
    uint32_t bufferBytes;
    uint8_t restart;
    uint32_t state;
    uint32_t ownerId;
    uint32_t sampleRate;
    // Set by the front-end's looping sounds: the volume percent and pitch of the next update.
    float loopVolume;
    float loopPitch;
    void* user;  // the caller's, untouched by the layer
    void (*onFree)(SoundInstance* instance);  // told once when the instance is freed
};

void SoundParams_Init(SoundParams* params);
void SoundHeader_Init(SoundHeader* header);

// 1 when sound is open, 0 when it is not wanted ("nods") or no device opens (the game runs
// silent). "nods3d" makes every sound 2-D.
int AudioSys_Init(WindowHandle window);
void AudioSys_Shutdown();
bool AudioSys_IsOpen();
void AudioSys_Update(int updateListener);

SoundInstance* Sound_Play(const char* name, Entity* owner, const SoundParams* params, const SoundHeader* header);
void Sound_Stop(SoundInstance* instance);
SoundInstance* Sound_Find(const char* name, Entity* owner);
// Whether the instance is one the layer still holds (handles kept by callers are checked).
bool Sound_IsLive(const SoundInstance* instance);
// An in-memory WAVE image of size bytes; named "%d.wav" by a counter 0..100.
SoundInstance* Sound_PlayData(const void* data, size_t size, float frequency, float volume, float pan);
void Sound_StopData(const void* data);
bool Sound_IsPlayingData(const void* data);

void AudioSys_PauseAll();
void AudioSys_ResumeAll();
void AudioSys_StopAll();
// Frees every sound tied to the world (an owner, or placed once) at mission end.
void AudioSys_ReleaseWorldSounds();
// Levels 0..10; -1 takes the player's setting, -2 leaves the level.
void AudioSys_SetVolumes(int cd, int effects, int voice);
void AudioSys_SetMax3DSounds(int count);
int AudioSys_EffectsVolume();
int AudioSys_VoiceVolume();
uint32_t AudioSys_TotalBytes();

// The volume table: level 0..100 to hundredths of a decibel.
int32_t AudioSys_VolumeTable(int level);

// The instances in list order (tests and the debug page).
SoundInstance* AudioSys_First();

// The 3-D constants, tuned by "audio.odf".
struct AudioConstants {
    float distanceFactor[2];  // [0] first-person views, [1] other views
    float rolloff[2];
    float doppler[2];
    float minDistance, maxDistance;
    float placeOnceMin, placeOnceMax;
    float kind3Min;
    float kind3VolumeFactor;
    int primaryRate;
    float hoverEngine[9];  // the hover craft's engine sound: base frequency, then eight settings
};
AudioConstants& Audio_Constants();
void Audio_ResetConstants();

// Where the layer finds the camera. Defaults read the cockpit's camera; tests replace them.
struct AudioCameraHooks {
    bool (*cameraPosition)(float out[3]);
    Entity* (*followed)();
    bool (*firstPerson)();
};
AudioCameraHooks& Audio_CameraHooks();

// Back to closed with every setting at its start value (the test fixture's reset).
void AudioSys_ResetForTests();

// The seam's entries of the sound layer and front-end.
void Audio_InstallSeam();
