#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Terrain/terramap.h"
#include "render/clip.h"
#include "render/graphicdriver.h"
#include "render/groundsprite.h"
#include "render/sprite.h"
#include "render/view.h"
#include "support/state_reset.h"

namespace {

struct Piece {
    bool hardware;
    std::vector<RenderVertex> vertices;
    const TextureImage* texture;
    uint32_t flags;
    uint32_t tint;
};
std::vector<Piece>& Pieces() {
    static std::vector<Piece> pieces;
    return pieces;
}
void Record(bool hardware, const RenderVertex* v, int n, const TextureImage* texture, uint32_t flags) {
    Pieces().push_back({hardware, std::vector<RenderVertex>(v, v + n), texture, flags, CurrentTint});
}

RenderVertex UV(float u, float v, float x = 0) { return RenderVertex{x, 0, 1, u, v, 1.0f}; }

class GroundSpriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramStateForTest();
        Terrain_FreeAll();  // flat default ground
        cellSize_ = TerrainCellSize;
        TerrainCellSize = 10.0f;
        static const GroundDrawers kRecorders = {
            [](const RenderView*, const RenderVertex* v, int n, const TextureImage* t, uint32_t f) {
                Record(true, v, n, t, f);
            },
            [](const RenderView*, const RenderVertex* v, int n, const TextureImage* t, uint32_t f) {
                Record(false, v, n, t, f);
            }};
        Ground_SetDrawers(&kRecorders);
        Pieces().clear();
        Graphic_InitBuffer(&buffer_, 640, 480, nullptr, kGraphicFormat8);
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        // Looking straight down from 50 m above (5, 5): view x = x - 5, y = z - 5, depth = 50 - y.
        Matrix& m = view_.viewMatrix;
        m.right = {1, 0, 0};
        m.up = {0, 0, -1};
        m.front = {0, 1, 0};
        m.posit = {-5, -5, 50};
        // A 64 x 64 page; the sprite is its rectangle (16, 32) to (48, 48).
        page_.assign(8 + 64 * 64, 1);
        page_[0] = 64, page_[1] = 0, page_[2] = 0, page_[3] = 0;
        page_[4] = 64, page_[5] = page_[6] = page_[7] = 0;
        sprite_ = Sprite_Append(page_.data(), 16, 32, 32, 16);
        ASSERT_GT(sprite_, 0);
    }
    void TearDown() override {
        Ground_SetDrawers(nullptr);
        Graphic_FreeBuffer(&buffer_);
        TerrainCellSize = cellSize_;
        GraphicD3DFlags = 0;
        ResetProgramStateForTest();
    }
    GraphicBuffer buffer_;
    RenderView view_{};
    std::vector<uint8_t> page_;
    int sprite_ = 0;
    float cellSize_ = 0;
};

TEST_F(GroundSpriteTest, ClippingToTheUnitSquare) {
    struct Case {
        const char* what;
        std::vector<RenderVertex> in;
        int want;
    };
    const Case cases[] = {
        {"all beyond u = 0", {UV(-0.5f, 0), UV(-0.1f, 0.5f), UV(-2, 2)}, 0},
        {"inside", {UV(0, 0), UV(0.99f, 0), UV(0.5f, 0.99f)}, 3},
        {"a pass that empties", {UV(-1, 0.5f), UV(0.5f, 2), UV(-0.5f, 1.5f)}, 0},
        {"crossing u = 1 and v = 0", {UV(0.5f, -0.5f, 0), UV(1.5f, 0.5f, 10), UV(0.5f, 0.5f, 20)}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RenderVertex out[kClipUVMaxInput + 4];
        const int n = Poly_ClipUV(int(c.in.size()), c.in.data(), out);
        ASSERT_EQ(n, c.want);
        bool onU1 = false, onV0 = false;
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(out[i].u, 0.0f);
            EXPECT_LE(out[i].u, 1.0f);
            EXPECT_GE(out[i].v, 0.0f);
            EXPECT_LE(out[i].v, 1.0f);
            onU1 |= out[i].u == 1.0f;
            onV0 |= out[i].v == 0.0f;
        }
        if (c.want == 4) {
            EXPECT_TRUE(onU1 && onV0) << "crossings land exactly on the boundary";
            // x follows u along the edge: u = 1 is crossed halfway from x 10 to x 20.
            for (int i = 0; i < n; ++i) {
                if (out[i].u == 1.0f && out[i].v > 0.0f) {
                    EXPECT_FLOAT_EQ(out[i].x, 15.0f);
                }
            }
        }
        if (c.want == 3) {
            EXPECT_EQ(std::memcmp(out, c.in.data(), sizeof(RenderVertex) * 3), 0);
        }
    }
    RenderVertex out[kClipUVMaxInput + 4];
    std::vector<RenderVertex> tooMany(kClipUVMaxInput + 1, UV(0.5f, 0.5f));
    EXPECT_EQ(Poly_ClipUV(int(tooMany.size()), tooMany.data(), out), 0);
}

TEST_F(GroundSpriteTest, ASpriteInOneCellDrawsThatCellsTrianglesMappedIntoTheSprite) {
    const float centre[3] = {5, 0, 5};
    // The flat default ground's height (what the loaded maps left as their base).
    const float ground = float(*Terrain_GetCell(0, 0) & 0xFFF) * 0.1f + 0.1f;
    for (uint32_t hardware : {0u, 1u}) {
        SCOPED_TRACE(hardware);
        GraphicD3DFlags = hardware;
        Pieces().clear();
        ASSERT_EQ(Ground_DrawSprite(&view_, centre, 2.0f, sprite_, 3), 1);
        EXPECT_EQ(CurrentTint, 0xFFFFFFu);
        // The range starts a cell early, but only cell (0, 0) lies under the square.
        ASSERT_EQ(Pieces().size(), 2u);
        for (const Piece& p : Pieces()) {
            EXPECT_EQ(p.hardware, hardware != 0);
            EXPECT_EQ(p.texture, reinterpret_cast<const TextureImage*>(page_.data()));
            EXPECT_EQ(p.flags, SpriteQuadModes[3] + 0x10);
            EXPECT_EQ(p.tint, SpriteColors[0]);
            for (const RenderVertex& v : p.vertices) {
                EXPECT_GE(v.u, 0.25f - 1e-6f);
                EXPECT_LE(v.u, 0.75f + 1e-6f);
                EXPECT_GE(v.v, 0.5f - 1e-6f);
                EXPECT_LE(v.v, 0.75f + 1e-6f);
                // View space: within the square (3..7 on x and z), on the flat ground.
                EXPECT_GE(v.x, -2.0f - 1e-4f);
                EXPECT_LE(v.x, 2.0f + 1e-4f);
                EXPECT_NEAR(v.z, 50.0f - ground, 1e-4f);
                if (hardware) {
                    EXPECT_EQ(v.colour, kColourWordFull);
                } else {
                    EXPECT_EQ(v.shade, 1.0f);
                }
            }
        }
    }
    // The square's corner (3, 3) lands on the sprite's corner.
    bool corner = false;
    for (const Piece& p : Pieces())
        for (const RenderVertex& v : p.vertices)
            corner |= std::fabs(v.u - 0.25f) < 1e-6f && std::fabs(v.v - 0.5f) < 1e-6f && std::fabs(v.x + 2.0f) < 1e-4f;
    EXPECT_TRUE(corner);
}

TEST_F(GroundSpriteTest, DegenerateSizesDrawNothing) {
    const float centre[3] = {5, 0, 5};
    EXPECT_EQ(Ground_DrawSprite(&view_, centre, 0.0f, sprite_, 0), 0);
    EXPECT_EQ(CurrentTint, 0xFFFFFFu);
    EXPECT_EQ(Ground_DrawTexture(&view_, centre, 0.000001f, 4.0f, nullptr, 0x04), 0);
    EXPECT_EQ(Ground_DrawTexture(&view_, centre, 4.0f, 0.0f, nullptr, 0x04), 0);
    EXPECT_TRUE(Pieces().empty());
    // A whole texture over a cell and a half: the pieces cover 0..1 without the sprite mapping.
    EXPECT_EQ(Ground_DrawTexture(&view_, centre, 15.0f, 4.0f, nullptr, 0x04), 1);
    ASSERT_FALSE(Pieces().empty());
    float maxU = 0;
    for (const Piece& p : Pieces()) {
        EXPECT_EQ(p.flags, 0x04u);
        for (const RenderVertex& v : p.vertices) maxU = std::max(maxU, v.u);
    }
    EXPECT_FLOAT_EQ(maxU, 1.0f);
}

}  // namespace
