#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/odf.h"
#include "support/memory_files.h"
#include "textfiles.h"

namespace {

uint32_t H(const char* key) { return Text_HashNoCase(key); }

OdfFile Parsed(const std::string& text) {
    OdfFile odf;
    odf.Parse(text.data(), text.size());
    return odf;
}

TEST(TextHash, KnownValuesCaseAndContinuation) {
    EXPECT_EQ(Text_HashNoCase(""), 0x811C9DC5u);
    EXPECT_EQ(Text_HashNoCase("a"), 0xE40C292Cu);
    EXPECT_EQ(Text_HashNoCase("foobar"), 0xBF9CF968u);
    EXPECT_EQ(Text_HashNoCase("FooBAR"), 0xBF9CF968u);
    EXPECT_EQ(Text_HashNoCase(nullptr), 0u);
    // A numbered key continues its prefix's hash over the number's text.
    uint32_t prefix = Text_HashNoCase("weaponName");
    EXPECT_EQ(Text_HashNoCase("2", prefix), Text_HashNoCase("weaponname2"));
    EXPECT_EQ(Text_HashNumbered(prefix, 2), Text_HashNoCase("WEAPONNAME2"));
    EXPECT_EQ(Text_HashNumbered(prefix, -15), Text_HashNoCase("weaponname-15"));
    EXPECT_NE(Text_HashNumbered(prefix, 12), Text_HashNumbered(prefix, 2));
}

TEST(OdfFile, KeysLinesAndSections) {
    OdfFile odf = Parsed(
        "[GameObjectClass]\n"
        "MaxSpeed = 12\n"
        "turnrate=7\n"
        "  indented = 99\n"
        "no equals sign here\n"
        "// comment = not skipped by itself, but its key is //\n"
        "empty =    \n"
        "\n"
        "[CraftClass]\n"
        "maxspeed = 30\r\n"
        "label = \"hover\"\r\n"
        "last = 5");
    int value = 0;
    // Capitals and blanks around '=' index the same hash as lower case without blanks; the later
    // section wins, and a CR before the line feed does not spoil the number.
    EXPECT_TRUE(odf.GetInt(H("maxspeed"), &value, -1));
    EXPECT_EQ(value, 30);
    EXPECT_TRUE(odf.GetInt(H("TurnRate"), &value, -1));
    EXPECT_EQ(value, 7);
    // An indented line has the empty key.
    EXPECT_FALSE(odf.GetInt(H("indented"), &value, -1));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(odf.GetInt(kTextHashBasis, &value, -1));
    EXPECT_EQ(value, 99);
    EXPECT_TRUE(odf.Has(H("//")));
    // A line with an empty value is not indexed; a line without '=' adds nothing.
    EXPECT_FALSE(odf.Has(H("empty")));
    EXPECT_FALSE(odf.Has(H("no")));
    EXPECT_FALSE(odf.Has(H("[gameobjectclass]")));
    char label[16];
    EXPECT_TRUE(odf.GetString(H("label"), label, sizeof label, nullptr));
    EXPECT_STREQ(label, "hover");
    // The last line needs no line feed.
    EXPECT_TRUE(odf.GetInt(H("last"), &value, 0));
    EXPECT_EQ(value, 5);
    EXPECT_EQ(odf.KeyCount(), 6u);
}

TEST(OdfFile, TypedGettersAndDefaults) {
    OdfFile odf = Parsed(
        "count = \"7\"\n"
        "speed = 2.5 m/s\n"
        "bad = fast\n"
        "name10 = \"abcdefghij\"\n"
        "short = \"ab\"\n"
        "open = \"abc\n"
        "plain = abc\n");
    int i = 123;
    EXPECT_TRUE(odf.GetInt(H("count"), &i, 0));  // a quoted digit: found, out kept
    EXPECT_EQ(i, 123);
    EXPECT_TRUE(odf.GetInt(H("bad"), &i, 0));
    EXPECT_EQ(i, 123);
    EXPECT_FALSE(odf.GetInt(H("missing"), &i, 42));
    EXPECT_EQ(i, 42);
    EXPECT_FALSE(odf.GetInt(H("missing"), nullptr, 42));

    float f = 0;
    EXPECT_TRUE(odf.GetFloat(H("speed"), &f, 0));
    EXPECT_EQ(f, 2.5f);
    EXPECT_FALSE(odf.GetFloat(H("missing"), &f, -1e30f));
    EXPECT_EQ(f, -1e30f);

    char name[8];
    std::memset(name, '#', sizeof name);
    EXPECT_TRUE(odf.GetName8(H("name10"), name, "default1"));
    EXPECT_EQ(std::string(name, 8), "abcdefgh");  // eight characters, no terminator
    EXPECT_TRUE(odf.GetName8(H("short"), name, "default1"));
    EXPECT_EQ(std::string(name, 8), std::string("ab\0\0\0\0\0\0", 8));
    EXPECT_FALSE(odf.GetName8(H("plain"), name, "xyz"));
    EXPECT_EQ(std::string(name, 8), std::string("xyz\0\0\0\0\0", 8));

    char buffer[4];
    EXPECT_TRUE(odf.GetString(H("name10"), buffer, sizeof buffer, "zz"));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(odf.GetString(H("plain"), buffer, sizeof buffer, "defaults"));
    EXPECT_STREQ(buffer, "def");
    EXPECT_FALSE(odf.GetString(H("open"), buffer, sizeof buffer, nullptr));  // one quote only
    EXPECT_STREQ(buffer, "");

    std::unique_ptr<char[]> copy;
    EXPECT_TRUE(odf.GetStringAlloc(H("name10"), &copy, nullptr));
    EXPECT_STREQ(copy.get(), "abcdefghij");
    EXPECT_FALSE(odf.GetStringAlloc(H("plain"), &copy, "dflt"));
    EXPECT_STREQ(copy.get(), "dflt");
    EXPECT_FALSE(odf.GetStringAlloc(H("missing"), &copy, nullptr));
    EXPECT_EQ(copy, nullptr);
}

TEST(OdfFile, OpenThroughTheLoaderAndMissingFile) {
    MemoryFiles files;
    content::OdfWriter writer;
    writer.Section("GameObjectClass").Int(0x9DE6F3F3u, 40).Float(0x0ED76D3Au, 7.25f).String(0x92D04727u, "hover");
    std::string error;
    ASSERT_TRUE(writer.Ok(&error)) << error;
    files.Add("ivtank.odf", writer.Text());

    OdfFile odf("ivtank.odf");
    int cost = 0;
    float time = 0;
    char label[16];
    EXPECT_TRUE(odf.GetInt(0x9DE6F3F3u, &cost, 0));
    EXPECT_EQ(cost, 40);
    EXPECT_TRUE(odf.GetFloat(0x0ED76D3Au, &time, 0));
    EXPECT_EQ(time, 7.25f);
    EXPECT_TRUE(odf.GetString(0x92D04727u, label, sizeof label, nullptr));
    EXPECT_STREQ(label, "hover");

    OdfFile missing;
    EXPECT_FALSE(missing.Open("nothere.odf"));
    EXPECT_FALSE(missing.GetInt(0x9DE6F3F3u, &cost, 11));
    EXPECT_EQ(cost, 11);
    EXPECT_EQ(missing.KeyCount(), 0u);
}

TEST(OdfParseFloat, EdgeCases) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* text;
        float expected;
    } cases[] = {
        {"1.5", 1.5f},      {"  -2.25", -2.25f}, {"+3", 3.0f},     {"1e3", 1000.0f}, {"2.5E-1", 0.25f},
        {".5", 0.5f},       {"5.", 5.0f},        {"1.5xyz", 1.5f}, {"12,5", 12.0f},  {"\t\r\n7", 7.0f},
        {"0x10", 16.0f},    {"0x1p-1", 0.5f},    {"0x", 0.0f},     {"1e999", inf},   {"-1e999", -inf},
        {"1e-999", 0.0f},   {"-inf", -inf},      {"abc", 0.0f},    {"", 0.0f},       {"--1", 0.0f},
        {"-", 0.0f},        {"+-1", 0.0f},
    };
    for (const Case& c : cases) EXPECT_EQ(Odf_ParseFloat(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_TRUE(std::isnan(Odf_ParseFloat("nan")));
    EXPECT_EQ(Odf_ParseFloat(nullptr), 0.0f);
}

TEST(OdfParseInt, ClampsAndStopsAtTheFirstNonDigit) {
    struct Case {
        const char* text;
        bool ok;
        int expected;
    } cases[] = {
        {"42", true, 42},           {"  -7x", true, -7},        {"+3", true, 3},
        {"99999999999", true, INT32_MAX}, {"-99999999999", true, INT32_MIN}, {"-2147483648", true, INT32_MIN},
        {"x1", false, 0},           {"", false, 0},             {"-", false, 0},
    };
    for (const Case& c : cases) {
        int value = 0;
        EXPECT_EQ(Odf_TryParseInt(c.text, std::strlen(c.text), &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.expected) << c.text;
        }
    }
}

}  // namespace
