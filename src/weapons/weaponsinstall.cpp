#include "weapons/weaponsinstall.h"

#include "Objkr/classfnc.h"
#include "core/seams/weapons.h"
#include "fun3d/craftservices.h"
#include "fun3d/powerup.h"
#include "weapons/chunkeffect.h"
#include "weapons/damage.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/mine.h"
#include "weapons/sceneeffects.h"
#include "weapons/ordnance.h"
#include "weapons/spriteeffects.h"
#include "weapons/weapon.h"

void Weapons_InstallSeam() {
    WeaponsSeam& s = Seam_Weapons();
    s.weaponUpdateAll = Weapon_UpdateMountAll;
    s.weaponUpdateAllSecond = Weapon_UpdateAll;
    s.weaponFreeAll = Weapon_DeleteAll;
    s.explosionClassFreeAll = ExplosionClass_FreeAll;
    s.ordnanceUpdateAll = Ordnance_UpdateAll;
    s.ordnanceNetPass = Ordnance_SendNew;
    s.ordnanceLastPass = Ordnance_StepAll;
    s.ordnanceRenderAll = Ordnance_RenderAll;
    s.ordnanceFreeAll = Ordnance_DeleteAll;
    s.ordnanceClassFreeAll = OrdnanceClass_FreeAll;
    s.ordnanceSetStateAll = Ordnance_SetStateAll;
    s.ordnanceReceiveNew = Ordnance_ReceiveNew;
    s.ordnanceReceiveExpire = Ordnance_ReceiveExpire;
    s.ordnanceReceiveKill = Ordnance_ReceiveKill;
    s.ordnanceForEachLive = [](void (*fn)(void*, Entity*, EntityDynamics*), void* context) {
        for (Ordnance* shot : Ordnance_LiveList())
            if (!shot->IsDead() && shot->entity) fn(context, shot->entity, &shot->motion);
    };
    s.weaponClassFreeAll = WeaponClass_FreeAll;
    s.weaponClassBuild = [](WeaponClass* cls, Entity* owner, Entity* hardpoint) -> Weapon* {
        return cls ? cls->Build(owner, hardpoint) : nullptr;
    };
    s.weaponDestroy = Weapon::DeleteEntity;
    s.weaponClassName = [](const WeaponClass* cls) -> const char* { return cls ? cls->nameText : ""; };
    s.weaponClassFind = [](const char* name) { return WeaponClass::Find(name); };
    s.weaponClassSignature = [](const WeaponClass* cls) -> uint32_t { return cls ? cls->signature : 0; };
    s.weaponClassOf = [](const Weapon* w) -> const WeaponClass* { return w ? w->weaponClass : nullptr; };
    s.weaponChanged = [](const Weapon* w) { return w && w->changed != 0; };
    s.effectsOn = Effect_AddAllowed;
    // Buffer 0 holds the exhaust flames, buffer 1 the splashes they throw on the ground.
    s.engineFlameAdd = [](int buffer, const Matrix& placement, float size) {
        if (buffer == 0) EngineFlame_Effect().Add(placement, size);
        else if (buffer == 1) EngineSplash_Effect().Add(placement, size);
    };

    // The object kinds that weapons leave in the world.
    GameObjectClass_SetKindMaker(Mine_MakeObjectPrototype);

    ClassfncOwners& owners = Classfnc_Owners();
    owners.weaponCreate = Weapon_CreateClassData;
    // A weapon made for an entity that enters the world is kept as its class data, so that it
    // dies with the entity instead of outliving it on the live list.
    owners.weaponActivate = [](Entity* e) {
        Weapon* weapon = Weapon_BuildForEntity(e);
        if (weapon && e && !e->classData) e->classData = weapon;
    };
    owners.weaponFree = Weapon_DeleteObject;
    owners.ordnanceCreate = Ordnance_CreateClassData;
    owners.ordnanceMotion = Ordnance_GetMotion;
    owners.ordnanceDynamics = Ordnance_GetDynamics;
    owners.ordnanceFree = Ordnance_DeleteObject;
    owners.explosionCreate = Explosion_CreateClassData;
    owners.explosionFree = Explosion_DeleteObject;

    CraftServices& craft = Craft_Services();
    // A weapon pick-up asks the weapon class for its mount kind, priority and sprite.
    PowerUpServices& powerUps = PowerUp_Services();
    powerUps.weaponKind = [](const WeaponClass* cls) { return cls ? cls->weaponKind : int32_t{kWeaponKindOther}; };
    powerUps.weaponPriority = [](const WeaponClass* cls) { return cls ? cls->intParam : 0; };
    powerUps.weaponSprite = [](const WeaponClass* cls) { return cls ? cls->sprite1 : 0; };
    craft.effectsOn = Effect_AddAllowed;
    // The per-frame effects end as the craft stops adding them; what stays tied to a craft is
    // the lightning aimed at it.
    craft.releaseEffects = [](Entity* entity) {
        if (entity) Lightning_Effect().RemoveBolts(entity);
    };
    // A craft's debris trails smoke.
    craft.chunkSpawn = [](const Vector& position, const Vector& velocity) {
        Chunk_Effect().Spawn(position, velocity, true);
    };
    // A dead craft's parts fly off as chunks that smoke while effects are on.
    craft.chunkSpawnFromEntityList = [](Entity* entity, const Vector& velocity) {
        Chunk_Effect().SpawnFromEntityList(entity, velocity, Effect_AddAllowed());
    };
    // The death smoke and fire particles share the particle ring.
    craft.particleEffectAdd = [](int, const Vector& position, const Vector& velocity) {
        Particle_Effect().Add(position, velocity);
    };
    craft.damageDeliver = [](Entity* target, Entity* hitter, const Vector& normal, const Vector& velocity,
                             const Vector*) { Damage_Deliver(target, hitter, &normal, &velocity, nullptr); };
    // No class names explosions of its own: a craft dies in the standard vehicle explosions (the
    // big one for the wreck and the first frame of dying, the secondary one for the small blasts
    // and the pilot), and none has a ground explosion.
    craft.explosionBuild = [](const GameObjectClass*, int kind, const Matrix& at) {
        ExplosionManager& manager = Explosion_Manager();
        ExplosionClass* cls = nullptr;
        switch (kind) {
            case kCraftExplosionMain: cls = manager.stdExplosionCar; break;
            case kCraftExplosionDeath: cls = manager.stdExplosionCarB; break;
            case kCraftExplosionDeathSmall:
            case kCraftExplosionPilotDeath: cls = manager.stdExplosionSec; break;
            // Buildings burst in the standard explosions by their size.
            case kBuildingExplosionLarge: cls = manager.stdExplosionBld; break;
            case kBuildingExplosionGround: cls = manager.stdExplosionGndShk; break;
            case kBuildingExplosionMedium: cls = manager.stdExplosionCar; break;
            case kBuildingExplosionSmall: cls = manager.stdExplosionSec; break;
            default: break;
        }
        return cls && cls->Build(at, nullptr) != nullptr;
    };
    craft.weaponLocalMatrix = [](Weapon* weapon) -> Matrix* { return weapon && weapon->entity ? &weapon->entity->local : nullptr; };
    craft.weaponStop = [](Weapon* weapon) {
        if (weapon) weapon->ReleaseTrigger();
    };
}
