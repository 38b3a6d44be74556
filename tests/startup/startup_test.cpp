// The start-up wiring the game runs: every built subsystem reached through its seam, and the
// sample map played end to end on exactly that wiring.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/objload.h"
#include "Terrain/terramap.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/phasehook.h"
#include "core/seams/objects.h"
#include "core/seams/world.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "interface/camera.h"
#include "platform/input.h"
#include "platform/surface.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "startup/startup.h"
#include "support/app_fixture.h"

namespace {

class StartupTest : public AppFixture {
protected:
    void SetUp() override {
        // The headless backend closes the window after this many frames (read when it starts).
        setenv("GRAVENHOLT_HEADLESS_FRAMES", "30", 1);
        AppFixture::SetUp();
        world_ = Seam_World();
        objects_ = Seam_Objects();
        objLoad_ = ObjLoad_Services();
        objkr_ = Objkr_Services();
    }
    void TearDown() override {
        Seam_World() = world_;
        Seam_Objects() = objects_;
        ObjLoad_Services() = objLoad_;
        Objkr_Services() = objkr_;
        AppFixture::TearDown();
        unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    }

    static std::vector<std::string>& TerrainNames() {
        static std::vector<std::string> names;
        return names;
    }

private:
    WorldSeam world_{};
    ObjectsSeam objects_{};
    ObjLoadServices objLoad_{};
    EntityServices objkr_{};
};

TEST_F(StartupTest, WiringFillsTheSeamsWithTheBuiltSubsystems) {
    Startup_InstallAll();
    // The world seam reaches the terrain: the name it is given becomes the terrain's file.
    Seam_World().terrainSetFileName("wired.bzn");
    EXPECT_STREQ(Terrain_GetFileName(), "wired.TRN");
    // Earlier subsystems' services tables point at the later ones.
    EXPECT_EQ(ObjLoad_Services().terrainAddEntity, &Terrain_AddEntity);
    EXPECT_EQ(ObjLoad_Services().objectClassType, &GameObjectClass_EntityTypeOf);
    EXPECT_EQ(Seam_Objects().classesFreeAll, &GameObjectClass_FreeAll);
    // Running it again changes nothing.
    const WorldSeam once = Seam_World();
    Startup_InstallAll();
    EXPECT_EQ(Seam_World().terrainSetFileName, once.terrainSetFileName);
    EXPECT_EQ(Seam_World().collisionProcessFrame, once.collisionProcessFrame);
}

TEST_F(StartupTest, TheGamePlaysTheSampleMapOnItsOwnWiring) {
    Startup_InstallAll();
    // Watch the terrain calls on their way to the real terrain.
    static void (*installed)(const char*) = nullptr;
    installed = Seam_World().terrainSetFileName;
    TerrainNames().clear();
    Seam_World().terrainSetFileName = [](const char* name) {
        TerrainNames().push_back(name ? name : "");
        installed(name);
    };

    EXPECT_EQ(App_Main("-nointro"), 0);

    // No box: the map, its models and definitions loaded through the real subsystems.
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;
    ASSERT_FALSE(TerrainNames().empty());
    EXPECT_EQ(TerrainNames().front().rfind("sample", 0), 0u) << TerrainNames().front();
    EXPECT_STREQ(Terrain_GetFileName(), "sample.TRN");
    EXPECT_GE(Clock_GetFrameCount(), 20u);  // the mission ran frames until the window closed
    // The registry joined the members the wiring handed over.
    bool poolJoined = false;
    for (size_t i = 0; i < PhaseHook_Count(); ++i)
        if (PhaseHook_At(i) == &GameObjectPool_Member()) poolJoined = true;
    EXPECT_TRUE(poolJoined);
}

// The camera on the sample mission's own tank: the game draws through the cockpit view from
// the start, and the view keys F1 to F5 and F9 switch between the views of the camera modes.
struct ViewSeen {
    int32_t mode;
    int32_t viewKind;
    bool cockpitDrawn;
    bool ownEntity;
    bool followsUser;
    std::vector<uint8_t> picture;  // the last frame shown before the next key
};

std::vector<ViewSeen>& ViewsSeen() {
    static std::vector<ViewSeen> views;
    return views;
}
int& ViewsDrawn() {
    static int drawn = 0;
    return drawn;
}

GameObject* UserObject() {
    EntityTableRecord* user = Entities_GetUser();
    return user ? GameObject_FromEntity(user->entity) : nullptr;
}

TEST_F(StartupTest, TheViewKeysSwitchTheCameraOnTheSampleTank) {
    Startup_InstallAll();
    const std::string script = profileDir + "/views.txt";
    {
        std::ofstream out(script);
        const char* keys[] = {"F4", "F5", "F9", "F2", "F3", "F1"};
        int frame = 4;
        for (const char* key : keys) {
            out << frame << " keydown " << key << "\n" << frame + 1 << " keyup " << key << "\n";
            frame += 4;
        }
    }
    std::string error;
    ASSERT_TRUE(Plat_LoadEventScript(script, &error)) << error;

    ViewsSeen().clear();
    ViewsDrawn() = 0;
    static void (*keys)() = nullptr;
    keys = Seam_Cockpit().gameKeyProcess;
    Seam_Cockpit().gameKeyProcess = [] {
        const int32_t before = Camera_ModeId();
        PlatFrame shown;
        Plat_SurfaceLastFrame(App_Globals().mainWindow, &shown);
        keys();
        if (Camera_ModeId() == before && !ViewsSeen().empty()) return;
        if (!ViewsSeen().empty()) ViewsSeen().back().picture = shown.rgb;
        const CameraState& c = Camera_Current();
        ViewsSeen().push_back({Camera_ModeId(), c.viewKind, Camera_IsCockpitDrawn(), c.ownEntity != 0,
                               Camera_GetTarget() != nullptr && Camera_GetTarget() == UserObject(), {}});
    };
    static void (*heading)(RenderView*) = nullptr;
    heading = Seam_Render().setHeadingMatrix;
    Seam_Render().setHeadingMatrix = [](RenderView* view) {
        if (view && view == Camera_MainView()) ++ViewsDrawn();
        heading(view);
    };

    EXPECT_EQ(App_Main("-nointro"), 0);
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;

    struct Expected {
        int32_t mode, viewKind;
        bool cockpitDrawn, ownEntity;
    };
    const Expected expected[] = {
        {kCameraCockpit, kViewKindCockpit, true, true}, {kCameraChase, kViewKindChase, false, false},
        {kCameraTrack, kViewKindTrack, false, false},    {kCameraFreeEye, kViewKindFreeEye, false, false},
        {kCameraNoCockpit, kViewKindCockpit, false, false}, {kCameraNoHud, kViewKindCockpit, false, false},
        {kCameraCockpit, kViewKindCockpit, true, true},
    };
    ASSERT_EQ(ViewsSeen().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ViewsSeen()[i].mode, expected[i].mode);
        EXPECT_EQ(ViewsSeen()[i].viewKind, expected[i].viewKind);
        EXPECT_EQ(ViewsSeen()[i].cockpitDrawn, expected[i].cockpitDrawn);
        EXPECT_EQ(ViewsSeen()[i].ownEntity, expected[i].ownEntity);
        EXPECT_TRUE(ViewsSeen()[i].followsUser);
    }
    // Every frame was drawn through the camera's view, and the chase view shows another
    // picture than the cockpit.
    EXPECT_GE(ViewsDrawn(), 20);
    ASSERT_FALSE(ViewsSeen()[0].picture.empty());
    EXPECT_NE(ViewsSeen()[0].picture, ViewsSeen()[1].picture);
}

TEST_F(StartupTest, AHeadlessRunLeavesItsLastFrameShowingSkyAboveGround) {
    // The backend reads the shot's name when it starts.
    const std::string shot = profileDir + "/shot.ppm";
    setenv("GRAVENHOLT_HEADLESS_SHOT", shot.c_str(), 1);
    Plat_Init(BackendKind::Headless);
    unsetenv("GRAVENHOLT_HEADLESS_SHOT");
    Startup_InstallAll();
    EXPECT_EQ(App_Main("-nointro sample"), 0);

    std::ifstream in(shot, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, depth = 0;
    in >> magic >> width >> height >> depth;
    in.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_GT(width * height, 0);
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
    ASSERT_EQ(in.gcount(), std::streamsize(rgb.size()));
    // From the tank's cockpit the sky (at the default sky detail, the textured sky plane) fills
    // the top of the picture in the map palette's colours, never black, and the ground lies
    // below the horizon in other colours.
    std::ifstream palette(profileDir + "/data/world.pal", std::ios::binary);
    std::string pal((std::istreambuf_iterator<char>(palette)), std::istreambuf_iterator<char>());
    ASSERT_EQ(pal.size(), 768u);
    auto pixel = [&](int x, int y, int c) { return int(rgb[(size_t(y) * width + x) * 3 + c]); };
    auto inPalette = [&](int x, int y) {
        for (int i = 0; i < 256; ++i) {
            bool near = true;
            for (int c = 0; c < 3; ++c) near = near && std::abs(pixel(x, y, c) - static_cast<unsigned char>(pal[i * 3 + c])) <= 4;
            if (near) return true;
        }
        return false;
    };
    EXPECT_TRUE(inPalette(width / 2, height / 8));
    EXPECT_GT(pixel(width / 2, height / 8, 0) + pixel(width / 2, height / 8, 1) + pixel(width / 2, height / 8, 2), 0);
    int distance = 0, brightness = 0;
    for (int c = 0; c < 3; ++c) {
        distance += std::abs(pixel(width / 2, height * 5 / 8, c) - pixel(width / 2, height / 8, c));
        brightness += pixel(width / 2, height * 5 / 8, c);
    }
    EXPECT_GT(distance, 30) << "the ground is drawn below the horizon";
    EXPECT_GT(brightness, 0);
}

}  // namespace
