#include "weapons/ordnance.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/netpack.h"
#include "weapons/explosion.h"

namespace {

// Definition keys of the ordnance base.
constexpr uint32_t kOdfGeometry = 0x6f31d8a1;
constexpr uint32_t kOdfExplosionDefault = 0x5acba4c4;
constexpr uint32_t kOdfExplosionTypeA = 0x1564c7e9;
constexpr uint32_t kOdfExplosionTypeB = 0x427beb6f;
constexpr uint32_t kOdfIntParam = 0xe4af0ab6;
constexpr uint32_t kOdfLifetime = 0x7c7c544b;
constexpr uint32_t kOdfFloatParam = 0xcafe92d0;
constexpr uint32_t kOdfDamage[4] = {0x5be2a777, 0x7c8a1300, 0x52fd4a53, 0x38720d72};
constexpr uint32_t kOdfFlightSound = 0x541f3a64;
constexpr uint32_t kOdfReportHits = 0x092dacba;

constexpr uint32_t kOrdnanceOwnerFlags = 0x70000;
constexpr uint32_t kClassEntityFlags = 0x101;
constexpr uint32_t kEntityHitFlag = 0x2;
constexpr uint32_t kFlightSoundFlags = 0x1001;
constexpr uint32_t kReliable = 1;

// One "RO" message: the two letters and what a one-byte prefix length can carry.
constexpr int kMessageBuffer = 512;
constexpr int kLargestBody = 254;
// One record: 8 name bytes, the placement, serial, owner, time and the kind's state.
constexpr int kRecordFixed = kNetPackOrdnanceSize + 2 + 4 + 4;
constexpr int kRecordRoom = 8 + kRecordFixed + 32;
// "xo": the two letters and at most 127 pairs in 512 bytes.
constexpr int kExpirePairsPerMessage = 127;

// Catching a received shot up: steps of 0.05 s, at most 10 s of them.
constexpr float kCatchUpStep = 0.05f;
constexpr float kCatchUpLongest = 10.0f;
constexpr int kCatchUpMostSteps = 200;
constexpr float kFutureLimit = -5.0f;

std::list<Ordnance*>& LiveList() {
    static std::list<Ordnance*> list;
    return list;
}

// The network map: (player, serial) to the live shot. A removed shot leaves a tombstone (no
// shot, its launch time) so that a late launch record cannot bring back a shot that already hit.
struct MapEntry {
    Ordnance* shot;
    float launchTime;
};
std::map<uint32_t, MapEntry>& NetMap() {
    static std::map<uint32_t, MapEntry> map;
    return map;
}
uint32_t Key(uint16_t player, uint16_t serial) { return uint32_t(player) << 16 | serial; }

uint16_t g_serial = 0;

// The frame time a received record is caught up against (tests set their own).
float g_testFrameTime = -1.0f;
float FrameTime() { return g_testFrameTime >= 0.0f ? g_testFrameTime : Clock_GetFrameTime(); }

bool IsNetworkGame() { return Seam_Net().isNetworkGame(); }

void NameEntity(Entity* e, const ClassName& name) {
    std::memcpy(e->name, &name.words[0], 4);
    std::memcpy(e->name + 4, &name.words[1], 4);
}

ExplosionClass* FindExplosion(const OdfFile& odf, uint32_t key, ExplosionClass* fallback, bool* given) {
    char name[8];
    const char none[8] = {};
    odf.GetName8(key, name, none);
    char text[9] = {};
    std::memcpy(text, name, 8);
    if (!text[0]) return fallback;
    *given = true;
    return ExplosionClass::Find(text);
}

void Log(const char* format, double value, double second = 0.0) {
    char text[96];
    std::snprintf(text, sizeof text, format, value, second);
    Seam_Net().debugLog(text);
}

}  // namespace

// ---- common names ---------------------------------------------------------------------------

uint8_t Ordnance_NameToCode(const ClassName& name) {
    const auto ids = Registration_OrdnanceIds();
    for (size_t i = 0; i < ids.size() && i < kOrdnanceCommonNames; ++i)
        if (ClassName_From(ids[i]) == name) return static_cast<uint8_t>(kOrdnanceFirstCode + i);
    return 0;
}

ClassName Ordnance_CodeToName(uint8_t code) {
    const auto ids = Registration_OrdnanceIds();
    const int index = code - kOrdnanceFirstCode;
    if (index < 0 || index >= kOrdnanceCommonNames || index >= static_cast<int>(ids.size())) return ClassName{};
    return ClassName_From(ids[index]);
}

// ---- ordnance classes -----------------------------------------------------------------------

OrdnanceClass::OrdnanceClass(const char* classLabel, uint32_t classSignature) {
    InitPrototype(this, classLabel, classSignature);
}

OrdnanceClass::OrdnanceClass(OrdnanceClass* from, const ClassName& name) {
    InitDerived(this, from, name);
    OdfFile odf(fileName);

    templateEntity = Entity_New(nullptr);
    templateEntity->type = kTypeOrdnance;
    char geometry[17] = {};
    odf.GetString(kOdfGeometry, geometry, sizeof geometry, "");
    if (geometry[0]) {
        GeomList_Add(templateEntity, geometry, 0, 0);
        Vector low{}, high{};
        Entity_ComputeExtents(templateEntity, low, high);
        templateEntity->boxMin = low;
        templateEntity->boxMax = high;
        templateEntity->boundsCentre = Vector{(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f};
        const Vector& c = templateEntity->boundsCentre;
        templateEntity->boundsRadius = Entity_ComputeRadius(templateEntity, c.x, c.y, c.z);
    }

    classEntity = Entity_New(nullptr);
    NameEntity(classEntity, odfName);
    classEntity->flags = kClassEntityFlags;
    classEntity->type = kTypeOrdnance;
    Entities_Add(classEntity, Entities_NewInstanceNumber(odfName.words[0], odfName.words[1]), nullptr, nullptr);

    poolEntity = Entity_New(nullptr);
    NameEntity(poolEntity, odfName);

    // A missing or empty name takes the prototype's default explosion for all three.
    bool given = false;
    explosionDefault = FindExplosion(odf, kOdfExplosionDefault, from->explosionDefault, &given);
    explosionTypeA = FindExplosion(odf, kOdfExplosionTypeA, from->explosionDefault, &given);
    explosionTypeB = FindExplosion(odf, kOdfExplosionTypeB, from->explosionDefault, &given);

    odf.GetInt(kOdfIntParam, &ordIntParam, from->ordIntParam);
    odf.GetFloat(kOdfLifetime, &lifetime, from->lifetime);
    odf.GetFloat(kOdfFloatParam, &ordFloatParam, from->ordFloatParam);
    for (int i = 0; i < 4; ++i) odf.GetInt(kOdfDamage[i], &damage[i], from->damage[i]);
    odf.GetString(kOdfFlightSound, flightSound, sizeof flightSound, from->flightSound);
    int report = 0;
    odf.GetInt(kOdfReportHits, &report, from->reportHits ? 1 : 0);
    reportHits = report != 0;
}

OrdnanceClass::~OrdnanceClass() {
    Unlist(this);
    // The pool holds the spent shots; releasing it deletes them through the remove handler. The
    // class entity sits in the world entity table, whose reset releases it.
    if (poolEntity) Entity_Release(poolEntity);
    if (templateEntity) Entity_Release(templateEntity);
    poolEntity = templateEntity = nullptr;
}

OrdnanceClass* OrdnanceClass::ReadOdf(const ClassName& name) { return new OrdnanceClass(this, name); }

Ordnance* OrdnanceClass::MakeObject(Entity* entity) { return new Ordnance(entity, this); }

int OrdnanceClass::StateSize(const uint8_t*, int) { return 0; }

Ordnance* OrdnanceClass::Build(const Matrix& matrix, Entity* ownerEntity) {
    Ordnance* shot = nullptr;
    if (poolEntity && poolEntity->child) {
        Entity* reused = poolEntity->child;
        Entity_Detach(reused);
        shot = static_cast<Ordnance*>(reused->classData);
    }
    if (!shot) {
        Entity* e = Entity_New(nullptr);
        NameEntity(e, odfName);
        if (templateEntity && templateEntity->geomList.count > 0) {
            GeomList_CopyFromDef(templateEntity, e);
            e->boxMin = templateEntity->boxMin;
            e->boxMax = templateEntity->boxMax;
            e->boundsCentre = templateEntity->boundsCentre;
            e->boundsRadius = templateEntity->boundsRadius;
        }
        e->type = kTypeOrdnance;
        shot = MakeObject(e);
        e->classData = shot;
    }
    shot->Launch(matrix, ownerEntity);
    return shot;
}

void OrdnanceClass::MakePrototypes() {
    for (const ClassLabel& row : Registration_OrdnanceClasses())
        AddPrototype(Ordnance_MakePrototype(row.label, row.signature));
}

void OrdnanceClass_FreeAll() { OrdnanceClass::FreeAll(); }

// ---- ordnance ---------------------------------------------------------------------------------

Ordnance::Ordnance(Entity* e, OrdnanceClass* cls) : ordnanceClass(cls), entity(e) { EntityDynamics_Init(motion); }

Ordnance::~Ordnance() {
    if (listed_) LiveList().erase(listPosition_);
    listed_ = false;
    if (keyed_) {
        auto it = NetMap().find(Key(netPlayer, netSerial));
        if (it != NetMap().end() && it->second.shot == this) NetMap().erase(it);
    }
    if (entity && entity->classData == this) entity->classData = nullptr;
}

bool Ordnance::IsDead() const { return entity && (entity->flags & kEntityDead); }

void Ordnance::Launch(const Matrix& matrix, Entity* ownerEntity) {
    const OrdnanceClass& cls = *ordnanceClass;
    entity->flags = ownerEntity ? ownerEntity->flags & kOrdnanceOwnerFlags : 0;
    // In a network game this machine flies the path the others rebuild from the packed record.
    entity->local = IsNetworkGame() ? NetPack_RoundTripOrdnance(matrix) : matrix;
    if (cls.classEntity) Entity_AttachChild(entity, cls.classEntity);

    damageInfo = DamageInfo{};
    damageInfo.source = ownerEntity;
    damageInfo.carrier = entity;
    damageInfo.playerId = kNoPlayer;
    uint16_t kind = 0;
    if (ownerEntity) {
        if (ownerEntity->flags & (kEntityUser | 0x20)) kind |= kDamageUserSide;
        if (const GameObject* object = GameObject_FromEntity(ownerEntity)) {
            if (object->IsRemote()) kind |= kDamageExtraKind;
            damageInfo.playerId = object->GetPlayerId();
        }
    }
    float amount = 0.0f;
    for (int i = 0; i < 4; ++i) {
        if (cls.damage[i] != 0) kind |= static_cast<uint16_t>(1u << i);
        amount += static_cast<float>(cls.damage[i]);
    }
    damageInfo.kind = kind;
    damageInfo.amount = amount;

    owner = ownerEntity;
    ownerId = ownerEntity ? ownerEntity->id : 0;
    if (ownerEntity) Entity_AddRefTree(ownerEntity);

    EntityDynamics_Init(motion);
    lifeLeft = cls.lifetime;
    sound = nullptr;
    if (cls.flightSound[0]) {
        char name[17] = {};
        std::memcpy(name, cls.flightSound, sizeof cls.flightSound);
        sound = Seam_Audio().soundPlay(name, entity, kFlightSoundFlags, 0);
    }

    if (!listed_) {
        LiveList().push_front(this);
        listPosition_ = LiveList().begin();
        listed_ = true;
    }
    catchUp = 0.0f;

    if (IsNetworkGame()) {
        netState = kOrdnanceNew;
        Ordnance_Rekey(this, Seam_Net().localPlayerId(), ++g_serial);
    } else {
        netState = kOrdnanceNew;
    }
    launchMatrix = entity->local;
    launchTime = Clock_GetTime();
    ++launches;
}

void Ordnance::Remove() {
    Entity_Detach(entity);
    if (ordnanceClass->poolEntity) Entity_AttachChild(entity, ordnanceClass->poolEntity);
    if (owner) {
        if (owner->id != ownerId) {
            char ownerName[9] = {};
            std::memcpy(ownerName, owner->name, 8);
            Debug_Printf("Ord owner (%s) died before ord (%s)\n", ownerName, ordnanceClass->fileName);
        }
        // Every owner is held by one reference from the launch; it goes here, whatever the kind.
        Entity_Unref(owner);
        owner = nullptr;
    }
    if (listed_) LiveList().erase(listPosition_);
    listed_ = false;
    // The key stays as a tombstone: a late launch record must not rebuild a shot that is gone.
    if (keyed_) {
        auto it = NetMap().find(Key(netPlayer, netSerial));
        if (it != NetMap().end() && it->second.shot == this) it->second = MapEntry{nullptr, launchTime};
        keyed_ = false;
    }
    while (Seam_Audio().soundStopAttached(entity)) {
    }
    sound = nullptr;
}

void Ordnance::Update(float) {}
void Ordnance::Step(float) {}
void Ordnance::Hit(Entity*, const Vector&) {}
void Ordnance::Render(RenderView*) {}
int Ordnance::PackState(uint8_t*, int) { return 0; }
int Ordnance::UnpackState(const uint8_t*, int) { return 0; }

// ---- the network map --------------------------------------------------------------------------

void Ordnance_Rekey(Ordnance* shot, uint16_t player, uint16_t serial) {
    auto& map = NetMap();
    if (shot->keyed_) {
        auto it = map.find(Key(shot->netPlayer, shot->netSerial));
        if (it != map.end() && it->second.shot == shot) map.erase(it);
    }
    shot->netPlayer = player;
    shot->netSerial = serial;
    map[Key(player, serial)] = MapEntry{shot, shot->launchTime};
    shot->keyed_ = true;
}

Ordnance* Ordnance_FindByKey(uint16_t player, uint16_t serial) {
    auto it = NetMap().find(Key(player, serial));
    return it == NetMap().end() ? nullptr : it->second.shot;
}

size_t Ordnance_MapSize() { return NetMap().size(); }
uint16_t Ordnance_SerialCounter() { return g_serial; }
uint16_t Ordnance_NextSerial() { return ++g_serial; }

bool Ordnance_IsFlight(const Ordnance* shot, uint32_t launches) {
    if (!shot) return false;
    // Found on the list before it is read: a shot that is not listed may be gone altogether.
    for (const Ordnance* live : LiveList())
        if (live == shot) return shot->launches == launches;
    return false;
}

// ---- the frame passes -------------------------------------------------------------------------

const std::list<Ordnance*>& Ordnance_LiveList() { return LiveList(); }

void Ordnance_UpdateAll(float dt) {
    const bool network = IsNetworkGame();
    const uint16_t local = network ? Seam_Net().localPlayerId() : kNoPlayer;
    std::vector<uint8_t> pairs;
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Ordnance* shot = *it++;
        if (shot->IsDead()) {
            if (network && shot->netPlayer != local && (shot->entity->flags & kEntityHitFlag) &&
                shot->ordnanceClass->reportHits) {
                Bytes_AppendU16(pairs, shot->netPlayer);
                Bytes_AppendU16(pairs, shot->netSerial);
            }
            shot->Remove();
        } else {
            shot->Update(dt);
        }
    }
    // One message holds 127 pairs; more go in further messages.
    for (size_t at = 0; at < pairs.size(); at += 4 * kExpirePairsPerMessage) {
        const size_t count = std::min(pairs.size() - at, size_t{4 * kExpirePairsPerMessage});
        std::vector<uint8_t> message{'x', 'o'};
        message.insert(message.end(), pairs.begin() + static_cast<long>(at), pairs.begin() + static_cast<long>(at + count));
        Seam_Net().sendReliable(0, kReliable, message.data(), static_cast<int>(message.size()));
    }
}

void Ordnance_StepAll(float dt) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Ordnance* shot = *it++;
        shot->catchUp += dt;
        if (shot->catchUp > 0.0f) {
            shot->Step(shot->catchUp);
            shot->catchUp = 0.0f;
        }
    }
}

void Ordnance_SendNew() {
    NetSeam& net = Seam_Net();
    net.clearQueuedOrdnance();
    // The message must fit the buffer, the session's limit and the one-byte prefix length that
    // carries its body (rounded up to even: 254 bytes at most).
    int limit = std::min(kMessageBuffer, 2 + kLargestBody);
    const int sessionLimit = net.maxMessageSize();
    if (sessionLimit < limit) limit = sessionLimit;
    uint8_t message[kMessageBuffer];
    message[0] = 'R';
    message[1] = 'O';
    int length = 2;
    for (Ordnance* shot : LiveList()) {
        if (shot->netState == kOrdnanceNotSent) continue;
        uint8_t record[kRecordRoom];
        int n = 0;
        const OrdnanceClass& cls = *shot->ordnanceClass;
        if (const uint8_t code = Ordnance_NameToCode(cls.odfName)) {
            record[n++] = code;
        } else {
            Bytes_SetU32(record + n, cls.odfName.words[0]);
            Bytes_SetU32(record + n + 4, cls.odfName.words[1]);
            n += 8;
        }
        NetPack_PackOrdnance(record + n, shot->launchMatrix.posit, shot->launchMatrix.front);
        n += kNetPackOrdnanceSize;
        record[n++] = static_cast<uint8_t>(shot->netSerial & 0xFF);
        record[n++] = static_cast<uint8_t>(shot->netSerial >> 8);
        uint32_t ownerNetId = 0;
        if (const GameObject* object = shot->owner ? GameObject_FromEntity(shot->owner) : nullptr)
            ownerNetId = object->GetNetId();
        Bytes_SetU32(record + n, ownerNetId);
        n += 4;
        uint32_t timeBits;
        std::memcpy(&timeBits, &shot->launchTime, 4);
        Bytes_SetU32(record + n, timeBits);
        n += 4;
        const int state = shot->PackState(record + n, kRecordRoom - n);
        n += state > 0 ? state : 0;
        // Measured before it is written: the shots after a cut wait for the next frame.
        if (length + n > limit) break;
        std::memcpy(message + length, record, static_cast<size_t>(n));
        length += n;
        shot->netState = kOrdnanceSent;
    }
    if (length > 2) net.queueOrdnance(message, length);
}

void Ordnance_SetStateAll(int mode) {
    for (Ordnance* shot : LiveList())
        if (shot->netState == kOrdnanceSent) shot->netState = mode == 1 ? kOrdnanceNotSent : kOrdnanceNew;
}

void Ordnance_RenderAll(RenderView* view) {
    auto& list = LiveList();
    for (auto it = list.begin(); it != list.end();) {
        Ordnance* shot = *it++;
        shot->Render(view);
    }
}

void Ordnance_DeleteAll() {
    auto& list = LiveList();
    while (!list.empty()) {
        Ordnance* first = list.front();
        first->Remove();
        if (!list.empty() && list.front() == first) list.pop_front();  // a kind that failed to unlist
    }
    g_serial = 0;
    NetMap().clear();
}

// ---- receiving --------------------------------------------------------------------------------

void Ordnance_ReceiveNew(const uint8_t* data, int size, uint16_t sender) {
    if (!data || size <= 0) return;
    NetSeam& net = Seam_Net();
    const float now = Clock_GetTime();
    const float frameTime = FrameTime();
    int at = 0;
    // Every read is bounded by what is left. A record that does not fit, a class that is not
    // known here or a state that runs past the end ends the message: what follows cannot be
    // framed. Records already applied stay applied.
    while (size - at >= 2) {
        ClassName name;
        if (data[at] & 0x80) {
            name = Ordnance_CodeToName(data[at]);
            at += 1;
        } else {
            if (size - at < 8) return;
            name.words[0] = Bytes_U32(data + at) & kClassNameMask;
            name.words[1] = Bytes_U32(data + at + 4) & kClassNameMask;
            at += 8;
        }
        if (size - at < kRecordFixed) return;
        char text[9];
        ClassName_Text(name, text);
        OrdnanceClass* cls = name.Empty() ? nullptr : OrdnanceClass::Find(text);
        if (!cls) return;
        Matrix matrix;
        NetPack_UnpackOrdnance(matrix, data + at);
        at += kNetPackOrdnanceSize;
        const uint16_t serial = Bytes_U16(data + at);
        at += 2;
        const uint32_t ownerNetId = Bytes_U32(data + at);
        at += 4;
        const float packedTime = Bytes_F32(data + at);
        at += 4;
        if (net.debugFlag()) Log("Now = %f Ordnance = %f\n", now, packedTime);

        Entity* ownerEntity = nullptr;
        if (ownerNetId != 0)
            if (NetObject* object = net.findObject(ownerNetId)) ownerEntity = object->GetEntity();

        auto& map = NetMap();
        auto found = map.find(Key(sender, serial));
        Ordnance* shot = nullptr;
        // A tombstone stands for a shot that is gone; only a later launch under the same key
        // (the serial wrapped) is a new shot.
        const bool gone = found != map.end() && !found->second.shot &&
                          !(std::isfinite(packedTime) && packedTime > found->second.launchTime);
        if (gone) {
            const int skip = cls->StateSize(data + at, size - at);
            if (skip < 0) return;
            at += skip;
            continue;
        }
        if (found != map.end() && found->second.shot) {
            shot = found->second.shot;
            shot->entity->local = matrix;
            shot->motion.velocity = Vector{matrix.front.x * shot->motion.speed, matrix.front.y * shot->motion.speed,
                                           matrix.front.z * shot->motion.speed};
            const int read = shot->UnpackState(data + at, size - at);
            if (read < 0) return;
            at += read;
        } else {
            const bool keyedHere = IsNetworkGame();
            shot = cls->Build(matrix, ownerEntity);
            if (keyedHere) --g_serial;
            shot->launchTime = std::isfinite(packedTime) ? packedTime : now;
            Ordnance_Rekey(shot, sender, serial);
            const int read = shot->UnpackState(data + at, size - at);
            if (read < 0) {
                shot->netState = kOrdnanceNotSent;
                return;
            }
            at += read;
        }

        float catchUp = 0.0f;
        if (std::isfinite(packedTime)) catchUp = (packedTime < 0.0f ? -packedTime : now - packedTime) - frameTime;
        if (!std::isfinite(catchUp)) catchUp = 0.0f;
        if (catchUp < kFutureLimit) {
            if (net.debugFlag()) Log("Future ordnance = %f\n", catchUp);
            catchUp = 0.0f;
        }
        if (catchUp > kCatchUpLongest) catchUp = kCatchUpLongest;
        for (int steps = 0; catchUp > kCatchUpStep && steps < kCatchUpMostSteps && !shot->IsDead(); ++steps) {
            catchUp -= kCatchUpStep;
            shot->Update(kCatchUpStep);
            shot->Step(kCatchUpStep);
        }
        shot->catchUp = catchUp;
        shot->netState = kOrdnanceNotSent;
    }
}

void Ordnance_ReceiveExpire(const uint8_t* data, int size, uint16_t, float time) {
    if (!data) return;
    for (int at = 0; size - at >= 4; at += 4) {
        Ordnance* shot = Ordnance_FindByKey(Bytes_U16(data + at), Bytes_U16(data + at + 2));
        if (!shot) continue;
        if (time < shot->lifeLeft) shot->lifeLeft = time;
        if (time <= 0.0f) shot->entity->flags |= kEntityDead;
    }
}

void Ordnance_ReceiveKill(const uint8_t* data, int size, uint16_t sender) {
    if (!data) return;
    for (int at = 0; size - at >= 2; at += 2)
        if (Ordnance* shot = Ordnance_FindByKey(sender, Bytes_U16(data + at))) shot->lifeLeft = 0.0f;
}

// ---- entity-level operations ------------------------------------------------------------------

Ordnance* Ordnance_FromEntity(const Entity* entity) {
    if (!entity || entity->type != kTypeOrdnance || !entity->classData) return nullptr;
    return static_cast<Ordnance*>(entity->classData);
}

bool Ordnance_GetDamageInfo(const Entity* entity, DamageInfo* out) {
    const Ordnance* shot = Ordnance_FromEntity(entity);
    if (!shot) return false;
    *out = shot->damageInfo;
    return true;
}

void* Ordnance_CreateClassData() { return nullptr; }

void Ordnance_GetMotion(Entity* entity, Vector* velocity, void** motionOut) {
    Ordnance* shot = Ordnance_FromEntity(entity);
    if (velocity) *velocity = shot ? shot->motion.velocity : Vector{0.0f, 0.0f, 0.0f};
    // The second output carries the speed: it points at the motion record's speed value.
    if (motionOut) *motionOut = shot ? &shot->motion.speed : nullptr;
}

void Ordnance_GetDynamics(EntityDynamics* out, Entity* entity) {
    if (!out) return;
    if (Ordnance* shot = Ordnance_FromEntity(entity))
        *out = shot->motion;
    else
        EntityDynamics_Init(*out);
}

int Ordnance_DeleteObject(void* classData) {
    delete static_cast<Ordnance*>(classData);
    return 0;
}

void Ordnance_SetFrameTimeForTest(float seconds) { g_testFrameTime = seconds; }

void Ordnance_ResetForTest() {
    g_testFrameTime = -1.0f;
    for (Ordnance* shot : LiveList()) shot->ForgetListing();
    LiveList().clear();
    NetMap().clear();
    g_serial = 0;
    OrdnanceClass::Loaded().clear();
}
