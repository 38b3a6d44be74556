// The test harness itself: the shared reset puts every table and counter back, and the seam
// recorder covers every entry of every seam table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Objkr/entitysvc.h"
#include "core/cmdline.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/seams/registry.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "render/texcache.h"
#include "support/seam_recorder.h"
#include "support/state_reset.h"

namespace {

std::vector<char> Defaults(const SeamTableInfo& info) {
    std::vector<char> bytes(info.size);
    info.makeDefault(bytes.data());
    return bytes;
}

using Slot = void (*)();
constexpr size_t kSlot = sizeof(Slot);

// The type names of every seam table declared under src/core/seams.
std::set<std::string> DeclaredTables() {
    std::set<std::string> names;
    const std::regex table(R"(^struct (\w+Seam) \{)");
    for (const auto& file : std::filesystem::directory_iterator(GV_SOURCE_DIR "/src/core/seams")) {
        if (file.path().extension() != ".h") continue;
        std::ifstream in(file.path());
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_search(line, m, table)) names.insert(m[1]);
        }
    }
    return names;
}

TEST(SeamTables, EveryDeclaredTableIsRegistered) {
    std::set<std::string> registered;
    for (const SeamTableInfo& info : Seams_All()) registered.insert(info.name);
    const std::set<std::string> declared = DeclaredTables();
    ASSERT_FALSE(declared.empty());
    for (const std::string& name : declared)
        EXPECT_EQ(registered.count(name), 1u) << name << " has no SeamRegistration beside its accessor, or the "
                                                          "seam recorder does not list it";
}

TEST(SeamTables, TheRecorderReplacesEveryEntryAndPutsThemBack) {
    ASSERT_FALSE(Seams_All().empty());
    {
        SeamRecorder recorder;
        for (const SeamTableInfo& info : Seams_All()) {
            const std::vector<char> standIns = Defaults(info);
            for (size_t offset = 0; offset < info.size; offset += kSlot)
                EXPECT_NE(std::memcmp(static_cast<char*>(info.table) + offset, standIns.data() + offset, kSlot), 0)
                    << info.name << ": entry " << offset / kSlot << " (counting from 0) is not recorded";
        }
    }
    for (const SeamTableInfo& info : Seams_All())
        EXPECT_EQ(std::memcmp(info.table, Defaults(info).data(), info.size), 0) << info.name << " was not put back";
}

TEST(SeamTables, ResetPutsEveryTableBackToItsStandIns) {
    const Slot stray = [] {};
    for (const SeamTableInfo& info : Seams_All())
        for (size_t offset = 0; offset < info.size; offset += kSlot)
            std::memcpy(static_cast<char*>(info.table) + offset, &stray, kSlot);
    Seams_ResetAll();
    for (const SeamTableInfo& info : Seams_All())
        EXPECT_EQ(std::memcmp(info.table, Defaults(info).data(), info.size), 0) << info.name;
}

void ThrowingExit(int code) { throw code; }
void Publish(NetObject*) {}
bool NoFiles(const char*, std::vector<char>*) { return false; }

// What one test may leave behind, and how the next one would see it.
TEST(StateReset, WhatATestLeavesIsGoneForTheNext) {
    struct Case {
        const char* what;
        void (*leave)();
        bool (*clean)();
    };
    const Case cases[] = {
        {"a seam entry", [] { Seam_Net().publishState = Publish; }, [] { return Seam_Net().publishState != Publish; }},
        {"the exit hook", [] { Plat_SetExitHook(ThrowingExit); },
         [] { return Plat_SetExitHook(nullptr) == nullptr; }},
        {"the data-file loader", [] { DataFile_SetLoader(NoFiles); }, [] { return DataFile_GetLoader() != NoFiles; }},
        {"the box caption", [] { Error_SetCaption("left over"); },
         [] { return std::string(Error_GetCaption()) == "Gravenholt Error"; }},
        {"the message boxes shown", [] { Plat_MessageBox(0, "left over", "caption", 0); },
         [] { return Plat_MessageBoxLog().empty(); }},
        {"the command-line switches", [] { CmdLine_Globals().noIntro = true; },
         [] { return !CmdLine_Globals().noIntro; }},
        {"the texture cache figures", [] { TexCache_Load(""); },
         [] { return TexCache_GetStats().requests == 0; }},
    };
    for (const Case& c : cases) {
        c.leave();
        ResetProgramStateForTest();
        EXPECT_TRUE(c.clean()) << c.what;
    }
}

}  // namespace
