#include "weapons/spriteeffects.h"

#include <cmath>

#include "Terrain/terrheight.h"
#include "core/odf.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "weapons/effects.h"
#include "weapons/firedue.h"

namespace {

// "particle.odf".
constexpr uint32_t kOdfSprite = 0x0f50ddfe;
constexpr uint32_t kOdfFrames = 0x9ce7acd5;
constexpr uint32_t kOdfSize = 0x531e553d;
constexpr uint32_t kOdfDelay = 0xf7e89ce2;
constexpr uint32_t kOdfSecondsPerFrame = 0xc7dc5ce9;

// "cnstblob.odf".
constexpr uint32_t kBlobSprite = 0x5df29add;
constexpr uint32_t kBlobRowStep = 0xdeb6a738;
constexpr uint32_t kBlobFrames = 0x8df5df5d;
// "engflame.odf".
constexpr uint32_t kFlameSprite = 0xb051e2db;
constexpr uint32_t kFlameFrames = 0x5d27caba;
constexpr uint32_t kFlameLengthScale = 0xf7c7cb9c;
// "engsplsh.odf".
constexpr uint32_t kSplashSprite = 0x7caf4e69;
constexpr uint32_t kSplashRowStep = 0xc4ca506c;
constexpr uint32_t kSplashFrames = 0x16194e31;
constexpr uint32_t kSplashSize = 0x0b421904;
// "fireball.odf".
constexpr uint32_t kFireSprite = 0xbc5e1073;
constexpr uint32_t kFireFrames = 0xd045e882;
constexpr uint32_t kFireRate = 0x1ceb4a7a;
constexpr uint32_t kFireSize = 0x91dcfcce;
constexpr uint32_t kFireGrowth = 0x83a961da;
constexpr uint32_t kTrailSprite = 0x88f1ef89;
constexpr uint32_t kTrailFrames = 0xdd33060c;
constexpr uint32_t kTrailLifetime = 0x567840fc;
constexpr uint32_t kTrailInterval = 0x01f6a810;
constexpr uint32_t kTrailSize = 0x8566cba4;
constexpr uint32_t kTrailGrowth = 0x2a532704;
constexpr uint32_t kTrailSpread = 0xbb8ad7d1;
constexpr uint32_t kTrailInherit = 0x40a86add;
// A fireball emits at most this many trail puffs an update, however short its interval.
constexpr int kMaxTrailPuffsPerUpdate = 64;

constexpr float kGravity = 9.8f;
// A frame timer this close below the frame time has passed it (rounding of summed steps).
constexpr float kTimerTolerance = 1e-6f;
constexpr uint32_t kQuadFlags = 4;
constexpr float kSegmentAngle = 0.2617994f;  // 15 degrees

int SpriteOf(const OdfFile& odf, uint32_t key, const char* defaultName) {
    char name[16];
    odf.GetString(key, name, sizeof name, defaultName);
    return Seam_Render().spriteFind(name);
}

// The next animation frame of a per-frame effect, wrapping to 0 at the frame count.
int StepCounter(int counter, int frameCount) {
    ++counter;
    return counter >= frameCount ? 0 : counter;
}

Vector Plus(const Vector& a, const Vector& b, float k) { return Vector{a.x + b.x * k, a.y + b.y * k, a.z + b.z * k}; }

Vector PositionOf(const Matrix& m) {
    return Vector{static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z)};
}

void Corner(float out[3], const Vector& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// A quad from a to a + along, widened by side on both sides (half each way).
void QueueStrip(RenderView* view, const Vector& a, const Vector& along, const Vector& side, int sprite) {
    float corners[4][3];
    Corner(corners[0], Plus(a, side, -0.5f));
    Corner(corners[1], Plus(a, side, 0.5f));
    Corner(corners[2], Plus(Plus(a, along, 1.0f), side, 0.5f));
    Corner(corners[3], Plus(Plus(a, along, 1.0f), side, -0.5f));
    Seam_Render().queueQuad(view, corners, sprite, kQuadFlags);
}

// One step of a falling, bouncing sprite against the terrain: the normal part of the velocity
// is reflected and everything halved at a hit, and the rest of the step is made with the new
// velocity. Calls moved(seconds) for the time moved before and after a bounce.
template <class Moved>
void FallAndBounce(Vector& position, Vector& velocity, float dt, Moved&& moved) {
    velocity.y -= kGravity * dt;
    const Vector step{velocity.x * dt, velocity.y * dt, velocity.z * dt};
    float t = 1.0f;
    Vector n{};
    if (Terrain_RayCast(position.x, position.y, position.z, step.x, step.y, step.z, &t, &n)) {
        position = Plus(position, step, t);
        moved(t * dt);
        const float vn = Vec3_Dot(velocity, n);
        velocity = Vector{0.5f * velocity.x - vn * n.x, 0.5f * velocity.y - vn * n.y, 0.5f * velocity.z - vn * n.z};
        const float rest = (1.0f - t) * dt;
        position = Plus(position, velocity, rest);
        moved(rest);
    } else {
        position = Plus(position, step, 1.0f);
        moved(dt);
    }
}

}  // namespace

// ---- construction blob ----------------------------------------------------------------------

void CnstBlobEffect::MissionSetup() {
    OdfFile odf("cnstblob.odf");
    firstSprite = SpriteOf(odf, kBlobSprite, "bpuff.0");
    odf.GetInt(kBlobRowStep, &rowStep, 14);
    odf.GetInt(kBlobFrames, &frameCount, 3);
    counter = 0;
    count = 0;
}

void CnstBlobEffect::AddPuff(const float place[4], float value) {
    if (!Effect_AddAllowed() || count >= kBlobMax) return;
    ConstructionBlob& b = blobs[count++];
    for (int i = 0; i < 4; ++i) b.place[i] = place[i];
    b.value = value;
}

void CnstBlobEffect::Render(RenderView* view) {
    counter = StepCounter(counter, frameCount);
    const RenderSeam& render = Seam_Render();
    for (int i = 0; i < count; ++i) {
        const ConstructionBlob& b = blobs[i];
        // The row rounds down, so a value just below a whole number stays in the row below.
        const float row = std::floor(b.value);
        const int sprite = firstSprite + counter + rowStep * static_cast<int>(row);
        render.queueBillboard(view, b.place, b.place[3], sprite);
    }
    count = 0;
}

// ---- engine flame ---------------------------------------------------------------------------

void EngineFlameEffect::MissionSetup() {
    OdfFile odf("engflame.odf");
    firstSprite = SpriteOf(odf, kFlameSprite, "exhaust_b.0");
    odf.GetInt(kFlameFrames, &frameCount, 4);
    odf.GetFloat(kFlameLengthScale, &lengthScale, 3.0f);
    counter = 0;
    count = 0;
    // The buffer is emptied at the frame start, so the flames a frame adds are drawn in its own
    // render and never again.
    flags = static_cast<uint8_t>((flags | kPhaseFlagFrame | kPhaseFlagRender) & ~(kPhaseFlagSimulate | kPhaseFlagOverlay));
}

void EngineFlameEffect::Add(const Matrix& placement, float length) {
    if (!Effect_AddAllowed() || count >= kEngineFlameMax) return;
    flames[count++] = EngineFlame{placement, length};
}

void EngineFlameEffect::Frame() {
    counter = StepCounter(counter, frameCount);
    count = 0;
}

void EngineFlameEffect::Render(RenderView* view) {
    const int sprite = firstSprite + counter;
    for (int i = 0; i < count; ++i) {
        const EngineFlame& f = flames[i];
        const Matrix& m = f.placement;
        const Vector from = PositionOf(m);
        const Vector along = Plus(Vector{}, m.front, f.length * lengthScale * 2.0f);
        QueueStrip(view, from, along, Plus(Vector{}, m.right, f.length), sprite);
        QueueStrip(view, from, along, Plus(Vector{}, m.up, f.length), sprite);
    }
}

// ---- engine splash --------------------------------------------------------------------------

void EngineSplashEffect::MissionSetup() {
    OdfFile odf("engsplsh.odf");
    firstSprite = SpriteOf(odf, kSplashSprite, "splash.0");
    odf.GetInt(kSplashRowStep, &rowStep, 14);
    odf.GetInt(kSplashFrames, &frameCount, 3);
    odf.GetFloat(kSplashSize, &size, 1.5f);
    counter = 0;
    count = 0;
}

void EngineSplashEffect::Add(const Matrix& placement, float value) {
    if (!Effect_AddAllowed() || count >= kEngineSplashMax) return;
    splashes[count++] = EngineSplash{placement, value};
}

void EngineSplashEffect::Render(RenderView* view) {
    counter = StepCounter(counter, frameCount);
    for (int i = 0; i < count; ++i) {
        const EngineSplash& s = splashes[i];
        const Matrix& m = s.placement;
        const int sprite = firstSprite + counter + rowStep * static_cast<int>(std::lround(s.value));
        // A square of side `size` centred on the splash, in the plane of its right and up.
        const Vector start = Plus(PositionOf(m), m.up, -0.5f * size);
        QueueStrip(view, start, Plus(Vector{}, m.up, size), Plus(Vector{}, m.right, size), sprite);
    }
    count = 0;
}

// ---- fireball -------------------------------------------------------------------------------

void FireballEffect::MissionSetup() {
    OdfFile odf("fireball.odf");
    FireballSettings& s = settings;
    s = FireballSettings{};
    s.firstSprite = SpriteOf(odf, kFireSprite, "particle.0");
    odf.GetInt(kFireFrames, &s.frameCount, 16);
    odf.GetFloat(kFireRate, &s.frameRate, 5.0f);
    odf.GetFloat(kFireSize, &s.size, 1.0f);
    float growthFactor = 1.0f;
    odf.GetFloat(kFireGrowth, &growthFactor, 1.0f);
    s.growth = s.frameCount > 0
                   ? (growthFactor - 1.0f) * s.size * s.frameRate / static_cast<float>(s.frameCount)
                   : 0.0f;
    odf.GetString(kTrailSprite, s.trailSprite, sizeof s.trailSprite, "particle.0");
    odf.GetInt(kTrailFrames, &s.trailFrames, 16);
    odf.GetFloat(kTrailLifetime, &s.trailLifetime, 0.5f);
    odf.GetFloat(kTrailInterval, &s.trailInterval, 0.05f);
    odf.GetFloat(kTrailSize, &s.trailSize, 0.4f);
    odf.GetFloat(kTrailGrowth, &s.trailGrowth, 1.0f);
    odf.GetFloat(kTrailSpread, &s.trailSpread, 3.0f);
    odf.GetFloat(kTrailInherit, &s.trailInherit, 0.8f);
    trailKind = nullptr;
    head = tail = 0;
}

void FireballEffect::PostLoad() {
    const FireballSettings& s = settings;
    const float rate = s.trailLifetime > 0.0f ? static_cast<float>(s.trailFrames) / s.trailLifetime : 0.0f;
    // A full kind table leaves the fireballs without a trail.
    trailKind = EffectList::Add(Seam_Render().spriteFind(s.trailSprite), s.trailFrames, rate, s.trailSize,
                                s.trailGrowth);
}

void FireballEffect::Add(const Vector& position, const Vector& velocity) {
    ring[tail] = Fireball{position, velocity, static_cast<float>(settings.firstSprite), 0.0f, settings.size};
    tail = (tail + 1) % kFireballRingSize;
    // Full: the oldest fireball makes room.
    if (tail == head) head = (head + 1) % kFireballRingSize;
}

void FireballEffect::Move(Fireball& f, float dt) {
    const FireballSettings& s = settings;
    FallAndBounce(f.position, f.velocity, dt, [&](float moved) {
        if (!trailKind) return;
        // The clock runs down to the next puff; each puff leaves where the fireball was when it
        // fell due, aged by the time since.
        f.smokeTimer += moved;
        float clock = s.trailInterval - f.smokeTimer;
        FireDue(clock, s.trailInterval, kMaxTrailPuffsPerUpdate, [&] {
            const float age = -clock;
            const Vector at = Plus(f.position, f.velocity, -age);
            const float r1 = RandomTable_Next(), r2 = RandomTable_Next(), r3 = RandomTable_Next();
            const Vector v{s.trailSpread * r1 + s.trailInherit * f.velocity.x,
                           s.trailSpread * r2 + s.trailInherit * f.velocity.y,
                           s.trailSpread * r3 + s.trailInherit * f.velocity.z};
            ParticleBuffer_Add(*trailKind, at, v, age);
        });
        f.smokeTimer = s.trailInterval - clock;
    });
}

void FireballEffect::Simulate(float dt) {
    const float end = static_cast<float>(settings.firstSprite + settings.frameCount);
    for (int i = head; i != tail; i = (i + 1) % kFireballRingSize) {
        Fireball& f = ring[i];
        if (f.frame >= end) continue;
        f.size += dt * settings.growth;
        f.frame += dt * settings.frameRate;
        if (f.frame >= end) continue;
        Move(f, dt);
    }
    // Fireballs burn out in the order they were added: the head moves past the spent ones.
    while (head != tail && ring[head].frame >= end) head = (head + 1) % kFireballRingSize;
}

void FireballEffect::Render(RenderView* view) {
    const RenderSeam& render = Seam_Render();
    const float end = static_cast<float>(settings.firstSprite + settings.frameCount);
    for (int i = head; i != tail; i = (i + 1) % kFireballRingSize) {
        const Fireball& f = ring[i];
        if (f.frame >= end) continue;
        const float centre[3] = {f.position.x, f.position.y, f.position.z};
        render.queueBillboard(view, centre, f.size, static_cast<int>(std::lround(f.frame)));
    }
}

// ---- particles ------------------------------------------------------------------------------

void ParticleEffect::MissionSetup() {
    OdfFile odf("particle.odf");
    char name[16];
    odf.GetString(kOdfSprite, name, sizeof name, "particle.0");
    firstSprite = Seam_Render().spriteFind(name);
    odf.GetInt(kOdfFrames, &frameCount, 16);
    odf.GetFloat(kOdfSize, &size, 0.5f);
    odf.GetFloat(kOdfDelay, &startDelay, 0.5f);
    odf.GetFloat(kOdfSecondsPerFrame, &secondsPerFrame, 0.1f);
    head = tail = 0;
}

void ParticleEffect::Add(const Vector& position, const Vector& velocity) {
    ring[tail] = SparkParticle{position, velocity, -startDelay, 0};
    tail = (tail + 1) % kParticleRingSize;
    // Full: the oldest particle makes room.
    if (tail == head) head = (head + 1) % kParticleRingSize;
}

void ParticleEffect::Simulate(float dt) {
    for (int i = head; i != tail; i = (i + 1) % kParticleRingSize) {
        SparkParticle& p = ring[i];
        if (p.frameIndex >= frameCount) continue;
        p.frameTimer += dt;
        if (p.frameTimer >= secondsPerFrame - kTimerTolerance) {
            ++p.frameIndex;
            p.frameTimer -= secondsPerFrame;
        }
        if (p.frameIndex >= frameCount) continue;
        FallAndBounce(p.position, p.velocity, dt, [](float) {});
    }
    // Particles die in the order they were added: the head moves past the finished ones.
    while (head != tail && ring[head].frameIndex >= frameCount) head = (head + 1) % kParticleRingSize;
}

void ParticleEffect::Render(RenderView* view) {
    const RenderSeam& render = Seam_Render();
    for (int i = head; i != tail; i = (i + 1) % kParticleRingSize) {
        const SparkParticle& p = ring[i];
        if (p.frameIndex >= frameCount) continue;
        const float centre[3] = {p.position.x, p.position.y, p.position.z};
        render.queueBillboard(view, centre, size, firstSprite + p.frameIndex);
    }
}

// ---- shock waves ----------------------------------------------------------------------------

void ShockwaveEffect::MissionSetup() {
    firstSprite = Seam_Render().spriteFind("shockwave.0");
    lastFrame = static_cast<float>(firstSprite + kShockwaveFrames);
    count = 0;
}

bool ShockwaveEffect::Add(const Vector& position, float a, float b, float c) {
    // A duration of 0, below 0 or not a number would divide into infinite growth.
    if (!(c > 0.0f) || !std::isfinite(c) || count >= kShockwaveMax) return false;
    Shockwave& w = waves[count++];
    w.position = position;
    w.outer = a;
    w.inner = a * 0.5f;
    w.outerGrowth = (b - a) / c;
    w.innerGrowth = (b - a * 0.5f) / c;
    w.frameRate = static_cast<float>(kShockwaveFrames) / c;
    w.frame = static_cast<float>(firstSprite);
    return true;
}

void ShockwaveEffect::Simulate(float dt) {
    for (int i = 0; i < count;) {
        Shockwave& w = waves[i];
        w.frame += dt * w.frameRate;
        if (w.frame >= lastFrame) {
            w = waves[--count];
            continue;
        }
        w.outer += dt * w.outerGrowth;
        w.inner += dt * w.innerGrowth;
        ++i;
    }
}

void ShockwaveEffect::Render(RenderView* view) {
    const RenderSeam& render = Seam_Render();
    for (int i = 0; i < count; ++i) {
        const Shockwave& w = waves[i];
        const int sprite = static_cast<int>(std::floor(w.frame));
        for (int s = 0; s < kShockwaveSegments; ++s) {
            const float a0 = kSegmentAngle * static_cast<float>(s), a1 = a0 + kSegmentAngle;
            const float c0 = std::cos(a0), s0 = std::sin(a0), c1 = std::cos(a1), s1 = std::sin(a1);
            const Vector& p = w.position;
            const float corners[4][3] = {{p.x + w.inner * c0, p.y, p.z + w.inner * s0},
                                         {p.x + w.outer * c0, p.y, p.z + w.outer * s0},
                                         {p.x + w.outer * c1, p.y, p.z + w.outer * s1},
                                         {p.x + w.inner * c1, p.y, p.z + w.inner * s1}};
            render.queueQuad(view, corners, sprite, kQuadFlags);
        }
    }
}

// ---- members --------------------------------------------------------------------------------

CnstBlobEffect& CnstBlob_Effect() {
    static CnstBlobEffect effect;
    return effect;
}

EngineFlameEffect& EngineFlame_Effect() {
    static EngineFlameEffect effect;
    return effect;
}

EngineSplashEffect& EngineSplash_Effect() {
    static EngineSplashEffect effect;
    return effect;
}

FireballEffect& Fireball_Effect() {
    static FireballEffect effect;
    return effect;
}

ParticleEffect& Particle_Effect() {
    static ParticleEffect effect;
    return effect;
}

ShockwaveEffect& Shockwave_Effect() {
    static ShockwaveEffect effect;
    return effect;
}

PhaseHook& CnstBlobEffect_Member() { return CnstBlob_Effect(); }
PhaseHook& EngineFlameEffect_Member() { return EngineFlame_Effect(); }
PhaseHook& EngineSplashEffect_Member() { return EngineSplash_Effect(); }
PhaseHook& FireballEffect_Member() { return Fireball_Effect(); }
PhaseHook& ParticleEffect_Member() { return Particle_Effect(); }
PhaseHook& ShockwaveEffect_Member() { return Shockwave_Effect(); }

void SpriteEffects_ResetForTest() {
    CnstBlob_Effect().Clear();
    EngineFlame_Effect().Clear();
    EngineSplash_Effect().Clear();
    Fireball_Effect().Clear();
    Fireball_Effect().ForgetTrail();
    Particle_Effect().Clear();
    Shockwave_Effect().Clear();
}
