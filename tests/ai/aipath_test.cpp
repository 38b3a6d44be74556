#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "ai/aimission.h"
#include "ai/aistandins.h"
#include "ai/aipath.h"
#include "ai/pathgrid.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "mission_fixture.h"
#include "pathgrid_fixture.h"
#include "support/field_stream.h"

namespace {

class PathTest : public MissionFixture {
protected:
    void SetUp() override {
        MissionFixture::SetUp();
        AiPaths_Reset();
        savedTerrain_ = TerrainBounds;
    }
    void TearDown() override {
        TerrainBounds = savedTerrain_;
        AiPaths_Reset();
        MissionFixture::TearDown();
    }
    static AiPath* NewPath(const char* label, std::vector<Vector2D> points, int32_t type = 0) {
        auto* path = new AiPath(label, 0);
        path->points = std::move(points);
        path->pathType = type;
        return path;
    }
    TerrainBoundsInfo savedTerrain_{};
};

TEST_F(PathTest, FindTakesTheEarlierOfTwoEqualLabelsAndSkipsUnnamedPaths) {
    AiPath* unnamed = NewPath(nullptr, {{1, 1}});
    AiPath* first = NewPath("route", {{2, 2}});
    NewPath("route", {{3, 3}});
    EXPECT_EQ(AiPath_Find("route"), first);
    EXPECT_EQ(AiPath_Find("Route"), nullptr);  // case counts
    EXPECT_EQ(AiPath_Find(""), nullptr);
    EXPECT_EQ(AiPath_Find(nullptr), nullptr);
    AiPath_DeleteUnnamed(first);  // named: stays
    EXPECT_EQ(AiPath_Find("route"), first);
    const size_t before = AiPaths().size();
    AiPath_DeleteUnnamed(unnamed);
    EXPECT_EQ(AiPaths().size(), before - 1);
}

TEST_F(PathTest, PointCountLengthAndSegment) {
    AiPath* path = NewPath("p", {{0, 0}, {3, 4}, {3, 10}});
    EXPECT_FLOAT_EQ(path->Length(), 11.0f);
    path->SetPointCount(4);
    ASSERT_EQ(path->PointCount(), 4);
    EXPECT_FLOAT_EQ(path->points[1].z, 4.0f);
    EXPECT_FLOAT_EQ(path->points[3].x, 0.0f);
    path->SetPointCount(-2);
    EXPECT_EQ(path->PointCount(), 0);
    path->InitSegment(Vector{1, 50, 2}, Vector{7, -3, 9});
    EXPECT_FALSE(path->HasLabel());
    ASSERT_EQ(path->PointCount(), 2);
    EXPECT_FLOAT_EQ(path->points[1].x, 7.0f);
    EXPECT_FLOAT_EQ(path->points[1].z, 9.0f);
}

TEST_F(PathTest, SectionRoundTripsInBothFormsAndOldSavesGiveKindZero) {
    for (const bool binary : {false, true}) {
        for (const int32_t version : {kSaveVersionCurrent, 1013}) {
            if (binary && version == 1013) continue;  // an old file is made from the text form
            SCOPED_TRACE(testing::Message() << "binary " << binary << " version " << version);
            AiPaths_Reset();
            NewPath("edge_path", {{10, 20}, {-5.5f, 7.25f}}, 2);
            NewPath(nullptr, {{1, 2}, {3, 4}, {5, 6}}, kPathTypeStraight);
            AiPath* empty = NewPath("nothing", {});
            Field_ResetSaveIds();
            bool ok = false;
            std::string bytes = CaptureFields(binary, AiPaths_Save, &ok);
            if (version < 1014) {
                // Files of that age hold no path kind.
                for (size_t at = bytes.find("pathType"); at != std::string::npos; at = bytes.find("pathType"))
                    bytes.erase(at, bytes.find("\r\n", at) + 2 - at);
            }
            const uint32_t emptyId = Field_SaveId(empty);
            Field_ResetSaveIds();
            ASSERT_TRUE(ok);
            AiPaths_DeleteAll();
            {
                FieldReadScope scope(bytes, binary, version);
                ASSERT_TRUE(AiPaths_Load());
                EXPECT_EQ(scope.Offset(), scope.Size());
                ASSERT_EQ(AiPaths().size(), 3u);
                EXPECT_EQ(Field_LookupPointer(emptyId), AiPaths()[2]);
                Field_FreePointerMap();
            }
            const AiPath* a = AiPaths()[0];
            const AiPath* b = AiPaths()[1];
            EXPECT_EQ(a->label, "edge_path");
            ASSERT_EQ(a->PointCount(), 2);
            EXPECT_FLOAT_EQ(a->points[1].x, -5.5f);
            EXPECT_FLOAT_EQ(a->points[1].z, 7.25f);
            EXPECT_FALSE(b->HasLabel());
            EXPECT_EQ(b->PointCount(), 3);
            EXPECT_EQ(a->pathType, version >= 1014 ? 2 : 0);
            EXPECT_EQ(b->pathType, version >= 1014 ? kPathTypeStraight : 0);
            EXPECT_EQ(AiPaths()[2]->PointCount(), 0);
        }
    }
}

TEST_F(PathTest, BadRecordsFailTheSection) {
    const auto text = [](const char* size, const char* label, const char* count, std::vector<const char*> points) {
        std::vector<std::string> lines = {"[AiPaths]", "count [1] =", "1", "[AiPath]", "old_ptr = 00000001", "size [1] =",
                                          size};
        if (label) {
            lines.push_back("label = " + std::string(label));
        }
        lines.push_back("pointCount [1] =");
        lines.push_back(count);
        lines.push_back("points [" + std::to_string(points.size()) + "] =");
        for (const char* p : points) {
            lines.push_back("  x [1] =");
            lines.push_back(p);
            lines.push_back("  z [1] =");
            lines.push_back(p);
        }
        lines.push_back("pathType = 00000000");
        std::string out;
        for (const std::string& l : lines) out += l + "\r\n";
        return out;
    };
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
    } cases[] = {
        {"good", text("4", "walk", "1", {"1"}), true},
        {"label missing", text("4", nullptr, "1", {"1"}), false},
        {"negative label size", text("-1", nullptr, "1", {"1"}), false},
        {"huge label size", text("100000", "walk", "1", {"1"}), false},
        {"short point list", text("4", "walk", "3", {"1"}), false},
        {"negative count", text("4", "walk", "-3", {}), false},
        {"no section label", "count [1] =\r\n0\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AiPaths_Reset();
        FieldReadScope scope(c.bytes, false);
        EXPECT_EQ(AiPaths_Load(), c.ok);
        Field_FreePointerMap();
        Field_DiscardFixups();
    }
}

TEST_F(PathTest, BoundsComeFromEdgePathOrTheTerrainLessThirty) {
    TerrainBounds.minXm = 0.0f;
    TerrainBounds.maxXm = 4096.0f;
    TerrainBounds.minZm = -100.0f;
    TerrainBounds.maxZm = 1000.0f;
    struct Case {
        const char* what;
        std::vector<Vector2D> edge;  // empty with named: an edge path without points
        bool named;
        MapBounds want;
    } cases[] = {
        {"no edge path", {}, false, {30.0f, 4066.0f, -70.0f, 970.0f}},
        {"edge path", {{200, 300}, {900, 150}, {500, 800}}, true, {200.0f, 900.0f, 150.0f, 800.0f}},
        {"edge path without points", {}, true, {30.0f, 4066.0f, -70.0f, 970.0f}},
        {"edge path along a line", {{100, 100}, {100, 900}}, true, {30.0f, 4066.0f, -70.0f, 970.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AiPaths_Reset();
        if (c.named) NewPath("edge_path", c.edge);
        NewPath("other", {{-5000, -5000}, {5000, 5000}});
        Mission_SetupBounds();
        const MapBounds& b = Mission_GetPlayBounds();
        EXPECT_FLOAT_EQ(b.xMin, c.want.xMin);
        EXPECT_FLOAT_EQ(b.xMax, c.want.xMax);
        EXPECT_FLOAT_EQ(b.zMin, c.want.zMin);
        EXPECT_FLOAT_EQ(b.zMax, c.want.zMax);
    }
}

TEST_F(PathTest, KeepInBoundsPushesBackOnlyFromOutside) {
    GameObject* object = Build(NewClass());
    ASSERT_NE(object, nullptr);
    {
        // Before any mission set the bounds up nothing is pushed.
        Matrix far = kIdentityMatrix;
        far.posit = DVector{-90000, 0, 70000};
        object->SetMatrix(far);
        object->SetVelocity(Vector{0, 0, 0});
        Mission_KeepInBounds(object, 0.1f);
        EXPECT_FLOAT_EQ(object->euler.velocity.x, 0.0f);
        EXPECT_FLOAT_EQ(object->euler.velocity.z, 0.0f);
    }
    Mission_SetPlayBounds(MapBounds{0.0f, 100.0f, 0.0f, 200.0f});
    struct Case {
        Vector at;
        Vector wantVelocity;  // from rest, dt 0.1
    } cases[] = {
        {{105, 0, 50}, {-5, 0, 0}},    // 5 m beyond xMax: 5 m/s back
        {{100, 0, 200}, {0, 0, 0}},    // on the corner: inside
        {{50, 3, 100}, {0, 0, 0}},
        {{-2, 9, -4}, {2, 0, 4}},
        {{50, 0, 210}, {0, 0, -10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.z);
        Matrix m = kIdentityMatrix;
        m.posit = DVector{c.at.x, c.at.y, c.at.z};
        object->SetMatrix(m);
        object->SetVelocity(Vector{0, 0, 0});
        Mission_KeepInBounds(object, 0.1f);
        EXPECT_NEAR(object->euler.velocity.x, c.wantVelocity.x, 1e-4);
        EXPECT_FLOAT_EQ(object->euler.velocity.y, 0.0f);
        EXPECT_NEAR(object->euler.velocity.z, c.wantVelocity.z, 1e-4);
    }
}

struct Mark {
    bool area;
    GroundRect rect;
    bool add;
};
std::vector<Mark>& Marks() {
    static std::vector<Mark> marks;
    return marks;
}

TEST_F(PathTest, FootprintsMarkTheGridForTheKindsThatTakePart) {
    PathGrid_Hooks().gridExists = [] { return true; };
    PathGrid_Hooks().markRect = [](const GroundRect& r, bool add) { Marks().push_back({false, r, add}); };
    PathGrid_Hooks().markArea = [](const Vector2D[4], const GroundRect& r, bool add) { Marks().push_back({true, r, add}); };
    struct Case {
        int32_t kind;
        const char* signature;
        bool dead;
        bool takesPart;
        bool byRect;
    } cases[] = {
        {2, "BLDG", false, true, false},  {5, "BLDG", false, true, true},   {10, "BLDG", false, true, false},
        {6, "TURR", false, true, false},  {2, "GEIZ", false, false, false}, {2, "PROX", false, false, false},
        {5, "SPWN", false, false, false}, {1, "HOVR", false, false, false}, {2, "BLDG", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.signature << (c.dead ? " dead" : ""));
        Marks().clear();
        GameObjectClass& cls = NewClass();
        cls.category = c.kind;
        cls.signature = Signature(c.signature);
        GameObject* object = Build(cls);
        object->radius = 4.0f;
        Matrix m = kIdentityMatrix;
        m.posit = DVector{100, 0, 50};
        object->SetMatrix(m);
        if (c.dead) object->entity->flags |= kEntityDead;
        Marks().clear();
        PathGrid_RebuildFootprints();
        const Mark* mine = nullptr;
        for (const Mark& mark : Marks())
            if (mark.rect.x0 == 96.0f && mark.rect.z1 == 54.0f) mine = &mark;
        ASSERT_EQ(mine != nullptr, c.takesPart);
        if (!c.takesPart) continue;
        EXPECT_EQ(mine->area, !c.byRect);
        EXPECT_TRUE(mine->add);
        // Moving the object and removing it unmarks the rectangle stored when it was added.
        m.posit = DVector{500, 0, 500};
        object->SetMatrix(m);
        Marks().clear();
        PathGrid_UpdateFootprint(object, false);
        ASSERT_EQ(Marks().size(), 1u);
        EXPECT_FALSE(Marks()[0].add);
        EXPECT_FLOAT_EQ(Marks()[0].rect.x0, 96.0f);
        EXPECT_FLOAT_EQ(Marks()[0].rect.z1, 54.0f);
        EXPECT_FALSE(PathGrid_StoredFootprint(object, nullptr));
        object->entity->flags &= ~kEntityDead;
        Destroy(object);
    }
    // Without a grid nothing is stored or marked.
    PathGrid_Hooks().gridExists = [] { return false; };
    GameObjectClass& cls = NewClass();
    cls.category = 2;
    Marks().clear();
    GameObject* object = Build(cls);
    PathGrid_UpdateFootprint(object, true);
    EXPECT_TRUE(Marks().empty());
    EXPECT_FALSE(PathGrid_StoredFootprint(object, nullptr));
}

TEST_F(PathTest, TheMissionStepAndTheCommandRoutesUseThePaths) {
    EXPECT_EQ(Ai_StandIns().keepInBounds, &Mission_KeepInBounds);
    EXPECT_EQ(Ai_StandIns().deleteAllPaths, &AiPaths_DeleteAll);
    NewPath("kept", {{1, 1}});
    AiPath* route = Seam_Ai().pathNew(Vector2D{1, 2}, Vector2D{3, 4});
    ASSERT_NE(route, nullptr);
    Vector2D first{};
    ASSERT_TRUE(Seam_Ai().pathFirstPoint(route, &first));
    EXPECT_FLOAT_EQ(first.z, 2.0f);
    Seam_Ai().pathFree(route);
    EXPECT_EQ(AiPaths().size(), 1u);
    Mission_Shutdown();
    EXPECT_TRUE(AiPaths().empty());
    // A command route that went with the mission is let go of without being touched.
    AiPath* gone = Seam_Ai().pathNew(Vector2D{0, 0}, Vector2D{1, 1});
    AiPaths_DeleteAll();
    Seam_Ai().pathFree(gone);
    EXPECT_TRUE(AiPaths().empty());
}

}  // namespace

namespace {

// On a real grid, taking one footprint away keeps the cells that another footprint still covers,
// for the rectangle kind and the area kind alike.
TEST_F(PathTest, RemovingAFootprintKeepsTheOverlappingOnesOnTheGrid) {
    for (const int32_t kind : {5, 2}) {
        SCOPED_TRACE(kind);
        HandField::Install(30, 20);
        PathGrid_Build();
        GameObjectClass& cls = NewClass();
        cls.category = kind;
        cls.signature = Signature("BLDG");
        GameObject* objects[2] = {};
        const double xs[2] = {100.0, 125.0};
        for (int i = 0; i < 2; ++i) {
            objects[i] = Build(cls);
            objects[i]->radius = 15.0f;
            Matrix m = kIdentityMatrix;
            m.posit = DVector{xs[i], 0, 100};
            objects[i]->SetMatrix(m);
            PathGrid_UpdateFootprint(objects[i], true);
        }
        const auto marked = [](float x, float z) { return (PathGrid_GetCellAt(x, z) & kPathArea) != 0; };
        EXPECT_TRUE(marked(90, 100));
        EXPECT_TRUE(marked(115, 100));
        EXPECT_TRUE(marked(135, 100));
        PathGrid_UpdateFootprint(objects[0], false);
        EXPECT_FALSE(marked(90, 100));   // only the first stood here
        EXPECT_TRUE(marked(115, 100));   // both stood here
        EXPECT_TRUE(marked(135, 100));
        PathGrid_UpdateFootprint(objects[1], false);
        EXPECT_FALSE(marked(115, 100));
        EXPECT_FALSE(marked(135, 100));
        for (GameObject* object : objects) Destroy(object);
        PathGrid_ResetForTests();
    }
}

}  // namespace
