// Lock-on launchers and the guided missiles they fire. While its trigger is held a launcher
// builds a lock on one candidate in stages; let go with the final stage reached, it fires one
// missile at the locked object. The plain launcher locks its owner's target, the image launcher
// what lies under the cross-hair, the thermal launcher the hottest object in its cone. A missile
// is a rocket that turns toward its target at a bounded rate and pulls its velocity to its nose.
#pragma once
#include <cstdint>

#include "weapons/rocket.h"

// Lock stages have two-digit icon keys: a count read from a file stays within them.
constexpr int32_t kLauncherMostStages = 99;

class LauncherClass : public WeaponClass {
public:
    LauncherClass(const char* classLabel, uint32_t classSignature);
    LauncherClass(LauncherClass* from, const ClassName& name);
    ~LauncherClass() override;
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    // The number of stages the lock runs through (the count, at least 1).
    int32_t StageCount() const { return lockFrameCount < 1 ? 1 : lockFrameCount; }
    // The icon of a stage; the class icon for a stage without one.
    int StageIcon(int32_t stage) const;

    int32_t shotCost = 0;
    float lockRange = 0.0f;
    float reloadTime = 1.0f;
    float lockTime = 5.0f;
    float lockAngle = 1.5707964f;
    int trackingIcon = 0;
    char lockSound[16] = {};
    int lockedIcon = 0;
    char lockedSound[16] = {};
    int32_t lockFrameCount = 0;
    int* lockFrames = nullptr;  // lockFrameCount icons (owned)
};

class Launcher : public Weapon {
public:
    Launcher(Entity* entity, LauncherClass* cls);
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;
    void UserTriggerDown() override;
    void UserTriggerUp() override;
    // The object the lock would grow on this frame (handle, 0 for none).
    virtual uint32_t FindTarget(float dt);
    virtual void AddLock(uint32_t target, float dt);
    // What one shot sends out once Update has played the fire sound and taken the ammunition:
    // a missile at the locked target, its catch-up the shot clock less the frame.
    virtual void Launch(float dt);

    LauncherClass& Class() const { return *static_cast<LauncherClass*>(weaponClass); }
    // The muzzle's world placement.
    Matrix Muzzle() const;

    float shotClock = 0.0f;
    float lockProgress = 0.0f;
    float stageTime = 0.0f;
    float coneValue = 0.0f;
    int32_t lockStage = 0;
    GameObject* ownerObject = nullptr;
    uint32_t candidate = 0;
    uint8_t trigger = 0;
    uint8_t userTrigger = 0;
    uint32_t locked = 0;
};

class MissileClass : public RocketClass {
public:
    MissileClass(const char* classLabel, uint32_t classSignature);
    MissileClass(MissileClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
    int StateSize(const uint8_t* in, int size) override;

    float turnRate = 1.0f;
    float steerGainRead = 100.0f;  // as the file gives it
    float steerGain = 0.5f;        // the read value divided by the shot speed (0 at speed 0)
};

class Missile : public Rocket {
public:
    using Rocket::Rocket;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Remove() override;
    void Update(float dt) override;
    void Step(float dt) override;
    int PackState(uint8_t* out, int room) override;
    int UnpackState(const uint8_t* in, int size) override;
    virtual GameObject* GetTarget();

    void SetTarget(const GameObject* object);
    MissileClass& Class() const { return *static_cast<MissileClass*>(ordnanceClass); }

    uint32_t target = 0;
    Vector turnRates{};
};

// The user's missile in flight (the camera may follow it); null when none flies.
Missile* Missile_UserMissile();

class ImageLauncherClass : public LauncherClass {
public:
    using LauncherClass::LauncherClass;
    ImageLauncherClass(ImageLauncherClass* from, const ClassName& name) : LauncherClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class ImageLauncher : public Launcher {
public:
    using Launcher::Launcher;
    uint32_t FindTarget(float dt) override;
    void AddLock(uint32_t target, float dt) override;
};

class ImageMissileClass : public MissileClass {
public:
    using MissileClass::MissileClass;
    ImageMissileClass(ImageMissileClass* from, const ClassName& name) : MissileClass(from, name) {}
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
};

class ImageMissile : public Missile {
public:
    using Missile::Missile;
    GameObject* GetTarget() override;
};

// The nearest object squarely under the aim axis of the frame: in front, within range (the
// terrain along the axis shortens it) and within 0.75 of its radius of the axis; the owner and
// untargetable objects are skipped. Null for none.
GameObject* Image_FindTarget(const Matrix& frame, float range, const Entity* owner);

class ThermalMissileClass : public MissileClass {
public:
    ThermalMissileClass(const char* classLabel, uint32_t classSignature);
    ThermalMissileClass(ThermalMissileClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float lockAngle = 0.31415927f;
};

class ThermalMissile : public Missile {
public:
    using Missile::Missile;
    GameObject* GetTarget() override;
};

class ThermalLauncherClass : public LauncherClass {
public:
    using LauncherClass::LauncherClass;
    ThermalLauncherClass(ThermalLauncherClass* from, const ClassName& name) : LauncherClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class ThermalLauncher : public Launcher {
public:
    using Launcher::Launcher;
    uint32_t FindTarget(float dt) override;
    void AddLock(uint32_t target, float dt) override;
};

// The heat seeker's choice from the frame over range R: objects in front within R, inside the
// cone (lateral share at most `lateralShare` of the squared distance, or within 0.75 of their
// radius of the axis); the highest c^32 * heat * R^2 / d^2 wins, ties keeping the first found.
// Objects that are untargetable and the skipped entity's object are left out. Null for none.
GameObject* Thermal_FindTarget(const Matrix& frame, float range, float lateralShare, const Entity* skip);
// The score of an object at (x, y, z) in the seeker's frame (exposed for tests).
float Thermal_Score(const Vector& local, float heat, float range);

// Entity flag of objects that image and heat seekers cannot see.
constexpr uint32_t kEntityUntargetable = 0x400;

// The missile-kind prototypes (weapons/rocket hands the labels here); null for other labels.
std::unique_ptr<OrdnanceClass> Launcher_MakeOrdnancePrototype(const char* label, uint32_t signature);
std::unique_ptr<WeaponClass> Launcher_MakeWeaponPrototype(const char* label, uint32_t signature);
// Forgets the user's missile (tests' state reset).
void Missile_ResetForTest();
