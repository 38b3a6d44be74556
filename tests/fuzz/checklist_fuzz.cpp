// "check.odf" is outside input: any list, names of any length and separators included, must
// checksum without harm.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive_writer.h"
#include "core/checksum.h"
#include "core/debug.h"
#include "core/zix.h"
#include "platform/paths.h"

namespace {
void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}
void Quiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/gv-fuzz-checklist-XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        std::filesystem::create_directories(made + "/addon");
        WriteFile(made + "/addon/check.odf", "");
        for (const char* name : {"a.odf", "a.vdf", "a.sdf", "b.sdf", "c.txt"}) WriteFile(made + "/addon/" + name, name);
        std::string error;
        content::WriteIndex(made + "/kolta.zix", content::IndexSpec{}, &error);
        Plat_SetDataRoot(made);
        Plat_SetProfileDir(made);
        DiagnosticsHooks hooks = Diagnostics_GetHooks();
        hooks.debuggerOutput = Quiet;
        Diagnostics_SetHooks(hooks);
        Zix_Build("kolta.zix");
        return made;
    }();
    WriteFile(dir + "/addon/check.odf", std::string(reinterpret_cast<const char*>(data), size));
    CRC32_CheckList(0);
    return 0;
}
