#include "frame.h"

#include "colortables.h"

#include <cmath>
#include <fstream>

#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/app.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/sky.h"
#include "render/sprite.h"
#include "render/terraindraw.h"
#include "render/view.h"

namespace content {

namespace {

constexpr int kSkyColour = kSkyClearIndex;
constexpr double kDegrees = 3.14159265358979323846 / 180.0;

// What the frame set up, released in reverse whatever way drawing ends.
struct FrameLife {
    GraphicBuffer buffer{};
    int driverKind = 0;
    bool sprites = false;  // the sprite table was loaded for this frame
    ~FrameLife() {
        Sky_Free();
        if (sprites) Sprite_FreeTable();
        Terrain_FreeTextures();
        Terrain_FreeAll();
        Graphic_FreeBuffer(&buffer);
        App_Globals().driverKind = driverKind;
    }
};

}  // namespace

bool DrawFrame(const FrameRequest& request, Frame* out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    Random_Seed(kFrameRandomSeed);
    Plat_UseVirtualClock(0);
    if (!RenderQueue_Current() && !RenderQueue_Init()) return fail("no memory for the render queue");

    FrameLife life;
    life.driverKind = App_Globals().driverKind;
    App_Globals().driverKind = 0;  // a software frame
    // The renderer's wiring as the game installs it: the world palette and light reach the
    // renderer, the terrain reaches its drawing.
    Render_InstallSeam();
    Render_InstallTerrainDrawing();
    Render_InstallSky();

    Terrain_SetFileName(request.map.c_str());
    if (!Terrain_ReadZoneFiles()) return fail("the terrain files of " + request.map + " are missing");
    if (!Terrain_LoadMap(request.map.c_str(), request.drawingOption)) return fail("cannot load " + request.map);
    // The sun is a sprite: the table is loaded for the frame unless the caller has it.
    if (SpriteCount <= 1) life.sprites = Sprite_LoadTable() != 0;
    Sky_Load();
    if (request.setUp && !request.setUp(error)) return false;

    Graphic_InitBuffer(&life.buffer, kFrameWidth, kFrameHeight, nullptr, kGraphicFormat8);
    if (!Graphic_IsValid(&life.buffer)) return fail("no memory for the frame");
    RenderView view;
    const float far = std::max(Terrain_Environment().visibilityMetres, kViewFarMin);
    View_Init(&view, &life.buffer, kDefaultFieldOfView, 1.0f, far, 1.0f);
    const double ground = Terrain_GetHeight(request.x, request.z);
    const DVector eye{request.x, ground + request.eye, request.z};
    const double h = request.heading * kDegrees, p = request.pitch * kDegrees;
    const Vector look{static_cast<float>(std::sin(h) * std::cos(p)), static_cast<float>(std::sin(p)),
                      static_cast<float>(std::cos(h) * std::cos(p))};
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(eye, look));

    RenderQueue_Reset();
    // The frame's buffer is not the driver's screen: it is cleared here, then the sky drawn.
    Graphic_Clear(&life.buffer, kSkyColour);
    Sky_Draw(&view, kSkyColour, request.skyDetail);
    Terrain_Draw(&view);
    out->polygons = Terrain_PolygonCount();
    if (request.draw) request.draw(&view);
    RenderQueue_Flush(&view);
    out->pixels.assign(life.buffer.pixels, life.buffer.pixels + size_t(kFrameWidth) * kFrameHeight);
    out->palette.assign(GamePalette, GamePalette + 768);
    return true;
}

std::string FramePpm(const Frame& frame) {
    std::string ppm = "P6\n" + std::to_string(kFrameWidth) + " " + std::to_string(kFrameHeight) + "\n255\n";
    ppm.reserve(ppm.size() + frame.pixels.size() * 3);
    for (uint8_t index : frame.pixels)
        for (int c = 0; c < 3; ++c) ppm.push_back(char(frame.palette[size_t(index) * 3 + c]));
    return ppm;
}

bool WriteFrame(const std::string& dataDir, const FrameRequest& request, const std::string& outPath, Frame* out,
                std::string* error) {
    Plat_SetDataRoot(dataDir);
    if (!FileSys_TryStart(0)) {
        if (error) *error = Zfs_LastError();
        return false;
    }
    const bool drawn = DrawFrame(request, out, error);
    Data_Close();
    if (!drawn) return false;
    std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
    file << FramePpm(*out);
    if (!file.flush()) {
        if (error) *error = "cannot write " + outPath;
        return false;
    }
    return true;
}

}  // namespace content
