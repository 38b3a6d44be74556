// Game keys: single keystrokes with modifiers that trigger game-wide commands (views, the
// in-game menu, pause, load and save, chat and alliances, debug screens, tuning), bound by
// "gamekey.map"; and the typed words that toggle hidden options.
#pragma once
#include <cstdint>
#include <cstdio>

class GameObject;

constexpr int kGameKeyMaxCode = 4096;

// Game-key ids.
constexpr int kGameKeyCockpitView = 1;
constexpr int kGameKeyTrackView = 5;
constexpr int kGameKeyTwoDView = 6;
constexpr int kGameKeyFreeEyeView = 9;
constexpr int kGameKeySaveScreen = 10;
constexpr int kGameKeyMainMenu = 11;
constexpr int kGameKeyLoadGame = 14;
constexpr int kGameKeySaveGame = 15;
constexpr int kGameKeyChatToggle = 16;
constexpr int kGameKeyAllieToggle = 18;
constexpr int kGameKeyScoreToggle = 20;
constexpr int kGameKeyRadarToggle = 21;
constexpr int kGameKeyPauseGame = 22;
constexpr int kGameKeyExitSimFail = 23;
constexpr int kGameKeyExitSimSucceed = 24;
constexpr int kGameKeyMonoDebugToggle = 25;
constexpr int kGameKeyAdvanceVar = 32;
constexpr int kGameKeyIncVar = 33;
constexpr int kGameKeyDecVar = 34;
constexpr int kGameKeyToggleFramerate = 35;
constexpr int kGameKeyToggleObjectives = 39;
constexpr int kGameKeyRepeatAudio = 40;
constexpr int kGameKeyToggleEditMode = 41;
constexpr int kGameKeyToggleArcadeMode = 42;
constexpr int kGameKeySkipLines = 44;

// The typed words (besides the five of the cheat bits and the diagnostic switch).
constexpr const char* kTypedWordTimer = "time";   // shows or hides the mission timer
constexpr const char* kTypedWordWaves = "swell";  // switches the water's waves

// The player settings' cheat bits that the typed words toggle.
constexpr uint32_t kCheatFreeBuilding = 0x2;
constexpr uint32_t kCheatUnlimitedAmmo = 0x4;
constexpr uint32_t kCheatInvulnerable = 0x8;
constexpr uint32_t kCheatSatelliteView = 0x100;
constexpr uint32_t kCheatRevealAll = 0x200;

// Reads "gamekey.map" (Escape is MAIN_MENU before it); every problem is a warning and reading
// goes on. Entries are only added.
void GameKey_LoadMap();
// Reads the lines of an open "gamekey.map" into the table.
void GameKey_ReadMap(FILE* file);
// The key code of a "gamekey.map" key sequence such as "Control+s"; -1 when it has no part.
// Parts that are no key name add nothing and are counted in *badParts.
int64_t GameKey_SequenceCode(const char* sequence, int* badParts);
// Once per frame after the input update: the key event feeds the typed words and is
// dispatched; returns the dispatched id (0 when none).
int GameKey_Process();
int GameKey_Translate(int code);
void GameKey_Dispatch(int id);
int GameKey_Last();
// The typed-word buffer takes a key code (only Control+Shift codes count).
void GameKey_Type(uint16_t code);

// Flags the game keys own.
bool GameKey_RadarShown();
bool GameKey_VerboseDiagnostics();
// The cheat bits in force: the player settings' 0x2, 0x4, 0x8 and 0x200; none in a network game.
uint32_t GameKey_CheatFlags();

// What the game keys reach of the camera, the display elements, the shell's menus and
// dialogs, the audio messages and the network; tests replace entries to watch them.
struct GameKeyActions {
    void (*cameraSetMode)(int mode, GameObject* object);
    int (*cameraMode)();
    void (*screenTintFlash)(float a, float b, int red, int green, int blue);
    void (*missionTimerToggle)();
    void (*inGameMenu)();
    void (*loadDialog)();
    void (*saveDialog)();
    void (*infoToggle)();
    void (*objectivesToggle)();
    void (*audioRepeat)();
    void (*chatToggle)();
    void (*chatToAll)();
    void (*allyToggle)();
    void (*unallyToggle)();
    void (*scoreToggle)();
    void (*netDebugToggle)();
    uint32_t (*userClassFlags)();   // the class flag word of the user's object's class
    int32_t (*firstGameSetting)();  // the network game's first setting (the time limit)
    GameObject* (*userObject)();    // the user's object (the game objects' own by default)
};
GameKeyActions& GameKey_Actions();
const GameKeyActions& GameKey_PendingActions();

// Table empty, typed words forgotten, radar shown, flags off, actions back to their defaults.
void GameKey_Reset();
