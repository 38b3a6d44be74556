#include "ai/aimission.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "ai/aiprocess.h"
#include "ai/aistandins.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/game.h"
#include "core/helpers.h"
#include "core/savegame.h"
#include "core/seams/net.h"
#include "core/sysprobe.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectpool.h"

namespace {

constexpr float kUserLostDelay = 10.0f;  // seconds from the user's craft lost to the end
constexpr char kNoDebrief[] = "nofile";

struct Driver {
    AiMission* ticked = nullptr;
    AiMission* current = nullptr;
    char stem[9] = {};
    char debrief[kResultNameSize] = {};
};
Driver g_driver;

std::vector<const AiMission*>& LiveMissions() {
    static std::vector<const AiMission*> live;
    return live;
}

const FactoryReg* FactoryNamed(const char* name) {
    static const FactoryReg fallback[2] = {{"AiMission"}, {"EmptyMission"}};
    const FactoryReg* reg = Factory_Find(name);
    return reg ? reg : &fallback[std::strcmp(name, "AiMission") == 0 ? 0 : 1];
}

bool IsNetworkGame() { return Seam_Net().isNetworkGame(); }

bool IsLiveObject(const GameObject* object) {
    if (!object) return false;
    const std::vector<GameObject*>& list = GameObject_List();
    return std::find(list.begin(), list.end(), object) != list.end();
}

// Makes the mission current; the mission that was current before goes.
void MakeCurrent(AiMission* mission) {
    if (g_driver.current && g_driver.current != mission) delete g_driver.current;
    if (g_driver.ticked && g_driver.ticked != mission) delete g_driver.ticked;
    g_driver.current = mission;
}

void CopyResultName(char* out, const char* name) {
    std::memset(out, 0, kResultNameSize);
    Text_CopyFixed(out, kResultNameSize - 1, name);
}

// "empty" matches every name that begins with it, in any letter case.
class EmptySelector : public AiMissionSelector {
public:
    EmptySelector() : AiMissionSelector("empty") {}
    bool Matches(const char* text) const override {
        if (!text) return false;
        for (size_t i = 0; name[i]; ++i)
            if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(name[i])))
                return false;  // the end of a shorter text differs too
        return true;
    }
    AiMission* Create() const override { return new EmptyMission; }
};

EmptySelector& BaseSelector() {
    static EmptySelector selector;
    return selector;
}

// A saved object as sObject_Load reads it, but only of the expected kind: the class is checked
// before the object reads anything, so that an object of another kind never leaves fields
// queued for the fix-up or a save id naming it. fallback (may be null) makes the object for a
// name that is not registered or not of the kind; without one such a name fails.
template <class T>
T* LoadSavedObject(T* (*fallback)(const char* name)) {
    char name[kFactoryNameLength + 1] = {};
    if (!Field_ReadString("name", name, kFactoryNameLength)) return nullptr;
    uint32_t saved = 0;
    if (Field_Version() >= 1002) {
        if (!Field_ReadPointer("sObject", &saved)) return nullptr;
    } else {
        uint8_t bytes[4];
        if (!Field_ReadBytes("sObject", bytes, sizeof bytes)) return nullptr;
        saved = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    }
    T* object = nullptr;
    const FactoryReg* reg = Factory_Find(name);
    if (reg && reg->create) {
        sObject* made = reg->create();
        object = dynamic_cast<T*>(made);
        if (!object) delete made;
    }
    if (!object && fallback) object = fallback(name);
    if (!object) {
        Debug_Printf("Mission_LoadSaved: \"%s\" is not a class that belongs here\n", name);
        return nullptr;
    }
    const size_t queued = Field_FixupQueueSize();
    Field_RegisterPointer(saved, object);
    if (object->Load()) return object;
    Field_TruncateFixupQueue(queued);
    Field_UnregisterPointer(saved, object);
    delete object;
    return nullptr;
}

AiMission* FromSelectors(const char* name) {
    for (AiMissionSelector* selector : AiMission_Selectors())
        if (selector->Matches(name)) return selector->Create();
    return nullptr;
}

}  // namespace

// ---- AiMission ------------------------------------------------------------------------------

AiMission::AiMission() { LiveMissions().push_back(this); }

AiMission::~AiMission() {
    // The processes leave the list themselves as they go: take it first.
    std::vector<AiProcess*> list;
    list.swap(processes);
    for (AiProcess* process : list) {
        if (!process) continue;
        process->fMission = nullptr;
        delete process;
    }
    Ai_StandIns().tasksClear();
    Ai_StandIns().plannerEndMission();
    if (g_driver.current == this) g_driver.current = nullptr;
    if (g_driver.ticked == this) g_driver.ticked = nullptr;
    std::vector<const AiMission*>& live = LiveMissions();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool AiMission::IsLive(const AiMission* mission) {
    if (!mission) return false;
    const std::vector<const AiMission*>& live = LiveMissions();
    return std::find(live.begin(), live.end(), mission) != live.end();
}

AiMission* AiMission::GetCurrent() { return g_driver.current; }

const FactoryReg* AiMission::GetFactory() const { return FactoryNamed("AiMission"); }
const FactoryReg* EmptyMission::GetFactory() const { return FactoryNamed("EmptyMission"); }

void AiMission::AddProcess(AiProcess* process) { processes.push_back(process); }

void AiMission::RemoveProcess(AiProcess* process) {
    if (walking_) {
        std::replace(processes.begin(), processes.end(), process, static_cast<AiProcess*>(nullptr));
        return;
    }
    processes.erase(std::remove(processes.begin(), processes.end(), process), processes.end());
}

void AiMission::Fail(float time, const char* name) {
    done = true;
    shutdownTime = time;
    CopyResultName(resultName, name);
    failed = true;
}

void AiMission::Succeed(float time, const char* name) {
    done = true;
    shutdownTime = time;
    CopyResultName(resultName, name);
    failed = false;
}

void AiMission::SetResult() {
    Game_SetState(failed ? kStateFailed : kStateWon);
    CopyResultName(g_driver.debrief, resultName[0] ? resultName : kNoDebrief);
}

void AiMission::Execute() {
    if (done && Clock_GetTime() > shutdownTime && Mission_MayEnd()) {
        SetResult();
        return;
    }
    Ai_StandIns().plannerStep();

    // Processes may join the list during the walk (they run from the next frame) or leave it
    // (their gap is skipped, the process is never touched again).
    walking_ = true;
    const size_t count = processes.size();
    for (size_t i = 0; i < count; ++i) {
        AiProcess* process = processes[i];
        if (process && !process->exited) process->Execute();
    }
    walking_ = false;
    processes.erase(std::remove(processes.begin(), processes.end(), nullptr), processes.end());
    std::vector<AiProcess*> exited;
    for (AiProcess* process : processes)
        if (process->exited) exited.push_back(process);
    for (AiProcess* process : exited) delete process;

    const float dt = Clock_GetFrameTime();
    if (IsNetworkGame()) {
        // Every object with a network identity.
        const std::vector<GameObject*> objects = GameObject_List();
        for (GameObject* object : objects)
            if (object->GetNetId() != 0) Ai_StandIns().keepInBounds(object, dt);
    } else if (GameObject* user = GameObject_GetUser()) {
        Ai_StandIns().keepInBounds(user, dt);
    }
}

void AiMission::AddObject(GameObject* object) {
    CreateObjectProcess(this, object);
    if (object && object->objClass && !object->pilotClass)
        object->pilotClass = object == GameObject_GetUser() ? object->objClass->userPilotClass : object->objClass->pilotClass;
}

AiProcess* AiMission::CreateObjectProcess(AiMission* mission, GameObject* object) {
    if (!object || !object->objClass) return nullptr;
    const GameObjectClass* cls = object->objClass;
    const bool enemy = object->team == 2 && !IsNetworkGame();
    char name[kClassProcessNameSize + 1] = {};
    std::memcpy(name, enemy ? cls->enemyProcess : cls->friendProcess, kClassProcessNameSize);
    const FactoryReg* reg = Factory_Find(name);
    if (!reg || !reg->create) return nullptr;
    sObject* made = reg->create();
    auto* process = dynamic_cast<AiProcess*>(made);
    if (!process) {
        delete made;
        return nullptr;
    }
    process->Attach(mission, object);
    return process;
}

int32_t AiMission::TeamForPlayer(int32_t player) { return player; }
void AiMission::RespawnUser() { Fail(Clock_GetTime(), nullptr); }
void AiMission::StartNetworkPlayer() {}
bool AiMission::MayContinue() { return true; }
void AiMission::RemotePlayerReset(uint32_t) {}

bool AiMission::Save(FILE* stream) {
    if (!Field_WriteLabel(stream, "[AiMission]")) return false;
    if (SaveGame_IsMissionFile()) return true;
    int32_t size = 0;
    for (AiProcess* process : processes)
        if (process && !process->doNotSave) ++size;
    if (!Field_WriteInt(stream, size, "size")) return false;
    for (AiProcess* process : processes)
        if (process && !process->doNotSave && !sObject_Save(stream, process)) return false;
    return Field_WriteBool(stream, done, "done") && Field_WriteFloat(stream, shutdownTime, "shutdownTime") &&
           Field_WriteBool(stream, failed, "failed") &&
           Field_WriteString(stream, resultName, kResultNameSize, "resultName");
}

bool AiMission::Load() {
    if (!Field_ReadLabel("[AiMission]")) return false;
    if (SaveGame_IsMissionFile()) return true;
    int32_t size = 0;
    bool ok = Field_ReadInt("size", &size) && size >= 0;
    for (int32_t i = 0; ok && i < size; ++i) {
        AiProcess* process = LoadSavedObject<AiProcess>(nullptr);
        if (!process) {
            ok = false;
            break;
        }
        processes.push_back(process);
    }
    ok = ok && Field_ReadBool("done", &done) && Field_ReadFloat("shutdownTime", &shutdownTime) &&
         Field_ReadBool("failed", &failed) && Field_ReadString("resultName", resultName, kResultNameSize);
    resultName[kResultNameSize - 1] = '\0';
    if (ok) return true;
    // The processes read so far still hold saved ids instead of their mission and owner.
    for (AiProcess* process : processes) {
        process->fMission = nullptr;
        process->fOwner = nullptr;
        delete process;
    }
    processes.clear();
    return false;
}

bool AiMission::PostLoad() {
    if (SaveGame_IsMissionFile()) return true;
    bool ok = true;
    const std::vector<AiProcess*> list = processes;
    for (AiProcess* process : list) {
        if (!process->PostLoad()) {
            ok = false;
            break;
        }
    }
    // A mission that had already ended ends at once.
    if (done) SetResult();
    return ok && sObject::PostLoad();
}

// ---- selectors ------------------------------------------------------------------------------

AiMissionSelector::AiMissionSelector(const char* text) : name(text) { AiMission_Selectors().push_back(this); }

AiMissionSelector::~AiMissionSelector() {
    std::vector<AiMissionSelector*>& list = AiMission_Selectors();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool AiMissionSelector::Matches(const char* text) const { return text && std::strcmp(text, name) == 0; }

std::vector<AiMissionSelector*>& AiMission_Selectors() {
    static std::vector<AiMissionSelector*> list;
    return list;
}

// ---- the driver -----------------------------------------------------------------------------

AiMission* AiMission_CreateForMap(const char* stem) {
    char name[9] = {};
    Text_CopyFixed(name, 8, stem);
    AiMission* mission = FromSelectors(name);
    // A map without a script runs the base mission.
    if (!mission) mission = new EmptyMission;
    MakeCurrent(mission);
    Ai_StandIns().plannerStartMission();
    return mission;
}

AiMission* AiMission_CreateByName(const char* name) {
    AiMission* mission = FromSelectors(name ? name : "");
    if (!mission) mission = FromSelectors("empty");
    if (!mission) mission = new EmptyMission;
    MakeCurrent(mission);
    return mission;
}

void Mission_ClearMapName() { std::memset(g_driver.stem, 0, sizeof g_driver.stem); }

void Mission_SetMapName(const char* fileName) { Game_MapIdOf(fileName, g_driver.stem); }

const char* Mission_MapName() { return g_driver.stem; }

void Mission_CreateForMapName() { g_driver.ticked = AiMission_CreateForMap(g_driver.stem); }

void Mission_Tick() {
    Ai_StandIns().avoidanceRefillGrid();
    if (!g_driver.ticked) g_driver.ticked = g_driver.current;
    // A mission exists whenever frames run: without one the map's mission is made now.
    if (!g_driver.ticked) Mission_CreateForMapName();
    AiMission* mission = g_driver.ticked;
    mission->Execute();
    if (!IsNetworkGame() && !GameObject_GetUser() && AiMission::IsLive(mission) && !mission->done)
        FailMission(Clock_GetTime() + kUserLostDelay, nullptr);
}

namespace {
AiMission* ScriptTarget() { return g_driver.ticked ? g_driver.ticked : g_driver.current; }
}  // namespace

void FailMission(float time, const char* name) {
    if (AiMission* mission = ScriptTarget()) mission->Fail(time, name);
}

void SucceedMission(float time, const char* name) {
    if (AiMission* mission = ScriptTarget()) mission->Succeed(time, name);
}

void Mission_Shutdown() {
    if (g_driver.ticked) {
        delete g_driver.ticked;
    } else {
        delete g_driver.current;
    }
    g_driver.ticked = nullptr;
    g_driver.current = nullptr;
    Ai_StandIns().deleteAllPaths();
}

bool Mission_SaveCurrent(FILE* stream) {
    if (AiMission* mission = AiMission::GetCurrent()) return sObject_Save(stream, mission);
    // No mission: the file still names the base mission, so that it loads.
    static const char anchor = 0;
    char name[kFactoryNameLength] = "EmptyMission";
    if (!Field_WriteString(stream, name, sizeof name, "name") || !Field_WritePointer(stream, &anchor, "sObject") ||
        !Field_WriteLabel(stream, "[AiMission]"))
        return false;
    if (SaveGame_IsMissionFile()) return true;
    const bool no = false;
    const float zero = 0.0f;
    char result[kResultNameSize] = {};
    return Field_WriteInt(stream, int32_t{0}, "size") && Field_WriteBool(stream, no, "done") &&
           Field_WriteFloat(stream, zero, "shutdownTime") && Field_WriteBool(stream, no, "failed") &&
           Field_WriteString(stream, result, kResultNameSize, "resultName");
}

namespace {

// A mission file holds only the class name and the section's label: a class without a script
// runs as the base mission and nothing is lost.
AiMission* BaseMissionFor(const char* name) {
    Debug_Printf("Mission_LoadSaved: no mission class \"%s\", the base mission runs\n", name);
    return new EmptyMission;
}

}  // namespace

bool Mission_LoadSaved() {
    AiMission* mission = nullptr;
    if (SaveGame_IsMissionFile()) {
        mission = LoadSavedObject<AiMission>(BaseMissionFor);
    } else {
        mission = LoadSavedObject<AiMission>(nullptr);
    }
    if (!mission) return false;
    MakeCurrent(mission);
    return true;
}

void Mission_StartAfterLoad() {
    // The list is the truth: a process listed in the mission's section belongs to it, and an
    // owner that the file did not re-link to a live object is none.
    if (AiMission* mission = AiMission::GetCurrent()) {
        for (AiProcess* process : mission->processes) {
            process->fMission = mission;
            if (!IsLiveObject(process->fOwner)) process->fOwner = nullptr;
        }
    }
    Ai_StandIns().plannerStartMission();
    if (IsNetworkGame()) return;
    if (AiMission* mission = AiMission::GetCurrent()) {
        if (!mission->PostLoad()) Debug_Printf("Mission_StartAfterLoad: a process did not take its saved state\n");
    }
}

const char* Mission_DebriefName() { return g_driver.debrief; }

bool Mission_MayEnd() { return !Lang_IsJapanese() || !Ai_StandIns().audioMessageIsPlaying(); }

void Mission_Reset() {
    Mission_Shutdown();
    g_driver = Driver{};
    EmptySelector& base = BaseSelector();
    std::vector<AiMissionSelector*>& list = AiMission_Selectors();
    list.clear();
    list.push_back(&base);
    Ai_ResetStandIns();
}

void Mission_InstallBaseSelector() {
    EmptySelector& base = BaseSelector();
    std::vector<AiMissionSelector*>& list = AiMission_Selectors();
    if (std::find(list.begin(), list.end(), &base) == list.end()) list.push_back(&base);
}
