// The sky behind the terrain: a clear colour, a textured sky plane high above the camera (tiles
// that scroll slowly, or one large quad), the sun as a screen sprite and, at the highest sky
// detail, a backdrop band of distant scenery. Everything comes from the "Sky" section of the
// map's settings file and is drawn first in each frame, with the camera's rotation but not its
// position.
//
// The sky is drawn on a copy of the caller's view with the far distance 1200 and the camera at
// the origin, so the caller's view is never changed.
#pragma once
#include <cstdint>

#include "render/clip.h"

struct RenderView;
struct TextureImage;

constexpr float kSkyFarDistance = 1200.0f;
constexpr uint32_t kSkyKindTiled = 0x17;      // the tiled plane: lit, wrapping, perspective
constexpr uint32_t kSkyKindQuad = 0x56;       // the one-quad plane
constexpr uint32_t kSkyKindBackdrop = 0x46;   // a backdrop quad drawn at once
constexpr uint32_t kSkyKindBackdropQueued = 196;
constexpr float kSkyScrollPerSecond = 0.03f;  // texture widths per second, both directions
constexpr float kSkyNearBand = 300.0f;        // the tiled plane's light bands end here,
constexpr float kSkyMiddleBand = 400.0f;
constexpr float kSkyFarBand = 500.0f;         // and nothing of it lies beyond this depth

// The colour sky of sky detail 1: a plane kSkyColourHeight above the camera, in the sky colour up
// to view depth kSkyColourNear, shaded from there to kSkyColourFar, and in the caller's colour
// beyond. Drawn as screen-space pieces just behind the far distance.
constexpr bool kSkyColourSkyOn = true;
constexpr float kSkyColourHeight = 900.0f;
constexpr float kSkyColourNear = 900.0f;
constexpr float kSkyColourFar = 1300.0f;
constexpr float kSkyColourDepth = 0.00076687115f;  // 1/z of the pieces (1304 m)
constexpr uint32_t kSkyKindColourFlat = 8;         // screen space, one colour
constexpr uint32_t kSkyKindColourShaded = 9;       // screen space, shaded

struct SkySettings {
    int height = 100;  // of the plane above the camera (m)
    int type = 0;      // 0 tiled and scrolling, otherwise one quad
    char skyTexture[16] = {};
    char sunTexture[16] = {};
    char backdropTexture[16] = {};
    int backdropDistance = 400;
    int backdropHeight = 50;
    int backdropBase = 0;
    int backdropType = 0;
    float backdropWidth = 0.0f;  // 2 sqrt((height / 2)^2 + distance^2)
    float scrollU = 0.0f, scrollV = 0.0f;
    TextureImage* sky = nullptr;
    int sun = 0;  // sprite index, 0 when absent
    TextureImage* backdrop = nullptr;
};

// Reads the "Sky" section of the current map and loads what it names.
void Sky_Load();
// The backdrop keys; without a loadable "BackdropTexture" the backdrop is off.
void Sky_LoadBackdrop();
void Sky_FreeBackdrop();
// Releases everything Sky_Load took.
void Sky_Free();
// One frame of sky. Without a view only the clear to the sky colour.
void Sky_Draw(RenderView* view, int colourIndex, int skyDetail);
// The tiled plane at world height y (the view's camera at the origin).
void Sky_DrawTiledPlane(RenderView* view, float y);
void Sky_DrawSun(RenderView* view);
void Sky_DrawBackdrop(RenderView* view);
// The colour sky's pieces, in screen space at depth kSkyColourDepth. The whole window cut by the
// line where the plane lies at `depth`: the near side (towards the zenith), or the side beyond
// it. Returns the vertex count (0 when nothing is left); out needs room for 5 vertices.
int Sky_BuildPlaneQuad(const RenderView* view, float depth, RenderVertex* out, bool beyond);
// The strip between the lines of two depths: out[0], out[1] on the near line, out[2], out[3] on
// the far one, reaching 0.7 of the window width to each side of the window's centre. Returns 4,
// or 0 when the view looks straight up or down.
int Sky_BuildHorizonStrip(const RenderView* view, float nearDepth, float farDepth, RenderVertex* out);
// Moves the tiled plane's scroll offsets on by seconds, wrapping into [0, 1).
void Sky_AdvanceScroll(float seconds);

// Keeps the part of a polygon between depths nearZ and farZ (vertex z). Vertices made on the near
// plane take nearValue as their light, on the far plane farValue; x, y, u, v are interpolated.
// The new count, 0 when nothing is left; out needs room for count + 2 vertices. An input with no
// vertex outside is copied unchanged. Inputs above kClipMaxOutput vertices give 0; a polygon
// that is not convex keeps only what fits in count + 2 vertices.
int Sky_ClipPolygonDepth(float nearZ, float farZ, RenderVertex* out, const RenderVertex* in, int count,
                         float nearValue, float farValue);
// Keeps the part where a x + b y + c > 0, interpolating x and y; a new vertex copies the depth
// (and u, v) of the vertex before it and takes value as its light. out needs count + 1 vertices.
int Sky_ClipPolygonLine(int count, RenderVertex* out, const RenderVertex* in, float a, float b, float c,
                        float value);

TextureImage* Sky_GetTexture();
TextureImage* Sky_GetBackdropTexture();
const SkySettings& Sky_Settings();

// Called with every sky polygon before it is drawn or queued (view space): depth is the queue
// depth of a queued polygon, -1 for one drawn at once; colour the fill colour of untextured
// ones. For tests and tools; null: none.
using SkyPolygonHook = void (*)(const RenderVertex* vertices, int count, const TextureImage* texture, uint32_t kind,
                                float depth, uint32_t colour);
void Sky_SetPolygonHook(SkyPolygonHook hook);
// Replaces the settings as they stand (textures are neither loaded nor released): for tests.
void Sky_UseSettings(const SkySettings& settings);

// Everything as before any map (the shared test reset).
void Sky_Reset();
// Fills the world seam's sky entries (start-up).
void Render_InstallSky();
