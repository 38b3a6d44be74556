#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/checksum.h"
#include "core/seams/render.h"
#include "render/picture.h"
#include "render/view.h"
#include "sprite_fixture.h"

class SpriteSceneTest : public SpriteTest {
protected:
    void SetUp() override {
        SpriteTest::SetUp();
        std::vector<content::ArchiveRecord> files;
        for (const content::NamedFile& f : content::SampleSpriteFiles()) files.push_back({f.name, f.bytes, false, 0});
        Install(files);
        const std::string font = content::FontFileBytes(content::SampleFont());
        FILE* f = std::fopen((root + "/kolta.fnt").c_str(), "wb");
        std::fwrite(font.data(), 1, font.size(), f);
        std::fclose(f);
        ASSERT_EQ(Sprite_LoadTable(), 1);
        Font_LoadMain();
        ASSERT_NE(Font_Main(), nullptr);
    }
};

// Text, aligned, scaled and silhouette sprites in one small frame, by exact bytes.
TEST_F(SpriteSceneTest, SmallSceneByExactBytes) {
    GraphicBuffer* frame = Target(160, 120, 0);
    BitmapFont* font = Font_Main();
    Font_SetColor(font, 15);
    Font_DrawText(font, frame, 4, 4, "SCORE\t42\nLIVES");
    Font_SetColor(font, 200);
    Font_DrawText(font, frame, 4, 30, "GRAVENHOLT");
    const int sun = Sprite_Find("sun"), smoke = Sprite_Find("lsmoke.12");
    ASSERT_GT(sun, 0);
    ASSERT_GT(smoke, 0);
    Sprite_Draw(frame, sun, 80, 60, kSpriteCentreX | kSpriteCentreY | 1);
    Sprite_Draw(frame, smoke, 159, 119, kSpriteRight | kSpriteBottom | 1);
    RenderView view;
    View_Init(&view, frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    Sprite_DrawScaled(&view, sun, 120, 20, 10, 32, 24, 1);
    TextColour = 200;
    Sprite_Draw(frame, Sprite_Find("<<< PAUSED >>>"), 80, 100, kSpriteCentreX | 5);

    // Spot checks that say what the checksum pins.
    EXPECT_EQ(At(frame, 4 + 32 + 0, 5), 15) << "the 4 of 42 after the tab";
    EXPECT_EQ(At(frame, 4, 4 + 8 + 2 + 1), 15) << "the L of LIVES on the second line";
    EXPECT_EQ(At(frame, 5, 31), 200) << "the G in the second colour";
    EXPECT_EQ(At(frame, 80, 60), 254) << "the sun's middle, centred";
    const Sprite& puff = Sprite_Get(smoke);
    EXPECT_EQ(At(frame, 159 - puff.width + puff.width / 2, 119 - puff.height + puff.height / 2), Sprite_CentreTexel(smoke))
        << "the smoke's middle, right and bottom aligned";
    EXPECT_EQ(At(frame, 159, 119), 0);

    uint8_t palette[kPicturePaletteSize];
    for (int i = 0; i < kPicturePaletteSize; ++i) palette[i] = static_cast<uint8_t>(i / 3);
    EXPECT_EQ(Picture_Write("sprite_scene.pcx", frame, palette), 1);  // under the build directory, to look at
    // Pinned again when the smoke became a 32-texel puff that thins out in its late frames; and
    // again when a late puff became a small solid one instead of one with holes.
    EXPECT_EQ(CRC32_Memory(frame->pixels, 160 * 120), 2962368255u);
}

// The game's own seam entries: the paused banner and the frame-rate text reach the screen.
TEST_F(SpriteSceneTest, SeamDrawsThePausedBannerAndTextOnTheSoftwareScreen) {
    Sprite_InstallSeam();
    GraphicBuffer& screen = g_graphicDriver.screen;
    const GraphicBuffer saved = screen;
    Graphic_InitBuffer(&screen, 160, 40, nullptr, kGraphicFormat8);
    Graphic_Clear(&screen, 0);
    RenderSeam& seam = Seam_Render();
    const int banner = seam.spriteFind("<<< PAUSED >>>");
    EXPECT_GT(banner, 0);
    seam.setSingleColourIndex(77);
    seam.spriteDraw(banner, 80, 20, 0x50005);
    int ink = 0;
    for (int i = 0; i < 160 * 40; ++i) ink += screen.pixels[i] == 77;
    EXPECT_GT(ink, 20);
    EXPECT_EQ(seam.fontHeight(), 8);
    EXPECT_EQ(seam.textWidth("AB"), 8);
    seam.drawText(0, 0, "1", 33);
    EXPECT_EQ(screen.pixels[1 * 160 + 1], 33);
    Graphic_FreeBuffer(&screen);
    screen = saved;
}
