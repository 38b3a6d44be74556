// gvtool input-probe on the example script.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "inputprobe.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "platform/system.h"

namespace {

struct Probe {
    int code = -1;
    std::vector<std::string> lines;
    std::string error;
};

Probe RunProbe(const std::string& script, bool forceFeed) {
    Probe probe;
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    probe.code = content::InputProbe(script, forceFeed, out, &probe.error);
    std::fclose(out);
    std::istringstream text(std::string(buffer, size));
    std::free(buffer);
    for (std::string line; std::getline(text, line);) probe.lines.push_back(line);
    InputDevices_Reset();
    Plat_Shutdown();
    return probe;
}

std::string Frame(const Probe& probe, int frame) {
    const std::string prefix = "frame " + std::to_string(frame) + ":";
    for (const std::string& line : probe.lines)
        if (line.rfind(prefix, 0) == 0) return line;
    return std::string();
}

bool Has(const std::string& line, const std::string& word) { return (line + " ").find(" " + word + " ") != std::string::npos; }

TEST(InputProbe, ExampleScriptShowsTypedKeysChannelsMouseAndStick) {
    const Probe probe = RunProbe(std::string(GV_CONTENT_DIR) + "/input-keys.txt", false);
    ASSERT_EQ(probe.code, 0) << probe.error;
    EXPECT_TRUE(Has(Frame(probe, 2), "typed 0x0273")) << Frame(probe, 2);
    EXPECT_TRUE(Has(Frame(probe, 5), "key RightCtrl"));
    EXPECT_TRUE(Has(Frame(probe, 5), "key Control"));
    for (int frame = 6; frame <= 14; ++frame) {
        EXPECT_FALSE(Has(Frame(probe, frame), "key RightCtrl")) << frame;
        EXPECT_FALSE(Has(Frame(probe, frame), "key Control")) << frame;
    }
    EXPECT_EQ(Frame(probe, 4), "");  // nothing to report
    EXPECT_TRUE(Has(Frame(probe, 7), "mouse LeftBtn"));
    EXPECT_TRUE(Has(Frame(probe, 7), "mouse WheelUp"));
    EXPECT_FALSE(Has(Frame(probe, 8), "mouse WheelUp"));  // one read per wheel, whatever the notches
    EXPECT_TRUE(Has(Frame(probe, 10), "joystick1 HatRight"));
    EXPECT_TRUE(Has(Frame(probe, 10), "joystick1 HorizPos 65536"));
    EXPECT_EQ(Frame(probe, 11), "");  // unfocused: nothing
}

TEST(InputProbe, ForceFeedbackCallsInOrderAndBadScripts) {
    char pattern[] = "/tmp/gvprobe-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    {
        std::ofstream script(dir + "/ff.txt");
        script << "0 joystick 1 connect 2 2 0 haptic Wheel\n3 focus lost\n4 focus gained\n";
    }
    Probe probe = RunProbe(dir + "/ff.txt", true);
    ASSERT_EQ(probe.code, 0) << probe.error;
    const std::vector<std::string> expected = {
        "call LoadLibrary iforce.dll", "call _SetJoystickPort 1", "call _InitStick 0",  "call _CloseStick",
        "call _SetJoystickPort 2",     "call _InitStick 1",       "call _EnableForces", "call _DisableForces",
        "call _EnableForces",          "call _CloseStick",        "call FreeLibrary iforce.dll"};
    EXPECT_EQ(probe.lines, expected);

    {
        std::ofstream script(dir + "/bad.txt");
        script << "1 keydown A\n2 keydown NoSuchKey\n";
    }
    probe = RunProbe(dir + "/bad.txt", false);
    EXPECT_EQ(probe.code, 1);
    EXPECT_NE(probe.error.find("line 2"), std::string::npos) << probe.error;
    EXPECT_NE(probe.error.find("NoSuchKey"), std::string::npos) << probe.error;
    std::remove((dir + "/ff.txt").c_str());
    std::remove((dir + "/bad.txt").c_str());
    std::remove(dir.c_str());
}

}  // namespace
