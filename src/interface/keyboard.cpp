// The keyboard: 125 channels by scan code, the Control, Shift and Alt summaries, and the queue
// of typed keys that the game keys and the shell read.
#include <cctype>
#include <cstring>
#include <string>

#include "core/app.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/sysprobe.h"
#include "interface/inputdevices.h"
#include "platform/input.h"

namespace {

const char* const kShortNames[kKeyboardChannels] = {
    "Esc", "One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Zero", "Minus", "Equal",
    "Backspace", "Tab", "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "LeftBracket", "RightBracket",
    "Enter", "LeftControl", "A", "S", "D", "F", "G", "H", "J", "K", "L", "Semicolon", "Quote", "BackQuote",
    "LeftShift", "BackSlash", "Z", "X", "C", "V", "B", "N", "M", "Comma", "Period", "Slash", "RightShift",
    "GreyStar", "LeftAlt", "Space", "CAPSLock", "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10",
    "NUMLock", "ScrollLock", "Home", "UpArrow", "PageUp", "GreyMinus", "LeftArrow", "Keypad5", "RightArrow",
    "GreyPlus", "End", "DownArrow", "PageDown", "Insert", "Delete", "SYSREQ", "KeypadEnter", "LeftBackSlash",
    "F11", "F12", "GreySlash", "PA1", "F13", "F14", "F15", "GreyHome", "GreyUpArrow", "GreyPageUp",
    "GreyLeftArrow", "GreyRightArrow", "GreyEnd", "GreyDownArrow", "GreyPageDown", "GreyInsert", "GreyDelete",
    "F21", "F22", "F23", "F24", "UNNAMED_1", "EraseEOF", "Key110", "CopyPlay", "RightCtrl", "RightAlt",
    "CRSel", "Key115", "EXSel", "UNNAMED_2", "Clear", "Shift", "Control", "Alt", "Key122", "Key123", "Key124",
    "Key125",
};

const char* const kLongSources[kKeyboardChannels] = {
    "Escape Key", "1 Key", "2 Key", "3 Key", "4 Key", "5 Key", "6 Key", "7 Key", "8 Key", "9 Key", "0 Key",
    "Minus Key", "Equal Key", "Backspace Key", "Tab Key", "Q Key", "W Key", "E Key", "R Key", "T Key",
    "Y Key", "U Key", "I Key", "O Key", "P Key", "Left Bracket Key", "Right Bracket Key", "Enter Key",
    "Left Control Key", "A Key", "S Key", "D Key", "F Key", "G Key", "H Key", "J Key", "K Key", "L Key",
    "Semicolon Key", "Quote Key", "Back Quote Key", "Left Shift Key", "Back Slash Key", "Z Key", "X Key",
    "C Key", "V Key", "B Key", "N Key", "M Key", "Comma Key", "Period Key", "Slash Key", "Right Shift Key",
    "Grey Star Key", "Left Alt Key", "Spacebar", "Caps Lock Key", "F1 Key", "F2 Key", "F3 Key", "F4 Key",
    "F5 Key", "F6 Key", "F7 Key", "F8 Key", "F9 Key", "F10 Key", "Num Lock Key", "Scroll Lock Key",
    "Home Key", "Up Arrow Key", "Page Up Key", "Grey Minus Key", "Left Arrow Key", "Keypad 5 Key",
    "Right Arrow Key", "Grey Plus Key", "End Key", "Down Arrow Key", "Page Down Key", "Insert Key",
    "Delete Key", "Sys Req Key", "Keypad Enter Key", "Left Back Slash Key", "F11 Key", "F12 Key",
    "Grey Slash Key", "PA1 Key", "F13 Key", "F14 Key", "F15 Key", "Grey Home Key", "Grey Up Arrow Key",
    "Grey Page Up Key", "Grey Left Arrow Key", "Grey Right Arrow Key", "Grey End Key", "Grey Down Arrow Key",
    "Grey Page Down Key", "Grey Insert Key", "Grey Delete Key", "F21 Key", "F22 Key", "F23 Key", "F24 Key",
    "Unnamed Key 1", "Erase EOF Key", "", "Copy Play Key", "Right Control Key", "Right Alt Key", "CR Sel Key",
    "", "EX Sel Key", "Unnamed Key 2", "Clear Key", "Any Shift Key", "Any Control Key", "Any Alt Key", "", "",
    "", "",
};

const char* const kNoNames[] = {nullptr};

constexpr int kWords = kInputDiscreteWords;

struct KeyboardState {
    uint32_t held[kWords] = {};
    uint32_t released[kWords] = {};
    uint32_t down[kWords] = {};  // the keys physically down now, for the summaries
    uint16_t queue[kTypedKeyQueue] = {};
    int readPos = 0;
    int count = 0;
    uint16_t codes[256] = {};
    bool built = false;
    bool summaries = true;
    const char* const* shortNames = kShortNames;
    std::string longNames[kKeyboardChannels];
    const char* longPointers[kKeyboardChannels] = {};
};

KeyboardState& Kb() {
    static KeyboardState state;
    return state;
}

// English with the built-in tables until a language is set; a set language wins over the one
// the start-up detected.
const KeyboardLanguage kEnglish{kLangEnglish, nullptr, nullptr};
KeyboardLanguage g_language = kEnglish;
bool g_languageSet = false;
KeyboardLanguage g_detected = kEnglish;

bool Bit(const uint32_t* words, int channel) { return (words[(channel - 1) / 32] >> ((channel - 1) % 32)) & 1; }
void SetBit(uint32_t* words, int channel, bool on) {
    const uint32_t mask = 1u << ((channel - 1) % 32);
    uint32_t& word = words[(channel - 1) / 32];
    word = on ? word | mask : word & ~mask;
}

// The summary channel of a key and the other key of its pair; 0 when it has none.
int SummaryOf(int channel, int* partner) {
    switch (channel) {
        case 42: *partner = 54; return kKeyChannelShift;
        case 54: *partner = 42; return kKeyChannelShift;
        case 29: *partner = 112; return kKeyChannelControl;
        case 112: *partner = 29; return kKeyChannelControl;
        case 56: *partner = 113; return kKeyChannelAlt;
        case 113: *partner = 56; return kKeyChannelAlt;
        default: return 0;
    }
}

void BuildCodes(int languageId) {
    uint16_t* codes = Kb().codes;
    for (int vk = 0; vk < 256; ++vk) {
        const int ch = Plat_UnshiftedChar(vk);
        codes[vk] = static_cast<uint16_t>(ch > 0 && ch < 256 ? std::tolower(ch) : 0);
    }
    struct Fixed {
        int vk;
        uint16_t code;
    };
    const Fixed fixed[] = {
        {VK_BACK, 8},       {VK_TAB, 9},          {VK_RETURN, 13},    {VK_PAUSE, 511},   {VK_CAPITAL, 2048},
        {VK_ESCAPE, 27},    {VK_SPACE, 32},       {VK_PRIOR, 196},    {VK_NEXT, 197},    {VK_END, 195},
        {VK_HOME, 194},     {VK_LEFT, 201},       {VK_UP, 198},       {VK_RIGHT, 200},   {VK_DOWN, 199},
        {VK_INSERT, 192},   {VK_DELETE, 193},     {VK_NUMPAD0, 192},  {VK_NUMPAD0 + 1, 195}, {VK_NUMPAD0 + 2, 199},
        {VK_NUMPAD0 + 3, 197}, {VK_NUMPAD0 + 4, 201}, {VK_NUMPAD0 + 6, 200}, {VK_NUMPAD0 + 7, 194},
        {VK_NUMPAD0 + 8, 198}, {VK_NUMPAD0 + 9, 196}, {VK_MULTIPLY, 203}, {VK_ADD, 205}, {VK_SEPARATOR, 46},
        {VK_SUBTRACT, 204}, {VK_DECIMAL, 46},     {VK_DIVIDE, 202},
    };
    for (const Fixed& f : fixed) codes[f.vk] = f.code;
    for (int d = 0; d < 10; ++d) codes['0' + d] = static_cast<uint16_t>('0' + d);
    for (int l = 0; l < 26; ++l) codes['A' + l] = static_cast<uint16_t>('a' + l);
    for (int f = 0; f < 15; ++f) codes[VK_F1 + f] = static_cast<uint16_t>(177 + f);
    if (languageId == 2) {
        const Fixed german[] = {{186, 252}, {187, 43}, {189, 45}, {191, 228}, {192, 246},
                                {219, 223}, {220, 96}, {221, 39}, {222, 228}, {226, 60}};
        for (const Fixed& g : german) codes[g.vk] = g.code;
    }
}

void Queue(uint16_t code) {
    KeyboardState& kb = Kb();
    if (kb.count == kTypedKeyQueue) {  // full: the oldest goes
        kb.readPos = (kb.readPos + 1) % kTypedKeyQueue;
        --kb.count;
    }
    kb.queue[(kb.readPos + kb.count) % kTypedKeyQueue] = code;
    ++kb.count;
}

void QueueTyped(int vk) {
    uint16_t code = Keyboard_TypedCode(vk);
    if (code == 0) return;
    if (Plat_IsKeyDown(VK_CONTROL)) code |= kTypedControl;
    if (Plat_IsKeyDown(VK_MENU)) code |= kTypedAlt;
    if (Plat_IsKeyDown(VK_SHIFT)) code |= kTypedShift;
    Queue(code);
}

void HandleKey(uint32_t message, WParam wParam, LParam lParam) {
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
    if (!down && !up) return;
    KeyboardState& kb = Kb();
    const int vk = static_cast<int>(wParam & 0xFF);
    const int scan = static_cast<int>((lParam >> 16) & 0xFF);
    const bool extended = (lParam >> 24) & 1;
    const bool repeat = (lParam >> 30) & 1;
    // Caps Lock serves as a plain key: the system's own Caps Lock state is put back.
    if (vk == VK_CAPITAL) {
        if (scan == 0 || (down && repeat)) return;
        if (down) {
            Plat_InjectKey(VK_CAPITAL, scan, true, true);
            Plat_InjectKey(VK_CAPITAL, scan, true, false);
        }
    }
    const int channel = Keyboard_ChannelOf(scan, extended);
    int partner = 0;
    const int summary = channel && kb.summaries ? SummaryOf(channel, &partner) : 0;
    if (down) {
        if (!repeat) QueueTyped(vk);
        if (channel) {
            SetBit(kb.released, channel, false);
            SetBit(kb.held, channel, true);
            SetBit(kb.down, channel, true);
        }
        if (summary) {
            SetBit(kb.released, summary, false);
            SetBit(kb.held, summary, true);
        }
        if (message == WM_SYSKEYDOWN && vk != VK_ESCAPE && vk != VK_SPACE)
            Plat_DefWindowProc(App_Globals().mainWindow, message, wParam, lParam);
        return;
    }
    if (channel) {
        SetBit(kb.released, channel, true);
        SetBit(kb.down, channel, false);
    }
    // A summary is released only when neither key of its pair is still down.
    if (summary && !Bit(kb.down, partner)) SetBit(kb.released, summary, true);
}

void TraceSystemKey(const PlatMsg& msg) {
    const char* name = msg.message == WM_SYSKEYDOWN ? "WM_SYSKEYDOWN"
                       : msg.message == WM_SYSKEYUP ? "WM_SYSKEYUP"
                       : msg.message == WM_SYSCHAR  ? "WM_SYSCHAR"
                                                    : nullptr;
    if (name)
        Debug_Trace("%s: hWnd(%x) wParam(%llx) lParam(%llx)\n", name, msg.window,
                    static_cast<unsigned long long>(msg.wParam), static_cast<unsigned long long>(msg.lParam));
}

// Takes one waiting keyboard message and handles it; false when none waits.
bool HandleWaitingKey() {
    PlatMsg msg;
    if (!Plat_PeekMessageRange(&msg, WM_KEYFIRST, WM_KEYLAST, true)) return false;
    Plat_TranslateMessage(&msg);
    TraceSystemKey(msg);
    HandleKey(msg.message, msg.wParam, msg.lParam);
    return true;
}

void CopyText(char* out, size_t size, const char* text) {
    if (!out || size == 0) return;
    std::strncpy(out, text ? text : "", size - 1);
    out[size - 1] = '\0';
}

int KeyboardCount() { return 1; }

int KeyboardDescribe(int, InputDeviceRecord* record) {
    Keyboard_InitKeyNames(nullptr, nullptr);
    if (!record) return 1;
    std::memset(record, 0, sizeof *record);
    CopyText(record->name, sizeof record->name, "keyboard");
    CopyText(record->displayName, sizeof record->displayName, App_Text("Keyboard"));
    CopyText(record->typeName, sizeof record->typeName, "keyboard");
    record->analogCount = 0;
    record->discreteCount = kKeyboardChannels;
    record->analogLongNames = kNoNames;
    record->analogShortNames = kNoNames;
    record->discreteLongNames = Kb().longPointers;
    record->discreteShortNames = Kb().shortNames;
    return 0;
}

int KeyboardOpen(InputDeviceRecord*) { return 0; }
void KeyboardClose(InputDeviceRecord*) {}
int KeyboardResetChannel(void*, int) { return 0; }

int KeyboardRead(void*, int32_t*, uint32_t* discrete) {
    KeyboardState& kb = Kb();
    for (int i = 0; i < kWords; ++i) {
        if (discrete) discrete[i] = kb.held[i];
        kb.held[i] &= ~kb.released[i];
        kb.released[i] = 0;
    }
    return 0;
}

void KeyboardNextKey(uint16_t* code) {
    KeyboardState& kb = Kb();
    uint16_t value = 0;
    if (kb.count > 0) {
        value = kb.queue[kb.readPos];
        kb.readPos = (kb.readPos + 1) % kTypedKeyQueue;
        --kb.count;
    }
    if (code) *code = value;
}

void KeyboardFlush() {
    HandleWaitingKey();
    Kb().readPos = 0;
    Kb().count = 0;
}

}  // namespace

const InputDevice KeyboardDevice = {
    KeyboardCount, KeyboardDescribe, KeyboardOpen, KeyboardClose, KeyboardResetChannel, KeyboardRead,
    KeyboardNextKey, KeyboardFlush,
};

const KeyboardLanguage& Keyboard_Language() {
    if (g_languageSet) return g_language;
    const LanguageRecord* detected = Lang_Current();
    g_detected = {detected ? detected->id : kLangEnglish, nullptr, nullptr};
    return g_detected;
}
void Keyboard_SetLanguage(const KeyboardLanguage& language) {
    g_language = language;
    g_languageSet = true;
}

void Keyboard_OnMessage(uint32_t message, WParam wParam, LParam lParam) {
    HandleKey(message, wParam, lParam);
    while (HandleWaitingKey()) {
    }
}

void Keyboard_ClearState() {
    KeyboardState& kb = Kb();
    for (int i = 0; i < kWords; ++i) kb.held[i] = kb.released[i] = kb.down[i] = 0;
}

void Keyboard_InitKeyNames(const char* const* shortNames, const char* const* longSources) {
    KeyboardState& kb = Kb();
    if (kb.built) return;
    kb.built = true;
    const KeyboardLanguage& language = Keyboard_Language();
    if (!shortNames) shortNames = language.shortNames ? language.shortNames : kShortNames;
    if (!longSources) longSources = language.longSources ? language.longSources : kLongSources;
    kb.shortNames = shortNames;
    // The alternative table (channel 12 named "^") goes without the summary channels.
    kb.summaries = !(shortNames[11] && std::strcmp(shortNames[11], "^") == 0);
    for (int i = 0; i < kKeyboardChannels; ++i) {
        const char* source = longSources[i] ? longSources[i] : "";
        kb.longNames[i] = *source ? App_Text(source) : "";
        kb.longPointers[i] = kb.longNames[i].c_str();
    }
    BuildCodes(language.id);
}

void Keyboard_GetKeyName(int channel, char* out, size_t outSize) {
    Keyboard_InitKeyNames(nullptr, nullptr);
    const bool inside = channel >= 1 && channel <= kKeyboardChannels;
    CopyText(out, outSize, inside ? Kb().shortNames[channel - 1] : "");
}

const char* Keyboard_ChannelLongName(int channel) {
    Keyboard_InitKeyNames(nullptr, nullptr);
    return channel >= 1 && channel <= kKeyboardChannels ? Kb().longPointers[channel - 1] : "";
}

int Keyboard_ChannelOf(int scan, bool extended) {
    int channel = scan;
    if (extended && scan < 89) {
        if (scan == 28) channel = 85;
        else if (scan == 29) channel = 112;
        else if (scan == 53) channel = 89;
        else if (scan == 56) channel = 113;
        else if (scan >= 71 && scan <= 73) channel = 94 + (scan - 71);
        else if (scan == 75) channel = 97;
        else if (scan == 77) channel = 98;
        else if (scan >= 79 && scan <= 83) channel = 99 + (scan - 79);
        else if (scan == 69 || scan == 87 || scan == 88) channel = scan;
        else channel = 0;
    }
    // A channel outside the table would set bits past the 125 channels.
    return channel >= 1 && channel <= kKeyboardChannels ? channel : 0;
}

bool Keyboard_KeyOfName(const char* name, int* scanCode, bool* extended) {
    if (!name) return false;
    int channel = 0;
    for (int i = 0; i < kKeyboardChannels && !channel; ++i)
        if (Text_CompareNoCase(kShortNames[i], name) == 0) channel = i + 1;
    if (!channel) return false;
    // Num Lock is the extended 69 (the plain one is Pause); the other codes that make the
    // channel with the extended flag come first.
    for (int scan = 1; scan < 256; ++scan) {
        if (Keyboard_ChannelOf(scan, true) == channel && (scan != channel || scan == 69)) {
            *scanCode = scan;
            *extended = true;
            return true;
        }
    }
    *scanCode = channel;
    *extended = channel > 88;
    return true;
}

uint16_t Keyboard_TypedCode(int virtualKey) {
    Keyboard_InitKeyNames(nullptr, nullptr);
    return Kb().codes[virtualKey & 0xFF];
}

void Keyboard_Reset() {
    Kb() = KeyboardState{};
    g_language = kEnglish;
    g_languageSet = false;
}
