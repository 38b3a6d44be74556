// Saved games, mission files and save slots.
//
// A mission file (".qmn") and a saved game (".sav") are one format: a header of named fields,
// then the sections of the subsystems in a fixed order (game objects, team records, the current
// mission, areas of interest, named paths, for saved games the task list, the script state),
// all through the named-field archive. The sections belong to later subsystems and are reached
// through their seams.
//
// Writing goes to a temporary file beside the target, renamed over it only when every byte and
// the close succeeded: a failed save never damages the file it was meant to replace. Loading
// checks every value before use; a failed load takes back everything it built.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

constexpr int32_t kSaveVersionFirstSavedGame = 1036;  // older saved games are refused
constexpr int kSaveSlotCount = 10;
constexpr size_t kSaveMissionNameSize = 16;
constexpr size_t kSaveTerrainNameSize = 100;
constexpr size_t kSaveDescriptionSize = 256;

struct SaveGameGlobals {
    char missionFile[kSaveMissionNameSize] = {};
    char terrainName[kSaveTerrainNameSize] = {};
    char description[kSaveDescriptionSize] = "NULL";
    int32_t version = 0;        // of the last file read
    bool missionSave = false;   // the mission-file flag
    int32_t runType = 0;
    uint32_t seqCount = 0;
    float startTime = 0.0f;
    // Mission progress: the campaign positions of the two sides and of training, the player's
    // side (1, 2 or 3), the mission status and the old mission mode.
    int32_t progress[6] = {};
    // A loaded saved game of run type 1 goes back to the shell when its mission ends.
    bool returnToShellAfterMission = false;
    bool lastLoadFailed = false;
    // The game time at which the last mission file or saved game finished loading (a saved
    // game's own time, where its clock resumes); long ago until one has. Units hold some voice
    // replies back for a while after it.
    float loadFinishedTime = -1e30f;
};

SaveGameGlobals& SaveGame_Globals();
// Back to the start-up values (tests; the program starts with them).
void SaveGame_ResetGlobals();

// The mission-file flag: set while a mission file rather than a saved game is written or read.
bool SaveGame_IsMissionFile();
void SaveGame_SetMissionFile(bool mission);
// The path of the file being read or written, for warnings.
const char* SaveGame_CurrentPath();

// Writes a mission file when the mission-file flag is set, else a saved game. A run type of 0
// with a ".TRN" path saves only the terrain. False (after the warning "Failed to save game\n")
// when the file cannot be written whole; the previous file at the path is then unchanged.
bool SaveGame_Write(const char* path, int32_t runType);
// Loads a mission file or saved game, or starts a new mission on a bare terrain (a ".TRN" name,
// a file that cannot be read, or the switch "nobodyhome"). A bare name is read through the data
// index, a path with a directory from disk (relative to the profile directory).
bool SaveGame_Load(const char* path);
// The game time at which the last load of a mission file or saved game finished (units hold
// back their deployed and undeployed reports for a few seconds after it).
float Game_LoadFinishedTime();

// Slots 1 to 10: "save\gameN.sav" in the profile directory.
std::string SaveSlot_Path(int slot);
bool SaveSlot_Save(int32_t runType, int slot, const char* description);
bool SaveSlot_Load(int slot);
bool SaveSlot_Delete(int slot);
// The slot's description, read into its own buffers (the running game is not touched). False
// for a missing, short or corrupt file, and for an old one ("Old version save game").
bool SaveSlot_ReadDescription(int slot, char out[kSaveDescriptionSize]);
// "save\autosave.sav", a saved game of run type 1.
bool SaveGame_Autosave();

// The file dialogs of the game keys and the editor.
void SaveGame_SaveDialog(int32_t runType);
void Mission_SaveDialog();
void Mission_ResaveIfOld();
void SaveGame_LoadDialog();

// Network identities for the objects of a loaded mission (nothing outside a network game).
void Net_RegisterLoadedObjects();

// Where the bytes of a save go: tests hand in streams that refuse bytes. Null restores fopen.
using SaveStreamOpener = FILE* (*)(const char* hostPath);
void SaveGame_SetStreamOpener(SaveStreamOpener opener);

// Fills the core seam's saved-game entries (start-up).
void SaveGame_InstallSeam();
