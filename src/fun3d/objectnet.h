// The game-object side of the multiplayer object exchange: sending to every player, the class
// name codes of the state records, the network marker (NetGhost) and the registration of
// loaded objects. The GameObject members that belong here (accessors, "CO", ReceiveRecord and
// the publish defaults) are declared in gameobject.h.
#pragma once
#include <cstdint>

#include "core/mathlib.h"
#include "fun3d/netobject.h"

constexpr int kObjSyncClassNames = 102;
constexpr uint8_t kObjSyncFirstCode = 128;
constexpr int32_t kRemoteCommandSize = 22;
constexpr int32_t kNetGhostExtraSize = 12;
constexpr int kNoSession = 3;

// Sends to every player: 0, or the send's error (3 without a session). After a successful send
// the session's byte-rate statistic is refreshed, at most once per 1,000 ms of wall time.
int32_t Net_SendToAll(const uint8_t* data, int32_t length);
// The player id messages are sent from.
void Net_SetLocalSender(uint16_t player);
uint16_t Net_GetLocalSender();
// The wall clock (milliseconds) of the statistic refresh; null puts the platform's back.
void Net_SetWallClock(uint32_t (*clock)());

// 128 + the name's index in the table (8 characters compared with bit 7 of every byte cleared);
// 0 when it is absent.
uint8_t ObjSync_EncodeClassName(const char name[8]);
// The 8-character entry of a code 128..229 (not terminated when 8 long); null for any other code
// and for an entry not filled.
const char* ObjSync_DecodeClassName(uint8_t code);
// The multiplayer code fills the table; an index outside 0..101 changes nothing.
void ObjSync_SetClassName(int index, const char name[8]);
// Empties the table and forgets the sender and the refresh time (state reset).
void ObjectNet_Reset();

// A position-only object that marks a spot for every player: it has no entity, class or team.
class NetGhost : public NetObject {
public:
    GameObjectClass* GetClass() override { return nullptr; }
    int32_t GetTeam() override { return 0; }
    void ChangeTeam(int32_t) override {}
    Vector GetPosition() override { return position; }
    void TearDown() override;
    void Explode() override;
    float GetNetPriority(float time, float distance) override;
    float GetHealthRatio() override { return 1.0f; }
    bool IsRecycleRequested() override { return recycleRequest != 0; }
    void RequestRecycle() override { recycleRequest = 1; }
    void OnNetNotice(int32_t) override {}
    EntityTableRecord* GetEntityRecord() override { return nullptr; }
    Entity* GetEntity() override { return nullptr; }
    int32_t NetQuery() override { return 0; }
    bool TakeDamage(DamageInfo*, const Vector*) override { return false; }
    void PackNetState(uint8_t*, int32_t&) override {}
    void UnpackNetState(const uint8_t*, int32_t) override {}
    // The 12-byte position; reading it the first time scorches the ground at the spot.
    void PackNetExtra(uint8_t* buffer, int32_t& length) override;
    void UnpackNetExtra(const uint8_t* data, int32_t length) override;
    bool IsPublishDue(float time) override;
    bool IsRefreshDue() override { return false; }

    Vector position{};
    uint8_t placed = 0;
};
// A marker at the position, registered on the network. The network code owns it.
NetGhost* NetGhost_Create(float x, float y, float z);

// The publish defaults every object shares.
float NetObject_DefaultPriority(const NetObject& object, float time);
bool NetObject_DefaultPublishDue(NetObject& object, float time);

// Network identities for the loaded objects (see the objects seam).
void GameObject_RegisterNetObjects(bool host);
