#include "class_fixture.h"

#include <stdlib.h>

#include <filesystem>

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
    std::string pattern = (std::filesystem::temp_directory_path() / "gv_class_XXXXXX").string();
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
    ObjLoad_ClearKeptAnimBlocks();
    ObjLoad_ResetServices();
    Geom_ResetServices();
    Cache_FreeAll();
    Data_Close();
    Plat_SetDataRoot(".");
    Plat_SetProfileDir("");
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    Plat_ForgetDirectoryCache();
}

void ClassFixture::InstallWorld(const std::vector<content::ArchiveRecord>& more) {
    std::vector<content::ArchiveRecord> records = content::ModelRecords();
    std::vector<content::ArchiveRecord> definitions;
    std::string error;
    ASSERT_TRUE(content::DefinitionRecords(&definitions, &error)) << error;
    records.insert(records.end(), definitions.begin(), definitions.end());
    records.insert(records.end(), more.begin(), more.end());
    ASSERT_TRUE(content::WriteArchive(root + "/world.zfs", records, 0, &error)) << error;
    content::IndexSpec spec;
    spec.paths.push_back({"cd0", "world.zfs"});
    for (const content::ArchiveRecord& record : records) spec.files.push_back({1, record.name});
    ASSERT_TRUE(content::WriteIndex(root + "/kolta.zix", spec, &error)) << error;
    Plat_ForgetDirectoryCache();
    Data_Close();
    Cache_Init();
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
}

std::string ClassFixture::Definition(const std::string& label, const std::string& geometry,
                                     const std::vector<std::pair<uint32_t, std::string>>& values) {
    std::string text = "[GameObjectClass]\n";
    text += content::KeyText(kOdfClassLabel) + " = \"" + label + "\"\n";
    if (!geometry.empty()) text += content::KeyText(kOdfGeometryName) + " = \"" + geometry + "\"\n";
    for (const auto& [key, value] : values) text += content::KeyText(key) + " = " + value + "\n";
    return text;
}
