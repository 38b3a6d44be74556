#include "weapons/weapon.h"

#include <cstring>
#include <memory>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/registration.h"
#include "core/seams/render.h"
#include "fun3d/gameobject.h"
#include "weapons/ordnance.h"

namespace {

// Definition keys of the weapon base.
constexpr uint32_t kOdfOrdnanceName = 0x10e6fd23;
constexpr uint32_t kOdfSprite1 = 0xf429d8cf;
constexpr uint32_t kOdfFireSound = 0xcfde2fc0;
constexpr uint32_t kOdfSprite2 = 0x1a05f72c;
constexpr uint32_t kOdfSprite3 = 0x48dae6d8;
constexpr uint32_t kOdfIntParam = 0xd84e3a3c;
constexpr uint32_t kOdfWeaponKind = 0xf21ccf2c;

constexpr uint32_t kWeaponOwnerFlags = 0x70010;

std::list<Weapon*>& LiveList() {
    static std::list<Weapon*> list;
    return list;
}

int FindSprite(const OdfFile& odf, uint32_t key) {
    char name[32];
    odf.GetString(key, name, sizeof name, "");
    return name[0] ? Seam_Render().spriteFind(name) : 0;
}

}  // namespace

int32_t WeaponKind_FromText(const char* text) {
    if (!text) return kWeaponKindOther;
    static const struct {
        const char* prefix;
        int32_t kind;
    } kKinds[] = {{"CANN", kWeaponKindCannon}, {"ROCK", kWeaponKindRocket}, {"MORT", kWeaponKindMortar},
                  {"SPEC", kWeaponKindSpecial}};
    for (const auto& k : kKinds)
        if (Text_CompareNoCaseN(text, k.prefix, 4) == 0) return k.kind;
    return kWeaponKindOther;
}

// ---- weapon classes -------------------------------------------------------------------------

WeaponClass::WeaponClass(const char* classLabel, uint32_t classSignature) {
    InitPrototype(this, classLabel, classSignature);
}

WeaponClass::WeaponClass(WeaponClass* from, const ClassName& name) {
    InitDerived(this, from, name);
    OdfFile odf(fileName);
    char ordnanceName[8];
    const char none[8] = {};
    odf.GetName8(kOdfOrdnanceName, ordnanceName, none);
    char ordnanceText[9] = {};
    std::memcpy(ordnanceText, ordnanceName, 8);
    ordnanceClass = ordnanceText[0] ? OrdnanceClass::Find(ordnanceText) : nullptr;
    odf.GetString(kOdfFireSound, fireSound, sizeof fireSound, from->fireSound);
    sprite1 = FindSprite(odf, kOdfSprite1);
    sprite2 = FindSprite(odf, kOdfSprite2);
    sprite3 = FindSprite(odf, kOdfSprite3);
    odf.GetInt(kOdfIntParam, &intParam, 0);
    char kindText[8];
    odf.GetString(kOdfWeaponKind, kindText, sizeof kindText, "");
    weaponKind = WeaponKind_FromText(kindText);
}

WeaponClass::~WeaponClass() { Unlist(this); }

WeaponClass* WeaponClass::ReadOdf(const ClassName& name) { return new WeaponClass(this, name); }

Weapon* WeaponClass::MakeObject(Entity* entity) { return new Weapon(entity, this); }

Weapon* WeaponClass::Build(Entity* ownerEntity, Entity* parentEntity) {
    Entity* e = Entity_New(parentEntity);
    std::memcpy(e->name, &odfName.words[0], 4);
    std::memcpy(e->name + 4, &odfName.words[1], 4);
    e->flags = (ownerEntity ? ownerEntity->flags : 0) & kWeaponOwnerFlags;
    e->type = kTypeWeapon;
    Weapon* weapon = MakeObject(e);
    e->classData = weapon;
    return weapon;
}

void WeaponClass::MakePrototypes() {
    for (const ClassLabel& row : Registration_WeaponClasses())
        AddPrototype(Weapon_MakePrototype(row.label, row.signature));
}

void WeaponClass_FreeAll() { WeaponClass::FreeAll(); }

// ---- weapons --------------------------------------------------------------------------------

Weapon::Weapon(Entity* e, WeaponClass* cls)
    : weaponClass(cls),
      ordnanceClass(cls ? cls->ordnanceClass : nullptr),
      entity(e),
      mount(e ? Entity_GetParent(e) : nullptr),
      root(mount ? Entity_GetRoot(mount) : nullptr),
      sprite2(cls ? cls->sprite2 : 0) {
    listPosition_ = LiveList().insert(LiveList().end(), this);
    Entity_GetTransformTo(mountMatrix, mount, nullptr);
    Matrix_Invert(inverseMount, mountMatrix);
}

Weapon::~Weapon() {
    if (listed_) LiveList().erase(listPosition_);
    if (entity && entity->classData == this) entity->classData = nullptr;
}

bool Weapon::CanFire() { return true; }
void Weapon::PullTrigger() {
    lastFireTime = Clock_GetTime();
    changed = 1;
}
void Weapon::ReleaseTrigger() {}
bool Weapon::IsTriggerDown() { return false; }

void Weapon::UpdateMount(float) {
    Entity_GetTransformTo(mountMatrix, mount, nullptr);
    Matrix_Invert(inverseMount, mountMatrix);
}

void Weapon::Update(float) {}
void Weapon::UserTriggerDown() {}
void Weapon::UserTriggerUp() {}
float Weapon::GetParamA(float, float) { return 0.0f; }
float Weapon::GetParamB(int32_t) { return 0.0f; }

Vector* Weapon::GetAimPoint(Vector* result, GameObject* target) {
    if (result && target) *result = target->GetPosition();
    return result;
}

bool Weapon::IsLoaded() { return true; }

bool Weapon::IsMuzzleAboveGround() const {
    Matrix muzzle;
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    const double ground = Terrain_GetHeight(muzzle.posit.x, muzzle.posit.z);
    return ground + 0.1 < muzzle.posit.y;
}

Matrix Weapon::MuzzleWhenDue(float overdue, const GameObject* owner) const {
    Matrix muzzle;
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    if (owner) {
        const Vector& v = owner->euler.velocity;
        muzzle.posit.x -= overdue * v.x;
        muzzle.posit.y -= overdue * v.y;
        muzzle.posit.z -= overdue * v.z;
    }
    return muzzle;
}

void Weapon::DeleteEntity(Weapon* weapon) {
    if (!weapon) return;
    Entity* e = weapon->entity;
    if (!e) {
        delete weapon;
        return;
    }
    Classfnc_Remove(e);  // deletes the weapon through the type-50 free function
    Entity_Release(e);
}

const std::list<Weapon*>& Weapon_LiveList() { return LiveList(); }

void Weapon_ResetForTest() {
    for (Weapon* w : LiveList()) w->ForgetListing();
    LiveList().clear();
    WeaponClass::Loaded().clear();
}

void Weapon_UpdateMountAll(float frameTime) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Weapon* w = *it++;
        if (w->entity && w->entity->state == 0) w->UpdateMount(frameTime);
    }
}

void Weapon_UpdateAll(float frameTime) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Weapon* w = *it++;
        if (w->entity && w->entity->state == 0) w->Update(frameTime);
    }
}

void Weapon_DeleteAll() {
    auto& list = LiveList();
    while (!list.empty()) delete list.front();
}

// ---- entity-level operations ----------------------------------------------------------------

void* Weapon_CreateClassData() { return nullptr; }

Weapon* Weapon_BuildForEntity(Entity* entity) {
    if (!entity) return nullptr;
    WeaponClass* cls = WeaponClass::Find(entity->name);
    return cls ? cls->MakeObject(entity) : nullptr;
}

int Weapon_DeleteObject(void* classData) {
    delete static_cast<Weapon*>(classData);
    return 0;
}

Weapon* Weapon_FromEntity(Entity* entity) { return entity ? static_cast<Weapon*>(entity->classData) : nullptr; }

void Weapon_PullTriggerOfEntity(Entity* entity) {
    if (Weapon* w = Weapon_FromEntity(entity)) w->PullTrigger();
}
