// `gvtool sim ... -telemetry` on the sample world: after the run, the twelve lines the telemetry
// display draws for the user's craft.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "content.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"
#include "support/world_reset.h"

namespace {

std::vector<std::string> Lines(std::FILE* out) {
    std::rewind(out);
    std::vector<std::string> lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out)) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

float Value(const std::string& line) { return std::stof(line.substr(line.find(": ") + 2)); }

}  // namespace

TEST(TelemetrySim, TheTwelveLinesEndTheRunWithTheCraftsSpeed) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_telemetry_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;

    content::SimOptions options;
    options.throttle = 1.0f;
    options.telemetry = true;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(content::Simulation_Tool(dir, "sample.qmn", 90, options, out, &error), 0) << error;
    const std::vector<std::string> lines = Lines(out);
    std::fclose(out);
    ASSERT_GE(lines.size(), 13u);
    const std::vector<std::string> tail(lines.end() - 12, lines.end());
    const char* names[] = {"throt: ", "steer: ", "straf: ", "brake: ", "posit: (", "veloc: (",
                           "veloc: ", "accel: (", "accel: ", "heightRatio: ", "thrustRatio: ", "trackRatio: "};
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(tail[i].rfind(names[i], 0), 0u) << tail[i];
    EXPECT_EQ(tail[0], "throt: 1.000000");
    // The user's line gives the craft's speed; the length line of "veloc" agrees with it.
    float speed = -1.0f;
    for (const std::string& line : lines)
        if (line.rfind("user", 0) == 0) speed = std::stof(line.substr(line.find("speed ") + 6));
    EXPECT_GT(speed, 10.0f);
    EXPECT_NEAR(Value(tail[6]), speed, 0.01f);
    // The hovering craft stands at its hover height.
    EXPECT_NEAR(Value(tail[9]), 1.0f, 0.1f);

    // Without the option no such line is printed.
    out = std::tmpfile();
    options.telemetry = false;
    EXPECT_EQ(content::Simulation_Tool(dir, "sample.qmn", 5, options, out, &error), 0) << error;
    for (const std::string& line : Lines(out)) EXPECT_EQ(line.rfind("throt", 0), std::string::npos);
    std::fclose(out);

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}
