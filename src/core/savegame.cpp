#include "core/savegame.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "core/app.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/game.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/core.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/objects.h"
#include "core/seams/world.h"
#include "platform/filedialog.h"
#include "platform/paths.h"

namespace {

constexpr int32_t kVersionOldSlot = 1033;  // slots of this version or older show no description
const char* const kSaveFailed = "Failed to save game\n";
const char* const kAutosavePath = "save\\autosave.sav";

SaveGameGlobals g_globals;
std::string g_currentPath;
SaveStreamOpener g_opener = nullptr;

// ---- names ------------------------------------------------------------------------------------

// The file-name part of a path (after the last '\' or '/').
std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasDirectory(const std::string& path) { return path.find_first_of("\\/") != std::string::npos; }

bool EndsWithNoCase(const std::string& text, const char* ending) {
    const size_t n = std::strlen(ending);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) !=
            std::tolower(static_cast<unsigned char>(ending[i])))
            return false;
    return true;
}

// The file name without its extension (from the last '.').
std::string Stem(const std::string& path) {
    std::string name = FileNamePart(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

template <size_t N>
void CopyText(char (&out)[N], const std::string& text) {
    std::memset(out, 0, N);
    std::memcpy(out, text.data(), std::min(text.size(), N - 1));
}

// ---- writing ----------------------------------------------------------------------------------

FILE* OpenForWriting(const std::string& hostPath) {
    return g_opener ? g_opener(hostPath.c_str()) : Plat_OpenFile(hostPath, "wb");
}

// The header and the seven sections; false at the first refused write.
bool WriteStream(FILE* f, int32_t runType) {
    SaveGameGlobals& g = g_globals;
    const bool binary = Field_IsBinary();
    const bool mission = g.missionSave;
    // The first two fields are text whatever the form, so that a reader can tell the form.
    Field_SetBinary(false);
    const int32_t version = kSaveVersionCurrent;
    bool ok = Field_WriteInt(f, version, "version") && Field_WriteBool(f, binary, "binarySave");
    Field_SetBinary(binary);
    const uint32_t seqCount = Seam_Objects().getSerialCounter();
    ok = ok && Field_WriteString(f, g.missionFile, sizeof g.missionFile, "msn_filename") &&
         Field_WriteInt(f, &seqCount, 4, "seq_count") && Field_WriteBool(f, mission, "missionSave");
    if (ok && !mission) {
        int32_t progress[6];
        std::copy(std::begin(g.progress), std::end(g.progress), progress);
        // A finished mission of a run that returns to the shell resumes at the next one.
        if (runType == 1 && progress[4] == 2 && progress[5] == 0 && progress[3] >= 1 && progress[3] <= 3)
            ++progress[progress[3] - 1];
        static const char* const kProgressNames[6] = {"nUsaMissionIndex", "nUssrMissionIndex", "nTrnMissionIndex",
                                                      "nPlayerSide",      "nMissionStatus",    "nOldMissionMode"};
        ok = Field_WriteInt(f, runType, "runType") &&
             Field_WriteBytes(f, g.description, sizeof g.description, "saveGameDesc");
        for (int i = 0; i < 6 && ok; ++i) ok = Field_WriteInt(f, progress[i], kProgressNames[i]);
    }
    ok = ok && Field_WriteString(f, g.terrainName, sizeof g.terrainName, "TerrainName");
    if (ok && !mission) ok = Field_WriteFloat(f, Clock_GetTime(), "start_time");
    ObjectsSeam& objects = Seam_Objects();
    AiSeam& ai = Seam_Ai();
    ok = ok && objects.saveAll(f) && objects.teamSaveAll(f) && ai.missionSaveCurrent(f) && ai.aoisSave(f) &&
         ai.pathsSave(f);
    if (ok && !mission) ok = ai.tasksSave(f);
    if (ok && !mission) ok = Seam_Missions().scriptStateSave(f);
    return ok;
}

// ---- loading ----------------------------------------------------------------------------------

struct Header {
    int32_t version = 0;
    bool binary = false;
    char missionFile[kSaveMissionNameSize + 1] = {};  // one more: always terminated
    uint32_t seqCount = 0;
    bool missionSave = false;
    int32_t runType = 0;
    char description[kSaveDescriptionSize] = {};
    int32_t progress[6] = {};
    char terrainName[kSaveTerrainNameSize + 1] = {};
    float startTime = 0.0f;
};

// The fields after "version" up to the description (the slot list stops there); false at the
// first failure.
bool ReadHeaderStart(Header& h) {
    Field_SetVersion(h.version);
    if (h.version > 1022) {
        if (!Field_ReadBool("binarySave", &h.binary)) return false;
        Field_SetBinary(h.binary);
    }
    if (h.version >= 1024 && !Field_ReadString("msn_filename", h.missionFile, kSaveMissionNameSize)) return false;
    if (!Field_ReadInt("seq_count", &h.seqCount, 4)) return false;
    if (h.version > 1015 && !Field_ReadBool("missionSave", &h.missionSave)) return false;
    if (h.version > 1030 && !h.missionSave) {
        if (!Field_ReadInt("runType", &h.runType)) return false;
        if (h.version > 1033 && !Field_ReadBytes("saveGameDesc", h.description, sizeof h.description)) return false;
    }
    return true;
}

bool ReadHeaderRest(Header& h) {
    if (h.version > 1030 && !h.missionSave) {
        static const char* const kNames[6] = {"nUsaMissionIndex", "nUssrMissionIndex", "nTrnMissionIndex",
                                              "nPlayerSide",      "nMissionStatus",    "nOldMissionMode"};
        const int count = h.version > 1034 ? 6 : 5;
        for (int i = 0; i < count; ++i)
            if (!Field_ReadInt(kNames[i], &h.progress[i])) return false;
    }
    return true;
}

bool ReadFile(const std::string& path, std::vector<char>* bytes) {
    if (HasDirectory(path)) return DataFile_ReadHostFile(Plat_ProfilePath(path).c_str(), bytes);
    return DataFile_Load(path.c_str(), bytes);
}

bool LoadMap(const char* name) {
    if (!Seam_World().terrainLoadMap(name)) {
        Error_Warning("Failed to load the map \"%s\" of '%s'", name, g_currentPath.c_str());
        return false;
    }
    Seam_Cockpit().commandMenuReset();
    return true;
}

// A new mission on a bare terrain: one "player" object, the user's, at the map's centre.
bool StartFromTerrain(const std::string& path) {
    SaveGameGlobals& g = g_globals;
    std::string name = FileNamePart(path);
    name = name.substr(0, name.find('.'));
    if (!LoadMap(name.c_str())) return false;
    Seam_Ai().pathPlannerInit();
    Vector centre = Seam_World().terrainCentre();
    centre.y += 2.0f;
    if (!Seam_Objects().buildStartPlayer(centre)) return false;
    std::string missionName = FileNamePart(path);
    if (missionName.find('.') == std::string::npos) missionName += ".qmn";
    CopyText(g.missionFile, missionName);
    CopyText(g.terrainName, name);
    Seam_Missions().createByName(name.c_str());
    Seam_Objects().startUserObject();
    Seam_Ai().missionStartAfterLoad();
    if (!Seam_Objects().postLoadAll()) return false;
    if (!Seam_Objects().teamPostLoadAll()) return false;
    if (!g.missionSave) Seam_Ai().tasksPostLoad();
    return true;
}

// Takes back what a failed load built: fields still holding saved ids are cleared first, so
// that no teardown mistakes one for an object.
void DiscardFailedLoad() {
    Field_ClearUnresolved();
    Seam_Objects().discardLoaded();
    Field_DiscardFixups();
}

bool SectionFailed(const char* section) {
    Error_Warning("Failed to load '%s': the %s section is cut short or malformed", g_currentPath.c_str(), section);
    return false;
}

bool LoadSections(const Header& h) {
    ObjectsSeam& objects = Seam_Objects();
    AiSeam& ai = Seam_Ai();
    if (!objects.loadAll()) return false;  // it names the object itself
    if (!objects.teamLoadAll()) return SectionFailed("team");
    if (!ai.missionLoadCurrent()) return SectionFailed("mission");
    if (!ai.aoisLoad()) return SectionFailed("areas of interest");
    if (!ai.pathsLoad()) return SectionFailed("paths");
    Field_FixupEarly();
    if (!h.missionSave && !ai.tasksLoad()) return SectionFailed("task");
    if (!h.missionSave) Seam_Missions().scriptStateLoad();
    Field_ResolvePointers();
    return true;
}

bool LoadStream() {
    SaveGameGlobals& g = g_globals;
    Header h;
    Field_SetBinary(false);
    if (Field_ReadInt("version", &h.version) && h.version > kSaveVersionCurrent) {
        Error_Warning("'%s' was saved by a newer version of the game (%d) and cannot be loaded", g_currentPath.c_str(),
                      static_cast<int>(h.version));
        return false;
    }
    if (h.version == 0 || !ReadHeaderStart(h) || !ReadHeaderRest(h)) {
        Error_Warning("Failed to load '%s': its header is cut short or malformed", g_currentPath.c_str());
        return false;
    }
    g.version = h.version;
    g.missionSave = h.missionSave;
    g.seqCount = h.seqCount;
    if (h.missionFile[0]) CopyText(g.missionFile, h.missionFile);
    if (!h.missionSave && h.version > 1030) {
        g.runType = h.runType;
        if (h.version > 1033) std::memcpy(g.description, h.description, sizeof g.description);
        std::copy(std::begin(h.progress), std::end(h.progress), g.progress);
        g.returnToShellAfterMission = h.runType == 1;
    }
    if (!h.missionSave && h.version < kSaveVersionFirstSavedGame) {
        Error_Warning("Old Saved Games are not backwards compatible");
        return false;
    }
    if (h.version > 1006) {
        if (!Field_ReadString("TerrainName", h.terrainName, kSaveTerrainNameSize)) {
            Error_Warning("Failed to load '%s': its header is cut short or malformed", g_currentPath.c_str());
            return false;
        }
        if (h.terrainName[0]) CopyText(g.terrainName, h.terrainName);
    }
    if (!LoadMap(g.terrainName)) return false;
    if (!h.missionSave && h.version > 1002 && !Field_ReadFloat("start_time", &h.startTime)) {
        Error_Warning("Failed to load '%s': its header is cut short or malformed", g_currentPath.c_str());
        return false;
    }
    g.startTime = h.missionSave ? 0.0f : h.startTime;
    Seam_Ai().pathPlannerInit();
    if (!LoadSections(h)) return false;
    Seam_Objects().setSerialCounter(h.seqCount);
    if (!Seam_Net().isNetworkGame()) {
        Clock_RestorePaused(g.startTime);
    }
    Seam_Ai().missionStartAfterLoad();
    if (!Seam_Objects().postLoadAll() || !Seam_Objects().teamPostLoadAll()) return false;
    if (!h.missionSave) Seam_Ai().tasksPostLoad();
    Seam_Missions().scriptStatePostLoad();
    g.loadFinishedTime = Clock_GetTime();
    return true;
}

}  // namespace

SaveGameGlobals& SaveGame_Globals() { return g_globals; }
float Game_LoadFinishedTime() { return g_globals.loadFinishedTime; }

void SaveGame_ResetGlobals() {
    g_globals = SaveGameGlobals{};
    g_currentPath.clear();
    g_opener = nullptr;
    Field_SetBinary(false);
}

bool SaveGame_IsMissionFile() { return g_globals.missionSave; }
void SaveGame_SetMissionFile(bool mission) { g_globals.missionSave = mission; }
const char* SaveGame_CurrentPath() { return g_currentPath.c_str(); }
void SaveGame_SetStreamOpener(SaveStreamOpener opener) { g_opener = opener; }

bool SaveGame_Write(const char* pathText, int32_t runType) {
    SaveGameGlobals& g = g_globals;
    const std::string path = pathText ? pathText : "";
    g_currentPath = path;
    if (runType == 0 && EndsWithNoCase(path, ".TRN")) {
        CopyText(g.terrainName, Stem(path));
        return Seam_World().terrainSave(path.c_str());
    }
    if (runType == 0 && Seam_World().terrainModified()) {
        CopyText(g.terrainName, Stem(path));
        CopyText(g.missionFile, FileNamePart(path));
        Seam_World().terrainSave(path.c_str());
    }
    const std::string host = Plat_ProfilePath(path);
    const std::string temporary = host + ".new";
    FILE* f = OpenForWriting(temporary);
    if (!f) {
        Error_Warning("%s", kSaveFailed);
        return false;
    }
    Field_ResetSaveIds();
    bool ok = WriteStream(f, runType);
    Field_ResetSaveIds();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = Plat_RenameFile(temporary, host);
    if (!ok) {
        Plat_RemoveFile(temporary);
        Error_Warning("%s", kSaveFailed);
        return false;
    }
    Plat_ForgetDirectoryCache();
    return true;
}

bool SaveGame_Load(const char* pathText) {
    SaveGameGlobals& g = g_globals;
    const std::string path = pathText ? pathText : "";
    g_currentPath = path;
    g.lastLoadFailed = true;
    g.returnToShellAfterMission = false;
    CopyText(g.missionFile, FileNamePart(path));
    CopyText(g.terrainName, FileNamePart(path).substr(0, FileNamePart(path).find('.')));

    std::vector<char> bytes;
    const bool terrainAsked = CmdLine_Globals().nobodyHome || EndsWithNoCase(path, ".TRN");
    const bool read = !terrainAsked && ReadFile(path, &bytes);
    bool ok;
    if (!terrainAsked && !read && HasDirectory(path)) {
        // A path names one file: when it cannot be read nothing else stands in for it (a bare
        // terrain of the same name would start a different game than the one asked for).
        const bool exists = Plat_FileExists(Plat_ProfilePath(path));
        Error_Warning("Failed to load '%s': %s", path.c_str(),
                      exists ? "the file cannot be read" : "there is no such file");
        ok = false;
    } else if (!read) {
        g.missionSave = true;
        ok = StartFromTerrain(path);
    } else {
        Field_BeginRead(bytes.data(), bytes.size());
        ok = LoadStream();
        Field_EndRead();
    }
    Field_SetBinary(false);
    if (!ok) DiscardFailedLoad();
    g.lastLoadFailed = !ok;
    return ok;
}

// ---- slots ------------------------------------------------------------------------------------

std::string SaveSlot_Path(int slot) { return "save\\game" + std::to_string(slot) + ".sav"; }

namespace {
bool SlotInRange(int slot) { return slot >= 1 && slot <= kSaveSlotCount; }

bool MakeSaveDirectory() {
    const std::string dir = Plat_ProfilePath("save");
    return Plat_IsDirectory(dir) || Plat_CreateDirectories(dir);
}

// A saved game in the form the save setting asks for; the mission-file flag stays cleared.
bool WriteSavedGame(const std::string& path, int32_t runType) {
    g_globals.missionSave = false;
    Field_SetBinary(CmdLine_Globals().binarySave);
    MakeSaveDirectory();
    const bool ok = SaveGame_Write(path.c_str(), runType);
    Field_SetBinary(false);
    return ok;
}
}  // namespace

bool SaveSlot_Save(int32_t runType, int slot, const char* description) {
    if (!SlotInRange(slot)) return false;
    CopyText(g_globals.description, description ? description : "");
    return WriteSavedGame(SaveSlot_Path(slot), runType);
}

bool SaveSlot_Load(int slot) {
    if (!SlotInRange(slot)) return false;
    CmdLine_Globals().loadPath = SaveSlot_Path(slot);
    CmdLine_Globals().loadRequested = false;
    App_Globals().loadRequestAside = true;
    Game_SetState(kStateLoadPath);
    return true;
}

bool SaveSlot_Delete(int slot) {
    if (!SlotInRange(slot)) return false;
    const bool removed = Plat_RemoveFile(Plat_ProfilePath(SaveSlot_Path(slot)));
    Plat_ForgetDirectoryCache();
    return removed;
}

bool SaveSlot_ReadDescription(int slot, char out[kSaveDescriptionSize]) {
    std::memset(out, 0, kSaveDescriptionSize);
    if (!SlotInRange(slot)) return false;
    std::vector<char> bytes;
    if (!DataFile_ReadHostFile(Plat_ProfilePath(SaveSlot_Path(slot)).c_str(), &bytes)) return false;
    // The running game's read state, form and version are kept: only local buffers change.
    const bool binary = Field_IsBinary();
    const int32_t version = Field_Version();
    const bool reading = Field_IsReading();
    if (reading) return false;
    Field_BeginRead(bytes.data(), bytes.size());
    Field_SetBinary(false);
    Header h;
    bool ok = Field_ReadInt("version", &h.version);
    if (ok && h.version <= kVersionOldSlot) {
        std::strncpy(out, "Old version save game", kSaveDescriptionSize - 1);
        ok = false;
    } else if (ok) {
        ok = h.version <= kSaveVersionCurrent && ReadHeaderStart(h) && !h.missionSave;
        if (ok) std::memcpy(out, h.description, kSaveDescriptionSize - 1);
    }
    Field_EndRead();
    Field_SetBinary(binary);
    Field_SetVersion(version);
    return ok;
}

bool SaveGame_Autosave() { return WriteSavedGame(kAutosavePath, 1); }

// ---- dialogs ----------------------------------------------------------------------------------

namespace {

constexpr uint32_t kSaveFlags = kFileDialogOverwritePrompt | kFileDialogHideReadOnly | kFileDialogNoChangeDir;
constexpr uint32_t kOpenFlags =
    kFileDialogFileMustExist | kFileDialogPathMustExist | kFileDialogHideReadOnly | kFileDialogNoChangeDir;

// Runs a dialog with the mouse released; true with the chosen path.
bool RunDialog(const FileDialogRequest& request, bool save, std::string* chosen) {
    Seam_Cockpit().mouseRelease();
    uint32_t error = 0;
    const FileDialogResult result = Plat_FileDialog(request, chosen, &error);
    Seam_Cockpit().mouseCapture();
    if (result == FileDialogResult::Failed)
        Error_Warning(save ? "Save Dialog Failed (see cderr.h): 0x%4x" : "Load Dialog Failed (see cderr.h): 0x%4x",
                      static_cast<unsigned>(error));
    return result == FileDialogResult::Chosen;
}

}  // namespace

void SaveGame_SaveDialog(int32_t runType) {
    FileDialogRequest request{"Save Gravenholt Game", "Gravenholt Saved Games (*.SAV)", Plat_ProfilePath("save"), "sav",
                              kSaveFlags, ""};
    MakeSaveDirectory();
    std::string chosen;
    if (RunDialog(request, true, &chosen)) WriteSavedGame(chosen, runType);
}

void Mission_SaveDialog() {
    // Mission files go to the add-on directory of the profile, never to the data root.
    const std::string addon = Plat_ProfilePath("addon");
    if (!Plat_IsDirectory(addon)) Plat_CreateDirectories(addon);
    FileDialogRequest request{"Save Gravenholt Misson", "Gravenholt Mission (*.QMN)", addon, "qmn", kSaveFlags,
                              CmdLine_Globals().loadPath};
    std::string chosen;
    if (!RunDialog(request, true, &chosen)) return;
    const bool mission = g_globals.missionSave;
    g_globals.missionSave = true;
    SaveGame_Write(chosen.c_str(), 0);
    g_globals.missionSave = mission;
    CmdLine_Globals().loadPath = chosen;
}

void Mission_ResaveIfOld() {
    if (CmdLine_Globals().resave && g_globals.version < kSaveVersionCurrent) Mission_SaveDialog();
}

void SaveGame_LoadDialog() {
    FileDialogRequest request{"Load Gravenholt Saved Game", "Gravenholt Saved Games (*.SAV)", Plat_ProfilePath("save"),
                              "sav", kOpenFlags, CmdLine_Globals().loadPath};
    std::string chosen;
    if (!RunDialog(request, false, &chosen)) return;
    CmdLine_Globals().loadPath = chosen;
    CmdLine_Globals().loadRequested = false;
    App_Globals().loadRequestAside = true;
    Game_SetState(kStateLoadPath);
}

void Net_RegisterLoadedObjects() {
    NetSeam& net = Seam_Net();
    if (!net.isNetworkGame()) return;
    Seam_Objects().registerNetObjects(net.isHost());
}

void SaveGame_InstallSeam() {
    CoreSeam& s = Seam_Core();
    s.saveGameLoad = SaveGame_Load;
    s.missionResaveIfOld = Mission_ResaveIfOld;
    s.netRegisterLoadedObjects = Net_RegisterLoadedObjects;
}
