// Sprite effects: puffs around buildings under construction, exhaust flames and the splashes
// they throw on the ground (per-frame buffers the callers refill while the effect should show),
// burning debris that falls, bounces and smokes (a ring of 32), sparks that fall and bounce (a
// ring of 256; both rings overwrite their oldest) and expanding shock-wave rings (a list of 32).
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "core/phasehook.h"
#include "fun3d/particlebuffer.h"

struct RenderView;

constexpr int kBlobMax = 16;
constexpr int kEngineFlameMax = 64;
constexpr int kEngineSplashMax = 64;
constexpr int kFireballRingSize = 32;

struct ConstructionBlob {
    float place[4];  // position and radius
    float value;     // picks the sprite row
};

// Puffs around a building under construction: every add is drawn once, in the next render.
class CnstBlobEffect : public PhaseHook {
public:
    // Reads "cnstblob.odf"; the animation counter and the buffer start empty.
    void MissionSetup() override;
    // Steps the animation, queues every puff and empties the buffer.
    void Render(RenderView* view) override;

    // Guarded by the effects' add guard; a full buffer drops the puff.
    void AddPuff(const float place[4], float value);
    int Count() const { return count; }
    void Clear() { count = counter = 0; }

    int firstSprite = 0;
    int32_t rowStep = 14;
    int32_t frameCount = 3;
    int counter = 0;

private:
    ConstructionBlob blobs[kBlobMax] = {};
    int count = 0;
};

struct EngineFlame {
    Matrix placement;
    float length;
};

// Exhaust flames: the buffer holds the flames added since the last frame start.
class EngineFlameEffect : public PhaseHook {
public:
    // Reads "engflame.odf"; counter 0, buffer empty; takes part in the frame and render
    // broadcasts (and in neither the update nor the overlay).
    void MissionSetup() override;
    // Steps the animation and empties the buffer.
    void Frame() override;
    // Two crossed quads along each flame's front direction.
    void Render(RenderView* view) override;

    // Guarded by the effects' add guard; a full buffer drops the flame.
    void Add(const Matrix& placement, float length);
    int Count() const { return count; }
    void Clear() { count = counter = 0; }

    int firstSprite = 0;
    int32_t frameCount = 4;
    float lengthScale = 3.0f;
    int counter = 0;

private:
    EngineFlame flames[kEngineFlameMax] = {};
    int count = 0;
};

struct EngineSplash {
    Matrix placement;
    float value;
};

// Exhaust splashes on the ground: every add is drawn once, in the next render.
class EngineSplashEffect : public PhaseHook {
public:
    // Reads "engsplsh.odf"; counter 0, buffer empty.
    void MissionSetup() override;
    // Steps the animation, queues one quad in the plane of each splash's right and up
    // directions, and empties the buffer.
    void Render(RenderView* view) override;

    // Guarded by the effects' add guard; a full buffer drops the splash.
    void Add(const Matrix& placement, float value);
    int Count() const { return count; }
    void Clear() { count = counter = 0; }

    int firstSprite = 0;
    int32_t rowStep = 14;
    int32_t frameCount = 3;
    float size = 1.5f;
    int counter = 0;

private:
    EngineSplash splashes[kEngineSplashMax] = {};
    int count = 0;
};

struct Fireball {
    Vector position;
    Vector velocity;
    float frame;
    float smokeTimer;
    float size;
};

struct FireballSettings {
    int firstSprite;
    int32_t frameCount;
    float frameRate;
    float size;
    float growth;  // per second
    char trailSprite[16];
    int32_t trailFrames;
    float trailLifetime;
    float trailInterval;
    float trailSize;
    float trailGrowth;  // the growth factor over a puff's life
    float trailSpread;
    float trailInherit;
};

// Burning debris: falls, bounces off the terrain and trails smoke puffs into the particle buffer.
class FireballEffect : public PhaseHook {
public:
    // Reads "fireball.odf"; the ring empty.
    void MissionSetup() override;
    // Registers the trail as a smoke kind.
    void PostLoad() override;
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;

    // A new fireball at the ring's tail; a full ring loses its oldest.
    void Add(const Vector& position, const Vector& velocity);
    int Count() const { return (tail - head + kFireballRingSize) % kFireballRingSize; }
    void Clear() { head = tail = 0; }
    const Fireball& At(int i) const { return ring[(head + i) % kFireballRingSize]; }
    const FireballSettings& Settings() const { return settings; }
    ParticleKind* TrailKind() const { return trailKind; }
    // Forgets the trail kind (tests' state reset: the kind table is emptied with it).
    void ForgetTrail() { trailKind = nullptr; }

private:
    void Move(Fireball& f, float dt);

    FireballSettings settings{};
    ParticleKind* trailKind = nullptr;
    Fireball ring[kFireballRingSize] = {};
    int head = 0;
    int tail = 0;
};

constexpr int kParticleRingSize = 256;
constexpr int kShockwaveMax = 32;
constexpr int kShockwaveFrames = 16;
constexpr int kShockwaveSegments = 24;

struct SparkParticle {
    Vector position;
    Vector velocity;
    float frameTimer;  // below 0 while the particle waits for its first frame change
    int32_t frameIndex;
};

class ParticleEffect : public PhaseHook {
public:
    // Reads "particle.odf" and empties the ring.
    void MissionSetup() override;
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;

    // A new particle at the ring's tail; a full ring loses its oldest particle.
    void Add(const Vector& position, const Vector& velocity);
    int Count() const { return (tail - head + kParticleRingSize) % kParticleRingSize; }
    void Clear() { head = tail = 0; }
    // The i-th live particle, the oldest first.
    const SparkParticle& At(int i) const { return ring[(head + i) % kParticleRingSize]; }

    int firstSprite = 0;
    int32_t frameCount = 16;
    float size = 0.5f;
    float startDelay = 0.5f;
    float secondsPerFrame = 0.1f;

private:
    SparkParticle ring[kParticleRingSize] = {};
    int head = 0;
    int tail = 0;
};

struct Shockwave {
    Vector position;
    float outer;
    float inner;
    float outerGrowth;
    float innerGrowth;
    float frameRate;
    float frame;
};

class ShockwaveEffect : public PhaseHook {
public:
    // The sprite "shockwave.0" and its 16 frames; the list emptied.
    void MissionSetup() override;
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;

    // A ring growing from radius a (inner a / 2) to b over c seconds; refused (false) when c is
    // not a finite number above 0 or the list is full.
    bool Add(const Vector& position, float a, float b, float c);
    int Count() const { return count; }
    void Clear() { count = 0; }
    const Shockwave& At(int i) const { return waves[i]; }

private:
    Shockwave waves[kShockwaveMax] = {};
    int count = 0;
    int firstSprite = 0;
    float lastFrame = static_cast<float>(kShockwaveFrames);
};

CnstBlobEffect& CnstBlob_Effect();
EngineFlameEffect& EngineFlame_Effect();
EngineSplashEffect& EngineSplash_Effect();
FireballEffect& Fireball_Effect();
ParticleEffect& Particle_Effect();
ShockwaveEffect& Shockwave_Effect();
PhaseHook& CnstBlobEffect_Member();
PhaseHook& EngineFlameEffect_Member();
PhaseHook& EngineSplashEffect_Member();
PhaseHook& FireballEffect_Member();
PhaseHook& ParticleEffect_Member();
PhaseHook& ShockwaveEffect_Member();
// Empties every sprite effect's buffer and resets its counters (tests' state reset).
void SpriteEffects_ResetForTest();
