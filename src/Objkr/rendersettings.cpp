#include "Objkr/rendersettings.h"

#include "Terrain/terrheight.h"
#include "render/renderqueue.h"

namespace {

// PENDING(8.124) the light list gathers the lights of the view and picks those of an object.
void NoLightCollect(const RenderView*) {}
void NoLightSelect(Entity*) {}
// PENDING(3.102) the cockpit's selection test of the owning object.
bool NothingSelected(void*) { return false; }
// PENDING(2.130) the terrain zones choose the pattern's level, flags and reference height.
int ZoneLevelZero(double, double) { return 0; }
bool ZoneAllowsAll(double, double) { return true; }
uint32_t ZoneNoFlags(double, double) { return 0; }
float ZoneHeightHere(double x, double z) { return Terrain_GetHeight(x, z); }
float TerrainHeightAt(double x, double z) { return Terrain_GetHeight(x, z); }

constexpr DrawServices kDefaultServices = {NoLightCollect, NoLightSelect, NothingSelected, ZoneLevelZero,
                                           ZoneAllowsAll,  ZoneNoFlags,   ZoneHeightHere,  TerrainHeightAt};
DrawServices g_services = kDefaultServices;

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
    // PENDING(2.132) the world environment supplies ambient, intensity, light direction and fog.
    s.ambient = 0.35f;
    s.intensity = 1.0f;
    s.lightDirection = Vec3_Normalize(Vector{0.4f, -1.0f, 0.6f});
    s.fogStart = 400.0f;
    s.fogEnd = 1200.0f;
    s.defaultSizes[0] = 4.0f, s.defaultSizes[1] = 8.0f, s.defaultSizes[2] = 16.0f;
    const LodInfo& lod = RenderQueue_LodInfo();
    s.dotDepth = lod.subdivideDepth;
    s.fixedSizes[0] = float(lod.textureRadius);
    s.fixedSizes[1] = float(lod.bspRadius);
    s.fixedSizes[2] = float(lod.lodRadius);
    const int32_t counts[kDetailGroupCount] = {lod.fillCount, lod.lightCount, lod.textureCount,
                                               lod.bspCount,  lod.lodCount,   lod.shadowCount};
    const int32_t ranges[kDetailGroupCount] = {lod.fillRange, lod.lightRange, lod.textureRange,
                                               lod.bspRange,  lod.lodRange,   lod.shadowRange};
    for (int i = 0; i < kDetailGroupCount; ++i) {
        s.countLimits[i] = counts[i];
        s.distanceLimits[i] = float(ranges[i]);
    }
    // Every face is Gouraud-shaded and textured when its texture is bound.
    for (uint32_t& f : s.faceFlags) f = 0x05;
    return s;
}

// The LOD record is constant-initialised, so reading it during static initialisation is safe.
RenderSettings g_settings = Defaults();

}  // namespace

RenderSettings& Render_Settings() { return g_settings; }
void RenderSettings_Reset() { g_settings = Defaults(); }

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

DrawServices& Draw_Services() { return g_services; }
void Draw_ResetServices() { g_services = kDefaultServices; }
