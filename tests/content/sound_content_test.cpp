#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "content.h"
#include "sound_tool.h"

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

}  // namespace

TEST(SoundToolTest, APlacedSoundIsHeardOnItsSide) {
    const std::string world = testing::TempDir() + "gv_sound_world";
    std::filesystem::remove_all(world);
    std::string written;
    ASSERT_TRUE(content::WriteWorld(world, &written)) << written;
    const std::string data = world;
    const std::string right = testing::TempDir() + "gv_sound_right.wav";
    const std::string left = testing::TempDir() + "gv_sound_left.wav";
    const std::string flat = testing::TempDir() + "gv_sound_flat.wav";
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
    std::filesystem::remove_all(world);
}
