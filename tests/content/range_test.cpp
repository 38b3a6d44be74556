#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "content.h"
#include "range.h"
#include "support/data_root_fixture.h"
#include "support/world_reset.h"
#include "support/sample_world.h"

namespace {

class RangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        scratch_.Open();
        std::string error;
        ASSERT_TRUE(SampleWorld_CopyTo(scratch_.root, &error)) << error;
    }
    void TearDown() override { scratch_.Close(); }

    std::vector<std::string> Run(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        content::RangeOptions options;
        std::string error;
        EXPECT_TRUE(content::ParseRangeOptions(static_cast<int>(argv.size()), argv.data(), &options, &error)) << error;
        FILE* out = std::tmpfile();
        EXPECT_TRUE(content::RunRange(scratch_.root, options, out, &error)) << error;
        std::rewind(out);
        std::vector<std::string> lines;
        char line[256];
        while (std::fgets(line, sizeof line, out)) {
            std::string text = line;
            if (!text.empty() && text.back() == '\n') text.pop_back();
            lines.push_back(text);
        }
        std::fclose(out);
        return lines;
    }

private:
    ScratchDataRoot scratch_;
};

TEST_F(RangeTest, TheRangeExplosionFallsOffAcrossTheTargets) {
    const std::vector<std::string> lines = Run({"--explosion", "xrange", "--targets", "0,2,6,10,12"});
    std::vector<std::string> damage;
    for (const std::string& l : lines)
        if (l.find(" damage ") != std::string::npos) damage.push_back(l);
    // Grid order decides which target is hit first; compare as a set.
    std::sort(damage.begin(), damage.end());
    EXPECT_EQ(damage, (std::vector<std::string>{"0 damage target=0 amount=100.00", "0 damage target=1 amount=100.00",
                                                "0 damage target=2 amount=66.67"}));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "0 explode class=xrange");
    // Eight frames of 0.1 s burn out within the 30 frames of 1/30 s.
    EXPECT_EQ(lines.back(), "30 end live=0");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find(" expire ") != std::string::npos; }), 1);
}

TEST_F(RangeTest, ThrownChunksComeToRestAndBurstAsSecondaryExplosions) {
    const std::vector<std::string> lines = Run({"--explosion", "xcarxpl", "--chunks", "30", "--frames", "300"});
    std::vector<std::string> counts;
    int bursts = 0;
    for (const std::string& l : lines) {
        if (l.find(" chunks live=") != std::string::npos) counts.push_back(l.substr(l.find("live=")));
        if (l.find(" explode class=xsecxpl") != std::string::npos) ++bursts;
    }
    ASSERT_GE(counts.size(), 2u);
    EXPECT_EQ(counts.front(), "live=30");
    EXPECT_EQ(counts.back(), "live=0");
    EXPECT_EQ(bursts, 30) << "every chunk bursts once it rests";
}

TEST_F(RangeTest, BadOptionsAreRefused) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--targets", "1,x"}, {"--frames", "-1"}, {"--dt", "0"}, {"--explosion"}, {"--what", "1"},
             {"--chunks", "1025"}, {"--chunks", "-1"}, {"--target-speed", "fast"}, {"--target-speed", "inf"}}) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        content::RangeOptions options;
        std::string error;
        EXPECT_FALSE(content::ParseRangeOptions(static_cast<int>(argv.size()), argv.data(), &options, &error))
            << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(RangeTest, AnAimedCannonHitsItsTargetAndAMachineGunStopsWhenReleased) {
    const std::vector<std::string> cannon = Run({"--weapon", "wcannon", "--targets", "40", "--frames", "60"});
    auto count = [](const std::vector<std::string>& lines, const std::string& text) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    // A reload of 0.5 s at 30 frames a second: frames 0, 15, 30 and 45; each shot hits.
    EXPECT_EQ(count(cannon, " fire weapon=wcannon ordnance=bullet1"), 4);
    EXPECT_EQ(count(cannon, " hit ordnance=bullet1 target=0"), 4);
    EXPECT_EQ(count(cannon, " damage target=0 amount=20.00"), 4);
    EXPECT_EQ(count(cannon, "target=ground"), 0);

    const std::vector<std::string> mgun = Run({"--weapon", "wmgun", "--targets", "40", "--frames", "30", "--hold", "5"});
    EXPECT_EQ(count(mgun, " fire weapon=wmgun ordnance=mgbullet"), 2);  // 0.1 s reload over 5 frames
    EXPECT_EQ(count(mgun, " damage target=0 amount=6.00"), 2);

    std::vector<char*> argv;
    std::string a = "--hold", b = "x";
    argv = {a.data(), b.data()};
    content::RangeOptions options;
    std::string error;
    EXPECT_FALSE(content::ParseRangeOptions(2, argv.data(), &options, &error));
}

TEST_F(RangeTest, AMortarShellComesDownOnItsTargetAndBursts) {
    const std::vector<std::string> lines = Run({"--weapon", "wmortar", "--targets", "100", "--frames", "400"});
    auto count = [&](const std::string& text) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    // A reload of 2 s over 400 frames of 1/30 s: a shell every 60 frames, each landing on target 0.
    EXPECT_EQ(count(" fire weapon=wmortar ordnance=mshell"), 7);
    EXPECT_GE(count(" explode class=xmshell"), 5);
    EXPECT_GE(count(" damage target=0 "), 5);
    EXPECT_EQ(count("target=ground"), 0);
}

TEST_F(RangeTest, ALauncherLocksInStagesFiresWhenLetGoAndItsMissileMeetsAMovingTarget) {
    const std::vector<std::string> lines = Run({"--weapon", "wlaunch", "--targets", "150", "--target-speed", "10",
                                                "--hold", "60", "--frames", "300"});
    // The events in order: the lock stages while held, one missile when let go, its hit.
    std::vector<std::string> events;
    for (const std::string& l : lines) {
        const size_t space = l.find(' ');
        const std::string event = l.substr(space + 1);
        if (event.rfind("lock ", 0) == 0 || event.rfind("fire ", 0) == 0 || event.rfind("hit ", 0) == 0)
            events.push_back(event);
    }
    const std::vector<std::string> expected = {
        "lock weapon=wlaunch stage=1", "lock weapon=wlaunch stage=2", "lock weapon=wlaunch stage=3",
        "lock weapon=wlaunch stage=0", "fire weapon=wlaunch ordnance=missile1", "hit ordnance=missile1 target=0"};
    EXPECT_EQ(events, expected);
    // A 1 s lock over 4 stages: a stage every 0.25 s from the first frame with a candidate.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "8 lock weapon=wlaunch stage=1");
    // The trigger goes after frame 60 ("--hold 60" pulls it in frames 0 to 59).
    EXPECT_NE(std::find(lines.begin(), lines.end(), "60 fire weapon=wlaunch ordnance=missile1"), lines.end());
}

TEST_F(RangeTest, ASwitchedItemStartsAfterItsChargeAndStopsWhenLetGo) {
    // "wrdamp" charges 3 steps over 2 s: its effect starts 1.5 s (45 frames) after switching on.
    const std::vector<std::string> held = Run({"--weapon", "wrdamp", "--frames", "90"});
    std::vector<std::string> events;
    for (const std::string& l : held)
        if (l.find("active weapon=") != std::string::npos) events.push_back(l);
    EXPECT_EQ(events, (std::vector<std::string>{"44 active weapon=wrdamp"}));

    const std::vector<std::string> released = Run({"--weapon", "wrdamp", "--frames", "90", "--hold", "60"});
    events.clear();
    for (const std::string& l : released)
        if (l.find("active weapon=") != std::string::npos) events.push_back(l);
    EXPECT_EQ(events, (std::vector<std::string>{"44 active weapon=wrdamp", "60 inactive weapon=wrdamp"}));
}

}  // namespace

namespace {

std::vector<std::string> Events(const std::vector<std::string>& lines, const std::string& kind) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.find(" " + kind + " ") != std::string::npos) out.push_back(l);
    return out;
}

TEST_F(RangeTest, ABeamBurnsItsTargetEveryFrameAndABoltAndAChargedSalvoStrike) {
    // 100 a second in frames of 1/30 s: 3.33 a frame, every frame, from one beam.
    const std::vector<std::string> beam = Run({"--weapon", "wbeamgun", "--targets", "30", "--frames", "30"});
    const std::vector<std::string> damage = Events(beam, "damage");
    EXPECT_GE(damage.size(), 29u);
    for (const std::string& d : damage) EXPECT_NE(d.find(" damage target=0 amount=3.33"), std::string::npos) << d;
    EXPECT_EQ(Events(beam, "fire").size(), 1u) << "the beam lives on after its hits";

    // The bolt strikes its target in the frame it is fired, once a second.
    const std::vector<std::string> bolt = Run({"--weapon", "wbolt", "--targets", "60", "--frames", "40"});
    EXPECT_EQ(Events(bolt, "damage"),
              (std::vector<std::string>{"0 damage target=0 amount=90.00", "30 damage target=0 amount=90.00"}));

    // Held 40 frames (1.33 s) the charge gun reaches its second level and fires its two shots.
    const std::vector<std::string> charge =
        Run({"--weapon", "wcharge", "--targets", "30", "--frames", "90", "--hold", "40"});
    EXPECT_EQ(Events(charge, "fire"), (std::vector<std::string>{"41 fire weapon=wcharge ordnance=charge2",
                                                                "47 fire weapon=wcharge ordnance=charge2"}));
    EXPECT_EQ(Events(charge, "damage").size(), 2u);
}

}  // namespace

namespace {

TEST_F(RangeTest, TheDispenserDropsAMagnetEachReloadWhileHeld) {
    const std::vector<std::string> held = Run({"--weapon", "wdisp", "--targets", "20", "--frames", "100"});
    std::vector<std::string> builds;
    for (const std::string& line : held)
        if (line.find(" build class=") != std::string::npos) builds.push_back(line);
    // A reload of 1 s at 30 frames a second.
    EXPECT_EQ(builds, (std::vector<std::string>{"0 build class=apmagnet", "30 build class=apmagnet",
                                                "60 build class=apmagnet", "90 build class=apmagnet"}));
    const std::vector<std::string> tapped = Run({"--weapon", "wdisp", "--targets", "20", "--frames", "100", "--hold", "10"});
    EXPECT_EQ(std::count_if(tapped.begin(), tapped.end(),
                            [](const std::string& l) { return l.find(" build class=") != std::string::npos; }),
              1);
}

}  // namespace

namespace {

TEST_F(RangeTest, TheSeismicWaveLiftsTheGroundWhileItRunsAndLeavesItAsItWas) {
    const std::vector<std::string> lines = Run({"--weapon", "wseismic", "--frames", "240", "--dump-heights"});
    std::string start, end;
    std::vector<std::string> during;
    for (const std::string& l : lines) {
        if (l.rfind("heights start crc=", 0) == 0) start = l.substr(18);
        if (l.rfind("heights end crc=", 0) == 0) end = l.substr(16);
        if (l.rfind("heights frame=", 0) == 0) during.push_back(l.substr(l.find("crc=") + 4));
    }
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(lines.front(), "heights start crc=" + start) << "before the first frame";
    EXPECT_EQ(lines.back(), "heights end crc=" + end) << "after the teardown";
    EXPECT_EQ(end, start);
    ASSERT_EQ(during.size(), 8u) << "frames 0, 30, ... 210";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "0 fire weapon=wseismic ordnance=seis1"), lines.end());
    for (size_t i = 1; i < during.size(); ++i) EXPECT_NE(during[i], start) << "frame " << 30 * i;
}

}  // namespace

namespace {

TEST_F(RangeTest, APopperBurstsAsItFallsNearItsTargetAndItsPayloadHitsIt) {
    const std::vector<std::string> lines = Run({"--weapon", "wpopper", "--targets", "80", "--frames", "300", "--hold", "1"});
    auto at = [&](const std::string& text) {
        return std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    auto count = [&](const std::string& text) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count(" fire weapon=wpopper ordnance=popper1"), 1);
    EXPECT_EQ(count(" explode class=xpburst"), 1) << "in the air, not where it would land";
    EXPECT_EQ(count(" explode class=xmshell"), 0);
    EXPECT_EQ(count(" hit ordnance=ppayload target=0"), 1);
    EXPECT_EQ(count("target=ground"), 0);
    ASSERT_NE(at(" explode class=xpburst"), lines.end());
    EXPECT_LT(at(" explode class=xpburst"), at(" hit ordnance=ppayload")) << "the burst releases the payload";
}

}  // namespace
