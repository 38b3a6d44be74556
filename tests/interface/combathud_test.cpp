// The combat display: status panel, target picking, aiming sight, sniper scope, markers and
// radar, each against a small world of hand-placed objects behind the display's services.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/seams/cockpit.h"
#include "core/seams/shell.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "interface/combathud.h"
#include "interface/gamekeys.h"
#include "interface/hudcolors.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/billboard.h"
#include "render/sprite.h"
#include "support/world_reset.h"
#include "weapons/ordnance.h"
#include "weapons/radarlauncher.h"
#include "weapons/weapon.h"

namespace {

class PlainClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

// What the fake services answer and what they saw.
struct World {
    GameObject* player = nullptr;
    std::vector<GameObject*> objects, large, grid;
    GameObject* slots[90] = {};
    float range = 100.0f, now = 10.0f;
    bool frontal = false, cycle = false;
    int viewState = 0;
    bool flat = true;
    RenderView* view = nullptr;
    uint32_t realMs = 0, flags = 0;
    float averageMs = 16.0f;
    bool groundHit = false;
    float groundT = 0.5f;
    bool inBounds = true;
    std::vector<std::string> spoken;
    struct Draw {
        int sprite, x, y;
        uint32_t flags;
        int colour;
        int clipTop;
    };
    std::vector<Draw> draws;
    std::vector<std::string> texts;
    std::vector<std::pair<int, int>> textAt;
    bool japanese = false;
    std::vector<std::string> sounds;
    int32_t cost[5] = {};
};
World* g_world = nullptr;

class CombatHudTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        GameObject_PoolInit();
        GameObject_ForgetUser();
        GameObject_SetSerialCounter(1);
        GameObject_List().clear();
        TeamRecord_CreateAll();
        SetPalette();
        HudColors_Init();
        Graphic_InitBuffer(&screen_, 640, 480, nullptr, 0);
        Graphic_Clear(&screen_, 0);
        View_Init(&view_, &screen_, 1.3962634f, 1.0f, 300.0f, 1.0f);
        Matrix eye{};
        eye.right = {1, 0, 0}, eye.up = {0, 1, 0}, eye.front = {0, 0, 1};
        View_SetCameraMatrix(&view_, eye);
        world_ = World{};
        world_.view = &view_;
        g_world = &world_;
        Hud_Context().buffer = &screen_;
        Hud_Context().view = &view_;
        for (int c = 0; c < 3; ++c) craftClass_[c].category = c == 0 ? 1 : c == 1 ? 2 : 3;
        Install();
    }
    void TearDown() override {
        std::vector<GameObject*> live = GameObject_List();
        for (GameObject* object : live) {
            if (object->entity) object->entity->classData = nullptr;
            delete object->hardpoints;
            object->hardpoints = nullptr;
            delete object;
        }
        Entities_RemoveAll();
        for (Entity* e : roots_)
            if (e->state == kEntityAlive && e->id != 0 && !Entity_GetParent(e)) Entity_Release(e);
        EntityAlloc_FreeAll();
        TeamRecord_DestroyAll();
        GameObject_ForgetUser();
        Graphic_FreeBuffer(&screen_);
        Hud_Context() = HudContext{};
        g_world = nullptr;
        CombatHud_Reset();
    }

    static void SetPalette() {
        uint8_t rgb[768];
        for (int i = 0; i < 256; ++i) rgb[i * 3] = 255, rgb[i * 3 + 1] = 0, rgb[i * 3 + 2] = 255;
        const uint8_t set[12][3] = {{0, 0, 0},     {255, 255, 255}, {0, 255, 0},   {0, 0, 255},
                                    {255, 0, 0},   {153, 153, 153}, {0, 128, 0},   {128, 128, 0},
                                    {128, 0, 0},   {255, 255, 0},   {0, 0, 128},   {76, 76, 76}};
        std::memcpy(rgb, set, sizeof set);
        Palette_SetFloatColors(rgb);
    }

    static void Install() {
        CombatHudServices& s = CombatHud_Services();
        s.player = [] { return g_world->player; };
        s.time = [] { return g_world->now; };
        s.realMs = [] { return g_world->realMs; };
        s.frameCounter = [] { return uint32_t{0}; };
        s.averageFrameMs = [] { return g_world->averageMs; };
        s.targetingRange = [](GameObject*) { return g_world->range; };
        s.radarRange = [](GameObject*) { return g_world->range; };
        s.shotCost = [](Weapon* w) -> int32_t {
            for (int i = 0; i < 5; ++i)
                if (g_world->player && g_world->player->hardpoints && g_world->player->hardpoints->weapons[i] == w)
                    return g_world->cost[i];
            return 0;
        };
        s.weaponIcon = [](Weapon*) { return 7; };
        s.weaponReticle = [](Weapon*) { return 0; };
        s.weaponLadder = [](Weapon*) { return 0; };
        s.hardpointKind = [](Entity* e) { return e ? 71 : 0; };
        s.hidden = [](GameObject*) { return false; };
        s.radarVisible = [](GameObject* o) { return o->illumination > 0.0f; };
        s.sensorActive = [](GameObject*) { return false; };
        s.iconSprite = [](GameObject*) { return 0; };
        s.shownTeam = [](GameObject*) { return HudColors.red; };
        s.classKind = [](GameObject* o) { return o->objClass ? int(o->objClass->category) : 0; };
        s.objects = []() -> const std::vector<GameObject*>& { return g_world->objects; };
        s.largeObjects = []() -> const std::vector<GameObject*>& { return g_world->large; };
        s.gridQuery = [](double, double, double, double, std::vector<GameObject*>* out) { *out = g_world->grid; };
        s.teamSlot = [](int32_t slot) { return g_world->slots[slot]; };
        s.terrainRay = [](const DVector&, const Vector&, float* t) {
            *t = g_world->groundT;
            return g_world->groundHit;
        };
        s.inPlayableBounds = [](double, double) { return g_world->inBounds; };
        s.terrainHeight = [](double, double) { return 0.0f; };
        s.cellHeight = [](int, int) { return 0.0f; };
        s.frontalTarget = [] { return g_world->frontal; };
        s.cycleBeacon = [] { return g_world->cycle; };
        s.viewState = [] { return g_world->viewState; };
        s.flatReticle = [] { return g_world->flat; };
        s.view = [] { return g_world->view; };
        s.hardware = [] { return false; };
        s.playerFlags = [] { return g_world->flags; };
        s.networkGame = [] { return false; };
        s.commandKindForObject = [](GameObject* o) -> int32_t { return o ? (o->team == 1 ? 1 : 4) : 0; };
        s.commandKindForPoint = [](const Vector&) -> int32_t { return 3; };
        s.playSound = [](const char* name) { g_world->sounds.push_back(name); };
        s.reportPanel = [](GameObject*, int m) { g_world->spoken.push_back("panel " + std::to_string(m)); };
        s.reportCraft = [](GameObject*, int m) { g_world->spoken.push_back("craft " + std::to_string(m)); };
        s.drawSprite = [](GraphicBuffer* b, int sprite, int x, int y, uint32_t flags, int colour) {
            g_world->draws.push_back({sprite, x, y, flags, colour, b->clipTop});
        };
        s.drawText = [](GraphicBuffer*, int x, int y, const char* text, int, uint32_t) {
            g_world->texts.push_back(text);
            g_world->textAt.emplace_back(x, y);
        };
        s.japanese = [] { return g_world->japanese; };
        s.drawInset = [](RenderView*, GameObject*, bool) {};
    }

    GameObject* Object(Vector at, int team = 2, float radius = 2.0f, int category = 0) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        e->flags |= uint32_t(team) << kEntityTeamShift;
        e->local = Matrix{};
        e->local.right = {1, 0, 0}, e->local.up = {0, 1, 0}, e->local.front = {0, 0, 1};
        e->local.posit = DVector{at.x, at.y, at.z};
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        GameObject* object = GameObject_New<GameObject>(e, &craftClass_[category]);
        object->SetTeam(team);
        object->pos = at;
        object->radius = radius;
        object->perceivedTeam = team;
        object->healthRatio = 1.0f;
        object->illumination = 1.0f;
        world_.objects.push_back(object);
        return object;
    }
    GameObject* Player(Vector at = {0, 0, 0}) {
        GameObject* p = Object(at, 1);
        world_.player = p;
        return p;
    }
    // The user's hover craft at the position, heading along +x; its entity keeps its height.
    HoverCraft* HoverPlayer(Vector at) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "hover");
        e->type = kTypeCraft;
        e->flags |= 0x20u | kEntityUser | (1u << kEntityTeamShift);
        e->local.right = {0, 0, -1}, e->local.up = {0, 1, 0}, e->local.front = {1, 0, 0};
        e->local.posit = DVector{at.x, at.y, at.z};
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        hoverClass_.sensorRange = 0.0f;
        auto* craft = GameObject_New<HoverCraft>(e, &hoverClass_);
        craft->pos = at;
        world_.objects.push_back(craft);
        world_.player = craft;
        return craft;
    }
    // The display's own services, as the game installs them.
    static CombatHudServices OwnServices() {
        const CombatHudServices installed = CombatHud_Services();
        CombatHud_Reset();
        const CombatHudServices own = CombatHud_Services();
        CombatHud_Services() = installed;
        return own;
    }

    GraphicBuffer screen_{};
    RenderView view_{};
    World world_;
    PlainClass craftClass_[3];
    HoverCraftClass hoverClass_{"hover", uint32_t('H') << 24 | uint32_t('O') << 16 | uint32_t('V') << 8 | 'R',
                                kCategoryCraft};
    std::vector<Entity*> roots_;
};

// ---- the display's own view of the objects --------------------------------------------------

TEST_F(CombatHudTest, TheOwnServicesReadColourFieldAndHiddenFlagOfTheObject) {
    Player();
    GameObject* o = Object({0, 0, 30}, 2);
    const CombatHudServices own = OwnServices();
    o->teamColours[0] = 0x11;
    o->teamColours[1] = 0x22;
    EXPECT_EQ(own.shownTeam(o), 0x11);
    craftClass_[0].classFlags = 0x200;  // its class picks the second field
    EXPECT_EQ(own.shownTeam(o), 0x22);
    EXPECT_FALSE(own.hidden(o));
    o->entity->flags |= kEntityNotDrawn;
    EXPECT_TRUE(own.hidden(o));
    // An object that is no craft has no radar record and no aim pitch.
    EXPECT_FALSE(own.pingRequested(o));
    EXPECT_EQ(own.aimPitch(o), 0.0f);
}

// What the player cannot see, the sight cannot rest on: a hidden object on the aim line is
// passed over for a visible one a little off it.
TEST_F(CombatHudTest, TheSightPassesOverAHiddenObject) {
    GameObject* craft = Player();
    GameObject* onLine = Object({0, 0, 50}, 2);
    GameObject* offLine = Object({1, 0, 60}, 2);
    world_.grid = {onLine, offLine};
    CombatHud_Services().hidden = OwnServices().hidden;
    Matrix aim{};
    aim.right = {1, 0, 0}, aim.up = {0, 1, 0}, aim.front = {0, 0, 1};
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), onLine);
    onLine->entity->flags |= kEntityNotDrawn;
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), offLine);
}

// The sight aims along the craft's body from its centre, tilted by the pitch its weapon aim
// took from the pitch input this frame.
TEST_F(CombatHudTest, TheCraftsAimPitchTiltsTheSight) {
    HoverCraft* craft = HoverPlayer({100, 20, 50});
    const CombatHudServices own = OwnServices();
    CombatHud_Services().aimFrame = own.aimFrame;
    CombatHud_Services().aimPitch = own.aimPitch;
    AimSight& sight = AimSight_Instance();
    sight.Simulate(0.1f);
    EXPECT_NEAR(sight.aim.front.x, 1.0f, 1e-6f) << "level: along the body";
    EXPECT_NEAR(sight.aim.front.y, 0.0f, 1e-6f);
    EXPECT_DOUBLE_EQ(sight.aim.posit.x, 100.0);
    EXPECT_DOUBLE_EQ(sight.aim.posit.y, 20.0);
    craft->controls.pitch = 0.8f;
    craft->UpdateWeaponAim(0.1f);
    ASSERT_FLOAT_EQ(craft->aimPitch, 0.4f);
    sight.Simulate(0.1f);
    EXPECT_NEAR(sight.aim.front.y, std::sin(0.2f), 1e-5f);
    EXPECT_NEAR(sight.aim.front.x, std::cos(0.2f), 1e-5f);
}

// The sight turns the way the weapons do: raised guns raise it, lowered guns lower it.
TEST_F(CombatHudTest, TheSightRisesAndFallsWithTheWeapons) {
    HoverCraft* craft = HoverPlayer({0, 0, 0});
    static Matrix gun;
    gun = kIdentityMatrix;
    Craft_Services().weaponLocalMatrix = [](Weapon*) -> Matrix* { return &gun; };
    HardpointList list(craft);
    list.weapons[0] = reinterpret_cast<Weapon*>(&gun);  // never looked into: the service answers
    craft->hardpoints = &list;
    const CombatHudServices own = OwnServices();
    CombatHud_Services().aimFrame = own.aimFrame;
    CombatHud_Services().aimPitch = own.aimPitch;
    AimSight& sight = AimSight_Instance();
    for (float pitch : {0.8f, -0.6f}) {
        SCOPED_TRACE(pitch);
        craft->controls.pitch = pitch;
        craft->UpdateWeaponAim(0.1f);
        sight.Simulate(0.1f);
        ASSERT_NE(gun.front.y, 0.0f);
        EXPECT_GT(sight.aim.front.y * gun.front.y, 0.0f) << "both up or both down";
    }
    craft->hardpoints = nullptr;
    Craft_ResetServices();
}

// A ping request in the craft's radar record sounds one ping; a request without a value none.
TEST_F(CombatHudTest, TheCraftsPingRequestPingsTheRadarOnce) {
    Seam_Cockpit().radarIsOn = [] { return true; };
    Seam_Cockpit().hudIsOn = [] { return true; };
    HoverCraft* craft = HoverPlayer({0, 0, 0});
    CombatHud_Services().pingRequested = OwnServices().pingRequested;
    Radar& radar = Radar_Instance();
    radar.Init();
    radar.Start();
    craft->radarPing = 1;
    craft->radarPingValue = 3.0f;
    radar.Update(0.1f);
    EXPECT_EQ(world_.sounds, (std::vector<std::string>{"ping.wav"}));
    EXPECT_FLOAT_EQ(radar.ping, 12.0f);
    EXPECT_EQ(craft->radarPing, 0) << "the radar took the request";
    radar.Update(0.1f);
    EXPECT_EQ(world_.sounds.size(), 1u);
    craft->radarPing = 1;
    craft->radarPingValue = 0.0f;
    radar.Update(0.1f);
    EXPECT_EQ(world_.sounds.size(), 1u) << "no value, no ping";
}

// The game keys a class may block (flag 0x20) read the flag word of the user's class.
TEST_F(CombatHudTest, TheGameKeysReadTheFlagWordOfTheUsersClass) {
    uint32_t (*classFlags)() = GameKey_PendingActions().userClassFlags;
    EXPECT_EQ(classFlags(), 0u) << "no user";
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "user");
    e->flags |= kEntityUser;
    Entities_Add(e, 0, nullptr, nullptr);
    roots_.push_back(e);
    PlainClass blocked;
    blocked.classFlags = 0x20;
    GameObject_New<GameObject>(e, &blocked);
    ASSERT_NE(GameObject_GetUser(), nullptr);
    EXPECT_EQ(classFlags(), 0x20u);
    delete GameObject_GetUser();
}

// ---- status panel ---------------------------------------------------------------------------

TEST_F(CombatHudTest, HullColoursChangeAtTheirBoundaries) {
    const struct {
        float ratio;
        int colour;
    } cases[] = {{1.0f, HudColors.green}, {0.5f, HudColors.green}, {0.49f, HudColors.yellow}, {0.25f, HudColors.yellow},
                 {0.24f, HudColors.red},  {0.0f, HudColors.red},   {-0.01f, HudColors.black}};
    for (const auto& c : cases) EXPECT_EQ(StatusPanel_HullColour(c.ratio), c.colour) << c.ratio;
}

TEST_F(CombatHudTest, TheShotCostFollowsTheWeaponSignature) {
    auto sig = [](const char* t) {
        return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
    };
    const struct {
        const char* signature;
        bool ordnance;
        int32_t cost;
    } cases[] = {{"DISP", true, 30}, {"RDRL", true, 30}, {"RDRL", false, 0}, {"IREF", false, 20}, {"RDMP", true, 20},
                 {"TRXP", false, 20}, {"CANN", true, 10}, {"CANN", false, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(StatusPanel_ShotCost(sig(c.signature), c.ordnance, 30, 20, 10), c.cost) << c.signature << c.ordnance;
}

TEST_F(CombatHudTest, TheShotCostOfAClassComesFromItsOrdnance) {
    auto sig = [](const char* t) {
        return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
    };
    OrdnanceClass shell("ordnance", sig("ORDN"));
    shell.ordIntParam = 7;
    WeaponClass cannon("cannon", sig("CANN"));
    WeaponClass dispenser("dispenser", sig("DISP"));
    EXPECT_EQ(CombatHud_ShotCostOf(&cannon, &shell), 7);
    EXPECT_EQ(CombatHud_ShotCostOf(&cannon, nullptr), 0) << "no ordnance: no cost";
    EXPECT_EQ(CombatHud_ShotCostOf(&dispenser, &shell), 0) << "not the shell's cost";
    EXPECT_EQ(CombatHud_ShotCostOf(nullptr, &shell), 0);
    // A radar launcher's shot costs its pod, not the shell, and nothing without a pod class.
    RadarLauncherClass radar("radarlauncher", sig("RDRL"));
    radar.shotCost = 9;
    EXPECT_EQ(CombatHud_ShotCostOf(&radar, &shell), 0) << "no pod class";
    struct PodClass : GameObjectClass {
        GameObject* BuildObject(Entity*) override { return nullptr; }
        GameObjectClass* Derive(const char*) override { return nullptr; }
    } pod;
    radar.podClass = &pod;
    EXPECT_EQ(CombatHud_ShotCostOf(&radar, &shell), 9);
    EXPECT_EQ(CombatHud_ShotCostOf(&radar, nullptr), 9) << "needs no ordnance";
}

TEST_F(CombatHudTest, GaugesEaseAndALongFrameSnaps) {
    GameObject* p = Player();
    p->healthRatio = 1.0f;
    p->ammoRatio = 0.5f;
    StatusPanel& panel = StatusPanel_Instance();
    panel.hullShown = panel.ammoShown = 0.0f;
    panel.Update(0.1f);  // t = 0.2
    EXPECT_NEAR(panel.hullShown, 0.2f, 1e-6f);
    EXPECT_NEAR(panel.ammoShown, 0.1f, 1e-6f);
    panel.Update(0.6f);  // t = 1.2: straight to the real values
    EXPECT_FLOAT_EQ(panel.hullShown, 1.0f);
    EXPECT_FLOAT_EQ(panel.ammoShown, 0.5f);
}

TEST_F(CombatHudTest, MountsAreColouredByTheirMasksAndShortWeaponsWarnOnce) {
    GameObject* p = Player();
    p->hardpoints = new HardpointList(p);
    HardpointList& hp = *p->hardpoints;
    static uint8_t weaponBytes[3][sizeof(void*) * 64];
    Entity* part = reinterpret_cast<Entity*>(1);  // a hardpoint part only read for its kind
    for (int i = 0; i < 3; ++i) {
        hp.hardpoints[i] = part;
        hp.weapons[i] = reinterpret_cast<Weapon*>(weaponBytes[i]);
    }
    hp.hardpoints[3] = part;  // a hardpoint without a weapon
    hp.present = 0x7;
    hp.enabled = 0x7;
    hp.selected = 0x9;  // mount 0 and the empty mount 3
    world_.cost[0] = 10, world_.cost[1] = 50, world_.cost[2] = 5;
    p->curAmmo = 20;
    p->maxAmmo = 100;
    p->healthRatio = 0.8f;
    StatusPanel& panel = StatusPanel_Instance();
    panel.Init();
    panel.Draw();
    EXPECT_EQ(panel.volleyCost, 10);  // the empty mount adds nothing
    EXPECT_EQ(panel.shortMask, 0x2u);
    EXPECT_EQ(panel.mountColour[0], HudColors.yellow);  // selected and ready
    EXPECT_EQ(panel.mountColour[1], HudColors.grey6);   // short
    EXPECT_EQ(panel.mountColour[2], HudColors.green);
    EXPECT_EQ(panel.mountColour[3], HudColors.white);   // selected, no weapon
    ASSERT_FALSE(world_.texts.empty());
    EXPECT_EQ(world_.texts.back(), "   2");
    EXPECT_EQ(world_.textAt.back(), (std::pair<int, int>{640 - 116, 480 - 93 + 7}));
    world_.japanese = true;
    panel.Draw();
    EXPECT_EQ(world_.textAt.back(), (std::pair<int, int>{640 - 116 + 22, 480 - 93 + 7 + 4})) << "moved for Japanese";
    world_.japanese = false;
    EXPECT_TRUE(world_.spoken.empty());
    // Every enabled weapon short: the line sounds once, and again after a reload and a new
    // shortage. The hull line likewise.
    p->curAmmo = 1;
    p->healthRatio = 0.2f;
    panel.Draw();
    panel.Draw();
    EXPECT_EQ(world_.spoken, (std::vector<std::string>{"craft 8", "panel 6"}));
    p->curAmmo = 100;
    p->healthRatio = 0.9f;
    panel.Draw();
    p->curAmmo = 0;
    p->healthRatio = 0.1f;
    panel.Draw();
    EXPECT_EQ(world_.spoken.size(), 4u);
    p->hardpoints = nullptr;
    delete &hp;
}

TEST_F(CombatHudTest, ANarrowScreenDrawsNoPanelBackgroundOrStrips) {
    Player();
    StatusPanel& panel = StatusPanel_Instance();
    panel.Init();
    panel.statusLeft = 901, panel.statusRight = 902;
    panel.Draw();
    int plates = 0;
    for (const auto& d : world_.draws) plates += d.sprite == 901 || d.sprite == 902;
    EXPECT_EQ(plates, 2);
    GraphicBuffer narrow{};
    Graphic_InitBuffer(&narrow, 400, 300, nullptr, 0);
    Graphic_Clear(&narrow, 0);
    Hud_Context().buffer = &narrow;
    world_.draws.clear();
    panel.Draw();
    for (const auto& d : world_.draws) EXPECT_TRUE(d.sprite != 901 && d.sprite != 902);
    // The mount strips are black fills: nothing but the gauges and the wedge touched the row.
    int painted = 0;
    for (int x = 400 - 117; x <= 400 - 16; ++x) painted += narrow.pixels[size_t(300 - 93 + 25) * narrow.width + x] != 0;
    EXPECT_EQ(painted, 0);
    Graphic_FreeBuffer(&narrow);
}

// ---- target picking -------------------------------------------------------------------------

TEST_F(CombatHudTest, FrontalTargetPicksTheBestAheadAndClearsASetTarget) {
    GameObject* p = Player();
    GameObject* offAxis = Object({30, 0, 60}, 2, 2.0f, 0);   // 26.6 degrees off, narrow
    GameObject* ahead = Object({2, 0, 80}, 2, 2.0f, 0);      // nearly on the axis
    GameObject* behind = Object({0, 0, -20}, 2, 10.0f, 0);
    GameObject* scenery = Object({0, 0, 50}, 2, 2.0f, 2);    // category 3: not a target
    GameObject* far = Object({0, 0, 150}, 2, 2.0f, 0);       // beyond the range
    world_.grid = {offAxis, behind, scenery, far, ahead};
    EXPECT_EQ(TargetPicker_BestAhead(p), ahead);
    world_.frontal = true;
    TargetPicker& picker = TargetPicker_Instance();
    picker.Update(0.1f);
    EXPECT_EQ(p->target, ahead->GetObjHandle());
    EXPECT_EQ(CommandMenu_Secondary().kind, 4);
    EXPECT_EQ(CommandMenu_Secondary().object, ahead);
    // Pressed again with a target: none, though a better one is ahead.
    picker.Update(0.1f);
    EXPECT_EQ(p->target, 0u);
    EXPECT_EQ(CommandMenu_Secondary().object, nullptr);
    EXPECT_FALSE(CommandMenu_Secondary().hasPoint);
}

TEST_F(CombatHudTest, ABigObjectCloseToTheAxisCountsInsideItsRadius) {
    GameObject* p = Player();
    // 50 degrees off the axis is outside the 45 degree cone; a wide object near the axis is not.
    GameObject* wide = Object({12, 0, 10}, 2, 20.0f, 0);
    world_.grid = {wide};
    EXPECT_EQ(TargetPicker_BestAhead(p), wide);
    wide->radius = 2.0f;
    EXPECT_EQ(TargetPicker_BestAhead(p), nullptr);
}

TEST_F(CombatHudTest, ASensedEnemyBehindTheGroundIsSkipped) {
    GameObject* p = Player();
    GameObject* hidden = Object({0, 0, 60}, 2);        // on the axis, behind a hill
    GameObject* aside = Object({20, 0, 60}, 2);        // worse aimed, in plain view
    world_.grid = {hidden, aside};
    world_.groundHit = true;
    world_.groundT = 0.5f;  // the ground rises halfway to anything
    static GameObject* sensed = nullptr;
    sensed = nullptr;
    CombatHud_Services().sensorActive = [](GameObject* o) { return o == sensed; };
    const struct {
        GameObject* sensedObject;
        bool groundHit;
        GameObject* expected;
    } cases[] = {
        {nullptr, true, hidden},  // no sensor running: the ground is not asked
        {hidden, true, aside},    // its sensor is on and the ground is in the way
        {hidden, false, hidden},  // a clear line
        {p, true, hidden},        // the sensing object is the craft itself, not the candidate
    };
    for (const auto& c : cases) {
        sensed = c.sensedObject;
        world_.groundHit = c.groundHit;
        EXPECT_EQ(TargetPicker_BestAhead(p), c.expected);
    }
    // An ally is never tested against the ground.
    hidden->perceivedTeam = 1;
    sensed = hidden;
    world_.groundHit = true;
    EXPECT_EQ(TargetPicker_BestAhead(p), hidden);
}

TEST_F(CombatHudTest, CycleBeaconRunsThroughTheBeaconSlotsAndWraps) {
    GameObject* p = Player();
    GameObject* b35 = Object({0, 0, 10}, 1);
    GameObject* b40 = Object({0, 0, 20}, 1);
    GameObject* b44 = Object({0, 0, 30}, 1);
    b35->teamSlot = 35, b40->teamSlot = 40, b44->teamSlot = 44;
    world_.slots[35] = b35, world_.slots[40] = b40, world_.slots[44] = b44;
    world_.cycle = true;
    TargetPicker& picker = TargetPicker_Instance();
    const GameObject* expected[] = {b35, b40, b44, b35};
    for (const GameObject* e : expected) {
        picker.Update(0.1f);
        EXPECT_EQ(p->target, e->GetObjHandle());
    }
    // Kind 1 (select, for an own object) counts as none in the secondary record.
    EXPECT_EQ(CommandMenu_Secondary().kind, 0);
    // With only the current beacon left, the search comes round to its own slot.
    world_.slots[35] = nullptr, world_.slots[44] = nullptr;
    p->SetTarget(b40);
    picker.Update(0.1f);
    EXPECT_EQ(p->target, b40->GetObjHandle());
}

TEST_F(CombatHudTest, AnAllyStaysTargetedBeyondTheRangeAndAnEnemyIsDropped) {
    GameObject* p = Player();
    GameObject* ally = Object({0, 0, 500}, 1);
    GameObject* enemy = Object({0, 0, 500}, 2);
    GameObject* nearEnemy = Object({0, 0, 50}, 2);
    TargetPicker& picker = TargetPicker_Instance();
    p->SetTarget(ally);
    picker.Update(0.1f);
    EXPECT_EQ(p->target, ally->GetObjHandle());
    p->SetTarget(enemy);
    picker.Update(0.1f);
    EXPECT_EQ(p->target, 0u);
    p->SetTarget(nearEnemy);
    picker.Update(0.1f);
    EXPECT_EQ(p->target, nearEnemy->GetObjHandle());
    nearEnemy->entity->flags |= 0x200u;  // dead
    picker.Update(0.1f);
    EXPECT_EQ(p->target, 0u);
}

// ---- aiming sight ---------------------------------------------------------------------------

TEST_F(CombatHudTest, AnUprightAimKeepsTheLastLevelFrame) {
    Matrix aim{};
    aim.front = {0.6f, 0.0f, 0.8f};
    Matrix level{};
    ASSERT_TRUE(AimSight_LevelFrame(aim, &level));
    EXPECT_FLOAT_EQ(level.right.x, 0.8f);
    EXPECT_FLOAT_EQ(level.right.z, -0.6f);
    aim.front = {0.0f, 1.0f, 0.0f};  // standing on its tail
    aim.posit = {5, 6, 7};
    EXPECT_FALSE(AimSight_LevelFrame(aim, &level));
    EXPECT_FLOAT_EQ(level.front.x, 0.6f);
    EXPECT_FLOAT_EQ(level.front.z, 0.8f);
    EXPECT_DOUBLE_EQ(level.posit.z, 7.0);
    EXPECT_FALSE(std::isnan(level.right.x));
}

TEST_F(CombatHudTest, TheSightAimsAtObjectsInsideThreeQuartersOfTheirRadius) {
    GameObject* craft = Player();
    Matrix aim{};
    aim.right = {1, 0, 0}, aim.up = {0, 1, 0}, aim.front = {0, 0, 1};
    GameObject* far = Object({0, 0, 250}, 2, 5.0f);
    world_.grid = {far};
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), nullptr);
    world_.large = {far};
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), far);
    world_.large.clear();
    GameObject* side = Object({10, 0, 50}, 2, 20.0f);
    world_.grid = {side};
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), side);
    side->radius = 12.0f;  // 9 < 10 and outside the narrow cone at 50
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), nullptr);
    side->pos = {10, 0, 150};  // inside the cone: g <= 0.01 l
    EXPECT_EQ(AimSight_BestObject(aim, craft, nullptr), side);
}

TEST_F(CombatHudTest, TheSightHandsTheAimedThingToTheCommandMenu) {
    GameObject* craft = Player();
    AimSight& sight = AimSight_Instance();
    sight.dotSprite = 3;
    GameObject* enemy = Object({0, 0, 40}, 2, 4.0f);
    world_.grid = {enemy};
    sight.Simulate(0.1f);
    EXPECT_EQ(sight.aimObject, enemy);
    EXPECT_EQ(CommandMenu_Primary().kind, 4);
    EXPECT_EQ(CommandMenu_Primary().object, enemy);
    EXPECT_EQ(sight.reticle, 3);  // no weapon with a reticle of its own
    EXPECT_EQ(sight.ladderBase, 0);
    sight.OnObjectRemoved(enemy);
    EXPECT_EQ(sight.aimObject, nullptr);
    // The ground: a hit inside the bounds gives a point, outside none.
    world_.grid.clear();
    world_.groundHit = true;
    sight.Simulate(0.1f);
    ASSERT_NE(sight.groundPoint, nullptr);
    EXPECT_NEAR(sight.groundPoint->z, 100.0f, 1e-3f);
    EXPECT_EQ(CommandMenu_Primary().kind, 3);
    EXPECT_TRUE(CommandMenu_Primary().hasPoint);
    world_.inBounds = false;
    sight.Simulate(0.1f);
    EXPECT_EQ(sight.groundPoint, nullptr);
    EXPECT_FALSE(CommandMenu_Primary().hasPoint);
    // Outside the cockpit states nothing is aimed at.
    world_.inBounds = true;
    world_.viewState = 3;
    sight.Simulate(0.1f);
    EXPECT_EQ(sight.groundPoint, nullptr);
    (void)craft;
}

TEST_F(CombatHudTest, TheUsersAimPointIsTheTargetElseWhatTheSightRestsOn) {
    Vector at{};
    EXPECT_FALSE(AimSight_UserAimPoint(&at)) << "no user";
    GameObject* craft = Player();
    AimSight& sight = AimSight_Instance();
    GameObject* enemy = Object({0, 0, 40}, 2, 4.0f);
    GameObject* picked = Object({30, 0, 60}, 2, 4.0f);
    world_.grid = {enemy};
    sight.Simulate(0.1f);
    ASSERT_EQ(sight.aimObject, enemy);
    craft->SetTarget(picked);
    ASSERT_TRUE(AimSight_UserAimPoint(&at));
    EXPECT_EQ(at.x, 30.0f) << "the selected target first";
    craft->SetTarget(nullptr);
    ASSERT_TRUE(AimSight_UserAimPoint(&at));
    EXPECT_EQ(at.z, 40.0f) << "then the object under the sight";
    world_.grid.clear();
    world_.groundHit = true;
    sight.Simulate(0.1f);
    ASSERT_TRUE(AimSight_UserAimPoint(&at));
    EXPECT_NEAR(at.z, 100.0f, 1e-3f) << "then the ground under it";
    world_.groundHit = false;
    sight.Simulate(0.1f);
    EXPECT_FALSE(AimSight_UserAimPoint(&at)) << "aiming at nothing";
}

// In the 3-D sight (flat reticle off) the ground marker gets a white line 2 units up the aim's up
// axis, drawn translucent at the display's line alpha.
TEST_F(CombatHudTest, TheGroundMarkerHasATranslucentWhiteLineUpFromIt) {
    Player();
    ASSERT_EQ(RenderQueue_Init(), 1);
    struct CloseQueue {
        ~CloseQueue() { RenderQueue_Close(); }
    } closeQueue;
    AimSight& sight = AimSight_Instance();
    world_.groundHit = true;
    world_.flat = false;
    sight.Simulate(0.1f);
    ASSERT_NE(sight.groundPoint, nullptr);
    ASSERT_NE(sight.context, 0);
    const Vector ground = *sight.groundPoint;
    sight.Render(&view_);
    std::vector<const RenderItem*> lines;
    for (int b = RenderQueue_LowestBucket(); b <= RenderQueue_HighestBucket(); ++b)
        for (uint32_t at = RenderQueue_Bucket(b).head; at != kNoRenderItem;) {
            const RenderItem* item = RenderQueue_Item(at);
            if (item->kind == kRenderColouredLine) lines.push_back(item);
            at = item->next;
        }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->ref, static_cast<uint32_t>(HudColors.white));
    EXPECT_TRUE(lines[0]->flags & kLineTranslucent);
    EXPECT_EQ((lines[0]->flags >> kLineAlphaShift) & 0xFF, HudLineAlpha);
    // The view looks along z from the origin: view space is world space here.
    const RenderLinePayload line = RenderItem_GetPayload<RenderLinePayload>(lines[0]);
    const Vector& up = sight.aim.up;
    EXPECT_NEAR(line.from[2], ground.z, 1e-3f);
    EXPECT_NEAR(line.to[0] - line.from[0], 2.0f * up.x, 1e-3f);
    EXPECT_NEAR(line.to[1] - line.from[1], 2.0f * up.y, 1e-3f);
    EXPECT_NEAR(line.to[2] - line.from[2], 2.0f * up.z, 1e-3f);
    // With the flat reticle nothing of the 3-D sight is queued.
    RenderQueue_Reset();
    world_.flat = true;
    sight.Render(&view_);
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
}

TEST_F(CombatHudTest, ThePitchOffsetFollowsTheLevelSettingBit) {
    GameObject* craft = Player();
    craft->entity->local.front = {0.0f, -0.6f, 0.8f};  // nose down
    craft->entity->local.up = {0.0f, 0.8f, 0.6f};
    CombatHud_Services().aimFrame = [](GameObject* c, Matrix* out) {
        *out = c->entity->local;
        out->posit = {0, 0, 0};
    };
    CombatHud_Services().aimPitch = [](GameObject*) { return -0.4f; };
    AimSight& sight = AimSight_Instance();
    sight.Simulate(0.1f);
    EXPECT_NEAR(sight.aim.front.y, std::sin(std::asin(-0.6f) - 0.2f), 1e-5f);
    world_.flags = 0x10;
    sight.Simulate(0.1f);
    EXPECT_NEAR(sight.aim.front.y, std::sin(-0.2f), 1e-5f);
}

// ---- sniper scope ---------------------------------------------------------------------------

TEST_F(CombatHudTest, TheScopeRectanglesFollowTheLayoutAndTheScreen) {
    int r[4];
    ASSERT_TRUE(SniperScope_Rect(&view_, false, r));
    EXPECT_EQ((std::vector<int>{r[0], r[1], r[2], r[3]}), (std::vector<int>{446, 162, 573, 289}));
    ASSERT_TRUE(SniperScope_Rect(&view_, true, r));
    EXPECT_EQ((std::vector<int>{r[0], r[1], r[2], r[3]}), (std::vector<int>{421, 160, 548, 287}));
    GraphicBuffer big{};
    Graphic_InitBuffer(&big, 1024, 768, nullptr, 0);
    RenderView bigView{};
    View_Init(&bigView, &big, 1.3962634f, 1.0f, 300.0f, 1.0f);
    ASSERT_TRUE(SniperScope_Rect(&bigView, false, r));
    EXPECT_EQ((std::vector<int>{r[0], r[1], r[2], r[3]}), (std::vector<int>{714, 259, 917, 463}));
    // Zoomed in, the rectangle is clipped to the screen, and further in nothing is left.
    bigView.zoom = 2.0f;
    ASSERT_TRUE(SniperScope_Rect(&bigView, false, r));
    EXPECT_EQ(r[0], 915);
    EXPECT_EQ(r[2], 1023);
    bigView.zoom = 4.0f;
    EXPECT_FALSE(SniperScope_Rect(&bigView, false, r));
    Graphic_FreeBuffer(&big);
}

TEST_F(CombatHudTest, TheScopeOpensOnlyForAPersonAimingASniperWeapon) {
    GameObject* p = Player();
    PlainClass person;
    person.category = kCategoryPerson;
    p->hardpoints = new HardpointList(p);
    // Real weapons without a mount: the scope reads the chosen one's mount matrix.
    Weapon gunWeapon(nullptr, nullptr);
    static Weapon* rifle;
    Weapon rifleWeapon(nullptr, nullptr);
    rifle = &rifleWeapon;
    Weapon* const gun = &gunWeapon;
    p->hardpoints->weapons[0] = gun;
    p->hardpoints->weapons[1] = rifle;
    CombatHud_Services().weaponSignature = [](Weapon* w) {
        return w == rifle ? uint32_t('S') << 24 | uint32_t('N') << 16 | uint32_t('I') << 8 | uint32_t('P') : 0u;
    };
    SniperScope& scope = SniperScope_Instance();
    const struct {
        bool isPerson;
        uint32_t selected;
        bool opens;
    } cases[] = {{true, 0x2, true}, {true, 0x1, false}, {false, 0x2, false}, {true, 0x3, true}, {true, 0x0, false}};
    for (const auto& c : cases) {
        p->objClass = c.isPerson ? static_cast<GameObjectClass*>(&person) : &craftClass_[0];
        p->hardpoints->selected = c.selected;
        scope.pending = 0;
        scope.Update(0.1f);
        EXPECT_EQ(scope.pending, c.opens ? 1 : 0) << c.isPerson << " " << c.selected;
    }
    // The layout follows the person's side: large for the soviet side only.
    p->objClass = &person;
    p->hardpoints->selected = 0x2;
    for (int32_t side : {kSideUnknown, kSideAmerican, kSideSoviet, kSideAlien}) {
        person.side = side;
        scope.Update(0.1f);
        EXPECT_EQ(scope.large, side == kSideSoviet ? 1 : 0) << side;
    }
    // A person whose readiness test fails opens no scope.
    struct Unready : GameObject {
        using GameObject::GameObject;
        bool IsReady() override { return false; }
    };
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "unready");
    Entities_Add(e, 0, nullptr, nullptr);
    roots_.push_back(e);
    GameObject* unready = GameObject_New<Unready>(e, &person);
    unready->hardpoints = p->hardpoints;
    world_.player = unready;
    scope.pending = 0;
    scope.Update(0.1f);
    EXPECT_EQ(scope.pending, 0);
    unready->hardpoints = nullptr;
    world_.player = p;
    // On the hardware driver the scope draws through its own viewport and blends its rectangle.
    static std::vector<std::string> calls;
    calls.clear();
    CombatHud_Services().hardware = [] { return true; };
    CombatHud_Services().getViewport = [](int out[4]) { out[0] = 0, out[1] = 0, out[2] = 640, out[3] = 480; };
    CombatHud_Services().setViewport = [](const int r[4]) {
        calls.push_back(std::to_string(r[0]) + " " + std::to_string(r[1]) + " " + std::to_string(r[2]) + " " +
                        std::to_string(r[3]));
    };
    CombatHud_Services().fillBlended = [](uint32_t argb, int l, int t, int r, int b) {
        calls.push_back((argb == 0x0100FF00u ? "fill " : "? ") + std::to_string(l) + " " + std::to_string(t) + " " +
                        std::to_string(r) + " " + std::to_string(b));
    };
    scope.pending = 1;
    SniperScope_Render();
    EXPECT_EQ(calls, (std::vector<std::string>{"446 162 128 128", "0 0 640 480", "fill 446 162 573 289"}));
    EXPECT_EQ(scope.pending, 0);
    delete p->hardpoints;
    p->hardpoints = nullptr;
}

// ---- target view ----------------------------------------------------------------------------

// While the inset's world is drawn the renderer is marked as drawing an inset, and with the
// line-doubling option the inset draws on halved lines (its clear on the halved rows); both end
// with the inset.
TEST_F(CombatHudTest, TheTargetInsetIsMarkedAndDrawnLineDoubledWhenTheOptionIsOn) {
    GameObject* p = Player();
    p->SetTarget(Object({0, 0, 50}, 2, 3.0f));
    struct Seen {
        bool marked;
        int bufferHeight;
        float windowTop;
    };
    static std::vector<Seen> seen;
    seen.clear();
    CombatHud_Services().drawInset = [](RenderView* v, GameObject*, bool) {
        seen.push_back({Render_DrawingInset(), v->buffer->height, v->windowTop});
    };
    static uint8_t def[256];
    std::memset(def, 0, sizeof def);
    Seam_Shell().playerDef = [] { return def; };
    const uint32_t savedFlags = GraphicD3DFlags;
    GraphicD3DFlags = 0;
    TargetView& tv = TargetView_Instance();
    for (int lineDouble : {0, 1}) {
        SCOPED_TRACE(lineDouble);
        def[kPlayerDefLineDouble] = static_cast<uint8_t>(lineDouble);
        Graphic_Clear(&screen_, 5);
        tv.Init();
        tv.Update(0.1f);
        EXPECT_FALSE(Render_DrawingInset());
        TargetView_Render();
        ASSERT_EQ(seen.size(), size_t(lineDouble + 1));
        EXPECT_TRUE(seen.back().marked) << "marked while the inset's world is drawn";
        EXPECT_FALSE(Render_DrawingInset()) << "and no longer after";
        EXPECT_EQ(seen.back().bufferHeight, lineDouble ? 240 : 480);
        EXPECT_EQ(seen.back().windowTop, lineDouble ? 5.0f : 10.0f);
        EXPECT_EQ(screen_.height, 480) << "the screen is whole again";
        EXPECT_FALSE(Render_LineDoublingActive());
        // The window's first row is cleared either way: on halved lines it is row 5 of the
        // doubled rows, the screen's row 10 (a halved row spans two rows of the screen's memory).
        EXPECT_EQ(screen_.pixels[size_t(10) * screen_.width + 470], 223);
        EXPECT_EQ(screen_.pixels[size_t(10) * screen_.width + 469], HudColors.black);
    }
    GraphicD3DFlags = savedFlags;
}

TEST_F(CombatHudTest, TheTargetInsetDrawsOncePerUpdateFromBehindOrThroughTheAllysEyes) {
    GameObject* p = Player();
    GameObject* enemy = Object({0, 0, 50}, 2, 3.0f);
    GameObject* ally = Object({5, 0, 60}, 1, 3.0f);
    static std::vector<std::pair<DVector, bool>> insets;
    insets.clear();
    CombatHud_Services().drawInset = [](RenderView* v, GameObject*, bool allied) {
        insets.emplace_back(v->cameraPosition, allied);
    };
    Graphic_Clear(&screen_, 5);
    TargetView& tv = TargetView_Instance();
    tv.Init();
    p->SetTarget(enemy);
    TargetView_Render();
    EXPECT_TRUE(insets.empty()) << "nothing before an update";
    tv.Update(0.1f);
    tv.Draw();
    TargetView_Render();
    ASSERT_EQ(insets.size(), 1u) << "once per update, by whichever call comes first";
    tv.Update(0.1f);
    TargetView_Render();
    tv.Draw();
    EXPECT_EQ(insets.size(), 2u);
    // The inset at 640 x 480: columns 470 to 629, rows 10 to 130, framed two pixels wide.
    EXPECT_EQ((std::vector<int>{tv.frameLeft, tv.frameTop, tv.frameRight, tv.frameBottom}),
              (std::vector<int>{470, 10, 629, 130}));
    EXPECT_EQ((std::vector<float>{tv.view.windowLeft, tv.view.windowTop, tv.view.windowRight, tv.view.windowBottom}),
              (std::vector<float>{470, 10, 630, 131}));
    auto at = [&](int x, int y) { return int(screen_.pixels[size_t(y) * screen_.width + x]); };
    const int black = HudColors.black;
    EXPECT_EQ(at(468, 8), black);
    EXPECT_EQ(at(631, 9), black);
    EXPECT_EQ(at(468, 70), black);
    EXPECT_EQ(at(631, 132), black);
    EXPECT_EQ(at(470, 10), 223) << "the window is cleared";
    EXPECT_EQ(at(629, 130), 223);
    EXPECT_EQ(at(467, 8), 5) << "nothing outside the frame";
    EXPECT_EQ(at(632, 133), 5);
    // An enemy is seen from two radii behind it on the line from the craft.
    EXPECT_FALSE(insets[0].second);
    EXPECT_DOUBLE_EQ(insets[0].first.z, 44.0);
    EXPECT_NEAR(insets[0].first.x, 0.0, 1e-9);
    // An ally through its own placement.
    p->SetTarget(ally);
    tv.Update(0.1f);
    tv.Draw();
    ASSERT_EQ(insets.size(), 3u);
    EXPECT_TRUE(insets[2].second);
    EXPECT_DOUBLE_EQ(insets[2].first.x, 5.0);
    EXPECT_DOUBLE_EQ(insets[2].first.z, 60.0);
    // The hardware driver draws the inset through a viewport of its own, put back after, and
    // blends a fill over the framed rectangle.
    static std::vector<std::string> calls;
    calls.clear();
    CombatHud_Services().hardware = [] { return true; };
    CombatHud_Services().getViewport = [](int out[4]) { out[0] = 0, out[1] = 0, out[2] = 640, out[3] = 480; };
    CombatHud_Services().setViewport = [](const int r[4]) {
        calls.push_back("viewport " + std::to_string(r[0]) + " " + std::to_string(r[1]) + " " + std::to_string(r[2]) +
                        " " + std::to_string(r[3]));
    };
    CombatHud_Services().fillBlended = [](uint32_t argb, int l, int t, int r, int b) {
        char text[64];
        std::snprintf(text, sizeof text, "fill %08X %d %d %d %d", argb, l, t, r, b);
        calls.push_back(text);
    };
    tv.Update(0.1f);
    tv.Draw();
    EXPECT_EQ(calls, (std::vector<std::string>{"viewport 470 10 160 121", "viewport 0 0 640 480",
                                               "fill 0100FF00 468 8 631 132"}));
    CombatHud_Services().hardware = [] { return false; };
    // Without a target nothing is drawn.
    p->SetTarget(nullptr);
    tv.Update(0.1f);
    tv.Draw();
    EXPECT_EQ(insets.size(), 4u);
    EXPECT_EQ(tv.target, nullptr);
}

// An allied target with an eye part (a part of type 40) is seen from that part: its placement in
// the world at each draw. A new object in the freed slot of the old target has an eye of its own.
TEST_F(CombatHudTest, AnAlliedTargetIsSeenThroughItsEyePart) {
    GameObject* p = Player();
    GameObject* ally = Object({5, 0, 60}, 1, 3.0f);
    Entity* body = Entity_New(ally->entity);  // an ordinary part before the eye in the walk
    body->type = 7;
    Entity* eye = Entity_New(body);
    eye->type = kTypeCockpitPart;
    eye->local.right = {0, 0, -1}, eye->local.up = {0, 1, 0}, eye->local.front = {1, 0, 0};  // looks along +x
    eye->local.posit = {0, 2, 1};
    struct Seen {
        DVector camera;
        Vector ahead;  // the point 10 along world +x from (5, 2, 61), in view space
        bool allied;
    };
    static std::vector<Seen> seen;
    seen.clear();
    CombatHud_Services().drawInset = [](RenderView* v, GameObject*, bool allied) {
        Vector ahead{};
        View_TransformPoint(&ahead, v, 15.0, 2.0, 61.0);
        seen.push_back({v->cameraPosition, ahead, allied});
    };
    TargetView& tv = TargetView_Instance();
    tv.Init();
    p->SetTarget(ally);
    tv.Update(0.1f);
    TargetView_Render();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(tv.eyePart, eye);
    EXPECT_TRUE(seen[0].allied);
    EXPECT_DOUBLE_EQ(seen[0].camera.x, 5.0);
    EXPECT_DOUBLE_EQ(seen[0].camera.y, 2.0);
    EXPECT_DOUBLE_EQ(seen[0].camera.z, 61.0);
    EXPECT_NEAR(seen[0].ahead.x, 0.0f, 1e-4f);
    EXPECT_NEAR(seen[0].ahead.z, 10.0f, 1e-4f) << "the eye's own heading";
    // The target moves: the eye goes with it.
    ally->entity->local.posit = {8, 0, 60};
    tv.Update(0.1f);
    TargetView_Render();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_DOUBLE_EQ(seen[1].camera.x, 8.0);
    // The ally goes; a new object without an eye takes its slot and becomes the target.
    const uint32_t oldHandle = ally->GetObjHandle();
    world_.objects.erase(std::find(world_.objects.begin(), world_.objects.end(), ally));
    delete ally;
    GameObject* next = Object({-20, 0, 30}, 1, 3.0f);
    ASSERT_EQ(static_cast<void*>(next), static_cast<void*>(ally)) << "the same slot";
    ASSERT_NE(next->GetObjHandle(), oldHandle);
    p->SetTarget(next);
    tv.Update(0.1f);
    TargetView_Render();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(tv.eyePart, nullptr);
    EXPECT_DOUBLE_EQ(seen[2].camera.x, -20.0) << "its own placement, not the old eye";
    EXPECT_DOUBLE_EQ(seen[2].camera.y, 0.0);
}

// ---- markers and projection --------------------------------------------------------------------

TEST_F(CombatHudTest, WorldToScreenDividesOnlyBeyondDepthOne) {
    float scale = 0;
    const HudScreenPoint a = Hud_WorldToScreen({10, 0, 10}, &view_, &scale);
    EXPECT_EQ(a.x, int(std::lround(view_.centreX + 10 * view_.scaleX / 10)));
    EXPECT_FLOAT_EQ(scale, view_.scaleX / 10);
    const HudScreenPoint b = Hud_WorldToScreen({0.5f, 0, 0.5f}, &view_, &scale);
    EXPECT_EQ(b.x, int(std::lround(view_.centreX + 0.5f * view_.scaleX)));
    Hud_WorldToScreen({1, 0, 0}, &view_, &scale);
    EXPECT_EQ(scale, 1e30f);
}

TEST_F(CombatHudTest, AFarCornerObjectGetsTheUpCaretClampedToTheLeft) {
    int x = 0, y = 0;
    EXPECT_EQ(Markers_PlaceOffScreen(-5000, -300, 640, 480, false, &x, &y), kCaretUp);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(Markers_PlaceOffScreen(-200, 240, 640, 480, false, &x, &y), kCaretLeft);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(Markers_PlaceOffScreen(320, 900, 640, 480, false, &x, &y), kCaretDown);
    EXPECT_EQ(y, 479);
    EXPECT_EQ(Markers_PlaceOffScreen(300, 200, 640, 480, false, &x, &y), -1);
}

TEST_F(CombatHudTest, MarkersShowFlaggedObjectsWithRangeAndHealth) {
    GameObject* p = Player();
    UnitMarkers& markers = UnitMarkers_Instance();
    markers.Start();
    for (int i = 0; i < 7; ++i) markers.bases[i] = 100 + i * 5;
    // A 4 x 20 bar of its own.
    static uint8_t page[8 + 4 * 20] = {4, 0, 0, 0, 20, 0, 0, 0};
    const int yellowBar = Sprite_Append(page, 0, 0, 4, 20);
    ASSERT_GT(yellowBar, 0);
    markers.bars[0] = 200, markers.bars[1] = yellowBar, markers.bars[2] = 202;
    GameObject* enemyOff = Object({-500, 0, 10}, 2);  // off screen, unflagged
    (void)enemyOff;
    GameObject* target = Object({0, 0, 1234}, 2);
    target->healthRatio = 0.3f;
    p->SetTarget(target);
    markers.Draw();
    ASSERT_EQ(world_.texts, (std::vector<std::string>{"1234m"}));
    const int red = markers.colourClass[HudColors.red];
    EXPECT_EQ(red, 3);
    bool targetMark = false, bar = false;
    for (const auto& d : world_.draws) {
        EXPECT_NE(d.sprite, 100 + kCaretLeft * 5 + red);  // no caret for the unflagged enemy
        targetMark |= d.sprite == 100 + kMarkTarget * 5 + red;
        if (d.sprite == yellowBar) {
            bar = true;
            // The bar is 20 rows centred on the point: its upper 70 percent are cut away.
            EXPECT_EQ(d.clipTop, Hud_WorldToScreen(target->pos, &view_, nullptr).y - 10 + 14);
        }
    }
    EXPECT_TRUE(targetMark);
    EXPECT_TRUE(bar);
}

// ---- radar -------------------------------------------------------------------------------------

TEST_F(CombatHudTest, RadarGeometryAndRefreshInterval) {
    Radar& radar = Radar_Instance();
    radar.Layout(480);
    EXPECT_EQ(radar.radius, 110);
    EXPECT_EQ(radar.centreX, 120);
    EXPECT_EQ(radar.centreY, 400);
    radar.Layout(768);
    EXPECT_EQ(radar.radius, 110);
    EXPECT_EQ(radar.centreY, 688);
    EXPECT_EQ(Radar_IntervalFor(60.0f, 0), 200u);
    EXPECT_EQ(Radar_IntervalFor(50.0f, 200), 200u);
    EXPECT_EQ(Radar_IntervalFor(50.0f, 0), 0u);
    EXPECT_EQ(Radar_IntervalFor(35.0f, 200), 0u);
}

TEST_F(CombatHudTest, RadarPingsBlipsAndChevrons) {
    Seam_Cockpit().radarIsOn = [] { return true; };
    Seam_Cockpit().hudIsOn = [] { return true; };
    CombatHud_Services().pingRequested = [](GameObject*) { return g_world->now < 10.5f; };
    GameObject* p = Player();
    world_.range = 100.0f;
    GameObject* ownFar = Object({0, 0, 400}, 1);
    GameObject* enemyFarHidden = Object({400, 0, 0}, 2);
    enemyFarHidden->illumination = 0.0f;
    GameObject* nearEnemy = Object({0, 0, 20}, 2);
    GameObject* farEnemy = Object({0, 0, 80}, 2);
    ownFar->enemyShot = 9.5f;
    Radar& radar = Radar_Instance();
    radar.Init();
    radar.Start();
    radar.Update(0.1f);
    EXPECT_EQ(world_.sounds, (std::vector<std::string>{"ping.wav"}));
    EXPECT_FLOAT_EQ(radar.ping, 12.0f);
    EXPECT_TRUE(radar.reliefPending);
    EXPECT_FALSE(radar.relief.empty());
    world_.now = 11.0f;
    for (int i = 0; i < 6; ++i) radar.Update(0.1f);
    EXPECT_NEAR(radar.ping, 0.0f, 1e-5f);
    radar.Draw();
    // Far to near; the hidden enemy beyond the range is absent, the own one a chevron.
    EXPECT_EQ(radar.drawn, (std::vector<GameObject*>{ownFar, farEnemy, nearEnemy, p}));
    EXPECT_EQ(radar.chevrons, 1);
    // The growl once for the hit, not again within its second.
    EXPECT_EQ(std::count(world_.sounds.begin(), world_.sounds.end(), "cgrowl.wav"), 1);
    radar.Draw();
    EXPECT_EQ(std::count(world_.sounds.begin(), world_.sounds.end(), "cgrowl.wav"), 1);
    // A craft without a positive range shows nothing.
    world_.range = 0.0f;
    world_.realMs += 1000;
    radar.Update(0.1f);
    EXPECT_TRUE(radar.relief.empty());
    radar.Draw();
    EXPECT_TRUE(radar.drawn.empty());
}

TEST_F(CombatHudTest, RadarStalksOnlyBeyondTwoPixels) {
    Seam_Cockpit().radarIsOn = [] { return true; };
    Seam_Cockpit().hudIsOn = [] { return true; };
    Player();
    world_.range = 100.0f;
    GameObject* blip = Object({0, 0, 30}, 2);
    Radar& radar = Radar_Instance();
    radar.Init();
    radar.Start();
    radar.Update(0.1f);
    auto whites = [&] {
        int n = 0;
        for (size_t i = 0; i < size_t(screen_.width) * size_t(screen_.height); ++i) n += screen_.pixels[i] == HudColors.white;
        return n;
    };
    // Heights above the ground and whether a stalk joins blip and ground (a unit of height is
    // about 0.95 pixels here: 110 pixels for 100 units, tilted 30 degrees).
    const struct {
        float height;
        bool stalk;
    } cases[] = {{0.0f, false}, {1.5f, false}, {3.5f, true}, {30.0f, true}, {-30.0f, true}};
    for (const auto& c : cases) {
        blip->pos.y = c.height;
        Graphic_Clear(&screen_, 0);
        radar.Draw();
        EXPECT_EQ(whites() > 0, c.stalk) << c.height;
    }
}

TEST_F(CombatHudTest, TheRadarReliefStopsAtItsLimit) {
    Seam_Cockpit().radarIsOn = [] { return true; };
    Seam_Cockpit().hudIsOn = [] { return true; };
    Player();
    world_.range = 3000.0f;
    Radar& radar = Radar_Instance();
    radar.Init();
    radar.Start();
    radar.Update(0.016f);
    EXPECT_EQ(radar.relief.size(), size_t(kRadarReliefMax));
}
}  // namespace
