// The tug and SAV mission played headless through `gvtool sim`: the tug carries its scout to the
// drop-off, sets it down and backs off; the SAV rams the pilot on foot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"
#include "support/sample_world.h"
#include "support/world_reset.h"

namespace {

struct Seen {
    bool present = false;
    float x = 0, z = 0, alt = 0, hp = 0;
};

TEST(TugsMission, TheScoutIsCarriedAndSetDownAndTheSavRamsThePilot) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simtugs_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;
    content::SimOptions options;
    options.report = true;
    std::FILE* out = std::tmpfile();
    ASSERT_EQ(content::Simulation_Tool(dir, "tugs.qmn", 1800, options, out, &error), 0) << error;
    std::rewind(out);
    char buffer[512];
    Seen scoutStart, scout, tug, pilotStart, pilot;
    bool scoutSeen = false, pilotSeen = false, savRams = false, tugNamedWithoutState = true;
    int second = -1;
    while (std::fgets(buffer, sizeof buffer, out)) {
        const std::string line = buffer;
        if (line.rfind("t=", 0) != 0) continue;
        const int t = std::atoi(line.c_str() + 2);
        if (t != second) {
            second = t;
            pilot.present = false;
        }
        Seen s;
        s.present = true;
        ASSERT_EQ(std::sscanf(line.c_str() + line.find(" pos="), " pos=%f,%f alt=%f hp=%f", &s.x, &s.z, &s.alt, &s.hp), 4)
            << line;
        if (line.find("class=avscout") != std::string::npos) {
            if (!scoutSeen) scoutStart = s;
            scoutSeen = true;
            scout = s;
        } else if (line.find("class=avtug") != std::string::npos) {
            tug = s;
            if (line.find("proc=TugFriend:- ") == std::string::npos) tugNamedWithoutState = false;
        } else if (line.find("class=aspilo") != std::string::npos) {
            if (!pilotSeen) pilotStart = s;
            pilotSeen = true;
            pilot = s;
        } else if (line.find("class=svsav") != std::string::npos) {
            if (line.find("proc=SAVEnemy:ATTACK task=SAVAttackPersonTask") != std::string::npos) savRams = true;
        }
    }
    std::fclose(out);
    ASSERT_TRUE(scoutSeen && tug.present && pilotSeen);
    EXPECT_GT(std::hypot(scout.x - scoutStart.x, scout.z - scoutStart.z), 100.0f) << "carried away";
    EXPECT_LT(scout.alt, 5.0f) << "set down";
    EXPECT_GT(std::hypot(tug.x - scout.x, tug.z - scout.z), 8.0f) << "the tug backed off from it";
    EXPECT_TRUE(tugNamedWithoutState) << "the tug's brain is not a unit process";
    EXPECT_TRUE(savRams);
    EXPECT_TRUE(!pilot.present || pilot.hp < pilotStart.hp) << "the pilot's hull falls";

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}

}  // namespace
