// Object classes: what every object of a kind is built from.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "fun3d/plannerslots.h"

class WeaponClass;

constexpr int kHardpointCount = 5;

// PENDING(3.104) the class registry, definition-file loading and the build operations; until
// then a class is a plain record of the values objects are built from.
class GameObjectClass : public PlannerSlotHolder {
public:
    uint32_t signature = 0;        // four characters, such as 'GOBJ'
    const char* label = nullptr;   // class label, such as "powerup"
    int32_t category = 0;
    char defName[8] = {};          // definition name, not NUL-terminated when 8 long
    int32_t health = 0;
    int32_t ammo = 0;
    int32_t spriteIndex = 0;
    int32_t weaponLinkDigits = 11111;  // five decimal digits, one per hardpoint
    float distance = -1e30f;           // copied into each object when above 0
    char hardpointNames[kHardpointCount][4] = {};
    WeaponClass* weaponClasses[kHardpointCount] = {};
    int32_t teamSlotFirst = -1;
    int32_t teamSlotLast = -1;
};
