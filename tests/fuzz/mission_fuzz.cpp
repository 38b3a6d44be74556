// The mission section of saved games and mission files is outside input: any bytes, in either
// form, must load cleanly or fail cleanly, and whatever loads must save and tear down without
// touching memory it does not own.
//
// Input: a flags byte (bit 0 binary form, bit 1 a mission file), then the section.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ai/aiinstall.h"
#include "ai/aimission.h"
#include "ai/aiprocess.h"
#include "ai/processinstall.h"
#include "ai/unitprocess.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "fun3d/aicmdinfo.h"

namespace {

// A process carrying a command record in the saved form game objects use, so that the
// records behind processes are read as the game reads them.
class FuzzProcess : public AiProcess {
public:
    bool Load() override {
        uint8_t what[4] = {};
        return AiProcess::Load() && Field_ReadInt("priority", &command.priority) && Field_ReadBytes("what", what, 4) &&
               Field_ReadInt("who", &command.who, 4) &&
               Field_ReadPointerFixup("where", &command.where, "AiCmdInfo:where") &&
               Field_ReadInt("param", &command.param);
    }
    bool Save(FILE* stream) override {
        uint8_t what[4] = {};
        return AiProcess::Save(stream) && Field_WriteInt(stream, command.priority, "priority") &&
               Field_WriteBytes(stream, what, 4, "what") && Field_WriteInt(stream, &command.who, 4, "who") &&
               Field_WritePointer(stream, nullptr, "where") && Field_WriteInt(stream, command.param, "param");
    }
    const FactoryReg* GetFactory() const override;
    void Execute() override {}
    AiCmdInfo command{};
};

FactoryReg g_fuzzProcess{"FuzzProcess", 0, []() -> sObject* { return new FuzzProcess; }};
const FactoryReg* FuzzProcess::GetFactory() const { return &g_fuzzProcess; }

// A unit process with every state handler and the enemy check, as the unit kinds derive it.
class FuzzCraft : public CraftProcess {
public:
    const FactoryReg* GetFactory() const override;
};
FactoryReg g_fuzzCraft{"FuzzCraft", 0, []() -> sObject* { return new FuzzCraft; }};
const FactoryReg* FuzzCraft::GetFactory() const { return &g_fuzzCraft; }

bool Init() {
    Registration_Init();
    Ai_InstallSeam();
    Ai_InstallProcesses();  // "UserProcess" and "NetProcess"
    Factory_Register(&g_fuzzProcess);
    Factory_Register(&g_fuzzCraft);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Init();
    static FILE* sink = std::fopen("/dev/null", "wb");
    (void)ready;
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    // The section gets a buffer of its own exact size, so that any read past it is caught.
    std::vector<char> stream(data + 1, data + size);
    Field_SetBinary(flags & 1);
    Field_SetVersion(kSaveVersionCurrent);
    SaveGame_SetMissionFile(flags & 2);
    Field_BeginRead(stream.data(), stream.size());
    const bool loaded = Mission_LoadSaved();
    Field_EndRead();
    if (loaded) {
        Field_ResolvePointers();
        Mission_StartAfterLoad();
        Field_ResetSaveIds();
        if (sink) Mission_SaveCurrent(sink);
        Field_ResetSaveIds();
    } else {
        Field_ClearUnresolved();
        Field_DiscardFixups();
    }
    Mission_Shutdown();
    Field_SetBinary(false);
    SaveGame_SetMissionFile(false);
    return 0;
}
