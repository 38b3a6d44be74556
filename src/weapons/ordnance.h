// Ordnance: whatever a weapon fires. Each piece in flight is an Ordnance bound to an entity of
// type code 51 and made from an OrdnanceClass read from a definition file. Spent entities wait
// under their class's pool entity and are reused by the next shot of that class. In a network
// game every machine flies every shot itself from the launch records the firing machine sends.
#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "Objkr/dynamics.h"
#include "core/mathlib.h"
#include "fun3d/damageinfo.h"
#include "weapons/classrecord.h"

struct Entity;
struct RenderView;
class ExplosionClass;
class Ordnance;

constexpr int kOrdnanceCommonNames = 23;
constexpr uint8_t kOrdnanceFirstCode = 128;
// The network states of a shot.
constexpr uint32_t kOrdnanceNotSent = 0;
constexpr uint32_t kOrdnanceNew = 1;
constexpr uint32_t kOrdnanceSent = 2;

class OrdnanceClass : public ClassRecord<OrdnanceClass> {
public:
    // A prototype: lifetime 1e30, every other field clear.
    OrdnanceClass(const char* classLabel, uint32_t classSignature);
    // A record derived from the prototype: the base keys of "<name>.odf". Kinds call it first.
    OrdnanceClass(OrdnanceClass* from, const ClassName& name);
    virtual ~OrdnanceClass();

    virtual OrdnanceClass* ReadOdf(const ClassName& name);
    virtual Ordnance* MakeObject(Entity* entity);
    // A pooled shot of this class, or a new one on a new entity, launched at the matrix.
    Ordnance* Build(const Matrix& matrix, Entity* owner);

    static void MakePrototypes();

    Entity* templateEntity = nullptr;
    Entity* classEntity = nullptr;
    Entity* poolEntity = nullptr;
    ExplosionClass* explosionDefault = nullptr;
    ExplosionClass* explosionTypeA = nullptr;
    ExplosionClass* explosionTypeB = nullptr;
    int32_t ordIntParam = 0;         // ammunition cost of one shot
    float lifetime = 1e30f;          // seconds
    float ordFloatParam = 0.0f;      // shot speed
    int32_t damage[4] = {};
    char flightSound[16] = {};
    bool reportHits = false;

    // How many bytes the kind's state takes at the head of `in` (what its shots' UnpackState
    // would read), or -1 when `size` bytes do not hold it. Frames records of shots that are not
    // built. The base has no state.
    virtual int StateSize(const uint8_t* in, int size);
};

class Ordnance {
public:
    Ordnance(Entity* entity, OrdnanceClass* ordnanceClass);
    virtual ~Ordnance();
    Ordnance(const Ordnance&) = delete;
    Ordnance& operator=(const Ordnance&) = delete;

    virtual void Launch(const Matrix& matrix, Entity* owner);
    // Back to the class's pool: off the live list, owner dropped, sounds stopped.
    virtual void Remove();
    virtual void Update(float dt);
    virtual void Step(float dt);
    virtual void Hit(Entity* hit, const Vector& normal);
    virtual void Render(RenderView* view);
    // The kind's own state after the launch record (at most `room` bytes); bytes written.
    virtual int PackState(uint8_t* out, int room);
    // Reads what PackState wrote; bytes read, or -1 when `size` bytes do not hold it.
    virtual int UnpackState(const uint8_t* in, int size);

    bool IsLive() const { return listed_; }
    bool IsDead() const;
    // Forgets the live-list position without touching the list (tests' state reset).
    void ForgetListing() { listed_ = false; }

    OrdnanceClass* ordnanceClass;
    float catchUp = 0.0f;
    Entity* entity;
    EntityDynamics motion{};
    DamageInfo damageInfo{};
    void* sound = nullptr;
    float lifeLeft = 0.0f;
    uint16_t netPlayer = kNoPlayer;
    uint16_t netSerial = 0;
    uint32_t netState = kOrdnanceNew;
    Matrix launchMatrix = kIdentityMatrix;
    float launchTime = 0.0f;
    Entity* owner = nullptr;
    uint32_t ownerId = 0;
    // How often this object was launched: a pooled shot is launched again under the same
    // address, so whoever keeps a shot across frames tells its flight by the pair.
    uint32_t launches = 0;

private:
    friend void Ordnance_Rekey(Ordnance* shot, uint16_t player, uint16_t serial);
    std::list<Ordnance*>::iterator listPosition_;
    bool listed_ = false;
    bool keyed_ = false;
};

// The prototype of a registered label: the kind's class when it is built, else plain ordnance.
std::unique_ptr<OrdnanceClass> Ordnance_MakePrototype(const char* label, uint32_t signature);

// ---- common names -----------------------------------------------------------------------------
// 128 + the index of the first common name equal to the (masked) name; 0 when none is.
uint8_t Ordnance_NameToCode(const ClassName& name);
// The name of a code 128..150; the all-zero name for any other code.
ClassName Ordnance_CodeToName(uint8_t code);

// ---- the live list and the frame passes ------------------------------------------------------
const std::list<Ordnance*>& Ordnance_LiveList();
void Ordnance_UpdateAll(float dt);
void Ordnance_StepAll(float dt);
void Ordnance_SendNew();
void Ordnance_SetStateAll(int mode);
void Ordnance_RenderAll(RenderView* view);
void Ordnance_DeleteAll();
void OrdnanceClass_FreeAll();

// ---- receiving ---------------------------------------------------------------------------------
void Ordnance_ReceiveNew(const uint8_t* data, int size, uint16_t sender);
void Ordnance_ReceiveExpire(const uint8_t* data, int size, uint16_t sender, float time);
void Ordnance_ReceiveKill(const uint8_t* data, int size, uint16_t sender);

// ---- the network map ---------------------------------------------------------------------------
// The live shot under the key, or null (also for a removed shot's tombstone).
Ordnance* Ordnance_FindByKey(uint16_t player, uint16_t serial);
// Enters the shot under the key; its previous key goes when that entry still names it.
void Ordnance_Rekey(Ordnance* shot, uint16_t player, uint16_t serial);
size_t Ordnance_MapSize();
uint16_t Ordnance_SerialCounter();
// Advances the serial counter and answers its new value.
uint16_t Ordnance_NextSerial();
// Whether the shot is on the live list and still in the flight it had when it was `launches`.
bool Ordnance_IsFlight(const Ordnance* shot, uint32_t launches);

// ---- entity-level operations of type code 51 ---------------------------------------------------
bool Ordnance_GetDamageInfo(const Entity* entity, DamageInfo* out);
Ordnance* Ordnance_FromEntity(const Entity* entity);
void* Ordnance_CreateClassData();
void Ordnance_GetMotion(Entity* entity, Vector* velocity, void** motion);
void Ordnance_GetDynamics(EntityDynamics* out, Entity* entity);
int Ordnance_DeleteObject(void* classData);

// Empties the live list and the network map and forgets the loaded classes without deleting
// anything (tests' state reset; tests free what they make).
void Ordnance_ResetForTest();
// Received records are caught up against this frame time instead of the clock's (below 0: the
// clock's again).
void Ordnance_SetFrameTimeForTest(float seconds);
