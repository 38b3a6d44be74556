#include <gtest/gtest.h>

#include <string>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/seams/render.h"
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
}

TEST_F(EnvironmentTest, AWallLitFromOctantZeroShadowsTheGroundBehindIt) {
    // Sun low in +x: a wall at x = 40 shades the vertices just west of it.
    Seam_Render().sunDirection = [](float out[3]) { out[0] = 0.8660254f, out[1] = 0.5f, out[2] = 0.0f; };
    LoadWith("", [](int x, int) -> uint16_t { return x >= 40 && x <= 42 ? 2000 : 100; });
    EXPECT_EQ(*Terrain_GetLightByte(38, 20), kMinLightByte);
    EXPECT_GT(*Terrain_GetLightByte(10, 20), kMinLightByte);
}
