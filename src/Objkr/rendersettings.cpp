#include "Objkr/rendersettings.h"

namespace {

RenderSettings Defaults() {
    RenderSettings s{};
    s.displayMode = 1;
    s.bspCache = 1;
    s.sortOption = 1;
    s.shadowPattern = 1;
    s.distantDetail = 1;
    s.detailDynamic = 1;
    s.detailStatic = 1;
    s.drawSingle = 1;
    s.paletteMode = 1;
    s.fadeFactor = 1.0f;
    // Until a map loads; the world environment (Terrain_SelectView) then sets ambient, intensity,
    // light direction and fog.
    s.ambient = 0.35f;
    s.intensity = 1.0f;
    s.lightDirection = Vector{0.3244428f, -0.8111071f, 0.4866643f};  // (0.4, -1, 0.6) normalised
    s.fogStart = 400.0f;
    s.fogEnd = 1200.0f;
    s.defaultSizes[0] = 4.0f, s.defaultSizes[1] = 8.0f, s.defaultSizes[2] = 16.0f;
    // Until the renderer hands over its "LODInfo": sizes only, no count or distance limits.
    s.fixedSizes[0] = 30.0f, s.fixedSizes[1] = 100.0f, s.fixedSizes[2] = 10.0f;
    // Every face is Gouraud-shaded and textured when its texture is bound.
    for (uint32_t& f : s.faceFlags) f = 0x05;
    return s;
}

RenderSettings g_settings = Defaults();

}  // namespace

RenderSettings& Render_Settings() { return g_settings; }
void RenderSettings_Reset() { g_settings = Defaults(); }

void RenderSettings_ResetKeepingWorldLight() {
    const RenderSettings kept = g_settings;
    g_settings = Defaults();
    g_settings.ambient = kept.ambient;
    g_settings.intensity = kept.intensity;
    g_settings.lightDirection = kept.lightDirection;
    g_settings.fogStart = kept.fogStart;
    g_settings.fogEnd = kept.fogEnd;
}

float RenderSettings_DistanceFactor(float depth) {
    const RenderSettings& s = g_settings;
    if (!s.fogMode) return 1.0f;
    if (!(s.fogEnd > s.fogStart)) return depth >= s.fogEnd ? 1.0f : 0.0f;
    const float f = (depth - s.fogStart) / (s.fogEnd - s.fogStart);
    return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
}

uint32_t RenderSettings_FaceFlags(const uint8_t kept[3]) {
    uint32_t flags = g_settings.faceFlags[kept[0] % kFaceFlagTableSize];
    if (kept[2]) flags |= 0x80;
    return flags;
}

