// Sprite effects: sparks that fall and bounce (a ring of 256, the oldest overwritten) and
// expanding shock-wave rings (a list of 32).
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "core/phasehook.h"

struct RenderView;

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

ParticleEffect& Particle_Effect();
ShockwaveEffect& Shockwave_Effect();
PhaseHook& ParticleEffect_Member();
PhaseHook& ShockwaveEffect_Member();
