#include "support/frame_fixture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Terrain/terramap.h"
#include "core/app.h"
#include "core/filesys.h"
#include "core/game.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/seams/world.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/sprite.h"
#include "render/view.h"
#include "startup/startup.h"

bool SavePicture(const Picture& picture, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fprintf(file, "P%d\n%d %d\n255\n", picture.channels == 1 ? 5 : 6, picture.width,
                           picture.height) > 0 &&
              std::fwrite(picture.bytes.data(), 1, picture.bytes.size(), file) == picture.bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string PicturePath(const std::string& name) {
    const char* data = std::getenv("GV_TEST_DATA");
    std::filesystem::path dir = data && *data ? std::filesystem::path(data).parent_path() / "pictures"
                                              : std::filesystem::temp_directory_path() / "gv-pictures";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return (dir / name).string();
}

void FrameFixture::SetUp() {
    AppFixture::SetUp();
    Startup_InstallAll();
    Plat_RegisterClass(kAppClassName, Plat_DefWindowProc);
    Palette_BuildGammaCurves();
    RenderSeam& render = Seam_Render();
    render.readGraphicOptions();
    ASSERT_TRUE(render.chooseDriver(kAppClassName));
    ASSERT_TRUE(render.driverInitialise(0));
    const uint32_t displayFlags = render.displayFlags();
    App_Globals().driverKind = (displayFlags & 1) ? 1 : 0;
    ASSERT_TRUE(FileSys_TryStart(displayFlags));
    ASSERT_EQ(Terrain_LoadMap("sample", 0), 1);
    render.setMissionPalette();
    // The sun is a sprite of the table; the sky loads after the map, as a mission starts. The
    // clouds take their places from the random generator and the sky's animations run on the
    // millisecond clock: both fixed, so the frame is the same whatever ran before.
    render.loadSprites();
    Random_Seed(1234);
    Plat_UseVirtualClock(1000);
    Seam_World().skyLoad();
}

void FrameFixture::TearDown() {
    Seam_World().skyFree();
    Plat_UseRealClock();
    Sprite_FreeTable();
    Terrain_FreeAll();
    Data_Close();
    if (g_graphicDriver.Close) g_graphicDriver.Close(&g_graphicDriver);
    if (Plat_IsWindow(g_graphicDriver.window)) Plat_DestroyWindow(g_graphicDriver.window);
    Graphic_ClearRecord(&g_graphicDriver);
    DisplayMode_Reset();
    App_Globals().driverKind = 1;
    AppFixture::TearDown();
}

Picture FrameFixture::RenderFixedFrame(int detail, double pitch) {
    Picture picture;
    RenderView view{};
    View_Init(&view, &g_graphicDriver.screen, 1.0f, 0.75f, 250.0f, 1.0f);
    // At the sample map's south-west, 40 m above its flat ground, looking east and (by default)
    // 25 degrees up, so that the sky plane, its clouds and the sun show above the backdrop.
    Matrix camera{};
    const double radians = pitch * 3.14159265358979323846 / 180.0;
    const float c = static_cast<float>(std::cos(radians)), n = static_cast<float>(std::sin(radians));
    camera.right = Vector{0.0f, 0.0f, -1.0f};
    camera.up = Vector{-n, c, 0.0f};
    camera.front = Vector{c, n, 0.0f};
    camera.posit = DVector{1400.0, 70.0, 1400.0};
    View_SetCameraMatrix(&view, camera);
    uint8_t& skyDetail = Seam_Shell().playerDef()[kPlayerDefSkyDetail];
    const uint8_t savedDetail = skyDetail;
    skyDetail = static_cast<uint8_t>(detail);
    Game_RenderFrame(&view);
    skyDetail = savedDetail;
    Seam_Render().driverPresent();  // the frame presents at the start of the next
    PlatFrame frame;
    if (!Plat_SurfaceLastFrame(g_graphicDriver.window, &frame)) return picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.bytes = std::move(frame.rgb);
    return picture;
}

Picture FrameFixture::LightMapPicture() {
    Picture picture;
    picture.channels = 1;
    picture.width = TerrainBounds.maxX - TerrainBounds.minX;
    picture.height = TerrainBounds.maxZ - TerrainBounds.minZ;
    // North up: the first row is the highest z.
    for (int z = TerrainBounds.maxZ - 1; z >= TerrainBounds.minZ; --z)
        for (int x = TerrainBounds.minX; x < TerrainBounds.maxX; ++x) picture.bytes.push_back(*Terrain_GetLightByte(x, z));
    return picture;
}
