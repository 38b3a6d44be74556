// The sound service: static PCM buffers played once or looped, with volume, pan and frequency,
// optionally placed in 3-D around one listener.
//
// Two devices stand behind it: OpenAL Soft (the sdl backend; also its loopback device, which
// renders into memory without a sound card) and a software mixer (the headless backend), which
// mixes on the platform clock into a record that tests read. Both use the same gain, pan,
// pitch and distance rules:
// - volume in hundredths of a decibel, gain = 10^(volume / 2000), -10000 and below silent;
// - pan in hundredths of a decibel: a positive pan lowers the left channel, a negative the right;
// - pitch = frequency / the buffer's rate;
// - positional sounds in the inverse-distance-clamped model: gain = min / (min + rolloff *
//   (clamp(d, min, max) - min)), panned by their side of the listener, Doppler-shifted.
// The world is left-handed (x right, y up, z ahead). 3-D settings are deferred and take effect
// together at PlatSound_Commit. Every call is a no-op on a null voice or a closed service.
#pragma once
#include <cstdint>
#include <vector>

struct PlatSoundVec {
    float x, y, z;
};

struct PlatSoundFormat {
    int channels;  // 1 or 2
    int bits;      // 8 (unsigned) or 16 (signed)
    int rate;      // samples per second, above 0
};

// Buffer creation flags.
constexpr uint32_t kPlatSound3D = 0x1;         // positional (stereo data is mixed down to mono)
constexpr uint32_t kPlatSoundFrequency = 0x2;  // frequency control
constexpr uint32_t kPlatSoundPan = 0x4;        // pan control
constexpr uint32_t kPlatSoundVolume = 0x8;     // volume control

constexpr int32_t kPlatSoundSilence = -10000;

struct PlatSoundListener {
    PlatSoundVec position{0, 0, 0};
    PlatSoundVec velocity{0, 0, 0};
    PlatSoundVec front{0, 0, 1};
    PlatSoundVec top{0, 1, 0};
    float distanceFactor = 1.0f;  // metres per world unit
    float rolloffFactor = 1.0f;
    float dopplerFactor = 1.0f;
};

enum class PlatSoundDevice { None, OpenAL, OpenALLoopback, Mixer };

struct PlatSoundVoice;

// Opens the device the running backend implies: the mixer when headless, else OpenAL's default
// device. false (and the service stays closed) when none opens. want3D false: positional
// buffers are refused their 3-D and play as 2-D sounds. primaryRate is recorded only.
bool PlatSound_Open(bool want3D, int primaryRate);
// Tools: PlatSound_Open takes the software mixer whatever the backend.
void PlatSound_PreferMixer(bool mixer);
// Opens a particular device (tests and tools); outputRate is the mix rate of the mixer and the
// loopback device.
bool PlatSound_OpenDevice(PlatSoundDevice device, bool want3D, int outputRate);
void PlatSound_Close();  // releases every voice
PlatSoundDevice PlatSound_Device();
bool PlatSound_Has3D();
int PlatSound_PrimaryRate();
// The device's two capability values (voices it can play; positional among them), each
// 500000 when the device reports none.
uint32_t PlatSound_MaxVoices();
uint32_t PlatSound_Max3DVoices();

// A buffer holding a copy of the samples. null when the format or the size is unusable or the
// device refuses.
PlatSoundVoice* PlatSound_CreateBuffer(const PlatSoundFormat& format, const void* samples, uint32_t bytes,
                                       uint32_t flags);
void PlatSound_Release(PlatSoundVoice* voice);
int PlatSound_VoiceCount();

void PlatSound_SetVolume(PlatSoundVoice* voice, int32_t hundredthsDb);
void PlatSound_SetPan(PlatSoundVoice* voice, int32_t hundredthsDb);  // 2-D voices only
void PlatSound_SetFrequency(PlatSoundVoice* voice, uint32_t hz);
uint32_t PlatSound_Frequency(const PlatSoundVoice* voice);
void PlatSound_Play(PlatSoundVoice* voice, bool looped);  // from where it stopped
void PlatSound_Stop(PlatSoundVoice* voice);
bool PlatSound_IsPlaying(const PlatSoundVoice* voice);
bool PlatSound_Is3D(const PlatSoundVoice* voice);

// Deferred settings of a positional voice and of the listener.
void PlatSound_SetPosition(PlatSoundVoice* voice, const PlatSoundVec& position);
void PlatSound_SetVelocity(PlatSoundVoice* voice, const PlatSoundVec& velocity);
void PlatSound_SetDistances(PlatSoundVoice* voice, float minDistance, float maxDistance);
void PlatSound_SetListener(const PlatSoundListener& listener);
// Applies the deferred settings as one batch. The mixer first mixes the time the platform
// clock moved since its last mix.
void PlatSound_Commit();

// The mixer and the loopback device: mixes (renders) frames more into the record, which holds
// interleaved 16-bit stereo at the output rate. The mixer's record keeps at most the last
// 120 seconds.
void PlatSound_Render(int frames);
const std::vector<int16_t>& PlatSound_Record();
void PlatSound_ClearRecord();
int PlatSound_OutputRate();
