#include "ai/processinstall.h"

#include <cstring>

#include "ai/aimission.h"
#include "ai/aiprocess.h"
#include "ai/userprocess.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "fun3d/powerup.h"

namespace {

AiMission* CurrentMission() { return AiMission::GetCurrent(); }


}  // namespace

void Ai_InstallProcesses() {
    Registration_SetCreate("UserProcess", UserProcess_Create);
    Registration_SetCreate("NetProcess", NetProcess_Create);
    AiSeam& ai = Seam_Ai();
    ai.createUserProcess = [](GameObject* object) -> sObject* {
        return object ? new UserProcess(CurrentMission(), object) : nullptr;
    };
    Craft_Services().netCreateProcess = [](GameObject* craft) -> sObject* {
        if (!craft) return nullptr;
        auto* process = new NetProcess();
        process->Attach(CurrentMission(), craft);
        return process;
    };
    PowerUp_Services().rebuildWeaponGroups = [](GameObject* object) {
        if (auto* user = dynamic_cast<UserProcess*>(object ? object->aiProcess : nullptr)) user->SetupWeaponGroups();
    };
}
