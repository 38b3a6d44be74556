#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "core/cmdline.h"
#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/exit_trap.h"

namespace {

class CmdLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        CmdLine_ResetGlobals();
        std::memset(map, 'X', sizeof map);
        map[0] = '\0';
    }
    void TearDown() override { CmdLine_ResetGlobals(); }

    const CmdLineGlobals& Parse(const char* line) {
        EXPECT_EQ(CmdLine_Parse(line, map, sizeof map), 1);
        return CmdLine_Globals();
    }
    char map[16];
};

struct SwitchCase {
    const char* name;  // written after the prefix, in the case the table gives
    std::function<bool(const CmdLineGlobals&)> isSet;
};

// Each switch without a value, as the table names it.
const SwitchCase kFlagSwitches[] = {
    {"soviet", [](const CmdLineGlobals& g) { return g.soviet; }},
    {"netshell", [](const CmdLineGlobals& g) { return g.networkGame && g.netShell; }},
    {"net", [](const CmdLineGlobals& g) { return g.networkGame && !g.netShell; }},
    {"deathmatch", [](const CmdLineGlobals& g) { return g.deathmatch; }},
    {"gdi", [](const CmdLineGlobals& g) { return !g.fullScreen; }},
    {"win", [](const CmdLineGlobals& g) { return !g.fullScreen; }},
    {"SW", [](const CmdLineGlobals& g) { return g.driverKind == 0; }},
    {"noshell", [](const CmdLineGlobals& g) { return g.noShell; }},
    {"gamesetup", [](const CmdLineGlobals& g) { return g.gameSetup; }},
    {"addon", [](const CmdLineGlobals& g) { return !g.quietMissingFiles; }},
    {"resave", [](const CmdLineGlobals& g) { return g.resave; }},
    {"asciisave", [](const CmdLineGlobals& g) { return !g.binarySave; }},
    {"shellmap", [](const CmdLineGlobals& g) { return g.shellMap; }},
    {"largemap", [](const CmdLineGlobals& g) { return g.largeMap; }},
    {"nobodyhome", [](const CmdLineGlobals& g) { return g.nobodyHome; }},
    {"nointro", [](const CmdLineGlobals& g) { return g.noIntro; }},
    {"forcefeed", [](const CmdLineGlobals& g) { return g.forceFeedback; }},
    {"nods", [](const CmdLineGlobals& g) { return g.noDirectSound && !g.noDirectSound3D; }},
    {"nods3d", [](const CmdLineGlobals& g) { return g.noDirectSound3D && !g.noDirectSound; }},
    {"netdbg", [](const CmdLineGlobals& g) { return g.netDebug; }},
    {"showreg", [](const CmdLineGlobals& g) { return g.showReg; }},
    {"edit", [](const CmdLineGlobals& g) { return g.editor && !g.startInEditor; }},
    {"startedit", [](const CmdLineGlobals& g) { return g.editor && g.startInEditor; }},
};

std::string MixCase(const std::string& name, int variant) {
    std::string out = name;
    for (size_t i = 0; i < out.size(); ++i) {
        char c = out[i];
        bool upper = variant == 1 || (variant == 2 && i % 2 == 0);
        if (variant == 3) upper = false;
        if (c >= 'a' && c <= 'z' && upper) out[i] = static_cast<char>(c - 'a' + 'A');
        if (c >= 'A' && c <= 'Z' && !upper) out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

TEST_F(CmdLineTest, EveryFlagSwitchMatchesWithEitherPrefixAndAnyCase) {
    for (const SwitchCase& sc : kFlagSwitches) {
        for (const char* prefix : {"-", "/"}) {
            for (int variant = 0; variant < 4; ++variant) {
                CmdLine_ResetGlobals();
                const std::string name = variant == 0 ? sc.name : MixCase(sc.name, variant);
                const std::string line = std::string(prefix) + name;
                Parse(line.c_str());
                EXPECT_TRUE(sc.isSet(CmdLine_Globals())) << line;
                EXPECT_EQ(CmdLine_Globals().mapName, "") << line;
            }
        }
    }
}

TEST_F(CmdLineTest, NothingIsSetByAnEmptyLineOrByUnknownSwitches) {
    const CmdLineGlobals defaults;
    for (const char* line : {"", "   ", ",,", "-", "/", "-bogus /NETX -netshellx -nods3 -editor"}) {
        CmdLine_ResetGlobals();
        Parse(line);
        const CmdLineGlobals& g = CmdLine_Globals();
        for (const SwitchCase& sc : kFlagSwitches) EXPECT_FALSE(sc.isSet(g)) << line << " set " << sc.name;
        EXPECT_EQ(g.mapName, "") << line;
        EXPECT_EQ(g.loadPath, defaults.loadPath);
        EXPECT_FALSE(g.loadRequested);
        EXPECT_EQ(g.driverKind, 1);
        EXPECT_EQ(g.gameName, "test");
        EXPECT_EQ(g.vehicleName, "avtank");
        EXPECT_EQ(g.playerName, "unnamed");
        EXPECT_EQ(g.transport, "dll\\wipxd.dll");
        EXPECT_EQ(g.loadPath, ".\\savegame.qmn");
    }
    EXPECT_EQ(map[0], '\0');
}

TEST_F(CmdLineTest, ValueSwitchesTakeTheNextToken) {
    const CmdLineGlobals& g =
        Parse("-team 3 /NAME Bob -Transport dll\\tcpip.dll -odf abcdefgh -LOAD save\\game2.sav -players 4 "
              "-server 10.0.0.1 /comm 2");
    EXPECT_EQ(g.team, 3);
    EXPECT_EQ(g.playerName, "Bob");
    EXPECT_EQ(g.transport, "dll\\tcpip.dll");
    EXPECT_EQ(g.vehicleName, "abcdef") << "the craft name keeps at most 6 characters";
    EXPECT_EQ(g.loadPath, "save\\game2.sav");
    EXPECT_TRUE(g.loadRequested);
    EXPECT_EQ(g.mapName, "") << "taken values are not map names";
    EXPECT_EQ(map[0], '\0');
}

TEST_F(CmdLineTest, JoinAndHostSetTheNetworkGameTheRoleAndTheGameName) {
    const CmdLineGlobals& host = Parse("-host Friday");
    EXPECT_TRUE(host.networkGame);
    EXPECT_TRUE(host.host);
    EXPECT_EQ(host.gameName, "Friday");
    const CmdLineGlobals& join = Parse("/JOIN Saturday");
    EXPECT_TRUE(join.networkGame);
    EXPECT_FALSE(join.host) << "join after host makes this machine a joiner";
    EXPECT_EQ(join.gameName, "Saturday");
}

TEST_F(CmdLineTest, AValueSwitchStandingLastDoesNothingAndDoesNotFail) {
    for (const char* line : {"-join", "-host", "-team", "-name", "-load", "-odf", "-transport", "-players",
                             "-server", "-comm"}) {
        CmdLine_ResetGlobals();
        const CmdLineGlobals& g = Parse(line);
        EXPECT_FALSE(g.networkGame) << line;
        EXPECT_FALSE(g.loadRequested) << line;
        EXPECT_EQ(g.team, 0) << line;
        EXPECT_EQ(g.playerName, "unnamed") << line;
    }
}

TEST_F(CmdLineTest, TeamNumbersParseLikeAtoiWithoutOverflow) {
    struct {
        const char* value;
        int team;
    } cases[] = {{"7", 7}, {"-2", -2}, {"+4", 4}, {"5x", 5}, {"abc", 0}, {"99999999999", INT_MAX},
                 {"-99999999999", INT_MIN}};
    for (const auto& c : cases) {
        const std::string line = std::string("-team ") + c.value;
        EXPECT_EQ(Parse(line.c_str()).team, c.team) << line;
    }
}

TEST_F(CmdLineTest, BlanksAndCommasBothSeparate) {
    const CmdLineGlobals& g = Parse("-net,-deathmatch,,  -team,2 ,mymap");
    EXPECT_TRUE(g.networkGame);
    EXPECT_TRUE(g.deathmatch);
    EXPECT_EQ(g.team, 2);
    EXPECT_EQ(g.mapName, "mymap");
}

TEST_F(CmdLineTest, ABareWordIsTheMapNameAndALaterOneReplacesIt) {
    const CmdLineGlobals& g = Parse("first -nointro second");
    EXPECT_EQ(g.mapName, "second");
    EXPECT_STREQ(map, "second");
    EXPECT_TRUE(g.noIntro);
}

TEST_F(CmdLineTest, AnAbsolutePathIsTheMapNameButAnUnknownSwitchStaysIgnored) {
    struct Case {
        const char* line;
        const char* mapName;
    };
    const Case cases[] = {
        {"-nointro /home/me/missions/fight.qmn", "/home/me/missions/fight.qmn"},
        {"/tmp/x.qmn -nods", "/tmp/x.qmn"},
        {"/NOINTRO", ""},             // a switch, whatever the prefix
        {"/bogus.qmn", ""},           // no further '/': an unknown switch
        {"-load /tmp/s.sav", ""},     // the value of a switch is no map
        {"/flagfile:/tmp/f", ""},     // nor the rest of the flag file's token
    };
    for (const Case& c : cases) {
        CmdLine_ResetGlobals();
        EXPECT_EQ(Parse(c.line).mapName, c.mapName) << c.line;
    }
    EXPECT_EQ(CmdLine_Globals().flagFile, "/tmp/f");
}

TEST_F(CmdLineTest, TheMapNameBufferIsNeverOverrun) {
    char small[6];
    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(CmdLine_Parse("averyverylongmapname", small, sizeof small), 1);
    EXPECT_STREQ(small, "avery");
    EXPECT_EQ(CmdLine_Globals().mapName, "averyverylongmapname");
    EXPECT_EQ(CmdLine_Parse("othermap", nullptr, 0), 1);
    EXPECT_EQ(CmdLine_Globals().mapName, "othermap");
}

TEST_F(CmdLineTest, FlagFileKeepsTheRestOfItsTokenAsGiven) {
    struct {
        const char* line;
        const char* name;
    } cases[] = {{"-flagfile:Flags\\Red Flag.BMP", "Flags\\Red"},  // a blank ends the token
                 {"/FLAGFILE:blue.bmp", "blue.bmp"},
                 {"-FlagFile:", ""},
                 {"-flagfile:a:b,c", "a:b"}};
    for (const auto& c : cases) {
        CmdLine_ResetGlobals();
        const CmdLineGlobals& g = Parse(c.line);
        EXPECT_EQ(g.flagFile, c.name) << c.line;
    }
    // The trailing word of the first case is a bare word: the map name.
    CmdLine_ResetGlobals();
    EXPECT_EQ(Parse("-flagfile:Flags\\Red Flag.BMP").mapName, "Flag.BMP");
    // "flagfile" without the colon is no switch at all.
    CmdLine_ResetGlobals();
    EXPECT_EQ(Parse("-flagfile x.bmp").flagFile, "");
}

TEST_F(CmdLineTest, AddonTogglesQuietMissingFilesAndEachParseStartsQuiet) {
    EXPECT_TRUE(Parse("").quietMissingFiles);
    EXPECT_FALSE(Parse("-addon").quietMissingFiles);
    EXPECT_TRUE(Parse("-addon /ADDON").quietMissingFiles) << "two addon switches leave files quiet";
    EXPECT_FALSE(Parse("-addon -addon -addon").quietMissingFiles);
}

TEST_F(CmdLineTest, TheLastOfOpposingSwitchesWins) {
    EXPECT_EQ(Parse("-SW -D3D").driverKind, 1);
    EXPECT_EQ(Parse("-d3d -sw").driverKind, 0);
    EXPECT_TRUE(Parse("-asciisave -binarysave").binarySave);
    EXPECT_FALSE(Parse("-binarysave -asciisave").binarySave);
}

TEST_F(CmdLineTest, NoShellAloneSetsOnlyItsOwnFlag) {
    const CmdLineGlobals& g = Parse("-noshell");
    EXPECT_TRUE(g.noShell);
    EXPECT_EQ(g.mapName, "") << "start-up decides the shell by the map name";
}

TEST_F(CmdLineTest, AMissingCommandLineIsFatal) {
    Plat_Init(BackendKind::Headless);
    Error_ResetForTests();
    Plat_ClearMessageBoxLog();
    int code = RunForExit([this] { CmdLine_Parse(nullptr, map, sizeof map); });
    EXPECT_EQ(code, 112);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "This program must be launched from m4q.exe\n");
    Error_ResetForTests();
    Plat_Shutdown();
}

}  // namespace
