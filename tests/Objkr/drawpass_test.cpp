#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Objkr/classfnc.h"
#include "render/drawpass.h"
#include "Objkr/rendersettings.h"
#include "Terrain/terramap.h"
#include "draw_fixture.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"

namespace {

struct Queued {
    uint32_t kind;
    uint32_t flags;
    RenderEntityPayload payload;
    float depth;
};

class DrawPassTest : public DrawFixture {
protected:
    void SetUp() override {
        DrawFixture::SetUp();
        RenderQueue_Reset();
    }
    std::vector<Queued> QueuedItems() {
        std::vector<Queued> items;
        for (int b = RenderQueue_HighestBucket(); b >= RenderQueue_LowestBucket(); --b) {
            for (uint32_t at = RenderQueue_Bucket(b).head; at != kNoRenderItem;) {
                const RenderItem* item = RenderQueue_Item(at);
                if (item->vertexCount == 0)
                    items.push_back({item->kind, item->flags, RenderItem_GetPayload<RenderEntityPayload>(item), item->depth});
                at = item->next;
            }
        }
        return items;
    }
    // A root with one square part, entered at the position.
    EntityTableRecord* Thing(const Vector& position, int32_t type = kTypeBuilding, float half = 1.0f) {
        Entity* root = NewRoot("thing");
        root->type = type;
        Part(root, Square(0.0f, 10, half));
        return Enter(root, position);
    }
};

TEST_F(DrawPassTest, CullingByRadiusRangeAndView) {
    LookFrom({0, 0, 0}, {1, 0, 0});  // far distance 100 along +x
    EntityTableRecord* tiny = Thing({20, 0, 0});
    tiny->radius = 0.00005f;
    EntityTableRecord* atRange = Thing({100, 0, 0});
    EntityTableRecord* beyond = Thing({100.01f, 0, 0});
    EntityTableRecord* behind = Thing({-20, 0, 0});
    EntityTableRecord* seen = Thing({20, 0, 0});
    atRange->localCentre = beyond->localCentre = Vector{0, 0, 0};
    Entities_DrawWorld(&view, nullptr);
    std::vector<const void*> records;
    for (const Queued& q : QueuedItems()) {
        EXPECT_EQ(q.kind, uint32_t(kRenderObjectEntity));
        records.push_back(q.payload.record);
    }
    auto has = [&](const EntityTableRecord* r) { return std::find(records.begin(), records.end(), r) != records.end(); };
    EXPECT_FALSE(has(tiny));
    EXPECT_TRUE(has(atRange));
    EXPECT_FALSE(has(beyond));
    EXPECT_FALSE(has(behind));
    EXPECT_TRUE(has(seen));
    // Depth key: view depth minus radius.
    for (const Queued& q : QueuedItems())
        if (q.payload.record == seen) {
            EXPECT_NEAR(q.depth, 20.0f - seen->radius, 1e-3f);
        }
    // The excluded record (the user's own in the cockpit) is skipped.
    RenderQueue_Reset();
    Entities_DrawWorld(&view, seen);
    for (const Queued& q : QueuedItems()) EXPECT_NE(q.payload.record, seen);
}

TEST_F(DrawPassTest, OnlyThe128NearestGetComputedDetailFlags) {
    Render_Settings().displayMode = 0;
    std::vector<EntityTableRecord*> records;
    for (int i = 0; i < 130; ++i) records.push_back(Thing({0, 0, 5.0f + 0.5f * float(129 - i)}));
    Entities_DrawWorld(&view, nullptr);
    // Entered farthest first: the first two are the two farthest.
    EXPECT_EQ(records[0]->frameFlags, kFarDetailFlags);
    EXPECT_EQ(records[1]->frameFlags, kFarDetailFlags);
    for (int i = 2; i < 130; ++i) ASSERT_EQ(records[size_t(i)]->frameFlags, 13) << i;
    EXPECT_EQ(QueuedItems().size(), 130u);
}

TEST_F(DrawPassTest, DetailFlagsBySizeCountAndDistance) {
    RenderSettings& s = Render_Settings();
    s.paletteMode = 0;
    for (int g = 0; g < kDetailGroupCount; ++g) s.countLimits[g] = 0, s.distanceLimits[g] = 0;
    s.fixedSizes[0] = 1.0f, s.fixedSizes[1] = 2.0f, s.fixedSizes[2] = 4.0f;
    EntityTableRecord* r = Thing({0, 0, 10});
    r->radius = 3.0f;
    r->extraGiven = 1;
    const float sizes[3] = {2.0f, 5.0f, 20000.0f};  // the third is out of range: the default
    std::memcpy(r->extra, sizes, sizeof sizes);
    s.defaultSizes[2] = 6.0f;
    struct Case {
        float scale;
        int position;
        int countLimit;
        uint32_t expected;
    };
    const Case cases[] = {
        {0.4f, 0, 0, 0x00},
        {0.5f, 0, 0, 0x20},                       // 3 <= 6 x 0.5: the default third size
        {1.0f, 0, 0, 0x10 | 0x20},                // and 3 <= 4 x 1: the third fixed size
        {1.5f, 0, 0, 0x2B | 0x09 | 0x08 | 0x10 | 0x20},
        {0.4f, 7, 7, 0x09},                       // the place reaches the limit of group 0x09
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        s.countLimits[kDetailGroup09] = c.countLimit;
        EXPECT_EQ(Entities_DetailFlags(r, c.scale, 100, c.position) & 0x3F, c.expected & 0x3F);
    }
    s.distanceLimits[kDetailGroup20] = 10.0f;
    EXPECT_TRUE(Entities_DetailFlags(r, 0.1f, 100, 0) & 0x20);
    EXPECT_FALSE(Entities_DetailFlags(r, 0.1f, 99, 0) & 0x20);
    s.paletteMode = 1;
    EXPECT_EQ(Entities_DetailFlags(r, 1.5f, 0, 0) & 0x3, 0u);
}

TEST_F(DrawPassTest, OverlappingStaticEntitiesClusterIntoOneItem) {
    RenderSettings& s = Render_Settings();
    s.displayMode = 1;
    for (int g = 0; g < kDetailGroupCount; ++g) s.countLimits[g] = 0, s.distanceLimits[g] = 0;
    // Flag 0x8 stays clear: no size reduces detail.
    for (float& f : s.fixedSizes) f = 0.0f;
    for (float& f : s.defaultSizes) f = 0.0f;
    EntityTableRecord* a = Thing({0, 0, 10});
    EntityTableRecord* b = Thing({0.5f, 0, 10.5f});
    EntityTableRecord* apart = Thing({6, 0, 20});
    for (int cluster : {0, 1}) {
        SCOPED_TRACE(cluster);
        s.cluster = cluster;
        RenderQueue_Reset();
        Entities_DrawWorld(&view, nullptr);
        const std::vector<Queued> items = QueuedItems();
        EXPECT_EQ(items.size(), cluster ? 2u : 3u);
    }
    EXPECT_EQ(a->drawLinks[kDrawLinkCluster], b);
    EXPECT_EQ(apart->drawLinks[kDrawLinkCluster], nullptr);
    // The leader draws its member with it.
    RenderQueue_Flush(&view);
    EXPECT_GT(CountColour(10), 0);
}

TEST_F(DrawPassTest, SecondaryPassFlags) {
    EntityTableRecord* r = Thing({0, 0, 10});
    Entity* compositeRoot = NewRoot("comp");
    compositeRoot->flags |= kEntityComposite;
    Entity* part = Part(compositeRoot, Square(0.0f, 11));
    EntityTableRecord* composite = Enter(compositeRoot, {2, 0, 10});
    static void* g_selected;
    g_selected = &g_selected;
    r->entity->owner = g_selected;
    Draw_Services().ownerSelected = [](void* owner) { return owner == g_selected; };
    struct Case {
        const char* name;
        void (*pass)(const RenderView*, EntityTableRecord*);
        int palette;
        uint32_t recordFlags;
        bool compositeQueued;
    };
    const Case cases[] = {
        {"panel", [](const RenderView* v, EntityTableRecord*) { Entities_DrawPanelView(v, nullptr); }, 0, 33, true},
        {"panel, palette", [](const RenderView* v, EntityTableRecord*) { Entities_DrawPanelView(v, nullptr); }, 1, 32, true},
        {"selected", [](const RenderView* v, EntityTableRecord*) { Entities_DrawSelected(v); }, 1, 41, false},
        {"other", [](const RenderView* v, EntityTableRecord* one) { Entities_DrawOther(v, one); }, 1, 37, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Render_Settings().paletteMode = c.palette;
        RenderQueue_Reset();
        c.pass(&view, r);
        bool sawRecord = false, sawPart = false;
        for (const Queued& q : QueuedItems()) {
            if (q.payload.record == r) {
                sawRecord = true;
                EXPECT_EQ(q.kind, uint32_t(kRenderObjectEntity));
                EXPECT_EQ(q.flags, c.recordFlags);
            }
            if (q.payload.entity == part) {
                sawPart = true;
                EXPECT_EQ(q.kind, uint32_t(kRenderEntity));
                EXPECT_EQ(q.flags, 33u);
                EXPECT_EQ(q.payload.record, composite);
            }
        }
        EXPECT_TRUE(sawRecord);
        EXPECT_EQ(sawPart, c.compositeQueued);
    }
}

TEST_F(DrawPassTest, DrawSingleDrawsAtOnce) {
    EntityTableRecord* r = Thing({0, 0, 0});
    Render_Settings().drawSingle = 0;
    Entities_DrawSingle(&view, r);
    EXPECT_EQ(CountColour(10), 0);
    r->entity->type = kTypePerson;  // persons are always drawn
    Entities_DrawSingle(&view, r);
    EXPECT_GT(CountColour(10), 0);
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
}

TEST_F(DrawPassTest, ShadowPatternOriginSnapsAndTilesThreeByThree) {
    Entity* group = NewRoot("shadows");
    Entity* tile = Part(group, Square(0.0f, 12, 5.0f));
    tile->local = Matrix_RotationX(1.5707964f);  // lying on the ground
    Classfnc_SetClass(group, kTypeShadowGroup);
    Enter(group);
    Classfnc_ActivatePending();
    ASSERT_EQ(ShadowGroup_List(), tile);
    Draw_Services().terrainHeight = [](double, double) { return 0.0f; };
    Draw_Services().zoneReferenceHeight = [](double, double) { return 0.0f; };
    Draw_Services().zoneAllowsPattern = [](double, double) { return true; };
    View_Init(&view, &buffer, kViewFovMax, 1.0f, 400.0f, 1.0f);
    LookFrom({250, 500, -30}, {0, -1, 0.0001f});
    Shadows_Draw(&view);
    float x = 0, z = 0;
    ASSERT_TRUE(Shadows_PatternOrigin(&x, &z));
    EXPECT_EQ(x, 200.0f);
    EXPECT_EQ(z, -100.0f);
    // Depth 500 is beyond the pattern's 120: nothing queued from up there.
    EXPECT_TRUE(QueuedItems().empty());
    LookFrom({250, 110, -30}, {0, -1, 0.0001f});
    Shadows_Draw(&view);
    std::vector<std::pair<float, float>> offsets;
    for (const Queued& q : QueuedItems()) {
        EXPECT_EQ(q.kind, uint32_t(kRenderShadowPattern));
        EXPECT_EQ(q.payload.hint, kPayloadPatternFace);
        offsets.emplace_back(q.payload.position[0], q.payload.position[2]);
    }
    std::sort(offsets.begin(), offsets.end());
    std::vector<std::pair<float, float>> expected;
    for (float ox : {100.0f, 200.0f, 300.0f})
        for (float oz : {-200.0f, -100.0f, 0.0f}) expected.emplace_back(ox, oz);
    EXPECT_EQ(offsets, expected);
    // A small move keeps the origin; leaving the cell by more than 100 moves it.
    LookFrom({390, 110, 60}, {0, -1, 0.0001f});
    Shadows_Draw(&view);
    Shadows_PatternOrigin(&x, &z);
    EXPECT_EQ(x, 200.0f);
    LookFrom({420, 110, 60}, {0, -1, 0.0001f});
    Shadows_Draw(&view);
    Shadows_PatternOrigin(&x, &z);
    EXPECT_EQ(x, 400.0f);
    EXPECT_EQ(z, 0.0f);
}

// The pattern lies on the map's zones only, and only where the ground is at most 5 above the
// map's base height.
TEST_F(DrawPassTest, ShadowPatternKeepsToTheZonesAndTheLowGround) {
    Entity* group = NewRoot("shadows");
    Entity* tile = Part(group, Square(0.0f, 12, 5.0f));
    tile->local = Matrix_RotationX(1.5707964f);
    Classfnc_SetClass(group, kTypeShadowGroup);
    Enter(group);
    Classfnc_ActivatePending();
    // One zone: metres 0 to 1280 on both axes; base height 20.
    ZoneMap[0][0] = 0;
    Terrain_SetBaseHeight(20);
    // Ground 26 (too high) west of x 1150, 25 (at the limit) east of it.
    Draw_Services().terrainHeight = [](double x, double) { return x < 1150.0 ? 26.0f : 25.0f; };
    View_Init(&view, &buffer, kViewFovMax, 1.0f, 400.0f, 1.0f);
    LookFrom({1250, 110, 1270}, {0, -1, 0.0001f});  // pattern origin (1200, 1200)
    Shadows_Draw(&view);
    std::vector<std::pair<float, float>> offsets;
    for (const Queued& q : QueuedItems()) offsets.emplace_back(q.payload.position[0], q.payload.position[2]);
    std::sort(offsets.begin(), offsets.end());
    // Of the tiles at 1100, 1200 and 1300 on each axis, those at 1300 lie beyond the zone and
    // those at x 1100 on high ground.
    EXPECT_EQ(offsets, (std::vector<std::pair<float, float>>{{1200.0f, 1100.0f}, {1200.0f, 1200.0f}}));
    ZoneMap[0][0] = kNoZone;
    Terrain_SetBaseHeight(0);
}

// The selected view draws the records whose game object is in the command selection.
TEST_F(DrawPassTest, TheSelectedViewDrawsTheObjectsInTheSelection) {
    class PlainClass : public GameObjectClass {
    public:
        GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
        GameObjectClass* Derive(const char*) override { return nullptr; }
    } cls;
    GameObject_PoolInit();
    EntityTableRecord* first = Thing({-2, 0, 10});
    EntityTableRecord* second = Thing({2, 0, 10});
    Thing({0, 0, 12});  // no object owns it
    GameObject* a = GameObject_New<GameObject>(first->entity, &cls);
    GameObject* b = GameObject_New<GameObject>(second->entity, &cls);
    auto drawn = [&] {
        RenderQueue_Reset();
        Entities_DrawSelected(&view);
        std::vector<const void*> records;
        for (const Queued& q : QueuedItems()) records.push_back(q.payload.record);
        return records;
    };
    EXPECT_TRUE(drawn().empty()) << "nothing selected";
    a->isSelected = 1;
    EXPECT_EQ(drawn(), (std::vector<const void*>{first}));
    a->isSelected = 0;
    b->isSelected = 1;
    EXPECT_EQ(drawn(), (std::vector<const void*>{second}));
    delete a;
    delete b;
}

TEST_F(DrawPassTest, GroundShadowCrossingEndsWithinTenHalvings) {
    struct Case {
        const char* name;
        float (*height)(double, double);
        DVector from;
        Vector direction;
        bool crosses;
    };
    const Case cases[] = {
        {"flat", [](double, double) { return 0.0f; }, {0, 50, 0}, {0, -1, 0}, true},
        {"slope", [](double x, double) { return float(x * 0.5); }, {0, 30, 0}, {0.6f, -0.8f, 0}, true},
        {"steps", [](double x, double) { return float(std::floor(x)); }, {0, 90, 0}, {0.7f, -0.7f, 0}, true},
        {"start under ground", [](double, double) { return 100.0f; }, {0, 50, 0}, {0, -1, 0}, false},
        {"never reaching it", [](double, double) { return -500.0f; }, {0, 50, 0}, {0, -1, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Draw_Services().terrainHeight = c.height;
        DVector hit{};
        const int halvings = Terrain_FindCrossing(c.from, c.direction, &hit);
        if (!c.crosses) {
            EXPECT_EQ(halvings, -1);
            continue;
        }
        EXPECT_GE(halvings, 1);
        EXPECT_LE(halvings, 10);
        if (halvings < 10) {
            EXPECT_LT(std::fabs(hit.y - c.height(hit.x, hit.z)), 0.2);
        }
    }
}

}  // namespace
