// What the core calls of weapons, ordnance and explosions.
#pragma once
#include <cstdint>

#include "core/mathlib.h"


struct RenderView;
struct Entity;
struct EntityDynamics;
class Weapon;
class WeaponClass;

struct WeaponsSeam {
    void (*weaponUpdateAll)(float frameTime);
    void (*weaponUpdateAllSecond)(float frameTime);  // the weapons' second pass, after the ordnance
    void (*ordnanceUpdateAll)(float frameTime);
    void (*ordnanceNetPass)();
    void (*ordnanceLastPass)(float frameTime);
    void (*ordnanceRenderAll)(RenderView* view);
    void (*ordnanceFreeAll)();
    void (*weaponFreeAll)();
    void (*explosionClassFreeAll)();
    void (*ordnanceClassFreeAll)();
    void (*weaponClassFreeAll)();

    // Game objects.
    // A weapon of the class mounted on the owner's hardpoint part; null when it cannot be built.
    Weapon* (*weaponClassBuild)(WeaponClass* weaponClass, Entity* owner, Entity* hardpoint);
    void (*weaponDestroy)(Weapon* weapon);
    const char* (*weaponClassName)(const WeaponClass* weaponClass);  // the 8-character definition name
    // The weapon class of the 8-character definition name (loaded on first look-up), or null.
    WeaponClass* (*weaponClassFind)(const char name[8]);
    uint32_t (*weaponClassSignature)(const WeaponClass* weaponClass);  // such as 'SNIP'
    const WeaponClass* (*weaponClassOf)(const Weapon* weapon);
    // Whether the weapon changed (fired) since its state was last sent.
    bool (*weaponChanged)(const Weapon* weapon);
    // The effects switch of the game settings.
    bool (*effectsOn)();
    // Appends one exhaust flame (placement and size) to engine-flame buffer 0, or to buffer 1,
    // the ground glow.
    void (*engineFlameAdd)(int buffer, const Matrix& placement, float size);

    // Multiplayer.
    // After each object-update frame: mode 1 stops re-sending the shots already sent, any other
    // mode sends them again.
    void (*ordnanceSetStateAll)(int mode);
    // The ordnance messages' bodies (after their two letters) from the sending player: "RO"
    // launches, "xo" (time 0.2) and "io" (time 0) expiries, "xx" kills.
    void (*ordnanceReceiveNew)(const uint8_t* data, int size, uint16_t sender);
    void (*ordnanceReceiveExpire)(const uint8_t* data, int size, uint16_t sender, float time);
    void (*ordnanceReceiveKill)(const uint8_t* data, int size, uint16_t sender);

    // Calls fn for every live shot with its entity and its motion (velocity, speed and inverse
    // speed, which fn may change).
    void (*ordnanceForEachLive)(void (*fn)(void* context, Entity* entity, EntityDynamics* motion), void* context);
};

WeaponsSeam& Seam_Weapons();
