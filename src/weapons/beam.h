// Shots that change how a hit is delivered or shown: the beam (a continuous ray that sits on its
// gun's muzzle while the beam gun holds the trigger and deals damage per second), the bolt (an
// instant ray shown as a jagged streak that fades), the flame puff (a bullet drawn as an
// animated sprite) and the beam gun. The charge gun is in weapons/chargegun.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/bullet.h"

class BeamGun;

// The most segments one streak is drawn in; a longer walk ends in one last segment.
constexpr int kStreakMostSegments = 256;
// The beam-end message: the code "io" (little-endian 0x6F69), the owner's player id and the
// beam's serial.
constexpr int kBeamEndMessageSize = 6;

class BeamClass : public BulletClass {
public:
    // The prototype: life 0.0002 s at 1,000,000 m/s (a 200 m reach), cost 10, damage 100.
    BeamClass(const char* classLabel, uint32_t classSignature);
    BeamClass(BeamClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
    int StateSize(const uint8_t* in, int size) override;

    // sqrt(width^2 + segment^2 / 4 + jitter^2): a sphere that holds any drawn segment.
    float CullRadius() const;
    // Whether the shot's entity takes its radius from a shape of the class.
    bool HasShape() const;

    float beamWidth = 0.1f;
    float segmentLength = 2.0f;
    float jitter = 2.0f;
    int beamSprite = 0;
};

class BoltClass : public BeamClass {
public:
    // The prototype: life 1 s at 200 m/s, cost 10, damage 100, jitter 0.5.
    BoltClass(const char* classLabel, uint32_t classSignature);
    BoltClass(BoltClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
    int StateSize(const uint8_t* in, int size) override;

    float showTime = 0.1f;
};

class Beam : public Bullet {
public:
    using Bullet::Bullet;
    ~Beam() override;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Remove() override;
    void Update(float dt) override;
    void Step(float dt) override;
    void Render(RenderView* view) override;
    // One signed byte: the mount slot.
    int PackState(uint8_t* out, int room) override;
    // A slot outside 0..4 reads as -1 (not held).
    int UnpackState(const uint8_t* in, int size) override;

    BeamClass& Class() const { return *static_cast<BeamClass*>(ordnanceClass); }

    Vector start{};
    float cullRadius = 0.0f;
    int8_t mountSlot = -1;
    // The gun that holds the beam on this machine (null for a received beam or one let go).
    BeamGun* gun = nullptr;
};

class Bolt : public Bullet {
public:
    using Bullet::Bullet;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    // The streak's remaining show time runs down here, in every simulated frame, drawn or not.
    void Update(float dt) override;
    void Step(float dt) override;
    void Render(RenderView* view) override;

    BoltClass& Class() const { return *static_cast<BoltClass*>(ordnanceClass); }
    // The shared random table's index the bolt's shape starts from (from its serial).
    static uint8_t ShapeSeed(uint16_t netId);

    Vector start{};
    float cullRadius = 0.0f;
};

class FlamePuffClass : public BulletClass {
public:
    FlamePuffClass(const char* classLabel, uint32_t classSignature);
    FlamePuffClass(FlamePuffClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float puffSize = 1.0f;
    float frameTime = 0.2f;
    int firstFrame = 0;
    int lastFrame = 0;  // first + count - 1
};

class FlamePuff : public Bullet {
public:
    using Bullet::Bullet;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Step(float dt) override;
    void Render(RenderView* view) override;

    FlamePuffClass& Class() const { return *static_cast<FlamePuffClass*>(ordnanceClass); }

    int frame = 0;
    float frameClock = 0.0f;
};

class BeamGunClass : public CannonClass {
public:
    // The prototype: fire sound "wlflame.wav".
    BeamGunClass(const char* classLabel, uint32_t classSignature);
    BeamGunClass(BeamGunClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class BeamGun : public Weapon {
public:
    BeamGun(Entity* entity, BeamGunClass* cls);
    // A held beam is let go (it dies at its next step).
    ~BeamGun() override;
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;

    // The slot (0..4) this gun has among its owner's mounts, or -1.
    int MountSlot() const;
    void LetGo();

    GameObject* ownerObject = nullptr;
    uint8_t trigger = 0;
    void* fireLoop = nullptr;
    float ammoFraction = 0.0f;
    Beam* beam = nullptr;
};

// The prototypes of the labels built here and in weapons/chargegun; null for any other label.
std::unique_ptr<OrdnanceClass> Beam_MakeOrdnancePrototype(const char* label, uint32_t signature);
std::unique_ptr<WeaponClass> Beam_MakeWeaponPrototype(const char* label, uint32_t signature);
