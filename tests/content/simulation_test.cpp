#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/attacktask.h"
#include "ai/pathgrid.h"
#include "ai/unitprocess.h"
#include "ai/gototask.h"
#include "collision/collision.h"
#include "content.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "mission_writer.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"
#include "support/world_reset.h"
#include "terrain_writer.h"
#include "weapons/weaponsinstall.h"
#include "support/sample_world.h"

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
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;

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
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;

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
    // Pushed back each second while outside; once inside, a gripping craft may stop there.
    for (size_t i = 1; i < xs.size(); ++i) {
        if (xs[i - 1] > xMax)
            EXPECT_LT(xs[i], xs[i - 1]) << "t=" << i;
        else
            EXPECT_LE(xs[i], xMax) << "t=" << i;
    }
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

// A hover tank sent across the western wall of the sample map drives round its northern end
// and arrives.
TEST(SimulationTool, AGoToTankDrivesRoundTheWallsNorthernEndAndArrives) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simwall_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;

    content::SimOptions options;
    options.report = true;
    options.go = true;
    options.goClass = "avtank";
    options.goFromX = 1400.0f;
    options.goFromZ = 1600.0f;
    options.goToX = 1600.0f;
    options.goToZ = 1600.0f;
    std::FILE* out = std::tmpfile();
    ASSERT_EQ(content::Simulation_Tool(dir, "fight.qmn", 12000, options, out, &error), 0) << error;
    std::rewind(out);
    char buffer[512];
    std::string last, goer;
    float northmost = -1e9f;
    int taskLines = 0;
    while (std::fgets(buffer, sizeof buffer, out)) {
        const std::string line = buffer;
        if (line.rfind("go avtank ", 0) == 0) last = line;
        // The tool's craft is the avtank that starts without a process of its own (the mission
        // has others, and a craft that dies loses its process).
        if (line.rfind("t=", 0) != 0 || line.find("class=avtank") == std::string::npos) continue;
        const std::string handle = line.substr(line.find(" obj="), 14);
        if (goer.empty() && line.rfind("t=0 ", 0) == 0 && line.find(" proc=- ") != std::string::npos) goer = handle;
        if (handle != goer) continue;
        EXPECT_NE(line.find("task=GotoTask:"), std::string::npos) << line;
        ++taskLines;
        const size_t at = line.find(" pos=");
        northmost = std::max(northmost, std::stof(line.substr(line.find(',', at) + 1)));
    }
    std::fclose(out);
    EXPECT_EQ(taskLines, 401);
    EXPECT_GT(northmost, (content::kSampleWallZ1 + 1) * 10.0f);
    float finished = -1.0f, distance = -1.0f;
    ASSERT_EQ(std::sscanf(last.c_str(), "go avtank task=DONE finished=%f pos=%*f,%*f goal=%*f,%*f distance=%f", &finished,
                          &distance),
              2)
        << last;
    EXPECT_GT(finished, 0.0f);
    EXPECT_LT(distance, 15.0f);  // arrived within 5 m, then braked to a stop

    // An unknown class is an error, not a run.
    std::FILE* none = std::tmpfile();
    options.goClass = "nosuch";
    EXPECT_EQ(content::Simulation_Tool(dir, "fight.qmn", 10, options, none, &error), 1);
    EXPECT_NE(error.find("nosuch"), std::string::npos) << error;
    std::fclose(none);

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}

// The first fight: the team-2 craft come from the east round the short wall pieces, attack and
// wear the player's craft down with their guns, while the player's wingman follows the player
// and, when enemies come at it, blasts them rather than gathering a group of its own.
TEST(SimulationTool, TheFirstFightComesRoundTheWallPiecesAndHitsThePlayer) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simfirst_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;
    content::SimOptions options;
    options.report = true;
    std::FILE* out = std::tmpfile();
    ASSERT_EQ(content::Simulation_Tool(dir, "fight.qmn", 3600, options, out, &error), 0) << error;
    std::rewind(out);
    char buffer[512];
    int attacking = 0, following = 0, throughPiece = 0, wingmanGrouping = 0, enemyProcesses = 0;
    int userHits = 0, enemyFired = 0;
    float userX = 0, userZ = 0, userHp = 1.0f, farthestBeforeFight = 0.0f;
    bool userAlive = false, fightStarted = false;
    int second = -1;
    while (std::fgets(buffer, sizeof buffer, out)) {
        const std::string line = buffer;
        if (line.rfind("t=", 0) != 0) continue;
        // Each second's lines start with the player's while its craft lives.
        const int t = std::atoi(line.c_str() + 2);
        if (t != second) {
            second = t;
            userAlive = false;
        }
        float x = 0, z = 0, hp = 0;
        int fired = 0, hits = 0;
        const size_t at = line.find(" pos=");
        ASSERT_EQ(std::sscanf(line.c_str() + at, " pos=%f,%f", &x, &z), 2) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + line.find(" hp="), " hp=%f", &hp), 1) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + line.find(" fired="), " fired=%d hits=%d", &fired, &hits), 2) << line;
        const bool team2 = line.find(" team=2 ") != std::string::npos;
        if (hits > 0) fightStarted = true;
        if (line.find("class=player") != std::string::npos) {
            userX = x;
            userZ = z;
            userHp = hp;
            userHits = hits;
            userAlive = hp > 0.0f;
        } else if (team2) {
            enemyFired = std::max(enemyFired, fired);
            // Team-2 craft run the enemy brains of their classes.
            if (line.find("Enemy:") != std::string::npos) ++enemyProcesses;
            if (line.find("task=AttackTask:") == std::string::npos) continue;
            ++attacking;
            // The east-west piece lies at z = 2050 m from x = 2820 to 2930 m.
            if (x > 2820.0f && x < 2930.0f && z > 2040.0f && z < 2060.0f) ++throughPiece;
        } else if (line.find("class=avtank") != std::string::npos && userAlive && hp > 0.0f) {
            if (line.find("task=FollowTask:FOLLOW") != std::string::npos) ++following;
            if (line.find("task=AttackTask:") != std::string::npos) ++wingmanGrouping;
            if (!fightStarted) farthestBeforeFight = std::max(farthestBeforeFight, std::hypot(x - userX, z - userZ));
        }
    }
    std::fclose(out);
    EXPECT_GT(enemyProcesses, 100);
    EXPECT_GT(attacking, 100);
    EXPECT_EQ(throughPiece, 0);
    // The player's craft is hit by their guns and wears down.
    EXPECT_GT(enemyFired, 0);
    EXPECT_GT(userHits, 0);
    EXPECT_LT(userHp, 1.0f);
    EXPECT_GT(following, 10);
    EXPECT_EQ(wingmanGrouping, 0);
    EXPECT_LT(farthestBeforeFight, 150.0f);

    Plat_Shutdown();
    std::filesystem::remove_all(dir);
}

// A fight set up by hand on the bare map: two enemy craft built near the parked player's craft
// find it, enter their attack tasks, fire, and the player's hull falls from their hits.
TEST(SimulationTool, EnemyCraftBuiltNearAParkedCraftAttackItAndWearItDownWithGunfire) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simscene_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string profile = (std::filesystem::temp_directory_path() / "gv_simscenep_XXXXXX").string();
    ASSERT_NE(mkdtemp(profile.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;
    {
        content::HeadlessWorld world(dir, profile);
        ASSERT_TRUE(world.Ready());
        Weapons_InstallSeam();  // the craft carry the guns their classes name
        content::Simulation_Prepare();
        ASSERT_TRUE(SaveGame_Load("sample"));  // the bare map: only the player's craft
        content::Simulation_Begin();
        Mission_SetupBounds();
        GameObject* user = GameObject_GetUser();
        ASSERT_NE(user, nullptr);
        content::Simulation_Drive(dynamic_cast<HoverCraft*>(user), 0.0f, 0.0f);
        // One frame first: the world's object grid, which the scouts search, is filled each frame.
        content::Simulation_MissionFrame();
        const DVector home = user->entity->local.posit;
        // Two enemies of team 2 within their search range of the player, on open ground.
        const struct {
            const char* cls;
            float dx, dz;
        } placements[] = {{"avtank", 110.0f, 70.0f}, {"avscout", -60.0f, 140.0f}};
        std::vector<uint32_t> attackers;
        for (const auto& at : placements) {
            GameObjectClass* cls = GameObjectClass::Find(at.cls);
            ASSERT_NE(cls, nullptr) << at.cls;
            const double x = home.x + at.dx, z = home.z + at.dz;
            ASSERT_FALSE(PathMap_IsImpassableAt(static_cast<float>(x), static_cast<float>(z)));
            Matrix m = kIdentityMatrix;
            m.posit = DVector{x, Terrain_GetHeight(x, z) + 2.0, z};
            GameObject* craft = GameObjectClass::Build(cls, m, 2, false, 0, nullptr);
            ASSERT_NE(craft, nullptr);
            craft->SetTeam(2);
            Seam_Ai().missionAddObject(craft);
            ASSERT_NE(craft->aiProcess, nullptr);
            EXPECT_NE(std::string(craft->aiProcess->GetFactory()->name).find("Enemy"), std::string::npos);
            attackers.push_back(craft->GetObjHandle());
        }
        std::vector<bool> attacked(attackers.size(), false);
        bool hitByThem = false;
        float struck = user->enemyShot, hull = user->healthRatio;
        const uint32_t userHandle = user->GetObjHandle();
        for (int frame = 0; frame < 30 * 40; ++frame) {
            content::Simulation_MissionFrame();
            user = GameObject::FromHandle(userHandle);
            if (!user) {
                hull = 0.0f;  // destroyed
                break;
            }
            hull = user->healthRatio;
            for (size_t i = 0; i < attackers.size(); ++i) {
                GameObject* craft = GameObject::FromHandle(attackers[i]);
                const auto* process = craft ? dynamic_cast<const UnitProcess*>(craft->aiProcess) : nullptr;
                if (process && dynamic_cast<const AttackTask*>(process->task)) attacked[i] = true;
            }
            if (user->enemyShot > struck) {
                struck = user->enemyShot;
                if (std::find(attackers.begin(), attackers.end(), user->lastShooter) != attackers.end())
                    hitByThem = true;
            }
        }
        for (size_t i = 0; i < attacked.size(); ++i) EXPECT_TRUE(attacked[i]) << placements[i].cls;
        EXPECT_TRUE(hitByThem);
        EXPECT_LT(hull, 0.9f);
        content::Simulation_End();
    }
    Plat_Shutdown();
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(profile);
}

// Two hover tanks sent head-on along one road steer round each other and both arrive: without
// collision avoidance they meet nose to nose and stay there.
TEST(SimulationTool, TwoTanksSentHeadOnAlongOneRoadPassEachOtherAndBothArrive) {
    ResetWorldForTest();
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string dir = (std::filesystem::temp_directory_path() / "gv_simroad_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string profile = (std::filesystem::temp_directory_path() / "gv_simroadp_XXXXXX").string();
    ASSERT_NE(mkdtemp(profile.data()), nullptr);
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(dir, &error)) << error;
    {
        content::HeadlessWorld world(dir, profile);
        ASSERT_TRUE(world.Ready());
        content::Simulation_Prepare();
        ASSERT_TRUE(SaveGame_Load("fight.qmn"));
        content::Simulation_Begin();
        Mission_SetupBounds();
        // The road's two ends.
        const AiPath* road = AiPath_Find("west_road");
        ASSERT_NE(road, nullptr);
        const Vector west{road->points.front().x, 0.0f, road->points.front().z};
        const Vector east{road->points.back().x, 0.0f, road->points.back().z};
        GameObjectClass* cls = GameObjectClass::Find("avtank");
        ASSERT_NE(cls, nullptr);
        const auto build = [&](const Vector& at, float heading) {
            Matrix m = kIdentityMatrix;
            m.front = Vector{std::sin(heading), 0.0f, std::cos(heading)};
            m.right = Vector{std::cos(heading), 0.0f, -std::sin(heading)};
            m.posit = DVector{at.x, Terrain_GetHeight(at.x, at.z) + 2.0, at.z};
            GameObject* object = GameObjectClass::Build(cls, m, 1, false, 0, nullptr);
            content::Simulation_Drive(dynamic_cast<HoverCraft*>(object), 0.0f, 0.0f);
            return object;
        };
        const float eastward = std::atan2(east.x - west.x, east.z - west.z);
        GameObject* a = build(west, eastward);
        GameObject* b = build(east, eastward + 3.14159265f);
        ASSERT_TRUE(a && b);
        GotoTask toEast(a, east), toWest(b, west);
        float closest = 1e9f;
        int frame = 0;
        for (; frame < 30 * 240 && !(toEast.IsDone() && toWest.IsDone()); ++frame) {
            content::Simulation_MissionFrame([&] {
                toEast.Update();
                toWest.Update();
            });
            const DVector& pa = a->entity->local.posit;
            const DVector& pb = b->entity->local.posit;
            closest = std::min(closest, static_cast<float>(std::hypot(pa.x - pb.x, pa.z - pb.z)));
        }
        EXPECT_TRUE(toEast.IsDone());
        EXPECT_TRUE(toWest.IsDone());
        // They passed without touching.
        EXPECT_GT(closest, a->radius + b->radius) << "closest " << closest << " after " << frame << " frames";
        content::Simulation_End();
    }
    Collision_Shutdown();
    Plat_Shutdown();
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(profile);
}

}  // namespace
