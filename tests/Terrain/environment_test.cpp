#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "content.h"
#include "core/app.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "terrain_fixture.h"

namespace {

struct EnvCase {
    const char* name;
    const char* sections;  // ".TRN" text after "Size"
    float visibility, flatRange;
    int fogStart, fogEnd;
    float fogBreak, intensity, ambient, shadowLuma;
};

class EnvironmentTest : public TerrainTest {
protected:
    void LoadWith(const std::string& sections, std::function<uint16_t(int, int)> height = nullptr) {
        content::TerrainMapSpec spec = Map("env", 1280, 1280, 0, 0, std::move(height));
        spec.extraSections = sections;
        Install(spec);
        Load("env.bzn");
    }
};

}  // namespace

TEST_F(EnvironmentTest, TrnTextsGiveTheViewValues) {
    const EnvCase cases[] = {
        {"no NormalView", "", 250, 250, 100, 235, 0.5f, 0.3f, 0.0f, 0.75f},
        {"break 0 raised", "[NormalView]\nFogBreak = 0\n", 250, 250, 100, 235, 0.01f, 0.3f, 0.0f, 0.75f},
        {"break 100 lowered", "[NormalView]\nFogBreak = 100\n", 250, 250, 100, 235, 0.99f, 0.3f, 0.0f, 0.75f},
        {"shadow luma 0 takes the raised car ambient", "[NormalView]\nShadowLuma = 0\ncarAmbient = 10\n", 250, 250,
         100, 235, 0.5f, 0.3f, 0.0f, 56.0f / 255.0f},
        {"fog end below the visibility stays", "[NormalView]\nFogStart = 50\nFogEnd = 150\nVisibilityRange = 400\n"
                                                "Intensity = 80\nAmbient = 10\n",
         400, 250, 50, 150, 0.5f, 0.8f, 0.1f, 0.75f},
    };
    for (const EnvCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadWith(c.sections);
        const TerrainEnvironment& env = Terrain_Environment();
        EXPECT_FLOAT_EQ(env.current.visibilityRange, c.visibility);
        EXPECT_FLOAT_EQ(env.current.flatRange, c.flatRange);
        EXPECT_EQ(env.current.fogStart, c.fogStart);
        EXPECT_EQ(env.current.fogEnd, c.fogEnd);
        EXPECT_FLOAT_EQ(env.current.fogBreak, c.fogBreak);
        EXPECT_FLOAT_EQ(env.current.intensity, c.intensity);
        EXPECT_FLOAT_EQ(env.current.ambient, c.ambient);
        EXPECT_FLOAT_EQ(env.shadowLuma, c.shadowLuma);
        Terrain_FreeAll();
    }
}

TEST_F(EnvironmentTest, ViewModesPickTheirSetAndTheFogTableIsClamped) {
    LoadWith("[NormalView]\nFogStart = 100\nFogEnd = 200\nVisibilityRange = 400\n");
    for (int mode : {2, 3, 10}) {
        Terrain_SelectView(mode);
        EXPECT_FLOAT_EQ(Terrain_Environment().current.visibilityRange, 3000.0f) << mode;
    }
    Terrain_SelectView(1);
    EXPECT_FLOAT_EQ(Terrain_Environment().current.visibilityRange, 400.0f);
    // Fog towards bright: 0 up to fog start, 1 from fog end; a straight ramp at break 0.5.
    EXPECT_FLOAT_EQ(Terrain_FogAt(100.0f), 0.0f);
    EXPECT_NEAR(Terrain_FogAt(150.0f), 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(Terrain_FogAt(200.0f), 1.0f);
    // Depths behind the camera and past the table read its ends.
    EXPECT_FLOAT_EQ(Terrain_FogAt(-5.0f), 0.0f);
    EXPECT_FLOAT_EQ(Terrain_FogAt(5000.0f), 1.0f);
}

TEST_F(EnvironmentTest, FogEndNotAboveFogStartStepsAtFogStart) {
    LoadWith("[NormalView]\nFogStart = 300\nFogEnd = 120\nVisibilityRange = 1000\n");
    EXPECT_FLOAT_EQ(Terrain_FogAt(200.0f), 0.0f);
    EXPECT_FLOAT_EQ(Terrain_FogAt(300.0f), 0.0f);
    EXPECT_FLOAT_EQ(Terrain_FogAt(301.0f), 1.0f);
}

TEST_F(EnvironmentTest, FlatGroundUnderASunAt45DegreesLightsTo181AndScorchStaysInside) {
    Seam_Render().sunDirection = [](float out[3]) { out[0] = 0.70710678f, out[1] = 0.70710678f, out[2] = 0.0f; };
    LoadWith("", [](int, int) -> uint16_t { return 500; });
    // Vertices on the zone's edge lean towards the lower default ground around it.
    for (int z = 1; z < 127; z += 9)
        for (int x = 1; x < 127; x += 7) ASSERT_EQ(*Terrain_GetLightByte(x, z), 181) << x << "," << z;
    EXPECT_EQ(*Terrain_GetLightByte(-500, -500), kMinLightByte);
    // Flat cells carry both flatness flags on even columns.
    EXPECT_EQ(*Terrain_GetCell(10, 10) & 0xC000, 0xC000);
    EXPECT_EQ(*Terrain_GetCell(11, 10) & 0xC000, 0x8000);

    EXPECT_EQ(Terrain_Scorch(505.0f, 505.0f), 1);
    EXPECT_EQ(Terrain_Scorch(505.0f, 505.0f), 1);
    EXPECT_EQ(*Terrain_GetLightByte(50, 50), 0);
    EXPECT_EQ(*Terrain_GetLightByte(49, 49), 181 >> 2);
    EXPECT_EQ(*Terrain_GetLightByte(50, 49), 181 >> 4);
    // Outside the zones the shared default block is left alone.
    Terrain_Scorch(-5000.0f, -5000.0f);
    EXPECT_EQ(*Terrain_GetLightByte(-500, -500), kMinLightByte);
    // Positions far off every block are no cell at all.
    EXPECT_EQ(Terrain_Scorch(3.0e38f, -3.0e38f), 1);
}

TEST_F(EnvironmentTest, AWallLitFromOctantZeroShadowsTheGroundBehindIt) {
    // Sun low in +x: a wall at x = 40 shades the vertices just west of it.
    Seam_Render().sunDirection = [](float out[3]) { out[0] = 0.8660254f, out[1] = 0.5f, out[2] = 0.0f; };
    LoadWith("", [](int x, int) -> uint16_t { return x >= 40 && x <= 42 ? 2000 : 100; });
    EXPECT_EQ(*Terrain_GetLightByte(38, 20), kMinLightByte);
    EXPECT_GT(*Terrain_GetLightByte(10, 20), kMinLightByte);
}

namespace {
// The driver kind for one test (the fog table's form follows it).
struct DriverKind {
    explicit DriverKind(int kind) : kept(App_Globals().driverKind) { App_Globals().driverKind = kind; }
    ~DriverKind() { App_Globals().driverKind = kept; }
    int kept;
};
}  // namespace

TEST_F(EnvironmentTest, VisibilityScaleWidensTheViewBeforeTheFogRuleAndAnInternetGameCapsIt) {
    std::ofstream(root + "/profile/render.cfg") << "[NormalView]\nVisibilityScale=200\n";
    LoadWith("");
    EXPECT_FLOAT_EQ(Terrain_Environment().current.visibilityRange, 500.0f);
    EXPECT_FLOAT_EQ(Terrain_Environment().current.flatRange, 500.0f);
    EXPECT_EQ(Terrain_Environment().current.fogEnd, 485);  // 500 then 500 - 14.15
    Terrain_FreeAll();

    Seam_Net().isNetworkGame = [] { return true; };
    Seam_Net().isInternetGame = [] { return true; };
    LoadWith("");
    EXPECT_FLOAT_EQ(Terrain_Environment().visibilityScale, 1.5f);
    EXPECT_FLOAT_EQ(Terrain_Environment().current.visibilityRange, 375.0f);
    EXPECT_EQ(Terrain_Environment().current.fogEnd, 360);
}

// Values a hand-edited "render.cfg" or map may hold: none is undefined behaviour (the build's
// sanitizer would stop the test), none leaves the terrain undrawn, none stretches it past 4 times.
TEST_F(EnvironmentTest, OutOfRangeScalesAndDistancesAreHeldToWhatTheTerrainDraws) {
    struct Case {
        const char* scale;
        const char* mapSection;
        float scaleSeen;
        float visibility;  // the normal view's range in metres
    };
    const Case cases[] = {
        {"2147483647", "", 4.0f, 1000.0f},
        {"-2147483648", "", 0.1f, 25.0f},
        {"0", "", 0.1f, 25.0f},
        {"-5", "", 0.1f, 25.0f},
        {"100", "[NormalView]\nVisibilityRange=2147483647\nFogEnd=2147483647\nFlatRange=-7\n", 1.0f, 100000.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.scale) + " " + c.mapSection);
        std::ofstream(root + "/profile/render.cfg")
            << "[NormalView]\nVisibilityScale=" << c.scale << "\n[SateliteView]\nVisibilityRange=" << c.scale << "\n";
        LoadWith(c.mapSection);
        const TerrainEnvironment& env = Terrain_Environment();
        EXPECT_FLOAT_EQ(env.visibilityScale, c.scaleSeen);
        EXPECT_FLOAT_EQ(env.normal.visibilityRange, c.visibility);
        EXPECT_GE(env.normal.flatRange, 0.0f);
        EXPECT_GT(env.visibility, 0.0f) << "some terrain is always in view";
        EXPECT_GE(env.satellite.visibilityRange, 1.0f);
        EXPECT_LE(env.satellite.visibilityRange, 100000.0f);
        Terrain_FreeAll();
    }
}

TEST_F(EnvironmentTest, VertexLightAndFogInEachDirectionAndTheHardwareByteForm) {
    const char* fog = "[NormalView]\nFogStart = 100\nFogEnd = 200\nVisibilityRange = 400\nIntensity = 80\n"
                      "Ambient = 10\nFogDirection = ";
    const float lit = 255 * 0.8f / 256 + 0.1f;
    {
        SCOPED_TRACE("software, towards dark");
        DriverKind software(0);
        LoadWith(std::string(fog) + "0\n");
        EXPECT_FLOAT_EQ(Terrain_FogAt(100.0f), 1.0f);
        EXPECT_FLOAT_EQ(Terrain_FogAt(200.0f), 0.0f);
        EXPECT_FLOAT_EQ(Terrain_VertexLight(255, 50.0f), lit);
        EXPECT_NEAR(Terrain_VertexLight(255, 150.0f), lit * 0.5f, 1e-5);
        EXPECT_FLOAT_EQ(Terrain_VertexLight(255, 250.0f), 0.0f);
        EXPECT_FLOAT_EQ(Terrain_VertexLight(0, 50.0f), 0.1f);
        Terrain_FreeAll();
    }
    {
        SCOPED_TRACE("software, towards bright");
        DriverKind software(0);
        LoadWith(std::string(fog) + "1\n");
        EXPECT_FLOAT_EQ(Terrain_VertexLight(255, 50.0f), lit);
        EXPECT_NEAR(Terrain_VertexLight(255, 150.0f), lit + (1.0f - lit) * 0.5f, 1e-5);
        EXPECT_FLOAT_EQ(Terrain_VertexLight(255, 250.0f), 1.0f);
        Terrain_FreeAll();
    }
    {
        SCOPED_TRACE("hardware: the fog goes apart as a byte");
        DriverKind hardware(1);
        LoadWith(std::string(fog) + "0\n");
        EXPECT_EQ(Terrain_FogByte(50.0f), 255);
        EXPECT_EQ(Terrain_FogByte(150.0f), 127);
        EXPECT_EQ(Terrain_FogByte(250.0f), 0);
        EXPECT_EQ(Terrain_FogByte(-5.0f), 255);
        EXPECT_EQ(Terrain_FogByte(5000.0f), 0);
        EXPECT_FLOAT_EQ(Terrain_VertexLight(255, 250.0f), lit);
    }
}

TEST_F(EnvironmentTest, GroundFogThickensTheFogBelowItsTop) {
    // Top 10 m (100 in height words), bottom 0, start 60 m; fog 100..200: slope 10 per word.
    LoadWith("[NormalView]\nFogStart = 100\nFogEnd = 200\nVisibilityRange = 400\nGroundFogTop = 10\n"
             "GroundFogStart = 60\n");
    EXPECT_FLOAT_EQ(Terrain_FogDepth(-20.0f, 100.0f, 150.0f), 110.0f);  // above the top
    EXPECT_FLOAT_EQ(Terrain_FogDepth(0.0f, 100.0f, 40.0f), 100.0f + 60.0f * 10.0f);
    EXPECT_FLOAT_EQ(Terrain_FogDepth(0.0f, 30.0f, 40.0f), 30.0f * (1.0f + 60.0f * 10.0f / 60.0f));
    EXPECT_FLOAT_EQ(Terrain_FogDepth(0.0f, -5.0f, 40.0f), -5.0f);
}

TEST_F(EnvironmentTest, TheSampleWorldsColourSectionInstallsAllFourTables) {
    Render_InstallSeam();
    std::string error;
    ASSERT_TRUE(content::WriteWorld(root, &error)) << error;
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
    ASSERT_EQ(Terrain_LoadMap("sample.bzn", 0), 1);
    EXPECT_TRUE(BoxTexts().empty());
    auto file = [this](const char* name) {
        std::ifstream in(root + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string luma = file("world.lum"), alpha = file("world.alp"), translucency = file("world.trn");
    ASSERT_EQ(luma.size(), sizeof LumaTable);
    ASSERT_EQ(alpha.size(), sizeof AlphaTable);
    ASSERT_EQ(translucency.size(), sizeof TranslucencyTable);
    EXPECT_EQ(std::memcmp(luma.data(), LumaTable, sizeof LumaTable), 0);
    EXPECT_EQ(std::memcmp(alpha.data(), AlphaTable, sizeof AlphaTable), 0);
    // The key colour 255 is see-through: its remap row is identity and blends with it give the
    // other colour; the rest of the translucency table is the file's.
    for (int i = 0; i < 256; ++i) ASSERT_EQ(RemapTable[255][i], i);
    for (int a = 0; a < 255; ++a)
        for (int b = 0; b < 255; ++b) ASSERT_EQ(TranslucencyTable[a][b], uint8_t(translucency[size_t(a) * 256 + b]));
    EXPECT_EQ(GamePalette[0] | GamePalette[1] | GamePalette[2], 0);
    EXPECT_EQ(std::memcmp(file("world.pal").data() + 3, GamePalette + 3, 765), 0);
}

TEST_F(EnvironmentTest, MissingOrShortColourFilesWarnAndLeaveTheTablesAlone) {
    Render_InstallSeam();
    const std::string color = "[Color]\nPalette = p.pal\nLuma = l.lum\nTranslucency = t.trn\nAlpha = a.alp\n";
    struct Case {
        const char* name;
        std::vector<content::ArchiveRecord> files;
    };
    const Case cases[] = {
        {"missing", {}},
        {"short", {{"p.pal", std::string(767, 'p')}, {"l.lum", std::string(65535, 'l')},
                   {"t.trn", std::string(100, 't')}, {"a.alp", std::string(65535, 'a')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(GamePalette, 7, sizeof GamePalette);
        std::memset(LumaTable, 8, sizeof LumaTable);
        std::memset(TranslucencyTable, 9, sizeof TranslucencyTable);
        std::memset(AlphaTable, 10, sizeof AlphaTable);
        Plat_ClearMessageBoxLog();
        content::TerrainMapSpec spec = Map("env", 1280, 1280);
        spec.extraSections = color;
        std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
        records.insert(records.end(), c.files.begin(), c.files.end());
        Install(records, "terrain.zfs");
        ASSERT_EQ(Terrain_LoadMap("env.bzn", 0), 1);
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Error loading palette P.PAL", "Error loading luminance table L.LUM",
                                                        "Translucency table not found; disabled",
                                                        "Alpha table not found; disabled"}));
        EXPECT_EQ(GamePalette[100], 7);
        EXPECT_EQ(LumaTable[10][10], 8);
        EXPECT_EQ(TranslucencyTable[10][10], 9);
        EXPECT_EQ(AlphaTable[10][10], 10);
        Terrain_FreeAll();
    }
}
