// The sound service's common part: voice records, the deferred 3-D settings and the device
// choice.
#include "platform/sound.h"

#include <algorithm>
#include <cmath>

#include "platform/sound_device.h"
#include "platform/system.h"

namespace {

struct SoundState {
    std::unique_ptr<PlatSoundDeviceImpl> device;
    PlatSoundDevice kind = PlatSoundDevice::None;
    bool has3D = false;
    int primaryRate = 0;
    std::vector<PlatSoundVoice*> voices;
    PlatSoundListener listener, nextListener;
    std::vector<int16_t> record;
};

SoundState& S() {
    static SoundState state;
    return state;
}

bool Live(const PlatSoundVoice* voice) { return voice && S().device; }

// Samples as interleaved 16-bit, stereo mixed down to mono when asked.
std::vector<int16_t> ToPcm16(const PlatSoundFormat& format, const uint8_t* data, uint32_t frames, bool mono) {
    const int ch = format.channels;
    std::vector<int16_t> out;
    out.reserve(size_t(frames) * (mono ? 1 : ch));
    auto sample = [&](uint32_t index) -> int {
        if (format.bits == 8) return (int(data[index]) - 128) * 256;
        return int16_t(uint16_t(data[2 * index] | data[2 * index + 1] << 8));
    };
    for (uint32_t f = 0; f < frames; ++f) {
        if (mono && ch == 2) {
            out.push_back(int16_t((sample(2 * f) + sample(2 * f + 1)) / 2));
        } else {
            for (int c = 0; c < ch; ++c) out.push_back(int16_t(sample(f * ch + c)));
        }
    }
    return out;
}

}  // namespace

float PlatSound_Gain(int32_t hundredthsDb) {
    if (hundredthsDb <= kPlatSoundSilence) return 0.0f;
    return static_cast<float>(std::pow(10.0, std::min(hundredthsDb, 0) / 2000.0));
}

float PlatSound_DistanceGain(float distance, float minDistance, float maxDistance, float rolloff) {
    if (!(minDistance > 0.0f)) return 1.0f;
    const float d = std::clamp(distance, minDistance, std::max(minDistance, maxDistance));
    const float denominator = minDistance + rolloff * (d - minDistance);
    return denominator > 0.0f ? minDistance / denominator : 1.0f;
}

bool PlatSound_OpenDevice(PlatSoundDevice device, bool want3D, int outputRate) {
    PlatSound_Close();
    SoundState& s = S();
    switch (device) {
    case PlatSoundDevice::Mixer: s.device = Plat_MakeMixerSound(outputRate); break;
    case PlatSoundDevice::OpenAL: s.device = Plat_MakeOpenALSound(false, outputRate); break;
    case PlatSoundDevice::OpenALLoopback: s.device = Plat_MakeOpenALSound(true, outputRate); break;
    case PlatSoundDevice::None: break;
    }
    if (!s.device) return false;
    s.kind = device;
    s.has3D = want3D;
    s.primaryRate = outputRate;
    s.listener = s.nextListener = PlatSoundListener{};
    s.record.clear();
    if (s.device->maxVoices == 0) s.device->maxVoices = 500000;
    if (s.device->max3DVoices == 0) s.device->max3DVoices = 500000;
    return true;
}

namespace {
bool g_preferMixer = false;
}

void PlatSound_PreferMixer(bool mixer) { g_preferMixer = mixer; }
bool PlatSound_PrefersMixer() { return g_preferMixer; }
std::vector<int16_t>& PlatSound_MutableRecord() { return S().record; }

bool PlatSound_Open(bool want3D, int primaryRate) {
    const bool ok = (g_preferMixer || Plat_IsHeadless()) ? PlatSound_OpenDevice(PlatSoundDevice::Mixer, want3D, 22050)
                                      : PlatSound_OpenDevice(PlatSoundDevice::OpenAL, want3D, 44100);
    if (ok) S().primaryRate = primaryRate;
    return ok;
}

void PlatSound_Close() {
    SoundState& s = S();
    for (PlatSoundVoice* voice : s.voices) {
        if (s.device) s.device->release(*voice);
        delete voice;
    }
    s.voices.clear();
    s.device.reset();
    s.kind = PlatSoundDevice::None;
    s.has3D = false;
}

PlatSoundDevice PlatSound_Device() { return S().kind; }
bool PlatSound_Has3D() { return S().device && S().has3D; }
int PlatSound_PrimaryRate() { return S().primaryRate; }
uint32_t PlatSound_MaxVoices() { return S().device ? S().device->maxVoices : 0; }
uint32_t PlatSound_Max3DVoices() { return S().device ? S().device->max3DVoices : 0; }
int PlatSound_OutputRate() { return S().device ? S().device->outputRate : 0; }

PlatSoundVoice* PlatSound_CreateBuffer(const PlatSoundFormat& format, const void* samples, uint32_t bytes,
                                       uint32_t flags) {
    SoundState& s = S();
    if (!s.device || !samples) return nullptr;
    if ((format.channels != 1 && format.channels != 2) || (format.bits != 8 && format.bits != 16) ||
        format.rate <= 0)
        return nullptr;
    const uint32_t frameBytes = uint32_t(format.channels * format.bits / 8);
    const uint32_t frames = bytes / frameBytes;
    if (frames == 0) return nullptr;
    auto* voice = new PlatSoundVoice;
    voice->flags = flags;
    voice->positional = (flags & kPlatSound3D) && s.has3D;
    voice->samples = ToPcm16(format, static_cast<const uint8_t*>(samples), frames, voice->positional);
    voice->format = PlatSoundFormat{voice->positional ? 1 : format.channels, 16, format.rate};
    voice->frames = frames;
    voice->frequency = uint32_t(format.rate);
    if (!s.device->create(*voice)) {
        delete voice;
        return nullptr;
    }
    s.voices.push_back(voice);
    return voice;
}

void PlatSound_Release(PlatSoundVoice* voice) {
    SoundState& s = S();
    auto it = std::find(s.voices.begin(), s.voices.end(), voice);
    if (it == s.voices.end()) return;
    s.voices.erase(it);
    if (s.device) s.device->release(*voice);
    delete voice;
}

int PlatSound_VoiceCount() { return int(S().voices.size()); }

void PlatSound_SetVolume(PlatSoundVoice* voice, int32_t hundredthsDb) {
    if (!Live(voice)) return;
    voice->volume = std::clamp(hundredthsDb, kPlatSoundSilence, 0);
    S().device->applyVolume(*voice);
}

void PlatSound_SetPan(PlatSoundVoice* voice, int32_t hundredthsDb) {
    if (!Live(voice) || voice->positional) return;
    voice->pan = std::clamp(hundredthsDb, -10000, 10000);
    S().device->applyPan(*voice);
}

void PlatSound_SetFrequency(PlatSoundVoice* voice, uint32_t hz) {
    if (!Live(voice)) return;
    voice->frequency = std::clamp<uint32_t>(hz, 100, 200000);
    S().device->applyFrequency(*voice);
}

uint32_t PlatSound_Frequency(const PlatSoundVoice* voice) { return voice ? voice->frequency : 0; }

void PlatSound_Play(PlatSoundVoice* voice, bool looped) {
    if (!Live(voice)) return;
    voice->looped = looped;
    S().device->play(*voice);
}

void PlatSound_Stop(PlatSoundVoice* voice) {
    if (!Live(voice)) return;
    S().device->stop(*voice);
}

bool PlatSound_IsPlaying(const PlatSoundVoice* voice) { return Live(voice) && S().device->isPlaying(*voice); }
bool PlatSound_Is3D(const PlatSoundVoice* voice) { return voice && voice->positional; }

void PlatSound_SetPosition(PlatSoundVoice* voice, const PlatSoundVec& position) {
    if (Live(voice)) voice->nextPosition = position;
}
void PlatSound_SetVelocity(PlatSoundVoice* voice, const PlatSoundVec& velocity) {
    if (Live(voice)) voice->nextVelocity = velocity;
}
void PlatSound_SetDistances(PlatSoundVoice* voice, float minDistance, float maxDistance) {
    if (!Live(voice)) return;
    voice->nextMin = minDistance;
    voice->nextMax = maxDistance;
}
void PlatSound_SetListener(const PlatSoundListener& listener) { S().nextListener = listener; }

void PlatSound_Commit() {
    SoundState& s = S();
    if (!s.device) return;
    auto take = [](PlatSoundVoice* voice) {
        voice->position = voice->nextPosition;
        voice->velocity = voice->nextVelocity;
        voice->minDistance = voice->nextMin;
        voice->maxDistance = voice->nextMax;
        voice->committed = true;
    };
    // The time that passed is mixed with the settings it was heard with; a voice new since the
    // last commit is heard with its first ones.
    for (PlatSoundVoice* voice : s.voices)
        if (!voice->committed) take(voice);
    s.device->advanceClock(s.voices, s.listener, s.record);
    for (PlatSoundVoice* voice : s.voices) take(voice);
    s.listener = s.nextListener;
    s.device->commit(s.voices, s.listener);
}

void PlatSound_Render(int frames) {
    SoundState& s = S();
    if (!s.device || frames <= 0) return;
    s.device->render(frames, s.voices, s.listener, s.record);
}

const std::vector<int16_t>& PlatSound_Record() { return S().record; }
void PlatSound_ClearRecord() { S().record.clear(); }
