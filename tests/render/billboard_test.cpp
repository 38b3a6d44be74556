#include <gtest/gtest.h>

#include "core/seams/render.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/view.h"

namespace {

class BillboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RenderQueue_Init(), 1);
        Graphic_InitBuffer(&buf, 64, 64, nullptr, kGraphicFormat8);
        View_Init(&view, &buf, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);  // the eye at (0, 1, 0), looking along z
    }
    void TearDown() override {
        RenderQueue_Close();
        Graphic_FreeBuffer(&buf);
    }
    GraphicBuffer buf{};
    RenderView view{};
};

TEST_F(BillboardTest, ASphereInViewIsQueuedAtItsProjectedCentreAndNearDepth) {
    const float ahead[3] = {0.0f, 1.0f, 10.0f};
    ASSERT_TRUE(Render_QueueBillboard(&view, ahead, 2.0f, 37));
    const RenderBucket& bucket = RenderQueue_Bucket(RenderQueue_BucketOf(8.0f));
    ASSERT_EQ(bucket.count, 1u) << "keyed by the near depth z - radius";
    const RenderItem* item = RenderQueue_Item(bucket.head);
    EXPECT_EQ(item->kind, static_cast<uint32_t>(kRenderBillboard));
    EXPECT_EQ(item->ref, 37u);
    EXPECT_EQ(item->flags, 0x50004u);
    const auto p = RenderItem_GetPayload<RenderBillboardPayload>(item);
    EXPECT_FLOAT_EQ(p.x, view.centreX);
    EXPECT_FLOAT_EQ(p.y, view.centreY);
    EXPECT_FLOAT_EQ(p.range, 10.0f);
    EXPECT_FLOAT_EQ(p.size, 2.0f * view.scaleX * 2.0f / 10.0f);
    EXPECT_FLOAT_EQ(p.fifth, 2.0f * view.scaleY * -2.0f / 10.0f);
    EXPECT_FLOAT_EQ(p.radius, 2.0f);
    EXPECT_FLOAT_EQ(p.centre[2], 10.0f);
}

TEST_F(BillboardTest, ASphereOutsideTheViewOrAtTheEyeIsNotQueued) {
    const float behind[3] = {0.0f, 1.0f, -10.0f};
    EXPECT_FALSE(Render_QueueBillboard(&view, behind, 2.0f, 1));
    const float atEye[3] = {0.0f, 1.0f, 0.0f};
    EXPECT_FALSE(Render_QueueBillboard(&view, atEye, 2.0f, 1)) << "no projection through the eye";
    EXPECT_FALSE(Render_QueueBillboard(nullptr, atEye, 2.0f, 1));
}

TEST_F(BillboardTest, ALineIsQueuedInViewSpaceByItsNearerEndUnlessItLeavesTheView) {
    const float from[3] = {-1.0f, 1.0f, 12.0f};
    const float to[3] = {1.0f, 3.0f, 20.0f};
    ASSERT_TRUE(Render_QueueLine(&view, from, to, 0.5f, 0x00123456u));
    const RenderBucket& bucket = RenderQueue_Bucket(RenderQueue_BucketOf(12.0f));
    ASSERT_EQ(bucket.count, 1u) << "keyed by the nearer end";
    const RenderItem* item = RenderQueue_Item(bucket.head);
    EXPECT_EQ(item->kind, static_cast<uint32_t>(kRenderColouredLine));
    EXPECT_EQ(item->ref, 0x00123456u);
    const auto line = RenderItem_GetPayload<RenderLinePayload>(item);
    EXPECT_FLOAT_EQ(line.width, 0.5f);
    EXPECT_FLOAT_EQ(line.from[0], -1.0f);
    EXPECT_FLOAT_EQ(line.from[1], 0.0f) << "view space: the eye is 1 m up";
    EXPECT_FLOAT_EQ(line.to[2], 20.0f);

    const float behind[3] = {0.0f, 1.0f, -5.0f};
    EXPECT_FALSE(Render_QueueLine(&view, from, behind, 0.5f, 1)) << "an end behind the eye";
    const float farLeft[3] = {-500.0f, 1.0f, 20.0f}, farLeft2[3] = {-400.0f, 1.0f, 30.0f};
    EXPECT_FALSE(Render_QueueLine(&view, farLeft, farLeft2, 0.5f, 1)) << "wholly outside the view";

    float eye[3], forward[3];
    Render_InstallBillboards();
    ASSERT_TRUE(Seam_Render().viewEye(&view, eye, forward));
    EXPECT_FLOAT_EQ(eye[1], 1.0f);
    EXPECT_FLOAT_EQ(forward[2], 1.0f) << "looking along z";
    EXPECT_FALSE(Seam_Render().viewEye(nullptr, eye, forward));
}

// A thin line with an alpha below 255 blends each pixel through the translucency table; an
// opaque one writes its colour. The table holds a made-up entry for the two colours.
TEST_F(BillboardTest, ATranslucentLineBlendsThroughTheTranslucencyTable) {
    const uint8_t saved = TranslucencyTable[9][5];
    TranslucencyTable[9][5] = 77;
    const float from[3] = {0.0f, 1.0f, 10.0f}, to[3] = {0.0f, 3.0f, 10.0f};  // straight up, ahead
    const int x = static_cast<int>(view.centreX);
    struct Case {
        uint32_t alpha;
        uint8_t expected;
    };
    for (const Case c : {Case{kHudLineAlphaDefault, 77}, Case{0, 77}, Case{255, 9}}) {
        SCOPED_TRACE(c.alpha);
        Graphic_Clear(&buf, 5);
        ASSERT_TRUE(Render_QueueLine(&view, from, to, 0.0f, 9, c.alpha));
        const RenderItem* item = RenderQueue_Item(RenderQueue_Bucket(RenderQueue_BucketOf(10.0f)).head);
        EXPECT_EQ((item->flags & kLineTranslucent) != 0, c.alpha < 255);
        RenderQueue_Flush(&view);
        // The centre column holds the line's pixels (2 m at 10 m: several rows), all of one
        // colour; the column beside it only the cleared colour.
        int lineRows = 0, otherRows = 0;
        for (int row = 0; row < buf.height; ++row) {
            const uint8_t p = buf.pixels[size_t(row) * buf.width + x];
            lineRows += p == c.expected;
            otherRows += p != c.expected && p != 5;
            EXPECT_EQ(buf.pixels[size_t(row) * buf.width + x + 3], 5);
        }
        EXPECT_GT(lineRows, 3);
        EXPECT_EQ(otherRows, 0);
    }
    TranslucencyTable[9][5] = saved;
}

}  // namespace
