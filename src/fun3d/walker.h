// Walker: a craft on two legs. It steers its velocity toward the one its controls ask for with
// a limited acceleration, leans into its steps, turns with a rate-limited yaw, jumps from the
// ground, and plays leg animations chosen by the direction it moves in, with a step sound at
// each half of the walk cycle. Three handling blocks apply: on the ground while walking, on the
// ground while its legs change stance, and in the air. Its brains are the walker processes the
// class names; the walker itself only reads the control words they set.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fun3d/craft.h"
#include "fun3d/person.h"

// One handling block: the same thirteen values, in the same order, as a person's profile.
using WalkerHandling = PersonProfile;
constexpr int kWalkerHandlingCount = 3;
enum WalkerHandlingIndex : int { kWalkerTransition = 0, kWalkerGround = 1, kWalkerAir = 2 };

// Physics flags of a walker.
constexpr uint32_t kWalkerAirborne = 0x4;   // in the air under control (levelling and drive apply)
constexpr uint32_t kWalkerLaunched = 0x8;   // asked to take control in the air once it falls
constexpr uint32_t kWalkerOnGround = 0x80;  // standing on its feet

// Leg states (the craft's deploy state).
enum WalkerLegState : int32_t { kLegsWalking = 0, kLegsCrouching = 1, kLegsCrouched = 2, kLegsRising = 3 };

// Leg animations of the model.
enum WalkerAnimation : int32_t {
    kWalkerAnimCrouch = 0,
    kWalkerAnimRise = 1,
    kWalkerAnimStand = 2,
    kWalkerAnimEmpty = 3,
    kWalkerAnimForward = 4,
    kWalkerAnimBack = 5,
    kWalkerAnimLeft = 6,
    kWalkerAnimRight = 7,
};

// The network record's own part: velocity and spin (6 + 6), four controls, a flag byte and a
// zero pad byte.
constexpr int32_t kWalkerNetStateSize = 18;
// Saves of these versions carry 21 handling floats of the walker's own ahead of the craft's.
constexpr int32_t kWalkerOldHandlingFirst = 1002;
constexpr int32_t kWalkerOldHandlingLast = 1025;
constexpr int kWalkerOldHandlingFloats = 21;

// The animation a walker on the ground in leg state 0 plays for its forward and sideways speed
// (the larger magnitude chooses; the sideways one on a tie), and the rate it plays at (-1 when
// the animation has no rate of its own: standing).
struct WalkerStride {
    int32_t animation;
    float rate;
};
WalkerStride Walker_ChooseStride(float forward, float sideways, float speed, float rateFactor);

class WalkerClass : public CraftClass {
public:
    // The prototype: team slots 5 to 14, the default handling blocks and sound names.
    WalkerClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    // Derived from the definition file, the prototype's values as defaults.
    WalkerClass(WalkerClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    WalkerHandling handling[kWalkerHandlingCount] = {};
    char jumpSound[kCraftTextSize] = {};
    char landSound[kCraftTextSize] = {};  // kept for the class; no walker operation plays it
    char stepSound[kCraftTextSize] = {};
    float animRate = 1.0f;
};

class Walker : public Craft {
public:
    Walker(Entity* entity, GameObjectClass* cls);
    ~Walker() override;

    // ---- primary operations ---------------------------------------------------------------
    bool HasPilot() override { return false; }
    void Update(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    void BuildCommandList() override;
    void UpdateWeaponAim(float dt) override;
    void SetPerformance(float factor) override;
    // The legs meet the ground (see Update); the box probes of a gliding craft do not.
    bool FindGroundContact(CollisionBody* contact, float dt) override;

    // ---- network identity -----------------------------------------------------------------
    float GetNetPriority(float time, float distance) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    WalkerClass* Class() const;
    // The handling block that applies now (ground in leg state 0, transition on the ground in
    // the other states, air off the ground).
    const WalkerHandling& CurrentHandling() const;

    // ---- fields ---------------------------------------------------------------------------
    int32_t animIndex = -1;
    int animSlot = -1;
    WalkerHandling handling[kWalkerHandlingCount] = {};
    uint8_t stepHalf = 0;
    float aimPitch = 0.0f;
    // What the last network record carried: the four controls and the three control words
    // (boost, jump, eject).
    float sentControls[4] = {};
    int32_t sentWords[3] = {};
    // The linear and angular acceleration of the last step (gravity included).
    Vector accel{};
    Vector spinAccel{};

private:
    void ChooseLegs(float forward, float sideways);
    void PlaySteps();
    void StandOnFloor();
};
