// The headless mixer mixing 32 looping positional voices around the listener, reported as
// seconds of sound mixed per second of work (a ratio to real time; "realtime_ratio").
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/sound.h"
#include "sound_writer.h"

namespace {

constexpr int kVoices = 32;
constexpr int kRate = 22050;
constexpr int kFramesPerRun = kRate / 10;  // 100 ms of sound

void BM_MixerThirtyTwoPositionalVoices(benchmark::State& state) {
    PlatSound_OpenDevice(PlatSoundDevice::Mixer, true, kRate);
    const std::vector<float> tone = content::Tone(220.0f, 1.0f, 11025);
    std::vector<int16_t> samples;
    for (float s : tone) samples.push_back(int16_t(std::lround(s * 32767.0f)));
    std::vector<PlatSoundVoice*> voices;
    for (int i = 0; i < kVoices; ++i) {
        PlatSoundVoice* v = PlatSound_CreateBuffer(PlatSoundFormat{1, 16, 11025}, samples.data(),
                                                   uint32_t(samples.size() * 2), kPlatSound3D | kPlatSoundFrequency);
        const float angle = float(i) * 0.4f;
        PlatSound_SetPosition(v, PlatSoundVec{30.0f * std::cos(angle), 0.0f, 30.0f * std::sin(angle)});
        PlatSound_SetVelocity(v, PlatSoundVec{5.0f, 0.0f, 0.0f});
        PlatSound_SetDistances(v, 10.0f, 400.0f);
        PlatSound_SetFrequency(v, uint32_t(9000 + 100 * i));
        PlatSound_Play(v, true);
        voices.push_back(v);
    }
    PlatSoundListener listener;
    listener.rolloffFactor = 5.0f;
    listener.dopplerFactor = 0.8f;
    PlatSound_SetListener(listener);
    PlatSound_Commit();
    for (auto _ : state) {
        PlatSound_Render(kFramesPerRun);
        PlatSound_ClearRecord();
    }
    state.counters["realtime_ratio"] =
        benchmark::Counter(double(kFramesPerRun) / kRate * double(state.iterations()), benchmark::Counter::kIsRate);
    PlatSound_Close();
}
BENCHMARK(BM_MixerThirtyTwoPositionalVoices)->Unit(benchmark::kMillisecond);

}  // namespace
