// What weapons, explosions and damage delivery need of the ordnance before the ordnance classes
// exist.
#pragma once

struct DamageInfo;
struct Entity;
class OrdnanceClass;

// The ordnance class of the 8-character name, or null.
OrdnanceClass* Ordnance_FindClass(const char* name);
// The record an ordnance entity carries; false when the entity carries none.
bool Ordnance_GetDamageInfo(const Entity* entity, DamageInfo* out);
