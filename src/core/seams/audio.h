// What the core calls of audio, CD audio and the movie player.
#pragma once
#include <cstdint>

#include "platform/window.h"

struct Entity;

struct AudioSeam {
    void (*audioInit)(WindowHandle window);
    void (*audioShutdown)();
    void (*cdSaveVolume)();
    void (*cdRestoreVolume)();
    void (*cdPause)();
    void (*cdResume)();
    bool (*movieDeviceOpen)();
    void (*movieDeviceClose)();
    bool (*movieOpen)(const char* name);  // false when the movie cannot be opened
    void (*moviePlay)(const PlatRect& rect);
    bool (*movieIsPlaying)();
    void (*movieClose)();
    void (*movieNotify)(WParam wParam, LParam lParam);

    // The game loop and the frame.
    void (*audioUpdate)();
    void (*soundFrontEndEnable)(bool on);
    void (*releaseMissionSounds)();  // the per-sound release at mission end
    void (*stopAllSounds)();
    void (*cdPlayTrack)(int track, bool forced);
    void (*cdPlayMissionTrack)();
    void (*cdStop)();
    void (*cdSetTrack)(int track);  // the map's CD track ("World" "MusicTrack"; -1 none)
    // Bytes of sound data held in memory (the statistics overlay shows them).
    uint32_t (*soundMemoryInUse)();

    // The world model and the game objects.
    // Plays a named sound attached to the owner, which it then follows; the sound instance, or
    // null when the name or the owner is missing or audio is off.
    void* (*soundPlayOnObject)(const char* name, Entity* owner);

    // Weapons and effects.
    // Plays the named sound (at most 16 characters) attached to the owner entity with the start
    // flags (0x1800 for an explosion) and the header's second value; the instance, or null.
    void* (*soundPlay)(const char* name, Entity* owner, uint32_t flags, int headerValue);

    // A looping sound attached to the owner at the volume (percent); its handle, or null.
    void* (*soundLoopStart)(const char* name, Entity* owner, float volume);
    // Volume (percent) and pitch (1 the sound's own) of a running loop, set each frame.
    void (*soundLoopSet)(void* loop, float volume, float pitch);
    void (*soundLoopStop)(void* loop);  // null allowed

    // The cockpit.
    // Plays the file on the voice channel (volume 100, surviving a pause); done runs when the
    // sound ends or is freed. false when it does not play.
    bool (*voicePlay)(const char* name, void (*done)());
    bool (*audioMessagePlaying)();  // a mission's audio message is playing
    void (*audioMessageRepeat)();   // the last audio message again (a game key)
    // Mission scripts and unit voices.
    int (*audioMessagePlay)(const char* name);  // the message's id
    bool (*audioMessageIsDone)(int id);
    void (*audioMessageStop)(int id);
    // Queues a radio line of the speaker (type 1 to 6); 1 when a line started.
    int (*radioVoiceQueue)(const char* name, Entity* speaker, int type);
    void (*radioVoiceRemoveSpeaker)(Entity* speaker);  // a craft or pilot died
    // The hover craft's engine sound settings: the base frequency, then eight settings.
    const float* (*hoverEngineSettings)();
    // Stops and frees the first sound attached to the entity; false when it has none.
    bool (*soundStopAttached)(Entity* owner);
    // Sets a playing sound's frequency (Hz) and volume (percent) and marks both changed (sound
    // flags 0x60), to hold until the next call; a sound the layer has freed is left alone.
    void (*soundSetPitchVolume)(void* sound, int frequency, int volume);
};

AudioSeam& Seam_Audio();
