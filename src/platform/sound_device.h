// What a sound device provides under the common voice records of sound.h. Internal to
// src/platform.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound.h"

struct PlatSoundVoice {
    PlatSoundFormat format{};  // of the samples held (positional voices hold mono)
    uint32_t flags = 0;
    bool positional = false;
    std::vector<int16_t> samples;  // interleaved 16-bit
    uint32_t frames = 0;
    int32_t volume = 0;
    int32_t pan = 0;
    uint32_t frequency = 0;
    bool playing = false;  // the mixer's state (OpenAL keeps its own)
    bool looped = false;
    double cursor = 0.0;  // the mixer's read position in frames
    // Committed and deferred 3-D settings.
    PlatSoundVec position{0, 0, 0}, velocity{0, 0, 0};
    float minDistance = 1.0f, maxDistance = 1e9f;
    PlatSoundVec nextPosition{0, 0, 0}, nextVelocity{0, 0, 0};
    float nextMin = 1.0f, nextMax = 1e9f;
    bool committed = false;  // its 3-D settings were committed once
    uint32_t alSource = 0, alBuffer = 0;
};

class PlatSoundDeviceImpl {
public:
    virtual ~PlatSoundDeviceImpl() = default;
    virtual bool create(PlatSoundVoice& voice) = 0;
    virtual void release(PlatSoundVoice& voice) = 0;
    virtual void applyVolume(PlatSoundVoice& voice) = 0;
    virtual void applyPan(PlatSoundVoice& voice) = 0;
    virtual void applyFrequency(PlatSoundVoice& voice) = 0;
    virtual void play(PlatSoundVoice& voice) = 0;
    virtual void stop(PlatSoundVoice& voice) = 0;
    virtual bool isPlaying(const PlatSoundVoice& voice) = 0;
    // The deferred settings are already copied into the committed fields.
    virtual void commit(const std::vector<PlatSoundVoice*>& voices, const PlatSoundListener& listener) = 0;
    virtual void render(int frames, const std::vector<PlatSoundVoice*>& voices, const PlatSoundListener& listener,
                        std::vector<int16_t>& out) = 0;
    virtual void advanceClock(const std::vector<PlatSoundVoice*>&, const PlatSoundListener&, std::vector<int16_t>&) {}
    uint32_t maxVoices = 0, max3DVoices = 0;
    int outputRate = 22050;
};

// OpenAL Soft: the default device, or the loopback device rendering at outputRate. null when
// it cannot be opened.
std::unique_ptr<PlatSoundDeviceImpl> Plat_MakeOpenALSound(bool loopback, int outputRate);
// The software mixer.
std::unique_ptr<PlatSoundDeviceImpl> Plat_MakeMixerSound(int outputRate);

// Shared rules of both devices.
float PlatSound_Gain(int32_t hundredthsDb);
float PlatSound_DistanceGain(float distance, float minDistance, float maxDistance, float rolloff);

// The media output (media.h): the mixer adds the stream to what it mixes; the audio device of
// the sdl backend pulls it on its own thread.
void PlatMedia_MixInto(float* stereo, int frames, int outputRate);
void PlatMedia_DeviceMix(float* stereo, int frames, int outputRate);
bool PlatSound_PrefersMixer();
std::vector<int16_t>& PlatSound_MutableRecord();
// The sdl backend's audio device for the media output; false when none opens.
bool Plat_OpenMediaDevice();
void Plat_CloseMediaDevice();
