// What a craft calls of the weapons and effects, the cockpit, audio, multiplayer and the kinds
// built after it. Each later subsystem fills its entries at start-up; until then each entry is a
// quiet stand-in. Tests replace entries to watch the calls.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct Entity;
class GameObject;
class GameObjectClass;
class Weapon;
class sObject;

// The explosions a craft's class names.
enum CraftExplosionKind : int {
    kCraftExplosionMain = 0,    // the wreck's explosion
    kCraftExplosionGround,      // the second one at ground level, when the class has one
    kCraftExplosionDeath,       // the first frame of dying
    kCraftExplosionDeathSmall,  // the small blasts while the wreck burns
    kCraftExplosionPilotDeath,  // the pilot killed inside
    // A building's death by its size: large with a ground blast, medium, small.
    kBuildingExplosionLarge,
    kBuildingExplosionGround,
    kBuildingExplosionMedium,
    kBuildingExplosionSmall,
};

// The particle effects of a dying craft.
enum CraftParticleEffect : int { kCraftParticleSmoke = 0, kCraftParticleFire };

struct CraftServices {
    // Starts the class's explosion of the kind at the placement; false when the class has none.
    bool (*explosionBuild)(const GameObjectClass* cls, int kind, const Matrix& at);
    // One debris chunk with a smoke trail.
    void (*chunkSpawn)(const Vector& position, const Vector& velocity);
    // One flying chunk per visible part of the entity's tree.
    void (*chunkSpawnFromEntityList)(Entity* entity, const Vector& velocity);
    // Adds one particle of the effect (a ring of the effects code's).
    void (*particleEffectAdd)(int effect, const Vector& position, const Vector& velocity);
    // Lets go of the effects attached to the entity (engine flames, trails).
    void (*releaseEffects)(Entity* entity);
    // Whether the player's effects detail is on.
    bool (*effectsOn)();
    // Hands a contact to the target's damage handler (impact damage from the velocity).
    void (*damageDeliver)(Entity* target, Entity* source, const Vector& normal, const Vector& relativeVelocity,
                          const Vector* point);
    // The weapon stops firing.
    void (*weaponStop)(Weapon* weapon);
    // The weapon's own placement on its mount (null when it has none).
    Matrix* (*weaponLocalMatrix)(Weapon* weapon);
    // The radio voice reports the unit lost.
    void (*reportUnitLost)(GameObject* object);
    // Shakes the user's view.
    void (*viewShake)(float amount);
    // Whether the craft's bounding sphere is in view; its apparent size on screen when it is.
    bool (*sphereInView)(const Vector& centre, float radius, float* apparentSize);
    // The camera pops a level and follows the craft from outside (mode 9).
    void (*cameraFollowWreck)(GameObject* object);
    // Leaves the cockpit display of a craft the user no longer controls.
    void (*cockpitReset)();
    // The network: the kill message (killer player, victim, kind, whether the user's craft),
    // the respawn timer, a new object's registration, the kill report and a remote process.
    void (*netSendKillMessage)(uint16_t killerPlayer, GameObject* victim, int kind, bool userCraft);
    void (*netStartRespawnTimer)();
    void (*netRegister)(GameObject* object);
    void (*netReportKill)(GameObject* object);
    // The player's id in a network game (64001 for none).
    uint16_t (*netLocalPlayer)();
    sObject* (*netCreateProcess)(GameObject* object);
    // The pilot from the user's craft becomes the player's own network object.
    void (*netMarkPlayerObject)(GameObject* pilot);
    // Drops scrap at the position (n pieces of the scrap classes).
    void (*scrapSpawn)(const Vector& position, int32_t amount);
    // The tug carrying the object lets go of it.
    void (*tugReleaseCargo)(GameObject* tug, GameObject* cargo);
};

CraftServices& Craft_Services();
// Every entry back to its stand-in.
void Craft_ResetServices();
