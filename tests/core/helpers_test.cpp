#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/helpers.h"
#include "platform/clock.h"

namespace {

TEST(Helpers, ClampTestsTheLowerBoundFirst) {
    struct Case {
        int v, lo, hi, expected;
    };
    const Case cases[] = {
        {5, 0, 10, 5}, {-1, 0, 10, 0}, {11, 0, 10, 10}, {0, 0, 10, 0}, {10, 0, 10, 10},
        // lo > hi: lo for values below lo, hi for everything else.
        {3, 5, 2, 5}, {5, 5, 2, 2}, {9, 5, 2, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Math_ClampInt(c.v, c.lo, c.hi), c.expected) << c.v << " in " << c.lo << ".." << c.hi;
    EXPECT_EQ(Math_MinInt(-3, 2), -3);
    EXPECT_EQ(Math_MaxInt(-3, 2), 2);
    EXPECT_EQ(Math_MinFloat(1.5f, -0.5f), -0.5f);
    EXPECT_EQ(Math_MaxFloat(1.5f, -0.5f), 1.5f);
}

TEST(Helpers, StepWeightAndLerpClampedBoundaries) {
    const std::pair<float, int> weights[] = {{-1.0f, 100}, {2.999f, 100}, {3.0f, 3}, {4.99f, 3},
                                             {5.0f, 2},    {14.99f, 2},   {15.0f, 1}, {1e9f, 1}};
    for (auto [x, w] : weights) EXPECT_EQ(Math_StepWeight(x), w) << x;

    EXPECT_FLOAT_EQ(Math_LerpClamped(2.0f, 6.0f, 0.25f), 3.0f);
    EXPECT_FLOAT_EQ(Math_LerpClamped(2.0f, 6.0f, 0.0f), 2.0f);
    EXPECT_FLOAT_EQ(Math_LerpClamped(2.0f, 6.0f, 1.0f), 6.0f);
    // Outside 0..1 (a long frame, or a negative factor) snaps to the target.
    EXPECT_FLOAT_EQ(Math_LerpClamped(2.0f, 6.0f, 1.5f), 6.0f);
    EXPECT_FLOAT_EQ(Math_LerpClamped(2.0f, 6.0f, -0.1f), 6.0f);
}

TEST(Helpers, VectorArithmeticAndGroundDistances) {
    Vector a{1, 2, 3}, b{4, -6, 8}, out;
    Vec3_Set(out, 7, 8, 9);
    EXPECT_EQ(out.y, 8.0f);
    Vec3_Add(out, a, b);
    EXPECT_EQ(out.z, 11.0f);
    Vec3_Sub(out, a, b);
    EXPECT_EQ(out.y, 8.0f);
    Vec3_Scale(out, 2.0f, a);
    EXPECT_EQ(out.z, 6.0f);
    Vec3_AddScaled(out, a, 0.5f, b);  // a + b * s
    EXPECT_EQ(out.x, 3.0f);
    EXPECT_EQ(out.y, -1.0f);
    Vec3_Add(a, a, a);  // outputs may alias inputs
    EXPECT_EQ(a.x, 2.0f);
    Vec3_Copy(out, b);
    EXPECT_EQ(out.y, -6.0f);
    EXPECT_EQ(Vec3_Dot(Vector{1, 2, 3}, Vector{4, 5, 6}), 32.0f);
    EXPECT_EQ(Vec3_DistSq(Vector{1, 2, 3}, Vector{2, 4, 6}), 14.0f);
    EXPECT_EQ(Vec3_GroundDistSq(Vector{1, 100, 3}, Vector{4, -50, 7}), 25.0f);
    EXPECT_EQ(Vec3_GroundLengthSq(Vector{3, 99, 4}), 25.0f);
    EXPECT_EQ(Vec2_Length(3, 4), 5.0f);

    Matrix m = kIdentityMatrix;
    Matrix_SetPosition(m, Vector{1.5f, -2.0f, 1e6f});
    EXPECT_EQ(m.posit.z, 1e6);
    m.posit.x = 16777217.0;  // not a float
    Vector p;
    Matrix_GetPosition(p, m);
    EXPECT_EQ(p.x, 16777216.0f);
    EXPECT_EQ(p.y, -2.0f);
}

TEST(Helpers, SwapsAndFloatWrappers) {
    float x = 1, y = 2;
    Math_SwapFloat(&x, &y);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 1.0f);
    Math_SwapFloat(&x, &x);
    EXPECT_EQ(x, 2.0f);
    char c = 'a', d = 'b';
    Math_SwapChar(&c, &d);
    EXPECT_EQ(c, 'b');
    Math_SwapChar(&c, &c);
    EXPECT_EQ(c, 'b');

    EXPECT_EQ(Math_FabsF(-2.5f), 2.5f);
    EXPECT_EQ(Math_FloorF(-1.5f), -2.0f);
    EXPECT_EQ(Math_FloorF(1.5f), 1.0f);
    EXPECT_NEAR(Math_CosF(0.0f), 1.0f, 0.0f);
    EXPECT_NEAR(Math_SinF(1.5707964f), 1.0f, 1e-7f);
    EXPECT_NEAR(Math_AcosF(-1.0f), 3.1415927f, 1e-6f);
}

TEST(Helpers, MinStridedReadsTheDepthOfEachRecord) {
    // Records of six floats: x, y, depth, u, v, light.
    std::vector<float> records = {
        0, 0, 5.0f, 9, 9, 9,  //
        0, 0, -2.5f, -99, -99, -99,  //
        0, 0, 3.0f, 0, 0, 0,  //
    };
    EXPECT_EQ(Vec_MinStrided(records.data(), 3), -2.5f);
    EXPECT_EQ(Vec_MinStrided(records.data(), 1), 5.0f);
    EXPECT_EQ(Vec_MinStrided(records.data(), 0), 1e30f);
}

TEST(Helpers, SystemSecondsFollowThePlatformTimer) {
    Plat_UseVirtualClock(12345);
    EXPECT_DOUBLE_EQ(Clock_GetSystemSeconds(), 12.345);
    Plat_AdvanceVirtualClock(655);
    EXPECT_DOUBLE_EQ(Clock_GetSystemSeconds(), 13.0);
    Plat_UseRealClock();
}

TEST(Helpers, ShiftJisLeadTable) {
    const uint16_t* table = ShiftJis_LeadTable();
    std::vector<int> leads;
    for (int b = 0; b < 256; ++b)
        if (table[b]) leads.push_back(b);
    // 129..159 less 133 and 134, 224..238 less 235 and 236, and 250..252.
    std::vector<int> expected;
    for (int b = 129; b <= 159; ++b)
        if (b != 133 && b != 134) expected.push_back(b);
    for (int b = 224; b <= 238; ++b)
        if (b != 235 && b != 236) expected.push_back(b);
    for (int b = 250; b <= 252; ++b) expected.push_back(b);
    EXPECT_EQ(leads, expected);
    for (size_t i = 0; i < leads.size(); ++i) EXPECT_EQ(table[leads[i]], 192 * (i + 1)) << leads[i];
    EXPECT_EQ(ShiftJis_LeadTable(), table);  // built once
}

TEST(Helpers, CaseBlindCompareFoldsAsciiLettersOnly) {
    struct Case {
        const char* a;
        const char* b;
        size_t n;  // SIZE_MAX: the whole texts
        int sign;
    };
    const Case cases[] = {
        {"Player.ODF", "player.odf", SIZE_MAX, 0},
        {"abc", "ABD", SIZE_MAX, -1},
        {"abc", "ab", SIZE_MAX, 1},          // the longer text sorts after its prefix
        {"[", "A", SIZE_MAX, -1},            // letters fold to lower case before comparing
        {"_", "a", SIZE_MAX, -1},
        {"\xC9", "\xE9", SIZE_MAX, -1},      // bytes past ASCII stay as they are, compared unsigned
        {"\xE9", "z", SIZE_MAX, 1},
        {"NULLpart", "null", 4, 0},
        {"nul", "null", 4, -1},              // ends before n
        {"flagfile:x", "FLAGFILE:", 9, 0},
        {"anything", "other", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.a << " / " << c.b << " / " << c.n);
        const int got = c.n == SIZE_MAX ? Text_CompareNoCase(c.a, c.b) : Text_CompareNoCaseN(c.a, c.b, c.n);
        EXPECT_EQ((got > 0) - (got < 0), c.sign);
        const int back = c.n == SIZE_MAX ? Text_CompareNoCase(c.b, c.a) : Text_CompareNoCaseN(c.b, c.a, c.n);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
    }
}

}  // namespace
