#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/sysprobe.h"
#include "core/zfs.h"
#include "core/text.h"
#include "platform/system.h"
#include "files_fixture.h"
#include "support/memory_files.h"
#include "support/sample_world.h"

namespace {

// Sets the locale variables for one test and puts the old values back.
class LocaleEnv {
public:
    LocaleEnv() {
        for (int i = 0; i < 3; ++i) {
            const char* value = std::getenv(kNames[i]);
            had_[i] = value != nullptr;
            if (value) old_[i] = value;
            unsetenv(kNames[i]);
        }
    }
    ~LocaleEnv() {
        for (int i = 0; i < 3; ++i) {
            if (had_[i])
                setenv(kNames[i], old_[i].c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }
    static void Set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    bool had_[3] = {};
    std::string old_[3];
};

class SysProbeTest : public ::testing::Test {
protected:
    void SetUp() override { Lang_Reset(); }
    void TearDown() override { Lang_Reset(); }
    LocaleEnv env_;
    MemoryFiles files_;
};

TEST_F(SysProbeTest, LanguageComesFromTheProjectInfoFileBeforeTheLocale) {
    struct Case {
        const char* lang;
        const char* prjInfo;  // null: no file
        int32_t expected;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", nullptr, kLangGerman},
        {"ja_JP.eucJP", nullptr, kLangJapanese},
        {"en_GB", nullptr, kLangEnglish},
        {"C", nullptr, kLangEnglish},
        {"POSIX", nullptr, kLangEnglish},
        {nullptr, nullptr, kLangEnglish},
        {"fr_FR", nullptr, kLangOther},
        {"en_US.UTF-8", "Language: japanese\r\n", kLangJapanese},
        {"de_DE", "Name: sample\r\n  language :  ENGLISH  \r\n", kLangEnglish},
        {"de_DE", "Language: klingon\r\n", kLangOther},
        {"de_DE", "Language:\r\nLanguage: english\r\n", kLangGerman},  // empty: the locale decides
        {"de_DE", "L: english\r\n: japanese\r\nLanguages: english\r\n", kLangGerman},  // no whole match
    };
    for (const Case& c : cases) {
        LocaleEnv::Set("LANG", c.lang);
        files_.Remove("PrjInfo.txt");
        if (c.prjInfo) files_.Add("PrjInfo.txt", c.prjInfo);
        EXPECT_EQ(Lang_Detect(), c.expected) << (c.lang ? c.lang : "(unset)") << " / " << (c.prjInfo ? c.prjInfo : "-");
        EXPECT_EQ(Lang_GetId(), c.expected);
        EXPECT_EQ(Lang_IsJapanese(), c.expected == kLangJapanese);
        EXPECT_EQ(Text_IsDoubleByte(), c.expected == kLangJapanese);
    }
}

TEST_F(SysProbeTest, LocaleVariablesTakePrecedenceInOrder) {
    LocaleEnv::Set("LANG", "en_US");
    LocaleEnv::Set("LC_MESSAGES", "ja_JP");
    EXPECT_EQ(Plat_SystemLocaleId(), 17u);
    LocaleEnv::Set("LC_ALL", "de_AT.UTF-8@euro");
    EXPECT_EQ(Plat_SystemLocaleId(), 7u);
    LocaleEnv::Set("LC_ALL", "");
    EXPECT_EQ(Plat_SystemLocaleId(), 17u) << "an empty variable counts as unset";
}

TEST_F(SysProbeTest, NecKeyboardOnlyForJapanese) {
    LocaleEnv::Set("LANG", "ja_JP");
    files_.Add("PrjInfo.txt", "Keyboard: nec\r\n");
    Lang_Detect();
    EXPECT_EQ(Lang_KeyboardSubtype(), kKeyboardNec);
    files_.Add("PrjInfo.txt", "Keyboard: NEC98\r\n");
    Lang_Detect();
    EXPECT_EQ(Lang_KeyboardSubtype(), 0);
    LocaleEnv::Set("LANG", "en_US");
    files_.Add("PrjInfo.txt", "Keyboard: NEC\r\n");
    Lang_Detect();
    EXPECT_EQ(Lang_KeyboardSubtype(), 0);
}

TEST_F(SysProbeTest, NumbersParseTheSameAfterGermanWasDetected) {
    LocaleEnv::Set("LANG", "de_DE.UTF-8");
    ASSERT_EQ(Lang_Detect(), kLangGerman);
    EXPECT_EQ(std::strtod("1.5", nullptr), 1.5);
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    EXPECT_STREQ(text, "1.5");
}

TEST_F(SysProbeTest, ProjectInfoValuesAreCutToTheBufferAndTerminated) {
    files_.Add("PrjInfo.txt", "Language: japanese\r\n");
    char out[4] = {'x', 'x', 'x', 'x'};
    ASSERT_EQ(PrjInfo_GetString("language", out, sizeof out), 1);
    EXPECT_STREQ(out, "jap");
    EXPECT_EQ(PrjInfo_GetString("Keyboard", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    files_.Remove("PrjInfo.txt");
    EXPECT_EQ(PrjInfo_GetString("Language", out, sizeof out), 0);
}

TEST_F(SysProbeTest, RecordAccessorsRefuseIndicesOutsideTheirTables) {
    Lang_Detect();
    for (int index : {-1, 8, 1000}) EXPECT_EQ(Lang_GetKeyValue(index, 77), 77) << index;
    for (int index : {-1, 2}) EXPECT_EQ(Lang_GetExtraValue(index, 78), 78) << index;
    EXPECT_STREQ(Lang_GetFilePath(4, "given").path, "given");
    EXPECT_STREQ(Lang_GetFilePath(-1, "given").path, "given");
    Lang_SetSelectable(1, 2);
    EXPECT_EQ(Lang_Current()->selectable, 1);
}

TEST_F(SysProbeTest, ProcessorFamilyAndMemoryStatus) {
    struct Case {
        int type, family;
    };
    for (const Case c : {Case{386, 3}, Case{486, 4}, Case{586, 5}, Case{8664, 6}, Case{0, 6}})
        EXPECT_EQ(Sys_CpuFamilyOf(c.type), c.family) << c.type;
    MemoryStatus status{};
    Sys_GetMemoryStatus(&status);
    EXPECT_GT(status.words[0], 0u);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(status.words[i], 0u);
    MemoryStatus cached{};
    Sys_GetCachedMemoryStatus(&cached);
    EXPECT_EQ(cached.words[0], status.words[0]);
    EXPECT_EQ(cached.words[5], status.words[5]);
}

// The game's own path: the project-info file through the index, an add-on copy first.
class SampleWorldLanguageTest : public FilesTest {
protected:
    void TearDown() override {
        Lang_Reset();
        FilesTest::TearDown();
    }
    LocaleEnv env_;
};

TEST_F(SampleWorldLanguageTest, AddOnProjectInfoOverridesTheLocale) {
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(root, &error)) << error;
    Plat_ForgetDirectoryCache();
    LocaleEnv::Set("LANG", "de_DE.UTF-8");
    ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    EXPECT_EQ(Lang_Detect(), kLangGerman) << "the sample world names no language";
    Data_Close();
    Write("addon/PrjInfo.txt", "Language: japanese\r\n");
    ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    EXPECT_EQ(Lang_Detect(), kLangJapanese);
    Data_Close();
}

}  // namespace
