// The statistics overlay: a developer display of the frame rate (with its low and average), the
// polygons and triangles per frame, the draw batches and the hardware texture figures, drawn at
// the top of the screen and mirrored on a page of the debug text screen. The same module shows
// the camera target's position on another page of that screen.
#pragma once
#include <cstdint>

struct DebugScreenPage;

// Terrain polygons drawn this frame (the terrain drawing adds to it; cleared every frame).
extern int32_t TerrainPolygonCount;

struct RenderStatsState {
    bool on = false;
    int32_t frames = 0;  // since the last report
    double sumTerrain = 0, sumPolygons = 0, sumTriangles = 0, sumBatches = 0;
    double lastTime = 0;  // seconds
    int32_t periods = 0;
    double highest = 0;
    double lowest = 0;
    bool haveLowest = false;  // the lowest rate starts from the first one measured
    double rateSum = 0;
    bool warmUp = true;
    char fpsLine[64] = {};
    char polygonLine[128] = {};
    char triangleLine[128] = {};
    char textureLine[128] = {};
    DebugScreenPage* statsPage = nullptr;
    DebugScreenPage* cameraPage = nullptr;
};
RenderStatsState& RenderStats_State();

// Registers the two debug-screen pages, takes the time, clears the lines ("FPS 0.0",
// "Polygons 0.0"). Run once before the first frame.
void Render_StatsInit();
// Flips the overlay; the rates start over with a warm-up. Returns the new state.
bool Render_ToggleStats();
// Start of a frame: the per-frame counters go back to 0.
void Render_StatsResetFrame();
// End of a frame: counts it, every ten frames a report, then the lines on the screen.
void Render_DrawStats();
// The followed object's position on the camera page of the debug screen, when it is shown.
void Render_ShowCameraTarget();
// Everything back to its state before Render_StatsInit (tests).
void Render_StatsReset();
// Fills the render seam's statistics entries.
void Render_InstallStats();
