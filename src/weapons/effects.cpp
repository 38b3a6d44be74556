#include "weapons/effects.h"

#include <cmath>

#include "core/app.h"
#include "core/debug.h"
#include "core/game.h"
#include "core/gamesettings.h"
#include "core/odf.h"
#include "core/seams/render.h"
#include "fun3d/hovercraft.h"

namespace {

// "smoke.odf": the shared settings of the four damage kinds and two single kinds.
constexpr uint32_t kSmokeFrames = 0xdd33060c;
constexpr uint32_t kSmokeLifetime = 0xbcc03185;
constexpr uint32_t kSmokeSize = 0x8566cba4;
constexpr uint32_t kSmokeGrowth = 0x2a532704;
struct SpriteKey {
    uint32_t key;
    const char* defaultName;
};
constexpr SpriteKey kSmokeSprites[4] = {
    {0xe4e87623, "lsmoke.0"}, {0x89e40141, "msmoke.0"}, {0x55473cb2, "dsmoke.0"}, {0x68ad0781, "bsmoke.0"}};
struct SmokeGroupKeys {
    uint32_t frames, lifetime, size, growth, sprite;
};
constexpr SmokeGroupKeys kGroupTwoKeys{0x170efc31, 0x4225e338, 0x4583bc21, 0xc2c0fe4b, 0x325cf422};
constexpr SmokeGroupKeys kGroupThreeKeys{0xc86d87f8, 0xb6fc11f9, 0x899409c8, 0x978015a0, 0x0b0ca99d};

// "dust.odf".
constexpr uint32_t kDustSprite = 0xc1fe0e54;
constexpr uint32_t kDustFrames = 0x2e9fa32f;
constexpr uint32_t kDustLifetime = 0xfeb0cc2b;
constexpr uint32_t kDustSize = 0x922db093;
constexpr uint32_t kDustGrowth = 0x7bb4f7d1;

ParticleKind g_kinds[kSmokeKindSlots];
int g_usedEnd = 0;
uint32_t g_generation = 0;

int FindSprite(const OdfFile& odf, uint32_t key, const char* defaultName) {
    char name[16];
    odf.GetString(key, name, sizeof name, defaultName);
    return Seam_Render().spriteFind(name);
}

float GrowthPerSecond(float size, float frameRate, int frameCount, float growthFactor) {
    return frameCount > 0 ? size * frameRate * (growthFactor - 1.0f) / static_cast<float>(frameCount) : 0.0f;
}

// One sprite to draw: its world centre, size and sprite.
struct EffectSprite {
    float centre[3];
    float size;
    float frame;  // rounded to the nearest sprite only for the entries drawn
    float end;    // the sprite after the animation's last frame
};

// The frame drawn: the nearest sprite, but never past the animation's last frame. A puff in the
// last half of its last frame rounds up to the sprite after it in the table, another
// animation's first frame (the dust's next record is a fireball's, the smoke's the next smoke).
int FrameToDraw(const EffectSprite& s) {
    const long frame = std::lround(s.frame), last = static_cast<long>(std::ceil(s.end)) - 1;
    return static_cast<int>(frame > last ? last : frame);
}

// The depth-bucketed drawing of the smoke and dust: each visible entry goes into the bucket of
// its view depth (a bucket keeps its first 128 visible entries), then the buckets are drawn
// nearest first until the bucket in which the budget of sprites was reached.
//
// Most entries lie in buckets beyond the one that ends the drawing, so the entries are sorted
// by the depth of their centres first and culled only when their bucket is drawn; the result is
// the same. Entries clamped into the last bucket are culled at once, since the clamp is
// reported for visible entries only.
template <class Get>
void DrawBucketed(RenderView* view, int count, const char* clampMessage, Get get) {
    // Room for the larger of the two buffers drawn here, so no entry goes undrawn.
    constexpr int kMaxEntries = kParticleBufferSize > kHoverDustMax ? kParticleBufferSize : kHoverDustMax;
    constexpr int kCulledVisible = kEffectBuckets;  // a bucket mark: clamped and already culled
    static int16_t bucketOf[kMaxEntries];
    static int16_t sorted[kMaxEntries];
    if (count > kMaxEntries) count = kMaxEntries;
    int sizes[kEffectBuckets] = {};
    const RenderSeam& render = Seam_Render();
    for (int i = 0; i < count; ++i) {
        bucketOf[i] = -1;
        const EffectSprite s = get(i);
        float depth = 0.0f;
        if (!render.viewDepth(view, s.centre, &depth)) continue;
        // Rounded to the nearest bucket; written out, since this runs for every entry. Below 0
        // (and NaN) is bucket 0, from the last bucket's far half up the clamp.
        const float scaled = depth * kRenderEffectDepthScale;
        const long b = !(scaled >= 0.0f)                ? 0
                       : scaled >= float(kEffectBuckets) ? long{kEffectBuckets}
                                                         : static_cast<long>(static_cast<double>(scaled) + 0.5);
        if (b >= kEffectBuckets) {
            if (!render.sphereViewDepth(view, s.centre, s.size, &depth)) continue;
            Debug_Printf("%s", clampMessage);
            ++sizes[kEffectBuckets - 1];
            bucketOf[i] = kCulledVisible;
            continue;
        }
        ++sizes[b];
        bucketOf[i] = static_cast<int16_t>(b);
    }
    // A counting sort keeps each bucket's entries in their buffer order.
    int first[kEffectBuckets + 1] = {};
    for (int b = 0; b < kEffectBuckets; ++b) first[b + 1] = first[b] + sizes[b];
    int next[kEffectBuckets];
    for (int b = 0; b < kEffectBuckets; ++b) next[b] = first[b];
    for (int i = 0; i < count; ++i) {
        const int b = bucketOf[i] == kCulledVisible ? kEffectBuckets - 1 : bucketOf[i];
        if (b >= 0) sorted[next[b]++] = static_cast<int16_t>(i);
    }
    int queued = 0;
    for (int b = 0; b < kEffectBuckets && queued < kEffectSpriteBudget; ++b) {
        int kept = 0;
        for (int k = first[b]; k < first[b + 1] && kept < kEffectBucketSize; ++k) {
            const int i = sorted[k];
            const EffectSprite s = get(i);
            float depth = 0.0f;
            if (bucketOf[i] != kCulledVisible && !render.sphereViewDepth(view, s.centre, s.size, &depth)) continue;
            render.queueBillboard(view, s.centre, s.size, FrameToDraw(s));
            ++kept;
            ++queued;
        }
    }
}

}  // namespace

bool Effect_AddAllowed() {
    const GameSettings& settings = Game_Settings();
    const int32_t state = Game_GetState();
    return settings.effectsOn && state != kStateLoadPath && state != kStateQuit && settings.effectDetail >= 1;
}

// ---- smoke kinds ----------------------------------------------------------------------------

ParticleKind* EffectList::Add(int firstSprite, int frameCount, float frameRate, float size, float growthFactor) {
    int slot = 0;
    while (slot < g_usedEnd && g_kinds[slot].start != 0.0f) ++slot;
    if (slot == g_usedEnd) {
        if (g_usedEnd >= kSmokeKindSlots) return nullptr;
        ++g_usedEnd;
    }
    ParticleKind& k = g_kinds[slot];
    k.start = static_cast<float>(firstSprite);
    k.lifetime = static_cast<float>(frameCount);
    k.rate = frameRate;
    k.size = size;
    k.growth = GrowthPerSecond(size, frameRate, frameCount, growthFactor);
    return &k;
}

void EffectList::Clear() {
    for (ParticleKind& k : g_kinds) k = ParticleKind{};
    g_usedEnd = 0;
    ++g_generation;
}

int EffectList::UsedEnd() { return g_usedEnd; }
uint32_t EffectList::Generation() { return g_generation; }

// ---- smoke ----------------------------------------------------------------------------------

void SmokeEffect::MissionSetup() {
    EffectList::Clear();
    ParticleBuffer_Clear();
    OdfFile odf("smoke.odf");
    auto registerKind = [&](int sprite, int frames, float lifetime, float size, float growth) {
        const float rate = lifetime > 0.0f ? static_cast<float>(frames) / lifetime : 0.0f;
        return EffectList::Add(sprite, frames, rate, size, growth);
    };
    int frames = 0;
    float lifetime = 0.0f, size = 0.0f, growth = 0.0f;
    odf.GetInt(kSmokeFrames, &frames, 16);
    odf.GetFloat(kSmokeLifetime, &lifetime, 1.6f);
    odf.GetFloat(kSmokeSize, &size, 1.5f);
    odf.GetFloat(kSmokeGrowth, &growth, 1.0f);
    for (int i = 0; i < 4; ++i)
        kinds[i] = registerKind(FindSprite(odf, kSmokeSprites[i].key, kSmokeSprites[i].defaultName), frames, lifetime,
                                size, growth);
    const SmokeGroupKeys* groups[2] = {&kGroupTwoKeys, &kGroupThreeKeys};
    const float groupSize[2] = {2.0f, 2.0f};
    for (int g = 0; g < 2; ++g) {
        const SmokeGroupKeys& keys = *groups[g];
        odf.GetInt(keys.frames, &frames, 16);
        odf.GetFloat(keys.lifetime, &lifetime, 1.6f);
        odf.GetFloat(keys.size, &size, groupSize[g]);
        odf.GetFloat(keys.growth, &growth, 1.0f);
        kinds[kSmokeGroupTwo + g] = registerKind(FindSprite(odf, keys.sprite, "lsmoke.0"), frames, lifetime, size, growth);
    }
    // The craft's damage smoke: light to black as the damage grows; a new craft starts light.
    for (int level = 0; level <= 4; ++level) {
        const ParticleKind* k = kinds[level > 0 ? level - 1 : 0];
        if (k) ParticleKind_CraftSmoke(level) = *k;
    }
}

void SmokeEffect::Simulate(float dt) {
    ParticleRecord* puffs = ParticleBuffer_MutableRecords();
    for (int i = 0; i < ParticleBuffer_Count();) {
        ParticleRecord& p = puffs[i];
        p.start += dt * p.rate;
        if (p.start >= p.end) {
            // The last puff takes this slot and is processed next.
            ParticleBuffer_RemoveAt(i);
            continue;
        }
        p.size += dt * p.growth;
        p.position.x += dt * p.velocity.x;
        p.position.y += dt * p.velocity.y;
        p.position.z += dt * p.velocity.z;
        ++i;
    }
}

void SmokeEffect::Render(RenderView* view) {
    const ParticleRecord* puffs = ParticleBuffer_Records();
    DrawBucketed(view, ParticleBuffer_Count(), "SmokeEffect clamped dist\n", [puffs](int i) {
        const ParticleRecord& p = puffs[i];
        return EffectSprite{{p.position.x, p.position.y, p.position.z}, p.size, p.start, p.end};
    });
}

// ---- dust -----------------------------------------------------------------------------------

void DustEffect::MissionSetup() {
    HoverDust_Clear();
    OdfFile odf("dust.odf");
    const int sprite = FindSprite(odf, kDustSprite, "dust.0");
    int frames = 0;
    float lifetime = 0.0f, size = 0.0f, growth = 0.0f;
    odf.GetInt(kDustFrames, &frames, 32);
    odf.GetFloat(kDustLifetime, &lifetime, 1.2f);
    odf.GetFloat(kDustSize, &size, 1.5f);
    odf.GetFloat(kDustGrowth, &growth, 1.0f);
    HoverDustTiming& t = HoverDust_Timing();
    t.baseTime = static_cast<float>(sprite);
    t.lifetime = static_cast<float>(frames);
    t.rate = lifetime > 0.0f ? static_cast<float>(frames) / lifetime : 0.0f;
    t.constant = size;
    t.growth = GrowthPerSecond(size, t.rate, frames, growth);
}

void DustEffect::Simulate(float dt) {
    const HoverDustTiming& t = HoverDust_Timing();
    const float end = t.baseTime + t.lifetime;
    HoverDustPuff* puffs = HoverDust_MutablePuffs();
    for (int i = 0; i < HoverDust_Count();) {
        HoverDustPuff& p = puffs[i];
        p.start += dt * t.rate;
        if (p.start >= end) {
            HoverDust_RemoveAt(i);
            continue;
        }
        p.constant += dt * t.growth;
        p.position.x += dt * p.velocity.x;
        p.position.y += dt * p.velocity.y;
        p.position.z += dt * p.velocity.z;
        ++i;
    }
}

void DustEffect::Render(RenderView* view) {
    const HoverDustPuff* puffs = HoverDust_Puffs();
    const HoverDustTiming& t = HoverDust_Timing();
    const float end = t.baseTime + t.lifetime;
    DrawBucketed(view, HoverDust_Count(), "DustEffect clamped dist\n", [puffs, end](int i) {
        const HoverDustPuff& p = puffs[i];
        return EffectSprite{{p.position.x, p.position.y, p.position.z}, p.constant, p.start, end};
    });
}

// ---- members --------------------------------------------------------------------------------

SmokeEffect& Smoke_Effect() {
    static SmokeEffect effect;
    return effect;
}

DustEffect& Dust_Effect() {
    static DustEffect effect;
    return effect;
}

PhaseHook& SmokeEffect_Member() { return Smoke_Effect(); }
PhaseHook& DustEffect_Member() { return Dust_Effect(); }

void Effects_ResetForTest() {
    EffectList::Clear();
    for (ParticleKind*& k : Smoke_Effect().kinds) k = nullptr;
    HoverDust_Clear();
    HoverDust_Timing() = HoverDustTiming{};
}
