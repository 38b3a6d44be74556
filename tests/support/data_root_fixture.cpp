#include "support/data_root_fixture.h"

#include <stdlib.h>

#include <filesystem>

#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

void DataRootTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gv_data_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    std::filesystem::create_directories(root + "/profile");
    Plat_SetDataRoot(root);
    Plat_SetProfileDir(root + "/profile");
    Plat_ForgetDirectoryCache();
    Plat_ClearMessageBoxLog();
    Plat_SetMessageBoxPolicy(nullptr);
    Error_ResetForTests();
    Data_Close();
    Cache_Init();
    Debug_SetOutputMode(0);
}

void DataRootTest::TearDown() {
    Data_Close();
    Plat_SetDataRoot(".");
    Plat_SetProfileDir("");
    Plat_SetMessageBoxPolicy(nullptr);
    Plat_ClearMessageBoxLog();
    Error_ResetForTests();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    Plat_ForgetDirectoryCache();
}

std::vector<std::string> DataRootTest::BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) texts.push_back(box.text);
    return texts;
}
