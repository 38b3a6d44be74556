#include "Terrain/terrenv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Objkr/rendersettings.h"
#include "Terrain/terramap.h"
#include "Terrain/terraintex.h"
#include "core/app.h"
#include "core/configfile.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace {

// The ranges the terrain can draw with, for settings read from files: the visibility scale in
// percent, the satellite view's range and the map's distances in metres.
constexpr int kVisibilityScaleMin = 10;
constexpr int kVisibilityScaleMax = 400;
constexpr int kSatelliteRangeMin = 1;
constexpr int kSatelliteRangeMax = 100000;
constexpr int kMapDistanceMax = 100000;

TerrainViewSet NormalDefaults() { return {300.0f, 200.0f, 150, 200, 0.5f, 0.3f, 0.0011764f}; }
TerrainViewSet SatelliteDefaults() { return {3000.0f, 3000.0f, 3000, 4000, 0.5f, 0.3f, 0.0011764f}; }

TerrainEnvironment MakeDefaults() {
    TerrainEnvironment env{};
    env.normal = NormalDefaults();
    env.satellite = SatelliteDefaults();
    env.current = env.normal;
    env.musicTrack = -1;
    env.timeOfDay = 1200;
    env.lava = env.wave = -1;
    env.visibilityScale = 1.0f;
    env.fogDirection = 1;
    env.viewMode = -1;
    return env;
}

TerrainEnvironment g_env = MakeDefaults();

// A colour file through the file cache, or null when it is missing or shorter than `size`.
const uint8_t* UseTable(const char* name, uint32_t size) {
    if (!name[0] || !Cache_ItemExists(name)) return nullptr;
    if (Cache_GetItemSize(name) < size) return nullptr;
    return static_cast<const uint8_t*>(Cache_UseItem(name));
}

void LoadColourTables() {
    const char* file = Terrain_GetFileName();
    char palette[260], luma[260], translucency[260], alpha[260];
    Cfg_GetProfileString("Color", "Palette", "", palette, sizeof palette, file);
    Cfg_GetProfileString("Color", "Luma", "", luma, sizeof luma, file);
    Cfg_GetProfileString("Color", "Translucency", "", translucency, sizeof translucency, file);
    Cfg_GetProfileString("Color", "Alpha", "", alpha, sizeof alpha, file);

    const uint8_t* rgb = UseTable(palette, 768);
    if (!rgb) Error_Warning("Error loading palette %s", palette);
    const uint8_t* lumaTable = UseTable(luma, 65536);
    if (!lumaTable) Error_Warning("Error loading luminance table %s", luma);
    if (rgb) {
        Terrain_ApplyPalette(rgb, lumaTable);
        Cache_UnlockItem(palette);
    }
    if (lumaTable) Cache_UnlockItem(luma);

    RenderSeam& render = Seam_Render();
    if (const uint8_t* table = UseTable(translucency, 65536)) {
        render.setTranslucencyTable(table);
        Cache_UnlockItem(translucency);
    } else {
        Error_Warning("Translucency table not found; disabled");
    }
    render.paletteRemapIdentity255();
    if (const uint8_t* table = UseTable(alpha, 65536)) {
        render.setAlphaTable(table);
        Cache_UnlockItem(alpha);
        // Installing the alpha table resets the shading tables, remap row 255 with them: without
        // this the key colour would draw solid again.
        render.paletteRemapIdentity255();
    } else {
        Error_Warning("Alpha table not found; disabled");
    }
}

// The values the entity drawing reads.
void PublishToEntityDrawing() {
    RenderSettings& s = Render_Settings();
    s.ambient = g_env.current.ambient;
    s.intensity = g_env.current.intensity;
    float sun[3];
    Seam_Render().sunDirection(sun);
    s.lightDirection = Vector{-sun[0], -sun[1], -sun[2]};  // the direction the light travels
    s.fogStart = static_cast<float>(g_env.current.fogStart);
    s.fogEnd = static_cast<float>(g_env.current.fogEnd);
}

}  // namespace

TerrainEnvironment& Terrain_Environment() { return g_env; }
void TerrainEnv_Reset() { g_env = MakeDefaults(); }

void Terrain_LoadWorldSection() {
    const char* file = Terrain_GetFileName();
    g_env.musicTrack = Cfg_GetProfileInt("World", "MusicTrack", -1, file);
    Seam_Audio().cdSetTrack(g_env.musicTrack);
    Cfg_GetProfileString("World", "IntroMovie", "", g_env.introMovie, sizeof g_env.introMovie, file);
    Cfg_GetProfileString("World", "OutroMovie", "", g_env.outroMovie, sizeof g_env.outroMovie, file);
    g_env.timeOfDay = Cfg_GetProfileInt("NormalView", "Time", 1200, file);
    Seam_Render().lightInitWorld(g_env.timeOfDay / 100);
    g_env.lava = Cfg_GetProfileInt("NormalView", "Lava", -1, file);
    g_env.wave = Cfg_GetProfileInt("NormalView", "Wave", -1, file);
    LoadColourTables();
}

void Terrain_ReadEnvironment() {
    const std::string cfg = Plat_ProfilePath("render.cfg");
    g_env.waves = Plat_IniGetInt("NormalView", "Waves", 0, cfg.c_str());
    // A hand-edited file can hold anything: a scale of 0 or less draws no terrain, and a huge one
    // overflows the fog distances, so the scale is held to what the terrain can draw.
    const int scalePercent = Plat_IniGetInt("NormalView", "VisibilityScale", 100, cfg.c_str());
    g_env.visibilityScale = static_cast<float>(std::clamp(scalePercent, kVisibilityScaleMin, kVisibilityScaleMax)) / 100.0f;
    if (Seam_Net().isNetworkGame() && Seam_Net().isInternetGame() && g_env.visibilityScale > 1.5f)
        g_env.visibilityScale = 1.5f;
    g_env.satellite = SatelliteDefaults();
    g_env.satellite.visibilityRange = static_cast<float>(
        std::clamp(Plat_IniGetInt("SateliteView", "VisibilityRange", static_cast<int>(g_env.satellite.visibilityRange),
                                  cfg.c_str()),
                   kSatelliteRangeMin, kSatelliteRangeMax));
    RenderSeam& render = Seam_Render();
    render.setSeparateDraw(Plat_IniGetInt("Debug", "SeparateDraw", render.separateDraw(), cfg.c_str()));
    Terrain_DrawMode().faceMask = Plat_IniGetInt("Debug", "FaceMask", Terrain_DrawMode().faceMask, cfg.c_str());
    CockpitSeam& cockpit = Seam_Cockpit();
    cockpit.hudSetOn(Plat_IniGetInt("Debug", "HUD", cockpit.hudIsOn() ? 1 : 0, cfg.c_str()) != 0);

    const char* file = Terrain_GetFileName();
    auto get = [file](const char* key, int fallback) { return Cfg_GetProfileInt("NormalView", key, fallback, file); };
    auto distance = [&get](const char* key, int fallback) { return std::clamp(get(key, fallback), 0, kMapDistanceMax); };
    TerrainViewSet& n = g_env.normal;
    n = NormalDefaults();
    n.fogStart = distance("FogStart", 100);
    n.fogEnd = distance("FogEnd", 250);
    n.fogBreak = get("FogBreak", 50) / 100.0f;
    n.visibilityRange = static_cast<float>(distance("VisibilityRange", 250));
    n.flatRange = static_cast<float>(distance("FlatRange", 250));
    n.intensity = get("Intensity", 30) / 100.0f;
    n.ambient = get("Ambient", 0) / 100.0f;
    g_env.shadowLuma = get("ShadowLuma", 75) / 100.0f;
    g_env.terrainShadowLuma = get("TerrainShadowLuma", 50) / 100.0f;
    g_env.carAmbient = get("carAmbient", 55) / 100.0f;
    g_env.fogDirection = get("FogDirection", 1);
    g_env.groundFogTop = get("GroundFogTop", 0) * 10.0f;
    g_env.groundFogBottom = get("GroundFogBottom", 0) * 10.0f;
    g_env.groundFogStart = static_cast<float>(get("GroundFogStart", 60));
    Terrain_SetBaseHeight(Cfg_GetProfileInt("Size", "Height", 0, file));

    const float scale = g_env.visibilityScale;
    n.visibilityRange *= scale;
    n.flatRange *= scale;
    n.fogEnd = static_cast<int>(scale * n.fogEnd);
    if (g_env.carAmbient * 255.0f < kMinLightByte) g_env.carAmbient = kMinLightByte / 255.0f;
    if (!(g_env.shadowLuma > 0.0f && g_env.shadowLuma <= 1.0f)) g_env.shadowLuma = g_env.carAmbient;
    g_env.satellite.intensity = n.intensity;
    g_env.satellite.ambient = n.ambient;
    if (n.fogStart < n.visibilityRange - 14.0f && n.fogEnd > n.visibilityRange - 14.15f)
        n.fogEnd = static_cast<int>(n.visibilityRange - 14.15f);
    if (n.fogBreak < 0.01f) n.fogBreak = 0.01f;
    if (n.fogBreak > 0.99f) n.fogBreak = 0.99f;
    g_env.groundFogSlope = 0.0f;
    if (g_env.groundFogTop - g_env.groundFogBottom > 0.0f && n.fogEnd - n.fogStart > 0)
        g_env.groundFogSlope =
            scale * (n.fogEnd - n.fogStart) * 10.0f / (g_env.groundFogTop - g_env.groundFogBottom);
    g_env.hardware = App_Globals().driverKind == 1;
    Terrain_SelectView(0);
}

void Terrain_SelectView(int mode) {
    g_env.current = (mode == 2 || mode == 3 || mode == 10) ? g_env.satellite : g_env.normal;
    g_env.visibility = g_env.current.visibilityRange * 0.1f;
    g_env.viewMode = mode;
    const int span = g_env.current.fogEnd - g_env.current.fogStart;
    g_env.fogSlope = span > 0 ? 1.0f / span : 0.0f;
    g_env.visibilityMetres = g_env.visibility * 10.0f;
    g_env.visibilitySquared = g_env.visibilityMetres * g_env.visibilityMetres;
    g_env.lightScale = g_env.current.intensity / 256.0f;
    Terrain_BuildFogTable();
    Terrain_SetTextureBands();
    PublishToEntityDrawing();
}

void Terrain_BuildFogTable() {
    const TerrainViewSet& v = g_env.current;
    const float s = static_cast<float>(v.fogStart), e = static_cast<float>(v.fogEnd);
    const float b = v.fogBreak, d = b / (1.0f - b);
    const bool towardsDark = !g_env.hardware && g_env.fogDirection == 0;
    for (int i = 0; i < kFogTableSize; ++i) {
        float amount;
        if (i <= s)
            amount = 0.0f;
        else if (!(e > s) || i >= e)  // with fog end not above fog start the table steps at fog start
            amount = 1.0f;
        else {
            const float x = (i - s) * g_env.fogSlope;
            amount = x < b ? x / d : d * (x - 1.0f + 1.0f / d);
        }
        g_env.fogTable[i] = towardsDark ? 1.0f - amount : amount;
        g_env.fogBytes[i] = static_cast<uint8_t>(static_cast<int>(255.0f - amount * 255.0f));
    }
}

int Terrain_GetLava() { return g_env.lava; }

void Terrain_ApplyPalette(const uint8_t* palette, const uint8_t* luma) {
    if (palette) Seam_Render().applyWorldPalette(palette, luma);
}

namespace {
int FogIndex(float depth) {
    if (!(depth > 0.0f)) return 0;
    const float rounded = std::floor(depth + 0.5f);
    return rounded >= kFogTableSize - 1 ? kFogTableSize - 1 : static_cast<int>(rounded);
}
}  // namespace

float Terrain_FogAt(float depth) { return g_env.fogTable[FogIndex(depth)]; }
uint8_t Terrain_FogByte(float fogDepth) { return g_env.fogBytes[FogIndex(fogDepth)]; }

float Terrain_VertexLight(uint8_t lightByte, float fogDepth) {
    const float light = lightByte * g_env.current.intensity / 256.0f + g_env.current.ambient;
    if (g_env.hardware) return light;
    const float fog = Terrain_FogAt(fogDepth);
    if (g_env.fogDirection == 0) return light * fog;  // the entry already runs from 1 to 0
    return light + (1.0f - light) * fog;
}

float Terrain_FogDepth(float viewX, float viewZ, float rawHeight) {
    float u = viewZ + std::fabs(viewX) * 0.5f;
    if (g_env.groundFogTop != 0.0f) {
        const float t = g_env.groundFogTop - rawHeight;
        if (t > 0.0f) {
            if (u > g_env.groundFogStart)
                u += t * g_env.groundFogSlope;
            else if (u > 0.0f && g_env.groundFogStart > 0.0f)
                u *= 1.0f + t * g_env.groundFogSlope / g_env.groundFogStart;
        }
    }
    return u;
}
