#include "core/fieldarchive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/field_stream.h"

namespace {

// In-memory bytes of the given values, one after another.
template <class... T>
std::string Mem(T... values) {
    std::string bytes;
    (bytes.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
    return bytes;
}

std::string Str(const char* text, size_t length) {
    std::string bytes(length, '\0');
    std::memcpy(bytes.data(), text, std::strlen(text));
    return bytes;
}

using Writer = bool (*)(FILE*, const void*, size_t, const char*);
using Reader = bool (*)(const char*, void*, size_t);

struct KindCase {
    const char* kind;
    Writer write;
    Reader read;
    std::string value;   // the field in memory
    std::string text;    // exactly what the text form writes
    std::string binary;  // exactly what the binary form writes
    bool textSkipsMatrixGap = false;
};

const std::string kGap = "\xAA\xAA\xAA\xAA";

std::vector<KindCase> Cases() {
    std::vector<KindCase> cases;
    cases.push_back({"int", Field_WriteInt, Field_ReadInt, Mem(int32_t{7}), CrLfLines({"f [1] =", "7"}),
                     std::string("\x04\x00\x04\x00\x07\x00\x00\x00", 8)});
    cases.push_back({"int array", Field_WriteInt, Field_ReadInt, Mem(int32_t{-3}, int32_t{2147483647}),
                     CrLfLines({"f [2] =", "-3", "2147483647"}),
                     std::string("\x04\x00\x08\x00\xFD\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 12)});
    cases.push_back({"long", Field_WriteLong, Field_ReadLong, Mem(int32_t{-5}), CrLfLines({"f [1] =", "-5"}),
                     FieldRecord(4, Le(int32_t{-5}))});
    cases.push_back({"hex", Field_WriteHex, Field_ReadHex, Mem(uint32_t{0xDEADBEEF}), CrLfLines({"f [1] =", "deadbeef"}),
                     std::string("\x04\x00\x04\x00\xEF\xBE\xAD\xDE", 8)});
    cases.push_back({"short", Field_WriteShort, Field_ReadShort, Mem(int16_t{-2}, int16_t{300}),
                     CrLfLines({"f [2] =", "-2", "300"}), std::string("\x03\x00\x04\x00\xFE\xFF\x2C\x01", 8)});
    cases.push_back({"ushort", Field_WriteUShort, Field_ReadUShort, Mem(uint16_t{65535}),
                     CrLfLines({"f [1] =", "65535"}), std::string("\x03\x00\x02\x00\xFF\xFF", 6)});
    cases.push_back({"bool", Field_WriteBool, Field_ReadBool, std::string("\x01\x00", 2),
                     CrLfLines({"f [2] =", "true", "false"}), std::string("\x01\x00\x02\x00\x01\x00", 6)});
    cases.push_back({"raw bytes", Field_WriteBytes, Field_ReadBytes, std::string("\xAB\x01\x00", 3),
                     CrLfLines({"f = ab0100"}), std::string("\x00\x00\x03\x00\xAB\x01\x00", 7)});
    cases.push_back({"fixed string", Field_WriteString, Field_ReadString, Str("SW Geyser", 16),
                     CrLfLines({"f = SW Geyser"}), FieldRecord(2, Str("SW Geyser", 16))});
    cases.push_back({"char array", Field_WriteChar, Field_ReadChar, std::string("a b", 3),
                     CrLfLines({"f [3] =", "a", " ", "b"}), FieldRecord(2, "a b")});
    cases.push_back({"float", Field_WriteFloat, Field_ReadFloat, Mem(1.5f), CrLfLines({"f [1] =", "1.5"}),
                     std::string("\x05\x00\x04\x00\x00\x00\xC0\x3F", 8)});
    cases.push_back({"double", Field_WriteDouble, Field_ReadDouble, Mem(0.25, -1e30),
                     CrLfLines({"f [2] =", "0.25", "-1e+30"}), FieldRecord(6, Le(0.25) + Le(-1e30))});
    cases.push_back({"id", Field_WriteId, Field_ReadId, Str("avrecy", 8) + "abtowe2x",
                     CrLfLines({"f [2] =", "avrecy", "abtowe2x"}), FieldRecord(7, Str("avrecy", 8) + "abtowe2x")});
    cases.push_back({"vector", Field_WriteVector, Field_ReadVector, Mem(1.f, 2.f, 3.f, -0.5f, 0.f, 1e6f),
                     CrLfLines({"f [2] =", "  x [1] =", "1", "  y [1] =", "2", "  z [1] =", "3", "  x [1] =", "-0.5",
                                "  y [1] =", "0", "  z [1] =", "1e+06"}),
                     FieldRecord(9, Le(1.f) + Le(2.f) + Le(3.f) + Le(-0.5f) + Le(0.f) + Le(1e6f))});
    cases.push_back({"vector2d", Field_WriteVector2D, Field_ReadVector2D, Mem(4.f, -1.f),
                     CrLfLines({"f [1] =", "  x [1] =", "4", "  z [1] =", "-1"}),
                     std::string("\x0A\x00\x08\x00", 4) + Le(4.f) + Le(-1.f)});
    {
        std::string value = Mem(1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 7.f, 8.f, 9.f) + kGap + Mem(10.5, -20.0, 1e6);
        std::string binary = Le(1.f) + Le(2.f) + Le(3.f) + Le(4.f) + Le(5.f) + Le(6.f) + Le(7.f) + Le(8.f) + Le(9.f) +
                             kGap + Le(10.5) + Le(-20.0) + Le(1e6);
        cases.push_back({"matrix", Field_WriteMatrix, Field_ReadMatrix, value,
                         CrLfLines({"f [1] =", "  right_x [1] =", "1", "  right_y [1] =", "2", "  right_z [1] =", "3",
                                    "  up_x [1] =", "4", "  up_y [1] =", "5", "  up_z [1] =", "6", "  front_x [1] =", "7",
                                    "  front_y [1] =", "8", "  front_z [1] =", "9", "  posit_x [1] =", "10.5",
                                    "  posit_y [1] =", "-20", "  posit_z [1] =", "1e+06"}),
                         FieldRecord(11, binary), true});
    }
    {
        const PhysicsState p{2.f, 0.5f, 4.f, 0.25f, 8.f, 0.125f, {1.f, 2.f, 3.f}, {0.f, -1.f, 0.f}, {0.5f, 0.f, -0.5f}};
        std::string value(reinterpret_cast<const char*>(&p), sizeof p);
        std::string binary = FieldRecord(5, Le(2.f)) + FieldRecord(5, Le(0.5f)) + FieldRecord(5, Le(4.f)) +
                             FieldRecord(5, Le(0.25f)) + FieldRecord(5, Le(8.f)) + FieldRecord(5, Le(0.125f)) +
                             FieldRecord(9, Le(1.f) + Le(2.f) + Le(3.f)) + FieldRecord(9, Le(0.f) + Le(-1.f) + Le(0.f)) +
                             FieldRecord(9, Le(0.5f) + Le(0.f) + Le(-0.5f));
        cases.push_back({"physics", Field_WritePhysics, Field_ReadPhysics, value,
                         CrLfLines({"f =", " mass [1] =", "2", " mass_inv [1] =", "0.5", " v_mag [1] =", "4",
                                    " v_mag_inv [1] =", "0.25", " I [1] =", "8", " k_i [1] =", "0.125", " v [1] =",
                                    "  x [1] =", "1", "  y [1] =", "2", "  z [1] =", "3", " omega [1] =", "  x [1] =", "0",
                                    "  y [1] =", "-1", "  z [1] =", "0", " Accel [1] =", "  x [1] =", "0.5", "  y [1] =",
                                    "0", "  z [1] =", "-0.5"}),
                         binary});
    }
    return cases;
}

class FieldKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(FieldKinds, WritesExactBytesInBothFormsAndReadsThemBack) {
    const KindCase& c = GetParam();
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        bool ok = false;
        const std::string written =
            CaptureFields(binary, [&](FILE* f) { return c.write(f, c.value.data(), c.value.size(), "f"); }, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(written, binary ? c.binary : c.text);

        // A second field behind it shows that the read consumed exactly its own bytes.
        const std::string stream = written + (binary ? FieldRecord(4, Le(int32_t{99})) : CrLfLines({"next [1] =", "99"}));
        FieldReadScope scope(stream, binary);
        std::string dest(c.value.size(), '\x5A');
        ASSERT_TRUE(c.read("f", dest.data(), dest.size()));
        std::string expected = c.value;
        if (!binary && c.textSkipsMatrixGap) expected.replace(kFieldMatrixGapOffset, 4, "\x5A\x5A\x5A\x5A");
        EXPECT_EQ(dest, expected);
        EXPECT_EQ(scope.Offset(), written.size());
        int32_t next = 0;
        EXPECT_TRUE(Field_ReadInt("next", &next));
        EXPECT_EQ(next, 99);
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, FieldKinds, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                             std::string name = info.param.kind;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

TEST(FieldArchive, PointerIsEightUpperCaseHexDigitsInTextAndTagEightInBinary) {
    const std::string text = CaptureFields(false, [](FILE* f) { return Field_WritePointerValue(f, 0x00AB12CD, "undefptr"); });
    EXPECT_EQ(text, CrLfLines({"undefptr = 00AB12CD"}));
    const std::string binary = CaptureFields(true, [](FILE* f) { return Field_WritePointerValue(f, 0x00AB12CD, "undefptr"); });
    EXPECT_EQ(binary, std::string("\x08\x00\x04\x00\xCD\x12\xAB\x00", 8));
    for (bool isBinary : {false, true}) {
        FieldReadScope scope(isBinary ? binary : text, isBinary);
        uint32_t value = 0;
        ASSERT_TRUE(Field_ReadPointer("undefptr", &value));
        EXPECT_EQ(value, 0x00AB12CDu);
    }
    // Values written by another printer ("0x" prefix, lower case) parse too; junk does not.
    for (auto [line, ok] : {std::pair{"p = 0xab12cd", true}, {"p = deadBEEF", true}, {"p = zz", false}, {"p 1234", false},
                            {"p = 123456789", false}}) {
        SCOPED_TRACE(line);
        FieldReadScope scope(CrLfLines({line}), false);
        uint32_t value = 0;
        EXPECT_EQ(Field_ReadPointer("p", &value), ok);
    }
}

TEST(FieldArchive, LabelIsALineInTextAndNothingInBinary) {
    EXPECT_EQ(CaptureFields(false, [](FILE* f) { return Field_WriteLabel(f, "[AOIs]"); }), "[AOIs]\r\n");
    EXPECT_EQ(CaptureFields(true, [](FILE* f) { return Field_WriteLabel(f, "[AOIs]"); }), "");
    {
        FieldReadScope scope(CrLfLines({"[AOIs] trailing", "[AiPaths]"}), false);
        EXPECT_TRUE(Field_ReadLabel("[AOIs]"));
        EXPECT_FALSE(Field_ReadLabel("[AiTasks]"));  // the wrong label fails but its line is consumed
        EXPECT_EQ(scope.Offset(), scope.Size());
        EXPECT_FALSE(Field_ReadLabel("[AOIs]"));  // nothing left
    }
    {
        FieldReadScope scope(CrLfLines({"[AO"}), false);
        EXPECT_FALSE(Field_ReadLabel("[AOIs]"));  // a shorter line never matches
    }
    FieldReadScope scope(FieldRecord(4, Le(int32_t{1})), true);
    EXPECT_TRUE(Field_ReadLabel("[AOIs]"));
    EXPECT_EQ(scope.Offset(), 0u);
}

TEST(FieldArchive, BinaryMismatchesFailAndKeepTheCursor) {
    const std::string record = FieldRecord(4, Le(int32_t{5}) + Le(int32_t{6}));
    FieldReadScope scope(record, true);
    int32_t values[2] = {};
    EXPECT_FALSE(Field_ReadInt("f", values, 4));  // length differs
    EXPECT_EQ(scope.Offset(), 0u);
    EXPECT_FALSE(Field_ReadFloat("f", values, 8));  // tag differs
    EXPECT_EQ(scope.Offset(), 0u);
    EXPECT_TRUE(Field_ReadInt("f", values, 8));
    EXPECT_EQ(values[1], 6);
}

TEST(FieldArchive, BinaryRecordsPastTheEndFail) {
    const std::string whole = FieldRecord(6, Le(1.0));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        FieldReadScope scope(whole.substr(0, cut), true);
        double value = 7.0;
        EXPECT_FALSE(Field_ReadDouble("d", &value, 8));
        EXPECT_EQ(value, 7.0);  // nothing stored from a cut record
        EXPECT_LE(scope.Offset(), cut);
    }
}

TEST(FieldArchive, TextCountWinsWithoutStoringPastTheDestination) {
    // Two ints read into room for one: the first is kept, both lines are consumed.
    FieldReadScope scope(CrLfLines({"f [2] =", "11", "22", "g [1] =", "33"}), false);
    int32_t one[2] = {0, -1};
    EXPECT_TRUE(Field_ReadInt("f", one, 4));
    EXPECT_EQ(one[0], 11);
    EXPECT_EQ(one[1], -1);
    int32_t g = 0;
    EXPECT_TRUE(Field_ReadInt("g", &g));
    EXPECT_EQ(g, 33);
}

TEST(FieldArchive, TextCountsOfZeroOrLessReadNothing) {
    FieldReadScope scope(CrLfLines({"f [0] =", "g [-4] =", "h [1] =", "5"}), false);
    int32_t v = 9;
    EXPECT_TRUE(Field_ReadInt("f", &v));
    EXPECT_TRUE(Field_ReadInt("g", &v));
    EXPECT_EQ(v, 9);
    EXPECT_TRUE(Field_ReadInt("h", &v));
    EXPECT_EQ(v, 5);
}

TEST(FieldArchive, TextElementsThatDoNotParseFail) {
    struct Bad {
        Reader read;
        size_t length;
        const char* line;
    };
    for (const Bad& bad : {Bad{Field_ReadInt, 4, "x12"}, Bad{Field_ReadInt, 4, "99999999999"},
                           Bad{Field_ReadShort, 2, "40000"}, Bad{Field_ReadUShort, 2, "-1"}, Bad{Field_ReadHex, 4, "g"},
                           Bad{Field_ReadFloat, 4, "abc"}, Bad{Field_ReadDouble, 8, ""}, Bad{Field_ReadBool, 1, "  "},
                           Bad{Field_ReadChar, 1, ""}}) {
        SCOPED_TRACE(bad.line);
        FieldReadScope scope(CrLfLines({"f [1] =", bad.line}), false);
        uint8_t dest[8] = {};
        EXPECT_FALSE(bad.read("f", dest, bad.length));
    }
    // A header without a count is no array field.
    FieldReadScope scope(CrLfLines({"f = 3", "3"}), false);
    int32_t v = 0;
    EXPECT_FALSE(Field_ReadInt("f", &v));
}

TEST(FieldArchive, NumbersParseLikeTheScannerWithLeadingBlanksAndTrailingText) {
    FieldReadScope scope(CrLfLines({"f [3] =", "  +12", "-7 apples", "\t4"}), false);
    int32_t v[3] = {};
    ASSERT_TRUE(Field_ReadInt("f", v, sizeof v));
    EXPECT_EQ(v[0], 12);
    EXPECT_EQ(v[1], -7);
    EXPECT_EQ(v[2], 4);
}

TEST(FieldArchive, BoolWordsAreTrueWhenTheyBeginWithT) {
    FieldReadScope scope(CrLfLines({"b [6] =", "T", "true false", "Yes", "false", "tomato", "  TRUE"}), false);
    uint8_t b[6] = {9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(Field_ReadBool("b", b, sizeof b));
    const uint8_t expected[6] = {1, 1, 0, 0, 1, 1};
    EXPECT_EQ(0, std::memcmp(b, expected, sizeof b));
}

TEST(FieldArchive, FixedStringsKeepBlanksAndEmptyTextAndAreCutToTheField) {
    {
        // An empty text round trips (the written line ends right after "= ").
        const char empty[8] = {};
        const std::string text = CaptureFields(false, [&](FILE* f) { return Field_WriteString(f, empty, 8, "s"); });
        EXPECT_EQ(text, "s = \r\n");
        FieldReadScope scope(text + CrLfLines({"t =", "u = x"}), false);
        char dest[8] = {'q', 'q', 'q', 'q', 'q', 'q', 'q', 'q'};
        EXPECT_TRUE(Field_ReadString("s", dest, 8));
        EXPECT_EQ(std::string(dest, 8), std::string(8, '\0'));
        EXPECT_TRUE(Field_ReadString("t", dest, 8));  // no blank after '=' either
        EXPECT_STREQ(dest, "");
        EXPECT_TRUE(Field_ReadString("u", dest, 8));
        EXPECT_STREQ(dest, "x");
    }
    {
        FieldReadScope scope(CrLfLines({"s = a much longer name", "s has no equals sign"}), false);
        char dest[6];
        EXPECT_TRUE(Field_ReadString("s", dest, sizeof dest));
        EXPECT_EQ(std::string(dest, 6), "a much");
        EXPECT_FALSE(Field_ReadString("s", dest, sizeof dest));
        EXPECT_EQ(dest[0], '\0');
    }
}

TEST(FieldArchive, RawBytesTextMustHoldEveryByteAsHex) {
    for (auto [line, ok] : {std::pair{"r = 0a0B", true}, {"r = 0a0", false}, {"r = 0x0b", false}, {"r 0a0b", false},
                            {"", false}, {"r = 0a0b0c", true}}) {
        SCOPED_TRACE(line);
        FieldReadScope scope(CrLfLines({line}), false);
        uint8_t dest[2] = {};
        EXPECT_EQ(Field_ReadBytes("r", dest, 2), ok);
        if (ok) {
            EXPECT_EQ(dest[0], 0x0A);
            EXPECT_EQ(dest[1], 0x0B);
        }
    }
}

TEST(FieldArchive, LastLineWithoutLineEndReadsToTheBufferEnd) {
    FieldReadScope scope("f [1] =\r\n42", false);
    int32_t v = 0;
    ASSERT_TRUE(Field_ReadInt("f", &v));
    EXPECT_EQ(v, 42);
    EXPECT_EQ(scope.Offset(), scope.Size());
    EXPECT_FALSE(Field_ReadInt("f", &v));
}

TEST(FieldArchive, TruncatedTextFailsAtEveryCut) {
    const float m[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 11, 0, 12, 0, 13, 0};
    const std::string text = CaptureFields(false, [&](FILE* f) { return Field_WriteMatrix(f, m, 64, "m"); });
    // Cutting anywhere before the last value line's digits must fail (never read past the end).
    const size_t lastDigits = text.rfind("\r\n", text.size() - 3) + 2;
    for (size_t cut = 0; cut < lastDigits; ++cut) {
        FieldReadScope scope(text.substr(0, cut), false);
        uint8_t dest[64];
        EXPECT_FALSE(Field_ReadMatrix("m", dest, 64)) << cut;
    }
}

TEST(FieldArchive, TextFloatsKeepSixDigitsAndBinaryKeepsEveryBit) {
    const double posit = 12.345678;
    const float right = 0.1f;
    for (bool binary : {false, true}) {
        const std::string stream = CaptureFields(binary, [&](FILE* f) {
            return Field_WriteDouble(f, &posit, 8, "d") && Field_WriteFloat(f, &right, 4, "f");
        });
        FieldReadScope scope(stream, binary);
        double d = 0;
        float fl = 0;
        ASSERT_TRUE(Field_ReadDouble("d", &d, 8) && Field_ReadFloat("f", &fl, 4));
        EXPECT_EQ(d, binary ? posit : 12.3457);
        EXPECT_EQ(fl, right);  // 0.1 survives six digits
    }
}

TEST(FieldArchive, OldStreamsHoldTheTwoDVectorAsRawBytes) {
    const float v[2] = {3.f, -2.f};
    for (bool binary : {false, true}) {
        const std::string stream = CaptureFields(binary, [&](FILE* f) { return Field_WriteBytes(f, v, 8, "v2"); });
        {
            FieldReadScope scope(stream, binary, 1002);
            float back[2] = {};
            ASSERT_TRUE(Field_ReadVector2D("v2", back, 8));
            EXPECT_EQ(back[0], 3.f);
            EXPECT_EQ(back[1], -2.f);
        }
        FieldReadScope scope(stream, binary, 1003);  // from 1003 on the same bytes are no 2-D vector
        float back[2] = {};
        EXPECT_FALSE(Field_ReadVector2D("v2", back, 8));
    }
}

TEST(FieldArchive, NamesInTheStreamAreNotCompared) {
    FieldReadScope scope(CrLfLines({"something else [1] =", "8"}), false);
    int32_t v = 0;
    EXPECT_TRUE(Field_ReadInt("count", &v));
    EXPECT_EQ(v, 8);
}

TEST(FieldArchive, ReadersFailOutsideAReadAndBeginEndHandTheBufferBack) {
    int32_t v = 0;
    EXPECT_FALSE(Field_IsReading());
    EXPECT_FALSE(Field_ReadInt("f", &v));
    Field_SetBinary(true);
    EXPECT_FALSE(Field_ReadLabel("x"));
    EXPECT_FALSE(Field_ReadInt("f", &v));
    Field_SetBinary(false);
    const char buffer[] = "f [1] =\r\n1\r\n";
    EXPECT_EQ(Field_BeginRead(buffer, sizeof buffer - 1), buffer);
    EXPECT_TRUE(Field_IsReading());
    EXPECT_EQ(Field_EndRead(), buffer);
    EXPECT_FALSE(Field_IsReading());
}

TEST(FieldArchive, WritersReportAStreamThatRefusesAndOversizedRecords) {
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_NE(readOnly, nullptr);
    const int32_t v = 1;
    for (bool binary : {false, true}) {
        Field_SetBinary(binary);
        EXPECT_FALSE(Field_WriteInt(readOnly, &v, 4, "f"));
        EXPECT_FALSE(Field_WritePointerValue(readOnly, 5, "undefptr"));
        EXPECT_FALSE(Field_WriteBytes(readOnly, &v, 4, "r"));
    }
    Field_SetBinary(false);
    std::fclose(readOnly);
    std::vector<uint8_t> big(kFieldMaxLength + 1);
    bool ok = true;
    CaptureFields(true, [&](FILE* f) { return Field_WriteBytes(f, big.data(), big.size(), "big"); }, &ok);
    EXPECT_FALSE(ok);
    const std::string max = CaptureFields(true, [&](FILE* f) { return Field_WriteBytes(f, big.data(), kFieldMaxLength, "m"); }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(max.substr(0, 4), std::string("\x00\x00\xFF\xFF", 4));
}

TEST(FieldArchive, MatrixRecordIsTheMatrixSaveForm) {
    Matrix m = kIdentityMatrix;
    m.right = {0.5f, -0.25f, 2.f};
    m.gap = 0xA1B2C3D4;
    m.posit = {1234.5678901, -0.125, 1e-9};
    uint8_t saveForm[kMatrixSaveSize];
    Matrix_WriteBytes(m, saveForm);
    const std::string binary = CaptureFields(true, [&](FILE* f) { return Field_WriteMatrix(f, &m, sizeof m, "m"); });
    EXPECT_EQ(binary, FieldRecord(11, std::string(reinterpret_cast<const char*>(saveForm), sizeof saveForm)));
    FieldReadScope scope(binary, true);
    Matrix back{};
    ASSERT_TRUE(Field_ReadMatrix("m", &back, sizeof back));
    EXPECT_EQ(0, std::memcmp(&back, &m, sizeof m));  // every bit, the gap included
}

TEST(FieldArchive, PhysicsNeedsItsWholeSize) {
    PhysicsState p{};
    EXPECT_FALSE(Field_WritePhysics(stdout, &p, 56, "p"));
    FieldReadScope scope(CrLfLines({"p ="}), false);
    EXPECT_FALSE(Field_ReadPhysics("p", &p, 64));
    EXPECT_EQ(scope.Offset(), 0u);
}

}  // namespace
