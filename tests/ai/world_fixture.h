// Objects on a 1000 m square for the unit AI's world queries and avoidance: small hand-built
// objects of any signature, class kind and entity type, both object grids, weapons made from
// bare classes, and everything taken away between the scenarios of one table.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "ai/pathgrid.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/registration.h"
#include "fun3d/framepasses.h"
#include "fun3d/fun3d_fixture.h"
#include "square_world.h"
#include "fun3d/hardpoints.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"

class WorldFixture : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        SquareWorld_Make();
        Clock_SetTime(100.0f);
    }
    void TearDown() override {
        Clear();
        Avoidance_ResetForTests();
        PathGrid_ResetForTests();
        for (auto* c : weaponClasses_) delete c;
        for (auto* c : ordnanceClasses_) delete c;
        for (auto* c : explosionClasses_) delete c;
        Fun3dFixture::TearDown();
    }

public:  // the scenarios below reach these through the fixture
    // Every object and weapon gone (between the scenarios of one table).
    void Clear() {
        for (Weapon* w : weapons_) {
            for (GameObject* o : GameObject_List())
                if (o->hardpoints)
                    for (int i = 0; i < kHardpointCount; ++i)
                        if (o->hardpoints->weapons[i] == w) o->hardpoints->SetWeapon(i, nullptr, nullptr);
            delete w;
        }
        weapons_.clear();
        const std::vector<GameObject*> live = GameObject_List();
        for (GameObject* o : live) delete o;
        Avoidance_ClearStuckPairs();
    }
    // An object of the signature, class kind and entity type on the team at the point, facing +z.
    GameObject* Put(const char* signature, int32_t kind, int32_t type, int32_t team, Vector at, float radius = 2.0f) {
        GameObjectClass& cls = NewClass();
        cls.signature = Signature(signature);
        cls.category = kind;
        GameObject* o = Build(cls, team);
        o->SetTeam(team);
        o->entity->type = type;
        o->entity->local.posit = DVector{at.x, at.y, at.z};
        o->pos = at;
        o->radius = radius;
        if (o->record) o->record->radius = radius;
        return o;
    }
    GameObject* Craft(int32_t team, Vector at, bool piloted = true) {
        GameObject* o = Put("CRFT", 1, 1, team, at);
        if (piloted) o->SetAiProcess(new TestPilot);
        return o;
    }
    void Refill() {
        GameObject_UpdateGrid();
        Avoidance_RefillGrid();
    }
    void HitBy(GameObject* victim, GameObject* shooter, float secondsAgo) {
        victim->lastShooter = shooter->GetObjHandle();
        victim->friendShot = Clock_GetTime() - secondsAgo;
    }
    ExplosionClass* Blast(float radius) {
        auto* e = new ExplosionClass("blast", Signature("EXPL"));
        e->outerRadius = radius;
        explosionClasses_.push_back(e);
        return e;
    }
    OrdnanceClass* Shot(const char* signature, float speed, float life, ExplosionClass* blast = nullptr) {
        auto* o = new OrdnanceClass("shot", Signature(signature));
        o->ordFloatParam = speed;
        o->lifetime = life;
        o->explosionDefault = blast;
        ordnanceClasses_.push_back(o);
        return o;
    }
    Weapon* Mount(GameObject* o, int slot, const char* signature, OrdnanceClass* ordnance) {
        auto* cls = new WeaponClass("gun", Signature(signature));
        cls->ordnanceClass = ordnance;
        weaponClasses_.push_back(cls);
        if (!o->hardpoints) o->hardpoints = new HardpointList(o);
        Entity* hardpoint = NewPart(o->entity, "hp", 0);
        auto* weapon = new Weapon(NewPart(hardpoint, "gun", 0), cls);
        weapon->ordnanceClass = ordnance;
        weapons_.push_back(weapon);
        o->hardpoints->SetWeapon(slot, hardpoint, weapon);
        o->hardpoints->selected |= 1u << slot;
        return weapon;
    }

    std::vector<Weapon*> weapons_;
    std::vector<WeaponClass*> weaponClasses_;
    std::vector<OrdnanceClass*> ordnanceClasses_;
    std::vector<ExplosionClass*> explosionClasses_;
};

