#include "interface/lensflare.h"

#include <algorithm>
#include <cmath>

#include "interface/hudbasic.h"
#include "interface/hudcolors.h"
#include "render/d3dbatch.h"
#include "render/graphicdriver.h"
#include "render/light.h"
#include "render/sky.h"
#include "render/sprite.h"
#include "render/view.h"

namespace {

struct Ring {
    const char* name;
    int k;
};
constexpr Ring kRings[kLensFlareRings] = {{"ring.0", 166}, {"ring.1", 115}, {"ring.2", 25},
                                          {"ring.3", -128}, {"ring.4", -204}, {"ring.0", -256}};

// Centred on the point and clipped to the target's clip rectangle.
constexpr uint32_t kRingPlacement = 0x250004;
// Glare per visible pixel: the hardware count is of a 5 x 5 quad, the software one of the 21
// pixels of a disc of squared radius 5.
constexpr float kHardwareGlare = 0.04f;
constexpr float kSoftwareGlare = 0.047f;
// The hardware test quad lies far enough to be hidden by anything the scene drew over the sun.
constexpr float kTestQuadDepth = 1000.0f;

LensFlareServices MakeServices() {
    LensFlareServices s{};
    s.sun = [](Vector* direction) {
        if (!Sky_Settings().sun) return false;
        *direction = Light_GetSunDirection();
        return true;
    };
    s.sunColour = [] {
        const int texel = Sky_Settings().sun ? Sprite_CentreTexel(Sky_Settings().sun) : -1;
        return texel >= 0 ? texel : HudColors.white;
    };
    s.hardware = [] { return g_graphicDriver.driverKind == kDriverHardware; };
    s.visiblePixels = D3D_QueryVisiblePixels;
    s.drawSprite = [](GraphicBuffer* buffer, int sprite, int x, int y, uint32_t flags) {
        Sprite_Draw(buffer, sprite, x, y, flags);
    };
    return s;
}
LensFlareServices g_services = MakeServices();

// The pixels of the sun's colour within squared distance 5 of (sx, sy), in screen coordinates.
int CountSunPixels(const GraphicBuffer& buffer, int sx, int sy, int colour) {
    if (buffer.valid != 1 || !buffer.pixels || buffer.format != kGraphicFormat8) return 0;
    const int left = std::max({sx - 2, buffer.clipLeft, 0});
    const int right = std::min({sx + 2, buffer.clipRight, buffer.width - 1});
    const int top = std::max({sy - 2, buffer.clipTop, 0});
    const int bottom = std::min({sy + 2, buffer.clipBottom, buffer.height - 1});
    int n = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const int dx = x - sx, dy = y - sy;
            if (dx * dx + dy * dy <= 5 && buffer.pixels[size_t(y) * size_t(buffer.width) + size_t(x)] == colour) ++n;
        }
    return n;
}

}  // namespace

LensFlareServices& LensFlare_Services() { return g_services; }
void LensFlare_ResetServices() { g_services = MakeServices(); }

LensFlare::LensFlare() { PlaceLayers(); }

void LensFlare::PlaceLayers() {
    for (int layer = 0; layer <= 8; ++layer) SetLayer(layer, 0);
}

void LensFlare::Init() {
    for (int i = 0; i < kLensFlareRings; ++i) sprites[i] = Sprite_Find(kRings[i].name);
}

void LensFlare::Draw() {
    lastVisible = lastGlare = 0;
    const HudContext& context = Hud_Context();
    RenderView* view = context.view;
    GraphicBuffer* buffer = context.buffer;
    Vector sun{};
    if (!view || !buffer || !g_services.sun(&sun)) return;
    // The direction in view space (rotation only): z is the cosine to the view axis.
    const DVector& cam = view->cameraPosition;
    Vector p;
    View_TransformPoint(&p, view, cam.x + sun.x, cam.y + sun.y, cam.z + sun.z);
    // Glare while the sun lies in front of the near distance (the view's aspect is no distance).
    if (!(p.z >= kViewNear)) return;
    const float fx = std::round(p.x / p.z * view->scaleX + view->centreX);
    const float fy = std::round(p.y / p.z * view->scaleY + view->centreY);
    if (!(fx >= float(buffer->clipLeft) && fx <= float(buffer->clipRight) && fy >= float(buffer->clipTop) &&
          fy <= float(buffer->clipBottom)))
        return;
    const int sx = static_cast<int>(fx), sy = static_cast<int>(fy);
    const int cx = (buffer->clipLeft + buffer->clipRight) / 2, cy = (buffer->clipTop + buffer->clipBottom) / 2;
    lastX = sx - buffer->clipLeft;
    lastY = sy - buffer->clipTop;

    float n = 0, g = 0;
    if (g_services.hardware()) {
        const float x0 = float(sx - 2), y0 = float(sy - 2), x1 = float(sx + 3), y1 = float(sy + 3);
        const float quad[12] = {x0, y0, kTestQuadDepth, x1, y0, kTestQuadDepth,
                                x1, y1, kTestQuadDepth, x0, y1, kTestQuadDepth};
        n = std::max(0.0f, g_services.visiblePixels(quad, 4));
        g = kHardwareGlare;
    } else {
        n = static_cast<float>(CountSunPixels(*buffer, sx, sy, g_services.sunColour()));
        g = kSoftwareGlare;
    }
    lastVisible = n;
    if (!(n > 0)) return;
    lastGlare = g * std::pow(p.z, 32.0f) * n;
    ScreenTint_Instance().AddLevel(lastGlare);
    // Shift the product before adding: a sun at the centre puts every ring on the centre.
    for (int i = 0; i < kLensFlareRings; ++i) {
        const int x = cx + (((sx - cx) * kRings[i].k) >> 8);
        const int y = cy + (((sy - cy) * kRings[i].k) >> 8);
        g_services.drawSprite(buffer, sprites[i], x - buffer->clipLeft, y - buffer->clipTop, kRingPlacement);
    }
}
