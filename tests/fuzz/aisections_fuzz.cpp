// The AI's map and task sections of saved games and mission files are outside input: any bytes,
// in either form, must load cleanly or fail cleanly, and whatever loads must rebuild its grids,
// step, save and tear down without touching memory it does not own.
//
// Input: a flags byte (bit 0 binary form), then the sections in file order: "[AOIs]",
// "[AiPaths]", "[AiTasks]".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ai/aiinstall.h"
#include "ai/aipath.h"
#include "ai/aoi.h"
#include "ai/unittask.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"

namespace {

bool Init() {
    Registration_Init();
    Ai_InstallSeam();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Init();
    static FILE* sink = std::fopen("/dev/null", "wb");
    (void)ready;
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    // The sections get a buffer of their own exact size, so that any read past it is caught.
    std::vector<char> stream(data + 1, data + size);
    Field_SetBinary(flags & 1);
    Field_SetVersion(kSaveVersionCurrent);
    Field_BeginRead(stream.data(), stream.size());
    const bool loaded = AOIs_Load() && AiPaths_Load() && AiTasks_Load();
    Field_EndRead();
    if (loaded) {
        Field_ResolvePointers();
        AiTasks_PostLoad();
        AOI_SetupGrid(0, 0, 256, 8, 8);
        for (int32_t team = 0; team < kAoiTeams; ++team) {
            AOI_GetValueGrid(team, true);
            AOI_GetForceGrid(team);
        }
        for (AiTask* task : std::vector<AiTask*>(AiTasks()))
            if (auto* unit = dynamic_cast<UnitTask*>(task)) unit->Update();
        Field_ResetSaveIds();
        if (sink) {
            AOIs_Save(sink);
            AiPaths_Save(sink);
            AiTasks_Save(sink);
        }
        Field_ResetSaveIds();
    } else {
        Field_ClearUnresolved();
        Field_DiscardFixups();
    }
    AiTasks_Clear();
    AOI_Clear();
    AiPaths_DeleteAll();
    Field_SetBinary(false);
    return 0;
}
