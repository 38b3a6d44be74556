// The day wrecker: a power-up that is launched, and once it is down scorches the ground and
// bursts into its explosion. Its death (when it is shot) flashes the screen and throws sparks.
#pragma once
#include <cstdint>

#include "fun3d/powerup.h"

class ExplosionClass;

constexpr uint32_t kOdfWreckerExplosion = 0xD61BC22Bu;
constexpr uint32_t kOdfWreckerValue = 0x1AA6522Fu;
// Set on the state word when the wrecker went off on the ground.
constexpr uint32_t kWreckerWentOff = 0x20;

class DayWreckerClass : public PowerUpClass {
public:
    DayWreckerClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    DayWreckerClass(DayWreckerClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    ExplosionClass* explosionClass = nullptr;
    float value = 5.0f;  // read with the class; the wrecker itself does not use it
};

class DayWrecker : public PowerUp {
public:
    using PowerUp::PowerUp;

    // In flight (state flag 0x4) it moves as a power-up; once down it goes off.
    void Update(float dt) override;
    // While rising from its launcher (0x4 and 0x8) the launcher's contact is ignored; any other
    // contact brings it down.
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    // Shot down: the standard building explosion, a flash by nearness and sparks.
    void Explode() override;
};
