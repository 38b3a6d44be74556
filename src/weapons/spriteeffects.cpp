#include "weapons/spriteeffects.h"

#include <cmath>

#include "Terrain/terrheight.h"
#include "core/odf.h"
#include "core/seams/render.h"

namespace {

// "particle.odf".
constexpr uint32_t kOdfSprite = 0x0f50ddfe;
constexpr uint32_t kOdfFrames = 0x9ce7acd5;
constexpr uint32_t kOdfSize = 0x531e553d;
constexpr uint32_t kOdfDelay = 0xf7e89ce2;
constexpr uint32_t kOdfSecondsPerFrame = 0xc7dc5ce9;

constexpr float kGravity = 9.8f;
// A frame timer this close below the frame time has passed it (rounding of summed steps).
constexpr float kTimerTolerance = 1e-6f;
constexpr uint32_t kQuadFlags = 4;
constexpr float kSegmentAngle = 0.2617994f;  // 15 degrees

}  // namespace

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
        p.velocity.y -= kGravity * dt;
        const Vector step{p.velocity.x * dt, p.velocity.y * dt, p.velocity.z * dt};
        float t = 1.0f;
        Vector n{};
        if (Terrain_RayCast(p.position.x, p.position.y, p.position.z, step.x, step.y, step.z, &t, &n)) {
            p.position.x += step.x * t;
            p.position.y += step.y * t;
            p.position.z += step.z * t;
            const float vn = p.velocity.x * n.x + p.velocity.y * n.y + p.velocity.z * n.z;
            p.velocity = Vector{0.5f * p.velocity.x - vn * n.x, 0.5f * p.velocity.y - vn * n.y,
                                0.5f * p.velocity.z - vn * n.z};
            const float rest = (1.0f - t) * dt;
            p.position.x += p.velocity.x * rest;
            p.position.y += p.velocity.y * rest;
            p.position.z += p.velocity.z * rest;
        } else {
            p.position.x += step.x;
            p.position.y += step.y;
            p.position.z += step.z;
        }
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

ParticleEffect& Particle_Effect() {
    static ParticleEffect effect;
    return effect;
}

ShockwaveEffect& Shockwave_Effect() {
    static ShockwaveEffect effect;
    return effect;
}

PhaseHook& ParticleEffect_Member() { return Particle_Effect(); }
PhaseHook& ShockwaveEffect_Member() { return Shockwave_Effect(); }
