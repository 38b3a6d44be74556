#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/paramfile.h"
#include "support/memory_files.h"

namespace {

class ParamFileTest : public ::testing::Test {
protected:
    void SetUp() override { context = IParse_New(); }
    void TearDown() override { IParse_Free(context); }
    int Parse(const std::string& text) { return IParse_ParseText(context, text.data(), text.size(), "test"); }
    // Evaluates an expression: status, is-integer and value.
    struct Result {
        int status;
        bool isInt;
        int i;
        double d;
    };
    Result Eval(const char* expression) {
        std::vector<IParseToken> tokens;
        IParse_Tokenize(expression, std::strlen(expression), &tokens);
        Result r{};
        r.d = IParse_Evaluate(context, tokens, 0, static_cast<int>(tokens.size()) - 1, &r.isInt, &r.i, &r.status);
        return r;
    }
    IParseContext* context = nullptr;
};

TEST_F(ParamFileTest, Expressions) {
    ASSERT_EQ(Parse("int seven = 7; double half = 0.5; float f = 2.75;"), 0);
    struct Case {
        const char* text;
        bool isInt;
        double value;
    } cases[] = {
        {"7/2", true, 3},          {"7.0/2", false, 3.5},     {"-7/2", true, -3},       {"2^3^2", true, 512},
        {"2^0", true, 1},          {"2^-3", true, 1},         {"2.0^-1", false, 0.5},   {"-2^2", true, 4},
        {"1+2*3", true, 7},        {"(1+2)*3", true, 9},      {"10-4-3", true, 3},      {"3 > 2 == 1", true, 1},
        {"1 < 2 < 0", true, 1},    {"2 >= 2", true, 1},       {"2 <= 1", true, 0},      {"3 != 3", true, 0},
        {"3 is 3", true, 1},       {"3 isnt 4", true, 1},     {"1 == 1.0", true, 1},    {"(int)2.9", true, 2},
        {"(int)-2.9", true, -2},   {"(long)7.5/2", true, 3},  {"(float)7/2", false, 3.5}, {"(double)1", false, 1},
        {"seven/2", false, 3.5},   {"half*4", false, 2},      {"f", false, 2.75},       {"2147483647+1", true, INT_MIN},
        {"3 4", true, 3},          {"1.0/0", false, HUGE_VAL}, {"65536*65536", true, 0},  {"2^100000000", true, 0},
        {"(-1)^2147483647", true, -1},
    };
    for (const Case& c : cases) {
        Result r = Eval(c.text);
        EXPECT_EQ(r.status, 0) << c.text;
        EXPECT_EQ(r.isInt, c.isInt) << c.text;
        EXPECT_EQ(r.d, c.value) << c.text;
        if (c.isInt) {
            EXPECT_EQ(r.i, static_cast<int>(c.value)) << c.text;
        }
    }
}

TEST_F(ParamFileTest, ExpressionErrors) {
    const char* bad[] = {"",    "7/0",       "7/(2-2)", "(-2147483647-1)/-1", "unknown + 1",
                         "1 +", "(1 + 2",    ")",       "* 3",              "\"text\"",           "--1",
                         "(int)", "1 == ",   "c"};
    ASSERT_EQ(Parse("char c = 'x';"), 0);
    for (const char* text : bad) EXPECT_EQ(Eval(text).status, -1) << text;
    // Deep nesting is refused, not a stack overflow.
    std::string deep(100000, '(');
    deep += "1";
    EXPECT_EQ(Eval(deep.c_str()).status, -1);
    std::string powers = "2";
    for (int i = 0; i < 5000; ++i) powers += "^1";
    EXPECT_EQ(Eval(powers.c_str()).status, -1);
    // An empty or reversed range.
    std::vector<IParseToken> tokens;
    int status = 0;
    IParse_Evaluate(context, tokens, 0, -1, nullptr, nullptr, &status);
    EXPECT_EQ(status, -1);
}

TEST_F(ParamFileTest, DeclarationsAndGetters) {
    ASSERT_EQ(Parse("int half = 7 / 2;\n"
                    "double real = 7.0 / 2;\n"
                    "float cast = (int) 2.9;\n"
                    "float plain = 1.25;\n"
                    "char letter = 'q';\n"
                    "char name[8] = \"abc\";\n"
                    "char cut[4] = \"abcdefg\";\n"
                    "int zero;\n"
                    "#define COUNT 3 * 4\n"
                    "#define RATIO 1.5\n"
                    "#define TITLE \"Gravenholt Base\"\n"
                    "int twice = 1;\n"
                    "int twice = 2;\n"),
              0);
    int status = 1;
    EXPECT_EQ(IParse_GetInt(context, "half", &status), 3);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(IParse_GetDouble(context, "real", &status), 3.5);
    EXPECT_EQ(IParse_GetFloat(context, "cast", &status), 2.0f);
    EXPECT_EQ(IParse_GetFloat(context, "plain", &status), 1.25f);
    EXPECT_EQ(IParse_GetChar(context, "letter", &status), 'q');
    EXPECT_EQ(IParse_GetInt(context, "COUNT", &status), 12);
    EXPECT_EQ(IParse_GetDouble(context, "RATIO", &status), 1.5);
    EXPECT_EQ(IParse_GetInt(context, "RATIO", &status), 1);
    EXPECT_EQ(IParse_GetInt(context, "zero", &status), 0);
    EXPECT_EQ(IParse_GetInt(context, "twice", &status), 2);  // the later declaration answers

    char buffer[32];
    IParse_GetString(context, "name", &status, buffer, sizeof buffer);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(buffer, "abc");
    IParse_GetString(context, "cut", &status, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abc");  // cut to its size less the terminator
    IParse_GetString(context, "TITLE", &status, buffer, 10);
    EXPECT_STREQ(buffer, "Gravenhol");  // cut to the caller's buffer
    auto copy = IParse_DupString(context, "TITLE", &status);
    EXPECT_STREQ(copy.get(), "Gravenholt Base");

    // Kinds that do not fit, and missing names.
    EXPECT_EQ(IParse_GetInt(context, "plain", &status), -1);  // a float is not read as int
    EXPECT_EQ(status, -1);
    EXPECT_EQ(IParse_GetFloat(context, "half", &status), -1.0f);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(IParse_GetDouble(context, "half", &status), 3.0);
    EXPECT_EQ(IParse_GetChar(context, "missing", &status), static_cast<char>(255));
    EXPECT_EQ(status, -1);
    EXPECT_EQ(IParse_GetInt(context, "Half", &status), -1);  // names keep their case
    IParse_GetString(context, "half", &status, buffer, sizeof buffer);
    EXPECT_EQ(status, -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(IParse_DupString(context, "missing", &status), nullptr);
    EXPECT_EQ(IParse_GetCount(context, "half", &status), -1);
}

TEST_F(ParamFileTest, AssignmentsIfElseAndBlocks) {
    ASSERT_EQ(Parse("int level = 2;\n"
                    "char mode = 'a';\n"
                    "char label[6] = \"none\";\n"
                    "if (level > 1) { int big = 1; if ((level + 1) == 3) { label = \"three!!\"; } }\n"
                    "else { int small = 1; }\n"
                    "if (0) { int never = 1; }\n"
                    "if (level is 5) { int five = 1; } else { mode = 'z'; level = level * 10; }\n"
                    "{ int inner = 4; }\n"
                    "/* int commented = 1; */ // int also = 1;\n"),
              0);
    int status;
    EXPECT_EQ(IParse_GetInt(context, "big", &status), 1);
    IParse_GetInt(context, "small", &status);
    EXPECT_EQ(status, -1);
    IParse_GetInt(context, "never", &status);
    EXPECT_EQ(status, -1);
    IParse_GetInt(context, "five", &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(IParse_GetChar(context, "mode", &status), 'z');
    EXPECT_EQ(IParse_GetInt(context, "level", &status), 20);
    EXPECT_EQ(IParse_GetInt(context, "inner", &status), 4);
    IParse_GetInt(context, "commented", &status);
    EXPECT_EQ(status, -1);
    char label[16];
    IParse_GetString(context, "label", &status, label, sizeof label);
    EXPECT_STREQ(label, "three");
}

TEST_F(ParamFileTest, StructsAndRecordArrays) {
    ASSERT_EQ(Parse("#define N 4\n"
                    "struct Unit { char name[8]; int cost; float speed; double range; char tag; };\n"
                    "Unit units[N] = {\n"
                    "  \"scout\", 40, 2.5, 100.0 / 4, 'a';\n"
                    "  \"tank with long name\", 60 + 5, 1, (int) 7.9, ',',\n"
                    "} #END_DATA\n"
                    "Unit none[2] = { } #END_DATA\n"
                    "int after = 1;\n"),
              0);
    int status;
    EXPECT_EQ(IParse_GetCount(context, "units", &status), 2);  // the records given, not the declared 4
    EXPECT_EQ(IParse_GetCount(context, "none", &status), 0);
    char name[16];
    IParse_GetFieldString(context, "units[0].name", &status, name, sizeof name);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(name, "scout");
    IParse_GetFieldString(context, "units[1].name", &status, name, sizeof name);
    EXPECT_STREQ(name, "tank wi");  // cut to the field
    EXPECT_STREQ(IParse_DupFieldString(context, "units[1].name", &status).get(), "tank wi");
    EXPECT_EQ(IParse_GetFieldInt(context, "units[1].cost", &status), 65);
    EXPECT_EQ(IParse_GetFieldFloat(context, "units[0].speed", &status), 2.5f);
    EXPECT_EQ(IParse_GetFieldDouble(context, "units[0].range", &status), 25.0);
    EXPECT_EQ(IParse_GetFieldDouble(context, "units[1].range", &status), 7.0);
    EXPECT_EQ(IParse_GetFieldInt(context, "units[0].range", &status), 25);
    EXPECT_EQ(IParse_GetFieldChar(context, "units[1].tag", &status), ',');
    // The field address: data + record size x index + the sizes of the fields before.
    const char* first = static_cast<const char*>(IParse_FindField(context, "units[0].name"));
    const char* cost = static_cast<const char*>(IParse_FindField(context, "units[1].cost"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cost - first, 8 + 4 + 4 + 8 + 1 + 8);
    EXPECT_EQ(IParse_GetInt(context, "after", &status), 1);

    // Paths that miss: index past the records given, unknown field or array, bad syntax, kind.
    const char* misses[] = {"units[2].cost", "units[0].price", "troops[0].cost", "units[-1].cost", "units[0]cost",
                            "units.cost",    "units[x].cost",  "units[99999999999].cost", "after[0].cost"};
    for (const char* path : misses) {
        EXPECT_EQ(IParse_FindField(context, path), nullptr) << path;
        EXPECT_EQ(IParse_GetFieldInt(context, path, &status), -1) << path;
        EXPECT_EQ(status, -1) << path;
        EXPECT_EQ(IParse_GetFieldChar(context, path, &status), static_cast<char>(255)) << path;
    }
    EXPECT_EQ(IParse_GetFieldInt(context, "units[0].speed", &status), -1);  // a float field is not an int
    EXPECT_EQ(IParse_GetFieldFloat(context, "units[0].cost", &status), -1.0f);
    IParse_GetFieldString(context, "units[0].cost", &status, name, sizeof name);
    EXPECT_EQ(status, -1);
}

TEST_F(ParamFileTest, MalformedStatementsStopWithAStatus) {
    struct Case {
        const char* text;
        int status;
    } cases[] = {
        {"int a = 1; bogus b; int c = 2;", -2},
        {"int a = 1; c = 2;", -2},
        {"int a = 7 / 0;", -1},
        {"int = 3;", -1},
        {"int a 3;", -1},
        {"int a = 1", -1},
        {"char c = q;", -1},
        {"char s[0];", -1},
        {"char s[100000000];", -1},
        {"char s[4] = abc;", -1},
        {"#define\n", -1},
        {"#define X\n", -1},
        {"#include nofile\n", -1},
        {"struct S { int a; ", -1},
        {"struct S { };", -1},
        {"struct S { long a; };", -1},
        {"struct S { int a; }; S s[1] = { 1, 2 } #END_DATA", -1},     // more records than declared
        {"struct S { int a; }; S s[-1] = { } #END_DATA", -1},
        {"struct S { int a; }; S s[99999999] = { } #END_DATA", -1},
        {"struct S { int a; }; S s[2] = { 1, 2 ", -1},                // no #END_DATA
        {"struct S { int a; }; S s[2] = { 1, 2 #END_DATA", -1},       // no closing brace
        {"struct S { int a; }; S s[2] = { 1,, 2 } #END_DATA", -1},
        {"struct S { char t; }; S s[2] = { x } #END_DATA", -1},
        {"struct S { int a; }; S s[1] = { 1 } #END_DATA s = 3;", -1},  // record arrays take no assignment
        {"if 1 { }", -1},
        {"if (1) int a;", -1},
        {"if (1) { int a = 1;", -1},
        {"if (1) { } else int b;", -1},
        {"if (nothing) { }", -1},
        {"else { }", -1},
        {"{ int a;", -1},
        {"}", -2},
        {"int a; a = 'x';", -1},
        {"int a = 1; int b = 2;", 0},
    };
    for (const Case& c : cases) {
        IParseContext* fresh = IParse_New();
        EXPECT_EQ(IParse_ParseText(fresh, c.text, std::strlen(c.text), "bad"), c.status) << c.text;
        IParse_Free(fresh);
    }
    // What came before the failing statement stays declared.
    ASSERT_EQ(Parse("int a = 1; bogus; int c = 2;"), -2);
    int status;
    EXPECT_EQ(IParse_GetInt(context, "a", &status), 1);
    IParse_GetInt(context, "c", &status);
    EXPECT_EQ(status, -1);
    // Deeply nested blocks are refused, not a stack overflow.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "if (1) { ";
    for (int i = 0; i < 5000; ++i) deep += "} ";
    EXPECT_EQ(Parse(deep), -1);
}

TEST_F(ParamFileTest, IncludesSearchPathsAndCycles) {
    MemoryFiles files;
    files.Add("base.aip", "#include \"shared.aip\"\nint base = shared + 1;\n");
    files.Add("shared.aip", "int shared = 41;\n");
    files.Add("loop_a.aip", "int a = 1;\n#include \"loop_b.aip\"\n");
    files.Add("loop_b.aip", "#include \"LOOP_A.aip\"\nint b = 1;\n");
    files.Add("broken.aip", "int ok = 1;\nint broken = ;\n");
    files.Add("outer.aip", "#include \"broken.aip\"\nint outer = 1;\n");

    int status;
    EXPECT_EQ(IParse_OpenFile("base.aip", context), 0);
    EXPECT_EQ(IParse_GetInt(context, "base", &status), 42);
    EXPECT_EQ(IParse_OpenFile("missing.aip", context), 10);
    EXPECT_EQ(IParse_OpenFile("loop_a.aip", context), -1);
    EXPECT_EQ(IParse_GetInt(context, "a", &status), 1);
    EXPECT_EQ(IParse_OpenFile("outer.aip", context), -1);
    EXPECT_EQ(IParse_GetInt(context, "ok", &status), 1);
    IParse_GetInt(context, "outer", &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(Parse("#include \"nowhere.aip\"\n"), 10);

    // Search directories come before the loader, in the order they were added.
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("gv_iparse_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "first");
    std::filesystem::create_directories(dir / "second");
    std::ofstream(dir / "second" / "shared.aip") << "int shared = 1;\n";
    std::ofstream(dir / "second" / "deep.aip") << "int deep = 2;\n";
    std::ofstream(dir / "first" / "deep.aip") << "int deep = 1;\n";
    IParseContext* searched = IParse_New();
    IParse_AddSearchPath(searched, (dir / "first").string().c_str());
    IParse_AddSearchPath(searched, ((dir / "second").string() + "/").c_str());
    EXPECT_EQ(IParse_OpenFile("base.aip", searched), 0);
    EXPECT_EQ(IParse_GetInt(searched, "base", &status), 2);
    EXPECT_EQ(IParse_OpenFile("deep.aip", searched), 0);
    EXPECT_EQ(IParse_GetInt(searched, "deep", &status), 1);
    IParse_Free(searched);
    std::filesystem::remove_all(dir);
}

TEST(IParseId, ResetNextRaise) {
    IParse_ResetId();
    EXPECT_EQ(IParse_NextId(), 1);
    EXPECT_EQ(IParse_NextId(), 2);
    IParse_RaiseId(10);
    EXPECT_EQ(IParse_NextId(), 11);
    IParse_RaiseId(5);
    EXPECT_EQ(IParse_NextId(), 12);
    IParse_ResetId();
    EXPECT_EQ(IParse_NextId(), 1);
}

}  // namespace
