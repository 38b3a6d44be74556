#include "support/frame_fixture.h"

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
    // The sun is a sprite of the table; the sky loads after the map, as a mission starts.
    render.loadSprites();
    Seam_World().skyLoad();
}

void FrameFixture::TearDown() {
    Seam_World().skyFree();
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

Picture FrameFixture::RenderFixedFrame() {
    Picture picture;
    RenderView view{};
    View_Init(&view, &g_graphicDriver.screen, 1.0f, 0.75f, 250.0f, 1.0f);
    // At the sample map's south-west, 40 m above its flat ground, looking north-east and 20
    // degrees up, so that the sky plane shows above the backdrop.
    Matrix camera{};
    const float s = 0.70710678f, c = 0.93969262f, n = 0.34202014f;
    camera.right = Vector{s, 0.0f, -s};
    camera.up = Vector{-s * n, c, -s * n};
    camera.front = Vector{s * c, n, s * c};
    camera.posit = DVector{1400.0, 70.0, 1400.0};
    View_SetCameraMatrix(&view, camera);
    uint8_t& skyDetail = Seam_Shell().playerDef()[kPlayerDefSkyDetail];
    const uint8_t savedDetail = skyDetail;
    skyDetail = 3;  // the whole sky
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
