#include "audio_fixture.h"

#include <cmath>
#include <cstdlib>

#include "Objkr/entity.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "sound_writer.h"

std::string ToneWave(float seconds, float level, float hz, int rate, int channels) {
    std::vector<float> s(size_t(seconds * float(rate)), level);
    if (hz > 0.0f)
        for (size_t i = 0; i < s.size(); ++i) s[i] = level * float(std::sin(2.0 * 3.14159265358979 * hz * double(i) / rate));
    const std::vector<uint8_t> b = content::WaveBytes(s, rate, 16, channels);
    return std::string(b.begin(), b.end());
}

std::string WithHeader(const std::string& wave, int priority, int maxCopies, int mode, int volume, int randomPitch,
                       int rate) {
    const std::vector<uint8_t> in(wave.begin(), wave.end());
    const std::vector<uint8_t> b = content::WithSoundHeader(in, priority, maxCopies, mode, volume, randomPitch, rate);
    return std::string(b.begin(), b.end());
}

namespace {
bool CameraAtOrigin(float out[3]) {
    out[0] = out[1] = out[2] = 0.0f;
    return true;
}
Entity* NoFollowed() { return nullptr; }
bool NotFirstPerson() { return false; }
}  // namespace

void AudioTest::SetUp() {
    DataRootTest::SetUp();
    Plat_UseVirtualClock(1000);
    EntityAlloc_Reset();
}

void AudioTest::TearDown() {
    AudioSys_ResetForTests();
    for (Entity* e : entities_) delete e;
    entities_.clear();
    Plat_UseRealClock();
    DataRootTest::TearDown();
}

void AudioTest::Open(const std::vector<SoundFile>& files) {
    std::vector<content::ArchiveRecord> records;
    for (const SoundFile& f : files) records.push_back({f.name, f.bytes});
    Install(records);
    AudioCameraHooks& hooks = Audio_CameraHooks();
    hooks.cameraPosition = CameraAtOrigin;
    hooks.followed = NoFollowed;
    hooks.firstPerson = NotFirstPerson;
    ASSERT_EQ(AudioSys_Init(0), 1);
    ASSERT_EQ(PlatSound_Device(), PlatSoundDevice::Mixer);
    AudioSys_SetVolumes(-2, 10, 10);
    AudioSys_SetMax3DSounds(8);
    PlatSound_ClearRecord();
}

Entity* AudioTest::MakeEntity(float x, float y, float z) {
    Entity* e = Entity_New(nullptr);
    e->local.posit = DVector{x, y, z};
    entities_.push_back(e);
    return e;
}

void AudioTest::Update(int count, int ms) {
    for (int i = 0; i < count; ++i) {
        Plat_AdvanceVirtualClock(uint32_t(ms));
        AudioSys_Update(1);
    }
}

std::vector<std::string> AudioTest::ListNames() const {
    std::vector<std::string> names;
    for (SoundInstance* i = AudioSys_First(); i; i = i->next) names.push_back(std::string(i->params.name, strnlen(i->params.name, 16)));
    return names;
}

int AudioTest::Playing() const {
    int n = 0;
    for (SoundInstance* i = AudioSys_First(); i; i = i->next)
        if (i->state & kSoundStatePlaying) ++n;
    return n;
}

void AudioTest::Levels(int frames, double* left, double* right) const {
    const std::vector<int16_t>& r = PlatSound_Record();
    const size_t n = std::min(r.size() / 2, size_t(frames));
    double l = 0, rr = 0;
    for (size_t i = r.size() / 2 - n; i < r.size() / 2; ++i) {
        l += std::abs(r[2 * i]);
        rr += std::abs(r[2 * i + 1]);
    }
    *left = n ? l / double(n) / 32768.0 : 0.0;
    *right = n ? rr / double(n) / 32768.0 : 0.0;
}
