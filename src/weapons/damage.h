// Damage delivery: a hit becomes one DamageInfo record and goes to the target's damage handler.
#pragma once
#include "core/mathlib.h"
#include "fun3d/damageinfo.h"

struct Entity;

// Collision damage: the hitter's record (an ordnance's or explosion's own, else one made from
// the hitting entity; impact from nobody without a hitter), impact damage computed from the
// contact when the record says impact, the view shaken by a hard hit on the user, then the
// target's damage handler. The handler's result, 0 when the target's type has none.
int Damage_Deliver(Entity* target, Entity* hitter, const Vector* normal, const Vector* relativeVelocity,
                   Entity* extra);
// The given record to the target's damage handler, unchanged.
int Damage_DeliverInfo(Entity* target, DamageInfo info, Entity* extra);
// The record of a hitting entity into a record the caller cleared; without one: impact, no player.
void DamageInfo_FromSource(Entity* source, DamageInfo* out);
// m s^2 factor 1e-4 truncated, s = n . v; the hitter's mass and 0.25 for a moving hitter (0 for
// two craft of one team), else the target's mass and 0.375.
float Damage_CollisionAmount(const Vector* relativeVelocity, const Vector* normal, Entity* target, Entity* hitter);
