// The audio seam's entries of the sound layer, the front-end and the radio voice.
#include <cmath>
#include <cstring>

#include "audio/audiomessage.h"
#include "audio/audiosys.h"
#include "audio/cdaudio.h"
#include "audio/movie.h"
#include "audio/radiovoice.h"
#include "core/seams/audio.h"

namespace {

constexpr uint32_t kLoopFlags = 0x2001;  // survives a pause; kind 4 (frequency control in 2-D too)

// The loop's volume and pitch, set by the owner each frame, replace the defaults of the update.
int LoopUpdate(SoundInstance* instance, int) {
    instance->params.volume = instance->loopVolume;
    instance->params.frequency = float(instance->sampleRate) * instance->loopPitch;
    return 1;
}

int LoopStart(SoundInstance* instance, int) {
    LoopUpdate(instance, 2);
    return 1;
}

// A sound given its frequency and volume outright (the charge gun's): they hold through the
// layer's updates until the owner sets new ones. loopPitch holds the frequency in Hz here.
int HeldUpdate(SoundInstance* instance, int) {
    instance->params.volume = instance->loopVolume;
    instance->params.frequency = instance->loopPitch;
    return 1;
}

void (*g_voiceDone)() = nullptr;

void VoiceFreed(SoundInstance*) {
    void (*done)() = g_voiceDone;
    g_voiceDone = nullptr;
    if (done) done();
}

}  // namespace

void Audio_InstallSeam() {
    AudioSeam& seam = Seam_Audio();
    seam.audioInit = [](WindowHandle window) { AudioSys_Init(window); };
    seam.audioShutdown = AudioSys_Shutdown;
    seam.audioUpdate = [] { AudioSys_Update(1); };
    seam.soundFrontEndEnable = RadioVoice_Enable;
    seam.releaseMissionSounds = AudioSys_ReleaseWorldSounds;
    seam.stopAllSounds = AudioSys_StopAll;
    seam.soundMemoryInUse = AudioSys_TotalBytes;
    seam.soundStopAttached = [](Entity* owner) {
        if (!owner) return false;
        for (SoundInstance* i = AudioSys_First(); i; i = i->next)
            if (i->owner == owner && Sound_IsLive(i)) {
                Sound_Stop(i);
                return true;
            }
        return false;
    };
    seam.soundPlayOnObject = [](const char* name, Entity* owner) -> void* {
        return Sound_PlayOnObject(name, owner, nullptr);
    };
    seam.soundPlay = [](const char* name, Entity* owner, uint32_t flags, int headerValue) -> void* {
        SoundParams params;
        SoundParams_Init(&params);
        params.flags = flags;
        SoundHeader header;
        SoundHeader_Init(&header);
        header.priority = headerValue;
        header.maxCopies = header.mode = header.volume = header.randomPitch = header.sampleRate = -1;
        return Sound_Play(name, owner, &params, &header);
    };
    seam.soundLoopStart = [](const char* name, Entity* owner, float volume) -> void* {
        if (!name || !name[0]) return nullptr;
        SoundParams params;
        SoundParams_Init(&params);
        params.flags = kLoopFlags;
        params.start = LoopStart;
        params.update = LoopUpdate;
        SoundHeader header;
        SoundHeader_Init(&header);
        header.priority = 0;
        header.mode = kSoundModeLoop;
        header.maxCopies = header.volume = header.randomPitch = header.sampleRate = -1;
        SoundInstance* instance = Sound_Play(name, owner, &params, &header);
        if (instance) {
            instance->loopVolume = volume;
            instance->loopPitch = 1.0f;
        }
        return instance;
    };
    // Handles kept by the craft are checked: the layer may have freed the sound (its owner died).
    seam.soundLoopSet = [](void* loop, float volume, float pitch) {
        auto* instance = static_cast<SoundInstance*>(loop);
        if (!Sound_IsLive(instance)) return;
        instance->loopVolume = volume;
        instance->loopPitch = pitch > 0.0f ? pitch : 1.0f;
    };
    seam.soundLoopStop = [](void* loop) { Sound_Stop(static_cast<SoundInstance*>(loop)); };
    seam.soundSetPitchVolume = [](void* sound, int frequency, int volume) {
        auto* instance = static_cast<SoundInstance*>(sound);
        if (!Sound_IsLive(instance)) return;
        instance->loopVolume = float(volume);
        instance->loopPitch = float(frequency);
        instance->params.start = HeldUpdate;
        instance->params.update = HeldUpdate;
        HeldUpdate(instance, 2);
        instance->params.flags |= kSoundFrequencyChanged | kSoundVolumeChanged;
    };
    seam.voicePlay = [](const char* name, void (*done)()) {
        SoundParams params;
        SoundParams_Init(&params);
        params.flags = kSoundSurvivesPause | kSoundVoice;
        SoundHeader header;
        std::memset(&header, 0xFF, sizeof header);
        header.priority = 0;
        header.volume = 100;
        SoundInstance* instance = Sound_Play(name, nullptr, &params, &header);
        if (!instance) return false;
        g_voiceDone = done;
        instance->onFree = VoiceFreed;
        return true;
    };
    seam.audioMessagePlaying = AudioMessage_IsPlaying;
    seam.audioMessageRepeat = AudioMessage_Repeat;
    seam.audioMessagePlay = AudioMessage_Play;
    seam.audioMessageIsDone = AudioMessage_IsDone;
    seam.audioMessageStop = AudioMessage_Stop;
    seam.radioVoiceQueue = RadioVoice_Queue;
    seam.radioVoiceRemoveSpeaker = RadioVoice_RemoveSpeaker;
    seam.hoverEngineSettings = []() -> const float* { return Audio_Constants().hoverEngine; };

    // Music from the disc.
    seam.cdPlayTrack = [](int track, bool forced) { CDAudio_PlayTrack(track, forced); };
    seam.cdPlayMissionTrack = [] { CDAudio_PlayTrack(-1, false); };
    seam.cdStop = CDAudio_Stop;
    seam.cdSetTrack = CDAudio_SetTrack;
    seam.cdPause = CDAudio_Pause;
    seam.cdResume = CDAudio_Resume;
    seam.cdSaveVolume = CDAudio_SaveVolume;
    seam.cdRestoreVolume = [] { CDAudio_SetVolume(kCdVolumeRestore); };

    // The movies.
    seam.movieDeviceOpen = [] { return movie_driver_open() == 1; };
    seam.movieDeviceClose = movie_driver_close;
    seam.movieOpen = [](const char* name) { return movie_open(name) == 1; };
    seam.moviePlay = [](const PlatRect& rect) { movie_play(0, &rect); };
    seam.movieIsPlaying = movie_is_playing;
    seam.movieClose = movie_close;
    seam.movieNotify = [](WParam code, LParam device) { movie_on_notify(uint32_t(code), uint32_t(device)); };
}
