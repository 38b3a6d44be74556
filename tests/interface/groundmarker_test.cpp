// The ground marker where a building is about to be placed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "interface/groundmarker.h"
#include "interface/hudelement.h"
#include "render/view.h"

namespace {

struct Quad {
    float corners[4][3];
    int sprite;
};
std::vector<Quad> g_quads;

class GroundMarkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_quads.clear();
        RenderSeam& render = Seam_Render();
        render.spriteFind = [](const char* name) {
            if (!std::strcmp(name, "ground.G")) return 21;
            if (!std::strcmp(name, "ground.Y")) return 22;
            if (!std::strcmp(name, "ground.R")) return 23;
            return 0;
        };
        render.queueQuad = [](RenderView*, const float (*corners)[3], int sprite, uint32_t) {
            Quad q{};
            std::memcpy(q.corners, corners, sizeof q.corners);
            q.sprite = sprite;
            g_quads.push_back(q);
        };
        Hud_InstallSeam();
        GroundMarker_Instance().PostLoad();
    }
    RenderView* view() { return &view_; }
    RenderView view_{};
};

float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST_F(GroundMarkerTest, DrawnOnceForEachFrameItIsSet) {
    GroundMarker& marker = GroundMarker_Instance();
    marker.Render(view());
    EXPECT_TRUE(g_quads.empty());  // never set: nothing

    Matrix placement = kIdentityMatrix;
    placement.posit = DVector{100, 7, 50};
    const float rect[4] = {-2, -3, 4, 5};
    Seam_Cockpit().groundMarkerSet(rect, placement, kGroundMarkerYellow);
    marker.Render(view());
    ASSERT_EQ(g_quads.size(), 1u);
    EXPECT_EQ(g_quads[0].sprite, 22);
    const float expected[4][3] = {{98, 7.5f, 47}, {98, 7.5f, 55}, {104, 7.5f, 55}, {104, 7.5f, 47}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(g_quads[0].corners[i][c], expected[i][c]) << i << " " << c;
    EXPECT_FLOAT_EQ(marker.points[4].x, 101);
    EXPECT_FLOAT_EQ(marker.points[4].y, 7);
    EXPECT_FLOAT_EQ(marker.points[4].z, 51);
    EXPECT_FLOAT_EQ(marker.radius, 5);  // half the diagonal of 6 x 8

    // The next frame without a set shows none.
    marker.Render(view());
    EXPECT_EQ(g_quads.size(), 1u);

    // A colour outside the three sets none; each colour has its sprite.
    Seam_Cockpit().groundMarkerSet(rect, placement, 3);
    marker.Render(view());
    EXPECT_EQ(g_quads.size(), 1u);
    Seam_Cockpit().groundMarkerSet(rect, placement, kGroundMarkerRed);
    marker.Render(view());
    Seam_Cockpit().groundMarkerSet(rect, placement, kGroundMarkerGreen);
    marker.Render(nullptr);  // no view: nothing drawn, and still forgotten
    marker.Render(view());
    ASSERT_EQ(g_quads.size(), 2u);
    EXPECT_EQ(g_quads[1].sprite, 23);

    // A new world start forgets a marker set before it.
    Seam_Cockpit().groundMarkerSet(rect, placement, kGroundMarkerGreen);
    marker.PostLoad();
    marker.Render(view());
    EXPECT_EQ(g_quads.size(), 2u);
}

TEST_F(GroundMarkerTest, CornersStandAboveASlopedPlacement) {
    // A placement on a slope: up is tilted, so "above" is along it.
    Matrix placement = kIdentityMatrix;
    placement.up = Vector{0, 0.8f, 0.6f};
    placement.front = Vector{0, -0.6f, 0.8f};
    placement.posit = DVector{10, 20, 30};
    const float rect[4] = {-1, -1, 3, 2};
    GroundMarker& marker = GroundMarker_Instance();
    marker.SetRect(rect, placement);
    const Vector origin{10, 20, 30};
    for (int i = 0; i < 5; ++i) {
        const Vector d{marker.points[i].x - origin.x, marker.points[i].y - origin.y, marker.points[i].z - origin.z};
        EXPECT_NEAR(Dot(d, placement.up), i < 4 ? 0.5f : 0.0f, 1e-5f) << i;
    }
}

}  // namespace
