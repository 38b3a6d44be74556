// The network identity every game object carries, and the operations through which the
// multiplayer code reaches an object without knowing its kind. GameObject fills them; a kind
// that overrides one keeps its name.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "fun3d/damageinfo.h"

struct Entity;
struct EntityTableRecord;
class GameObjectClass;

// Ownership states.
constexpr int32_t kNetUnowned = 0;
constexpr int32_t kNetOwnedHere = 1;
constexpr int32_t kNetOwnedRemote = 2;

class NetObject {
public:
    NetObject() = default;
    virtual ~NetObject();
    NetObject(const NetObject&) = delete;
    NetObject& operator=(const NetObject&) = delete;

    virtual GameObjectClass* GetClass() = 0;
    virtual int32_t GetTeam() = 0;
    virtual void ChangeTeam(int32_t team) = 0;
    virtual Vector GetPosition() = 0;
    // Takes the object out of the world; the object may be gone when it returns.
    virtual void TearDown() = 0;
    virtual void Explode() = 0;
    // How urgently a state update should go out; below 0: do not send.
    virtual float GetNetPriority(float time, float distance) = 0;
    virtual float GetHealthRatio() = 0;
    virtual bool IsRecycleRequested() = 0;
    virtual void RequestRecycle() = 0;
    virtual void OnNetNotice(int32_t argument) = 0;
    virtual EntityTableRecord* GetEntityRecord() = 0;
    virtual Entity* GetEntity() = 0;
    virtual int32_t NetQuery() = 0;
    // Applies a hit; true when it destroyed the object. offset: from the blast centre or the
    // contact point, or null.
    virtual bool TakeDamage(DamageInfo* damage, const Vector* offset) = 0;
    // The state message: appended at buffer + length (length updated), and read back.
    virtual void PackNetState(uint8_t* buffer, int32_t& length) = 0;
    virtual void UnpackNetState(const uint8_t* data, int32_t length) = 0;
    // The second, smaller state record.
    virtual void PackNetExtra(uint8_t* buffer, int32_t& length) = 0;
    virtual void UnpackNetExtra(const uint8_t* data, int32_t length) = 0;
    virtual bool IsPublishDue(float time) = 0;
    virtual bool IsRefreshDue() = 0;

    uint8_t playerObject = 0;     // set on the craft a network player flies
    uint8_t recycleRequest = 0;   // set by RequestRecycle; the craft update acts on it
    uint16_t playerId = kNoPlayer;
    uint32_t netId = 0;           // owner << 16 | running counter
    int32_t ownership = kNetUnowned;
    float timeAccumulator = 0.0f;  // simulation time not yet stepped
    float smoothingMark = -1.0f;   // -1: no network matrix has arrived
    Matrix networkMatrix{};        // the matrix of the last state message
    float firstSeenTime = 0.0f;
    uint8_t mustPublish = 0;
    float lastSendTime = 0.0f;
    float lastSentHealthRatio = 0.0f;
};
