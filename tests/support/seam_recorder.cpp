#include "support/seam_recorder.h"

#include <cstring>
#include <type_traits>

#include "core/app.h"
#include "core/seams/registry.h"

namespace {

template <typename Tag, typename F>
struct Rec;

template <typename Tag, typename R, typename... A>
struct Rec<Tag, R (*)(A...)> {
    using Fn = R (*)(A...);
    using Store = std::conditional_t<std::is_void_v<R>, int, R>;
    static inline std::string name;
    static inline Store result{};
    static inline bool log = true;
    static inline Fn forward = nullptr;  // the entry installed before, for pass-through entries
    static R Call(A... args) {
        if (log) SeamLog().push_back(name);
        if (forward) return forward(args...);
        if constexpr (!std::is_void_v<R>) return result;
    }
};

// One function per table: GV_TABLE names it, one line per entry follows, GV_END_TABLE checks
// at compile time that the lines match the table's entries in number (a duplicate line instead
// of a missing one is caught by the coverage test).
#define GV_TABLE(Type, accessor, prefix_)                 \
    using Table = Type;                                   \
    Table& table = accessor();                            \
    const std::string prefix = prefix_;                   \
    constexpr int kFirstEntry = __COUNTER__ + 1
#define GV_END_TABLE()                                                                 \
    static_assert(__COUNTER__ - kFirstEntry == sizeof(Table) / sizeof(void (*)()), \
                  "the seam recorder must list every entry of this table")

#define GV_ENTRY(field, quiet, pass, value)                                    \
    do {                                                                       \
        (void)__COUNTER__;                                                     \
        struct Tag {};                                                         \
        using R = Rec<Tag, std::remove_reference_t<decltype(Table::field)>>;   \
        R::name = prefix + "." #field;                                         \
        R::log = !(quiet);                                                     \
        if (table.field != &R::Call) R::forward = (pass) ? table.field : nullptr; \
        value;                                                                 \
        table.field = &R::Call;                                                \
    } while (0)
#define GV_RECORD(field) GV_ENTRY(field, false, false, (void)0)
#define GV_QUIET(field) GV_ENTRY(field, true, false, (void)0)
#define GV_RECORD_RESULT(field, v) GV_ENTRY(field, false, false, R::result = v)
#define GV_QUIET_RESULT(field, v) GV_ENTRY(field, true, false, R::result = v)
#define GV_PASS(field) GV_ENTRY(field, true, true, (void)0)
#define GV_RECORD_PASS(field) GV_ENTRY(field, false, true, (void)0)
#define GV_SET(field, fn)      \
    do {                       \
        (void)__COUNTER__;     \
        table.field = fn;      \
    } while (0)

void RecordWorld() {
    GV_TABLE(WorldSeam, Seam_World, "world");
    GV_RECORD(entitiesReset);
    GV_RECORD(entitiesRemoveAll);
    GV_RECORD(entitiesFreeAllCaches);
    GV_RECORD(entitiesResetDetail);
    GV_RECORD(entitiesAddNotify);
    GV_RECORD(entitiesAddRemoveNotify);
    GV_QUIET(entitiesGetUser);
    GV_RECORD(entityPairsReset);
    GV_RECORD(entityAllocFreeAll);
    GV_RECORD(classfncResetLists);
    GV_RECORD(classfncActivatePending);
    GV_RECORD(classfncCallSlot11);
    GV_RECORD(classfncClear);
    GV_RECORD(classfncPurge);
    GV_RECORD(classfncUpdateAll);
    GV_RECORD(classfncPostUpdateAll);
    GV_RECORD(animObjInit);
    GV_RECORD(animObjReset);
    GV_RECORD(animObjStep);
    GV_QUIET(animObjActiveCount);
    GV_RECORD(bspCacheReset);
    GV_RECORD(geomCacheReset);
    GV_RECORD(geomCacheFreeAll);
    GV_RECORD(shadowsLoad);
    GV_RECORD(shadowsFree);
    GV_RECORD(shadowsDraw);
    GV_RECORD(entitiesDrawWorld);
    GV_RECORD(entitiesDrawSelected);
    GV_RECORD(entitiesDrawSingle);
    GV_RECORD(collisionInit);
    GV_RECORD(collisionShutdown);
    GV_RECORD(collisionProcessFrame);
    GV_RECORD(collisionTransformAll);
    GV_RECORD(terrainClearEntityList);
    GV_RECORD(terrainSetFileName);
    GV_RECORD(terrainReleaseEntities);
    GV_RECORD(terrainFreeAll);
    GV_RECORD(terrainFreeTextures);
    GV_RECORD(terrainDraw);
    GV_QUIET(terrainTypeMapPending);
    GV_RECORD(skyLoad);
    GV_RECORD(skyFree);
    GV_RECORD(skyDraw);
    GV_PASS(terrainLoadMap);
    GV_PASS(terrainSave);
    GV_PASS(terrainModified);
    GV_PASS(terrainCentre);
    GV_END_TABLE();
}

void RecordObjects() {
    GV_TABLE(ObjectsSeam, Seam_Objects, "objects");
    GV_RECORD(teamRecordCreateAll);
    GV_RECORD(teamRecordDestroyAll);
    GV_RECORD(animBuildingPostLoad);
    GV_RECORD(gameObjectCreateGrid);
    GV_RECORD(gameObjectFreeGrid);
    GV_RECORD(gameObjectUpdateGrid);
    GV_RECORD(gameObjectUpdateVisibility);
    GV_RECORD(gameObjectRevealAll);
    GV_RECORD(gameObjectRemoveAll);
    GV_RECORD(sendNetUpdates);
    GV_RECORD(stepUserObject);
    GV_RECORD(scrapCreateGrid);
    GV_RECORD(scrapFreeGrid);
    GV_RECORD(scrapRefreshGrid);
    GV_RECORD(classesFreeAll);
    GV_PASS(saveAll);
    GV_PASS(loadAll);
    GV_PASS(postLoadAll);
    GV_RECORD_PASS(discardLoaded);
    GV_PASS(teamSaveAll);
    GV_PASS(teamLoadAll);
    GV_PASS(teamPostLoadAll);
    GV_PASS(buildStartPlayer);
    GV_RECORD_PASS(startUserObject);
    GV_RECORD_PASS(registerNetObjects);
    GV_PASS(getSerialCounter);
    GV_RECORD_PASS(setSerialCounter);
    GV_END_TABLE();
}

void RecordWeapons() {
    GV_TABLE(WeaponsSeam, Seam_Weapons, "weapons");
    GV_RECORD(weaponUpdateAll);
    GV_RECORD(weaponUpdateAllSecond);
    GV_RECORD(ordnanceUpdateAll);
    GV_RECORD(ordnanceNetPass);
    GV_RECORD(ordnanceLastPass);
    GV_RECORD(ordnanceRenderAll);
    GV_RECORD(ordnanceFreeAll);
    GV_RECORD(weaponFreeAll);
    GV_RECORD(explosionClassFreeAll);
    GV_RECORD(ordnanceClassFreeAll);
    GV_RECORD(weaponClassFreeAll);
    GV_PASS(weaponClassBuild);
    GV_RECORD_PASS(weaponDestroy);
    GV_PASS(weaponClassName);
    GV_PASS(weaponClassFind);
    GV_PASS(weaponClassSignature);
    GV_PASS(weaponClassOf);
    GV_PASS(weaponChanged);
    GV_PASS(effectsOn);
    GV_PASS(engineFlameAdd);
    GV_RECORD_PASS(ordnanceSetStateAll);
    GV_RECORD_PASS(ordnanceReceiveNew);
    GV_RECORD_PASS(ordnanceReceiveExpire);
    GV_RECORD_PASS(ordnanceReceiveKill);
    GV_PASS(ordnanceForEachLive);
    GV_END_TABLE();
}

void RecordAi() {
    GV_TABLE(AiSeam, Seam_Ai, "ai");
    GV_RECORD(missionClearCurrent);
    GV_RECORD(missionTakeMapId);
    GV_RECORD(missionTick);
    GV_RECORD(missionFree);
    GV_QUIET(missionHasCurrent);
    GV_RECORD(missionNetStart);
    GV_RECORD(collisionCfgRead);
    GV_RECORD(avoidanceStart);
    GV_RECORD(avoidanceFree);
    GV_PASS(createUserProcess);
    GV_PASS(pathNew);
    GV_RECORD_PASS(pathFree);
    GV_PASS(pathFirstPoint);
    GV_RECORD(processStep);
    GV_PASS(createObjectProcess);
    GV_RECORD_PASS(missionAddObject);
    GV_RECORD(pathPlannerInit);
    GV_PASS(missionSaveCurrent);
    GV_PASS(missionLoadCurrent);
    GV_PASS(aoisSave);
    GV_PASS(aoisLoad);
    GV_PASS(pathsSave);
    GV_PASS(pathsLoad);
    GV_PASS(tasksSave);
    GV_PASS(tasksLoad);
    GV_RECORD_PASS(tasksPostLoad);
    GV_RECORD_PASS(missionStartAfterLoad);
    GV_PASS(missionMayContinue);
    GV_RECORD_PASS(missionRemotePlayerReset);
    GV_RECORD_PASS(pathGridMarkCircle);
    GV_PASS(allyInLineOfFire);
    GV_PASS(teamCanUseObject);
    GV_END_TABLE();
}

void RecordMissions() {
    GV_TABLE(MissionsSeam, Seam_Missions, "missions");
    GV_RECORD(createByName);
    GV_PASS(difficulty);
    GV_PASS(scriptStateSave);
    GV_PASS(scriptStateLoad);
    GV_RECORD_PASS(scriptStatePostLoad);
    GV_END_TABLE();
}

void RecordTools() {
    GV_TABLE(ToolsSeam, Seam_Tools, "tools");
    GV_QUIET(editorIsOn);
    GV_RECORD(editorLeave);
    GV_END_TABLE();
}

void RecordCore() {
    GV_TABLE(CoreSeam, Seam_Core, "core");
    GV_RECORD_RESULT(saveGameLoad, true);
    GV_RECORD(missionResaveIfOld);
    GV_RECORD(netRegisterLoadedObjects);
    GV_RECORD(textFieldClearList);
    GV_RECORD(textFieldDrawAll);
    GV_RECORD(textFieldDestroyAll);
    GV_END_TABLE();
}

void RecordRender() {
    GV_TABLE(RenderSeam, Seam_Render, "render");
    GV_RECORD(readGraphicOptions);
    GV_PASS(chooseDriver);
    GV_RECORD_RESULT(driverInitialise, true);
    GV_RECORD(driverRelease);
    GV_RECORD(driverPause);
    GV_RECORD(driverResume);
    GV_RECORD(driverPresent);
    GV_RECORD(driverSetMode);
    GV_RECORD(driverResize);
    GV_QUIET(driverWasShutDown);
    GV_RECORD_PASS(driverClear);
    GV_PASS(displayFlags);
    GV_RECORD(saveGraphicOptions);
    GV_RECORD(initBrightness);
    GV_RECORD(freeSprites);
    GV_RECORD(freeFonts);
    GV_QUIET(blackIndex);
    GV_PASS(getDepthBias);
    GV_RECORD_PASS(setDepthBias);
    GV_PASS(mainView);
    GV_RECORD(loadFonts);
    GV_RECORD(paletteRemapIdentity255);
    GV_RECORD(setPalette);
    GV_RECORD(setMissionPalette);
    GV_RECORD_PASS(applyWorldPalette);
    GV_RECORD_PASS(setTranslucencyTable);
    GV_RECORD_PASS(setAlphaTable);
    GV_RECORD_PASS(lightInitWorld);
    GV_PASS(sunDirection);
    GV_PASS(separateDraw);
    GV_RECORD_PASS(setSeparateDraw);
    GV_RECORD(setDriverBlackIndex);
    GV_RECORD(paletteFade);
    GV_RECORD(renderStatsReset);
    GV_RECORD(renderStatsDraw);
    GV_RECORD(cameraTargetDisplay);
    GV_RECORD(renderQueueReset);
    GV_RECORD(renderQueueFlush);
    GV_RECORD(renderQueueFree);
    GV_RECORD(texCacheReset);
    GV_RECORD(texCacheFree);
    GV_RECORD(animTexUpdate);
    GV_RECORD(animTexFree);
    GV_RECORD(spriteTablesReset);
    GV_RECORD(graphicBuffersFree);
    GV_QUIET(presentForbidden);
    GV_RECORD(setHeadingMatrix);
    GV_RECORD(clearBackground);
    GV_RECORD(lineDoublingRestore);
    GV_RECORD_RESULT(lockFrame, true);
    GV_RECORD(unlockFrame);
    GV_RECORD_RESULT(beginScene, true);
    GV_RECORD(endScene);
    GV_RECORD(lockBackBuffer);
    GV_RECORD(unlockBackBuffer);
    GV_QUIET(hardwareMode);
    GV_PASS(hardwareFrameInfo);
    GV_PASS(screenClip);
    GV_QUIET(paletteFindNearest);
    GV_QUIET(fontHeight);
    GV_PASS(textWidth);
    GV_RECORD(drawText);
    GV_RECORD(fillRect);
    GV_RECORD(spriteFind);
    GV_RECORD(queueBillboard);
    GV_RECORD(sphereViewDepth);
    GV_RECORD(viewDepth);
    GV_RECORD(queueQuad);
    GV_RECORD(queueLine);
    GV_RECORD(viewEye);
    GV_RECORD(spriteDraw);
    GV_RECORD(setSingleColourIndex);
    GV_QUIET(smokeQueuePuff);
    GV_RECORD(queueBillboardFlags);
    GV_PASS(terrainExposureSet);
    GV_PASS(terrainExposure);
    GV_PASS(terrainExposureClear);
    GV_RECORD(viewPoint);
    GV_RECORD(queuePointSprite);
    GV_QUIET(simpleSprites);
    GV_RECORD(lightCloseWorld);
    GV_RECORD(loadSprites);
    GV_END_TABLE();
}

void RecordCockpit() {
    GV_TABLE(CockpitSeam, Seam_Cockpit, "cockpit");
    GV_RECORD(forceFeedbackStart);
    GV_RECORD(forceFeedbackEnable);
    GV_RECORD(forceFeedbackClose);
    GV_RECORD(buildKeyNames);
    GV_RECORD(mouseCapture);
    GV_RECORD(mouseRelease);
    GV_RECORD_PASS(mouseRequestReset);
    GV_RECORD(inputClose);
    GV_PASS(labelMapGetLabel);
    GV_RECORD(keyboardClearState);
    GV_RECORD(keyboardOnMessage);
    GV_RECORD(mouseOnMessage);
    GV_RECORD(inputInit);
    GV_RECORD(inputRead);
    GV_RECORD(gameKeyProcess);
    GV_RECORD(hudInitAll);
    GV_RECORD(hudStartAll);
    GV_RECORD(hudEndAll);
    GV_RECORD(hudStep);
    GV_RECORD(hudDrawLayer);
    GV_QUIET_RESULT(hudIsOn, true);
    GV_RECORD_PASS(hudSetOn);
    GV_PASS(screenTintFlash);
    GV_PASS(screenTintAddLevel);
    GV_PASS(groundMarkerSet);
    GV_RECORD_PASS(missionTimerSave);
    GV_RECORD_PASS(missionTimerLoad);
    GV_RECORD_PASS(missionTimerStart);
    GV_PASS(missionTimerTime);
    GV_QUIET(radarIsOn);
    GV_RECORD(radarDrawFrame);
    GV_RECORD(radarDrawSweep);
    GV_RECORD(commandMenuReset);
    GV_RECORD(cameraReset);
    GV_QUIET(cameraGetStep);
    GV_QUIET(cameraViewState);
    GV_QUIET_RESULT(cameraOwnEntitySwitch, true);
    GV_QUIET(cameraInsideViewSwitch);
    GV_RECORD(sightPausedStep);
    GV_QUIET(insetViewsRender);
    GV_RECORD_PASS(voiceReportPanel);
    GV_RECORD_PASS(voiceReportCraft);
    GV_RECORD_PASS(voiceReportBuilding);
    GV_RECORD_PASS(voiceReportTower);
    GV_RECORD(writeMapImage);
    GV_QUIET(cameraTargetPosition);
    GV_PASS(cheatFlags);
    GV_RECORD_PASS(unitGroupsDropHandle);
    GV_RECORD_PASS(reportUnderAttack);
    GV_RECORD_PASS(queueWarning);
    GV_RECORD(unitDisplayRefresh);
    GV_PASS(cameraPosition);
    GV_QUIET(cameraTarget);
    GV_PASS(userAimPoint);
    GV_END_TABLE();
}

void RecordAudio() {
    GV_TABLE(AudioSeam, Seam_Audio, "audio");
    GV_RECORD(audioInit);
    GV_RECORD(audioShutdown);
    GV_RECORD(cdSaveVolume);
    GV_RECORD(cdRestoreVolume);
    GV_RECORD(cdPause);
    GV_RECORD(cdResume);
    GV_QUIET(movieDeviceOpen);
    GV_RECORD(movieDeviceClose);
    GV_RECORD(movieOpen);
    GV_RECORD(moviePlay);
    GV_QUIET(movieIsPlaying);
    GV_RECORD(movieClose);
    GV_RECORD(movieNotify);
    GV_RECORD(audioUpdate);
    GV_RECORD(soundFrontEndEnable);
    GV_RECORD(releaseMissionSounds);
    GV_RECORD(stopAllSounds);
    GV_RECORD(cdPlayTrack);
    GV_RECORD(cdPlayMissionTrack);
    GV_RECORD(cdStop);
    GV_RECORD_PASS(cdSetTrack);
    GV_QUIET(soundMemoryInUse);
    GV_PASS(soundPlayOnObject);
    GV_RECORD(soundPlay);
    GV_PASS(soundLoopStart);
    GV_PASS(soundLoopSet);
    GV_PASS(soundLoopStop);
    GV_PASS(voicePlay);
    GV_QUIET(audioMessagePlaying);
    GV_RECORD(audioMessageRepeat);
    GV_PASS(audioMessagePlay);
    GV_PASS(audioMessageIsDone);
    GV_PASS(audioMessageStop);
    GV_PASS(radioVoiceQueue);
    GV_PASS(radioVoiceRemoveSpeaker);
    GV_PASS(hoverEngineSettings);
    GV_PASS(soundStopAttached);
    GV_PASS(soundSetPitchVolume);
    GV_END_TABLE();
}

void RecordShell() {
    GV_TABLE(ShellSeam, Seam_Shell, "shell");
    GV_RECORD(playerDefRead);
    GV_RECORD(playerDefWrite);
    GV_RECORD(playerDefFree);
    GV_PASS(playerDef);
    GV_RECORD(copyStartupText);
    GV_RECORD(setupFont);
    GV_RECORD(saveMouseSettings);
    GV_RECORD(restoreMouseSettings);
    GV_RECORD(restoreSystemSettings);
    GV_RECORD(setScreenMode);
    GV_RECORD(setCursor);
    GV_RECORD(selectSavedCursor);
    GV_QUIET(isSoundPlaying);
    GV_RECORD(stopSound);
    GV_RECORD(refreshMenu);
    GV_RECORD(refreshScreenState);
    GV_PASS(modalProc);
    GV_RECORD(inGameMenuKey);
    GV_PASS(resetScreenMode);
    GV_RECORD(pauseToggle);
    GV_RECORD(saveScreenshot);
    GV_SET(mainMenu, [] {
        SeamLog().push_back("shell.mainMenu");
        Game_SetState(10);
        return 0;
    });
    GV_RECORD(failureScreen);
    GV_RECORD(successScreen);
    GV_RECORD(setInGameScreenState);
    GV_RECORD(messageWindowsSetup);
    GV_RECORD(messageWindowsDraw);
    GV_RECORD(messageWindowsFree);
    GV_END_TABLE();
}

void RecordNet() {
    GV_TABLE(NetSeam, Seam_Net, "net");
    GV_PASS(isNetworkGame);
    GV_PASS(isInternetGame);
    GV_PASS(isDeathmatch);
    GV_PASS(allowSniperWeapons);
    GV_PASS(allowSplinterWeapon);
    GV_QUIET(isHost);
    GV_RECORD_RESULT(poll, true);
    GV_RECORD(sessionStart);
    GV_QUIET(playersSyncPending);
    GV_QUIET(linkLost);
    GV_RECORD(playPhaseStart);
    GV_RECORD(sessionEnd);
    GV_RECORD(respawnViaMission);
    GV_RECORD(drawScoreboard);
    GV_RECORD(drawStatsGraph);
    GV_RECORD_RESULT(startNetworkShell, true);
    GV_PASS(networkMapName);
    GV_RECORD(signalGameStart);
    GV_RECORD_PASS(publishState);
    GV_RECORD_PASS(forgetRemote);
    GV_RECORD_PASS(identityGone);
    GV_RECORD(sendObjectStates);
    GV_PASS(packVector);
    GV_PASS(unpackVector);
    GV_PASS(localPlayerId);
    GV_RECORD(sendReliable);
    GV_PASS(maxMessageSize);
    GV_PASS(debugFlag);
    GV_PASS(debugLog);
    GV_RECORD(queueOrdnance);
    GV_PASS(clearQueuedOrdnance);
    GV_PASS(registerObject);
    GV_PASS(findObject);
    GV_PASS(sendMessage);
    GV_PASS(refreshByteRate);
    GV_PASS(playerName);
    GV_PASS(reportKill);
    GV_RECORD(sendSniped);
    GV_PASS(forceObjectUpdate);
    GV_END_TABLE();
}

void RecordPlanner() {
    GV_TABLE(PlannerSeam, Seam_Planner, "planner");
    GV_PASS(slotCount);
    GV_PASS(scrapChanged);
    GV_PASS(sendPoint);
    GV_END_TABLE();
}
void InstallAll() {
    RecordWorld();
    RecordObjects();
    RecordWeapons();
    RecordAi();
    RecordMissions();
    RecordTools();
    RecordCore();
    RecordRender();
    RecordCockpit();
    RecordAudio();
    RecordShell();
    RecordNet();
    RecordPlanner();
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

SeamRecorder::SeamRecorder() {
    for (const SeamTableInfo& info : Seams_All()) {
        const char* bytes = static_cast<const char*>(info.table);
        saved_.emplace_back(bytes, bytes + info.size);
    }
    SeamLog().clear();
    InstallAll();
}

SeamRecorder::~SeamRecorder() {
    const std::vector<SeamTableInfo>& tables = Seams_All();
    for (size_t i = 0; i < tables.size() && i < saved_.size(); ++i)
        std::memcpy(tables[i].table, saved_[i].data(), tables[i].size);
}
