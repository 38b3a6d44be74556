// Billboards of world spheres: a sprite queued at a sphere's projected centre, sized by the
// sphere, for effects such as explosions.
#pragma once
#include <cstdint>

struct RenderView;

// Culls the sphere at the world centre; when any of it is in view, queues a billboard (kind 9,
// flags 0x50004) at the projected centre, half-sizes radius x scale x 2 (x) and x -2 (y) over the
// depth, keyed by the near depth z - radius. Returns whether it was queued.
bool Render_QueueBillboard(RenderView* view, const float worldCentre[3], float radius, int sprite);
// The same with other primitive flags (0x90004 for a ground blast's sprite).
bool Render_QueueBillboardFlags(RenderView* view, const float worldCentre[3], float radius, int sprite,
                                uint32_t flags);
// Transforms the four world corners into view space; when the sphere about their middle holding
// them is in view and every corner lies in front of the eye, queues a sprite quad (kind 10) keyed
// by the nearest corner's depth. Returns whether it was queued.
bool Render_QueueQuad(RenderView* view, const float worldCorners[4][3], int sprite, uint32_t flags);
// Transforms both ends into view space; when both lie in front of the eye and the sphere about
// the line is in view, queues a coloured line (kind 8, flags 8) of the width, keyed by the nearer
// end's depth. Returns whether it was queued.
// An alpha below 255 makes the line translucent: the software path draws a thin one through the
// palette's translucency table (TranslucencyTable[colour][pixel]), whatever the value.
bool Render_QueueLine(RenderView* view, const float from[3], const float to[3], float width, uint32_t colour,
                      uint32_t alpha = 255);
// The opacity of the head-up display's translucent lines (255 opaque).
extern uint8_t HudLineAlpha;
constexpr uint8_t kHudLineAlphaDefault = 0xBF;
// Queues a point sprite (kind 1) at a point in view coordinates, keyed by its depth.
void Render_QueuePointSprite(const float viewPoint[3], float size, int sprite, uint32_t flags);
// The simple-sprite switch (off until set).
void Render_SetSimpleSprites(bool on);
bool Render_SimpleSprites();
// Fills the render seam's billboard, depth, quad, line, point-sprite and eye entries.
void Render_InstallBillboards();
