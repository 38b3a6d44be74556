#include "support/data_root_fixture.h"

#include <stdlib.h>

#include <filesystem>

#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

void ScratchDataRoot::Open() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gv_data_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    std::filesystem::create_directories(root + "/profile");
    Plat_SetDataRoot(root);
    Plat_SetProfileDir(root + "/profile");
    Plat_ForgetDirectoryCache();
    Data_Close();
    Cache_Init();
}

void ScratchDataRoot::Close() {
    Data_Close();
    Plat_SetDataRoot(".");
    Plat_SetProfileDir("");
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
    Plat_ForgetDirectoryCache();
}

void ScratchDataRoot::Install(const std::vector<content::ArchiveRecord>& records, const std::string& archive) {
    std::string error;
    ASSERT_TRUE(content::WriteArchive(root + "/" + archive, records, 0, &error)) << error;
    content::IndexSpec spec;
    spec.paths.push_back({"cd0", archive});
    for (const content::ArchiveRecord& record : records) spec.files.push_back({1, record.name});
    ASSERT_TRUE(content::WriteIndex(root + "/kolta.zix", spec, &error)) << error;
    Plat_ForgetDirectoryCache();
    Data_Close();
    Cache_Init();
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
}

void DataRootTest::SetUp() {
    scratch_.Open();
    root = scratch_.root;
    Plat_ClearMessageBoxLog();
    Plat_SetMessageBoxPolicy(nullptr);
    Error_ResetForTests();
    Debug_SetOutputMode(0);
}

void DataRootTest::TearDown() {
    scratch_.Close();
    Plat_SetMessageBoxPolicy(nullptr);
    Plat_ClearMessageBoxLog();
    Error_ResetForTests();
}

std::vector<std::string> DataRootTest::BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) texts.push_back(box.text);
    return texts;
}
