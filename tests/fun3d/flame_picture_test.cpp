#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/gamesettings.h"
#include "core/mathlib.h"
#include "effect_definitions.h"
#include "picture_fixture.h"
#include "weapons/spriteeffects.h"

namespace {

// The sample world's engine flame drawn by the software renderer: the effect's definition and the
// sample sprites, one flame seen from the side.
class FlamePictureTest : public PictureFixture {
protected:
    void SetUp() override {
        PictureFixture::SetUp();
        std::vector<content::NamedDefinition> files;
        std::string error;
        ASSERT_TRUE(content::EffectDefinitions(&files, &error)) << error;
        for (const content::NamedDefinition& f : files) AddFile(f.name, f.text);
        Game_Settings().effectsOn = true;
        Game_Settings().effectDetail = 1;
        EngineFlame_Effect().MissionSetup();
    }
    void TearDown() override {
        EngineFlame_Effect().Clear();
        PictureFixture::TearDown();
    }
};

constexpr uint8_t kGround = 1;

// The rows a column of the frame holds flame in.
int RowsInColumn(const GraphicBuffer& frame, int x) {
    int rows = 0;
    for (int y = 0; y < frame.height; ++y) rows += frame.pixels[y * frame.width + x] != kGround;
    return rows;
}

// A flame seen from the side, pointing to the right, root at the left: it is widest at its root
// and narrows to its tip, whichever way its crossed quads are turned about its length, and it
// shades from its hot core out to a rim of other colours instead of filling a hard-edged strip.
TEST_F(FlamePictureTest, AFlameNarrowsFromItsRootToItsTipAndShadesToItsRim) {
    for (float turn : {0.0f, 0.6f, 1.2f}) {
        SCOPED_TRACE(turn);
        GraphicBuffer frame;
        RenderView view;
        OpenFrame(&frame, &view, 160, 120);
        Graphic_Clear(&frame, kGround);
        Matrix flame = Matrix_FromPositionDirection(DVector{-3.0, 0.0, 10.0}, Vector{1.0f, 0.0f, 0.0f});
        // Turned about its own length, as the craft turns its flames.
        const float c = std::cos(turn), s = std::sin(turn);
        const Vector right = flame.right, up = flame.up;
        flame.right = Vector{c * right.x + s * up.x, c * right.y + s * up.y, c * right.z + s * up.z};
        flame.up = Vector{c * up.x - s * right.x, c * up.y - s * right.y, c * up.z - s * right.z};
        EngineFlame_Effect().Frame();
        EngineFlame_Effect().Add(flame, 1.0f);
        EngineFlame_Effect().Render(&view);
        RenderQueue_Flush(&view);
        SavePicture(frame, "engine_flame.ppm");

        // The flame's columns on the screen, from its root to its tip.
        int first = -1, last = -1;
        for (int x = 0; x < frame.width; ++x)
            if (RowsInColumn(frame, x) > 0) {
                if (first < 0) first = x;
                last = x;
            }
        ASSERT_GE(last - first, 20) << "the flame lies across the view";
        const int third = (last - first) / 3;
        int root = 0, tip = 0;
        for (int x = first; x < first + third; ++x) root += RowsInColumn(frame, x);
        for (int x = last - third + 1; x <= last; ++x) tip += RowsInColumn(frame, x);
        EXPECT_GT(root, 2 * tip) << "wide at the root, narrow at the tip: picture engine_flame.ppm";
        std::set<uint8_t> colours;
        for (int i = 0; i < frame.width * frame.height; ++i)
            if (frame.pixels[i] != kGround) colours.insert(frame.pixels[i]);
        EXPECT_GE(colours.size(), 3u) << "a hot core shading out to its rim";
        Graphic_FreeBuffer(&frame);
    }
}

}  // namespace
