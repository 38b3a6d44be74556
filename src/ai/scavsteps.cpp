#include "ai/scavsteps.h"

#include <algorithm>

#include "ai/gototask.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/unittask.h"
#include "ai/worldqueries.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr int32_t kServerSlot = 3;
constexpr int32_t kPadFirst = 60;
constexpr int32_t kPadLast = 64;
constexpr float kRepairKitReach2 = 30.0f;
constexpr float kDropReach2 = 1600.0f;

void DeleteTask(UnitTask** task) {
    delete *task;
    *task = nullptr;
}

Craft* AsCraft(GameObject* object) { return object ? Craft_FromEntity(object->entity) : nullptr; }

bool ServerWorks(GameObject* server) {
    UnitAiServices& s = UnitAi_Services();
    return server && (s.canAffordBuild(server, false) || s.isProducing(server));
}

}  // namespace

bool ScavSteps_RepairEnter(const ScavStepFields& f) {
    GameObject* craft = f.craft;
    if (!craft) return false;
    UnitAiServices& s = UnitAi_Services();
    TeamRecord* team = TeamRecord::Get(craft->team);
    GameObject* server = team ? team->GetSlot(kServerSlot) : nullptr;
    if (server && (craft->curCmd.param > 0 || !ServerWorks(server))) server = nullptr;
    Craft* self = AsCraft(craft);
    GameObject* destination = craft->GetCommandTarget();
    if (!destination && server && self && self->IsDeployed()) destination = server;
    if (!destination && team) {
        float best = 1e30f;
        for (int32_t slot = kPadFirst; slot <= kPadLast; ++slot) {
            GameObject* pad = team->GetSlot(slot);
            if (!pad) continue;
            const float length = s.plannedPathLength(craft, pad);
            if (length < best) {
                best = length;
                destination = pad;
            }
        }
    }
    DeleteTask(f.task);
    if (destination) {
        if (self && self->IsDeployed()) self->RequestUndeploy();
        const float near = destination->objClass->sphereRadius + craft->radius;
        *f.task = new GoNearAndSit(craft, destination, near);
    } else if (!server) {
        *f.whoHandle = 0;
        return false;
    } else {
        *f.task = new SitSpinTask(craft);
        destination = server;
    }
    *f.whoHandle = destination->GetObjHandle();
    return true;
}

bool ScavSteps_RepairStep(const ScavStepFields& f) {
    GameObject* craft = f.craft;
    if (!craft || !*f.task) return false;
    UnitAiServices& s = UnitAi_Services();
    if (*f.whoHandle) {
        GameObject* who = GameObject::FromHandle(*f.whoHandle);
        if (!who) return false;
        const int32_t slot = who->teamSlot;
        if (slot >= kPadFirst && slot <= kPadLast) {
            if (craft->healthRatio >= 1.0f) return false;
        } else if (slot != kServerSlot) {
            if ((*f.task)->IsDone()) return false;
        } else if (s.canAffordBuild(who, false) && who->curCmd.what == kCmdCodeNone) {
            who->SetCommandObject(kCmdCodeGetRepair, craft);
            *f.whoHandle = 0;
        } else if (!ServerWorks(who)) {
            return false;
        }
    } else if (GameObject* kit = s.findNearestOfClass(craft, Signature("RKIT"), kRepairKitReach2)) {
        *f.whoHandle = kit->GetObjHandle();
        DeleteTask(f.task);
        *f.task = new GoGet(craft, kit);
    }
    if (*f.task && !(*f.task)->IsDone()) (*f.task)->Update();
    return true;
}

void ScavSteps_CashOutEnter(const ScavStepFields& f) {
    DeleteTask(f.task);
    if (GameObject* drop = f.craft ? UnitAi_Services().findDropOff(f.craft) : nullptr)
        *f.task = new GotoTask(f.craft, drop);
}

bool ScavSteps_CashOutStep(const ScavStepFields& f) {
    GameObject* craft = f.craft;
    if (!craft) return false;
    UnitAiServices& s = UnitAi_Services();
    if (*f.task && !(*f.task)->IsDone()) {
        (*f.task)->Update();
        return true;
    }
    if (GameObject* drop = s.findDropOff(craft); drop && UnitAi_Distance2(craft, drop) < kDropReach2)
        craft->RequestRecycle();
    if (craft->curCmd.what == kCmdCodeRecycle) craft->ClearCommand();
    return false;
}
