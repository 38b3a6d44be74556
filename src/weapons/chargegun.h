// The charge gun: a cannon that charges through levels while its trigger is held and, when the
// trigger is let go, fires the salvo of the level it reached. Each level names its ordnance, how
// many shots its salvo holds and the time between them; the charge sound rises as it charges.
#pragma once
#include <cstdint>
#include <vector>

#include "weapons/bullet.h"

// Level keys continue their base key over the level's number: a count read from a file stays
// within two digits.
constexpr int32_t kChargeGunMostLevels = 99;

// One entry of the level table. Entry 0 is the uncharged state: nothing to fire, the class icon.
struct ChargeGunLevel {
    float chargeTime = 0.0f;
    int32_t salvoCount = 0;
    float salvoInterval = 0.0f;
    char sound[16] = {};
    OrdnanceClass* ordnance = nullptr;
    int icon = 0;
};

class ChargeGunClass : public CannonClass {
public:
    // The prototype: the charge sound "wlflame.wav", one level.
    ChargeGunClass(const char* classLabel, uint32_t classSignature);
    ChargeGunClass(ChargeGunClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    float basePitch = 11025.0f;
    float pitchPerSecond = 4000.0f;
    float baseVolume = 100.0f;
    float volumePerSecond = 0.0f;
    int32_t levelCount = 1;
    std::vector<ChargeGunLevel> chargeLevels;  // levelCount + 1 entries
};

class ChargeGun : public Cannon {
public:
    ChargeGun(Entity* entity, ChargeGunClass* cls);
    void Update(float frameTime) override;

    ChargeGunClass& Class() const { return *static_cast<ChargeGunClass*>(weaponClass); }
    const ChargeGunLevel& Level() const { return Class().chargeLevels[static_cast<size_t>(current)]; }

    void* chargeSound = nullptr;
    int32_t current = 0;     // the entry reached
    int32_t lastEntry = 0;   // the class's level count
    int32_t shotsLeft = 0;   // of the salvo under way
    bool salvoSoundDue = false;

private:
    void BackToRest();
};
