#include "support/seam_recorder.h"

#include <type_traits>

#include "core/app.h"

namespace {

template <typename Tag, typename F>
struct Rec;

template <typename Tag, typename R, typename... A>
struct Rec<Tag, R (*)(A...)> {
    using Store = std::conditional_t<std::is_void_v<R>, int, R>;
    static inline std::string name;
    static inline Store result{};
    static inline bool log = true;
    static R Call(A...) {
        if (log) SeamLog().push_back(name);
        if constexpr (!std::is_void_v<R>) return result;
    }
};

#define GV_RECORD_WITH(table, prefix, field, quiet, value)                  \
    do {                                                                    \
        struct Tag {};                                                      \
        using R = Rec<Tag, std::remove_reference_t<decltype(table().field)>>; \
        R::name = prefix "." #field;                                        \
        R::log = !(quiet);                                                  \
        value;                                                              \
        table().field = &R::Call;                                           \
    } while (0)
#define GV_RECORD(table, prefix, field) GV_RECORD_WITH(table, prefix, field, false, (void)0)
#define GV_QUIET(table, prefix, field) GV_RECORD_WITH(table, prefix, field, true, (void)0)
#define GV_RECORD_RESULT(table, prefix, field, v) GV_RECORD_WITH(table, prefix, field, false, R::result = v)
#define GV_QUIET_RESULT(table, prefix, field, v) GV_RECORD_WITH(table, prefix, field, true, R::result = v)

void InstallAll() {
    GV_RECORD(Seam_World, "world", entitiesReset);
    GV_RECORD(Seam_World, "world", entitiesRemoveAll);
    GV_RECORD(Seam_World, "world", entitiesFreeAllCaches);
    GV_RECORD(Seam_World, "world", entitiesResetDetail);
    GV_RECORD(Seam_World, "world", entitiesAddNotify);
    GV_RECORD(Seam_World, "world", entitiesAddRemoveNotify);
    GV_QUIET(Seam_World, "world", entitiesGetUser);
    GV_RECORD(Seam_World, "world", entityPairsReset);
    GV_RECORD(Seam_World, "world", entityAllocFreeAll);
    GV_RECORD(Seam_World, "world", classfncResetLists);
    GV_RECORD(Seam_World, "world", classfncActivatePending);
    GV_RECORD(Seam_World, "world", classfncCallSlot11);
    GV_RECORD(Seam_World, "world", classfncClear);
    GV_RECORD(Seam_World, "world", classfncPurge);
    GV_RECORD(Seam_World, "world", classfncUpdateAll);
    GV_RECORD(Seam_World, "world", classfncPostUpdateAll);
    GV_RECORD(Seam_World, "world", animObjInit);
    GV_RECORD(Seam_World, "world", animObjReset);
    GV_RECORD(Seam_World, "world", animObjStep);
    GV_QUIET(Seam_World, "world", animObjActiveCount);
    GV_RECORD(Seam_World, "world", bspCacheReset);
    GV_RECORD(Seam_World, "world", geomCacheReset);
    GV_RECORD(Seam_World, "world", geomCacheFreeAll);
    GV_RECORD(Seam_World, "world", shadowsLoad);
    GV_RECORD(Seam_World, "world", shadowsFree);
    GV_RECORD(Seam_World, "world", shadowsDraw);
    GV_RECORD(Seam_World, "world", entitiesDrawWorld);
    GV_RECORD(Seam_World, "world", entitiesDrawSelected);
    GV_RECORD(Seam_World, "world", entitiesDrawSingle);
    GV_RECORD(Seam_World, "world", collisionInit);
    GV_RECORD(Seam_World, "world", collisionShutdown);
    GV_RECORD(Seam_World, "world", collisionProcessFrame);
    GV_RECORD(Seam_World, "world", collisionTransformAll);
    GV_RECORD(Seam_World, "world", terrainClearEntityList);
    GV_RECORD(Seam_World, "world", terrainSetFileName);
    GV_RECORD(Seam_World, "world", terrainReleaseEntities);
    GV_RECORD(Seam_World, "world", terrainFreeAll);
    GV_RECORD(Seam_World, "world", terrainFreeTextures);
    GV_RECORD(Seam_World, "world", terrainDraw);
    GV_QUIET(Seam_World, "world", terrainTypeMapPending);
    GV_RECORD(Seam_World, "world", skyLoad);
    GV_RECORD(Seam_World, "world", skyFree);
    GV_RECORD(Seam_World, "world", skyDraw);
    GV_RECORD(Seam_Objects, "objects", teamRecordCreateAll);
    GV_RECORD(Seam_Objects, "objects", teamRecordDestroyAll);
    GV_RECORD(Seam_Objects, "objects", animBuildingPostLoad);
    GV_RECORD(Seam_Objects, "objects", gameObjectCreateGrid);
    GV_RECORD(Seam_Objects, "objects", gameObjectFreeGrid);
    GV_RECORD(Seam_Objects, "objects", gameObjectUpdateGrid);
    GV_RECORD(Seam_Objects, "objects", gameObjectUpdateVisibility);
    GV_RECORD(Seam_Objects, "objects", gameObjectRevealAll);
    GV_RECORD(Seam_Objects, "objects", gameObjectRemoveAll);
    GV_RECORD(Seam_Objects, "objects", sendNetUpdates);
    GV_RECORD(Seam_Objects, "objects", stepUserObject);
    GV_RECORD(Seam_Objects, "objects", scrapCreateGrid);
    GV_RECORD(Seam_Objects, "objects", scrapFreeGrid);
    GV_RECORD(Seam_Objects, "objects", scrapRefreshGrid);
    GV_RECORD(Seam_Objects, "objects", classesFreeAll);
    GV_RECORD(Seam_Weapons, "weapons", weaponUpdateAll);
    GV_RECORD(Seam_Weapons, "weapons", weaponUpdateAllSecond);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceUpdateAll);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceNetPass);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceLastPass);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceRenderAll);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceFreeAll);
    GV_RECORD(Seam_Weapons, "weapons", weaponFreeAll);
    GV_RECORD(Seam_Weapons, "weapons", explosionClassFreeAll);
    GV_RECORD(Seam_Weapons, "weapons", ordnanceClassFreeAll);
    GV_RECORD(Seam_Weapons, "weapons", weaponClassFreeAll);
    GV_RECORD(Seam_Ai, "ai", missionClearCurrent);
    GV_RECORD(Seam_Ai, "ai", missionTakeMapId);
    GV_RECORD(Seam_Ai, "ai", missionTick);
    GV_RECORD(Seam_Ai, "ai", missionFree);
    GV_QUIET(Seam_Ai, "ai", missionHasCurrent);
    GV_RECORD(Seam_Ai, "ai", missionNetStart);
    GV_RECORD(Seam_Ai, "ai", collisionCfgRead);
    GV_RECORD(Seam_Ai, "ai", avoidanceStart);
    GV_RECORD(Seam_Ai, "ai", avoidanceFree);
    GV_RECORD(Seam_Missions, "missions", createByName);
    GV_QUIET(Seam_Tools, "tools", editorIsOn);
    GV_RECORD(Seam_Tools, "tools", editorLeave);
    GV_RECORD_RESULT(Seam_Core, "core", saveGameLoad, true);
    GV_RECORD(Seam_Core, "core", missionResaveIfOld);
    GV_RECORD(Seam_Core, "core", netRegisterLoadedObjects);
    GV_RECORD(Seam_Core, "core", textFieldClearList);
    GV_RECORD(Seam_Core, "core", textFieldDrawAll);
    GV_RECORD(Seam_Core, "core", textFieldDestroyAll);
    GV_RECORD(Seam_Render, "render", readGraphicOptions);
    GV_RECORD_RESULT(Seam_Render, "render", driverInitialise, true);
    GV_RECORD(Seam_Render, "render", driverRelease);
    GV_RECORD(Seam_Render, "render", driverPause);
    GV_RECORD(Seam_Render, "render", driverResume);
    GV_RECORD(Seam_Render, "render", driverPresent);
    GV_RECORD(Seam_Render, "render", driverSetMode);
    GV_RECORD(Seam_Render, "render", driverResize);
    GV_QUIET(Seam_Render, "render", driverWasShutDown);
    GV_RECORD(Seam_Render, "render", saveGraphicOptions);
    GV_RECORD(Seam_Render, "render", initBrightness);
    GV_RECORD(Seam_Render, "render", loadSprites);
    GV_RECORD(Seam_Render, "render", freeSprites);
    GV_RECORD(Seam_Render, "render", freeFonts);
    GV_QUIET(Seam_Render, "render", blackIndex);
    GV_RECORD(Seam_Render, "render", loadFonts);
    GV_RECORD(Seam_Render, "render", paletteRemapIdentity255);
    GV_RECORD(Seam_Render, "render", setPalette);
    GV_RECORD(Seam_Render, "render", setMissionPalette);
    GV_RECORD(Seam_Render, "render", setDriverBlackIndex);
    GV_RECORD(Seam_Render, "render", paletteFade);
    GV_RECORD(Seam_Render, "render", renderStatsReset);
    GV_RECORD(Seam_Render, "render", renderStatsDraw);
    GV_RECORD(Seam_Render, "render", cameraTargetDisplay);
    GV_RECORD(Seam_Render, "render", renderQueueReset);
    GV_RECORD(Seam_Render, "render", renderQueueFlush);
    GV_RECORD(Seam_Render, "render", renderQueueFree);
    GV_RECORD(Seam_Render, "render", lightCloseWorld);
    GV_RECORD(Seam_Render, "render", texCacheReset);
    GV_RECORD(Seam_Render, "render", texCacheFree);
    GV_RECORD(Seam_Render, "render", animTexUpdate);
    GV_RECORD(Seam_Render, "render", animTexFree);
    GV_RECORD(Seam_Render, "render", spriteTablesReset);
    GV_RECORD(Seam_Render, "render", graphicBuffersFree);
    GV_QUIET(Seam_Render, "render", presentForbidden);
    GV_RECORD(Seam_Render, "render", setHeadingMatrix);
    GV_RECORD(Seam_Render, "render", clearBackground);
    GV_RECORD(Seam_Render, "render", lineDoublingRestore);
    GV_RECORD_RESULT(Seam_Render, "render", lockFrame, true);
    GV_RECORD(Seam_Render, "render", unlockFrame);
    GV_RECORD(Seam_Render, "render", beginScene);
    GV_RECORD(Seam_Render, "render", endScene);
    GV_RECORD(Seam_Render, "render", lockBackBuffer);
    GV_RECORD(Seam_Render, "render", unlockBackBuffer);
    GV_QUIET(Seam_Render, "render", hardwareMode);
    GV_QUIET(Seam_Render, "render", paletteFindNearest);
    GV_QUIET(Seam_Render, "render", fontHeight);
    GV_RECORD(Seam_Render, "render", drawText);
    GV_RECORD(Seam_Render, "render", fillRect);
    GV_RECORD(Seam_Render, "render", spriteFind);
    GV_RECORD(Seam_Render, "render", spriteDraw);
    GV_RECORD(Seam_Render, "render", setSingleColourIndex);
    GV_RECORD(Seam_Cockpit, "cockpit", forceFeedbackStart);
    GV_RECORD(Seam_Cockpit, "cockpit", forceFeedbackEnable);
    GV_RECORD(Seam_Cockpit, "cockpit", forceFeedbackClose);
    GV_RECORD(Seam_Cockpit, "cockpit", buildKeyNames);
    GV_RECORD(Seam_Cockpit, "cockpit", mouseCapture);
    GV_RECORD(Seam_Cockpit, "cockpit", mouseRelease);
    GV_RECORD(Seam_Cockpit, "cockpit", inputClose);
    GV_RECORD(Seam_Cockpit, "cockpit", keyboardClearState);
    GV_RECORD(Seam_Cockpit, "cockpit", keyboardOnMessage);
    GV_RECORD(Seam_Cockpit, "cockpit", mouseOnMessage);
    GV_RECORD(Seam_Cockpit, "cockpit", inputInit);
    GV_RECORD(Seam_Cockpit, "cockpit", inputRead);
    GV_RECORD(Seam_Cockpit, "cockpit", gameKeyProcess);
    GV_RECORD(Seam_Cockpit, "cockpit", hudInitAll);
    GV_RECORD(Seam_Cockpit, "cockpit", hudStartAll);
    GV_RECORD(Seam_Cockpit, "cockpit", hudEndAll);
    GV_RECORD(Seam_Cockpit, "cockpit", hudStep);
    GV_RECORD(Seam_Cockpit, "cockpit", hudDrawLayer);
    GV_QUIET_RESULT(Seam_Cockpit, "cockpit", hudIsOn, true);
    GV_QUIET(Seam_Cockpit, "cockpit", radarIsOn);
    GV_RECORD(Seam_Cockpit, "cockpit", radarDrawFrame);
    GV_RECORD(Seam_Cockpit, "cockpit", radarDrawSweep);
    GV_RECORD(Seam_Cockpit, "cockpit", commandMenuReset);
    GV_RECORD(Seam_Cockpit, "cockpit", cameraReset);
    GV_QUIET(Seam_Cockpit, "cockpit", cameraGetStep);
    GV_QUIET(Seam_Cockpit, "cockpit", cameraViewState);
    GV_QUIET_RESULT(Seam_Cockpit, "cockpit", cameraOwnEntitySwitch, true);
    GV_QUIET(Seam_Cockpit, "cockpit", cameraInsideViewSwitch);
    GV_RECORD(Seam_Cockpit, "cockpit", sightPausedStep);
    GV_RECORD(Seam_Cockpit, "cockpit", writeMapImage);
    GV_RECORD(Seam_Audio, "audio", audioInit);
    GV_RECORD(Seam_Audio, "audio", audioShutdown);
    GV_RECORD(Seam_Audio, "audio", cdSaveVolume);
    GV_RECORD(Seam_Audio, "audio", cdRestoreVolume);
    GV_RECORD(Seam_Audio, "audio", cdPause);
    GV_RECORD(Seam_Audio, "audio", cdResume);
    GV_QUIET(Seam_Audio, "audio", movieDeviceOpen);
    GV_RECORD(Seam_Audio, "audio", movieDeviceClose);
    GV_RECORD(Seam_Audio, "audio", movieOpen);
    GV_RECORD(Seam_Audio, "audio", moviePlay);
    GV_QUIET(Seam_Audio, "audio", movieIsPlaying);
    GV_RECORD(Seam_Audio, "audio", movieClose);
    GV_RECORD(Seam_Audio, "audio", movieNotify);
    GV_RECORD(Seam_Audio, "audio", audioUpdate);
    GV_RECORD(Seam_Audio, "audio", soundFrontEndEnable);
    GV_RECORD(Seam_Audio, "audio", releaseMissionSounds);
    GV_RECORD(Seam_Audio, "audio", stopAllSounds);
    GV_RECORD(Seam_Audio, "audio", cdPlayTrack);
    GV_RECORD(Seam_Audio, "audio", cdPlayMissionTrack);
    GV_RECORD(Seam_Audio, "audio", cdStop);
    GV_RECORD(Seam_Shell, "shell", playerDefRead);
    GV_RECORD(Seam_Shell, "shell", playerDefWrite);
    GV_RECORD(Seam_Shell, "shell", playerDefFree);
    GV_RECORD(Seam_Shell, "shell", copyStartupText);
    GV_RECORD(Seam_Shell, "shell", setupFont);
    GV_RECORD(Seam_Shell, "shell", saveMouseSettings);
    GV_RECORD(Seam_Shell, "shell", restoreMouseSettings);
    GV_RECORD(Seam_Shell, "shell", restoreSystemSettings);
    GV_RECORD(Seam_Shell, "shell", setScreenMode);
    GV_RECORD(Seam_Shell, "shell", setCursor);
    GV_RECORD(Seam_Shell, "shell", selectSavedCursor);
    GV_QUIET(Seam_Shell, "shell", isSoundPlaying);
    GV_RECORD(Seam_Shell, "shell", stopSound);
    GV_RECORD(Seam_Shell, "shell", refreshMenu);
    GV_RECORD(Seam_Shell, "shell", refreshScreenState);
    GV_RECORD(Seam_Shell, "shell", inGameMenuKey);
    GV_RECORD(Seam_Shell, "shell", failureScreen);
    GV_RECORD(Seam_Shell, "shell", successScreen);
    GV_RECORD(Seam_Shell, "shell", setInGameScreenState);
    GV_RECORD(Seam_Shell, "shell", messageWindowsSetup);
    GV_RECORD(Seam_Shell, "shell", messageWindowsDraw);
    GV_RECORD(Seam_Shell, "shell", messageWindowsFree);
    GV_QUIET(Seam_Net, "net", isHost);
    GV_RECORD_RESULT(Seam_Net, "net", poll, true);
    GV_RECORD(Seam_Net, "net", sessionStart);
    GV_QUIET(Seam_Net, "net", playersSyncPending);
    GV_QUIET(Seam_Net, "net", linkLost);
    GV_RECORD(Seam_Net, "net", playPhaseStart);
    GV_RECORD(Seam_Net, "net", sessionEnd);
    GV_RECORD(Seam_Net, "net", respawnViaMission);
    GV_RECORD(Seam_Net, "net", drawScoreboard);
    GV_RECORD(Seam_Net, "net", drawStatsGraph);
    GV_RECORD_RESULT(Seam_Net, "net", startNetworkShell, true);
    GV_RECORD(Seam_Net, "net", signalGameStart);
}

}  // namespace

std::vector<std::string>& SeamLog() {
    static std::vector<std::string> log;
    return log;
}

std::vector<std::string> SeamLogFiltered(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& entry : SeamLog()) {
        if (entry.compare(0, prefix.size(), prefix) == 0) out.push_back(entry);
    }
    return out;
}

SeamRecorder::SeamRecorder()
    : world_(Seam_World()), objects_(Seam_Objects()), weapons_(Seam_Weapons()), ai_(Seam_Ai()),
      missions_(Seam_Missions()), tools_(Seam_Tools()), core_(Seam_Core()), render_(Seam_Render()),
      cockpit_(Seam_Cockpit()), audio_(Seam_Audio()), shell_(Seam_Shell()), net_(Seam_Net()) {
    SeamLog().clear();
    InstallAll();
    Seam_Shell().mainMenu = [] {
        SeamLog().push_back("shell.mainMenu");
        Game_SetState(10);
        return 0;
    };
}

SeamRecorder::~SeamRecorder() {
    Seam_World() = world_;
    Seam_Objects() = objects_;
    Seam_Weapons() = weapons_;
    Seam_Ai() = ai_;
    Seam_Missions() = missions_;
    Seam_Tools() = tools_;
    Seam_Core() = core_;
    Seam_Render() = render_;
    Seam_Cockpit() = cockpit_;
    Seam_Audio() = audio_;
    Seam_Shell() = shell_;
    Seam_Net() = net_;
}
