// Effects on the whole scene: the earthquake, which shakes every game object (less the higher it
// is above the ground) while a looped rumble plays, and lightning bolts that strike at random
// pauses, read from the map's "LightningBolt" settings.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "core/phasehook.h"

struct Entity;
struct RenderView;

class QuakeEffect : public PhaseHook {
public:
    // The rumble stops with the mission.
    void MissionCleanup() override { Stop(); }
    // Kicks every game object while the magnitude is above 0.
    void Simulate(float frameTime) override;

    // Sets the magnitude and starts the looped rumble at magnitude x 10 percent.
    void Start(float magnitude);
    // Sets the magnitude and the rumble's volume, when it plays.
    void SetMagnitude(float magnitude);
    // Magnitude 0; the rumble stops and is freed.
    void Stop();

    float magnitude = 0.0f;
    void* rumble = nullptr;
};

constexpr int kLightningBoltMax = 16;
constexpr int kBoltPointMax = 256;
constexpr int kZigzagPoints = 32;

struct BoltSegment {
    uint8_t from;
    uint8_t to;
    uint8_t width;  // in units of 0.005 m
    uint8_t colour;
};

struct LightningBolt {
    int32_t branching;
    Vector top;
    float bottom;
    float direction[2];  // horizontal unit vector across the view (x, z)
    int32_t flashes;
    int32_t flashCount;
    float flashTime;
    float delay;
    BoltSegment segments[kBoltPointMax];
    int32_t segmentCount;
    Vector points[kBoltPointMax];
    int32_t pointCount;
    Entity* target;  // a reference is held while the bolt has it
};

struct LightningSettings {
    int32_t bolts;
    uint32_t colour;
    float minDelay;  // seconds
    float maxDelay;
    float duration;
    float distance;
    char sound[16];
};

class LightningEffect : public PhaseHook {
public:
    // Clears the settings and lets go of every bolt.
    void Shutdown() override;
    // Reads the settings from the map's file, empties the slots and arms the random bolts.
    void PostLoad() override;
    // Counts the pauses down; a bolt whose pause ran out strikes, flashes, and is armed again.
    void Simulate(float frameTime) override;
    // Every bolt in a strike, segment by segment, as coloured lines (not in game state 3).
    void Render(RenderView* view) override;

    // Arms the next free slot with the target (null: a random bolt); nothing with 16 active.
    void AddBolt(Entity* target);
    // Every active bolt with that target goes; the last active bolt fills each gap.
    void RemoveBolts(Entity* target);

    int ActiveCount() const { return activeCount; }
    const LightningBolt& At(int i) const { return bolts[i]; }
    LightningBolt& MutableAt(int i) { return bolts[i]; }
    const LightningSettings& Settings() const { return settings; }
    // Builds the bolt's shape from its top and bottom (exposed for tests).
    void Shape(LightningBolt& bolt, bool branching);
    // Drops every bolt and its reference, and clears the settings.
    void Clear();
    // The same without touching an entity (tests' state reset).
    void Forget();

private:
    void Arm(LightningBolt& bolt);
    void Strike(LightningBolt& bolt, const RenderView* view);
    void Branch(LightningBolt& bolt, int from, int steps, int depth, float lean);
    void Remove(int index);

    LightningSettings settings{};
    LightningBolt bolts[kLightningBoltMax] = {};
    int activeCount = 0;
};

// A random 32-bit mask from several draws of the project's generator.
uint32_t Lightning_RandomMask();

QuakeEffect& Quake_Effect();
LightningEffect& Lightning_Effect();
PhaseHook& QuakeEffect_Member();
PhaseHook& LightningEffect_Member();
