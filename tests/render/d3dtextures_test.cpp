#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "d3d_fixture.h"
#include "render/sprite.h"
#include "render/texcache.h"
#include "texture_fixture.h"
#include "texture_writer.h"

namespace {

using Strings = std::vector<std::string>;

// A texture image: width field in row bytes, the kind as format word, then the texels.
struct Image {
    std::vector<uint8_t> bytes;
    const TextureImage* get() const { return reinterpret_cast<const TextureImage*>(bytes.data()); }
};

Image MakeImage(int width, int height, int kind, uint8_t seed = 0) {
    const int rowBytes = width << kind;
    Image image;
    image.bytes.assign(8 + static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
    image.bytes[0] = static_cast<uint8_t>(rowBytes);
    image.bytes[1] = static_cast<uint8_t>(rowBytes >> 8);
    image.bytes[2] = static_cast<uint8_t>(kind);
    image.bytes[4] = static_cast<uint8_t>(height);
    image.bytes[5] = static_cast<uint8_t>(height >> 8);
    for (size_t i = 8; i < image.bytes.size(); ++i) image.bytes[i] = static_cast<uint8_t>(seed + i * 7);
    // An 8-bit image holding the key colour goes up with alpha (below): these hold none.
    if (kind == 0)
        for (size_t i = 8; i < image.bytes.size(); ++i)
            if (image.bytes[i] == 255) image.bytes[i] = 254;
    return image;
}

class D3DTextureTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        Clock_Init();
        std::memcpy(saved16_, PaletteColors16, sizeof saved16_);
        std::memcpy(savedDark_, PaletteColorsDark16, sizeof savedDark_);
        ASSERT_TRUE(ChooseHardware());
        for (int i = 0; i < 256; ++i) {
            PaletteColors16[i] = static_cast<uint16_t>(0x1000 + i);
            PaletteColorsDark16[i] = static_cast<uint16_t>(0x2000 + i);
        }
        ClearLog();
    }
    void TearDown() override {
        std::memcpy(PaletteColors16, saved16_, sizeof saved16_);
        std::memcpy(PaletteColorsDark16, savedDark_, sizeof savedDark_);
        D3DFixture::TearDown();
    }
    static void NextFrames(int count) {
        for (int i = 0; i < count; ++i) Clock_Tick();
    }
    static GpuRecordedTexture Recorded(GpuTexture texture) {
        GpuRecordedTexture out;
        EXPECT_TRUE(Gpu_RecordedTextureOf(texture, &out));
        return out;
    }
    static uint16_t Word(const GpuRecordedTexture& t, int level, int x, int y) {
        const uint8_t* p = t.bits[static_cast<size_t>(level)].data() + y * t.pitch[static_cast<size_t>(level)] + x * 2;
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    uint16_t saved16_[256] = {};
    uint16_t savedDark_[256] = {};
};

TEST_F(D3DTextureTest, AnEightBitImageHoldingTheKeyColourGoesUpWithItsKeyTexelsClear) {
    uint32_t saved32[256];
    std::memcpy(saved32, PaletteColors32, sizeof saved32);
    PaletteColors32[7] = 0xFF10A0F0u;
    PaletteColors32[9] = 0xFFFFFFFFu;
    Image keyed = MakeImage(16, 16, 0);
    for (size_t i = 8; i < keyed.bytes.size(); ++i) keyed.bytes[i] = 7;
    keyed.bytes[8 + 3] = 255;           // (3, 0)
    keyed.bytes[8 + 16 * 15 + 15] = 9;  // (15, 15)
    const Image plain = MakeImage(16, 16, 0);
    ClearLog();
    const GpuTexture texture = TexMgr_Lookup(keyed.get(), true);
    ASSERT_NE(texture, 0u);
    EXPECT_EQ(Calls("createTexture"), (Strings{"createTexture 16x16 levels=1 argb4444 -> ok"}));
    const GpuRecordedTexture t = Recorded(texture);
    EXPECT_EQ(Word(t, 0, 3, 0), 0x0000) << "the key colour is clear";
    EXPECT_EQ(Word(t, 0, 0, 0), 0xF1AF) << "the others opaque, four bits a channel of their colour";
    EXPECT_EQ(Word(t, 0, 15, 15), 0xFFFF);
    EXPECT_TRUE(TexMgr_HasAlpha(keyed.get()));
    // Without the key colour: 5-6-5 and no alpha.
    ASSERT_NE(TexMgr_Lookup(plain.get(), true), 0u);
    EXPECT_FALSE(TexMgr_HasAlpha(plain.get()));
    EXPECT_EQ(Calls("createTexture").back(), "createTexture 16x16 levels=1 rgb565 -> ok");
    std::memcpy(PaletteColors32, saved32, sizeof saved32);
}

TEST_F(D3DTextureTest, SquareImagesBecome565Or4444Textures) {
    for (int kind : {0, 1})
        for (int side : {16, 32, 64, 128, 256}) {
            SCOPED_TRACE(std::to_string(side) + " kind " + std::to_string(kind));
            ClearLog();
            Image image = MakeImage(side, side, kind);
            const GpuTexture texture = TexMgr_Lookup(image.get(), true);
            ASSERT_NE(texture, 0u);
            const std::string format = kind ? "argb4444" : "rgb565";
            EXPECT_EQ(Calls("createTexture"), (Strings{"createTexture " + std::to_string(side) + "x" +
                                                       std::to_string(side) + " levels=1 " + format + " -> ok"}));
            EXPECT_TRUE(TexMgr_HasDeviceTexture(image.get()));
            // A second lookup finds it in the table.
            EXPECT_EQ(TexMgr_Lookup(image.get(), true), texture);
            EXPECT_EQ(Calls("createTexture").size(), 1u);
            TexMgr_ReleaseAll();
        }
}

TEST_F(D3DTextureTest, AnInvalidSizeDrawsUntexturedAfterOneWarning) {
    Image wide = MakeImage(64, 32, 0), odd = MakeImage(48, 48, 0), large = MakeImage(512, 512, 0);
    for (const Image* image : {&wide, &odd, &large}) {
        EXPECT_EQ(TexMgr_Lookup(image->get(), true), 0u);
        EXPECT_EQ(TexMgr_Lookup(image->get(), true), 0u);
        EXPECT_EQ(TexMgr_LookupCached(image->get(), true), 0u);
    }
    ASSERT_EQ(Plat_MessageBoxLog().size(), 3u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text.rfind("Invalid size 64x32 for ", 0), 0u);
    EXPECT_EQ(Plat_MessageBoxLog()[1].text.rfind("Invalid size 48x48 for ", 0), 0u);
    EXPECT_TRUE(Calls("createTexture").empty());
    EXPECT_FALSE(Graphic_TextureReloadPending());
}

TEST_F(D3DTextureTest, MipImagesFillFourLevelsAndAWrongSizedOneIsSkipped) {
    Image base = MakeImage(64, 64, 0), half = MakeImage(32, 32, 0), wrong = MakeImage(8, 8, 0),
          eighth = MakeImage(8, 8, 0, 3);
    const TextureImage* mips[3] = {half.get(), wrong.get(), eighth.get()};
    const GpuTexture texture = TexMgr_Ensure(base.get(), mips);
    ASSERT_NE(texture, 0u);
    EXPECT_EQ(Calls("createTexture"), (Strings{"createTexture 64x64 levels=4 rgb565 -> ok"}));
    const std::string t = std::to_string(texture);
    EXPECT_EQ(Calls("lockTexture"), (Strings{"lockTexture " + t + " level=0", "lockTexture " + t + " level=1",
                                              "lockTexture " + t + " level=3"}));
    ASSERT_EQ(D3DTraces().size(), 1u);
    EXPECT_NE(D3DTraces()[0].find(" is 8x8 instead of 16x16"), std::string::npos) << D3DTraces()[0];
    EXPECT_EQ(Word(Recorded(texture), 3, 1, 0), PaletteColors16[eighth.bytes[8 + 1]]);
    // Without "MipMaps" the same image is one level.
    TexMgr_ReleaseAll();
    RenderFlags &= ~kRenderMipMaps;
    ClearLog();
    ASSERT_NE(TexMgr_Ensure(base.get(), mips), 0u);
    EXPECT_EQ(Calls("createTexture"), (Strings{"createTexture 64x64 levels=1 rgb565 -> ok"}));
}

TEST_F(D3DTextureTest, TexelsAreConvertedRowByRowIntoAWiderPitch) {
    // A new device whose locks give rows 6 bytes wider than the texels.
    ResetDriver();
    Script().pitchPadding = 6;
    ASSERT_TRUE(ChooseHardware());
    for (int i = 0; i < 256; ++i) PaletteColors16[i] = static_cast<uint16_t>(0x1000 + i);
    Image indexed = MakeImage(16, 16, 0, 1), words = MakeImage(16, 16, 1, 5);
    const GpuRecordedTexture a = Recorded(TexMgr_Lookup(indexed.get(), true));
    const GpuRecordedTexture b = Recorded(TexMgr_Lookup(words.get(), true));
    ASSERT_EQ(a.pitch[0], 38);
    ASSERT_EQ(b.format, GpuFormat::Argb4444);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(Word(a, 0, x, y), PaletteColors16[indexed.bytes[8 + static_cast<size_t>(y * 16 + x)]]);
            const uint8_t* in = words.bytes.data() + 8 + (y * 32 + x * 2);
            ASSERT_EQ(Word(b, 0, x, y), in[0] | (in[1] << 8));
        }
        // The padding past each row stays as the device left it.
        EXPECT_EQ(a.bits[0][static_cast<size_t>(y * 38 + 32)], 0xEE);
        EXPECT_EQ(b.bits[0][static_cast<size_t>(y * 38 + 37)], 0xEE);
    }
}

TEST_F(D3DTextureTest, OutOfMemoryReusesTheOldestSameSizedTextureWithEveryLevel) {
    ResetDriver();
    Script().textureFailFrom = 3;  // the device holds two textures
    ASSERT_TRUE(ChooseHardware());
    RenderFlags |= kRenderPreload | kRenderLoadSprites;
    auto mipped = [](uint8_t seed) {
        std::vector<Image> set = {MakeImage(64, 64, 0, seed), MakeImage(32, 32, 0, seed), MakeImage(16, 16, 0, seed),
                                  MakeImage(8, 8, 0, seed)};
        return set;
    };
    std::vector<Image> a = mipped(1), b = mipped(2), c = mipped(3), d = mipped(4);
    auto ensure = [](std::vector<Image>& set) {
        const TextureImage* mips[3] = {set[1].get(), set[2].get(), set[3].get()};
        return TexMgr_Ensure(set[0].get(), mips);
    };
    const GpuTexture ta = ensure(a);
    const GpuTexture tb = ensure(b);
    ASSERT_NE(ta, 0u);
    ASSERT_NE(tb, 0u);
    NextFrames(2);
    TexMgr_Lookup(b[0].get(), true);  // b is in use this frame
    ClearLog();
    // a was last used before the previous frame: c takes its texture, every level of it.
    EXPECT_EQ(ensure(c), ta);
    const std::string t = std::to_string(ta);
    EXPECT_EQ(Calls("lockTexture"),
              (Strings{"lockTexture " + t + " level=0 discard", "lockTexture " + t + " level=1 discard",
                       "lockTexture " + t + " level=2 discard", "lockTexture " + t + " level=3 discard"}));
    EXPECT_EQ(Word(Recorded(ta), 2, 0, 0), PaletteColors16[c[2].bytes[8]]);
    EXPECT_EQ(TexMgr_Counters().reuses, 1u);
    EXPECT_FALSE(TexMgr_HasDeviceTexture(a[0].get()));
    EXPECT_TRUE(TexMgr_HasDeviceTexture(c[0].get()));
    EXPECT_FALSE(Graphic_TextureReloadPending());
    // Nothing old enough is left: none, the reload flag, and the preload settings are dropped.
    EXPECT_EQ(ensure(d), 0u);
    EXPECT_TRUE(Graphic_TextureReloadPending());
    EXPECT_EQ(RenderFlags & (kRenderPreload | kRenderLoadSprites), 0u);
    // While the flag is set nothing is created, and the end of the scene releases everything.
    Image other = MakeImage(32, 32, 0);
    EXPECT_EQ(TexMgr_Lookup(other.get(), true), 0u);
    ClearLog();
    EXPECT_EQ(D3D_EndScene(), 1);
    EXPECT_EQ(TexMgr_SlotCount(), 0);
    EXPECT_EQ(Calls("releaseTexture").size(), 2u);
    EXPECT_EQ(Gpu_RecordedLiveTextures(), 0);
}

TEST_F(D3DTextureTest, TheFiveHundredTwelfthTextureIsNotCreatedAndEveryOtherIsFound) {
    std::vector<Image> images;
    for (int i = 0; i < 512; ++i) images.push_back(MakeImage(16, 16, 0, static_cast<uint8_t>(i)));
    for (int i = 0; i < 511; ++i) ASSERT_NE(TexMgr_Lookup(images[static_cast<size_t>(i)].get(), true), 0u) << i;
    EXPECT_EQ(TexMgr_Lookup(images[511].get(), true), 0u);
    EXPECT_EQ(Calls("createTexture").size(), 511u);
    EXPECT_TRUE(Graphic_TextureReloadPending());
    // The table is keyed by full addresses (these lie far above 2^31) and stays sorted.
    const TexMgrSlot* slots = TexMgr_Slots();
    for (int i = 1; i < TexMgr_SlotCount(); ++i)
        ASSERT_LT(reinterpret_cast<uintptr_t>(slots[i - 1].texture), reinterpret_cast<uintptr_t>(slots[i].texture));
    const uint32_t hits = TexMgr_Counters().hits;
    for (int i = 0; i < 511; ++i) EXPECT_TRUE(TexMgr_HasDeviceTexture(images[static_cast<size_t>(i)].get())) << i;
    for (int i = 0; i < 511; ++i) TexMgr_Lookup(images[static_cast<size_t>(i)].get(), true);
    EXPECT_EQ(TexMgr_Counters().hits, hits + 511);
    D3D_EndScene();
    EXPECT_EQ(TexMgr_SlotCount(), 0);
    EXPECT_EQ(Calls("releaseTexture").size(), 511u);
}

TEST_F(D3DTextureTest, TheDarkTableHoldsForEveryLevelOfOneUploadAndEndsWithIt) {
    RenderFlags |= kRenderDarkColours;
    Image base = MakeImage(32, 32, 0, 1), m1 = MakeImage(16, 16, 0, 2), m2 = MakeImage(8, 8, 0, 3),
          m3 = MakeImage(4, 4, 0, 4);
    const TextureImage* mips[3] = {m1.get(), m2.get(), m3.get()};
    const GpuRecordedTexture dark = Recorded(TexMgr_Ensure(base.get(), mips));
    EXPECT_EQ(Word(dark, 0, 0, 0), PaletteColorsDark16[base.bytes[8]]);
    EXPECT_EQ(Word(dark, 1, 0, 0), PaletteColorsDark16[m1.bytes[8]]);
    EXPECT_EQ(Word(dark, 3, 0, 0), PaletteColorsDark16[m3.bytes[8]]);
    EXPECT_EQ(RenderFlags & kRenderDarkThisUpload, 0u);
    // Not allowed by the caller, or blocked by bit 0x800: the normal table.
    Image plain = MakeImage(16, 16, 0, 5);
    EXPECT_EQ(Word(Recorded(TexMgr_Lookup(plain.get(), false)), 0, 0, 0), PaletteColors16[plain.bytes[8]]);
    RenderFlags |= kRenderDarkBlocked;
    Image blocked = MakeImage(16, 16, 0, 6);
    EXPECT_EQ(Word(Recorded(TexMgr_Lookup(blocked.get(), true)), 0, 0, 0), PaletteColors16[blocked.bytes[8]]);
    // A failed creation leaves nothing behind for the next texture.
    RenderFlags &= ~kRenderDarkBlocked;
    ResetDriver();
    Script().textureFailFrom = 1;
    ASSERT_TRUE(ChooseHardware());
    RenderFlags |= kRenderDarkColours;
    Image failing = MakeImage(16, 16, 0, 7);
    EXPECT_EQ(TexMgr_Lookup(failing.get(), true), 0u);
    EXPECT_EQ(RenderFlags & kRenderDarkThisUpload, 0u);
}

TEST_F(D3DTextureTest, PreloadTakesTheTerrainListAndSpritePagesOfTheRightSizes) {
    static std::vector<Image> terrain;
    static std::vector<Image> pages;
    terrain.clear();
    pages.clear();
    // The built-in default first, then two groups of four: the first halves at every step, the
    // second does not.
    terrain.push_back(MakeImage(16, 16, 0));
    for (int side : {64, 32, 16, 8}) terrain.push_back(MakeImage(side, side, 0));
    for (int side : {32, 32, 8, 4}) terrain.push_back(MakeImage(side, side, 0));
    pages.push_back(MakeImage(128, 128, 1));
    pages.push_back(MakeImage(64, 64, 1));
    pages.push_back(MakeImage(256, 256, 1));
    TexMgrPreloadSources sources = {
        [](std::vector<const TextureImage*>* out) {
            for (const Image& image : terrain) out->push_back(image.get());
        },
        [](std::vector<const TextureImage*>*) {},
        [](std::vector<const TextureImage*>*) {},
        [](std::vector<const TextureImage*>*) {},
        [](std::vector<const TextureImage*>* out) {
            for (const Image& image : pages) out->push_back(image.get());
        },
        [](const TextureImage*) { return "t"; },
    };
    TexMgr_SetPreloadSources(&sources);
    RenderFlags |= kRenderLoadSprites;
    // The first lookup into an empty table preloads ("MipMaps" is on by default).
    Image other = MakeImage(16, 16, 0);
    ASSERT_NE(TexMgr_Lookup(other.get(), true), 0u);
    EXPECT_EQ(Calls("createTexture"),
              (Strings{"createTexture 64x64 levels=4 rgb565 -> ok", "createTexture 32x32 levels=1 rgb565 -> ok",
                       "createTexture 128x128 levels=1 argb4444 -> ok", "createTexture 256x256 levels=1 argb4444 -> ok",
                       "createTexture 16x16 levels=1 rgb565 -> ok"}));
    // Without "MipMaps" every terrain texture from the second on, one level each.
    TexMgr_ReleaseAll();
    RenderFlags &= ~(kRenderMipMaps | kRenderLoadSprites);
    ClearLog();
    TexMgr_Preload();
    // 64, 32, 16, 32, 32; the 8 x 8 and 4 x 4 images are below the smallest texture.
    EXPECT_EQ(Calls("createTexture").size(), 5u);
    EXPECT_FALSE(TexMgr_HasDeviceTexture(terrain[0].get()));
    TexMgr_SetPreloadSources(nullptr);
}

TEST(MapList, NamesAreLowerCasedWithTheMapExtensionAndCommentsSkipped) {
    const std::string text =
        "; textures the mission needs\r\n"
        "ROCK01.TGA grass\tSAND.bmp // trailing words\n"
        "// a whole line\n"
        "averylongname.map;comment\n"
        "\x01wall\x02\n";
    EXPECT_EQ(TexMgr_ParseMapList(text.data(), text.size()),
              (Strings{"rock01.map", "grass.map", "sand.map", "averylon.map", "wall.map"}));
    EXPECT_TRUE(TexMgr_ParseMapList("", 0).empty());
    EXPECT_TRUE(TexMgr_ParseMapList(";;;", 3).empty());
}

}  // namespace

namespace {

TEST(MapList, TheSampleListGivesItsNames) {
    const std::string text = content::SampleMapListText();
    std::vector<std::string> want(content::kSampleMapListNames,
                                  content::kSampleMapListNames + content::kSampleMapListNameCount);
    EXPECT_EQ(TexMgr_ParseMapList(text.data(), text.size()), want);
}

// The preload on the sample textures: "shadow.map" and every name of "map.lst" come through the
// texture cache into the table.
class PreloadListTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        ResetHardwareDriver();
        Plat_RegisterClass("Gravenholt", Plat_DefWindowProc);
        CmdLine_ResetGlobals();
        CmdLine_Globals().fullScreen = false;
        GraphicD3DFlags = 1;
        Render_ChooseDriver("Gravenholt");
    }
    void TearDown() override {
        ResetHardwareDriver();
        CmdLine_ResetGlobals();
        TextureTest::TearDown();
    }
};

TEST_F(PreloadListTest, TheListedTexturesAndTheShadowAreLoadedUpFront) {
    ASSERT_EQ(g_graphicDriver.driverKind, kDriverHardware);
    Install(content::SampleTextureRecords());
    RenderFlags |= kRenderPreload;
    Gpu_RecordingLog().clear();
    TexMgr_Preload();
    EXPECT_EQ(Gpu_RecordedCalls("createTexture").size(), 1u + content::kSampleMapListNameCount);
    std::vector<std::string> names(content::kSampleMapListNames,
                                   content::kSampleMapListNames + content::kSampleMapListNameCount);
    names.push_back("shadow.map");
    for (const std::string& name : names) {
        TextureImage* image = TexCache_Load(name.c_str());
        ASSERT_NE(image, nullptr) << name;
        EXPECT_TRUE(TexMgr_HasDeviceTexture(image)) << name;
    }
    EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace

namespace {

TEST_F(D3DTextureTest, TheDefaultPreloadTakesTheSpriteTablesPagesOnce) {
    Image page = MakeImage(128, 128, 1);
    Image small = MakeImage(64, 64, 1);
    Sprite_Reset();
    ASSERT_GT(Sprite_Append(page.bytes.data(), 0, 0, 16, 16), 0);
    ASSERT_GT(Sprite_Append(page.bytes.data(), 16, 0, 16, 16), 0);  // the same page again
    ASSERT_GT(Sprite_Append(small.bytes.data(), 0, 0, 8, 8), 0);
    TexMgr_SetPreloadSources(nullptr);
    RenderFlags = kRenderLoadSprites;
    TexMgr_Preload();
    EXPECT_EQ(Calls("createTexture"), (Strings{"createTexture 128x128 levels=1 argb4444 -> ok"}));
    EXPECT_TRUE(TexMgr_HasDeviceTexture(page.get()));
    Sprite_Reset();
}

}  // namespace
