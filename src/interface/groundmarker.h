// The ground marker: a flat green, yellow or red rectangle drawn on the ground for one frame
// where the player is about to place a building. Building placement sets the rectangle and picks
// the colour every frame; the render pass draws it once and forgets it.
#pragma once
#include "core/mathlib.h"
#include "core/phasehook.h"

enum GroundMarkerColour : int { kGroundMarkerGreen = 0, kGroundMarkerYellow, kGroundMarkerRed };

class GroundMarker : public PhaseHook {
public:
    // World start: nothing pending; the sprites "ground.G", "ground.Y" and "ground.R".
    void PostLoad() override;
    // Queues the pending marker as a sprite quad on its four corners, then forgets it.
    void Render(RenderView* view) override;

    // rect is (min x, min z, max x, max z) in the building's frame; the corners lie 0.5 above
    // the placement's ground plane, the centre on it.
    void SetRect(const float rect[4], const Matrix& placement);
    // The colour of this frame's marker; a colour outside 0..2 sets none.
    void SetColour(int colour);

    Vector points[5] = {};  // the four corners, then the centre (world space)
    float radius = 0;
    int pending = 0;  // the sprite drawn at the next render, 0 for none
    int sprites[3] = {};
};

GroundMarker& GroundMarker_Instance();
PhaseHook& GroundMarker_Member();
// Building placement's call: the rectangle and the colour of this frame's marker.
void GroundMarker_Set(const float rect[4], const Matrix& placement, int colour);
// Nothing pending, no sprites (tests, between runs).
void GroundMarker_Reset();
