// One intro frame decoded and shown at 640 x 480: the run-length decode, the palette, the
// scaling into the window and the present on the headless surface; beside it a plain copy of the
// same 640 x 480 x 4 bytes in the same run. The counter "vs_copy" is the frame's time as a
// multiple of the copy's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "media_writer.h"
#include "platform/avi.h"
#include "platform/clock.h"
#include "platform/movie.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = size_t(kW) * kH * 4;

double CopySeconds() {
    std::vector<uint8_t> from(kBytes, 7), to(kBytes);
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRounds = 200;
    for (int i = 0; i < kRounds; ++i) {
        from[size_t(i)] = uint8_t(i);
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::DoNotOptimize(to.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
}

void BM_PlainCopy640x480x4(benchmark::State& state) {
    std::vector<uint8_t> from(kBytes, 7), to(kBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_PlainCopy640x480x4);

void BM_IntroFrameShownAt640x480(benchmark::State& state) {
    Plat_Init(BackendKind::Headless);
    Plat_RegisterClass("MovieBench", Plat_DefWindowProc);
    const WindowHandle window = Plat_CreateWindow("MovieBench", "MovieBench", kW, kH);
    const std::vector<uint8_t> bytes = content::AviBytes(content::SampleClip("intro"));
    const char* path = "/tmp/gv_movie_bench.avi";
    FILE* file = std::fopen(path, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    const uint32_t device = PlatMovie_Open(path, window, nullptr);
    if (!device) {
        state.SkipWithError("the intro does not open");
        return;
    }
    const double copy = CopySeconds();
    int frame = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        PlatMovie_ShowFrame(device, frame);
        frame = (frame + 1) % PlatMovie_FrameCount(device);
    }
    const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                        double(std::max<int64_t>(state.iterations(), 1));
    state.counters["vs_copy"] = each / copy;
    PlatMovie_Close(device);
    Plat_DestroyWindow(window);
    Plat_Shutdown();
    std::remove(path);
}
BENCHMARK(BM_IntroFrameShownAt640x480);

}  // namespace
