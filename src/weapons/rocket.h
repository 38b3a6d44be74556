// Self-propelled shots: the rocket (a bullet that leaves a trail of smoke puffs and carries a
// glow and a flare), the tracer streak, the tag shot with its tag-and-salvo gun, and the team
// switcher. The missiles (weapons/launcher) fly as rockets too and share the rocket's drawing.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/bullet.h"

struct ParticleKind;

// Entity flag of a rocket in flight: set by its launch, cleared by its remove.
constexpr uint32_t kRocketFlying = 0x8;
// The most puffs one step adds; what falls due past them is dropped.
constexpr int kRocketMostPuffsPerStep = 256;
// The width of coloured lines whose owner names none (metres).
constexpr float kTracerDefaultLineWidth = 0.1f;

class RocketClass : public BulletClass {
public:
    RocketClass(const char* classLabel, uint32_t classSignature);
    RocketClass(RocketClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    // The class's one trail smoke kind: registered on first use and again whenever the smoke
    // table was emptied since (every mission start). Null without a trail or with a full table.
    ParticleKind* TrailKind();

    float glowWidth = 0.0f;
    float glowLength = 0.0f;
    int glowSprite = 0;
    int32_t glowFrames = 0;
    float flareSize = 0.0f;
    int flareSprite = 0;
    int32_t flareFrames = 0;
    float puffSpread = 0.5f;
    float puffForward = 0.2f;
    float puffInherit = 0.0f;
    float puffSize = 0.3f;
    float puffInterval = 0.0f;
    float puffFrameRate = 5.0f;  // frames a second
    int puffSprite = 0;
    int32_t puffFrames = 0;

private:
    ParticleKind* trailKind_ = nullptr;
    uint32_t trailGeneration_ = 0;
};

class Rocket : public Bullet {
public:
    Rocket(Entity* entity, OrdnanceClass* ordnanceClass);
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Remove() override;
    void Step(float dt) override;
    void Render(RenderView* view) override;

    RocketClass& Class() const { return *static_cast<RocketClass*>(ordnanceClass); }
    bool Flying() const;

    // The class's trail kind when the class has a trail (null otherwise).
    ParticleKind* trailEmitter = nullptr;
    float trailClock = 0.0f;
};

// ---- tracer -----------------------------------------------------------------------------------

class TracerClass : public BulletClass {
public:
    TracerClass(const char* classLabel, uint32_t classSignature);
    TracerClass(TracerClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    int streakSprite = 0;
    uint32_t streakColour = 0;
    float lineDistance = 0.0f;
    float streakLength = 10.5f;
    float streakWidth = 0.05f;
};

class Tracer : public Bullet {
public:
    using Bullet::Bullet;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Step(float dt) override;
    void Render(RenderView* view) override;

    Vector start{};
    float travelled = 0.0f;
};

// ---- tag shot and tag-and-salvo gun ----------------------------------------------------------

class TargetingGun;

class TargetingRocketClass : public RocketClass {
public:
    TargetingRocketClass(const char* classLabel, uint32_t classSignature);
    TargetingRocketClass(TargetingRocketClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float attachTime = 2.0f;
};

class TargetingRocket : public Rocket {
public:
    using Rocket::Rocket;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Remove() override;
    void Step(float dt) override;
    void Hit(Entity* hit, const Vector& normal) override;

    TargetingGun* gun = nullptr;
    uint32_t attached = 0;  // handle of the object the tag sits on
    Matrix relative = kIdentityMatrix;
};

class TargetingGunClass : public WeaponClass {
public:
    TargetingGunClass(const char* classLabel, uint32_t classSignature);
    TargetingGunClass(TargetingGunClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    OrdnanceClass* tagClass = nullptr;
    char tagSound[16] = {};
    float reloadTime = 1.0f;
    float salvoDelay = 1.0f;
    float salvoInterval = 0.2f;
    int32_t salvoCount = 10;
    int trackingIcon = 0;
    int lockedIcon = 0;
};

class TargetingGun : public Weapon {
public:
    TargetingGun(Entity* entity, TargetingGunClass* cls);
    ~TargetingGun() override;
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;
    Vector* GetAimPoint(Vector* result, GameObject* target) override;

    TargetingGunClass& Class() const { return *static_cast<TargetingGunClass*>(weaponClass); }

    GameObject* ownerObject = nullptr;
    TargetingRocket* tag = nullptr;
    uint32_t lastTarget = 0;
    int32_t salvoLeft = 0;
    float fireClock = 0.0f;
    uint8_t trigger = 0;
    void* salvoLoop = nullptr;

private:
    void StopLoop();
};

// ---- team switcher ----------------------------------------------------------------------------

class SwitcherClass : public RocketClass {
public:
    SwitcherClass(const char* classLabel, uint32_t classSignature);
    SwitcherClass(SwitcherClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float switchTime = 10.0f;
};

class Switcher : public Rocket {
public:
    using Rocket::Rocket;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Step(float dt) override;
    void Hit(Entity* hit, const Vector& normal) override;

    int32_t shooterTeam = 0;
    int32_t homeTeam = 0;
    uint32_t attached = 0;
    Matrix relative = kIdentityMatrix;
};

// The prototypes of the labels built here (rocket, tracer, targeting, switcher and the guided
// kinds of weapons/launcher); null for any other label.
std::unique_ptr<OrdnanceClass> Rocket_MakeOrdnancePrototype(const char* label, uint32_t signature);
std::unique_ptr<WeaponClass> Rocket_MakeWeaponPrototype(const char* label, uint32_t signature);

// The placement of a relative to b's world placement (a = relative x b).
Matrix Rocket_RelativeTo(const Matrix& a, const Matrix& b);
