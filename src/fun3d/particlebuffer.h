// The global particle buffer: smoke puffs and other short-lived particles that the effects code
// moves and draws. Records are appended up to a fixed end; a full buffer takes nothing more.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

// How a kind of particle lives: start time, lifetime, rate of ageing, base size and growth.
struct ParticleKind {
    float start;
    float lifetime;
    float rate;
    float size;
    float growth;
};

struct ParticleRecord {
    Vector position;
    Vector velocity;
    float start;
    float end;
    float rate;
    float size;
    float growth;
};

constexpr int kParticleBufferSize = 1024;

// Appends a particle of the kind aged by age seconds; nothing when the buffer is full or the
// particle would already be over (its end not later than its start). Whether it was added.
bool ParticleBuffer_Add(const ParticleKind& kind, const Vector& position, const Vector& velocity, float age);
int ParticleBuffer_Count();
const ParticleRecord* ParticleBuffer_Records();
// Empties the buffer (the effects code after drawing, mission teardown and tests).
void ParticleBuffer_Clear();

// The damage smoke of craft: the default kind and the four kinds by damage level (1 to 4, the
// heaviest last).
ParticleKind& ParticleKind_CraftSmoke(int level);
// Every craft smoke kind back to its defaults.
void ParticleKind_ResetCraftSmoke();
