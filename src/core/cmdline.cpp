#include "core/cmdline.h"

#include <climits>
#include <cstring>
#include <vector>

#include "core/debug.h"
#include "core/helpers.h"

namespace {

CmdLineGlobals g_cmdLine;

constexpr size_t kVehicleNameChars = 6;
constexpr char kFlagFilePrefix[] = "flagfile:";
constexpr size_t kFlagFilePrefixChars = sizeof kFlagFilePrefix - 1;

// Leading blanks, a sign and decimal digits, like atoi; saturates instead of overflowing.
int ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

std::vector<std::string> SplitTokens(const char* line) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char* p = line; *p; ++p) {
        if (*p == ' ' || *p == ',' || *p == '\t' || *p == '\r' || *p == '\n') {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
}

void CopyBounded(char* out, size_t size, const std::string& text) {
    if (!out || size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

enum class Value { None, Takes };

struct SwitchEntry {
    const char* name;
    Value value;
    void (*apply)(CmdLineGlobals& g, const std::string& value);
};

const SwitchEntry kSwitches[] = {
    {"team", Value::Takes, [](CmdLineGlobals& g, const std::string& v) { g.team = ParseNumber(v); }},
    {"soviet", Value::None, [](CmdLineGlobals& g, const std::string&) { g.soviet = true; }},
    {"netshell", Value::None,
     [](CmdLineGlobals& g, const std::string&) {
         g.networkGame = true;
         g.netShell = true;
     }},
    {"net", Value::None, [](CmdLineGlobals& g, const std::string&) { g.networkGame = true; }},
    {"join", Value::Takes,
     [](CmdLineGlobals& g, const std::string& v) {
         g.networkGame = true;
         g.host = false;
         g.gameName = v;
     }},
    {"host", Value::Takes,
     [](CmdLineGlobals& g, const std::string& v) {
         g.networkGame = true;
         g.host = true;
         g.gameName = v;
     }},
    {"odf", Value::Takes,
     [](CmdLineGlobals& g, const std::string& v) { g.vehicleName = v.substr(0, kVehicleNameChars); }},
    {"load", Value::Takes,
     [](CmdLineGlobals& g, const std::string& v) {
         g.loadPath = v;
         g.loadRequested = true;
     }},
    {"deathmatch", Value::None, [](CmdLineGlobals& g, const std::string&) { g.deathmatch = true; }},
    {"players", Value::Takes, [](CmdLineGlobals&, const std::string&) {}},
    {"name", Value::Takes, [](CmdLineGlobals& g, const std::string& v) { g.playerName = v; }},
    {"transport", Value::Takes, [](CmdLineGlobals& g, const std::string& v) { g.transport = v; }},
    {"server", Value::Takes, [](CmdLineGlobals&, const std::string&) {}},
    {"comm", Value::Takes, [](CmdLineGlobals&, const std::string&) {}},
    {"gdi", Value::None, [](CmdLineGlobals& g, const std::string&) { g.fullScreen = false; }},
    {"win", Value::None, [](CmdLineGlobals& g, const std::string&) { g.fullScreen = false; }},
    {"D3D", Value::None, [](CmdLineGlobals& g, const std::string&) { g.driverKind = 1, g.driverChosen = true; }},
    {"SW", Value::None, [](CmdLineGlobals& g, const std::string&) { g.driverKind = 0, g.driverChosen = true; }},
    {"noshell", Value::None, [](CmdLineGlobals& g, const std::string&) { g.noShell = true; }},
    {"gamesetup", Value::None, [](CmdLineGlobals& g, const std::string&) { g.gameSetup = true; }},
    {"addon", Value::None,
     [](CmdLineGlobals& g, const std::string&) { g.quietMissingFiles = !g.quietMissingFiles; }},
    {"resave", Value::None, [](CmdLineGlobals& g, const std::string&) { g.resave = true; }},
    {"asciisave", Value::None, [](CmdLineGlobals& g, const std::string&) { g.binarySave = false; }},
    {"binarysave", Value::None, [](CmdLineGlobals& g, const std::string&) { g.binarySave = true; }},
    {"shellmap", Value::None, [](CmdLineGlobals& g, const std::string&) { g.shellMap = true; }},
    {"largemap", Value::None, [](CmdLineGlobals& g, const std::string&) { g.largeMap = true; }},
    {"nobodyhome", Value::None, [](CmdLineGlobals& g, const std::string&) { g.nobodyHome = true; }},
    {"nointro", Value::None, [](CmdLineGlobals& g, const std::string&) { g.noIntro = true; }},
    {"forcefeed", Value::None, [](CmdLineGlobals& g, const std::string&) { g.forceFeedback = true; }},
    {"nods", Value::None, [](CmdLineGlobals& g, const std::string&) { g.noDirectSound = true; }},
    {"nods3d", Value::None, [](CmdLineGlobals& g, const std::string&) { g.noDirectSound3D = true; }},
    {"netdbg", Value::None, [](CmdLineGlobals& g, const std::string&) { g.netDebug = true; }},
    {"showreg", Value::None, [](CmdLineGlobals& g, const std::string&) { g.showReg = true; }},
    {"edit", Value::None, [](CmdLineGlobals& g, const std::string&) { g.editor = true; }},
    {"startedit", Value::None,
     [](CmdLineGlobals& g, const std::string&) {
         g.editor = true;
         g.startInEditor = true;
     }},
};

}  // namespace

CmdLineGlobals& CmdLine_Globals() { return g_cmdLine; }
void CmdLine_ResetGlobals() { g_cmdLine = CmdLineGlobals{}; }

int CmdLine_Parse(const char* commandLine, char* mapName, size_t mapNameSize) {
    if (!commandLine) {
        Error_Fatal("This program must be launched from m4q.exe\n");
        return 1;  // only reached when the fatal box was already up
    }
    CmdLineGlobals& g = g_cmdLine;
    g.quietMissingFiles = true;

    const std::vector<std::string> tokens = SplitTokens(commandLine);
    for (size_t t = 0; t < tokens.size(); ++t) {
        const std::string& token = tokens[t];
        if (token[0] != '/' && token[0] != '-') {
            g.mapName = token;
            CopyBounded(mapName, mapNameSize, token);
            continue;
        }
        const char* name = token.c_str() + 1;
        if (Text_CompareNoCaseN(name, kFlagFilePrefix, kFlagFilePrefixChars) == 0) {
            g.flagFile = name + kFlagFilePrefixChars;
            continue;
        }
        bool matched = false;
        for (const SwitchEntry& entry : kSwitches) {
            if (Text_CompareNoCase(name, entry.name) != 0) continue;
            matched = true;
            if (entry.value == Value::Takes) {
                if (t + 1 >= tokens.size()) break;  // nothing left to take: the switch does nothing
                entry.apply(g, tokens[++t]);
            } else {
                entry.apply(g, std::string());
            }
            break;
        }
        // An absolute path ("/home/me/fight.qmn") also starts with '/': a token that names no
        // switch and holds a further '/' is the map, not an unknown switch to ignore.
        if (!matched && token[0] == '/' && token.find('/', 1) != std::string::npos) {
            g.mapName = token;
            CopyBounded(mapName, mapNameSize, token);
        }
    }
    return 1;
}
