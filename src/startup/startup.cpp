#include "startup/startup.h"

#include <cstddef>

#include "Objkr/entity.h"
#include "ai/aiinstall.h"
#include "ai/aipath.h"
#include "ai/processinstall.h"
#include "missions/instantaction.h"
#include "Terrain/terramap.h"
#include "collision/collision.h"
#include "core/phasehook.h"
#include "core/savegame.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectseam.h"
#include "fun3d/scrap.h"
#include "interface/camera.h"
#include "interface/inputdevices.h"
#include "render/drawpass.h"
#include "render/billboard.h"
#include "render/graphicdriver.h"
#include "render/sky.h"
#include "render/terraindraw.h"
#include "shell/screenmode.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"
#include "weapons/weaponsinstall.h"
#include "interface/groundmarker.h"
#include "interface/hudelement.h"
#include "interface/combathud.h"
#include "interface/bettyvoice.h"
#include "audio/audiomessage.h"
#include "audio/audiosys.h"
#include "tools/debugvalues.h"
#include "tools/telemetry.h"
#include "tools/tuninglist.h"

namespace {

// Each built subsystem fills its seams, in this order (a later installer may overwrite an
// entry an earlier one filled). One installer a line: subsystems add theirs at the end.
using Installer = void (*)();
const Installer kInstallers[] = {
    Objkr_InstallWorldSeam,
    Terrain_InstallSeam,
    Collision_InstallSeam,
    Render_InstallSeam,
    GameObjects_InstallSeam,
    Render_InstallEntityDrawing,
    Interface_InstallSeam,
    SaveGame_InstallSeam,
    Render_InstallTerrainDrawing,
    Camera_InstallSeam,
    Shell_InstallScreenModes,
    Weapons_InstallSeam,
    Render_InstallBillboards,
    TuningList_InstallSeam,  // before the display elements are built: the list stands among them
    Hud_InstallSeam,
    CombatHud_InstallSeam,
    Render_InstallSky,
    Ai_InstallSeam,
    Ai_InstallProcesses,
    Missions_InstallInstantAction,
    Audio_InstallSeam,
    BettyVoice_InstallSeam,
    DebugValues_InstallSeam,
};

// The registry's members by the name the subsystem-member registration table gives them; the
// registry joins them in that table's order, so the order of these rows does not matter.
// One member a line: modules add theirs at the end.
const PhaseHookMember kMembers[] = {
    {"GameObjectPool", GameObjectPool_Member},
    {"ExplosionManager", ExplosionManager_Member},
    {"SmokeEffect", SmokeEffect_Member},
    {"DustEffect", DustEffect_Member},
    {"ChunkEffect", ChunkEffect_Member},
    {"ParticleEffect", ParticleEffect_Member},
    {"ShockWave", ShockwaveEffect_Member},
    {"GroundMarkerSprites", GroundMarker_Member},
    {"ConstructionBlobEffect", CnstBlobEffect_Member},
    {"EngineFlame", EngineFlameEffect_Member},
    {"EngineSplash", EngineSplashEffect_Member},
    {"Fireball", FireballEffect_Member},
    {"EarthquakeShake", QuakeEffect_Member},
    {"Lightning", LightningEffect_Member},
    {"AimingSight", AimSight_Member},
    {"AudioMessageQueue", AudioMessageQueue_Member},
    {"CockpitWarningVoice", CockpitWarningVoice_Member},
    {"MapBoundsAiWorld", PathWorldListener_Member},
    {"TelemetryGraph", TelemetryGraph_Member},
    {"ScrapPickup", DropoffTableHook_Member},
    {"ScrapFields", ScrapFieldHook_Member},
};

}  // namespace

void Startup_InstallAll() {
    for (Installer install : kInstallers) install();
    PhaseHook_SetMembers(kMembers, sizeof kMembers / sizeof kMembers[0]);
}
