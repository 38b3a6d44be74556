// Special items: weapons that are switched on rather than fired. While one is on it may first
// charge through a number of steps (its icon counting up), then its effect starts and it drains
// the owner's ammunition every second until it is switched off or the ammunition runs short.
// The radar damper hides its craft's root entity from radar and sensors; the terrain exposure
// shows the terrain through to the craft the camera follows. Image refraction (refraction.h)
// is a third kind.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/weapon.h"

class GameObject;

class SpecialItemClass : public WeaponClass {
public:
    // The prototype: 100 a second, a charge time of 1 s and no charge steps.
    SpecialItemClass(const char* classLabel, uint32_t classSignature);
    SpecialItemClass(SpecialItemClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    int32_t ammoPerSecond = 100;
    // The time of one charge step: the file's total charge time over the steps plus one.
    float chargeTime = 1.0f;
    char loopSound[16] = {};
    char stopSound[16] = {};
    // The steps before the effect starts; an item of 0 (or fewer) steps never starts.
    int32_t chargeSteps = 0;
};

// At most this many charge steps are taken in one update; a longer backlog is dropped.
constexpr int kMostChargeStepsPerUpdate = 64;

class SpecialItem : public Weapon {
public:
    SpecialItem(Entity* entity, SpecialItemClass* cls);
    ~SpecialItem() override;

    // The owner has the ammunition the item drains in one frame.
    bool CanFire() override;
    // Computer gunners, remote owners and the user with the toggle option: a pull flips the
    // item, once however many frames the trigger is held.
    void PullTrigger() override;
    // Switches the item off (for every owner).
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    // Caches the owner; an owner short of a frame's drain switches the item off.
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;
    // The user's own craft without the toggle option: held on, let go off.
    void UserTriggerDown() override;
    void UserTriggerUp() override;

    virtual bool IsActive();
    virtual void Activate();
    virtual void Sustain(float frameTime);
    virtual void Deactivate();

    SpecialItemClass& Class() const { return *static_cast<SpecialItemClass*>(weaponClass); }
    // Whether the trigger is the user's hold-to-use one: the owner is the user's own craft,
    // neither the toggle option nor the AI-style trigger state is set.
    bool UsesUserTrigger() const;

    uint8_t on = 0;
    uint8_t pressGuard = 0;
    float chargeClock = 0.0f;
    float ammoRemainder = 0.0f;  // the fraction of a unit not yet taken
    GameObject* ownerObject = nullptr;
    int baseSprite = 0;
    int32_t chargeCount = 0;

private:
    // The loop sound runs and the stop sound is owed: set when this item started its effect.
    bool running_ = false;
};

class RadarDamper : public SpecialItem {
public:
    using SpecialItem::SpecialItem;
    ~RadarDamper() override;
    // Bit 0x1 of the craft's root entity.
    bool IsActive() override;
    void Activate() override;
    void Deactivate() override;
};

class TerrainExpose : public SpecialItem {
public:
    using SpecialItem::SpecialItem;
    ~TerrainExpose() override;
    bool IsActive() override;
    // On and off, the craft the camera follows sees a white flash.
    void Activate() override;
    // Each frame, for the craft the camera follows, the renderer's terrain-exposure switch.
    void Sustain(float frameTime) override;
    void Deactivate() override;

    uint8_t active = 0;
};

// The radar damper's bit on the craft's root entity.
constexpr uint32_t kEntityRadarDamped = 0x1;

// The prototypes of the special kinds, the image refraction and the sniper gun; null for other
// labels.
std::unique_ptr<WeaponClass> Special_MakeWeaponPrototype(const char* label, uint32_t signature);
