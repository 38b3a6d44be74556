#include "render/renderstats.h"

#include <cstdio>
#include <cstring>

#include "core/debug.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "platform/clock.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"

int32_t TerrainPolygonCount = 0;

namespace {

constexpr int kReportFrames = 10;
constexpr int kWarmUpPeriods = 4;
constexpr int kOverlayColour = 2;
constexpr int kOverlayX = 220;

RenderStatsState g_stats;

double Seconds() { return static_cast<double>(Plat_Milliseconds()) / 1000.0; }

bool HardwareMode() { return GraphicD3DFlags != 0; }

void DrawStatsPage(DebugScreenPage* page) { DebugScreen_ClearPage(page); }

void DrawCameraPage(DebugScreenPage* page) {
    DebugScreen_ClearPage(page);
    DebugScreen_Write(page, "Camera Target Position (meters)", 0, 15, 0x07);
    DebugScreen_Write(page, "  x         y        z", 0, 16, 0x07);
}

void Report(double now) {
    RenderStatsState& s = g_stats;
    ++s.periods;
    if (s.warmUp) {
        if (s.periods > kWarmUpPeriods) {
            s.warmUp = false;
            s.periods = 0;
            s.highest = 0;
            s.haveLowest = false;
            s.rateSum = 0;
            s.lastTime = now;
        }
    } else {
        const double rate = s.frames / (now - s.lastTime);
        if (rate > s.highest) s.highest = rate;
        if (!s.haveLowest || rate < s.lowest) s.lowest = rate;
        s.haveLowest = true;
        s.rateSum += rate;
        s.lastTime = now;
        std::snprintf(s.fpsLine, sizeof s.fpsLine, "FPS %6.2f (Low %6.2f Avg %6.2f)", rate, s.lowest,
                      s.rateSum / s.periods);
    }
    const double frames = s.frames;
    const double terrain = s.sumTerrain / frames, polygons = s.sumPolygons / frames;
    if (HardwareMode()) {
        std::snprintf(s.triangleLine, sizeof s.triangleLine, "Triangles %5.0f (%5.0f batches)",
                      s.sumTriangles / frames, s.sumBatches / frames);
        TexMgrCounters& t = TexMgr_Counters();
        std::snprintf(s.textureLine, sizeof s.textureLine, "Texture: mem=%d(of %d) load=%d replace=%d flush=%d %c%c%d",
                      static_cast<int>(t.bytesCreated / 1024), static_cast<int>(D3D_State().textureMemory / 1024),
                      static_cast<int>(t.uploadsThisFrame), static_cast<int>(t.reuses), static_cast<int>(t.releases),
                      (RenderFlags & kRenderAlpha) ? 'A' : 'a', (RenderFlags & kRenderMipMaps) ? 'M' : 'm',
                      (RenderFlags & kRenderTexture16) ? 16 : 8);
        t.releases = 0;
    }
    const double total = HardwareMode() ? polygons : terrain + polygons;
    const double sound = static_cast<double>(Seam_Audio().soundMemoryInUse());
    std::snprintf(s.polygonLine, sizeof s.polygonLine, "TerrPoly %5.0f TotalPoly %5.0f Snd Mem %8.0f", terrain,
                  total, sound);
    s.sumTerrain = s.sumPolygons = s.sumTriangles = s.sumBatches = 0;
    s.frames = 0;
}

}  // namespace

RenderStatsState& RenderStats_State() { return g_stats; }

void Render_StatsInit() {
    RenderStatsState& s = g_stats;
    s.statsPage = DebugScreen_AddPage(DrawStatsPage);
    s.cameraPage = DebugScreen_AddPage(DrawCameraPage);
    s.lastTime = Seconds();
    s.frames = 0;
    std::snprintf(s.fpsLine, sizeof s.fpsLine, "FPS 0.0");
    std::snprintf(s.polygonLine, sizeof s.polygonLine, "Polygons 0.0");
    s.triangleLine[0] = s.textureLine[0] = '\0';
}

bool Render_ToggleStats() {
    RenderStatsState& s = g_stats;
    s.on = !s.on;
    s.highest = 0;
    s.haveLowest = false;
    s.periods = 0;
    s.rateSum = 0;
    s.warmUp = true;
    return s.on;
}

void Render_StatsResetFrame() {
    PolygonCount = 0;
    TerrainPolygonCount = 0;
    Batch_Buffers().triangles = 0;
    Batch_Buffers().batches = 0;
    Batch_Buffers().sceneFirstBatch = 0;
}

void Render_DrawStats() {
    RenderStatsState& s = g_stats;
    if (!s.on) return;
    ++s.frames;
    s.sumTerrain += TerrainPolygonCount;
    s.sumPolygons += PolygonCount;
    s.sumTriangles += Batch_Buffers().triangles;
    s.sumBatches += Batch_Buffers().batches;
    if (s.frames % kReportFrames == 0) {
        const double now = Seconds();
        // No time has passed on the timer: keep counting until some has.
        if (s.warmUp || now > s.lastTime) Report(now);
    }
    RenderSeam& seam = Seam_Render();
    const int h = seam.fontHeight ? seam.fontHeight() : 0;
    if (seam.drawText) {
        seam.drawText(kOverlayX, 10, s.fpsLine, kOverlayColour);
        seam.drawText(kOverlayX, h + 14, s.polygonLine, kOverlayColour);
        if (HardwareMode()) {
            seam.drawText(kOverlayX, 2 * h + 18, s.triangleLine, kOverlayColour);
            seam.drawText(kOverlayX, 3 * h + 22, s.textureLine, kOverlayColour);
        }
    }
    if (s.statsPage && DebugScreen_IsPageShown(s.statsPage)) {
        DebugScreen_Write(s.statsPage, s.polygonLine, 0, 7, 0x07);
        if (HardwareMode()) DebugScreen_Write(s.statsPage, s.triangleLine, 0, 8, 0x07);
    }
}

void Render_ShowCameraTarget() {
    RenderStatsState& s = g_stats;
    if (!s.cameraPage || !DebugScreen_IsPageShown(s.cameraPage)) return;
    float p[3] = {0, 0, 0};
    if (!Seam_Cockpit().cameraTargetPosition(p)) return;
    DebugScreen_Printf(s.cameraPage, 0, 17, 0x07, "%7.2f  %7.2f  %7.2f", static_cast<double>(p[0]),
                       static_cast<double>(p[1]), static_cast<double>(p[2]));
}

void Render_StatsReset() {
    g_stats = RenderStatsState{};
    TerrainPolygonCount = 0;
}

void Render_InstallStats() {
    RenderSeam& seam = Seam_Render();
    seam.renderStatsReset = [] {
        // The pages are registered once per debug screen (it forgets them when it is reset).
        RenderStatsState& s = g_stats;
        if (!s.statsPage || s.statsPage->draw != DrawStatsPage || !s.cameraPage ||
            s.cameraPage->draw != DrawCameraPage)
            Render_StatsInit();
        Render_StatsResetFrame();
    };
    seam.renderStatsDraw = Render_DrawStats;
    seam.cameraTargetDisplay = Render_ShowCameraTarget;
}
