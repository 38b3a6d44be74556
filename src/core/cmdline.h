// The command line: read once at start-up. Every switch only sets a value here that a later
// stage of start-up, the network layer, the display, audio, the saved-game code or the editors
// read.
#pragma once
#include <cstddef>
#include <string>

struct CmdLineGlobals {
    // The bare word of the line: the map to play directly (also the network layer's map name).
    std::string mapName;
    // "load": the saved game the first pass loads.
    std::string loadPath = ".\\savegame.qmn";
    bool loadRequested = false;

    // Network play: the network layer takes these over when it starts.
    int team = 0;                  // "team"
    bool soviet = false;           // "soviet": the side flag
    bool networkGame = false;      // "net", "netshell", "join", "host"
    bool netShell = false;         // "netshell"
    bool host = false;             // "host" 1, "join" 0
    std::string gameName = "test";  // "join" / "host"
    std::string vehicleName = "avtank";  // "odf", at most 6 characters
    bool deathmatch = false;       // "deathmatch"
    std::string playerName = "unnamed";  // "name"
    std::string transport = "dll\\wipxd.dll";  // "transport"
    std::string flagFile;          // "flagfile:NAME": the player's flag picture

    // Display.
    bool fullScreen = true;        // "gdi" / "win" clear it
    int driverKind = 1;            // "D3D" 1 hardware, "SW" 0 software
    bool driverChosen = false;     // "D3D" or "SW" stood on the line (else the player's setting decides)

    // Flow of the program.
    bool noShell = false;          // "noshell"; start-up replaces it by "a map name was given"
    bool gameSetup = false;        // "gamesetup": the network shell instead of the front end
    bool noIntro = false;          // "nointro"
    bool forceFeedback = false;    // "forcefeed"

    // Files and saves.
    bool quietMissingFiles = true;  // toggled by each "addon"
    bool resave = false;           // "resave"
    bool binarySave = true;        // "binarysave" true, "asciisave" false
    bool nobodyHome = false;       // "nobodyhome"
    bool shellMap = false;         // "shellmap": write the map image at shell size after loading
    bool largeMap = false;         // "largemap": the same at the large size

    // Audio.
    bool noDirectSound = false;    // "nods"
    bool noDirectSound3D = false;  // "nods3d"

    // Developer options.
    bool editor = false;           // "edit", "startedit"
    bool startInEditor = false;    // "startedit"
    bool netDebug = false;         // "netdbg": accepted, nothing reads it
    bool showReg = false;          // "showreg": accepted, nothing reads it
};

CmdLineGlobals& CmdLine_Globals();
// Puts every value back to its initial state.
void CmdLine_ResetGlobals();

// Splits the line on blanks and commas and applies each switch ('/' or '-' then the name, any
// case; "flagfile:" keeps the rest of its token). A bare word is the map name: it is copied into
// mapName (at most mapNameSize - 1 characters; mapName may be null) and into the globals. Unknown
// switches, and a value-taking switch with no value after it, are ignored. A null line ends the
// program through Error_Fatal. Returns 1.
int CmdLine_Parse(const char* commandLine, char* mapName, size_t mapNameSize);
