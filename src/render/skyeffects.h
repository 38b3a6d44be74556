// Decorations of a map's sky and ground, each read from its own section of the map's settings
// file: a layer of cloud quads tiled around the camera, a table of star quads on a sphere,
// animated-sky items (short frame animations flashing at random places above the camera) and
// animated scrounge (frame animations standing on random plain ground cells near the camera).
//
// Clouds, stars and the animated sky load with the sky and are drawn with it at the highest sky
// detail, in the sky's view (the camera's rotation at the origin). The scrounge loads and frees
// with the terrain textures and is stepped by the terrain drawing, in the caller's view.
//
// Random choices use the project's generator: a random value below N is (r x N) >> 15. The
// animations run on the platform's millisecond clock, not the game clock (they are decoration).
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct RenderView;
struct RenderVertex;
struct TextureImage;

constexpr uint32_t kCloudKind = 212;
constexpr uint32_t kStarKindAlpha = 212;
constexpr uint32_t kStarKindKeyed = 84;
constexpr uint32_t kAnimSkyKind = 196;
constexpr uint32_t kScroungeKind = 68;
constexpr int kMaxCloudTextures = 8;
constexpr int kMaxClouds = 32;
constexpr int kMaxStars = 64;
constexpr int kStarSolidMarker = 15;  // a solid star's "texture"
constexpr int kMaxAnimSkyKinds = 8;
constexpr int kMaxAnimFrames = 99;
constexpr int kMaxScroungeSets = 8;
constexpr int kScroungeTypes = 4;

struct StarRecord {
    char texture[16];
    TextureImage* handle;  // null for a solid star
    uint32_t kind;         // kStarKindAlpha, kStarKindKeyed, or 0 for a solid star
    float size;
    float azimuth;    // radians
    float elevation;  // radians, stored negated
    float roll;       // radians, stored negated
    float radius;
};

// One running frame animation (an animated-sky item or a scrounge sprite).
struct AnimItem {
    TextureImage* const* frames = nullptr;  // frame 1 draws frames[0]; null: idle
    int frameCount = 0;
    int repeats = 0;
    int frame = 0;  // 0 waits and is never drawn
    int rate = 0;   // ms per frame
    int delay = 0;  // ms until the next step
    float size = 0;
    DVector position{};
    uint32_t start = 0;
};

void Clouds_Load();
void Clouds_Free();
void Clouds_Draw(RenderView* view);
TextureImage* Clouds_GetTexture(int index);  // null past the loaded ones
int Clouds_Count();

int Stars_Load();  // the star count
void Stars_Free();  // releases every star texture and empties the table
void Stars_Draw(RenderView* view);
TextureImage* Stars_GetTexture(int index);
int Stars_Count();
const StarRecord& Stars_Get(int index);

void AnimSky_Load();
void AnimSky_Free();
// Places idle items, steps the running ones and draws them.
void AnimSky_Update(RenderView* view);
int AnimSky_ItemCount();
int AnimSky_KindFrames(int kind);  // the frame count of a loaded kind, 0 for none
const AnimItem& AnimSky_Item(int index);

// Scrounge_Load, Scrounge_Update and Scrounge_Free are declared with the terrain (terramap.h).
int Scrounge_SpriteCount();
int Scrounge_TypeSets(int type);    // 0 when the type has no frames
int Scrounge_TypeFrames(int type);  // frames per set
const AnimItem& Scrounge_Sprite(int index);

// The frame count a name asks for with its last two characters ("05" five), 0 when they are not
// two digits or are "00".
int SkyEffects_FrameCountOfName(const char* name);

// Called with every effect polygon as it is drawn or queued (the sky view's space for clouds,
// stars and the animated sky, the caller's for the scrounge). For tests; null: none.
using SkyEffectsHook = void (*)(const RenderVertex* vertices, int count, const TextureImage* texture, uint32_t kind);
void SkyEffects_SetHook(SkyEffectsHook hook);
// The world camera the sky's effects stand around (Sky_Draw sets it each frame).
void SkyEffects_SetEye(const DVector& eye);

// Everything as before any map (the shared test reset); releases nothing.
void SkyEffects_Reset();
