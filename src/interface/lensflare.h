// Sun glare and lens flare: while the sun is in view and not hidden, the screen whitens in
// proportion to how much of the sun shows and how straight the view looks into it, and six flare
// rings are drawn along the line from the sun through the screen centre.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "interface/hudelement.h"

struct GraphicBuffer;

constexpr int kLensFlareRings = 6;

class LensFlare : public HudElement {
public:
    LensFlare();
    void Init() override;  // looks up the ring sprites
    void Draw() override;
    void PlaceLayers();  // layers 0..8, priority 0

    int sprites[kLensFlareRings] = {};
    // The last frame, for the diagnostics and tests: the sun's screen position (clip-relative),
    // its visible count and the glare added.
    int lastX = 0, lastY = 0;
    float lastVisible = 0, lastGlare = 0;
};

// What the flare reads of the sky and the renderer; tests replace entries.
struct LensFlareServices {
    // The sky's sun: false when the map has none; else its direction (a unit vector).
    bool (*sun)(Vector* direction);
    // The palette index of the sun's pixels on the software path: the sun sprite's middle
    // texel, or the palette's white when the sprite has none.
    int (*sunColour)();
    bool (*hardware)();
    // Hardware: the visible pixels of a polygon (x, y, depth per point); below 0 without a query.
    float (*visiblePixels)(const float* points, int count);
    void (*drawSprite)(GraphicBuffer* buffer, int sprite, int x, int y, uint32_t flags);
};
LensFlareServices& LensFlare_Services();
LensFlare& LensFlare_Instance();
// Puts the services back (tests, between runs).
void LensFlare_ResetServices();
