#include "fun3d/craftservices.h"

#include "core/seams/cockpit.h"
#include "core/shake.h"
#include "fun3d/gameobject.h"
#include "fun3d/tugsav.h"

namespace {

CraftServices StandIns() {
    CraftServices s{};
    // Filled by the weapons at start-up: explosions start here.
    s.explosionBuild = [](const GameObjectClass*, int, const Matrix&) { return false; };
    // Filled by the weapons at start-up: debris chunks, the particle ring and the effects' add
    // guard.
    s.chunkSpawn = [](const Vector&, const Vector&) {};
    s.particleEffectAdd = [](int, const Vector&, const Vector&) {};
    s.effectsOn = [] { return true; };
    // Filled by the weapons at start-up: a dead craft's parts fly off as chunks (the craft has
    // let go of its pointers into them first).
    s.chunkSpawnFromEntityList = [](Entity*, const Vector&) {};
    // Filled by the weapons at start-up: the effects tied to an entity.
    s.releaseEffects = [](Entity*) {};
    // Filled by the weapons at start-up: contacts reach the target's damage handler, mounted
    // weapons stop and are aimed.
    s.damageDeliver = [](Entity*, Entity*, const Vector&, const Vector&, const Vector*) {};
    s.weaponStop = [](Weapon*) {};
    s.weaponLocalMatrix = [](Weapon*) -> Matrix* { return nullptr; };
    // The cockpit's warning voice reports the loss (filled at start-up).
    s.reportUnitLost = [](GameObject*) {};
    // The view shakes through the screen shake; the view test and the wreck camera are the
    // camera's, filled at start-up.
    // A hit on the user's craft shakes the view and washes it red-orange by the same amount.
    s.viewShake = [](float amount) {
        Shake_Start(amount);
        Seam_Cockpit().screenTintFlash(amount, 5.0f, 255, 64, 0);
    };
    s.sphereInView = [](const Vector&, float, float*) { return false; };
    s.cameraFollowWreck = [](GameObject*) {};
    // PENDING(9.121) the cockpit display of a craft the user no longer drives is reset.
    s.cockpitReset = [] {};
    // PENDING(12.120) kill messages and reports; the respawn timer, registration and the remote
    // pilot's process are the network game's.
    s.netSendKillMessage = [](uint16_t, GameObject*, int, bool) {};
    s.netStartRespawnTimer = [] {};
    s.netRegister = [](GameObject*) {};
    s.netReportKill = [](GameObject*) {};
    s.netLocalPlayer = []() -> uint16_t { return kNoPlayer; };
    s.netCreateProcess = [](GameObject*) -> sObject* { return nullptr; };
    s.netMarkPlayerObject = [](GameObject*) {};
    // Filled by the game objects at start-up: scrap is dropped where a wreck explodes.
    s.scrapSpawn = [](const Vector&, int32_t) {};
    // The carrying tug lets go (the cargo is put on the terrain height).
    s.tugReleaseCargo = Tug_ReleaseCargo;
    return s;
}

}  // namespace

CraftServices& Craft_Services() {
    static CraftServices services = StandIns();
    return services;
}

void Craft_ResetServices() { Craft_Services() = StandIns(); }
