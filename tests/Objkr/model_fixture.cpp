#include "model_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "Objkr/animobj.h"
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
    scratch_.Open();
    root = scratch_.root;
    GeomCache_Reset();
    Geom_ResetServices();
    ObjLoad_ResetServices();
    AnimObj_Reset();
    Traces().clear();
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    hooks.debuggerOutput = [](const char* text) { Traces().push_back(text); };
    Diagnostics_SetHooks(hooks);
}

void ModelFixture::TearDown() {
    ObjkrFixture::TearDown();
    GeomCache_FreeAll();
    AnimObj_Reset();
    ObjLoad_ResetServices();
    Geom_ResetServices();
    Diagnostics_ResetHooks();
    Debug_SetOutputMode(kDebugOutNone);
    Debug_SetLogPath("debug.log");
    Cache_FreeAll();
    scratch_.Close();
}

void ModelFixture::Install(const std::vector<content::ArchiveRecord>& records) {
    scratch_.Install(records, "models.zfs");
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
