// HoverCraft: the craft that floats above the terrain. Every ground vehicle is one or derives
// from one. It adds to Craft a hover force model driven by the control words, per-class
// handling constants that damage scales down, animated model parts, three engine sound loops,
// exhaust flames and ground dust, the unit command menu and a richer network state.
#pragma once
#include <cstdint>

#include "fun3d/craft.h"

// Entity type codes of the model's special nodes.
constexpr int32_t kEntityTypeThrottleSpinner = 66;
constexpr int32_t kEntityTypeVane = 67;
constexpr int32_t kEntityTypeSteeringSpinner = 68;
constexpr int32_t kEntityTypeThrustPoint = 75;
constexpr int32_t kEntityTypeDustPoint = 77;

// Room in each node list.
constexpr int kHoverThrottleSpinnerMax = 4;
constexpr int kHoverVaneMax = 8;
constexpr int kHoverSteeringSpinnerMax = 8;
constexpr int kHoverThrustPointMax = 16;
constexpr int kHoverDustPointMax = 8;

// Physics flag: the craft levels toward world up as well (set from the network state).
constexpr uint32_t kCraftLevelsToWorld = 0x1000;

// The handling constants of a hover class. The ones marked "scaled" are multiplied by the
// performance factor that damage sets; the others are the class's values always.
struct HoverHandling {
    float hoverHeight = 1.0f;
    float tractionRest = 4.0f;
    float tractionTop = 1.0f;
    float angularDamping = 3.0f;  // scaled
    float levelStiffness = 10.0f; // scaled
    float pitchFromPitch = 0.3f;
    float pitchFromThrottle = 0.1f;
    float rollFromStrafe = 0.1f;
    float spare = 0.1f;  // read and kept; the hover model does not use it
    float topForward = 20.0f;  // scaled
    float topReverse = 10.0f;  // scaled
    float topStrafe = 15.0f;   // scaled
    float lateralGrip = 25.0f; // scaled
    float braking = 75.0f;     // scaled
    float turnRest = 4.0f;     // scaled
    float turnSpeed = 1.5f;    // scaled
    float yawGain = 5.0f;      // scaled
    float liftBoost = 0.1f;    // scaled
    // [0] normal, [1] while jumping.
    float spinThrottle[2] = {0.4f, 0.2f};
    float spinSteering[2] = {0.2f, 0.1f};
    float vaneThrottle[2] = {0.4f, 0.2f};
    float vaneSteering[2] = {0.4f, 0.2f};
};

// The weapon aim of a craft steered by its pitch input (ground craft, persons): the aim pitch
// is half the pitch input (less the front's slope while the craft levels with the world) and
// each mounted weapon's part turns by it. Returns the aim pitch.
float Craft_AimWeaponsByPitch(Craft& craft);
// The unit command menu of a ground craft (hover craft and walkers share it).
void Craft_BuildUnitCommands(Craft& craft);

// The performance-scaled constants of the class's values times the factor; the rest unchanged.
HoverHandling HoverHandling_Scaled(const HoverHandling& base, float factor);

enum HoverSound : int { kHoverSoundThrust = 0, kHoverSoundRev, kHoverSoundWind, kHoverSoundDeploy, kHoverSoundUndeploy };
constexpr int kHoverSoundCount = 5;

class HoverCraftClass : public CraftClass {
public:
    // The prototype: "hover" 'HOVR' with the default handling and sound names.
    HoverCraftClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    // Derived from the definition file, the prototype's values as defaults.
    HoverCraftClass(HoverCraftClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    HoverHandling handling;
    char sounds[kHoverSoundCount][kCraftTextSize] = {};
};

// The network state's own part: 6 + 6 + 4 + 1 bytes and one zero pad byte.
constexpr int32_t kHoverNetStateSize = 18;

// The driving state of one hover craft, filled by the craft every frame while it is attached
// (HoverCraft::telemetry): the developer tools' telemetry display reads it.
struct VehicleTelemetry {
    float targetSpeed = 0.0f;  // the last speed the craft was asked for
    float steering = 0.0f, throttle = 0.0f, strafe = 0.0f, pitch = 0.0f;  // the controls as read
    float brake = 0.0f;        // the drive's braking term: 0 while the ground grips the wanted change
    Vector position{};
    Vector velocity{};
    Vector force{};            // the frame's acceleration, gravity included
    Vector angularVelocity{};
    Vector torque{};
    Vector groundNormal{};
    float heightRatio = 0.0f;  // height along the ground normal over the hover height
    float hoverFactor = 1.0f;  // the share of the hover lift (1 at or below hover height)
    float gripRatio = 1.0f;    // the part of the wanted change of velocity the ground let through
    float frameTime = 0.0f;
};

class HoverCraft : public Craft {
public:
    HoverCraft(Entity* entity, GameObjectClass* cls);
    ~HoverCraft() override;

    // ---- primary operations ---------------------------------------------------------------
    sObject* MakeUser() override;
    void ReleaseUser() override;
    void Update(float dt) override;
    void PostUpdate(float dt) override;
    bool Load() override;
    void BuildCommandList() override;
    float GetEngineEffort() override { return engineEffort; }
    float GetAirborneFactor() override { return airborneFactor; }
    void SetSpeed(float target) override;
    float GetAimAngle() override { return 0.0f; }
    bool StopReversing() override;
    void SetPerformance(float factor) override;
    // The aim pitch follows the pitch input; each mounted weapon's part turns by it.
    void UpdateWeaponAim(float dt) override;
    // Also the spinners, vanes, thrust and dust points.
    void ForgetParts() override;

    // ---- network identity -----------------------------------------------------------------
    float GetNetPriority(float time, float distance) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    // ---- the model's parts ----------------------------------------------------------------
    void AnimateParts(float dt);
    void UpdateSoundLoops(float dt);
    void StopSoundLoops();
    // The pilot node's sway from steering and pitch input (the camera inside this craft).
    void UpdateCockpitSway(float dt);

    // ---- fields ---------------------------------------------------------------------------
    HoverHandling base;     // the class's values
    HoverHandling handling; // the values in use (scaled by performance)
    float hoverFactor = 1.0f;
    float engineEffort = 0.0f;
    float airborneFactor = 0.0f;
    Vector force{};
    Vector torque{};
    float soundLevel = 0.0f;
    float windLevel = 0.0f;
    void* soundLoops[3] = {};
    float aimPitch = 0.0f;
    // The pilot node's sway: angle and rate about two axes (steering, pitch).
    float swayAngle[2] = {};
    float swayRate[2] = {};
    // What the last network state sent: the four analogue controls and the three flags
    // (jump, boost, eject).
    float sentControls[4] = {};
    uint8_t sentFlags = 0;
    float sentSpeed = 0.0f;
    float dustTimer = 0.0f;
    // Filled each frame while attached; not owned (its owner attaches and detaches it).
    VehicleTelemetry* telemetry = nullptr;

    Entity* throttleSpinners[kHoverThrottleSpinnerMax] = {};
    int throttleSpinnerCount = 0;
    Entity* vanes[kHoverVaneMax] = {};
    int vaneCount = 0;
    Entity* steeringSpinners[kHoverSteeringSpinnerMax] = {};
    int steeringSpinnerCount = 0;
    Entity* thrustPoints[kHoverThrustPointMax] = {};
    int thrustPointCount = 0;
    Entity* dustPoints[kHoverDustPointMax] = {};
    int dustPointCount = 0;

private:
    double placedHeight_ = 0.0;  // the height the craft was built at, before hovering
    void Settle(float dt);
    void Drive(float dt);
    void EmitFlames();
    void EmitDust(float dt);
    bool NearCamera(double limit) const;
};

// ---- hover dust -----------------------------------------------------------------------------
// One puff of the hover dust buffer (32 bytes): `start` is its current frame (a sprite,
// fractional) and `constant` its size.
struct HoverDustPuff {
    Vector position;
    Vector velocity;
    float start;
    float constant;
};
static_assert(sizeof(HoverDustPuff) == 32);
constexpr int kHoverDustMax = 2049;

// The buffer's animation, set by the dust module of the effects code (weapons/effects), which
// moves and draws the puffs: first sprite, frame count, frames a second, size at birth and growth
// a second.
struct HoverDustTiming {
    float baseTime = 0.0f;
    float lifetime = 2.0f;
    float rate = 1.0f;
    float constant = 0.0f;
    float growth = 0.0f;
};
HoverDustTiming& HoverDust_Timing();
// Appends a puff aged by age; dropped when the buffer is full or the puff would already be over.
void HoverDust_Add(const Vector& position, const Vector& velocity, float age);
int HoverDust_Count();
const HoverDustPuff* HoverDust_Puffs();
HoverDustPuff* HoverDust_MutablePuffs();
// Moves the last puff into slot i and shrinks the buffer by one (order is not kept).
void HoverDust_RemoveAt(int i);
// Empties the buffer (the effects code after drawing; tests).
void HoverDust_Clear();

// The ground-glow switch (off at start): thrust flames also light the ground under them.
void HoverCraft_SetGroundGlow(bool on);
bool HoverCraft_GroundGlow();

// The camera's position (the cockpit's camera; the user's craft until the camera exists).
bool HoverCraft_CameraPosition(Vector* out);
