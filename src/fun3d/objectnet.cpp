#include "fun3d/objectnet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/registration.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "platform/clock.h"

namespace {

constexpr float kPublishAfter = 60.0f;
constexpr float kRefreshAfter = 30.0f;
constexpr uint32_t kByteRateRefreshMs = 1000;
constexpr int32_t kRecordHeaderNamed = 28;
constexpr int32_t kRecordHeaderCoded = 21;

char g_classNames[kObjSyncClassNames][8] = {};
bool g_classNameFilled[kObjSyncClassNames] = {};
uint16_t g_localSender = kNoPlayer;
uint32_t (*g_wallClock)() = nullptr;
bool g_refreshed = false;
uint32_t g_lastRefreshMs = 0;

uint32_t WallClock() { return g_wallClock ? g_wallClock() : Plat_Milliseconds(); }

void PutWord(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

float GetFloat(const uint8_t* in) {
    float value;
    std::memcpy(&value, in, sizeof value);
    return value;
}

int16_t WholeUnits(float value) {
    if (!(value == value)) return 0;
    return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

bool SameName(const char a[8], const char b[8]) {
    for (int i = 0; i < 8; ++i) {
        const char x = static_cast<char>(a[i] & 0x7F), y = static_cast<char>(b[i] & 0x7F);
        if (x != y) return false;
        if (x == '\0') return true;
    }
    return true;
}

}  // namespace

// ---- sending --------------------------------------------------------------------------------

int32_t Net_SendToAll(const uint8_t* data, int32_t length) {
    NetSeam& net = Seam_Net();
    const int32_t result = net.sendMessage(0, data, length);
    if (result != 0) return result;
    const uint32_t now = WallClock();
    if (!g_refreshed || now - g_lastRefreshMs >= kByteRateRefreshMs) {
        g_refreshed = true;
        g_lastRefreshMs = now;
        net.refreshByteRate();
    }
    return 0;
}

void Net_SetLocalSender(uint16_t player) { g_localSender = player; }
uint16_t Net_GetLocalSender() { return g_localSender; }
void Net_SetWallClock(uint32_t (*clock)()) { g_wallClock = clock; }

// ---- class-name codes -----------------------------------------------------------------------

uint8_t ObjSync_EncodeClassName(const char name[8]) {
    if (!name) return 0;
    for (int i = 0; i < kObjSyncClassNames; ++i)
        if (g_classNameFilled[i] && SameName(g_classNames[i], name)) return static_cast<uint8_t>(kObjSyncFirstCode + i);
    return 0;
}

const char* ObjSync_DecodeClassName(uint8_t code) {
    const int index = code - kObjSyncFirstCode;
    if (index < 0 || index >= kObjSyncClassNames || !g_classNameFilled[index]) return nullptr;
    return g_classNames[index];
}

void ObjSync_SetClassName(int index, const char name[8]) {
    if (index < 0 || index >= kObjSyncClassNames || !name) return;
    std::memset(g_classNames[index], 0, 8);
    for (int i = 0; i < 8 && name[i]; ++i) g_classNames[index][i] = name[i];
    g_classNameFilled[index] = true;
}

void ObjectNet_Reset() {
    std::memset(g_classNames, 0, sizeof g_classNames);
    std::memset(g_classNameFilled, 0, sizeof g_classNameFilled);
    g_localSender = kNoPlayer;
    g_wallClock = nullptr;
    g_refreshed = false;
    g_lastRefreshMs = 0;
}

// ---- publish defaults -----------------------------------------------------------------------

float NetObject_DefaultPriority(const NetObject& object, float time) { return time - object.firstSeenTime; }

bool NetObject_DefaultPublishDue(NetObject& object, float time) {
    if (time < object.firstSeenTime) object.firstSeenTime = time;
    return object.mustPublish != 0 || time - object.firstSeenTime > kPublishAfter;
}

float GameObject::GetNetPriority(float time, float) { return NetObject_DefaultPriority(*this, time); }
bool GameObject::IsPublishDue(float time) { return NetObject_DefaultPublishDue(*this, time); }
bool GameObject::IsRefreshDue() { return Clock_GetTime() - lastSendTime > kRefreshAfter; }

// ---- GameObject members ---------------------------------------------------------------------

const char* GameObject::GetPlayerName() const {
    if (!Seam_Net().isNetworkGame() || playerId == kNoPlayer) return nullptr;
    return Seam_Net().playerName(playerId);
}

const char* GameObject::GetOwnerName() const { return Seam_Net().playerName(playerId); }

void GameObject::ReportKill(uint16_t killerPlayer) const { Seam_Net().reportKill(playerId, killerPlayer); }

void GameObject::ReportKillBy(const GameObject* killer) const {
    ReportKill(killer ? killer->GetPlayerId() : kNoPlayer);
}

void GameObject::SendRemoteCommand(int32_t code, const AiCmdInfo& command, const Vector* point) {
    if (ownership != kNetOwnedRemote || playerId == kNoPlayer || !Seam_Net().isNetworkGame()) return;
    uint8_t message[kRemoteCommandSize] = {'C', 'O'};
    PutWord(message + 2, netId);
    PutWord(message + 6, static_cast<uint32_t>(code));
    const GameObject* target = FromHandleRaw(command.who);
    PutWord(message + 10, target ? target->GetNetId() : 0u);
    PutWord(message + 14, static_cast<uint32_t>(command.param));
    const Vector at = point ? *point : Vector{0.0f, 0.0f, 0.0f};
    const uint16_t x = static_cast<uint16_t>(WholeUnits(at.x)), z = static_cast<uint16_t>(WholeUnits(at.z));
    PutWord(message + 18, static_cast<uint32_t>(x) | static_cast<uint32_t>(z) << 16);
    Seam_Net().sendMessage(playerId, message, kRemoteCommandSize);
}

bool GameObject::ReceiveRecord(uint16_t sender, const uint8_t* record, int32_t length) {
    if (playerId == kNoPlayer) playerId = sender;
    if (!record || length < 2) return false;
    const uint8_t flags = record[1];
    if (flags & 0x3) return true;
    const int32_t header = static_cast<int8_t>(flags) < 0 ? kRecordHeaderCoded : kRecordHeaderNamed;
    // The state follows the header: a record too short to hold the header is dropped.
    if (length < header) return false;
    UnpackNetExtra(record + header, length - header);
    return true;
}

// ---- the network marker ---------------------------------------------------------------------

void NetGhost::TearDown() { Seam_Net().publishState(this); }

void NetGhost::Explode() {
    ownership = kNetUnowned;
    Seam_Net().forgetRemote(this);
}

float NetGhost::GetNetPriority(float time, float) { return NetObject_DefaultPriority(*this, time); }
bool NetGhost::IsPublishDue(float time) { return NetObject_DefaultPublishDue(*this, time); }

void NetGhost::PackNetExtra(uint8_t* buffer, int32_t& length) {
    std::memcpy(buffer + length, &position.x, 4);
    std::memcpy(buffer + length + 4, &position.y, 4);
    std::memcpy(buffer + length + 8, &position.z, 4);
    length += kNetGhostExtraSize;
}

void NetGhost::UnpackNetExtra(const uint8_t* data, int32_t length) {
    if (!data || length < kNetGhostExtraSize) return;
    position = Vector{GetFloat(data), GetFloat(data + 4), GetFloat(data + 8)};
    if (placed) return;
    Terrain_Scorch(position.x, position.z);
    placed = 1;
}

NetGhost* NetGhost_Create(float x, float y, float z) {
    auto* ghost = new NetGhost();
    ghost->position = Vector{x, y, z};
    Seam_Net().registerObject(ghost);
    return ghost;
}

// ---- loaded objects -------------------------------------------------------------------------

void GameObject_RegisterNetObjects(bool host) {
    GameObject* user = GameObject_GetUser();
    const std::vector<GameObject*> objects = GameObject_List();
    for (GameObject* object : objects) {
        if (object == user || !object->objClass) continue;
        const uint32_t sig = object->objClass->signature;
        if (sig == Signature("SPWN") || sig == Signature("GEIZ"))
            continue;
        object->ownership = host ? kNetOwnedHere : kNetOwnedRemote;
        Seam_Net().registerObject(object);
    }
    if (user) {
        user->ownership = kNetOwnedHere;
        Seam_Net().registerObject(user);
    }
}
