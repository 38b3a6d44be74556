// The torpedo: a small hovering object that a launcher sends after a target. It skims the
// ground at its hover height on a cushion of lift, levels itself, turns by the steering its
// brain gives it and drives toward its cruise speed. Six probes under its body bounce it off the
// terrain. When its life runs out (or it is shot down) it sputters in small bursts and then
// blows up with its blast; running into its own target blows it up at once.
//
// The kind derives from the power-up: it has the power-up's vehicle record, damage, network
// state and save fields, and replaces the motion with its own.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fun3d/powerup.h"

class ExplosionClass;

constexpr uint32_t kOdfTorpedoHoverHeight = 0x4F358485u;
constexpr uint32_t kOdfTorpedoLevelGain = 0x0B8ADD2Au;
constexpr uint32_t kOdfTorpedoSpinDamping = 0x473D5031u;
constexpr uint32_t kOdfTorpedoCruiseSpeed = 0x9410FCFFu;
constexpr uint32_t kOdfTorpedoMaxAccel = 0xE94C7C19u;
constexpr uint32_t kOdfTorpedoTurnRate = 0x4AD4B447u;
constexpr uint32_t kOdfTorpedoTurnTorque = 0x19B84820u;
constexpr uint32_t kOdfTorpedoLifetime = 0x7C7C544Bu;
constexpr uint32_t kOdfTorpedoBlastClass = 0xD61BC22Bu;
constexpr uint32_t kOdfTorpedoEngineSound = 0x48B2E796u;

constexpr int kTorpedoSoundSize = 16;
// How long a torpedo whose life ran out (or that was shot down) sputters before it blows up.
constexpr float kTorpedoDeathBurstTime = 0.5f;
// The engine is heard within this distance of the listener.
constexpr float kTorpedoEngineRange = 150.0f;
// A blast this close above the terrain scorches it.
constexpr float kTorpedoScorchHeight = 5.0f;
// Saves up to this version carry the torpedo's probe points; later ones up to
// kTorpedoPlainObjectLast hold only the object's fields (with one retired integer from
// kTorpedoRetiredWordFirst on); later ones the power-up's.
constexpr int32_t kTorpedoProbeBlockLast = 1018;
constexpr int32_t kTorpedoRetiredWordFirst = 1028;
constexpr int32_t kTorpedoPlainObjectLast = 1030;
constexpr int kTorpedoProbeBlockSize = kPowerUpProbeCount * 12;

class TorpedoClass : public PowerUpClass {
public:
    TorpedoClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    TorpedoClass(TorpedoClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float hoverHeight = 1.0f;
    float levelGain = 20.0f;
    float spinDamping = 5.0f;
    float cruiseSpeed = 25.0f;
    float maxAccel = 10.0f;
    float turnRate = 1.0f;
    float turnTorque = 5.0f;
    float lifetime = 60.0f;  // seconds
    ExplosionClass* blastClass = nullptr;
    char engineSound[kTorpedoSoundSize] = {};
};

class Torpedo : public PowerUp {
public:
    Torpedo(Entity* entity, GameObjectClass* cls);

    // Multiplies the handling values from levelGain to turnTorque by the factor.
    void Scale(float factor);

    // One step: life, ground cushion, levelling, turning, thrust, motion, terrain probes, then
    // the death bursts or the engine sound.
    void Update(float dt) override;
    // A contact with another object (or, from the probes, with the terrain: other null).
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    // Running into its own target kills it without bursts; the velocity is reflected and halved
    // and the contact turns it.
    void OnCollide(Entity* other, const CollisionBody& contact);
    // Blows up: the blast (owned by the launcher when it still lives, else by the torpedo), a
    // scorch when it is near the terrain, and the torpedo goes.
    void Destroy();

    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    float GetNetPriority(float time, float distance) override;
    bool Load() override;

    float hoverHeight = 0.0f;
    float levelGain = 0.0f;
    float spinDamping = 0.0f;
    float cruiseSpeed = 0.0f;
    float maxAccel = 0.0f;
    float turnRate = 0.0f;
    float turnTorque = 0.0f;
    float lifetime = 0.0f;
    float deathBurstTimer = kTorpedoDeathBurstTime;
    void* engineLoop = nullptr;
};

// The six probe points of a body: the four lower corners of its box and the middles of its two
// lower long sides (x = min and max, halfway along z). The box is the class's measured one, else
// a cube around the entity's bounds.
void Torpedo_ProbePoints(const GameObjectClass* cls, const Entity* entity, Vector out[kPowerUpProbeCount]);
