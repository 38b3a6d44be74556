#include <gtest/gtest.h>

#include "platform/strtable.h"
#include "temp_dir.h"

namespace {

TEST(StrTable, FindsEntriesWithEscapesAndCrLf) {
    TempDir dir;
    dir.Write("Lang.txt",
              "\xEF\xBB\xBF"
              "; comment=ignored\r\n"
              "# another=ignored\r\n"
              "Gravenholt is already running=Gravenholt l\xC3\xA4uft schon\r\n"
              "Line one\\nLine two=Zeile eins\\nZeile zwei\r\n"
              "Back\\\\slash=Rueck\\\\strich \\t kept\r\n"
              "no separator on this line\r\n"
              "=empty english\r\n"
              "Same=first\r\n"
              "Same=second\r\n"
              "Blank=\r\n"
              "Last=no line end");
    PlatStrTable* table = Plat_StrTableCreate((dir / "LANG.TXT").c_str());
    ASSERT_NE(table, nullptr);
    const struct {
        const char* english;
        const char* shown;
    } cases[] = {
        {"Gravenholt is already running", "Gravenholt l\xC3\xA4uft schon"},
        {"Line one\nLine two", "Zeile eins\nZeile zwei"},
        {"Back\\slash", "Rueck\\strich \\t kept"},
        {"Same", "first"},
        {"Blank", ""},
        {"Last", "no line end"},
    };
    for (const auto& c : cases) EXPECT_STREQ(Plat_StrTableFind(table, c.english), c.shown) << c.english;

    const char* missing[] = {"; comment", "# another", "no separator on this line", "", "Unknown text"};
    for (const char* english : missing) EXPECT_EQ(Plat_StrTableFind(table, english), english) << english;
    Plat_StrTableDestroy(table);
}

TEST(StrTable, AbsentFileGivesTheEnglishBack) {
    TempDir dir;
    const std::string absent = dir / "lang.txt";
    for (const char* file : {absent.c_str(), "", static_cast<const char*>(nullptr)}) {
        PlatStrTable* table = Plat_StrTableCreate(file);
        ASSERT_NE(table, nullptr);
        const char* text = "Not Enough Swap File Space";
        EXPECT_EQ(Plat_StrTableFind(table, text), text);
        EXPECT_EQ(Plat_StrTableFind(table, nullptr), nullptr);
        Plat_StrTableDestroy(table);
    }
    EXPECT_STREQ(Plat_StrTableFind(nullptr, "x"), "x");
}

}  // namespace
