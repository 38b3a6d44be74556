#include "interface/groundmarker.h"

#include <cmath>

#include "core/seams/render.h"

namespace {
// The sprite quad's draw mode: textured and translucent, as the other ground effects.
constexpr uint32_t kMarkerQuadMode = 4;
}  // namespace

void GroundMarker::PostLoad() {
    pending = 0;
    const RenderSeam& render = Seam_Render();
    sprites[kGroundMarkerGreen] = render.spriteFind("ground.G");
    sprites[kGroundMarkerYellow] = render.spriteFind("ground.Y");
    sprites[kGroundMarkerRed] = render.spriteFind("ground.R");
}

void GroundMarker::SetRect(const float rect[4], const Matrix& placement) {
    const float x0 = rect[0], z0 = rect[1], x1 = rect[2], z1 = rect[3];
    const Vector local[5] = {{x0, 0.5f, z0},
                             {x0, 0.5f, z1},
                             {x1, 0.5f, z1},
                             {x1, 0.5f, z0},
                             {(x0 + x1) * 0.5f, 0.0f, (z0 + z1) * 0.5f}};
    // Half the diagonal: it only sizes the marker when it is drawn as a sprite about the centre.
    radius = 0.5f * std::hypot(x1 - x0, z1 - z0);
    Matrix_TransformPoints(points, local, 5, placement);
}

void GroundMarker::SetColour(int colour) {
    if (colour < kGroundMarkerGreen || colour > kGroundMarkerRed) return;
    pending = sprites[colour];
}

void GroundMarker::Render(RenderView* view) {
    if (!pending) return;
    if (view) {
        // The render queue takes the corners into view space and keys the quad by the nearest.
        float corners[4][3];
        for (int i = 0; i < 4; ++i) {
            corners[i][0] = points[i].x;
            corners[i][1] = points[i].y;
            corners[i][2] = points[i].z;
        }
        Seam_Render().queueQuad(view, corners, pending, kMarkerQuadMode);
    }
    pending = 0;  // placement sets it again for the next frame
}

GroundMarker& GroundMarker_Instance() {
    static GroundMarker marker;
    return marker;
}

PhaseHook& GroundMarker_Member() { return GroundMarker_Instance(); }

void GroundMarker_Set(const float rect[4], const Matrix& placement, int colour) {
    GroundMarker& marker = GroundMarker_Instance();
    marker.SetRect(rect, placement);
    marker.SetColour(colour);
}

void GroundMarker_Reset() {
    GroundMarker& marker = GroundMarker_Instance();
    marker.pending = 0;
    marker.radius = 0;
    for (Vector& p : marker.points) p = Vector{};
    for (int& s : marker.sprites) s = 0;
}
