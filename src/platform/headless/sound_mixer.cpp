// The software mixer of the headless backend: the voices are mixed on the platform clock into
// a record (interleaved 16-bit stereo), so a buffer ends when its samples run out and tests
// hear what would have been played.
#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/sound_device.h"

namespace {

constexpr double kSpeedOfSound = 343.3;  // metres per second
constexpr uint32_t kMaxCatchUpMs = 5000;  // a longer stall is not mixed whole
constexpr size_t kRecordSeconds = 30;

PlatSoundVec Sub(const PlatSoundVec& a, const PlatSoundVec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const PlatSoundVec& a, const PlatSoundVec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
PlatSoundVec Cross(const PlatSoundVec& a, const PlatSoundVec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

struct VoiceMix {
    float left, right, step;
};

VoiceMix Gains(const PlatSoundVoice& v, const PlatSoundListener& l, int outputRate) {
    const float gain = PlatSound_Gain(v.volume);
    float step = float(v.frequency) / float(outputRate);
    if (!v.positional) {
        const float left = v.pan > 0 ? PlatSound_Gain(-v.pan) : 1.0f;
        const float right = v.pan < 0 ? PlatSound_Gain(v.pan) : 1.0f;
        return {gain * left, gain * right, step};
    }
    const PlatSoundVec rel = Sub(v.position, l.position);
    const float d = std::sqrt(Dot(rel, rel));
    const float g = gain * PlatSound_DistanceGain(d, v.minDistance, v.maxDistance, l.rolloffFactor);
    // Left-handed: the listener's right is top x front.
    PlatSoundVec right = Cross(l.top, l.front);
    const float rl = std::sqrt(Dot(right, right));
    float side = 0.0f;
    if (d > 1e-6f && rl > 1e-6f) side = std::clamp(Dot(rel, right) / (d * rl), -1.0f, 1.0f);
    if (d > 1e-6f && l.dopplerFactor > 0.0f) {
        const double ss = kSpeedOfSound / std::max(1e-6f, l.distanceFactor);
        const double limit = ss / l.dopplerFactor;
        const double vls = std::min<double>(Dot(l.velocity, rel) / d, limit);
        const double vss = std::min<double>(Dot(v.velocity, rel) / d, limit);
        const double den = ss - l.dopplerFactor * vss;
        const double num = ss - l.dopplerFactor * vls;
        if (den > 1e-6 && num > 0.0) step *= float(num / den);
    }
    return {g * std::sqrt((1.0f - side) * 0.5f), g * std::sqrt((1.0f + side) * 0.5f), step};
}

class MixerSound final : public PlatSoundDeviceImpl {
public:
    explicit MixerSound(int rate) {
        outputRate = rate > 0 ? rate : 22050;
        maxVoices = 0;  // no limit of its own
        lastMs_ = Plat_Milliseconds();
    }
    bool create(PlatSoundVoice&) override { return true; }
    void release(PlatSoundVoice&) override {}
    void applyVolume(PlatSoundVoice&) override {}
    void applyPan(PlatSoundVoice&) override {}
    void applyFrequency(PlatSoundVoice&) override {}
    void play(PlatSoundVoice& v) override { v.playing = true; }
    void stop(PlatSoundVoice& v) override { v.playing = false; }
    bool isPlaying(const PlatSoundVoice& v) override { return v.playing; }
    void commit(const std::vector<PlatSoundVoice*>&, const PlatSoundListener&) override {}

    void advanceClock(const std::vector<PlatSoundVoice*>& voices, const PlatSoundListener& l,
                      std::vector<int16_t>& out) override {
        const uint32_t now = Plat_Milliseconds();
        const uint32_t elapsed = std::min(now - lastMs_, kMaxCatchUpMs);
        lastMs_ = now;
        const uint64_t total = uint64_t(elapsed) * uint64_t(outputRate) + carry_;
        carry_ = total % 1000;
        render(int(total / 1000), voices, l, out);
    }

    void render(int frames, const std::vector<PlatSoundVoice*>& voices, const PlatSoundListener& l,
                std::vector<int16_t>& out) override {
        if (frames <= 0) return;
        std::vector<float> mix(size_t(frames) * 2, 0.0f);
        for (PlatSoundVoice* v : voices) {
            if (!v->playing || v->frames == 0) continue;
            const VoiceMix m = Gains(*v, l, outputRate);
            const int ch = v->format.channels;
            for (int f = 0; f < frames; ++f) {
                const uint32_t i0 = uint32_t(v->cursor);
                uint32_t i1 = i0 + 1;
                if (i1 >= v->frames) i1 = v->looped ? 0 : i0;
                const float t = float(v->cursor - double(i0));
                auto at = [&](uint32_t i, int c) { return float(v->samples[size_t(i) * ch + c]) / 32768.0f; };
                const float a = at(i0, 0) + (at(i1, 0) - at(i0, 0)) * t;
                const float b = ch == 2 ? at(i0, 1) + (at(i1, 1) - at(i0, 1)) * t : a;
                mix[2 * size_t(f)] += a * m.left;
                mix[2 * size_t(f) + 1] += b * m.right;
                v->cursor += m.step;
                if (v->cursor >= double(v->frames)) {
                    if (v->looped) {
                        v->cursor = std::fmod(v->cursor, double(v->frames));
                    } else {
                        v->cursor = 0.0;
                        v->playing = false;
                        break;
                    }
                }
            }
        }
        PlatMedia_MixInto(mix.data(), frames, outputRate);
        const size_t cap = kRecordSeconds * size_t(outputRate) * 2;
        if (out.size() + mix.size() > cap) out.erase(out.begin(), out.begin() + std::min(out.size(), mix.size() + cap / 2));
        for (float s : mix) out.push_back(int16_t(std::lround(std::clamp(s, -1.0f, 32767.0f / 32768.0f) * 32768.0f)));
    }

private:
    uint32_t lastMs_ = 0;
    uint64_t carry_ = 0;
};

}  // namespace

std::unique_ptr<PlatSoundDeviceImpl> Plat_MakeMixerSound(int outputRate) {
    return std::make_unique<MixerSound>(outputRate);
}
