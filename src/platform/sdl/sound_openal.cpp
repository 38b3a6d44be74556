// The sound device over OpenAL Soft: one source and one buffer per voice. OpenAL is
// right-handed with -z ahead, the game left-handed with +z ahead, so z is negated on the way in.
// 2-D voices are listener-relative sources placed by their pan.
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>

#include "platform/sound_device.h"

namespace {

constexpr float kSpeedOfSound = 343.3f;

void SetVec(ALuint source, ALenum what, const PlatSoundVec& v) { alSource3f(source, what, v.x, v.y, -v.z); }

class OpenALSound final : public PlatSoundDeviceImpl {
public:
    ~OpenALSound() override {
        alcMakeContextCurrent(nullptr);
        if (context_) alcDestroyContext(context_);
        if (device_) alcCloseDevice(device_);
    }

    bool open(bool loopback, int rate) {
        outputRate = rate > 0 ? rate : 44100;
        if (loopback) {
            if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
            auto openLoopback =
                reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
            render_ = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
            if (!openLoopback || !render_) return false;
            device_ = openLoopback(nullptr);
            if (!device_) return false;
            const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                         ALC_SHORT_SOFT, ALC_FREQUENCY, outputRate, ALC_HRTF_SOFT, ALC_FALSE, 0};
            context_ = alcCreateContext(device_, attributes);
        } else {
            device_ = alcOpenDevice(nullptr);
            if (!device_) return false;
            context_ = alcCreateContext(device_, nullptr);
        }
        if (!context_ || !alcMakeContextCurrent(context_)) return false;
        ALCint mono = 0, stereo = 0;
        alcGetIntegerv(device_, ALC_MONO_SOURCES, 1, &mono);
        alcGetIntegerv(device_, ALC_STEREO_SOURCES, 1, &stereo);
        maxVoices = uint32_t(std::max(0, mono + stereo));
        max3DVoices = uint32_t(std::max(0, mono));
        alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
        return true;
    }

    bool create(PlatSoundVoice& v) override {
        alGetError();
        alGenBuffers(1, &v.alBuffer);
        if (alGetError() != AL_NO_ERROR) return false;
        alBufferData(v.alBuffer, v.format.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, v.samples.data(),
                     ALsizei(v.samples.size() * sizeof(int16_t)), v.format.rate);
        alGenSources(1, &v.alSource);
        if (alGetError() != AL_NO_ERROR) {
            if (v.alSource) alDeleteSources(1, &v.alSource);
            alDeleteBuffers(1, &v.alBuffer);
            v.alSource = v.alBuffer = 0;
            return false;
        }
        alSourcei(v.alSource, AL_BUFFER, ALint(v.alBuffer));
        alSourcei(v.alSource, AL_SOURCE_RELATIVE, v.positional ? AL_FALSE : AL_TRUE);
        if (!v.positional) alSourcef(v.alSource, AL_ROLLOFF_FACTOR, 0.0f);
        v.samples.clear();
        v.samples.shrink_to_fit();
        applyVolume(v);
        applyPan(v);
        applyFrequency(v);
        return true;
    }

    void release(PlatSoundVoice& v) override {
        if (v.alSource) {
            alSourceStop(v.alSource);
            alDeleteSources(1, &v.alSource);
        }
        if (v.alBuffer) alDeleteBuffers(1, &v.alBuffer);
        v.alSource = v.alBuffer = 0;
    }

    void applyVolume(PlatSoundVoice& v) override { alSourcef(v.alSource, AL_GAIN, PlatSound_Gain(v.volume)); }

    void applyPan(PlatSoundVoice& v) override {
        if (v.positional) return;
        // The side opposite the pan is lowered by |pan|; the source moves that far round.
        const float lowered = 1.0f - PlatSound_Gain(-std::abs(v.pan));
        const float x = v.pan < 0 ? -lowered : lowered;
        SetVec(v.alSource, AL_POSITION, PlatSoundVec{x, 0.0f, std::sqrt(std::max(0.0f, 1.0f - x * x))});
    }

    void applyFrequency(PlatSoundVoice& v) override {
        alSourcef(v.alSource, AL_PITCH, float(v.frequency) / float(std::max(1, v.format.rate)));
    }

    void play(PlatSoundVoice& v) override {
        alSourcei(v.alSource, AL_LOOPING, v.looped ? AL_TRUE : AL_FALSE);
        ALint state = 0;
        alGetSourcei(v.alSource, AL_SOURCE_STATE, &state);
        if (state != AL_PLAYING) alSourcePlay(v.alSource);
    }

    void stop(PlatSoundVoice& v) override {
        ALint state = 0;
        alGetSourcei(v.alSource, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) alSourcePause(v.alSource);
    }

    bool isPlaying(const PlatSoundVoice& v) override {
        ALint state = 0;
        alGetSourcei(v.alSource, AL_SOURCE_STATE, &state);
        return state == AL_PLAYING;
    }

    void commit(const std::vector<PlatSoundVoice*>& voices, const PlatSoundListener& l) override {
        alcSuspendContext(context_);
        for (PlatSoundVoice* v : voices) {
            if (!v->positional) continue;
            SetVec(v->alSource, AL_POSITION, v->position);
            SetVec(v->alSource, AL_VELOCITY, v->velocity);
            alSourcef(v->alSource, AL_REFERENCE_DISTANCE, v->minDistance);
            alSourcef(v->alSource, AL_MAX_DISTANCE, v->maxDistance);
            alSourcef(v->alSource, AL_ROLLOFF_FACTOR, l.rolloffFactor);
        }
        alListener3f(AL_POSITION, l.position.x, l.position.y, -l.position.z);
        alListener3f(AL_VELOCITY, l.velocity.x, l.velocity.y, -l.velocity.z);
        const ALfloat orientation[6] = {l.front.x, l.front.y, -l.front.z, l.top.x, l.top.y, -l.top.z};
        alListenerfv(AL_ORIENTATION, orientation);
        alDopplerFactor(std::max(0.0f, l.dopplerFactor));
        alSpeedOfSound(kSpeedOfSound / std::max(1e-3f, l.distanceFactor));
        alcProcessContext(context_);
    }

    void render(int frames, const std::vector<PlatSoundVoice*>&, const PlatSoundListener&,
                std::vector<int16_t>& out) override {
        if (!render_) return;
        const size_t at = out.size();
        out.resize(at + size_t(frames) * 2);
        render_(device_, out.data() + at, frames);
    }

private:
    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    LPALCRENDERSAMPLESSOFT render_ = nullptr;
};

}  // namespace

std::unique_ptr<PlatSoundDeviceImpl> Plat_MakeOpenALSound(bool loopback, int outputRate) {
    auto device = std::make_unique<OpenALSound>();
    if (!device->open(loopback, outputRate)) return nullptr;
    return device;
}
