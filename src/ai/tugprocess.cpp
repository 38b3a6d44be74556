#include "ai/tugprocess.h"

#include <cmath>
#include <cstdio>

#include "Objkr/entitysvc.h"
#include "ai/followtask.h"
#include "ai/rescuetask.h"
#include "ai/scavsteps.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/unittask.h"
#include "ai/worldqueries.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/tugsav.h"

namespace {

const char* const kStateNames[kTugStateCount] = {"START",  "WAIT",    "GOTO",    "FOLLOW",  "PICKUP",
                                                 "PARK",   "DROPOFF", "REPAIR",  "RECYCLE", "RESCUE"};

constexpr float kPickupNear = 30.0f;
constexpr float kWaitBehindSq = 49.0f;
constexpr float kHookReachSq = 100.0f;
constexpr float kBackOff = 15.0f;

Tug* AsTug(GameObject* object) { return dynamic_cast<Tug*>(object); }

Vector FrontOf(const GameObject* object) {
    return object && object->entity ? object->entity->local.front : Vector{0.0f, 0.0f, 1.0f};
}

void Print(const char* line) { UnitAi_Services().debugPrint(line); }

}  // namespace

const char* TugProcess_StateName(int32_t state) {
    return state >= 0 && state < kTugStateCount ? kStateNames[state] : nullptr;
}

// ---- TugProcess ------------------------------------------------------------------------------

TugProcess::~TugProcess() {
    delete task;
    task = nullptr;
}

const FactoryReg* TugProcess::GetFactory() const { return Factory_Find(name_); }

void TugProcess::Attach(AiMission* mission, GameObject* owner) {
    AiProcess::Attach(mission, owner);
    curState = kTugStart;
    nextState = kTugWait;
    delete task;
    task = nullptr;
    craft = owner;
    dropoffPoint = 5.0f;
}

void TugProcess::Execute() {
    if (!craft) return;
    if (nextState != kTugNoState) {
        Leave(curState);
        curState = nextState;
        nextState = kTugNoState;
        Enter(curState);
    }
    if (CheckCommand(craft->nextCmd.what)) {
        Leave(curState);
        craft->AcceptCommand();
        TakeCommand();
        curState = nextState;
        nextState = kTugNoState;
        Enter(curState);
        if (nextState != kTugNoState) return;
    }
    Step(curState);
}

bool TugProcess::CheckCommand(int32_t code) {
    int32_t state = curState;
    int32_t say = -1;
    switch (code) {
        case kCmdCodeNone:
            return false;
        case kCmdCodeSelect: {
            Tug* tug = AsTug(craft);
            if (tug && tug->cargo) say = 7;
            else if (curState == kTugWait) say = 0;
            else if (curState == kTugGoto) say = 1;
            else say = 9;
            UnitProcess_Say(craft, say);
            craft->AcceptCommand();
            return false;
        }
        case kCmdCodeStop: say = 21; state = kTugWait; break;
        case kCmdCodeGo: say = 10; state = kTugGoto; break;
        case kCmdCodeFollow: say = 12; state = kTugFollow; break;
        case kCmdCodePickup: say = 19; state = kTugPickup; break;
        case kCmdCodeDropoff: say = 20; state = kTugDropoff; break;
        case kCmdCodeGetRepair: say = 15; state = kTugRepair; break;
        case kCmdCodeRescue: say = 17; state = kTugRescue; break;
        case kCmdCodeRecycle: say = 18; state = kTugRecycle; break;
        default: break;  // left and entered again
    }
    if (say >= 0) UnitProcess_Say(craft, say);
    nextState = state;
    return true;
}

void TugProcess::TakeCommand() {
    switch (nextState) {
        case kTugGoto:
        case kTugDropoff:
            where.y = kTugUseCommandPath;
            break;
        case kTugFollow:
        case kTugPickup:
        case kTugRescue:
            whoHandle = craft->curCmd.who;
            break;
        default:
            break;
    }
}

void TugProcess::StartDrive() {
    if (where.y == kTugUseCommandPath) task = new GotoTask(craft, craft->curCmd.where, false);
    else task = new GotoTask(craft, where);
}

void TugProcess::RefreshEntities() {
    GameObject* target = GameObject::FromHandle(whoHandle);
    targetEntity = target ? target->entity : nullptr;
    tugEntity = craft ? craft->entity : nullptr;
}

void TugProcess::Enter(int32_t state) {
    GameObject* who = GameObject::FromHandle(whoHandle);
    ScavStepFields fields{craft, &whoHandle, &task};
    switch (state) {
        case kTugGoto:
        case kTugDropoff:
            StartDrive();
            break;
        case kTugPark:
            task = new GotoTask(craft, where);
            break;
        case kTugFollow:
            if (who) task = new FollowTask(craft, who);
            break;
        case kTugPickup:
            RefreshEntities();
            if (who) task = new TugPickup(craft, who);
            break;
        case kTugRescue:
            if (who) task = new RescueTask(craft, who);
            break;
        case kTugRepair:
            if (!ScavSteps_RepairEnter(fields)) nextState = kTugWait;
            break;
        case kTugRecycle:
            ScavSteps_CashOutEnter(fields);
            break;
        default:
            break;
    }
}

void TugProcess::Leave(int32_t) {
    delete task;
    task = nullptr;
    if (craft) craft->ClearCommand();
}

void TugProcess::Step(int32_t state) {
    auto* body = dynamic_cast<Craft*>(craft);
    const bool done = task && (task)->IsDone();
    ScavStepFields fields{craft, &whoHandle, &task};
    switch (state) {
        case kTugWait:
            // Holds its heading.
            if (body) {
                const Vector front = FrontOf(craft);
                body->controls.throttle = body->controls.strafe = 0.0f;
                body->SetHeading(front.x, front.z);
            }
            return;
        case kTugDropoff:
            if (done) {
                const Vector at = AI_PositionOf(craft), front = FrontOf(craft);
                where = Vector{at.x + dropoffPoint * front.x, at.y + dropoffPoint * front.y,
                               at.z + dropoffPoint * front.z};
                UnitProcess_Say(craft, 5);
                nextState = kTugPark;
                return;
            }
            break;
        case kTugPark:
            if (done) {
                if (body) body->RequestUndeploy();
                targetEntity = nullptr;
                const Vector at = AI_PositionOf(craft), front = FrontOf(craft);
                where = Vector{at.x - kBackOff * front.x, at.y - kBackOff * front.y, at.z - kBackOff * front.z};
                nextState = kTugGoto;
                return;
            }
            break;
        case kTugRepair:
            if (!ScavSteps_RepairStep(fields)) nextState = kTugWait;
            return;
        case kTugRecycle:
            if (!ScavSteps_CashOutStep(fields)) nextState = kTugWait;
            return;
        case kTugGoto:
        case kTugFollow:
        case kTugPickup:
        case kTugRescue:
            if (!task || done) {
                nextState = kTugWait;
                return;
            }
            break;
        default:
            return;
    }
    if (task && !(task)->IsDone()) (task)->Update();
}

void TugProcess::DebugDump() {
    char line[160];
    char name[kClassNameSize + 1] = {};
    if (craft) craft->objClass->GetDefName(name);
    Print("TugProcess");
    std::snprintf(line, sizeof line, "id(%s) seqno(%d)", name, craft ? static_cast<int>(craft->seqNo) : 0);
    Print(line);
    const char* state = TugProcess_StateName(curState);
    std::snprintf(line, sizeof line, "state(%s)", state ? state : "?");
    Print(line);
    if (Tug* tug = AsTug(craft)) {
        std::snprintf(line, sizeof line, "craft(0x%p)", static_cast<void*>(tug));
        Print(line);
        std::snprintf(line, sizeof line, "cargo(0x%p)", static_cast<void*>(tug->cargo));
        Print(line);
        if (tug->cargo && tug->cargo->objClass->label) {
            std::snprintf(line, sizeof line, "cargo(%s)", tug->cargo->objClass->label);
            Print(line);
        }
        const CraftControls& c = tug->controls;
        std::snprintf(line, sizeof line, "steer(%+.2f) braccel(%+.2f)", static_cast<double>(c.steering),
                      static_cast<double>(c.throttle));
        Print(line);
        const Vector at = AI_PositionOf(tug), v = tug->euler.velocity, a = tug->force;
        std::snprintf(line, sizeof line, "x(%.2f) y(%.2f) z(%.2f)", static_cast<double>(at.x), static_cast<double>(at.y),
                      static_cast<double>(at.z));
        Print(line);
        std::snprintf(line, sizeof line, "vx(%+.2f) vy(%+.2f) vz(%+.2f)", static_cast<double>(v.x),
                      static_cast<double>(v.y), static_cast<double>(v.z));
        Print(line);
        std::snprintf(line, sizeof line, "ax(%+.4f) ay(%+.4f) az(%+.4f)", static_cast<double>(a.x),
                      static_cast<double>(a.y), static_cast<double>(a.z));
        Print(line);
    }
    if (task) task->DebugDraw();
}

bool TugProcess::Save(FILE* stream) {
    return Field_WriteInt(stream, curState, "curState") && Field_WriteInt(stream, nextState, "nextState") &&
           Field_WritePointer(stream, craft, "craft") && Field_WriteVector(stream, &where, sizeof where, "where") &&
           Field_WriteHex(stream, &whoHandle, 4, "whoHandle") && Field_WritePointer(stream, task, "task") &&
           Field_WriteFloat(stream, dropoffPoint, "dropoffPoint") &&
           Field_WriteVector(stream, &tugLocation, sizeof tugLocation, "tugLocation") && AiProcess::Save(stream);
}

bool TugProcess::Load() {
    return Field_ReadInt("curState", &curState) && Field_ReadInt("nextState", &nextState) &&
           Field_ReadPointerFixup("craft", &craft, "craft") && Field_ReadVector("where", &where, sizeof where) &&
           Field_ReadHex("whoHandle", &whoHandle, 4) && Field_ReadPointerFixup("task", &task, "task") &&
           Field_ReadFloat("dropoffPoint", &dropoffPoint) &&
           Field_ReadVector("tugLocation", &tugLocation, sizeof tugLocation) && AiProcess::Load();
}

bool TugProcess::PostLoad() {
    // A damaged file may name anything: only a listed object drives, only a listed task runs.
    if (!UnitAi_IsListedObject(craft)) craft = nullptr;
    task = AiTasks_FindUnitTask(task);
    if (curState < 0 || curState >= kTugStateCount) curState = kTugWait;
    if (nextState != kTugNoState && (nextState < 0 || nextState >= kTugStateCount)) nextState = kTugWait;
    whoHandle = Field_ResolveHandle(whoHandle);
    if (curState == kTugPickup) RefreshEntities();
    return AiProcess::PostLoad();
}

// ---- TugPickup -------------------------------------------------------------------------------

TugPickup::TugPickup(GameObject* tug, GameObject* target) : GoNear(tug, target, kPickupNear) {}

const FactoryReg* TugPickup::GetFactory() const { return UnitTask_FactoryEntry("TugPickup"); }

bool TugPickup::OnNear() {
    auto* tug = dynamic_cast<Tug*>(me);
    const bool carriedByOther = him->carrier && him->carrier != me;
    // 1. Another tug has it: close to 7 m and wait there.
    if (carriedByOther && lastDistSq > kWaitBehindSq) return true;
    // 2.
    if (!him->entity) {
        nextState = kTaskDone;
        return false;
    }
    // 3. The target relative to the tow point.
    Matrix tow, target;
    Entity_GetTransformTo(tow, tug && tug->towNode ? tug->towNode : me->entity, nullptr);
    Entity_GetTransformTo(target, him->entity, nullptr);
    const Vector offset{static_cast<float>(target.posit.x - tow.posit.x), 0.0f,
                        static_cast<float>(target.posit.z - tow.posit.z)};
    if (!carriedByOther && offset.x * offset.x + offset.z * offset.z < kHookReachSq) {
        if (tug && tug->cargo == him) {
            nextState = kTaskDone;
            return false;
        }
        if (tug && tug->IsUndeployed()) tug->RequestDeploy();
    }
    // 4. Toward the target by the offset; held still beside another's cargo.
    if (carriedByOther) {
        Brake();
    } else {
        const float length = std::sqrt(offset.x * offset.x + offset.z * offset.z);
        const Vector dir = length > 0.0f ? Vector{offset.x / length, 0.0f, offset.z / length} : Vector{};
        TurnToWorld(dir);
        DriveToward(offset);
    }
    return false;
}

void Ai_InstallTugProcesses() {
    Registration_SetCreate("TugFriend", []() -> sObject* { return new TugProcess("TugFriend"); });
    Registration_SetCreate("TugEnemy", []() -> sObject* { return new TugProcess("TugEnemy"); });
    Registration_SetCreate("TugPickup", []() -> sObject* { return new TugPickup; });
}
