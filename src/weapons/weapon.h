// Weapons: the weapon class read once from its definition file and shared by every gun of that
// name, and the live weapon mounted on one craft, bound to an entity of type code 50 that hangs
// under the craft's hardpoint. Weapon kinds derive from both.
#pragma once
#include <cstdint>
#include <list>
#include <memory>

#include "core/mathlib.h"
#include "weapons/classrecord.h"

struct Entity;
class GameObject;
class OrdnanceClass;
class Weapon;

// Weapon categories from the kind text's first four characters.
enum WeaponKind : int32_t {
    kWeaponKindOther = 70,
    kWeaponKindCannon = 71,
    kWeaponKindRocket = 72,
    kWeaponKindMortar = 73,
    kWeaponKindSpecial = 74,
};
// "CANN" 71, "ROCK" 72, "MORT" 73, "SPEC" 74 (any case, first four characters), else 70.
int32_t WeaponKind_FromText(const char* text);

class WeaponClass : public ClassRecord<WeaponClass> {
public:
    // A prototype of the label's kind: every field clear.
    WeaponClass(const char* classLabel, uint32_t classSignature);
    // A record derived from the prototype: the base keys of "<name>.odf". Kinds call it first
    // and then read their own keys.
    WeaponClass(WeaponClass* from, const ClassName& name);
    virtual ~WeaponClass();

    // On a prototype: a new record of the same kind from the definition file.
    virtual WeaponClass* ReadOdf(const ClassName& name);
    // The live weapon of this class for an entity that already exists.
    virtual Weapon* MakeObject(Entity* entity);
    // A new entity of type 50 under the parent, named after the class, with the owner's flags
    // 0x70010; its weapon is made and stored as the entity's class data.
    Weapon* Build(Entity* ownerEntity, Entity* parentEntity);

    static void MakePrototypes();

    OrdnanceClass* ordnanceClass = nullptr;
    int sprite1 = 0;
    char fireSound[16] = {};
    int sprite2 = 0;
    int sprite3 = 0;
    int32_t intParam = 0;
    int32_t weaponKind = kWeaponKindOther;
};

class Weapon {
public:
    Weapon(Entity* entity, WeaponClass* weaponClass);
    virtual ~Weapon();
    Weapon(const Weapon&) = delete;
    Weapon& operator=(const Weapon&) = delete;

    virtual bool CanFire();
    virtual void PullTrigger();
    virtual void ReleaseTrigger();
    virtual bool IsTriggerDown();
    // mountMatrix from the mount's world transform, then its rigid inverse.
    virtual void UpdateMount(float frameTime);
    virtual void Update(float frameTime);
    virtual void UserTriggerDown();
    virtual void UserTriggerUp();
    virtual float GetParamA(float a, float b);
    virtual float GetParamB(int32_t a);
    // The target's own position.
    virtual Vector* GetAimPoint(Vector* result, GameObject* target);
    virtual bool IsLoaded();

    // The muzzle (the entity's placement on the mount) is above the ground by more than 0.1.
    bool IsMuzzleAboveGround() const;
    // The muzzle's placement for a shot that fell due `overdue` seconds ago: moved back by that
    // much of the owner's velocity (left where it is without an owner).
    Matrix MuzzleWhenDue(float overdue, const GameObject* owner) const;
    // Releases the weapon's entity and with it the weapon (a craft dropping or replacing a gun).
    static void DeleteEntity(Weapon* weapon);

    WeaponClass* weaponClass;
    OrdnanceClass* ordnanceClass;
    Entity* entity;
    Entity* mount;
    Entity* root;
    Matrix mountMatrix;
    Matrix inverseMount;
    int sprite2;
    float lastFireTime = -1e30f;
    // Set when the trigger is pulled; the network's state sender clears it once it has told the
    // peers (its craft's send priority reads it).
    uint8_t changed = 0;

    // Forgets the live-list position without touching the list (tests' state reset).
    void ForgetListing() { listed_ = false; }

private:
    std::list<Weapon*>::iterator listPosition_;
    bool listed_ = true;
};

// The prototype of a registered label: the kind's class when it is built, else a plain weapon.
std::unique_ptr<WeaponClass> Weapon_MakePrototype(const char* label, uint32_t signature);

// Every live weapon in order of construction.
const std::list<Weapon*>& Weapon_LiveList();
// The per-frame passes: UpdateMount or Update on each weapon whose entity's status word is 0.
void Weapon_UpdateMountAll(float frameTime);
void Weapon_UpdateAll(float frameTime);
// Deletes the first live weapon until none is left (mission teardown).
void Weapon_DeleteAll();
void WeaponClass_FreeAll();
// Empties the live list and forgets the loaded weapon classes without deleting anything (tests'
// state reset; tests free what they make).
void Weapon_ResetForTest();

// The entity-level operations of type code 50.
void* Weapon_CreateClassData();
// The class the entity's name finds makes a weapon for it (not stored); null for an unknown name.
Weapon* Weapon_BuildForEntity(Entity* entity);
int Weapon_DeleteObject(void* classData);
Weapon* Weapon_FromEntity(Entity* entity);
void Weapon_PullTriggerOfEntity(Entity* entity);
