#include "interface/gamekeys.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "Terrain/terrenv.h"
#include "core/app.h"
#include "core/bytes.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/game.h"
#include "core/helpers.h"
#include "core/inputsinks.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/shell.h"
#include "fun3d/gameobject.h"
#include "fun3d/proginput.h"
#include "interface/inputmap.h"
#include "platform/paths.h"

namespace {

struct KeyName {
    const char* name;
    int code;
};

const KeyName kKeyNames[] = {
    {"Esc", 27}, {"Escape", 27}, {"One", 49}, {"Two", 50}, {"Three", 51}, {"Four", 52}, {"Five", 53},
    {"Six", 54}, {"Seven", 55}, {"Eight", 56}, {"Nine", 57}, {"Zero", 48}, {"Minus", 45}, {"Equal", 61},
    {"Backspace", 8}, {"BSP", 8}, {"Tab", 9}, {"LeftBracket", 91}, {"RightBracket", 93}, {"Enter", 13},
    {"Semicolon", 59}, {"Quote", 34}, {"BackQuote", 39}, {"BackSlash", 92}, {"Comma", 44}, {"Period", 46},
    {"Slash", 47}, {"GreyStar", 203}, {"Space", 32}, {"CAPSLock", 2048}, {"CAPS", 2048}, {"F1", 177},
    {"F2", 178}, {"F3", 179}, {"F4", 180}, {"F5", 181}, {"F6", 182}, {"F7", 183}, {"F8", 184}, {"F9", 185},
    {"F10", 186}, {"F11", 187}, {"F12", 188}, {"Home", 194}, {"UpArrow", 198}, {"PageUp", 196},
    {"PGUP", 196}, {"GreyMinus", 204}, {"LeftArrow", 201}, {"Keypad0", 48}, {"Keypad1", 49},
    {"Keypad2", 50}, {"Keypad3", 51}, {"Keypad4", 52}, {"Keypad5", 53}, {"Keypad6", 54}, {"Keypad7", 55},
    {"Keypad8", 56}, {"Keypad9", 57}, {"RightArrow", 200}, {"GreyPlus", 205}, {"End", 195},
    {"DownArrow", 199}, {"PageDown", 197}, {"PGDN", 197}, {"Insert", 192}, {"Delete", 193}, {"DEL", 193},
    {"KeypadEnter", 13}, {"LeftBackSlash", 92}, {"GreySlash", 202}, {"GreyHome", 194},
    {"GreyUpArrow", 198}, {"GreyPageUp", 196}, {"GreyLeftArrow", 201}, {"GreyRightArrow", 200},
    {"GreyEnd", 195}, {"GreyDownArrow", 199}, {"GreyPageDown", 197}, {"GreyInsert", 192},
    {"GreyDelete", 193}, {"Clear", 12}, {"Shift", 512}, {"Control", 256}, {"CTRL", 256}, {"Alt", 1024},
    {"Pause", 511}, {"Pound", 35}, {"Plus", 43},
};
static_assert(sizeof kKeyNames / sizeof kKeyNames[0] == 89);

struct GameKeyName {
    const char* name;
    int id;
};

const GameKeyName kGameKeys[] = {
    {"COCKPIT_VIEW", 1}, {"NO_COCKPIT_VIEW", 2}, {"NO_HUD_VIEW", 3}, {"FRONT_VIEW", 4}, {"TRACK_VIEW", 5},
    {"TWO_D_VIEW", 6}, {"OVER_VIEW", 7}, {"TOGGLE_OVERVIEW", 8}, {"FREE_EYE_VIEW", 9}, {"SAVE_SCREEN", 10},
    {"MAIN_MENU", 11}, {"STARTUP", 12}, {"SHUTDOWN", 13}, {"LOAD_GAME", 14}, {"SAVE_GAME", 15},
    {"CHAT_TOGGLE", 16}, {"CHAT_SENDTOALL", 17}, {"ALLIE_TOGGLE", 18}, {"UNALLIE_TOGGLE", 19},
    {"SCORE_TOGGLE", 20}, {"RADAR_TOGGLE", 21}, {"PAUSE_GAME", 22}, {"EXIT_SIM_FAIL", 23},
    {"EXIT_SIM_SUCCEED", 24}, {"MONO_DEBUG_TOGGLE", 25}, {"MONO_DEBUG_NEXT_SCREEN", 26},
    {"MONO_DEBUG_PREV_SCREEN", 27}, {"MONO_DEBUG_PAGE_UP", 28}, {"MONO_DEBUG_PAGE_DOWN", 29},
    {"HASH_DEBUG_NEXT", 30}, {"HASH_DEBUG_PREV", 31}, {"ADVANCE_VAR", 32}, {"INC_VAR", 33}, {"DEC_VAR", 34},
    {"TOGGLE_FRAMERATE", 35}, {"TOGGLE_NETDEBUG", 36}, {"TOGGLE_INFO_DISPLAY", 38},
    {"TOGGLE_OBJECTIVES_DISPLAY", 39}, {"REPEAT_AUDIO", 40}, {"TOGGLE_EDITMODE", 41},
    {"TOGGLE_ARCADE_MODE", 42}, {"SKIP_LINES", 44},
};
static_assert(sizeof kGameKeys / sizeof kGameKeys[0] == 42);

constexpr int kTypedBuffer = 15;
constexpr int kPlayerDefLineSkip = 66;  // the settings' line-skip byte

struct GameKeyState {
    uint8_t table[kGameKeyMaxCode + 1] = {};
    char typed[kTypedBuffer + 1] = {};
    int last = 0;
    bool radarShown = true;
    bool verbose = false;
};

GameKeyState g_keys;
GameKeyActions g_actions = GameKey_PendingActions();

bool IsNetwork() { return Seam_Net().isNetworkGame(); }
bool IsSoftware() { return App_Globals().driverKind == 0; }

int KeyNameCode(const char* name) {
    for (const KeyName& key : kKeyNames)
        if (Text_CompareNoCase(key.name, name) == 0) return key.code;
    return -1;
}

uint32_t SettingsFlags() {
    const uint8_t* def = Seam_Shell().playerDef();
    return def ? Bytes_U32(def + kPlayerDefFlags) : 0;
}

// Toggles settings flag bits; whether they are now set.
bool ToggleSettingsFlag(uint32_t bit) {
    uint8_t* def = Seam_Shell().playerDef();
    if (!def) return false;
    const uint32_t flags = Bytes_U32(def + kPlayerDefFlags) ^ bit;
    Bytes_SetU32(def + kPlayerDefFlags, flags);
    return (flags & bit) != 0;
}

bool EndsWith(const char* text, const char* word) {
    const size_t n = std::strlen(text);
    const size_t w = std::strlen(word);
    return n >= w && std::strcmp(text + n - w, word) == 0;
}

struct CheatWord {
    const char* word;
    uint32_t bit;
    int on[3];
    int off[3];
    const char* sound;
};

const CheatWord kCheatWords[] = {
    {"kelvor", kCheatFreeBuilding, {255, 255, 255}, {102, 102, 102}, "suck.wav"},
    {"mupsa", kCheatUnlimitedAmmo, {0, 128, 255}, {0, 51, 102}, "weapon.wav"},
    {"trandi", kCheatInvulnerable, {0, 255, 0}, {0, 102, 0}, "repair.wav"},
    {"wospel", kCheatSatelliteView, {255, 255, 0}, {102, 102, 0}, "mnu_next.wav"},
    {"fenquil", kCheatRevealAll, {255, 0, 255}, {102, 0, 102}, "ping.wav"},
};

void MatchTypedWords() {
    const bool network = IsNetwork();
    for (const CheatWord& cheat : kCheatWords) {
        if (network || !EndsWith(g_keys.typed, cheat.word)) continue;
        const bool set = ToggleSettingsFlag(cheat.bit);
        const int* colour = set ? cheat.on : cheat.off;
        g_actions.screenTintFlash(1.0f, 5.0f, colour[0], colour[1], colour[2]);
        if (set) {
            GameObject* user = g_actions.userObject();
            Seam_Audio().soundPlayOnObject(cheat.sound, user ? user->entity : nullptr);
        }
    }
    if (EndsWith(g_keys.typed, "ridmal")) g_keys.verbose = !g_keys.verbose;
    if (EndsWith(g_keys.typed, kTypedWordTimer) && network && g_actions.firstGameSetting() <= 0)
        g_actions.missionTimerToggle();
    if (EndsWith(g_keys.typed, kTypedWordWaves)) {
        int& waves = Terrain_Environment().waves;
        waves = waves ? 0 : 1;
    }
}

// The ids that act only on the renderer, the window or the network are not blocked by the
// user's class.
bool BlockedByClass(int id) {
    return (id >= 1 && id <= 9) || (id >= 16 && id <= 20) || (id >= 32 && id <= 34) || (id >= 38 && id <= 44);
}

void Warn(const char* what, int line) { Error_Warning("gamekey.map error: line %d, %s", line, what); }

}  // namespace

int64_t GameKey_SequenceCode(const char* sequence, int* badParts) {
    int64_t code = 0;
    int parts = 0;
    const char* p = sequence;
    while (*p) {
        const char* end = std::strchr(p, '+');
        const size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (n > 0) {
            ++parts;
            char part[kKeyMapLineChars + 1];
            const size_t kept = n < sizeof part - 1 ? n : sizeof part - 1;
            std::memcpy(part, p, kept);
            part[kept] = 0;
            const int named = KeyNameCode(part);
            if (named >= 0)
                code += named;
            else if (kept == 1)
                code += std::tolower(static_cast<unsigned char>(part[0]));
            else if (badParts)
                ++*badParts;
        }
        if (!end) break;
        p = end + 1;
    }
    return parts ? code : -1;
}

void GameKey_LoadMap() {
    g_keys.table[27] = kGameKeyMainMenu;
    FILE* file = Plat_OpenFile(Plat_DataPath("gamekey.map"), "r");
    if (!file) {
        Error_Warning("gamekey.map error: can't open file.");
        return;
    }
    GameKey_ReadMap(file);
    std::fclose(file);
}

void GameKey_ReadMap(FILE* file) {
    int line = 0;
    char text[kKeyMapLineChars + 1];
    while (KeyMapLine_Read(file, text, false, &line)) {
        char name[kKeyMapLineChars + 1];
        char sequence[kKeyMapLineChars + 1];
        if (std::sscanf(text, "%254s %254s", name, sequence) != 2) {
            Warn("read error.", line);
            continue;
        }
        int bad = 0;
        const int64_t code = GameKey_SequenceCode(sequence, &bad);
        if (code < 0) {
            Warn("bad sequence.", line);
            continue;
        }
        for (int i = 0; i < bad; ++i) Warn("not a valid key name.", line);
        int id = 0;
        for (const GameKeyName& key : kGameKeys)
            if (Text_CompareNoCase(key.name, name) == 0) id = key.id;
        if (!id) {
            Error_Warning("gamekey.map error: line %d, no gamekey %s.", line, name);
            continue;
        }
        // Code 0 is no key at all and would fire on every frame.
        if (code < 1 || code > kGameKeyMaxCode) continue;
        uint8_t& slot = g_keys.table[code];
        if (slot && slot != id) {
            Error_Warning("gamekey.map error: line %d, multiple defines \"%s\".", line, name);
            continue;
        }
        slot = static_cast<uint8_t>(id);
    }
}

int GameKey_Translate(int code) {
    if (code < 1 || code > kGameKeyMaxCode) return 0;
    return g_keys.table[code];
}

void GameKey_Type(uint16_t code) {
    if ((code & 0xFF00) != 0x300) return;
    const size_t n = std::strlen(g_keys.typed);
    if (n == kTypedBuffer) std::memmove(g_keys.typed, g_keys.typed + 1, kTypedBuffer - 1);
    const size_t at = n == kTypedBuffer ? kTypedBuffer - 1 : n;
    g_keys.typed[at] = static_cast<char>(std::tolower(code & 0xFF));
    g_keys.typed[at + 1] = 0;
    MatchTypedWords();
}

int GameKey_Process() {
    const uint16_t code = InputKeyEvent;
    GameKey_Type(code);
    const int id = GameKey_Translate(code);
    if (id) GameKey_Dispatch(id);
    return id;
}

void GameKey_Dispatch(int id) {
    g_keys.last = id;
    const bool network = IsNetwork();
    GameObject* user = g_actions.userObject();
    if (network && !user) {
        if (id == kGameKeyExitSimFail || id == kGameKeyExitSimSucceed) Game_SetState(2);
        return;
    }
    if (BlockedByClass(id) && user && (g_actions.userClassFlags() & 0x20)) return;
    const CmdLineGlobals& switches = CmdLine_Globals();
    switch (id) {
        case 1: case 2: case 3: case 4: case 5:
            if (user)
                g_actions.cameraSetMode(id, user);
            else if (g_actions.cameraMode() > 9)
                g_actions.cameraSetMode(9, nullptr);
            break;
        case kGameKeyTwoDView:
        case kGameKeyToggleEditMode:
            if (switches.editor) g_actions.cameraSetMode(id, user);
            break;
        case 7: case 8: case 9:
            g_actions.cameraSetMode(id, user);
            break;
        case kGameKeySaveScreen:
            if (IsSoftware()) Seam_Shell().saveScreenshot();
            break;
        case kGameKeyMainMenu: g_actions.inGameMenu(); break;
        case kGameKeyLoadGame:
            if (!App_Globals().fullScreen && !network) g_actions.loadDialog();
            break;
        case kGameKeySaveGame:
            if (!App_Globals().fullScreen && !network) g_actions.saveDialog();
            break;
        case 16: if (network) g_actions.chatToggle(); break;
        case 17: if (network) g_actions.chatToAll(); break;
        case 18: if (network && !Seam_Net().isDeathmatch()) g_actions.allyToggle(); break;
        case 19: if (network && !Seam_Net().isDeathmatch()) g_actions.unallyToggle(); break;
        case 20: if (network) g_actions.scoreToggle(); break;
        case kGameKeyRadarToggle: g_keys.radarShown = !g_keys.radarShown; break;
        case kGameKeyPauseGame:
            if (!network) Seam_Shell().pauseToggle();
            break;
        case kGameKeyExitSimFail:
            if (!network) Game_SetState(0);
            break;
        case kGameKeyExitSimSucceed:
            if (!network) Game_SetState(1);
            break;
        case 25: DebugScreen_Toggle(); break;
        case 26: DebugScreen_NextPage(); break;
        case 27: DebugScreen_PrevPage(); break;
        case 28: DebugScreen_ScrollUp(); break;
        case 29: DebugScreen_ScrollDown(); break;
        case kGameKeyAdvanceVar: TuningHook_Next(); break;
        case kGameKeyIncVar: TuningHook_Increase(); break;
        case kGameKeyDecVar: TuningHook_Decrease(); break;
        case kGameKeyToggleFramerate: Game_Globals().fps.draw = !Game_Globals().fps.draw; break;
        case 36: g_actions.netDebugToggle(); break;
        case 38: g_actions.infoToggle(); break;
        case kGameKeyToggleObjectives:
            if (!network) g_actions.objectivesToggle();
            break;
        case kGameKeyRepeatAudio: g_actions.audioRepeat(); break;
        case kGameKeyToggleArcadeMode:
            if (switches.editor && !network) ToggleSettingsFlag(0x1);
            break;
        case kGameKeySkipLines:
            if (IsSoftware()) {
                if (uint8_t* def = Seam_Shell().playerDef()) {
                    def[kPlayerDefLineSkip] = def[kPlayerDefLineSkip] ? 0 : 1;
                    Seam_Shell().playerDefWrite();
                }
            }
            break;
        default: break;
    }
}

int GameKey_Last() { return g_keys.last; }
bool GameKey_RadarShown() { return g_keys.radarShown; }
bool GameKey_VerboseDiagnostics() { return g_keys.verbose; }

uint32_t GameKey_CheatFlags() {
    if (IsNetwork()) return 0;
    return SettingsFlags() & (kCheatFreeBuilding | kCheatUnlimitedAmmo | kCheatInvulnerable | kCheatRevealAll);
}

GameKeyActions& GameKey_Actions() { return g_actions; }

void GameKey_Reset() {
    g_keys = GameKeyState{};
    g_actions = GameKey_PendingActions();
}
