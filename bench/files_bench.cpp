// File cache hits, and reading a 1 MB LZO record against copying 1 MB (the ratio is the figure).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "core/filecache.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/paths.h"

namespace {

std::string Megabyte() {
    static const char* const kWords[] = {"gravenholt ", "scrap ", "hover tank ", "recycler ", "\n", "turret "};
    std::string text;
    uint32_t seed = 1;
    while (text.size() < (1u << 20)) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % 6];
    }
    text.resize(1u << 20);
    return text;
}

// A scratch world: one archive with a 1 MB compressible record and 64 small ones, and its index.
struct World {
    World() {
        char pattern[] = "/tmp/gv-bench-XXXXXX";
        dir = mkdtemp(pattern);
        std::vector<content::ArchiveRecord> records = {{"big.txt", Megabyte(), true, 0}};
        content::IndexSpec spec;
        spec.paths.push_back({"cd0", "bench.zfs"});
        spec.files.push_back({1, "big.txt"});
        for (int i = 0; i < 64; ++i) {
            records.push_back({"small" + std::to_string(i), std::string(200, char('a' + i % 26)), true, 0});
            spec.files.push_back({1, "small" + std::to_string(i)});
        }
        std::string error;
        content::WriteArchive(dir + "/bench.zfs", records, 0, &error);
        content::WriteIndex(dir + "/kolta.zix", spec, &error);
        Plat_SetDataRoot(dir);
        Plat_SetProfileDir(dir);
        Cache_Init();
        Zix_Build("kolta.zix");
    }
    ~World() {
        Cache_FreeAll();
        Zix_Free();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

World& TheWorld() {
    static World world;
    return world;
}

void BM_CacheHit(benchmark::State& state) {
    TheWorld();
    for (int i = 0; i < 64; ++i) Cache_UseItem(("small" + std::to_string(i)).c_str());
    char names[64][16];
    for (int i = 0; i < 64; ++i) std::snprintf(names[i], sizeof names[i], "small%d", i);
    int i = 0;
    for (auto _ : state) {
        void* data = Cache_UseItem(names[i]);
        benchmark::DoNotOptimize(data);
        Cache_UnlockItem(names[i]);
        i = (i + 1) & 63;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheHit);

void BM_ReadLzoMegabyte(benchmark::State& state) {
    TheWorld();
    std::vector<char> buffer(1u << 20);
    for (auto _ : state) {
        bool ok = Zix_ReadFile("big.txt", buffer.data(), uint32_t(buffer.size()));
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
}
BENCHMARK(BM_ReadLzoMegabyte);

void BM_CopyMegabyte(benchmark::State& state) {
    std::string source = Megabyte();
    std::vector<char> buffer(source.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}
BENCHMARK(BM_CopyMegabyte);

}  // namespace
