// The radar grid: a grid of screen points drawn as lines in the radar's colour (software, and
// the hardware line kinds), or as translucent quads shaded by the ground's height.
#pragma once
#include <cstdint>

struct GraphicBuffer;

// One grid point: its position in the buffer's clip-relative pixels and its height level
// (0 low .. 1 high) for the shaded kind.
struct RadarPoint {
    float x, y;
    float level;
};
// What the radar hands over each frame: columns x rows points, row by row.
struct RadarImage {
    const RadarPoint* points;
    int32_t columns;
    int32_t rows;
    int32_t colour;  // palette index
};

// The radar drawings of the hardware path, by "RadarType" & 7.
enum class RadarKind : uint8_t { kNothing, kLockedLines, kLineLists, kShadedQuads };
RadarKind D3DRender_RadarKindOf(int32_t radarType);

// Software: Bresenham lines into the 8-bit buffer. Hardware screen: the kind of "RadarType".
void Render_DrawRadar(GraphicBuffer* buffer, const RadarImage* image);
// The hardware drawing of the configured kind.
void D3DRender_DrawRadar(GraphicBuffer* buffer, const RadarImage* image);
