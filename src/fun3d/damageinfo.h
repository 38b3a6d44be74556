// The record in which a hit is handed to an object's damage operation.
#pragma once
#include <cstdint>

struct Entity;

constexpr uint16_t kNoPlayer = 64001;

// Kind flags.
constexpr uint32_t kDamageFromEntity = 0x100;  // filled from a source entity
constexpr uint32_t kDamageUserSide = 0x10;     // the source carries the user flag
constexpr uint32_t kDamageExtraKind = 0x20;

struct DamageInfo {
    Entity* source;  // what struck: a projectile, a blast, or an object's entity in a collision
    Entity* owner;   // whose hit it is (the shooter, or the source itself); null for the ground
    uint32_t kind;
    uint16_t playerId;  // the owner's network player, kNoPlayer for none
    float amount;

    // Clears the record and fills its source part from a plain entity: the entity is source and
    // owner; kind = 0x100 plus the entity's flags 0x10 and 0x20; the player of the object that
    // owns the entity's tree, or kNoPlayer.
    void SetSourceEntity(Entity* entity);
};
