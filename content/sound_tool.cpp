#include "sound_tool.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "Objkr/entity.h"
#include "audio/audiosys.h"
#include "core/datafile.h"
#include "core/filesys.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/sound.h"

namespace content {

namespace {

constexpr int kStepMs = 20;
constexpr int kLongestMs = 10000;  // a loop is heard this long

bool CameraAtOrigin(float out[3]) {
    out[0] = out[1] = out[2] = 0.0f;
    return true;
}
Entity* NoObject() { return nullptr; }
bool NotFirstPerson() { return false; }

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> StereoWave(const std::vector<int16_t>& frames, int rate) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    const uint32_t data = uint32_t(frames.size() * 2);
    Put(out, 36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, 2, 2);
    Put(out, uint32_t(rate), 4);
    Put(out, uint32_t(rate * 4), 4);
    Put(out, 4, 2);
    Put(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put(out, data, 4);
    for (int16_t s : frames) Put(out, uint16_t(s), 2);
    return out;
}

}  // namespace

bool RenderSound(const std::string& dataDir, const std::string& name, const std::string& outPath, bool placed,
                 float x, float z, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    Plat_SetDataRoot(dataDir.c_str());
    if (!FileSys_TryStart(0)) return fail("cannot open the data in " + dataDir);
    PlatSound_PreferMixer(true);
    Plat_UseVirtualClock(0);
    AudioCameraHooks& hooks = Audio_CameraHooks();
    const AudioCameraHooks saved = hooks;
    hooks = AudioCameraHooks{CameraAtOrigin, NoObject, NotFirstPerson};
    EntityAlloc_Reset();
    bool ok = false;
    std::string why;
    Entity* source = nullptr;
    if (!AudioSys_Init(0) || PlatSound_Device() != PlatSoundDevice::Mixer) {
        why = "no sound mixer";
    } else {
        AudioSys_SetVolumes(-2, 10, 10);
        AudioSys_SetMax3DSounds(8);
        if (placed) {
            source = Entity_New(nullptr);
            source->local.posit = DVector{x, 0.0, z};
        }
        SoundInstance* sound = Sound_Play(name.c_str(), source, nullptr, nullptr);
        if (!sound) {
            why = "cannot play " + name;
        } else {
            PlatSound_ClearRecord();
            for (int t = 0; t < kLongestMs && Sound_IsLive(sound); t += kStepMs) {
                Plat_AdvanceVirtualClock(kStepMs);
                AudioSys_Update(1);
            }
            const std::vector<uint8_t> bytes = StereoWave(PlatSound_Record(), PlatSound_OutputRate());
            std::ofstream out(outPath, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            ok = bool(out);
            if (!ok) why = "cannot write " + outPath;
        }
    }
    AudioSys_Shutdown();
    PlatSound_PreferMixer(false);
    delete source;
    EntityAlloc_FreeAll();
    hooks = saved;
    Plat_UseRealClock();
    Data_Close();
    return ok ? true : fail(why);
}

}  // namespace content
