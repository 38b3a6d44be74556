// The display elements' base: layer order, view states, the display switch, the cursor sprite,
// the notices, the fill bar and the raw-image reader.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/filecache.h"
#include "core/inputsinks.h"
#include "core/seams/cockpit.h"
#include "interface/hudelement.h"
#include "platform/msgbox.h"
#include "render/graphicbuffer.h"
#include "render/view.h"

namespace {

std::vector<std::string> g_log;
int g_viewState = 0;
bool g_cameraShows = true;
std::vector<void (*)(EntityTableRecord*)> g_notices, g_removeNotices;
std::vector<int> g_cursorDraws;

class Probe : public HudElement {
public:
    explicit Probe(std::string name, int cursor = 0) : name_(std::move(name)), cursor_(cursor) {}
    void Init() override { g_log.push_back(name_ + ".init"); }
    void Update(float) override { g_log.push_back(name_ + ".update"); }
    void Draw() override {
        g_log.push_back(name_);
        if (cursor_) Hud_Context().cursorSprite = cursor_;
    }
    void OnEntityRemoved(EntityTableRecord*) override { g_log.push_back(name_ + ".removed"); }

private:
    std::string name_;
    int cursor_;
};

class HudElementTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_viewState = 0;
        g_cameraShows = true;
        g_notices.clear();
        g_removeNotices.clear();
        g_cursorDraws.clear();
        Graphic_InitBuffer(&buffer_, 16, 8, nullptr, kGraphicFormat8);
        view_.buffer = &buffer_;
        HudServices& s = Hud_Services();
        s.view = [] { return testView; };
        s.viewState = [] { return g_viewState; };
        s.cameraShowsHud = [] { return g_cameraShows; };
        s.getDepth = [] { return 0.0f; };
        s.setDepth = [](float) {};
        s.drawCursor = [](GraphicBuffer*, int sprite, int, int) { g_cursorDraws.push_back(sprite); };
        s.addNotice = [](void (*fn)(EntityTableRecord*)) { g_notices.push_back(fn); };
        s.addRemoveNotice = [](void (*fn)(EntityTableRecord*)) { g_removeNotices.push_back(fn); };
        s.defaultFont = []() -> BitmapFont* { return nullptr; };
        testView = &view_;
    }
    void TearDown() override { Graphic_FreeBuffer(&buffer_); }

    static inline RenderView* testView = nullptr;
    GraphicBuffer buffer_{};
    RenderView view_{};
};

TEST_F(HudElementTest, LayerOrderFollowsPriority) {
    Probe a("a"), b("b"), c("c"), last("last");
    a.AddToLayer(0, 2);
    b.AddToLayer(0, 0);
    c.AddToLayer(0, 2);
    last.AddToLayer(0, -40000);  // below -32768: after every entry, larger priorities too
    HudElement_DrawLayer();
    EXPECT_EQ(g_log, (std::vector<std::string>{"b", "a", "c", "last"}));
}

TEST_F(HudElementTest, ElementsRunOnlyInTheirViewStates) {
    Probe p("p");
    for (int layer : {0, 1, 2, 3, 7}) p.SetLayer(layer, 0);
    for (int state = -1; state <= 12; ++state) {
        g_log.clear();
        g_viewState = state;
        HudElement_DrawLayer();
        HudElement_UpdateLayer(state, 0.1f);
        const bool listed = state == 0 || state == 1 || state == 2 || state == 3 || state == 7;
        EXPECT_EQ(g_log.size(), listed ? 2u : 0u) << "view state " << state;
    }
    // Layers outside 0..11 are refused.
    p.AddToLayer(12, 0);
    p.AddToLayer(-1, 0);
    EXPECT_EQ(HudElement_CountInDraw(&p, 12), 0);
}

TEST_F(HudElementTest, SwitchOffDrawsNothingAndKeepsTheCursorPending) {
    Probe p("p", 5);
    p.SetLayer(0, 0);
    HudElement_UpdateLayer(0, 0.1f);
    HudElement_DrawLayer();
    EXPECT_EQ(g_cursorDraws, std::vector<int>{5});  // once, after the layer
    EXPECT_EQ(Hud_Context().cursorSprite, 0);
    HudElement_DrawLayer();
    EXPECT_EQ(g_cursorDraws.size(), 2u);

    g_log.clear();
    Hud_Context().cursorSprite = 9;
    for (int way = 0; way < 2; ++way) {
        Hud_SetSwitch(way != 0);
        g_cameraShows = way == 0;
        EXPECT_FALSE(Hud_IsOn());
        HudElement_DrawLayer();
        HudElement_UpdateLayer(0, 0.1f);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"p.update", "p.update"}));
    EXPECT_EQ(Hud_Context().cursorSprite, 9);
    EXPECT_EQ(g_cursorDraws.size(), 2u);
}

TEST_F(HudElementTest, DestroyedElementLeavesNoEntry) {
    const int before = HudElement_Count();
    auto* p = new Probe("p");
    p->SetLayer(4, 1);
    p->AddToLayer(4, 1);
    p->AddToUpdateLayer(9, 3);
    EXPECT_EQ(HudElement_CountInDraw(p, 4), 2);
    EXPECT_EQ(HudElement_Count(), before + 1);
    delete p;
    EXPECT_EQ(HudElement_Count(), before);
    EXPECT_EQ(HudElement_CountInDraw(p, 4), 0);
    EXPECT_EQ(HudElement_CountInUpdate(p, 4), 0);
    EXPECT_EQ(HudElement_CountInUpdate(p, 9), 0);
    g_viewState = 4;
    HudElement_DrawLayer();  // no dangling entry is reached
    EXPECT_TRUE(g_log.empty());
}

TEST_F(HudElementTest, EachMissionRegistersTheNoticesAgain) {
    Probe p("p");
    HudElement_InitAll();
    HudElement_InitAll();
    EXPECT_EQ(g_notices.size(), 2u);
    ASSERT_EQ(g_removeNotices.size(), 2u);
    g_log.clear();
    g_removeNotices[1](nullptr);
    EXPECT_EQ(g_log, std::vector<std::string>{"p.removed"});
}

TEST_F(HudElementTest, CursorPositionFollowsTheCommandCursor) {
    Graphic_SetClipRect(&buffer_, 0, 0, 9, 3);  // 10 x 4
    InputSink.cmd_x = 0x8000;  // half
    InputSink.cmd_y = 0xC000;  // three quarters
    HudElement_UpdateLayer(0, 0.0f);
    EXPECT_EQ(Hud_Context().cursorX, 5);
    EXPECT_EQ(Hud_Context().cursorY, 3);
    EXPECT_EQ(Hud_Context().buffer, &buffer_);
}

std::string Rows(const GraphicBuffer& b, int rows) {
    std::string out;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < b.width; ++x) out += char('0' + b.pixels[y * b.width + x]);
        out += '\n';
    }
    return out;
}

TEST_F(HudElementTest, FillBarSplitsAndClips) {
    struct Case {
        float fraction;
        int rect[4];
        const char* rows;
    } cases[] = {
        {0.0f, {2, 0, 9, 1}, "0011111111000000\n0011111111000000\n0000000000000000\n"},
        {1.0f, {2, 0, 9, 1}, "0022222222000000\n0022222222000000\n0000000000000000\n"},
        {0.75f, {-4, 1, 3, 1}, "0000000000000000\n2211000000000000\n0000000000000000\n"},
        {0.5f, {20, 0, 30, 2}, "0000000000000000\n0000000000000000\n0000000000000000\n"},
    };
    for (const Case& c : cases) {
        Graphic_Clear(&buffer_, 0);
        Hud_DrawFillBar(&buffer_, c.fraction, c.rect, 2, 1);
        EXPECT_EQ(Rows(buffer_, 3), c.rows) << c.fraction << " " << c.rect[0];
    }
}

TEST_F(HudElementTest, RawImageIsCheckedAndCopied) {
    const std::string good("\x03\0\0\0\x02\0\0\0abcdef", 14);
    GraphicBuffer out{};
    {
        std::string bytes = good;
        ASSERT_EQ(Hud_ReadRawImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out), 0);
        bytes.assign(bytes.size(), 'x');  // the image keeps pixels of its own
    }
    EXPECT_EQ(out.width, 3);
    EXPECT_EQ(out.height, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.pixels), 6), "abcdef");
    Graphic_FreeBuffer(&out);
    const std::string bad[] = {good.substr(0, 13), good + "g", std::string("\xff\xff\xff\x7f\xff\xff\xff\x7f", 8),
                               std::string("\xfd\xff\xff\xff\xfe\xff\xff\xff\0\0\0\0\0\0", 14), "abc"};
    for (const std::string& bytes : bad) {
        EXPECT_EQ(Hud_ReadRawImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out), 1);
        EXPECT_EQ(out.valid, 0);
        EXPECT_EQ(out.pixels, nullptr);
    }
    Plat_ClearMessageBoxLog();
    EXPECT_EQ(Hud_LoadBitmap("missing.raw", &out), 1);
    EXPECT_EQ(out.pixels, nullptr);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_NE(Plat_MessageBoxLog()[0].text.find("Could not open file \"missing.raw\"."), std::string::npos)
        << Plat_MessageBoxLog()[0].text;
}

TEST(HudClamp, Bounds) {
    EXPECT_EQ(Hud_Clamp(-3, 0, 10), 0);
    EXPECT_EQ(Hud_Clamp(4, 0, 10), 4);
    EXPECT_EQ(Hud_Clamp(12, 0, 10), 10);
}

}  // namespace

namespace {

TEST_F(HudElementTest, SeamSwitchFollowsTheRenderFileAndTheCamera) {
    Hud_InstallSeam();
    CockpitSeam& seam = Seam_Cockpit();
    struct Case {
        bool file, camera, on;
    } cases[] = {{true, true, true}, {false, true, false}, {true, false, false}, {false, false, false}};
    for (const Case& c : cases) {
        seam.hudSetOn(c.file);
        g_cameraShows = c.camera;
        EXPECT_EQ(seam.hudIsOn(), c.on) << c.file << c.camera;
    }
}

}  // namespace
