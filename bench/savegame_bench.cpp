// Loading the sample mission and writing a saved game, each also as a ratio to reading or
// writing the same bytes raw ("x_raw"). The goal: the sample mission loads in under 100 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "content.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "mission_writer.h"
#include "platform/system.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SampleWorld {
    SampleWorld() {
        Plat_Init(BackendKind::Headless);
        Debug_SetOutputMode(kDebugOutNone);
        char pattern[] = "/tmp/gv-bench-save-XXXXXX";
        dir = mkdtemp(pattern);
        std::string error;
        content::WriteWorld(dir + "/data", &error);
        std::filesystem::create_directories(dir + "/profile");
        world = std::make_unique<content::HeadlessWorld>(dir + "/data", dir + "/profile");
    }
    ~SampleWorld() {
        world.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
    std::unique_ptr<content::HeadlessWorld> world;
};

SampleWorld& World() {
    static SampleWorld world;
    return world;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The average time of reading the file's bytes as they are.
double RawReadSeconds(const char* name) {
    std::vector<char> bytes;
    const auto start = Clock::now();
    for (int i = 0; i < 50; ++i) DataFile_Load(name, &bytes);
    return Seconds(Clock::now() - start) / 50;
}

void BM_LoadSampleMission(benchmark::State& state) {
    SampleWorld& w = World();
    const double raw = RawReadSeconds("sample.qmn");
    double total = 0.0;
    int64_t loads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.world->Reset();
        state.ResumeTiming();
        const auto start = Clock::now();
        if (!SaveGame_Load("sample.qmn")) state.SkipWithError("the sample mission does not load");
        total += Seconds(Clock::now() - start);
        ++loads;
    }
    if (loads) {
        state.counters["load_ms"] = 1000.0 * total / static_cast<double>(loads);
        state.counters["x_raw"] = total / static_cast<double>(loads) / raw;
    }
}
BENCHMARK(BM_LoadSampleMission)->Unit(benchmark::kMillisecond);

void BM_WriteSavedGame(benchmark::State& state) {
    SampleWorld& w = World();
    w.world->Reset();
    if (!SaveGame_Load("sample.qmn")) state.SkipWithError("the sample mission does not load");
    const std::string path = w.dir + "/profile/bench.sav";
    const bool binary = state.range(0) != 0;
    double total = 0.0, raw = 0.0;
    int64_t writes = 0;
    std::vector<char> bytes;
    for (auto _ : state) {
        SaveGame_SetMissionFile(false);
        Field_SetBinary(binary);
        const auto start = Clock::now();
        if (!SaveGame_Write(path.c_str(), 0)) state.SkipWithError("the saved game cannot be written");
        total += Seconds(Clock::now() - start);
        Field_SetBinary(false);
        state.PauseTiming();
        DataFile_ReadHostFile(path.c_str(), &bytes);
        const auto rawStart = Clock::now();
        if (FILE* f = std::fopen((path + ".raw").c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        raw += Seconds(Clock::now() - rawStart);
        state.ResumeTiming();
        ++writes;
    }
    if (writes && raw > 0.0) {
        state.counters["write_ms"] = 1000.0 * total / static_cast<double>(writes);
        state.counters["x_raw"] = total / raw;
    }
}
BENCHMARK(BM_WriteSavedGame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
