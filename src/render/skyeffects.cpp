#include "render/skyeffects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "Terrain/terramap.h"
#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "Terrain/terrheight.h"
#include "core/configfile.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/clip.h"
#include "render/d3dpolygon.h"
#include "render/graphicdriver.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr double kDegrees = 3.14159265358979323846 / 180.0;
constexpr double kPi = 3.14159265358979323846;

// The four texture-coordinate rotations of a quad's corners.
constexpr float kRotations[4][4][2] = {
    {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
    {{1, 0}, {1, 1}, {0, 1}, {0, 0}},
    {{1, 1}, {0, 1}, {0, 0}, {1, 0}},
    {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
};

SkyEffectsHook g_hook = nullptr;
DVector g_eye{0.0, 0.0, 0.0};

// A random value below n from the project's 15-bit generator.
int RandomBelow(int n) { return static_cast<int>((static_cast<int64_t>(Random_Next()) * n) >> 15); }

void ReadName(const char* section, const char* key, char (&out)[16]) {
    char text[260];
    Cfg_GetProfileString(section, key, "", text, sizeof text, Terrain_GetFileName());
    Text_CopyFixed(out, sizeof out - 1, text);
    out[sizeof out - 1] = '\0';
}
int ReadInt(const char* section, const char* key, int fallback) {
    return Cfg_GetProfileInt(section, key, fallback, Terrain_GetFileName());
}
template <typename... A>
const char* Key(char (&buffer)[32], const char* format, A... args) {
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// A world point relative to the eye into the view (whose camera may sit anywhere).
Vector ToView(const RenderView* view, double dx, double dy, double dz) {
    Vector p;
    const DVector& cam = view->cameraPosition;
    View_TransformPoint(&p, view, cam.x + dx, cam.y + dy, cam.z + dz);
    return p;
}

void DrawQuad(const RenderView* view, const Vector (&corner)[4], const TextureImage* texture, uint32_t kind,
              int rotation, uint32_t colour = 0) {
    RenderVertex v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = RenderVertex{corner[i].x, corner[i].y, corner[i].z, kRotations[rotation][i][0], kRotations[rotation][i][1],
                            {1.0f}};
    if (g_hook) g_hook(v, 4, texture, kind);
    if (GraphicD3DFlags) D3DRender_DrawLitPolygon(view, v, 4, texture, colour, kind);
    else Render_DrawPolygon(view, v, 4, texture, colour, kind);
}

// A horizontal square of side `side` centred on a point given relative to the eye.
void DrawFlatSquare(const RenderView* view, double x, double y, double z, double side, const TextureImage* texture,
                    uint32_t kind, int rotation) {
    const double h = side * 0.5;
    const Vector c[4] = {ToView(view, x - h, y, z - h), ToView(view, x + h, y, z - h), ToView(view, x + h, y, z + h),
                         ToView(view, x - h, y, z + h)};
    DrawQuad(view, c, texture, kind, rotation);
}

// ---- frame animations shared by the animated sky and the scrounge ----

// A cell centre near the camera: (trunc(0.1 (camera + random below diameter - diameter / 2))
// + 0.5) x 10 on each axis; the cell indices too.
void RandomCell(double eyeX, double eyeZ, int diameter, int* cellX, int* cellZ) {
    const int d = std::max(diameter, 0);
    *cellX = static_cast<int>(std::trunc(0.1 * (eyeX + RandomBelow(d) - d / 2)));
    *cellZ = static_cast<int>(std::trunc(0.1 * (eyeZ + RandomBelow(d) - d / 2)));
}

// One step when the item's delay has passed: the next frame, past the last one the next repeat
// (frame 0) or idle when no repeats are left.
void StepItem(AnimItem& item, uint32_t now) {
    if (!item.frames) return;
    if (static_cast<uint32_t>(now - item.start) < static_cast<uint32_t>(std::max(item.delay, 0))) return;
    item.start = now;
    item.delay = item.rate;
    if (++item.frame > item.frameCount) {
        item.frame = 0;
        if (--item.repeats <= 0) item = AnimItem{};
    }
}

// ---- clouds ----

struct Cloud {
    float x, height, z;
    int texture;
    int rotation;
};
struct Clouds {
    char names[kMaxCloudTextures][16] = {};
    TextureImage* textures[kMaxCloudTextures] = {};
    float size[kMaxCloudTextures] = {};
    float height[kMaxCloudTextures] = {};
    int textureCount = 0;
    Cloud clouds[kMaxClouds] = {};
    int count = 0;
    float tileSize = 100.0f;
    int type = 0;
} g_clouds;

// ---- stars ----

struct Stars {
    StarRecord table[kMaxStars] = {};
    int count = 0;
    float radius = 1000.0f;
} g_stars;

// ---- animated sky ----

struct AnimKind {
    char name[16] = {};
    int frameCount = 0;
    char frameNames[kMaxAnimFrames][16] = {};
    TextureImage* frames[kMaxAnimFrames] = {};
    int rate = 100;
    float size = 580.0f;
};
struct AnimSky {
    AnimKind kinds[kMaxAnimSkyKinds];
    AnimItem items[32];
    int itemCount = 0;
    int diameter = 400, minDelay = 100, maxDelay = 500;
    int nextKind = 0;
} g_animSky;

// ---- scrounge ----

struct ScroungeType {
    char name[16] = {};
    int sets = 0;
    int framesPerSet = 0;
    char frameNames[kMaxScroungeSets][100][16] = {};
    TextureImage* frames[kMaxScroungeSets][100] = {};
};
struct Scrounge {
    ScroungeType types[kScroungeTypes];
    AnimItem sprites[64];
    int spriteCount = 0;
    int rate = 100, size = 200, diameter = 200;
} g_scrounge;

// The stem of a name followed by an optional set digit (set >= 0) and a two-digit frame number.
void FrameName(char (&out)[16], const char* name, size_t stem, int frame, int set) {
    std::string text(name, stem);
    if (set >= 0) text += static_cast<char>('0' + set % 10);
    text += static_cast<char>('0' + frame / 10 % 10);
    text += static_cast<char>('0' + frame % 10);
    std::strncpy(out, text.c_str(), sizeof out - 1);
    out[sizeof out - 1] = '\0';
}

void ReleaseFrames(TextureImage** frames, char (*names)[16], int count) {
    for (int i = 0; i < count; ++i) {
        if (frames[i]) TexCache_Release(names[i]);
        frames[i] = nullptr;
        names[i][0] = '\0';
    }
}

}  // namespace

int SkyEffects_FrameCountOfName(const char* name) {
    const size_t n = name ? std::strlen(name) : 0;
    if (n < 2) return 0;
    const char a = name[n - 2], b = name[n - 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
    return (a - '0') * 10 + (b - '0');
}

void SkyEffects_SetHook(SkyEffectsHook hook) { g_hook = hook; }
void SkyEffects_SetEye(const DVector& eye) { g_eye = eye; }

// ---- clouds ----

void Clouds_Load() {
    Clouds_Free();
    const int count = std::clamp(ReadInt("Clouds", "Count", 0), 0, kMaxClouds);
    // A tile size below 1 m would make the anchor's remainder divide by zero.
    const int tile = ReadInt("Clouds", "TileSize", 100);
    g_clouds.tileSize = tile >= 1 ? static_cast<float>(tile) : 100.0f;
    g_clouds.type = ReadInt("Clouds", "Type", 0);
    char key[32];
    for (int i = 0; i < kMaxCloudTextures; ++i) {
        const int k = g_clouds.textureCount;
        ReadName("Clouds", Key(key, "Texture%d", i), g_clouds.names[k]);
        const int size = ReadInt("Clouds", Key(key, "Size%d", i), 100);
        const int height = ReadInt("Clouds", Key(key, "Height%d", i), 100);
        if (!g_clouds.names[k][0]) continue;
        g_clouds.textures[k] = TexCache_Load(g_clouds.names[k]);
        if (!g_clouds.textures[k]) {
            g_clouds.names[k][0] = '\0';
            continue;
        }
        g_clouds.size[k] = static_cast<float>(size);
        g_clouds.height[k] = static_cast<float>(height + i);  // each further texture 1 m higher
        ++g_clouds.textureCount;
    }
    if (g_clouds.textureCount == 0) return;
    const int t = static_cast<int>(g_clouds.tileSize);
    for (int c = 0; c < count; ++c) {
        Cloud& cloud = g_clouds.clouds[c];
        cloud.texture = RandomBelow(g_clouds.textureCount);
        cloud.rotation = RandomBelow(4);
        cloud.x = static_cast<float>(RandomBelow(t));
        cloud.z = static_cast<float>(RandomBelow(t));
        cloud.height = g_clouds.height[cloud.texture];
    }
    g_clouds.count = count;
}

void Clouds_Free() {
    for (int i = 0; i < g_clouds.textureCount; ++i)
        if (g_clouds.textures[i]) TexCache_Release(g_clouds.names[i]);
    g_clouds = Clouds{};
}

void Clouds_Draw(RenderView* view) {
    if (!view || g_clouds.count == 0) return;
    const double t = g_clouds.tileSize;
    const double ax = g_eye.x - std::fmod(g_eye.x, t), az = g_eye.z - std::fmod(g_eye.z, t);
    const double ay = g_clouds.type != 0 ? 0.0 : g_eye.y;
    for (int k = 0; k < g_clouds.count; ++k) {
        const Cloud& c = g_clouds.clouds[k];
        const double y = c.height + ay + k - g_eye.y;
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j)
                DrawFlatSquare(view, ax + c.x + i * t - g_eye.x, y, az + c.z + j * t - g_eye.z,
                               g_clouds.size[c.texture], g_clouds.textures[c.texture], kCloudKind, c.rotation);
    }
}

TextureImage* Clouds_GetTexture(int index) {
    return index >= 0 && index < g_clouds.textureCount ? g_clouds.textures[index] : nullptr;
}
int Clouds_Count() { return g_clouds.count; }

// ---- stars ----

namespace {

void AddStar(const char* name, TextureImage* handle, uint32_t kind, float size, double azimuthDegrees,
             double elevationDegrees, double rollRadians, float radius) {
    StarRecord& s = g_stars.table[g_stars.count++];
    std::memset(&s, 0, sizeof s);
    Text_CopyFixed(s.texture, sizeof s.texture - 1, name);
    s.handle = handle;
    s.kind = kind;
    s.size = size;
    s.azimuth = static_cast<float>(azimuthDegrees * kDegrees);
    s.elevation = static_cast<float>(-elevationDegrees * kDegrees);
    s.roll = static_cast<float>(-rollRadians);
    s.radius = radius;
}

void LoadStarList() {
    char listName[16];
    ReadName("StarList", "Texture", listName);
    if (!listName[0]) return;
    TextureImage* probe = TexCache_Load(listName);
    if (!probe) return;
    const bool solid = ReadInt("StarList", "Solid", 0) != 0;
    const double layer = ReadInt("StarList", "LayerHeight", 30);
    char key[32];
    for (int s = 0; s < 9 && g_stars.count < kMaxStars; ++s) {
        const int size = ReadInt("StarList", Key(key, "Size%d", s), 100);
        const double start = ReadInt("StarList", Key(key, "Start%d", s), 0);
        const double end = ReadInt("StarList", Key(key, "End%d", s), 360);
        const int count = ReadInt("StarList", Key(key, "Count%d", s), -1);
        for (int j = 0; j < count && g_stars.count < kMaxStars; ++j) {
            // Every textured star holds its own reference, so freeing the table releases each.
            TextureImage* handle = solid ? nullptr : TexCache_Load(listName);
            if (!solid && !handle) continue;
            AddStar(solid ? "" : listName, handle, solid ? 0u : kStarKindAlpha, static_cast<float>(size),
                    start + (end - start) * (j + 0.5) / count, layer * (s + 0.5), j * kPi / 4.0, 1000.0f);
        }
    }
    TexCache_Release(listName);  // the probe's reference
}

}  // namespace

int Stars_Load() {
    Stars_Free();
    g_stars.radius = static_cast<float>(ReadInt("Stars", "Radius", 1000));
    char key[32];
    for (int a = 0; a < 7 && g_stars.count < kMaxStars; ++a)
        for (int b = 0; b < 10 && g_stars.count < kMaxStars; ++b) {
            char name[16];
            ReadName("Stars", Key(key, "Texture%d%d", a, b), name);
            const int size = ReadInt("Stars", Key(key, "Size%d%d", a, b), 100);
            const int azimuth = ReadInt("Stars", Key(key, "Azimuth%d%d", a, b), 0);
            const int elevation = ReadInt("Stars", Key(key, "Elevation%d%d", a, b), 45);
            const int roll = ReadInt("Stars", Key(key, "Roll%d%d", a, b), 0);
            const int alpha = ReadInt("Stars", Key(key, "Alpha%d%d", a, b), 1);
            if (!name[0]) continue;
            TextureImage* handle = TexCache_Load(name);
            if (!handle) continue;
            AddStar(name, handle, alpha ? kStarKindAlpha : kStarKindKeyed, static_cast<float>(size), azimuth,
                    elevation, roll * kDegrees, g_stars.radius);
        }
    LoadStarList();
    return g_stars.count;
}

void Stars_Free() {
    for (int i = 0; i < g_stars.count; ++i)
        if (g_stars.table[i].handle) TexCache_Release(g_stars.table[i].texture);
    g_stars = Stars{};
}

void Stars_Draw(RenderView* view) {
    if (!view) return;
    for (int i = 0; i < g_stars.count; ++i) {
        const StarRecord& s = g_stars.table[i];
        const double az = s.azimuth, el = -s.elevation, roll = -s.roll;
        // The direction, and the square's right and up across it, turned by the roll.
        const double d[3] = {std::sin(az) * std::cos(el), std::sin(el), std::cos(az) * std::cos(el)};
        const double r0[3] = {std::cos(az), 0.0, -std::sin(az)};
        const double u0[3] = {-std::sin(az) * std::sin(el), std::cos(el), -std::cos(az) * std::sin(el)};
        double r[3], u[3];
        for (int k = 0; k < 3; ++k) {
            r[k] = r0[k] * std::cos(roll) + u0[k] * std::sin(roll);
            u[k] = u0[k] * std::cos(roll) - r0[k] * std::sin(roll);
        }
        const double h = s.size * 0.5;
        const double sx[4] = {-1, 1, 1, -1}, sy[4] = {1, 1, -1, -1};
        Vector c[4];
        for (int k = 0; k < 4; ++k)
            c[k] = ToView(view, d[0] * s.radius + (sx[k] * r[0] + sy[k] * u[0]) * h,
                          d[1] * s.radius + (sx[k] * r[1] + sy[k] * u[1]) * h,
                          d[2] * s.radius + (sx[k] * r[2] + sy[k] * u[2]) * h);
        DrawQuad(view, c, s.handle, s.kind, 0, s.handle ? 0u : static_cast<uint32_t>(kStarSolidMarker));
    }
}

TextureImage* Stars_GetTexture(int index) {
    return index >= 0 && index < g_stars.count ? g_stars.table[index].handle : nullptr;
}
int Stars_Count() { return g_stars.count; }
const StarRecord& Stars_Get(int index) {
    static const StarRecord none{};
    return index >= 0 && index < g_stars.count ? g_stars.table[index] : none;
}

// ---- animated sky ----

void AnimSky_Load() {
    AnimSky_Free();
    int count = ReadInt("AnimatedSky", "Count", 32);
    if (count < 1 || count > 32) count = 16;
    g_animSky.diameter = ReadInt("AnimatedSky", "Diameter", 400);
    g_animSky.minDelay = ReadInt("AnimatedSky", "minDelay", 100);
    g_animSky.maxDelay = ReadInt("AnimatedSky", "maxDelay", 500);
    char key[32];
    for (int i = 0; i < kMaxAnimSkyKinds; ++i) {
        AnimKind& kind = g_animSky.kinds[i];
        ReadName("AnimatedSky", Key(key, "Anim%d", i), kind.name);
        kind.rate = ReadInt("AnimatedSky", Key(key, "Rate%d", i), 100);
        kind.size = static_cast<float>(ReadInt("AnimatedSky", Key(key, "Size%d", i), 580));
        // A name that does not end in two digits (or ends in "00") has no frames: skipped.
        const int frames = SkyEffects_FrameCountOfName(kind.name);
        if (frames == 0) continue;
        const size_t stem = std::strlen(kind.name) - 2;
        for (int f = 0; f < frames; ++f) {
            FrameName(kind.frameNames[f], kind.name, stem, f + 1, -1);
            kind.frames[f] = TexCache_Load(kind.frameNames[f]);
            kind.frameCount = f + 1;  // what Free must release, the missing one included
            if (!kind.frames[f]) {
                Error_Warning("Texture not found, Animated sky will be turned off");
                AnimSky_Free();
                return;
            }
        }
    }
    g_animSky.itemCount = count;
}

void AnimSky_Free() {
    for (AnimKind& kind : g_animSky.kinds) ReleaseFrames(kind.frames, kind.frameNames, kind.frameCount);
    g_animSky = AnimSky{};
}

void AnimSky_Update(RenderView* view) {
    if (!view) return;
    const uint32_t now = Plat_Milliseconds();
    for (int i = 0; i < g_animSky.itemCount; ++i) {
        AnimItem& item = g_animSky.items[i];
        if (!item.frames) {
            const AnimKind* kind = nullptr;
            for (int tries = 0; tries < kMaxAnimSkyKinds && !kind; ++tries) {
                const AnimKind& k = g_animSky.kinds[g_animSky.nextKind];
                g_animSky.nextKind = (g_animSky.nextKind + 1) % kMaxAnimSkyKinds;
                if (k.frameCount > 0) kind = &k;
            }
            if (!kind) return;
            item.frames = kind->frames;
            item.frameCount = kind->frameCount;
            item.rate = kind->rate;
            item.size = kind->size;
            item.repeats = 1;
            item.frame = 0;
            item.delay = g_animSky.minDelay + RandomBelow(std::max(g_animSky.maxDelay - g_animSky.minDelay, 0));
            int cx, cz;
            RandomCell(g_eye.x, g_eye.z, g_animSky.diameter, &cx, &cz);
            item.position = DVector{(cx + 0.5) * 10.0, 0.0, (cz + 0.5) * 10.0};
            item.start = now;
            continue;
        }
        StepItem(item, now);
        if (!item.frames || item.frame == 0) continue;
        const double side = item.size / 100.0;
        DrawFlatSquare(view, item.position.x - g_eye.x, 50.0 - side, item.position.z - g_eye.z, side,
                       item.frames[item.frame - 1], kAnimSkyKind, 0);
    }
}

int AnimSky_ItemCount() { return g_animSky.itemCount; }
int AnimSky_KindFrames(int kind) {
    return kind >= 0 && kind < kMaxAnimSkyKinds ? g_animSky.kinds[kind].frameCount : 0;
}
const AnimItem& AnimSky_Item(int index) {
    static const AnimItem none{};
    return index >= 0 && index < g_animSky.itemCount ? g_animSky.items[index] : none;
}

// ---- scrounge ----

void Scrounge_Load() {
    Scrounge_Free();
    char key[32];
    for (int t = 0; t < kScroungeTypes; ++t) ReadName("AnimatedScrounge", Key(key, "Type%d", t), g_scrounge.types[t].name);
    g_scrounge.rate = ReadInt("AnimatedScrounge", "Rate", 100);
    g_scrounge.size = ReadInt("AnimatedScrounge", "Size", 200);
    int count = ReadInt("AnimatedScrounge", "Count", 32);
    if (count < 1 || count > 64) count = 32;
    g_scrounge.diameter = ReadInt("AnimatedScrounge", "Diameter", 200);
    for (ScroungeType& type : g_scrounge.types) {
        const size_t n = std::strlen(type.name);
        if (n < 3) continue;
        const char* digits = type.name + n - 3;
        if (!std::all_of(digits, digits + 3, [](char c) { return c >= '0' && c <= '9'; })) continue;
        // The first digit is the number of sets minus 1, at most 8 sets; the last two the frames
        // per set minus 1.
        const int sets = std::min(digits[0] - '0' + 1, kMaxScroungeSets);
        const int frames = (digits[1] - '0') * 10 + (digits[2] - '0') + 1;
        for (int s = 0; s < sets; ++s)
            for (int f = 0; f < frames; ++f) {
                FrameName(type.frameNames[s][f], type.name, n - 3, f, s);
                type.frames[s][f] = TexCache_Load(type.frameNames[s][f]);
                type.sets = s + 1;  // what Free must release
                type.framesPerSet = frames;
                if (!type.frames[s][f]) {
                    Error_Warning("Anim Texture not found, Animated scrounge will be off");
                    Scrounge_Free();
                    return;
                }
            }
    }
    g_scrounge.spriteCount = count;
}

void Scrounge_Free() {
    for (ScroungeType& type : g_scrounge.types)
        for (int s = 0; s < type.sets; ++s) ReleaseFrames(type.frames[s], type.frameNames[s], type.framesPerSet);
    g_scrounge = Scrounge{};
}

void Scrounge_Update(RenderView* view) {
    if (!view || g_scrounge.spriteCount == 0) return;
    const DVector& eye = view->cameraPosition;
    const uint32_t now = Plat_Milliseconds();
    const TerrainEnvironment& env = Terrain_Environment();
    const float range = env.visibilityMetres;
    for (int i = 0; i < g_scrounge.spriteCount; ++i) {
        AnimItem& sprite = g_scrounge.sprites[i];
        if (!sprite.frames) {
            for (int tries = 0; tries < 16; ++tries) {
                int cx, cz;
                RandomCell(eye.x, eye.z, g_scrounge.diameter, &cx, &cz);
                const double x = (cx + 0.5) * 10.0, z = (cz + 0.5) * 10.0;
                if (!Terrain_InBounds(x, z)) continue;
                const uint16_t* word = Terrain_GetMaterialWord(cx, cz);
                if (!word) continue;
                const TerrainMaterial m = Terrain_SplitMaterial(*word);
                if (m.type != m.neighbour || m.type >= kScroungeTypes) continue;  // only plain cells
                const ScroungeType& type = g_scrounge.types[m.type];
                if (type.sets == 0) continue;
                sprite.frames = type.frames[RandomBelow(type.sets)];
                sprite.frameCount = type.framesPerSet;
                sprite.repeats = 1;
                sprite.frame = 0;
                sprite.rate = g_scrounge.rate;
                sprite.size = static_cast<float>(g_scrounge.size);
                // The first delay is a random part of one cycle, so the sprites do not move as one.
                sprite.delay = RandomBelow(std::max(g_scrounge.rate, 0) * type.framesPerSet);
                sprite.position = DVector{x, Terrain_GetHeight(x, z), z};
                sprite.start = now;
                break;
            }
            continue;
        }
        // Beyond the visibility range a sprite is not drawn; it is placed again next frame.
        if (std::hypot(sprite.position.x - eye.x, sprite.position.z - eye.z) > range) {
            sprite = AnimItem{};
            continue;
        }
        StepItem(sprite, now);
        if (!sprite.frames || sprite.frame == 0) continue;
        const double side = sprite.size / 100.0;
        const Vector bottom = ToView(view, sprite.position.x - eye.x, sprite.position.y - eye.y, sprite.position.z - eye.z);
        const Vector top =
            ToView(view, sprite.position.x - eye.x, sprite.position.y + side - eye.y, sprite.position.z - eye.z);
        const float h = static_cast<float>(side * 0.5);
        const Vector c[4] = {{top.x - h, top.y, top.z}, {top.x + h, top.y, top.z}, {bottom.x + h, bottom.y, bottom.z},
                             {bottom.x - h, bottom.y, bottom.z}};
        RenderVertex v[4];
        const float intensity = env.current.intensity;
        for (int k = 0; k < 4; ++k) {
            // The fog rule of the ground around it, on the intensity.
            const float fog = Terrain_FogAt(c[k].z);
            const float light = env.fogDirection == 0 ? intensity * fog : intensity + (1.0f - intensity) * fog;
            v[k] = RenderVertex{c[k].x, c[k].y, c[k].z, kRotations[0][k][0], kRotations[0][k][1], {light}};
        }
        const TextureImage* texture = sprite.frames[sprite.frame - 1];
        if (g_hook) g_hook(v, 4, texture, kScroungeKind);
        RenderQueue_AddPolygon(v, 4, RenderQueue_TextureRef(texture), kScroungeKind, 0,
                               std::max({c[0].z, c[1].z, c[2].z, c[3].z}));
    }
}

int Scrounge_SpriteCount() { return g_scrounge.spriteCount; }
int Scrounge_TypeSets(int type) { return type >= 0 && type < kScroungeTypes ? g_scrounge.types[type].sets : 0; }
int Scrounge_TypeFrames(int type) {
    return type >= 0 && type < kScroungeTypes && g_scrounge.types[type].sets ? g_scrounge.types[type].framesPerSet : 0;
}
const AnimItem& Scrounge_Sprite(int index) {
    static const AnimItem none{};
    return index >= 0 && index < g_scrounge.spriteCount ? g_scrounge.sprites[index] : none;
}

void SkyEffects_Reset() {
    g_clouds = Clouds{};
    g_stars = Stars{};
    g_animSky = AnimSky{};
    g_scrounge = Scrounge{};
    g_hook = nullptr;
    g_eye = DVector{0.0, 0.0, 0.0};
}
