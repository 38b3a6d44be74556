// Terrain drawing: once per drawn frame the terrain finds the cells a view can see, transforms
// their vertices once, lights and fogs them, drops cells outside the view or facing away, merges
// flat cells into quads, gives each cell a texture (near) or its type's flat colour (beyond the
// flat range) and queues every polygon in the render queue. Map views draw the same cells as
// coloured lines instead, and water cells ripple.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct RenderView;

// The largest half side of the visible rectangle, in cells: the far distance is clamped to
// 1640 m, so no view sees further.
constexpr int kTerrainMaxReach = 164;
constexpr int kTerrainMaxSide = 2 * kTerrainMaxReach + 1;  // vertices per side
constexpr uint32_t kTerrainWaveStepMs = 50;

// The per-frame entry: selects the view's parameter set, then draws the cells, a line display or
// the type display; nothing for a null view.
void Terrain_Draw(RenderView* view);
// The cell pass into the render queue.
void Terrain_DrawCells(RenderView* view);

// The cells a view can see (x0..x1 and z0..z1 are vertex lines), not clamped to the map but to
// the buffers' size.
void Terrain_GetVisibleRect(const RenderView* view, int* x0, int* z0, int* x1, int* z1);
// 1 when the cell of the four view-space corners (x, z), (x+1, z), (x+1, z+1), (x, z+1) is
// dropped: all outside one side plane, or the first corner beyond the visibility range.
int Terrain_CullTriangle(const RenderView* view, const Vector corners[4]);
// For the view-space corners A (x, z), C (x+1, z), B (x+1, z+1), D (x, z+1): 1 when triangle
// (A, C, B) faces the eye at the origin, 2 when (A, B, D) does, 3 for both.
int Geom_TriangleSideTest(const Vector& a, const Vector& c, const Vector& b, const Vector& d);
// 1 when the point lies on the inner side of all five planes (sides and far).
int Frustum_ContainsPoint(const Plane planes[5], const Vector& point);

// Map line mode: 0 none, 1 lines coloured by height, 2 coloured by type.
void Terrain_SetLineMode(int mode);
// Asks for the type display in the main view once.
void Terrain_RequestTypeMap();
bool Terrain_TypeMapPending();

// Figures of the last frame.
int Terrain_PolygonCount();   // polygons handed to the queue
int Terrain_WavePhase();

// Called with every polygon before it is clipped and queued (view space, u and v, light): for
// tests and tools. Null: none.
struct RenderVertex;
struct TextureImage;
using TerrainPolygonHook = void (*)(const RenderVertex* vertices, int count, const TextureImage* texture, int colour,
                                    uint32_t kind);
void Terrain_SetPolygonHook(TerrainPolygonHook hook);

// Fills the world seam's terrain drawing entries and the terrain's renderer hooks (start-up).
void Render_InstallTerrainDrawing();
// Everything as before any frame (for tests).
void TerrainDraw_Reset();
