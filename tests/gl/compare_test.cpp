// The same small scene drawn by the software path and by the hardware pipeline on the GL
// device, compared pixel by pixel once the software frame has gone through the palette the
// device shows.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "platform/gpu.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr int kBackground = 1;

enum Kind { kFlatKind, kTexturedKind, kShadedKind };
struct Primitive {
    std::vector<RenderVertex> vertices;  // software light values
    uint32_t flags;
    uint32_t colour;  // palette index of the untextured ones
    Kind kind;
};

// A 64 x 64 gradient (neighbouring texels at most 2 apart), values 40..166.
std::vector<uint8_t> GradientTexture() {
    std::vector<uint8_t> t(kTextureHeaderSize + 64 * 64 + 16, 0);
    t[0] = 64;
    t[4] = 64;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) t[kTextureHeaderSize + y * 64 + x] = static_cast<uint8_t>(40 + x + y);
    return t;
}

RenderVertex V(float x, float y, float z, float u = 0, float v = 0, float light = 1.0f) {
    return RenderVertex{x, y, z, u, v, light};
}

// Far to near, none overlapping another.
std::vector<Primitive> Scene() {
    return {
        // Rectangles in screen space: the flat member (shifted by half a pixel) and the shaded one
        // (not shifted) at full light.
        {{V(20, 20, 0.01f), V(120, 20, 0.01f), V(120, 90, 0.01f), V(20, 90, 0.01f)}, 0x08, 200, kFlatKind},
        {{V(140, 21, 0.01f), V(231, 21, 0.01f), V(231, 70, 0.01f), V(140, 70, 0.01f)}, 0x09, 90, kShadedKind},
        // Affine textured (view space, facing the eye).
        {{V(-30, 8, 40, 0, 0), V(-10, 8, 40, 1, 0), V(-10, -8, 40, 1, 1), V(-30, -8, 40, 0, 1)}, 0x04, 0, kTexturedKind},
        // Perspective textured, receding.
        {{V(2, 10, 20, 0, 0), V(12, 10, 40, 1, 0), V(12, -2, 40, 1, 1), V(2, -2, 20, 0, 1)}, 0x14, 0, kTexturedKind},
        // Perspective textured, one corner behind the near plane.
        {{V(-3, -2, 0.05f, 0, 0), V(-0.5f, -2, 6, 1, 0), V(-0.5f, -4, 6, 1, 1), V(-3, -4, 6, 0, 1)}, 0x14, 0,
         kTexturedKind},
        // Gouraud-shaded textured.
        {{V(1, -3, 8, 0, 0, 1.0f), V(3, -3, 8, 1, 0, 0.6f), V(3, -5, 8, 1, 1, 0.3f), V(1, -5, 8, 0, 1, 0.8f)}, 0x15,
         0, kShadedKind},
    };
}

void Queue(const std::vector<Primitive>& scene, const TextureImage* texture, bool hardware, bool coverage) {
    const uint32_t ref = RenderQueue_TextureRef(texture);
    float depth = 1000.0f;
    uint32_t id = 2;
    for (const Primitive& p : scene) {
        std::vector<RenderVertex> v = p.vertices;
        if (hardware)
            for (RenderVertex& x : v) x.colour = RenderVertex_ColourOfLight(x.shade);
        uint32_t flags = p.flags, colour = p.colour;
        if (coverage) {
            // The polygon's pixels in a colour of its own, for telling edges apart.
            flags &= kPolyScreenSpace;
            colour = id;
            for (RenderVertex& x : v) x.shade = 1.0f;
        }
        const bool textured = flags & kPolyTextured;
        RenderQueue_AddPolygon(v.data(), static_cast<uint32_t>(v.size()), textured ? ref : colour, flags, 1, depth);
        depth -= 10.0f;
        ++id;
    }
}

TEST(GlCompare, TheHardwarePipelineDrawsWhatTheSoftwarePathDraws) {
    const char* display = std::getenv("DISPLAY");
    ASSERT_TRUE(display && *display) << "needs a display (run under xvfb-run)";
    ASSERT_TRUE(Plat_Init(BackendKind::Sdl));
    char pattern[] = "/tmp/gvglcmp-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    Plat_SetProfileDir(dir);
    Plat_RegisterClass("GvCompare", Plat_DefWindowProc);
    CmdLine_ResetGlobals();
    CmdLine_Globals().fullScreen = false;
    Palette_BuildGammaCurves();
    // Linear shading: row r scales a colour by (31 - r) / 31.
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            LumaTable[r][c] = static_cast<uint8_t>(std::lround(c * (31.0 - std::min(r, 31)) / 31.0));
    const std::vector<uint8_t> textureBytes = GradientTexture();
    const TextureImage* texture = reinterpret_cast<const TextureImage*>(textureBytes.data());
    const std::vector<Primitive> scene = Scene();
    ASSERT_EQ(RenderQueue_Init(), 1);

    // The software frame and its coverage map.
    GraphicBuffer sw, ids;
    Graphic_InitBuffer(&sw, kW, kH, nullptr, kGraphicFormat8);
    Graphic_InitBuffer(&ids, kW, kH, nullptr, kGraphicFormat8);
    GraphicD3DFlags = 0;
    for (GraphicBuffer* b : {&sw, &ids}) {
        std::memset(b->pixels, b == &sw ? kBackground : 0, static_cast<size_t>(kW) * kH);
        RenderView view;
        View_Init(&view, b, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        Queue(scene, texture, false, b == &ids);
        RenderQueue_Flush(&view);
    }

    // The hardware frame.
    Graphic_ClearRecord(&g_graphicDriver);
    GraphicD3DFlags = 1;
    GraphicDriver* driver = Graphic_ChooseDriver(&g_graphicDriver, nullptr, "GvCompare");
    ASSERT_EQ(driver->driverKind, kDriverHardware) << D3D_ErrorText();
    ASSERT_EQ(driver->SetMode(driver, 0), 1);
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i / 3);
    driver->SetPalette(driver, 0, 256, palette, nullptr);
    GpuDevice* device = D3D_State().device.get();
    ASSERT_NE(device, nullptr);
    // Nearest texels: the software drawers do not filter.
    device->setSamplerState(0, GpuSamplerState::MagFilter, static_cast<uint32_t>(GpuFilter::Point));
    device->setSamplerState(0, GpuSamplerState::MinFilter, static_cast<uint32_t>(GpuFilter::Point));
    device->setSamplerState(0, GpuSamplerState::MipFilter, static_cast<uint32_t>(GpuFilter::Off));
    std::vector<uint32_t> hw(static_cast<size_t>(kW) * kH, 0);
    {
        ASSERT_EQ(D3D_BeginScene(), 0);
        D3D_Clear(PaletteColors32[kBackground]);
        // The same projection as the software frame's, onto the hardware screen.
        RenderView view;
        View_Init(&view, &sw, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        view.buffer = &driver->screen;
        Queue(scene, texture, true, false);
        RenderQueue_Flush(&view);
        Batch_Flush();
        D3D_EndScene();
        GpuLockedRect locked;
        ASSERT_EQ(device->lockBackBuffer(&locked), GpuResult::Ok);
        for (int y = 0; y < kH; ++y)
            std::memcpy(&hw[static_cast<size_t>(y) * kW], locked.bits + static_cast<size_t>(y) * locked.pitch, kW * 4);
        device->unlockBackBuffer();
    }

    // GV_COMPARE_DUMP=file.ppm writes both frames, software above hardware, for a look.
    const char* dump = std::getenv("GV_COMPARE_DUMP");
    if (FILE* f = dump ? std::fopen(dump, "wb") : nullptr) {
        std::fprintf(f, "P6 %d %d 255\n", kW, 2 * kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t c = PaletteColors32[sw.pixels[y * kW + x]];
                const uint8_t rgb[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
                std::fwrite(rgb, 1, 3, f);
            }
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t c = hw[static_cast<size_t>(y) * kW + x];
                const uint8_t rgb[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
                std::fwrite(rgb, 1, 3, f);
            }
        std::fclose(f);
    }
    auto channel = [](uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    int compared[3] = {}, worst[3] = {};
    int coverageMismatches = 0;
    // The last column and row hold the end of scene's edge lines.
    for (int y = 1; y < kH - 2; ++y) {
        for (int x = 1; x < kW - 2; ++x) {
            const uint8_t id = ids.pixels[y * kW + x];
            const uint32_t want = PaletteColors32[sw.pixels[y * kW + x]];
            const uint32_t got = hw[static_cast<size_t>(y) * kW + x];
            // The rectangles cover exactly the same pixels, edges included.
            if (x < 260 && y < 110)
                if ((id == 2 || id == 3) != ((got & 0xFFFFFF) != (PaletteColors32[kBackground] & 0xFFFFFF))) {
                    if (coverageMismatches < 10) std::fprintf(stderr, "cov %d %d id %d got %06x\n", x, y, id, got & 0xFFFFFF);
                    ++coverageMismatches;
                }
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) edge |= ids.pixels[(y + dy) * kW + x + dx] != id;
            if (edge) continue;
            const Kind kind = id >= 2 ? scene[id - 2].kind : kFlatKind;
            int diff = 0;
            for (int shift : {0, 8, 16}) diff = std::max(diff, std::abs(channel(want, shift) - channel(got, shift)));
            ++compared[kind];
            worst[kind] = std::max(worst[kind], diff);
        }
    }
    std::fprintf(stderr, "compared %d flat, %d textured, %d shaded pixels; worst %d, %d, %d\n", compared[0],
                 compared[1], compared[2], worst[0], worst[1], worst[2]);
    EXPECT_EQ(coverageMismatches, 0);
    EXPECT_GT(compared[kTexturedKind], 1000);
    EXPECT_GT(compared[kShadedKind], 100);
    EXPECT_EQ(worst[kFlatKind], 0) << "flat colours and the background";
    EXPECT_LE(worst[kTexturedKind], 16);
    EXPECT_LE(worst[kShadedKind], 24);

    driver->Close(driver);
    Plat_DestroyWindow(driver->window);
    TexMgr_ResetState();
    Batch_ResetState();
    Graphic_ClearRecord(&g_graphicDriver);
    D3D_ResetState();
    GraphicD3DFlags = 0;
    RenderQueue_Close();
    Graphic_FreeBuffer(&sw);
    Graphic_FreeBuffer(&ids);
    Plat_SetProfileDir("");
    std::filesystem::remove_all(dir);
    Plat_Shutdown();
}

}  // namespace
