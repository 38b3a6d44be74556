#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <regex>
#include <set>
#include <vector>

#include "audio/wave.h"
#include "content.h"
#include "core/datafile.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "effect_definitions.h"
#include "platform/paths.h"
#include "sound_tool.h"
#include "weapon_definitions.h"

namespace {

// The mean absolute level of the left and right channels of a 16-bit stereo WAVE file.
bool ChannelLevels(const std::string& path, double* left, double* right) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() <= 44) return false;
    double l = 0, r = 0;
    size_t frames = 0;
    for (size_t at = 44; at + 4 <= bytes.size(); at += 4, ++frames) {
        const auto sample = [&](size_t i) {
            return int16_t(uint16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
        };
        l += std::abs(sample(at));
        r += std::abs(sample(at + 2));
    }
    *left = l / double(frames);
    *right = r / double(frames);
    return true;
}

// A fresh folder of this run's own, so test runs side by side do not write over each other.
std::string ScratchDir(const char* name) {
    std::string pattern = testing::TempDir() + name + "-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

}  // namespace

TEST(SoundToolTest, APlacedSoundIsHeardOnItsSide) {
    const std::string scratch = ScratchDir("gv_sound");
    ASSERT_FALSE(scratch.empty());
    const std::string world = scratch + "/world";
    std::string written;
    ASSERT_TRUE(content::WriteWorld(world, &written)) << written;
    const std::string data = world;
    const std::string right = scratch + "/right.wav";
    const std::string left = scratch + "/left.wav";
    const std::string flat = scratch + "/flat.wav";
    std::string error;
    ASSERT_TRUE(content::RenderSound(data, "ping.wav", right, true, 20.0f, 0.0f, &error)) << error;
    ASSERT_TRUE(content::RenderSound(data, "ping.wav", left, true, -20.0f, 0.0f, &error)) << error;
    ASSERT_TRUE(content::RenderSound(data, "ping.wav", flat, false, 0.0f, 0.0f, &error)) << error;
    EXPECT_FALSE(content::RenderSound(data, "nothing.wav", flat, false, 0.0f, 0.0f, &error));
    double l, r;
    ASSERT_TRUE(ChannelLevels(right, &l, &r));
    EXPECT_GT(r, 10.0);
    EXPECT_LT(l, r * 0.1);
    ASSERT_TRUE(ChannelLevels(left, &l, &r));
    EXPECT_GT(l, 10.0);
    EXPECT_LT(r, l * 0.1);
    ASSERT_TRUE(ChannelLevels(flat, &l, &r));
    EXPECT_NEAR(l, r, 1.0);
    EXPECT_GT(l, 100.0);
    std::remove(right.c_str());
    std::remove(left.c_str());
    std::remove(flat.c_str());
    std::filesystem::remove_all(scratch);
}

// Every sound the game plays by a fixed name, and every sound the sample definitions name, is in
// the sample world and reads as a sound the layer can play.
TEST(SoundToolTest, EverySoundTheGameNamesIsInTheSampleWorld) {
    std::set<std::string> names = {
        // impacts by what was struck and how hard
        "vvch2.wav", "vvcre2.wav", "vvcbb3.wav", "vnvco3.wav", "vnvcs5.wav", "vnvcs3.wav", "vnvcs1.wav",
        // the radar, the radio, the option samples and the cheats
        "ping.wav", "cgrowl.wav", "cmike.wav", "avconsv9.wav", "weapon.wav", "repair.wav", "suck.wav", "mnu_next.wav",
        // persons and pilots
        "pain.wav", "burn.wav", "death.wav", "squish.wav", "jump.wav", "land.wav", "step.wav", "bail.wav",
        // the hover craft's engine, wind and deploy sounds
        "engthrst.wav", "engrev.wav", "amb_wind.wav", "trdeploy.wav", "trundepl.wav",
        // the weapon group switch, the camera pod, the earthquake
        "cammo.wav", "gprox00.wav", "gquak01.wav",
        // radio lines
        "radio1.wav", "radio2.wav"};
    for (int k = 1; k <= 14; ++k) {
        names.insert("abetty" + std::to_string(k) + ".wav");
        names.insert("sbetty" + std::to_string(k) + ".wav");
    }
    std::vector<content::NamedDefinition> definitions, effects;
    std::string error;
    ASSERT_TRUE(content::WeaponDefinitions(&definitions, &error)) << error;
    ASSERT_TRUE(content::EffectDefinitions(&effects, &error)) << error;
    definitions.insert(definitions.end(), effects.begin(), effects.end());
    const std::regex wav("[A-Za-z0-9_]+\\.wav");
    size_t named = 0;
    for (const content::NamedDefinition& d : definitions)
        for (auto it = std::sregex_iterator(d.text.begin(), d.text.end(), wav); it != std::sregex_iterator(); ++it, ++named)
            names.insert(it->str());
    EXPECT_GT(named, 0u) << "the sample weapons name their sounds";

    const std::string scratch = ScratchDir("gv_sound_names");
    ASSERT_FALSE(scratch.empty());
    const std::string world = scratch + "/world";
    ASSERT_TRUE(content::WriteWorld(world, &error)) << error;
    Plat_SetDataRoot(world.c_str());
    ASSERT_TRUE(FileSys_TryStart(0));
    // The sample craft speak their radio lines.
    for (const char* craft : {"avtank.odf", "avscout.odf"}) {
        const auto* text = static_cast<const char*>(Cache_UseItem(craft));
        ASSERT_NE(text, nullptr) << craft;
        const std::string odf(text, Cache_GetItemSize(craft));
        Cache_UnlockItem(craft);
        size_t lines = 0;
        for (auto it = std::sregex_iterator(odf.begin(), odf.end(), wav); it != std::sregex_iterator(); ++it, ++lines)
            names.insert(it->str());
        EXPECT_EQ(lines, 2u) << craft;
    }
    for (const std::string& name : names) {
        ASSERT_TRUE(Cache_ItemExists(name.c_str())) << name;
        const auto* data = static_cast<const uint8_t*>(Cache_UseItem(name.c_str()));
        ASSERT_NE(data, nullptr) << name;
        WaveInfo info{};
        EXPECT_TRUE(Wave_Parse(data, Cache_GetItemSize(name.c_str()), &info)) << name;
        Cache_UnlockItem(name.c_str());
    }
    Data_Close();
    std::filesystem::remove_all(scratch);
}
