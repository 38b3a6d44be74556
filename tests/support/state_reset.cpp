#include "support/state_reset.h"

#include "missions/instantaction.h"

#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "collision/colshape.h"
#include "core/cmdline.h"
#include "core/configfile.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/fixup.h"
#include "core/gamesettings.h"
#include "core/paramfile.h"
#include "core/savegame.h"
#include "core/seams/registry.h"
#include "core/seams/shell.h"
#include "core/shake.h"
#include "core/sysprobe.h"
#include "core/textentry.h"
#include "fun3d/building.h"
#include "fun3d/buildingkinds.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/craftservices.h"
#include "fun3d/objectnet.h"
#include "fun3d/person.h"
#include "fun3d/powerup.h"
#include "fun3d/particlebuffer.h"
#include "fun3d/proginput.h"
#include "fun3d/scrap.h"
#include "fun3d/visibility.h"
#include "interface/camera.h"
#include "interface/hudelement.h"
#include "interface/inputdevices.h"
#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "Objkr/rendersettings.h"
#include "platform/clock.h"
#include "platform/exit.h"
#include "platform/filedialog.h"
#include "platform/gpu_recording.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "render/billboard.h"
#include "render/blit.h"
#include "render/d3dbatch.h"
#include "render/draw2d.h"
#include "render/drawpass.h"
#include "render/font.h"
#include "render/graphicdriver.h"
#include "render/groundsprite.h"
#include "render/light.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/sky.h"
#include "render/terraindraw.h"
#include "render/renderstats.h"
#include "render/sprite.h"
#include "render/texcache.h"
#include "shell/screenmode.h"
#include "tools/debugvalues.h"
#include "tools/telemetry.h"
#include "tools/tuninglist.h"
#include "Terrain/terramap.h"
#include "ai/aimission.h"
#include "ai/aipath.h"
#include "ai/aoi.h"
#include "ai/avoidance.h"
#include "ai/avoidsettings.h"
#include "ai/attacktask.h"
#include "ai/followtask.h"
#include "ai/unittask.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/pathgrid.h"
#include "ai/pathregions.h"
#include "ai/pathplanner.h"
#include "weapons/bullet.h"
#include "weapons/ordnance.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/launcher.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"
#include "weapons/weapon.h"
#include "audio/audiosys.h"
#include "audio/radiovoice.h"
#include "audio/audiomessage.h"
#include "audio/cdaudio.h"
#include "audio/movie.h"
#include "platform/media.h"
#include "platform/movie.h"
#include "interface/bettyvoice.h"
#include "core/drdebug.h"
#include "Schedule/grassfire.h"
#include "Schedule/plannerlog.h"
#include "Schedule/prereq.h"
#include "Schedule/regionlabel.h"

void ResetProgramStateForTest() {
    // The sound layer closed, its queues empty (before the tables go back).
    BettyVoice_ResetForTests();
    AudioMessage_Reset();
    RadioVoice_ResetForTests();
    AudioSys_ResetForTests();
    Movie_Reset();
    PlatMovie_Reset();
    CDAudio_Reset();
    PlatMedia_Reset();
    // Every function table back to its stand-ins.
    Seams_ResetAll();
    ShellSeam_ResetStandInRecord();
    Objkr_ResetServices();
    Geom_ResetServices();
    ObjLoad_ResetServices();
    RenderQueue_SetServices(nullptr);
    Shake_SetServices(nullptr);
    TexCache_SetDeviceHooks(nullptr);
    Render_SetHardware2DTwins(nullptr);
    Render_SetRasteriserLookup(nullptr);
    Collision_SetFaceReader(nullptr);
    DataFile_SetLoader(nullptr);
    Cfg_Forget();  // the settings file held, and a miss remembered, came through the old loader
    Field_SetHandleFinder(nullptr);

    // The platform's hooks, fault injection and records.
    Plat_SetExitHook(nullptr);
    Plat_SetClockSource(nullptr);
    Plat_SetMessageBoxPolicy(nullptr);
    Plat_ClearMessageBoxLog();
    Plat_FailAllocationsOfSize(0, 0);
    TexCache_FailNextAllocations(0);

    // Module settings, counters and caches.
    Diagnostics_Reset();
    DebugScreen_Reset();
    CmdLine_ResetGlobals();
    IParse_ResetId();
    Field_ResetSaveIds();
    Field_DiscardFixups();
    Shake_Reset();
    RandomTable_SetIndex(0);  // the shared random table's cursor starts a program at 0
    ProgramInput_Reset();
    Craft_ResetList();
    Craft_ResetServices();
    PowerUp_ResetServices();
    Person_ResetServices();
    ObjectNet_Reset();
    ParticleBuffer_Clear();
    ParticleKind_ResetCraftSmoke();
    ObjectSensor_ResetList();
    BuildingKinds_Reset();
    Scrap_ResetForTests();
    Building_ObjectsChanged() = false;
    EntityCaches_ResetAll();
    Classfnc_ResetOwners();
    Classfnc_ResetLists();
    RenderQueue_Reset();
    TerrainEnv_Reset();
    TerrainTex_Reset();
    TerrainDraw_Reset();
    Sky_Reset();
    Raster_PixelDouble = 0;  // the terrain drawing mode sets it
    DisplayMode_Reset();
    TexCache_ResetStats();
    SaveGame_ResetGlobals();
    Plat_ResetFileDialog();
    Lang_Reset();
    TextField_DestroyAll();
    InputDevices_Reset();
    ScreenModes_Reset();
    Gpu_ResetRecording();
    Light_Reset();
    Blit_Reset();
    Sprite_Reset();
    Font_Reset();
    Draw_ResetServices();
    RenderSettings_Reset();
    Render_SetSimpleSprites(false);
    // No map loaded: a map left by an earlier test would size the object grid and the bounds.
    Terrain_FreeAll();
    TerrainBounds = TerrainBoundsInfo{};
    // Nor its zones or base height (what the shadow pattern keeps to).
    for (auto& row : ZoneMap)
        for (uint8_t& zone : row) zone = kNoZone;
    Terrain_SetBaseHeight(0);
    Batch_ResetState();
    Camera_ResetForTest();
    Hud_Reset();
    UnitAi_ResetServices();
    DebugValues_Reset();
    TuningList_Reset();
    TelemetryGraph_Reset();
    PathPlanner_ResetForTests();
    PathRegions_ResetForTests();
    PathGrid_ResetForTests();
    UnitProcess_ResetSay();
    Objective_ResetList();
    Render_StatsReset();
    Ground_SetDrawers(nullptr);
    GameSettings_Reset();
    Weapon_ResetForTest();
    Ordnance_ResetForTest();
    Missile_ResetForTest();
    MachineGun_TechnoCounter() = 0;
    ExplosionManager_ResetForTest();
    Effects_ResetForTest();
    Mission_Reset();
    InstantAction_Reset();
    AiPaths_Reset();
    AOI_Reset();
    AiTasks_Clear();
    FollowRegistry_Reset();
    AttackRegistry_Reset();
    UnitTask_ResetHooks();
    Avoidance_ResetSettings();
    Avoidance_ResetForTests();
    Chunk_Effect().Forget();
    SpriteEffects_ResetForTest();
    Quake_Effect().magnitude = 0.0f;
    Quake_Effect().rumble = nullptr;
    Lightning_Effect().Forget();
    // The planner's modules.
    DR_ResetForTests();
    PlannerLog_Reset();
    PREREQ_ResetForTests();
    RegionLabel_Reset();
    if (Grassfire_IsOpen()) Grassfire_Close();
}
