#include "core/seams/audio.h"

#include "core/seams/registry.h"

namespace {

// PENDING(10.101) the sound layer, CD audio and the movie player (their own Parts) replace these
// stand-ins; the stand-in movie device opens no movie, so the intro, credits and outro are skipped.
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
    seam.audioUpdate = [] {};                     // PENDING(10.101)
    seam.soundFrontEndEnable = [](bool) {};       // PENDING(10.102)
    seam.releaseMissionSounds = [] {};            // PENDING(10.101)
    seam.stopAllSounds = [] {};                   // PENDING(10.101)
    seam.cdPlayTrack = [](int, bool) {};          // PENDING(10.104)
    seam.cdPlayMissionTrack = [] {};              // PENDING(10.104)
    seam.cdStop = [] {};                          // PENDING(10.104)
    seam.cdSetTrack = [](int) {};                 // PENDING(10.104)
    seam.soundMemoryInUse = [] { return 0u; };    // PENDING(10.101)
    seam.soundPlayOnObject = [](const char*, Entity*) -> void* { return nullptr; };  // PENDING(10.101)
    seam.soundPlay = [](const char*, Entity*, uint32_t, int) -> void* { return nullptr; };  // PENDING(10.102)
    seam.soundLoopStart = [](const char*, Entity*, float) -> void* { return nullptr; };  // PENDING(10.101)
    seam.soundLoopSet = [](void*, float, float) {};                                      // PENDING(10.101)
    seam.soundLoopStop = [](void*) {};                                                   // PENDING(10.101)
    seam.soundStopAttached = [](Entity*) { return false; };                              // PENDING(10.102)
    return seam;
}

}  // namespace

AudioSeam& Seam_Audio() { return SeamTableInstance<AudioSeam, MakeDefault>(); }

namespace {
const SeamRegistration<AudioSeam, MakeDefault> kRegistration("AudioSeam");
}  // namespace
