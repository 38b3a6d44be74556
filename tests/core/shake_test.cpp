#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/shake.h"
#include "platform/random.h"
#include "tileimage.h"

namespace {

// ---- screen shake ----

struct ShakeFixture : ::testing::Test {
    struct Move {
        RenderView* view;
        int dx, dy;
    };
    static inline std::vector<Move> moves;
    static inline float frameTime = 0.05f;
    static inline bool ownEntity = true;

    void SetUp() override {
        moves.clear();
        frameTime = 0.05f;
        ownEntity = true;
        ShakeServices services{
            [] { return frameTime; },
            [] { return ownEntity; },
            [](RenderView* view, int dx, int dy) { moves.push_back(Move{view, dx, dy}); },
        };
        Shake_SetServices(&services);
        Shake_Reset();
    }
    void TearDown() override {
        Shake_SetServices(nullptr);
        Shake_Reset();
    }
};

RenderView* const kView = reinterpret_cast<RenderView*>(0x1000);

TEST_F(ShakeFixture, WeakerHitKeepsTheShakeStrongerRestartsIt) {
    EXPECT_FALSE(Shake_IsActive());
    Shake_Start(30.0f);
    ShakeState s = Shake_GetState();
    EXPECT_TRUE(s.shaking);
    EXPECT_TRUE(s.decaying);
    EXPECT_EQ(s.target, 30.0f);
    EXPECT_EQ(s.amplitude, 29.0f);

    Shake_Apply(kView);  // the target drops to 0 and the amplitude starts to fall
    ShakeState after = Shake_GetState();
    EXPECT_EQ(after.target, 0.0f);
    EXPECT_FLOAT_EQ(after.amplitude, 29.0f * 0.9f);

    Shake_Start(10.0f);  // above the dropped target of 0: a new, weaker shake starts
    EXPECT_EQ(Shake_GetState().target, 10.0f);
    EXPECT_EQ(Shake_GetState().amplitude, 9.0f);
    Shake_Start(5.0f);  // weaker than the current target: no change
    EXPECT_EQ(Shake_GetState().target, 10.0f);
    EXPECT_EQ(Shake_GetState().amplitude, 9.0f);
    Shake_Start(10.0f);  // equal: no change either
    EXPECT_EQ(Shake_GetState().amplitude, 9.0f);
    Shake_Start(40.0f);
    EXPECT_EQ(Shake_GetState().target, 40.0f);
    EXPECT_EQ(Shake_GetState().amplitude, 39.0f);
}

TEST_F(ShakeFixture, DecayMovesThePictureAndEnds) {
    Shake_Start(21.0f);
    int frames = 0;
    float last = 1e9f;
    while (Shake_IsActive() && frames < 1000) {
        Shake_Apply(kView);
        ++frames;
        float amp = Shake_GetState().amplitude;
        EXPECT_LT(amp, last);
        last = amp;
    }
    ASSERT_FALSE(Shake_IsActive());
    EXPECT_LE(Shake_GetState().amplitude, 1.0f);
    EXPECT_FALSE(Shake_GetState().decaying);
    // 20 * 0.9^n <= 1 first at n = 29.
    EXPECT_EQ(frames, 29);
    ASSERT_EQ(moves.size(), 29u);
    // First frame: amplitude 18 -> moved by (-18, -9); each move goes left and up by half as much.
    EXPECT_EQ(moves[0].view, kView);
    EXPECT_EQ(moves[0].dx, -18);
    EXPECT_EQ(moves[0].dy, -9);
    for (const auto& m : moves) {
        EXPECT_LE(m.dx, 0);
        EXPECT_LE(std::abs(m.dy * 2 - m.dx), 1);
    }
    // Not shaking: nothing happens.
    Shake_Apply(kView);
    EXPECT_EQ(moves.size(), 29u);
}

TEST_F(ShakeFixture, LongFrameSnapsToTheEndAndTheSwitchGatesTheMove) {
    frameTime = 0.6f;  // 2 dt above 1: the amplitude snaps to the target
    Shake_Start(50.0f);
    Shake_Apply(kView);
    EXPECT_FALSE(Shake_IsActive());
    EXPECT_EQ(Shake_GetState().amplitude, 0.0f);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].dx, 0);

    moves.clear();
    frameTime = 0.05f;
    ownEntity = false;
    Shake_Start(50.0f);
    Shake_Apply(kView);
    EXPECT_TRUE(moves.empty());
    EXPECT_FLOAT_EQ(Shake_GetState().amplitude, 49.0f * 0.9f);  // the state still moves on
}

// ---- random table ----

uint32_t g_lcg = 1;
int TestRand() {
    g_lcg = g_lcg * 214013u + 2531011u;
    return static_cast<int>((g_lcg >> 16) & 0x7FFF);
}
int g_constant = 0;
int ConstantRand() { return g_constant; }

TEST(RandomTable, FillIsDeterministicForASeedAndSpreadsAboutMinusOneToOne) {
    g_lcg = 7;
    Random_FillTableFrom(TestRand);
    std::vector<float> first(RandomTable_Values(), RandomTable_Values() + kRandomTableSize);
    g_lcg = 7;
    Random_FillTableFrom(TestRand);
    EXPECT_EQ(std::vector<float>(RandomTable_Values(), RandomTable_Values() + kRandomTableSize), first);
    g_lcg = 8;
    Random_FillTableFrom(TestRand);
    EXPECT_NE(std::vector<float>(RandomTable_Values(), RandomTable_Values() + kRandomTableSize), first);

    // Mean of five uniform values in [-1, 1]: mean 0, variance 1/15.
    double sum = 0, sumSq = 0;
    for (float v : first) {
        EXPECT_GE(v, -1.0f);
        EXPECT_LE(v, 1.0f);
        sum += v;
        sumSq += static_cast<double>(v) * v;
    }
    double mean = sum / kRandomTableSize;
    EXPECT_NEAR(mean, 0.0, 0.06);
    EXPECT_NEAR(sumSq / kRandomTableSize - mean * mean, 1.0 / 15.0, 0.02);
}

TEST(RandomTable, EntryFormulaAtTheEndsOfTheRange) {
    const std::pair<int, float> cases[] = {
        {0, -1.0f},
        {32767, static_cast<float>(1073741823.0 / 536870912.0 - 1.0)},  // 32767 * 0x8001 = 2^30 - 1
        {16384, static_cast<float>(16384.0 * 32769.0 / 536870912.0 - 1.0)},
    };
    for (auto [r, expected] : cases) {
        g_constant = r;
        Random_FillTableFrom(ConstantRand);
        for (int i = 0; i < kRandomTableSize; ++i) ASSERT_FLOAT_EQ(RandomTable_Values()[i], expected) << r;
    }
}

TEST(RandomTable, PlatformGeneratorSeedRepeatsTheTable) {
    Random_Seed(99);
    Random_FillTable();
    std::vector<float> first(RandomTable_Values(), RandomTable_Values() + kRandomTableSize);
    Random_Seed(99);
    Random_FillTable();
    EXPECT_EQ(std::vector<float>(RandomTable_Values(), RandomTable_Values() + kRandomTableSize), first);
}

TEST(RandomTable, CursorAdvancesBeforeReadingAndWraps) {
    g_lcg = 3;
    Random_FillTableFrom(TestRand);
    const float* values = RandomTable_Values();
    RandomTable_SetIndex(254);
    EXPECT_EQ(RandomTable_Next(), values[255]);
    EXPECT_EQ(RandomTable_Next(), values[0]);
    EXPECT_EQ(RandomTable_GetIndex(), 0);
    EXPECT_EQ(RandomTable_Next(), values[1]);
    // Re-seeding the cursor replays the same values (the bolt's fixed shape relies on it).
    RandomTable_SetIndex(40);
    float a = RandomTable_Next(), b = RandomTable_Next();
    RandomTable_SetIndex(40);
    EXPECT_EQ(RandomTable_Next(), a);
    EXPECT_EQ(RandomTable_Next(), b);
}

// ---- noise ----

TEST(Noise, PermutationAndFade) {
    const uint8_t* perm = Noise_Permutation();
    std::vector<int> seen(256, 0);
    for (int i = 0; i < 256; ++i) ++seen[perm[i]];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);
    int fixedPoints = 0;
    for (int i = 0; i < 256; ++i) fixedPoints += perm[i] == i;
    EXPECT_LT(fixedPoints, 10);  // shuffled, not the identity

    EXPECT_EQ(Noise_Fade(0.0f), 0.0f);
    EXPECT_EQ(Noise_Fade(1.0f), 1.0f);
    EXPECT_EQ(Noise_Fade(0.5f), 0.5f);
    EXPECT_NEAR(Noise_Fade(0.25f), 6 * std::pow(0.25, 5) - 15 * std::pow(0.25, 4) + 10 * std::pow(0.25, 3), 1e-7);
}

TEST(Noise, ZeroAtIntegersSmoothAndBounded) {
    for (float x : {0.0f, 1.0f, -1.0f, 7.0f, -300.0f, 255.0f, 256.0f, 100000.0f, 3e7f})
        EXPECT_EQ(Noise_Gradient1D(x), 0.0f) << x;
    // Continuous everywhere, also across the half-way points: small steps give small changes.
    float worstJump = 0, worstValue = 0, prev = Noise_Gradient1D(-600.0f);
    bool varied = false;
    for (int k = 1; k <= 1200 * 64; ++k) {
        float x = -600.0f + k / 64.0f;
        float v = Noise_Gradient1D(x);
        worstJump = std::max(worstJump, std::fabs(v - prev));
        worstValue = std::max(worstValue, std::fabs(v));
        varied |= std::fabs(v) > 0.1f;
        prev = v;
    }
    EXPECT_LT(worstJump, 0.05f);  // slope at most about 2.3 per unit
    EXPECT_LE(worstValue, 1.0f);
    EXPECT_TRUE(varied);
    // The same argument always gives the same value; the pattern repeats every 256 units.
    EXPECT_EQ(Noise_Gradient1D(17.3f), Noise_Gradient1D(17.3f));
    EXPECT_NEAR(Noise_Gradient1D(3.25f), Noise_Gradient1D(3.25f + 256.0f), 1e-4f);
    EXPECT_EQ(Noise_Gradient1D(NAN), 0.0f);
}

// ---- tile image decoder ----

void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

std::vector<uint8_t> TileInput(uint16_t format, uint16_t width, int32_t height, const std::vector<uint16_t>& codes) {
    std::vector<uint8_t> b(kTileImageHeaderSize + 2 * codes.size(), 0);
    PutU16(b, 0, format);
    PutU16(b, 2, width);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
    std::memcpy(b.data() + 8, "book.cbk", 8);  // the name field is not the decoder's business
    for (size_t i = 0; i < codes.size(); ++i) PutU16(b, kTileImageHeaderSize + 2 * i, codes[i]);
    return b;
}

// Entry e's pixel (r, c) = e * 16 + r * 4 + c + 1, so every pixel tells where it came from.
std::vector<uint8_t> CodeBook(int entries) {
    std::vector<uint8_t> b(kTileCodeBookHeaderSize + 16 * entries, 0xCC);
    for (int e = 0; e < entries; ++e)
        for (int i = 0; i < 16; ++i) b[kTileCodeBookHeaderSize + 16 * e + i] = static_cast<uint8_t>(e * 16 + i + 1);
    return b;
}

TEST(TileImage, SixBySixDecodesFourTilesThreeClipped) {
    // Tiles: entry 1 (full), solid 0xAB (2 wide), entry 2 (2 high), solid 0x07 (2 x 2).
    auto input = TileInput(0x1234, 6, 6, {1, 0x80AB, 2, 0x8007});
    auto book = CodeBook(3);
    ASSERT_EQ(TileImage_InputSize(input.data(), input.size()), input.size());
    ASSERT_EQ(TileImage_OutputSize(input.data(), input.size()), 8u + 36u);
    std::vector<uint8_t> out(8 + 36, 0xEE);
    ASSERT_EQ(TileImage_Decode(input.data(), input.size(), book.data(), book.size(), out.data(), out.size()), 1);
    const uint8_t header[8] = {6, 0, 0x34, 0x12, 6, 0, 0, 0};  // width, format word, height
    EXPECT_EQ(std::memcmp(out.data(), header, 8), 0);
    const uint8_t expected[36] = {
        17, 18, 19, 20, 0xAB, 0xAB,  //
        21, 22, 23, 24, 0xAB, 0xAB,  //
        25, 26, 27, 28, 0xAB, 0xAB,  //
        29, 30, 31, 32, 0xAB, 0xAB,  //
        33, 34, 35, 36, 0x07, 0x07,  //
        37, 38, 39, 40, 0x07, 0x07,  //
    };
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.end()), std::vector<uint8_t>(expected, expected + 36));
}

TEST(TileImage, RefusesShortOrInconsistentInputWithoutWriting) {
    auto good = TileInput(0, 6, 6, {0, 1, 0x8001, 2});
    auto book = CodeBook(3);
    std::vector<uint8_t> out(8 + 36, 0xEE);
    const std::vector<uint8_t> untouched = out;
    auto decode = [&](const std::vector<uint8_t>& in, size_t inSize, const uint8_t* cb, size_t cbSize, size_t outSize) {
        return TileImage_Decode(in.data(), inSize, cb, cbSize, out.data(), outSize);
    };

    EXPECT_EQ(decode(good, 23, book.data(), book.size(), out.size()), 0);               // short header
    EXPECT_EQ(decode(good, good.size() - 1, book.data(), book.size(), out.size()), 0);  // last code cut
    EXPECT_EQ(decode(good, good.size(), book.data(), book.size(), out.size() - 1), 0);  // output one short
    EXPECT_EQ(decode(good, good.size(), book.data(), book.size() - 1, out.size()), 0);  // entry 2 cut
    EXPECT_EQ(decode(good, good.size(), nullptr, 0, out.size()), 0);                     // no code book
    auto pastBook = TileInput(0, 6, 6, {0, 1, 0x8001, 3});
    EXPECT_EQ(decode(pastBook, pastBook.size(), book.data(), book.size(), out.size()), 0);
    auto bigCode = TileInput(0, 4, 4, {0x7FFF});
    EXPECT_EQ(decode(bigCode, bigCode.size(), book.data(), book.size(), out.size()), 0);
    auto negative = TileInput(0, 4, -4, {0});
    EXPECT_EQ(decode(negative, negative.size(), book.data(), book.size(), out.size()), 0);
    EXPECT_EQ(TileImage_InputSize(negative.data(), negative.size()), 0u);
    EXPECT_EQ(TileImage_OutputSize(good.data(), 10), 0u);
    // A huge size claimed by a short file.
    auto huge = TileInput(0, 65535, 0x7FFFFFFF, {0x8000});
    EXPECT_EQ(decode(huge, huge.size(), book.data(), book.size(), out.size()), 0);
    EXPECT_EQ(TileImage_Decode(nullptr, 0, book.data(), book.size(), out.data(), out.size()), 0);
    EXPECT_EQ(out, untouched);

    EXPECT_EQ(decode(good, good.size(), book.data(), book.size(), out.size()), 1);
    // Solid tiles need no code book; an empty image needs no codes.
    auto solid = TileInput(9, 3, 2, {0x8042});
    EXPECT_EQ(decode(solid, solid.size(), nullptr, 0, 8 + 6), 1);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.begin() + 14), std::vector<uint8_t>(6, 0x42));
    auto empty = TileInput(5, 0, 1000, {});
    EXPECT_EQ(decode(empty, empty.size(), nullptr, 0, 8), 1);
    EXPECT_EQ(out[2], 5);
    EXPECT_EQ(out[4] | out[5] << 8, 1000);
}

TEST(TileImage, RandomImagesOfEverySizeRoundTrip) {
    uint32_t s = 77;
    auto next = [&] {
        s = s * 1664525u + 1013904223u;
        return s >> 24;
    };
    for (int w = 1; w <= 13; ++w) {
        for (int h = 1; h <= 11; ++h) {
            std::vector<uint8_t> pixels(w * h);
            // Mostly random, with some uniform patches to exercise solid codes.
            for (int i = 0; i < w * h; ++i) pixels[i] = (next() & 3) ? static_cast<uint8_t>(next()) : 0x55;
            if (w >= 4 && h >= 4)
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) pixels[r * w + c] = 0x99;
            content::TileImageFiles e;
            ASSERT_TRUE(content::EncodeTileImage(pixels, w, h, 0xBEEF, "tiles.cbk", &e));
            std::vector<uint8_t> out(8 + w * h + 3, 0xEE);
            ASSERT_EQ(TileImage_Decode(e.image.data(), e.image.size(), e.codeBook.data(), e.codeBook.size(),
                                       out.data(), out.size()),
                      1)
                << w << "x" << h;
            EXPECT_EQ(out[0] | out[1] << 8, w);
            EXPECT_EQ(out[2] | out[3] << 8, 0xBEEF);
            EXPECT_EQ(out[4] | out[5] << 8, h);
            EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.begin() + 8 + w * h), pixels) << w << "x" << h;
            EXPECT_EQ(out[8 + w * h], 0xEE);  // nothing written past the image
        }
    }
}

}  // namespace
