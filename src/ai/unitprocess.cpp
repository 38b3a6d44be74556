#include "ai/unitprocess.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ai/aimission.h"
#include "ai/unitservices.h"
#include "ai/unittask.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/shake.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"

namespace {

const char* const kCommandNames[kCmdCodeCount] = {
    "NONE",       "SELECT",     "STOP",      "GO",         "ATTACK",   "FOLLOW",  "FORMATION",
    "PICKUP",     "DROPOFF",    "NO_DROPOFF", "GET_REPAIR", "GET_RELOAD", "GET_WEAPON", "GET_CAMERA",
    "GET_BOMB",   "DEFEND",     "GO_TO_GEYSER", "RESCUE",   "RECYCLE",  "SCAVENGE", "HUNT",
    "BUILD",      "PATROL",     "STAGE",     "SEND",       "GET_IN",   "LAY_MINES"};

const char* const kStateNames[kUStateFree] = {"NO_STATE", "START",  "DONE",    "WAIT",   "GOTO",      "PATROL",
                                              "STAGE",    "ATTACK", "FOLLOW",  "DEFEND", "REPAIR",    "RELOAD",
                                              "RESCUE",   "RECYCLE", "SUBATTACK", "USTATE1", "USTATE2"};

// Team slots of repair pads and supply pads, and of the team's repairer.
constexpr int32_t kRepairPadFirst = 60, kRepairPadLast = 64;
constexpr int32_t kSupplyPadFirst = 65, kSupplyPadLast = 69;
constexpr int32_t kRepairerSlot = 3;
// Pick-ups (class kind 3) are fetched, not driven to, except camera pods.
constexpr int32_t kCategoryPickUp = kCategoryPowerUp;

UnitAiServices& Svc() { return UnitAi_Services(); }

Craft* AsCraft(GameObject* object) { return object ? Craft_FromEntity(object->entity) : nullptr; }

bool Alive(uint32_t handle) { return GameObject::FromHandle(handle) != nullptr; }

// A number or a name for the debug dumps, never read past the tables.
const char* StateText(int32_t state, char* buffer, size_t size) {
    if (const char* name = UnitState_Name(state)) return name;
    std::snprintf(buffer, size, "%d", state);
    return buffer;
}

const char* OnOff(int32_t value) { return value ? "on" : "off"; }

const char* DeployText(GameObject* object) {
    static const char* const kNames[] = {"undeployed", "deploying", "deployed", "undeploying"};
    Craft* craft = AsCraft(object);
    const int32_t state = craft ? craft->deployState : 0;
    return state >= 0 && state < 4 ? kNames[state] : "undeployed";
}

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Svc().debugPrint(line);
}

const char* ObjectName(uint32_t handle, char* buffer, size_t size) {
    GameObject* object = GameObject::FromHandle(handle);
    if (!object) return "none";
    char name[kClassNameSize + 1];
    object->objClass->GetDefName(name);
    std::snprintf(buffer, size, "%s", name);
    return buffer;
}

// The last voice reply said, for the repeat rules.
int32_t g_lastSaid = -1;
float g_lastSaidTime = -1e30f;

// The class's voice file for a reply, or null when it has none.
const char* VoiceFile(const GameObjectClass* cls, int32_t index) {
    const auto* craft = dynamic_cast<const CraftClass*>(cls);
    if (!craft) return nullptr;
    const char* text = nullptr;
    if (index < 10)
        text = craft->textsA[index];
    else if (index < 22)
        text = craft->textsB[index - 10];
    else if (index < 26)
        text = craft->textsD[index - 22];
    return text && text[0] ? text : nullptr;
}

}  // namespace

const char* UnitCommand_Name(int32_t code) { return code >= 0 && code < kCmdCodeCount ? kCommandNames[code] : nullptr; }
const char* UnitState_Name(int32_t state) { return state >= 0 && state < kUStateFree ? kStateNames[state] : nullptr; }

bool UnitAi_IsListedObject(const GameObject* object) {
    if (!object) return false;
    const std::vector<GameObject*>& list = GameObject_List();
    return std::find(list.begin(), list.end(), object) != list.end();
}

float UnitAi_Distance2(const GameObject* a, const GameObject* b) {
    const float dx = a->pos.x - b->pos.x, dz = a->pos.z - b->pos.z;
    return dx * dx + dz * dz;
}

// ---- voice replies -------------------------------------------------------------------------

void UnitProcess_ResetSay() {
    g_lastSaid = -1;
    g_lastSaidTime = -1e30f;
}

void UnitProcess_Say(GameObject* object, int32_t index) {
    if (!object || index < 0 || index >= kSayMessageCount) return;
    GameObject* user = GameObject_GetUser();
    if (!user || user->team != object->team) return;
    if (object->nextCmd.what != kCmdCodeNone && object->nextCmd.priority != 0) return;
    const float now = Clock_GetTime();
    if (index == g_lastSaid && (index <= 9 || now - g_lastSaidTime < 1.0f)) return;
    if ((index == kSayDeployed || index == kSayUndeployed) && now - Svc().loadFinishedTime() < 5.0f) return;
    const char* file = VoiceFile(object->objClass, index);
    if (!file) return;
    if (Svc().audioMessageIsPlaying() || Svc().scriptedCameraActive()) return;
    char wave[kCraftTextSize + 1] = {};
    std::strncpy(wave, file, kCraftTextSize);
    // Replies are ordinary queued lines: they wait their turn behind the one playing.
    Svc().radioVoiceQueue(wave, user, 4);
    g_lastSaid = index;
    g_lastSaidTime = now;
}

// ---- UnitProcess ---------------------------------------------------------------------------

UnitProcess::UnitProcess(AiMission* mission, GameObject* owner) : AiProcess(mission, owner) { me = owner; }

UnitProcess::UnitProcess() = default;

UnitProcess::~UnitProcess() {
    StateExit(curState);
    curState = kUStateNone;
    DropTask();
    if (release && where) Seam_Ai().pathFree(where);
    where = nullptr;
}

void UnitProcess::Attach(AiMission* mission, GameObject* owner) {
    AiProcess::Attach(mission, owner);
    me = owner;
    // The object's own word (a mission file keeps it): a unit of independence 0 acts on orders
    // only.
    if (owner) independence = owner->independence;
    OnAttach();
}

void UnitProcess::DropTask() {
    if (task) Svc().taskDelete(task);
    task = nullptr;
}

bool UnitProcess::TaskDone() { return task && Svc().taskIsDone(task); }

void UnitProcess::UpdateTask() {
    if (task && !Svc().taskIsDone(task)) Svc().taskUpdate(task);
}

void UnitProcess::ZeroSteering() {
    if (Craft* craft = AsCraft(me)) {
        craft->controls.steering = 0.0f;
        craft->controls.pitch = 0.0f;
    }
}

void UnitProcess::Finish(int32_t state, int32_t code, int32_t code2) {
    if ((state == kUStateGoto || state == kUStatePatrol || state == kUStateStage) && release && where) {
        Seam_Ai().pathFree(where);
        where = nullptr;
        release = false;
    }
    if (me && me->curCmd.what != kCmdCodeNone && (me->curCmd.what == code || me->curCmd.what == code2)) {
        // The command's route goes with it: the state must not keep pointing at it.
        if (where == me->curCmd.where) where = nullptr;
        me->ClearCommand();
    }
    nextState = kUStateWait;
}

void UnitProcess::Execute() {
    if (!me) return;
    if (nextState != kUStateNone) {
        StateExit(curState);
        curState = nextState;
        nextState = kUStateNone;
        StateEnter(curState);
    }
    if (ProcessCommand(me->nextCmd.what)) {
        StateExit(curState);
        // Accepting frees the old command's route; a state that borrowed it lets go first.
        if (!release && where == me->curCmd.where) where = nullptr;
        me->AcceptCommand();
        UpdateFromCommand();
        curState = nextState;
        nextState = kUStateNone;
        StateEnter(curState);
        if (nextState != kUStateNone) return;
    }
    if (CheckEnemy()) return;
    Craft* craft = AsCraft(me);
    isInTransition = craft && !craft->IsDeployed() && !craft->IsUndeployed();
    if (wasInTransition && !isInTransition) UnitProcess_Say(me, craft && craft->IsDeployed() ? kSayDeployed : kSayUndeployed);
    StateExecute(curState);
    wasInTransition = isInTransition;
}

bool UnitProcess::ProcessCommand(int32_t code) {
    GameObject* user = GameObject_GetUser();
    const uint32_t pendingWho = me ? me->nextCmd.who : 0;
    int32_t state = kUStateWait;
    int32_t say = -1;
    switch (code) {
        case kCmdCodeNone:
            return false;
        case kCmdCodeSelect: {
            Craft* craft = AsCraft(me);
            if (craft && craft->deployState == 1) say = 6;
            else if (curState == kUStateWait) say = 0;
            else if (curState == kUStateGoto) say = 1;
            else if (curState == kUStateFollow) say = 2;
            else if (curState == kUStateAttack || curState == kUStateUser1) say = 3;
            else say = 9;
            UnitProcess_Say(me, say);
            me->AcceptCommand();  // consumed: the current command stays
            return false;
        }
        case kCmdCodeStop: say = 21; break;
        case kCmdCodeGo:
            state = kUStateGoto;
            say = pendingWho ? 11 : 10;
            break;
        case kCmdCodeAttack: state = kUStateAttack; say = 14; break;
        case kCmdCodeFollow:
            state = kUStateFollow;
            say = user && pendingWho == user->GetObjHandle() ? 13 : 12;
            break;
        case kCmdCodePickup: state = kUStateSubAttack; say = 21; break;
        case kCmdCodeGetRepair: state = kUStateRepair; say = 15; break;
        case kCmdCodeGetReload: state = kUStateReload; say = 16; break;
        case kCmdCodeDefend: state = kUStateDefend; say = 12; break;
        case kCmdCodeRescue: state = kUStateRescue; say = 17; break;
        case kCmdCodeRecycle: state = kUStateRecycle; say = 18; break;
        case kCmdCodePatrol: state = kUStatePatrol; say = 10; break;
        case kCmdCodeStage: state = kUStateStage; say = 10; break;
        default: break;  // every other code, known or not: WAIT without a reply
    }
    if (say >= 0) UnitProcess_Say(me, say);
    nextState = state;
    return true;
}

void UnitProcess::UpdateFromCommand() {
    const AiCmdInfo& cmd = me->curCmd;
    switch (nextState) {
        case kUStateGoto:
            where = cmd.where;
            whoHandle = cmd.who;
            exact = cmd.param < 2;
            release = false;
            break;
        case kUStatePatrol:
            where = cmd.where;
            release = false;
            break;
        case kUStateStage:
            where = cmd.where;
            whoHandle = cmd.who;
            release = false;
            break;
        case kUStateAttack:
        case kUStateFollow:
        case kUStateDefend:
        case kUStateRescue:
            whoHandle = cmd.who;
            break;
        default:
            break;
    }
    saveState = kUStateNone;
    saveWho = 0;
}

void UnitProcess::StateEnter(int32_t state) {
    UnitAiServices& s = Svc();
    GameObject* who = GameObject::FromHandle(whoHandle);
    switch (state) {
        case kUStateWait:
            if (me->curCmd.what == kCmdCodeStop) {
                if (where == me->curCmd.where) where = nullptr;
                me->ClearCommand();
            }
            waitStart = Clock_GetTime();
            task = me->euler.velocity.y > 10.0f ? s.coastTask(me) : s.sitTask(me);
            break;
        case kUStateGoto:
            ZeroSteering();
            if (whoHandle && who) {
                const bool fetch = who->objClass->category == kCategoryPickUp && who->objClass->signature != Signature("CPOD");
                task = fetch ? s.goGet(me, who) : s.gotoObject(me, who);
            } else {
                task = s.gotoPath(me, where, whoHandle ? false : exact);
            }
            break;
        case kUStatePatrol:
            ZeroSteering();
            task = s.patrolTask(me, where, 6);
            break;
        case kUStateStage:
            ZeroSteering();
            task = s.gotoPath(me, where, true);
            break;
        case kUStateAttack:
            task = s.attackTask(me, who);
            break;
        case kUStateFollow:
            ZeroSteering();
            task = s.followTask(me, who);
            break;
        case kUStateDefend:
            task = whoHandle ? s.defendTask(me, who) : s.sitTask(me);
            break;
        case kUStateRepair:
            RepairEnter(false);
            break;
        case kUStateReload:
            if (me->curCmd.who != me->GetObjHandle()) RepairEnter(true);
            break;
        case kUStateRescue:
            task = s.rescueTask(me, who);
            break;
        case kUStateRecycle:
            if (GameObject* dropOff = s.findDropOff(me)) task = s.gotoObject(me, dropOff);
            break;
        case kUStateSubAttack:
            if (Craft* craft = AsCraft(me)) craft->RequestUndeploy();
            break;
        default:
            break;  // USTATE1, USTATE2, 17 and states without handlers
    }
}

void UnitProcess::StateExit(int32_t state) {
    switch (state) {
        case kUStateWait:
        case kUStateGoto:
        case kUStatePatrol:
        case kUStateStage:
        case kUStateAttack:
        case kUStateFollow:
        case kUStateDefend:
        case kUStateRepair:
        case kUStateReload:
        case kUStateRescue:
            DropTask();
            break;
        case kUStateRecycle:
            DropTask();
            if (release && where) {
                Seam_Ai().pathFree(where);
                where = nullptr;
                release = false;
            }
            break;
        default:
            break;
    }
}

void UnitProcess::StateExecute(int32_t state) {
    UnitAiServices& s = Svc();
    switch (state) {
        case kUStateWait:
            if (!task) task = s.sitTask(me);
            if (task) s.taskUpdate(task);
            break;
        case kUStateGoto:
            if (TaskDone()) Finish(state, kCmdCodeGo);
            else UpdateTask();
            break;
        case kUStatePatrol:
            if (TaskDone() && !s.patrolNextLeg(task)) Finish(state, kCmdCodeGo);
            else UpdateTask();
            break;
        case kUStateStage:
            if (Clock_GetTime() < me->curCmd.value) {
                UpdateTask();
            } else {
                const uint32_t target = whoHandle;
                Finish(state, kCmdCodeGo);
                if (GameObject* who = GameObject::FromHandle(target)) me->SetCommandObject(kCmdCodeAttack, who);
            }
            break;
        case kUStateAttack:
            if (TaskDone()) {
                UnitProcess_Say(me, kSayAttackDone);
                Finish(state, kCmdCodeAttack);
            } else {
                UpdateTask();
            }
            break;
        case kUStateFollow:
            if (TaskDone()) Finish(state, kCmdCodeFollow, kCmdCodeFormation);
            else UpdateTask();
            break;
        case kUStateDefend:
            if (TaskDone()) Finish(state, kCmdCodeDefend);
            else UpdateTask();
            break;
        case kUStateRepair:
            RepairExecute(false);
            break;
        case kUStateReload:
            RepairExecute(true);
            break;
        case kUStateRescue:
            if (!Alive(whoHandle)) nextState = kUStateWait;
            else if (TaskDone()) Finish(state, kCmdCodeRescue);
            else UpdateTask();
            break;
        case kUStateRecycle:
            RecycleExecute();
            break;
        case kUStateSubAttack: {
            Craft* craft = AsCraft(me);
            if (craft && craft->IsUndeployed() && me->curCmd.what == kCmdCodePickup) {
                if (where == me->curCmd.where) where = nullptr;
                me->ClearCommand();
            }
            const Vector front = me->entity ? me->entity->local.front : Vector{0.0f, 0.0f, 1.0f};
            s.aimAlong(me, front.x, front.z, 0.0f);
            break;
        }
        default:
            break;
    }
}

void UnitProcess::RepairEnter(bool reload) {
    UnitAiServices& s = Svc();
    TeamRecord* team = TeamRecord::Get(me->team);
    const int32_t first = reload ? kSupplyPadFirst : kRepairPadFirst;
    const int32_t last = reload ? kSupplyPadLast : kRepairPadLast;
    GameObject* repairer = nullptr;
    if (team && me->curCmd.param <= 0) {
        GameObject* candidate = team->GetSlot(kRepairerSlot);
        if (candidate && (s.canAffordBuild(candidate, reload) || s.isProducing(candidate))) repairer = candidate;
    }
    Craft* craft = AsCraft(me);
    const bool undeployed = !craft || craft->IsUndeployed();
    GameObject* target = GameObject::FromHandle(me->curCmd.who);
    if (!target && !(repairer && !undeployed) && team) {
        float best = 0.0f;
        for (int32_t slot = first; slot <= last; ++slot) {
            GameObject* pad = team->GetSlot(slot);
            if (!pad || !GameObject::FromHandle(pad->GetObjHandle())) continue;
            const float length = s.plannedPathLength(me, pad);
            if (!target || length < best) {
                target = pad;
                best = length;
            }
        }
    }
    if (target) {
        if (craft && !craft->IsUndeployed()) craft->RequestUndeploy();
        whoHandle = target->GetObjHandle();
        nextState = kUStateDefend;
    } else if (repairer) {
        task = s.sitSpinTask(me);
        whoHandle = repairer->GetObjHandle();
    } else {
        nextState = kUStateWait;
    }
}

void UnitProcess::RepairExecute(bool reload) {
    UnitAiServices& s = Svc();
    if (!task) {
        nextState = kUStateWait;
        return;
    }
    TeamRecord* team = TeamRecord::Get(me->team);
    const int32_t first = reload ? kSupplyPadFirst : kRepairPadFirst;
    const int32_t last = reload ? kSupplyPadLast : kRepairPadLast;
    if (whoHandle) {
        GameObject* who = GameObject::FromHandle(whoHandle);
        if (!who) {
            nextState = kUStateWait;
            return;
        }
        bool inRange = false;
        for (int32_t slot = first; team && slot <= last; ++slot) inRange = inRange || team->GetSlot(slot) == who;
        if (inRange) {
            const float ratio = reload ? me->GetAmmoRatio() : me->GetHealthRatio();
            if (ratio >= 1.0f) {
                nextState = kUStateWait;
                return;
            }
        } else if (team && team->GetSlot(kRepairerSlot) == who) {
            if (s.canAffordBuild(who, reload)) {
                if (who->nextCmd.what == kCmdCodeNone) {
                    who->SetCommandObject(reload ? kCmdCodeGetReload : kCmdCodeGetRepair, me);
                    whoHandle = 0;
                }
            } else if (!s.isProducing(who)) {
                nextState = kUStateWait;
                return;
            }
        } else if (TaskDone()) {
            nextState = kUStateWait;
            return;
        }
    } else {
        GameObject* kit = s.findNearestOfClass(me, Signature(reload ? "AMMO" : "RKIT"), 30.0f);
        if (kit) {
            whoHandle = kit->GetObjHandle();
            DropTask();
            task = s.goGet(me, kit);
            if (!task) {
                nextState = kUStateWait;
                return;
            }
        }
    }
    UpdateTask();
}

void UnitProcess::RecycleExecute() {
    UnitAiServices& s = Svc();
    if (task && !s.taskIsDone(task)) {
        s.taskUpdate(task);
        return;
    }
    GameObject* target = task ? s.taskTarget(task) : nullptr;
    if (target && GameObject::FromHandle(target->GetObjHandle())) {
        const float r = std::max(target->radius, target->objClass->sphereRadius);
        const float d = std::max(r + me->radius + 10.0f, 40.0f);
        if (std::fabs(target->pos.x - me->pos.x) < d && std::fabs(target->pos.z - me->pos.z) < d) me->RequestRecycle();
    }
    if (me->curCmd.what == kCmdCodeRecycle) {
        if (where == me->curCmd.where) where = nullptr;
        me->ClearCommand();
    }
    nextState = kUStateWait;
}

void UnitProcess::DebugDump() {
    char a[32], b[32];
    char name[kClassNameSize + 1] = {};
    if (me) me->objClass->GetDefName(name);
    Print("UnitProcess");
    Print("id(%s) seqno(%d)", name, me ? static_cast<int>(me->seqNo) : 0);
    Print("time(%.2f)", static_cast<double>(Clock_GetTime()));
    Print("state(%s)", StateText(curState, a, sizeof a));
    Print("saveState(%s)", StateText(saveState, b, sizeof b));
    Print("priority(%d)", me ? me->curCmd.priority : 0);
    Print("%s", DeployText(me));
    Craft* craft = AsCraft(me);
    const CraftControls c = craft ? craft->controls : CraftControls{};
    Print("steer(%+.2f) braccel(%+.2f)", static_cast<double>(c.steering), static_cast<double>(c.throttle));
    Print("pitch(%+.2f) strafe(%+.2f)", static_cast<double>(c.pitch), static_cast<double>(c.strafe));
    Print("turbo(%s) jump(%s)", OnOff(c.boost), OnOff(c.jump));
    Print("team(%d) perceivedTeam(%d)", me ? me->team : 0, me ? me->perceivedTeam : 0);
    char who[32], saved[32];
    Print("who(%s)", ObjectName(whoHandle, who, sizeof who));
    if (GameObject* target = GameObject::FromHandle(whoHandle); target && me) Svc().debugLine(me->pos, target->pos, 0xffffff);
    Print("saveWho(%s)", ObjectName(saveWho, saved, sizeof saved));
    if (GameObject* target = GameObject::FromHandle(saveWho); target && me) Svc().debugLine(me->pos, target->pos, 0xffff00);
    if (task) Svc().taskDebugDraw(task);
}

// ---- saving --------------------------------------------------------------------------------

bool UnitProcess::Save(FILE* stream) {
    char className[kClassNameSize] = {};
    if (whatClass) std::memcpy(className, whatClass->defName, kClassNameSize);
    return Field_WriteInt(stream, independence, "independence") && Field_WriteInt(stream, curState, "curState") &&
           Field_WriteInt(stream, nextState, "nextState") && Field_WriteInt(stream, saveState, "saveState") &&
           Field_WriteHex(stream, &saveWho, 4, "saveWho") && Field_WriteFloat(stream, nextEnemyCheck, "nextEnemyCheck") &&
           Field_WritePointer(stream, me, "me") && Field_WritePointer(stream, task, "task") &&
           Field_WriteHex(stream, &whoHandle, 4, "whoHandle") && Field_WritePointer(stream, where, "where") &&
           Field_WriteBool(stream, release, "release") && Field_WriteBool(stream, exact, "exact") &&
           Field_WriteId(stream, className, kClassNameSize, "whatClass") &&
           Field_WriteBool(stream, isInTransition, "isInTransition") &&
           Field_WriteBool(stream, wasInTransition, "wasInTransition") && Field_WriteFloat(stream, waitStart, "waitStart") &&
           Field_WriteBool(stream, waitDeploy, "waitDeploy") && Field_WriteFloat(stream, waitDeployTime, "waitDeployTime") &&
           Field_WriteFloat(stream, timeOut, "timeOut") && AiProcess::Save(stream);
}

bool UnitProcess::Load() {
    char className[kClassNameSize + 1] = {};
    if (!(Field_ReadInt("independence", &independence) && Field_ReadInt("curState", &curState) &&
          Field_ReadInt("nextState", &nextState) && Field_ReadInt("saveState", &saveState) &&
          Field_ReadHex("saveWho", &saveWho, 4) && Field_ReadFloat("nextEnemyCheck", &nextEnemyCheck) &&
          Field_ReadPointerFixup("me", &me, "me") && Field_ReadPointerFixup("task", &task, "task") &&
          Field_ReadHex("whoHandle", &whoHandle, 4) && Field_ReadPointerFixup("where", &where, "where") &&
          Field_ReadBool("release", &release)))
        return false;
    if (Field_Version() > 1035 && !Field_ReadBool("exact", &exact)) return false;
    // A loaded unit never asks for an exact arrival.
    exact = false;
    if (!(Field_ReadId("whatClass", className, kClassNameSize) && Field_ReadBool("isInTransition", &isInTransition) &&
          Field_ReadBool("wasInTransition", &wasInTransition) && Field_ReadFloat("waitStart", &waitStart) &&
          Field_ReadBool("waitDeploy", &waitDeploy) && Field_ReadFloat("waitDeployTime", &waitDeployTime) &&
          Field_ReadFloat("timeOut", &timeOut)))
        return false;
    whatClass = className[0] ? GameObjectClass::Find(className) : nullptr;
    return AiProcess::Load();
}

bool UnitProcess::PostLoad() {
    // A damaged file may name something else as the unit: such a process drives nothing.
    if (!UnitAi_IsListedObject(me)) me = nullptr;
    if (!UnitAi_IsListedObject(fOwner)) fOwner = nullptr;
    // The state's task is a listed unit task that no earlier process of the mission holds.
    task = AiTasks_FindUnitTask(task);
    if (task && AiMission::IsLive(fMission))
        for (AiProcess* other : fMission->processes) {
            if (other == this) break;
            if (auto* unit = dynamic_cast<UnitProcess*>(other); unit && unit->task == task) task = nullptr;
        }
    saveWho = Field_ResolveHandle(saveWho);
    whoHandle = Field_ResolveHandle(whoHandle);
    if (me) me->independence = independence;
    return AiProcess::PostLoad();
}

// ---- CraftProcess --------------------------------------------------------------------------

CraftProcess::CraftProcess(AiMission* mission, GameObject* owner) : UnitProcess(mission, owner) { nextEnemyCheck = 0.0f; }

CraftProcess::CraftProcess() { nextEnemyCheck = 0.0f; }

bool CraftProcess::Save(FILE* stream) {
    return Field_WriteBool(stream, isFriend, "isFriend") && Field_WriteFloat(stream, engageRange, "engageRange") &&
           Field_WriteFloat(stream, followRange, "followRange") && Field_WriteFloat(stream, weaponRange, "weaponRange") &&
           Field_WriteFloat(stream, madTime, "madTime") && Field_WriteBool(stream, attackUser, "attackUser") &&
           UnitProcess::Save(stream);
}

bool CraftProcess::Load() {
    return Field_ReadBool("isFriend", &isFriend) && Field_ReadFloat("engageRange", &engageRange) &&
           Field_ReadFloat("followRange", &followRange) && Field_ReadFloat("weaponRange", &weaponRange) &&
           Field_ReadFloat("madTime", &madTime) && Field_ReadBool("attackUser", &attackUser) && UnitProcess::Load();
}

bool CraftProcess::ProcessCommand(int32_t code) {
    if (code == kCmdCodeNone) return false;
    if (code == kCmdCodeFollow) followRange = 15625.0f;
    if (code == kCmdCodeFormation) {
        // Formation: a follow that never breaks off for enemies.
        followRange = 0.0f;
        UnitProcess_Say(me, 12);
        nextState = kUStateFollow;
        return true;
    }
    return UnitProcess::ProcessCommand(code);
}

void CraftProcess::StateEnter(int32_t state) {
    if (state == kUStateWait) {
        if (GameObject* user = GameObject_GetUser()) isFriend = me->IsAlly(user);
    } else if (state == kUStateUser1) {
        task = UnitAi_Services().attackTask(me, GameObject::FromHandle(whoHandle));
        return;
    }
    UnitProcess::StateEnter(state);
}

void CraftProcess::StateExit(int32_t state) {
    if (state == kUStateUser1) {
        DropTask();
        return;
    }
    UnitProcess::StateExit(state);
}

void CraftProcess::StateExecute(int32_t state) {
    if (state == kUStateUser1) {
        if (TaskDone()) nextState = kUStateWait;
        else UpdateTask();
        return;
    }
    UnitProcess::StateExecute(state);
}

GameObject* CraftProcess::FindEnemy(float range2) { return UnitAi_Services().findNearestEnemyCraft(me, range2); }

bool CraftProcess::KeepTarget(int32_t state) {
    if (!enemy) return false;
    const bool inEngage = UnitAi_Distance2(me, enemy) < engageRange;
    switch (state) {
        case kUStateWait:
        case kUStateDefend:
            return inEngage;
        case kUStateGoto:
            return !isFriend && inEngage;
        case kUStateAttack:
            return commandTarget && commandTarget != enemy && UnitAi_Distance2(me, commandTarget) > weaponRange &&
                   Clock_GetTime() - me->enemyShot < madTime;
        case kUStateFollow:
            return commandTarget && UnitAi_Distance2(me, commandTarget) < followRange && inEngage;
        default:
            return false;
    }
}

bool CraftProcess::CheckEnemy() {
    if (independence == 0) return false;
    const float now = Clock_GetTime();
    GameObject* forced = UnitAi_Services().recentSniper(me);
    GameObject* user = GameObject_GetUser();
    int32_t examined;
    uint32_t target;
    enemy = nullptr;
    if (saveState != kUStateNone) {
        examined = saveState;
        target = saveWho;
        if (curState == kUStateUser1) {
            enemy = GameObject::FromHandle(whoHandle);
            if (attackUser && enemy != user) {
                // The user left the craft it was attacked in: the craft is no longer the fight.
                if (enemy) {
                    enemy = nullptr;
                } else {
                    bool back;
                    if (!user || !user->entity) back = true;
                    else if (user->entity->type == kTypePerson) back = false;
                    else back = !(user->entity->flags & kEntityDead);
                    attackUser = back;
                    if (back && user) user->SetPerceivedTeam(user->team);
                }
            }
            if (enemy && me->IsAllyTeam(enemy->perceivedTeam)) enemy = nullptr;
        }
    } else {
        examined = curState;
        target = whoHandle;
        bool search = true;
        if (forced) {
            enemy = forced;
            search = false;
        } else if (attackUser && user) {
            enemy = user;
            attackUser = UnitAi_Distance2(me, user) < engageRange;
            search = !attackUser;
            if (!attackUser) enemy = nullptr;
        }
        if (search) {
            if (now < nextEnemyCheck) return false;
            enemy = FindEnemy(engageRange);
            if (!enemy) {
                // The shared table holds values of about -1..1: its size keeps the next search
                // 7 to 10 s away.
                nextEnemyCheck = now + 7.0f + 3.0f * std::fabs(RandomTable_Next());
                return false;
            }
        }
    }
    commandTarget = (examined == kUStateAttack || examined == kUStateFollow) ? GameObject::FromHandle(target) : nullptr;
    const bool armed = me->hardpoints && me->hardpoints->present != 0;
    const bool engage = enemy && armed && (forced ? enemy == forced : KeepTarget(examined));
    if (saveState != kUStateNone) {
        if (engage) return false;
        nextState = saveState;
        whoHandle = saveWho;
        saveState = kUStateNone;
        return true;
    }
    if (!engage) return false;
    saveState = curState;
    saveWho = whoHandle;
    nextState = kUStateUser1;
    whoHandle = enemy->GetObjHandle();
    attackUser = enemy == user;
    return true;
}

void CraftProcess::DebugDump() {
    UnitProcess::DebugDump();
    if (!me) return;
    UnitAi_Services().debugCircle(me->pos, std::sqrt(engageRange), 0xffff00);
    if (curState == kUStateFollow || curState == kUStateAttack) {
        if (commandTarget) UnitAi_Services().debugLine(me->pos, commandTarget->pos, 0xffffff);
        if (enemy) UnitAi_Services().debugLine(me->pos, enemy->pos, 0xffff00);
    }
}
