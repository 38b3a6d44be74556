// Effect modules: members of the subsystem registry that keep a fixed buffer of short-lived
// entries, move them in the update phase and queue them as sprites when the world is drawn.
// They reload their settings at every mission start.
//
// The smoke module owns the global particle buffer (fun3d/particlebuffer: craft, producers,
// ordnance and debris emit puffs into it with `ParticleBuffer_Add`) and the table of smoke kinds
// (`EffectList::Add`). The dust module owns the hover dust buffer (`HoverDust_Add`).
#pragma once
#include <cstdint>

#include "core/phasehook.h"
#include "fun3d/particlebuffer.h"

struct RenderView;

constexpr int kSmokeKindSlots = 1024;
constexpr int kEffectBuckets = 64;
constexpr int kEffectBucketSize = 128;
// Depth-sorted drawing stops after the bucket in which this many sprites were queued.
constexpr int kEffectSpriteBudget = 100;

// Whether guarded effect buffers take new entries: the effects switch on, the game neither
// loading a path (state 9) nor quitting (10), and an effect detail of at least 1.
bool Effect_AddAllowed();

struct EffectList {
    // Puts a smoke kind into the first free slot of the smoke module's table (a slot is free
    // while its first sprite is 0), moving the used end up when none below it is free. Growth a
    // second makes the size reach size x growthFactor at the end of life. None when all 1024
    // slots are in use: the caller then emits nothing.
    static ParticleKind* Add(int firstSprite, int frameCount, float frameRate, float size, float growthFactor);
    // Frees every slot (the smoke module's mission start).
    static void Clear();
    static int UsedEnd();
    // Counts the times the table was emptied: a kind registered under an older count is gone.
    static uint32_t Generation();
};

// The six kinds the smoke module registers at mission start.
enum SmokeKindIndex : int {
    kSmokeLight = 0,
    kSmokeMedium,
    kSmokeDark,
    kSmokeBlack,
    kSmokeGroupTwo,
    kSmokeGroupThree,
    kSmokeKindCount
};

class SmokeEffect : public PhaseHook {
public:
    // Empties the kind table and the puffs; reads "smoke.odf" and registers the six kinds; the
    // craft damage smoke takes light, medium, dark and black by damage level.
    void MissionSetup() override;
    // Ages, grows and moves every puff; a spent puff is replaced by the last one, which is then
    // processed in its place.
    void Simulate(float frameTime) override;
    // Depth-bucketed sprites, nearest first, about 100 a frame.
    void Render(RenderView* view) override;

    ParticleKind* kinds[kSmokeKindCount] = {};
};

class DustEffect : public PhaseHook {
public:
    // Empties the dust buffer and sets its animation from "dust.odf".
    void MissionSetup() override;
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;
};

SmokeEffect& Smoke_Effect();
DustEffect& Dust_Effect();
PhaseHook& SmokeEffect_Member();
PhaseHook& DustEffect_Member();
// The smoke module forgets its kinds and empties the table (tests' state reset).
void Effects_ResetForTest();
