// The unit process: the brain of every AI-driven unit. A state machine of numbered states, each
// owning at most one unit task from its entry to its exit; orders arrive as the owner's pending
// command and are turned into the next state. CraftProcess adds the automatic fight: before each
// state step it looks for an enemy, interrupts the state to attack it and returns afterwards.
#pragma once
#include <cstdint>
#include <cstdio>

#include "ai/aiprocess.h"

class AiPath;
class GameObject;
class GameObjectClass;
class UnitTask;

// Command codes (the `what` of a command record).
enum UnitCommand : int32_t {
    kCmdCodeNone = 0,
    kCmdCodeSelect,
    kCmdCodeStop,
    kCmdCodeGo,
    kCmdCodeAttack,
    kCmdCodeFollow,
    kCmdCodeFormation,
    kCmdCodePickup,
    kCmdCodeDropoff,
    kCmdCodeNoDropoff,
    kCmdCodeGetRepair,
    kCmdCodeGetReload,
    kCmdCodeGetWeapon,
    kCmdCodeGetCamera,
    kCmdCodeGetBomb,
    kCmdCodeDefend,
    kCmdCodeGoToGeyser,
    kCmdCodeRescue,
    kCmdCodeRecycle,
    kCmdCodeScavenge,
    kCmdCodeHunt,
    kCmdCodeBuild,
    kCmdCodePatrol,
    kCmdCodeStage,
    kCmdCodeSend,
    kCmdCodeGetIn,
    kCmdCodeLayMines,
    kCmdCodeCount  // 27
};
// The code's name ("NONE" .. "LAY_MINES"); null outside 0..26.
const char* UnitCommand_Name(int32_t code);

// Unit process states.
enum UnitState : int32_t {
    kUStateNone = 0,
    kUStateStart,
    kUStateDone,
    kUStateWait,
    kUStateGoto,
    kUStatePatrol,
    kUStateStage,
    kUStateAttack,
    kUStateFollow,
    kUStateDefend,
    kUStateRepair,
    kUStateReload,
    kUStateRescue,
    kUStateRecycle,
    kUStateSubAttack,
    kUStateUser1,
    kUStateUser2,
    kUStateFree,  // 17: no name, free for the unit kinds
    kUStateLast = kUStateFree
};
// The state's name; null for 17 and for numbers outside 0..16.
const char* UnitState_Name(int32_t state);

// Voice reply messages a unit says itself.
constexpr int32_t kSayDeployed = 22;
constexpr int32_t kSayUndeployed = 23;
constexpr int32_t kSayAttackDone = 24;
constexpr int32_t kSayMessageCount = 27;

class UnitProcess : public AiProcess {
public:
    UnitProcess(AiMission* mission, GameObject* owner);
    UnitProcess();
    // Leaves the current state first (its task goes with it).
    ~UnitProcess() override;

    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    void DebugDump() override;
    void Attach(AiMission* mission, GameObject* owner) override;
    void Execute() override;

    virtual void OnAttach() {}
    // The base reaction to a pending command code: whether it names a next state.
    virtual bool ProcessCommand(int32_t code);
    // Copies the target and route of the owner's (just accepted) command for nextState.
    virtual void UpdateFromCommand();
    virtual bool CheckEnemy() { return false; }
    // The handlers of states 3..17; other numbers have none.
    virtual void StateEnter(int32_t state);
    virtual void StateExit(int32_t state);
    virtual void StateExecute(int32_t state);

    // ---- helpers for the states and the unit kinds -----------------------------------------
    // Deletes the state's task.
    void DropTask();
    // A state's end: frees `where` when released (GOTO, PATROL, STAGE), clears the current
    // command when its code is the given one (-1: none), and asks for WAIT.
    void Finish(int32_t state, int32_t code, int32_t code2 = -1);
    void ZeroSteering();
    bool TaskDone();
    void UpdateTask();

    int32_t independence = 1;
    int32_t curState = kUStateNone;
    int32_t nextState = kUStateWait;
    int32_t saveState = kUStateNone;
    uint32_t saveWho = 0;
    float nextEnemyCheck = 0.0f;
    GameObject* me = nullptr;
    UnitTask* task = nullptr;
    uint32_t whoHandle = 0;
    AiPath* where = nullptr;
    bool release = false;
    bool exact = true;
    GameObjectClass* whatClass = nullptr;
    bool isInTransition = false;
    bool wasInTransition = true;
    float waitStart = 0.0f;
    bool waitDeploy = false;
    float waitDeployTime = 0.0f;
    float timeOut = 0.0f;

private:
    void RepairEnter(bool reload);
    void RepairExecute(bool reload);
    void RecycleExecute();
};

class CraftProcess : public UnitProcess {
public:
    CraftProcess(AiMission* mission, GameObject* owner);
    CraftProcess();

    bool Load() override;
    bool Save(FILE* stream) override;
    void DebugDump() override;
    bool ProcessCommand(int32_t code) override;
    bool CheckEnemy() override;
    void StateEnter(int32_t state) override;
    void StateExit(int32_t state) override;
    void StateExecute(int32_t state) override;

    virtual GameObject* FindEnemy(float range2);
    virtual bool KeepTarget(int32_t state);

    bool isFriend = true;
    GameObject* commandTarget = nullptr;  // transient
    GameObject* enemy = nullptr;          // transient
    float engageRange = 40000.0f;
    float followRange = 15625.0f;
    float weaponRange = 40000.0f;
    float madTime = 30.0f;
    bool attackUser = false;
};

// The object's voice reply (message index 0..26) for the user's team.
void UnitProcess_Say(GameObject* object, int32_t index);
// Forgets the last reply said (the tests' reset).
void UnitProcess_ResetSay();
// Whether the pointer names a game object of the world (a loaded pointer field may name
// anything the file registered).
bool UnitAi_IsListedObject(const GameObject* object);
// Squared ground-plane distance between two objects.
float UnitAi_Distance2(const GameObject* a, const GameObject* b);
