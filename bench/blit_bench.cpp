// Blit rates at 640 x 480: one whole-screen copy per iteration in the opaque, keyed (half the
// source is the key colour), translucent and alpha modes, and a 2x stretch of a 320 x 240 picture
// onto the screen. The counter "vs_memcpy" of each is its byte rate (destination bytes written
// per second) as a fraction of memcpy's over the same bytes, measured once in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "render/blit.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = static_cast<size_t>(kW) * kH;

struct Pictures {
    GraphicBuffer screen, source, keyed, half;
    Pictures() {
        Graphic_InitBuffer(&screen, kW, kH, nullptr, kGraphicFormat8);
        Graphic_InitBuffer(&source, kW, kH, nullptr, kGraphicFormat8);
        Graphic_InitBuffer(&keyed, kW, kH, nullptr, kGraphicFormat8);
        Graphic_InitBuffer(&half, kW / 2, kH / 2, nullptr, kGraphicFormat8);
        for (size_t i = 0; i < kBytes; ++i) {
            source.pixels[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
            // Runs of 16 pixels alternate between picture and key colour: half the source is 255.
            keyed.pixels[i] = (i / 16) % 2 ? 255 : static_cast<uint8_t>(i & 0x7F);
        }
        for (size_t i = 0; i < kBytes / 4; ++i) half.pixels[i] = static_cast<uint8_t>(i * 13);
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) {
                TranslucencyTable[a][b] = static_cast<uint8_t>((a + b) / 2);
                AlphaTable[a][b] = static_cast<uint8_t>((3 * a + b) / 4);
            }
    }
};
Pictures& ThePictures() {
    static Pictures pictures;
    return pictures;
}

// memcpy of one screen's bytes: the reference rate, in bytes per second.
double MemcpyRate() {
    static double rate = [] {
        Pictures& p = ThePictures();
        auto start = std::chrono::steady_clock::now();
        int rounds = 0;
        double seconds = 0.0;
        do {
            for (int i = 0; i < 50; ++i) {
                std::memcpy(p.screen.pixels, p.source.pixels, kBytes);
                benchmark::ClobberMemory();
            }
            rounds += 50;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < 0.2);
        return static_cast<double>(rounds) * kBytes / seconds;
    }();
    return rate;
}

template <class Blit>
void Rate(benchmark::State& state, Blit blit) {
    double reference = MemcpyRate();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        blit(ThePictures());
        benchmark::ClobberMemory();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = static_cast<double>(state.iterations()) * kBytes / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
    state.counters["vs_memcpy"] = rate / reference;
}

void BM_Memcpy(benchmark::State& state) {
    Rate(state, [](Pictures& p) { std::memcpy(p.screen.pixels, p.source.pixels, kBytes); });
}
void BM_BlitOpaque(benchmark::State& state) {
    Rate(state, [](Pictures& p) { Graphic_Copy_Bitmap(&p.screen, &p.source, 0, 0, 0); });
}
void BM_BlitKeyed(benchmark::State& state) {
    Rate(state, [](Pictures& p) { Graphic_Copy_Bitmap(&p.screen, &p.keyed, 0, 0, 1); });
}
void BM_BlitTranslucent(benchmark::State& state) {
    Rate(state, [](Pictures& p) { Graphic_Copy_Bitmap(&p.screen, &p.source, 0, 0, 2); });
}
void BM_BlitAlpha(benchmark::State& state) {
    Rate(state, [](Pictures& p) { Graphic_Copy_Bitmap(&p.screen, &p.keyed, 0, 0, 4); });
}
void BM_BlitStretch2x(benchmark::State& state) {
    Rate(state, [](Pictures& p) { Graphic_Stretch_Bitmap(&p.screen, &p.half, 0, 0, kW - 1, kH - 1, 0); });
}
BENCHMARK(BM_Memcpy);
BENCHMARK(BM_BlitOpaque);
BENCHMARK(BM_BlitKeyed);
BENCHMARK(BM_BlitTranslucent);
BENCHMARK(BM_BlitAlpha);
BENCHMARK(BM_BlitStretch2x);

}  // namespace
