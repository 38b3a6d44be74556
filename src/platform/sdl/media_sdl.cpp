// The media output's audio device on the sdl backend: SDL's audio pulls the stream on its own
// thread, apart from the OpenAL device of the game's sounds.
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "platform/sound_device.h"

namespace {

constexpr int kRate = 22050;
SDL_AudioDeviceID g_device = 0;

void Pull(void*, Uint8* stream, int bytes) {
    const int frames = bytes / 4;
    std::vector<float> mix(size_t(frames) * 2, 0.0f);
    PlatMedia_DeviceMix(mix.data(), frames, kRate);
    auto* out = reinterpret_cast<int16_t*>(stream);
    for (size_t i = 0; i < mix.size(); ++i)
        out[i] = int16_t(std::clamp(mix[i], -1.0f, 32767.0f / 32768.0f) * 32768.0f);
}

}  // namespace

bool Plat_OpenMediaDevice() {
    if (g_device) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = kRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = Pull;
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!g_device) return false;
    SDL_PauseAudioDevice(g_device, 0);
    return true;
}

void Plat_CloseMediaDevice() {
    if (!g_device) return;
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
}
