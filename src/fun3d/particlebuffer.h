// The global particle buffer: the smoke puffs of craft, producers, ordnance and debris. The smoke
// module of the effects code (weapons/effects) owns it: it sets the smoke kinds, moves the puffs,
// removes spent ones and draws them. Records are appended up to a fixed end; a full buffer takes
// nothing more.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

// A smoke kind: the animation runs from sprite `start` for `lifetime` frames at `rate` frames a
// second; the size starts at `size` and grows by `growth` a second. A kind whose start is 0 is a
// free slot of the smoke module's table.
struct ParticleKind {
    float start;
    float lifetime;
    float rate;
    float size;
    float growth;
};

// A puff: `start` is its current frame (a sprite, fractional) and `end` the frame past its last.
struct ParticleRecord {
    Vector position;
    Vector velocity;
    float start;
    float end;
    float rate;
    float size;
    float growth;
};

constexpr int kParticleBufferSize = 2048;

// Appends a particle of the kind aged by age seconds; nothing when the buffer is full or the
// particle would already be over (its end not later than its start). Whether it was added.
bool ParticleBuffer_Add(const ParticleKind& kind, const Vector& position, const Vector& velocity, float age);
int ParticleBuffer_Count();
const ParticleRecord* ParticleBuffer_Records();
ParticleRecord* ParticleBuffer_MutableRecords();
// Moves the last record into slot i and shrinks the buffer by one (order is not kept).
void ParticleBuffer_RemoveAt(int i);
// Empties the buffer (the effects code after drawing, mission teardown and tests).
void ParticleBuffer_Clear();

// The damage smoke of craft: the default kind and the four kinds by damage level (1 to 4, the
// heaviest last).
ParticleKind& ParticleKind_CraftSmoke(int level);
// Every craft smoke kind back to its defaults.
void ParticleKind_ResetCraftSmoke();
