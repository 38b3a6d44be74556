// The media output's stream: clips widened to 16-bit stereo, mixed by whoever drives the
// output (the mixer, the pump, or the audio device's own thread, hence the lock).
#include "platform/media.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/clock.h"
#include "platform/sound_device.h"
#include "platform/system.h"

namespace {

constexpr int kPumpRate = 22050;
constexpr uint32_t kMaxCatchUpMs = 5000;
constexpr size_t kRecordSeconds = 30;

struct Clip {
    int rate = 0;
    std::vector<int16_t> stereo;  // interleaved
    size_t frames() const { return stereo.size() / 2; }
};

struct MediaState {
    std::mutex lock;
    std::vector<Clip> clips;
    size_t clip = 0;
    double cursor = 0.0;  // frames into the current clip
    bool playing = false;
    uint32_t gain = 65535;
    uint32_t lastMs = 0;
    bool deviceOpen = false;
    uint32_t ticket = 0;
};

MediaState& M() {
    static MediaState state;
    return state;
}

Clip Widen(const PlatMediaClip& in) {
    Clip out;
    const PlatSoundFormat& f = in.format;
    if ((f.channels != 1 && f.channels != 2) || (f.bits != 8 && f.bits != 16) || f.rate <= 0) return out;
    const size_t frameBytes = size_t(f.channels) * size_t(f.bits / 8);
    const size_t frames = in.data.size() / frameBytes;
    out.rate = f.rate;
    out.stereo.reserve(frames * 2);
    auto sample = [&](size_t index) -> int16_t {
        if (f.bits == 8) return int16_t((int(in.data[index]) - 128) * 256);
        return int16_t(uint16_t(in.data[2 * index] | in.data[2 * index + 1] << 8));
    };
    for (size_t i = 0; i < frames; ++i) {
        const int16_t left = sample(i * size_t(f.channels));
        const int16_t right = f.channels == 2 ? sample(i * 2 + 1) : left;
        out.stereo.push_back(left);
        out.stereo.push_back(right);
    }
    return out;
}

// Adds frames of the stream to stereo (interleaved floats in -1..1); the caller holds the lock.
void MixLocked(MediaState& m, float* stereo, int frames, int outputRate) {
    if (!m.playing || outputRate <= 0) return;
    const float gain = float(m.gain) / 65535.0f;
    for (int f = 0; f < frames && m.playing; ++f) {
        while (m.clip < m.clips.size() && m.cursor >= double(m.clips[m.clip].frames())) {
            m.cursor -= double(m.clips[m.clip].frames());
            ++m.clip;
        }
        if (m.clip >= m.clips.size()) {
            m.playing = false;
            break;
        }
        const Clip& c = m.clips[m.clip];
        const size_t i = size_t(m.cursor);
        stereo[2 * f] += float(c.stereo[2 * i]) / 32768.0f * gain;
        stereo[2 * f + 1] += float(c.stereo[2 * i + 1]) / 32768.0f * gain;
        m.cursor += double(c.rate) / double(outputRate);
    }
}

void OpenDeviceIfReal(MediaState& m) {
    if (m.deviceOpen || Plat_IsHeadless() || PlatSound_PrefersMixer()) return;
    m.deviceOpen = Plat_OpenMediaDevice();
}

}  // namespace

void PlatMedia_MixInto(float* stereo, int frames, int outputRate) {
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    m.lastMs = Plat_Milliseconds();
    if (m.deviceOpen) return;  // the device plays it
    MixLocked(m, stereo, frames, outputRate);
}

void PlatMedia_DeviceMix(float* stereo, int frames, int outputRate) {
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    MixLocked(m, stereo, frames, outputRate);
}

uint32_t PlatMedia_Play(const std::vector<PlatMediaClip>& clips, uint32_t offsetMs) {
    std::vector<Clip> widened;
    for (const PlatMediaClip& clip : clips) {
        Clip c = Widen(clip);
        if (c.frames() > 0) widened.push_back(std::move(c));
    }
    PlatMedia_Pump();  // what played before is heard up to now
    MediaState& m = M();
    OpenDeviceIfReal(m);
    std::lock_guard<std::mutex> hold(m.lock);
    m.clips = std::move(widened);
    m.clip = 0;
    m.cursor = m.clips.empty() ? 0.0 : double(offsetMs) * double(m.clips[0].rate) / 1000.0;
    m.playing = !m.clips.empty();
    m.lastMs = Plat_Milliseconds();
    return ++m.ticket;
}

void PlatMedia_StopTicket(uint32_t ticket) {
    bool current;
    {
        std::lock_guard<std::mutex> hold(M().lock);
        current = ticket != 0 && ticket == M().ticket;
    }
    if (current) PlatMedia_Stop();
}

void PlatMedia_Stop() {
    PlatMedia_Pump();
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    m.playing = false;
    m.clips.clear();
}

bool PlatMedia_IsPlaying() {
    PlatMedia_Pump();
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    return m.playing;
}

void PlatMedia_SetGain(uint32_t gain) {
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    m.gain = std::min<uint32_t>(gain, 65535);
}

uint32_t PlatMedia_Gain() {
    MediaState& m = M();
    std::lock_guard<std::mutex> hold(m.lock);
    return m.gain;
}

void PlatMedia_Pump() {
    MediaState& m = M();
    if (m.deviceOpen) return;
    if (PlatSound_Device() == PlatSoundDevice::Mixer) return;  // the mixer mixes it at its commit
    std::lock_guard<std::mutex> hold(m.lock);
    const uint32_t now = Plat_Milliseconds();
    const uint32_t elapsed = std::min(now - m.lastMs, kMaxCatchUpMs);
    m.lastMs = now;
    if (!m.playing || elapsed == 0) return;
    const int frames = int(uint64_t(elapsed) * kPumpRate / 1000);
    std::vector<float> mix(size_t(frames) * 2, 0.0f);
    MixLocked(m, mix.data(), frames, kPumpRate);
    std::vector<int16_t>& out = PlatSound_MutableRecord();
    const size_t cap = kRecordSeconds * size_t(kPumpRate) * 2;
    if (out.size() + mix.size() > cap) out.erase(out.begin(), out.begin() + std::min(out.size(), mix.size() + cap / 2));
    for (float s : mix) out.push_back(int16_t(std::lround(std::clamp(s, -1.0f, 32767.0f / 32768.0f) * 32768.0f)));
}

void PlatMedia_Reset() {
    MediaState& m = M();
    if (m.deviceOpen) Plat_CloseMediaDevice();
    std::lock_guard<std::mutex> hold(m.lock);
    m.clips.clear();
    m.clip = 0;
    m.cursor = 0.0;
    m.playing = false;
    m.gain = 65535;
    m.lastMs = Plat_Milliseconds();
    m.deviceOpen = false;
}
