#include "ai/aiprocess.h"

#include <algorithm>
#include <cstdint>

#include "ai/aimission.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"

namespace {

// A process whose load failed is destroyed while its pointer fields may still hold saved ids:
// only an owner that is a live object of the world is ever touched.
bool IsLiveObject(const GameObject* object) {
    if (!object) return false;
    const std::vector<GameObject*>& list = GameObject_List();
    return std::find(list.begin(), list.end(), object) != list.end();
}

}  // namespace

AiProcess::AiProcess(AiMission* mission, GameObject* owner) { Attach(mission, owner); }

AiProcess::~AiProcess() {
    if (IsLiveObject(fOwner)) {
        if (fOwner->aiProcess == this) fOwner->aiProcess = nullptr;
        fOwner->ClearCommand();
        fOwner->SetCommand(0);
    }
    if (AiMission::IsLive(fMission)) fMission->RemoveProcess(this);
}

void AiProcess::Attach(AiMission* mission, GameObject* owner) {
    // A process belongs to one mission and is listed there once.
    if (AiMission::IsLive(fMission)) fMission->RemoveProcess(this);
    fMission = mission;
    if (mission) mission->AddProcess(this);
    exited = false;
    fOwner = owner;
    if (owner) owner->aiProcess = this;
}

bool AiProcess::Load() {
    uint32_t word = 0;
    if (!Field_ReadPointerFixup("fMission", &fMission, this, "AiProcess") ||
        !Field_ReadPointerFixup("fOwner", &fOwner, this, "AiProcess") || !Field_ReadBool("exited", &word, sizeof word))
        return false;
    exited = word != 0;
    return true;
}

bool AiProcess::PostLoad() { return sObject::PostLoad(); }

bool AiProcess::Save(FILE* stream) {
    const uint32_t word = exited ? 1u : 0u;
    return Field_WritePointer(stream, fMission, "fMission") && Field_WritePointer(stream, fOwner, "fOwner") &&
           Field_WriteBool(stream, &word, sizeof word, "exited");
}

void AiProcess::DebugDump() {}
