// The record in which every hit is handed to what it hits: who is credited, what carried the
// damage, which damage types it holds, for which network player, and how much.
//
// The record holds pointers, so it is never copied raw into a save or a packet.
#pragma once
#include <cstdint>

struct Entity;

constexpr uint16_t kNoPlayer = 64001;

// Kind flags. Bits 0-3 name the four damage types of an ordnance or explosion class (bit k set
// when the k-th damage value is non-zero); the fourth alone marks impact damage.
constexpr uint16_t kDamageTypeMask = 0x0F;
constexpr uint16_t kDamageImpact = 0x08;
constexpr uint16_t kDamageUserSide = 0x10;   // the source's entity flags have 0x10 or 0x20
constexpr uint16_t kDamageExtraKind = 0x20;  // a remote source (ordnance, explosions); flag 0x20 (collisions)

struct DamageInfo {
    Entity* source = nullptr;   // credited: the shooter, or the hitting entity in a collision; null unknown
    Entity* carrier = nullptr;  // what carried it: the ordnance or blast entity, or the hitting entity
    uint16_t kind = 0;
    uint16_t playerId = 0;  // the network player owning the source's object, kNoPlayer for none
    float amount = 0.0f;

    // Fills the record from a plain entity (a collision): cleared, impact, the entity as source
    // and carrier, bit 4 from its flags 0x10 or 0x20, bit 5 from its flag 0x20, the player of the
    // object it belongs to or kNoPlayer.
    void SetSourceEntity(Entity* entity);
};
