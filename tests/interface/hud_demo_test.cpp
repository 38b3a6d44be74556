// One cockpit frame of the combat display with the sample palette and sprites: status panel,
// radar with relief and blips, the target inset's frame, markers on a target and a selected
// unit, and the flat reticle. The picture is saved as "hud_demo.ppm" beside the test data and
// its checksum pinned; a change that moves it is checked by looking at the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "colortables.h"
#include "core/checksum.h"
#include "core/seams/cockpit.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "interface/combathud.h"
#include "interface/hudcolors.h"
#include "render/font.h"
#include "render/palette.h"
#include "render/sprite.h"
#include "sprite_writer.h"
#include "support/data_root_fixture.h"
#include "support/frame_fixture.h"

namespace {

class DemoClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

struct Demo {
    GameObject* player = nullptr;
    std::vector<GameObject*> objects;
    RenderView view{};
};
Demo* g_demo = nullptr;

class HudDemoTest : public DataRootTest {
protected:
    void SetUp() override {
        DataRootTest::SetUp();
        std::vector<content::ArchiveRecord> files;
        for (const content::NamedFile& f : content::SampleSpriteFiles()) files.push_back({f.name, f.bytes, false, 0});
        Install(files);
        const std::string font = content::FontFileBytes(content::SampleFont());
        FILE* f = std::fopen((root + "/kolta.fnt").c_str(), "wb");
        std::fwrite(font.data(), 1, font.size(), f);
        std::fclose(f);
        ASSERT_EQ(Sprite_LoadTable(), 1);
        Font_LoadMain();
        palette_ = content::MakeWorldPalette();
        const content::ColorTables tables = content::MakeColorTables(palette_);
        std::memcpy(AlphaTable, tables.alpha.data(), sizeof AlphaTable);
        Palette_SetFloatColors(palette_.data());
        HudColors_Init();
        GameObject_PoolInit();
        GameObject_ForgetUser();
        GameObject_SetSerialCounter(1);
        GameObject_List().clear();
        TeamRecord_CreateAll();
        cls_.category = kCategoryCraft;
        g_demo = &demo_;
    }
    void TearDown() override {
        for (GameObject* object : demo_.objects) {
            if (object->entity) object->entity->classData = nullptr;
            delete object;
        }
        Entities_RemoveAll();  // the demo's entities were all added, so this frees them
        EntityAlloc_FreeAll();
        TeamRecord_DestroyAll();
        GameObject_ForgetUser();
        Hud_Context() = HudContext{};
        CombatHud_Reset();
        g_demo = nullptr;
        Sprite_FreeTable();
        DataRootTest::TearDown();
    }
    GameObject* Object(Vector at, int team, float radius) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        e->local = Matrix{};
        e->local.right = {1, 0, 0}, e->local.up = {0, 1, 0}, e->local.front = {0, 0, 1};
        e->local.posit = DVector{at.x, at.y, at.z};
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        GameObject* object = GameObject_New<GameObject>(e, &cls_);
        object->SetTeam(team);
        object->pos = at;
        object->radius = radius;
        object->perceivedTeam = team;
        object->healthRatio = 1.0f;
        object->illumination = 1.0f;
        demo_.objects.push_back(object);
        return object;
    }

    std::vector<uint8_t> palette_;
    Demo demo_;
    DemoClass cls_;
    std::vector<Entity*> roots_;
};

TEST_F(HudDemoTest, OneCockpitFrameIsPinned) {
    GraphicBuffer screen{};
    Graphic_InitBuffer(&screen, 640, 480, nullptr, 0);
    Graphic_Clear(&screen, 0);
    View_Init(&demo_.view, &screen, 1.3962634f, 1.0f, 300.0f, 1.0f);
    Matrix eye{};
    eye.right = {1, 0, 0}, eye.up = {0, 1, 0}, eye.front = {0, 0, 1};
    eye.posit = {0, 2, 0};
    View_SetCameraMatrix(&demo_.view, eye);
    Hud_Context().buffer = &screen;
    Hud_Context().view = &demo_.view;

    demo_.player = Object({0, 0, 0}, 1, 3.0f);
    Entities_SetUser(demo_.player->record);
    demo_.player->healthRatio = 0.6f;
    demo_.player->ammoRatio = 0.8f;
    demo_.player->curAmmo = 80;
    demo_.player->maxAmmo = 100;
    GameObject* target = Object({15, 0, 90}, 2, 4.0f);
    target->healthRatio = 0.3f;
    demo_.player->SetTarget(target);
    GameObject* unit = Object({-40, 0, 60}, 1, 3.0f);
    unit->isSelected = 1;
    Object({60, 0, -50}, 2, 3.0f);
    Object({0, 0, 600}, 1, 3.0f);  // beyond the radar's range

    Seam_Cockpit().hudIsOn = [] { return true; };
    Seam_Cockpit().radarIsOn = [] { return true; };
    CombatHudServices& s = CombatHud_Services();
    s.player = [] { return g_demo->player; };
    s.objects = []() -> const std::vector<GameObject*>& { return g_demo->objects; };
    s.view = [] { return &g_demo->view; };
    s.time = [] { return 100.0f; };
    s.realMs = [] { return uint32_t{5000}; };
    s.frameCounter = [] { return uint32_t{0}; };
    s.averageFrameMs = [] { return 16.0f; };
    s.radarRange = [](GameObject*) { return 200.0f; };
    s.cellHeight = [](int i, int k) { return 4.0f * std::sin(float(i) * 0.3f) + 3.0f * std::cos(float(k) * 0.2f); };
    s.terrainHeight = [](double, double) { return -3.0f; };
    s.gridQuery = [](double, double, double, double, std::vector<GameObject*>* out) { out->clear(); };
    s.viewState = [] { return 0; };
    s.flatReticle = [] { return true; };
    s.hardware = [] { return false; };
    s.playerFlags = [] { return uint32_t{0}; };
    s.playSound = [](const char*) {};
    s.drawInset = [](RenderView*, GameObject*, bool) {};
    s.shownTeam = [](GameObject* o) { return o->team == 1 ? HudColors.green : HudColors.red; };

    Radar& radar = Radar_Instance();
    UnitMarkers& markers = UnitMarkers_Instance();
    StatusPanel& panel = StatusPanel_Instance();
    TargetView& inset = TargetView_Instance();
    AimSight& sight = AimSight_Instance();
    radar.Init();
    markers.Init();
    panel.Init();
    inset.Init();
    sight.Startup();
    radar.Start();
    markers.Start();
    sight.MissionSetup();
    radar.Update(0.016f);
    panel.Update(1.0f);
    inset.Update(0.016f);
    sight.Simulate(0.016f);

    Radar_DrawFrame();
    Radar_DrawSweep();
    markers.Draw();
    inset.Draw();
    panel.Draw();
    radar.Draw();
    sight.DrawOverlay();

    Picture picture;
    picture.width = 640, picture.height = 480;
    const std::vector<uint8_t> rgb = content::MakeWorldPalette();
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint8_t index = screen.pixels[size_t(y) * screen.width + x];
            for (int c = 0; c < 3; ++c) picture.bytes.push_back(rgb[size_t(index) * 3 + c]);
        }
    const std::string path = PicturePath("hud_demo.ppm");
    ASSERT_TRUE(SavePicture(picture, path)) << path;
    // Spot checks: the inset's black frame, its cleared window, the blips' order.
    EXPECT_EQ(screen.pixels[size_t(8) * screen.width + 640 * 3 / 4 - 12], HudColors.black);
    EXPECT_EQ(screen.pixels[size_t(20) * screen.width + 640 * 3 / 4], 223);
    ASSERT_EQ(radar.drawn.size(), 5u);
    EXPECT_EQ(radar.chevrons, 1);
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", CRC32_Memory(screen.pixels, 640 * 480));
    EXPECT_STREQ(text, "0xA8F3E7C8") << "see " << path;
    Graphic_FreeBuffer(&screen);
}

// Every sprite the combat display and the sample weapons look up by name is in the sample
// table, and each marker base is followed by its green, yellow, red and blue variants.
TEST_F(HudDemoTest, EverySpriteTheDisplayNamesIsInTheSampleTable) {
    std::vector<std::string> names = {"status_left", "status_right", "hull", "hull_bar", "ammo", "ammo_bar", "weapon_*",
                                      "weapon_C", "weapon_R", "weapon_M", "weapon_S", "dot", "ground.G", "sight",
                                      "particle.0", "grnbar", "yelbar", "redbar", "radar_left", "radar_right", "radar5",
                                      "radar6", "reticle_gun", "icon_gun", "icon_cannon", "icon_mgun"};
    for (const char* c : {"O", "D", "U", "B", "R", "F", "A", "C", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0"})
        names.push_back(std::string("circ_") + c);
    for (int i = 0; i < 14; ++i) names.push_back("ping." + std::to_string(i));
    for (int i = 0; i < 4; ++i) names.push_back("ladder." + std::to_string(i));
    for (const char* c : {"E", "N", "W", "S"}) names.push_back(std::string("compas_") + c);
    for (const std::string& name : names) EXPECT_GT(Sprite_Find(name.c_str()), 0) << name;
    for (const char* base : {"object", "select", "target", "caret_u", "caret_l", "caret_r", "caret_d"}) {
        const int white = Sprite_Find((std::string(base) + ".W").c_str());
        ASSERT_GT(white, 0) << base;
        const char* const variants[4] = {"G", "Y", "R", "B"};
        for (int v = 0; v < 4; ++v)
            EXPECT_EQ(Sprite_Find((std::string(base) + "." + variants[v]).c_str()), white + 1 + v) << base << variants[v];
    }
}

}  // namespace
