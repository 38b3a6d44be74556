// Saved games and mission files are outside input: a file cut anywhere or with any bytes
// overwritten must load or be refused without harm, and a refused load must leave nothing
// behind. The suite runs without a corpus, so the target builds its own starting files (the
// sample mission, and a saved game of it in both forms) and lets the input pick one and edit it.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "content.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Fixture {
    std::string profile;
    std::unique_ptr<content::HeadlessWorld> world;
    std::vector<std::string> seeds;
};

std::string SaveWorld(const std::string& path, bool mission, bool binary) {
    SaveGame_SetMissionFile(mission);
    Field_SetBinary(binary);
    SaveGame_Write(path.c_str(), 0);
    Field_SetBinary(false);
    return ReadAll(path);
}

Fixture& Setup() {
    static Fixture* fixture = nullptr;
    fixture = fixture ? fixture : [] {
        auto* f = new Fixture;
        Plat_Init(BackendKind::Headless);
        Plat_SetExitHook(ThrowOnExit);
        Debug_SetOutputMode(kDebugOutNone);
        char pattern[] = "/tmp/gv-fuzz-save-XXXXXX";
        const std::string dir = mkdtemp(pattern) ? pattern : "/tmp/gv-fuzz-save";
        std::string error;
        content::WriteWorld(dir + "/data", &error);
        f->profile = dir + "/profile";
        std::filesystem::create_directories(f->profile);
        f->world = std::make_unique<content::HeadlessWorld>(dir + "/data", f->profile);
        if (SaveGame_Load("sample.qmn")) {
            f->seeds.push_back(SaveWorld(f->profile + "/seed.qmn", true, false));
            f->seeds.push_back(SaveWorld(f->profile + "/seed.sav", false, false));
            f->seeds.push_back(SaveWorld(f->profile + "/seed.bin", false, true));
        }
        f->world->Reset();
        // The world lets go of its index and archives before the leak check at exit.
        std::atexit([] { fixture->world.reset(); });
        return f;
    }();
    return *fixture;
}
}  // namespace

// Writing the sample world takes seconds: done before the first input, outside the per-input
// time limit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = Setup();
    if (f.seeds.empty() || size == 0) return 0;
    std::string bytes = f.seeds[data[0] % f.seeds.size()];
    // Edits: a kind byte, a 16-bit position (scaled over the file), then for an overwrite the
    // bytes that follow up to the next edit.
    size_t at = 1;
    while (at + 3 <= size && !bytes.empty()) {
        const uint8_t kind = data[at];
        const size_t position = ((data[at + 1] | (data[at + 2] << 8)) * bytes.size()) >> 16;
        at += 3;
        if (kind % 4 == 0) {
            bytes.resize(position);
        } else {
            const size_t length = std::min<size_t>(kind % 8 + 1, size - at);
            for (size_t i = 0; i < length && position + i < bytes.size(); ++i) bytes[position + i] = static_cast<char>(data[at + i]);
            at += length;
        }
    }
    const std::string path = f.profile + "/fuzz.sav";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    Plat_ClearMessageBoxLog();
    try {
        if (!SaveGame_Load(path.c_str()) && !GameObject_List().empty()) __builtin_trap();  // a refused load left objects
    } catch (const Exited&) {
    }
    f.world->Reset();
    return 0;
}
