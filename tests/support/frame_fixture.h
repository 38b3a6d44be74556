// The sample map's frame at a fixed camera, drawn by the game's own frame on the wiring the game
// runs, and the map's light map as a picture. Tests pin the pictures' checksums; the modules that
// draw more of the world re-pin them.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/app_fixture.h"

struct Picture {
    int width = 0, height = 0;
    int channels = 3;           // 3: RGB, 1: grey
    std::vector<uint8_t> bytes;  // row by row
};

// Writes the picture as PPM (RGB) or PGM (grey); false when it cannot be written.
bool SavePicture(const Picture& picture, const std::string& path);
// Where a test's pictures go: the "pictures" folder beside the build's test data.
std::string PicturePath(const std::string& name);

class FrameFixture : public AppFixture {
protected:
    static constexpr int kWidth = 640, kHeight = 480;

    // The sample world, the game's wiring, the display driver and map "sample" loaded in the
    // map-load order with the mission palette shown.
    void SetUp() override;
    void TearDown() override;

    // One frame of Game_RenderFrame at the fixed camera over the sample map, as presented
    // through the installed palette, at a sky detail (3: the whole sky) and a pitch (degrees up).
    Picture RenderFixedFrame(int skyDetail = 3, double pitch = 25.0);
    // One grey pixel per vertex of the present zones: the light map's bytes.
    static Picture LightMapPicture();
};
