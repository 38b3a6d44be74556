// GameObject: the base of every live thing in the world that has a team, health and orders
// (craft, pilots on foot, buildings, power-ups).
//
// Each object is built in one slot of the object pool (objectpool.h) by its class, owns one
// root entity whose back-pointer names it, and is named across frames only by its handle.
// Kinds derive from it, override the operations below and keep their names.
#pragma once
#include <cstdint>
#include <cstdio>

#include "Objkr/dynamics.h"
#include "Objkr/entity.h"
#include "fun3d/aicmdinfo.h"
#include "fun3d/damageinfo.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/hardpoints.h"
#include "fun3d/netobject.h"
#include "fun3d/plannerslots.h"

class sObject;
class TeamRecord;
class ObjectSensor;
class ConcealRecord;
class OrdnanceClass;

constexpr float kNeverTime = -1e30f;
constexpr uint32_t kHandleSerialMask = 0x7FFFFF;
constexpr int kHandleSlotShift = 23;

// The five team colour pairs, display values the renderer sets.
enum TeamColourKind : int { kColoursNeutral = 0, kColoursOwn, kColoursAlly, kColoursEnemy, kColoursPowerUp };
void GameObject_SetColourPair(TeamColourKind kind, uint32_t first, uint32_t second);

class GameObject : public PlannerSlotHolder, public NetObject {
public:
    // Builds the object on a fresh pool slot (the memory it is constructed in) for the entity,
    // whose back-pointer then names it. Weapons are mounted on the hardpoints the class names.
    GameObject(Entity* entity, GameObjectClass* cls);
    ~GameObject() override;
    // Objects live in pool slots: deleting one runs its destructor and returns the slot.
    static void operator delete(void* slot);

    // ---- primary operations ---------------------------------------------------------------
    virtual void SetTeam(int32_t team);
    virtual void LeaveTeam();
    // The player takes this object; returns the new user process (or null).
    virtual sObject* MakeUser();
    virtual void ReleaseUser();
    virtual bool HasPilot();
    virtual void AddHealth(float amount);
    virtual void SetMaxHealth(float value);
    virtual int32_t AddAmmo(int32_t amount);
    virtual float GetAmmoRatio();
    virtual void OnNoticeA();
    virtual void OnNoticeB();
    virtual int32_t GetEntityRef();
    virtual bool HandleRequest(int32_t code);
    virtual int32_t GetSelfCommand(int32_t argument);
    virtual int32_t GetCommandForTarget(GameObject* object);
    virtual bool CanTakeAiOrders();
    virtual void Update(float dt);
    virtual void PostUpdate(float dt);
    virtual bool IsWorldFixture();
    virtual bool OnContact(Entity* entity, CollisionBody* contact, void* extra);
    virtual bool Load();
    virtual bool Save(FILE* stream);
    virtual bool PostLoad();
    virtual void BuildCommandList();
    // Whether the object is ready to be reported as hit by a remote player's shot (craft and
    // persons ask their kind; every object is ready by default).
    virtual bool IsReady();

    // ---- saving ---------------------------------------------------------------------------
    // The section head ("[GameObject]" ... "transform") and, when the class is found again,
    // the object's Save.
    static bool SaveHeader(GameObject* object, FILE* stream);
    // After every section is read: mission-file objects get their AI process, then each
    // object's PostLoad runs; stops at the first failure.
    static bool PostLoadAll();

    // ---- network-identity operations ------------------------------------------------------
    GameObjectClass* GetClass() override;
    int32_t GetTeam() override;
    void ChangeTeam(int32_t team) override;
    Vector GetPosition() override;
    void TearDown() override;
    void Explode() override;
    float GetNetPriority(float time, float distance) override;
    float GetHealthRatio() override;
    bool IsRecycleRequested() override;
    void RequestRecycle() override;
    void OnNetNotice(int32_t argument) override;
    EntityTableRecord* GetEntityRecord() override;
    Entity* GetEntity() override;
    int32_t NetQuery() override;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;
    void PackNetExtra(uint8_t* buffer, int32_t& length) override;
    void UnpackNetExtra(const uint8_t* data, int32_t length) override;
    bool IsPublishDue(float time) override;
    bool IsRefreshDue() override;

    // ---- handles --------------------------------------------------------------------------
    // 0 while the serial is 0 (and for an object outside the pool).
    static uint32_t GetObjHandle(const GameObject* object);
    uint32_t GetObjHandle() const { return GetObjHandle(this); }
    // The object in the handle's slot when its serial matches, dead or not; null otherwise.
    static GameObject* FromHandleRaw(uint32_t handle);
    // The same, refusing objects whose entity carries the dead flag.
    static GameObject* FromHandle(uint32_t handle);

    // ---- teams ----------------------------------------------------------------------------
    bool IsAllyTeam(int32_t t) const;
    bool IsEnemyTeam(int32_t t) const;
    bool IsAlly(const GameObject* other) const;
    bool IsEnemy(const GameObject* other) const;
    void SetPerceivedTeam(int32_t t) { perceivedTeam = t; }
    // Team t sees the object now (and has seen it); a team outside 0..31 changes nothing.
    void MarkSeenBy(int32_t t);
    void ClearSeen();
    void PickTeamColours();

    // ---- small setters --------------------------------------------------------------------
    void SetAiProcess(sObject* process) { aiProcess = process; }
    void SetLabel(const char* text);
    void SetTarget(const GameObject* object);
    void SetLastAttacker(const GameObject* object);
    void SetVelocity(const Vector& v);
    // The current hull and ammunition, set directly: the ratios stay as they were.
    void SetHull(float value) { curHealth = value; }
    void SetAmmo(int32_t value) { curAmmo = value; }
    // Destroys every mounted weapon and frees the hardpoint list.
    void DestroyWeapons();
    void SetMatrix(const Matrix& m);
    void SetPosition(const Vector& p);
    // Marks the object as an objective (marked != 0: listed once) or withdraws the mark; the
    // flag becomes marked. Returns the list position used, or the count after a withdrawal;
    // -1 when the list is full (the mark is refused and the flag stays 0).
    int32_t SetObjective(uint8_t marked);
    // The world centre of the bounding sphere from the matrix; the record's box around it.
    void UpdateSphere();

    // ---- commands -------------------------------------------------------------------------
    void SetNextCmdInfo(const AiCmdInfo& info);
    void SetCommand(int32_t code);
    // Without a target this is SetCommand.
    void SetCommandObject(int32_t code, GameObject* object);
    void SetCommandPosition(int32_t code, const Vector& point, int32_t parameter);
    void SetCommandObjectPosition(int32_t code, GameObject* object, const Vector& point, float value);
    void SetCommandParameter(int32_t code, int32_t parameter);
    int32_t AcceptCommand();
    void ClearCommand();
    GameObject* GetCommandTarget() const;
    Vector GetCommandPoint() const;
    // An order on an object another machine owns goes to its owner as "CO": the object's network
    // id, the code, then the target's network id, the parameter (a class order's stable class
    // id) and the point's x and z in whole units (two signed 16-bit values).
    void SendRemoteCommand(int32_t code, const AiCmdInfo& command, const Vector* point = nullptr);

    // ---- network accessors ----------------------------------------------------------------
    uint16_t GetPlayerId() const { return playerId; }
    bool IsRemote() const { return ownership == kNetOwnedRemote; }
    bool IsLocal() const { return ownership == kNetOwnedHere; }
    uint32_t GetNetId() const { return netId; }
    void SetPlayerId(uint16_t id) { playerId = id; }
    // The owning player's name in a network game (null for none); GetOwnerName asks always.
    const char* GetPlayerName() const;
    const char* GetOwnerName() const;
    // This object's owner and the killer go to the kill tally (no killer object: 64001).
    void ReportKill(uint16_t killerPlayer) const;
    void ReportKillBy(const GameObject* killer) const;
    // A state record from a peer (length byte, flag byte, then a header of 28 bytes, or 21 when
    // the flag byte is negative): the sender becomes the owner of an unowned object; a state
    // record's class state goes to UnpackNetExtra. False when the record is too short for its
    // header (it is dropped).
    bool ReceiveRecord(uint16_t sender, const uint8_t* record, int32_t length);

    // ---- hits -----------------------------------------------------------------------------
    void NoteHit(const DamageInfo& damage);
    void ScaleDamage(DamageInfo& damage) const;

    // ---- fields ---------------------------------------------------------------------------
    uint32_t hitWord = 0;  // cleared whenever the object is hit
    uint8_t isCargo = 0;
    GameObject* carrier = nullptr;
    AiCmdInfo curCmd{};
    AiCmdInfo nextCmd{};
    float illumination = 0.0f;
    GameObjectClass* pilotClass = nullptr;
    EntityTableRecord* record = nullptr;
    Entity* entity;
    GameObjectClass* objClass;
    sObject* aiProcess = nullptr;
    // Loaded from a mission file with an AI process: one is made after loading.
    bool aiProcessPending = false;
    char* label = nullptr;  // null: the default label
    int32_t independence = 1;
    Vector pos{};
    EntityDynamics euler{};
    uint32_t seqNo = 0;
    int32_t slotIndex = -1;
    float radius = 0.0f;
    uint32_t createTime = 0;  // game time in milliseconds
    uint32_t teamColours[2] = {};
    int32_t team = -1;
    int32_t teamSlot = -1;
    TeamRecord* teamRecord = nullptr;
    int32_t perceivedTeam = 0;
    int32_t spriteIndex = 0;
    uint8_t isObjective = 0;
    uint8_t isSelected = 0;
    uint32_t isVisible = 0;
    uint32_t seen = 0;
    uint32_t seenWord = 0;
    ObjectSensor* sensor = nullptr;
    ConcealRecord* conceal = nullptr;
    HardpointList* hardpoints = nullptr;
    CommandList commands;
    float playerShot = kNeverTime;
    float playerCollide = kNeverTime;
    float friendShot = kNeverTime;
    float friendCollide = kNeverTime;
    float enemyShot = kNeverTime;
    float enemyCollide = kNeverTime;
    float groundCollide = kNeverTime;
    uint32_t lastShooter = 0;   // the object whose weapons last hit this one
    uint32_t lastHitTarget = 0; // the object this one last hit
    float lastHitTime = kNeverTime;
    float healthRatio = 1.0f;
    float curHealth = 0.0f;
    float maxHealth = 0.0f;
    float ammoRatio = 0.0f;
    int32_t curAmmo = 0;
    int32_t maxAmmo = 0;
    uint32_t weaponLinkMask = 0;
    uint32_t target = 0;
    int32_t entityRef = 0;
    uint32_t lastAttacker = 0;
    uint16_t lastAttackerPlayer = kNoPlayer;
    // The ordnance class that hit this object last, and that class's signature.
    const OrdnanceClass* lastHitOrdnance = nullptr;
    uint32_t lastHitOrdnanceSignature = 0;
    // Boarding: the in-use word (someone is on the way in) and the teams whose people may not
    // board; both are kept by whoever boards, the unit AI's craft search reads them.
    int32_t inUse = 0;
    uint32_t boardExcludedTeams = 0;
    // Set: the object is left out of the unit AI's obstacle searches.
    uint8_t notObstacle = 0;

private:
    void MountWeapons();
    void FreePath(AiPath*& path);
    AiPath* PathTo(const Vector& point) const;
};

// ---- global state ---------------------------------------------------------------------------
// The objects marked as objectives (order carries no meaning); emptied at mission start.
constexpr int32_t kObjectiveListSize = 32;
GameObject* const* Objective_List();
int32_t Objective_Count();
void Objective_ResetList();

GameObject* GameObject_GetUser();
int32_t GameObject_GetUserTeam();
TeamRecord* GameObject_GetUserTeamRecord();
// Forgets the user's object, team and team record (game reset).
void GameObject_ForgetUser();

// ---- saved games and mission files ----------------------------------------------------------
// "size", then the user's object's section first and every other object with an entity-table
// record in list order.
bool GameObject_SaveAll(FILE* stream);
// Reads the object section; the first failed or out-of-range read fails it with a warning that
// names the file and the object.
bool GameObject_LoadAll();
// Removes every listed object and its entities (a failed load).
void GameObject_DiscardLoaded();
// The user's "player" object on team 1 at the position, default orientation.
bool GameObject_BuildStartPlayer(const Vector& position);
void GameObject_StartUserObject();

// ---- small accessors for other subsystems ---------------------------------------------------
// The object that owns an entity's tree, or null.
GameObject* GameObject_FromEntity(const Entity* entity);
Entity* GameObject_EntityFromHandle(uint32_t handle);
// The target (raw lookup) of the object owning the entity.
GameObject* GameObject_TargetOfEntity(const Entity* entity);
uint32_t GameObject_HandleOfEntity(const Entity* entity);
bool GameObject_EntityIsLit(const Entity* entity);
