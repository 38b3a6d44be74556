#include "core/seams/audio.h"

#include "core/seams/registry.h"

namespace {

// Silent defaults until the audio library installs its entries at start-up: no music, and a
// movie device that opens no movie, so the intro, credits and outro are skipped.
void Nothing() {}
void NothingWindow(WindowHandle) {}
bool Fails() { return false; }
bool FailsName(const char*) { return false; }
void NothingRect(const PlatRect&) {}
void NothingNotify(WParam, LParam) {}

AudioSeam MakeDefault() {
    AudioSeam seam{};
    seam.audioInit = NothingWindow;
    seam.audioShutdown = Nothing;
    seam.cdSaveVolume = Nothing;
    seam.cdRestoreVolume = Nothing;
    seam.cdPause = Nothing;
    seam.cdResume = Nothing;
    seam.movieDeviceOpen = Fails;
    seam.movieDeviceClose = Nothing;
    seam.movieOpen = FailsName;
    seam.moviePlay = NothingRect;
    seam.movieIsPlaying = Fails;
    seam.movieClose = Nothing;
    seam.movieNotify = NothingNotify;
    seam.audioUpdate = [] {};
    seam.soundFrontEndEnable = [](bool) {};
    seam.releaseMissionSounds = [] {};
    seam.stopAllSounds = [] {};
    seam.cdPlayTrack = [](int, bool) {};
    seam.cdPlayMissionTrack = [] {};
    seam.cdStop = [] {};
    seam.cdSetTrack = [](int) {};
    seam.soundMemoryInUse = [] { return 0u; };
    seam.soundPlayOnObject = [](const char*, Entity*) -> void* { return nullptr; };
    seam.soundPlay = [](const char*, Entity*, uint32_t, int) -> void* { return nullptr; };
    seam.soundLoopStart = [](const char*, Entity*, float) -> void* { return nullptr; };
    seam.soundLoopSet = [](void*, float, float) {};
    seam.soundLoopStop = [](void*) {};
    seam.voicePlay = [](const char*, void (*)()) { return false; };
    seam.audioMessagePlaying = [] { return false; };
    seam.audioMessageRepeat = [] {};
    seam.audioMessagePlay = [](const char*) { return 0; };
    seam.audioMessageIsDone = [](int) { return true; };
    seam.audioMessageStop = [](int) {};
    seam.radioVoiceQueue = [](const char*, Entity*, int) { return 0; };
    seam.radioVoiceRemoveSpeaker = [](Entity*) {};
    seam.hoverEngineSettings = []() -> const float* {
        static const float kBuiltIn[9] = {11025.0f, 0.0f, -50.0f, 50.0f, 11025.0f, 5512.5f, 5.0f, 5.0f, 5.0f};
        return kBuiltIn;
    };
    seam.soundStopAttached = [](Entity*) { return false; };
    seam.soundSetPitchVolume = [](void*, int, int) {};
    return seam;
}

}  // namespace

AudioSeam& Seam_Audio() { return SeamTableInstance<AudioSeam, MakeDefault>(); }

namespace {
const SeamRegistration<AudioSeam, MakeDefault> kRegistration("AudioSeam");
}  // namespace
