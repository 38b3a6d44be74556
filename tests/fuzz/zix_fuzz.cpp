// Index files are outside input: any bytes must build an index (or fail) without harm.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/zix.h"
#include "platform/exit.h"
#include "platform/paths.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/gv-fuzz-zix-XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        Plat_SetDataRoot(made);
        Plat_SetExitHook(ThrowOnExit);  // a fatal error (record-count overflow) must not end the run
        return made;
    }();
    FILE* file = std::fopen((dir + "/fuzz.zix").c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    try {
        if (Zix_Build("fuzz.zix")) {
            int cursor = 0;
            while (const ZixFile* found = Zix_FindNext("*", &cursor)) Zix_FileExists(found->Name().c_str());
        }
    } catch (const Exited&) {
    }
    Zix_Free();
    // The input names directories of its own; their scans go with it.
    Plat_ForgetDirectoryCache();
    return 0;
}
