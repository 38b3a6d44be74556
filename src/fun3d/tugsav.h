// Two hover craft that run the craft's deploy state as a small state machine of their own.
//
// The SAV climbs to a high cruising altitude on request and comes back down on the next one;
// it drives itself with a simple model of its own (no ground contact) and has no pilot.
//
// The tug lowers a hook on request, picks up the nearest loose object under it, carries it at
// its tow node and sets it down upright on the terrain when the hook is raised again. The cargo
// link lives on both sides: the tug's `cargo`, and the cargo's `isCargo` and `carrier`.
#pragma once
#include <cstdint>

#include "fun3d/hovercraft.h"

// Definition keys.
constexpr uint32_t kOdfSavCruiseAltitude = 0x2D6A7A45u;
constexpr uint32_t kOdfTugFloat = 0x1292AC3Du;
constexpr uint32_t kOdfTugTextA8 = 0xB7295929u;
constexpr uint32_t kOdfTugTextB8 = 0xE52080C2u;
constexpr uint32_t kOdfTugTextB9 = 0x8019F006u;

// The model node the tug carries its cargo at.
constexpr int32_t kEntityTypeTowNode = 74;

// Deploy states of both kinds.
enum TugState : int32_t { kTugRaised = 0, kTugLowering = 1, kTugHooked = 2, kTugRaising = 3 };
enum SavState : int32_t { kSavGround = 0, kSavClimbing = 1, kSavCruising = 2, kSavDescending = 3 };

// The tug's pick-up reach (ground distance) and the time the hook waits with nothing caught.
constexpr float kTugPickupReach = 30.0f;
constexpr float kTugEmptyHookWait = 1.0f;
// The tug's own part of its network state: the cargo's network id and the state word.
constexpr int32_t kTugNetStateSize = 8;

class SAVClass : public HoverCraftClass {
public:
    SAVClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    SAVClass(SAVClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float cruiseAltitude = 150.0f;
};

class SAV : public HoverCraft {
public:
    SAV(Entity* entity, GameObjectClass* cls);

    bool HasPilot() override { return false; }
    void Update(float dt) override;

    // The altitude above the terrain the SAV is steering for.
    float targetAltitude = 0.0f;

private:
    // The motion step of steps 1..6 (controls, yaw, levelling, drive, altitude, move).
    void Fly(float dt);
    // Steps 7 and 8: the deploy states and the thrust sound.
    void StepState(float h);
    void UpdateThrustSound();
};

class TugClass : public HoverCraftClass {
public:
    TugClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    TugClass(TugClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float tugFloat = 4.0f;
};

class Tug : public HoverCraft {
public:
    Tug(Entity* entity, GameObjectClass* cls);
    // Lets go of the cargo (set on the terrain), so no object is left linked to a freed tug.
    ~Tug() override;

    float GetAmmoRatio() override { return cargo ? 1.0f : 0.0f; }
    bool HandleRequest(int32_t code) override;
    int32_t GetCommandForTarget(GameObject* other) override;
    void Update(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;
    void BuildCommandList() override;
    void Explode() override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    uint32_t GetCargo() const;
    // Changes the cargo (null: none). The old one is released and put on the terrain height.
    void SetCargo(GameObject* object);
    // Whether the object may become this tug's cargo: live, not the tug, not a tug of its carry
    // chain and not another's cargo. The pick-up also asks for an entity reference and no AI.
    bool MayCarry(const GameObject* object) const;
    // The pick-up search over the object grid; the chosen object becomes the cargo.
    void PickUp();
    // The cargo set down upright on the terrain, at rest, and released.
    void SetDown();
    // The cargo placed at the tow node and given the tug's motion.
    void CarryCargo();

    GameObject* cargo = nullptr;
    float tugFloat = 4.0f;
    int animSlot = -1;
    float timer = 0.0f;
    float lowerTime = 0.1f;
    float raiseTime = 0.1f;
    Entity* towNode = nullptr;
    Entity* cargoEntity = nullptr;

private:
    GameObject* loadedCargo_ = nullptr;  // the saved cargo until the post-load links it
    void StartAnim(int32_t key);
    bool AnimEnded() const;
};

// The cargo's links cut from both sides without moving it: the object is going away.
void Tug_ForgetCargo(GameObject* tug, GameObject* cargo);
// The carrying tug lets go of the cargo (set on the terrain height).
void Tug_ReleaseCargo(GameObject* tug, GameObject* cargo);
