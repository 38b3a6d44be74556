#include "weapons/daywrecker.h"

#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "core/gamesettings.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "fun3d/objectslot.h"
#include "weapons/explosion.h"
#include "weapons/spriteeffects.h"

namespace {

// The wrecker's state word is its vehicle record's flags.
uint32_t& StateWord(PowerUp& p) { return p.vehicle->flags; }

}  // namespace

DayWreckerClass::DayWreckerClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : PowerUpClass(kindLabel, kindSignature, kindCategory) {}

DayWreckerClass::DayWreckerClass(DayWreckerClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    char explosionName[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfWreckerExplosion, explosionName, none);
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, explosionName, kClassNameSize);
    explosionClass = text[0] ? ExplosionClass::Find(text) : nullptr;
    odf.GetFloat(kOdfWreckerValue, &value, p->value);
}

GameObject* DayWreckerClass::BuildObject(Entity* entity) { return GameObject_New<DayWrecker>(entity, this); }
GameObjectClass* DayWreckerClass::Derive(const char* name) { return new DayWreckerClass(this, name); }

void DayWrecker::Update(float dt) {
    if (StateWord(*this) & kPowerUpInFlight) {
        PowerUp::Update(dt);
        return;
    }
    // Down: it goes off where it lies.
    Entity_SetFlagTree(entity, kEntityDead);
    StateWord(*this) |= kWreckerWentOff;
    if (entity->flags & kEntityHasLight) {
        Objkr_Services().removeLight(entity);
        entity->flags &= ~kEntityHasLight;
    }
    Terrain_Scorch(static_cast<float>(entity->local.posit.x), static_cast<float>(entity->local.posit.z));
    const auto* cls = dynamic_cast<const DayWreckerClass*>(objClass);
    ExplosionClass* blast = cls ? cls->explosionClass : nullptr;
    Matrix at = entity->local;
    // Nothing of the wrecker may be touched after its teardown.
    TearDown();
    if (blast) blast->Build(at, nullptr);
}

bool DayWrecker::OnContact(Entity* other, CollisionBody* contact, void*) {
    uint32_t& state = StateWord(*this);
    if ((state & kPowerUpInFlight) && (state & kPowerUpRising)) {
        const GameObject* otherObject = GameObject_FromEntity(other);
        if (otherObject && lastAttacker != 0 && GetObjHandle(otherObject) == lastAttacker) return false;
    }
    state &= ~kPowerUpInFlight;
    if (contact) vehicle->contact = *contact;
    return true;
}

void DayWrecker::Explode() {
    entity->flags |= kEntityDead;
    const Vector at = pos;
    Matrix placement = entity->local;
    placement.posit = DVector{at.x, at.y, at.z};
    if (ExplosionClass* blast = Explosion_Manager().stdExplosionBld) blast->Build(placement, nullptr);
    if (Game_Settings().flags & kSettingsRichExplosions) {
        const float centre[3] = {at.x, at.y, at.z};
        float depth = 0.0f;
        const RenderView* view = Seam_Render().mainView();
        if (view && Seam_Render().sphereViewDepth(view, centre, 0.0f, &depth) && depth > 0.0f) {
            const float k = 3.0f * radius / depth;
            Seam_Cockpit().screenTintAddLevel(k * k);
        }
        const int sparks = static_cast<int>(radius * 10.0f);
        for (int i = 0; i < sparks; ++i) {
            const float r1 = Rand_Signed(), r2 = Rand_Signed(), r3 = Rand_Signed();
            Particle_Effect().Add(at, Vector{20.0f * r1, 15.0f * r2 + 5.0f, 20.0f * r3});
        }
    }
    TearDown();
}
