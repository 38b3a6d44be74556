#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

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

// The fight mission's map data, and the user's craft put 20 m beyond the playable rectangle's
// east edge coming back inside.
TEST(SimulationTool, TheReportShowsTheMapsAiDataAndTheBoundsPushBack) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simfight_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;

    const auto run = [&](const content::SimOptions& options, int frames) {
        std::FILE* out = std::tmpfile();
        std::string err;
        EXPECT_EQ(content::Simulation_Tool(dir, "fight.qmn", frames, options, out, &err), 0) << err;
        std::rewind(out);
        std::vector<std::string> lines;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, out)) lines.emplace_back(buffer);
        std::fclose(out);
        return lines;
    };
    content::SimOptions report;
    report.report = true;
    const std::vector<std::string> first = run(report, 0);
    ASSERT_GE(first.size(), 4u);
    float xMin = 0, xMax = 0, zMin = 0, zMax = 0;
    ASSERT_EQ(std::sscanf(first[0].c_str(), "bounds %f %f %f %f", &xMin, &xMax, &zMin, &zMax), 4) << first[0];
    EXPECT_LT(xMin, xMax);
    EXPECT_LT(zMin, zMax);
    int paths = 0, loops = 0, aois = 0, objects = 0;
    for (const std::string& line : first) {
        if (line.rfind("path edge_path kind=0 points=4", 0) == 0) ++paths;
        if (line.rfind("path ", 0) == 0 && line.find("kind=2") != std::string::npos) ++loops;
        if (line.rfind("aoi team=2 ", 0) == 0) ++aois;
        if (line.rfind("t=0 ", 0) == 0 && line.find("proc=UserProcess:-") != std::string::npos) ++objects;
    }
    EXPECT_EQ(paths, 1);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(aois, 1);
    EXPECT_EQ(objects, 1);

    content::SimOptions outside = report;
    outside.moveUser = true;
    outside.atX = xMax + 20.0f;
    outside.atZ = (zMin + zMax) / 2.0f;
    const std::vector<std::string> lines = run(outside, 180);
    std::vector<float> xs;
    for (const std::string& line : lines) {
        const size_t at = line.find(" pos=");
        if (line.rfind("t=", 0) == 0 && line.find("proc=UserProcess:-") != std::string::npos && at != std::string::npos)
            xs.push_back(std::stof(line.substr(at + 5)));
    }
    ASSERT_EQ(xs.size(), 7u);  // t = 0 .. 6
    EXPECT_NEAR(xs.front(), xMax + 20.0f, 0.1f);
    for (size_t i = 1; i < xs.size(); ++i) EXPECT_LT(xs[i], xs[i - 1]);
    EXPECT_LE(xs.back(), xMax);
    // The supplies lie on flat ground: the repair kit and the ammunition pack have settled 1 unit
    // above it; a weapon power-up and a camera pod lie there too.
    for (const char* cls : {"aprepa", "apammo", "apwcan", "apcamr"}) {
        SCOPED_TRACE(cls);
        std::string last;
        for (const std::string& line : lines)
            if (line.rfind("t=6 ", 0) == 0 && line.find(std::string("class=") + cls + " ") != std::string::npos) last = line;
        ASSERT_FALSE(last.empty());
        EXPECT_NE(last.find(" alt=1.00 "), std::string::npos) << last;
    }

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}

}  // namespace
