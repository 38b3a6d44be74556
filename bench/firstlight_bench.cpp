// Whole frames of the sample mission through the real game loop, headless, with the software
// driver: simulation, the world's drawing and the HUD, 1/30 s of game time per frame on the
// virtual clock. "fps" is frames per second of this machine's time; "frame_vs_fill" the time
// of one frame over the time of filling the frame's pixels once (a memset of the same 8-bit
// buffer size), measured in the same run. Run it on one core (taskset -c 0) to match the README.
//
// BM_FirstLightPeakMemory runs the game binary itself on the sample mission, headless, for 300
// frames and reports its peak resident memory.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "content.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/seams/world.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "render/graphicdriver.h"
#include "startup/startup.h"

extern char** environ;

namespace {

constexpr int kWarmFrames = 30;
constexpr int kTimedFrames = 150;

struct Timing {
    void (*pairsReset)() = nullptr;
    int frames = 0;
    std::chrono::steady_clock::time_point start;
    double seconds = 0.0;
    int width = 0, height = 0;
};
Timing g_timing;

void FrameEnd() {
    g_timing.pairsReset();
    ++g_timing.frames;
    if (g_timing.frames == kWarmFrames) g_timing.start = std::chrono::steady_clock::now();
    if (g_timing.frames == kWarmFrames + kTimedFrames) {
        g_timing.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - g_timing.start).count();
        g_timing.width = g_graphicDriver.screen.width;
        g_timing.height = g_graphicDriver.screen.height;
    }
    Plat_AdvanceVirtualClock(33);
}

std::string WriteWorld() {
    char pattern[] = "/tmp/gv-bench-firstlight-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::string error;
    if (!content::WriteWorld(dir + "/data", &error)) return "";
    return dir;
}

void BM_FirstLightFrame(benchmark::State& state) {
    const std::string dir = WriteWorld();
    if (dir.empty()) {
        state.SkipWithError("the sample world could not be written");
        return;
    }
    Plat_SetProfileDir(dir);
    Plat_SetDataRoot(dir + "/data");
    const std::string frames = std::to_string(kWarmFrames + kTimedFrames + 2);
    setenv("GRAVENHOLT_HEADLESS_FRAMES", frames.c_str(), 1);
    setenv("GRAVENHOLT_SEED", "1", 1);
    Plat_Init(BackendKind::Headless);
    Plat_UseVirtualClock(1000);
    Startup_InstallAll();
    g_timing = Timing{};
    g_timing.pairsReset = Seam_World().entityPairsReset;
    Seam_World().entityPairsReset = FrameEnd;
    for (auto _ : state) {
        App_Main("-nointro -SW sample.qmn");
        state.SetIterationTime(g_timing.seconds / kTimedFrames);
    }
    Seam_World().entityPairsReset = g_timing.pairsReset;
    if (g_timing.seconds <= 0.0 || g_timing.width <= 0) {
        state.SkipWithError("the mission did not run its frames");
    } else {
        std::vector<uint8_t> pixels(size_t(g_timing.width) * size_t(g_timing.height));
        int rounds = 0;
        const auto start = std::chrono::steady_clock::now();
        double fill = 0.0;
        do {
            for (int i = 0; i < 50; ++i) {
                std::memset(pixels.data(), rounds + i, pixels.size());
                benchmark::ClobberMemory();
            }
            rounds += 50;
            fill = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (fill < 0.2);
        const double frame = g_timing.seconds / kTimedFrames;
        state.counters["fps"] = 1.0 / frame;
        state.counters["frame_vs_fill"] = frame / (fill / rounds);
        state.counters["width"] = g_timing.width;
        state.counters["height"] = g_timing.height;
    }
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    unsetenv("GRAVENHOLT_SEED");
    Plat_UseRealClock();
    App_ReleaseResources();
    Plat_Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_FirstLightFrame)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FirstLightPeakMemory(benchmark::State& state) {
    const std::string dir = WriteWorld();
    if (dir.empty()) {
        state.SkipWithError("the sample world could not be written");
        return;
    }
    std::vector<std::string> env = {"GRAVENHOLT_HEADLESS=1", "GRAVENHOLT_HEADLESS_FRAMES=300",
                                    "GRAVENHOLT_PROFILE=" + dir};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = GRAVENHOLT_EXE, mission = "sample.qmn";
    char* argv[] = {exe.data(), mission.data(), nullptr};
    long peakKb = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, (dir + "/data").c_str());
        pid_t child = 0;
        int status = -1;
        if (posix_spawn(&child, exe.c_str(), &actions, nullptr, argv, envp.data()) == 0) waitpid(child, &status, 0);
        posix_spawn_file_actions_destroy(&actions);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the game did not end with exit code 0");
            break;
        }
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        peakKb = usage.ru_maxrss;
    }
    state.counters["peak_rss_MiB"] = peakKb / 1024.0;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_FirstLightPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
