#include "class_fixture.h"

#include <stdlib.h>

#include <filesystem>

#include "Objkr/animobj.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "definitions.h"
#include "models.h"
#include "odfkeys.h"
#include "platform/paths.h"

void ClassFixture::SetUp() {
    Fun3dFixture::SetUp();
    render_ = Seam_Render();
    scratch_.Open();
    root = scratch_.root;
    GeomCache_Reset();
    Geom_ResetServices();
    ObjLoad_ResetServices();
    AnimObj_Reset();
    ObjLoad_Services().objectClassType = GameObjectClass_EntityTypeOf;
    GameObjectClass_FreeAll();
    GameObjectClass_DebugFlags() = 0;
}

void ClassFixture::TearDown() {
    Fun3dFixture::TearDown();
    Seam_Render() = render_;
    GameObjectClass_FreeAll();
    GameObjectClass_DebugFlags() = 0;
    GeomCache_FreeAll();
    AnimObj_Reset();
    ObjLoad_ResetServices();
    Geom_ResetServices();
    Cache_FreeAll();
    scratch_.Close();
}

void ClassFixture::InstallWorld(const std::vector<content::ArchiveRecord>& more) {
    std::vector<content::ArchiveRecord> records = content::ModelRecords();
    std::vector<content::ArchiveRecord> definitions;
    std::string error;
    ASSERT_TRUE(content::DefinitionRecords(&definitions, &error)) << error;
    records.insert(records.end(), definitions.begin(), definitions.end());
    records.insert(records.end(), more.begin(), more.end());
    scratch_.Install(records, "world.zfs");
}

std::string ClassFixture::Definition(const std::string& label, const std::string& geometry,
                                     const std::vector<std::pair<uint32_t, std::string>>& values) {
    std::string text = "[GameObjectClass]\n";
    text += content::KeyText(kOdfClassLabel) + " = \"" + label + "\"\n";
    if (!geometry.empty()) text += content::KeyText(kOdfGeometryName) + " = \"" + geometry + "\"\n";
    for (const auto& [key, value] : values) text += content::KeyText(key) + " = " + value + "\n";
    return text;
}
