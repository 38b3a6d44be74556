// The scrap and pilot counters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fun3d/teamrecord.h"
#include "interface/hudcolors.h"
#include "interface/resourcepanel.h"
#include "render/graphicbuffer.h"

namespace {

std::vector<std::string> g_drawn;
TeamRecord* g_team = nullptr;

class ResourcePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_drawn.clear();
        g_team = &team_;
        ResourcePanelServices& s = ResourcePanel_Services();
        s.team = [] { return g_team; };
        s.drawSprite = [](GraphicBuffer*, int sprite, int x, int y, int mode, float) {
            g_drawn.push_back("sprite " + std::to_string(sprite) + " " + std::to_string(x) + "," + std::to_string(y) +
                              " mode " + std::to_string(mode));
        };
        s.drawText = [](GraphicBuffer*, int x, int y, const char* text, int colour) {
            g_drawn.push_back(std::string(text) + " " + std::to_string(x) + "," + std::to_string(y) + " colour " +
                              std::to_string(colour));
        };
        s.setIconColour = [](int colour) { g_drawn.push_back("icon colour " + std::to_string(colour)); };
        HudColors.blue = 5;
        HudColors.green = 4;
        HudTextColors.blue = 3;
        HudTextColors.green = 2;
        ResourcePanel& panel = ResourcePanel_Instance();
        panel.scrapIcon = 11, panel.scrapPanel = 12, panel.pilotIcon = 13, panel.pilotPanel = 14;
        team_.curScrap = 5, team_.maxScrap = 40, team_.curPilots = 123, team_.maxPilots = 1000;
    }
    void TearDown() override {
        Hud_Context().buffer = nullptr;
        Graphic_FreeBuffer(&buffer_);
    }
    void Draw(int width) {
        Graphic_InitBuffer(&buffer_, width, 10, nullptr, kGraphicFormat8);
        Hud_Context().buffer = &buffer_;
        ResourcePanel_Instance().Draw();
        Graphic_FreeBuffer(&buffer_);
        Hud_Context().buffer = nullptr;
    }
    TeamRecord team_{1};
    GraphicBuffer buffer_{};
};

TEST_F(ResourcePanelTest, CountsWithPanelsOnWideScreens) {
    Draw(640);
    EXPECT_EQ(g_drawn, (std::vector<std::string>{
                           "sprite 12 166,0 mode 1", "icon colour 5", "sprite 11 171,11 mode 5", "05/40 171,21 colour 3",
                           "sprite 14 166,34 mode 1", "icon colour 4", "sprite 13 171,38 mode 5", "123/1000 171,48 colour 2"}));
    g_drawn.clear();
    Draw(400);
    EXPECT_EQ(g_drawn, (std::vector<std::string>{"icon colour 5", "sprite 11 171,11 mode 5", "05/40 171,21 colour 3",
                                                 "icon colour 4", "sprite 13 171,38 mode 5", "123/1000 171,48 colour 2"}));
    g_drawn.clear();
    g_team = nullptr;  // no user team: nothing
    Draw(640);
    EXPECT_TRUE(g_drawn.empty());
}

TEST_F(ResourcePanelTest, StandsInTheViewsThatShowTheDisplay) {
    const ResourcePanel& panel = ResourcePanel_Instance();
    for (int layer = 0; layer < kHudLayerCount; ++layer) {
        const bool listed = layer <= 3 || layer == 7;
        EXPECT_EQ(HudElement_CountInDraw(&panel, layer), listed ? 1 : 0) << layer;
    }
}

}  // namespace
