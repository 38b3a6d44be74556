#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "content.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"
#include "support/world_reset.h"

namespace {

// The user's line of a run of `gvtool sim` on the sample world.
std::string UserLine(const std::string& dir, int frames, float throttle, float steering) {
    std::FILE* out = std::tmpfile();
    std::string error;
    EXPECT_EQ(content::Simulation_Tool(dir, "sample.qmn", frames, throttle, steering, out, &error), 0) << error;
    std::rewind(out);
    std::string line, user;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out))
        if (std::string(buffer).rfind("user", 0) == 0) user = buffer;
    std::fclose(out);
    return user;
}

float Field(const std::string& line, const std::string& name) {
    const size_t at = line.find(name + " ");
    if (at == std::string::npos) return -1e9f;
    return std::stof(line.substr(at + name.size() + 1));
}

TEST(SimulationTool, TheUsersTankDrivesAtTopSpeedAndHovers) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simdata_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;

    const std::string driven = UserLine(dir, 150, 1.0f, 0.0f);
    ASSERT_FALSE(driven.empty());
    EXPECT_NEAR(Field(driven, "speed"), 20.0f, 1.0f) << driven;
    EXPECT_NEAR(Field(driven, "height"), 1.0f, 0.3f) << driven;
    const std::string idle = UserLine(dir, 30, 0.0f, 0.0f);
    EXPECT_NEAR(Field(idle, "speed"), 0.0f, 0.05f) << idle;

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}

}  // namespace
