// Person: a pilot on foot. Craft::EjectPilot and Craft::HopOut make one; it walks on the terrain,
// jumps, kneels to aim a sniper weapon, screams when hurt, dies with an animation and climbs into
// an empty craft by touching it. It is a Craft (physics record, hull, weapons, steering words)
// whose own update replaces the hover model with walking.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fun3d/craft.h"

// Physics flags of a person.
constexpr uint32_t kPersonAirborne = 0x4;   // off the ground after a jump or a fall
constexpr uint32_t kPersonOnGround = 0x80;  // standing on the terrain

// Entity flag: the kill of this person has been reported.
constexpr uint32_t kEntityKillReported = 0x4;

// Stance states (the craft's deploy state).
enum PersonStance : int32_t { kStanceStanding = 0, kStanceKneeling = 1, kStanceSniping = 2, kStanceGettingUp = 3 };

// Animation keys of a person's model.
enum PersonAnimation : int32_t {
    kAnimKneel = 0,
    kAnimGetUp = 1,
    kAnimStand = 2,
    kAnimSnipe = 3,
    kAnimWalkForward = 4,
    kAnimWalkBack = 5,
    kAnimSideLeft = 6,
    kAnimSideRight = 7,
    kAnimDying = 8,
};

// One motion profile: 1 in the sniper stance, 2 walking, 3 in the air.
struct PersonProfile {
    float angularDamping;
    float uprightStiffness;
    float pitchFromPitch;
    float pitchFromThrottle;
    float rollFromStrafe;
    float topForward;
    float topReverse;
    float topStrafe;
    float accelLimit;
    float turnRest;
    float turnSpeed;
    float yawGain;
    float jumpSpeed;
};
constexpr int kPersonProfileFloats = 13;
static_assert(sizeof(PersonProfile) == kPersonProfileFloats * sizeof(float));
constexpr int kPersonProfileCount = 3;
enum PersonProfileIndex : int { kProfileStance = 0, kProfileWalking = 1, kProfileAir = 2 };
// The definition keys of the three profiles, in field order; every legged kind reads its
// handling blocks under these keys, each with its own defaults.
extern const uint32_t kPersonProfileKeys[kPersonProfileCount][kPersonProfileFloats];
class OdfFile;
// Reads the three profile blocks from a definition, each field defaulting to the parent's.
void PersonProfile_ReadAll(OdfFile& odf, PersonProfile (&out)[kPersonProfileCount],
                           const PersonProfile (&defaults)[kPersonProfileCount]);

// The damage-scaled profile: damping, stiffness and the eight fields from top forward speed on
// take the class's value times the factor; the pitch and roll gains stay.
PersonProfile PersonProfile_Scaled(const PersonProfile& base, float factor);

constexpr int kPersonPainSounds = 6;
constexpr int kPersonBurnSounds = 2;
constexpr int kPersonDeathSounds = 5;
constexpr int32_t kPersonNetStateSize = 20;
// The kill message's kind for a person.
constexpr int kKillKindPerson = 80;

class PersonClass : public CraftClass {
public:
    // The prototype: "person" 'PERS' of the person category, pilot cost 1, no scrap.
    PersonClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    // Derived from the definition file, the prototype's values as defaults.
    PersonClass(PersonClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    PersonProfile profiles[kPersonProfileCount] = {};
    char painSounds[kPersonPainSounds][kCraftTextSize] = {};
    char burnSounds[kPersonBurnSounds][kCraftTextSize] = {};
    char deathSounds[kPersonDeathSounds][kCraftTextSize] = {};
    char squishSound[kCraftTextSize] = {};
    char jumpSound[kCraftTextSize] = {};
    char landSound[kCraftTextSize] = {};
    char stepSound[kCraftTextSize] = {};
    float walkAnimRate = 1.0f;
};

class Person : public Craft {
public:
    Person(Entity* entity, GameObjectClass* cls);
    ~Person() override;

    // ---- primary operations ---------------------------------------------------------------
    void Update(float dt) override;
    void PostUpdate(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    bool Save(FILE* stream) override;
    void SetSpeed(float target) override;
    void SetHeading(float s, float c) override;
    float GetAimAngle() override { return 1.0f; }
    bool StopReversing() override { return true; }
    void UpdateWeaponAim(float dt) override;
    void SetPerformance(float factor) override;

    // ---- network identity -----------------------------------------------------------------
    void Explode() override;
    float GetNetPriority(float time, float distance) override;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    // Whether a mounted weapon is a sniper weapon ('SNIP'); with armedOnly, an enabled one.
    bool HoldsSniperWeapon(bool armedOnly = false) const;
    PersonClass* Class() const;

    // ---- fields ---------------------------------------------------------------------------
    int32_t animIndex = -1;  // the current animation key, -1 none
    int animSlot = -1;       // the running animation object, -1 none
    float nextScream = 0.0f; // game time before which no pain sound plays
    PersonProfile profiles[kPersonProfileCount] = {};
    bool stepToggle = false;
    float aimPitch = 0.0f;

private:
    void ChooseAnimation(bool sniper, bool onGround);
    void PlaySteps();
    void ApplyForces(float dt, bool onGround, bool jump);
    void StandOnGround(float dt);
    void BuildNetworkVehicle();
    void Board(Craft* craft);
};

// What a person calls of the animation objects, the trail drawer and the network layer.
// Tests replace entries to watch the calls or to end animations when they choose.
struct PersonServices {
    // Starts the entity's animation of the key: the animation object, or -1.
    int (*animStart)(Entity* entity, int32_t key);
    // Stops the entity's animation object (one that is no longer the entity's is left alone).
    void (*animStop)(Entity* entity, int slot);
    // Whether the animation object has ended (a slot of -1 has).
    bool (*animEnded)(int slot);
    void (*animSetRate)(int slot, float rate);
    // A looping animation's frame position and its span (last - first); false when the slot
    // does not hold a looping animation.
    bool (*animLoopFrame)(int slot, float* position, float* span);
    // One sample of the airborne person's trail: its placement, shown for the duration.
    void (*trailAddSample)(const Matrix& placement, float duration);
    // The player's vehicle class name (6 characters at most).
    const char* (*playerVehicleName)();
    // The vehicle built for the landed user pilot, whose handle the respawn code waits for
    // (0: none).
    void (*setPendingVehicle)(uint32_t handle);
};
PersonServices& Person_Services();
void Person_ResetServices();

// The entity's person record, made with the entity (the person row of the class functions) and
// freed with it: freeing it destroys the person.
void* Person_NewRecord();
int Person_FreeRecord(void* data);

// ---- entity-side wrappers of the person's steering --------------------------------------------
void Person_SetTargetSpeed(Entity* entity, float speed);
void Person_SetHeading(Entity* entity, float angle);
float Person_GetAimAngle(Entity* entity);
// A person for a network creation record: the class the 8-character name finds built on the
// entity, on the team of the record's low three team bits. Null when it cannot be built.
Person* Person_BuildFromNet(Entity* entity, const char name[8], uint32_t teamBits);
