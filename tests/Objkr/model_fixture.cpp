#include "model_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "models.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

std::vector<std::string>& ModelFixture::Traces() {
    static std::vector<std::string> traces;
    return traces;
}

void ModelFixture::SetUp() {
    ObjkrFixture::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "gv_model_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    std::filesystem::create_directories(root + "/profile");
    Plat_SetDataRoot(root);
    Plat_SetProfileDir(root + "/profile");
    Plat_ForgetDirectoryCache();
    Data_Close();
    Cache_Init();
    GeomCache_Reset();
    Geom_ResetServices();
    ObjLoad_ResetServices();
    ObjLoad_ClearKeptAnimBlocks();
    Traces().clear();
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    hooks.debuggerOutput = [](const char* text) { Traces().push_back(text); };
    Diagnostics_SetHooks(hooks);
}

void ModelFixture::TearDown() {
    ObjkrFixture::TearDown();
    GeomCache_FreeAll();
    ObjLoad_ClearKeptAnimBlocks();
    ObjLoad_ResetServices();
    Geom_ResetServices();
    Diagnostics_ResetHooks();
    Debug_SetOutputMode(kDebugOutNone);
    Debug_SetLogPath("debug.log");
    Cache_FreeAll();
    Data_Close();
    Plat_SetDataRoot(".");
    Plat_SetProfileDir("");
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    Plat_ForgetDirectoryCache();
}

void ModelFixture::Install(const std::vector<content::ArchiveRecord>& records) {
    std::string error;
    ASSERT_TRUE(content::WriteArchive(root + "/models.zfs", records, 0, &error)) << error;
    content::IndexSpec spec;
    spec.paths.push_back({"cd0", "models.zfs"});
    for (const content::ArchiveRecord& record : records) spec.files.push_back({1, record.name});
    ASSERT_TRUE(content::WriteIndex(root + "/kolta.zix", spec, &error)) << error;
    Plat_ForgetDirectoryCache();
    Data_Close();
    Cache_Init();
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
}

void ModelFixture::InstallSamples(const std::vector<content::ArchiveRecord>& more) {
    std::vector<content::ArchiveRecord> records = content::ModelRecords();
    records.insert(records.end(), more.begin(), more.end());
    Install(records);
}

bool ModelFixture::Traced(const std::string& text) const {
    return std::find(Traces().begin(), Traces().end(), text) != Traces().end();
}

std::vector<std::string> ModelFixture::BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) texts.push_back(box.text);
    return texts;
}
