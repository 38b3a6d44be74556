#include "weapons/ordnancelink.h"

// PENDING(4.102) the ordnance classes and objects: no ordnance class is found yet, and no
// entity carries an ordnance record.
OrdnanceClass* Ordnance_FindClass(const char*) { return nullptr; }
bool Ordnance_GetDamageInfo(const Entity*, DamageInfo*) { return false; }
