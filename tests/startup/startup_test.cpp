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
#include "fun3d/objectpool.h"
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

TEST_F(StartupTest, AHeadlessRunLeavesItsLastFrameShowingTheMapPalettesSky) {
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
    // Nothing but sky for now: the map palette's sky colour, not black.
    std::ifstream palette(profileDir + "/data/world.pal", std::ios::binary);
    std::string pal((std::istreambuf_iterator<char>(palette)), std::istreambuf_iterator<char>());
    ASSERT_EQ(pal.size(), 768u);
    const int sky = 223;
    const unsigned char centre[3] = {rgb[(size_t(height / 2) * width + width / 2) * 3],
                                     rgb[(size_t(height / 2) * width + width / 2) * 3 + 1],
                                     rgb[(size_t(height / 2) * width + width / 2) * 3 + 2]};
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(centre[c], static_cast<unsigned char>(pal[sky * 3 + c]), 4) << c;
}

}  // namespace
